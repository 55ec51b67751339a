// Makes the module's classes known to hosts, or forgets them: the class keys
// with the module's path, and the filter mapper's record of the filter and its
// pins, kept in the per-user store under the names the registry uses.
#pragma once

#include <string>

#include "platform/settings_store.h"
#include "vesk/com.h"

namespace vesk::module {

// Where the per-user class registrations live.
constexpr const char* kClassesRoot = "HKEY_CURRENT_USER\\Software\\Classes";

// "{5E5E8199-A788-4F8A-A1DE-A4E8A2C3D535}".
std::string GuidText(REFGUID guid);

HRESULT RegisterClasses(platform::SettingsStore& store, const std::string& modulePath);
// Removes what RegisterClasses wrote; a module never registered unregisters without error.
HRESULT UnregisterClasses(platform::SettingsStore& store);

}  // namespace vesk::module
