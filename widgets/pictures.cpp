#include "widgets/pictures.h"

#include <QFile>
#include <map>

#include "widgets/ledsheets.h"

// The resources live in a static library: naming their initialiser here links them into every
// program that looks up a picture.
static void InitResources() {
  Q_INIT_RESOURCE(zq_resources);
}

namespace zq {

namespace {

struct DrawnPicture {
  const char* name;
  QImage (*draw)();
};

// Pictures drawn in code, by name.
constexpr DrawnPicture kDrawnPictures[] = {
    {"FONT_11X13", &DrawLedSheet11x13},
    {"FONT_16X20", &DrawLedSheet16x20},
    {"FONT_11X13_BOLD", &DrawLedSheet11x13Bold},
};

QImage Find(const QString& name) {
  for (const DrawnPicture& p : kDrawnPictures)
    if (name == QLatin1String(p.name)) return p.draw();
  static const bool initialised = (InitResources(), true);
  (void)initialised;
  const QString path = QStringLiteral(":/pictures/") + name + QStringLiteral(".png");
  if (!QFile::exists(path)) return {};
  return QImage(path);
}

}  // namespace

QImage LoadPicture(const QString& name) {
  static std::map<QString, QImage> cache;
  auto it = cache.find(name);
  if (it == cache.end()) it = cache.emplace(name, Find(name)).first;
  return it->second;
}

QImage RecolorSheet(const QImage& sheet, TColor lit, TColor unlit, TColor background) {
  auto toRgb = [](TColor c) {
    const TColor rgb = ColorToRGB(c);
    return qRgb(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  };
  const QRgb litRgb = toRgb(lit), unlitRgb = toRgb(unlit), backRgb = toRgb(background);
  QImage out = sheet.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      switch (line[x] & 0xFFFFFF) {
        case 0xFFFFFF:
          line[x] = litRgb;
          break;
        case 0xC0C0C0:
          line[x] = unlitRgb;
          break;
        case 0x000000:
          line[x] = backRgb;
          break;
        default:
          break;
      }
    }
  }
  return out;
}

TColor PixelColor(const QImage& picture, int x, int y) {
  const QRgb p = picture.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

}  // namespace zq
