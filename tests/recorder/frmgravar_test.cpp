#include "recorder/frmgravar.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "audio/bladeenc.h"
#include "platform/fileops.h"
#include "platform/segments.h"
#include "tests/audio/fakeenc/fakeenc_loader.h"
#include "tests/support/audio/mp3decode.h"
#include "tests/support/audio/scripted_wavein.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/platform/temp_dir.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::TestPlatform;
using testing::TScriptedWaveIn;

const std::string kStopFirst = "É necessário parar a gravação antes de finalizar o sistema!";
const std::string kStopToChange = "É necessário parar a gravação para efetuar alterações!";

class NoProcesses : public ProcessTable {
 public:
  bool Snapshot(std::vector<ProcessEntry>& out) const override {
    out.push_back({4242, "ZeltoQuelvar"});
    return true;
  }
  bool RaiseToRealtime(pid_t pid) const override {
    raised.push_back(pid);
    return true;
  }
  mutable std::vector<pid_t> raised;
};

// The recorder on a manual clock, the scripted capture and a temporary folder holding cfg.ini,
// the recordings ("Audio") and the backup folder ("Copia"). The encoder library is the fake one
// unless a test asks for LAME.
class Recorder : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { beSetLibraryName(ZQ_FAKEENC_PATH); }
  static void TearDownTestSuite() { beSetLibraryName("libmp3lame.so.0"); }

  std::string Ini() const { return dir / "cfg.ini"; }
  std::string Audio() const { return dir / "Audio"; }
  std::string Backup() const { return dir / "Copia"; }

  // A cfg.ini whose folders lie in the temporary folder; `extra` lines go into [Geral] first,
  // so they win over the defaults below them.
  void WriteIni(const std::string& extra = "", const std::string& formato = "4") {
    dir.Write("cfg.ini", "[Gravacao]\nFormato=" + formato + "\n[Geral]\n" + extra +
                             "Placa=0\nLocal=" + Audio() +
                             "\nAutoGravar=S\nMB Livres=200\nDiasRec=30\nTempoRec=10\nCopia=N\n"
                             "LocalCopia=" +
                             Backup() + "\nPrioridade=N\nControle=0\n");
  }

  void Create(RecorderMixer* mixer = nullptr) {
    RecorderEnvironment env;
    env.services = platform.services();
    env.iniPath = Ini();
    env.processes = &processes;
    env.ownPid = 4242;
    env.makeWaveIn = [this] {
      auto in = std::make_unique<TScriptedWaveIn>(platform.services());
      waveIn = in.get();
      return in;
    };
    env.mixer = mixer;
    frm = std::make_unique<TFrmGravar>(std::move(env));
    frm->FormCreate();
  }

  int Pump() { return platform.mainThread.RunUntilEmpty(); }
  // Hands back `n` captured buffers and runs their delivery on the main thread.
  void Buffers(int n) {
    for (int i = 0; i < n; ++i) {
      waveIn->Script().Deliver(1);
      Pump();
    }
  }
  void Advance(double seconds) {
    platform.time.AdvanceSeconds(seconds);
    Pump();
  }
  // Audio in real time: buffers handed back as the clock says their frames are due, and
  // delivered within 10 ms, as the program's main loop does.
  void Record(double seconds) {
    for (double t = 0; t < seconds; t += 0.01)
      Advance(0.01);
  }
  std::vector<std::string> Errors() const { return platform.messages.Texts(); }

  TestPlatform platform;
  TempDir dir;
  NoProcesses processes;
  TScriptedWaveIn* waveIn = nullptr;
  std::unique_ptr<TFrmGravar> frm;
};

TEST_F(Recorder, StartsByItselfOneSecondAfterStartUpAndNamesTheSegmentByItsStart) {
  WriteIni();
  Create();
  EXPECT_FALSE(frm->Recording());
  Advance(0.999);
  EXPECT_FALSE(frm->Recording());
  Advance(0.001);
  ASSERT_TRUE(frm->Recording()) << ::testing::PrintToString(Errors());
  EXPECT_FALSE(frm->View().windowVisible) << "the auto-start hides the window";
  EXPECT_TRUE(frm->View().bStopVisible);
  EXPECT_FALSE(frm->View().bGravarVisible);
  Buffers(3);
  EXPECT_EQ(testing::SortedNames(Audio()), (std::vector<std::string>{"2512091405.mp3"}));
  EXPECT_EQ(frm->View().lFormato, std::string(20, ' ') + "MP3: 64 Kbps, Stereo");

  // Ten minutes later the segment takes its final name and the next one is written.
  Advance(600);
  EXPECT_EQ(testing::SortedNames(Audio()),
            (std::vector<std::string>{"2512091405a2512091415.mp3", "2512091415.mp3"}));
  // Stop at 14:17: the running segment is finished at once.
  Advance(120);
  frm->BStopClick();
  EXPECT_FALSE(frm->Recording());
  EXPECT_EQ(testing::SortedNames(Audio()),
            (std::vector<std::string>{"2512091405a2512091415.mp3", "2512091415a2512091417.mp3"}));
  EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
}

TEST_F(Recorder, ADayAtTenMinutesGives144ConsecutiveSegments) {
  WriteIni();
  Create();
  Advance(1);
  ASSERT_TRUE(frm->Recording());
  for (int i = 0; i < 144; ++i) {
    Buffers(2);
    Advance(600);
  }
  std::vector<std::string> finished;
  for (const auto& n : testing::SortedNames(Audio()))
    if (IsFinishedSegmentName(n)) finished.push_back(n);
  ASSERT_EQ(finished.size(), 144u);
  // Sorted by start: name order is day first, so sort by the time they stand for.
  std::sort(finished.begin(), finished.end(), [](const std::string& a, const std::string& b) {
    auto key = [](const std::string& n) {
      return n.substr(4, 2) + n.substr(2, 2) + n.substr(0, 2) + n.substr(6, 4);
    };
    return key(a) < key(b);
  });
  EXPECT_EQ(finished.front(), "2512091405a2512091415.mp3");
  EXPECT_EQ(finished.back(), "2612091355a2612091405.mp3");
  for (std::size_t i = 1; i < finished.size(); ++i)
    EXPECT_EQ(finished[i].substr(0, 10), finished[i - 1].substr(11, 10)) << finished[i];
  EXPECT_TRUE(fs::exists(dir / "Audio/2612091405.mp3")) << "the next segment runs";
  EXPECT_EQ(waveIn->Script().Opens(), 1) << "the capture stays open across the rotations";
  EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
}

TEST_F(Recorder, TheRampSplitAcrossManyRotationsComesBackWholeInOrderAndOnce) {
  testing::FakeEncState& fake = testing::LoadFakeEncoder(ZQ_FAKEENC_PATH);
  WriteIni("TempoRec=1\n");
  Create();
  waveIn->Script().OverrunAfter(100, 5000);  // lost once: that many frames of silence instead
  Advance(1);
  ASSERT_TRUE(frm->Recording());
  for (int i = 0; i < 30; ++i) {
    Buffers(7 + i % 5);  // rotations fall after buffers of every phase against the chunks
    Advance(60);
  }
  frm->BStopClick();

  // The library received every captured frame once, in order: the ramp numbers each frame, and
  // the overrun's frames came as silence in their place.
  const std::uint64_t frames = fake.samples.size() / 2;
  ASSERT_EQ(frames, waveIn->Script().FramesDelivered() + 5000);
  std::uint64_t wrong = 0;
  for (std::uint64_t i = 0; i < frames; ++i) {
    const std::uint32_t got =
        static_cast<std::uint16_t>(fake.samples[2 * i]) |
        static_cast<std::uint32_t>(static_cast<std::uint16_t>(fake.samples[2 * i + 1])) << 16;
    const std::uint64_t at = 100 * 1024;
    const std::uint64_t want = i < at ? i : i < at + 5000 ? 0 : i;
    wrong += got != want;
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(waveIn->SilenceFrames(), 5000u);

  // Each segment holds a run of the library's chunks: the next one begins where it ended.
  std::vector<std::string> finished = testing::SortedNames(Audio());
  ASSERT_EQ(finished.size(), 31u);
  std::sort(finished.begin(), finished.end(), [](const std::string& a, const std::string& b) {
    return a.substr(6, 4) < b.substr(6, 4);  // one day: hour and minute order them
  });
  int chunk = 0;
  for (const std::string& n : finished) {
    const std::string bytes = dir.Read("Audio/" + n);
    ASSERT_GE(bytes.size(), 7u) << n;
    for (std::size_t at = 0; at + 7 < bytes.size(); at += 100, ++chunk)
      ASSERT_EQ(static_cast<std::uint8_t>(bytes[at]), testing::FakeEncState::ChunkByte(chunk)) << n;
  }
  EXPECT_EQ(chunk, static_cast<int>(fake.chunkSamples.size()));
  EXPECT_EQ(fake.openStreams, 0);
}

TEST_F(Recorder, ARotationWhoseFileCannotBeMadeKeepsRecordingAndTheNextOneRecovers) {
  WriteIni();
  fs::create_directories(dir / "Audio/2512091415.mp3");  // the next segment's name is taken
  Create();
  Advance(1);
  Buffers(3);
  Advance(600);
  EXPECT_TRUE(frm->Recording()) << "capture and displays go on";
  EXPECT_EQ(Errors(), (std::vector<std::string>{"Unable to create file"}));
  EXPECT_TRUE(fs::exists(dir / "Audio/2512091405a2512091415.mp3")) << "the old file is finished";
  Buffers(3);
  Advance(600);
  Buffers(3);
  EXPECT_TRUE(fs::is_directory(dir / "Audio/2512091415.mp3"));
  EXPECT_TRUE(fs::exists(dir / "Audio/2512091425.mp3")) << "the next rotation recovers";
  frm->BStopClick();
  EXPECT_GT(fs::file_size(dir / "Audio/2512091425a2512091425.mp3"), 0u);
  EXPECT_EQ(waveIn->Script().Opens(), 1);
}

TEST_F(Recorder, ACaptureThatFailsFinishesItsSegmentAndIsTriedEveryTwoSecondsWithOneMessage) {
  WriteIni();
  Create();
  Advance(1);
  Buffers(3);
  Advance(120);
  waveIn->Script().GoneAfter(0);  // the sound server goes away at 14:07:01
  waveIn->Script().Fail(testing::ScriptedWaveIn::Op::Open, -ENODEV);
  Buffers(1);
  EXPECT_FALSE(frm->Recording());
  EXPECT_EQ(testing::SortedNames(Audio()), (std::vector<std::string>{"2512091405a2512091407.mp3"}))
      << "finished at once under its name";
  EXPECT_FALSE(frm->View().bStopVisible);
  for (int i = 0; i < 10; ++i)
    Advance(2);
  EXPECT_EQ(waveIn->Script().Opens(), 1) << "each try fails at the query";
  EXPECT_EQ(Errors(), (std::vector<std::string>{"WaveIn:\n\r" + std::string(strerror(ENODEV))}))
      << "once for the outage, not once per try";

  waveIn->Script().Fail(testing::ScriptedWaveIn::Op::Open, 0);  // back at 14:07:21
  Advance(1.9);
  EXPECT_FALSE(frm->Recording());
  Advance(0.1);
  EXPECT_TRUE(frm->Recording()) << "within two seconds of its return";
  EXPECT_TRUE(frm->View().bStopVisible);
  Buffers(2);
  EXPECT_TRUE(fs::exists(dir / "Audio/2512091407.mp3"));
  EXPECT_EQ(Errors().size(), 1u);
  // Recording as before: the rotation counts from this start, and the retries have stopped.
  Advance(600);
  EXPECT_TRUE(fs::exists(dir / "Audio/2512091407a2512091417.mp3"));
  EXPECT_EQ(waveIn->Script().Opens(), 2);
}

TEST_F(Recorder, AfterPararTheDurationIsTheTimeRecordedOnce) {
  WriteIni();
  Create();
  Advance(1);
  Advance(300);
  Buffers(1);
  waveIn->Script().FillPartially(100);  // the stop hands this buffer back with what it holds
  frm->BStopClick();
  EXPECT_EQ(frm->View().lTempo, "00:05:00");
  EXPECT_EQ(FormatLongTime(frm->AccumulatedTime), "00:05:00") << "carried on once";
  frm->BGravarClick();
  Advance(60);
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "00:06:00");
}

TEST_F(Recorder, ASegmentAcrossMidnightAndTheNewYearIsNamedByBothDays) {
  platform.time.SetNow(EncodeDateTime(2009, 12, 31, 23, 54, 59));
  WriteIni();
  Create();
  Advance(1);
  Buffers(2);
  Advance(599.9);
  Buffers(1);  // the duration is taken from the last buffer before the rotation
  Advance(0.1);
  EXPECT_EQ(testing::SortedNames(Audio()),
            (std::vector<std::string>{"0101100005.mp3", "3112092355a0101100005.mp3"}));
  Advance(0.1);
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "00:10:00") << "the duration counts on across midnight";
}

TEST_F(Recorder, TheDurationContinuesAfterAStopAndCountsDays) {
  WriteIni();
  Create();
  Advance(1);
  Advance(300);
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "00:05:00");
  frm->BStopClick();
  Advance(3600);  // an hour stopped is not counted
  frm->BGravarClick();
  Advance(60);
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "00:06:00");
  EXPECT_EQ(frm->View().lDias, "00");

  // A duration reading 23:59:59 counts a day: the days show 01 and the duration starts again
  // from zero on the next buffer.
  frm->AccumulatedTime = EncodeTime(23, 59, 58) - frm->ElapsedTime;
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "23:59:58");
  Advance(1);
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "23:59:59");
  EXPECT_EQ(frm->View().lDias, "01");
  Advance(0.5);
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "00:00:00");
  EXPECT_EQ(frm->DayCount, 1);
  // A stall that lets no buffer fall within that second still counts the day.
  frm->AccumulatedTime = EncodeTime(23, 59, 58);
  Advance(2);
  Buffers(1);
  EXPECT_EQ(frm->DayCount, 2);
  Advance(1);
  Buffers(1);
  EXPECT_EQ(frm->View().lTempo, "00:00:01");
  EXPECT_EQ(frm->View().lDias, "02");
}

TEST_F(Recorder, TheMidnightRetentionPassRunsOncePerRun) {
  platform.time.SetNow(EncodeDateTime(2009, 12, 25, 23, 59, 57));
  WriteIni();
  Create();
  Advance(1);  // recording from 23:59:58
  ASSERT_TRUE(frm->Recording());
  // A finished segment older than the retention appears, and the pass at 23:59:59 takes it.
  const std::string old = dir / "Audio/0111091000a0111091010.mp3";
  const std::time_t fortyDaysAgo = testing::UnixOf(platform.time.Now()) - 40 * 86400;
  dir.Write("Audio/0111091000a0111091010.mp3", "old");
  ASSERT_TRUE(testing::SetModified(old, fortyDaysAgo));
  platform.time.SetNow(EncodeDateTime(2009, 12, 25, 23, 59, 59));
  Buffers(1);
  EXPECT_TRUE(frm->MidnightPassDone);
  EXPECT_FALSE(fs::exists(old));
  // Another old file later the same night survives until the daily pass.
  dir.Write("Audio/0111091010a0111091020.mp3", "old");
  ASSERT_TRUE(testing::SetModified(dir / "Audio/0111091010a0111091020.mp3", fortyDaysAgo));
  Buffers(3);
  EXPECT_TRUE(fs::exists(dir / "Audio/0111091010a0111091020.mp3"));
}

TEST_F(Recorder, StartedDuringMinuteZeroTheAutoStartIsNotArmed) {
  platform.time.SetNow(EncodeDateTime(2009, 12, 25, 0, 0, 30));
  WriteIni();
  Create();
  Advance(5);
  EXPECT_FALSE(frm->Recording());
  EXPECT_TRUE(frm->View().windowVisible);
  // The daily pass re-arms it, 24 hours after start-up (00:00:30 again: still minute zero).
  Advance(86400);
  EXPECT_FALSE(frm->Recording());
}

TEST_F(Recorder, AutoGravarNLeavesTheWindowAndStartsNothing) {
  WriteIni("AutoGravar=N\n");
  Create();
  Advance(5);
  EXPECT_FALSE(frm->Recording());
  EXPECT_TRUE(frm->View().windowVisible);
}

TEST_F(Recorder, AFailedStartIsTriedAgainEverySegmentLength) {
  WriteIni();
  waveIn = nullptr;
  Create();
  waveIn->Script().Fail(testing::ScriptedWaveIn::Op::Open, -EBUSY);
  Advance(1);
  EXPECT_FALSE(frm->Recording());
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].rfind("WaveInOpen:\n\r", 0), 0u) << Errors()[0];
  Advance(600);  // the rotation: nothing to stop, a new start fails again, no rename
  EXPECT_EQ(Errors().size(), 2u);
  waveIn->Script().Fail(testing::ScriptedWaveIn::Op::Open, 0);
  Advance(600);
  EXPECT_TRUE(frm->Recording());
  Buffers(1);
  EXPECT_EQ(testing::SortedNames(Audio()), (std::vector<std::string>{"2512091425.mp3"}));
}

TEST_F(Recorder, TheBackupCopyIsMadeOnlyForCopiaExactlyS) {
  for (const std::string copia : {"S", "s"}) {
    SCOPED_TRACE(copia);
    fs::remove_all(Backup());
    fs::create_directories(Backup());
    fs::remove_all(Audio());
    WriteIni("Copia=" + copia + "\n");
    Create();
    Advance(1);
    Buffers(2);
    Advance(600);
    frm->Copier().WaitIdle();
    if (copia == "S") {
      EXPECT_EQ(testing::SortedNames(Backup()),
                (std::vector<std::string>{"2512091405a2512091415.mp3"}));
      EXPECT_EQ(dir.Read("Copia/2512091405a2512091415.mp3"),
                dir.Read("Audio/2512091405a2512091415.mp3"));
    } else {
      EXPECT_TRUE(testing::SortedNames(Backup()).empty());
    }
    frm.reset();
    platform.time.SetNow(EncodeDateTime(2009, 12, 25, 14, 5, 0));
  }
}

TEST_F(Recorder, AFinishedNameThatExistsIsNeverReplacedAndTheSegmentTakesItsNextForm) {
  // The autumn clock change repeats an hour: a segment of the repeated hour would take the name
  // of one already recorded.
  WriteIni();
  fs::create_directories(Audio());
  dir.Write("Audio/2512091405a2512091415.mp3", "first pass of the hour");
  Create();
  Advance(1);
  Buffers(2);
  Advance(600);
  EXPECT_EQ(dir.Read("Audio/2512091405a2512091415.mp3"), "first pass of the hour");
  EXPECT_GT(fs::file_size(dir / "Audio/2512091405a2512091415-2.mp3"), 0u);
  EXPECT_EQ(testing::SortedNames(Audio()),
            (std::vector<std::string>{"2512091405a2512091415-2.mp3", "2512091405a2512091415.mp3",
                                      "2512091415.mp3"}));
}

TEST_F(Recorder, EverySegmentOfOneMinuteIsKeptAndFindable) {
  struct Case {
    const char* what;
    bool crashLeftover;  // a kill -9 within the minute, then a restart within it
    int starts;
  };
  const Case cases[] = {{"three starts within one minute", false, 3},
                        {"a crash leftover and the first segment of the same minute", true, 1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    fs::remove_all(Audio());
    fs::create_directories(Audio());
    platform.time.SetNow(EncodeDateTime(2009, 12, 25, 14, 5, 0));
    if (k.crashLeftover) {
      dir.Write("Audio/2512091405.mp3", "before the kill");
      ASSERT_TRUE(testing::SetModified(dir / "Audio/2512091405.mp3",
                                       testing::LocalTime(2009, 12, 25, 14, 5)));
    }
    WriteIni("AutoGravar=N\n");
    Create();
    for (int i = 0; i < k.starts; ++i) {
      frm->BGravarClick();
      Buffers(2);
      Advance(10);
      frm->BStopClick();
      Advance(5);
    }
    std::vector<std::string> want = {"2512091405a2512091405.mp3"};
    for (int i = 2; i <= k.starts + (k.crashLeftover ? 1 : 0); ++i)
      want.push_back("2512091405a2512091405-" + std::to_string(i) + ".mp3");
    auto names = testing::SortedNames(Audio());
    EXPECT_EQ(names.size(), want.size());
    for (const std::string& n : want) {
      EXPECT_TRUE(IsFinishedSegmentName(n)) << n;
      EXPECT_TRUE(fs::exists(dir / ("Audio/" + n))) << n;
      EXPECT_GT(fs::file_size(dir / ("Audio/" + n)), 0u) << n;
    }
    if (k.crashLeftover) EXPECT_EQ(dir.Read("Audio/2512091405a2512091405.mp3"), "before the kill");
    EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
    frm.reset();
  }
}

TEST_F(Recorder, ASegmentLeftByACrashIsFinishedAtStartUp) {
  WriteIni();
  fs::create_directories(Audio());
  dir.Write("Audio/2412092350.mp3", "cut short");
  ASSERT_TRUE(
      testing::SetModified(dir / "Audio/2412092350.mp3", testing::LocalTime(2009, 12, 24, 23, 57)));
  Create();
  EXPECT_EQ(testing::SortedNames(Audio()), (std::vector<std::string>{"2412092350a2412092357.mp3"}));
}

TEST_F(Recorder, TheFreeSpaceGuardDeletesTheOldestFinishedSegmentPerBuffer) {
  WriteIni();
  fs::create_directories(Audio());
  const std::time_t now = std::time(nullptr);
  int age = 5000;
  for (const char* n : {"0101100005a0101100015.mp3", "3112092355a0101100005.mp3", "notes.mp3"}) {
    dir.Write(std::string("Audio/") + n, "x");
    ASSERT_TRUE(testing::SetModified(dir / (std::string("Audio/") + n), now - age));
    age -= 1000;
  }
  const std::uint64_t mb = 1024 * 1024;
  platform.disk.Set(1000 * mb, 150 * mb);  // below "MB Livres" 200
  Create();
  Advance(1);
  Buffers(1);
  EXPECT_FALSE(fs::exists(dir / "Audio/0101100005a0101100015.mp3"));
  EXPECT_TRUE(fs::exists(dir / "Audio/3112092355a0101100005.mp3"));
  Buffers(1);
  EXPECT_FALSE(fs::exists(dir / "Audio/3112092355a0101100005.mp3"));
  Buffers(3);
  EXPECT_EQ(testing::SortedNames(Audio()),
            (std::vector<std::string>{"2512091405.mp3", "notes.mp3"}));
  EXPECT_EQ(frm->View().lLivre, "150 MB");
  EXPECT_EQ(frm->View().lOcupado, "850 MB");
  EXPECT_EQ(frm->View().progressEspaco, 85);

  // A disk whose figures cannot be read shows nothing to delete.
  platform.disk.failing = true;
  dir.Write("Audio/0101100015a0101100025.mp3", "x");
  Buffers(3);
  EXPECT_TRUE(fs::exists(dir / "Audio/0101100015a0101100025.mp3"));
}

TEST_F(Recorder, WithoutCfgIniTheDefaultsAreWrittenAndUsed) {
  setenv("HOME", dir.path().c_str(), 1);
  Create();
  const std::string home = dir.path();
  EXPECT_EQ(dir.Read("cfg.ini"),
            "[Gravacao]\nFormato=4\n[Geral]\nPlaca=0\nLocal=" + home +
                "/Zelto/Quelvar/Audio\nAutoGravar=S\nMB Livres=200\nDiasRec=30\nTempoRec=10\n"
                "Copia=N\nLocalCopia=\nPrioridade=N\nControle=0\n");
  EXPECT_EQ(frm->TimerRecord().Interval(), 600000);
  EXPECT_EQ(frm->MP3().Bitrate(), br64);
  Advance(1);
  EXPECT_TRUE(frm->Recording());
  Buffers(1);
  EXPECT_TRUE(fs::exists(home + "/Zelto/Quelvar/Audio/2512091405.mp3")) << "folder created";
  EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
}

TEST_F(Recorder, AFileWithOnlyThePlayersKeyGetsTheRecordersKeysAndRecordsByItself) {
  setenv("HOME", dir.path().c_str(), 1);
  dir.Write("cfg.ini", "[Geral]\nLocalPlay=/srv/audio\n");
  Create();
  EXPECT_EQ(dir.Read("cfg.ini"),
            "[Geral]\nLocalPlay=/srv/audio\nPlaca=0\nLocal=" + dir.path() +
                "/Zelto/Quelvar/Audio\nAutoGravar=S\nMB Livres=200\nDiasRec=30\n"
                "TempoRec=10\nCopia=N\nLocalCopia=\nPrioridade=N\nControle=0\n"
                "[Gravacao]\nFormato=4\n");
  EXPECT_EQ(frm->TimerRecord().Interval(), 600000);
  Advance(1);
  EXPECT_TRUE(frm->Recording()) << "started by itself";
  Buffers(1);
  EXPECT_TRUE(fs::exists(dir.path() + "/Zelto/Quelvar/Audio/2512091405.mp3"));
  EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());

  // A key that is present but empty is the operator's: it stays, and takes the usual path.
  frm.reset();
  dir.Write("cfg.ini", "[Geral]\nLocalPlay=/srv/audio\nAutoGravar=\nTempoRec=\n");
  Create();
  EXPECT_EQ(TIniFile(Ini()).ReadString("Geral", "AutoGravar"), "");
  EXPECT_EQ(Errors(), (std::vector<std::string>{"'' is not a valid integer value"}));
  Advance(2);
  EXPECT_FALSE(frm->Recording());
}

TEST_F(Recorder, ControleOtherThanZeroSelectsTheMicrophone) {
  struct Mixer : RecorderMixer {
    void SetDeviceNumber(int c) override { card = c; }
    void SetInputIsMicrophone(bool m) override { microphone = m; }
    void SelectRecordingLine() override { ++selected; }
    int card = -1, selected = 0;
    bool microphone = false;
  } mixer;
  WriteIni("Controle=1\n");
  Create(&mixer);
  EXPECT_TRUE(mixer.microphone);
  EXPECT_EQ(mixer.card, 0);
  EXPECT_EQ(mixer.selected, 1);
  EXPECT_EQ(frm->View().cbControle, 1);
  frm.reset();  // before the mixer it points at goes
}

TEST_F(Recorder, TempoRecOfZeroOrTooLargeFallsBackToTenMinutesSilently) {
  struct Case {
    const char* tempo;
    std::int64_t ms;
  };
  const Case cases[] = {{"1", 60000},   {"60", 3600000},       {"0", 600000},
                        {"-5", 600000}, {"35791", 2147460000}, {"35792", 600000}};
  for (const auto& c : cases) {
    WriteIni(std::string("TempoRec=") + c.tempo + "\n");
    Create();
    EXPECT_EQ(frm->TimerRecord().Interval(), c.ms) << c.tempo;
    EXPECT_TRUE(Errors().empty()) << c.tempo;
    frm.reset();
  }
}

TEST_F(Recorder, SavingWritesTheControlsAndKeepsTheBackupFolderWhenUnchecked) {
  WriteIni("LocalCopia=/mnt/backup\n");
  Create();
  TGravarView& v = frm->EditView();
  v.cbFormato = 8;
  v.cbCopia = false;
  v.edLocalCopia = "/elsewhere";
  v.diasGravar = "15";
  v.tempoGravar = "20";
  v.edLocal = Audio() + "/";
  frm->BGravaConfigClick();
  TIniFile ini(Ini());
  EXPECT_EQ(ini.ReadString("Gravacao", "Formato"), "8");
  EXPECT_EQ(ini.ReadString("Geral", "Copia"), "N");
  EXPECT_EQ(ini.ReadString("Geral", "LocalCopia"), "/mnt/backup");
  EXPECT_EQ(ini.ReadString("Geral", "DiasRec"), "15");
  EXPECT_EQ(ini.ReadString("Geral", "Local"), Audio()) << "written without a trailing slash";
  EXPECT_EQ(frm->TimerRecord().Interval(), 20 * 60000);
  EXPECT_EQ(frm->MP3().Bitrate(), br128);
  EXPECT_EQ(frm->View().lFormato, std::string(20, ' ') + "MP3: 128 Kbps, Stereo");
}

TEST_F(Recorder, SavingWhileRecordingKeepsTheSegmentLengthUntilTheNextStart) {
  WriteIni();
  Create();
  Advance(1);
  ASSERT_TRUE(frm->Recording());
  frm->EditView().tempoGravar = "30";
  frm->EditView().cbFormato = 8;
  frm->BGravaConfigClick();
  EXPECT_EQ(frm->TimerRecord().Interval(), 600000);
  EXPECT_EQ(frm->MP3().Bitrate(), br128) << "the bit rate applies from the next segment";
  EXPECT_TRUE(Errors().empty()) << ::testing::PrintToString(Errors());
  frm->BStopClick();
  frm->LoadSettings();
  EXPECT_EQ(frm->TimerRecord().Interval(), 30 * 60000);
}

TEST_F(Recorder, AConfigFileThatCannotBeWrittenSaysSo) {
  WriteIni();
  ASSERT_EQ(::chmod(Ini().c_str(), 0444), 0);
  Create();
  frm->EditView().cbFormato = 8;
  frm->BGravaConfigClick();
  EXPECT_EQ(Errors(), (std::vector<std::string>{"Unable to write to " + Ini()}));
}

TEST_F(Recorder, ClosingGuardsAndTheEndOfTheSession) {
  WriteIni();
  Create();
  bool quit = false;
  frm->OnQuit = [&] { quit = true; };
  Advance(1);
  Buffers(2);
  frm->BSairClick();
  EXPECT_FALSE(quit);
  EXPECT_TRUE(frm->Recording());
  EXPECT_FALSE(frm->SegmentArrowsAllowed());
  EXPECT_FALSE(frm->FolderBrowserAllowed());
  EXPECT_EQ(platform.messages.Texts(),
            (std::vector<std::string>{kStopFirst, kStopToChange, kStopToChange}));
  Advance(120);
  frm->FormClose();  // the menu's "Fechar", a signal, the session's end
  EXPECT_TRUE(quit);
  EXPECT_FALSE(frm->Recording());
  EXPECT_EQ(testing::SortedNames(Audio()), (std::vector<std::string>{"2512091405a2512091407.mp3"}));
  EXPECT_TRUE(frm->SegmentArrowsAllowed());
}

TEST_F(Recorder, SegmentsEncodedWithLameDecodeToTheirNamedSpans) {
  beSetLibraryName("libmp3lame.so.0");
  WriteIni("TempoRec=1\n");
  Create();
  waveIn->Script().SetSignal(testing::ScriptedSignal::Sine, 1000);
  waveIn->Script().PaceTo(platform.time, platform.time);
  Advance(1);
  ASSERT_TRUE(frm->Recording());
  Record(120.5);
  frm->BStopClick();
  beSetLibraryName(ZQ_FAKEENC_PATH);
  const auto names = testing::SortedNames(Audio());
  ASSERT_EQ(names,
            (std::vector<std::string>{"2512091405a2512091406.mp3", "2512091406a2512091407.mp3",
                                      "2512091407a2512091407.mp3"}));
  EXPECT_EQ(waveIn->Script().Opens(), 1) << "the capture stays open across the rotations";
  long total = 0;
  for (int i = 0; i < 3; ++i) {
    const auto d = testing::DecodeFile(Audio() + "/" + names[i], true);
    ASSERT_TRUE(d.error.empty()) << d.error;
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    if (i < 2) EXPECT_NEAR(d.samples / 44100.0, 60.0, 0.1) << names[i];
    EXPECT_NEAR(testing::ToneFrequency(d.pcm, 2, 44100), 1000, 2) << names[i];
    total += d.samples;
  }
  EXPECT_EQ(total, static_cast<long>(waveIn->Script().FramesDelivered()))
      << "every captured frame in exactly one file";
}

}  // namespace
}  // namespace zq
