#include "gallery/page_playercontrols.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <cstdio>

#include "gallery/gallery.h"
#include "widgets/lcdsheets.h"
#include "widgets/mmleds.h"
#include "widgets/mmslider.h"
#include "widgets/mmspin.h"
#include "widgets/pictures.h"
#include "widgets/playerlook.h"

namespace zq::gallery {

namespace {

void Caption(QWidget* parent, int x, int y, const QString& text, int width = 380) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, width, 16);
}

void Picture(QWidget* parent, int x, int y, const QImage& image) {
  auto* l = new QLabel(parent);
  l->setPixmap(QPixmap::fromImage(image));
  l->setGeometry(x, y, image.width(), image.height());
}

TMMSpinButton* Spin(QWidget* parent, int x, int y, TMMOrientation orientation) {
  auto* s = new TMMSpinButton(parent);
  s->SetOrientation(orientation);
  s->SetBounds(x, y, 0, 0);
  return s;
}

// A small picture for the ends of a track: a filled square (large) or a bar (small) on a
// magenta key.
QImage EndPicture(bool large) {
  QImage image(11, 11, QImage::Format_RGB32);
  image.fill(QColor(255, 0, 255));
  QPainter p(&image);
  if (large)
    p.fillRect(1, 1, 9, 9, QColor(0, 0, 128));
  else
    p.fillRect(3, 5, 5, 2, QColor(0, 0, 128));
  return image;
}

std::unique_ptr<QWidget> BuildPlayerControlsPage() {
  auto root = std::make_unique<TMMCustomPanel>();
  root->setFixedSize(780, 560);
  root->Bevel().SetBevelOuter(bvRaised);
  QWidget* p = root.get();

  // Spin buttons in their states, both ways.
  Caption(p, 10, 8, "Spin buttons: states, ButtonFace, MiddleButton", 380);
  int x = 10;
  for (TMMOrientation o : {orVertical, orHorizontal}) {
    const int y = o == orVertical ? 28 : 72;
    Spin(p, x, y, o)->SetValue(50);
    Spin(p, x + 40, y, o)->SetValue(100);
    Spin(p, x + 80, y, o)->setEnabled(false);
    auto* pressed = Spin(p, x + 120, y, o);
    pressed->SetValue(50);
    pressed->DownButton()->ShowPressed(true);
    auto* face = Spin(p, x + 160, y, o);
    face->SetValue(50);
    face->SetButtonFace(true);
    face->SetBounds(face->x(), face->y(), 0, 0);
    face->UpButton()->ShowPressed(true);
    auto* middle = Spin(p, x + 210, y, o);
    middle->SetValue(50);
    middle->SetMiddleButton(true);
    middle->SetBounds(middle->x(), middle->y(), 0, 0);
    auto* both = Spin(p, x + 250, y, o);
    both->SetValue(50);
    both->SetButtonFace(true);
    both->SetMiddleButton(true);
    both->SetBounds(both->x(), both->y(), 0, 0);
  }

  // The player's controls.
  Caption(p, 400, 8, "The player's spinners: 14, 07, at 23, disabled", 370);
  auto* hour = new TMMLEDSpin(p);
  SetUpPlayerSpinner(*hour, 23);
  hour->SetValue(14);
  hour->SetBounds(400, 28, 0, 0);
  auto* minute = new TMMLEDSpin(p);
  SetUpPlayerSpinner(*minute, 59);
  minute->SetValue(7);
  minute->SetBounds(460, 28, 0, 0);
  auto* top = new TMMLEDSpin(p);
  SetUpPlayerSpinner(*top, 23);
  top->SetValue(23);
  top->SetBounds(540, 28, 0, 0);
  auto* off = new TMMLEDSpin(p);
  SetUpPlayerSpinner(*off, 23);
  off->SetValue(9);
  off->setEnabled(false);
  off->SetBounds(600, 28, 0, 0);

  Caption(p, 400, 62, "Its slider: 0, 30, 100, focused (50), disabled (70)", 370);
  const int positions[] = {0, 30, 100, 50, 70};
  for (int i = 0; i < 5; ++i) {
    auto* s = new TMMSlider(p);
    SetUpPlayerSlider(*s);
    s->SetPosition(positions[i]);
    s->move(400, 82 + i * 20);
    if (i == 3) s->setFocus();
    if (i == 4) s->setEnabled(false);
  }

  // Panels: negative values and zero blanking.
  Caption(p, 10, 104, "Panels: -5, -42; 5, 105, 0 blanked; 7 plain, blanked", 380);
  struct PanelCase {
    std::int64_t value;
    int digits;
    bool blank;
  } panels[] = {{-5, 2, false}, {-42, 3, false}, {5, 3, true}, {105, 3, true},
                {0, 3, true},   {7, 2, false},   {7, 2, true}};
  x = 10;
  for (const PanelCase& c : panels) {
    auto* panel = new TMMLEDPanel(p);
    panel->SetDigitSize(ls13x21);
    panel->SetNumDigits(c.digits);
    panel->SetMinValue(-999);
    panel->SetMaxValue(999);
    panel->SetZeroBlank(c.blank);
    panel->SetValue(c.value);
    if (c.value == 7 && c.blank) {
      panel->SetLEDColor(clRed);
      panel->SetInactiveColor(clMaroon);
    }
    panel->SetBounds(x, 124, 0, 0);
    x += panel->width() + 8;
  }

  // A vertical slider with a scale and end pictures.
  Caption(p, 620, 184, "Vertical, with a scale", 150);
  auto* vertical = new TMMSlider(p);
  vertical->SetMaxValue(100);
  vertical->Scale().SetVisible(true);
  vertical->Scale().SetTickCount(11);
  vertical->SetScaleDistance(3);
  vertical->SetPicLeft(EndPicture(true));
  vertical->SetPicRight(EndPicture(false));
  vertical->SetThumbWidth(23);
  vertical->SetThumbHeight(11);
  vertical->setGeometry(640, 204, 60, 200);
  vertical->SetPosition(75);

  // The thirteen sheets, raw and recoloured.
  Caption(p, 10, 184, "Digit sheets, as drawn and recoloured", 600);
  int y = 204;
  for (int s = 0; s < kLedSizeCount; ++s) {
    const auto size = static_cast<TMMLEDSize>(s);
    const QImage digits = LoadPicture(LcdSheetName(size, false));
    const QImage symbols = LoadPicture(LcdSheetName(size, true));
    int px = 10;
    Picture(p, px, y, digits);
    px += digits.width() + 2;
    Picture(p, px, y, symbols);
    px += symbols.width() + 10;
    if (s % 3 == 0) {
      Picture(p, px, y, RecolorSheet(digits, clLime, clGreen, clBlack));
    } else if (s % 3 == 1) {
      Picture(p, px, y, RecolorSheet(digits, clRed, clMaroon, clNavy));
    } else {
      Picture(p, px, y, RecolorSheet(digits, clAqua, clBlack, clBlack));
    }
    y += digits.height() + 3;
  }
  return root;
}

ZQ_GALLERY_PAGE("playercontrols", 50, BuildPlayerControlsPage);

}  // namespace

bool playercontrols::WriteSheets(const QString& dir) {
  for (int s = 0; s < kLedSizeCount; ++s)
    for (bool symbols : {false, true}) {
      const QString name = LcdSheetName(static_cast<TMMLEDSize>(s), symbols);
      const QString file = QDir(dir).filePath(name + ".png");
      if (!LoadPicture(name).save(file, "PNG")) {
        std::fprintf(stderr, "zq_gallery: cannot write %s\n", file.toLocal8Bit().constData());
        return false;
      }
    }
  return true;
}

}  // namespace zq::gallery
