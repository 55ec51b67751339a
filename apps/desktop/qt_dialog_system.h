// QtDialogSystem: the module's property page dialogs built with Qt Widgets
// from the templates the module hands over, laid out in dialog units of the
// template's font. Widget signals become the messages the page's procedure
// expects: a click is WM_COMMAND with BN_CLICKED after an automatic check box
// or radio button has changed its state (a radio button clears the others of
// its template group); a scroll bar sends WM_HSCROLL requests and keeps its
// thumb where the page last put it.
//
// HWNDs handed across are QWidget pointers. Everything runs on the GUI thread.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "vesk/dialog_system.h"

namespace vesk::desktop {

// A text of the module (Windows-1251) as Qt text.
QString FromModuleText(const char* text);

class QtDialog final : public settings::Dialog {
 public:
  // Builds the controls of `layout` on `surface`, which it takes over.
  QtDialog(const settings::DialogTemplate& layout, QWidget* surface, settings::DialogHandler& handler);
  ~QtDialog() override;

  HWND Handle() override { return reinterpret_cast<HWND>(surface_.data()); }
  HWND Control(int id) override;
  void SetText(int id, const char* text) override;
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) override;
  void CheckRadioButton(int first, int last, int id) override;
  void Enable(int id, bool enabled) override;
  void SetScrollRange(int id, int minimum, int maximum, bool redraw) override;
  void SetScrollPosition(int id, int position, bool redraw) override;
  void Show(bool visible) override;
  void Move(const RECT& place) override;
  INT_PTR RunModal(const settings::DialogTemplate& layout, settings::DialogHandler& handler) override;
  void End(INT_PTR result) override;

  INT_PTR Send(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Item {
    QWidget* widget;  // owned by the surface
    int group;        // radio buttons clear one another within a group
    int position;     // a scroll bar's position, as the page set it
  };

  void Build(const settings::DialogTemplate& layout);
  void Connect(int id, QWidget* widget);
  void Clicked(int id);
  void Scrolled(int id, int action);
  void ThumbReleased(int id);
  void KeepThumb(int id);
  Item* Find(int id);

  QPointer<QWidget> surface_;
  settings::DialogHandler& handler_;
  std::map<int, Item> controls_;
};

class QtDialogSystem final : public settings::DialogSystem {
 public:
  std::unique_ptr<settings::Dialog> Create(const settings::DialogTemplate& layout, HWND parent,
                                           settings::DialogHandler& handler) override;
  bool Measure(const settings::DialogTemplate& layout, SIZE* pixels) override;
};

}  // namespace vesk::desktop
