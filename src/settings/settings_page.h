// The filter's property page: camera and audio channel, the on-screen texts,
// the picture adjustments, the device name, the time range and the
// configuration report. It reaches the filter only through ISplitterSettings;
// every change takes effect at once, and the settings are saved each time the
// page is left.
#pragma once

#include "settings/page_controller.h"
#include "vesk/com_ptr.h"
#include "vesk/splitter_settings.h"

namespace vesk::settings {

class SettingsPage final : public PageController {
 public:
  // The class factory's creation function: the page object, aggregated under
  // `outer` when one is given, with no reference taken yet; nullptr with the
  // reason in `result`.
  static IUnknown* Create(IUnknown* outer, HRESULT* result);

  HRESULT ConnectFilter(IUnknown* object) override;
  HRESULT DisconnectFilter() override;
  // Fills the controls from the filter; they are not refreshed while the
  // page stays open.
  void ActivatePage(Dialog& dialog) override;
  // Saves the settings, even when nothing was changed.
  void DeactivatePage() override;
  INT_PTR ReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FillChannels(LONG audioChannels);
  void ShowTime(int control, LONG time);
  void OnScroll(WORD request, WORD thumbPosition, HWND control);
  void OnCommand(int control);

  ComPtr<ISplitterSettings> settings_;  // between ConnectFilter and DisconnectFilter
  // Messages are ignored until the first activation and after every deactivation.
  bool inactive_ = true;
  Dialog* dialog_ = nullptr;  // while active; the page object owns it
};

}  // namespace vesk::settings
