// ZeltoQuelvar, the recorder.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QMessageBox>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/fileops.h"
#include "platform/instance.h"
#include "platform/processes.h"
#include "platform/services.h"
#include "recorder/frmgravar.h"
#include "recorder/gravarwindow.h"
#include "widgets/application.h"
#include "widgets/messagebox.h"

namespace {

const char kTitle[] = "Zelto Quelvar 2009";

// SIGTERM, SIGINT and SIGHUP end the program the orderly way: the handler only writes a byte,
// and the main loop, reading it, stops the recording (the segment is flushed and named) and
// quits.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  const int saved = errno;
  if (write(signalPipe[1], &byte, 1) < 0) {
    // Nothing more can be done in a signal handler.
  }
  errno = saved;
}

bool InstallSignalHandlers() {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
    std::perror("socketpair");
    return false;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP})
    if (sigaction(sig, &sa, nullptr) != 0) {
      std::perror("sigaction");
      return false;
    }
  return true;
}

// Qt's platform, chosen before Qt starts unless the user chose one: the display named in the
// environment, and Qt's offscreen platform when there is none or it cannot be reached (Qt tries
// the platforms of the list in turn), so that the recorder records on a machine without a
// desktop instead of aborting.
void ChoosePlatform() {
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;
  const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
  const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  QByteArray platforms = wayland ? "wayland;" : "";
  if (x11) platforms += "xcb;";
  qputenv("QT_QPA_PLATFORM", platforms + "offscreen");
}

// The names of the capture devices in device-number order, for the card list.
QStringList CardNames(zq::TMMCustomWaveIn& waveIn) {
  QStringList names;
  const int count = waveIn.DeviceCount();
  const zq::TMMDeviceId current = waveIn.DeviceID();
  for (int id = 0; id < count; ++id) {
    waveIn.SetDeviceID(id);
    names << QString::fromStdString(waveIn.ProductName());
  }
  if (count > 0) waveIn.SetDeviceID(current < count ? current : 0);
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  ChoosePlatform();
  zq::ZqApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // Without a screen nobody could close a box: the operator's messages go to standard error.
  const bool headless = QGuiApplication::platformName() == QLatin1String("offscreen");
  if (headless)
    std::fputs(
        "ZeltoQuelvar: no display; recording without a window (Qt's offscreen platform), "
        "messages on standard error\n",
        stderr);

  zq::SingleInstance instance(kTitle);
  if (!instance.Acquired()) {
    const QString text = QStringLiteral("O Sistema \"Zelto Quelvar 2009\" já está ativo");
    if (headless) {
      std::fprintf(stderr, "%s\n", text.toUtf8().constData());
      return 0;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kTitle), text, QMessageBox::Ok);
    box.exec();
    return 0;
  }
  QApplication::setApplicationName(QString::fromUtf8(kTitle));

  zq::QtOperatorMessages boxes;
  zq::StderrMessages lines;
  zq::OperatorMessages& messages = headless ? static_cast<zq::OperatorMessages&>(lines)
                                            : static_cast<zq::OperatorMessages&>(boxes);
  zq::DefaultServices().messages = &messages;
  app.SetMessages(&messages);

  zq::ProcProcessTable processes;
  zq::RecorderEnvironment env;
  env.services = zq::DefaultServices();
  env.iniPath = zq::JoinPath(zq::ExecutableFolder(), "cfg.ini");
  env.processes = &processes;
  env.ownPid = static_cast<int>(getpid());

  zq::TFrmGravar frm(std::move(env));
  frm.OnQuit = [] { QCoreApplication::quit(); };
  zq::GravarWindow window(frm, CardNames(frm.WaveIn()));
  frm.FormCreate();

  if (InstallSignalHandlers()) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&frm] {
      char buf[16];
      while (read(signalPipe[0], buf, sizeof buf) > 0) {
      }
      frm.FormClose();
    });
  }
  // The desktop session ending: the same orderly end.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&frm] { frm.FormClose(); });

  window.resize(464, 393);
  window.show();
  const int code = app.exec();
  if (frm.Recording()) frm.BStopClick();  // whatever ended the loop, the segment is finished
  return code;
}
