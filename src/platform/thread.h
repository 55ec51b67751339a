// One thread running one function. Destroying a Thread waits for it, so no
// thread outlives the object that started it.
#pragma once

#include <functional>
#include <memory>

#include "vesk/com.h"

namespace vesk::platform {

class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // E_FAIL when the system could not create the thread; E_UNEXPECTED when this
  // object already holds one that has not been joined.
  HRESULT Start(std::function<void()> body);
  // Waits for the thread to end; returns at once when there is none.
  void Join();
  // True from a successful Start until Join.
  bool Joinable() const;

 private:
  struct Native;  // the platform's thread
  const std::unique_ptr<Native> native_;
};

}  // namespace vesk::platform
