#pragma once
// The operator-message service of the programs: message boxes that never stop the program. A box
// is shown without a modal loop, so capture, timers and rotation go on while it is up, and a
// text that is already on screen is not shown a second time (a failure repeated at every
// rotation does not pile up windows). Main thread only.

#include <QObject>
#include <QString>
#include <set>

#include "platform/messages.h"

class QWidget;

namespace zq {

class QtOperatorMessages final : public QObject, public OperatorMessages {
  Q_OBJECT
 public:
  explicit QtOperatorMessages(QObject* parent = nullptr) : QObject(parent) {}
  void ShowMessage(const std::string& text, const std::string& caption = {}) override;
  void ShowError(const std::string& text) override;
  // Boxes on screen now.
  int Showing() const { return static_cast<int>(showing_.size()); }

 private:
  void Show(bool error, const QString& text, const QString& caption);
  std::set<QString> showing_;
};

}  // namespace zq
