// The system's own dialogs, built from the module's dialog resources (the
// templates compiled into the DLL under the IDs of the page's data): the page
// inside a host's property frame, and modal dialogs over it.
#pragma once

#include <windows.h>

#include <memory>

#include "vesk/dialog_system.h"

namespace vesk::platform {

class Win32DialogSystem final : public settings::DialogSystem {
 public:
  // `module` holds the dialog resources.
  explicit Win32DialogSystem(HINSTANCE module) : module_(module) {}

  std::unique_ptr<settings::Dialog> Create(const settings::DialogTemplate& layout, HWND parent,
                                           settings::DialogHandler& handler) override;
  bool Measure(const settings::DialogTemplate& layout, SIZE* pixels) override;

 private:
  HINSTANCE module_;
};

}  // namespace vesk::platform
