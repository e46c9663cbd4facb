// The built recorder for real: a copy of the program beside a prepared cfg.ini (one-minute
// segments, auto-record on, backup copies) records a tone played "on air" through the default
// input for a little over two minutes, across two rotations, then gets SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/segments.h"
#include "tests/support/audio/mp3decode.h"
#include "tests/support/audio/onair.h"
#include "tests/support/platform/temp_dir.h"
#include "tests/support/program.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

// A tone whose period (44.23 frames) no whole number of the server's 10 ms fragments matches, so a
// lost or repeated fragment shifts its phase.
constexpr double kToneHz = 997.0;
constexpr double kPeriod = 44100.0 / kToneHz;

// Minutes since midnight of a name stem's hour and minute (DDMMYYhhnn).
int MinuteOfDay(const std::string& stem) {
  return std::stoi(stem.substr(6, 2)) * 60 + std::stoi(stem.substr(8, 2));
}

// The program reads the cfg.ini beside it: a copy of it in the temporary folder, with
// `tempoRec`-minute segments, auto-record on and backup copies into "Copia".
void Install(const testing::TempDir& dir, int tempoRec) {
  ASSERT_TRUE(fs::create_directory(dir / "Copia"));
  ASSERT_TRUE(testing::InstallProgram(
      ZQ_BINARY_DIR "/recorder/ZeltoQuelvar", dir.path(),
      "[Gravacao]\nFormato=4\n[Geral]\nPlaca=0\nLocal=" + (dir / "Audio") +
          "\nAutoGravar=S\nMB Livres=0\nDiasRec=30\nTempoRec=" + std::to_string(tempoRec) +
          "\nCopia=S\nLocalCopia=" + (dir / "Copia") + "\nPrioridade=N\nControle=0\n"));
}

TEST(RecorderProgram, RecordsRotatesCopiesAndFinishesItsSegmentOnSigterm) {
  testing::TempDir dir;
  ASSERT_NO_FATAL_FAILURE(Install(dir, 1));

  const std::string tone = testing::WriteToneWav(200, kToneHz);
  ASSERT_FALSE(tone.empty());
  const pid_t player = testing::PlayOnAir(tone);
  ASSERT_NE(player, 0) << "paplay could not be started";
  const pid_t recorder = testing::StartInstalled(dir.path(), "ZeltoQuelvar");
  ASSERT_NE(recorder, 0);
  std::this_thread::sleep_for(std::chrono::seconds(128));
  const bool alive = testing::WaitExit(recorder, 0) == -1;
  kill(recorder, SIGTERM);
  const int exitCode = testing::WaitExit(recorder, 30);
  testing::StopChild(player);
  fs::remove(tone);
  ASSERT_TRUE(alive) << "the recorder ended by itself";
  EXPECT_EQ(exitCode, 0);

  std::vector<std::string> finished;
  for (const auto& n : testing::SortedNames(dir / "Audio")) {
    EXPECT_FALSE(IsRunningSegmentName(n)) << n << " kept its running name";
    if (IsFinishedSegmentName(n)) finished.push_back(n);
  }
  ASSERT_GE(finished.size(), 3u) << "two full segments and the one SIGTERM finished";
  // In start order (one day, so the minute of day orders them), each begins where the last ended.
  std::sort(finished.begin(), finished.end(), [](const std::string& a, const std::string& b) {
    return MinuteOfDay(a.substr(0, 10)) < MinuteOfDay(b.substr(0, 10));
  });
  std::vector<std::int16_t> air;  // the segments decoded and laid end to end
  std::vector<std::size_t> joins;
  for (std::size_t i = 0; i < finished.size(); ++i) {
    const std::string& n = finished[i];
    EXPECT_EQ(dir.Read("Copia/" + n), dir.Read("Audio/" + n)) << n << ": backup copy";
    if (i > 0) {
      EXPECT_EQ(n.substr(0, 10), finished[i - 1].substr(11, 10)) << n;
    }
    if (i + 1 < finished.size()) {  // the last one is what SIGTERM cut short
      EXPECT_EQ((MinuteOfDay(n.substr(11, 10)) - MinuteOfDay(n.substr(0, 10)) + 1440) % 1440, 1)
          << n;
    }
    const testing::Decoded d = testing::DecodeFile(dir / ("Audio/" + n), true);
    ASSERT_TRUE(d.error.empty()) << n << ": " << d.error;
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_NEAR(testing::ToneFrequency(d.pcm, 2, 44100), kToneHz, 2.0) << n;
    std::printf("%s: %.3f s of audio\n", n.c_str(), d.samples / 44100.0);
    if (i > 0) joins.push_back(air.size() / 2);
    air.insert(air.end(), d.pcm.begin(), d.pcm.end());
  }

  // The capture stays open across the rotations: the tone runs on through every join with no
  // period broken, so no sample is lost or repeated there (nor anywhere else).
  const std::size_t edge = 4410;  // the capture's first and last moments
  const std::vector<double> crossings = testing::ToneCrossings(air, 2, edge, air.size() / 2 - edge);
  EXPECT_EQ(testing::BrokenPeriods(crossings, kPeriod), 0);
  for (std::size_t j : joins) {
    // The tone's spacing across the join, less its period: what the rotation lost (or, below
    // zero, repeated), in milliseconds.
    const auto after = std::lower_bound(crossings.begin(), crossings.end(), double(j));
    ASSERT_TRUE(after != crossings.begin() && after != crossings.end());
    const double gap = (*after - *(after - 1) - kPeriod) * 1000.0 / 44100.0;
    std::printf("join at %.3f s: rotation_gap_ms=%.3f\n", j / 44100.0, gap);
    EXPECT_EQ(testing::BrokenPeriods({*(after - 1), *after}, kPeriod), 0) << "at " << j;
  }
}

TEST(RecorderProgram, WithoutADisplayAndWithThePlayersCfgIniItRecordsByItselfAndSaysSo) {
  struct Case {
    const char* what;
    testing::DisplayEnvironment env;
  };
  const Case cases[] = {
      {"no display named", {}},
      {"displays that cannot be reached", {":97", "wayland-97"}},
  };
  const std::string tone = testing::WriteToneWav(30);
  const pid_t player = testing::PlayOnAir(tone);
  ASSERT_NE(player, 0) << "paplay could not be started";
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    testing::TempDir dir;
    // As a new user meets it: a cfg.ini the player made, which lacks every recorder key.
    ASSERT_TRUE(testing::InstallProgram(ZQ_BINARY_DIR "/recorder/ZeltoQuelvar", dir.path(),
                                        "[Geral]\nLocalPlay=/srv/audio\n"));
    const pid_t recorder =
        testing::StartWithDisplay(dir.path(), "ZeltoQuelvar", k.env, dir / "stderr.txt");
    ASSERT_NE(recorder, 0);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    const bool alive = testing::WaitExit(recorder, 0) == -1;
    kill(recorder, SIGTERM);
    EXPECT_EQ(testing::WaitExit(recorder, 20), 0);
    EXPECT_TRUE(alive) << dir.Read("stderr.txt");
    const std::string err = dir.Read("stderr.txt");
    const std::string notice = "ZeltoQuelvar: no display; recording without a window";
    ASSERT_NE(err.find(notice), std::string::npos) << err;
    EXPECT_EQ(err.find(notice), err.rfind(notice)) << "said once";
    EXPECT_EQ(err.find("error:"), std::string::npos) << "no message for the operator: " << err;
    // The defaults: HOME's recording folder.
    const std::string audio = dir / "Zelto/Quelvar/Audio";
    const auto names = testing::SortedNames(audio);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(IsFinishedSegmentName(names[0])) << names[0];
    const testing::Decoded d = testing::DecodeFile(audio + "/" + names[0]);
    EXPECT_TRUE(d.error.empty()) << d.error;
    EXPECT_GT(d.samples, 44100 / 2) << "it recorded by itself";
  }
  testing::StopChild(player);
  fs::remove(tone);
}

TEST(RecorderProgram, AfterAKillTheSegmentPlaysToItsLastWriteAndIsFinishedAtTheNextStart) {
  testing::TempDir dir;
  ASSERT_NO_FATAL_FAILURE(Install(dir, 10));
  const std::string tone = testing::WriteToneWav(30);
  const pid_t player = testing::PlayOnAir(tone);
  ASSERT_NE(player, 0) << "paplay could not be started";
  pid_t recorder = testing::StartInstalled(dir.path(), "ZeltoQuelvar");
  ASSERT_NE(recorder, 0);
  std::this_thread::sleep_for(std::chrono::seconds(8));
  kill(recorder, SIGKILL);
  testing::WaitExit(recorder, 10);
  testing::StopChild(player);
  fs::remove(tone);

  const auto left = testing::SortedNames(dir / "Audio");
  ASSERT_EQ(left.size(), 1u);
  ASSERT_TRUE(IsRunningSegmentName(left[0])) << left[0];
  const testing::Decoded d = testing::DecodeFile(dir / ("Audio/" + left[0]));
  EXPECT_TRUE(d.error.empty()) << d.error;
  EXPECT_GT(d.samples / 44100.0, 3.0) << "what was written before the kill plays";

  // The next start finishes it under the minute of its last write, before recording anew.
  dir.Write("cfg.ini", dir.Read("cfg.ini").replace(dir.Read("cfg.ini").find("AutoGravar=S"), 12,
                                                   "AutoGravar=N"));
  recorder = testing::StartInstalled(dir.path(), "ZeltoQuelvar");
  ASSERT_NE(recorder, 0);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  kill(recorder, SIGTERM);
  EXPECT_EQ(testing::WaitExit(recorder, 20), 0);
  const auto after = testing::SortedNames(dir / "Audio");
  ASSERT_EQ(after.size(), 1u);
  EXPECT_TRUE(IsFinishedSegmentName(after[0])) << after[0];
  EXPECT_EQ(after[0].substr(0, 10), left[0].substr(0, 10));
}

}  // namespace
}  // namespace zq
