// The page's resources as data: dialog templates 101 (the page) and 102 (the
// configuration report), and string 1 (the page title). Every view of the page
// lays its dialogs out from here, and the page logic addresses the controls by
// the IDs below.
#pragma once

#include "vesk/dialog_template.h"

namespace vesk::settings {

constexpr int kPageDialogId = 101;
constexpr int kConfigDialogId = 102;
constexpr int kPageTitleStringId = 1;

// Controls of the page dialog (101).
namespace page_control {
constexpr int kFirstSubtitles = 1000;     // 1000 to 1003: "Show subtitles" of cameras 0 to 3
constexpr int kFirstAudioChannel = 1008;  // 1008 to 1011: audio channels 0 to 3
constexpr int kMuteAll = 1012;
constexpr int kFirstCamera = 1013;  // 1013 to 1016: cameras 0 to 3
constexpr int kShowAllCameras = 1017;
constexpr int kDeviceGroup = 1018;
constexpr int kShowConfig = 1019;
constexpr int kStartTime = 1020;
constexpr int kEndTime = 1021;
constexpr int kShowTime = 1022;
constexpr int kShowBytesPerSecond = 1023;
constexpr int kShowFramesPerSecond = 1024;
constexpr int kShowSettings1 = 1025;  // sharpness and smooth
constexpr int kShowSettings2 = 1026;  // brightness and contrast
constexpr int kSharpnessBar = 1038;
constexpr int kBrightnessBar = 1039;
constexpr int kSmoothBar = 1040;
constexpr int kContrastBar = 1041;
constexpr int kDefaultSetting = 1042;
constexpr int kShowActivity = 1043;
}  // namespace page_control

// Controls of the configuration dialog (102).
namespace config_control {
constexpr int kOk = 1;
constexpr int kReportText = 1022;
}  // namespace config_control

// nullptr for a number the module has no template or string for.
const DialogTemplate* FindDialogTemplate(int id);
const char16_t* FindString(int id);

}  // namespace vesk::settings
