#include "player/mp3source.h"

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/errortext.h"

namespace zq {
namespace {

constexpr std::size_t kReadBlock = 64 * 1024;    // what the decoder's reads are served from
constexpr std::size_t kWalkBlock = 1024 * 1024;  // what one step of the walk reads at most

// The fields of an MPEG audio Layer III frame header that the walk needs.
struct FrameHeader {
  bool mpeg1 = false;
  long rate = 0;
  int channels = 0;
  int bytes = 0;  // the whole frame, header included
  bool crc = false;
};

bool ParseHeader(const std::uint8_t* p, FrameHeader& h) {
  static constexpr int kKbps1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                     112, 128, 160, 192, 224, 256, 320, 0};
  static constexpr int kKbps2[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                     64, 80, 96, 112, 128, 144, 160, 0};
  static constexpr long kRates[3] = {44100, 48000, 32000};
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layer = (p[1] >> 1) & 3;    // 1: Layer III
  const int kbpsIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  if (version == 1 || layer != 1 || kbpsIndex == 0 || kbpsIndex == 15 || rateIndex == 3)
    return false;
  h.mpeg1 = version == 3;
  h.rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  h.channels = (p[3] >> 6) == 3 ? 1 : 2;
  const long bps = 1000L * (h.mpeg1 ? kKbps1 : kKbps2)[kbpsIndex];
  h.bytes = static_cast<int>((h.mpeg1 ? 144 : 72) * bps / h.rate) + ((p[2] >> 1) & 1);
  h.crc = (p[1] & 1) == 0;
  return true;
}

// Reads `size` bytes at `at`, or fewer at the end of the file: the count, or -1 (errno set).
ssize_t ReadAt(int fd, std::uint8_t* to, std::size_t size, std::uint64_t at) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd, to + got, size - got, static_cast<off_t>(at + got));
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

}  // namespace

// The file, the decoder reading it through a block buffer, and the walk's state.
struct TMp3Source::Decoder {
  int fd = -1;
  std::uint64_t size = 0;  // what the decoder may read: the file, then its whole frames
  std::uint64_t position = 0;
  std::vector<std::uint8_t> block;
  std::uint64_t blockAt = 0;
  std::size_t blockLength = 0;
  int readErrno = 0;  // of the last failed read, for the message
  mpg123_handle* mh = nullptr;

  FrameHeader first;
  int spf = 0;
  std::int64_t tagDelay = 0;  // the samples the tag trims at the start
  std::uint64_t walkAt = 0;   // the next frame's offset
  std::uint64_t fileSize = 0;
  std::vector<off_t> offsets;  // of every frame of sound
  int smallestFrame = 0;
  std::vector<std::uint8_t> walkBlock;

  ~Decoder() {
    if (mh != nullptr) mpg123_delete(mh);
    if (fd >= 0) ::close(fd);
  }

  static ssize_t Read(void* handle, void* to, std::size_t count) {
    return static_cast<Decoder*>(handle)->ReadBytes(static_cast<std::uint8_t*>(to), count);
  }
  static off_t Lseek(void* handle, off_t offset, int whence) {
    Decoder& d = *static_cast<Decoder*>(handle);
    const std::int64_t base = whence == SEEK_SET   ? 0
                              : whence == SEEK_CUR ? static_cast<std::int64_t>(d.position)
                              : whence == SEEK_END ? static_cast<std::int64_t>(d.size)
                                                   : -1;
    if (base < 0 || base + offset < 0) return -1;
    d.position = static_cast<std::uint64_t>(base + offset);
    return static_cast<off_t>(d.position);
  }

  ssize_t ReadBytes(std::uint8_t* to, std::size_t count) {
    std::size_t done = 0;
    while (done < count && position < size) {
      if (position < blockAt || position >= blockAt + blockLength) {
        block.resize(kReadBlock);
        const ssize_t n = ReadAt(fd, block.data(), kReadBlock, position);
        if (n < 0) {
          readErrno = errno;
          return -1;
        }
        blockAt = position;
        blockLength = static_cast<std::size_t>(n);
        if (n == 0) break;
      }
      const std::size_t in = static_cast<std::size_t>(position - blockAt);
      const std::size_t n = static_cast<std::size_t>(
          std::min<std::uint64_t>({count - done, blockLength - in, size - position}));
      std::copy_n(block.data() + in, n, to + done);
      done += n;
      position += n;
    }
    return static_cast<ssize_t>(done);
  }
};

TMp3Source::TMp3Source(std::string path) : path_(std::move(path)) {}

TMp3Source::~TMp3Source() = default;

bool TMp3Source::Fail(const std::string& operation, const std::string& reason) {
  error_ = FailureText(operation + " " + path_, reason);
  state_ = psFailed;
  decoder_.reset();
  return false;
}

TMp3Source::TPrepareStep TMp3Source::Prepare(std::size_t bytes) {
  if (state_ != psMore) return state_;
  if (!opened_) {
    opened_ = true;
    if (!Open()) return state_;
  }
  if (Walk(bytes) && !Finish()) return state_;
  return state_;
}

bool TMp3Source::Open() {
  InitLibrary();
  decoder_ = std::make_unique<Decoder>();
  Decoder& d = *decoder_;
  d.fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (d.fd < 0 || ::fstat(d.fd, &st) != 0) return Fail("Open", SystemErrorText(errno));
  if (S_ISDIR(st.st_mode)) return Fail("Open", SystemErrorText(EISDIR));
  d.fileSize = d.size = static_cast<std::uint64_t>(st.st_size);

  int err = MPG123_OK;
  d.mh = mpg123_new(nullptr, &err);
  if (d.mh == nullptr) return Fail("Open", mpg123_plain_strerror(err));
  // The file's own rate and channels, 16-bit; gapless mode (the default) trims by the tag.
  const long* rates = nullptr;
  std::size_t count = 0;
  mpg123_rates(&rates, &count);
  err = mpg123_param(d.mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
  if (err == MPG123_OK) err = mpg123_format_none(d.mh);
  for (std::size_t i = 0; err == MPG123_OK && i < count; ++i)
    err = mpg123_format(d.mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (err == MPG123_OK)
    err = mpg123_replace_reader_handle(d.mh, &Decoder::Read, &Decoder::Lseek, nullptr);
  if (err == MPG123_OK) err = mpg123_open_handle(d.mh, &d);
  if (err != MPG123_OK) return Fail("Open", mpg123_strerror(d.mh));

  long rate = 0;
  int channels = 0, encoding = 0;
  if (mpg123_getformat(d.mh, &rate, &channels, &encoding) != MPG123_OK) {
    if (d.readErrno != 0) return Fail("Open", SystemErrorText(d.readErrno));
    const int code = mpg123_errcode(d.mh);
    // A file with no MPEG audio in it: empty, text, noise.
    const bool noFrames = code == MPG123_OK || code == MPG123_ERR_READER ||
                          code == MPG123_OUT_OF_SYNC || code == MPG123_RESYNC_FAIL;
    return Fail("Open", mpg123_plain_strerror(noFrames ? MPG123_RESYNC_FAIL : code));
  }

  // The first frame of sound, after any tag frame; the walk starts there.
  off_t* index = nullptr;
  off_t step = 0;
  std::size_t fill = 0;
  std::uint8_t head[4];
  if (mpg123_index(d.mh, &index, &step, &fill) != MPG123_OK || fill == 0 ||
      ReadAt(d.fd, head, 4, static_cast<std::uint64_t>(index[0])) != 4 ||
      !ParseHeader(head, d.first) || d.first.rate != rate || d.first.channels != channels)
    return Fail("Open", mpg123_plain_strerror(MPG123_RESYNC_FAIL));
  d.walkAt = static_cast<std::uint64_t>(index[0]);
  d.spf = d.first.mpeg1 ? 1152 : 576;
  d.offsets.reserve(d.fileSize / static_cast<std::uint64_t>(d.first.bytes) + 1);
  d.smallestFrame = d.first.bytes;
  rate_ = rate;
  channels_ = channels;

  // Whether the decoder trims by the file's tag: with a complete tag, frame 1 begins at sample
  // spf - (delay + 529) of the trimmed count; without one, at spf.
  if (mpg123_seek_frame(d.mh, 1, SEEK_SET) >= 0) {
    const off_t at = mpg123_tell(d.mh);
    trimmedByTag_ = at >= 0 && at < d.spf;
    if (trimmedByTag_) d.tagDelay = d.spf - at;
  }
  lead_ = trimmedByTag_ ? 0 : kUntaggedDelay;
  return true;
}

// One step of the walk; true once it is complete.
bool TMp3Source::Walk(std::size_t bytes) {
  Decoder& d = *decoder_;
  const std::size_t want = std::clamp<std::size_t>(bytes, 4096, kWalkBlock);
  d.walkBlock.resize(want);
  const std::uint64_t blockAt = d.walkAt;
  const ssize_t n = ReadAt(d.fd, d.walkBlock.data(), want, blockAt);
  if (n < 0) return Fail("Read", SystemErrorText(errno));
  const std::uint64_t blockEnd = blockAt + static_cast<std::uint64_t>(n);
  for (;;) {
    const std::uint64_t at = d.walkAt;
    if (at + 4 > blockEnd) return at + 4 > d.fileSize;  // the next header is in the next step
    FrameHeader h;
    if (!ParseHeader(d.walkBlock.data() + (at - blockAt), h) || h.mpeg1 != d.first.mpeg1 ||
        h.rate != d.first.rate || h.channels != d.first.channels ||
        at + static_cast<std::uint64_t>(h.bytes) > d.fileSize)
      return true;  // not a whole frame of this stream: the file ends before it
    d.offsets.push_back(static_cast<off_t>(at));
    d.smallestFrame = std::min(d.smallestFrame, h.bytes);
    d.walkAt = at + static_cast<std::uint64_t>(h.bytes);
  }
}

bool TMp3Source::Finish() {
  Decoder& d = *decoder_;
  frames_ = static_cast<std::int64_t>(d.offsets.size());
  if (frames_ == 0) return Fail("Open", mpg123_plain_strerror(MPG123_RESYNC_FAIL));
  d.size = d.walkAt;  // the decoder sees the file end after its last whole frame
  if (mpg123_set_index(d.mh, d.offsets.data(), 1, d.offsets.size()) != MPG123_OK)
    return Fail("Open", mpg123_strerror(d.mh));
  std::vector<off_t>().swap(d.offsets);  // the decoder keeps its own copy
  std::vector<std::uint8_t>().swap(d.walkBlock);

  // Enough frames decoded ahead of a seek to refill the bit reservoir of the frame before the
  // target, whose overlap the target needs: the reservoir reaches back 511 bytes (255 in MPEG-2)
  // of main data, and the smallest frame holds the least of it.
  const int side =
      d.first.mpeg1 ? (d.first.channels == 1 ? 17 : 32) : (d.first.channels == 1 ? 9 : 17);
  const int reach = d.first.mpeg1 ? 511 : 255;
  const int mainData = std::max(1, d.smallestFrame - 4 - side - (d.first.crc ? 2 : 0));
  const long preframes = 1 + (reach + mainData - 1) / mainData;
  if (mpg123_param(d.mh, MPG123_PREFRAMES, preframes, 0) != MPG123_OK)
    return Fail("Open", mpg123_strerror(d.mh));

  const std::int64_t decoded = frames_ * d.spf;
  if (trimmedByTag_) {
    // The tag's length, unless the file holds fewer frames than it says.
    const off_t tagged = mpg123_length(d.mh);
    length_ = std::min<std::int64_t>(tagged >= 0 ? tagged : decoded, decoded - d.tagDelay);
  } else {
    length_ = decoded - lead_;
  }
  length_ = std::max<std::int64_t>(0, length_);
  state_ = psReady;
  return Seek(0);
}

bool TMp3Source::Seek(std::int64_t sample) {
  if (state_ != psReady) return false;
  // The decoder is moved at the next read: two of its seeks with no decoding between can leave
  // its state unprimed.
  position_ = std::clamp<std::int64_t>(sample, 0, length_);
  seekPending_ = true;
  exhausted_ = false;
  return true;
}

long TMp3Source::Read(std::int16_t* pcm, long frames) {
  if (state_ != psReady) return state_ == psFailed ? -1 : 0;
  if (exhausted_) return 0;
  const long want = static_cast<long>(std::min<std::int64_t>(frames, length_ - position_));
  if (want > 0 && seekPending_) {
    const off_t at = static_cast<off_t>(position_ + lead_);
    if (mpg123_seek(decoder_->mh, at, SEEK_SET) != at) {
      Fail("Seek", decoder_->readErrno != 0 ? SystemErrorText(decoder_->readErrno)
                                            : mpg123_strerror(decoder_->mh));
      return -1;
    }
    seekPending_ = false;
  }
  const std::size_t frameBytes = 2 * static_cast<std::size_t>(channels_);
  auto* out = reinterpret_cast<unsigned char*>(pcm);
  std::size_t got = 0;
  while (got < static_cast<std::size_t>(want) * frameBytes) {
    std::size_t n = 0;
    const int r = mpg123_read(decoder_->mh, out + got, want * frameBytes - got, &n);
    got += n;
    if (r == MPG123_OK || r == MPG123_NEW_FORMAT) continue;
    if (r == MPG123_DONE) {
      exhausted_ = true;  // the decoder ended before the length: so does the file
      break;
    }
    Fail("Decode", decoder_->readErrno != 0 ? SystemErrorText(decoder_->readErrno)
                                            : mpg123_strerror(decoder_->mh));
    return -1;
  }
  position_ += static_cast<std::int64_t>(got / frameBytes);
  return static_cast<long>(got / frameBytes);
}

}  // namespace zq
