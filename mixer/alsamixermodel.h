#pragma once
// How the ALSA back-end presents a card's simple mixer elements (those of index 0) as lines and
// controls, and how it moves their values. Built from plain element descriptions, so the mapping
// is the same for a card, the sound server's "default" and a test's list.
//
// Always two destinations:
// - destination 0, ctDstSpeakers (line 0): volume (ctVolume) and mute (ctMute, true when the
//   switch is off) from "Master". Every other element with a playback volume or switch, except
//   the "... Boost" gains, is a source with its volume and mute.
// - destination 1, ctDstWaveIn (line 1): volume and mute from "Capture". The selector is a ctMux
//   over the items of an enumerated capture element ("Input Source", "Capture Source"), else a
//   ctMux over the elements of one exclusive capture group, else a ctMixer over the elements with
//   a capture switch; none when there is nothing to select. Each item is a source, with a volume
//   where its element has a capture volume of its own.
// Sources are typed by name (TypeOfName). Volumes run 0 .. 65535; Steps is the element's range
// when that is 1 .. 65535, else 0. A written volume reads back the same while the card keeps the
// value it was given, and every value of the element's range can be written. A control is
// uniform (cfUniform) when its element is mono or its channels are joined.
//
// Not thread-safe; the back-end uses it on the main thread.

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "mixer/mixercard.h"
#include "mixer/mixertypes.h"

namespace zq {

// What the mapping needs to know of one simple element.
struct TAlsaElement {
  std::string name;
  bool playbackVolume = false;
  bool playbackSwitch = false;
  bool captureVolume = false;
  bool captureSwitch = false;
  long playbackMin = 0, playbackMax = 0;
  long captureMin = 0, captureMax = 0;
  int playbackChannels = 2;  // 1 for a mono element, else 2 (front left and right)
  int captureChannels = 2;
  bool playbackVolumeJoined = false;
  bool playbackSwitchJoined = false;
  bool captureVolumeJoined = false;
  bool captureSwitchJoined = false;
  int captureGroup = -1;     // the exclusive capture group of its switch; -1 when not exclusive
  bool enumCapture = false;  // an enumerated element of the capture side
  std::vector<std::string> enumItems;  // an enumerated element's items
};

// One value of an element. Channel 0 is front left (or mono), 1 front right; -1 (for writing)
// every channel.
enum class TAlsaValue {
  kPlaybackVolume,
  kPlaybackSwitch,
  kCaptureVolume,
  kCaptureSwitch,
  kEnumItem
};

// Reading and writing the elements, by their position in the description list. Results are 0 or
// ALSA's negative codes.
class TAlsaElementIo {
 public:
  virtual int Get(int element, TAlsaValue what, int channel, long& value) = 0;
  virtual int Set(int element, TAlsaValue what, int channel, long value) = 0;

 protected:
  ~TAlsaElementIo() = default;
};

// The source type an element's name stands for: "Line", "Line In" ctSrcLine; "Mic",
// "Microphone" ctSrcMicrophone; "CD" ctSrcCompactDisc; "PCM" ctSrcWaveOut; "Aux" ctSrcAuxiliary;
// "Phone" ctSrcTelephone; "Beep", "PC Speaker", "PC Beep" ctSrcPCSpeaker; "Synth", "MIDI"
// ctSrcSynthesizer (each also after a place: "Front Mic", "Rear Line"); names beginning with
// "IEC958", "SPDIF" or "Digital" ctSrcDigital; any other ctSrcUndefined.
TMMComponentType TypeOfName(const std::string& name);

class TAlsaCardModel {
 public:
  // `deviceId` and `deviceName` are the mixer's number and name, which the destinations carry
  // as their targets (wave output, wave input).
  TAlsaCardModel(std::vector<TAlsaElement> elements, int deviceId, const std::string& deviceName);

  const TMixerCard& Card() const { return card_; }
  // The controls whose value, and the lines whose information, an element carries.
  std::vector<int> ControlsOfElement(int element) const;
  std::vector<int> LinesOfElement(int element) const;

  // Control details, shaped as the back-end contract says. After a write `settled` is false when
  // the card did not take the values as given (an enumerated selector cannot select nothing):
  // the control then reads what the card kept.
  int GetValues(TAlsaElementIo& io, int controlId, int channels, int items,
                std::vector<std::uint32_t>& values);
  int SetValues(TAlsaElementIo& io, int controlId, int channels, int items,
                const std::vector<std::uint32_t>& values, bool& settled);

  // The volume scale: 0 .. 65535 against the element's min .. max.
  static std::uint32_t StepsOf(long min, long max);
  static long ToAlsa(std::uint32_t value, long min, long max);
  static std::uint32_t FromAlsa(long value, long min, long max);

 private:
  enum class Kind { kVolume, kMute, kEnumSelector, kSwitchSelector };
  struct Binding {
    Kind kind;
    bool capture;
    int element;                    // the volume's, mute's or enumerated selector's element
    std::vector<int> itemElements;  // a switch selector's element per item
  };

  void Build(int deviceId, const std::string& deviceName);
  int Find(const std::string& name) const;
  int AddVolume(int lineId, int element, bool capture, const std::string& name);
  int AddMute(int lineId, int element, bool capture, const std::string& name);
  int ReadVolume(TAlsaElementIo& io, const Binding& b, int channel, std::uint32_t& value);
  int ReadSelector(TAlsaElementIo& io, int controlId, std::vector<std::uint32_t>& values);

  std::vector<TAlsaElement> elements_;
  TMixerCard card_;
  std::vector<Binding> bindings_;    // by control
  std::map<int, int> lineElements_;  // line -> element
  // The last volume written per element, direction and channel, with what the card was given.
  std::map<std::tuple<int, bool, int>, std::pair<std::uint32_t, long>> written_;
};

}  // namespace zq
