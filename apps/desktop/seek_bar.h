// SeekBar: the recording's range with the position on it and, under it, one
// strip per camera showing at which index positions the camera saw activity.
// A click asks to seek there.
#pragma once

#include <QWidget>

#include "apps/desktop/activity_map.h"

namespace vesk::desktop {

class SeekBar final : public QWidget {
  Q_OBJECT

 public:
  SeekBar(const ActivityMap& activity, QWidget* parent = nullptr);

  void SetRange(double durationSeconds);
  void SetPosition(double positionSeconds);

 signals:
  void seekRequested(double positionSeconds);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  QSize sizeHint() const override;

 private:
  static constexpr int kTrackHeight = 10;
  static constexpr int kStripHeight = 6;

  double SecondsAt(int x) const;
  int XOf(double seconds) const;

  const ActivityMap& activity_;  // not owned: the session's
  double duration_ = 0;
  double position_ = 0;
};

}  // namespace vesk::desktop
