#pragma once
// The application object of both programs. An exception that escapes an event handler (a timer,
// a button, a queued call) reaches the application's exception handler: its message is shown in
// an error box and the program goes on.

#include <QApplication>

#include "platform/messages.h"

namespace zq {

class ZqApplication final : public QApplication {
 public:
  ZqApplication(int& argc, char** argv);
  // Where escaped exceptions are shown; the default services' messages until set.
  void SetMessages(OperatorMessages* messages) { messages_ = messages; }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  OperatorMessages* messages_ = nullptr;
};

}  // namespace zq
