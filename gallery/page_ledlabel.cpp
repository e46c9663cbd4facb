#include "gallery/page_ledlabel.h"

#include <QDir>
#include <QLabel>
#include <cstdio>

#include "gallery/gallery.h"
#include "widgets/ledsheets.h"
#include "widgets/mmledlabel.h"
#include "widgets/pictures.h"

namespace zq::gallery {

namespace {

using namespace ledlabel;

void Caption(QWidget* parent, int x, int y, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, 700, 16);
}

TMMLEDLABEL* Led(QWidget* parent, int x, int y, TMMLEDFontSize size, const QString& caption) {
  auto* l = new TMMLEDLABEL(parent);
  l->Bevel().SetBevelOuter(bvNone);  // the recorder's readouts: the margin alone
  l->SetFontSize(size);
  l->SetCaption(caption);
  l->SetBounds(x, y, l->width(), l->height());
  return l;
}

// The caption whose codes run from `first` to `last`.
QString CodeRange(int first, int last) {
  QString s;
  for (int c = first; c <= last; ++c) {
    const char32_t ch = LedCharacter(static_cast<std::uint8_t>(c));
    s += QString::fromUcs4(&ch, 1);
  }
  return s;
}

std::unique_ptr<QWidget> BuildLedLabelPage() {
  auto root = std::make_unique<TMMCustomPanel>();
  root->setFixedSize(kWidth, kHeight);
  root->Bevel().SetBevelOuter(bvRaised);
  QWidget* p = root.get();

  Caption(p, 10, 10, "Recorder readouts (11 x 13, margin 2) and the player's position (sunken)");
  Led(p, kFreeSpaceX, kFreeSpaceY, fs11x13, "0 MB");
  Led(p, 70, 30, fs11x13, "123.456 MB");
  Led(p, 200, 30, fs11x13, "003");
  Led(p, 250, 30, fs11x13, "12:34:56");
  auto* player = Led(p, 360, 30, fs11x13, "00:00:00");
  player->Bevel().SetBevelOuter(bvLowered);

  Caption(p, 10, 60, "16 x 20 and bold 11 x 13");
  Led(p, 10, 78, fs16x20, "ZELTO QUELVAR 2009");
  Led(p, 320, 80, fs11x13_bold, "FORMATO: MP3 64");

  Caption(p, 10, 110, "Colours, unlit dots hidden, cell spacing 3");
  auto* red = Led(p, 10, 128, fs16x20, "-12.5 dB");
  red->SetLEDColor(clRed);
  red->SetInactiveColor(clMaroon);
  auto* amber = Led(p, 160, 128, fs16x20, "ALERTA!");
  amber->SetLEDColor(clYellow);
  amber->SetDrawInactive(false);
  auto* spaced = Led(p, 300, 128, fs16x20, "12:00");
  spaced->SetLEDSpace(3);
  spaced->SetLEDColor(clAqua);
  spaced->SetInactiveColor(clTeal);

  Caption(p, 10, 160, "Alignment: 12345 right in 3 cells, AB centred in 5; accents");
  auto* right = Led(p, 10, 178, fs11x13, "12345");
  right->SetAutoSize(false);
  right->SetAlignment(taRightJustify);
  right->SetNumChars(3);
  auto* centre = Led(p, 60, 178, fs11x13, "AB");
  centre->SetAutoSize(false);
  centre->SetAlignment(taCenter);
  centre->SetNumChars(5);
  Led(p, 130, 178, fs11x13, QString::fromUtf8("DURAÇÃO Ü ü ç € ± ß ä ö"));

  Caption(p, 10, 210, "The glyphs: codes 32 to 94 and 95 to 157");
  Led(p, 10, 228, fs11x13, CodeRange(32, 94));
  Led(p, 10, 248, fs11x13, CodeRange(95, 157));
  Led(p, 10, 268, fs11x13_bold, CodeRange(32, 94));
  Led(p, 10, 288, fs11x13_bold, CodeRange(95, 157));

  Caption(p, 10, 312,
          "The format line (21 cells) at steps 20, 8 and 41 (past the end), and running");
  const QString format = QString(20, ' ') + "MP3: 64 Kbps, Stereo";
  const int steps[] = {20, 8, 41};
  int y = kFormatY;
  for (int step : steps) {
    auto* line = Led(p, kFormatX, y, fs11x13, format);
    line->SetAutoSize(false);
    line->SetBounds(kFormatX, y, 235, line->height());
    line->SetCurrentStep(step);
    y += 22;
  }
  auto* running = Led(p, kFormatX, y, fs11x13, format);
  running->SetAutoSize(false);
  running->SetBounds(kFormatX, y, 235, running->height());
  running->SetScrollSpeed(300);
  running->SetDoubleBuffer(true);
  running->SetAutoScroll(true);
  return root;
}

ZQ_GALLERY_PAGE("ledlabel", 20, BuildLedLabelPage);

}  // namespace

bool ledlabel::WriteSheets(const QString& dir) {
  for (const char* name : {"FONT_11X13", "FONT_16X20", "FONT_11X13_BOLD"}) {
    const QString file = QDir(dir).filePath(QString::fromLatin1(name) + ".png");
    if (!LoadPicture(QString::fromLatin1(name)).save(file, "PNG")) {
      std::fprintf(stderr, "zq_gallery: cannot write %s\n", file.toLocal8Bit().constData());
      return false;
    }
  }
  return true;
}

}  // namespace zq::gallery
