#include "apps/desktop/qt_dialog_system.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace vesk::desktop {
namespace {

using settings::ControlKind;
using settings::DialogItem;
using settings::DialogTemplate;

// Dialog units of a font: a quarter of its average character width across,
// an eighth of its height down.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    across_ = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    down_ = metrics.height();
  }
  int X(int units) const { return (units * across_ + 2) / 4; }
  int Y(int units) const { return (units * down_ + 4) / 8; }
  QRect Place(const settings::DialogUnits& place) const {
    return QRect(X(place.x), Y(place.y), X(place.width), Y(place.height));
  }

 private:
  int across_;
  int down_;
};

QFont TemplateFont(const DialogTemplate& layout) {
  QFont font(QString::fromLatin1(layout.fontName));
  font.setPointSize(layout.fontPoints);
  return font;
}

QWidget* MakeControl(const DialogItem& item, QWidget* surface) {
  const QString caption = FromModuleText(item.caption);
  switch (item.kind) {
    case ControlKind::kGroupBox:
      return new QGroupBox(caption, surface);
    case ControlKind::kText: {
      auto* label = new QLabel(caption, surface);
      if (item.styles & settings::kBorder) label->setFrameStyle(QFrame::Box | QFrame::Plain);
      return label;
    }
    case ControlKind::kCheckBox:
      return new QCheckBox(caption, surface);
    case ControlKind::kRadioButton: {
      auto* radio = new QRadioButton(caption, surface);
      radio->setAutoExclusive(false);  // groups come from the template, not from the parent
      return radio;
    }
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(caption, surface);
      button->setDefault(item.styles & settings::kDefaultButton);
      return button;
    }
    case ControlKind::kHorizontalScrollBar: {
      auto* bar = new QScrollBar(Qt::Horizontal, surface);
      bar->setTracking(false);
      bar->setPageStep(1);
      return bar;
    }
    case ControlKind::kEdit: {
      auto* edit = new QPlainTextEdit(caption, surface);
      edit->setReadOnly(item.styles & settings::kReadOnly);
      if (item.styles & settings::kAutoHorizontalScroll) edit->setLineWrapMode(QPlainTextEdit::NoWrap);
      edit->setHorizontalScrollBarPolicy((item.styles & settings::kHasHorizontalScrollBar) ? Qt::ScrollBarAlwaysOn
                                                                                           : Qt::ScrollBarAsNeeded);
      return edit;
    }
  }
  return nullptr;
}

// A modal dialog whose closing (Escape, the window's close button) is the
// Cancel command, as the platform's dialog manager sends it.
class ModalWindow final : public QDialog {
 public:
  using QDialog::QDialog;
  QtDialog* dialog = nullptr;

 protected:
  void reject() override {
    if (dialog) dialog->Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
};

}  // namespace

QString FromModuleText(const char* text) {
  QString result;
  for (const char* c = text ? text : ""; *c; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte == '\r') continue;  // the module's lines end with CR LF
    if (byte >= 0xC0)
      result += QChar(0x0410 + (byte - 0xC0));  // А to я
    else if (byte == 0xA8)
      result += QChar(0x0401);  // Ё
    else if (byte == 0xB8)
      result += QChar(0x0451);  // ё
    else
      result += QChar(byte);
  }
  return result;
}

QtDialog::QtDialog(const DialogTemplate& layout, QWidget* surface, settings::DialogHandler& handler)
    : surface_(surface), handler_(handler) {
  Build(layout);
}

QtDialog::~QtDialog() {
  Send(WM_DESTROY, 0, 0);
  delete surface_.data();
}

void QtDialog::Build(const DialogTemplate& layout) {
  const QFont font = TemplateFont(layout);
  surface_->setFont(font);
  if (layout.caption) surface_->setWindowTitle(FromModuleText(layout.caption));
  const DialogUnits units(font);
  surface_->resize(units.X(layout.width), units.Y(layout.height));
  int group = 0;
  for (const DialogItem& item : layout.items) {
    group += (item.styles & settings::kStartsGroup) != 0;
    QWidget* widget = MakeControl(item, surface_);
    widget->setGeometry(units.Place(item.place));
    widget->setEnabled(!(item.styles & settings::kCreatedDisabled));
    if (!(item.styles & settings::kTabStop)) widget->setFocusPolicy(Qt::NoFocus);
    if (item.id == settings::kNoControlId) continue;
    controls_[item.id] = Item{widget, group, 0};
    Connect(item.id, widget);
  }
}

void QtDialog::Connect(int id, QWidget* widget) {
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    QObject::connect(button, &QAbstractButton::clicked, surface_, [this, id] { Clicked(id); });
  } else if (auto* bar = qobject_cast<QScrollBar*>(widget)) {
    QObject::connect(bar, &QScrollBar::actionTriggered, surface_, [this, id](int action) { Scrolled(id, action); });
    QObject::connect(bar, &QScrollBar::sliderReleased, surface_, [this, id] { ThumbReleased(id); });
  }
}

INT_PTR QtDialog::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  return handler_.OnDialogMessage(*this, message, wParam, lParam);
}

QtDialog::Item* QtDialog::Find(int id) {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : &found->second;
}

void QtDialog::Clicked(int id) {
  Item* control = Find(id);
  if (auto* radio = qobject_cast<QRadioButton*>(control->widget)) {
    for (auto& [other, state] : controls_) {
      if (auto* button = qobject_cast<QRadioButton*>(state.widget); button && state.group == control->group)
        button->setChecked(other == id);
    }
    radio->setChecked(true);
  }
  Send(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), reinterpret_cast<LPARAM>(control->widget));
}

void QtDialog::Scrolled(int id, int action) {
  WORD request;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: request = SB_LINELEFT; break;
    case QAbstractSlider::SliderSingleStepAdd: request = SB_LINERIGHT; break;
    case QAbstractSlider::SliderPageStepSub: request = SB_PAGELEFT; break;
    case QAbstractSlider::SliderPageStepAdd: request = SB_PAGERIGHT; break;
    case QAbstractSlider::SliderToMinimum: request = SB_LEFT; break;
    case QAbstractSlider::SliderToMaximum: request = SB_RIGHT; break;
    // The thumb follows the mouse while dragged; its release is the request.
    default: return;
  }
  Send(WM_HSCROLL, MAKEWPARAM(request, 0), reinterpret_cast<LPARAM>(Find(id)->widget));
  Send(WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(Find(id)->widget));
  KeepThumb(id);
}

void QtDialog::ThumbReleased(int id) {
  auto* bar = static_cast<QScrollBar*>(Find(id)->widget);
  const auto position = static_cast<WORD>(bar->sliderPosition());
  Send(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(bar));
  Send(WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
  KeepThumb(id);
}

// A scroll bar does not move itself: the thumb stays where the page put it.
void QtDialog::KeepThumb(int id) {
  auto* bar = static_cast<QScrollBar*>(Find(id)->widget);
  const QSignalBlocker quiet(bar);
  bar->setSliderPosition(Find(id)->position);
  bar->setValue(Find(id)->position);
}

HWND QtDialog::Control(int id) {
  Item* control = Find(id);
  return control ? reinterpret_cast<HWND>(control->widget) : nullptr;
}

void QtDialog::SetText(int id, const char* text) {
  Item* control = Find(id);
  if (!control) return;
  const QString value = FromModuleText(text);
  if (auto* button = qobject_cast<QAbstractButton*>(control->widget)) button->setText(value);
  else if (auto* box = qobject_cast<QGroupBox*>(control->widget)) box->setTitle(value);
  else if (auto* label = qobject_cast<QLabel*>(control->widget)) label->setText(value);
  else if (auto* edit = qobject_cast<QPlainTextEdit*>(control->widget)) edit->setPlainText(value);
}

void QtDialog::SetCheck(int id, bool checked) {
  if (Item* control = Find(id))
    if (auto* button = qobject_cast<QAbstractButton*>(control->widget)) button->setChecked(checked);
}

bool QtDialog::IsChecked(int id) {
  Item* control = Find(id);
  auto* button = control ? qobject_cast<QAbstractButton*>(control->widget) : nullptr;
  return button && button->isChecked();
}

void QtDialog::CheckRadioButton(int first, int last, int id) {
  for (int button = first; button <= last; ++button) SetCheck(button, button == id);
}

void QtDialog::Enable(int id, bool enabled) {
  if (Item* control = Find(id)) control->widget->setEnabled(enabled);
}

void QtDialog::SetScrollRange(int id, int minimum, int maximum, bool) {
  Item* control = Find(id);
  if (auto* bar = control ? qobject_cast<QScrollBar*>(control->widget) : nullptr) {
    const QSignalBlocker quiet(bar);
    bar->setRange(minimum, maximum);
  }
}

void QtDialog::SetScrollPosition(int id, int position, bool) {
  Item* control = Find(id);
  if (!control || !qobject_cast<QScrollBar*>(control->widget)) return;
  control->position = position;
  KeepThumb(id);
}

void QtDialog::Show(bool visible) {
  surface_->setVisible(visible);
  surface_->update();
}

void QtDialog::Move(const RECT& place) {
  surface_->setGeometry(place.left, place.top, place.right - place.left, place.bottom - place.top);
  surface_->update();
}

INT_PTR QtDialog::RunModal(const DialogTemplate& layout, settings::DialogHandler& handler) {
  auto* window = new ModalWindow(surface_ ? surface_->window() : nullptr);
  QtDialog modal(layout, window, handler);
  window->dialog = &modal;
  window->setModal(true);
  window->setFixedSize(window->size());
  modal.Send(WM_INITDIALOG, 0, 0);
  const int result = window->exec();
  window->dialog = nullptr;
  return result;
}

void QtDialog::End(INT_PTR result) {
  if (auto* window = qobject_cast<QDialog*>(surface_.data())) window->done(static_cast<int>(result));
}

std::unique_ptr<settings::Dialog> QtDialogSystem::Create(const DialogTemplate& layout, HWND parent,
                                                         settings::DialogHandler& handler) {
  auto* surface = new QWidget(reinterpret_cast<QWidget*>(parent));
  surface->hide();
  auto dialog = std::make_unique<QtDialog>(layout, surface, handler);
  dialog->Send(WM_INITDIALOG, 0, 0);
  return dialog;
}

bool QtDialogSystem::Measure(const DialogTemplate& layout, SIZE* pixels) {
  const DialogUnits units(TemplateFont(layout));
  *pixels = SIZE{units.X(layout.width), units.Y(layout.height)};
  return true;
}

}  // namespace vesk::desktop
