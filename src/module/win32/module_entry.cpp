// The module's entry points, exported under their plain names by module.def.
#include <windows.h>

#include "module/class_factory.h"
#include "module/win32/class_registration.h"
#include "platform/debug_trace.h"

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
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID riid, void** object) {
  return module::GetClassObject(classId, riid, object);
}

STDAPI DllCanUnloadNow() { return module::CanUnloadNow(); }

STDAPI DllRegisterServer() { return module::RegisterModule(moduleHandle); }

STDAPI DllUnregisterServer() { return module::UnregisterModule(moduleHandle); }
