#include "dxdraw_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <cstring>

QImage::Format QImageFormatFor(const TPixelFormat& f) {
  if (f == pixel_formats::Rgb565) return QImage::Format_RGB16;
  if (f == pixel_formats::Rgb555) return QImage::Format_RGB555;
  if (f == pixel_formats::Rgb888) return QImage::Format_BGR888;  // bytes blue, green, red
  if (f == pixel_formats::Xrgb8888) return QImage::Format_RGB32;
  return QImage::Format_Invalid;
}

TDXDrawWidget::TDXDrawWidget(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TDXDrawWidget::ShowFrame(const TPixelView& view, QPoint at) {
  const std::uint8_t* bits = view.Bits;
  const int width = view.Width, height = view.Height, pitch = view.Pitch;
  const TPixelFormat& format = view.Format;
  const QImage::Format qf = QImageFormatFor(format);
  if (qf == QImage::Format_Invalid || !bits || width <= 0 || height <= 0) return;
  if (frame_.width() != width || frame_.height() != height || frame_.format() != qf)
    frame_ = QImage(width, height, qf);
  const int rowBytes = width * format.BytesPerPixel();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = bits + std::ptrdiff_t(y) * pitch;
    if (qf == QImage::Format_RGB32) {
      // The surface leaves the unused top byte 0; Qt expects it set in this format.
      auto* out = reinterpret_cast<std::uint32_t*>(frame_.scanLine(y));
      for (int x = 0; x < width; ++x) {
        std::uint32_t v;
        std::memcpy(&v, in + 4 * x, 4);
        out[x] = v | 0xFF000000u;
      }
    } else {
      std::memcpy(frame_.scanLine(y), in, rowBytes);
    }
  }
  frameAt_ = at;
  ++framesShown_;
  if (showing_) return;  // already inside a paint: it draws the new frame
  showing_ = true;
  repaint();
  showing_ = false;
}

void TDXDrawWidget::paintEvent(QPaintEvent*) {
  if (!showing_ && OnPaintRequest) {
    showing_ = true;
    OnPaintRequest();
    showing_ = false;
  }
  QPainter painter(this);
  if (frame_.isNull()) {
    painter.fillRect(rect(), Qt::white);
    return;
  }
  // On a high-density screen the art is scaled by a whole number of device pixels
  // and without smoothing, so that it stays sharp.
  const qreal dpr = devicePixelRatioF();
  const int whole = std::max(1, int(std::floor(dpr + 1e-6)));
  QImage shown = frame_;
  shown.setDevicePixelRatio(dpr / whole);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QRectF covered(QPointF(frameAt_), shown.deviceIndependentSize());
  if (!covered.contains(QRectF(rect()))) {
    // Only what the frame leaves free shows the window's white.
    QRegion free(rect());
    free -= covered.toAlignedRect();
    for (const QRect& r : free) painter.fillRect(r, Qt::white);
  }
  painter.drawImage(QPointF(frameAt_), shown);
}

void TDXDrawWidget::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown) OnMouseDown(event->button(), int(event->position().x()), int(event->position().y()));
}

void TDXDrawWidget::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(int(event->position().x()), int(event->position().y()));
}

void TDXDrawWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (OnMouseUp) OnMouseUp(event->button(), int(event->position().x()), int(event->position().y()));
}
