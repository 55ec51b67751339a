// The layout of a dialog as data: what a dialog system needs to build one
// with any toolkit. Positions are in dialog units, as in a Windows dialog
// template, so that every view of the module's pages lays them out alike.
#pragma once

#include <span>

namespace vesk::settings {

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

}  // namespace vesk::settings
