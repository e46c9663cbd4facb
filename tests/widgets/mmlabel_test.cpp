#include "widgets/mmlabel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <set>

#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"
#include "widgets/fonts.h"
#include "widgets/pictures.h"

namespace zq {
namespace {

QRgb At(const QImage& img, int x, int y) {
  return img.pixel(x, y) & 0xFFFFFF;
}

// A label on a silver background with no frame, as a grab shows it.
struct Sample {
  Sample() {
    label.Bevel().SetBevelOuter(bvNone);
    label.SetTransparent(false);
    label.SetColor(clSilver);
    label.SetFont(WindowsFont("Arial", -20, fsBold));
    label.SetCaption("Wq8");
    label.resize(80, 30);
  }
  QImage Shot() { return label.grab().toImage().convertToFormat(QImage::Format_RGB32); }
  bool app = (testing::QtApp(), true);
  TMMLabel label;
};

// The caption's own pixels, drawn alone (no copies: they sit at (0, 0)).
std::set<std::pair<int, int>> CaptionMask(Sample& s) {
  const TMMLabelStyle style = s.label.EffectStyle();
  s.label.SetEffectStyle(lsNone);
  const QImage img = s.Shot();
  s.label.SetEffectStyle(style);
  std::set<std::pair<int, int>> mask;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (At(img, x, y) == 0) mask.insert({x, y});
  return mask;
}

// Raised: the caption moves to (1, 1); white shows only where the caption one pixel down and to
// the right would be, grey only one pixel up and to the left of it. No other colours: no
// antialiasing.
TEST(TMMLabel, RaisedPutsWhiteOnlyUpLeftOfTheLettersAndGreyOnlyDownRight) {
  Sample s;
  const auto mask = CaptionMask(s);
  ASSERT_GT(mask.size(), 50u);
  const QImage img = s.Shot();
  int white = 0, grey = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = At(img, x, y);
      const bool letter = mask.count({x - 1, y - 1}) != 0;
      if (p == 0) {
        EXPECT_TRUE(letter) << x << "," << y;
      } else if (p == 0xFFFFFF) {
        ++white;
        EXPECT_TRUE(mask.count({x, y}) && !letter) << "white at " << x << "," << y;
      } else if (p == 0x808080) {
        ++grey;
        EXPECT_TRUE(mask.count({x - 2, y - 2}) && !letter) << "grey at " << x << "," << y;
      } else {
        EXPECT_EQ(p, 0xC0C0C0u) << x << "," << y;
        EXPECT_FALSE(letter);
      }
    }
  EXPECT_GT(white, 20);
  EXPECT_GT(grey, 20);
}

TEST(TMMLabel, LettersFilledWithAPictureShowItTiledFromTheTopLeftCorner) {
  Sample s;
  s.label.SetEffectStyle(lsNone);
  s.label.resize(200, 80);
  s.label.SetFont(WindowsFont("Arial", -60, fsBold));
  const auto mask = CaptionMask(s);
  const QImage texture = LoadPicture("TITLE_TEXTURE");
  ASSERT_EQ(texture.size(), QSize(80, 60));
  s.label.SetBitmap(texture);
  const QImage img = s.Shot();
  bool beyondTile = false;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      if (mask.count({x, y})) {
        ASSERT_EQ(At(img, x, y), texture.pixel(x % 80, y % 60) & 0xFFFFFF) << x << "," << y;
        beyondTile = beyondTile || x >= 80 || y >= 60;
      } else {
        ASSERT_EQ(At(img, x, y), 0xC0C0C0u) << x << "," << y;
      }
    }
  EXPECT_TRUE(beyondTile);
  // The title texture: grey bands from (240, 240, 240) to (96, 96, 96) and back every 30 rows.
  EXPECT_EQ(texture.pixel(5, 0) & 0xFFFFFF, 0xF0F0F0u);
  EXPECT_EQ(texture.pixel(5, 29) & 0xFFFFFF, 0x606060u);
  EXPECT_EQ(texture.pixel(5, 59) & 0xFFFFFF, 0xF0F0F0u);
}

TEST(TMMLabel, TransparentLetsWhatLiesBeneathShowThrough) {
  testing::QtApp();
  QWidget parent;
  parent.resize(100, 40);
  parent.setAutoFillBackground(true);
  QPalette pal;
  pal.setColor(QPalette::Window, Qt::red);
  parent.setPalette(pal);
  auto* label = new TMMLabel(&parent);
  label->Bevel().SetBevelOuter(bvNone);
  label->SetCaption("x");
  label->setGeometry(0, 0, 100, 40);
  EXPECT_FALSE(label->testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_EQ(At(parent.grab().toImage(), 90, 30), 0xFF0000u);
  label->SetTransparent(false);
  label->SetColor(clBlue);
  EXPECT_TRUE(label->testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_EQ(At(parent.grab().toImage(), 90, 30), 0x0000FFu);
}

TEST(TMMLabel, StylesWritePresetsAndDirectWritesSwitchToCustomAlone) {
  testing::QtApp();
  // From a custom label that is a button with a yellow highlight.
  auto custom = [](TMMLabel& l) {
    l.SetAsButton(true);
    l.SetColourHighlight(clYellow);
    l.SetDepthShadow(3);
  };
  {
    TMMLabel l;
    custom(l);
    EXPECT_EQ(l.EffectStyle(), lsCustom);
    EXPECT_TRUE(l.AsButton()) << "a direct write changes nothing else";
    EXPECT_EQ(l.ColourHighlight(), clYellow);
    EXPECT_EQ(l.DirectionHighlight(), ldUpLeft);
    EXPECT_EQ(l.DepthHighlight(), 1);
    l.SetDepthShadow(300);
    EXPECT_EQ(l.DepthShadow(), 255);
  }
  struct Case {
    TMMLabelStyle style;
    TMMLabelDirection hd;
    int h;
    TMMLabelDirection sd;
    int s;
    TColor highlight;
    bool button;
  } cases[] = {
      {lsNone, ldNone, 0, ldNone, 0, clWhite, false},
      {lsRaised, ldUpLeft, 1, ldDownRight, 1, clWhite, true},
      {lsSunken, ldDownRight, 1, ldUpLeft, 1, clWhite, true},
      {lsShadow, ldNone, 0, ldDownRight, 2, clWhite, false},
      {lsFlying, ldDownRight, 1, ldDownRight, 5, clGray, false},
  };
  for (const Case& c : cases) {
    TMMLabel l;
    custom(l);
    l.SetEffectStyle(c.style);
    EXPECT_EQ(l.DirectionHighlight(), c.hd) << c.style;
    EXPECT_EQ(l.DepthHighlight(), c.h) << c.style;
    EXPECT_EQ(l.DirectionShadow(), c.sd) << c.style;
    EXPECT_EQ(l.DepthShadow(), c.s) << c.style;
    EXPECT_EQ(l.ColourHighlight(), c.highlight) << c.style;
    EXPECT_EQ(l.AsButton(), c.button) << c.style;
  }
  // lsCustom as a style keeps the values and ends the button.
  TMMLabel l;
  l.SetAsButton(true);
  l.SetColourHighlight(clYellow);
  l.SetEffectStyle(lsCustom);
  EXPECT_EQ(l.DirectionShadow(), ldDownRight);
  EXPECT_EQ(l.DepthShadow(), 1);
  EXPECT_EQ(l.ColourHighlight(), clWhite);
  EXPECT_FALSE(l.AsButton());
}

void Mouse(QWidget& w, QEvent::Type type, QPoint p, Qt::MouseButtons held) {
  QMouseEvent e(type, p, w.mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

TEST(TMMLabel, AsButtonSinksWhilePressedOverItAndClicksOnReleaseInside) {
  testing::QtApp();
  TMMLabel l;
  l.resize(100, 30);
  int clicks = 0;
  l.OnClick = [&](TMMControl*) { ++clicks; };
  l.SetAsButton(true);
  EXPECT_EQ(l.EffectStyle(), lsRaised);
  Mouse(l, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
  EXPECT_EQ(l.EffectStyle(), lsSunken);
  Mouse(l, QEvent::MouseMove, {150, 10}, Qt::LeftButton);
  EXPECT_EQ(l.EffectStyle(), lsRaised);
  Mouse(l, QEvent::MouseMove, {20, 10}, Qt::LeftButton);
  EXPECT_EQ(l.EffectStyle(), lsSunken);
  Mouse(l, QEvent::MouseButtonRelease, {20, 10}, Qt::NoButton);
  EXPECT_EQ(l.EffectStyle(), lsRaised);
  EXPECT_EQ(clicks, 1);
  Mouse(l, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
  Mouse(l, QEvent::MouseMove, {150, 10}, Qt::LeftButton);
  Mouse(l, QEvent::MouseButtonRelease, {150, 10}, Qt::NoButton);
  EXPECT_EQ(l.EffectStyle(), lsRaised);
  EXPECT_EQ(clicks, 1) << "released outside: no click";
  EXPECT_TRUE(l.AsButton());
}

TEST(TMakerLine, AClickOpensTheMakersAddressAndARefusalIsReported) {
  testing::QtApp();
  testing::TestPlatform platform;
  TMakerLine line(nullptr, platform.services());
  line.resize(120, 20);
  EXPECT_EQ(line.cursor().shape(), Qt::PointingHandCursor);
  const QString caption = line.Caption();
  Mouse(line, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  Mouse(line, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
  EXPECT_EQ(platform.browser.opened, std::vector<std::string>{kMakerAddress});
  EXPECT_TRUE(platform.messages.shown.empty());

  platform.browser.refusing = true;
  Mouse(line, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  Mouse(line, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
  EXPECT_EQ(platform.browser.opened.size(), 2u);
  ASSERT_EQ(platform.messages.shown.size(), 1u);
  EXPECT_EQ(platform.messages.shown[0].kind, testing::RecordedMessages::Kind::Error);
  EXPECT_NE(platform.messages.shown[0].text.find(kMakerAddress), std::string::npos);
  EXPECT_EQ(line.Caption(), caption);
  EXPECT_EQ(line.EffectStyle(), lsRaised);
}

}  // namespace
}  // namespace zq
