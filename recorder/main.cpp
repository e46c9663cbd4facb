// ZeltoQuelvar, the recorder.
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/services.h"
#include "widgets/application.h"
#include "widgets/messagebox.h"

int main(int argc, char** argv) {
  zq::ZqApplication app(argc, argv);
  zq::QtOperatorMessages messages;
  zq::DefaultServices().messages = &messages;
  app.SetMessages(&messages);
  QApplication::setApplicationName(QStringLiteral("Zelto Quelvar 2009"));

  QWidget window;
  window.setWindowTitle(QStringLiteral("Zelto Quelvar 2009"));
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLabel(QStringLiteral("Zelto Quelvar 2009"), &window));
  window.resize(464, 393);
  window.show();
  return app.exec();
}
