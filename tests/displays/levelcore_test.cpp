#include "displays/levelcore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace zq {
namespace {

// Frames of 16-bit samples (one or two per frame) as bytes.
std::vector<std::uint8_t> Pcm16(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

TEST(LevelCore, RawLevelIsTheLargestSampleOfTheChosenChannelAfterItsOffset) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct Case {
    const char* what;
    PcmLayout layout;
    std::vector<std::uint8_t> data;
    std::int64_t raw;
  };
  const Case cases[] = {
      {"both channels: the halved sum truncates toward zero",
       {b16Bit, mStereo, chBoth, 3, 0, 0},
       Pcm16({1000, -1001, 1000, -1001, 1000, -1001}),
       0},
      {"left only", {b16Bit, mStereo, chLeft, 2, 0, 0}, Pcm16({-300, 9000, 200, -9000}), 300},
      {"right only", {b16Bit, mStereo, chRight, 2, 0, 0}, Pcm16({-300, 9000, 200, -9000}), 9000},
      {"mono, the channel does not matter",
       {b16Bit, mMono, chRight, 3, 0, 0},
       Pcm16({5, -7, 6}),
       7},
      {"the most negative sample", {b16Bit, mMono, chBoth, 2, 0, 0}, Pcm16({-32768, 0}), 32768},
      {"full scale", {b16Bit, mMono, chBoth, 1, 0, 0}, Pcm16({32767}), 32767},
      {"a DC offset is subtracted", {b16Bit, mMono, chBoth, 2, 100, 0}, Pcm16({100, 150}), 50},
      {"each channel its own offset",
       {b16Bit, mStereo, chRight, 1, 0, -1000},
       Pcm16({0, 500}),
       1500},
      {"an extreme offset overflows nothing",
       {b16Bit, mMono, chBoth, 1, kMin, 0},
       Pcm16({-32768}),
       -std::int64_t{kMin} - 32768},
      {"extreme offsets on both channels",
       {b16Bit, mStereo, chBoth, 1, kMax, kMax},
       Pcm16({32767, 32767}),
       std::int64_t{kMax} - 32767},
      {"8-bit silence", {b8Bit, mMono, chBoth, 2, 0, 0}, {128, 128}, 0},
      {"8-bit extremes scaled by 256", {b8Bit, mMono, chBoth, 2, 0, 0}, {255, 0}, 32768},
      {"8-bit top", {b8Bit, mMono, chBoth, 1, 0, 0}, {255}, 32512},
      {"8-bit both: the mean of the bytes", {b8Bit, mStereo, chBoth, 1, 0, 0}, {200, 57}, 0},
      {"8-bit right", {b8Bit, mStereo, chRight, 1, 0, 0}, {128, 138}, 2560},
      {"8-bit with an offset", {b8Bit, mMono, chBoth, 1, -2, 0}, {126}, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(static_cast<std::size_t>(BlockBytesOf(c.layout)), c.data.size()) << c.what;
    EXPECT_EQ(RawLevel(c.data.data(), c.layout), c.raw) << c.what;
  }
}

TEST(LevelCore, LevelsMapOntoSpotsAndTheNeedleScale) {
  struct Case {
    const char* what;
    std::int64_t g;
    int sensitivity;
    bool logAmp;
    std::int64_t full;
    double floor;
    std::int64_t expected;
  };
  const Case cases[] = {
      {"full scale lights every spot", 32767, -35, true, 127, 1e-6, 127},
      {"592 lights none", 592, -35, true, 127, 1e-6, 0},
      {"593 lights the first", 593, -35, true, 127, 1e-6, 1},
      {"a raw level of 1 lights none", 1, -35, true, 127, 1e-6, 0},
      {"silence", 0, -35, true, 127, 1e-6, 0},
      {"beyond full scale: more than N, for the caller to clamp", 65534, -35, true, 127, 1e-6, 149},
      {"linear: the threshold lights none", 582, -35, false, 127, 1e-6, 0},
      {"linear: full scale", 32767, -35, false, 127, 1e-6, 127},
      {"linear: half way above the threshold", (32767 + 582) / 2, -35, false, 100, 1e-6, 50},
      {"the needle's full scale", 32767, -50, true, 32767, 1e-5, 32767},
      {"the needle at rest", 0, -50, true, 32767, 1e-5, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MapLevel(c.g, c.sensitivity, c.logAmp, c.full, c.floor), c.expected) << c.what;
  // About -25 dB points the default needle (-50 dB) straight up.
  EXPECT_NEAR(MapLevel(1843, -50, true, 32767, 1e-5), 16384, 2);
}

TEST(LevelCore, GainIsInEighthsAndMinusEightSilencesEverything) {
  EXPECT_EQ(Amplified(1000, 0), 1000);
  EXPECT_EQ(Amplified(1000, 8), 2000);
  EXPECT_EQ(Amplified(1001, -4), 500);
  EXPECT_EQ(Amplified(32767, -8), 0);
  EXPECT_EQ(Amplified(std::int64_t{1} << 40, 32), std::int64_t{5} << 40);
}

TEST(LevelCore, PercentRoundsHalvesToEvenAndNeverDividesByZero) {
  struct Case {
    std::int64_t shown, full;
    int gain, sensitivity;
    bool logAmp;
    int percent;
  };
  const Case cases[] = {
      {0, 127, 0, -35, true, 0},  {127, 127, 0, -35, true, 100}, {1, 8, 0, -35, false, 12},
      {3, 8, 0, -35, false, 38},  {5, 8, 0, -35, false, 62},     {7, 8, 0, -35, false, 88},
      {8, 8, 0, -35, false, 100}, {127, 127, 8, -35, true, 50},  {50, 127, -8, -35, true, 0},
      {50, 100, 0, -20, true, 32}};  // 100 * 10^(-0.5) = 31.6
  for (const Case& c : cases)
    EXPECT_EQ(LevelPercent(c.shown, c.full, c.gain, c.sensitivity, c.logAmp), c.percent)
        << c.shown << "/" << c.full << " gain " << c.gain;
  EXPECT_EQ(RawOfPercent(50), 16384);  // 16383.5, to even
  EXPECT_EQ(RawOfPercent(150), 32767);
  EXPECT_EQ(RawOfPercent(-3), 0);
}

TEST(LevelCore, DecayFactorsAndRingLengthsFollowDecayFromTheStart) {
  struct Case {
    int decay;
    float factor;
    int ring;
  };
  const Case cases[] = {{1, 0.01f, 1},         {2, 0.1f, 2},         {8, 0.9646616f, 14},
                        {16, 0.99985946f, 30}, {0, 0.01f, 1},        {17, 0.99985946f, 30},
                        {4, 0.56234133f, 6},   {12, 0.99775395f, 22}};
  for (const Case& c : cases) {
    const DecayConstants k = DecayFor(c.decay);
    EXPECT_NEAR(k.factor, c.factor, 2e-7) << "Decay " << c.decay;
    EXPECT_EQ(k.ringLength, c.ring) << "Decay " << c.decay;
  }
  const LevelDecay fresh;
  EXPECT_EQ(fresh.Decay(), 1);
  EXPECT_FLOAT_EQ(fresh.Factor(), 0.01f) << "a new decay already follows Decay 1";
}

TEST(LevelCore, StepUpJumpsUpAndFallsGeometrically) {
  LevelDecay d;
  d.SetMode(dmStepUp);
  d.SetDecay(8);
  EXPECT_EQ(d.Apply(32767, false), 32767);
  EXPECT_EQ(d.Apply(0, false), 31609) << "Trunc(32767 x 0.964662)";
  std::int64_t previous = 31609;
  for (int i = 0; i < 20; ++i) {
    const std::int64_t r = d.Apply(0, false);
    EXPECT_NEAR(static_cast<double>(r), previous * 0.9646616, 1.0);
    previous = r;
  }
  EXPECT_EQ(d.Apply(32000, false), 32000) << "a louder level takes over at once";
  d.SetMode(dmExponential);
  EXPECT_EQ(d.Apply(0, false), 0) << "a new mode starts from nothing";
}

TEST(LevelCore, ExponentialRisesTowardTheLevelFromBelow) {
  LevelDecay d;
  d.SetMode(dmExponential);
  d.SetDecay(2);  // factor 0.1
  EXPECT_EQ(d.Apply(10000, false), 9000);
  EXPECT_EQ(d.Apply(10000, false), 9900);
  EXPECT_EQ(d.Apply(10000, false), 9990);
  EXPECT_EQ(d.Apply(0, false), 999);
}

TEST(LevelCore, UniformAveragesTheLastRingLengthUpdates) {
  LevelDecay d;
  d.SetMode(dmUniform);
  d.SetDecay(2);  // ring of 2
  const std::int64_t in[] = {100, 0, 0, 60, 20, 21};
  const std::int64_t out[] = {100, 50, 0, 30, 40, 20};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(d.Apply(in[i], false), out[i]) << "update " << i;
  d.SetDecay(3);  // a new ring of 4 starts empty
  EXPECT_EQ(d.Apply(40, false), 40);
  EXPECT_EQ(d.Apply(0, false), 20);
}

TEST(LevelCore, AnArrayDecaysEachValueWithOneRingStep) {
  LevelDecay bins(3);
  bins.SetMode(dmUniform);
  bins.SetDecay(2);
  std::vector<std::int32_t> a = {100, 0, 7};
  bins.Apply(a, true);
  EXPECT_EQ(a, (std::vector<std::int32_t>{100, 0, 7}));
  a = {0, 40, 7};
  bins.Apply(a, true);
  EXPECT_EQ(a, (std::vector<std::int32_t>{50, 20, 7}));

  LevelDecay steps(2);
  steps.SetMode(dmStepUp);
  steps.SetDecay(1);  // factor 0.01
  a = {5000, 300};
  steps.Apply(std::span(a.data(), 2), true);
  a = {0, 200};
  steps.Apply(std::span(a.data(), 2), true);
  EXPECT_EQ(a[0], 50);
  EXPECT_EQ(a[1], 200);
}

// Ticking one by one, the way the timer's thread would.
PeakHold TickOneByOne(PeakHold h, int ticks, int speed, std::int64_t step, std::int64_t floor) {
  for (int i = 0; i < ticks; ++i)
    h.Tick(1, speed, step, floor);
  return h;
}

TEST(LevelCore, AMarkIsHeldThenVanishesOrFalls) {
  PeakHold mark;
  mark.Raise(5, 20);
  EXPECT_EQ(mark.Countdown(), 41);
  EXPECT_FALSE(mark.Tick(40, 0, 1, 0));
  EXPECT_EQ(mark.Value(), 5);
  EXPECT_TRUE(mark.Tick(1, 0, 1, 0));
  EXPECT_EQ(mark.Value(), 0) << "41 ticks after it was raised";

  mark.Raise(5, 20);
  mark.Tick(41, 2, 1, 0);
  EXPECT_EQ(mark.Value(), 4);
  mark.Tick(1, 2, 1, 0);
  EXPECT_EQ(mark.Value(), 4);
  mark.Tick(1, 2, 1, 0);
  EXPECT_EQ(mark.Value(), 3) << "then a spot every 2 ticks";

  // The needle's peak at 30000 over a needle at rest falls 500 every 2 ticks: 60 steps.
  PeakHold needle;
  needle.Raise(30000, 20);
  needle.Tick(41 + 2 * 58, 2, 500, 0);
  EXPECT_EQ(needle.Value(), 500);
  needle.Tick(2, 2, 500, 0);
  EXPECT_EQ(needle.Value(), 0);

  // With PeakSpeed 0 the needle's peak goes back onto the needle.
  needle.Raise(30000, 0);
  needle.Tick(1, 0, 500, 12000);
  EXPECT_EQ(needle.Value(), 12000);
}

TEST(LevelCore, ManyTicksAtOnceEqualTheSameTicksOneByOne) {
  struct Case {
    std::int64_t mark;
    int delay, speed;
    std::int64_t step, floor;
  };
  const Case cases[] = {{5, 20, 0, 1, 0},
                        {5, 20, 3, 1, 0},
                        {30000, 20, 2, 500, 0},
                        {30000, 2, 2, 500, 12000},
                        {30000, 0, 1, 500, 40000},
                        {40, 1, 50, 1, 0},
                        {3, 0, 7, 1, 2}};
  for (const Case& c : cases) {
    for (int ticks : {0, 1, 2, 3, 40, 41, 42, 57, 200, 1000}) {
      PeakHold a;
      a.Raise(c.mark, c.delay);
      const PeakHold b = TickOneByOne(a, ticks, c.speed, c.step, c.floor);
      a.Tick(ticks, c.speed, c.step, c.floor);
      EXPECT_EQ(a.Value(), b.Value()) << c.mark << " after " << ticks;
      EXPECT_EQ(a.Countdown(), b.Countdown()) << c.mark << " after " << ticks;
    }
  }
}

TEST(LevelCore, TicksAreCountedAndDroppedWhileNotTicking) {
  TMMSharedTimer timer(TMMSharedTimer::TickSource::Manual);
  {
    PeakTicks ticks(timer);
    ASSERT_TRUE(ticks.Registered());
    EXPECT_EQ(timer.ClientCount(), 1);
    for (int i = 0; i < 3; ++i)
      timer.Tick();
    EXPECT_EQ(ticks.Take(), 3);
    EXPECT_EQ(ticks.Take(), 0);
    timer.Tick();
    ticks.SetTicking(false);
    ticks.SetTicking(false);  // held once, however often it is said
    timer.Tick();
    EXPECT_EQ(ticks.Take(), 0) << "a tick counted before stopping is dropped too";
    ticks.SetTicking(true);
    timer.Tick();
    EXPECT_EQ(ticks.Take(), 1) << "one resume undoes the one suspension";
  }
  EXPECT_EQ(timer.ClientCount(), 0) << "unregistered when destroyed";
}

}  // namespace
}  // namespace zq
