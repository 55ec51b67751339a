// Makes the module's classes known to COM and DirectShow, or forgets them: the
// class keys under HKEY_CLASSES_ROOT with the module's path, and the filter
// mapper's record of the filter and its pins.
#pragma once

#include <windows.h>

namespace vesk::module {

HRESULT RegisterModule(HMODULE module);
// Removes what RegisterModule wrote; a module never registered unregisters without error.
HRESULT UnregisterModule(HMODULE module);

}  // namespace vesk::module
