// A shared library loaded at run time, and where the module's own file lies.
#pragma once

#include <string>

#include "vesk/com.h"

namespace vesk::platform {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // E_FAIL when the library is absent or cannot be loaded.
  HRESULT Load(const std::string& path);
  bool IsLoaded() const { return handle_ != nullptr; }
  // The exported symbol, or nullptr.
  void* Symbol(const char* name) const;

  // The file of the module (shared library or program) this code is built into.
  static std::string ModulePath();
  // The path of `fileName` in the folder of that module.
  static std::string BesideModule(const std::string& fileName);

 private:
  void* handle_ = nullptr;
};

}  // namespace vesk::platform
