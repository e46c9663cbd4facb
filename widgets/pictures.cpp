#include "widgets/pictures.h"

#include <QFile>
#include <map>

#include "widgets/lcdsheets.h"
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
    {"LCD_06X07", &DrawLcdSheetOf<ls06x07, false>},
    {"LCDS_06X07", &DrawLcdSheetOf<ls06x07, true>},
    {"LCD_07X11", &DrawLcdSheetOf<ls07x11, false>},
    {"LCDS_07X11", &DrawLcdSheetOf<ls07x11, true>},
    {"LCD_08X13", &DrawLcdSheetOf<ls08x13, false>},
    {"LCDS_08X13", &DrawLcdSheetOf<ls08x13, true>},
    {"LCD_11X19", &DrawLcdSheetOf<ls11x19, false>},
    {"LCDS_11X19", &DrawLcdSheetOf<ls11x19, true>},
    {"LCD_13X20", &DrawLcdSheetOf<ls13x20, false>},
    {"LCDS_13X20", &DrawLcdSheetOf<ls13x20, true>},
    {"LCD_13X21", &DrawLcdSheetOf<ls13x21, false>},
    {"LCDS_13X21", &DrawLcdSheetOf<ls13x21, true>},
    {"LCD_15X24", &DrawLcdSheetOf<ls15x24, false>},
    {"LCDS_15X24", &DrawLcdSheetOf<ls15x24, true>},
    {"LCD_15X25", &DrawLcdSheetOf<ls15x25, false>},
    {"LCDS_15X25", &DrawLcdSheetOf<ls15x25, true>},
    {"LCD_17X29", &DrawLcdSheetOf<ls17x29, false>},
    {"LCDS_17X29", &DrawLcdSheetOf<ls17x29, true>},
    {"LCD_18X25", &DrawLcdSheetOf<ls18x25, false>},
    {"LCDS_18X25", &DrawLcdSheetOf<ls18x25, true>},
    {"LCD_19X33", &DrawLcdSheetOf<ls19x33, false>},
    {"LCDS_19X33", &DrawLcdSheetOf<ls19x33, true>},
    {"LCD_21X37", &DrawLcdSheetOf<ls21x37, false>},
    {"LCDS_21X37", &DrawLcdSheetOf<ls21x37, true>},
    {"LCD_23X41", &DrawLcdSheetOf<ls23x41, false>},
    {"LCDS_23X41", &DrawLcdSheetOf<ls23x41, true>},
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

QImage KeyedPicture(const QImage& picture, TColor key) {
  QImage out = picture.convertToFormat(QImage::Format_ARGB32);
  const TColor rgb = ColorToRGB(key);
  const QRgb k = qRgb(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)) & 0xFFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] & 0xFFFFFF) == k) line[x] = 0;
  }
  return out;
}

}  // namespace zq
