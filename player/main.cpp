// ZeltoQuelvarPlayer, the player.
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/fileops.h"
#include "platform/services.h"
#include "player/frmplay.h"
#include "widgets/application.h"
#include "widgets/messagebox.h"

int main(int argc, char** argv) {
  zq::ZqApplication app(argc, argv);
  zq::QtOperatorMessages messages;
  zq::DefaultServices().messages = &messages;
  app.SetMessages(&messages);
  QApplication::setApplicationName(QStringLiteral("Zelto Quelvar (Player)"));

  // No single-instance guard: several players may run beside the recorder. cfg.ini is the
  // recorder's, found the same way (beside the executable; both build into one folder).
  zq::PlayerEnvironment env;
  env.services = zq::DefaultServices();
  env.iniPath = zq::JoinPath(zq::ExecutableFolder(), "cfg.ini");
  zq::TFrmPlay frm(std::move(env));
  frm.OnQuit = [] { QCoreApplication::quit(); };
  frm.FormCreate();

  QWidget window;
  window.setWindowTitle(QStringLiteral("Zelto Quelvar (Player)"));
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLabel(QStringLiteral("Zelto Quelvar (Player)"), &window));
  window.resize(384, 503);
  window.show();
  frm.FormShow();
  return app.exec();
}
