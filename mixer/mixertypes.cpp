#include "mixer/mixertypes.h"

#include <array>

namespace zq {
namespace {

constexpr std::array<std::uint32_t, 20> kComponentCodes = {
    1,      5,      2,      3,      4,      6,      0,      8,      7,      0x100A,
    0x1009, 0x1005, 0x1001, 0x1002, 0x1003, 0x1007, 0x1004, 0x1006, 0x1000, 0x1008,
};
static_assert(kComponentCodes.size() == ctSrcWaveOut + 1);

constexpr std::array<std::uint32_t, 31> kControlCodes = {
    0x00000000,  // ctCustom
    0x10010000,  // ctBooleanMeter
    0x10020000,  // ctSignedMeter
    0x10020001,  // ctPeakMeter
    0x10030000,  // ctUnsignedMeter
    0x20010000,  // ctBoolean
    0x20010001,  // ctOnOff
    0x20010002,  // ctMute
    0x20010003,  // ctMono
    0x20010004,  // ctLoudness
    0x20010005,  // ctStereoEnh
    0x20012277,  // ctBassBoost
    0x21010000,  // ctButton
    0x30040000,  // ctDecibels
    0x30020000,  // ctSigned
    0x30030000,  // ctUnsigned
    0x30050000,  // ctPercent
    0x40020000,  // ctSlider
    0x40020001,  // ctPan
    0x40020002,  // ctQSoundPan
    0x50030000,  // ctFader
    0x50030001,  // ctVolume
    0x50030002,  // ctBass
    0x50030003,  // ctTreble
    0x50030004,  // ctEqualizer
    0x70010000,  // ctSingleSelect
    0x70010001,  // ctMux
    0x71010000,  // ctMultipleSelect
    0x71010001,  // ctMixer
    0x60030000,  // ctMicroTime
    0x61030000,  // ctMilliTime
};
static_assert(kControlCodes.size() == ctMilliTime + 1);

// The class of each value of the top four bits; -1 where there is none.
constexpr std::array<int, 16> kClassOfBits = {
    ccCustom, ccMeter, ccSwitch, ccNumber, ccSlider, ccFader, ccTime, ccList,
    -1,       -1,      -1,       -1,       -1,       -1,      -1,     -1,
};

}  // namespace

std::uint32_t ComponentTypeCode(TMMComponentType type) {
  return kComponentCodes[static_cast<std::size_t>(type)];
}

std::optional<TMMComponentType> ComponentTypeOfCode(std::uint32_t code) {
  for (std::size_t i = 0; i < kComponentCodes.size(); ++i)
    if (kComponentCodes[i] == code) return static_cast<TMMComponentType>(i);
  return std::nullopt;
}

std::uint32_t ControlTypeCode(TMMControlType type) {
  return kControlCodes[static_cast<std::size_t>(type)];
}

std::optional<TMMControlType> ControlTypeOfCode(std::uint32_t code) {
  for (std::size_t i = 0; i < kControlCodes.size(); ++i)
    if (kControlCodes[i] == code) return static_cast<TMMControlType>(i);
  return std::nullopt;
}

std::optional<TMMControlClass> ControlClassOfCode(std::uint32_t code) {
  const int c = kClassOfBits[code >> 28];
  if (c < 0) return std::nullopt;
  return static_cast<TMMControlClass>(c);
}

}  // namespace zq
