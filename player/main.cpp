// ZeltoQuelvarPlayer, the player.
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
  QApplication::setApplicationName(QStringLiteral("Zelto Quelvar (Player)"));

  QWidget window;
  window.setWindowTitle(QStringLiteral("Zelto Quelvar (Player)"));
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLabel(QStringLiteral("Zelto Quelvar (Player)"), &window));
  window.resize(384, 503);
  window.show();
  return app.exec();
}
