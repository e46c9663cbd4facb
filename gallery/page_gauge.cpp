#include "gallery/page_gauge.h"

#include <QLabel>

#include "gallery/gallery.h"
#include "widgets/fonts.h"
#include "widgets/mmgauge.h"
#include "widgets/mmlabel.h"
#include "widgets/pictures.h"

namespace zq::gallery {

namespace {

using namespace gauge;

void Caption(QWidget* parent, int x, int y, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, 700, 16);
}

TMMGauge* Gauge(QWidget* parent, TMMGaugeKind kind, int progress, int x, int y, int w, int h) {
  auto* g = new TMMGauge(parent);
  g->SetKind(kind);
  g->SetProgress(progress);
  g->SetBounds(x, y, w, h);
  return g;
}

TMMLabel* Label(QWidget* parent, const QString& caption, int x, int y, int w, int h) {
  auto* l = new TMMLabel(parent);
  l->SetCaption(caption);
  l->SetBounds(x, y, w, h);
  l->Bevel().SetBevelOuter(bvNone);
  return l;
}

std::unique_ptr<QWidget> BuildGaugePage() {
  auto root = std::make_unique<TMMCustomPanel>();
  root->setFixedSize(kWidth, kHeight);
  root->Bevel().SetBevelOuter(bvRaised);
  QWidget* p = root.get();

  Caption(p, 10, 10, "The recorder's disk gauge at 37 %");
  auto* disk = Gauge(p, gkHorizontalBar, 37, kDiskX, kDiskY, 267, 17);
  disk->Bevel().SetBevelOuterWidth(2);
  disk->Bevel().SetBevelInner(bvRaised);
  disk->Bevel().SetBevelInnerWidth(2);
  disk->SetForeColor(clRed);
  disk->SetBackColor(clBlack);
  disk->SetCaption(QString::fromUtf8("ESPAÇO OCUPADO"));
  disk->SetFont(WindowsFont("Arial", -9, fsBold));

  Caption(p, 300, 10, "Bars at 0, 50, 100 %; two-colour text at 63 %");
  int x = 300;
  for (int v : {0, 50, 100}) {
    Gauge(p, gkHorizontalBar, v, x, 30, 100, 18);
    x += 105;
  }
  auto* bw = Gauge(p, gkHorizontalBar, 63, 300, 52, 150, 18);
  bw->SetBWText(true);
  bw->SetFontColor(clBlack);
  auto* text = Gauge(p, gkText, 42, 460, 52, 100, 18);
  text->SetCaption("Texto");

  Caption(p, 10, 78, "Vertical bars at 0, 25, 80, 100 %");
  x = 10;
  for (int v : {0, 25, 80, 100}) {
    Gauge(p, gkVerticalBar, v, x, 96, 40, 70);
    x += 48;
  }
  Caption(p, 210, 78, "Pies at 0, 12, 25, 62, 100 %");
  x = 210;
  for (int v : {0, 12, 25, 62, 100}) {
    auto* g = Gauge(p, gkPie, v, x, 96, 70, 70);
    g->SetForeColor(clNavy);
    x += 76;
  }
  Caption(p, 10, 172, "Needles at 0, 30, 50, 85, 100 %");
  x = 10;
  for (int v : {0, 30, 50, 85, 100}) {
    auto* g = Gauge(p, gkNeedle, v, x, 190, 90, 50);
    g->SetForeColor(clMaroon);
    g->SetShowText(v == 85);
    x += 96;
  }

  // The titles and the maker's line, on the dark face of the skin.
  Caption(p, 10, 246, "Titles in chrome and the maker's line, on the skin's face");
  auto* face = new TMMGraphicControl(p);
  face->SetBounds(10, 264, 470, 92);
  face->SetColor(RGB(54, 62, 76));
  face->Bevel().SetBevelOuter(bvNone);
  const QImage texture = LoadPicture("TITLE_TEXTURE");
  int y = 268;
  for (const char* title : {"Zelto Quelvar 2009", "Zelto Quelvar 2009 - Player"}) {
    auto* t = Label(face, title, 8, y - 264, 450, 34);
    t->SetEffectStyle(lsCustom);
    t->SetDepthShadow(0);
    t->SetColourShadow(clBlack);
    t->SetFont(WindowsFont("Arial", 18, fsBold));
    t->SetBitmap(texture);
    y += 32;
  }
  auto* maker = new TMakerLine(face);
  maker->Bevel().SetBevelOuter(bvNone);
  maker->SetEffectStyle(lsNone);
  maker->SetFont(WindowsFont("Arial", 8, fsUnderline));
  maker->SetFontColor(RGB(170, 200, 255));
  maker->SetBounds(12, 70, 200, 16);

  Caption(p, 10, 362,
          "Raised, sunken, shadow, flying, extruded, button, opaque, turned 20 degrees");
  struct Style {
    const char* caption;
    TMMLabelStyle style;
    TColor color;
  } styles[] = {{"Raised", lsRaised, clBlack},
                {"Sunken", lsSunken, clBlack},
                {"Shadow", lsShadow, clBlack},
                {"Flying", lsFlying, clNavy}};
  x = 10;
  for (const Style& s : styles) {
    auto* l = Label(p, s.caption, x, 380, 100, 34);
    l->SetEffectStyle(s.style);
    l->SetFontColor(s.color);
    x += 110;
  }
  auto* extruded = Label(p, "Extrude", x, 380, 110, 34);
  extruded->SetDirectionShadow(ldDownRight);
  extruded->SetDepthShadow(4);
  extruded->SetStyleShadow(loExtrude);
  extruded->SetFontColor(clMaroon);
  auto* button = Label(p, "Button", 10, 424, 90, 34);
  button->SetAsButton(true);
  auto* opaque = Label(p, "Opaque", 120, 424, 100, 34);
  opaque->SetTransparent(false);
  opaque->SetColor(clWhite);
  opaque->SetAlignment(taCenter);
  opaque->Bevel().SetBevelOuter(bvLowered);
  auto* turned = Label(p, "Turned", 240, 410, 110, 60);
  turned->SetAngle(20);
  turned->SetFontColor(clNavy);
  return root;
}

ZQ_GALLERY_PAGE("gauge", 30, BuildGaugePage);

}  // namespace

}  // namespace zq::gallery
