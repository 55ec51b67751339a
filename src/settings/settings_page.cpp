#include "settings/settings_page.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <new>

#include "settings/config_report_dialog.h"
#include "settings/dialog_property_page.h"
#include "settings/dialog_templates.h"

namespace vesk::settings {
namespace {

using namespace page_control;

using ReadValue = LONG (STDMETHODCALLTYPE ISplitterSettings::*)();
using WriteValue = HRESULT (STDMETHODCALLTYPE ISplitterSettings::*)(LONG value);
using OptionOperation = HRESULT (STDMETHODCALLTYPE ISplitterSettings::*)(LONG code, LONG* value);

constexpr LONG kCameras = 4;
constexpr LONG kAudioButtons = 4;
// The bit of a camera option word that shows the camera's status text.
constexpr LONG kShowStatusText = 2;
// A message of the page's own that its dialog procedure claims.
constexpr UINT kPageOwnMessage = WM_USER + 100;

// A scroll bar for one picture adjustment. The filter remembers the bar's
// position apart from the value, since two bars are offset from theirs.
struct AdjustmentBar {
  int control;
  LONG maximum;  // the range starts at 0
  LONG offset;   // the position of the value 0
  ReadValue read;
  WriteValue write;
  OptionOperation position;
};

constexpr AdjustmentBar kSharpness{kSharpnessBar, 4, 0, &ISplitterSettings::GetSharpness,
                                   &ISplitterSettings::SetSharpness, &ISplitterSettings::SharpnessSliderOp};
constexpr AdjustmentBar kBrightness{kBrightnessBar, 200, 100, &ISplitterSettings::GetBrightness,
                                    &ISplitterSettings::SetBrightness, &ISplitterSettings::BrightnessSliderOp};
constexpr AdjustmentBar kSmooth{kSmoothBar, 100, 0, &ISplitterSettings::GetSmooth, &ISplitterSettings::SetSmooth,
                                &ISplitterSettings::SmoothSliderOp};
constexpr AdjustmentBar kContrast{kContrastBar, 100, 50, &ISplitterSettings::GetContrast,
                                  &ISplitterSettings::SetContrast, &ISplitterSettings::ContrastSliderOp};
constexpr const AdjustmentBar* kBars[] = {&kSharpness, &kBrightness, &kSmooth, &kContrast};

// A check box that switches one on-screen text.
struct TextSwitch {
  int control;
  OptionOperation operation;
};

constexpr TextSwitch kTextSwitches[] = {
    {kShowTime, &ISplitterSettings::ShowTimeOp},
    {kShowBytesPerSecond, &ISplitterSettings::ShowBpsOp},
    {kShowActivity, &ISplitterSettings::ShowActivityOp},
    {kShowFramesPerSecond, &ISplitterSettings::ShowFpsOp},
};

// A check box that switches a pair of adjustments on the picture; their bars
// are usable only while it is on.
struct AdjustmentRow {
  int control;
  OptionOperation operation;
  const AdjustmentBar* bars[2];
};

constexpr AdjustmentRow kRows[] = {
    {kShowSettings1, &ISplitterSettings::ShowSmoothOp, {&kSharpness, &kSmooth}},
    {kShowSettings2, &ISplitterSettings::ShowBrightnessOp, {&kBrightness, &kContrast}},
};

LONG ReadOption(ISplitterSettings& settings, OptionOperation operation) {
  LONG value = 0;
  (settings.*operation)(vesk::OptionRead, &value);
  return value;
}

void WriteOption(ISplitterSettings& settings, OptionOperation operation, LONG value) {
  (settings.*operation)(vesk::OptionWrite, &value);
}

void EnableRow(Dialog& dialog, const AdjustmentRow& row, bool enabled) {
  for (const AdjustmentBar* bar : row.bars) dialog.Enable(bar->control, enabled);
}

void MoveBar(Dialog& dialog, ISplitterSettings& settings, const AdjustmentBar& bar, LONG position) {
  dialog.SetScrollPosition(bar.control, position, true);
  (settings.*bar.write)(position - bar.offset);
  WriteOption(settings, bar.position, position);
}

// The row's adjustments back to 0; the row's switch stays as it is.
void RestoreDefaults(Dialog& dialog, ISplitterSettings& settings, const AdjustmentRow& row) {
  const bool enabled = ReadOption(settings, row.operation) != 0;
  for (const AdjustmentBar* bar : row.bars) MoveBar(dialog, settings, *bar, bar->offset);
  EnableRow(dialog, row, enabled);
}

void ShowSubtitles(ISplitterSettings& settings, LONG camera, bool shown) {
  LONG option = 0;
  settings.CameraOptionOp(camera, vesk::OptionRead, &option);
  option = shown ? option | kShowStatusText : option & ~kShowStatusText;
  settings.CameraOptionOp(camera, vesk::OptionWrite, &option);
}

}  // namespace

IUnknown* SettingsPage::Create(IUnknown* outer, HRESULT* result) {
  std::unique_ptr<SettingsPage> controller(new (std::nothrow) SettingsPage);
  DialogPropertyPage* page =
      controller ? DialogPropertyPage::Create(outer, *FindDialogTemplate(kPageDialogId),
                                              FindString(kPageTitleStringId), std::move(controller))
                 : nullptr;
  if (!page) {
    *result = E_OUTOFMEMORY;
    return nullptr;
  }
  return page->NonDelegatingUnknown();
}

HRESULT SettingsPage::ConnectFilter(IUnknown* object) {
  const HRESULT hr = object->QueryInterface(IID_ISplitterSettings, reinterpret_cast<void**>(settings_.GetAddressOf()));
  return FAILED(hr) ? hr : S_OK;
}

HRESULT SettingsPage::DisconnectFilter() {
  if (!settings_) return E_UNEXPECTED;
  settings_ = nullptr;
  return S_OK;
}

void SettingsPage::ActivatePage(Dialog& dialog) {
  dialog_ = &dialog;
  ISplitterSettings& settings = *settings_;
  for (const AdjustmentBar* bar : kBars) {
    dialog.SetScrollRange(bar->control, 0, bar->maximum, false);
    dialog.SetScrollPosition(bar->control, ReadOption(settings, bar->position), false);
  }

  char deviceName[80] = {};
  settings.GetDeviceName(deviceName, sizeof deviceName);
  deviceName[sizeof deviceName - 1] = '\0';
  const LONG startTime = settings.GetStartTime();
  const LONG endTime = settings.GetEndTime();
  const LONG audioChannels = settings.GetAudioChannelCount();

  char caption[sizeof deviceName + 16];
  std::snprintf(caption, sizeof caption, "Device name: %s", deviceName);
  dialog.SetText(kDeviceGroup, caption);
  for (const TextSwitch& box : kTextSwitches) dialog.SetCheck(box.control, ReadOption(settings, box.operation) != 0);
  for (const AdjustmentRow& row : kRows) {
    const bool on = ReadOption(settings, row.operation) != 0;
    dialog.SetCheck(row.control, on);
    EnableRow(dialog, row, on);
  }
  dialog.SetCheck(kMuteAll, settings.GetMute() != 0);
  FillChannels(audioChannels);
  ShowTime(kStartTime, startTime);
  ShowTime(kEndTime, endTime);
  inactive_ = false;
}

void SettingsPage::FillChannels(LONG audioChannels) {
  ISplitterSettings& settings = *settings_;
  for (LONG i = 0; i < kCameras; ++i) {
    const bool present = settings.IsChannelPresent(i) != 0;
    dialog_->Enable(kFirstSubtitles + i, present);
    dialog_->Enable(kFirstCamera + i, present);
    // An absent camera's box keeps the template's state: unchecked.
    if (present) {
      LONG option = 0;
      settings.CameraOptionOp(i, vesk::OptionRead, &option);
      dialog_->SetCheck(kFirstSubtitles + i, (option & kShowStatusText) != 0);
    }
    dialog_->Enable(kFirstAudioChannel + i, i < audioChannels);
  }
  dialog_->Enable(kMuteAll, audioChannels != 0);

  LONG audio = settings.GetActiveAudio();
  if (audio < 0 || audio >= audioChannels || audio >= kAudioButtons) audio = 0;
  dialog_->CheckRadioButton(kFirstAudioChannel, kFirstAudioChannel + kAudioButtons - 1, kFirstAudioChannel + audio);
  const LONG camera = settings.GetActiveCamera();
  dialog_->CheckRadioButton(kFirstCamera, kShowAllCameras,
                            camera >= 0 && camera < kCameras ? kFirstCamera + camera : kShowAllCameras);
}

void SettingsPage::ShowTime(int control, LONG time) {
  // A live source has no time range: its times are -1.
  char text[32] = {};
  const bool formatted = time >= 0 && SUCCEEDED(settings_->FormatTime(time, text)) && text[0] != '\0';
  text[sizeof text - 1] = '\0';
  dialog_->SetText(control, formatted ? text : "unavail(live source)");
}

void SettingsPage::DeactivatePage() {
  if (settings_) settings_->SaveSettings();
  inactive_ = true;
  dialog_ = nullptr;
}

INT_PTR SettingsPage::ReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (inactive_ || !settings_) return 0;
  switch (message) {
    case WM_HSCROLL:
      OnScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return 1;
    case WM_DESTROY:
    case kPageOwnMessage:
      return 1;
    default:
      return 0;
  }
}

// A bar acts on single steps and on the release of its thumb; page steps and
// dragging leave the picture alone.
void SettingsPage::OnScroll(WORD request, WORD thumbPosition, HWND control) {
  if (request != SB_LINELEFT && request != SB_LINERIGHT && request != SB_THUMBPOSITION) return;
  const auto found = std::find_if(std::begin(kBars), std::end(kBars),
                                  [&](const AdjustmentBar* bar) { return dialog_->Control(bar->control) == control; });
  if (found == std::end(kBars)) return;
  const AdjustmentBar& bar = **found;
  LONG position = 0;
  if (request == SB_THUMBPOSITION) {
    position = std::min<LONG>(thumbPosition, bar.maximum);
  } else {
    // Steps start from the filter's value, not from where the bar is drawn.
    const std::int64_t wanted =
        std::int64_t{(settings_.Get()->*bar.read)()} + bar.offset + (request == SB_LINELEFT ? -1 : 1);
    position = static_cast<LONG>(std::clamp<std::int64_t>(wanted, 0, bar.maximum));
  }
  MoveBar(*dialog_, *settings_, bar, position);
}

void SettingsPage::OnCommand(int control) {
  // Held across the modal report dialog, during which the frame may let the page go.
  const ComPtr<ISplitterSettings> settings = settings_;
  const bool checked = dialog_->IsChecked(control);
  for (const TextSwitch& box : kTextSwitches) {
    if (control == box.control) {
      WriteOption(*settings, box.operation, checked ? 1 : 0);
      return;
    }
  }
  for (const AdjustmentRow& row : kRows) {
    if (control == row.control) {
      WriteOption(*settings, row.operation, checked ? 1 : 0);
      EnableRow(*dialog_, row, checked);
      return;
    }
  }
  if (control == kShowConfig) {
    ConfigReportDialog::Show(*dialog_, *settings);
  } else if (control == kDefaultSetting) {
    for (const AdjustmentRow& row : kRows) RestoreDefaults(*dialog_, *settings, row);
  } else if (control == kMuteAll) {
    settings->SetMute(checked ? 1 : 0);
  } else if (control >= kFirstSubtitles && control < kFirstSubtitles + kCameras) {
    ShowSubtitles(*settings, control - kFirstSubtitles, checked);
  } else if (control == kShowAllCameras) {
    settings->SetActiveCamera(-1);
  } else if (control >= kFirstCamera && control < kFirstCamera + kCameras) {
    // The button of an absent camera is disabled; a click that comes anyway is ignored.
    if (settings->IsChannelPresent(control - kFirstCamera)) settings->SetActiveCamera(control - kFirstCamera);
  } else if (control >= kFirstAudioChannel && control < kFirstAudioChannel + kAudioButtons) {
    settings->SetActiveAudio(control - kFirstAudioChannel);
  }
}

}  // namespace vesk::settings
