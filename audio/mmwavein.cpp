#include "audio/mmwavein.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

namespace zq {
namespace {

const std::string kLfCr = "\n\r";
const char* const kNoDevice = "No wave audio recording device found";
const char* const kInvalidDeviceId = "Invalid DeviceID";
const char* const kInvalidFormat = "Invalid wave format";
const char* const kCannotRecord = "The actual device can''t record this format";
const char* const kUnableToOpen = "Unable to open device";
const char* const kUnableToClose = "Unable to close device";
const char* const kNoMemory = "Unable to allocate memory for wave header";
const char* const kNoThread = "Could not create thread";
const char* const kWhileOpen = "Change to property while device was open";
const char* const kUnknownError = "Specified error number is out of range (unknown error)";
const char* const kCallbacksRefused =
    "\"CallBacks\" are called at interrupt time !\n\rThis is currently only supported under "
    "Windows 95";

// The nice value for each thread priority (the higher the priority, the lower the value).
int NiceFor(TThreadPriority p) {
  static constexpr int kNice[] = {15, 2, 1, 0, -1, -2, -15};
  return kNice[std::clamp(static_cast<int>(p), 0, 6)];
}

// The supported-format flag a PCM format needs; 0 when no flag covers it.
std::uint32_t FormatFlag(const TWaveFormatEx& f) {
  int shift;
  if (f.nSamplesPerSec >= 8000 && f.nSamplesPerSec <= 11025)
    shift = 0;
  else if (f.nSamplesPerSec >= 11026 && f.nSamplesPerSec <= 22050)
    shift = 4;
  else if (f.nSamplesPerSec >= 22051 && f.nSamplesPerSec <= 48000)
    shift = 8;
  else
    return 0;
  std::uint32_t combo;
  if (f.wBitsPerSample == 8)
    combo = f.nChannels == 1 ? 1 : f.nChannels == 2 ? 2 : 0;
  else if (f.wBitsPerSample == 16)
    combo = f.nChannels == 1 ? 4 : f.nChannels == 2 ? 8 : 0;
  else
    combo = 0;
  return combo << shift;
}

}  // namespace

// ---- TMMAllocator ------------------------------------------------------------------------------

void* TMMAllocator::AllocBlock(std::size_t size) {
  std::lock_guard guard(lock_);
  Record* fit = nullptr;
  for (Record& r : records_) {
    if (r.useCount != 0 || r.size < size) continue;
    if (r.size == size) {
      fit = &r;
      break;
    }
    if (fit == nullptr) fit = &r;
  }
  if (fit != nullptr) {
    fit->useCount = 1;
    return fit->block;
  }
  void* block = std::calloc(1, size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  try {
    records_.push_back({block, size, 1});
  } catch (const std::bad_alloc&) {
    std::free(block);
    return nullptr;
  }
  return block;
}

void TMMAllocator::FreeBlock(void*& address) {
  if (address == nullptr) return;
  std::lock_guard guard(lock_);
  for (Record& r : records_)
    if (r.block == address) {
      if (r.useCount > 0) --r.useCount;
      break;
    }
  address = nullptr;
}

void TMMAllocator::FreeAll() {
  std::lock_guard guard(lock_);
  while (!records_.empty()) {
    std::free(records_.back().block);
    records_.pop_back();
  }
}

std::size_t TMMAllocator::BlockCount() const {
  std::lock_guard guard(lock_);
  return records_.size();
}

// ---- TMMWaveInThread ---------------------------------------------------------------------------

TMMWaveInThread::TMMWaveInThread(TMMCustomWaveIn& device) : TMMDSPThread(device), waveIn_(device) {}

TMMWaveInThread::~TMMWaveInThread() {
  Finish();
}

bool TMMWaveInThread::Launch() {
  try {
    Resume();
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock guard(lock_);
  return readyChanged_.wait_for(guard, std::chrono::seconds(5), [this] { return ready_; });
}

void TMMWaveInThread::Finish() {
  WaitFor();
}

bool TMMWaveInThread::ApplyPriority(TThreadPriority priority) {
  const int tid = tid_.load();
  return tid != 0 && setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(priority)) == 0;
}

bool TMMWaveInThread::IsCurrent() const {
  return tid_.load() == gettid();
}

void TMMWaveInThread::Execute() {
  tid_ = gettid();
  ApplyPriority(waveIn_.Priority());
  {
    std::lock_guard guard(lock_);
    ready_ = true;
  }
  readyChanged_.notify_all();
  waveIn_.RunWorker();
}

// ---- TMMCustomWaveIn: construction and properties
// ------------------------------------------------

TMMCustomWaveIn::TMMCustomWaveIn(TMMComponent* owner, const Services& services,
                                 std::unique_ptr<TMMWaveInOps> ops)
    : TMMCustomSoundComponent(owner),
      services_(services),
      ops_(std::move(ops)),
      mailbox_(std::make_shared<Mailbox>()) {
  if (ops_ == nullptr || services_.mainThread == nullptr || services_.messages == nullptr)
    throw std::invalid_argument("TMMCustomWaveIn needs a back-end, a main thread and messages");
  mailbox_->device = this;
  numDevs_ = std::max(ops_->GetNumDevs(), 0);
  SetDeviceID(0);
  RebuildFormat();
}

TMMCustomWaveIn::~TMMCustomWaveIn() {
  Destroying();
  if (handle_ != 0 || (State() & wsOpen)) Close();
  StopWorker();
  // Calls still posted to the main thread find no device.
  std::lock_guard guard(mailbox_->lock);
  mailbox_->device = nullptr;
}

void TMMCustomWaveIn::Fire(const TNotifyEvent& event) {
  if (event) event(this);
}

void TMMCustomWaveIn::Error(const std::string& message) {
  Fire(OnError);
  throw EMMWaveInError(message);
}

std::string TMMCustomWaveIn::PlatformError(const std::string& prefix, int code) {
  std::string text = ops_->GetErrorText(code);
  if (text.empty()) text = kUnknownError;
  return prefix + kLfCr + text;
}

void TMMCustomWaveIn::Check(int result, const char* prefix) {
  lastResult_ = result;
  if (result != 0) Error(PlatformError(prefix, result));
}

void TMMCustomWaveIn::RefuseWhileOpen() {
  if (State() & wsOpen) Error(kWhileOpen);
}

void TMMCustomWaveIn::SetNumBuffers(int value) {
  if (value == numBuffers_) return;
  RefuseWhileOpen();
  if (value <= 1) return;
  numBuffers_ = std::min(value, kMaxBuffers);
}

void TMMCustomWaveIn::SetDeviceID(TMMDeviceId value) {
  RefuseWhileOpen();
  const bool valid = value >= -1 && value < numDevs_;
  productName_ = kNoDevice;
  driverVersion_ = 0;
  if (valid) {
    TWaveInCaps caps;
    lastResult_ = ops_->GetDevCaps(value, caps);
    if (lastResult_ == 0) {
      productName_ = caps.productName;
      driverVersion_ = caps.driverVersion;
    }
  }
  deviceId_ = valid ? value : -2;
}

void TMMCustomWaveIn::SetCallBackMode(TMMCBMode value) {
  RefuseWhileOpen();
  if (value == cmCallback) {
    // Buffers handled inside the system's own callback: not offered on this system.
    services_.messages->ShowMessage(kCallbacksRefused, "TMMWaveIn");
    return;
  }
  callBackMode_ = value;
}

void TMMCustomWaveIn::SetBufferSize(int size) {
  if (size == BufferSize()) return;
  RefuseWhileOpen();
  allocator_.FreeAll();
  TMMCustomSoundComponent::SetBufferSize(std::max(size, kMinBufferSize));
}

void TMMCustomWaveIn::SetWaveFormat(const TWaveFormatEx* format) {
  Close();
  std::uint32_t rate = 0;
  if (PropertiesFromFormat(format, bits_, mode_, rate)) sampleRate_ = static_cast<int>(rate);
  TMMCustomSoundComponent::SetWaveFormat(format);
}

void TMMCustomWaveIn::RebuildFormat() {
  BuildPCMFormat(pcm_, bits_, mode_, static_cast<std::uint32_t>(sampleRate_));
  SetWaveFormat(&pcm_);
}

void TMMCustomWaveIn::SetMode(TMMMode value) {
  if (value == mode_) return;
  RefuseWhileOpen();
  if (value != mMono && value != mStereo) return;
  mode_ = value;
  RebuildFormat();
}

void TMMCustomWaveIn::SetBitLength(TMMBits value) {
  if (value == bits_) return;
  RefuseWhileOpen();
  bits_ = value;
  RebuildFormat();
}

void TMMCustomWaveIn::SetSampleRate(int value) {
  value = std::clamp(value, kMinSampleRate, kMaxSampleRate);
  if (value == sampleRate_) return;
  RefuseWhileOpen();
  sampleRate_ = value;
  RebuildFormat();
}

void TMMCustomWaveIn::SetMaxRecordTime(int value) {
  maxRecordTime_ = value;
  ComputeByteLimit();
}

void TMMCustomWaveIn::SetTimeFormat(TMMTimeFormats value) {
  timeFormat_ = value;
  const TWaveFormatEx* f = WaveFormat();
  if (maxRecordTime_ < 0 || f == nullptr) return;
  const std::int32_t limit = byteLimit_;
  try {
    switch (value) {
      case tfMillisecond:
        maxRecordTime_ = BytesToMs(f, limit);
        break;
      case tfByte:
        maxRecordTime_ = limit;
        break;
      case tfSample:
        maxRecordTime_ = BytesToSamples(f, limit);
        break;
    }
  } catch (const std::exception&) {
    // A format the arithmetic cannot use keeps the value as it was.
  }
}

void TMMCustomWaveIn::ComputeByteLimit() {
  std::int32_t limit = std::numeric_limits<std::int32_t>::max();
  const TWaveFormatEx* f = WaveFormat();
  const int time = maxRecordTime_;
  if (time >= 0 && f != nullptr) {
    try {
      switch (timeFormat_) {
        case tfMillisecond:
          limit = MsToBytes(f, time);
          break;
        case tfByte:
          limit = time;
          break;
        case tfSample:
          limit = SamplesToBytes(f, time);
          break;
      }
    } catch (const std::exception&) {
      limit = std::numeric_limits<std::int32_t>::max();
    }
  }
  if (f != nullptr && f->nBlockAlign > 0) limit -= limit % f->nBlockAlign;
  byteLimit_ = limit;
}

void TMMCustomWaveIn::SetPriority(TThreadPriority value) {
  priority_ = value;
  if (worker_ != nullptr) worker_->ApplyPriority(value);
}

// ---- Notifications from the back-end and the mailbox -------------------------------------------

void TMMCustomWaveIn::WaveInOpened(TWaveInHandle) {
  state_ = wsOpen;
}

void TMMCustomWaveIn::WaveInClosed(TWaveInHandle) {
  state_ = wsClosed;
}

void TMMCustomWaveIn::WaveInData(TWaveInHandle handle, PWaveHdr header) {
  Push({handle, header, 0, resetting_.load()});
}

void TMMCustomWaveIn::WaveInFailed(TWaveInHandle handle, int code) {
  Push({handle, nullptr, code, false});
}

void TMMCustomWaveIn::WaveInOverrun(TWaveInHandle handle, std::uint64_t framesLost) {
  overruns_.fetch_add(1);
  lostFrames_.fetch_add(framesLost);
  if (framesLost > 0) Push({handle, nullptr, 0, false, framesLost});
}

void TMMCustomWaveIn::Push(const Returned& r) {
  Mailbox& mb = *mailbox_;
  bool post = false;
  {
    std::lock_guard guard(mb.lock);
    // Losses in a row are one loss, so at most one stands before each header. Every header is
    // out at most once and a stream fails once, so the ring never fills.
    if (r.header == nullptr && r.lost > 0 && mb.count > 0) {
      Returned& last = mb.ring[(mb.head + mb.count - 1) % mb.ring.size()];
      if (last.header == nullptr && last.lost > 0 && last.handle == r.handle) {
        last.lost += r.lost;
        return;
      }
    }
    if (mb.count == mb.ring.size()) return;
    mb.ring[(mb.head + mb.count) % mb.ring.size()] = r;
    ++mb.count;
    if (callBackMode_ == cmWindow && !mb.drainPosted) post = mb.drainPosted = true;
  }
  mb.changed.notify_one();
  if (!post) return;
  try {
    services_.mainThread->Post([weak = std::weak_ptr<Mailbox>(mailbox_)] {
      if (auto mb = weak.lock(); mb != nullptr && mb->device != nullptr) mb->device->Drain();
    });
  } catch (...) {
    // No main thread to post to: what came back waits for the next drain (a stop drains too).
    std::lock_guard guard(mb.lock);
    mb.drainPosted = false;
  }
}

bool TMMCustomWaveIn::Pop(Returned& r) {
  Mailbox& mb = *mailbox_;
  std::lock_guard guard(mb.lock);
  if (mb.count == 0) {
    mb.drainPosted = false;
    return false;
  }
  r = mb.ring[mb.head];
  mb.head = (mb.head + 1) % mb.ring.size();
  --mb.count;
  return true;
}

void TMMCustomWaveIn::ClearMailbox() {
  std::lock_guard guard(mailbox_->lock);
  mailbox_->head = mailbox_->count = 0;
  mailbox_->quit = false;
}

void TMMCustomWaveIn::Drain() {
  Returned r;
  while (Pop(r)) {
    try {
      Deliver(r);
    } catch (...) {
      CloseAndShow(std::current_exception());
    }
  }
}

void TMMCustomWaveIn::RunWorker() {
  Mailbox& mb = *mailbox_;
  for (;;) {
    Returned r;
    {
      std::unique_lock guard(mb.lock);
      mb.changed.wait(guard, [&] { return mb.quit || mb.count > 0; });
      if (mb.quit) return;
      r = mb.ring[mb.head];
      mb.head = (mb.head + 1) % mb.ring.size();
      --mb.count;
    }
    if (r.header == nullptr && r.lost == 0) {
      PostToMain(r.handle, [this, r] { ReportFailure(r.handle, r.failure); });
      continue;
    }
    try {
      if (r.header == nullptr)
        DeliverSilence(r.handle, r.lost);
      else
        DeliverBuffer(r.handle, r.header, r.byReset);
    } catch (...) {
      // The thread ends here; the main thread closes the device and shows what went wrong.
      workerDead_ = true;
      PostToMain(r.handle, [e = std::current_exception()] { std::rethrow_exception(e); });
      return;
    }
  }
}

void TMMCustomWaveIn::PostToMain(TWaveInHandle session, std::function<void()> call) {
  services_.mainThread->Post(
      [weak = std::weak_ptr<Mailbox>(mailbox_), session, call = std::move(call)] {
        auto mb = weak.lock();
        if (mb == nullptr || mb->device == nullptr || mb->device->handle_ != session) return;
        TMMCustomWaveIn* device = mb->device;
        try {
          call();
        } catch (...) {
          device->CloseAndShow(std::current_exception());
        }
      });
}

void TMMCustomWaveIn::CloseAndShow(std::exception_ptr e) {
  Close();
  try {
    std::rethrow_exception(e);
  } catch (...) {
    services_.messages->HandleCurrentException();
  }
}

void TMMCustomWaveIn::ReportFailure(TWaveInHandle session, int code) {
  if (session != handle_) return;
  lastResult_ = code;
  Error(PlatformError("WaveIn:", code));
}

// ---- Buffer delivery
// ------------------------------------------------------------------------------

void TMMCustomWaveIn::Deliver(const Returned& r) {
  if (r.header != nullptr)
    DeliverBuffer(r.handle, r.header, r.byReset);
  else if (r.lost > 0)
    DeliverSilence(r.handle, r.lost);
  else
    ReportFailure(r.handle, r.failure);
}

void TMMCustomWaveIn::DeliverBuffer(TWaveInHandle session, PWaveHdr header, bool byReset) {
  bool stopPath;
  {
    std::lock_guard guard(lock_);
    if (!(State() & wsRecording) || session != handle_) return;
    ++inHandler_;
    --queued_;
    stopPath = stopping_ || resetting_;
    if (stopPath && queued_ == 0) resetting_ = false;
  }
  // While stopping, what was captured before the stop still goes on; what the device hands back
  // empty because of the stop does not. A device being destroyed hands nothing on.
  const bool pass =
      !InState(csDestroying) && (!stopPath || (!byReset && header->dwBytesRecorded > 0));
  std::exception_ptr failure;
  try {
    if (pass) BufferReady(header);
  } catch (...) {
    failure = std::current_exception();
  }
  int requeued = 0;
  {
    std::lock_guard guard(lock_);
    if (failure == nullptr && !stopPath && !stopping_ && !stopPending_ && (State() & wsRecording) &&
        session == handle_)
      requeued = QueueBuffer(session, header);
  }
  LeaveHandler(session);
  if (failure != nullptr) {
    Fire(OnError);
    std::rethrow_exception(failure);
  }
  Check(requeued, "WaveInAddBuffer:");
}

void TMMCustomWaveIn::DeliverSilence(TWaveInHandle session, std::uint64_t frames) {
  const TWaveFormatEx* f = WaveFormat();
  if (f == nullptr || silence_ == nullptr || f->nBlockAlign == 0) return;
  frames = std::min<std::uint64_t>(frames, std::uint64_t{f->nSamplesPerSec} * kMaxSilenceSeconds);
  const std::uint32_t perBuffer = silence_->dwBufferLength / f->nBlockAlign;
  // 8-bit samples are unsigned: their silence is the middle value.
  const int zero = f->wBitsPerSample == 8 ? 0x80 : 0;
  while (frames > 0) {
    {
      // Like the buffers around it: also while a stop delivers what came before it.
      std::lock_guard guard(lock_);
      if (!(State() & wsRecording) || session != handle_ || InState(csDestroying)) return;
      ++inHandler_;
    }
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, perBuffer));
    frames -= n;
    silence_->dwBytesRecorded = n * f->nBlockAlign;
    std::memset(silence_->lpData, zero, silence_->dwBytesRecorded);
    silenceFrames_.fetch_add(n);
    std::exception_ptr failure;
    try {
      BufferReady(silence_);
    } catch (...) {
      failure = std::current_exception();
    }
    LeaveHandler(session);
    if (failure != nullptr) {
      Fire(OnError);
      std::rethrow_exception(failure);
    }
  }
}

void TMMCustomWaveIn::LeaveHandler(TWaveInHandle session) {
  bool postStop = false;
  {
    std::lock_guard guard(lock_);
    if (--inHandler_ == 0 && stopPending_ && !stopPosted_) {
      stopPosted_ = true;
      stopping_ = true;
      postStop = true;
    }
  }
  // A stop asked for inside the handler is finished once the handler has returned.
  if (postStop)
    PostToMain(session, [this] {
      {
        // A delivery that is still under way when this runs defers the stop once more.
        std::lock_guard guard(lock_);
        stopPosted_ = false;
      }
      Stop();
    });
}

void TMMCustomWaveIn::BufferReady(PWaveHdr lpWaveHdr) {
  bool reached = false;
  if (maxRecordTime_ > 0) {
    const std::int64_t limit = byteLimit_;
    // Past the limit nothing more goes on; the stop is on its way.
    if (bytesDelivered_ >= limit) return;
    bytesDelivered_ += lpWaveHdr->dwBytesRecorded;
    if (bytesDelivered_ >= limit) {
      lpWaveHdr->dwBytesRecorded -= static_cast<std::uint32_t>(bytesDelivered_ - limit);
      bytesDelivered_ = limit;
      reached = true;
    }
  } else {
    bytesDelivered_ += lpWaveHdr->dwBytesRecorded;
  }
  TMMCustomSoundComponent::BufferReady(lpWaveHdr);
  if (reached && !stopping_) Stop();
}

int TMMCustomWaveIn::QueueBuffer(TWaveInHandle session, PWaveHdr header) {
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_PREPARED;
  const int result = ops_->AddBuffer(session, header);
  lastResult_ = result;
  if (result == 0) ++queued_;
  return result;
}

// ---- Life cycle
// ------------------------------------------------------------------------------------

bool TMMCustomWaveIn::WaitFor(const std::function<bool()>& done, bool processMessages) {
  for (int round = 0; round < 100; ++round) {
    if (done()) return true;
    if (processMessages) {
      Drain();
      services_.mainThread->ProcessPending();
      if (done()) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

bool TMMCustomWaveIn::SomeoneDelivers() const {
  return callBackMode_ == cmWindow || (worker_ != nullptr && !workerDead_);
}

bool TMMCustomWaveIn::TestFormat(TMMDeviceId id, const TWaveFormatEx* format) {
  if (id < -1 || id >= numDevs_ || format == nullptr) return false;
  TWaveInHandle unused = 0;
  lastResult_ = ops_->Open(unused, id, *format, nullptr, true);
  if (lastResult_ != 0) return false;
  if (format->wFormatTag != WAVE_FORMAT_PCM) return true;
  TWaveInCaps caps;
  if (ops_->GetDevCaps(id, caps) != 0) return false;
  const std::uint32_t flag = FormatFlag(*format);
  return flag == 0 || (caps.formats & flag) != 0;
}

void TMMCustomWaveIn::StartWorker() {
  workerDead_ = false;
  worker_ = std::make_unique<TMMWaveInThread>(*this);
  if (!worker_->Launch()) {
    StopWorker();
    Error("WaveIn:" + kLfCr + kNoThread);
  }
}

void TMMCustomWaveIn::StopWorker() {
  if (worker_ == nullptr) return;
  {
    std::lock_guard guard(mailbox_->lock);
    mailbox_->quit = true;
  }
  mailbox_->changed.notify_all();
  worker_->Finish();
  worker_.reset();
}

void TMMCustomWaveIn::Open() {
  if (numDevs_ <= 0) Error(kNoDevice);
  if (deviceId_ == -2) Error(kInvalidDeviceId);
  if (WaveFormat() == nullptr) Error(kInvalidFormat);
  if (State() & wsOpen) Close();
  if ((State() & wsOpen) || closing_) return;
  resetting_ = stopping_ = false;
  stopPosted_ = false;
  try {
    if (!TestFormat(deviceId_, WaveFormat())) Error("WaveInOpen:" + kLfCr + kCannotRecord);
    handle_ = 0;
    closePending_ = false;
    ClearMailbox();
    if (callBackMode_ == cmThread) StartWorker();
    TWaveInHandle handle = 0;
    const int opened = ops_->Open(handle, deviceId_, *WaveFormat(), this, false);
    if (opened == 0) handle_ = handle;
    Check(opened, "WaveInOpen:");

    // The chain opens while the device still looks closed, so that writers along it are not
    // refused; an open notification that comes meanwhile is kept.
    const TMMWaveInStates remembered = state_.exchange(wsClosed);
    ChainOpened();
    TMMWaveInStates closed = wsClosed;
    state_.compare_exchange_strong(closed, remembered);

    if (!WaitFor([this] { return (State() & wsOpen) != 0; }, false))
      Error("WaveInOpen:" + kLfCr + kUnableToOpen);

    const int size = BufferSize();  // whole frames now that the device is opened
    for (int i = 0; i < numBuffers_; ++i) {
      if (buffers_[i] != nullptr) continue;
      void* block = allocator_.AllocBlock(static_cast<std::size_t>(size) + kWaveDataOffset);
      if (block == nullptr) Error(kNoMemory);
      auto* header = new (block) TWaveHdr{};
      header->lpData = static_cast<char*>(block) + kWaveDataOffset;
      header->dwBufferLength = static_cast<std::uint32_t>(size);
      buffers_[i] = header;
    }
    if (silence_ == nullptr) {
      void* block = allocator_.AllocBlock(static_cast<std::size_t>(size) + kWaveDataOffset);
      if (block == nullptr) Error(kNoMemory);
      silence_ = new (block) TWaveHdr{};
      silence_->lpData = static_cast<char*>(block) + kWaveDataOffset;
      silence_->dwBufferLength = static_cast<std::uint32_t>(size);
    }
    for (int i = 0; i < numBuffers_; ++i)
      Check(ops_->PrepareHeader(handle_, buffers_[i]), "WaveInPrepareHeader:");
    Fire(OnOpen);
  } catch (...) {
    Fire(OnError);
    state_ = wsOpen;
    Close();
    state_ = wsClosed;
    throw;
  }
}

void TMMCustomWaveIn::Start() {
  if (!(State() & wsOpen)) Open();
  if (!(State() & wsOpen) || (State() & wsRecording)) return;
  try {
    int queuedResult = 0;
    {
      std::lock_guard guard(lock_);
      bytesDelivered_ = 0;
      inHandler_ = 0;
      queued_ = 0;
      stopPending_ = stopping_ = resetting_ = false;
      stopPosted_ = false;
      ComputeByteLimit();
      for (int i = 0; i < numBuffers_ && queuedResult == 0; ++i)
        queuedResult = QueueBuffer(handle_, buffers_[i]);
    }
    overruns_ = 0;
    lostFrames_ = 0;
    silenceFrames_ = 0;
    Check(queuedResult, "WaveInAddBuffer:");
    const bool paused = (State() & wsPaused) != 0;
    state_ |= wsRecording;
    if (!paused) Check(ops_->Start(handle_), "WaveInStart:");
    ChainStarted();
    Fire(OnStart);
  } catch (...) {
    Fire(OnError);
    state_ |= wsRecording;
    Close();
    state_ = wsClosed;
    throw;
  }
}

void TMMCustomWaveIn::Pause() {
  if (!(State() & wsOpen)) Open();
  if (!(State() & wsOpen) || (State() & wsPaused)) return;
  try {
    if (State() & wsRecording) {
      int result;
      {
        std::lock_guard guard(lock_);
        result = ops_->Stop(handle_);
      }
      Check(result, "WaveInPause:");
    }
    state_ |= wsPaused;
    ChainPaused();
    Fire(OnPause);
  } catch (...) {
    Fire(OnError);
    Close();
    throw;
  }
}

void TMMCustomWaveIn::Restart() {
  const TMMWaveInStates s = State();
  if (!(s & wsRecording) || !(s & wsPaused)) return;
  try {
    Check(ops_->Start(handle_), "WaveInRestart:");
    state_ &= ~wsPaused;
    ChainRestarted();
    Fire(OnRestart);
  } catch (...) {
    Fire(OnError);
    Close();
    throw;
  }
}

void TMMCustomWaveIn::Stop() {
  if (!(State() & (wsRecording | wsPaused))) return;
  try {
    int stopped = 0, reset = 0;
    {
      std::lock_guard guard(lock_);
      stopping_ = true;
      stopped = ops_->Stop(handle_);
      if (stopped == 0) {
        resetting_ = true;
        reset = ops_->Reset(handle_);
      }
    }
    Check(stopped, "WaveInStop:");
    Check(reset, "WaveInReset:");
    // Wait for what came back to be delivered, unless this is the delivering thread itself
    // (a stop from inside OnBufferReady, finished after the handler has returned).
    const bool delivering =
        callBackMode_ == cmWindow ? inHandler_ > 0 : worker_ != nullptr && worker_->IsCurrent();
    if (!delivering && SomeoneDelivers())
      WaitFor(
          [this] {
            std::lock_guard guard(lock_);
            return queued_ <= 0;
          },
          callBackMode_ == cmWindow);
    EndOfStop();
  } catch (...) {
    Fire(OnError);
    Close();
    throw;
  }
}

void TMMCustomWaveIn::EndOfStop() {
  {
    std::lock_guard guard(lock_);
    if (!(State() & (wsRecording | wsPaused))) return;
    if (inHandler_ > 0 && !InState(csDestroying)) {
      // The handler in progress finishes the stop (see DeliverBuffer).
      stopPending_ = true;
      return;
    }
    state_ &= ~(wsRecording | wsPaused);
    queued_ = 0;
    stopPending_ = false;
  }
  ChainStopped();
  if (!InState(csDestroying)) Fire(OnStop);
  if (closePending_) Close();
}

void TMMCustomWaveIn::Close() {
  if (worker_ != nullptr && worker_->IsCurrent()) {
    // The worker cannot end itself: the main thread closes.
    PostToMain(handle_, [this] { Close(); });
    return;
  }
  if (!(State() & wsOpen)) return;
  if (closing_ && !closePending_) return;
  closing_ = true;
  closePending_ = false;
  try {
    if (State() & (wsRecording | wsPaused)) {
      try {
        Stop();
      } catch (...) {
        // Stop has reported it; the stream ends here all the same.
        try {
          EndOfStop();
        } catch (...) {
        }
      }
    }
    if (stopPending_ && !InState(csDestroying)) {
      closePending_ = true;  // the end of the stop closes
      return;
    }

    // Release the device completely, then report the first thing that went wrong.
    std::string failure;
    auto note = [&](int result, const char* prefix) {
      lastResult_ = result;
      if (result != 0 && failure.empty()) failure = PlatformError(prefix, result);
    };
    const TWaveInHandle handle = handle_;
    if (handle != 0) {
      {
        std::lock_guard guard(lock_);
        ops_->Stop(handle);
        ops_->Reset(handle);
      }
      for (PWaveHdr header : buffers_) {
        if (header == nullptr) continue;
        if (!(header->dwFlags & WHDR_DONE)) header->dwFlags = WHDR_DONE;
        note(ops_->UnprepareHeader(handle, header), "WaveInUnprepareHeader:");
      }
      note(ops_->Close(handle), "WaveInClose:");
      if (!WaitFor([this] { return (State() & wsClosed) != 0; }, false) && failure.empty())
        failure = "WaveInClose:" + kLfCr + kUnableToClose;
    }
    state_ = wsClosed;
    handle_ = 0;
    ClearMailbox();
    std::exception_ptr chainFailure;
    try {
      ChainClosed();
    } catch (...) {
      chainFailure = std::current_exception();
    }
    StopWorker();
    for (PWaveHdr& header : buffers_) {
      void* block = header;
      allocator_.FreeBlock(block);
      header = nullptr;
    }
    void* block = silence_;
    allocator_.FreeBlock(block);
    silence_ = nullptr;
    closing_ = false;
    if (!InState(csDestroying)) Fire(OnClose);
    if (!failure.empty()) Error(failure);
    if (chainFailure != nullptr) std::rethrow_exception(chainFailure);
  } catch (const EMMWaveInError&) {
    closing_ = false;  // Error has fired OnError
  } catch (...) {
    closing_ = false;
    try {
      Fire(OnError);
    } catch (...) {
    }
  }
}

}  // namespace zq
