// The page's resources as data: dialog templates 101 (the page) and 102 (the
// configuration report), and string 1 (the page title). Every view of the page
// lays its dialogs out from here, and the page logic addresses the controls by
// the IDs below.
#pragma once

#include <span>

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

// An item or a dialog without an ID.
constexpr int kNoControlId = -1;

enum class ControlKind {
  kGroupBox,
  kText,
  kCheckBox,     // checks and clears itself when clicked
  kRadioButton,  // checks itself and clears the others of its group when clicked
  kPushButton,
  kHorizontalScrollBar,
  kEdit,
};

// Item styles, combined as bits.
enum ItemStyle : unsigned {
  kStartsGroup = 1u << 0,
  kTabStop = 1u << 1,
  kCreatedDisabled = 1u << 2,
  kBorder = 1u << 3,
  kDefaultButton = 1u << 4,
  kMultiLine = 1u << 5,
  kReadOnly = 1u << 6,
  kAutoHorizontalScroll = 1u << 7,
  kAcceptsReturn = 1u << 8,
  kHasHorizontalScrollBar = 1u << 9,
};

// Dialog styles, combined as bits.
enum DialogStyle : unsigned {
  kChildWindow = 1u << 0,
  kPopupWindow = 1u << 1,
  kHasCaption = 1u << 2,
  kSystemMenu = 1u << 3,
  kModalFrame = 1u << 4,
};

// Positions and sizes in dialog units: a quarter of the font's average
// character width across, an eighth of its height down.
struct DialogUnits {
  int x;
  int y;
  int width;
  int height;
};

struct DialogItem {
  int id;  // kNoControlId for labels and frames
  ControlKind kind;
  const char* caption;  // nullptr: none
  DialogUnits place;
  unsigned styles;  // ItemStyle bits
};

// Items are in template order, which is also the tab order.
struct DialogTemplate {
  int id;
  int language;  // 1049: Russian
  unsigned styles;  // DialogStyle bits
  const char* caption;  // nullptr: none
  const char* fontName;
  int fontPoints;
  int width;  // dialog units
  int height;
  std::span<const DialogItem> items;
};

// nullptr for a number the module has no template or string for.
const DialogTemplate* FindDialogTemplate(int id);
const char16_t* FindString(int id);

}  // namespace vesk::settings
