// A lock the owning thread may enter again while it holds it, as the platform's
// critical sections allow: code that holds a lock can call code that takes it.
#pragma once

#include <memory>

namespace vesk::platform {

class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter();
  void Leave();

  // Holds the critical section for the life of the guard.
  class Guard {
   public:
    explicit Guard(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~Guard() { section_.Leave(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CriticalSection& section_;
  };

 private:
  struct Native;  // the platform's lock
  const std::unique_ptr<Native> native_;
};

}  // namespace vesk::platform
