#include "widgets/application.h"

#include "platform/services.h"

namespace zq {

ZqApplication::ZqApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZqApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    OperatorMessages* m = messages_ != nullptr ? messages_ : DefaultServices().messages;
    m->HandleCurrentException();
    return true;
  }
}

}  // namespace zq
