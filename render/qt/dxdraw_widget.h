// The drawing surface's window: a child widget that covers the main window's
// client area, shows the last presented frame and reports the pointer.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "pixel_format.h"
#include "pixel_view.h"

class TDXDrawWidget : public QWidget {
  Q_OBJECT
 public:
  explicit TDXDrawWidget(QWidget* parent = nullptr);

  // Copies a frame (pixels in one of the surface formats) into the window's image and
  // shows it at once; `at` is the frame's top-left corner in the widget.
  void ShowFrame(const TPixelView& frame, QPoint at);
  // The frame shown last, in logical pixels (what a user sees).
  const QImage& Frame() const { return frame_; }
  int FramesShown() const { return framesShown_; }

  // The window system asks for the control to be painted again (uncovered, first
  // shown): the owner presents once without waiting for the refresh.
  std::function<void()> OnPaintRequest;
  std::function<void(Qt::MouseButton button, int x, int y)> OnMouseDown;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(Qt::MouseButton button, int x, int y)> OnMouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage frame_;
  QPoint frameAt_;
  bool showing_ = false;  // inside our own repaint
  int framesShown_ = 0;
};

// The QImage format that holds a surface format's pixels unchanged, or Invalid.
QImage::Format QImageFormatFor(const TPixelFormat& format);
