// The dialog system the module's pages show their dialogs with, as a host
// installed it (or the module itself, where the system has dialogs of its own).
#pragma once

#include "vesk/dialog_system.h"

namespace vesk::settings {

// The system must outlive its installation; nullptr removes it.
void InstallDialogSystem(DialogSystem* system);
// nullptr when none is installed.
DialogSystem* InstalledDialogSystem();

}  // namespace vesk::settings
