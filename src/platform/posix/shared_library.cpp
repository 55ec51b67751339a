#include "platform/shared_library.h"

#include <dlfcn.h>

#include <filesystem>

namespace vesk::platform {

SharedLibrary::~SharedLibrary() {
  if (handle_) dlclose(handle_);
}

HRESULT SharedLibrary::Load(const std::string& path) {
  if (handle_) return E_UNEXPECTED;
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ ? S_OK : E_FAIL;
}

void* SharedLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

std::string SharedLibrary::ModulePath() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&SharedLibrary::ModulePath), &info) || !info.dli_fname) return {};
  return std::filesystem::absolute(info.dli_fname).string();
}

std::string SharedLibrary::BesideModule(const std::string& fileName) {
  return (std::filesystem::path(ModulePath()).parent_path() / fileName).string();
}

}  // namespace vesk::platform
