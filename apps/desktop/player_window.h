// PlayerWindow: the desktop player's window. The pictures fill it, the seek
// bar with the cameras' activity and the clock time sit under them, and every
// command has a key and a menu entry: 0 grid, 1-4 one camera, space pause,
// arrows step through the index (with Shift: index stepping), a next
// activity, s snapshot, r record, m mute, t/f/b the time, fps and bps texts,
// p the property page, F full screen, q quit.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "apps/desktop/desktop_session.h"
#include "apps/desktop/property_frame.h"
#include "apps/desktop/qt_dialog_system.h"

namespace vesk::desktop {

class PictureView;
class SeekBar;
class SoundOutput;

class PlayerWindow final : public QMainWindow {
 public:
  // Null, with the reason, when the recording cannot be opened.
  static std::unique_ptr<PlayerWindow> Open(const std::string& location, QString* error);
  ~PlayerWindow() override;

  DesktopSession& Session() { return *session_; }
  // The property frame while it is open.
  PropertyFrame* Properties() const { return properties_; }
  // Where snapshots and recordings go, remembered once chosen.
  void SetCaptureFolder(const QString& folder);

  void TogglePause();
  void ShowCamera(int camera);
  void Step(int direction);
  void ScanIndex(int direction);
  void NextActivity();
  void Snapshot();
  void ToggleRecording();
  void ToggleMute();
  // The module's time, fps or bps text: one of ISplitterSettings' switch operations.
  void ToggleText(HRESULT (STDMETHODCALLTYPE ISplitterSettings::*operation)(LONG, LONG*), const QString& name);
  void OpenProperties();
  void ToggleFullScreen();

 private:
  PlayerWindow();
  void Build();
  void AddCommand(QMenu* menu, const QString& name, const QKeySequence& key, std::function<void()> command);
  void Refresh();
  void Say(const QString& text);
  QString CaptureFolder();

  std::unique_ptr<DesktopSession> session_;
  QtDialogSystem dialogs_;
  settings::InstallDialogSystemEntry installDialogs_ = nullptr;
  std::unique_ptr<SoundOutput> sound_;
  PictureView* view_ = nullptr;  // owned by the window, as are the other widgets
  SeekBar* seekBar_ = nullptr;
  QLabel* clock_ = nullptr;
  QLabel* state_ = nullptr;
  QPointer<PropertyFrame> properties_;
  QTimer refresh_;
  int scanning_ = 0;
};

}  // namespace vesk::desktop
