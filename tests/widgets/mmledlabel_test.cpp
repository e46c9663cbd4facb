#include "widgets/mmledlabel.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"
#include "tests/support/widgets/ledcells.h"

namespace zq {
namespace {

using testing::ReadLedCells;

// The recorder's readouts: no bevel, a two-pixel black margin (e = 2).
void RecorderFrame(TMMLEDLABEL& l) {
  l.Bevel().SetBevelOuter(bvNone);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST(LedCodes, CaptionsBecomeOneCodePerCharacterAfterComposition) {
  struct Case {
    const char* caption;  // UTF-8
    std::vector<int> codes;
  } cases[] = {
      {"DURAÇÃO", {68, 85, 82, 65, 199, 195, 79}},
      {"C\u0327", {199}},  // decomposed Ç
      {"€ŠŽ‘”•–—™šœžŸ", {128, 138, 142, 145, 148, 149, 150, 151, 153, 154, 156, 158, 159}},
      {"\u0081\u008D\u008F\u0090\u009D", {129, 141, 143, 144, 157}},  // the code page's free codes
      {"\u0080\u0099", {32, 32}},                                     // other C1 controls
      {"😀A", {32, 65}},  // outside the code page: one blank each
      {"±ÿ", {177, 255}},
  };
  for (const Case& c : cases) {
    const auto codes = LedCodes(QString::fromUtf8(c.caption));
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.end()), c.codes) << c.caption;
  }
  for (int code = 0; code < 256; ++code) {
    const char32_t ch = LedCharacter(static_cast<std::uint8_t>(code));
    const auto back = LedCodes(QString::fromUcs4(&ch, 1));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], code) << "round trip of " << code;
  }
}

// The captions read back cell by cell from a grab of the label.
TEST(TMMLEDLABEL, ShowsEachCharacterInOneCellWithTheLettersItMapsAndBlanksForTheRest) {
  testing::QtApp();
  struct Case {
    const char* caption;
    const char* cells;
  } cases[] = {
      {"DURAÇÃO", "DURA··O"}, {"Üü", "<137><137>"}, {"Ää Öö ß", "<135><135>·<140><140>·<149>"},
      {"ç€±", "·<128><150>"}, {"C\u0327X", "·X"},   {"A😀B", "A·B"},
      {"Šš", "<138><154>"},  // their Windows-1252 codes show the glyphs of those codes
      {"~\x7F", "~<127>"},
  };
  for (TMMLEDFontSize size : {fs11x13, fs16x20, fs11x13_bold}) {
    for (const Case& c : cases) {
      TMMLEDLABEL label;
      label.SetFontSize(size);
      label.SetCaption(QString::fromUtf8(c.caption));
      EXPECT_EQ(ReadLedCells(label), c.cells) << c.caption << " size " << size;
    }
  }
}

TEST(TMMLEDLABEL, LaysItselfOutToWholeCells) {
  testing::QtApp();
  TMMLEDLABEL free;
  RecorderFrame(free);
  free.SetFontSize(fs11x13);
  free.SetCaption("0 MB");
  EXPECT_EQ(free.NumChars(), 4);
  EXPECT_EQ(free.size(), QSize(48, 17));
  free.SetCaption("1234 MB");
  EXPECT_EQ(free.size(), QSize(81, 17)) << "a longer caption widens the label at once";

  TMMLEDLABEL player;  // the default frame: sunken, then the two-pixel margin
  player.SetFontSize(fs11x13);
  player.SetCaption("00:00:00");
  EXPECT_EQ(player.BevelExtent(), 3);
  EXPECT_EQ(player.NumChars(), 8);
  EXPECT_EQ(player.size(), QSize(94, 19));

  TMMLEDLABEL format;
  RecorderFrame(format);
  format.SetFontSize(fs11x13);
  format.SetAutoSize(false);
  format.SetBounds(0, 0, 235, 5);
  EXPECT_EQ(format.NumChars(), 21);
  EXPECT_EQ(format.size(), QSize(235, 17));
  format.SetBounds(0, 0, 240, 17);
  EXPECT_EQ(format.width(), 235);
  format.SetBounds(7, 9, 246, 17);
  EXPECT_EQ(format.geometry(), QRect(7, 9, 246, 17));
  EXPECT_EQ(format.NumChars(), 22);
  format.resize(400, 40);
  EXPECT_EQ(format.size(), QSize(246, 17)) << "resize() cannot bypass the rule";

  TMMLEDLABEL spaced;  // pitch 11 + 3 - 1: the gaps count, the last one does not
  RecorderFrame(spaced);
  spaced.SetFontSize(fs11x13);
  spaced.SetCaption("AB");
  spaced.SetLEDSpace(3);
  EXPECT_EQ(spaced.width(), 4 + 2 * 13 - 2);
  spaced.SetLEDSpace(0);
  spaced.SetLEDSpace(-4);
  EXPECT_EQ(spaced.LEDSpace(), 3);

  TMMLEDLABEL top;  // docked to the top: the width is the parent's business
  top.SetAlign(alTop);
  top.SetCaption("AB");
  top.SetBounds(0, 0, 300, 5);
  EXPECT_EQ(top.size(), QSize(300, 26));
  top.resize(320, 60);
  EXPECT_EQ(top.size(), QSize(320, 26));
}

TEST(TMMLEDLABEL, NumCharsIsNeverNegativeAndSizesTheLabelWhenNotAutoSized) {
  testing::QtApp();
  TMMLEDLABEL label;
  RecorderFrame(label);
  label.SetFontSize(fs11x13);
  label.SetCaption("ABC");
  label.SetNumChars(-2);
  EXPECT_EQ(label.NumChars(), 3);
  label.SetNumChars(7);
  EXPECT_EQ(label.NumChars(), 3) << "the caption decides while AutoSize is on";
  label.SetAutoSize(false);
  label.SetNumChars(5);
  EXPECT_EQ(label.NumChars(), 5);
  EXPECT_EQ(label.width(), 4 + 5 * 11);
  EXPECT_EQ(ReadLedCells(label), "ABC··");
  label.SetNumChars(0);
  EXPECT_EQ(label.width(), 4);
  {
    QWidget parent;  // far past what a widget can be: no overflow, the largest width
    TMMLEDLABEL wide(&parent);
    RecorderFrame(wide);
    wide.SetFontSize(fs11x13);
    wide.SetAutoSize(false);
    wide.SetNumChars(1 << 30);
    EXPECT_EQ(wide.width(), QWIDGETSIZE_MAX);
    EXPECT_EQ(wide.NumChars(), (QWIDGETSIZE_MAX - 4) / 11);
  }
  // A frame wider than the width asked: (0 - 2e) div pitch would be negative.
  label.Bevel().SetBorderSpace(10);
  label.SetBounds(0, 0, 0, 0);
  EXPECT_EQ(label.NumChars(), 0);
  EXPECT_EQ(label.size(), QSize(20, 33));
}

TEST(TMMLEDLABEL, AlignsShortAndLongCaptions) {
  testing::QtApp();
  struct Case {
    const char* caption;
    int cells;
    TAlignment alignment;
    int step;
    const char* shown;
  } cases[] = {
      {"12345", 3, taRightJustify, 0, "345"},
      {"AB", 5, taCenter, 0, "·AB··"},
      {"ABCDEFG", 3, taCenter, 0, "CDE"},
      {"ABCDEFG", 4, taCenter, 0, "BCDE"},
      {"AB", 4, taRightJustify, 0, "··AB"},
      {"ABCDE", 3, taLeftJustify, 3, "DE·"},
      {"ABCDE", 3, taLeftJustify, 5, "···"},
      {"ABCDE", 3, taRightJustify, 1, "CDE"},  // CurrentStep plays no part
  };
  for (const Case& c : cases) {
    TMMLEDLABEL label;
    label.SetFontSize(fs11x13);
    label.SetCaption(c.caption);
    label.SetAutoSize(false);
    label.SetNumChars(c.cells);
    label.SetAlignment(c.alignment);
    label.SetCurrentStep(c.step);
    EXPECT_EQ(ReadLedCells(label), c.shown) << c.caption << " in " << c.cells;
  }
}

TEST(TMMLEDLABEL, StepsOutsideTheCaptionAreIgnoredAndStartStepMovesTheCurrentOne) {
  testing::QtApp();
  TMMLEDLABEL label;
  label.SetCaption("ABCD");
  label.SetCurrentStep(5);
  label.SetCurrentStep(-1);
  EXPECT_EQ(label.CurrentStep(), 0);
  label.SetCurrentStep(4);
  EXPECT_EQ(label.CurrentStep(), 4);
  label.SetStartStep(2);
  EXPECT_EQ(label.StartStep(), 2);
  EXPECT_EQ(label.CurrentStep(), 2);
  label.SetStartStep(9);
  EXPECT_EQ(label.StartStep(), 2);
}

TEST(TMMLEDLABEL, ColoursApplyToTheSheetAndHiddenUnlitDotsTakeTheBackground) {
  testing::QtApp();
  TMMLEDLABEL label;
  label.SetFontSize(fs11x13);
  label.SetCaption("8");
  label.SetLEDColor(clRed);
  label.SetInactiveColor(clBlue);
  label.SetColor(clYellow);
  QImage shot = label.grab().toImage();
  const int e = label.BevelExtent();
  // '8' is 0E 11 11 0E ...: dot (0, 0) unlit, dot (1, 0) lit.
  EXPECT_EQ(shot.pixel(e + 1, e) & 0xFFFFFF, 0x0000FFu);  // blue
  EXPECT_EQ(shot.pixel(e + 3, e) & 0xFFFFFF, 0xFF0000u);  // pure red
  EXPECT_EQ(shot.pixel(e + 2, e) & 0xFFFFFF, 0xFFFF00u);  // yellow background
  label.SetDrawInactive(false);
  shot = label.grab().toImage();
  EXPECT_EQ(shot.pixel(e + 1, e) & 0xFFFFFF, 0xFFFF00u);
  EXPECT_EQ(ReadLedCells(label), "8");
}

// The marquee of the four letters in two cells, ticking on a manual clock.
struct Marquee {
  bool app = (testing::QtApp(), true);
  testing::TestPlatform platform;
  TMMLEDLABEL label{nullptr, platform.services()};
  std::vector<std::string> log;

  explicit Marquee(const QString& caption, int cells = 2, int speed = 100) {
    label.SetFontSize(fs11x13);
    label.SetCaption(caption);
    label.SetAutoSize(false);
    label.SetNumChars(cells);
    label.SetScrollSpeed(speed);
    label.OnBegin = [this](TMMLEDLABEL*) { log.push_back("begin"); };
    label.OnStep = [this](TMMLEDLABEL*) { log.push_back("step"); };
    label.OnEnd = [this](TMMLEDLABEL*) { log.push_back("end"); };
    label.show();
  }
  // The cells after each of n ticks, with the event of the tick.
  std::vector<std::string> Ticks(int n, int ms) {
    std::vector<std::string> frames;
    for (int i = 0; i < n; ++i) {
      log.clear();
      platform.time.AdvanceMs(ms);
      frames.push_back(ReadLedCells(label) + (log.empty() ? "" : " " + log.back()));
    }
    return frames;
  }
};

TEST(TMMLEDLABEL, MarqueeScrollsOneCellPerTickAndStartsAgainAfterOneFramePastTheEnd) {
  Marquee m("ABCD");
  m.label.SetAlignment(taRightJustify);
  EXPECT_EQ(ReadLedCells(m.label), "CD");
  m.label.SetAutoScroll(true);
  EXPECT_EQ(m.log, std::vector<std::string>{"begin"});
  EXPECT_EQ(m.label.Alignment(), taLeftJustify);
  EXPECT_EQ(ReadLedCells(m.label), "AB");
  m.platform.time.AdvanceMs(99);
  EXPECT_EQ(ReadLedCells(m.label), "AB");
  m.platform.time.AdvanceMs(1);
  EXPECT_EQ(ReadLedCells(m.label), "BC");
  EXPECT_EQ(m.Ticks(6, 100), (std::vector<std::string>{"CD step", "D· step", "·· end", "BC step",
                                                       "CD step", "D· step"}));
  // Stopping leaves the step where it is.
  m.label.SetAutoScroll(false);
  EXPECT_EQ(m.Ticks(2, 100), (std::vector<std::string>{"D·", "D·"}));
  EXPECT_EQ(m.label.CurrentStep(), 3);
}

// The frame past the end stays on screen (a grab, an expose) until the next tick, though
// CurrentStep is already back at StartStep.
TEST(TMMLEDLABEL, APaintAfterThePassShowsTheFramePastTheEnd) {
  Marquee m("ABCD");
  m.label.SetAutoScroll(true);
  m.Ticks(4, 100);
  EXPECT_EQ(m.label.CurrentStep(), 0);
  EXPECT_EQ(ReadLedCells(m.label), "··");
  m.label.update();
  QApplication::processEvents();
  EXPECT_EQ(ReadLedCells(m.label), "··");
}

TEST(TMMLEDLABEL, FormatLineEntersFromTheRightAndComesBackAtItsSecondCharacter) {
  const QString format = QString(20, ' ') + "MP3: 64 Kbps, Stereo";
  Marquee m(format, 21, 300);
  m.label.SetAutoScroll(true);
  EXPECT_EQ(ReadLedCells(m.label), "····················M");
  m.platform.time.AdvanceMs(300 * 20);
  EXPECT_EQ(ReadLedCells(m.label), "MP3:·64·Kbps,·Stereo·");
  m.platform.time.AdvanceMs(300 * 19);
  EXPECT_EQ(ReadLedCells(m.label), "o····················");
  EXPECT_EQ(m.Ticks(2, 300),
            (std::vector<std::string>{"····················· end", "···················MP step"}));
}

TEST(TMMLEDLABEL, ScrollSpeedChangesThePeriodAtOnceAndRunsAtLeastEveryTenMilliseconds) {
  Marquee m("ABCDEFGHIJ", 2, 100);
  m.label.SetAutoScroll(true);
  m.platform.time.AdvanceMs(250);
  EXPECT_EQ(m.label.CurrentStep(), 2);
  m.label.SetScrollSpeed(300);  // counts a whole new period from now
  m.platform.time.AdvanceMs(299);
  EXPECT_EQ(m.label.CurrentStep(), 2);
  m.platform.time.AdvanceMs(1);
  EXPECT_EQ(m.label.CurrentStep(), 3);
  for (int speed : {0, -5, 3}) {
    m.label.SetScrollSpeed(speed);
    EXPECT_EQ(m.label.ScrollSpeed(), speed);
    const int before = m.label.CurrentStep();
    m.platform.time.AdvanceMs(9);
    EXPECT_EQ(m.label.CurrentStep(), before) << speed;
    m.platform.time.AdvanceMs(1);
    EXPECT_EQ(m.label.CurrentStep(), before + 1) << speed;
  }
}

TEST(TMMLEDLABEL, ACaptionShortenedMidPassShowsBlanksAndTheMarqueeGoesOn) {
  Marquee m("ABCDEFGH");
  m.label.SetAutoScroll(true);
  m.Ticks(5, 100);
  m.label.SetCaption("XY");
  EXPECT_EQ(ReadLedCells(m.label), "··");
  EXPECT_EQ(m.Ticks(3, 100), (std::vector<std::string>{"·· end", "Y· step", "·· end"}));
}

TEST(TMMLEDLABEL, TicksPaintTheCellsAtOnceAndNothingButAColourChangeRecolours) {
  Marquee m("ABCDEFGH");
  PaintCounter paints(&m.label);
  QApplication::processEvents();
  const int recolorings = m.label.Recolorings();
  m.label.SetAutoScroll(true);
  QApplication::processEvents();
  paints.paints = 0;
  m.platform.time.AdvanceMs(1200);
  EXPECT_EQ(paints.paints, 12) << "each tick paints at once";
  EXPECT_EQ(ReadLedCells(m.label), "EF");  // a pass of 8 ticks, then 4 more
  m.label.update();
  QApplication::processEvents();
  m.label.SetCaption("12345678");
  m.label.SetAlignment(taCenter);
  m.label.SetNumChars(3);
  QApplication::processEvents();
  EXPECT_EQ(m.label.Recolorings(), recolorings);
  m.label.SetLEDColor(clLime);  // unchanged
  EXPECT_EQ(m.label.Recolorings(), recolorings);
  m.label.SetLEDColor(clRed);
  m.label.SetFontSize(fs16x20);
  EXPECT_EQ(m.label.Recolorings(), recolorings + 2);
}

TEST(TMMLEDLABEL, OffScreenImageIsFilledWithTheBackgroundAndCanBeCopiedByTheHandler) {
  testing::QtApp();
  TMMLEDLABEL plain, buffered;
  for (TMMLEDLABEL* l : {&plain, &buffered}) {
    l->SetFontSize(fs11x13);
    l->SetCaption("A1");
    l->SetLEDSpace(4);
    l->SetColor(clNavy);
  }
  buffered.SetDoubleBuffer(true);
  EXPECT_EQ(buffered.grab().toImage(), plain.grab().toImage());

  QImage seen;
  TRect seenRect;
  buffered.OnDrawBitmap = [&](TMMLEDLABEL*, TCanvas& canvas, const QImage& bitmap, const TRect& r) {
    seen = bitmap;
    seenRect = r;
    canvas.Handle()->drawImage(r.Left, r.Top, bitmap.mirrored(true, false));
  };
  const QImage shot = buffered.grab().toImage();
  EXPECT_EQ(seenRect, buffered.BevelClientRect());
  ASSERT_EQ(seen.size(), QSize(buffered.width() - 6, buffered.height() - 6));
  EXPECT_EQ(seen.pixel(11, 0) & 0xFFFFFF, 0x000080u) << "the gap between cells";
  EXPECT_EQ(shot.pixel(3, 3), seen.pixel(seen.width() - 1, 0)) << "the handler's copy shows";
}

TEST(TMMLEDLABEL, LoadingSuspendsLayoutAndAutoScrollFromTheFormStartsTheMarquee) {
  testing::TestPlatform platform;
  testing::QtApp();
  TMMLEDLABEL label(nullptr, platform.services());
  int begins = 0;
  label.OnBegin = [&](TMMLEDLABEL*) { ++begins; };
  const QSize before = label.size();
  label.BeginLoading();
  label.SetFontSize(fs11x13);
  label.SetCaption("12345");
  label.SetBounds(3, 4, 200, 50);
  label.SetAutoScroll(true);
  EXPECT_EQ(label.geometry(), QRect(3, 4, 200, 50));
  EXPECT_NE(label.size(), before);
  EXPECT_EQ(begins, 1);
  label.EndLoading();
  EXPECT_EQ(label.geometry(), QRect(3, 4, 6 + 5 * 11, 19));
  platform.time.AdvanceMs(100);
  EXPECT_EQ(label.CurrentStep(), 1);
}

}  // namespace
}  // namespace zq
