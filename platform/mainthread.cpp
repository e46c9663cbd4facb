#include "platform/mainthread.h"

#include <QCoreApplication>
#include <QThread>
#include <stdexcept>

namespace zq {

void QtMainThread::Post(std::function<void()> call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) throw std::logic_error("no application object to post to");
  QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

bool QtMainThread::IsCurrent() const {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void QtMainThread::ProcessPending() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

}  // namespace zq
