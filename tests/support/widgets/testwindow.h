#pragma once
// A top-level window that holds the widgets under test, shown on the offscreen platform, with the
// mouse and keys sent through QTest's QWindow overloads: Qt's own routing, implicit grab and focus
// handling then decide which widget receives each event, as on a desktop. Positions are given in
// the coordinates of the widget named and turned into the window's. Needs Qt6::Test.

#include <QTest>
#include <QWidget>
#include <QWindow>

#include "tests/support/qt_app.h"

namespace zq::testing {

class TestWindow {
 public:
  explicit TestWindow(QSize size = {320, 240}) { host_.setFixedSize(size); }

  QWidget* Host() { return &host_; }
  QWindow* Window() { return host_.windowHandle(); }

  // Shows the window, waits until it is exposed, and makes it the active window.
  bool Show() {
    host_.show();
    if (!QTest::qWaitForWindowExposed(&host_)) return false;
    host_.activateWindow();
    return QTest::qWaitForWindowActive(&host_);
  }

  QPoint At(const QWidget* w, QPoint p) const { return w->mapTo(&host_, p); }

  void Press(const QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mousePress(Window(), b, {}, At(w, p));
  }
  void Release(const QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseRelease(Window(), b, {}, At(w, p));
  }
  void Click(const QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseClick(Window(), b, {}, At(w, p));
  }
  void DoubleClick(const QWidget* w, QPoint p) {
    QTest::mouseDClick(Window(), Qt::LeftButton, {}, At(w, p));
  }
  void Move(const QWidget* w, QPoint p) { QTest::mouseMove(Window(), At(w, p)); }

  // A key going down or up at the focus widget; `repeat` marks the desktop's auto-repeat.
  void KeyDown(int key, bool repeat = false) {
    QTest::simulateEvent(Window(), true, key, {}, QString(), repeat);
  }
  void KeyUp(int key, bool repeat = false) {
    QTest::simulateEvent(Window(), false, key, {}, QString(), repeat);
  }
  void KeyStroke(int key) {
    KeyDown(key);
    KeyUp(key);
  }

 private:
  ZqApplication& app_ = QtApp();  // before any widget
  QWidget host_;
};

}  // namespace zq::testing
