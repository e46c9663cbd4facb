#pragma once
// The vocabulary every audio stage and display shares: enumerations (their ordinals are stored
// and computed with, so their order is fixed) and the byte, sample and millisecond arithmetic.
// All helpers are pure and thread-safe.

#include <cstdint>

#include "audio/mmsystem.h"
#include "platform/muldiv.h"

namespace zq {

enum TMMMode { mMono, mStereo, mMultiChannel };  // channels = ordinal + 1
enum TMMBits { b8Bit, b16Bit };                  // bits per sample = (ordinal + 1) * 8
enum TMMChannel { chBoth, chLeft, chRight };
enum TMMDecayMode { dmNone, dmStepUp, dmExponential, dmUniform };
enum TMMTimeFormats { tfMillisecond, tfByte, tfSample };

// Tag 1, 8 or 16 bits, 1 or 2 channels and 4000 .. 100000 frames per second.
bool IsValidPCMFormat(const TWaveFormatEx* format);
void BuildPCMFormat(TWaveFormatEx& record, int bits, int channels, std::uint32_t rate);
// 0 for null, 18 for PCM, otherwise 18 + cbSize.
std::size_t WaveFormatSize(const TWaveFormatEx* format);
// Null for null; a PCM copy gets cbSize 0. std::bad_alloc when memory runs out.
WaveFormatPtr CopyWaveFormat(const TWaveFormatEx* format);

// Time conversions, rounded as MulDivRound. The conversions to bytes round up to whole frames.
// They throw as MulDivRound does (a format with a zero rate or frame size, or a result beyond 32
// bits), and std::invalid_argument for a null format.
std::int32_t BytesToSamples(const TWaveFormatEx* f, std::int32_t bytes);
std::int32_t BytesToMs(const TWaveFormatEx* f, std::int32_t bytes);
std::int32_t SamplesToMs(const TWaveFormatEx* f, std::int32_t samples);
std::int32_t MsToSamples(const TWaveFormatEx* f, std::int32_t ms);
std::int32_t SamplesToBytes(const TWaveFormatEx* f, std::int32_t samples);
std::int32_t MsToBytes(const TWaveFormatEx* f, std::int32_t ms);

// Properties and records kept in step: the record for Mode/BitLength/SampleRate, and those
// properties from a record (only when it is valid PCM; false otherwise).
void BuildPCMFormat(TWaveFormatEx& record, TMMBits bits, TMMMode mode, std::uint32_t rate);
bool PropertiesFromFormat(const TWaveFormatEx* format, TMMBits& bits, TMMMode& mode,
                          std::uint32_t& rate);

// Whole frames of a buffer size: max(size - size mod nBlockAlign, nBlockAlign).
std::int32_t WholeFrames(std::int32_t size, std::uint16_t blockAlign);

}  // namespace zq
