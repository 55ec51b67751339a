#include "platform/shared_library.h"

#include <windows.h>

namespace vesk::platform {

SharedLibrary::~SharedLibrary() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

HRESULT SharedLibrary::Load(const std::string& path) {
  if (handle_) return E_UNEXPECTED;
  handle_ = LoadLibraryA(path.c_str());
  return handle_ ? S_OK : E_FAIL;
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

std::string SharedLibrary::ModulePath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&SharedLibrary::ModulePath), &module))
    return {};
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

std::string SharedLibrary::BesideModule(const std::string& fileName) {
  const std::string module = ModulePath();
  return module.substr(0, module.find_last_of("\\/") + 1) + fileName;
}

}  // namespace vesk::platform
