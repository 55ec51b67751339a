#include "settings/dialog_templates.h"

namespace vesk::settings {
namespace {

using enum ControlKind;
using namespace page_control;

constexpr DialogItem kPageItems[] = {
    {kNoControlId, kGroupBox, "Subtitle options", {17, 35, 269, 60}, 0},
    {kNoControlId, kText, "Camera 1", {23, 44, 35, 8}, 0},
    {kFirstSubtitles + 0, kCheckBox, "Show subtitles", {61, 43, 70, 10}, kTabStop},
    {kNoControlId, kText, "Camera 3", {23, 53, 35, 8}, 0},
    {kFirstSubtitles + 2, kCheckBox, "Show subtitles", {61, 53, 70, 10}, kTabStop},
    {kNoControlId, kText, "Camera 2", {132, 44, 35, 8}, 0},
    {kFirstSubtitles + 1, kCheckBox, "Show subtitles", {169, 42, 70, 10}, kTabStop},
    {kNoControlId, kText, "Camera 4", {132, 52, 35, 8}, 0},
    {kFirstSubtitles + 3, kCheckBox, "Show subtitles", {169, 52, 70, 10}, kTabStop},
    {kFirstAudioChannel + 0, kRadioButton, "Channel 1", {92, 138, 48, 10}, kStartsGroup},
    {kFirstAudioChannel + 1, kRadioButton, "Channel 2", {92, 149, 48, 10}, 0},
    {kFirstAudioChannel + 2, kRadioButton, "Channel 3", {92, 159, 48, 10}, 0},
    {kFirstAudioChannel + 3, kRadioButton, "Channel 4", {92, 169, 48, 10}, 0},
    {kNoControlId, kGroupBox, "Active audio channel", {85, 127, 77, 69}, 0},
    {kMuteAll, kCheckBox, "Mute all", {92, 180, 41, 10}, kTabStop},
    // The caption is replaced by the device name at activation.
    {kDeviceGroup, kGroupBox, "Device Name: %s", {10, 25, 285, 174}, 0},
    {kFirstCamera + 0, kRadioButton, "Camera 1", {21, 138, 46, 8}, kStartsGroup},
    {kFirstCamera + 1, kRadioButton, "Camera 2", {21, 149, 46, 8}, 0},
    {kFirstCamera + 2, kRadioButton, "Camera 3", {21, 159, 46, 8}, 0},
    {kFirstCamera + 3, kRadioButton, "Camera 4", {21, 169, 46, 8}, 0},
    {kShowAllCameras, kRadioButton, "Show all", {21, 180, 43, 8}, 0},
    {kNoControlId, kGroupBox, "Active camera", {14, 127, 66, 69}, 0},
    {kShowConfig, kPushButton, "Show config", {242, 13, 50, 11}, kTabStop},
    {kNoControlId, kText, "Time range:", {165, 153, 121, 9}, kStartsGroup},
    {kStartTime, kText, "StartTime", {165, 173, 123, 8}, 0},
    {kEndTime, kText, "EndTime", {165, 182, 120, 10}, 0},
    {kShowTime, kCheckBox, "Show time at bottom of screen", {24, 63, 109, 10}, kTabStop},
    {kShowBytesPerSecond, kCheckBox, "Show Bytes per second", {24, 73, 102, 10}, kTabStop},
    {kShowFramesPerSecond, kCheckBox, "Show Frames per second", {24, 84, 109, 10}, kTabStop},
    {kShowSettings1, kCheckBox, "Show settings 1", {19, 102, 62, 10}, kTabStop},
    {kShowSettings2, kCheckBox, "Show settings 2", {19, 113, 63, 10}, kTabStop},
    {kNoControlId, kText, "   Version 5.2  ", {13, 13, 61, 10}, kBorder},
    {kNoControlId, kText, "brightness:", {85, 113, 35, 8}, 0},
    {kNoControlId, kText, "contrast:", {190, 113, 28, 8}, 0},
    {kNoControlId, kText, "smooth:", {192, 102, 29, 8}, 0},
    {kNoControlId, kText, "sharpness:", {85, 102, 35, 8}, 0},
    {kSharpnessBar, kHorizontalScrollBar, nullptr, {122, 102, 66, 8}, kCreatedDisabled},
    {kBrightnessBar, kHorizontalScrollBar, nullptr, {122, 113, 66, 8}, kCreatedDisabled},
    {kSmoothBar, kHorizontalScrollBar, nullptr, {221, 102, 66, 8}, kCreatedDisabled},
    {kContrastBar, kHorizontalScrollBar, nullptr, {221, 113, 66, 8}, kCreatedDisabled},
    {kDefaultSetting, kPushButton, "Default setting", {233, 126, 54, 14}, kTabStop},
    {kShowActivity, kCheckBox, "Show activity", {142, 63, 58, 10}, kTabStop},
};

constexpr DialogItem kConfigItems[] = {
    {config_control::kOk, kPushButton, "OK", {7, 148, 50, 14}, kTabStop | kDefaultButton},
    {config_control::kReportText, kEdit, nullptr, {7, 7, 255, 134},
     kMultiLine | kReadOnly | kAutoHorizontalScroll | kAcceptsReturn | kHasHorizontalScrollBar | kBorder},
};

constexpr int kRussian = 1049;

constexpr DialogTemplate kTemplates[] = {
    {kPageDialogId, kRussian, kChildWindow, nullptr, "MS Sans Serif", 8, 306, 210, kPageItems},
    {kConfigDialogId, kRussian, kPopupWindow | kHasCaption | kSystemMenu | kModalFrame,
     "Configuration text description", "MS Sans Serif", 8, 269, 169, kConfigItems},
};

struct StringResource {
  int id;
  const char16_t* text;
};

constexpr StringResource kStrings[] = {
    {kPageTitleStringId, u"ZEZ Ezizov Uzodir Iduzavadiz"},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& dialog : kTemplates)
    if (dialog.id == id) return &dialog;
  return nullptr;
}

const char16_t* FindString(int id) {
  for (const StringResource& string : kStrings)
    if (string.id == id) return string.text;
  return nullptr;
}

}  // namespace vesk::settings
