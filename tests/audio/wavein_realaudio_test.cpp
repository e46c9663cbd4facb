// The ALSA path for real: a tone played into the null sink "air" of the test's PulseAudio server
// comes back through the default input, whose source is that sink's monitor.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "audio/mmwavein.h"
#include "tests/support/audio/mp3decode.h"
#include "tests/support/audio/onair.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"

extern char** environ;

namespace zq {
namespace {

constexpr int kRate = 44100;
constexpr double kToneHz = 1000.0;

using testing::BrokenPeriods;
using testing::PlayOnAir;
using testing::StopChild;
using testing::ToneCrossings;

struct Arrival {
  double seconds;        // since Start
  std::uint64_t frames;  // received so far, this buffer included
};

TEST(AlsaCapture, TheDefaultInputRecordsTheToneOnAirInRealTime) {
  ZqApplication& app = testing::QtApp();
  testing::RecordedMessages messages;
  Services services = DefaultServices();
  services.messages = &messages;

  const std::string tone = testing::WriteToneWav(20.0, kToneHz);
  ASSERT_FALSE(tone.empty());
  const pid_t player = PlayOnAir(tone);
  ASSERT_NE(player, 0) << "paplay could not be started";

  TMMWaveIn in(nullptr, services);
  ASSERT_GE(in.DeviceCount(), 1);
  EXPECT_EQ(in.DeviceID(), 0);
  EXPECT_EQ(in.ProductName(), "Default input");
  in.SetMode(mStereo);
  in.SetBitLength(b16Bit);
  in.SetSampleRate(kRate);
  in.SetBufferSize(4096);
  in.SetNumBuffers(20);

  std::vector<std::int16_t> left;
  std::vector<Arrival> arrivals;
  int offMainThread = 0;
  const auto t0 = std::chrono::steady_clock::now();
  auto since = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  };
  in.OnBufferReady = [&](TMMDSPComponent*, PWaveHdr h) {
    if (QThread::currentThread() != app.thread()) ++offMainThread;
    const auto* s = reinterpret_cast<const std::int16_t*>(h->lpData);
    for (std::uint32_t i = 0; i < h->dwBytesRecorded / 4; ++i)
      left.push_back(s[2 * i]);
    arrivals.push_back({since(), left.size()});
  };
  int errors = 0;
  in.OnError = [&](TMMCustomWaveIn*) { ++errors; };

  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the tone reach the sink
  in.Start();
  const double started = since();
  QEventLoop loop;
  QTimer::singleShot(4000, &loop, &QEventLoop::quit);
  loop.exec();
  in.Stop();
  const double stopped = since();
  in.Close();
  StopChild(player);
  std::remove(tone.c_str());

  EXPECT_EQ(errors, 0);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(offMainThread, 0);
  ASSERT_GT(arrivals.size(), 20u);

  // Real time: the frames come at the sample rate. The server takes a moment to start the
  // stream, so the count runs from the first buffer to the last.
  const double span = arrivals.back().seconds - arrivals.front().seconds;
  const double expected = span * kRate;
  const double frames = static_cast<double>(arrivals.back().frames - arrivals.front().frames);
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const double n = static_cast<double>(arrivals.size());
  for (const Arrival& a : arrivals) {
    sx += a.seconds;
    sy += static_cast<double>(a.frames);
    sxx += a.seconds * a.seconds;
    sxy += a.seconds * static_cast<double>(a.frames);
  }
  const double rate = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  EXPECT_NEAR(rate, kRate, kRate * 0.03) << "frames per second of arrival";
  EXPECT_NEAR(frames, expected, expected * 0.05 + 2 * 1024);

  // The tone: its frequency, and one period after another with nothing lost or repeated.
  std::size_t first = 0;
  while (first < left.size() && std::abs(left[first]) < 4000)
    ++first;
  ASSERT_LT(first + kRate, left.size()) << "the tone did not arrive";
  const std::vector<double> crossings = ToneCrossings(left, 1, first + 100, left.size());
  ASSERT_GT(crossings.size(), 1000u);
  const double hz = (crossings.size() - 1) * kRate / (crossings.back() - crossings.front());
  EXPECT_NEAR(hz, kToneHz, 2.0);
  const int brokenPeriods = BrokenPeriods(crossings, kRate / kToneHz);
  EXPECT_EQ(brokenPeriods, 0);

  std::cout << "recorded " << stopped - started << " s; first buffer after "
            << arrivals.front().seconds - started << " s; " << static_cast<long>(frames)
            << " frames in " << span << " s between the first buffer and the last (expected "
            << static_cast<long>(expected) << "); arrival rate " << rate << " frames/s; tone " << hz
            << " Hz; " << in.Overruns() << " overruns (" << in.LostFrames() << " frames lost); "
            << arrivals.size() << " buffers, " << left.size() << " frames in all\n";
  ::testing::Test::RecordProperty("frames", static_cast<int>(left.size()));
  ::testing::Test::RecordProperty("overruns", static_cast<int>(in.Overruns()));
}

// A PulseAudio server of the test's own, which it can take away while capture runs: what a sound
// card unplugged mid-stream looks like to the default input.
class PrivateServer {
 public:
  PrivateServer() {
    const char* tmp = std::getenv("TMPDIR");
    dir_ = std::string(tmp ? tmp : "/tmp") + "/zq-pulse-gone-" + std::to_string(getpid());
    std::filesystem::create_directories(dir_ + "/state");
    socket_ = dir_ + "/native";
    std::vector<std::string> args = {
        "pulseaudio",
        "-n",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--log-target=stderr",
        "--log-level=error",
        "--load=module-null-sink sink_name=gone",
        "--load=module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1"};
    std::vector<char*> argv;
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"PULSE_RUNTIME_PATH=" + dir_,
                                    "PULSE_STATE_PATH=" + dir_ + "/state"};
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "PULSE_", 6) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env)
      envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawnp(&pid_, "pulseaudio", nullptr, nullptr, argv.data(), envp.data()) != 0)
      pid_ = 0;
    for (int i = 0; i < 100 && pid_ != 0 && !std::filesystem::exists(socket_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ~PrivateServer() {
    Kill();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  bool Running() const { return pid_ != 0 && std::filesystem::exists(socket_); }
  std::string Address() const { return "unix:" + socket_; }
  void Kill() {
    if (pid_ == 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
  }

 private:
  std::string dir_, socket_;
  pid_t pid_ = 0;
};

TEST(AlsaCapture, AnInputThatGoesAwayIsReportedAndClosedAndTheNextStartTriesAgain) {
  PrivateServer server;
  ASSERT_TRUE(server.Running()) << "pulseaudio could not be started";
  const char* shared = std::getenv("PULSE_SERVER");
  const std::string sharedServer = shared != nullptr ? shared : "";
  setenv("PULSE_SERVER", server.Address().c_str(), 1);
  testing::QtApp();
  testing::RecordedMessages messages;
  Services services = DefaultServices();
  services.messages = &messages;

  TMMWaveIn in(nullptr, services);
  in.SetMode(mStereo);
  in.SetBitLength(b16Bit);
  in.SetSampleRate(kRate);
  in.SetBufferSize(4096);
  in.SetNumBuffers(20);
  int buffers = 0, errors = 0, stops = 0, closes = 0;
  in.OnBufferReady = [&](TMMDSPComponent*, PWaveHdr) { ++buffers; };
  in.OnError = [&](TMMCustomWaveIn*) { ++errors; };
  in.OnStop = [&](TMMCustomWaveIn*) { ++stops; };
  in.OnClose = [&](TMMCustomWaveIn*) { ++closes; };
  auto runFor = [](int ms, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  };

  in.Start();
  runFor(5000, [&] { return buffers >= 10; });
  ASSERT_GE(buffers, 10) << "capture did not run";
  server.Kill();
  runFor(5000, [&] { return in.State() == wsClosed; });

  EXPECT_EQ(in.State(), wsClosed);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(closes, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.rfind("WaveIn:\n\r", 0), 0u) << messages.shown[0].text;
  std::cout << "device gone after " << buffers << " buffers: \"" << messages.shown[0].text
            << "\"\n";

  try {
    in.Start();
    ADD_FAILURE() << "started without a server";
  } catch (const EMMWaveInError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("WaveInOpen:\n\r", 0), 0u) << e.what();
  }
  EXPECT_EQ(in.State(), wsClosed);
  if (sharedServer.empty())
    unsetenv("PULSE_SERVER");
  else
    setenv("PULSE_SERVER", sharedServer.c_str(), 1);
}

}  // namespace
}  // namespace zq
