#include "apps/desktop/player_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

#include "apps/desktop/picture_view.h"
#include "apps/desktop/post_to.h"
#include "apps/desktop/property_frame.h"
#include "apps/desktop/seek_bar.h"
#include "apps/desktop/sound_output.h"

namespace vesk::desktop {
namespace {

const QString kCaptureFolderKey = QStringLiteral("captureFolder");

QSettings PlayerSettings() { return QSettings(QStringLiteral("Vesk"), QStringLiteral("vesk-desktop")); }

}  // namespace

std::unique_ptr<PlayerWindow> PlayerWindow::Open(const std::string& location, QString* error) {
  std::unique_ptr<PlayerWindow> window(new PlayerWindow());
  std::string reason;
  SessionCallbacks callbacks;
  PlayerWindow* self = window.get();
  callbacks.picturePublished = [self] { self->view_->PictureArrived(); };
  // The first format comes while the session connects, before the window has its sound output.
  callbacks.soundFormat = [self](PcmFormat format) { PostTo(self, [self, format] { self->sound_->Open(format); }); };
  window->session_ = DesktopSession::Open(location, std::move(callbacks), &reason);
  if (!window->session_) {
    *error = QString::fromStdString(reason);
    return nullptr;
  }
  window->Build();
  window->installDialogs_ = reinterpret_cast<settings::InstallDialogSystemEntry>(
      window->session_->Module().Entry(settings::kInstallDialogSystemEntry));
  if (window->installDialogs_) window->installDialogs_(&window->dialogs_);
  if (FAILED(window->session_->Run())) {
    *error = QStringLiteral("%1: the graph could not start").arg(QString::fromStdString(location));
    return nullptr;
  }
  return window;
}

PlayerWindow::PlayerWindow() = default;

// The streaming thread calls the view and the sound output until the graph
// stops, and the page uses the dialog system until it is closed.
PlayerWindow::~PlayerWindow() {
  delete properties_.data();
  if (session_) session_->Stop();
  sound_.reset();
  delete centralWidget();
  if (installDialogs_) installDialogs_(nullptr);
}

void PlayerWindow::Build() {
  setWindowTitle(QStringLiteral("VESK Playback - %1").arg(QString::fromStdString(session_->Location())));
  sound_ = std::make_unique<SoundOutput>(session_->Sound());
  view_ = new PictureView(session_->Frames());
  seekBar_ = new SeekBar(session_->Activity());
  clock_ = new QLabel;
  clock_->setMinimumWidth(clock_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00 00:00:00 ")));
  state_ = new QLabel;
  statusBar()->addWidget(state_, 1);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 4);
  layout->addWidget(view_, 1);
  auto* under = new QHBoxLayout;
  under->setContentsMargins(4, 0, 4, 0);
  under->addWidget(seekBar_, 1);
  under->addWidget(clock_);
  layout->addLayout(under);
  setCentralWidget(central);
  seekBar_->SetRange(session_->DurationSeconds());
  seekBar_->setVisible(session_->Seekable());
  connect(seekBar_, &SeekBar::seekRequested, this, [this](double seconds) {
    session_->SeekTo(seconds);
    Refresh();
  });
  connect(view_, &PictureView::doubleClicked, this, [this] { ToggleFullScreen(); });

  QMenu* play = menuBar()->addMenu(tr("&Play"));
  AddCommand(play, tr("Pause"), Qt::Key_Space, [this] { TogglePause(); });
  AddCommand(play, tr("Previous index position"), Qt::Key_Left, [this] { Step(-1); });
  AddCommand(play, tr("Next index position"), Qt::Key_Right, [this] { Step(1); });
  AddCommand(play, tr("Index stepping backward"), Qt::SHIFT | Qt::Key_Left, [this] { ScanIndex(-1); });
  AddCommand(play, tr("Index stepping forward"), Qt::SHIFT | Qt::Key_Right, [this] { ScanIndex(1); });
  AddCommand(play, tr("Next activity"), Qt::Key_A, [this] { NextActivity(); });
  play->addSeparator();
  AddCommand(play, tr("Snapshot"), Qt::Key_S, [this] { Snapshot(); });
  AddCommand(play, tr("Record"), Qt::Key_R, [this] { ToggleRecording(); });
  AddCommand(play, tr("Mute"), Qt::Key_M, [this] { ToggleMute(); });
  play->addSeparator();
  AddCommand(play, tr("Quit"), Qt::Key_Q, [this] { close(); });

  QMenu* view = menuBar()->addMenu(tr("&View"));
  AddCommand(view, tr("All cameras"), Qt::Key_0, [this] { ShowCamera(-1); });
  for (int camera = 0; camera < 4; ++camera)
    AddCommand(view, tr("Camera %1").arg(camera + 1), Qt::Key_1 + camera, [this, camera] { ShowCamera(camera); });
  view->addSeparator();
  AddCommand(view, tr("Time"), Qt::Key_T, [this] { ToggleText(&ISplitterSettings::ShowTimeOp, tr("time")); });
  AddCommand(view, tr("Frames per second"), Qt::Key_F,
             [this] { ToggleText(&ISplitterSettings::ShowFpsOp, tr("frames per second")); });
  AddCommand(view, tr("Bytes per second"), Qt::Key_B,
             [this] { ToggleText(&ISplitterSettings::ShowBpsOp, tr("bytes per second")); });
  AddCommand(view, tr("Full screen"), Qt::SHIFT | Qt::Key_F, [this] { ToggleFullScreen(); });
  view->addSeparator();
  AddCommand(view, tr("Properties…"), Qt::Key_P, [this] { OpenProperties(); });

  connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
  refresh_.start(100);
  resize(900, 760);
  Refresh();
}

void PlayerWindow::AddCommand(QMenu* menu, const QString& name, const QKeySequence& key,
                              std::function<void()> command) {
  QAction* action = menu->addAction(name);
  action->setShortcut(key);
  // The keys work in full screen too, where the menu bar is hidden.
  addAction(action);
  connect(action, &QAction::triggered, this, std::move(command));
}

void PlayerWindow::Refresh() {
  const double position = session_->PositionSeconds();
  seekBar_->SetPosition(position);
  clock_->setText(QString::fromStdString(session_->ClockText(position)));
  QStringList parts;
  if (session_->Paused()) parts << tr("paused");
  if (scanning_) parts << (scanning_ > 0 ? tr("index stepping forward") : tr("index stepping backward"));
  if (session_->Recording()) parts << tr("recording: %1 pictures").arg(session_->RecordedPictures());
  if (session_->Ended()) parts << tr("end of the recording");
  parts << sound_->Description();
  state_->setText(parts.join(QStringLiteral(" · ")));
}

void PlayerWindow::Say(const QString& text) { statusBar()->showMessage(text, 3000); }

void PlayerWindow::TogglePause() {
  const bool pause = !session_->Paused();
  sound_->Suspend(pause);
  if (pause) session_->Pause();
  else session_->Run();
  Refresh();
}

void PlayerWindow::ShowCamera(int camera) {
  if (session_->ShowCamera(camera) == S_FALSE) Say(tr("Camera %1 is not in this recording").arg(camera + 1));
}

void PlayerWindow::Step(int direction) {
  if (FAILED(session_->Step(direction))) Say(tr("A live stream cannot be positioned"));
  Refresh();
}

void PlayerWindow::ScanIndex(int direction) {
  // The same direction again returns to normal play.
  scanning_ = scanning_ == direction ? 0 : direction;
  if (FAILED(session_->ScanIndex(scanning_))) {
    scanning_ = 0;
    Say(tr("A live stream cannot be positioned"));
  }
  Refresh();
}

void PlayerWindow::NextActivity() {
  const auto place = session_->NextActivity();
  if (place) Say(tr("Activity %1 on camera %2").arg(place->activity).arg(place->camera + 1));
  else Say(tr("No more activity"));
  Refresh();
}

QString PlayerWindow::CaptureFolder() {
  QString folder = PlayerSettings().value(kCaptureFolderKey).toString();
  if (folder.isEmpty()) {
    folder = QFileDialog::getExistingDirectory(this, tr("Folder for snapshots and recordings"));
    if (!folder.isEmpty()) SetCaptureFolder(folder);
  }
  return folder;
}

void PlayerWindow::SetCaptureFolder(const QString& folder) { PlayerSettings().setValue(kCaptureFolderKey, folder); }

void PlayerWindow::Snapshot() {
  const QString folder = CaptureFolder();
  if (folder.isEmpty()) return;
  session_->Snapshot(folder.toStdString());
  Say(tr("Snapshot saved in %1").arg(folder));
}

void PlayerWindow::ToggleRecording() {
  if (session_->Recording()) {
    session_->ToggleRecording({});
    Say(tr("Recording ends"));
    return;
  }
  const QString folder = CaptureFolder();
  if (folder.isEmpty()) return;
  if (FAILED(session_->ToggleRecording(folder.toStdString()))) Say(tr("The recording could not start"));
  else Say(tr("Recording into %1").arg(folder));
}

void PlayerWindow::ToggleMute() {
  session_->ToggleMute();
  Say(session_->Settings().GetMute() ? tr("Sound off") : tr("Sound on"));
}

void PlayerWindow::ToggleText(HRESULT (STDMETHODCALLTYPE ISplitterSettings::*operation)(LONG, LONG*),
                              const QString& name) {
  ISplitterSettings& settings = session_->Settings();
  LONG shown = 0;
  (settings.*operation)(OptionRead, &shown);
  shown = shown ? 0 : 1;
  (settings.*operation)(OptionWrite, &shown);
  Say(shown ? tr("The %1 is shown").arg(name) : tr("The %1 is hidden").arg(name));
}

void PlayerWindow::OpenProperties() {
  if (properties_) {
    properties_->raise();
    return;
  }
  QString error;
  properties_ = PropertyFrame::Open(session_->Module(), session_->Filter(), this, &error);
  if (!properties_) Say(error);
}

void PlayerWindow::ToggleFullScreen() {
  const bool full = !isFullScreen();
  menuBar()->setVisible(!full);
  statusBar()->setVisible(!full);
  if (full) showFullScreen();
  else showNormal();
}

}  // namespace vesk::desktop
