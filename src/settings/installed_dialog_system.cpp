#include "settings/installed_dialog_system.h"

#include <atomic>

namespace vesk::settings {
namespace {

// Installed by the host's thread, read by whichever thread shows a page.
std::atomic<DialogSystem*> installed{nullptr};

}  // namespace

void InstallDialogSystem(DialogSystem* system) { installed.store(system, std::memory_order_release); }

DialogSystem* InstalledDialogSystem() { return installed.load(std::memory_order_acquire); }

}  // namespace vesk::settings
