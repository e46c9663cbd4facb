#include "mixer/alsamixermodel.h"

#include <algorithm>

namespace zq {
namespace {

constexpr std::uint32_t kFullScale = 65535;

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool StartsWith(const std::string& s, const std::string& head) {
  return s.compare(0, head.size(), head) == 0;
}

}  // namespace

TMMComponentType TypeOfName(const std::string& name) {
  static const struct {
    const char* word;
    TMMComponentType type;
  } kWords[] = {
      {"Line", ctSrcLine},         {"Line In", ctSrcLine},
      {"Mic", ctSrcMicrophone},    {"Microphone", ctSrcMicrophone},
      {"CD", ctSrcCompactDisc},    {"PCM", ctSrcWaveOut},
      {"Aux", ctSrcAuxiliary},     {"Phone", ctSrcTelephone},
      {"Beep", ctSrcPCSpeaker},    {"PC Speaker", ctSrcPCSpeaker},
      {"PC Beep", ctSrcPCSpeaker}, {"Synth", ctSrcSynthesizer},
      {"MIDI", ctSrcSynthesizer},
  };
  for (const auto& w : kWords)
    if (name == w.word || EndsWith(name, std::string(" ") + w.word)) return w.type;
  for (const char* head : {"IEC958", "SPDIF", "Digital"})
    if (StartsWith(name, head)) return ctSrcDigital;
  return ctSrcUndefined;
}

std::uint32_t TAlsaCardModel::StepsOf(long min, long max) {
  const long long range = static_cast<long long>(max) - min;
  return range >= 1 && range <= kFullScale ? static_cast<std::uint32_t>(range) : 0;
}

long TAlsaCardModel::ToAlsa(std::uint32_t value, long min, long max) {
  if (max <= min) return min;
  const long long v = std::min(value, kFullScale);
  const long long range = static_cast<long long>(max) - min;
  return min + static_cast<long>((v * range * 2 + kFullScale) / (2 * kFullScale));
}

std::uint32_t TAlsaCardModel::FromAlsa(long value, long min, long max) {
  if (max <= min) return 0;
  const long long offset = static_cast<long long>(std::clamp(value, min, max)) - min;
  const long long range = static_cast<long long>(max) - min;
  return static_cast<std::uint32_t>((offset * kFullScale * 2 + range) / (2 * range));
}

TAlsaCardModel::TAlsaCardModel(std::vector<TAlsaElement> elements, int deviceId,
                               const std::string& deviceName)
    : elements_(std::move(elements)) {
  Build(deviceId, deviceName);
}

int TAlsaCardModel::Find(const std::string& name) const {
  for (std::size_t i = 0; i < elements_.size(); ++i)
    if (elements_[i].name == name) return static_cast<int>(i);
  return -1;
}

void TAlsaCardModel::Build(int deviceId, const std::string& deviceName) {
  TMMLineTargetRecord waveOut;
  waveOut.type = kTargetWaveOut;
  waveOut.deviceId = deviceId;
  waveOut.productName = deviceName;
  TMMLineTargetRecord waveIn = waveOut;
  waveIn.type = kTargetWaveIn;

  const int master = Find("Master");
  const int capture = Find("Capture");
  const int speakers = card_.AddDestination(
      ComponentTypeCode(ctDstSpeakers), "Master",
      master >= 0 ? elements_[static_cast<std::size_t>(master)].playbackChannels : 2, waveOut);
  const int recording = card_.AddDestination(
      ComponentTypeCode(ctDstWaveIn), "Capture",
      capture >= 0 ? elements_[static_cast<std::size_t>(capture)].captureChannels : 2, waveIn);
  if (master >= 0) lineElements_[speakers] = master;
  if (capture >= 0) lineElements_[recording] = capture;

  // The playback side's sources.
  std::vector<std::pair<int, int>> played;  // line, element
  for (std::size_t i = 0; i < elements_.size(); ++i) {
    const TAlsaElement& e = elements_[i];
    const int element = static_cast<int>(i);
    if (element == master || !(e.playbackVolume || e.playbackSwitch) || EndsWith(e.name, " Boost"))
      continue;
    const TMMComponentType type = TypeOfName(e.name);
    const int line = card_.AddSource(speakers, ComponentTypeCode(type), e.name, e.playbackChannels,
                                     type == ctSrcWaveOut ? waveOut : TMMLineTargetRecord{});
    played.emplace_back(line, element);
    lineElements_[line] = element;
  }

  // The recording side's selector and its items.
  int enumerated = -1;
  for (std::size_t i = 0; i < elements_.size() && enumerated < 0; ++i) {
    const TAlsaElement& e = elements_[i];
    if (!e.enumItems.empty() &&
        (e.enumCapture || e.name == "Input Source" || e.name == "Capture Source"))
      enumerated = static_cast<int>(i);
  }
  std::vector<std::pair<std::string, int>> items;  // name, element (-1: none)
  bool exclusive = enumerated >= 0;
  if (enumerated >= 0) {
    for (const std::string& item : elements_[static_cast<std::size_t>(enumerated)].enumItems)
      items.emplace_back(item, Find(item));
  } else {
    int group = -1;
    for (std::size_t i = 0; i < elements_.size() && group < 0; ++i)
      if (static_cast<int>(i) != capture && elements_[i].captureSwitch)
        group = elements_[i].captureGroup;
    exclusive = group >= 0;
    for (std::size_t i = 0; i < elements_.size(); ++i) {
      const TAlsaElement& e = elements_[i];
      if (static_cast<int>(i) != capture && e.captureSwitch &&
          (!exclusive || e.captureGroup == group))
        items.emplace_back(e.name, static_cast<int>(i));
    }
  }
  std::vector<std::pair<int, int>> recorded;  // line, element
  std::vector<int> itemLines, itemElements;
  for (const auto& [name, element] : items) {
    const int channels =
        element >= 0 ? elements_[static_cast<std::size_t>(element)].captureChannels : 2;
    const int line =
        card_.AddSource(recording, ComponentTypeCode(TypeOfName(name)), name, channels);
    recorded.emplace_back(line, element);
    itemLines.push_back(line);
    itemElements.push_back(element);
    if (element >= 0) lineElements_[line] = element;
  }

  // Controls: the destinations', the selector, then the sources'.
  if (master >= 0) {
    if (elements_[static_cast<std::size_t>(master)].playbackVolume)
      AddVolume(speakers, master, false, "Master Volume");
    if (elements_[static_cast<std::size_t>(master)].playbackSwitch)
      AddMute(speakers, master, false, "Master Mute");
  }
  if (capture >= 0) {
    if (elements_[static_cast<std::size_t>(capture)].captureVolume)
      AddVolume(recording, capture, true, "Capture Volume");
    if (elements_[static_cast<std::size_t>(capture)].captureSwitch)
      AddMute(recording, capture, true, "Capture Mute");
  }
  if (!items.empty()) {
    const std::string name =
        enumerated >= 0 ? elements_[static_cast<std::size_t>(enumerated)].name : "Capture Source";
    card_.AddControl(recording, ControlTypeCode(exclusive ? ctMux : ctMixer), kControlUniform, name,
                     0, 1, 0, itemLines);
    if (enumerated >= 0)
      bindings_.push_back({Kind::kEnumSelector, true, enumerated, {}});
    else
      bindings_.push_back({Kind::kSwitchSelector, true, -1, itemElements});
  }
  for (const auto& [line, element] : played) {
    const TAlsaElement& e = elements_[static_cast<std::size_t>(element)];
    if (e.playbackVolume) AddVolume(line, element, false, e.name + " Volume");
    if (e.playbackSwitch) AddMute(line, element, false, e.name + " Mute");
  }
  for (const auto& [line, element] : recorded) {
    if (element < 0 || !elements_[static_cast<std::size_t>(element)].captureVolume) continue;
    AddVolume(line, element, true, elements_[static_cast<std::size_t>(element)].name + " Volume");
  }
}

int TAlsaCardModel::AddVolume(int lineId, int element, bool capture, const std::string& name) {
  const TAlsaElement& e = elements_[static_cast<std::size_t>(element)];
  const int channels = capture ? e.captureChannels : e.playbackChannels;
  const bool joined = capture ? e.captureVolumeJoined : e.playbackVolumeJoined;
  const long min = capture ? e.captureMin : e.playbackMin;
  const long max = capture ? e.captureMax : e.playbackMax;
  bindings_.push_back({Kind::kVolume, capture, element, {}});
  return card_.AddControl(lineId, ControlTypeCode(ctVolume),
                          channels == 1 || joined ? kControlUniform : 0, name, 0, kFullScale,
                          StepsOf(min, max));
}

int TAlsaCardModel::AddMute(int lineId, int element, bool capture, const std::string& name) {
  const TAlsaElement& e = elements_[static_cast<std::size_t>(element)];
  const int channels = capture ? e.captureChannels : e.playbackChannels;
  const bool joined = capture ? e.captureSwitchJoined : e.playbackSwitchJoined;
  bindings_.push_back({Kind::kMute, capture, element, {}});
  return card_.AddControl(lineId, ControlTypeCode(ctMute),
                          channels == 1 || joined ? kControlUniform : 0, name, 0, 1, 0);
}

std::vector<int> TAlsaCardModel::ControlsOfElement(int element) const {
  std::vector<int> controls;
  for (std::size_t i = 0; i < bindings_.size(); ++i) {
    const Binding& b = bindings_[i];
    if (b.element == element ||
        std::find(b.itemElements.begin(), b.itemElements.end(), element) != b.itemElements.end())
      controls.push_back(static_cast<int>(i));
  }
  return controls;
}

std::vector<int> TAlsaCardModel::LinesOfElement(int element) const {
  std::vector<int> lines;
  for (const auto& [line, e] : lineElements_)
    if (e == element) lines.push_back(line);
  return lines;
}

int TAlsaCardModel::ReadVolume(TAlsaElementIo& io, const Binding& b, int channel,
                               std::uint32_t& value) {
  const TAlsaElement& e = elements_[static_cast<std::size_t>(b.element)];
  long a = 0;
  const int r = io.Get(
      b.element, b.capture ? TAlsaValue::kCaptureVolume : TAlsaValue::kPlaybackVolume, channel, a);
  if (r < 0) return r;
  const auto w = written_.find({b.element, b.capture, channel});
  if (w != written_.end() && w->second.second == a)
    value = w->second.first;
  else
    value = FromAlsa(a, b.capture ? e.captureMin : e.playbackMin,
                     b.capture ? e.captureMax : e.playbackMax);
  return 0;
}

int TAlsaCardModel::ReadSelector(TAlsaElementIo& io, int controlId,
                                 std::vector<std::uint32_t>& values) {
  const Binding& b = bindings_[static_cast<std::size_t>(controlId)];
  const std::size_t count = card_.FindControl(controlId)->items.size();
  values.assign(count, 0);
  if (b.kind == Kind::kEnumSelector) {
    long item = 0;
    if (int r = io.Get(b.element, TAlsaValue::kEnumItem, 0, item); r < 0) return r;
    if (item >= 0 && static_cast<std::size_t>(item) < count)
      values[static_cast<std::size_t>(item)] = 1;
    return 0;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const int element = b.itemElements[i];
    const int channels = elements_[static_cast<std::size_t>(element)].captureChannels;
    for (int ch = 0; ch < channels && values[i] == 0; ++ch) {
      long on = 0;
      if (int r = io.Get(element, TAlsaValue::kCaptureSwitch, ch, on); r < 0) return r;
      values[i] = on != 0;
    }
  }
  return 0;
}

int TAlsaCardModel::GetValues(TAlsaElementIo& io, int controlId, int channels, int items,
                              std::vector<std::uint32_t>& values) {
  std::size_t count = 0;
  if (int r = card_.CheckDetails(controlId, channels, items, count); r != kMixerOk) return r;
  const Binding& b = bindings_[static_cast<std::size_t>(controlId)];
  values.assign(count, 0);
  if (b.kind == Kind::kEnumSelector || b.kind == Kind::kSwitchSelector) {
    std::vector<std::uint32_t> perItem;
    if (int r = ReadSelector(io, controlId, perItem); r < 0) return r;
    for (std::size_t i = 0; i < count; ++i)
      values[i] = perItem[i / static_cast<std::size_t>(channels)];
    return 0;
  }
  const TAlsaElement& e = elements_[static_cast<std::size_t>(b.element)];
  const int own = b.capture ? e.captureChannels : e.playbackChannels;
  for (int ch = 0; ch < channels; ++ch) {
    // One value for all channels is the highest of them (a mute: muted when any channel is).
    const int first = channels == 1 ? 0 : ch;
    const int last = channels == 1 ? own - 1 : ch;
    for (int c = first; c <= last; ++c) {
      std::uint32_t v = 0;
      if (b.kind == Kind::kVolume) {
        if (int r = ReadVolume(io, b, c, v); r < 0) return r;
      } else {
        long on = 0;
        if (int r =
                io.Get(b.element,
                       b.capture ? TAlsaValue::kCaptureSwitch : TAlsaValue::kPlaybackSwitch, c, on);
            r < 0)
          return r;
        v = on == 0;
      }
      values[static_cast<std::size_t>(ch)] = std::max(values[static_cast<std::size_t>(ch)], v);
    }
  }
  return 0;
}

int TAlsaCardModel::SetValues(TAlsaElementIo& io, int controlId, int channels, int items,
                              const std::vector<std::uint32_t>& values, bool& settled) {
  settled = true;
  std::size_t count = 0;
  if (int r = card_.CheckDetails(controlId, channels, items, count); r != kMixerOk) return r;
  if (values.size() != count) return kMixerInvalidParam;
  const Binding& b = bindings_[static_cast<std::size_t>(controlId)];

  if (b.kind == Kind::kEnumSelector || b.kind == Kind::kSwitchSelector) {
    std::vector<std::uint32_t> asked(count / static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < asked.size(); ++i)
      asked[i] = values[i * static_cast<std::size_t>(channels)] != 0;
    if (b.kind == Kind::kEnumSelector) {
      const auto on = std::find(asked.begin(), asked.end(), 1u);
      if (on != asked.end()) {
        if (int r = io.Set(b.element, TAlsaValue::kEnumItem, -1, on - asked.begin()); r < 0)
          return r;
      }
    } else {
      // Off first, then on: in an exclusive group switching one on switches the others off.
      for (std::uint32_t pass : {0u, 1u})
        for (std::size_t i = 0; i < asked.size(); ++i)
          if (asked[i] == pass)
            if (int r = io.Set(b.itemElements[i], TAlsaValue::kCaptureSwitch, -1, pass); r < 0)
              return r;
    }
    std::vector<std::uint32_t> kept;
    if (int r = ReadSelector(io, controlId, kept); r < 0) return r;
    settled = kept == asked;
    return 0;
  }

  const TAlsaElement& e = elements_[static_cast<std::size_t>(b.element)];
  const int own = b.capture ? e.captureChannels : e.playbackChannels;
  const long min = b.capture ? e.captureMin : e.playbackMin;
  const long max = b.capture ? e.captureMax : e.playbackMax;
  for (int ch = 0; ch < channels; ++ch) {
    const std::uint32_t v = values[static_cast<std::size_t>(ch)];
    const int target = channels == 1 ? -1 : ch;
    if (b.kind == Kind::kVolume) {
      const long a = ToAlsa(v, min, max);
      const TAlsaValue what = b.capture ? TAlsaValue::kCaptureVolume : TAlsaValue::kPlaybackVolume;
      if (int r = io.Set(b.element, what, target, a); r < 0) return r;
      for (int c = channels == 1 ? 0 : ch; c <= (channels == 1 ? own - 1 : ch); ++c)
        written_[{b.element, b.capture, c}] = {std::min(v, kFullScale), a};
    } else {
      const TAlsaValue what = b.capture ? TAlsaValue::kCaptureSwitch : TAlsaValue::kPlaybackSwitch;
      if (int r = io.Set(b.element, what, target, v == 0); r < 0) return r;
    }
  }
  return 0;
}

}  // namespace zq
