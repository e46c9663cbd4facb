#include "player/activemovie.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>
#include <stdexcept>
#include <vector>

#include "platform/errortext.h"
#include "player/mp3source.h"

namespace zq {
namespace {

constexpr std::size_t kWalkStep = 1 << 20;  // bytes walked between two fills of the device
constexpr long kChunkFrames = 4096;         // sample frames decoded at once
constexpr int kWriteWaitMs = 20;            // the longest wait for room while playing
constexpr int kEndWaitMs = 5;               // how often the end is looked for once written
constexpr int kIdleWaitMs = 200;

enum TFailure { fkOpen, fkNext, fkDevice };

}  // namespace

// What the main thread asks of the playback thread, and what that thread tells back. Guarded by
// TActiveMovie::lock_.
struct TActiveMovie::Shared {
  // Written by the main thread.
  std::uint64_t openSerial = 0;  // a new file to open, or (empty path) nothing
  std::string openPath;
  std::uint64_t startSerial = 0;  // the open-complete handler of that file has returned
  std::uint64_t command = 0;      // counts the seeks and the changes of the queue
  std::uint64_t queueAfter = 0;   // the file the queue follows
  std::uint64_t nextSerial = 0;
  std::string nextPath;
  std::uint64_t seekCommand = 0;
  std::uint64_t seekSerial = 0;
  std::int64_t seekSample = 0;
  std::uint64_t ackSerial = 0;  // the queued file the main thread took as the file
  TMoviePlayState run = mpStopped;
  bool quit = false;
  // Written by the playback thread.
  std::uint64_t seenCommand = 0;  // the heard position below reflects every command up to it
  std::uint64_t heardSerial = 0;
  std::int64_t heardSample = 0;
  std::int64_t underruns = 0;
};

// The playback thread's side. Everything here belongs to that thread, except what it reads and
// writes of Shared under the control's lock.
class TActiveMovie::Engine {
 public:
  explicit Engine(TActiveMovie& owner) : owner_(owner), out_(*owner.output_) {}
  void Run();

 private:
  struct Track {
    std::uint64_t serial = 0;
    std::unique_ptr<TMp3Source> source;
    TMp3Source::TPrepareStep step = TMp3Source::psMore;
    explicit operator bool() const { return source != nullptr; }
    bool Ready() const { return source != nullptr && step == TMp3Source::psReady; }
  };
  // The device frame at which a file's sample was written.
  struct Mark {
    std::int64_t deviceFrame;
    std::uint64_t serial;
    std::int64_t sample;
  };
  struct Heard {
    std::uint64_t serial = 0;
    std::int64_t sample = 0;
  };

  void Apply(const Shared& s);
  bool Work();
  void Publish();
  void Settle();

  void Reset(std::uint64_t serial);
  void Start();
  void Reposition(std::int64_t sample);
  void Unjoin(std::int64_t sample);
  void Hold();
  void Fill();
  bool Join();
  void Drain();
  bool Prepare(Track& track, TFailure kind);
  bool EnsureDevice(long rate, int channels);
  bool DeviceDelay(long& frames);
  Heard Hearing();
  Heard Place(std::int64_t deviceFrame);
  void CloseDevice();
  void StopForFailure(const std::string& operation, int code);
  void DeviceFailed(const std::string& operation, int code);
  void PostFailure(std::uint64_t serial, const std::string& text, TFailure kind);

  static Track Take(Track& t) {
    Track out = std::move(t);
    t = Track{};
    return out;
  }

  TActiveMovie& owner_;
  TPlaybackOutput& out_;
  Shared seen_;                 // the commands acted on
  std::uint64_t seekDone_ = 0;  // the last seek carried out (or found to be of a file gone)
  TMoviePlayState run_ = mpStopped;
  Track opening_;  // being opened; becomes cur_ when its handler has returned
  Track cur_;      // being written
  Track prev_;     // written to its end; kept until the main thread takes cur_ as the file
  Track next_;     // queued
  std::uint64_t dropped_ = 0;  // a queued file dropped here, not to be taken up again
  bool curEnded_ = false;      // cur_ has nothing more to decode
  bool drained_ = false;       // ... and was heard to its end, the device let go

  bool deviceOpen_ = false;
  bool devicePaused_ = false;
  long deviceRate_ = 0;
  int deviceChannels_ = 0;
  // The timeline of the device: frames written since it last started empty, and where each
  // file's run of samples begins in it. Before the first mark is heard, rest_ is heard.
  std::int64_t written_ = 0;
  std::int64_t lastDelay_ = 0;  // as the device said last
  std::deque<Mark> marks_;
  Heard rest_;
  Heard heard_;
  std::uint64_t announced_ = 0;  // the file the main thread last learnt of

  std::string failure_;  // of the device, to be told

  std::vector<std::int16_t> pending_;  // decoded, not yet taken by the device
  long pendingAt_ = 0, pendingFrames_ = 0;
};

void TActiveMovie::Engine::Run() {
  for (;;) {
    Shared s;
    {
      std::lock_guard guard(owner_.lock_);
      s = *owner_.shared_;
    }
    if (s.quit) break;
    Apply(s);
    const bool more = Work();
    Publish();
    if (!more) Settle();
  }
  CloseDevice();
}

void TActiveMovie::Engine::Apply(const Shared& s) {
  if (s.openSerial != seen_.openSerial) {
    Reset(s.openSerial);
    if (!s.openPath.empty())
      opening_ = Track{s.openSerial, std::make_unique<TMp3Source>(s.openPath)};
  }
  if (opening_.Ready() && s.startSerial == opening_.serial) Start();
  if (prev_ && s.ackSerial == cur_.serial) prev_ = Track{};
  if (s.command != seen_.command) {
    // The main thread still calls the file before the join its own: it is again.
    if (prev_) Unjoin(heard_.serial == prev_.serial ? heard_.sample : prev_.source->Length());
    const std::uint64_t follows = cur_ ? cur_.serial : opening_.serial;
    if (s.queueAfter == follows && s.nextSerial != next_.serial) {
      next_ = Track{};
      if (s.nextSerial != 0 && s.nextSerial != dropped_)
        next_ = Track{s.nextSerial, std::make_unique<TMp3Source>(s.nextPath)};
    }
  }
  // A seek made in the open-complete handler waits for the start; one of a file gone is done.
  if (s.seekCommand != seekDone_) {
    if (cur_ && s.seekSerial == cur_.serial) {
      Reposition(s.seekSample);
      seekDone_ = s.seekCommand;
    } else if (!opening_ || s.seekSerial != opening_.serial) {
      seekDone_ = s.seekCommand;
    }
  }
  if (s.run != run_) {
    const TMoviePlayState from = run_;
    run_ = s.run;
    if (run_ == mpStopped) {
      CloseDevice();
    } else if (run_ == mpPaused) {
      Hold();
    } else if (from == mpPaused && devicePaused_) {
      devicePaused_ = false;
      const int r = out_.Pause(false);
      if (r < 0) DeviceFailed("Playback device", r);
    }
  }
  seen_ = s;
}

// One round of work: the open in progress a step further, the device filled, the queued file a
// step further. True when a step is left to do.
bool TActiveMovie::Engine::Work() {
  bool more = opening_ && opening_.step == TMp3Source::psMore && Prepare(opening_, fkOpen);
  if (cur_ && run_ == mpRunning && !devicePaused_) {
    Fill();
    if (cur_ && run_ == mpRunning && curEnded_ && pendingFrames_ == 0) {
      if (Join())
        Fill();
      else
        Drain();
    }
  }
  if (next_ && next_.step == TMp3Source::psMore && Prepare(next_, fkNext)) more = true;
  return more;
}

// A step of walking `track`; true when more is left. The open's end is posted.
bool TActiveMovie::Engine::Prepare(Track& track, TFailure kind) {
  track.step = track.source->Prepare(kWalkStep);
  if (track.step == TMp3Source::psMore) return true;
  if (track.step == TMp3Source::psFailed) {
    PostFailure(track.serial, track.source->Error(), kind);
    if (kind == fkNext) dropped_ = track.serial;
    track = Track{};
  } else if (kind == fkOpen) {
    const TMp3Source& f = *track.source;
    owner_.Post([&owner = owner_, serial = track.serial, rate = f.Rate(), length = f.Length()] {
      owner.OpenCompleted(serial, rate, length);
    });
  }
  return false;
}

void TActiveMovie::Engine::Reset(std::uint64_t serial) {
  CloseDevice();
  opening_ = Track{};
  cur_ = Track{};
  prev_ = Track{};
  next_ = Track{};
  curEnded_ = drained_ = false;
  written_ = lastDelay_ = 0;
  marks_.clear();
  pendingFrames_ = 0;
  rest_ = heard_ = {serial, 0};
  announced_ = serial;
}

void TActiveMovie::Engine::Start() {
  cur_ = Take(opening_);
  announced_ = cur_.serial;
  Reposition(0);
}

// The device emptied, cur_ decoding from `sample`, and a new timeline from there.
void TActiveMovie::Engine::Reposition(std::int64_t sample) {
  if (deviceOpen_) {
    devicePaused_ = false;
    const int r = out_.Drop();
    if (r < 0) StopForFailure("Playback device", r);
  }
  pendingFrames_ = 0;
  drained_ = false;
  // A decoder that fails here ends the file there.
  curEnded_ = !cur_.source->Seek(sample);
  const std::int64_t at = curEnded_ ? sample : cur_.source->Position();
  written_ = lastDelay_ = 0;
  marks_.assign(1, Mark{0, cur_.serial, at});
  rest_ = heard_ = {cur_.serial, at};
}

void TActiveMovie::Engine::Unjoin(std::int64_t sample) {
  next_ = Take(cur_);
  if (!next_.source->Seek(0)) next_ = Track{};
  cur_ = Take(prev_);
  announced_ = cur_.serial;
  Reposition(sample);
}

void TActiveMovie::Engine::Hold() {
  if (!deviceOpen_ || written_ == 0) return;  // nothing plays
  const int r = out_.Pause(true);
  if (r == 0) {
    devicePaused_ = true;
  } else if (r == -ENOSYS) {
    // Drop what is queued and go on later from the sample being heard.
    const Heard h = Hearing();
    if (prev_ && h.serial == prev_.serial)
      Unjoin(h.sample);
    else if (cur_ && h.serial == cur_.serial)
      Reposition(h.sample);
  } else {
    DeviceFailed("Playback device", r);
  }
}

// Writes until the device is full or cur_ has nothing more.
void TActiveMovie::Engine::Fill() {
  const TMp3Source& f = *cur_.source;
  while (cur_ && !devicePaused_) {
    if (pendingFrames_ == 0) {
      if (curEnded_) return;
      pending_.resize(static_cast<std::size_t>(kChunkFrames * f.Channels()));
      const long n = cur_.source->Read(pending_.data(), kChunkFrames);
      if (n <= 0) {  // the end, or a decoding failure that ends the file
        curEnded_ = true;
        return;
      }
      pendingAt_ = 0;
      pendingFrames_ = n;
    }
    if (!EnsureDevice(f.Rate(), f.Channels())) return;
    const long w = out_.Write(pending_.data() + pendingAt_ * f.Channels(), pendingFrames_);
    if (w == -EPIPE || w == -ESTRPIPE) {
      const int r = out_.Recover(static_cast<int>(w));
      if (r < 0) return DeviceFailed("Playback device", r);
      std::lock_guard guard(owner_.lock_);
      ++owner_.shared_->underruns;
      continue;
    }
    if (w < 0) return DeviceFailed("Playback device", static_cast<int>(w));
    if (w == 0) return;  // full
    written_ += w;
    pendingAt_ += w;
    pendingFrames_ -= w;
  }
}

// cur_ is written to its end: the queued file follows it, once it is walked (and, when its
// format differs, once the device has played the rest and is opened again). True when joined.
bool TActiveMovie::Engine::Join() {
  if (!next_.Ready()) return false;
  const TMp3Source& n = *next_.source;
  if (deviceOpen_ && (n.Rate() != deviceRate_ || n.Channels() != deviceChannels_)) {
    long delay = 0;
    if (!DeviceDelay(delay) || delay > 0) return false;
    rest_ = {cur_.serial, cur_.source->Length()};
    CloseDevice();
    written_ = lastDelay_ = 0;
    marks_.clear();
  }
  prev_ = Take(cur_);
  cur_ = Take(next_);
  curEnded_ = drained_ = false;
  marks_.push_back(Mark{written_, cur_.serial, cur_.source->Position()});
  return true;
}

// cur_ is written to its end and nothing follows yet: once it has been heard to the end, the
// device is let go and the position is the file's length.
void TActiveMovie::Engine::Drain() {
  if (drained_ || next_) return;
  long delay = 0;
  if (deviceOpen_ && (!DeviceDelay(delay) || delay > 0)) return;
  CloseDevice();
  written_ = lastDelay_ = 0;
  marks_.clear();
  rest_ = heard_ = {cur_.serial, cur_.source->Length()};
  drained_ = true;
}

bool TActiveMovie::Engine::EnsureDevice(long rate, int channels) {
  if (deviceOpen_) return true;
  const int r = out_.Open(rate, channels);
  if (r < 0) {
    DeviceFailed("Open playback device", r);
    return false;
  }
  deviceOpen_ = true;
  deviceRate_ = rate;
  deviceChannels_ = channels;
  return true;
}

bool TActiveMovie::Engine::DeviceDelay(long& frames) {
  const int r = out_.Delay(frames);
  if (r < 0) DeviceFailed("Playback device", r);
  return r >= 0;
}

// The sample being heard: the frames written less the device's delay, placed on the timeline.
TActiveMovie::Engine::Heard TActiveMovie::Engine::Hearing() {
  if (!deviceOpen_ || marks_.empty()) return rest_;
  long delay = 0;
  if (!DeviceDelay(delay)) return rest_;
  lastDelay_ = delay;
  return Place(written_ - std::min<std::int64_t>(delay, written_));
}

TActiveMovie::Engine::Heard TActiveMovie::Engine::Place(std::int64_t deviceFrame) {
  while (marks_.size() > 1 && marks_[1].deviceFrame < deviceFrame)
    marks_.pop_front();
  if (marks_.empty() || marks_.front().deviceFrame >= deviceFrame) return rest_;
  const Mark& m = marks_.front();
  return {m.serial, m.sample + (deviceFrame - m.deviceFrame)};
}

void TActiveMovie::Engine::Publish() {
  const Heard h = Hearing();
  heard_ = h;
  {
    std::lock_guard guard(owner_.lock_);
    owner_.shared_->heardSerial = h.serial;
    owner_.shared_->heardSample = h.sample;
    // A seek still waiting for its file's start is not reflected yet.
    owner_.shared_->seenCommand =
        seen_.seekCommand != seekDone_ ? seen_.seekCommand - 1 : seen_.command;
  }
  if (!failure_.empty()) {
    PostFailure(0, failure_, fkDevice);
    failure_.clear();
  }
  if (cur_ && h.serial == cur_.serial && cur_.serial != announced_) {
    announced_ = cur_.serial;
    const TMp3Source& f = *cur_.source;
    owner_.Post([&owner = owner_, serial = cur_.serial, command = seen_.command, rate = f.Rate(),
                 length = f.Length()] { owner.NextStarted(serial, command, rate, length); });
  }
}

void TActiveMovie::Engine::Settle() {
  if (cur_ && run_ == mpRunning && !devicePaused_ && !drained_) {
    if (curEnded_ && pendingFrames_ == 0)
      out_.Wait(kEndWaitMs, false);  // for the end to be heard, or the queued file
    else
      out_.Wait(kWriteWaitMs, true);
  } else {
    out_.Wait(kIdleWaitMs, false);
  }
}

void TActiveMovie::Engine::CloseDevice() {
  if (!deviceOpen_) return;
  out_.Close();
  deviceOpen_ = devicePaused_ = false;
}

// The device failed: the control stops with its queue dropped. The message goes once the state
// it leaves has been published, so whoever reads it sees that state.
void TActiveMovie::Engine::StopForFailure(const std::string& operation, int code) {
  failure_ = FailureText(operation + " " + out_.Name(), out_.ErrorText(code));
  CloseDevice();
  if (next_) dropped_ = next_.serial;
  if (seen_.nextSerial != 0) dropped_ = seen_.nextSerial;
  next_ = Track{};
  run_ = mpStopped;
  std::lock_guard guard(owner_.lock_);
  owner_.shared_->run = mpStopped;
}

// ... and Run goes on from the sample heard last, as far as the device told it.
void TActiveMovie::Engine::DeviceFailed(const std::string& operation, int code) {
  const Heard h = deviceOpen_ ? Place(written_ - std::min(lastDelay_, written_)) : heard_;
  StopForFailure(operation, code);
  if (prev_ && h.serial == prev_.serial) cur_ = Take(prev_);
  prev_ = Track{};
  if (cur_) Reposition(h.serial == cur_.serial ? h.sample : 0);
}

void TActiveMovie::Engine::PostFailure(std::uint64_t serial, const std::string& text,
                                       TFailure kind) {
  owner_.Post([&owner = owner_, serial, text, kind] {
    owner.Failed(serial, text, static_cast<int>(kind));
  });
}

// ---- The main thread's side -------------------------------------------------------------------

TActiveMovie::TActiveMovie(const Services& services, std::unique_ptr<TPlaybackOutput> output)
    : services_(services),
      output_(output != nullptr ? std::move(output) : MakeAlsaPlaybackOutput("default")),
      alive_(std::make_shared<bool>(true)),
      shared_(std::make_unique<Shared>()) {
  if (services_.mainThread == nullptr || services_.messages == nullptr)
    throw std::invalid_argument("TActiveMovie needs the main thread and the messages");
  engine_ = std::make_unique<Engine>(*this);
  thread_ = std::thread([this] { engine_->Run(); });
}

TActiveMovie::~TActiveMovie() {
  {
    std::lock_guard guard(lock_);
    shared_->quit = true;
  }
  output_->Wake();
  thread_.join();
  *alive_ = false;
}

void TActiveMovie::Command(const std::function<void(Shared&)>& change) {
  {
    std::lock_guard guard(lock_);
    change(*shared_);
  }
  output_->Wake();
}

void TActiveMovie::Post(std::function<void()> call) {
  services_.mainThread->Post([alive = alive_, call = std::move(call)] {
    if (*alive) call();
  });
}

void TActiveMovie::Fire(const TMovieEvent& event) {
  if (event) services_.messages->Guard([&] { event(this); });
}

void TActiveMovie::SetFileName(const std::string& path) {
  fileName_ = path;
  nextName_.clear();
  nextSerial_ = 0;
  serial_ = ++lastSerial_;
  state_ = path.empty() ? msIdle : msOpening;
  rate_ = 0;
  length_ = 0;
  seekCommand_ = 0;
  Command([&](Shared& s) {
    s.openSerial = serial_;
    s.openPath = path;
    s.queueAfter = s.nextSerial = 0;
    s.nextPath.clear();
    s.run = path.empty() ? mpStopped : mpRunning;
  });
}

double TActiveMovie::Duration() const {
  return state_ == msOpen && rate_ > 0 ? static_cast<double>(length_) / rate_ : 0.0;
}

std::int64_t TActiveMovie::Position() const {
  if (state_ != msOpen) return 0;
  std::lock_guard guard(lock_);
  if (shared_->seenCommand < seekCommand_) return seekSample_;
  if (shared_->heardSerial == serial_) return std::min(shared_->heardSample, length_);
  if (shared_->heardSerial > serial_) return length_;  // the queued file plays: this one ended
  return 0;
}

double TActiveMovie::CurrentPosition() const {
  return rate_ > 0 ? static_cast<double>(Position()) / rate_ : 0.0;
}

void TActiveMovie::SetCurrentPosition(double seconds) {
  if (state_ != msOpen) return;
  const double at = std::nearbyint(seconds * static_cast<double>(rate_));
  seekSample_ = std::isnan(at) || at < 0             ? 0
                : at >= static_cast<double>(length_) ? length_
                                                     : static_cast<std::int64_t>(at);
  seekCommand_ = ++command_;
  Command([&](Shared& s) {
    s.command = s.seekCommand = command_;
    s.seekSerial = serial_;
    s.seekSample = seekSample_;
  });
}

void TActiveMovie::Run() {
  if (state_ != msIdle) Command([](Shared& s) { s.run = mpRunning; });
}

void TActiveMovie::Pause() {
  if (state_ != msIdle) Command([](Shared& s) { s.run = mpPaused; });
}

void TActiveMovie::Stop() {
  if (state_ == msIdle) return;
  nextName_.clear();
  nextSerial_ = 0;
  if (state_ == msOpening) {  // the open is given up
    state_ = msIdle;
    serial_ = ++lastSerial_;
    Command([&](Shared& s) {
      s.openSerial = serial_;
      s.openPath.clear();
      s.run = mpStopped;
    });
    return;
  }
  seekSample_ = 0;
  seekCommand_ = ++command_;
  Command([&](Shared& s) {
    s.run = mpStopped;
    s.command = s.seekCommand = command_;
    s.seekSerial = s.queueAfter = serial_;
    s.seekSample = 0;
    s.nextSerial = 0;
    s.nextPath.clear();
  });
}

TMoviePlayState TActiveMovie::PlayState() const {
  if (state_ == msIdle) return mpStopped;
  std::lock_guard guard(lock_);
  return shared_->run;
}

void TActiveMovie::SetNextFileName(const std::string& path) {
  if (state_ == msIdle || path == nextName_) return;
  nextName_ = path;
  nextSerial_ = path.empty() ? 0 : ++lastSerial_;
  ++command_;
  Command([&](Shared& s) {
    s.command = command_;
    s.queueAfter = serial_;
    s.nextSerial = nextSerial_;
    s.nextPath = path;
  });
}

std::int64_t TActiveMovie::Underruns() const {
  std::lock_guard guard(lock_);
  return shared_->underruns;
}

void TActiveMovie::OpenCompleted(std::uint64_t serial, long rate, std::int64_t length) {
  if (state_ != msOpening || serial != serial_) return;  // given up since
  state_ = msOpen;
  rate_ = rate;
  length_ = length;
  Fire(OnOpenComplete);
  // Only now may the first sample be written, from where the handler left the position.
  if (state_ == msOpen && serial_ == serial) Command([&](Shared& s) { s.startSerial = serial; });
}

void TActiveMovie::NextStarted(std::uint64_t serial, std::uint64_t command, long rate,
                               std::int64_t length) {
  // A seek or a change of the queue since then undid this join on the playback thread.
  if (state_ != msOpen || serial != nextSerial_ || command != command_) return;
  serial_ = serial;
  fileName_ = nextName_;
  nextName_.clear();
  nextSerial_ = 0;
  rate_ = rate;
  length_ = length;
  Command([&](Shared& s) {
    s.ackSerial = s.queueAfter = serial;
    s.nextSerial = 0;
    s.nextPath.clear();
  });
  Fire(OnNextFile);
}

void TActiveMovie::Failed(std::uint64_t serial, const std::string& text, int kind) {
  const bool dropsQueue = (kind == fkOpen && state_ == msOpening && serial == serial_) ||
                          (kind == fkNext && serial == nextSerial_) || kind == fkDevice;
  if (kind == fkOpen && state_ == msOpening && serial == serial_) state_ = msIdle;
  if (dropsQueue && nextSerial_ != 0) {
    nextName_.clear();
    nextSerial_ = 0;
    Command([](Shared& s) {
      s.nextSerial = 0;
      s.nextPath.clear();
    });
  }
  services_.messages->ShowError(text);
  Fire(OnError);
}

}  // namespace zq
