// How the page's dialog data reads in a Windows dialog template: the window
// class of each kind of control, and the style of each item and dialog, both
// as a resource script names it and as the compiled template holds it, so
// that a check can hold the compiled resources against the data.
#pragma once

#include <string>

#include "vesk/dialog_template.h"

namespace vesk::settings::win32_styles {

struct WindowClass {
  const char* name;
  unsigned short atom;  // the ordinal a compiled template may hold instead of the name
};

struct Win32Style {
  std::string names;  // "WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX"
  unsigned long value;
};

namespace detail {

struct StyleBit {
  unsigned bit;  // ItemStyle or DialogStyle bit
  const char* name;
  unsigned long value;
};

inline constexpr StyleBit kItemBits[] = {
    {kStartsGroup, "WS_GROUP", 0x00020000},    {kTabStop, "WS_TABSTOP", 0x00010000},
    {kCreatedDisabled, "WS_DISABLED", 0x08000000}, {kBorder, "WS_BORDER", 0x00800000},
    {kDefaultButton, "BS_DEFPUSHBUTTON", 0x1}, {kMultiLine, "ES_MULTILINE", 0x4},
    {kReadOnly, "ES_READONLY", 0x800},         {kAutoHorizontalScroll, "ES_AUTOHSCROLL", 0x80},
    {kAcceptsReturn, "ES_WANTRETURN", 0x1000}, {kHasHorizontalScrollBar, "WS_HSCROLL", 0x00100000},
};

inline constexpr StyleBit kDialogBits[] = {
    {kChildWindow, "WS_CHILD", 0x40000000}, {kPopupWindow, "WS_POPUP", 0x80000000},
    {kHasCaption, "WS_CAPTION", 0x00C00000}, {kSystemMenu, "WS_SYSMENU", 0x00080000},
    {kModalFrame, "DS_MODALFRAME", 0x80},
};

template <std::size_t N>
Win32Style Combine(Win32Style style, unsigned bits, const StyleBit (&table)[N]) {
  for (const StyleBit& entry : table) {
    if (!(bits & entry.bit)) continue;
    style.names += std::string(" | ") + entry.name;
    style.value |= entry.value;
  }
  return style;
}

}  // namespace detail

inline WindowClass ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kText: return {"STATIC", 0x82};
    case ControlKind::kHorizontalScrollBar: return {"SCROLLBAR", 0x84};
    case ControlKind::kEdit: return {"EDIT", 0x81};
    default: return {"BUTTON", 0x80};
  }
}

// Every item is a visible child; the kind gives the class's own style.
inline Win32Style ItemStyle(const DialogItem& item) {
  Win32Style style{"WS_CHILD | WS_VISIBLE | ", 0x50000000};
  switch (item.kind) {
    case ControlKind::kGroupBox: style = {style.names + "BS_GROUPBOX", style.value | 0x7}; break;
    case ControlKind::kText: style.names += "SS_LEFT"; break;
    case ControlKind::kCheckBox: style = {style.names + "BS_AUTOCHECKBOX", style.value | 0x3}; break;
    case ControlKind::kRadioButton: style = {style.names + "BS_AUTORADIOBUTTON", style.value | 0x9}; break;
    case ControlKind::kPushButton: style.names += "BS_PUSHBUTTON"; break;
    case ControlKind::kHorizontalScrollBar: style.names += "SBS_HORZ"; break;
    case ControlKind::kEdit: style.names += "ES_LEFT"; break;
  }
  return detail::Combine(style, item.styles, detail::kItemBits);
}

// The dialog's font is in its template.
inline Win32Style DialogStyle(const DialogTemplate& dialog) {
  return detail::Combine({"DS_SETFONT", 0x40}, dialog.styles, detail::kDialogBits);
}

}  // namespace vesk::settings::win32_styles
