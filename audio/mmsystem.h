#pragma once
// The records that travel with PCM audio between stages: the wave format record (18 bytes,
// packed, little-endian, the layout of the Windows WAVEFORMATEX) and the buffer header with its
// block layout.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace zq {

static_assert(std::endian::native == std::endian::little,
              "the wave records are little-endian and used in place");

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct TWaveFormatEx {
  std::uint16_t wFormatTag;       // 1 = PCM; other values are compressed formats
  std::uint16_t nChannels;        // 1 or 2 for PCM
  std::uint32_t nSamplesPerSec;   // frames per second
  std::uint32_t nAvgBytesPerSec;  // nBlockAlign * nSamplesPerSec
  std::uint16_t nBlockAlign;      // bytes per frame
  std::uint16_t wBitsPerSample;   // 8 or 16 for PCM
  std::uint16_t cbSize;           // extra format bytes that follow the record; 0 for PCM
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormatEx) == 18);
using PWaveFormatEx = TWaveFormatEx*;

// A stage's own copy of a format: a zero-filled heap block of WaveFormatSize bytes (a compressed
// format's extra bytes follow the record). Null means "no format yet".
struct WaveFormatDeleter {
  void operator()(TWaveFormatEx* p) const { std::free(p); }
};
using WaveFormatPtr = std::unique_ptr<TWaveFormatEx, WaveFormatDeleter>;

// dwFlags bits of a buffer header.
inline constexpr std::uint32_t WHDR_DONE = 0x01;
inline constexpr std::uint32_t WHDR_PREPARED = 0x02;
inline constexpr std::uint32_t WHDR_BEGINLOOP = 0x04;
inline constexpr std::uint32_t WHDR_ENDLOOP = 0x08;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x10;

// The header that travels with each buffer. A stage reads lpData and dwBytesRecorded only, and
// never keeps the pointer after its call returns: the block goes back to the device at once.
// (The Windows header is 32 bytes; with 64-bit pointers this one is larger.)
struct TWaveHdr {
  char* lpData;                   // first byte of the sample data
  std::uint32_t dwBufferLength;   // capacity of the data area in bytes
  std::uint32_t dwBytesRecorded;  // valid bytes at lpData
  std::uint32_t dwUser;           // free for the owner; 0 here
  std::uint32_t dwFlags;          // WHDR_* bits
  std::uint32_t dwLoops;          // 0 here
  TWaveHdr* lpNext;               // reserved for the device; null here
  std::uint32_t reserved;         // reserved for the device
};
using PWaveHdr = TWaveHdr*;

// A buffer is one memory block: the header, 28 bytes that stay zero, then the data.
inline constexpr std::size_t kWaveHdrGap = 28;
inline constexpr std::size_t kWaveDataOffset = sizeof(TWaveHdr) + kWaveHdrGap;

}  // namespace zq
