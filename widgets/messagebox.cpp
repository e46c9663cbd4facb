#include "widgets/messagebox.h"

#include <QApplication>
#include <QMessageBox>

namespace zq {

void QtOperatorMessages::ShowMessage(const std::string& text, const std::string& caption) {
  Show(false, QString::fromStdString(text), QString::fromStdString(caption));
}

void QtOperatorMessages::ShowError(const std::string& text) {
  Show(true, QString::fromStdString(text), QString());
}

void QtOperatorMessages::Show(bool error, const QString& text, const QString& caption) {
  const QString key = (error ? QStringLiteral("E|") : QStringLiteral("M|")) + caption + '|' + text;
  if (!showing_.insert(key).second) return;
  auto* box = new QMessageBox(error ? QMessageBox::Critical : QMessageBox::NoIcon,
                              caption.isEmpty() ? QApplication::applicationName() : caption, text,
                              QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  QObject::connect(box, &QObject::destroyed, this, [this, key] { showing_.erase(key); });
  box->show();
}

}  // namespace zq
