#include "displays/mmlevel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "displays/recorderlook.h"
#include "tests/support/displays/display_fixture.h"

namespace zq {
namespace {

using testing::Block;
using testing::Device;
using testing::Pixels;
using testing::RawAt;

class LevelTest : public ::testing::Test, public testing::DisplayFixture {
 protected:
  // A 16-bit mono level without a bevel, shown when the window is.
  TMMLevel* MakeLevel(int width, int height, TMMLevelKind kind = lkHorizontal) {
    auto* l = new TMMLevel(pacer, &peaks, &window);
    l->Bevel().SetBevelOuter(bvNone);
    l->SetKind(kind);
    l->SetBounds(0, 0, width, height);
    l->SetBitLength(b16Bit);
    l->SetSamples(4);
    l->show();
    return l;
  }
  void Feed(TMMCustomLevel* l, std::int16_t raw) {
    const auto b = Block(l->Samples(), l->Mode() == mStereo, raw, raw);
    l->ProcessData(b.data());
  }
  // Feeds the level so that it shows `spots` (its Gain 0, decibel scale).
  void FeedSpots(TMMCustomLevel* l, int spots) {
    const int full = l->Direction() == dirSymetric ? 2 * spots : spots;
    Feed(l, spots == 0 ? 0 : RawAt(full, l->Sensitivy(), l->Spots()));
    ASSERT_EQ(l->BarLength(), spots);
  }
  // The spots (1-based) whose top-left pixel shows a lit colour.
  std::set<int> Lit(TMMCustomLevel* l) {
    l->repaint();
    TMMDIBCanvas& s = l->DIBCanvas();
    const std::set<std::int32_t> lit = {static_cast<std::int32_t>(Device(s, l->Bar1Color())),
                                        static_cast<std::int32_t>(Device(s, l->Bar2Color())),
                                        static_cast<std::int32_t>(Device(s, l->Bar3Color()))};
    const auto p = Pixels(s);
    std::set<int> spots;
    for (int i = 1; i <= l->Spots(); ++i) {
      const TRect r = l->SpotRect(i);
      if (lit.count(p[static_cast<std::size_t>(r.Top * s.Width() + r.Left)]) != 0) spots.insert(i);
    }
    return spots;
  }
};

std::set<int> Range(int from, int to) {
  std::set<int> s;
  for (int i = from; i <= to; ++i)
    s.insert(i);
  return s;
}

TEST_F(LevelTest, LayoutCentresTheSpotsAndPlacesTheZoneBorders) {
  struct Case {
    const char* what;
    TMMLevelKind kind;
    int width, height, bevel, spotWidth, spotSpace, point1, point2;
    int spots, margin, p1, p2;
  };
  const Case cases[] = {
      {"the recorder's left bar", lkHorizontal, 254, 24, 0, 1, 1, 50, 80, 127, 0, 63, 101},
      {"the recorder's right bar", lkHorizontal, 253, 24, 0, 1, 1, 50, 80, 127, 0, 63, 101},
      {"the class defaults inside the default bevel", lkHorizontal, 200, 17, 1, 1, 1, 50, 85, 99, 0,
       49, 84},
      {"wide spots, centred", lkHorizontal, 12, 5, 0, 3, 1, 50, 85, 3, 0, 1, 2},
      {"a column", lkVertical, 10, 40, 0, 2, 3, 50, 85, 8, 1, 4, 6},
      {"room for less than one spot", lkHorizontal, 2, 2, 0, 1, 10, 50, 85, 1, 0, 0, 0},
      {"a spot width beyond a third of the length", lkHorizontal, 12, 4, 0, 9, 0, 100, 100, 3, 0, 3,
       3},
  };
  for (const Case& c : cases) {
    TMMLevel* l = MakeLevel(c.width, c.height, c.kind);
    if (c.bevel > 0) l->Bevel().SetBevelOuter(bvLowered);
    l->SetSpotSpace(c.spotSpace);
    l->SetSpotWidth(c.spotWidth);
    l->SetPoint1(c.point1);
    l->SetPoint2(c.point2);
    EXPECT_EQ(l->Spots(), c.spots) << c.what;
    EXPECT_EQ(l->Margin(), c.margin) << c.what;
    EXPECT_EQ(l->ZoneBorder1(), c.p1) << c.what;
    EXPECT_EQ(l->ZoneBorder2(), c.p2) << c.what;
    delete l;
  }
  TMMLevel* tiny = MakeLevel(3, 3);
  tiny->Bevel().SetBevelOuterWidth(2);
  tiny->Bevel().SetBevelOuter(bvLowered);
  EXPECT_EQ(tiny->InnerWidth(), 1);
  EXPECT_EQ(tiny->InnerHeight(), 1);
  EXPECT_EQ(tiny->DIBCanvas().Width(), 1);
}

// Seven 2-pixel spots, 1 pixel apart, one pixel of margin, on a 22-pixel length: spot i of a bar
// that starts at the low end covers 1 + 3 (i - 1) and the pixel after it.
TEST_F(LevelTest, SpotsLieWhereTheKindAndDirectionPutThem) {
  Show();
  struct Case {
    TMMLevelKind kind;
    TMMLevelDirection direction;
    std::set<int> lit;  // columns (horizontal) or rows (vertical)
  };
  const Case cases[] = {
      {lkHorizontal, dirNormal, {1, 2, 4, 5, 7, 8}},
      {lkHorizontal, dirReversed, {13, 14, 16, 17, 19, 20}},
      {lkHorizontal, dirSymetric, {7, 8, 10, 11, 13, 14, 16, 17, 19, 20}},  // cursor 1 .. 5
      {lkVertical, dirNormal, {13, 14, 16, 17, 19, 20}},
      {lkVertical, dirReversed, {1, 2, 4, 5, 7, 8}},
      {lkVertical, dirSymetric, {1, 2, 4, 5, 7, 8, 10, 11, 13, 14}},
  };
  for (const Case& c : cases) {
    const bool horizontal = c.kind == lkHorizontal;
    TMMLevel* l = horizontal ? MakeLevel(22, 2) : MakeLevel(2, 22, lkVertical);
    l->SetSpotWidth(2);
    l->SetDirection(c.direction);
    ASSERT_EQ(l->Spots(), 7);
    ASSERT_EQ(l->Margin(), 1);
    FeedSpots(l, 3);
    l->repaint();
    TMMDIBCanvas& s = l->DIBCanvas();
    const auto on = static_cast<std::int32_t>(Device(s, l->Bar1Color()));
    const auto p = Pixels(s);
    std::set<int> lit;
    for (int along = 0; along < 22; ++along) {
      const int at = horizontal ? along : along * 2;  // the first pixel across
      if (p[static_cast<std::size_t>(at)] == on) lit.insert(along);
    }
    EXPECT_EQ(lit, c.lit) << (horizontal ? "horizontal " : "vertical ") << c.direction;
    delete l;
  }
}

TEST_F(LevelTest, AMarkOfTwoSpotsStandsAtThePeakAboveTheBar) {
  Show();
  TMMLevel l(pacer, &peaks, &window);
  ApplyRecorderLevel(l, chLeft);
  l.SetDecayMode(dmNone);
  l.SetBounds(0, 0, 254, 24);
  l.show();
  FeedSpots(&l, 100);
  FeedSpots(&l, 50);
  EXPECT_EQ(l.PeakSpot(), 100);
  std::set<int> expected = Range(1, 50);
  expected.insert({99, 100});
  EXPECT_EQ(Lit(&l), expected);

  // The zone colours of the mark are those of its own spots.
  l.repaint();
  TMMDIBCanvas& s = l.DIBCanvas();
  const auto p = Pixels(s);
  auto colour = [&](int spot) { return p[static_cast<std::size_t>(l.SpotRect(spot).Left)]; };
  EXPECT_EQ(colour(50), static_cast<std::int32_t>(Device(s, clLime)));
  EXPECT_EQ(colour(100), static_cast<std::int32_t>(Device(s, clYellow)));
  EXPECT_EQ(colour(51), static_cast<std::int32_t>(Device(s, clGray)));
  EXPECT_EQ(colour(127), static_cast<std::int32_t>(Device(s, clMaroon)));
}

TEST_F(LevelTest, TheSymmetricCursorHasFiveSpotsAndItsMarkStandsTwoBeyondThePeak) {
  Show();
  TMMLevel* l = MakeLevel(40, 3);
  l->SetDirection(dirSymetric);
  l->SetNumPeaks(2);
  ASSERT_EQ(l->Spots(), 20);
  FeedSpots(l, 9);
  FeedSpots(l, 5);
  std::set<int> expected = Range(3, 7);
  expected.insert({10, 11});
  EXPECT_EQ(Lit(l), expected);
  FeedSpots(l, 0);
  EXPECT_EQ(Lit(l), (std::set<int>{1, 2, 3, 10, 11})) << "silence: the cursor at the first spot";
}

TEST_F(LevelTest, BlocksBetweenTwoFramesPaintOnce) {
  Show();
  TMMLevel* l = MakeLevel(100, 4);
  int paints = 0;
  l->OnPaint = [&](TMMCustomLevel*) { ++paints; };
  Frame();
  paints = 0;
  for (int spots : {10, 20, 30, 15, 40})
    FeedSpots(l, spots);
  EXPECT_EQ(paints, 0) << "an update never paints";
  EXPECT_EQ(time.ArmedTimers(), 1);
  Frame();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(time.ArmedTimers(), 0) << "nothing armed while nothing waits";
  Frame();
  EXPECT_EQ(paints, 1);
}

TEST_F(LevelTest, SilenceOnADarkBarAndHiddenOrDisabledLevelsAskForNoFrame) {
  Show();
  TMMLevel* l = MakeLevel(100, 4);
  Frame();
  Feed(l, 0);
  EXPECT_EQ(pacer.Waiting(), 0) << "silence on a dark bar";
  EXPECT_EQ(time.ArmedTimers(), 0);

  l->hide();
  EXPECT_FALSE(l->WantsBlocks());
  Feed(l, 20000);
  EXPECT_EQ(l->LastRawLevel(), 0) << "a hidden level takes no block";
  EXPECT_EQ(pacer.Waiting(), 0);

  l->show();
  EXPECT_TRUE(l->WantsBlocks());
  l->SetEnabled(false);
  EXPECT_FALSE(l->WantsBlocks());
  Feed(l, 20000);
  EXPECT_EQ(l->LastRawLevel(), 0) << "nor a disabled one";
  EXPECT_EQ(time.ArmedTimers(), 0);

  l->SetEnabled(true);
  window.hide();  // a window hidden to the tray hides its displays
  EXPECT_FALSE(l->WantsBlocks());
  Show();
  EXPECT_TRUE(l->WantsBlocks());
  Feed(l, 20000);
  EXPECT_EQ(l->LastRawLevel(), 20000);
  EXPECT_EQ(pacer.Waiting(), 1);
}

TEST_F(LevelTest, ABlockFromAnotherThreadIsIgnored) {
  Show();
  TMMLevel* l = MakeLevel(100, 4);
  const auto b = Block(l->Samples(), false, 20000);
  std::thread capture([&] { l->ProcessData(b.data()); });
  capture.join();
  EXPECT_EQ(l->LastRawLevel(), 0);
  EXPECT_EQ(pacer.Waiting(), 0);
}

TEST_F(LevelTest, MarksVanish41TicksAfterTheirLastRiseAndFallWithPeakSpeed) {
  Show();
  TMMLevel* l = MakeLevel(100, 4);
  FeedSpots(l, 30);
  FeedSpots(l, 10);
  Tick(40);
  FeedSpots(l, 10);
  EXPECT_EQ(l->PeakSpot(), 30);
  Tick(1);
  EXPECT_EQ(l->PeakSpot(), 30) << "the mark moves with the next update";
  FeedSpots(l, 0);
  EXPECT_EQ(l->PeakSpot(), 0);

  l->SetPeakSpeed(2);
  FeedSpots(l, 30);
  FeedSpots(l, 10);
  Tick(41);
  FeedSpots(l, 10);
  EXPECT_EQ(l->PeakSpot(), 29);
  Tick(4);
  FeedSpots(l, 10);
  EXPECT_EQ(l->PeakSpot(), 27);
}

TEST_F(LevelTest, MarksStillFallAfterTheirTimerWasStoppedForTwoReasons) {
  Show();
  TMMLevel* l = MakeLevel(100, 4);
  l->SetEnabled(false);
  l->SetNumPeaks(0);
  l->SetNumPeaks(2);
  l->SetEnabled(true);
  FeedSpots(l, 30);
  FeedSpots(l, 10);
  Tick(41);
  FeedSpots(l, 0);
  EXPECT_EQ(l->PeakSpot(), 0);

  // Ticks while the level may not tick are not counted later.
  FeedSpots(l, 30);
  l->SetNumPeaks(0);
  Tick(100);
  l->SetNumPeaks(1);
  FeedSpots(l, 10);
  EXPECT_EQ(l->PeakSpot(), 30);
}

TEST_F(LevelTest, ATickingThreadNeverLosesAMarkRaisedMeanwhile) {
  Show();
  TMMLevel* l = MakeLevel(200, 4);
  l->SetPeakDelay(0);  // marks fall on every tick
  l->SetPeakSpeed(1);
  std::atomic<bool> done{false};
  std::thread timer([&] {
    while (!done)
      peaks.Tick();
  });
  // Every rise must stand, whatever the timer's thread does meanwhile.
  for (int round = 0; round < 20; ++round) {
    l->ResetDisplay();
    for (int spots = 1; spots < 100; ++spots) {
      FeedSpots(l, spots);
      ASSERT_EQ(l->PeakSpot(), spots) << "round " << round;
    }
  }
  done = true;
  timer.join();
}

TEST_F(LevelTest, FormatsBlockSizesGainAndValue) {
  TMMLevel* l = MakeLevel(254, 24);
  ApplyRecorderLevel(*l, chRight);
  EXPECT_EQ(l->BlockBytes(), 396);
  TWaveFormatEx f{};
  BuildPCMFormat(f, 8, 1, 11025);
  l->SetFormat(&f);
  EXPECT_EQ(l->BitLength(), b8Bit);
  EXPECT_EQ(l->Mode(), mMono);
  EXPECT_EQ(l->BlockBytes(), 99);
  TWaveFormatEx bad = f;
  bad.wBitsPerSample = 24;
  try {
    l->SetFormat(&bad);
    ADD_FAILURE() << "24-bit PCM accepted";
  } catch (const EMMLevelError& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid WaveFormat");
  }
  EXPECT_THROW(l->SetFormat(nullptr), EMMLevelError);
  EXPECT_EQ(l->BlockBytes(), 99) << "the previous format stays";

  l->SetGain(40);
  EXPECT_EQ(l->Gain(), 0);
  l->SetGain(-9);
  EXPECT_EQ(l->Gain(), 0);
  l->SetSensitivy(-100);
  EXPECT_EQ(l->Sensitivy(), -90);
  l->SetSensitivy(-35);
  l->SetSpotSpace(11);
  EXPECT_EQ(l->SpotSpace(), 10);
  l->SetSpotSpace(1);
  l->SetNumPeaks(9);
  EXPECT_EQ(l->NumPeaks(), 5);
  l->SetDecay(0);
  EXPECT_EQ(l->Decay(), 1);
}

TEST_F(LevelTest, GainMinusEightEmptiesTheBarAndValueReadsZeroThere) {
  Show();
  TMMLevel* l = MakeLevel(254, 4);
  Feed(l, 20000);
  ASSERT_GT(l->BarLength(), 0);
  l->SetGain(-8);
  EXPECT_EQ(l->Value(), 0) << "no division by zero";
  Feed(l, 32767);
  EXPECT_EQ(l->BarLength(), 0);
  l->SetGain(8);
  int gainOverflows = 0, pcmOverflows = 0;
  l->OnGainOverflow = [&](TMMCustomLevel*) { ++gainOverflows; };
  l->OnPcmOverflow = [&](TMMCustomLevel*) { ++pcmOverflows; };
  Feed(l, 20000);
  EXPECT_EQ(gainOverflows, 1);
  EXPECT_EQ(pcmOverflows, 0);
  EXPECT_EQ(l->BarLength(), l->Spots());
  Feed(l, 32767);
  Feed(l, -32768);
  EXPECT_EQ(pcmOverflows, 2) << "full scale either way";
  EXPECT_EQ(l->Value(), 50) << "full length at Gain 8 reads half of full scale";

  l->SetGain(0);
  l->SetLogAmp(false);
  l->SetValue(100);
  EXPECT_EQ(l->BarLength(), l->Spots());
  EXPECT_EQ(l->Value(), 100);
  l->SetValue(-5);
  EXPECT_EQ(l->BarLength(), 0);
}

TEST_F(LevelTest, EachRedrawFiresOnPaintOnceAndOnDrawBarDrawsEverything) {
  Show();
  TMMLevel* l = MakeLevel(20, 3);
  FeedSpots(l, 4);
  int paints = 0, bars = 0;
  l->OnPaint = [&](TMMCustomLevel*) { ++paints; };
  l->OnDrawBar = [&](TMMCustomLevel*, TMMDIBCanvas& dib, const TRect& r, int spots, int peak) {
    ++bars;
    EXPECT_EQ(r, (TRect{0, 0, 20, 3}));
    EXPECT_EQ(spots, 4);
    EXPECT_EQ(peak, 4);
    dib.SetColor(clBlue);
    dib.Clear();
  };
  l->repaint();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(bars, 1);
  const auto p = Pixels(l->DIBCanvas());
  const auto blue = static_cast<std::int32_t>(Device(l->DIBCanvas(), clBlue));
  EXPECT_EQ(std::count(p.begin(), p.end(), blue), 60);
  l->OnDrawBar = nullptr;
  EXPECT_EQ(Lit(l), Range(1, 4)) << "the spots come back without it";
}

TEST_F(LevelTest, KindSwapsAnUnsuitedShapeAndDirectionRedrawsTheDimSpots) {
  TMMLevel* l = MakeLevel(60, 10);
  l->SetKind(lkVertical);
  EXPECT_EQ(l->width(), 10);
  EXPECT_EQ(l->height(), 60);
  l->SetKind(lkHorizontal);
  EXPECT_EQ(l->width(), 60);

  // Four 2-pixel spots on 12 pixels leave one pixel over at the far end, so the dim spots move
  // when the bar starts from the other end.
  Show();
  TMMLevel* m = MakeLevel(12, 1);
  m->SetSpotWidth(2);
  m->show();
  ASSERT_EQ(m->Spots(), 4);
  ASSERT_EQ(m->Margin(), 0);
  auto dim = [&] {
    m->repaint();
    const auto p = Pixels(m->DIBCanvas());
    const std::set<std::int32_t> inactive = {
        static_cast<std::int32_t>(Device(m->DIBCanvas(), m->Inactive1Color())),
        static_cast<std::int32_t>(Device(m->DIBCanvas(), m->Inactive3Color()))};
    std::set<int> columns;
    for (int x = 0; x < 12; ++x)
      if (inactive.count(p[static_cast<std::size_t>(x)]) != 0) columns.insert(x);
    return columns;
  };
  EXPECT_EQ(dim(), (std::set<int>{0, 1, 3, 4, 6, 7, 9, 10}));
  m->SetDirection(dirReversed);
  EXPECT_EQ(dim(), (std::set<int>{1, 2, 4, 5, 7, 8, 10, 11}));
}

TEST_F(LevelTest, ResetDisplayDarkensTheBarAndBothDepthsAreAccepted) {
  Show();
  TMMLevel* l = MakeLevel(20, 3);
  FeedSpots(l, 5);
  l->SetBitsPerPixel(24);
  EXPECT_EQ(l->DIBCanvas().BitsPerPixel(), 24);
  EXPECT_EQ(Lit(l), Range(1, 5));
  EXPECT_THROW(l->SetBitsPerPixel(16), EMMDIBError);
  l->ResetDisplay();
  EXPECT_EQ(l->BarLength(), 0);
  EXPECT_EQ(l->PeakSpot(), 0);
  EXPECT_EQ(Lit(l), std::set<int>{});
}

}  // namespace
}  // namespace zq
