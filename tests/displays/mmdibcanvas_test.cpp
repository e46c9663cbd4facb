#include "displays/mmdibcanvas.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/qt_app.h"

namespace zq {
namespace {

using Points = std::set<std::pair<int, int>>;

// Every pixel of a surface, read through GetPixel.
std::map<std::pair<int, int>, std::int32_t> Snapshot(TMMDIBCanvas& s) {
  std::map<std::pair<int, int>, std::int32_t> m;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      m[{x, y}] = s.GetPixel(x, y);
  return m;
}

Points Lit(TMMDIBCanvas& s, std::uint32_t value) {
  Points p;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.GetPixel(x, y) == static_cast<std::int32_t>(value)) p.insert({x, y});
  return p;
}

Points Row(int y, std::initializer_list<int> xs) {
  Points p;
  for (int x : xs)
    p.insert({x, y});
  return p;
}

Points Column(int x, std::initializer_list<int> ys) {
  Points p;
  for (int y : ys)
    p.insert({x, y});
  return p;
}

// A surface open for drawing in 8 or 24 bits.
class Surface : public ::testing::TestWithParam<int> {
 protected:
  Surface() {
    s.SetBitsPerPixel(GetParam());
    s.SetSize(10, 10);
    s.BeginDraw();
    ink = s.MapColor(clWhite);
  }
  ~Surface() override { s.EndDraw(); }
  TMMDIBCanvas s;
  std::uint32_t ink = 0;
};

INSTANTIATE_TEST_SUITE_P(Depths, Surface, ::testing::Values(8, 24));

TEST_P(Surface, SpansAndLinesClipAndKeepTheirExclusiveEnds) {
  struct Case {
    const char* name;
    std::function<void(TMMDIBCanvas&)> draw;
    Points expected;
  } cases[] = {
      {"HLine equal ends", [](TMMDIBCanvas& c) { c.HLine(4, 4, 2); }, {}},
      {"HLine swapped", [](TMMDIBCanvas& c) { c.HLine(8, 5, 2); }, Row(2, {5, 6, 7})},
      {"HLine past both edges", [](TMMDIBCanvas& c) { c.HLine(-5, 50, 9); },
       Row(9, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9})},
      {"HLine off the surface",
       [](TMMDIBCanvas& c) {
         c.HLine(0, 10, -1);
         c.HLine(0, 10, 10);
         c.HLine(-9, 0, 3);
         c.HLine(10, 20, 3);
       },
       {}},
      {"VLine swapped, past the top", [](TMMDIBCanvas& c) { c.VLine(0, 2, -3); },
       Column(0, {0, 1})},
      {"VLine off the surface",
       [](TMMDIBCanvas& c) { c.VLine(-1, 0, 10), c.VLine(10, 0, 10); },
       {}},
      {"Line leaves its end point", [](TMMDIBCanvas& c) { c.Line(1, 1, 5, 1); },
       Row(1, {1, 2, 3, 4})},
      {"Line backwards", [](TMMDIBCanvas& c) { c.Line(5, 1, 1, 1); }, Row(1, {5, 4, 3, 2})},
      {"Line up", [](TMMDIBCanvas& c) { c.Line(3, 4, 3, 1); }, Column(3, {4, 3, 2})},
      {"Line of no length", [](TMMDIBCanvas& c) { c.Line(2, 2, 2, 2); }, {}},
      {"Line diagonal across the surface",
       [](TMMDIBCanvas& c) { c.Line(-5, -5, 20, 20); },
       {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}}},
      {"MoveTo and LineTo",
       [](TMMDIBCanvas& c) {
         c.MoveTo(0, 5);
         c.LineTo(3, 5);
         c.LineTo(3, 7);
       },
       {{0, 5}, {1, 5}, {2, 5}, {3, 5}, {3, 6}}},
      {"DashedHLine from the unclipped start", [](TMMDIBCanvas& c) { c.DashedHLine(-3, 40, 0); },
       Row(0, {0, 5, 6, 7, 8})},
      {"DashedHLine shorter than 4", [](TMMDIBCanvas& c) { c.DashedHLine(2, 5, 0); }, {}},
      {"DashedVLine short still draws", [](TMMDIBCanvas& c) { c.DashedVLine(1, 5, 2); },
       Column(1, {2, 3, 4})},
      {"DottedHLine with spacing 2", [](TMMDIBCanvas& c) { c.DottedHLine(-3, 40, 4, 2); },
       Row(4, {0, 3, 6, 9})},
      {"DottedVLine spacing 0 counts as 1", [](TMMDIBCanvas& c) { c.DottedVLine(7, 9, 0, 0); },
       Column(7, {0, 2, 4, 6, 8})},
      {"FillRect past the edges",
       [](TMMDIBCanvas& c) {
         c.FillRect({8, -5, 100, 2});
       },
       {{8, 0}, {9, 0}, {8, 1}, {9, 1}}},
      {"FillRect inverted",
       [](TMMDIBCanvas& c) {
         c.FillRect({5, 5, 2, 2});
       },
       {}},
      {"FillRect doted 4x4",
       [](TMMDIBCanvas& c) {
         c.FillRect({3, 4, 7, 8}, true);
       },
       {{3, 4}, {5, 4}, {3, 6}, {5, 6}}},
      {"FillRect doted keeps its grid when clipped",
       [](TMMDIBCanvas& c) {
         c.FillRect({-1, -1, 4, 4}, true);
       },
       {{1, 1}, {3, 1}, {1, 3}, {3, 3}}},
      {"SetPixel outside", [](TMMDIBCanvas& c) { c.SetPixel(-1, 0, 0), c.SetPixel(0, 10, 0); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s.SetColor(clBlack);
    s.Clear();
    s.SetRawColor(ink);
    c.draw(s);
    EXPECT_EQ(Lit(s, ink), c.expected);
  }
}

TEST_P(Surface, GetPixelGivesMinusOneOutsideAndNothingDrawsOutsideBeginDraw) {
  s.SetColor(clRed);
  s.Clear();
  for (auto [x, y] : {std::pair{-1, 0}, {10, 0}, {0, -1}, {0, 10}, {-100000, 5}})
    EXPECT_EQ(s.GetPixel(x, y), -1) << x << "," << y;
  EXPECT_EQ(s.GetPixel(9, 9), static_cast<std::int32_t>(s.MapColor(clRed)));
  s.EndDraw();
  EXPECT_EQ(s.GetPixel(0, 0), -1);
  s.SetColor(clBlue);
  s.Clear();  // closed: nothing happens
  s.BeginDraw();
  EXPECT_EQ(s.GetPixel(0, 0), static_cast<std::int32_t>(s.MapColor(clRed)));
}

TEST_P(Surface, CopyRectCopiesAsIfFromASnapshotInEveryDirection) {
  struct Case {
    int srcX, srcY, w, h, dstX, dstY;
  } cases[] = {
      {0, 0, 10, 8, 0, 2},     // scroll down
      {0, 2, 10, 8, 0, 0},     // scroll up
      {0, 0, 8, 10, 2, 0},     // scroll right
      {3, 0, 7, 10, 0, 0},     // scroll left
      {1, 1, 5, 5, 2, 3},      // overlapping diagonally
      {-3, -3, 20, 20, 1, 1},  // source past the edges
      {0, 0, 4, 4, 8, -2},     // destination past the edges
      {0, 0, 10, 10, 10, 0},   // entirely outside
  };
  const int bytes = GetParam() / 8;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.srcX << "," << c.srcY << " " << c.w << "x" << c.h
                                      << " -> " << c.dstX << "," << c.dstY);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x)
        s.SetPixel(x, y,
                   bytes == 1 ? static_cast<std::uint32_t>(x + 10 * y)
                              : static_cast<std::uint32_t>(0x010101 * (x + 10 * y)));
    auto expected = Snapshot(s);
    const auto before = expected;
    for (int j = 0; j < c.h; ++j)
      for (int i = 0; i < c.w; ++i) {
        const std::pair<int, int> from{c.srcX + i, c.srcY + j}, to{c.dstX + i, c.dstY + j};
        if (before.count(from) && before.count(to)) expected[to] = before.at(from);
      }
    s.CopyRect(c.srcX, c.srcY, c.w, c.h, c.dstX, c.dstY, s.Bits());
    EXPECT_EQ(Snapshot(s), expected);
  }
  s.CopyRect(0, 0, 10, 10, 0, 0, nullptr);  // no source: nothing, no crash
}

TEST_P(Surface, RowsAreStoredBottomUpInFourByteMultiples) {
  const int bytes = GetParam() / 8;
  EXPECT_EQ(s.Stride(), bytes == 1 ? 12 : 32);
  s.SetColor(clBlack);
  s.Clear();
  s.SetColor(clRed);
  s.SetPixel(1, 0, s.RawColor());  // top row
  const std::uint8_t* lastRow = s.Bits() + 9 * s.Stride();
  if (bytes == 1) {
    EXPECT_EQ(lastRow[1], s.MapColor(clRed));
  } else {
    EXPECT_EQ(s.MapColor(clRed), clRed);  // the device value is the RGB value
    EXPECT_EQ(lastRow[3], 0x00);          // blue
    EXPECT_EQ(lastRow[4], 0x00);          // green
    EXPECT_EQ(lastRow[5], 0xFF);          // red
    EXPECT_EQ(s.GetPixel(1, 0), static_cast<std::int32_t>(clRed));
  }
  for (int i = 0; i < 9 * s.Stride(); ++i)
    ASSERT_EQ(s.Bits()[i], 0) << i;
}

TEST_P(Surface, DrawToShowsTheImageUprightInOneCopy) {
  s.SetColor(clBlack);
  s.Clear();
  s.SetColor(clRed);
  s.HLine(0, 10, 0);  // top row red
  s.SetColor(clBlue);
  s.HLine(0, 10, 9);  // bottom row blue
  s.SetColor(clLime);
  s.SetPixel(9, 5, s.RawColor());
  QImage screen(20, 20, QImage::Format_RGB32);
  screen.fill(Qt::white);
  {
    QPainter p(&screen);
    s.DrawTo(&p, 3, 2, 10, 10, 0, 0);
    s.DrawTo(&p, 0, 15, 3, 3, 8, 4);     // the block around (9, 5)
    s.DrawTo(&p, 15, 15, 4, 4, -2, -2);  // starts above and left of the surface
    s.DrawTo(nullptr, 0, 0, 10, 10, 0, 0);
  }
  EXPECT_EQ(screen.pixel(3, 2), qRgb(255, 0, 0));
  EXPECT_EQ(screen.pixel(12, 2), qRgb(255, 0, 0));
  EXPECT_EQ(screen.pixel(3, 11), qRgb(0, 0, 255));
  EXPECT_EQ(screen.pixel(12, 7), qRgb(0, 255, 0));
  EXPECT_EQ(screen.pixel(2, 2), qRgb(255, 255, 255));
  EXPECT_EQ(screen.pixel(3, 12), qRgb(255, 255, 255));
  EXPECT_EQ(screen.pixel(1, 16), qRgb(0, 255, 0));
  EXPECT_EQ(screen.pixel(0, 15), qRgb(0, 0, 0));
  EXPECT_EQ(screen.pixel(17, 17), qRgb(255, 0, 0));  // surface (0, 0) lands 2 in
  EXPECT_EQ(screen.pixel(16, 16), qRgb(255, 255, 255));
}

TEST(TMMDIBCanvas, EightBitPaletteHoldsTheStaticColoursAndMapsToTheNearest) {
  TMMDIBCanvas s;
  s.BeginDraw();
  const auto& pal = s.Palette();
  EXPECT_EQ(pal[0], qRgb(0, 0, 0));
  EXPECT_EQ(pal[8], qRgb(192, 220, 192));
  EXPECT_EQ(pal[9], qRgb(166, 202, 240));
  EXPECT_EQ(pal[10], qRgb(0, 0, 0));
  EXPECT_EQ(pal[245], qRgb(0, 0, 0));
  EXPECT_EQ(pal[246], qRgb(255, 251, 240));
  EXPECT_EQ(pal[247], qRgb(160, 160, 164));
  EXPECT_EQ(pal[255], qRgb(255, 255, 255));
  for (TColor c : {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray, clSilver,
                   clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite}) {
    const std::uint32_t i = s.MapColor(c);
    EXPECT_EQ(pal[i], qRgb(GetRValue(c), GetGValue(c), GetBValue(c))) << std::hex << c;
  }
  EXPECT_EQ(s.MapColor(clBlack), 0u);  // the lowest of the equal blacks
  EXPECT_EQ(s.MapColor(RGB(250, 250, 250)), 255u);
  EXPECT_EQ(s.MapColor(RGB(140, 10, 0)), 1u);
  EXPECT_EQ(s.MapColor(clBtnFace), 7u);  // system colours resolve first
  s.SetColor(clRed);
  EXPECT_EQ(s.RawColor(), 0xF9F9F9F9u);  // index 249 in every byte
  s.EndDraw();
}

TEST(TMMDIBCanvas, ResizeRebuildsAtTheNextBeginDrawAndStartsBlack) {
  TMMDIBCanvas s;
  s.SetBitsPerPixel(24);
  s.SetSize(4, 4);
  s.BeginDraw();
  s.SetColor(clWhite);
  s.Clear();
  s.EndDraw();
  s.SetSize(6, 3);
  QImage screen(8, 8, QImage::Format_RGB32);
  screen.fill(Qt::green);
  {
    QPainter p(&screen);
    s.DrawTo(&p, 0, 0, 4, 4, 0, 0);  // no device context until rebuilt: nothing
  }
  EXPECT_EQ(screen.pixel(0, 0), QColor(Qt::green).rgb());
  s.BeginDraw();
  EXPECT_EQ(s.Stride(), 20);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(s.GetPixel(x, y), 0) << x << "," << y;
  EXPECT_EQ(s.GetPixel(6, 0), -1);
  s.EndDraw();
}

TEST(TMMDIBCanvas, RefusesSixteenBitsAndRebuildsWhileDrawing) {
  TMMDIBCanvas s;
  s.SetSize(3, 3);
  s.BeginDraw();
  s.SetColor(clRed);
  s.Clear();
  s.EndDraw();
  const std::uint8_t* bits = s.Bits();
  try {
    s.SetBitsPerPixel(16);
    ADD_FAILURE() << "16 bits accepted";
  } catch (const EMMDIBError& e) {
    EXPECT_STREQ(e.what(), "Bitlength not supported yet");
  }
  EXPECT_EQ(s.BitsPerPixel(), 8);
  EXPECT_EQ(s.Bits(), bits);
  s.BeginDraw();
  EXPECT_EQ(s.GetPixel(2, 2), static_cast<std::int32_t>(s.MapColor(clRed)));
  try {
    s.SetBitsPerPixel(24);
    ADD_FAILURE() << "rebuilt while drawing";
  } catch (const EMMDIBError& e) {
    EXPECT_STREQ(e.what(), "TMMDIBCanvas: Attempt to create new DIB while initialized for drawing");
  }
  EXPECT_EQ(s.BitsPerPixel(), 8);
  // A size changed while drawing waits for the next BeginDraw; nesting one now is refused and
  // leaves the bracket balanced.
  s.SetSize(50, 50);
  s.HLine(0, 50, 0);
  EXPECT_THROW(s.BeginDraw(), EMMDIBError);
  s.EndDraw();
  EXPECT_FALSE(s.Drawing());
  s.EndDraw();  // unbalanced: ignored
  s.BeginDraw();
  EXPECT_EQ(s.GetPixel(49, 49), 0);
  s.EndDraw();
}

TEST(TMMDIBCanvas, AnImpossibleSizeIsRefusedAndTheSurfaceRecovers) {
  TMMDIBCanvas s;
  s.SetSize(1 << 20, 1 << 20);
  try {
    s.BeginDraw();
    ADD_FAILURE() << "a terabyte surface was built";
  } catch (const EMMDIBError& e) {
    EXPECT_STREQ(e.what(), "Unable to access DIB device context");
  }
  EXPECT_FALSE(s.Drawing());
  EXPECT_EQ(s.Bits(), nullptr);
  s.SetSize(4, 4);
  s.BeginDraw();  // the lock was released and the surface builds again
  s.SetColor(clWhite);
  s.Clear();
  EXPECT_EQ(s.GetPixel(3, 3), 255);
  s.EndDraw();
}

TEST(TMMDIBCanvas, OneSurfaceIsDrawnAtATimeAcrossThreads) {
  TMMDIBCanvas a, b;
  a.BeginDraw();
  a.BeginDraw();  // nested on one thread
  std::atomic<bool> drew{false};
  std::thread other([&] {
    b.BeginDraw();
    drew = true;
    b.EndDraw();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(drew);
  a.EndDraw();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(drew);
  a.EndDraw();
  other.join();
  EXPECT_TRUE(drew);
}

TEST(TMMDIBCanvas, BackgroundPictureIsTiledOrStretchedIntoItsOwnMemory) {
  testing::QtApp();
  QImage tile(2, 2, QImage::Format_RGB32);
  tile.setPixel(0, 0, qRgb(255, 0, 0));
  tile.setPixel(1, 0, qRgb(0, 255, 0));
  tile.setPixel(0, 1, qRgb(0, 0, 255));
  tile.setPixel(1, 1, qRgb(255, 255, 255));
  TMMDIBCanvas s;
  s.SetBitsPerPixel(24);
  s.SetSize(5, 3);
  s.SetStretchBackGround(false);
  s.SetBackGroundBitmap(tile);
  s.BeginDraw();
  ASSERT_NE(s.BackBits(), nullptr);
  s.CopyRect(0, 0, 5, 3, 0, 0, s.BackBits());
  const TColor colors[2][2] = {{clRed, clLime}, {clBlue, clWhite}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(s.GetPixel(x, y), static_cast<std::int32_t>(colors[y % 2][x % 2])) << x << "," << y;
  s.EndDraw();

  // An 8-bit picture lends its colours 10..244 to the palette.
  QImage indexed(1, 1, QImage::Format_Indexed8);
  QList<QRgb> table(256, qRgb(0, 0, 0));
  table[100] = qRgb(12, 34, 56);
  table[250] = qRgb(1, 2, 3);  // beyond 244: not taken
  indexed.setColorTable(table);
  indexed.setPixel(0, 0, 100);
  TMMDIBCanvas p;
  p.SetSize(4, 2);
  p.SetBackGroundBitmap(indexed);  // stretched
  EXPECT_EQ(p.Palette()[100], qRgb(12, 34, 56));
  EXPECT_EQ(p.Palette()[250], qRgb(0, 255, 0));  // the static lime
  p.BeginDraw();
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(p.BackBits()[i % 4 + (i / 4) * p.Stride()], 100);
  p.EndDraw();
  p.SetBackGroundBitmap(QImage());
  EXPECT_EQ(p.BackBits(), nullptr);
  EXPECT_EQ(p.Palette()[100], qRgb(0, 0, 0));
}

class Display : public TMMDIBGraphicControl {
 public:
  using TMMDIBGraphicControl::Canvas;
};

TEST(TMMDIBGraphicControl, SizesItsSurfaceAndClearsToColourOrBackground) {
  testing::QtApp();
  Display d;
  d.SetBounds(0, 0, 7, 5);
  EXPECT_EQ(d.DIBCanvas().Width(), 7);
  EXPECT_EQ(d.DIBCanvas().Height(), 5);
  d.SetColor(clNavy);
  TMMDIBCanvas& s = d.DIBCanvas();
  s.BeginDraw();
  d.ClearBackground();
  EXPECT_EQ(Lit(s, s.MapColor(clNavy)).size(), 35u);
  s.EndDraw();

  QImage pic(1, 1, QImage::Format_RGB32);
  pic.fill(qRgb(255, 255, 0));
  d.SetUseBackGroundDIB(true);  // no picture yet: stays off
  EXPECT_FALSE(d.UseBackGroundDIB());
  d.SetBackGroundDIB(pic);
  d.SetUseBackGroundDIB(true);
  EXPECT_TRUE(d.UseBackGroundDIB());
  EXPECT_TRUE(d.PaletteRealize());
  s.BeginDraw();
  d.ClearBackground();
  EXPECT_EQ(Lit(s, s.MapColor(clYellow)).size(), 35u);
  s.EndDraw();

  EXPECT_THROW(d.SetBitsPerPixel(16), EMMDIBError);
  d.SetBitsPerPixel(24);
  EXPECT_EQ(d.BitsPerPixel(), 24);
}

TEST(TMMDIBGraphicControl, BackgroundFlagsFollowLoadingAndDesignState) {
  testing::QtApp();
  QImage pic(2, 2, QImage::Format_RGB32);
  pic.fill(Qt::red);
  Display d;
  d.BeginLoading();
  d.SetBackGroundDIB(pic);
  d.SetUseBackGroundDIB(true);
  EXPECT_FALSE(d.UseBackGroundDIB());  // applied when loading ends
  d.EndLoading();
  EXPECT_TRUE(d.UseBackGroundDIB());
  EXPECT_FALSE(d.DIBCanvas().BackGroundBitmap().isNull());

  Display e;
  e.SetDesignMode(true);
  e.SetBackGroundDIB(pic);
  EXPECT_TRUE(e.UseBackGroundDIB());
  EXPECT_TRUE(e.PaletteRealize());
  e.DIBCanvas().SetPaletteMapped(true);
  e.SetBackGroundDIB(QImage());
  EXPECT_FALSE(e.UseBackGroundDIB());
  EXPECT_FALSE(e.PaletteRealize());
  EXPECT_FALSE(e.DIBCanvas().PaletteMapped());
  EXPECT_TRUE(e.DIBCanvas().BackGroundBitmap().isNull());
}

TEST(TMMDIBGraphicControl, PaintNowDrawsAtOnceOnlyWhenVisibleAndPassesErrorsOn) {
  testing::QtApp();
  Display d;
  d.resize(20, 10);
  int calls = 0;
  auto proc = [&] {
    ++calls;
    ASSERT_NE(d.Canvas(), nullptr);
    TMMDIBCanvas& s = d.DIBCanvas();
    s.BeginDraw();
    s.SetColor(clRed);
    s.Clear();
    s.DrawTo(d.Canvas()->Handle(), 0, 0, s.Width(), s.Height(), 0, 0);
    s.EndDraw();
  };
  d.PaintNow(proc);  // hidden: nothing
  EXPECT_EQ(calls, 0);
  d.show();
  QApplication::processEvents();
  d.PaintNow(proc);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(d.Canvas(), nullptr);
  EXPECT_THROW(d.PaintNow([] { throw EMMDIBError("drawing failed"); }), EMMDIBError);
  d.PaintNow(proc);  // still usable after a failure
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace zq
