// The module's entry points, as a host finds them by name.
#include "module/class_factory.h"
#include "module/registration.h"
#include "platform/debug_trace.h"
#include "platform/shared_library.h"
#include "settings/installed_dialog_system.h"
#include "vesk/dialog_system.h"
#include "vesk/module_trace.h"

#define VESK_EXPORT extern "C" __attribute__((visibility("default")))

using namespace vesk;

// Nothing to set up or tear down when the module is loaded or unloaded.
VESK_EXPORT BOOL DllMain(void*, DWORD, void*) { return 1; }

VESK_EXPORT HRESULT DllGetClassObject(REFCLSID classId, REFIID riid, void** object) {
  return module::GetClassObject(classId, riid, object);
}

VESK_EXPORT HRESULT DllCanUnloadNow() { return module::CanUnloadNow(); }

VESK_EXPORT HRESULT DllRegisterServer() {
  const std::string modulePath = platform::SharedLibrary::ModulePath();
  if (modulePath.empty()) return E_FAIL;
  platform::SettingsStore store;
  return module::RegisterClasses(store, modulePath);
}

namespace {

// Hands the module's trace lines to the function a host installed.
class HostTraceSink final : public platform::TraceSink {
 public:
  void Set(TraceFunction function) { function_.store(function); }
  void Trace(const char* text) override {
    if (TraceFunction function = function_.load()) function(text);
  }

 private:
  std::atomic<TraceFunction> function_{nullptr};
};

HostTraceSink hostTraceSink;

}  // namespace

VESK_EXPORT void VeskSetTraceSink(TraceFunction sink) {
  hostTraceSink.Set(sink);
  platform::DebugTrace::Install(sink ? &hostTraceSink : nullptr);
}

VESK_EXPORT void VeskInstallDialogSystem(settings::DialogSystem* system) { settings::InstallDialogSystem(system); }

VESK_EXPORT HRESULT DllUnregisterServer() {
  platform::SettingsStore store;
  return module::UnregisterClasses(store);
}
