#include "audio/mmblade.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>

#include "platform/errortext.h"

namespace zq {
namespace {

constexpr int kKbps[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

constexpr char kLoadFailed[] =
    "Unable to load Blade Encoder DLL\n\r"
    "You can install the encoder library (libmp3lame.so.0) with:\n\r"
    "apt-get install libmp3lame0";

constexpr std::uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;

bool Supported(const TWaveFormatEx& f) {
  const bool rate =
      f.nSamplesPerSec == 32000 || f.nSamplesPerSec == 44100 || f.nSamplesPerSec == 48000;
  return f.wFormatTag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16 && rate &&
         (f.nChannels == 1 || f.nChannels == 2) && f.nBlockAlign == f.nChannels * 2;
}

TMPEGLayer3WaveFormat MP3WaveFormat(const TWaveFormatEx& pcm, TMMBitrates bitrate) {
  const double rate = pcm.nSamplesPerSec;
  const double frameBytes = BitrateKbps(bitrate) * 1000.0 * 144.0 / rate;
  TMPEGLayer3WaveFormat r{};
  r.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  r.wfx.nChannels = pcm.nChannels;
  r.wfx.nSamplesPerSec = pcm.nSamplesPerSec;
  r.wfx.nAvgBytesPerSec =
      static_cast<std::uint32_t>(std::nearbyint(rate * 100.0 / 1152.0 * frameBytes / 100.0));
  r.wfx.nBlockAlign = 1;
  r.wfx.wBitsPerSample = 0;
  r.wfx.cbSize = sizeof(TMPEGLayer3WaveFormat) - sizeof(TWaveFormatEx);
  r.wID = 1;
  r.fdwFlags = 2;
  r.nBlockSize = static_cast<std::uint16_t>(frameBytes);
  r.nFramesPerBlock = 1;
  r.nCodecDelay = 1393;
  return r;
}

// Writes all `n` bytes at the file's position; false on an error or a short write.
bool WriteAll(int fd, const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w == 0) errno = ENOSPC;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool WriteAllAt(int fd, const void* data, std::size_t n, off_t offset) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, p, n, offset);
    if (w < 0 && errno == EINTR) continue;
    if (w == 0) errno = ENOSPC;
    if (w <= 0) return false;
    p += w;
    offset += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

void PutLE32(char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<char>(v >> (8 * i));
}

}  // namespace

int BitrateKbps(TMMBitrates bitrate) {
  return kKbps[bitrate];
}

// The open segment file. ftRAW is the MP3 bytes alone. ftWAV is a RIFF WAVE file: "fmt " with
// the MPEG Layer-3 record, "fact" with the number of PCM frames, then "data" with the MP3 bytes;
// the sizes and the frame count are written when the file is finished.
class TMMMP3Encoder::SegmentFile {
 public:
  // Null (errno set) when the file cannot be created; a half-written file is removed. A file that
  // exists already is never opened, truncated or replaced: EEXIST.
  static std::unique_ptr<SegmentFile> Create(const std::string& path, TMMFileType type,
                                             const TMPEGLayer3WaveFormat& format) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    auto file = std::unique_ptr<SegmentFile>(new SegmentFile(fd, type, path));
    if (type == ftWAV && !file->WriteHeader(format)) {
      const int error = errno;
      file.reset();
      ::unlink(path.c_str());  // best effort; the open fails either way
      errno = error;
      return nullptr;
    }
    return file;
  }

  ~SegmentFile() {
    if (fd_ >= 0) ::close(fd_);  // only after a failure already reported
  }

  bool Write(const std::uint8_t* data, std::uint32_t n) {
    if (!WriteAll(fd_, data, n)) return false;
    dataBytes_ += n;
    return true;
  }

  // Writes `tag` over the first bytes of a raw stream (the placeholder the encoder left for it),
  // fixes the RIFF sizes (ftWAV) and closes the file: 0, or the errno of what failed. A file that
  // never received a byte is removed: it holds nothing, and it was made by this stage.
  int Finish(std::uint64_t frames, const std::vector<std::uint8_t>& tag) {
    int error = 0;
    if (type_ == ftRAW && !tag.empty() && tag.size() <= dataBytes_ &&
        !WriteAllAt(fd_, tag.data(), tag.size(), 0))
      error = errno;
    if (type_ == ftWAV && !FixHeader(frames) && error == 0) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    if (dataBytes_ == 0) ::unlink(path_.c_str());  // best effort
    return error;
  }

 private:
  static constexpr std::uint32_t kFmtOffset = 12;
  static constexpr std::uint32_t kFactOffset = kFmtOffset + 8 + sizeof(TMPEGLayer3WaveFormat);
  static constexpr std::uint32_t kDataOffset = kFactOffset + 12;
  static constexpr std::uint32_t kHeaderBytes = kDataOffset + 8;

  SegmentFile(int fd, TMMFileType type, std::string path)
      : fd_(fd), type_(type), path_(std::move(path)) {}

  bool WriteHeader(const TMPEGLayer3WaveFormat& format) {
    char h[kHeaderBytes] = {};
    std::memcpy(h, "RIFF", 4);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + kFmtOffset, "fmt ", 4);
    PutLE32(h + kFmtOffset + 4, sizeof format);
    std::memcpy(h + kFmtOffset + 8, &format, sizeof format);
    std::memcpy(h + kFactOffset, "fact", 4);
    PutLE32(h + kFactOffset + 4, 4);
    std::memcpy(h + kDataOffset, "data", 4);
    return WriteAll(fd_, h, sizeof h);
  }

  bool FixHeader(std::uint64_t frames) {
    // A RIFF size field holds 32 bits; beyond that the sizes are left at their largest value.
    const std::uint64_t data = std::min<std::uint64_t>(dataBytes_, 0xFFFFFFFFu - kHeaderBytes - 1);
    const bool pad = data % 2 != 0;  // a chunk is padded to an even length
    if (pad && !WriteAll(fd_, "", 1)) return false;
    char v[4];
    PutLE32(v, static_cast<std::uint32_t>(kHeaderBytes - 8 + data + (pad ? 1 : 0)));
    if (!WriteAllAt(fd_, v, 4, 4)) return false;
    PutLE32(v, static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, 0xFFFFFFFFu)));
    if (!WriteAllAt(fd_, v, 4, kFactOffset + 8)) return false;
    PutLE32(v, static_cast<std::uint32_t>(data));
    return WriteAllAt(fd_, v, 4, kDataOffset + 4);
  }

  int fd_;
  TMMFileType type_;
  std::string path_;
  std::uint64_t dataBytes_ = 0;
};

TMMMP3Encoder::TMMMP3Encoder(TMMComponent* owner, const Services& services)
    : TMMDSPComponent(owner), disk_(services.disk) {
  if (disk_ == nullptr) throw std::invalid_argument("TMMMP3Encoder needs a disk-space service");
}

TMMMP3Encoder::~TMMMP3Encoder() {
  Destroying();
  try {
    ChainClosed();
  } catch (...) {
    // The file is closed as far as it can be; there is no one left to tell.
  }
}

void TMMMP3Encoder::SetFileName(const std::string& value) {
  if (value == fileName_) return;
  if (fileOpen_) throw EMMMP3EncoderError("Change to property while device was open");
  fileName_ = value;
}

void TMMMP3Encoder::SetFileType(TMMFileType value) {
  if (value == fileType_) return;
  if (fileOpen_) throw EMMMP3EncoderError("Change to property while device was open");
  fileType_ = value;
}

TBeConfig TMMMP3Encoder::EncoderConfig() const {
  const TWaveFormatEx* f = WaveFormat();
  TBeConfig c{};
  c.dwConfig = BE_CONFIG_MP3;
  c.dwSampleRate = f != nullptr ? f->nSamplesPerSec : 0;
  if (f != nullptr && f->nChannels == 1)
    c.byMode = BE_MP3_MODE_MONO;
  else
    c.byMode = channelMode_ == cmDualChannel ? BE_MP3_MODE_DUALCHANNEL : BE_MP3_MODE_STEREO;
  c.wBitrate = static_cast<std::uint16_t>(BitrateKbps(bitrate_));
  c.bPrivate = privat_ ? -1 : 0;
  c.bCRC = crc_ ? -1 : 0;
  c.bCopyright = copyright_ ? -1 : 0;
  c.bOriginal = original_ ? -1 : 0;
  return c;
}

void TMMMP3Encoder::ChainOpened() {
  TMMDSPComponent::ChainOpened();
  if (fileOpen_ || WaveFormat() == nullptr || Input() == nullptr || fileName_.empty()) return;
  Open();
}

void TMMMP3Encoder::Open() {
  if (!beLoadLibrary()) throw EMMMP3EncoderError(kLoadFailed);
  const TWaveFormatEx& pcm = *WaveFormat();
  if (!Supported(pcm)) throw EMMMP3EncoderError("Unsupported Input Format");
  const TBeConfig config = EncoderConfig();

  // Always a new file: whatever already has the name (a segment whose finishing failed, a file
  // a link points to) is left as it is, and the open fails.
  file_ = SegmentFile::Create(fileName_, fileType_, MP3WaveFormat(pcm, bitrate_));
  if (file_ == nullptr) throw EMMMP3EncoderError("Unable to create file");

  // From here a failure leaves no file behind: the open did not happen.
  try {
    if (beInitStream(config, chunkSamples_, outputSize_, stream_, fileType_ == ftRAW) !=
        beSuccessful)
      throw EMMMP3EncoderError("Unable to initialize stream");
    chunkBytes_ = chunkSamples_ * 2;
    output_ = std::make_unique<std::uint8_t[]>(outputSize_);
    chunk_ = std::make_unique<std::int16_t[]>(chunkSamples_);
  } catch (...) {
    Release();  // removes the file, which holds nothing
    throw;
  }
  const std::filesystem::path folder = std::filesystem::path(fileName_).parent_path();
  folder_ = folder.empty() ? "." : folder.string();
  blockAlign_ = pcm.nBlockAlign;
  frames_ = 0;
  pending_ = 0;
  fileOpen_ = true;
}

void TMMMP3Encoder::SwitchFile(const std::string& name) {
  if (!Opened()) {
    // No chain open: the next open takes the name.
    fileName_ = name;
    return;
  }
  std::exception_ptr error;
  if (fileOpen_) {
    try {
      if (streaming_) FinishStream();
    } catch (...) {
      error = std::current_exception();
    }
    const int closeError = Release();
    if (closeError != 0 && error == nullptr) error = CloseError(closeError);
  }
  fileName_ = name;
  try {
    if (WaveFormat() != nullptr && Input() != nullptr && !fileName_.empty()) {
      Open();
      if (Started()) streaming_ = true;
    }
  } catch (...) {
    if (error == nullptr) error = std::current_exception();
  }
  if (error != nullptr) std::rethrow_exception(error);
}

void TMMMP3Encoder::ChainStarted() {
  TMMDSPComponent::ChainStarted();
  if (fileOpen_ && !streaming_) {
    streaming_ = true;
    pending_ = 0;
  }
}

void TMMMP3Encoder::BufferReady(PWaveHdr lpWaveHdr) {
  if (streaming_ && lpWaveHdr->dwBytesRecorded > 0 && Input() != nullptr && !fileName_.empty() &&
      !EncodeBuffer(lpWaveHdr->lpData, lpWaveHdr->dwBytesRecorded))
    Release();  // a refused or short write: the file ends here, the chain goes on
  TMMDSPComponent::BufferReady(lpWaveHdr);
}

bool TMMMP3Encoder::EncodeBuffer(const char* data, std::uint32_t bytes) {
  // Whole frames only: a stray partial frame would shift every later sample by a channel.
  std::uint32_t remaining = bytes - bytes % blockAlign_;
  std::uint32_t consumed = 0;
  char* chunk = reinterpret_cast<char*>(chunk_.get());
  if (pending_ > 0) {
    const std::uint32_t n = std::min(chunkBytes_ - pending_, remaining);
    std::memcpy(chunk + pending_, data, n);
    pending_ += n;
    consumed += n;
    remaining -= n;
    if (pending_ == chunkBytes_) {
      pending_ = 0;
      if (!EncodeChunk(chunk_.get(), chunkSamples_)) return false;
    }
  }
  // Whole chunks straight from the buffer.
  while (remaining >= chunkBytes_) {
    if (!EncodeChunk(reinterpret_cast<const std::int16_t*>(data + consumed), chunkSamples_))
      return false;
    consumed += chunkBytes_;
    remaining -= chunkBytes_;
  }
  if (remaining > 0) {
    std::memcpy(chunk, data + consumed, remaining);
    pending_ = remaining;
  }
  return true;
}

bool TMMMP3Encoder::EncodeChunk(const std::int16_t* pcm, std::uint32_t samples) {
  std::uint32_t n = 0;
  if (beEncodeChunk(stream_, samples, pcm, output_.get(), n) != beSuccessful)
    throw EMMMP3EncoderError("Unable to encode data");
  frames_ += samples * 2 / blockAlign_;
  return WriteData(n);
}

bool TMMMP3Encoder::WriteData(std::uint32_t bytes) {
  if (bytes == 0) return true;
  DiskFigures disk;
  const std::uint64_t free = disk_->Query(folder_, disk) ? disk.freeBytes : 0;
  if (free < bytes + kFreeSpaceMargin) return false;
  return file_->Write(output_.get(), bytes);
}

void TMMMP3Encoder::ChainStopped() {
  try {
    if (fileOpen_ && streaming_) FinishStream();
  } catch (...) {
    TMMDSPComponent::ChainStopped();
    throw;
  }
  TMMDSPComponent::ChainStopped();
}

void TMMMP3Encoder::FinishStream() {
  streaming_ = false;
  if (pending_ > 0) {
    const std::uint32_t samples = pending_ / 2;
    pending_ = 0;
    if (!EncodeChunk(chunk_.get(), samples)) {
      Release();
      return;
    }
  }
  std::uint32_t n = 0;
  if (beDeinitStream(stream_, output_.get(), n) != beSuccessful)
    throw EMMMP3EncoderError("Unable to deinitialize stream");
  if (!WriteData(n)) {
    Release();
    return;
  }
  // The finished Info frame goes over the placeholder when the file is closed.
  if (beInfoTag(stream_, output_.get(), n) == beSuccessful)
    tag_.assign(output_.get(), output_.get() + n);
}

void TMMMP3Encoder::ChainClosed() {
  std::exception_ptr error;
  if (fileOpen_) {
    try {
      ChainStopped();
    } catch (...) {
      error = std::current_exception();
    }
    const int closeError = Release();
    if (closeError != 0 && error == nullptr) error = CloseError(closeError);
  }
  TMMDSPComponent::ChainClosed();
  if (error != nullptr) std::rethrow_exception(error);
}

std::exception_ptr TMMMP3Encoder::CloseError(int errnum) {
  return std::make_exception_ptr(EMMMP3EncoderError(FailureText("close", SystemErrorText(errnum))));
}

int TMMMP3Encoder::Release() {
  int error = 0;
  if (file_ != nullptr) {
    error = file_->Finish(frames_, tag_);
    file_.reset();
  }
  tag_.clear();
  if (stream_ != 0) {
    beCloseStream(stream_);
    stream_ = 0;
  }
  chunk_.reset();
  output_.reset();
  pending_ = 0;
  streaming_ = false;
  fileOpen_ = false;
  return error;
}

}  // namespace zq
