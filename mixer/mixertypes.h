#pragma once
// The kinds of mixer lines and controls, and the codes the back-ends use for them (one code per
// value, both ways).

#include <cstdint>
#include <optional>

namespace zq {

enum TMMComponentType {
  ctDstDigital,
  ctDstHeadphones,
  ctDstLine,
  ctDstMonitor,
  ctDstSpeakers,
  ctDstTelephone,
  ctDstUndefined,
  ctDstVoiceIn,
  ctDstWaveIn,
  ctSrcAnalog,
  ctSrcAuxiliary,
  ctSrcCompactDisc,
  ctSrcDigital,
  ctSrcLine,
  ctSrcMicrophone,
  ctSrcPCSpeaker,
  ctSrcSynthesizer,
  ctSrcTelephone,
  ctSrcUndefined,
  ctSrcWaveOut,
};

enum TMMControlType {
  ctCustom,
  ctBooleanMeter,
  ctSignedMeter,
  ctPeakMeter,
  ctUnsignedMeter,
  ctBoolean,
  ctOnOff,
  ctMute,
  ctMono,
  ctLoudness,
  ctStereoEnh,
  ctBassBoost,
  ctButton,
  ctDecibels,
  ctSigned,
  ctUnsigned,
  ctPercent,
  ctSlider,
  ctPan,
  ctQSoundPan,
  ctFader,
  ctVolume,
  ctBass,
  ctTreble,
  ctEqualizer,
  ctSingleSelect,
  ctMux,
  ctMultipleSelect,
  ctMixer,
  ctMicroTime,
  ctMilliTime,
};

enum TMMControlClass { ccCustom, ccFader, ccList, ccMeter, ccNumber, ccSlider, ccSwitch, ccTime };

std::uint32_t ComponentTypeCode(TMMComponentType type);
// Empty for a code no value stands for.
std::optional<TMMComponentType> ComponentTypeOfCode(std::uint32_t code);

std::uint32_t ControlTypeCode(TMMControlType type);
std::optional<TMMControlType> ControlTypeOfCode(std::uint32_t code);
// From the top four bits of a control type code; empty for the bits no class has.
std::optional<TMMControlClass> ControlClassOfCode(std::uint32_t code);

}  // namespace zq
