#pragma once
// What assistive technology is told about the system's own widgets. Qt asks one factory for
// every object; the factory asks each registered maker in turn, and the first that recognises the
// object (normally by dynamic_cast) makes its interface. The widget base installs the factory
// when the first widget is made.
//
// Adding an accessible interface for a widget, in the widget's own .cpp (so that it is linked
// whenever the widget is):
//
//   namespace {
//   class MyAccessible : public QAccessibleWidget { ... };
//   ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
//     auto* w = dynamic_cast<TMyWidget*>(o);
//     return w != nullptr ? new MyAccessible(w) : nullptr;
//   });
//   }  // namespace
//
// Makers in different files are asked in no fixed order, so no two makers may claim the same
// object: one maker covers a class and its subclasses, checking for a subclass before its base.
//
// Ready-made interfaces: AccessibleText (static text valued by a caption) below.

#include <QAccessibleWidget>
#include <QString>
#include <functional>

class QAccessibleInterface;
class QObject;

namespace zq {

using AccessibleMaker = QAccessibleInterface* (*)(QObject* object);

// Registers a maker; called by ZQ_ACCESSIBLE before main runs.
bool RegisterAccessible(AccessibleMaker maker);
// Installs the factory with Qt (once; later calls do nothing).
void InstallAccessibleFactory();
// The interface the registered makers make for the object, or null.
QAccessibleInterface* MakeAccessible(QObject* object);

// A widget read as static text: its name and value are what `caption` returns.
class AccessibleText : public QAccessibleWidget {
 public:
  AccessibleText(QWidget* widget, std::function<QString()> caption,
                 QAccessible::Role role = QAccessible::StaticText);
  QString text(QAccessible::Text t) const override;

 private:
  std::function<QString()> caption_;
};

}  // namespace zq

#define ZQ_ACCESSIBLE_CAT2(a, b) a##b
#define ZQ_ACCESSIBLE_CAT(a, b) ZQ_ACCESSIBLE_CAT2(a, b)
// ZQ_ACCESSIBLE(maker): registers a maker at start-up.
#define ZQ_ACCESSIBLE(maker) \
  static const bool ZQ_ACCESSIBLE_CAT(zq_accessible_, __LINE__) = ::zq::RegisterAccessible(maker)
