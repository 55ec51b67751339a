// The "Show config" dialog: the recording's configuration report, read-only,
// in a modal dialog of its own over the page.
#pragma once

#include <array>

#include "vesk/dialog_system.h"
#include "vesk/splitter_settings.h"

namespace vesk::settings {

class ConfigReportDialog final : private DialogHandler {
 public:
  // Reads the report from the filter and shows it, owned by `owner`, until
  // the user closes it.
  static void Show(Dialog& owner, ISplitterSettings& settings);

 private:
  static constexpr DWORD kReportSize = 1024;

  INT_PTR OnDialogMessage(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) override;

  std::array<char, kReportSize> report_{};
};

}  // namespace vesk::settings
