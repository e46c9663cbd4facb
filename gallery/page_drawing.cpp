#include "gallery/page_drawing.h"

#include <QLabel>
#include <cmath>
#include <functional>
#include <numbers>

#include "displays/mmdibcanvas.h"
#include "gallery/gallery.h"
#include "widgets/mmcontrols.h"
#include "widgets/mmscale.h"

namespace zq::gallery {

namespace {

using namespace drawing;

// A framed control that draws one scale inside its frame.
class ScaleSample : public TMMGraphicControl {
 public:
  using Draw = std::function<void(TMMScale&, const TRect& client)>;
  ScaleSample(QWidget* parent, Draw draw) : TMMGraphicControl(parent), draw_(std::move(draw)) {
    scale.OnChanged = [this](TMMObject*) { update(); };
  }
  TMMScale scale;

 protected:
  void Paint(TCanvas& canvas) override {
    TMMGraphicControl::Paint(canvas);
    scale.SetCanvas(&canvas);
    draw_(scale, BevelClientRect());
    scale.SetCanvas(nullptr);
  }

 private:
  Draw draw_;
};

// A framed pixel surface of its inner size; `draw` fills it, then it is shown in one copy.
class SurfaceSample : public TMMDIBGraphicControl {
 public:
  using Draw = std::function<void(TMMDIBGraphicControl&, TMMDIBCanvas&)>;
  SurfaceSample(QWidget* parent, Draw draw)
      : TMMDIBGraphicControl(parent), draw_(std::move(draw)) {}

 protected:
  void Paint(TCanvas& canvas) override {
    TMMDIBGraphicControl::Paint(canvas);
    const TRect r = BevelClientRect();
    TMMDIBCanvas& s = DIBCanvas();
    s.SetSize(r.Width(), r.Height());
    s.BeginDraw();
    draw_(*this, s);
    s.DrawTo(canvas.Handle(), r.Left, r.Top, r.Width(), r.Height(), 0, 0);
    s.EndDraw();
  }

 private:
  Draw draw_;
};

void Label(QWidget* parent, int x, int y, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, 200, 16);
}

template <class T>
T* Place(T* w, int x, int y, int width, int height) {
  w->SetBounds(x, y, width, height);
  return w;
}

// A level bar in the style of the recorder's: doted spots in three zones over dim ones.
void LevelSpots(TMMDIBCanvas& s, int lit) {
  const int n = s.Width() / 2;
  for (int i = 0; i < n; ++i) {
    const bool on = i < lit;
    const TColor zone = i < n / 2        ? (on ? clLime : clGray)
                        : i < n * 8 / 10 ? (on ? clYellow : clGray)
                                         : (on ? clRed : clMaroon);
    s.SetColor(zone);
    s.FillRect({2 * i, 0, 2 * i + 1, s.Height()}, true);
  }
}

void DrawLevel(TMMDIBGraphicControl& c, TMMDIBCanvas& s) {
  c.ClearBackground();
  LevelSpots(s, s.Width() * 3 / 8);
}

// A dotted and dashed grid, a polyline and a line that runs past every edge.
void DrawLines(TMMDIBGraphicControl& c, TMMDIBCanvas& s) {
  c.ClearBackground();
  s.SetColor(clGray);
  for (int y = 0; y < s.Height(); y += 10)
    s.DottedHLine(0, s.Width(), y, 1);
  for (int x = 0; x < s.Width(); x += 20)
    s.DashedVLine(x, 0, s.Height());
  s.SetColor(clAqua);
  s.MoveTo(0, s.Height() / 2);
  for (int x = 0; x <= s.Width(); x += 4) {
    const double t = 4 * std::numbers::pi * x / s.Width();
    s.LineTo(x, static_cast<int>((s.Height() - 1) * (0.5 - 0.45 * std::sin(t))));
  }
  s.SetColor(clYellow);
  s.Line(-20, s.Height() + 10, s.Width() + 20, -10);
}

// The right half scrolls down its own memory two rows a step, under a dot moving right; the left
// half keeps the tiled picture.
void DrawScroll(TMMDIBGraphicControl& c, TMMDIBCanvas& s) {
  c.ClearBackground();
  const int half = s.Width() / 2;
  for (int k = 0; k < s.Height() / 2; ++k) {
    s.CopyRect(half, 0, half, s.Height() - 2, half, 2, s.Bits());
    s.SetColor(k % 8 < 4 ? clLime : clYellow);
    s.FillRect({half + 3 * k, 0, half + 3 * k + 4, 2});
  }
}

std::unique_ptr<QWidget> BuildDrawingPage() {
  auto root = std::make_unique<TMMCustomPanel>();
  root->setFixedSize(kWidth, kHeight);
  root->Bevel().SetBevelOuter(bvRaised);
  QWidget* p = root.get();

  // Frames.
  Label(p, 10, 10, "Bevels");
  struct Frame {
    const char* name;
    TColor color;
    std::function<void(TMMBevel&)> setup;
  } frames[] = {
      {"default", clBtnFace, [](TMMBevel&) {}},
      {"LED readout", RGB(0, 64, 0),
       [](TMMBevel& b) {
         b.SetBevelOuter(bvNone);
         b.SetBorderSpace(2);
       }},
      {"player readout", RGB(0, 64, 0), [](TMMBevel& b) { b.SetBorderSpace(2); }},
      {"raised + border", clBtnFace,
       [](TMMBevel& b) {
         b.SetBevelOuter(bvRaised);
         b.SetBevelOuterWidth(2);
         b.SetBorderWidth(3);
         b.SetBevelInner(bvLowered);
       }},
      {"single line", clWindow,
       [](TMMBevel& b) {
         b.SetBorderStyle(bsSingle);
         b.SetBevelOuter(bvRaised);
       }},
      {"reserved space", clWhite,
       [](TMMBevel& b) {
         b.SetBevelOuter(bvSpace);
         b.SetBevelOuterWidth(3);
         b.SetBorderColor(clGray);
         b.SetBevelInner(bvLowered);
       }},
  };
  int x = kDefaultBevelX;
  for (const Frame& f : frames) {
    auto* w = Place(new TMMGraphicControl(p), x, kDefaultBevelY, kBevelW, kBevelH);
    w->SetColor(f.color);
    f.setup(w->Bevel());
    Label(p, x, kDefaultBevelY + kBevelH + 4, f.name);
    x += kBevelW + 15;
  }

  // Panels with captions.
  Label(p, 10, 100, "Panels");
  const struct {
    const char* caption;
    TAlignment alignment;
    TBevelCut cut;
  } panels[] = {{"left aligned", taLeftJustify, bvLowered},
                {"centred", taCenter, bvRaised},
                {"right\taligned", taRightJustify, bvLowered}};
  x = 10;
  for (const auto& pn : panels) {
    auto* w = Place(new TMMCustomPanel(p), x, 118, 195, 30);
    w->SetCaption(pn.caption);
    w->SetAlignment(pn.alignment);
    w->Bevel().SetBevelOuter(pn.cut);
    w->Bevel().SetBorderSpace(pn.cut == bvRaised ? 0 : 3);
    w->Bevel().SetBorderSpaceColor(clWhite);
    x += 205;
  }

  // Linear scales.
  Label(p, 10, 160, "Scales");
  const int sx = 10, sy = 180;
  auto* plain =
      Place(new ScaleSample(p,
                            [](TMMScale& s, const TRect&) {
                              s.DrawLinear({kScaleX - sx, kScaleY - sy, kScaleX - sx + kScaleLength,
                                            kScaleY - sy + kScaleDepth},
                                           true);
                            }),
            sx, sy, 120, 40);
  plain->SetColor(clWhite);
  Label(p, sx, 222, "default");

  auto* zones = Place(new ScaleSample(p,
                                      [](TMMScale& s, const TRect&) {
                                        s.SetZoneColors(RGB(0, 160, 0), clRed);
                                        s.SetZoneLimits(5, 8);
                                        s.DrawLinear({10, 8, 110, 18}, false);
                                        s.DrawLinear({10, 22, 110, 32}, true);
                                      }),
                      140, sy, 120, 40);
  zones->SetColor(clWhite);
  zones->scale.SetColor(clNavy);
  zones->scale.SetConnect(true);
  Label(p, 140, 222, "zones, connected");

  const struct {
    const char* name;
    TMMScaleStyle style;
  } styles[] = {{"lowered, connected", stLowered}, {"raised, connected", stRaised}};
  x = 270;
  for (const auto& st : styles) {
    auto* w = Place(new ScaleSample(p,
                                    [](TMMScale& s, const TRect&) {
                                      s.DrawLinear({10, 8, 110, 18}, false);
                                      s.DrawLinear({10, 22, 110, 32}, true);
                                    }),
                    x, sy, 120, 40);
    w->scale.SetStyle(st.style);
    w->scale.SetConnect(true);
    Label(p, x, 222, st.name);
    x += 130;
  }
  auto* vertical = Place(new ScaleSample(p,
                                         [](TMMScale& s, const TRect&) {
                                           s.DrawLinear({6, 6, 16, 74}, true);
                                           s.DrawLinear({24, 6, 34, 74}, false);
                                         }),
                         530, 160, 40, 80);
  vertical->SetColor(clWhite);
  vertical->scale.SetTickCount(9);
  vertical->scale.SetEnlargeEvery(4);
  Label(p, 575, 160, "vertical");

  // Knob scales: 270 degrees from lower left over the top to lower right.
  Label(p, 10, 245, "Knob scales");
  const struct {
    const char* name;
    TMMScaleStyle style;
    TMMScaleOrigin origin;
  } knobs[] = {{"colour, inner", stColor, soInner},
               {"lowered, outer", stLowered, soOuter},
               {"raised, inner", stRaised, soInner}};
  x = 10;
  for (const auto& k : knobs) {
    auto* w = Place(new ScaleSample(p,
                                    [](TMMScale& s, const TRect& client) {
                                      s.SetAngles(225, 315);
                                      s.DrawCircular(InflateRect(client, -4, -4));
                                    }),
                    x, 262, 80, 80);
    w->scale.SetStyle(k.style);
    w->scale.SetOrigin(k.origin);
    w->scale.SetConnect(true);
    if (k.style == stColor) w->SetColor(clWhite);
    Label(p, x, 344, k.name);
    x += 95;
  }

  // Pixel surfaces.
  Label(p, 300, 245, "Drawing surfaces");
  auto* level8 = Place(new SurfaceSample(p, DrawLevel), 300, 262, 160, 24);
  level8->SetColor(clBlack);
  level8->Bevel().SetBevelOuter(bvNone);
  level8->Bevel().SetBorderSpace(2);
  Label(p, 465, 266, "8-bit level spots");

  auto* lines24 = Place(new SurfaceSample(p, DrawLines), 300, 292, 160, 50);
  lines24->SetBitsPerPixel(24);
  lines24->SetColor(clNavy);
  Label(p, 465, 300, "24-bit lines, clipped");

  QImage tile(8, 8, QImage::Format_RGB32);
  for (int yy = 0; yy < 8; ++yy)
    for (int xx = 0; xx < 8; ++xx)
      tile.setPixel(xx, yy, (xx < 4) == (yy < 4) ? qRgb(40, 40, 90) : qRgb(70, 70, 140));
  auto* scroll = Place(new SurfaceSample(p, DrawScroll), 300, 348, 160, 50);
  scroll->SetBitsPerPixel(24);
  scroll->SetBackGroundDIB(tile);
  scroll->DIBCanvas().SetStretchBackGround(false);
  scroll->SetUseBackGroundDIB(true);
  Label(p, 465, 352, "tiled picture, scrolled");

  return root;
}

ZQ_GALLERY_PAGE("drawing", 10, BuildDrawingPage);

}  // namespace

}  // namespace zq::gallery
