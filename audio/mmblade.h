#pragma once
// TMMMP3Encoder: the last stage of the capture chain. It cuts the 16-bit PCM buffers it receives
// into the encoder library's chunks (one MPEG frame each; the boundaries do not depend on the
// capture's buffer size), has the library encode them and appends the MP3 bytes to the file
// FileName: a raw MPEG stream (ftRAW) or a RIFF WAVE file around it (ftWAV).
//
// Life cycle, driven by the chain: ChainOpened loads the library, creates FileName as a new file
// and opens an encoder stream; ChainStarted begins streaming; BufferReady encodes; the
// ChainStopped after streaming encodes what is pending as a short last chunk and flushes the
// encoder; ChainClosed closes the file and the stream. Opening an opened stage does nothing, a
// stop without a start does nothing, and a close also stops. Destroying the stage closes it.
// A failed open leaves no file of its own behind, and the next open tries everything again (the
// library load too). A start after a stop without a close goes on in the same file. Only whole
// frames of a buffer are encoded: a stray partial frame at its end is dropped.
//
// Files are never replaced: an open or a switch whose FileName exists fails with "Unable to
// create file" and leaves that file as it is. A file the stage made and never wrote a byte to is
// removed when it is closed.
//
// SwitchFile moves an open stage to a new file between two buffers, unseen by the chain: the
// current file gets everything pushed so far and is finished as at a stop and a close, then the
// new file starts with a new encoder stream (streaming at once if the chain is started). Each
// file decodes on its own from its first frame.
//
// A raw stream begins with an Info frame (see bladeenc.h): a placeholder while the file is
// written, replaced by the finished one (encoder delay and padding, so decoders give back exactly
// the samples pushed) when the file is finished after a flush. A file cut short (a crash, a full
// disk) keeps the placeholder and still decodes every frame it holds.
//
// Writing: before every write the free space of the file's folder is asked from the injected
// disk-space service; below the bytes to write + 10240 (or when the query fails) the write is
// refused. A refused or short write ends the file at once, silently: the stage lets go of the
// file and the stream, the buffers still pass on, and nothing is written until the next open or
// switch.
//
// Threads: everything runs on the thread that drives the chain (the main thread in the
// recorder). The stage owns its file, its encoder stream and its chunk and output buffers, from
// the open to the close; the buffers pushed through BufferReady are only read during the call.
//
// Errors are EMMMP3EncoderError: in the open (library, format, file, stream), in BufferReady and
// ChainStopped (encoding, flushing), from the property writers (FileName and FileType while
// open), from ChainClosed when the file cannot be finished ("close:", LF CR, the system's error
// text; the stage is closed even then), and from SwitchFile for either file.

#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/bladeenc.h"
#include "audio/mmdspobj.h"
#include "platform/services.h"

namespace zq {

enum TMMChannelMode { cmStereo, cmDualChannel, cmMono };
enum TMMBitrates {
  br32,
  br40,
  br48,
  br56,
  br64,
  br80,
  br96,
  br112,
  br128,
  br160,
  br192,
  br224,
  br256,
  br320
};
enum TMMFileType { ftWAV, ftRAW };

// 32 .. 320.
int BitrateKbps(TMMBitrates bitrate);

class EMMMP3EncoderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The format chunk of an ftWAV file: the MPEG Layer-3 wave format (30 bytes, little-endian).
#pragma pack(push, 1)
struct TMPEGLayer3WaveFormat {
  TWaveFormatEx wfx;       // tag 0x55, the PCM channels and rate, block align 1, 0 bits, cbSize 12
  std::uint16_t wID;       // 1
  std::uint32_t fdwFlags;  // 2
  std::uint16_t nBlockSize;
  std::uint16_t nFramesPerBlock;  // 1
  std::uint16_t nCodecDelay;      // 1393
};
#pragma pack(pop)
static_assert(sizeof(TMPEGLayer3WaveFormat) == 30);

class TMMMP3Encoder : public TMMDSPComponent {
 public:
  static constexpr std::uint64_t kFreeSpaceMargin = 10240;

  // The disk-space service of `services` answers the free-space queries; it must be given
  // (std::invalid_argument otherwise) and outlive the stage.
  explicit TMMMP3Encoder(TMMComponent* owner = nullptr,
                         const Services& services = DefaultServices());
  ~TMMMP3Encoder() override;

  // Plain fields, read at the next open.
  TMMChannelMode ChannelMode() const { return channelMode_; }
  void SetChannelMode(TMMChannelMode value) { channelMode_ = value; }
  TMMBitrates Bitrate() const { return bitrate_; }
  void SetBitrate(TMMBitrates value) { bitrate_ = value; }
  bool Copyright() const { return copyright_; }
  void SetCopyright(bool value) { copyright_ = value; }
  bool Privat() const { return privat_; }
  void SetPrivat(bool value) { privat_ = value; }
  bool CRC() const { return crc_; }
  void SetCRC(bool value) { crc_ = value; }
  bool Original() const { return original_; }
  void SetOriginal(bool value) { original_ = value; }

  // A different value while the stage has its file open: EMMMP3EncoderError, value kept.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& value);
  // While the chain is open: finishes the current file (everything pushed so far is in it; it is
  // finished even when the new one fails) and goes on in a new file `name`. A failure to create
  // the new file leaves the stage without a file until the next switch or open; the buffers pass
  // on. Outside an open chain, only the name changes.
  void SwitchFile(const std::string& name);
  TMMFileType FileType() const { return fileType_; }
  void SetFileType(TMMFileType value);

  // The record the next open hands to the library: the current format's rate, mode 3 (mono)
  // for a one-channel input, otherwise from ChannelMode (cmMono encodes a stereo input as
  // stereo), the bit rate in kbps, and -1 for each flag that is set.
  TBeConfig EncoderConfig() const;

  // The encoder is the end of a chain: it publishes Input only.
  bool Publishes(std::string_view property) const override { return property == "Input"; }

  void ChainOpened() override;
  void ChainClosed() override;
  void ChainStarted() override;
  void ChainStopped() override;
  void BufferReady(PWaveHdr lpWaveHdr) override;

 private:
  class SegmentFile;

  void Open();
  // Encodes one chunk and writes its bytes; false when the write was refused or short.
  bool EncodeChunk(const std::int16_t* pcm, std::uint32_t samples);
  bool EncodeBuffer(const char* data, std::uint32_t bytes);
  bool WriteData(std::uint32_t bytes);
  void FinishStream();
  // Lets go of the file, the stream and the buffers: 0, or the errno of finishing the file.
  int Release();
  static std::exception_ptr CloseError(int errnum);

  DiskSpace* disk_;
  TMMChannelMode channelMode_ = cmStereo;
  TMMBitrates bitrate_ = br128;
  bool copyright_ = false;
  bool privat_ = false;
  bool crc_ = false;
  bool original_ = false;
  std::string fileName_;
  TMMFileType fileType_ = ftRAW;

  bool fileOpen_ = false;  // file created and encoder stream initialised
  bool streaming_ = false;
  std::unique_ptr<SegmentFile> file_;
  std::string folder_;  // of the open file, for the free-space query
  TBeStream stream_ = 0;
  std::uint32_t chunkSamples_ = 0;
  std::uint32_t chunkBytes_ = 0;
  std::uint32_t outputSize_ = 0;
  std::uint32_t pending_ = 0;
  std::uint16_t blockAlign_ = 0;
  std::uint64_t frames_ = 0;  // PCM frames encoded, for the ftWAV "fact" chunk
  std::unique_ptr<std::int16_t[]> chunk_;
  std::unique_ptr<std::uint8_t[]> output_;
  std::vector<std::uint8_t> tag_;  // the finished Info frame, from the flush to the close
};

}  // namespace zq
