// The ALSA mixer for real: the "default" control of the test's PulseAudio server, whose default
// source is the monitor of the null sink "air".

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "audio/mmwavein.h"
#include "mixer/mmmixer.h"
#include "tests/mixer/recorder_form.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"

extern char** environ;

namespace zq {
namespace {

using testing::RecorderMixerForm;

// Runs a program directly (no shell); its standard output, and its exit status in `status`.
std::string Run(const std::vector<std::string>& args, int* status = nullptr) {
  int out[2];
  if (pipe(out) != 0) return "";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int st = -1;
  if (spawned == 0) waitpid(pid, &st, 0);
  if (status != nullptr) *status = spawned == 0 && WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return text;
}

// The default source's volume in percent, as pactl reports it (the first channel).
int SourcePercent() {
  const std::string out = Run({"pactl", "get-source-volume", "@DEFAULT_SOURCE@"});
  const std::size_t percent = out.find('%');
  if (percent == std::string::npos) return -1;
  std::size_t digits = percent;
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(out[digits - 1])))
    --digits;
  return digits < percent ? std::stoi(out.substr(digits, percent - digits)) : -1;
}

bool SourceMuted() {
  return Run({"pactl", "get-source-mute", "@DEFAULT_SOURCE@"}).find("yes") != std::string::npos;
}

void SetSource(const std::string& volume, const std::string& mute) {
  int status = -1;
  Run({"pactl", "set-source-volume", "@DEFAULT_SOURCE@", volume}, &status);
  EXPECT_EQ(status, 0);
  Run({"pactl", "set-source-mute", "@DEFAULT_SOURCE@", mute}, &status);
  EXPECT_EQ(status, 0);
}

// Runs the main loop until `done` or `seconds` have passed; the seconds it took.
template <class F>
double RunUntil(F done, double seconds = 5.0) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < seconds * 1000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Scale percentages of the sound server (0 .. 65536 is 0 .. 100 %) on the mixer's 0 .. 65535.
std::uint32_t Scaled(int percent) {
  return static_cast<std::uint32_t>(percent * 65535 / 100);
}

TEST(AlsaMixer, TheDefaultMixerIsTheSoundServersMasterAndCapture) {
  testing::QtApp();
  testing::RecordedMessages messages;
  Services services = DefaultServices();
  services.messages = &messages;

  // The same devices, by the same numbers and names, as the wave input.
  TMMWaveIn waveIn(nullptr, services);
  RecorderMixerForm form(services, nullptr);
  ASSERT_EQ(form.openError, "");
  ASSERT_GE(waveIn.DeviceCount(), 1);
  EXPECT_EQ(form.placaDevice.DeviceCount(), waveIn.DeviceCount());
  EXPECT_FALSE(form.placaDevice.Mapper());
  std::vector<std::string> names;
  form.placaDevice.FillDeviceNames(names, true);
  ASSERT_EQ(names.size(), static_cast<std::size_t>(waveIn.DeviceCount()));
  for (int k = 0; k < waveIn.DeviceCount(); ++k) {
    waveIn.SetDeviceID(k);
    EXPECT_EQ(names[static_cast<std::size_t>(k)], waveIn.ProductName()) << k;
  }

  // Device 0 is the sound server: both destinations, no line input, no selector.
  EXPECT_TRUE(form.placaDevice.Active());
  EXPECT_EQ(form.placaDevice.Destinations(), 2);
  EXPECT_EQ(form.audioGravacao.LineId(), 1);
  EXPECT_EQ(form.audioLineInRec.LineId(), -1);
  EXPECT_EQ(form.audioLineIn.LineId(), -1);
  EXPECT_FALSE(form.mixerLineInRec.Valid());
  EXPECT_FALSE(form.controleVolumeRec.Valid());
  ASSERT_TRUE(form.recordingVolume.Valid());
  TMMMixerControl recordingMute;
  recordingMute.SetAudioLine(&form.audioGravacao);
  recordingMute.SetControlType(ctMute);
  ASSERT_TRUE(recordingMute.Valid());
  TMMAudioLine speakers;
  speakers.SetMixer(&form.placaDevice);
  speakers.SetComponentType(ctDstSpeakers);
  EXPECT_EQ(speakers.LineId(), 0);

  const int percentBefore = SourcePercent();
  const bool mutedBefore = SourceMuted();
  ASSERT_GE(percentBefore, 0);

  // Set elsewhere, read here.
  SetSource("30%", "0");
  RunUntil([] { return false; }, 0.3);
  EXPECT_NEAR(form.recordingVolume.AsUnsigned(), Scaled(30), 2);
  EXPECT_FALSE(recordingMute.AsBoolean());

  // Turned here, seen there.
  form.recordingVolume.SetAsUnsigned(Scaled(70));
  EXPECT_EQ(SourcePercent(), 70);
  EXPECT_EQ(form.recordingVolume.AsUnsigned(), Scaled(70));
  recordingMute.SetAsBoolean(true);
  EXPECT_TRUE(SourceMuted());
  recordingMute.SetAsBoolean(false);

  // Changed elsewhere: the card's notification reaches the control through the main loop.
  RunUntil([] { return false; }, 0.3);  // our own writes' notifications pass first
  int changes = 0;
  form.recordingVolume.OnChange = [&](TMMCustomMixerControl*) { ++changes; };
  SetSource("45%", "0");
  const double delay = RunUntil([&] { return changes > 0; });
  std::cout << "[ mixer    ] a volume set by pactl reached the control after " << delay * 1000
            << " ms\n";
  EXPECT_GT(changes, 0);
  EXPECT_LT(delay, 5.0);
  EXPECT_NEAR(form.recordingVolume.AsUnsigned(), Scaled(45), 2);

  SetSource(std::to_string(percentBefore) + "%", mutedBefore ? "1" : "0");
  EXPECT_EQ(SourcePercent(), percentBefore);
  EXPECT_EQ(SourceMuted(), mutedBefore);
  EXPECT_TRUE(messages.shown.empty());
}

// A sound server of the test's own, on its own socket, stopped while the mixer is open.
class SpareServer {
 public:
  SpareServer() {
    const char* tmp = std::getenv("TMPDIR");
    dir_ =
        std::string(tmp != nullptr ? tmp : "/tmp") + "/zq-pulse-spare-" + std::to_string(getpid());
    std::filesystem::create_directories(dir_ + "/state");
    server_ = "unix:" + dir_ + "/native";
    const std::string sink = "--load=module-null-sink sink_name=spare";
    const std::string proto =
        "--load=module-native-protocol-unix socket=" + dir_ + "/native auth-anonymous=1";
    std::vector<std::string> args = {"pulseaudio",
                                     "-n",
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--log-target=stderr",
                                     "--log-level=error",
                                     sink,
                                     proto};
    std::vector<char*> argv;
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"PULSE_RUNTIME_PATH=" + dir_,
                                    "PULSE_STATE_PATH=" + dir_ + "/state"};
    std::vector<char*> envp;
    for (std::string& e : env)
      envp.push_back(e.data());
    for (char** e = environ; *e != nullptr; ++e)
      if (std::string(*e).rfind("PULSE_", 0) != 0) envp.push_back(*e);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data()) != 0)
      pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 100 && pid_ != 0; ++i) {
      int status = -1;
      Run({"pactl", "-s", server_, "info"}, &status);
      if (status == 0) return;
      usleep(100000);
    }
    Stop();
  }
  ~SpareServer() {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  bool Running() const { return pid_ != 0; }
  const std::string& Address() const { return server_; }
  void Stop() {
    if (pid_ == 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
  }

 private:
  std::string dir_, server_;
  pid_t pid_ = 0;
};

TEST(AlsaMixer, AServerThatGoesAwayLeavesNothingAndAQuietLoop) {
  testing::QtApp();
  SpareServer spare;
  ASSERT_TRUE(spare.Running()) << "a second PulseAudio server could not be started";
  const char* before = std::getenv("PULSE_SERVER");
  const std::string saved = before != nullptr ? before : "";
  setenv("PULSE_SERVER", spare.Address().c_str(), 1);

  testing::RecordedMessages messages;
  Services services = DefaultServices();
  services.messages = &messages;
  {
    RecorderMixerForm form(services, nullptr);
    EXPECT_TRUE(form.placaDevice.Active());
    EXPECT_TRUE(form.recordingVolume.Valid());
    int changes = 0;
    form.placaDevice.OnChange = [&](TMMCustomAudioDevice*) { ++changes; };

    spare.Stop();
    const double delay = RunUntil([&] { return changes > 0; });
    std::cout << "[ mixer    ] the server's end reached the device after " << delay * 1000
              << " ms\n";
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(form.audioGravacao.LineId(), -1);
    EXPECT_FALSE(form.recordingVolume.Valid());

    // Nothing more comes: the loop sleeps until its timer wakes it.
    QTimer tick;
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    int wakeups = 0;
    while (clock.elapsed() < 300) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      ++wakeups;
    }
    EXPECT_LT(wakeups, 100);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(messages.shown.empty());
  }
  if (saved.empty())
    unsetenv("PULSE_SERVER");
  else
    setenv("PULSE_SERVER", saved.c_str(), 1);
}

}  // namespace
}  // namespace zq
