#include "widgets/ledsheets.h"

#include <gtest/gtest.h>

#include <QImage>
#include <set>
#include <string>
#include <vector>

#include "tests/support/qt_app.h"
#include "widgets/pictures.h"

namespace zq {
namespace {

constexpr QRgb kWhite = 0xFFFFFF, kSilver = 0xC0C0C0, kBlack = 0;

QRgb At(const QImage& img, int x, int y) {
  return img.pixel(x, y) & 0xFFFFFF;
}

struct Sheet {
  const char* name;
  int width, height, cw, ch;
  bool large;
};
constexpr Sheet kSheets[] = {{"FONT_11X13", 693, 28, 11, 13, false},
                             {"FONT_16X20", 1008, 42, 16, 20, true}};

QPoint Cell(const Sheet& s, int code) {
  return code < 95 ? QPoint((code - 32) * s.cw, 0) : QPoint((code - 95) * s.cw, s.ch + 2);
}

// The top-left pixel of dot (c, r) within its cell.
QPoint Dot(const Sheet& s, int c, int r) {
  return s.large ? QPoint(1 + 3 * c, 3 * r) : QPoint(1 + 2 * c, 2 * r);
}

// A code's dot rows as read from the sheet: a dot is lit when its top-left pixel is white.
TLedDots ReadDots(const QImage& img, const Sheet& s, int code) {
  TLedDots dots{};
  const QPoint o = Cell(s, code);
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 5; ++c) {
      const QPoint d = o + Dot(s, c, r);
      if (At(img, d.x(), d.y()) == kWhite) dots[r] |= 0x10 >> c;
    }
  return dots;
}

// Every pixel off the dot grid is black; on it, lit dots are white (all four pixels of a large
// dot) and unlit ones silver (a large one at its top-left and bottom-right, black at the others).
TEST(LedSheets, DotsLieOnTheGridInThreeColoursAndOffItAllIsBlack) {
  testing::QtApp();
  for (const Sheet& s : kSheets) {
    SCOPED_TRACE(s.name);
    const QImage img = LoadPicture(s.name);
    ASSERT_EQ(img.size(), QSize(s.width, s.height));
    std::vector<std::vector<QRgb>> expected(s.height, std::vector<QRgb>(s.width, kBlack));
    for (int code = kLedFirstCode; code <= kLedLastCode; ++code) {
      const TLedDots& dots = LedDots(code, s.large);
      for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 5; ++c) {
          const QPoint d = Cell(s, code) + Dot(s, c, r);
          const bool lit = (dots[r] & (0x10 >> c)) != 0;
          if (!s.large) {
            expected[d.y()][d.x()] = lit ? kWhite : kSilver;
            continue;
          }
          for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
              expected[d.y() + dy][d.x() + dx] = lit ? kWhite : dx == dy ? kSilver : kBlack;
        }
    }
    int wrong = 0;
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x)
        if (At(img, x, y) != expected[y][x] && ++wrong <= 5)
          ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << At(img, x, y);
    EXPECT_EQ(wrong, 0);
  }
}

// The last cell of the first row and the first of the second: a slip in the row split shows.
TEST(LedSheets, RowsSplitBetweenCodes94And95) {
  testing::QtApp();
  for (const Sheet& s : kSheets) {
    SCOPED_TRACE(s.name);
    const QImage img = LoadPicture(s.name);
    EXPECT_EQ(Cell(s, 94), QPoint(62 * s.cw, 0));
    EXPECT_EQ(ReadDots(img, s, 94), (TLedDots{0x04, 0x0A, 0, 0, 0, 0, 0}));  // ^
    EXPECT_EQ(Cell(s, 95), QPoint(0, s.ch + 2));
    EXPECT_EQ(ReadDots(img, s, 95), (TLedDots{0, 0, 0, 0, 0, 0, 0x1F}));  // _
    EXPECT_EQ(ReadDots(img, s, 157), (TLedDots{0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F}));
  }
}

TEST(LedSheets, BothSheetsShowTheSameDotsExceptPercentAndCCedilla) {
  testing::QtApp();
  const QImage small = LoadPicture("FONT_11X13"), large = LoadPicture("FONT_16X20");
  std::set<int> differ;
  for (int code = kLedFirstCode; code <= kLedLastCode; ++code)
    if (ReadDots(small, kSheets[0], code) != ReadDots(large, kSheets[1], code)) differ.insert(code);
  EXPECT_EQ(differ, (std::set<int>{37, 138}));
  EXPECT_EQ(ReadDots(large, kSheets[1], 37), (TLedDots{0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}));
  EXPECT_EQ(ReadDots(small, kSheets[0], 138), (TLedDots{0x00, 0x0F, 0x10, 0x10, 0x0F, 0x02, 0x0C}));
}

// A glyph as a text picture: '#' white, '+' silver, '.' black.
void ExpectGlyph(const char* sheet, int code, const std::vector<std::string>& rows) {
  const QImage img = LoadPicture(sheet);
  const Sheet& s = std::string(sheet) == "FONT_11X13" ? kSheets[0] : kSheets[1];
  const QPoint o = Cell(s, code);
  ASSERT_EQ(static_cast<int>(rows.size()), s.ch);
  for (int y = 0; y < s.ch; ++y) {
    std::string got;
    for (int x = 0; x < s.cw; ++x) {
      const QRgb p = At(img, o.x() + x, o.y() + y);
      got += p == kWhite ? '#' : p == kSilver ? '+' : p == kBlack ? '.' : '?';
    }
    EXPECT_EQ(got, rows[y]) << sheet << " code " << code << " row " << y;
  }
}

TEST(LedSheets, GlyphsMatchTheirPictures) {
  testing::QtApp();
  ExpectGlyph("FONT_11X13", 'A',
              {".+.#.#.#.+.", "...........", ".#.+.+.+.#.", "...........", ".#.+.+.+.#.",
               "...........", ".#.+.+.+.#.", "...........", ".#.#.#.#.#.", "...........",
               ".#.+.+.+.#.", "...........", ".#.+.+.+.#."});
  ExpectGlyph("FONT_11X13", 128,  // euro
              {".+.+.#.#.#.", "...........", ".+.#.+.+.+.", "...........", ".#.#.#.#.+.",
               "...........", ".+.#.+.+.+.", "...........", ".#.#.#.#.+.", "...........",
               ".+.#.+.+.+.", "...........", ".+.+.#.#.#."});
  ExpectGlyph("FONT_16X20", '%',
              {".##.##.+..+..+..", ".##.##..+..+..+.", "................", ".##.##.+..+..##.",
               ".##.##..+..+.##.", "................", ".+..+..+..##.+..", "..+..+..+.##..+.",
               "................", ".+..+..##.+..+..", "..+..+.##..+..+.", "................",
               ".+..##.+..+..+..", "..+.##..+..+..+.", "................", ".##.+..+..##.##.",
               ".##..+..+.##.##.", "................", ".+..+..+..##.##.", "..+..+..+.##.##."});
}

// The bold sheet is free artwork within a frame: its size, three colours, nothing in a cell's
// first column, and every dot of the plain sheet lit two pixels wide in its place.
TEST(LedSheets, BoldSheetDrawsEachDotTwoPixelsWideInColumnsOneToTen) {
  testing::QtApp();
  const QImage img = LoadPicture("FONT_11X13_BOLD");
  ASSERT_EQ(img.size(), QSize(694, 28));
  for (int y = 0; y < img.height(); ++y) {
    EXPECT_EQ(At(img, 693, y), kBlack) << "spare column, row " << y;
    if (y == 13 || y == 14) {
      for (int x = 0; x < img.width(); ++x)
        ASSERT_EQ(At(img, x, y), kBlack) << "gap between the rows at " << x << "," << y;
    }
    for (int x = 0; x < 693; ++x) {
      const QRgb p = At(img, x, y);
      ASSERT_TRUE(p == kWhite || p == kSilver || p == kBlack) << x << "," << y;
      if (x % 11 == 0) {
        EXPECT_EQ(p, kBlack) << "first column of a cell at " << x << "," << y;
      }
    }
  }
  const Sheet bold{"FONT_11X13_BOLD", 694, 28, 11, 13, false};
  for (int code = kLedFirstCode; code <= kLedLastCode; ++code) {
    const QPoint o = Cell(bold, code);
    const TLedDots& dots = LedDots(code);
    for (int r = 0; r < 7; ++r)
      for (int c = 0; c < 5; ++c) {
        const bool lit = (dots[r] & (0x10 >> c)) != 0;
        const QRgb left = At(img, o.x() + 1 + 2 * c, o.y() + 2 * r);
        const QRgb right = At(img, o.x() + 2 + 2 * c, o.y() + 2 * r);
        EXPECT_EQ(left == kWhite && right == kWhite, lit)
            << "code " << code << " dot " << c << "," << r;
      }
  }
}

// Each colour replaced in one pass: the background may take the source's unlit silver and the
// unlit dots white without one replacement feeding the next; red stays red (not blue).
TEST(RecolorSheet, ReplacesTheThreeColoursInOnePassAndKeepsOthers) {
  testing::QtApp();
  QImage sheet(4, 1, QImage::Format_RGB32);
  sheet.setPixel(0, 0, qRgb(255, 255, 255));
  sheet.setPixel(1, 0, qRgb(192, 192, 192));
  sheet.setPixel(2, 0, qRgb(0, 0, 0));
  sheet.setPixel(3, 0, qRgb(1, 2, 3));
  const QImage out = RecolorSheet(sheet, clRed, clWhite, clBtnFace);
  EXPECT_EQ(out.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(out.pixel(1, 0), qRgb(255, 255, 255));
  EXPECT_EQ(out.pixel(2, 0), qRgb(192, 192, 192));
  EXPECT_EQ(out.pixel(3, 0), qRgb(1, 2, 3));
  EXPECT_EQ(sheet.pixel(0, 0), qRgb(255, 255, 255)) << "the source is left alone";
}

}  // namespace
}  // namespace zq
