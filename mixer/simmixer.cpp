#include "mixer/simmixer.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "platform/errortext.h"

namespace zq {
namespace {

constexpr std::uint32_t kHalfUp = 49152;

TSimControl Volume(const std::string& name, bool uniform = false) {
  TSimControl c;
  c.type = ctVolume;
  c.name = name;
  c.uniform = uniform;
  c.values =
      uniform ? std::vector<std::uint32_t>{kHalfUp} : std::vector<std::uint32_t>{kHalfUp, kHalfUp};
  return c;
}

TSimControl Mute(const std::string& name, bool muted) {
  TSimControl c;
  c.type = ctMute;
  c.name = name;
  c.minimum = 0;
  c.maximum = 1;
  c.values = {muted ? 1u : 0u};
  return c;
}

TSimLine Line(TMMComponentType type, const std::string& name, std::vector<TSimControl> controls) {
  return {type, name, 2, std::move(controls)};
}

TSimCard Recording(const std::string& name, std::vector<std::string> inputs) {
  TSimCard card;
  card.name = name;
  TSimDestination playback{
      Line(ctDstSpeakers, "Master", {Volume("Master Volume"), Mute("Master Mute", false)}),
      {Line(ctSrcLine, "Line", {Volume("Line Volume"), Mute("Line Mute", true)}),
       Line(ctSrcMicrophone, "Mic", {Volume("Mic Volume"), Mute("Mic Mute", false)})}};
  TSimControl selector;
  selector.type = ctMux;
  selector.name = "Capture Source";
  selector.minimum = 0;
  selector.maximum = 1;
  selector.items = inputs;
  for (const std::string& input : inputs)
    selector.values.push_back(input == "Mic" ? 1u : 0u);
  TSimDestination recording{Line(ctDstWaveIn, "Capture", {Volume("Capture Volume"), selector}), {}};
  for (const std::string& input : inputs) {
    const TMMComponentType type = input == "Line"  ? ctSrcLine
                                  : input == "Mic" ? ctSrcMicrophone
                                                   : ctSrcCompactDisc;
    recording.sources.push_back(Line(type, input, {Volume(input + " Volume")}));
  }
  card.destinations = {playback, recording};
  return card;
}

}  // namespace

TSimCard SimDefaultCard(const std::string& name) {
  return Recording(name, {"Line", "Mic", "CD"});
}

TSimCard SimNoLineInputCard(const std::string& name) {
  return Recording(name, {"Mic", "CD"});
}

TSimCard SimSoundServerCard(const std::string& name) {
  TSimCard card;
  card.name = name;
  card.destinations = {
      {Line(ctDstSpeakers, "Master", {Volume("Master Volume"), Mute("Master Mute", false)}), {}},
      {Line(ctDstWaveIn, "Capture", {Volume("Capture Volume"), Mute("Capture Mute", false)}), {}},
  };
  return card;
}

TMMSimMixerOps::TMMSimMixerOps(std::vector<TSimCard> cards) {
  for (const TSimCard& table : cards)
    cards_.push_back(Build(table));
}

TMMSimMixerOps::Card TMMSimMixerOps::Build(const TSimCard& table) {
  Card card;
  card.name = table.name;
  card.selectorCanSelectNone = table.selectorCanSelectNone;
  TMMLineTargetRecord target;
  target.productName = table.name;
  std::vector<std::pair<int, const TSimLine*>> lines;
  for (const TSimDestination& d : table.destinations) {
    target.type = d.line.type == ctDstWaveIn ? kTargetWaveIn : kTargetWaveOut;
    lines.emplace_back(card.model.AddDestination(ComponentTypeCode(d.line.type), d.line.name,
                                                 d.line.channels, target),
                       &d.line);
  }
  for (std::size_t d = 0; d < table.destinations.size(); ++d)
    for (const TSimLine& s : table.destinations[d].sources)
      lines.emplace_back(
          card.model.AddSource(static_cast<int>(d), ComponentTypeCode(s.type), s.name, s.channels),
          &s);
  for (const auto& [lineId, line] : lines) {
    const int destination = card.model.FindLine(lineId)->destination;
    for (const TSimControl& c : line->controls) {
      std::vector<int> items;
      for (const std::string& item : c.items) {
        int found = -1;
        for (const TMMLineRecord& l : card.model.Lines())
          if (l.source >= 0 && l.destination == destination && l.name == item) found = l.lineId;
        if (found < 0) throw std::invalid_argument("a list item that is no source: " + item);
        items.push_back(found);
      }
      card.model.AddControl(lineId, ControlTypeCode(c.type),
                            (c.uniform ? kControlUniform : 0) | (c.disabled ? kControlDisabled : 0),
                            c.name, c.minimum, c.maximum, c.steps, items);
      const std::size_t size = static_cast<std::size_t>(c.uniform ? 1 : line->channels) *
                               std::max<std::size_t>(items.size(), 1);
      std::vector<std::uint32_t> values = c.values;
      values.resize(size, 0);
      card.values.push_back(std::move(values));
    }
  }
  return card;
}

void TMMSimMixerOps::Vanish(int device) {
  cards_.at(static_cast<std::size_t>(device)).gone = true;
  NotifyElements(device);
}

void TMMSimMixerOps::Replace(int device, const TSimCard& card) {
  cards_.at(static_cast<std::size_t>(device)) = Build(card);
  NotifyElements(device);
}

void TMMSimMixerOps::Change(int device, int controlId, const std::vector<std::uint32_t>& values) {
  std::vector<std::uint32_t>& held =
      cards_.at(static_cast<std::size_t>(device)).values.at(static_cast<std::size_t>(controlId));
  if (values.size() != held.size()) throw std::invalid_argument("a value array of another size");
  if (values == held) return;
  held = values;
  Notify(device, controlId);
}

const std::vector<std::uint32_t>& TMMSimMixerOps::Values(int device, int controlId) const {
  return cards_.at(static_cast<std::size_t>(device)).values.at(static_cast<std::size_t>(controlId));
}

int TMMSimMixerOps::ControlId(int device, int destination, const std::string& source,
                              TMMControlType type) const {
  const Card& card = cards_.at(static_cast<std::size_t>(device));
  for (const TMixerCard::Control& c : card.model.Controls()) {
    const TMMLineRecord* line = card.model.FindLine(c.lineId);
    if (line->destination != destination || c.info.controlType != ControlTypeCode(type)) continue;
    if (source.empty() ? line->source < 0 : line->source >= 0 && line->name == source)
      return c.info.controlId;
  }
  return -1;
}

void TMMSimMixerOps::Notify(int device, int controlId) {
  for (const auto& [handle, h] : handles_)
    if (h.device == device) h.sink->MixerControlChange(handle, controlId);
}

void TMMSimMixerOps::NotifyElements(int device) {
  for (const auto& [handle, h] : handles_)
    if (h.device == device) h.sink->MixerElementsChange(handle);
}

int TMMSimMixerOps::GetNumDevs(TMMDeviceType kind) {
  return kind == dtMixer || kind == dtWaveIn ? static_cast<int>(cards_.size()) : 0;
}

int TMMSimMixerOps::GetDevCaps(TMMDeviceType kind, int id, TMMDevCapsRecord& caps) {
  if (id < 0 || id >= GetNumDevs(kind)) return kMixerBadDeviceId;
  const Card& card = cards_[static_cast<std::size_t>(id)];
  caps = TMMDevCapsRecord();
  caps.productName = card.name;
  caps.destinations = kind == dtMixer ? card.model.Destinations() : 0;
  return kMixerOk;
}

std::string TMMSimMixerOps::GetErrorText(int code) {
  return code < 0 ? SystemErrorText(-code) : "";
}

int TMMSimMixerOps::Open(TMixerHandle& handle, int id, TMMMixerSink* sink) {
  if (id < 0 || id >= static_cast<int>(cards_.size())) return kMixerBadDeviceId;
  if (openFault_ != 0) return openFault_;
  if (cards_[static_cast<std::size_t>(id)].gone) return -ENODEV;
  handle = nextHandle_++;
  handles_[handle] = {id, sink};
  return kMixerOk;
}

int TMMSimMixerOps::Close(TMixerHandle handle) {
  return handles_.erase(handle) != 0 ? kMixerOk : kMixerInvalidHandle;
}

int TMMSimMixerOps::GetIdOfHandle(TMixerHandle handle, int& mixerId) {
  const auto it = handles_.find(handle);
  if (it == handles_.end()) return kMixerInvalidHandle;
  mixerId = it->second.device;
  return kMixerOk;
}

int TMMSimMixerOps::GetIdOfDevice(TMMDeviceType kind, int deviceId, int& mixerId) {
  if (kind != dtWaveIn) return kMixerNoDriver;
  if (deviceId < 0 || deviceId >= static_cast<int>(cards_.size())) return kMixerBadDeviceId;
  mixerId = deviceId;
  return kMixerOk;
}

int TMMSimMixerOps::Query(int mixerId, Card*& card) {
  if (queryFault_ != 0) return queryFault_;
  if (mixerId < 0 || mixerId >= static_cast<int>(cards_.size())) return kMixerNoDriver;
  card = &cards_[static_cast<std::size_t>(mixerId)];
  return card->gone ? kMixerNoDriver : kMixerOk;
}

int TMMSimMixerOps::GetLineById(int mixerId, int lineId, TMMLineRecord& line) {
  Card* card = nullptr;
  const int r = Query(mixerId, card);
  return r != kMixerOk ? r : card->model.LineById(lineId, line);
}

int TMMSimMixerOps::GetLineByComponentType(int mixerId, std::uint32_t type, TMMLineRecord& line) {
  Card* card = nullptr;
  const int r = Query(mixerId, card);
  return r != kMixerOk ? r : card->model.LineByComponentType(type, line);
}

int TMMSimMixerOps::GetLineByTarget(int mixerId, const TMMLineTargetRecord& target,
                                    TMMLineRecord& line) {
  Card* card = nullptr;
  const int r = Query(mixerId, card);
  return r != kMixerOk ? r : card->model.LineByTarget(target, line);
}

int TMMSimMixerOps::GetLineBySource(int mixerId, int destination, int source, TMMLineRecord& line) {
  Card* card = nullptr;
  const int r = Query(mixerId, card);
  return r != kMixerOk ? r : card->model.LineBySource(destination, source, line);
}

int TMMSimMixerOps::GetControlById(int mixerId, int controlId, int& lineId,
                                   TMMControlRecord& control) {
  Card* card = nullptr;
  const int r = Query(mixerId, card);
  return r != kMixerOk ? r : card->model.ControlById(controlId, lineId, control);
}

int TMMSimMixerOps::GetControlByType(int mixerId, int lineId, std::uint32_t type,
                                     TMMControlRecord& control) {
  Card* card = nullptr;
  const int r = Query(mixerId, card);
  return r != kMixerOk ? r : card->model.ControlByType(lineId, type, control);
}

int TMMSimMixerOps::Channels(const Card& card, int controlId) const {
  const TMixerCard::Control& c = *card.model.FindControl(controlId);
  return c.info.flags & kControlUniform ? 1 : card.model.FindLine(c.lineId)->channels;
}

int TMMSimMixerOps::GetControlValues(int mixerId, int controlId, int channels, int items,
                                     std::vector<std::uint32_t>& values) {
  Card* card = nullptr;
  std::size_t count = 0;
  int r = Query(mixerId, card);
  if (r == kMixerOk) r = card->model.CheckDetails(controlId, channels, items, count);
  if (r != kMixerOk) return r;
  const std::vector<std::uint32_t>& held = card->values[static_cast<std::size_t>(controlId)];
  const std::size_t own = static_cast<std::size_t>(Channels(*card, controlId));
  const std::size_t perItem = static_cast<std::size_t>(channels);
  values.assign(count, 0);
  // One value for all channels is the highest of them.
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t item = i / perItem;
    if (perItem == own)
      values[i] = held[i];
    else
      for (std::size_t c = 0; c < own; ++c)
        values[i] = std::max(values[i], held[item * own + c]);
  }
  return kMixerOk;
}

int TMMSimMixerOps::SetControlValues(int mixerId, int controlId, int channels, int items,
                                     const std::vector<std::uint32_t>& values) {
  Card* card = nullptr;
  std::size_t count = 0;
  int r = Query(mixerId, card);
  if (r == kMixerOk) r = card->model.CheckDetails(controlId, channels, items, count);
  if (r != kMixerOk) return r;
  if (values.size() != count) return kMixerInvalidParam;
  const TMixerCard::Control& control = *card->model.FindControl(controlId);
  writes_.push_back({mixerId, controlId, control.info.name, values});

  std::vector<std::uint32_t>& held = card->values[static_cast<std::size_t>(controlId)];
  const std::size_t own = static_cast<std::size_t>(Channels(*card, controlId));
  const std::size_t perItem = static_cast<std::size_t>(channels);
  std::vector<std::uint32_t> next = held;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t item = i / perItem;
    if (perItem == own)
      next[i] = values[i];
    else
      for (std::size_t c = 0; c < own; ++c)
        next[item * own + c] = values[i];
  }
  const bool selector = control.info.controlType == ControlTypeCode(ctMux);
  if (selector && !card->selectorCanSelectNone &&
      std::all_of(next.begin(), next.end(), [](std::uint32_t v) { return v == 0; })) {
    Notify(mixerId, controlId);  // left as it was; what shows it reads it again
    return kMixerOk;
  }
  if (next == held) return kMixerOk;
  held = std::move(next);
  Notify(mixerId, controlId);
  return kMixerOk;
}

int TMMSimMixerOps::GetControlListText(int mixerId, int controlId, int channels, int items,
                                       std::vector<TMMListTextRecord>& texts) {
  Card* card = nullptr;
  const int r = Query(mixerId, card);
  return r != kMixerOk ? r : card->model.ListText(controlId, channels, items, texts);
}

}  // namespace zq
