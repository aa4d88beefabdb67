#include "app/wait_cursor.h"

WaitCursor::WaitCursor(QWidget* window, int delayMs) : window_(window) {
  timer_.setSingleShot(true);
  timer_.setInterval(delayMs);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (depth_ > 0) show();
  });
}

WaitCursor::~WaitCursor() {
  if (shown_ && window_) window_->unsetCursor();
}

void WaitCursor::Begin() {
  if (depth_++ == 0) timer_.start();
}

void WaitCursor::End() {
  if (depth_ == 0 || --depth_ > 0) return;
  timer_.stop();
  if (shown_) {
    shown_ = false;
    if (window_) window_->unsetCursor();
  }
}

void WaitCursor::ShowNow() {
  if (depth_ > 0) show();
}

void WaitCursor::show() {
  if (shown_ || !window_) return;
  shown_ = true;
  window_->setCursor(Qt::WaitCursor);
}
