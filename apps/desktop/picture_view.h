// PictureView: paints the newest picture of a FrameExchange, scaled to the
// widget with its aspect kept, straight from the exchange's buffer.
#pragma once

#include <QWidget>
#include <atomic>

#include "apps/desktop/frame_exchange.h"

namespace vesk::desktop {

class PictureView final : public QWidget {
  Q_OBJECT

 public:
  PictureView(FrameExchange& frames, QWidget* parent = nullptr);

  // From any thread: a picture was published. Repaints coalesce.
  void PictureArrived();

 signals:
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  FrameExchange& frames_;  // not owned: the session's
  std::atomic<bool> repaintDue_{false};
};

}  // namespace vesk::desktop
