#include "player/frmplay.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio/bladeenc.h"
#include "platform/fileops.h"
#include "player/activemovie.h"
#include "tests/support/audio/mp3decode.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/platform/temp_dir.h"
#include "tests/support/player/null_output.h"
#include "tests/support/player/scripted_control.h"
#include "tests/support/player/segment_files.h"

namespace zq {
namespace {

using testing::ScriptedControl;
using testing::TempDir;
using testing::TestPlatform;

const std::string kNoFolder = "Local dos arquivos de áudio inexistente!";
const std::string kNotFound = "Arquivo de áudio não encontrado...";

// The player's logic on the manual clock (25/12/2009 14:05) with a scripted media control and a
// temporary folder holding cfg.ini and the recordings ("Audio").
class Player : public ::testing::Test {
 protected:
  void SetUp() override { setenv("HOME", "/home/op", 1); }

  std::string Ini() const { return dir / "cfg.ini"; }
  std::string Audio() const { return dir / "Audio"; }
  std::string InAudio(const std::string& name) const { return JoinPath(Audio(), name); }

  void Create(const std::string& iniPath = {}) {
    PlayerEnvironment env;
    env.services = platform.services();
    env.iniPath = iniPath.empty() ? Ini() : iniPath;
    env.makeControl = [this] {
      auto c = std::make_unique<ScriptedControl>();
      am = c.get();
      return c;
    };
    frm = std::make_unique<TFrmPlay>(std::move(env));
    frm->FormCreate();
    frm->FormShow();
  }
  // The folder of recordings with only these (empty) segment files; the player made anew and
  // pointed at it.
  void Recordings(const std::vector<std::string>& names) {
    std::filesystem::remove_all(Audio());
    EnsureFolder(Audio());
    for (const std::string& n : names)
      dir.Write("Audio/" + n, "");
    dir.Write("cfg.ini", "[Geral]\nLocalPlay=" + Audio() + "\n");
    Create();
  }
  void Request(int year, int month, int day, int hour, int minute) {
    frm->EditView().calendario = EncodeDate(year, month, day);
    frm->EditView().ledHora = hour;
    frm->EditView().ledMinuto = minute;
    frm->BTocarClick();
  }
  // Plays the chosen minute: the request, the open (`seconds` long) and the first tick.
  void PlayAt(int hour, int minute, double seconds = 600) {
    Request(2009, 12, 25, hour, minute);
    ASSERT_TRUE(am->CompleteOpen(seconds));
    Tick();
  }
  void Tick() { platform.time.AdvanceMs(100); }
  // The control heard up to `seconds`, and the timer told it.
  void HearAndTick(double seconds) {
    am->Hear(seconds);
    Tick();
  }
  std::vector<std::string> CallsSince(std::size_t from) const {
    return std::vector<std::string>(am->calls.begin() + static_cast<long>(from), am->calls.end());
  }
  const TPlayView& View() const { return frm->View(); }
  bool Idle() const {
    return View().bTocarEnabled && !frm->TimerMusica().Enabled() && View().meMusica == "00:00:00" &&
           View().tbProgressMusica == 0 && !frm->Paused;
  }

  TestPlatform platform;
  TempDir dir;
  ScriptedControl* am = nullptr;
  std::unique_ptr<TFrmPlay> frm;
};

// ---- Start-up and cfg.ini ---------------------------------------------------------------------

TEST_F(Player, StartsOnTheFolderInCfgIniAndKeepsEveryOtherKey) {
  const std::string recorders =
      "[Gravacao]\r\nFormato=4\r\n[Geral]\r\nPlaca=0\r\nLocal=/srv/gravacoes\r\nAutoGravar=S\r\n";
  struct Case {
    const char* what;
    const char* content;  // null: no cfg.ini
    std::string folder;   // shown in the folder edit
    std::string after;    // cfg.ini after start-up
  };
  const Case cases[] = {
      {"missing: the stored folder is written", nullptr, "/home/op/Studio/Quelvar/Audio",
       "[Geral]\nLocalPlay=/home/op/Studio/Quelvar/Audio\n"},
      {"the recorder's: its folder of recordings", recorders.c_str(), "/srv/gravacoes", recorders},
      {"the player's own folder wins", "[Geral]\nLocal=/srv/gravacoes\nLocalPlay=/srv/outra\n",
       "/srv/outra", "[Geral]\nLocal=/srv/gravacoes\nLocalPlay=/srv/outra\n"},
      {"an empty folder of its own stays empty", "[Geral]\nLocal=/srv/gravacoes\nLocalPlay=\n", "",
       "[Geral]\nLocal=/srv/gravacoes\nLocalPlay=\n"},
      {"neither: empty", "[Gravacao]\nFormato=4\n", "", "[Gravacao]\nFormato=4\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.content != nullptr)
      dir.Write("cfg.ini", c.content);
    else
      std::remove(Ini().c_str());
    Create();
    EXPECT_EQ(View().diretorio, c.folder);
    EXPECT_EQ(dir.Read("cfg.ini"), c.after);
    EXPECT_TRUE(platform.messages.shown.empty());
  }

  // Leaving the folder edit writes the folder (without a trailing "/") and only that key.
  dir.Write("cfg.ini", recorders);
  Create();
  frm->EditView().diretorio = "/srv/outra/";
  frm->DiretorioExit();
  EXPECT_EQ(dir.Read("cfg.ini"), recorders + "LocalPlay=/srv/outra\r\n");
  frm->DiretorioExit();
  EXPECT_EQ(dir.Read("cfg.ini"), recorders + "LocalPlay=/srv/outra\r\n");
  frm.reset();
  Create();
  EXPECT_EQ(View().diretorio, "/srv/outra");
}

TEST_F(Player, ACfgIniThatCannotBeWrittenIsShownAndThePlayerGoesOn) {
  // Missing, in a folder that cannot hold it: the stored folder stays.
  dir.Write("file", "");
  const std::string nowhere = dir / "file/cfg.ini";
  Create(nowhere);
  EXPECT_EQ(platform.messages.Texts(), std::vector<std::string>{"Unable to write to " + nowhere});
  EXPECT_EQ(View().diretorio, "/home/op/Studio/Quelvar/Audio");

  // Read-only: the folder is read, the change refused with the message, the file as it was.
  platform.messages.shown.clear();
  dir.Write("cfg.ini", "[Geral]\nLocalPlay=/srv/audio\n");
  ASSERT_EQ(::chmod(Ini().c_str(), 0444), 0);
  Create();
  EXPECT_EQ(View().diretorio, "/srv/audio");
  frm->EditView().diretorio = "/srv/outra";
  frm->DiretorioExit();
  EXPECT_EQ(platform.messages.Texts(), std::vector<std::string>{"Unable to write to " + Ini()});
  EXPECT_EQ(dir.Read("cfg.ini"), "[Geral]\nLocalPlay=/srv/audio\n");
  EXPECT_EQ(View().diretorio, "/srv/outra") << "the edit keeps what was typed";
}

TEST_F(Player, ShowingTheWindowSetsTheCalendarToToday) {
  Recordings({});
  EXPECT_EQ(FormatShortDate(View().calendario), "25/12/2009");
  platform.time.SetNow(EncodeDateTime(2010, 1, 1, 0, 0, 30));
  frm->Locator.MidnightMode = true;
  frm->FormShow();
  EXPECT_EQ(View().calendario, EncodeDate(2010, 1, 1));
  EXPECT_FALSE(frm->Locator.MidnightMode);
}

// ---- "Play" -----------------------------------------------------------------------------------

TEST_F(Player, PlayTellsAMissingFolderOrMinuteAndHandsTheSegmentToTheControl) {
  Recordings({"2512091400a2512091410.mp3"});
  frm->EditView().diretorio = dir / "missing";
  Request(2009, 12, 25, 14, 7);
  frm->EditView().diretorio = "";
  Request(2009, 12, 25, 14, 7);
  frm->EditView().diretorio = Audio();
  Request(2009, 12, 25, 14, 20);
  EXPECT_EQ(platform.messages.Texts(), (std::vector<std::string>{kNoFolder, kNoFolder, kNotFound}));
  EXPECT_TRUE(am->calls.empty());
  Request(2009, 12, 25, 14, 7);
  EXPECT_EQ(am->calls, std::vector<std::string>{"open " + InAudio("2512091400a2512091410.mp3")});
  EXPECT_TRUE(View().bTocarEnabled) << "until the file is open";
}

// ---- Playing: open complete, the position tick ------------------------------------------------

TEST_F(Player, TheOpenSeeksToTheMinuteAndTheTickShowsTheTimeOfDayHeard) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    int hour, minute;
    std::string seek;
    std::vector<std::pair<double, std::string>> heard;  // position, MEMusica
  };
  const Case cases[] = {
      {"14:07 in a segment from 14:00",
       {"2512091400a2512091410.mp3"},
       14,
       7,
       "seek 420",
       {{420, "14:07:00"}, {423.4, "14:07:03"}, {425.5, "14:07:06"}}},
      {"00:03 in the segment from the day before",
       {"2412092355a2512090005.mp3"},
       0,
       3,
       "seek 480",
       {{480, "00:03:00"}, {599, "00:04:59"}}},
      {"23:58 in the segment into the next day",
       {"2512092355a2612090005.mp3"},
       23,
       58,
       "seek 180",
       {{180, "23:58:00"}, {300, "00:00:00"}, {400, "00:01:40"}}},
      {"14:00 at the start", {"2512091400a2512091410.mp3"}, 14, 0, "seek 0", {{0, "14:00:00"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recordings(c.files);
    Request(2009, 12, 25, c.hour, c.minute);
    ASSERT_TRUE(am->CompleteOpen(600));
    EXPECT_EQ(am->calls, (std::vector<std::string>{"open " + InAudio(c.files[0]), c.seek}));
    EXPECT_FALSE(View().bTocarEnabled);
    EXPECT_TRUE(frm->TimerMusica().Enabled());
    EXPECT_TRUE(frm->Playing);
    EXPECT_FALSE(frm->Locator.MidnightMode);
    EXPECT_FALSE(frm->Locator.UserPlay);
    for (const auto& [position, shown] : c.heard) {
      HearAndTick(position);
      EXPECT_EQ(View().meMusica, shown) << position;
      const int share = static_cast<int>(100 - (600 - std::nearbyint(position)) * 100 / 600);
      EXPECT_EQ(View().tbProgressMusica, share) << position;
      EXPECT_EQ(View().tbProgressMusicaHint, std::to_string(share) + "%");
    }
  }
}

TEST_F(Player, TheOffsetIsTakenFromTheRequestNotFromTheSpinnersAtTheOpen) {
  // The open completes later than "Play": spinners turned meanwhile change nothing.
  Recordings({"2412092355a2512090005.mp3", "2512090000a2512090010.mp3"});
  Request(2009, 12, 25, 0, 3);
  frm->EditView().ledHora = 14;
  frm->EditView().ledMinuto = 30;
  ASSERT_TRUE(am->CompleteOpen(600));
  EXPECT_EQ(am->calls.back(), "seek 180") << "the same-day segment from 00:00";

  // A double "Play": the search across midnight of the first says nothing about the second.
  Recordings({"2412092355a2512090005.mp3", "2512090005a2512090015.mp3"});
  Request(2009, 12, 25, 0, 3);
  EXPECT_TRUE(frm->Locator.MidnightMode);
  Request(2009, 12, 25, 0, 7);
  ASSERT_TRUE(am->CompleteOpen(600));
  ASSERT_FALSE(am->CompleteOpen(600)) << "one open";
  EXPECT_EQ(am->calls,
            (std::vector<std::string>{"open " + InAudio("2412092355a2512090005.mp3"),
                                      "open " + InAudio("2512090005a2512090015.mp3"), "seek 120"}));
  Tick();
  EXPECT_EQ(View().meMusica, "00:07:00");
}

TEST_F(Player, ASlidingShareRoundingToNoLengthShowsNothingPlayed) {
  Recordings({"2512091400a2512091410.mp3"});
  PlayAt(14, 0, 0.4);
  EXPECT_EQ(View().tbProgressMusica, 0);
  EXPECT_EQ(View().meMusica, "14:00:00");
}

// ---- The slider, "Pause", "Stop" --------------------------------------------------------------

TEST_F(Player, DraggingTheSliderSeeksOnReleaseAndTheTickLeavesItAloneMeanwhile) {
  Recordings({"2512091400a2512091410.mp3"});
  frm->TBProgressMusicaTrackEnd(30);  // nothing plays: no seek
  EXPECT_TRUE(am->calls.empty());
  PlayAt(14, 0);
  frm->TBProgressMusicaTrack(40);
  frm->TBProgressMusicaTrack(50);
  EXPECT_TRUE(frm->Tracking);
  EXPECT_EQ(View().tbProgressMusicaHint, "50%");
  HearAndTick(60);
  EXPECT_EQ(View().tbProgressMusica, 50) << "the tick does not move it while dragged";
  EXPECT_EQ(View().meMusica, "14:01:00");
  frm->TBProgressMusicaTrackEnd(50);
  EXPECT_FALSE(frm->Tracking);
  EXPECT_EQ(am->calls.back(), "seek 300");
  Tick();
  EXPECT_EQ(View().meMusica, "14:05:00");
  EXPECT_EQ(View().tbProgressMusica, 50);
}

TEST_F(Player, PauseTogglesOnlyWhilePlayingAndStopReturnsToIdle) {
  Recordings({"2512091400a2512091410.mp3"});
  frm->BPausaClick();
  EXPECT_TRUE(am->calls.empty()) << "nothing plays";
  EXPECT_FALSE(frm->Paused);
  PlayAt(14, 7);
  const std::size_t at = am->calls.size();
  frm->BPausaClick();
  EXPECT_TRUE(frm->Paused);
  Tick();
  EXPECT_TRUE(frm->TimerMusica().Enabled()) << "the timer ticks on while paused";
  frm->BPausaClick();
  EXPECT_FALSE(frm->Paused);
  frm->BPausaClick();
  frm->BStopClick();
  EXPECT_EQ(CallsSince(at), (std::vector<std::string>{"pause", "run", "pause", "stop"}));
  EXPECT_TRUE(Idle());
  frm->BPausaClick();
  EXPECT_EQ(am->calls.back(), "stop") << "no pause once stopped";
}

TEST_F(Player, StopDuringTheOpenCancelsItAndPlayGoesAgain) {
  Recordings({"2512091400a2512091410.mp3"});
  Request(2009, 12, 25, 14, 7);
  frm->BStopClick();
  EXPECT_FALSE(am->CompleteOpen(600)) << "the open was given up";
  EXPECT_TRUE(Idle());
  Request(2009, 12, 25, 14, 8);
  ASSERT_TRUE(am->CompleteOpen(600));
  const std::string path = InAudio("2512091400a2512091410.mp3");
  EXPECT_EQ(am->calls,
            (std::vector<std::string>{"open " + path, "stop", "open " + path, "seek 480"}));
}

// ---- Failures ---------------------------------------------------------------------------------

TEST_F(Player, AFailureOfTheControlReturnsToIdleWhereverItComes) {
  struct Case {
    const char* what;
    std::function<void()> fail;
  };
  const Case cases[] = {
      {"the file chosen by Play cannot be opened",
       [this] {
         Request(2009, 12, 25, 14, 7);
         ASSERT_TRUE(am->FailOpen());
       }},
      {"the device is lost while playing",
       [this] {
         PlayAt(14, 7);
         HearAndTick(500);
         am->LoseDevice();
       }},
      {"the next segment, found at the end, cannot be opened",
       [this] {
         PlayAt(14, 7);
         HearAndTick(597);  // nothing ahead yet
         dir.Write("Audio/2512091410a2512091420.mp3", "");
         am->HearEnd();
         Tick();
         ASSERT_TRUE(am->Opening());
         ASSERT_TRUE(am->FailOpen());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recordings({"2512091400a2512091410.mp3"});
    c.fail();
    EXPECT_TRUE(Idle());
    frm->BTocarClick();
    EXPECT_TRUE(am->Opening()) << "Play goes again";
  }
}

// ---- Running on -------------------------------------------------------------------------------

TEST_F(Player, TheNextSegmentIsQueuedAheadAndTakesOverAtTheJoinWithoutAStopOrASeek) {
  struct Case {
    const char* what;
    const char* next;
    const char* shown;
  };
  const Case cases[] = {
      {"the next one", "2512091410a2512091420.mp3", "14:10:00"},
      {"over a gap", "2512091430a2512091440.mp3", "14:30:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recordings({"2512091400a2512091410.mp3", c.next, "2512091400.mp3"});
    PlayAt(14, 7);
    const std::size_t at = am->calls.size();
    HearAndTick(594.9);
    EXPECT_TRUE(CallsSince(at).empty()) << "more than five seconds left";
    HearAndTick(595);
    EXPECT_EQ(CallsSince(at), std::vector<std::string>{"next " + InAudio(c.next)});
    EXPECT_EQ(frm->Locator.SelectedFile, "2512091400a2512091410.mp3") << "until it is heard";
    HearAndTick(599.9);
    am->HearEnd();
    Tick();
    Tick();
    EXPECT_EQ(CallsSince(at).size(), 1u) << "waiting for the queued one to be heard";
    ASSERT_TRUE(am->JoinNext(600));
    EXPECT_EQ(View().tbProgressMusica, 0);
    HearAndTick(1);
    EXPECT_EQ(View().meMusica, std::string(c.shown).replace(6, 2, "01"));
    EXPECT_EQ(CallsSince(at).size(), 1u) << "no stop, no open, no seek";
    EXPECT_EQ(frm->Locator.SelectedFile, c.next);
    EXPECT_TRUE(frm->Playing);
    EXPECT_FALSE(View().bTocarEnabled);
    // ... and on again from there: the day ends after it.
    HearAndTick(596);
    EXPECT_EQ(CallsSince(at).size(), 1u) << "nothing more that day";
    am->HearEnd();
    Tick();
    EXPECT_EQ(am->calls.back(), "stop");
    EXPECT_TRUE(Idle());
  }
}

TEST_F(Player, NoContinuationBeforeTheLastSampleIsHeard) {
  // 599.6 s of a 600.4 s file rounds to its length; the last 0.8 s is still to be heard.
  Recordings({"2512091400a2512091410.mp3"});
  PlayAt(14, 0, 600.4);
  const std::size_t at = am->calls.size();
  HearAndTick(599.6);
  EXPECT_EQ(View().meMusica, "14:10:00");
  EXPECT_EQ(View().tbProgressMusica, 100);
  EXPECT_TRUE(CallsSince(at).empty());
  EXPECT_TRUE(frm->Playing);
  HearAndTick(600.4);
  EXPECT_EQ(CallsSince(at), std::vector<std::string>{"stop"});
  EXPECT_TRUE(Idle());
}

TEST_F(Player, ASearchAheadThatFindsNothingLeavesTheStateAndTheEndSearchesAgain) {
  Recordings({"2512091400a2512091410.mp3"});
  PlayAt(14, 7);
  const TSegmentLocator before = frm->Locator;
  const std::size_t at = am->calls.size();
  HearAndTick(596);
  EXPECT_TRUE(CallsSince(at).empty());
  EXPECT_EQ(frm->Locator.SelectedFile, before.SelectedFile);
  EXPECT_EQ(frm->Locator.SegmentStart, before.SegmentStart);
  EXPECT_EQ(frm->Locator.SegmentEnd, before.SegmentEnd);
  EXPECT_EQ(frm->Locator.TargetTime, before.TargetTime);
  // The recorder finishes the next segment meanwhile: the end finds it and opens it.
  dir.Write("Audio/2512091410a2512091420.mp3", "");
  am->HearEnd();
  Tick();
  const std::string next = InAudio("2512091410a2512091420.mp3");
  EXPECT_EQ(CallsSince(at), (std::vector<std::string>{"stop", "open " + next}));
  EXPECT_FALSE(frm->TimerMusica().Enabled());
  EXPECT_FALSE(View().bTocarEnabled);
  ASSERT_TRUE(am->CompleteOpen(600));
  EXPECT_EQ(am->calls.back(), "seek 0");
  HearAndTick(2);
  EXPECT_EQ(View().meMusica, "14:10:02");
}

TEST_F(Player, ASeekIntoTheLastSecondsSearchesAheadAtOnce) {
  Recordings({"2512091400a2512091410.mp3", "2512091410a2512091420.mp3"});
  PlayAt(14, 0, 300);
  frm->TBProgressMusicaTrack(99);
  frm->TBProgressMusicaTrackEnd(99);
  EXPECT_EQ(am->calls.back(), "seek 297");
  Tick();
  EXPECT_EQ(am->calls.back(), "next " + InAudio("2512091410a2512091420.mp3"));
}

TEST_F(Player, AQueuedSegmentThatCannotBeOpenedEndsPlaybackThereWithoutASecondTry) {
  Recordings({"2512091400a2512091410.mp3", "2512091410a2512091420.mp3"});
  PlayAt(14, 7);
  HearAndTick(596);
  ASSERT_TRUE(am->FailNext());
  EXPECT_FALSE(Idle()) << "the segment plays on";
  const std::size_t at = am->calls.size();
  am->HearEnd();
  Tick();
  EXPECT_EQ(CallsSince(at), std::vector<std::string>{"stop"});
  EXPECT_TRUE(Idle());
}

TEST_F(Player, TheRunOnStaysOnTheDayAndInTheFolderOfThePlay) {
  Recordings(
      {"2512091400a2512091410.mp3", "2512091410a2512091420.mp3", "2612091410a2612091420.mp3"});
  PlayAt(14, 7);
  frm->EditView().calendario = EncodeDate(2009, 12, 26);
  frm->EditView().diretorio = dir / "elsewhere";
  HearAndTick(596);
  EXPECT_EQ(am->calls.back(), "next " + InAudio("2512091410a2512091420.mp3"));
}

// ---- On the media control --------------------------------------------------------------------

TEST(PlayerOnTheMediaControl, RunsOnIntoTheNextSegmentWithEverySampleOnce) {
  // Two segments of one recording, two seconds each, as the recorder writes them (tagged); the
  // media control on the null output, paced by the manual clock that also drives the timer.
  beSetLibraryName("libmp3lame.so.0");
  TestPlatform platform;
  TempDir dir;
  const std::string audio = dir / "Audio";
  ASSERT_TRUE(EnsureFolder(audio));
  const std::string a = JoinPath(audio, "2512091400a2512091401.mp3"),
                    b = JoinPath(audio, "2512091401a2512091402.mp3");
  constexpr std::size_t kFrames = 86 * 1024;
  ASSERT_TRUE(
      testing::EncodeRunWithStage({a, b}, testing::Tone(2 * kFrames, 2, 44100), 2, br128, kFrames));
  testing::NullOutput* out = nullptr;
  PlayerEnvironment env;
  env.services = platform.services();
  env.iniPath = dir / "cfg.ini";
  env.makeControl = [&] {
    auto output = std::make_unique<testing::NullOutput>(&platform.time);
    out = output.get();
    return std::make_unique<TActiveMovie>(platform.services(), std::move(output));
  };
  TFrmPlay frm(std::move(env));
  frm.FormCreate();
  frm.FormShow();
  frm.EditView().diretorio = audio;
  frm.EditView().ledHora = 14;
  frm.EditView().ledMinuto = 0;

  // Runs the posted calls until `done`; false after 20 s of real time.
  const auto until = [&](const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      platform.mainThread.ProcessPending();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  };
  frm.BTocarClick();
  ASSERT_TRUE(until([&] { return frm.Playing && out->Written() > 0; }));
  std::vector<std::string> shown;
  for (int t = 0; t < 8000 && !frm.View().bTocarEnabled; t += 50) {
    platform.time.AdvanceMs(50);
    const std::uint64_t poke = out->Poke();
    ASSERT_TRUE(until([&] { return out->Settled(poke); }));
    if (shown.empty() || shown.back() != frm.View().meMusica) shown.push_back(frm.View().meMusica);
  }
  EXPECT_TRUE(frm.View().bTocarEnabled) << "the day's last segment ended";
  EXPECT_EQ(shown.back(), "00:00:00");
  EXPECT_EQ(shown, (std::vector<std::string>{"00:00:00", "14:00:00", "14:00:01", "14:00:02",
                                             "14:01:00", "14:01:01", "14:01:02", "00:00:00"}));
  EXPECT_EQ(platform.messages.shown.size(), 0u);

  std::vector<std::int16_t> want = testing::DecodeFile(a, true).pcm;
  const std::vector<std::int16_t> second = testing::DecodeFile(b, true).pcm;
  want.insert(want.end(), second.begin(), second.end());
  const std::vector<std::int16_t> played = out->Played();
  EXPECT_EQ(played.size(), 2 * 2 * kFrames) << "every sample recorded, once";
  EXPECT_TRUE(played == want);
  const std::vector<std::string> events = out->Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "open 44100 2"), 1)
      << "one device from the first sample to the last";
}

}  // namespace
}  // namespace zq
