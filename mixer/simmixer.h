#pragma once
// A simulated mixer back-end: cards from a table, their values kept in memory, faults on demand
// and every write recorded. The tests and the gallery use it in place of ALSA.
//
// Numbering follows the ALSA back-end: the cards are mixers 0 .. n - 1 and also wave-input
// devices 0 .. n - 1 (device k belongs to mixer k); there is no mapper. A value written that
// changes something, or changed with Change, is reported as a control change to every open handle
// of that card, as the card's own notification would be. Main thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mixer/mixercard.h"
#include "mixer/mixerops.h"
#include "mixer/mixertypes.h"

namespace zq {

struct TSimControl {
  TMMControlType type = ctVolume;
  std::string name;
  std::int64_t minimum = 0;
  std::int64_t maximum = 65535;
  std::uint32_t steps = 0;
  bool uniform = true;  // one value for all channels
  bool disabled = false;
  // A list control: the names of the sources of its destination that it selects.
  std::vector<std::string> items;
  // The value array at the start (channels × items); empty means all 0.
  std::vector<std::uint32_t> values;
};

struct TSimLine {
  TMMComponentType type = ctSrcUndefined;
  std::string name;
  int channels = 2;
  std::vector<TSimControl> controls;
};

struct TSimDestination {
  TSimLine line;
  std::vector<TSimLine> sources;
};

struct TSimCard {
  std::string name;
  std::vector<TSimDestination> destinations;
  // An enumerated selector of a real card always has one item selected: writing none is then
  // left undone (and reported as a change, so that what shows it reads it again).
  bool selectorCanSelectNone = true;
};

// Playback (ctDstSpeakers "Master": volume and mute; sources "Line" and "Mic" with volume and
// mute) and recording (ctDstWaveIn "Capture": volume and a ctMux "Capture Source" over "Line",
// "Mic" and "CD", "Mic" selected; each of them a source with a volume). Volumes 0 .. 65535 with
// Steps 0, stereo, at 49152; the monitor of "Line" muted.
TSimCard SimDefaultCard(const std::string& name = "Simulated Card");
// The same without "Line" among the recording sources.
TSimCard SimNoLineInputCard(const std::string& name = "Simulated Card Without Line Input");
// What a sound server offers: "Master" and "Capture" with volume and mute, no sources.
TSimCard SimSoundServerCard(const std::string& name = "Sound Server");

class TMMSimMixerOps final : public TMMMixerOps {
 public:
  struct Write {
    int device;
    int controlId;
    std::string control;  // its name
    std::vector<std::uint32_t> values;
  };

  explicit TMMSimMixerOps(std::vector<TSimCard> cards);

  // Faults. Open refused with `code` (0: opens again); every line, control and details query
  // failing with `code` (0: answers again); the card gone (its handles told, everything not
  // found from then on, opening it refused); another card in its place (handles told).
  void FailOpen(int code) { openFault_ = code; }
  void FailQueries(int code) { queryFault_ = code; }
  void Vanish(int device);
  void Replace(int device, const TSimCard& card);

  // A change made elsewhere: reported to the open handles when it changes something.
  void Change(int device, int controlId, const std::vector<std::uint32_t>& values);
  // The value array as the card holds it (every channel, every item).
  const std::vector<std::uint32_t>& Values(int device, int controlId) const;
  // The control of a destination (`source` empty) or of its source named `source`; -1 if none.
  int ControlId(int device, int destination, const std::string& source, TMMControlType type) const;

  const std::vector<Write>& Writes() const { return writes_; }
  int OpenHandles() const { return static_cast<int>(handles_.size()); }

  // TMMMixerOps
  int GetNumDevs(TMMDeviceType kind) override;
  int GetDevCaps(TMMDeviceType kind, int id, TMMDevCapsRecord& caps) override;
  std::string GetErrorText(int code) override;
  int Open(TMixerHandle& handle, int id, TMMMixerSink* sink) override;
  int Close(TMixerHandle handle) override;
  int GetIdOfHandle(TMixerHandle handle, int& mixerId) override;
  int GetIdOfDevice(TMMDeviceType kind, int deviceId, int& mixerId) override;
  int GetLineById(int mixerId, int lineId, TMMLineRecord& line) override;
  int GetLineByComponentType(int mixerId, std::uint32_t type, TMMLineRecord& line) override;
  int GetLineByTarget(int mixerId, const TMMLineTargetRecord& target, TMMLineRecord& line) override;
  int GetLineBySource(int mixerId, int destination, int source, TMMLineRecord& line) override;
  int GetControlById(int mixerId, int controlId, int& lineId, TMMControlRecord& control) override;
  int GetControlByType(int mixerId, int lineId, std::uint32_t type,
                       TMMControlRecord& control) override;
  int GetControlValues(int mixerId, int controlId, int channels, int items,
                       std::vector<std::uint32_t>& values) override;
  int SetControlValues(int mixerId, int controlId, int channels, int items,
                       const std::vector<std::uint32_t>& values) override;
  int GetControlListText(int mixerId, int controlId, int channels, int items,
                         std::vector<TMMListTextRecord>& texts) override;

 private:
  struct Card {
    std::string name;
    TMixerCard model;
    std::vector<std::vector<std::uint32_t>> values;  // per control: channels × items
    bool selectorCanSelectNone = true;
    bool gone = false;
  };
  struct Handle {
    int device;
    TMMMixerSink* sink;
  };

  static Card Build(const TSimCard& table);
  // The card of a query, or the code it answers with.
  int Query(int mixerId, Card*& card);
  int Channels(const Card& card, int controlId) const;
  void Notify(int device, int controlId);
  void NotifyElements(int device);

  std::vector<Card> cards_;
  std::map<TMixerHandle, Handle> handles_;
  TMixerHandle nextHandle_ = 1;
  int openFault_ = 0;
  int queryFault_ = 0;
  std::vector<Write> writes_;
};

}  // namespace zq
