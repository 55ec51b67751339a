#include "apps/desktop/picture_view.h"

#include <QImage>
#include <QPainter>

#include "apps/desktop/post_to.h"

namespace vesk::desktop {

PictureView::PictureView(FrameExchange& frames, QWidget* parent) : QWidget(parent), frames_(frames) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(320, 240);
}

void PictureView::PictureArrived() {
  if (!repaintDue_.exchange(true)) PostTo(this, [this] { update(); });
}

void PictureView::paintEvent(QPaintEvent*) {
  repaintDue_ = false;
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const Frame& frame = frames_.Front();
  if (frame.width == 0 || frame.height == 0) return;
  // B, G, R, X bytes are Qt's RGB32; the rows come bottom-up, so the painter turns them over.
  const QImage image(frame.pixels.data(), frame.width, frame.height, frame.stride(), QImage::Format_RGB32);
  const QSize shown = image.size().scaled(size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.translate(target.left(), target.top() + target.height());
  painter.scale(static_cast<double>(target.width()) / frame.width, -static_cast<double>(target.height()) / frame.height);
  painter.drawImage(0, 0, image);
}

void PictureView::mouseDoubleClickEvent(QMouseEvent*) { emit doubleClicked(); }

}  // namespace vesk::desktop
