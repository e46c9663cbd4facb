// The media control on the real ALSA "default" device: the private sound server's null sink,
// whose monitor is the default input, so what the control plays can be recorded back.

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/errortext.h"
#include "player/activemovie.h"
#include "tests/support/audio/mp3decode.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/platform/temp_dir.h"
#include "tests/support/player/segment_files.h"

namespace zq {
namespace {

using Steady = std::chrono::steady_clock;

// Three seconds of 440 Hz (left) and 660 Hz (right), as the recorder encodes it.
std::string ToneFile(const testing::TempDir& dir) {
  const std::string path = dir / "tone.mp3";
  EXPECT_TRUE(testing::EncodeWithStage(path, testing::Tone(3 * 44100, 2, 44100), 2, br128));
  return path;
}

// Records the default input (the null sink's monitor) until told to stop.
class Recording {
 public:
  Recording() {
    thread_ = std::thread([this] {
      snd_pcm_t* pcm = nullptr;
      if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, 0) < 0 ||
          snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 2, 44100, 1,
                             200000) < 0) {
        failed_ = true;
        if (pcm != nullptr) snd_pcm_close(pcm);
        return;
      }
      std::vector<std::int16_t> block(1024 * 2);
      while (!stop_) {
        const snd_pcm_sframes_t n = snd_pcm_readi(pcm, block.data(), 1024);
        if (n < 0 && snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0) break;
        if (n > 0) pcm_.insert(pcm_.end(), block.begin(), block.begin() + n * 2);
      }
      snd_pcm_close(pcm);
    });
  }
  // The recording, once stopped.
  const std::vector<std::int16_t>& Stop() {
    stop_ = true;
    thread_.join();
    return pcm_;
  }
  bool Failed() const { return failed_; }

 private:
  std::atomic<bool> stop_{false}, failed_{false};
  std::vector<std::int16_t> pcm_;
  std::thread thread_;
};

TEST(ActiveMovieRealAudio, PlaysIntoTheDefaultDeviceHoldsItsPositionWhenPausedAndEnds) {
  testing::TempDir dir;
  const std::string path = ToneFile(dir);
  testing::TestPlatform platform;
  Recording recording;
  TActiveMovie movie(platform.services());
  Steady::time_point opened{};
  movie.OnOpenComplete = [&](TMediaControl*) { opened = Steady::now(); };
  movie.SetFileName(path);

  // The position is the sample being heard: never ahead of the time since it may have begun.
  bool paused = false;
  const auto deadline = Steady::now() + std::chrono::seconds(20);
  while (Steady::now() < deadline) {
    platform.mainThread.ProcessPending();
    ASSERT_TRUE(platform.messages.shown.empty()) << platform.messages.shown[0].text;
    if (opened == Steady::time_point{}) continue;
    const double since = std::chrono::duration<double>(Steady::now() - opened).count();
    ASSERT_LE(movie.CurrentPosition(), since + 0.02);
    if (movie.Position() == movie.Length()) break;
    if (!paused && movie.CurrentPosition() >= 1.0) {
      paused = true;
      movie.Pause();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const std::int64_t held = movie.Position();
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
      EXPECT_EQ(movie.Position(), held) << "paused";
      movie.Run();
      opened += std::chrono::milliseconds(400);  // at least this much was not playing time
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(movie.Position(), movie.Length()) << "the end was heard";
  std::cout << "underruns=" << movie.Underruns() << "\n";

  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::vector<std::int16_t>& heard = recording.Stop();
  ASSERT_FALSE(recording.Failed()) << "the default input does not record";
  // The tone came out at its rate, on its channels.
  std::vector<std::int16_t> loud;
  for (std::size_t i = 0; i + 1 < heard.size(); i += 2)
    if (std::abs(heard[i]) > 3000 || !loud.empty())
      loud.insert(loud.end(), {heard[i], heard[i + 1]});
  ASSERT_GT(loud.size(), 2 * 8820u) << "less than 0.2 s of the tone was recorded";
  const std::vector<std::int16_t> part(loud.begin(), loud.begin() + 2 * 8820);
  EXPECT_NEAR(testing::ToneFrequency(part, 2, 44100), 440, 2);
  std::vector<std::int16_t> right(part.size() / 2);
  for (std::size_t i = 0; i < right.size(); ++i)
    right[i] = part[i * 2 + 1];
  EXPECT_NEAR(testing::ToneFrequency(right, 1, 44100), 660, 3);
}

TEST(ActiveMovieRealAudio, ADeviceThatCannotBeOpenedIsShownWithTheSystemsReason) {
  testing::TempDir dir;
  const std::string path = ToneFile(dir);
  const char* name = "zq_no_such_device";
  snd_pcm_t* pcm = nullptr;
  const int code = snd_pcm_open(&pcm, name, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  ASSERT_LT(code, 0);
  testing::TestPlatform platform;
  TActiveMovie movie(platform.services(), MakeAlsaPlaybackOutput(name));
  bool failed = false;
  movie.OnError = [&](TMediaControl*) { failed = true; };
  movie.SetFileName(path);
  ASSERT_TRUE(platform.mainThread.WaitAndRun(std::chrono::seconds(10)));  // the open-complete
  const auto deadline = Steady::now() + std::chrono::seconds(10);
  while (!failed && Steady::now() < deadline)
    platform.mainThread.WaitAndRun(std::chrono::milliseconds(100));
  ASSERT_TRUE(failed);
  EXPECT_EQ(platform.messages.Texts(),
            std::vector<std::string>(
                {FailureText(std::string("Open playback device ") + name, snd_strerror(code))}));
  EXPECT_EQ(movie.PlayState(), mpStopped);
}

}  // namespace
}  // namespace zq
