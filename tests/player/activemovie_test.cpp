#include "player/activemovie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/bladeenc.h"
#include "platform/errortext.h"
#include "player/mp3source.h"
#include "tests/support/audio/mp3decode.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/platform/temp_dir.h"
#include "tests/support/player/null_output.h"
#include "tests/support/player/segment_files.h"

namespace zq {
namespace {

using testing::NullOutput;
using testing::TempDir;
using testing::TestPlatform;
using Pcm = std::vector<std::int16_t>;

constexpr std::int64_t kLead = TMp3Source::kUntaggedDelay;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// What the control should play of a file from `from` on: the decoder's whole output, less the
// 1105 samples of lead of a file without a tag (with one, the decoder trims by it already).
Pcm Expected(const std::string& path, bool tagged, std::int64_t from = 0) {
  const testing::Decoded d = testing::DecodeFile(path, true);
  EXPECT_EQ(d.error, "") << path;
  const std::size_t skip = static_cast<std::size_t>((tagged ? 0 : kLead) + from) * d.channels;
  return skip < d.pcm.size() ? Pcm(d.pcm.begin() + static_cast<long>(skip), d.pcm.end()) : Pcm{};
}

// Equal but for a unit in the last bit: the rounding of a decoder started elsewhere.
::testing::AssertionResult SameSound(const Pcm& got, const Pcm& want) {
  if (got.size() != want.size())
    return ::testing::AssertionFailure()
           << "played " << got.size() << " samples, expected " << want.size();
  for (std::size_t i = 0; i < got.size(); ++i)
    if (std::abs(got[i] - want[i]) > 1)
      return ::testing::AssertionFailure()
             << "sample " << i << " is " << got[i] << ", expected " << want[i];
  return ::testing::AssertionSuccess();
}

Pcm Concat(Pcm a, const Pcm& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A control on the null output, with the test doubles of the platform.
struct Player {
  TestPlatform platform;
  NullOutput* out;  // owned by the control
  std::unique_ptr<TActiveMovie> movie;
  std::vector<std::string> events;
  std::function<void()> onOpen;

  // Paced by the manual clock with `bufferSeconds` in the device, or playing at once.
  explicit Player(bool paced = false, double bufferSeconds = 0.5) {
    auto output = std::make_unique<NullOutput>(paced ? &platform.time : nullptr, bufferSeconds);
    out = output.get();
    movie = std::make_unique<TActiveMovie>(platform.services(), std::move(output));
    movie->OnOpenComplete = [this](TMediaControl*) {
      events.push_back("open " + movie->FileName());
      if (onOpen) onOpen();
    };
    movie->OnNextFile = [this](TMediaControl*) { events.push_back("next " + movie->FileName()); };
    movie->OnError = [this](TMediaControl*) { events.push_back("error"); };
  }

  // Runs the posted calls until `done` holds; false after 20 s.
  bool Until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      platform.mainThread.ProcessPending();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  // Lets the playback thread go round for `ms` of real time, running the posted calls.
  void Idle(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    Until([&] { return std::chrono::steady_clock::now() > end; });
  }
  bool Saw(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }
  bool Opened() {
    return Until([&] { return Saw("open " + movie->FileName()) || Saw("error"); }) && !Saw("error");
  }
  // Paced: opened, and the first samples are in the device (its clock runs from then on).
  bool Started() {
    return Opened() && Until([&] { return out->Written() > 0; });
  }
  // Until the device has been let go after the last sample.
  bool Closed() {
    return Until([&] { return !out->Events().empty() && out->Events().back() == "close"; });
  }
  // At once: until every sample is played and the end heard.
  bool PlayedOut() {
    return Until([&] {
      return movie->Length() > 0 && movie->Position() == movie->Length() &&
             movie->NextFileName().empty();
    });
  }
  // Until the playback thread has gone through a whole round of its work from now on.
  void Settle() {
    const std::uint64_t poke = out->Poke();
    Until([&] { return out->Settled(poke); });
  }
  // Paced: moves the clock `ms` on in steps of 50 ms, each time until the thread has filled the
  // device again and told what is heard.
  void Play(int ms) {
    for (int t = 0; t < ms; t += 50) {
      platform.time.AdvanceMs(50);
      Settle();
    }
  }
  std::string ErrorsShown() const {
    std::string all;
    for (const std::string& t : platform.messages.Texts())
      all += t + "|";
    return all;
  }
};

class ActiveMovieTest : public ::testing::Test {
 protected:
  void SetUp() override { beSetLibraryName("libmp3lame.so.0"); }

  // One second of the tone through the encoder stage, 32 kbps: no tag (no room for it at that
  // rate), and the bit reservoir reaches furthest back.
  std::string StageFile(const std::string& name = "stage.mp3", std::size_t frames = 44100,
                        std::size_t from = 0) {
    EXPECT_TRUE(
        testing::EncodeWithStage(dir_ / name, testing::Tone(frames, 2, 44100, from), 2, br32));
    return dir_ / name;
  }
  // One second through the encoder stage at 128 kbps: finished, it begins with its Info frame.
  std::string TaggedFile(const std::string& name = "tagged.mp3") {
    EXPECT_TRUE(testing::EncodeWithStage(dir_ / name, testing::Tone(44100, 2, 44100), 2, br128));
    return dir_ / name;
  }
  // The same as a kill -9 leaves it: the placeholder Info frame never rewritten, no flush.
  std::string CrashedFile(const std::string& name = "crashed.mp3") {
    EXPECT_TRUE(
        testing::EncodeCrashedWithStage(dir_ / name, testing::Tone(44100, 2, 44100), 2, br128));
    return dir_ / name;
  }
  // One second of the tone through the binding at 24000 Hz, 8 kbps.
  std::string BindingFile(const std::string& name = "binding.mp3", int channels = 2) {
    EXPECT_TRUE(testing::EncodeWithBinding(dir_ / name, testing::Tone(24000, channels, 24000),
                                           channels, 24000, 8));
    return dir_ / name;
  }

  TempDir dir_;
};

// ---- Lengths and seeks ------------------------------------------------------------------------

TEST_F(ActiveMovieTest, LengthsAreExactInTrimmedSamples) {
  struct Case {
    std::string what, path;
    long rate;
    std::int64_t length;
  };
  const std::string stage = StageFile(), binding = BindingFile(), crashed = CrashedFile();
  const testing::Decoded s = testing::DecodeFile(stage), b = testing::DecodeFile(binding),
                         c = testing::DecodeFile(crashed);
  ASSERT_EQ(c.samples % 1152, 0) << "the decoder passes over the placeholder and trims nothing";
  const Case cases[] = {
      {"encoder stage, 44100 Hz, no tag", stage, 44100, s.samples - kLead},
      {"binding, 24000 Hz, no tag", binding, 24000, b.samples - kLead},
      {"encoder stage, tagged", TaggedFile(), 44100, 44100},  // what was encoded
      {"as a kill -9 left it", crashed, 44100, c.samples - kLead},
  };
  Player p;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    p.movie->SetFileName(k.path);
    ASSERT_TRUE(p.Opened()) << p.ErrorsShown();
    EXPECT_EQ(p.movie->Rate(), k.rate);
    EXPECT_EQ(p.movie->Length(), k.length);
    EXPECT_DOUBLE_EQ(p.movie->Duration(), static_cast<double>(k.length) / k.rate);
    EXPECT_DOUBLE_EQ(p.movie->SelectionEnd(), p.movie->Duration());
  }
}

TEST_F(ActiveMovieTest, ASeekInTheOpenHandlerDecidesTheFirstSampleHeardAndMatchesTheDecoder) {
  struct File {
    std::string what, path;
    bool tagged;
    int spf;
  };
  const File files[] = {
      {"encoder stage, 44100 Hz", StageFile(), false, 1152},
      {"binding, 24000 Hz", BindingFile(), false, 576},
      {"encoder stage, tagged", TaggedFile(), true, 1152},
      {"as a kill -9 left it", CrashedFile(), false, 1152},
  };
  for (const File& f : files) {
    std::int64_t length = 0;
    {
      Player probe;
      probe.movie->SetFileName(f.path);
      ASSERT_TRUE(probe.Opened()) << probe.ErrorsShown();
      length = probe.movie->Length();
    }
    struct Target {
      const char* what;
      std::int64_t sample;
    };
    const Target targets[] = {
        {"the start", 0},
        {"inside the first frame", 100},
        {"a frame boundary", 3 * f.spf - kLead},  // a tag says 576 + 529 = 1105 too
        {"the last frame", length - 200},
        {"the end", length},
        {"beyond the end", length + 1000},
    };
    for (const Target& t : targets) {
      SCOPED_TRACE(f.what + std::string(", ") + t.what);
      const std::int64_t lands = std::min(t.sample, length);
      Player p;
      bool checked = false;
      p.onOpen = [&] {
        EXPECT_EQ(p.out->Written(), 0) << "nothing output before the handler returns";
        p.movie->SetCurrentPosition(static_cast<double>(t.sample) / p.movie->Rate());
        EXPECT_EQ(p.movie->Position(), lands) << "a written position reads back at once";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(p.out->Written(), 0) << "nothing output before the handler returns";
        checked = true;
      };
      p.movie->SetFileName(f.path);
      ASSERT_TRUE(p.Opened());
      ASSERT_TRUE(p.PlayedOut());
      EXPECT_TRUE(checked);
      EXPECT_TRUE(SameSound(p.out->Played(), Expected(f.path, f.tagged, lands)));
      EXPECT_DOUBLE_EQ(p.movie->CurrentPosition(), p.movie->Duration());
    }
  }
}

TEST_F(ActiveMovieTest, SeeksWhilePlayingLandOnTheSample) {
  const std::string path = StageFile();
  Player p(true);
  p.movie->SetFileName(path);
  ASSERT_TRUE(p.Started());
  p.Play(200);
  const std::int64_t targets[] = {30000, 5000, 40000};
  const Pcm whole = Expected(path, false);
  Pcm want(whole.begin(), whole.begin() + 8820 * 2);
  for (std::size_t i = 0; i < std::size(targets); ++i) {
    p.movie->SetCurrentPosition(targets[i] / 44100.0);
    EXPECT_EQ(p.movie->Position(), targets[i]);
    p.Settle();  // the seek takes effect before the clock moves on
    EXPECT_EQ(p.movie->Position(), targets[i]);
    const Pcm from = Expected(path, false, targets[i]);
    if (i + 1 < std::size(targets)) {
      p.Play(100);
      EXPECT_EQ(p.movie->Position(), targets[i] + 4410);
      want.insert(want.end(), from.begin(), from.begin() + 4410 * 2);
    } else {
      p.Play(2000);
      want.insert(want.end(), from.begin(), from.end());
    }
  }
  EXPECT_TRUE(SameSound(p.out->Played(), want));
}

// ---- Position, pause, stop, underruns ---------------------------------------------------------

TEST_F(ActiveMovieTest, ThePositionIsTheSampleBeingHeardAndReachesTheLengthAtTheEnd) {
  const std::string path = StageFile();
  Player p(true);
  p.movie->SetFileName(path);
  ASSERT_TRUE(p.Started());
  ASSERT_TRUE(p.Until([&] { return p.out->Written() == 22050; })) << "half a second queued";
  EXPECT_EQ(p.movie->Position(), 0);
  p.platform.time.AdvanceMs(300);
  ASSERT_TRUE(p.Until([&] { return p.movie->Position() == 13230; }));
  EXPECT_DOUBLE_EQ(p.movie->CurrentPosition(), 0.3);
  EXPECT_GT(p.out->Written(), 13230 + 20000) << "the device holds more than has been heard";
  p.Play(1500);
  ASSERT_TRUE(p.Until([&] { return p.movie->Position() == p.movie->Length(); }));
  EXPECT_TRUE(SameSound(p.out->Played(), Expected(path, false)));
  p.platform.time.AdvanceMs(500);
  p.Settle();
  EXPECT_EQ(p.movie->Position(), p.movie->Length()) << "it stays at the end";
  EXPECT_EQ(p.movie->Underruns(), 0);
}

TEST_F(ActiveMovieTest, PauseHoldsThePositionExactlyAndRunLosesOrRepeatsNothing) {
  const std::string path = StageFile();
  for (const bool devicePauses : {true, false}) {
    SCOPED_TRACE(devicePauses ? "the device pauses" : "the device cannot pause");
    Player p(true);
    p.out->SetPausable(devicePauses);
    p.movie->SetFileName(path);
    ASSERT_TRUE(p.Started());
    for (const int at : {700, 300}) {
      p.Play(at);
      const std::int64_t heard = p.movie->Position();
      p.movie->Pause();
      p.Settle();
      p.platform.time.AdvanceMs(1000);
      p.Settle();
      EXPECT_EQ(p.movie->Position(), heard);
      EXPECT_EQ(p.out->PlayedFrames(), heard);
      p.movie->Run();
    }
    p.Play(1500);
    ASSERT_TRUE(p.Until([&] { return p.movie->Position() == p.movie->Length(); }));
    EXPECT_TRUE(SameSound(p.out->Played(), Expected(path, false)));
    const std::vector<std::string> ev = p.out->Events();
    EXPECT_EQ(std::count(ev.begin(), ev.end(), devicePauses ? "pause" : "drop"), 2);
  }
}

TEST_F(ActiveMovieTest, StopDropsTheQueuedAudioAndRunPlaysFromTheStart) {
  const std::string path = StageFile(), next = StageFile("next.mp3");
  Player p(true);
  p.onOpen = [&] { p.movie->SetNextFileName(next); };
  p.movie->SetFileName(path);
  ASSERT_TRUE(p.Started());
  p.Play(300);
  p.movie->Stop();
  EXPECT_EQ(p.movie->Position(), 0);
  EXPECT_EQ(p.movie->NextFileName(), "");
  EXPECT_EQ(p.movie->PlayState(), mpStopped);
  ASSERT_TRUE(p.Closed());
  p.platform.time.AdvanceMs(500);
  p.Settle();
  EXPECT_EQ(p.out->PlayedFrames(), 13230) << "what was queued is not heard";
  p.movie->Run();
  p.Play(1500);
  ASSERT_TRUE(p.Until([&] { return p.movie->Position() == p.movie->Length(); }));
  const Pcm whole = Expected(path, false);
  EXPECT_TRUE(
      SameSound(p.out->Played(), Concat(Pcm(whole.begin(), whole.begin() + 13230 * 2), whole)));
  EXPECT_EQ(p.movie->FileName(), path) << "the queue went with Stop";
}

TEST_F(ActiveMovieTest, AnUnderrunIsRecoveredAndCountedAndLosesNoSample) {
  const std::string path = StageFile();
  Player p(true);
  p.movie->SetFileName(path);
  ASSERT_TRUE(p.Started());
  p.Play(200);
  p.platform.time.AdvanceMs(900);  // the device runs dry: nobody fed it for 0.9 s
  ASSERT_TRUE(p.Until([&] { return p.movie->Underruns() == 1; }));
  p.Settle();  // the device is full again before the clock moves on
  p.Play(1500);
  ASSERT_TRUE(p.Until([&] { return p.movie->Position() == p.movie->Length(); }));
  EXPECT_TRUE(SameSound(p.out->Played(), Expected(path, false)));
  EXPECT_EQ(p.movie->Underruns(), 1);
}

// ---- Run-on -----------------------------------------------------------------------------------

// The upward zero crossings of the left channel (440 Hz) that fall off the grid of the endless
// tone, shifted by `shift` frames: a lost, repeated or moved stretch shows.
int OffGrid(const Pcm& pcm, std::size_t from, std::size_t to, double shift) {
  const double period = 44100.0 / 440;
  int off = 0;
  for (double c : testing::ToneCrossings(pcm, 2, from, to)) {
    const double cycles = (c - shift) / period;
    if (std::abs(cycles - std::round(cycles)) * period > 1.0) ++off;
  }
  return off;
}

TEST_F(ActiveMovieTest, TwoFilesCutFromOneStreamPlayAsThatStreamWithNothingBetween) {
  struct Case {
    std::string what, a, b;
    bool tagged;
    std::size_t cut;  // where the stream was cut, in frames
  };
  // Two segments of one recording, as the recorder writes them: one encoder stream switched
  // from one file to the next between two capture buffers.
  ASSERT_TRUE(testing::EncodeRunWithStage({dir_ / "run_a.mp3", dir_ / "run_b.mp3"},
                                          testing::Tone(2 * 26624, 2, 44100), 2, br128, 26624));
  const Case cases[] = {
      {"encoder stage, no tag", StageFile("a.mp3", 26460), StageFile("b.mp3", 26460, 26460), false,
       26460},
      {"recorder segments, tagged", dir_ / "run_a.mp3", dir_ / "run_b.mp3", true, 26624},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Player p;
    p.onOpen = [&] { p.movie->SetNextFileName(k.b); };
    p.movie->SetFileName(k.a);
    ASSERT_TRUE(p.Opened());
    const std::int64_t lengthA = p.movie->Length();
    ASSERT_TRUE(p.Until([&] { return p.Saw("next " + k.b); }));
    ASSERT_TRUE(p.PlayedOut());
    ASSERT_TRUE(p.Closed());
    const Pcm a = Expected(k.a, k.tagged), b = Expected(k.b, k.tagged);
    const Pcm played = p.out->Played();
    EXPECT_TRUE(SameSound(played, Concat(a, b)));
    EXPECT_EQ(p.movie->FileName(), k.b);
    EXPECT_EQ(p.movie->Length(), static_cast<std::int64_t>(b.size() / 2));
    EXPECT_EQ(p.out->Events(), std::vector<std::string>({"open 44100 2", "close"}))
        << "one device from the first sample to the last";
    // Only an untagged first file's end padding stands between the two halves of the stream.
    const double padding = static_cast<double>(lengthA) - static_cast<double>(k.cut);
    if (k.tagged) {
      EXPECT_EQ(padding, 0);
      EXPECT_EQ(played.size() / 2, 2 * k.cut) << "every sample recorded, once";
    } else {
      EXPECT_GT(padding, 0);
      EXPECT_LT(padding, 2 * 1152);
    }
    const std::size_t join = static_cast<std::size_t>(lengthA);
    EXPECT_EQ(OffGrid(played, 1200, k.cut - 1200, 0), 0);
    EXPECT_EQ(OffGrid(played, join + 1200, played.size() / 2 - 1200, padding), 0);
    std::cout << k.what << ": join_gap_samples="
              << static_cast<std::int64_t>(played.size() / 2) - lengthA - (p.movie->Length())
              << " padding_samples=" << padding << "\n";
  }
}

TEST_F(ActiveMovieTest, TheNextFileIsTheFileWhenItsFirstSampleIsHeard) {
  const std::string a = StageFile("a.mp3", 26460), b = StageFile("b.mp3", 26460, 26460);
  Player p(true);
  std::int64_t playedAtEvent = -1;
  p.movie->OnNextFile = [&](TMediaControl*) { playedAtEvent = p.out->PlayedFrames(); };
  p.onOpen = [&] { p.movie->SetNextFileName(b); };
  p.movie->SetFileName(a);
  ASSERT_TRUE(p.Started());
  const std::int64_t lengthA = p.movie->Length();
  const double durationA = p.movie->Duration();
  double last = 0;
  while (playedAtEvent < 0) {
    ASSERT_LT(p.out->PlayedFrames(), 3 * lengthA) << "no event";
    p.Play(50);
    if (playedAtEvent >= 0) break;
    EXPECT_EQ(p.movie->FileName(), a);
    EXPECT_GE(p.movie->CurrentPosition(), last);
    EXPECT_LE(p.movie->CurrentPosition(), durationA);
    EXPECT_EQ(p.movie->Position(), std::min(p.out->PlayedFrames(), lengthA));
    last = p.movie->CurrentPosition();
  }
  EXPECT_GT(playedAtEvent, lengthA) << "the first sample of the next file was heard";
  EXPECT_LE(playedAtEvent, lengthA + 2205);
  EXPECT_EQ(p.movie->FileName(), b);
  EXPECT_EQ(p.movie->Position(), p.out->PlayedFrames() - lengthA);
  EXPECT_EQ(p.out->Events(), std::vector<std::string>({"open 44100 2"}));
}

TEST_F(ActiveMovieTest, ASeekBeforeTheJoinIsHeardKeepsTheQueue) {
  const std::string a = StageFile("a.mp3", 26460), b = StageFile("b.mp3", 26460, 26460);
  struct Case {
    const char* what;
    double seconds;
  };
  // At 0.3 s the device holds the first file's end and the next one's start.
  const Case cases[] = {{"back into the first file", 0.1}, {"past its end", 5.0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Player p(true);
    p.onOpen = [&] { p.movie->SetNextFileName(b); };
    p.movie->SetFileName(a);
    ASSERT_TRUE(p.Started());
    const std::int64_t lengthA = p.movie->Length();
    p.Play(300);
    ASSERT_GT(p.out->Written(), lengthA) << "the next file is being written";
    p.movie->SetCurrentPosition(k.seconds);
    const std::int64_t target = std::min<std::int64_t>(std::lround(k.seconds * 44100), lengthA);
    EXPECT_EQ(p.movie->Position(), target);
    p.Settle();
    EXPECT_EQ(p.movie->NextFileName(), b);
    EXPECT_EQ(p.movie->FileName(), a);
    p.Play(2500);
    ASSERT_TRUE(p.Until([&] { return p.Saw("next " + b); }));
    const Pcm whole = Expected(a, false), from = Expected(a, false, target);
    EXPECT_TRUE(SameSound(
        p.out->Played(),
        Concat(Concat(Pcm(whole.begin(), whole.begin() + 13230 * 2), from), Expected(b, false))));
    EXPECT_EQ(std::count(p.events.begin(), p.events.end(), "next " + b), 1);
  }
}

TEST_F(ActiveMovieTest, AnotherRateOrChannelCountReopensTheDevice) {
  const std::string a = StageFile("a.mp3", 22050), b = BindingFile("b.mp3", 1);
  Player p;
  p.onOpen = [&] { p.movie->SetNextFileName(b); };
  p.movie->SetFileName(a);
  ASSERT_TRUE(p.Opened());
  ASSERT_TRUE(p.Until([&] { return p.Saw("next " + b); }));
  ASSERT_TRUE(p.PlayedOut());
  ASSERT_TRUE(p.Closed());
  EXPECT_EQ(p.out->Events(),
            std::vector<std::string>({"open 44100 2", "close", "open 24000 1", "close"}));
  EXPECT_TRUE(SameSound(p.out->Played(), Concat(Expected(a, false), Expected(b, false))));
  EXPECT_EQ(p.movie->Rate(), 24000);
}

TEST_F(ActiveMovieTest, AFileCutShortPlaysToItsLastWholeFrameAndRunsOn) {
  const std::string whole = StageFile("whole.mp3", 22050), crashed = CrashedFile();
  const std::string next = TaggedFile("next.mp3");  // the recorder's next segment
  struct Case {
    std::string what;
    std::vector<std::uint8_t> bytes;
    std::string playsAs;  // a file whose decoding is what the control must play; empty: itself
    std::string cutFrom;  // a file whose decoding has the one frame more that was cut
  };
  std::vector<std::uint8_t> cut = ReadBytes(whole);
  cut.resize(cut.size() - 50);  // into the last frame
  const std::string part = StageFile("part.mp3", 11025);
  std::vector<std::uint8_t> garbage = ReadBytes(part);
  const std::string text(3000, 'x');
  garbage.insert(garbage.end(), text.begin(), text.end());
  const std::vector<std::uint8_t> rest = ReadBytes(whole);
  garbage.insert(garbage.end(), rest.begin(), rest.end());
  const Case cases[] = {
      {"cut in the middle of a frame", cut, "", whole},
      // The encoder's output stops inside a frame, and its placeholder tag was never rewritten.
      {"as a kill -9 leaves it", ReadBytes(crashed), "", ""},
      {"garbage in the middle", garbage, part, ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string path = dir_ / "damaged.mp3";
    WriteBytes(path, k.bytes);
    if (!k.cutFrom.empty()) {
      ASSERT_EQ(testing::DecodeFile(path).samples, testing::DecodeFile(k.cutFrom).samples - 1152)
          << "the cut frame";
    }
    const Pcm want = Expected(k.playsAs.empty() ? path : k.playsAs, false);
    Player p;
    p.onOpen = [&] { p.movie->SetNextFileName(next); };
    p.movie->SetFileName(path);
    ASSERT_TRUE(p.Opened());
    EXPECT_EQ(p.movie->Length(), static_cast<std::int64_t>(want.size() / 2));
    ASSERT_TRUE(p.Until([&] { return p.Saw("next " + next); }));
    ASSERT_TRUE(p.PlayedOut());
    EXPECT_TRUE(SameSound(p.out->Played(), Concat(want, Expected(next, true))));
    EXPECT_EQ(p.out->Events().front(), "open 44100 2");
    EXPECT_EQ(p.platform.messages.shown.size(), 0u);
  }
}

// ---- Failures ---------------------------------------------------------------------------------

TEST_F(ActiveMovieTest, AFileThatCannotBeOpenedIsShownAndTheControlGoesOn) {
  const std::string noMpeg = "Failed to find valid MPEG data within limit on resync. (code 28)";
  struct Case {
    std::string what, name, content, reason;
  };
  const Case cases[] = {
      {"zero bytes", "empty.mp3", "", noMpeg},
      {"text named .mp3", "text.mp3", "This is not a recording.\n", noMpeg},
      {"missing", "missing.mp3", "", SystemErrorText(ENOENT)},
  };
  const std::string good = StageFile();
  Player p;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string path = dir_ / k.name;
    if (k.name != "missing.mp3") dir_.Write(k.name, k.content);
    p.events.clear();
    p.platform.messages.shown.clear();
    p.movie->SetFileName(path);
    ASSERT_TRUE(p.Until([&] { return p.Saw("error"); }));
    EXPECT_EQ(p.platform.messages.Texts(),
              std::vector<std::string>({FailureText("Open " + path, k.reason)}));
    EXPECT_EQ(p.events, std::vector<std::string>({"error"})) << "no open-complete";
    EXPECT_EQ(p.movie->FileName(), path);
    EXPECT_EQ(p.movie->Duration(), 0);
    EXPECT_EQ(p.movie->PlayState(), mpStopped);
  }
  p.events.clear();
  p.movie->SetFileName(good);
  ASSERT_TRUE(p.Opened());
  ASSERT_TRUE(p.PlayedOut());
  EXPECT_TRUE(SameSound(p.out->Played(), Expected(good, false)));
}

TEST_F(ActiveMovieTest, AFailedOpenOfTheQueuedFileDropsTheQueueAndTheFilePlaysOn) {
  const std::string path = StageFile();
  dir_.Write("broken.mp3", "not sound");
  Player p;
  p.onOpen = [&] { p.movie->SetNextFileName(dir_ / "broken.mp3"); };
  p.movie->SetFileName(path);
  ASSERT_TRUE(p.Opened());
  ASSERT_TRUE(p.Until([&] { return p.Saw("error"); }));
  EXPECT_EQ(p.movie->NextFileName(), "");
  ASSERT_TRUE(p.PlayedOut());
  EXPECT_TRUE(SameSound(p.out->Played(), Expected(path, false)));
  EXPECT_EQ(p.platform.messages.shown.size(), 1u);
  EXPECT_EQ(p.movie->FileName(), path);
}

TEST_F(ActiveMovieTest, ARefusedDeviceIsShownAndRunTriesAgain) {
  const std::string path = StageFile();
  Player p;
  p.out->RefuseOpen(-EBUSY);
  p.movie->SetFileName(path);
  ASSERT_TRUE(p.Opened());
  ASSERT_TRUE(p.Until([&] { return p.Saw("error"); }));
  EXPECT_EQ(
      p.platform.messages.Texts(),
      std::vector<std::string>({FailureText("Open playback device null", SystemErrorText(EBUSY))}));
  EXPECT_EQ(p.movie->PlayState(), mpStopped);
  EXPECT_EQ(p.movie->Position(), 0);
  p.out->RefuseOpen(0);
  p.movie->Run();
  ASSERT_TRUE(p.PlayedOut());
  EXPECT_TRUE(SameSound(p.out->Played(), Expected(path, false)));
}

TEST_F(ActiveMovieTest, ALostDeviceStopsTheControlWhereItWasHeardAndDropsTheQueue) {
  const std::string path = StageFile(), next = StageFile("next.mp3");
  Player p;
  p.out->LoseAfter(10000, -ENODEV);
  p.onOpen = [&] { p.movie->SetNextFileName(next); };
  p.movie->SetFileName(path);
  ASSERT_TRUE(p.Opened());
  ASSERT_TRUE(p.Until([&] { return p.Saw("error"); }));
  EXPECT_EQ(
      p.platform.messages.Texts(),
      std::vector<std::string>({FailureText("Playback device null", SystemErrorText(ENODEV))}));
  EXPECT_EQ(p.movie->PlayState(), mpStopped);
  EXPECT_EQ(p.movie->NextFileName(), "");
  EXPECT_EQ(p.movie->Position(), 10000);
  p.out->LoseAfter(-1, 0);
  p.movie->Run();
  ASSERT_TRUE(p.PlayedOut());
  EXPECT_TRUE(SameSound(p.out->Played(), Expected(path, false))) << "on from where it was heard";
  EXPECT_EQ(p.movie->FileName(), path);
}

// ---- Opening and closing ------------------------------------------------------------------------

TEST_F(ActiveMovieTest, ANewerNameOrStopCancelsAnOpenInProgress) {
  // A long file (the frames of one second again and again: 12 MB) takes many steps to walk.
  const std::string small = StageFile(), big = dir_ / "big.mp3";
  {
    const std::vector<std::uint8_t> second = ReadBytes(StageFile("second.mp3", 44100));
    std::ofstream out(big, std::ios::binary);
    for (int i = 0; i < 3000; ++i)
      out.write(reinterpret_cast<const char*>(second.data()),
                static_cast<std::streamsize>(second.size()));
  }
  Player p;
  p.movie->SetFileName(big);
  p.movie->SetFileName(small);
  ASSERT_TRUE(p.Opened());
  ASSERT_TRUE(p.PlayedOut());
  EXPECT_EQ(p.events, std::vector<std::string>({"open " + small}));
  EXPECT_TRUE(SameSound(p.out->Played(), Expected(small, false)));

  p.events.clear();
  p.movie->SetFileName(big);
  p.movie->Stop();
  p.Idle(300);
  EXPECT_TRUE(p.events.empty());
  EXPECT_EQ(p.movie->FileName(), big);
  EXPECT_EQ(p.movie->Duration(), 0);
  EXPECT_EQ(p.movie->PlayState(), mpStopped);
  EXPECT_EQ(p.platform.messages.shown.size(), 0u);
}

TEST_F(ActiveMovieTest, ClosingWhilePlayingJoinsTheThreadAndNoPostedCallRunsAfter) {
  const std::string path = StageFile();
  {
    Player p(true);
    p.movie->SetFileName(path);
    ASSERT_TRUE(p.Started());
    p.Play(100);
    p.movie.reset();  // playing, its thread waiting on the device
  }
  Player p;
  p.movie->SetFileName(path);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (p.platform.mainThread.Pending() == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_GT(p.platform.mainThread.Pending(), 0u) << "the open-complete is posted";
  p.movie.reset();
  p.platform.mainThread.RunUntilEmpty();
  EXPECT_TRUE(p.events.empty());
}

}  // namespace
}  // namespace zq
