#include "widgets/accessibility.h"

#include <QAccessible>
#include <QWidget>
#include <vector>

namespace zq {

namespace {

std::vector<AccessibleMaker>& Makers() {
  static std::vector<AccessibleMaker> makers;
  return makers;
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
  return MakeAccessible(object);
}

}  // namespace

bool RegisterAccessible(AccessibleMaker maker) {
  Makers().push_back(maker);
  return true;
}

void InstallAccessibleFactory() {
  static const bool installed = (QAccessible::installFactory(&Factory), true);
  (void)installed;
}

QAccessibleInterface* MakeAccessible(QObject* object) {
  if (object == nullptr) return nullptr;
  for (AccessibleMaker maker : Makers())
    if (QAccessibleInterface* i = maker(object)) return i;
  return nullptr;
}

AccessibleText::AccessibleText(QWidget* widget, std::function<QString()> caption,
                               QAccessible::Role role)
    : QAccessibleWidget(widget, role), caption_(std::move(caption)) {}

QString AccessibleText::text(QAccessible::Text t) const {
  if (t == QAccessible::Name && !widget()->accessibleName().isEmpty())
    return widget()->accessibleName();
  if (t == QAccessible::Name || t == QAccessible::Value) return caption_();
  return QAccessibleWidget::text(t);
}

}  // namespace zq
