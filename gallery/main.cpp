// zq_gallery [--screenshot FILE]: shows the widget gallery, or writes it to FILE as a PNG and
// exits (offscreen unless a platform is chosen).

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gallery/gallery.h"

int main(int argc, char** argv) {
  const char* shot = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
      shot = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--screenshot FILE]\n", argv[0]);
      return 2;
    }
  }
  if (shot != nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  auto window = zq::gallery::BuildGallery();
  window->show();
  if (shot == nullptr) return app.exec();
  QApplication::processEvents();
  if (!window->grab().toImage().save(QString::fromLocal8Bit(shot), "PNG")) {
    std::fprintf(stderr, "zq_gallery: cannot write %s\n", shot);
    return 1;
  }
  return 0;
}
