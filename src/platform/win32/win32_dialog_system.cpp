#include "platform/win32/win32_dialog_system.h"

#include <commctrl.h>

#include <string>

namespace vesk::platform {
namespace {

using settings::ControlKind;
using settings::DialogHandler;
using settings::DialogTemplate;

// The page's texts are Windows-1251, whatever the system's ANSI code page is.
constexpr UINT kTextCodePage = 1251;

// One dialog of the module's resources, its messages handed to a DialogHandler.
class Win32Dialog final : public settings::Dialog {
 public:
  // A modal dialog belongs to the dialog manager, which destroys it when it ends.
  Win32Dialog(HINSTANCE module, const DialogTemplate& layout, DialogHandler& handler, bool modal)
      : module_(module), layout_(layout), handler_(handler), modal_(modal) {}

  ~Win32Dialog() override {
    if (modal_ || !window_) return;
    // Out of the frame's keyboard navigation before it goes.
    SetWindowLongPtrA(window_, GWL_EXSTYLE, GetWindowLongPtrA(window_, GWL_EXSTYLE) & ~WS_EX_CONTROLPARENT);
    DestroyWindow(window_);
  }

  bool Open(HWND parent) {
    if (!CreateDialogParamA(module_, MAKEINTRESOURCEA(layout_.id), parent, Procedure, reinterpret_cast<LPARAM>(this)))
      return false;
    // A page inside a frame joins the frame's keyboard navigation: Tab reaches its controls.
    if (parent) SetWindowLongPtrA(window_, GWL_EXSTYLE, GetWindowLongPtrA(window_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return true;
  }

  HWND Handle() override { return window_; }
  HWND Control(int id) override { return GetDlgItem(window_, id); }

  void SetText(int id, const char* text) override {
    const int length = MultiByteToWideChar(kTextCodePage, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    MultiByteToWideChar(kTextCodePage, 0, text, -1, wide.data(), length);
    SetDlgItemTextW(window_, id, wide.c_str());
  }
  void SetCheck(int id, bool checked) override { CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED); }
  bool IsChecked(int id) override { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  void CheckRadioButton(int first, int last, int id) override { ::CheckRadioButton(window_, first, last, id); }

  void Enable(int id, bool enabled) override {
    HWND control = Control(id);
    if (!control) return;
    // Both arrows of a bar; with them the system enables or disables the bar's window.
    if (IsScrollBar(id))
      EnableScrollBar(control, SB_CTL, enabled ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    else
      EnableWindow(control, enabled);
  }
  void SetScrollRange(int id, int minimum, int maximum, bool redraw) override {
    if (HWND control = Control(id)) ::SetScrollRange(control, SB_CTL, minimum, maximum, redraw);
  }
  void SetScrollPosition(int id, int position, bool redraw) override {
    if (HWND control = Control(id)) SetScrollPos(control, SB_CTL, position, redraw);
  }

  void Show(bool visible) override {
    ShowWindow(window_, visible ? SW_SHOWNORMAL : SW_HIDE);
    InvalidateRect(window_, nullptr, TRUE);
  }
  void Move(const RECT& place) override {
    MoveWindow(window_, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
  }

  INT_PTR RunModal(const DialogTemplate& layout, DialogHandler& handler) override {
    Win32Dialog modal(module_, layout, handler, true);
    return DialogBoxParamA(module_, MAKEINTRESOURCEA(layout.id), window_, Procedure, reinterpret_cast<LPARAM>(&modal));
  }
  void End(INT_PTR result) override { EndDialog(window_, result); }

 private:
  bool IsScrollBar(int id) const {
    for (const settings::DialogItem& item : layout_.items)
      if (item.id == id) return item.kind == ControlKind::kHorizontalScrollBar;
    return false;
  }

  // Every message from WM_INITDIALOG on goes to the handler; before it, the
  // dialog has no handler yet and claims the message.
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      reinterpret_cast<Win32Dialog*>(lParam)->window_ = window;
      SetWindowLongPtrA(window, DWLP_USER, lParam);
    }
    auto* dialog = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) return TRUE;
    return dialog->handler_.OnDialogMessage(*dialog, message, wParam, lParam);
  }

  HINSTANCE module_;
  const DialogTemplate& layout_;
  DialogHandler& handler_;
  const bool modal_;
  HWND window_ = nullptr;  // set at WM_INITDIALOG
};

// The procedure of a dialog that is only measured.
INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

std::unique_ptr<settings::Dialog> Win32DialogSystem::Create(const DialogTemplate& layout, HWND parent,
                                                            DialogHandler& handler) {
  InitCommonControls();
  auto dialog = std::make_unique<Win32Dialog>(module_, layout, handler, false);
  if (!dialog->Open(parent)) return nullptr;
  return dialog;
}

// The dialog made once, hidden, as a child of the desktop, and measured.
bool Win32DialogSystem::Measure(const DialogTemplate& layout, SIZE* pixels) {
  InitCommonControls();
  HWND window = CreateDialogParamA(module_, MAKEINTRESOURCEA(layout.id), GetDesktopWindow(), IgnoreMessages, 0);
  if (!window) return false;
  RECT place{};
  GetWindowRect(window, &place);
  DestroyWindow(window);
  *pixels = SIZE{place.right - place.left, place.bottom - place.top};
  return true;
}

}  // namespace vesk::platform
