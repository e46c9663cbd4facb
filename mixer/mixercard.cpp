#include "mixer/mixercard.h"

#include <stdexcept>

namespace zq {
namespace {

constexpr int kSourceIdStep = 65536;

// Targets match in kind, manufacturer, product, version and name (not in device number).
bool SameTarget(const TMMLineTargetRecord& a, const TMMLineTargetRecord& b) {
  return a.type == b.type && a.manufacturerId == b.manufacturerId && a.productId == b.productId &&
         a.version == b.version && a.productName == b.productName;
}

}  // namespace

int TMixerCard::AddDestination(std::uint32_t componentType, const std::string& name, int channels,
                               const TMMLineTargetRecord& target) {
  if (lines_.size() != static_cast<std::size_t>(destinations_))
    throw std::logic_error("a destination added after a source");
  TMMLineRecord line;
  line.destination = destinations_;
  line.lineId = destinations_;
  line.componentType = componentType;
  line.flags = kLineActive;
  line.channels = channels;
  line.shortName = line.name = name;
  line.target = target;
  lines_.push_back(line);
  return destinations_++;
}

int TMixerCard::AddSource(int destination, std::uint32_t componentType, const std::string& name,
                          int channels, const TMMLineTargetRecord& target) {
  TMMLineRecord* dest = MutableLine(destination);
  if (dest == nullptr || destination >= destinations_)
    throw std::logic_error("a source of no destination");
  TMMLineRecord line;
  line.destination = destination;
  line.source = dest->connections++;
  line.lineId = (line.source + 1) * kSourceIdStep + destination;
  line.componentType = componentType;
  line.flags = kLineActive | kLineSource;
  line.channels = channels;
  line.shortName = line.name = name;
  line.target = target;
  lines_.push_back(line);
  return line.lineId;
}

int TMixerCard::AddControl(int lineId, std::uint32_t type, std::uint32_t flags,
                           const std::string& name, std::int64_t minimum, std::int64_t maximum,
                           std::uint32_t steps, const std::vector<int>& items) {
  TMMLineRecord* line = MutableLine(lineId);
  if (line == nullptr) throw std::logic_error("a control of no line");
  ++line->controls;
  Control c;
  c.lineId = lineId;
  c.info.controlId = static_cast<int>(controls_.size());
  c.info.controlType = type;
  c.info.flags = flags | (items.empty() ? 0 : kControlMultiple);
  c.info.multipleItems = static_cast<int>(items.size());
  c.info.shortName = c.info.name = name;
  c.info.minimum = minimum;
  c.info.maximum = maximum;
  c.info.steps = steps;
  for (int item : items) {
    const TMMLineRecord* source = FindLine(item);
    if (source == nullptr) throw std::logic_error("an item of no line");
    c.items.push_back({item, source->componentType, source->name});
  }
  controls_.push_back(std::move(c));
  return controls_.back().info.controlId;
}

const TMMLineRecord* TMixerCard::FindLine(int lineId) const {
  for (const TMMLineRecord& line : lines_)
    if (line.lineId == lineId) return &line;
  return nullptr;
}

TMMLineRecord* TMixerCard::MutableLine(int lineId) {
  return const_cast<TMMLineRecord*>(FindLine(lineId));
}

const TMixerCard::Control* TMixerCard::FindControl(int controlId) const {
  if (controlId < 0 || controlId >= static_cast<int>(controls_.size())) return nullptr;
  return &controls_[static_cast<std::size_t>(controlId)];
}

int TMixerCard::LineById(int lineId, TMMLineRecord& line) const {
  const TMMLineRecord* found = FindLine(lineId);
  if (found == nullptr) return kMixerInvalidLine;
  line = *found;
  return kMixerOk;
}

int TMixerCard::LineByComponentType(std::uint32_t type, TMMLineRecord& line) const {
  for (const TMMLineRecord& l : lines_)
    if (l.componentType == type) {
      line = l;
      return kMixerOk;
    }
  return kMixerInvalidLine;
}

int TMixerCard::LineByTarget(const TMMLineTargetRecord& target, TMMLineRecord& line) const {
  if (target.type == kTargetNone) return kMixerInvalidLine;
  for (const TMMLineRecord& l : lines_)
    if (SameTarget(l.target, target)) {
      line = l;
      return kMixerOk;
    }
  return kMixerInvalidLine;
}

int TMixerCard::LineBySource(int destination, int source, TMMLineRecord& line) const {
  for (const TMMLineRecord& l : lines_)
    if (l.source >= 0 && l.destination == destination && l.source == source) {
      line = l;
      return kMixerOk;
    }
  return kMixerInvalidLine;
}

int TMixerCard::ControlById(int controlId, int& lineId, TMMControlRecord& control) const {
  const Control* c = FindControl(controlId);
  if (c == nullptr) return kMixerInvalidControl;
  lineId = c->lineId;
  control = c->info;
  return kMixerOk;
}

int TMixerCard::ControlByType(int lineId, std::uint32_t type, TMMControlRecord& control) const {
  if (FindLine(lineId) == nullptr) return kMixerInvalidLine;
  for (const Control& c : controls_)
    if (c.lineId == lineId && c.info.controlType == type) {
      control = c.info;
      return kMixerOk;
    }
  return kMixerInvalidControl;
}

int TMixerCard::CheckDetails(int controlId, int channels, int items, std::size_t& count) const {
  const Control* c = FindControl(controlId);
  if (c == nullptr) return kMixerInvalidControl;
  const TMMLineRecord* line = FindLine(c->lineId);
  if (channels != 1 && (line == nullptr || channels != line->channels)) return kMixerInvalidParam;
  if (items != (c->info.flags & kControlMultiple ? c->info.multipleItems : 0))
    return kMixerInvalidParam;
  count = static_cast<std::size_t>(channels) * static_cast<std::size_t>(items > 0 ? items : 1);
  return kMixerOk;
}

int TMixerCard::ListText(int controlId, int channels, int items,
                         std::vector<TMMListTextRecord>& texts) const {
  std::size_t count = 0;
  if (int r = CheckDetails(controlId, channels, items, count); r != kMixerOk) return r;
  const Control& c = *FindControl(controlId);
  if (c.items.empty()) return kMixerInvalidParam;
  texts.clear();
  for (const TMMListTextRecord& item : c.items)
    for (int ch = 0; ch < channels; ++ch)
      texts.push_back(item);
  return kMixerOk;
}

}  // namespace zq
