#include "settings/config_report_dialog.h"

#include "settings/dialog_templates.h"

namespace vesk::settings {

void ConfigReportDialog::Show(Dialog& owner, ISplitterSettings& settings) {
  ConfigReportDialog shown;
  settings.GetConfigReport(shown.report_.data(), kReportSize);
  shown.report_.back() = '\0';
  owner.RunModal(*FindDialogTemplate(kConfigDialogId), shown);
}

INT_PTR ConfigReportDialog::OnDialogMessage(Dialog& dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    dialog.SetText(config_control::kReportText, report_.data());
    return FALSE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDOK) dialog.End(1);
  else if (LOWORD(wParam) == IDCANCEL) dialog.End(0);
  return TRUE;
}

}  // namespace vesk::settings
