// The dialogs the module's property page shows, seen through a small abstract
// interface: where there is no dialog manager of the system's own, whoever
// shows the page (a desktop player, a test) installs a DialogSystem that
// builds dialogs from templates (vesk/dialog_template.h) with any toolkit, by
// handing it to the module's export kInstallDialogSystemEntry. The page then
// talks to its dialog only through Dialog, and hears from it through its
// DialogHandler, with the messages of vesk/dialog_messages.h.
//
// Everything here runs on one thread: the thread that shows the page.
#pragma once

#include <memory>

#include "vesk/dialog_messages.h"
#include "vesk/dialog_template.h"
#include "vesk/dshow.h"

namespace vesk::settings {

class Dialog;

// The dialog procedure: receives every message of one dialog. Messages:
// WM_INITDIALOG once the controls exist, WM_COMMAND when a button is clicked
// (after an automatic check box or radio button has changed its state),
// WM_HSCROLL from a scroll bar (which does not move its thumb itself), and
// WM_DESTROY as the dialog goes.
class DialogHandler {
 public:
  virtual INT_PTR OnDialogMessage(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~DialogHandler() = default;
};

// One open dialog. Controls are addressed by their template IDs; an ID the
// template does not have is ignored (reads give false). Texts are 8-bit, in
// the module's code page (Windows-1251). Destroying the Dialog takes it out
// of its parent's keyboard navigation, sends WM_DESTROY and closes it.
class Dialog {
 public:
  virtual ~Dialog() = default;

  virtual HWND Handle() = 0;
  // The control's own handle: lParam of its WM_COMMAND and WM_HSCROLL.
  virtual HWND Control(int id) = 0;

  virtual void SetText(int id, const char* text) = 0;
  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool IsChecked(int id) = 0;
  // Checks `id` and clears every other button from `first` to `last`.
  virtual void CheckRadioButton(int first, int last, int id) = 0;
  // For a scroll bar: both of its arrows.
  virtual void Enable(int id, bool enabled) = 0;
  virtual void SetScrollRange(int id, int minimum, int maximum, bool redraw) = 0;
  virtual void SetScrollPosition(int id, int position, bool redraw) = 0;

  // Shows or hides the dialog and repaints it.
  virtual void Show(bool visible) = 0;
  // Moves the dialog to the rectangle, in its parent's pixels, and repaints it.
  virtual void Move(const RECT& place) = 0;

  // Runs a modal dialog owned by this one and returns the value it ended
  // with; -1 when it could not be shown.
  virtual INT_PTR RunModal(const DialogTemplate& layout, DialogHandler& handler) = 0;
  // Ends this dialog when it runs modally, with the value RunModal returns.
  virtual void End(INT_PTR result) = 0;
};

class DialogSystem {
 public:
  // A dialog as a child of `parent` (nullptr: a top-level one), hidden until
  // shown; WM_INITDIALOG has reached the handler when it returns. nullptr
  // when the dialog cannot be made. The handler must outlive the dialog.
  virtual std::unique_ptr<Dialog> Create(const DialogTemplate& layout, HWND parent,
                                         DialogHandler& handler) = 0;
  // The size in pixels that a dialog of this template takes; false when it
  // cannot be measured.
  virtual bool Measure(const DialogTemplate& layout, SIZE* pixels) = 0;

 protected:
  ~DialogSystem() = default;
};

// The module's export that installs a host's dialog system; the system must
// outlive its installation, and nullptr removes it.
using InstallDialogSystemEntry = void (*)(DialogSystem* system);
inline constexpr const char* kInstallDialogSystemEntry = "VeskInstallDialogSystem";

// IPropertyPage::Activate with no DialogSystem installed: ERROR_NOT_SUPPORTED.
constexpr HRESULT kNoDialogSystem = HRESULT_FROM_WIN32(50);

}  // namespace vesk::settings
