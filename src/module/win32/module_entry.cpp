// The module's entry points, exported under their plain names by module.def.
#include <windows.h>

#include "module/class_factory.h"
#include "module/win32/class_registration.h"
#include "platform/debug_trace.h"
#include "platform/win32/win32_dialog_system.h"
#include "settings/installed_dialog_system.h"

using namespace vesk;

namespace {

HMODULE moduleHandle = nullptr;

// The module's trace lines go to the debugger's output, as a Windows module's do.
class DebuggerOutput final : public platform::TraceSink {
 public:
  void Trace(const char* text) override { OutputDebugStringA(text); }
};

DebuggerOutput debuggerOutput;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
    moduleHandle = module;
    platform::DebugTrace::Install(&debuggerOutput);
    // No host brings a dialog system on Windows: the page shows the module's own dialog resources.
    static platform::Win32DialogSystem dialogSystem(module);
    settings::InstallDialogSystem(&dialogSystem);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID riid, void** object) {
  return module::GetClassObject(classId, riid, object);
}

STDAPI DllCanUnloadNow() { return module::CanUnloadNow(); }

STDAPI DllRegisterServer() { return module::RegisterModule(moduleHandle); }

STDAPI DllUnregisterServer() { return module::UnregisterModule(moduleHandle); }
