// How soon "Play" is heard: a 60-minute segment at 320 kbps (one encoded minute's frames again
// and again, without a tag, which would say one minute) among a month of 10-minute names;
// "Play" at its minute 30 on the null output. Measured from the handler's call to the first
// sample written (sample 1800 x rate of the trimmed audio): the folder listed, the file opened
// and every frame walked, the seek, the first frames decoded. The baseline, in the same run, is
// the decoder's own time for one frame; the ratio says how many frame decodes "Play" costs. The
// locator's search is also timed alone.
// The median of several runs after one that fills the page cache. Goal: under 150 ms.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "audio/bladeenc.h"
#include "bench/lame_baseline.h"
#include "platform/segments.h"
#include "player/activemovie.h"
#include "player/frmplay.h"
#include "player/mp3source.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/player/null_output.h"
#include "tests/support/player/segment_files.h"

namespace {

using namespace zq::bench;
using Steady = std::chrono::steady_clock;

constexpr long kRate = 44100;
constexpr int kRuns = 9;
constexpr double kGoalMs = 150;

// The null output, noting when the first frames are written after each Reset.
class TimedOutput final : public zq::TPlaybackOutput {
 public:
  explicit TimedOutput(const zq::Clock* clock) : out_(clock) {}
  void Reset() { first_.store(0); }
  // Until the playback thread has gone through a whole round of its work from now on.
  bool Settle() {
    const std::uint64_t poke = out_.Poke();
    const auto deadline = Steady::now() + std::chrono::seconds(10);
    while (!out_.Settled(poke))
      if (Steady::now() > deadline) return false;
    return true;
  }
  std::int64_t FirstWriteNs() const { return first_.load(); }

  std::string Name() const override { return out_.Name(); }
  std::string ErrorText(int code) const override { return out_.ErrorText(code); }
  int Open(long rate, int channels) override { return out_.Open(rate, channels); }
  void Close() override { out_.Close(); }
  long Write(const std::int16_t* pcm, long frames) override {
    std::int64_t none = 0;
    first_.compare_exchange_strong(none, Steady::now().time_since_epoch().count());
    return out_.Write(pcm, frames);
  }
  int Recover(int code) override { return out_.Recover(code); }
  int Delay(long& frames) override { return out_.Delay(frames); }
  int Drop() override { return out_.Drop(); }
  int Pause(bool hold) override { return out_.Pause(hold); }
  void Wait(int timeoutMs, bool forRoom) override { out_.Wait(timeoutMs, forRoom); }
  void Wake() override { out_.Wake(); }

 private:
  zq::testing::NullOutput out_;
  std::atomic<std::int64_t> first_{0};
};

std::vector<char> Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The folder: every 10-minute segment of December 2009, but 15/12 14:00 .. 15:00 is one segment
// (the hour, whose name is returned). `names` counts the segments.
std::string MakeFolder(const fs::path& dir, int& names) {
  const fs::path minute = dir / "minute.mp3";
  if (!zq::testing::EncodeWithBinding(minute, zq::testing::Tone(60 * kRate, 2, kRate), 2, kRate,
                                      320))
    Fail("encoding a minute failed");
  const std::vector<char> frames = Contents(minute);
  fs::remove(minute);
  const std::string hour = "1512091400a1512091500.mp3";
  {
    std::ofstream out(dir / hour, std::ios::binary);
    for (int m = 0; m < 60; ++m)
      out.write(frames.data(), static_cast<std::streamsize>(frames.size()));
    if (!out) Fail("writing the hour failed");
  }
  names = 1;
  for (int day = 1; day <= 31; ++day)
    for (int m = 0; m < 24 * 60; m += 10) {
      if (day == 15 && m >= 14 * 60 && m < 15 * 60) continue;
      const zq::TDateTime start = zq::EncodeDateTime(2009, 12, day, m / 60, m % 60, 0);
      const std::string name =
          zq::FinishedName(zq::NameStem(start), zq::NameStem(start + 10.0 / 1440));
      std::ofstream(dir / name, std::ios::binary) << "";
      ++names;
    }
  return hour;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The decoder's time for one frame: whole stretches of the hour decoded, per frame.
double DecodeOneFrameUs(const fs::path& path) {
  zq::TMp3Source source(path);
  while (source.Prepare(1 << 24) == zq::TMp3Source::psMore) {
  }
  if (source.Prepare(0) != zq::TMp3Source::psReady) Fail(source.Error());
  std::vector<std::int16_t> pcm(1152 * 2);
  std::vector<double> perFrame;
  for (int run = 0; run < kRuns; ++run) {
    source.Seek((run + 1) * 300 * kRate);
    source.Read(pcm.data(), 1152);  // primed
    constexpr int kFrames = 500;
    const auto t0 = Steady::now();
    for (int f = 0; f < kFrames; ++f)
      if (source.Read(pcm.data(), 1152) != 1152) Fail("decoding stopped short");
    perFrame.push_back(std::chrono::duration<double, std::micro>(Steady::now() - t0).count() /
                       kFrames);
  }
  return Median(perFrame);
}

}  // namespace

int main() {
  zq::beSetLibraryName("libmp3lame.so.0");
  std::string tmpl = (fs::temp_directory_path() / "zq-playerbench-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) Fail(std::string("mkdtemp: ") + std::strerror(errno));
  const fs::path dir = tmpl;
  int names = 0;
  const std::string hour = MakeFolder(dir, names);

  zq::testing::TestPlatform platform;
  TimedOutput* out = nullptr;
  zq::PlayerEnvironment env;
  env.services = platform.services();
  env.iniPath = dir / "cfg.ini";
  env.makeControl = [&] {
    auto output = std::make_unique<TimedOutput>(&platform.time);  // never advanced: 0.5 s taken
    out = output.get();
    return std::make_unique<zq::TActiveMovie>(platform.services(), std::move(output));
  };
  zq::TFrmPlay frm(std::move(env));
  frm.EditView().diretorio = dir.string();
  frm.EditView().calendario = zq::EncodeDate(2009, 12, 15);
  frm.EditView().ledHora = 14;
  frm.EditView().ledMinuto = 30;

  std::vector<double> ms;
  std::int64_t heardFrom = -1;
  for (int run = 0; run <= kRuns; ++run) {
    out->Reset();
    const auto t0 = Steady::now();
    frm.BTocarClick();
    while (out->FirstWriteNs() == 0) {
      platform.mainThread.ProcessPending();
      if (!platform.messages.shown.empty()) Fail(platform.messages.Texts().front());
      if (Steady::now() - t0 > std::chrono::seconds(30)) Fail("nothing was played");
    }
    const std::int64_t first = out->FirstWriteNs();
    if (run > 0) ms.push_back(static_cast<double>(first - t0.time_since_epoch().count()) / 1e6);
    // The device's clock stands still: what is heard is the first sample written, once told.
    const auto& movie = frm.AM_Musica();
    const auto told = Steady::now();
    while (std::lround(movie.CurrentPosition() * kRate) != 1800 * kRate &&
           Steady::now() - told < std::chrono::seconds(1))
      platform.mainThread.ProcessPending();
    heardFrom = std::lround(movie.CurrentPosition() * kRate);
    frm.BStopClick();
    // The stop is carried out before the next run begins to watch the writes.
    if (!out->Settle()) Fail("the playback thread did not stop");
  }
  const double playMs = Median(ms);
  // The locator's share: the month's names listed, matched and sorted for the request.
  std::vector<double> searchMs;
  for (int run = 0; run < kRuns; ++run) {
    zq::TSegmentLocator locator;
    const auto t0 = Steady::now();
    if (locator.Request(dir.string(), zq::EncodeDate(2009, 12, 15), 14, 30) != zq::lrFound)
      Fail("the hour was not found");
    searchMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - t0).count());
  }
  const double frameUs = DecodeOneFrameUs(dir / hour);
  std::error_code ec;
  fs::remove_all(dir, ec);

  if (heardFrom != 1800 * kRate) Fail("the first sample was not minute 30's");
  std::printf("segment_minutes=60 kbps=320 names=%d runs=%d\n", names, kRuns);
  std::printf("play_to_first_sample_ms=%.2f\n", playMs);
  std::printf("search_ms=%.2f\n", Median(searchMs));
  std::printf("decode_one_frame_us=%.2f\n", frameUs);
  std::printf("play_in_frame_decodes=%.0f\n", playMs * 1000 / frameUs);
  std::printf("goal_ms=%.0f met=%s\n", kGoalMs, playMs < kGoalMs ? "yes" : "no");
  return 0;
}
