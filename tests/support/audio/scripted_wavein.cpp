#include "tests/support/audio/scripted_wavein.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace zq::testing {

std::uint32_t RampFrame(const char* frame, const TWaveFormatEx& f) {
  const auto* b = reinterpret_cast<const unsigned char*>(frame);
  std::uint32_t n = 0;
  for (unsigned i = 0; i < f.nBlockAlign && i < 4; ++i)
    n |= static_cast<std::uint32_t>(b[i]) << (8 * i);
  return n;
}

ScriptedWaveIn::ScriptedWaveIn(std::vector<ScriptedDevice> devices)
    : devices_(std::move(devices)) {}

ScriptedWaveIn::~ScriptedWaveIn() {
  {
    std::lock_guard guard(lock_);
    quit_ = true;
  }
  changed_.notify_all();
  if (freeRunner_.joinable()) freeRunner_.join();
}

void ScriptedWaveIn::SetSignal(ScriptedSignal signal, double hz, double amplitude) {
  std::lock_guard guard(lock_);
  signal_ = signal;
  hz_ = hz;
  amplitude_ = amplitude;
}

void ScriptedWaveIn::Fail(Op op, int code) {
  std::lock_guard guard(lock_);
  failing_[op] = code;
}

void ScriptedWaveIn::RefuseFormats(bool refuse) {
  std::lock_guard guard(lock_);
  refuseFormats_ = refuse;
}

void ScriptedWaveIn::WithholdOpenNotice(bool withhold) {
  std::lock_guard guard(lock_);
  withholdOpen_ = withhold;
}

void ScriptedWaveIn::GoneAfter(int buffers, int code) {
  std::lock_guard guard(lock_);
  goneAfter_ = buffers;
  goneCode_ = code;
}

void ScriptedWaveIn::OverrunAfter(int buffers, std::uint32_t framesLost) {
  std::lock_guard guard(lock_);
  overrunAfter_ = buffers;
  overrunFrames_ = framesLost;
}

int ScriptedWaveIn::Failing(Op op) const {
  const auto it = failing_.find(op);
  return it == failing_.end() ? 0 : it->second;
}

bool ScriptedWaveIn::Current(TWaveInHandle handle) const {
  return handle != 0 && handle == handle_;
}

// ---- Signal and delivery
// -------------------------------------------------------------------------

void ScriptedWaveIn::Generate(char* data, std::uint32_t frames) {
  const unsigned channels = format_.nChannels;
  const bool wide = format_.wBitsPerSample == 16;
  for (std::uint32_t i = 0; i < frames; ++i, ++frame_) {
    char* out = data + static_cast<std::size_t>(i) * format_.nBlockAlign;
    if (signal_ == ScriptedSignal::Ramp) {
      const std::uint32_t n = static_cast<std::uint32_t>(frame_);
      for (unsigned b = 0; b < format_.nBlockAlign; ++b)
        out[b] = static_cast<char>(b < 4 ? (n >> (8 * b)) & 0xFF : 0);
      continue;
    }
    double v = 0.0;
    if (signal_ == ScriptedSignal::Sine)
      v = amplitude_ * std::sin(2.0 * std::numbers::pi * hz_ * static_cast<double>(frame_) /
                                format_.nSamplesPerSec);
    for (unsigned c = 0; c < channels; ++c) {
      if (wide) {
        const auto s = static_cast<std::int16_t>(std::lround(v * 32767.0));
        std::memcpy(out + 2 * c, &s, 2);
      } else {
        out[c] = static_cast<char>(static_cast<unsigned char>(128 + std::lround(v * 127.0)));
      }
    }
  }
}

PWaveHdr ScriptedWaveIn::PopHead() {
  PWaveHdr h = queue_.front();
  queue_.pop_front();
  h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  return h;
}

bool ScriptedWaveIn::DeliverOne() {
  if (!running_ || failed_ || queue_.empty()) return false;
  if (goneAfter_ == 0) {
    goneAfter_ = -1;
    failed_ = true;
    running_ = false;
    sink_->WaveInFailed(handle_, goneCode_);
    return false;
  }
  if (overrunAfter_ == 0) {
    overrunAfter_ = -1;
    frame_ += overrunFrames_;
    sink_->WaveInOverrun(handle_, overrunFrames_);
  }
  PWaveHdr h = queue_.front();
  const std::uint32_t frames = h->dwBufferLength / format_.nBlockAlign;
  const std::uint32_t have = h->dwBytesRecorded / format_.nBlockAlign;
  Generate(h->lpData + static_cast<std::size_t>(have) * format_.nBlockAlign, frames - have);
  h->dwBytesRecorded = frames * format_.nBlockAlign;
  PopHead();
  framesDelivered_ += frames;
  pacedFrames_ += frames;
  if (goneAfter_ > 0) --goneAfter_;
  if (overrunAfter_ > 0) --overrunAfter_;
  sink_->WaveInData(handle_, h);
  return true;
}

int ScriptedWaveIn::Deliver(int buffers) {
  std::lock_guard guard(lock_);
  int n = 0;
  while (n < buffers && DeliverOne())
    ++n;
  return n;
}

void ScriptedWaveIn::FillPartially(int frames) {
  std::lock_guard guard(lock_);
  if (queue_.empty() || frames <= 0) return;
  PWaveHdr h = queue_.front();
  const std::uint32_t room = h->dwBufferLength / format_.nBlockAlign - 1;
  const std::uint32_t n = std::min(static_cast<std::uint32_t>(frames), room);
  Generate(h->lpData, n);
  h->dwBytesRecorded = n * format_.nBlockAlign;
}

void ScriptedWaveIn::PaceTo(Clock& clock, TimerService& timers, int tickMs) {
  std::lock_guard guard(lock_);
  clock_ = &clock;
  timers_ = &timers;
  tickMs_ = std::max(tickMs, 1);
}

void ScriptedWaveIn::Tick() {
  std::lock_guard guard(lock_);
  const std::int64_t elapsed = clock_->MonotonicMicros() - paceOrigin_;
  const auto due = static_cast<std::uint64_t>(std::max<std::int64_t>(elapsed, 0)) *
                   format_.nSamplesPerSec / 1000000u;
  while (!queue_.empty() &&
         pacedFrames_ + queue_.front()->dwBufferLength / format_.nBlockAlign <= due)
    if (!DeliverOne()) break;
}

void ScriptedWaveIn::RunFree() {
  std::lock_guard guard(lock_);
  if (freeRunner_.joinable()) return;
  freeRunner_ = std::thread([this] {
    std::unique_lock guard(lock_);
    for (;;) {
      changed_.wait(guard, [this] { return quit_ || (running_ && !failed_ && !queue_.empty()); });
      if (quit_) return;
      DeliverOne();
    }
  });
}

void ScriptedWaveIn::Halt() {
  running_ = false;
  if (timer_ != nullptr) timer_->Stop();
}

// ---- What happened
// ---------------------------------------------------------------------------------

bool ScriptedWaveIn::IsOpen() const {
  std::lock_guard guard(lock_);
  return handle_ != 0;
}

bool ScriptedWaveIn::Running() const {
  std::lock_guard guard(lock_);
  return running_;
}

int ScriptedWaveIn::Queued() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(queue_.size());
}

int ScriptedWaveIn::Prepared() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(prepared_.size());
}

int ScriptedWaveIn::Opens() const {
  std::lock_guard guard(lock_);
  return opens_;
}

std::uint64_t ScriptedWaveIn::FramesDelivered() const {
  std::lock_guard guard(lock_);
  return framesDelivered_;
}

// ---- The operation table
// -------------------------------------------------------------------------

int ScriptedWaveIn::GetNumDevs() {
  return static_cast<int>(devices_.size());
}

int ScriptedWaveIn::GetDevCaps(int id, TWaveInCaps& caps) {
  if (id == -1) id = 0;
  if (id < 0 || id >= static_cast<int>(devices_.size())) return -ENODEV;
  caps.productName = devices_[static_cast<std::size_t>(id)].name;
  caps.driverVersion = 0x0100;
  caps.formats = devices_[static_cast<std::size_t>(id)].formats;
  return 0;
}

std::string ScriptedWaveIn::GetErrorText(int code) {
  return code < 0 ? std::strerror(-code) : "";
}

int ScriptedWaveIn::Open(TWaveInHandle& handle, int id, const TWaveFormatEx& format,
                         TMMWaveInSink* sink, bool query) {
  std::lock_guard guard(lock_);
  if (id < -1 || id >= static_cast<int>(devices_.size())) return -ENODEV;
  if (query) return refuseFormats_ ? -EINVAL : 0;
  if (const int code = Failing(Op::Open)) return code;
  if (handle_ != 0) return -EBUSY;
  handle = handle_ = static_cast<TWaveInHandle>(++opens_);
  sink_ = sink;
  format_ = format;
  running_ = failed_ = false;
  frame_ = framesDelivered_ = pacedFrames_ = 0;
  if (!withholdOpen_) sink_->WaveInOpened(handle_);
  return 0;
}

int ScriptedWaveIn::Close(TWaveInHandle handle) {
  std::lock_guard guard(lock_);
  if (!Current(handle)) return -EBADFD;
  Halt();
  timer_.reset();
  queue_.clear();
  prepared_.clear();
  handle_ = 0;
  sink_->WaveInClosed(handle);
  return Failing(Op::Close);
}

int ScriptedWaveIn::PrepareHeader(TWaveInHandle handle, PWaveHdr header) {
  std::lock_guard guard(lock_);
  if (!Current(handle)) return -EBADFD;
  if (const int code = Failing(Op::PrepareHeader)) return code;
  header->dwFlags |= WHDR_PREPARED;
  prepared_.insert(header);
  return 0;
}

int ScriptedWaveIn::UnprepareHeader(TWaveInHandle handle, PWaveHdr header) {
  std::lock_guard guard(lock_);
  if (!Current(handle)) return -EBADFD;
  if (const int code = Failing(Op::UnprepareHeader)) return code;
  if (header->dwFlags & WHDR_INQUEUE) return -EBUSY;
  header->dwFlags &= ~WHDR_PREPARED;
  prepared_.erase(header);
  return 0;
}

int ScriptedWaveIn::AddBuffer(TWaveInHandle handle, PWaveHdr header) {
  {
    std::lock_guard guard(lock_);
    if (!Current(handle)) return -EBADFD;
    if (const int code = Failing(Op::AddBuffer)) return code;
    if (!(header->dwFlags & WHDR_PREPARED) || (header->dwFlags & WHDR_INQUEUE) ||
        header->dwBufferLength < format_.nBlockAlign)
      return -EINVAL;
    header->dwBytesRecorded = 0;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    queue_.push_back(header);
  }
  changed_.notify_all();
  return 0;
}

int ScriptedWaveIn::Start(TWaveInHandle handle) {
  {
    std::lock_guard guard(lock_);
    if (!Current(handle)) return -EBADFD;
    if (const int code = Failing(Op::Start)) return code;
    if (running_ || failed_) return 0;
    running_ = true;
    if (timers_ != nullptr) {
      // Paced frames continue from where they stood: time spent stopped is not due.
      paceOrigin_ = clock_->MonotonicMicros() -
                    static_cast<std::int64_t>(pacedFrames_ * 1000000u / format_.nSamplesPerSec);
      if (timer_ == nullptr) {
        timer_ = timers_->CreateTimer();
        timer_->SetOnTimer([this] { Tick(); });
      }
      timer_->SetInterval(tickMs_);
      timer_->Start();
    }
  }
  changed_.notify_all();
  return 0;
}

int ScriptedWaveIn::Stop(TWaveInHandle handle) {
  std::lock_guard guard(lock_);
  if (!Current(handle)) return -EBADFD;
  if (const int code = Failing(Op::Stop)) return code;
  Halt();
  if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0) {
    PWaveHdr h = PopHead();
    framesDelivered_ += h->dwBytesRecorded / format_.nBlockAlign;
    sink_->WaveInData(handle_, h);
  }
  return 0;
}

int ScriptedWaveIn::Reset(TWaveInHandle handle) {
  std::lock_guard guard(lock_);
  if (!Current(handle)) return -EBADFD;
  if (const int code = Failing(Op::Reset)) return code;
  Halt();
  while (!queue_.empty())
    sink_->WaveInData(handle_, PopHead());
  return 0;
}

// ---- The device
// ------------------------------------------------------------------------------------

TScriptedWaveIn::TScriptedWaveIn(const Services& services, std::vector<ScriptedDevice> devices)
    : TScriptedWaveIn(services, std::make_unique<ScriptedWaveIn>(std::move(devices))) {}

TScriptedWaveIn::TScriptedWaveIn(const Services& services, ScriptedWaveIn* script)
    : TMMCustomWaveIn(nullptr, services, std::unique_ptr<TMMWaveInOps>(script)), script_(script) {}

}  // namespace zq::testing
