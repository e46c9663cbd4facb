// The shaped window on a real X server: an Xvfb of the test's own with a coloured root window,
// the gallery's shaped window on it over a window that reports presses, the pointer driven by
// xdotool and the screen read by ImageMagick's import. (Without a window manager the window
// follows the pointer itself.) ZQ_KEEP_SCREENS=1 keeps the screenshots in the test's temporary
// folder for a look.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <memory>
#include <string>

#include "gallery/page_skin.h"
#include "tests/support/qt_app.h"
#include "widgets/pictures.h"

namespace zq {
namespace {

using namespace gallery::skin;

constexpr QRgb kRoot = 0x3060C0, kBeneath = 0x00A000;

class XServer {
 public:
  XServer() {
    // -noreset: the root keeps its colour when xsetroot, the only client then, leaves.
    server_.start(
        "Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"});
    if (!server_.waitForStarted(10000)) return;
    QElapsedTimer t;
    t.start();
    while (!server_.canReadLine() && t.elapsed() < 20000)
      server_.waitForReadyRead(200);
    const QString number = QString::fromLatin1(server_.readLine()).trimmed();
    if (!number.isEmpty()) display_ = ":" + number;
  }
  ~XServer() {
    server_.terminate();
    if (!server_.waitForFinished(5000)) server_.kill();
  }
  const QString& Display() const { return display_; }

  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("WAYLAND_DISPLAY");
    return env;
  }
  // Runs an X client to its end; its standard error when it fails.
  std::string Run(const QString& program, const QStringList& args) const {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.start(program, args);
    if (!p.waitForFinished(30000)) return program.toStdString() + " did not finish";
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
      return program.toStdString() + ": " + p.readAllStandardError().toStdString();
    return {};
  }
  QImage Screen(const QString& file) const {
    const std::string error = Run("import", {"-window", "root", "png:" + file});
    EXPECT_EQ(error, "");
    return QImage(file).convertToFormat(QImage::Format_RGB32);
  }

 private:
  QProcess server_;
  QString display_;
};

// The gallery's shaped window, and the lines it prints.
class ShapedWindow {
 public:
  explicit ShapedWindow(const XServer& x) {
    gallery_.setProcessEnvironment(x.Environment());
    gallery_.start(ZQ_GALLERY_PATH, {"--shaped-window"});
  }
  ~ShapedWindow() {
    gallery_.terminate();
    if (!gallery_.waitForFinished(5000)) gallery_.kill();
  }
  // Waits for a line that begins with `prefix` and returns it (empty after the timeout); lines
  // before it are dropped.
  QString WaitFor(const QString& prefix, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      while (gallery_.canReadLine()) {
        const QString line = QString::fromLatin1(gallery_.readLine()).trimmed();
        lines_ += line + "\n";
        if (line.startsWith(prefix)) return line;
      }
      gallery_.waitForReadyRead(100);
    }
    return {};
  }
  const QString& Lines() const { return lines_; }

 private:
  QProcess gallery_;
  QString lines_;
};

// Compares the screen under the skin window at `origin` with what the shaping promises: the
// picture's own pixels where it differs from its key colour, the window beneath or the root
// where it does not and beyond the picture. Returns the number of pixels that differ.
int Mismatches(const QImage& screen, QPoint origin, bool beneathUncovered) {
  const QImage skin = LoadPicture("SKIN").convertToFormat(QImage::Format_RGB32);
  const QRgb key = skin.pixel(0, 0) & 0xFFFFFF;
  const QRect beneath(kBeneathX, kBeneathY, kBeneathSize, kBeneathSize);
  int wrong = 0;
  for (int y = 0; y < kWindowH; ++y)
    for (int x = 0; x < kWindowW; ++x) {
      const QPoint at = origin + QPoint(x, y);
      const bool drawn =
          x < skin.width() && y < skin.height() && (skin.pixel(x, y) & 0xFFFFFF) != key;
      const QRgb expected = drawn                                      ? skin.pixel(x, y) & 0xFFFFFF
                            : beneathUncovered && beneath.contains(at) ? kBeneath
                                                                       : kRoot;
      if ((screen.pixel(at) & 0xFFFFFF) != expected && ++wrong <= 3)
        ADD_FAILURE() << "screen at " << at.x() << "," << at.y() << " is " << std::hex
                      << screen.pixel(at) << ", not " << expected;
    }
  return wrong;
}

TEST(ShapedWindowOnX11, ShowsTheRootThroughTheCutAwayPartsPassesClicksThereAndDrags) {
  testing::QtApp();
  XServer x;
  ASSERT_FALSE(x.Display().isEmpty()) << "Xvfb did not start (is xvfb installed?)";
  ASSERT_EQ(x.Run("xsetroot", {"-solid", "#3060c0"}), "");
  QTemporaryDir dir;
  dir.setAutoRemove(std::getenv("ZQ_KEEP_SCREENS") == nullptr);
  ShapedWindow w(x);
  ASSERT_EQ(w.WaitFor("ready"), QString("ready %1 %2").arg(kWindowX).arg(kWindowY))
      << w.Lines().toStdString();

  const QImage screen = x.Screen(dir.filePath("shaped.png"));
  ASSERT_FALSE(screen.isNull());
  EXPECT_EQ(Mismatches(screen, {kWindowX, kWindowY}, true), 0);

  // A click on a cut-away part with only the root beneath reaches no window of ours; one over the
  // window beneath reaches it; one on the skin reaches the skin.
  const QPoint hole(kWindowX + kHoleX, kWindowY + kHoleY);
  auto click = [&](QPoint p) {
    EXPECT_EQ(x.Run("xdotool", {"mousemove", "--sync", QString::number(p.x()),
                                QString::number(p.y()), "click", "1"}),
              "");
  };
  click({kWindowX + 1, kWindowY + 1});
  click(hole);
  EXPECT_EQ(w.WaitFor("beneath-press", 10000),
            QString("beneath-press %1 %2").arg(hole.x() - kBeneathX).arg(hole.y() - kBeneathY))
      << w.Lines().toStdString();
  EXPECT_FALSE(w.Lines().contains("skin-press")) << "the cut-away corner reached the skin";
  click({kWindowX + 225, kWindowY + 150});
  EXPECT_EQ(w.WaitFor("skin-press", 10000), "skin-press 225 150") << w.Lines().toStdString();

  // A drag from the black strip at the top moves the window by the pointer's way.
  const QPoint from(kWindowX + 225, kWindowY + 28);
  QStringList drag = {"mousemove", "--sync", QString::number(from.x()), QString::number(from.y()),
                      "mousedown", "1"};
  for (int step = 1; step <= 6; ++step)
    drag << "mousemove"
         << "--sync" << QString::number(from.x() + 10 * step)
         << QString::number(from.y() + 7 * step);
  drag << "mouseup"
       << "1";
  ASSERT_EQ(x.Run("xdotool", drag), "");
  const QPoint moved(kWindowX + 60, kWindowY + 42);
  EXPECT_EQ(w.WaitFor(QString("moved %1 %2").arg(moved.x()).arg(moved.y()), 10000),
            QString("moved %1 %2").arg(moved.x()).arg(moved.y()))
      << w.Lines().toStdString();
  EXPECT_TRUE(w.Lines().contains("following")) << "no window manager: the window follows itself";
  QThread::msleep(300);  // the last expose
  EXPECT_EQ(Mismatches(x.Screen(dir.filePath("moved.png")), moved, false), 0);
}

}  // namespace
}  // namespace zq
