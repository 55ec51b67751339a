#include "host/module_loader.h"

#include <dlfcn.h>

#include <system_error>
#include <utility>

#include "vesk/com_ptr.h"

namespace vesk::host {
namespace {

template <class Entry>
Entry Resolve(void* handle, const char* name) {
  return reinterpret_cast<Entry>(::dlsym(handle, name));
}

}  // namespace

void ModuleLoader::LibraryCloser::operator()(void* handle) const { ::dlclose(handle); }

std::unique_ptr<ModuleLoader> ModuleLoader::Load(const std::filesystem::path& path, std::string* error) {
  std::unique_ptr<ModuleLoader> module(new ModuleLoader());
  module->handle_.reset(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!module->handle_) {
    if (error != nullptr) *error = ::dlerror();
    return nullptr;
  }
  void* handle = module->handle_.get();
  module->get_class_object_ = Resolve<GetClassObjectEntry>(handle, "DllGetClassObject");
  module->can_unload_now_ = Resolve<ServerEntry>(handle, "DllCanUnloadNow");
  module->register_server_ = Resolve<ServerEntry>(handle, "DllRegisterServer");
  module->unregister_server_ = Resolve<ServerEntry>(handle, "DllUnregisterServer");
  if (module->get_class_object_ == nullptr || module->can_unload_now_ == nullptr) {
    if (error != nullptr) *error = path.string() + " is not a module: DllGetClassObject or DllCanUnloadNow missing";
    module->handle_.reset();  // nothing of it was used, so it may go
    return nullptr;
  }
  return module;
}

std::filesystem::path ModuleLoader::FindInstalled(const std::string& file_name) {
  std::error_code failed;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", failed);
  if (failed) return {};
  const std::filesystem::path directory = program.parent_path();
  for (const std::filesystem::path& candidate :
       {directory / file_name, directory / ".." / "lib" / file_name}) {
    if (std::filesystem::is_regular_file(candidate, failed)) {
      return std::filesystem::weakly_canonical(candidate, failed);
    }
  }
  return {};
}

ModuleLoader::~ModuleLoader() {
  if (Unload() != S_OK) {
    // Objects of the module are still alive: unloading would pull their code away.
    static_cast<void>(handle_.release());
  }
}

HRESULT ModuleLoader::GetClassObject(REFCLSID class_id, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!handle_) return E_UNEXPECTED;
  return get_class_object_(class_id, iid, object);
}

HRESULT ModuleLoader::CreateInstance(REFCLSID class_id, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT result = GetClassObject(class_id, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
  if (FAILED(result)) return result;
  return factory->CreateInstance(nullptr, iid, object);
}

HRESULT ModuleLoader::CanUnloadNow() { return handle_ ? can_unload_now_() : E_UNEXPECTED; }

void* ModuleLoader::Entry(const char* name) const {
  return handle_ ? dlsym(handle_.get(), name) : nullptr;
}

HRESULT ModuleLoader::RegisterServer() {
  if (!handle_) return E_UNEXPECTED;
  return register_server_ != nullptr ? register_server_() : E_NOTIMPL;
}

HRESULT ModuleLoader::UnregisterServer() {
  if (!handle_) return E_UNEXPECTED;
  return unregister_server_ != nullptr ? unregister_server_() : E_NOTIMPL;
}

HRESULT ModuleLoader::Unload() {
  if (!handle_) return S_OK;
  if (can_unload_now_() != S_OK) return S_FALSE;
  handle_.reset();
  get_class_object_ = nullptr;
  can_unload_now_ = nullptr;
  register_server_ = nullptr;
  unregister_server_ = nullptr;
  return S_OK;
}

}  // namespace vesk::host
