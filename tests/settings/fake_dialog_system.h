// Dialogs without a screen: each control of the template is a record of its
// state, and the test plays the user by sending the messages a dialog manager
// would send.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "settings/dialog_templates.h"
#include "vesk/dialog_system.h"

namespace vesk::settings::testing {

struct ControlState {
  ControlKind kind;
  int group;  // radio buttons clear each other within a group
  std::string text;
  bool enabled;
  bool checked = false;
  int maximum = 0;  // scroll range; every range starts at 0
  int position = 0;
};

class FakeDialog final : public Dialog {
 public:
  // `open` notes the dialog while it exists.
  FakeDialog(const DialogTemplate& layout, DialogHandler& handler, FakeDialog** open = nullptr)
      : handler_(handler), open_(open) {
    int group = 0;
    for (const DialogItem& item : layout.items) {
      group += (item.styles & kStartsGroup) != 0;
      if (item.id != kNoControlId)
        controls_.emplace(item.id, ControlState{item.kind, group, item.caption ? item.caption : "",
                                                (item.styles & kCreatedDisabled) == 0});
    }
    if (open_) *open_ = this;
  }
  ~FakeDialog() override {
    Send(WM_DESTROY, 0, 0);
    if (open_) *open_ = nullptr;
  }

  HWND Handle() override { return reinterpret_cast<HWND>(this); }
  HWND Control(int id) override { return controls_.count(id) ? reinterpret_cast<HWND>(&controls_.at(id)) : nullptr; }
  void SetText(int id, const char* text) override { State(id).text = text; }
  void SetCheck(int id, bool checked) override { State(id).checked = checked; }
  bool IsChecked(int id) override { return State(id).checked; }
  void CheckRadioButton(int first, int last, int id) override {
    for (int button = first; button <= last; ++button) State(button).checked = button == id;
  }
  void Enable(int id, bool enabled) override { State(id).enabled = enabled; }
  void SetScrollRange(int id, int minimum, int maximum, bool) override {
    EXPECT_EQ(minimum, 0);
    State(id).maximum = maximum;
  }
  void SetScrollPosition(int id, int position, bool) override { State(id).position = position; }
  void Show(bool visible) override { visible_ = visible; }
  void Move(const RECT& place) override { place_ = place; }
  // The modal dialog shows itself to the test's user, who may close it.
  INT_PTR RunModal(const DialogTemplate& layout, DialogHandler& handler) override {
    FakeDialog modal(layout, handler);
    modal.Send(WM_INITDIALOG, 0, 0);
    modalTemplate = layout.id;
    if (userOfModal) userOfModal(modal);
    return modalResult = modal.ended_ ? modal.result_ : -1;
  }
  void End(INT_PTR result) override {
    ended_ = true;
    result_ = result;
  }

  ControlState& State(int id) {
    EXPECT_TRUE(controls_.count(id)) << "no control " << id;
    return controls_[id];
  }
  // A click as the user makes it: automatic buttons change their state first.
  INT_PTR Click(int id) {
    ControlState& control = State(id);
    EXPECT_TRUE(control.enabled) << "control " << id << " is disabled";
    if (control.kind == ControlKind::kCheckBox) control.checked = !control.checked;
    for (auto& [other, state] : controls_)
      if (control.kind == ControlKind::kRadioButton && state.kind == control.kind && state.group == control.group)
        state.checked = other == id;
    return Command(id, BN_CLICKED);
  }
  INT_PTR Command(int id, WORD notification) {
    return Send(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), notification), reinterpret_cast<LPARAM>(Control(id)));
  }
  INT_PTR Scroll(int bar, WORD request, WORD position = 0) {
    return Send(WM_HSCROLL, MAKEWPARAM(request, position), reinterpret_cast<LPARAM>(Control(bar)));
  }
  INT_PTR Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return handler_.OnDialogMessage(*this, message, wParam, lParam);
  }

  bool visible_ = false;
  RECT place_{};
  bool ended_ = false;
  INT_PTR result_ = 0;
  int modalTemplate = 0;
  INT_PTR modalResult = 0;
  std::function<void(FakeDialog& modal)> userOfModal;

 private:
  DialogHandler& handler_;
  FakeDialog** open_;
  std::map<int, ControlState> controls_;
};

class FakeDialogSystem final : public DialogSystem {
 public:
  std::unique_ptr<Dialog> Create(const DialogTemplate& layout, HWND parent, DialogHandler& handler) override {
    if (refuse) return nullptr;
    parentOfLast = parent;
    auto dialog = std::make_unique<FakeDialog>(layout, handler, &open);
    dialog->Send(WM_INITDIALOG, 0, 0);
    return dialog;
  }
  bool Measure(const DialogTemplate& layout, SIZE* pixels) override {
    *pixels = layout.id == kPageDialogId ? SIZE{612, 420} : SIZE{};
    return true;
  }

  bool refuse = false;
  FakeDialog* open = nullptr;
  HWND parentOfLast = nullptr;
};

}  // namespace vesk::settings::testing
