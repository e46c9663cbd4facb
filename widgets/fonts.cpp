#include "widgets/fonts.h"

#include <cstdint>

namespace zq {

namespace {

struct FaceFamily {
  const char* face;
  const char* family;
};

// Windows faces and the families installed in their place (fonts-liberation2 has the same
// metrics, so texts keep their widths; the small bitmap sans faces take DejaVu Sans).
// clang-format off
constexpr FaceFamily kFaceFamilies[] = {
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Small Fonts", "DejaVu Sans"},
    {"MS Sans Serif", "DejaVu Sans"},
};
// clang-format on

constexpr int kDefaultPoints = 8;

}  // namespace

QString FamilyForFace(const QString& face) {
  for (const FaceFamily& f : kFaceFamilies)
    if (face.compare(QLatin1String(f.face), Qt::CaseInsensitive) == 0)
      return QString::fromLatin1(f.family);
  return face;
}

int FontPixels(int size) {
  if (size < 0) return -size;
  if (size == 0) size = kDefaultPoints;
  return static_cast<int>((std::int64_t{size} * 96 + 36) / 72);
}

QFont WindowsFont(const QString& face, int size, unsigned styles) {
  QFont font(FamilyForFace(face));
  font.setPixelSize(FontPixels(size));
  font.setBold((styles & fsBold) != 0);
  font.setItalic((styles & fsItalic) != 0);
  font.setUnderline((styles & fsUnderline) != 0);
  font.setStrikeOut((styles & fsStrikeOut) != 0);
  return font;
}

}  // namespace zq
