// xvidcore's two entry points, taken from xvidcore.dll at run time: Debian
// ships no Windows build of it, so the module must run where it is absent.
// Then every call fails as xvidcore fails, and the decoders are made without a
// handle.
#include <windows.h>
#include <xvid.h>

#include <mutex>

#include "platform/debug_trace.h"
#include "platform/shared_library.h"

namespace {

using XvidEntry = int (*)(void* handle, int opt, void* param1, void* param2);

struct XvidLibrary {
  XvidEntry global = nullptr;
  XvidEntry decore = nullptr;
};

// Looked for beside the module first, then where the system looks for DLLs.
// The library stays loaded for the life of the process.
const XvidLibrary& Library() {
  static XvidLibrary library;
  static std::once_flag loaded;
  std::call_once(loaded, [] {
    HMODULE module = LoadLibraryA(vesk::platform::SharedLibrary::BesideModule("xvidcore.dll").c_str());
    if (!module) module = LoadLibraryA("xvidcore.dll");
    if (!module) {
      vesk::platform::Trace("xvidcore.dll not found: no camera pictures are decoded");
      return;
    }
    library.global = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module, "xvid_global")));
    library.decore = reinterpret_cast<XvidEntry>(reinterpret_cast<void*>(GetProcAddress(module, "xvid_decore")));
  });
  return library;
}

}  // namespace

extern "C" int xvid_global(void* handle, int opt, void* param1, void* param2) {
  const XvidLibrary& library = Library();
  return library.global ? library.global(handle, opt, param1, param2) : XVID_ERR_FAIL;
}

extern "C" int xvid_decore(void* handle, int opt, void* param1, void* param2) {
  const XvidLibrary& library = Library();
  return library.decore ? library.decore(handle, opt, param1, param2) : XVID_ERR_FAIL;
}
