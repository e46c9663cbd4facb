// zq_gallery [--page NAME] [--screenshot FILE] [--screenshot-all DIR] [--list]: shows the widget
// gallery (every page in a tab, or the one page named); --screenshot writes that page (the first
// when none is named) to FILE as a PNG and exits, --screenshot-all writes every page to
// DIR/<page>.png; both run offscreen unless a platform is chosen.
// zq_gallery --sheets DIR writes the LED glyph sheets and the digit sheets to DIR as PNGs;
// zq_gallery --shaped-window opens the skin in a shaped window over a window that reports clicks
// (gallery/page_skin.h).

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gallery/gallery.h"
#include "gallery/page_ledlabel.h"
#include "gallery/page_playercontrols.h"
#include "gallery/page_skin.h"

namespace {

int Usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--page NAME] [--screenshot FILE] [--screenshot-all DIR] [--list]\n"
               "       %s --sheets DIR | --shaped-window\n",
               self, self);
  return 2;
}

// Shows the page, lets it settle and writes it to `file`.
bool Shoot(const zq::gallery::Page& page, const QString& file) {
  auto widget = page.build();
  widget->show();
  QApplication::processEvents();
  QApplication::processEvents();
  if (widget->grab().toImage().save(file, "PNG")) return true;
  std::fprintf(stderr, "zq_gallery: cannot write %s\n", file.toLocal8Bit().constData());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const char* shot = nullptr;
  const char* all = nullptr;
  const char* pageName = nullptr;
  const char* sheets = nullptr;
  bool list = false, shaped = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
      shot = argv[++i];
    } else if (std::strcmp(argv[i], "--screenshot-all") == 0 && i + 1 < argc) {
      all = argv[++i];
    } else if (std::strcmp(argv[i], "--page") == 0 && i + 1 < argc) {
      pageName = argv[++i];
    } else if (std::strcmp(argv[i], "--sheets") == 0 && i + 1 < argc) {
      sheets = argv[++i];
    } else if (std::strcmp(argv[i], "--shaped-window") == 0) {
      shaped = true;
    } else if (std::strcmp(argv[i], "--list") == 0) {
      list = true;
    } else {
      return Usage(argv[0]);
    }
  }
  if (list) {
    for (const auto* p : zq::gallery::Pages())
      std::printf("%s\n", p->name.c_str());
    return 0;
  }
  if (shot != nullptr || all != nullptr || sheets != nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (sheets != nullptr)
    return QDir().mkpath(QString::fromLocal8Bit(sheets)) &&
                   zq::gallery::ledlabel::WriteSheets(QString::fromLocal8Bit(sheets)) &&
                   zq::gallery::playercontrols::WriteSheets(QString::fromLocal8Bit(sheets))
               ? 0
               : 1;
  if (shaped) return zq::gallery::skin::RunShapedWindow(app);

  const zq::gallery::Page* page = nullptr;
  if (pageName != nullptr) {
    page = zq::gallery::FindPage(pageName);
    if (page == nullptr) {
      std::fprintf(stderr, "zq_gallery: no page named %s\n", pageName);
      return 2;
    }
  }
  if (all != nullptr) {
    if (!QDir().mkpath(QString::fromLocal8Bit(all))) {
      std::fprintf(stderr, "zq_gallery: cannot create %s\n", all);
      return 1;
    }
    for (const auto* p : zq::gallery::Pages())
      if (!Shoot(
              *p,
              QDir(QString::fromLocal8Bit(all)).filePath(QString::fromStdString(p->name) + ".png")))
        return 1;
    return 0;
  }
  if (shot != nullptr) {
    if (page == nullptr) page = zq::gallery::Pages().front();
    return Shoot(*page, QString::fromLocal8Bit(shot)) ? 0 : 1;
  }
  std::unique_ptr<QWidget> window = page != nullptr ? page->build() : zq::gallery::BuildGallery();
  window->show();
  return app.exec();
}
