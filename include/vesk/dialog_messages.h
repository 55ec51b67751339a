// The window messages and notification codes a dialog hands its procedure,
// with the values and argument packing of the Windows dialog manager, so that
// the page logic reads the same on every platform.
#pragma once

#include <cstdint>

#include "vesk/dshow.h"

#ifndef _WIN32

using INT_PTR = std::intptr_t;

constexpr UINT WM_DESTROY = 0x0002;
// wParam: the control to get the focus; lParam: the creation parameter.
constexpr UINT WM_INITDIALOG = 0x0110;
// wParam: control ID (low word) and notification code (high word); lParam: the control.
constexpr UINT WM_COMMAND = 0x0111;
// wParam: scroll request (low word) and thumb position (high word); lParam: the scroll bar.
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_USER = 0x0400;

// Notification code of a button click.
constexpr WORD BN_CLICKED = 0;

// Scroll requests.
constexpr WORD SB_LINELEFT = 0;
constexpr WORD SB_LINERIGHT = 1;
constexpr WORD SB_PAGELEFT = 2;
constexpr WORD SB_PAGERIGHT = 3;
constexpr WORD SB_THUMBPOSITION = 4;
constexpr WORD SB_THUMBTRACK = 5;
constexpr WORD SB_LEFT = 6;
constexpr WORD SB_RIGHT = 7;
constexpr WORD SB_ENDSCROLL = 8;

// Buttons that close a dialog.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Show commands of IPropertyPage::Show.
constexpr UINT SW_HIDE = 0;
constexpr UINT SW_SHOWNORMAL = 1;
constexpr UINT SW_SHOW = 5;

constexpr WORD LOWORD(std::uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
  return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}

#endif  // _WIN32
