// The recorder's chain end to end: wave input -> connector -> encoder, with displays on the
// connector, on a manual clock. Every captured frame reaches the encoder once and in order while
// the displays receive paced blocks, none before its time.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "audio/bladeenc.h"
#include "audio/mmblade.h"
#include "audio/mmconnector.h"
#include "tests/audio/fakeenc/fakeenc_loader.h"
#include "tests/support/audio/feed_recorder.h"
#include "tests/support/audio/scripted_wavein.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

using testing::FakeEncState;

TEST(CaptureChain, BuffersPassUnchangedToTheEncoderWhileDisplaysGetPacedBlocks) {
  testing::TestPlatform platform;
  testing::TempDir dir;
  FakeEncState& fake = testing::LoadFakeEncoder(ZQ_FAKEENC_PATH);
  TMMSharedTimer pauseTimer(TMMSharedTimer::TickSource::Manual);

  testing::TScriptedWaveIn in(platform.services());
  TMMConnector connector(platform.services(), nullptr, &pauseTimer);
  TMMMP3Encoder mp3(nullptr, platform.services());
  in.SetMode(mStereo);
  in.SetBitLength(b16Bit);
  in.SetSampleRate(44100);
  in.SetBufferSize(4096);
  in.SetNumBuffers(20);
  in.SetOutput(&connector);
  connector.SetOutput(&mp3);
  mp3.SetFileName(dir / "seg.mp3");

  testing::LevelRecorder level("level", &platform.time, 1024);
  testing::SpectrumRecorder spectrum("spectrum", &platform.time, 256);
  connector.SetLevel1(&level);
  connector.SetSpectrum1(&spectrum);
  std::vector<std::int64_t> arrivals;  // when each buffer reached the connector
  mp3.OnBufferReady = [&](TMMDSPComponent*, PWaveHdr) {
    arrivals.push_back(platform.time.MonotonicMicros());
  };

  in.Script().SetSignal(testing::ScriptedSignal::Ramp);
  in.Script().PaceTo(platform.time, platform.time, 5);
  in.Open();
  in.Start();
  for (int step = 0; step < 1000; ++step) {  // ten seconds in steps of 10 ms
    platform.time.AdvanceMs(10);
    platform.mainThread.RunUntilEmpty();
  }
  in.Stop();
  platform.mainThread.RunUntilEmpty();
  in.Close();

  // Every frame captured reached the encoder, once and in order.
  TWaveFormatEx cd{};
  BuildPCMFormat(cd, 16, 2, 44100);
  const std::size_t frames = fake.samples.size() / 2;
  ASSERT_GE(frames, 430000u) << "ten seconds at 44100 Hz, less the last partial buffer";
  for (std::size_t f = 0; f < frames; ++f) {
    const std::uint32_t n =
        testing::RampFrame(reinterpret_cast<const char*>(&fake.samples[2 * f]), cd);
    ASSERT_EQ(n, static_cast<std::uint32_t>(f)) << "frame " << f;
  }

  // The displays got blocks in order, each no earlier than its time and soon after it.
  ASSERT_GT(level.blocks.size(), 1500u);
  std::int64_t previous = -1;
  for (const auto& b : level.blocks) {
    const std::int16_t head[2] = {b.first0, b.first1};
    const std::uint32_t frame = testing::RampFrame(reinterpret_cast<const char*>(head), cd);
    ASSERT_GT(static_cast<std::int64_t>(frame), previous);
    previous = frame;
    const std::size_t buffer = frame / 1024;
    ASSERT_LT(buffer, arrivals.size());
    const std::int64_t offset = (frame % 1024) * 4;
    const std::int64_t due = arrivals[buffer] + offset * 1000000 / 176400;
    EXPECT_GE(b.at, due) << "frame " << frame;
    EXPECT_LE(b.at, due + 10000) << "frame " << frame;
  }
  EXPECT_GT(spectrum.blocks.size(), 6000u);
  beSetLibraryName("libmp3lame.so.0");  // unloads the fake: its state is gone after this
}

}  // namespace
}  // namespace zq
