#pragma once
// The encoder library binding: four stream operations over LAME, which is loaded at run time by
// name ("libmp3lame.so.0") the first time a stream is wanted. The library stays loaded for the
// life of the process; a load that fails is tried again at the next call, and a library that
// lacks one of the entry points used here counts as not loadable.
//
// A stream encodes 16-bit PCM, interleaved when stereo, into a raw MPEG audio Layer III stream:
// constant bit rate at the record's rate, LAME's default quality, no ID3 tag, and the output
// sample rate always the input's (LAME would otherwise resample low bit rates).
//
// A stream opened with its Info tag begins with a placeholder frame: an Info frame that says
// nothing yet, which decoders skip rather than play (so a file cut short by a crash decodes every
// frame it holds and nothing more). After beDeinitStream, beInfoTag gives the finished Info frame
// (the CBR form of the Xing header, with LAME's encoder delay and padding), to be written over
// the placeholder, so a decoder that reads it gives back exactly the samples encoded. LAME finds
// no room for its tag in a frame below 64 kbps at 44100 or 48000 Hz (48 kbps at 32000 Hz): such
// a stream has neither, and decodes with the encoder's delay and padding as silence at its ends.
//
// Threads: the stream operations of one stream are called from one thread (the thread that
// drives the chain); loading and the library name may be touched from any thread. Results are
// beSuccessful (0) or an error code; only running out of memory and beSetLibraryName's refusal
// throw.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zq {

inline constexpr std::uint32_t BE_CONFIG_MP3 = 0;

// Channel modes of the record.
inline constexpr std::uint8_t BE_MP3_MODE_STEREO = 0;
inline constexpr std::uint8_t BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr std::uint8_t BE_MP3_MODE_MONO = 3;  // the input has one channel

// The configuration record a stream is initialised from (packed, little-endian, 27 bytes). The
// input has two channels unless the mode is mono. The flags set their MPEG header bit when
// non-zero (the stage writes -1).
#pragma pack(push, 1)
struct TBeConfig {
  std::uint32_t dwConfig;      // BE_CONFIG_MP3
  std::uint32_t dwSampleRate;  // input (and output) frames per second
  std::uint8_t byMode;         // BE_MP3_MODE_*
  std::uint16_t wBitrate;      // kbps
  std::int32_t bPrivate;
  std::int32_t bCRC;
  std::int32_t bCopyright;
  std::int32_t bOriginal;
};
#pragma pack(pop)
static_assert(sizeof(TBeConfig) == 27);
static_assert(offsetof(TBeConfig, byMode) == 8 && offsetof(TBeConfig, wBitrate) == 9 &&
              offsetof(TBeConfig, bPrivate) == 11 && offsetof(TBeConfig, bOriginal) == 23);

enum TBeErr : std::uint32_t {
  beSuccessful = 0,
  beInvalidFormat,      // the record's kind is not MP3
  beInvalidParameters,  // mode, rate or bit rate refused
  beNoLibrary,          // the library cannot be loaded
  beInvalidHandle,      // not a stream of this binding, or already closed
  beEncodeFailed,
};

// Opaque, pointer-sized (it stands for LAME's encoder state); 0 is never a stream.
using TBeStream = std::uintptr_t;

// Samples per chunk of a stream: one MPEG frame of 1152 frames, times the channels.
inline constexpr std::uint32_t kBeFrameSamples = 1152;

// Loads the library if it is not loaded yet; false when it cannot be loaded.
bool beLoadLibrary();

// The name the next load uses; a test points it at a fake library. A library already loaded is
// let go, so the next call loads the new one. std::logic_error while a stream is open.
void beSetLibraryName(const std::string& name);

// Opens a stream, with its Info tag when `infoTag`. `samples` receives the samples every chunk
// should hold (all channels counted), `bufferSize` the bytes an output buffer needs for one chunk,
// the final flush or the Info frame. The stream lives until beCloseStream, also when a later call
// fails.
TBeErr beInitStream(const TBeConfig& config, std::uint32_t& samples, std::uint32_t& bufferSize,
                    TBeStream& stream, bool infoTag = false);
// Encodes `samples` 16-bit values (whole frames; a stray value of an odd stereo count is
// dropped) and writes 0 or more MP3 bytes to `output`, which has the stream's bufferSize bytes.
// A chunk may be shorter than the stream's chunk size only as the last one before beDeinitStream.
TBeErr beEncodeChunk(TBeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                     std::uint8_t* output, std::uint32_t& outputBytes);
// Flushes the encoder: the last MP3 bytes of the stream into `output` (bufferSize bytes).
TBeErr beDeinitStream(TBeStream stream, std::uint8_t* output, std::uint32_t& outputBytes);
// After beDeinitStream: the finished Info frame into `output` (bufferSize bytes), to be written
// over the first bytes of the stream; 0 bytes for a stream without its tag.
TBeErr beInfoTag(TBeStream stream, std::uint8_t* output, std::uint32_t& outputBytes);
// Frees the stream; its handle is invalid afterwards.
TBeErr beCloseStream(TBeStream stream);

}  // namespace zq
