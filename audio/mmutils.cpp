#include "audio/mmutils.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace zq {
namespace {

std::int32_t Fit32(std::int64_t v) {
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    throw std::overflow_error("Integer overflow");
  return static_cast<std::int32_t>(v);
}

const TWaveFormatEx& Need(const TWaveFormatEx* f) {
  if (f == nullptr) throw std::invalid_argument("Invalid wave format");
  return *f;
}

std::int32_t RoundUpToFrames(std::int32_t bytes, std::uint16_t blockAlign) {
  if (blockAlign == 0) throw std::domain_error("Division by zero");
  // Computed as the unsigned 32-bit value it is; a result beyond 32 signed bits is an overflow.
  const std::uint64_t b = static_cast<std::uint32_t>(bytes);
  return Fit32(static_cast<std::int64_t>((b + blockAlign - 1) / blockAlign * blockAlign));
}

std::int32_t Rate(const TWaveFormatEx& f) {
  return Fit32(f.nSamplesPerSec);
}
std::int32_t AvgBytes(const TWaveFormatEx& f) {
  return Fit32(f.nAvgBytesPerSec);
}

}  // namespace

bool IsValidPCMFormat(const TWaveFormatEx* f) {
  return f != nullptr && f->wFormatTag == WAVE_FORMAT_PCM &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
         (f->nChannels == 1 || f->nChannels == 2) && f->nSamplesPerSec >= 4000 &&
         f->nSamplesPerSec <= 100000;
}

void BuildPCMFormat(TWaveFormatEx& r, int bits, int channels, std::uint32_t rate) {
  r.wFormatTag = WAVE_FORMAT_PCM;
  r.nChannels = static_cast<std::uint16_t>(channels);
  r.nSamplesPerSec = rate;
  r.wBitsPerSample = static_cast<std::uint16_t>(bits);
  r.nBlockAlign = static_cast<std::uint16_t>((channels * bits) >> 3);
  r.nAvgBytesPerSec = static_cast<std::uint32_t>(r.nBlockAlign) * rate;
  r.cbSize = 0;
}

void BuildPCMFormat(TWaveFormatEx& r, TMMBits bits, TMMMode mode, std::uint32_t rate) {
  BuildPCMFormat(r, (static_cast<int>(bits) + 1) * 8, static_cast<int>(mode) + 1, rate);
}

bool PropertiesFromFormat(const TWaveFormatEx* f, TMMBits& bits, TMMMode& mode,
                          std::uint32_t& rate) {
  if (!IsValidPCMFormat(f)) return false;
  rate = f->nSamplesPerSec;
  bits = static_cast<TMMBits>(f->wBitsPerSample / 8 - 1);
  mode = static_cast<TMMMode>(f->nChannels - 1);
  return true;
}

std::size_t WaveFormatSize(const TWaveFormatEx* f) {
  if (f == nullptr) return 0;
  if (f->wFormatTag == WAVE_FORMAT_PCM) return sizeof(TWaveFormatEx);
  return sizeof(TWaveFormatEx) + f->cbSize;
}

WaveFormatPtr CopyWaveFormat(const TWaveFormatEx* f) {
  if (f == nullptr) return nullptr;
  const std::size_t size = WaveFormatSize(f);
  auto* copy = static_cast<TWaveFormatEx*>(std::calloc(1, size));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, f, size);
  if (copy->wFormatTag == WAVE_FORMAT_PCM) copy->cbSize = 0;
  return WaveFormatPtr(copy);
}

std::int32_t BytesToSamples(const TWaveFormatEx* f, std::int32_t bytes) {
  const auto& w = Need(f);
  return MulDivRound(bytes, Rate(w), AvgBytes(w));
}

std::int32_t BytesToMs(const TWaveFormatEx* f, std::int32_t bytes) {
  return MulDivRound(bytes, 1000, AvgBytes(Need(f)));
}

std::int32_t SamplesToMs(const TWaveFormatEx* f, std::int32_t samples) {
  return MulDivRound(samples, 1000, Rate(Need(f)));
}

std::int32_t MsToSamples(const TWaveFormatEx* f, std::int32_t ms) {
  return MulDivRound(ms, Rate(Need(f)), 1000);
}

std::int32_t SamplesToBytes(const TWaveFormatEx* f, std::int32_t samples) {
  const auto& w = Need(f);
  return RoundUpToFrames(MulDivRound(samples, AvgBytes(w), Rate(w)), w.nBlockAlign);
}

std::int32_t MsToBytes(const TWaveFormatEx* f, std::int32_t ms) {
  const auto& w = Need(f);
  return RoundUpToFrames(MulDivRound(ms, AvgBytes(w), 1000), w.nBlockAlign);
}

std::int32_t WholeFrames(std::int32_t size, std::uint16_t blockAlign) {
  if (blockAlign == 0) return size;
  const std::int32_t whole = size - size % blockAlign;
  return whole > blockAlign ? whole : blockAlign;
}

}  // namespace zq
