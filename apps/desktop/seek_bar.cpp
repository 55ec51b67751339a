#include "apps/desktop/seek_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace vesk::desktop {
namespace {

// One colour per camera, as the grid's quarters are told apart.
const QColor kCameraColours[ActivityMap::kCameras] = {QColor(230, 80, 60), QColor(70, 170, 70),
                                                      QColor(70, 120, 230), QColor(220, 180, 40)};

}  // namespace

SeekBar::SeekBar(const ActivityMap& activity, QWidget* parent) : QWidget(parent), activity_(activity) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
}

QSize SeekBar::sizeHint() const {
  return QSize(400, kTrackHeight + ActivityMap::kCameras * (kStripHeight + 1) + 4);
}

void SeekBar::SetRange(double durationSeconds) {
  duration_ = durationSeconds;
  update();
}

void SeekBar::SetPosition(double positionSeconds) {
  if (positionSeconds == position_) return;
  position_ = positionSeconds;
  update();
}

int SeekBar::XOf(double seconds) const {
  return duration_ > 0 ? static_cast<int>(seconds / duration_ * (width() - 1)) : 0;
}

double SeekBar::SecondsAt(int x) const {
  return duration_ * std::clamp(static_cast<double>(x) / std::max(width() - 1, 1), 0.0, 1.0);
}

void SeekBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.fillRect(QRect(0, 0, width(), kTrackHeight), QColor(60, 60, 60));
  painter.fillRect(QRect(0, 0, XOf(position_), kTrackHeight), QColor(150, 150, 150));
  // Each index position covers its share of the range.
  const std::uint64_t entries = activity_.Entries();
  const double share = entries > 1 ? static_cast<double>(width()) / static_cast<double>(entries - 1) : width();
  for (int camera = 0; camera < ActivityMap::kCameras; ++camera) {
    const int top = kTrackHeight + 2 + camera * (kStripHeight + 1);
    painter.fillRect(QRect(0, top, width(), kStripHeight), QColor(35, 35, 35));
    for (std::uint64_t entry = 0; entry < entries; ++entry) {
      if (activity_.Activity(camera, entry) == 0) continue;
      const int left = static_cast<int>(static_cast<double>(entry) * share);
      painter.fillRect(QRect(left, top, std::max(1, static_cast<int>(share + 0.5)), kStripHeight),
                       kCameraColours[camera]);
    }
  }
  painter.fillRect(QRect(XOf(position_) - 1, 0, 3, height()), Qt::white);
}

void SeekBar::mousePressEvent(QMouseEvent* event) { emit seekRequested(SecondsAt(event->position().toPoint().x())); }

}  // namespace vesk::desktop
