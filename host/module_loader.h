// ModuleLoader: a module (a shared library with the COM server entry points)
// loaded by path, and the objects it serves, created by class id as a Windows
// host would through DllGetClassObject and the class factory.
//
// Used from one thread at a time.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "vesk/com.h"

namespace vesk::host {

class ModuleLoader {
 public:
  static constexpr const char* kModuleFileName = "libvesk.so";

  // Null, with the reason in `error`, when the file cannot be loaded or lacks
  // DllGetClassObject or DllCanUnloadNow.
  static std::unique_ptr<ModuleLoader> Load(const std::filesystem::path& path, std::string* error);

  // The module installed with the running program: beside it, or in ../lib
  // from it. Empty when neither holds it.
  static std::filesystem::path FindInstalled(const std::string& file_name = kModuleFileName);

  // Unloads the module if it allows it; otherwise it stays loaded for the rest
  // of the process, since its objects are still in use.
  ~ModuleLoader();
  ModuleLoader(const ModuleLoader&) = delete;
  ModuleLoader& operator=(const ModuleLoader&) = delete;

  HRESULT GetClassObject(REFCLSID class_id, REFIID iid, void** object);
  // The class factory's CreateInstance, without an outer object.
  HRESULT CreateInstance(REFCLSID class_id, REFIID iid, void** object);
  HRESULT CanUnloadNow();
  // E_NOTIMPL when the module does not export them.
  HRESULT RegisterServer();
  // Another export of the module by name, or nullptr.
  void* Entry(const char* name) const;
  HRESULT UnregisterServer();

  // Unloads when DllCanUnloadNow answers S_OK, and returns S_OK; S_FALSE while
  // the module must stay. Afterwards every call gives E_UNEXPECTED.
  HRESULT Unload();
  bool IsLoaded() const { return handle_ != nullptr; }

 private:
  using GetClassObjectEntry = HRESULT (*)(REFCLSID, REFIID, void**);
  using ServerEntry = HRESULT (*)();

  struct LibraryCloser {
    void operator()(void* handle) const;
  };

  ModuleLoader() = default;

  std::unique_ptr<void, LibraryCloser> handle_;
  GetClassObjectEntry get_class_object_ = nullptr;
  ServerEntry can_unload_now_ = nullptr;
  ServerEntry register_server_ = nullptr;    // may be missing
  ServerEntry unregister_server_ = nullptr;  // may be missing
};

}  // namespace vesk::host
