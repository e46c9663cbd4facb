#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "audio/mmconnector.h"
#include "tests/support/audio/feed_recorder.h"
#include "tests/support/audio/log_stages.h"
#include "tests/support/platform/manual_time.h"

namespace zq {
namespace {

using namespace std::chrono_literals;
using testing::FedBlock;
using testing::LevelRecorder;
using testing::LightRecorder;
using testing::Log;
using testing::LogDevice;
using testing::LogStage;
using testing::MeterRecorder;
using testing::ScopeRecorder;
using testing::SpectrogramRecorder;
using testing::SpectrumRecorder;

constexpr int kFrame = 4;  // 16-bit stereo

// A capture buffer of 16-bit stereo frames. The right channel carries the frame index, so every
// block a display receives tells where in the buffer it began; the left channel is the signal.
struct Buffer {
  explicit Buffer(
      int frames, const std::function<int(int)>& left = [](int) { return 0; })
      : bytes(static_cast<std::size_t>(frames) * kFrame) {
    for (int i = 0; i < frames; ++i) {
      const std::int16_t s[2] = {static_cast<std::int16_t>(left(i)), static_cast<std::int16_t>(i)};
      std::memcpy(bytes.data() + i * kFrame, s, kFrame);
    }
  }
  PWaveHdr Header() {
    hdr.lpData = bytes.data();
    hdr.dwBufferLength = hdr.dwBytesRecorded = static_cast<std::uint32_t>(bytes.size());
    return &hdr;
  }
  std::vector<char> bytes;
  TWaveHdr hdr{};
};

std::vector<int> Frames(const std::vector<FedBlock>& blocks) {
  std::vector<int> frames;
  for (const FedBlock& b : blocks)
    frames.push_back(b.first1);
  return frames;
}

std::vector<std::int64_t> Times(const std::vector<FedBlock>& blocks, std::int64_t origin) {
  std::vector<std::int64_t> times;
  for (const FedBlock& b : blocks)
    times.push_back(b.at - origin);
  return times;
}

// device -> connector -> encoder stand-in, 44100 Hz 16-bit stereo, 4096-byte buffers, on a
// manual clock, a main-thread queue the test drains, and a shared timer the test ticks.
class ConnectorTest : public ::testing::Test {
 protected:
  ConnectorTest() {
    BuildPCMFormat(cd, 16, 2, 44100);
    sink.OnBufferReady = [this](TMMDSPComponent*, PWaveHdr h) { passedOn.push_back(h); };
    device.SetOutput(&connector);
    connector.SetOutput(&sink);
    device.SetBufferSize(4096);
    device.SetWaveFormat(&cd);
    time().AdvanceMs(1000);
  }

  testing::ManualTime& time() { return platform.time; }
  std::int64_t Now() { return time().MonotonicMicros(); }
  void Start() {
    device.ChainOpened();
    device.ChainStarted();
  }
  // The capture hands a buffer on; returns its arrival time.
  std::int64_t Push(Buffer& b) {
    const std::int64_t at = Now();
    device.BufferReady(b.Header());
    return at;
  }
  void Run() { platform.mainThread.RunUntilEmpty(); }
  // Lets time pass; the pacing timer fires on the way, then posted calls run.
  void Elapse(std::int64_t us) {
    time().Advance(std::chrono::microseconds(us));
    Run();
  }
  void AdvanceTo(std::int64_t at) { Elapse(at - Now()); }

  TWaveFormatEx cd{};
  testing::TestPlatform platform;
  Services services = platform.services();
  TMMSharedTimer sharedTimer{TMMSharedTimer::TickSource::Manual};
  Log log;
  LogDevice device{"dev", &log};
  TMMConnector connector{services, nullptr, &sharedTimer};
  LogStage sink{"enc", &log};
  std::vector<PWaveHdr> passedOn;
  std::vector<std::string> order;
};

// ---- Pacing ---------------------------------------------------------------------------------

TEST_F(ConnectorTest, BlocksArePacedFromTheArrivalAndThePartialTailIsNotShown) {
  struct Case {
    int frames;
    std::vector<int> blockFrames;
    std::vector<std::int64_t> due;
  };
  const Case cases[] = {
      {1024, {0, 256, 512, 768}, {0, 5804, 11609, 17414}},
      {750, {0, 256}, {0, 5804}},  // 3000 bytes: the third block would run past the end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    LevelRecorder level("level", &time(), 1024);
    connector.SetLevel1(&level);
    int passes = 0;
    connector.OnTrigger = [&](TMMConnector* sender) {
      EXPECT_EQ(sender, &connector);
      ++passes;
    };
    Start();
    Buffer b(c.frames);
    const std::int64_t arrival = Push(b);
    ASSERT_EQ(passedOn, std::vector<PWaveHdr>{b.Header()}) << "the buffer goes on unchanged";
    EXPECT_TRUE(level.blocks.empty()) << "no display work on the capture path";

    Run();
    for (std::size_t i = 1; i < c.due.size(); ++i) {
      AdvanceTo(arrival + c.due[i] - 1);
      EXPECT_EQ(level.blocks.size(), i) << "no block before its time";
      Elapse(1);
    }
    Elapse(100000);
    EXPECT_EQ(Frames(level.blocks), c.blockFrames);
    EXPECT_EQ(Times(level.blocks, arrival), c.due);
    EXPECT_EQ(passes, static_cast<int>(c.due.size())) << "one wake per due block here";
    EXPECT_EQ(time().ArmedTimers(), 0) << "an idle connector arms nothing";

    device.ChainStopped();
    device.ChainClosed();
    connector.SetLevel1(nullptr);
    passedOn.clear();
  }
}

TEST_F(ConnectorTest, ALateWakeDeliversEveryBlockThatIsDueAtOnce) {
  LevelRecorder level("level", &time(), 1024);
  connector.SetLevel1(&level);
  Start();
  Buffer b(1024);
  const std::int64_t arrival = Push(b);
  time().Advance(12000us);  // the main loop was busy: the posted wake waits
  Run();
  EXPECT_EQ(Frames(level.blocks), (std::vector<int>{0, 256, 512}));
  EXPECT_EQ(Times(level.blocks, arrival), (std::vector<std::int64_t>{12000, 12000, 12000}));
  Elapse(100000);
  EXPECT_EQ(Times(level.blocks, arrival).back(), 17414);
}

TEST_F(ConnectorTest, ANewBufferReplacesTheOneBeingShown) {
  LevelRecorder level("level", &time(), 1024);
  connector.SetLevel1(&level);
  Start();
  Buffer first(1024, [](int) { return 1; }), second(1024, [](int) { return 2; });
  Push(first);
  Run();
  Elapse(6000);
  const std::int64_t arrival = Push(second);
  Run();
  Elapse(100000);
  ASSERT_EQ(level.blocks.size(), 6u);
  EXPECT_EQ(level.blocks[1].first0, 1);
  EXPECT_EQ(level.blocks[2].first0, 2);
  EXPECT_EQ(Frames(level.blocks), (std::vector<int>{0, 256, 0, 256, 512, 768}));
  EXPECT_EQ(level.blocks[2].at, arrival);
}

TEST_F(ConnectorTest, LevelsOfDifferentBlockSizesShareBlocksSteppedByTheLarger) {
  LevelRecorder small("small", &time(), 80), large("large", &time(), 1024);
  connector.SetLevel1(&small);
  connector.SetLevel2(&large);
  connector.SetSynchronize(false);  // every block is due at once
  Start();
  Buffer b(1024);
  Push(b);
  Run();
  EXPECT_EQ(Frames(small.blocks), (std::vector<int>{0, 256, 512, 768}));
  ASSERT_EQ(small.blocks.size(), large.blocks.size());
  for (std::size_t i = 0; i < small.blocks.size(); ++i)
    EXPECT_EQ(small.blocks[i].data, large.blocks[i].data);
}

TEST_F(ConnectorTest, APassGoesKindByKindAndSlotBySlot) {
  LevelRecorder l1("L1", &time(), 1024, &order), l2("L2", &time(), 1024, &order);
  MeterRecorder m1("M1", &time(), 1024, &order), m2("M2", &time(), 1024, &order);
  ScopeRecorder o1("O1", &time(), 1024, &order), o2("O2", &time(), 1024, &order);
  LightRecorder g1("G1", &time(), 1024, &order), g2("G2", &time(), 1024, &order);
  SpectrumRecorder s1("S1", &time(), 1024, &order), s2("S2", &time(), 1024, &order),
      s3("S3", &time(), 1024, &order), s4("S4", &time(), 1024, &order);
  SpectrogramRecorder p1("P1", &time(), 1024, &order), p2("P2", &time(), 1024, &order);
  // Assigned out of order on purpose.
  connector.SetSpectrogram2(&p2);
  connector.SetSpectrum4(&s4);
  connector.SetLevel2(&l2);
  connector.SetOscope2(&o2);
  connector.SetLight1(&g1);
  connector.SetMeter1(&m1);
  connector.SetSpectrum2(&s2);
  connector.SetLevel1(&l1);
  connector.SetSpectrogram1(&p1);
  connector.SetMeter2(&m2);
  connector.SetOscope1(&o1);
  connector.SetSpectrum1(&s1);
  connector.SetLight2(&g2);
  connector.SetSpectrum3(&s3);
  connector.SetSynchronize(false);
  Start();
  Buffer b(256);  // one block for each
  Push(b);
  Run();
  EXPECT_EQ(order, (std::vector<std::string>{"L1", "L2", "M1", "M2", "O1", "O2", "G1", "G2", "S1",
                                             "S2", "S3", "S4", "P1", "P2"}));
  ASSERT_FALSE(l1.formats.empty());
  // The record is packed: its fields are read by value.
  EXPECT_EQ(static_cast<std::uint32_t>(l1.formats.back().nSamplesPerSec), 44100u);
  EXPECT_EQ(static_cast<int>(l1.formats.back().nChannels), 2);
  EXPECT_EQ(static_cast<int>(p2.formats.back().wBitsPerSample), 16);
}

// ---- Slots ----------------------------------------------------------------------------------

// In a two-slot kind a display takes one slot only; nil is always accepted.
template <class Recorder, class Feed>
void ExpectPairRefusesTheSameDisplay(TMMConnector& c, const Clock* clock,
                                     void (TMMConnector::*set1)(Feed*),
                                     void (TMMConnector::*set2)(Feed*),
                                     Feed* (TMMConnector::*get1)() const,
                                     Feed* (TMMConnector::*get2)() const) {
  Recorder a("a", clock, 4), b("b", clock, 4);
  (c.*set1)(&a);
  EXPECT_EQ(a.formats.size(), 1u) << "an assignment sends the format";
  (c.*set2)(&a);
  EXPECT_EQ((c.*get2)(), nullptr) << a.name << " is already in the other slot";
  (c.*set2)(&b);
  (c.*set1)(&b);
  EXPECT_EQ((c.*get1)(), &a);
  (c.*set1)(nullptr);
  (c.*set2)(nullptr);
  (c.*set1)(&b);
  EXPECT_EQ((c.*get1)(), &b);
  (c.*set1)(nullptr);
}

TEST_F(ConnectorTest, TwoSlotKindsRefuseTheSameDisplayTwiceSpectraAllowIt) {
  using C = TMMConnector;
  const Clock* clock = &time();
  ExpectPairRefusesTheSameDisplay<LevelRecorder>(connector, clock, &C::SetLevel1, &C::SetLevel2,
                                                 &C::Level1, &C::Level2);
  ExpectPairRefusesTheSameDisplay<MeterRecorder>(connector, clock, &C::SetMeter1, &C::SetMeter2,
                                                 &C::Meter1, &C::Meter2);
  ExpectPairRefusesTheSameDisplay<ScopeRecorder>(connector, clock, &C::SetOscope1, &C::SetOscope2,
                                                 &C::Oscope1, &C::Oscope2);
  ExpectPairRefusesTheSameDisplay<LightRecorder>(connector, clock, &C::SetLight1, &C::SetLight2,
                                                 &C::Light1, &C::Light2);
  ExpectPairRefusesTheSameDisplay<SpectrogramRecorder>(connector, clock, &C::SetSpectrogram1,
                                                       &C::SetSpectrogram2, &C::Spectrogram1,
                                                       &C::Spectrogram2);

  SpectrumRecorder s("s", &time(), 1024);
  connector.SetSpectrum1(&s);
  connector.SetSpectrum3(&s);
  EXPECT_EQ(connector.Spectrum3(), &s);
  connector.SetSynchronize(false);
  Start();
  Buffer b(256);
  Push(b);
  Run();
  EXPECT_EQ(s.blocks.size(), 2u) << "fed once per slot";
}

TEST_F(ConnectorTest, DestroyingADisplayClearsItsSlotsAndTheOthersAreStillFed) {
  auto gone = std::make_unique<LevelRecorder>("gone", &time(), 1024);
  auto twice = std::make_unique<SpectrumRecorder>("twice", &time(), 1024);
  LevelRecorder stays("stays", &time(), 1024);
  connector.SetLevel1(gone.get());
  connector.SetLevel2(&stays);
  connector.SetSpectrum2(twice.get());
  connector.SetSpectrum4(twice.get());
  Start();
  Buffer b(1024);
  Push(b);
  Run();
  gone.reset();
  twice.reset();
  EXPECT_EQ(connector.Level1(), nullptr);
  EXPECT_EQ(connector.Spectrum2(), nullptr);
  EXPECT_EQ(connector.Spectrum4(), nullptr);
  Elapse(100000);
  EXPECT_EQ(Frames(stays.blocks), (std::vector<int>{0, 256, 512, 768}));

  // The other way round: displays outlive the connector that held them.
  auto other = std::make_unique<TMMConnector>(services, nullptr, &sharedTimer);
  LevelRecorder outlives("outlives", &time(), 4);
  other->SetLevel1(&outlives);
  connector.SetLevel1(&outlives);
  other.reset();
  EXPECT_EQ(connector.Level1(), &outlives);
}

// ---- Life cycle -----------------------------------------------------------------------------

TEST_F(ConnectorTest, WhileDisabledBuffersPassOnButNothingIsCopied) {
  LevelRecorder level("level", &time(), 1024);
  connector.SetLevel1(&level);
  Start();
  Buffer first(1024, [](int) { return 1; }), second(1024, [](int) { return 2; });
  Push(first);
  Run();
  connector.SetEnabled(false);
  EXPECT_EQ(level.resets, 1);
  EXPECT_EQ(time().ArmedTimers(), 0);
  Push(second);
  Run();
  Elapse(100000);
  EXPECT_EQ(level.blocks.size(), 1u);
  EXPECT_EQ(passedOn.size(), 2u);

  connector.SetEnabled(true);
  Elapse(100000);
  EXPECT_EQ(level.blocks.size(), 1u) << "nothing stale is shown";
  Push(first);
  Run();
  EXPECT_EQ(level.blocks.size(), 2u);
}

TEST_F(ConnectorTest, APauseFeedsSilenceOnTheSharedTimer) {
  LevelRecorder level("level", &time(), 1024);
  connector.SetLevel1(&level);
  Start();
  Buffer loud(1024, [](int) { return 1000; });
  Push(loud);
  Run();
  device.ChainPaused();
  EXPECT_EQ(sharedTimer.ClientCount(), 1);
  Push(loud);  // not copied while paused
  EXPECT_EQ(passedOn.size(), 2u);
  Elapse(100000);
  const std::size_t before = level.blocks.size();

  sharedTimer.Tick();  // 25 ms: the interval of a 23 ms buffer
  const std::int64_t tick = Now();
  Run();
  Elapse(100000);
  ASSERT_EQ(level.blocks.size(), before + 4);
  for (std::size_t i = before; i < level.blocks.size(); ++i)
    EXPECT_EQ(level.blocks[i].first0, 0) << "silence";
  EXPECT_EQ(level.blocks[before].at, tick);
  EXPECT_EQ(level.blocks[before + 1].at, tick + 5804);

  device.ChainRestarted();
  EXPECT_EQ(sharedTimer.ClientCount(), 0);
  Push(loud);
  Run();
  EXPECT_EQ(level.blocks.back().first0, 1000);
}

TEST_F(ConnectorTest, StopReleasesEverythingAndRefreshesWhenAsked) {
  for (const bool refresh : {true, false}) {
    SCOPED_TRACE(refresh);
    LevelRecorder level("level", &time(), 1024);
    SpectrumRecorder spectrum("spectrum", &time(), 1024);
    connector.SetLevel1(&level);
    connector.SetSpectrum1(&spectrum);
    connector.SetRefreshOnStop(refresh);
    Start();
    Buffer b(1024);
    Push(b);
    Run();
    device.ChainPaused();
    ASSERT_EQ(time().ArmedTimers(), 1);
    device.ChainStopped();
    EXPECT_EQ(level.resets, refresh ? 1 : 0);
    EXPECT_EQ(spectrum.resets, refresh ? 1 : 0);
    EXPECT_EQ(time().ArmedTimers(), 0);
    EXPECT_EQ(sharedTimer.ClientCount(), 0);
    sharedTimer.Tick();
    Push(b);
    Elapse(100000);
    EXPECT_EQ(level.blocks.size(), 1u);
    device.ChainClosed();
    connector.SetLevel1(nullptr);
    connector.SetSpectrum1(nullptr);
  }
}

TEST_F(ConnectorTest, ANonPcmInputLeavesTheConnectorIdle) {
  LevelRecorder level("level", &time(), 1024);
  connector.SetLevel1(&level);
  TWaveFormatEx adpcm = cd;
  adpcm.wFormatTag = 2;
  device.SetWaveFormat(&adpcm);
  level.formats.clear();
  Start();
  Buffer b(1024);
  Push(b);
  Elapse(100000);
  EXPECT_EQ(passedOn.size(), 1u);
  EXPECT_TRUE(level.formats.empty());
  EXPECT_TRUE(level.blocks.empty());
  EXPECT_EQ(time().ArmedTimers(), 0);
  EXPECT_TRUE(platform.messages.shown.empty());
}

// ---- Modes ----------------------------------------------------------------------------------

TEST_F(ConnectorTest, WithoutRealTimeTheDeliveringThreadFeedsOnceTheBufferHasGoneOn) {
  connector.SetRealTime(false);
  LevelRecorder level("level", &time(), 1024);
  level.onData = [&](const std::uint8_t*) { log.push_back("level:block"); };
  connector.SetLevel1(&level);
  Start();
  try {
    connector.SetRealTime(true);
    ADD_FAILURE() << "RealTime changed while open";
  } catch (const EMMConnectorError& e) {
    EXPECT_STREQ(e.what(), "Change to property while device was open");
  }
  EXPECT_FALSE(connector.RealTime());

  Buffer b(1024);
  log.clear();
  Push(b);
  EXPECT_EQ(log, (Log{"enc:buffer:4096", "level:block"}));
  Elapse(100000);
  EXPECT_EQ(level.blocks.size(), 1u) << "only what was due when the buffer came";
  EXPECT_EQ(time().ArmedTimers(), 0);

  connector.SetSynchronize(false);
  Push(b);
  EXPECT_EQ(level.blocks.size(), 5u);
}

TEST_F(ConnectorTest, WithoutAutoTriggerOnlyTriggerDelivers) {
  connector.SetAutoTrigger(false);
  LevelRecorder level("level", &time(), 1024);
  connector.SetLevel1(&level);
  connector.Trigger();  // not running: nothing
  Start();
  Buffer b(1024);
  Push(b);
  Elapse(6000);
  EXPECT_TRUE(level.blocks.empty());
  EXPECT_EQ(time().ArmedTimers(), 0);

  connector.Trigger();
  EXPECT_EQ(Frames(level.blocks), (std::vector<int>{0, 256}));

  // From other threads a trigger is posted, and only one waits at a time.
  Elapse(6000);
  for (int i = 0; i < 2; ++i)
    std::thread([&] { connector.Trigger(); }).join();
  EXPECT_EQ(level.blocks.size(), 2u);
  EXPECT_EQ(platform.mainThread.Pending(), 1u);
  Run();
  EXPECT_EQ(Frames(level.blocks), (std::vector<int>{0, 256, 512}));
  connector.Trigger();
  Elapse(100000);
  connector.Trigger();
  EXPECT_EQ(level.blocks.size(), 4u);
}

TEST_F(ConnectorTest, SpeedIsClamped) {
  const std::pair<int, int> cases[] = {{0, 1},       {-7, 1},      {1, 1},
                                       {1234, 1234}, {5000, 5000}, {9999, 5000}};
  for (const auto& [in, stored] : cases) {
    connector.SetSpeed(in);
    EXPECT_EQ(connector.Speed(), stored) << in;
  }
}

// ---- Scopes and spectrograms ------------------------------------------------------------------

struct TriggerCase {
  const char* what;
  int bits, channels;
  std::vector<int> samples;  // interleaved
  int level;
  TMMTriggerMode mode;
  int expected;
};

TEST(TriggerSearch, FindsTheFirstCrossingOfEitherFlank) {
  const TriggerCase cases[] = {
      {"16-bit up at 0", 16, 1, {-100, -50, 0, 50}, 0, tmUpFlank, 4},
      {"16-bit down at 0", 16, 1, {100, 50, 0, -50}, 0, tmDownFlank, 4},
      {"16-bit up at 10%", 16, 1, {0, 3269, 3270}, 10, tmUpFlank, 4},
      {"16-bit up short of 10%", 16, 1, {0, 3269, 3269}, 10, tmUpFlank, -1},
      {"16-bit down at 10%", 16, 1, {0, -3269, -3270}, 10, tmDownFlank, 4},
      {"16-bit down is not up", 16, 1, {-100, 100}, 0, tmDownFlank, -1},
      {"16-bit crossing on the last pair", 16, 1, {-1, -1, 1}, 0, tmUpFlank, 4},
      {"8-bit up at the midpoint", 8, 1, {100, 127, 128, 200}, 0, tmUpFlank, 2},
      {"8-bit up at 50%", 8, 1, {128, 190, 191}, 50, tmUpFlank, 2},
      {"8-bit down at 50%", 8, 1, {128, 66, 65}, 50, tmDownFlank, 2},
      {"8-bit down at the midpoint", 8, 1, {200, 129, 128}, 0, tmDownFlank, 2},
      {"flat on the threshold", 16, 1, {0, 0, 0}, 0, tmUpFlank, -1},
      {"no trigger mode", 16, 1, {-100, 100}, 0, tmNone, -1},
      // Stereo triggers on the mean: the left channel alone crosses a frame earlier.
      {"16-bit stereo mean", 16, 2, {-100, -100, 100, -300, 100, 100}, 0, tmUpFlank, 8},
      {"8-bit stereo mean", 8, 2, {100, 100, 200, 0, 130, 130}, 0, tmUpFlank, 4},
      {"16-bit stereo down", 16, 2, {100, 100, -100, -100}, 0, tmDownFlank, 4},
  };
  for (const TriggerCase& c : cases) {
    TWaveFormatEx f{};
    BuildPCMFormat(f, c.bits, c.channels, 44100);
    std::vector<std::uint8_t> data;
    for (int s : c.samples) {
      if (c.bits == 8) {
        data.push_back(static_cast<std::uint8_t>(s));
      } else {
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(s));
        data.push_back(static_cast<std::uint8_t>(v & 0xff));
        data.push_back(static_cast<std::uint8_t>(v >> 8));
      }
    }
    EXPECT_EQ(TriggerSearch(f, data.data(), static_cast<int>(data.size()), c.level, c.mode),
              c.expected)
        << c.what;
  }
}

TEST(TriggerSearch, IgnoresAPartialFrameAtTheEnd) {
  TWaveFormatEx f{};
  BuildPCMFormat(f, 16, 2, 44100);
  const std::int16_t s[5] = {-1, -1, 1, 1, 5};
  EXPECT_EQ(TriggerSearch(f, s, 10, 0, tmUpFlank), 4);
  EXPECT_EQ(TriggerSearch(f, s, 7, 0, tmUpFlank), -1);
}

TEST_F(ConnectorTest, ScopeBlocksStartAtTheTriggerOrStepByAQuarterWhenScrolling) {
  struct Case {
    const char* what;
    int blockBytes;
    bool scroll;
    TMMTriggerMode mode;
    std::vector<int> frames;
  };
  const Case cases[] = {
      // A square wave rising at frames 25, 75, 125, ...; each block starts at the next rise.
      {"trigger", 400, false, tmUpFlank, {25, 175, 325, 475, 625, 775}},
      {"chart recorder", 512, true, tmNone, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopeRecorder scope("scope", &time(), c.blockBytes);
    scope.scroll = c.scroll;
    scope.fftLength = 128;  // steps of 32 frames
    connector.SetOscope1(&scope);
    connector.SetTriggerMode(c.mode);
    connector.SetSynchronize(false);
    Start();
    Buffer b(1024, [](int i) { return i % 50 < 25 ? -1000 : 1000; });
    Push(b);
    Run();
    std::vector<int> expected = c.frames;
    if (c.scroll)
      for (int f = 0; f + 128 <= 1024; f += 32)
        expected.push_back(f);
    EXPECT_EQ(Frames(scope.blocks), expected);
    device.ChainStopped();
    device.ChainClosed();
    connector.SetOscope1(nullptr);
  }
}

TEST_F(ConnectorTest, SpectrogramsKeepTheirOwnPositions) {
  SpectrogramRecorder plain("plain", &time(), 1024), scrolling("scrolling", &time(), 2048);
  scrolling.scroll = true;
  connector.SetSpectrogram1(&plain);
  connector.SetSpectrogram2(&scrolling);
  Start();
  Buffer b(1024);
  const std::int64_t arrival = Push(b);
  Run();
  Elapse(100000);
  EXPECT_EQ(Frames(plain.blocks), (std::vector<int>{0, 256, 512, 768}));
  EXPECT_EQ(Frames(scrolling.blocks), (std::vector<int>{0, 128, 256, 384, 512}));
  EXPECT_EQ(Times(scrolling.blocks, arrival),
            (std::vector<std::int64_t>{0, 2902, 5804, 8707, 11609}));
}

// ---- Failures -------------------------------------------------------------------------------

TEST_F(ConnectorTest, DisplayFailuresGoToTheHandlerAndNeverToTheCapturePath) {
  LevelRecorder failing("failing", &time(), 1024);
  MeterRecorder meter("meter", &time(), 1024);
  connector.SetLevel1(&failing);
  connector.SetMeter1(&meter);
  failing.refuseFormats = true;
  Start();  // the format is refused: reported, and the stream starts all the same
  EXPECT_EQ(platform.messages.Texts(), std::vector<std::string>{"Invalid WaveFormat"});
  EXPECT_NE(std::find(log.begin(), log.end(), "enc:start"), log.end());

  failing.failData = true;
  Buffer b(1024);
  for (int i = 0; i < 2; ++i) {
    Push(b);
    Run();
    Elapse(100000);
  }
  EXPECT_EQ(passedOn.size(), 2u);
  EXPECT_EQ(platform.messages.Texts(),
            (std::vector<std::string>{"Invalid WaveFormat", "failing cannot draw",
                                      "failing cannot draw"}))
      << "once per buffer, not once per block";
  EXPECT_EQ(meter.blocks.size(), 8u);

  connector.OnTrigger = [](TMMConnector*) { throw std::runtime_error("trigger handler"); };
  failing.failData = false;
  Push(b);
  Run();
  EXPECT_EQ(platform.messages.Texts().back(), "trigger handler");
}

// A pass reads the work buffer while the capture thread copies new buffers into it: every pass
// must see one whole buffer. Buffer k holds the byte k in all of its k * 1024 bytes.
TEST_F(ConnectorTest, ACopyIsNeverTornByAConcurrentPass) {
  connector.SetRealTime(false);
  connector.SetAutoTrigger(false);
  connector.SetSynchronize(false);
  LevelRecorder level("level", &time(), 1024);
  level.keep = false;
  std::vector<std::uint8_t> pass;
  int torn = 0, passes = 0;
  level.onData = [&](const std::uint8_t* p) {
    for (int i = 1; i < 1024; ++i)
      torn += p[i] != p[0];
    pass.push_back(p[0]);
  };
  connector.OnTrigger = [&](TMMConnector*) {
    if (pass.empty()) return;
    ++passes;
    for (std::uint8_t v : pass)
      torn += v != pass[0];
    torn += static_cast<int>(pass.size()) != pass[0];
    pass.clear();
  };
  connector.SetLevel1(&level);
  Start();

  constexpr int kPasses = 10000;
  std::atomic<bool> stop{false};
  std::atomic<int> buffers{0};
  std::thread capture([&] {
    std::vector<char> data(4096);
    TWaveHdr hdr{};
    hdr.lpData = data.data();
    for (int i = 0; !stop; ++i) {
      const int k = i % 4 + 1;
      std::memset(data.data(), k, data.size());
      hdr.dwBytesRecorded = static_cast<std::uint32_t>(k * 1024);
      device.BufferReady(&hdr);
      ++buffers;
      // A capture hands over a buffer now and then; the pause lets the passes take the lock.
      if (i % 4 == 3) std::this_thread::sleep_for(1us);
    }
  });
  while (passes < kPasses)
    connector.Trigger();
  stop = true;
  capture.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(passedOn.size(), static_cast<std::size_t>(buffers.load()));
}

}  // namespace
}  // namespace zq
