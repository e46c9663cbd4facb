// How the ALSA back-end presents the simple elements of common cards, and moves their values.

#include "mixer/alsamixermodel.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace zq {
namespace {

TAlsaElement Playback(const std::string& name, long max, int channels = 2, bool withSwitch = true) {
  TAlsaElement e;
  e.name = name;
  e.playbackVolume = true;
  e.playbackSwitch = withSwitch;
  e.playbackMax = max;
  e.playbackChannels = channels;
  return e;
}

TAlsaElement WithCapture(TAlsaElement e, long volumeMax, bool withSwitch = true, int group = -1) {
  e.captureVolume = volumeMax > 0;
  e.captureMax = volumeMax;
  e.captureSwitch = withSwitch;
  e.captureGroup = group;
  return e;
}

TAlsaElement Capture(const std::string& name, long max, int channels = 2) {
  TAlsaElement e;
  e.name = name;
  e.captureChannels = channels;
  return WithCapture(e, max);
}

TAlsaElement Enumerated(const std::string& name, std::vector<std::string> items) {
  TAlsaElement e;
  e.name = name;
  e.enumItems = std::move(items);
  return e;
}

TAlsaElement CaptureSwitchOnly(const std::string& name, int group) {
  TAlsaElement e;
  e.name = name;
  e.captureSwitch = true;
  e.captureGroup = group;
  return e;
}

const char* TypeName(std::uint32_t code) {
  static const std::map<TMMComponentType, const char*> kNames = {
      {ctDstSpeakers, "speakers"}, {ctDstWaveIn, "wavein"},       {ctSrcLine, "line"},
      {ctSrcMicrophone, "mic"},    {ctSrcCompactDisc, "cd"},      {ctSrcWaveOut, "waveout"},
      {ctSrcAuxiliary, "aux"},     {ctSrcPCSpeaker, "pcspeaker"}, {ctSrcUndefined, "undefined"},
      {ctSrcDigital, "digital"},
  };
  return kNames.at(*ComponentTypeOfCode(code));
}

// One line per mixer line: "<id> <type> '<name>' <channels>: <controls>", each control as
// "<type>[ u][ s<steps>][ (<items>)]" (u: uniform).
std::vector<std::string> Describe(const TMixerCard& card) {
  std::vector<std::string> out;
  for (const TMMLineRecord& line : card.Lines()) {
    std::string s = std::to_string(line.lineId) + " " + TypeName(line.componentType) + " '" +
                    line.name + "' " + std::to_string(line.channels) + ":";
    const char* sep = " ";
    for (const TMixerCard::Control& c : card.Controls()) {
      if (c.lineId != line.lineId) continue;
      const TMMControlType type = *ControlTypeOfCode(c.info.controlType);
      s += sep;
      sep = "; ";
      s += type == ctVolume ? "volume" : type == ctMute ? "mute" : type == ctMux ? "mux" : "mixer";
      if (c.info.flags & kControlUniform) s += " u";
      if (c.info.steps != 0) s += " s" + std::to_string(c.info.steps);
      if (!c.items.empty()) {
        s += " (";
        for (std::size_t i = 0; i < c.items.size(); ++i)
          s += (i ? "," : "") + std::to_string(c.items[i].param1);
        s += ")";
      }
    }
    out.push_back(s);
  }
  return out;
}

TEST(AlsaMixerModel, CommonCardsMapOntoTwoDestinations) {
  TAlsaElement hdaMaster = Playback("Master", 87, 1);
  TAlsaElement micBoost = WithCapture(Playback("Mic Boost", 3, 2, false), 3, false);
  TAlsaElement acMaster = Playback("Master", 31);
  acMaster.playbackSwitchJoined = true;
  TAlsaElement usbMic = Capture("Mic", 16, 1);
  TAlsaElement serverMaster = Playback("Master", 65536);
  serverMaster.playbackSwitchJoined = true;
  TAlsaElement serverCapture = Capture("Capture", 65536);
  serverCapture.captureSwitchJoined = true;

  const struct Case {
    const char* card;
    std::vector<TAlsaElement> elements;
    std::vector<std::string> lines;
  } cases[] = {
      {"HD audio: an enumerated \"Input Source\"",
       {hdaMaster, Playback("Headphone", 87), Playback("PCM", 255, 2, false), Playback("Line", 31),
        micBoost, Playback("Mic", 31), Playback("Front Mic", 31), Capture("Capture", 63),
        Enumerated("Input Source", {"Mic", "Front Mic", "Line"}),
        Enumerated("Auto-Mute Mode", {"Disabled", "Enabled"}), Playback("Beep", 15)},
       {"0 speakers 'Master' 1: volume u s87; mute u",
        "1 wavein 'Capture' 2: volume s63; mute; mux u (65537,131073,196609)",
        "65536 undefined 'Headphone' 2: volume s87; mute", "131072 waveout 'PCM' 2: volume s255",
        "196608 line 'Line' 2: volume s31; mute", "262144 mic 'Mic' 2: volume s31; mute",
        "327680 mic 'Front Mic' 2: volume s31; mute", "393216 pcspeaker 'Beep' 2: volume s15; mute",
        "65537 mic 'Mic' 2:", "131073 mic 'Front Mic' 2:", "196609 line 'Line' 2:"}},
      {"AC'97: one exclusive group of capture switches",
       {acMaster, Playback("PCM", 31), WithCapture(Playback("Line", 31), 0, true, 1),
        WithCapture(Playback("CD", 31), 0, true, 1),
        WithCapture(Playback("Mic", 31, 1), 0, true, 1), CaptureSwitchOnly("Video", 1),
        Capture("Capture", 15)},
       {"0 speakers 'Master' 2: volume s31; mute u",
        "1 wavein 'Capture' 2: volume s15; mute; mux u (65537,131073,196609,262145)",
        "65536 waveout 'PCM' 2: volume s31; mute", "131072 line 'Line' 2: volume s31; mute",
        "196608 cd 'CD' 2: volume s31; mute", "262144 mic 'Mic' 1: volume u s31; mute u",
        "65537 line 'Line' 2:", "131073 cd 'CD' 2:", "196609 mic 'Mic' 2:",
        "262145 undefined 'Video' 2:"}},
      {"plain capture switches, some with their own capture volume",
       {Playback("Master", 31), WithCapture(Playback("Line", 31), 31),
        WithCapture(Playback("Mic", 31), 31), WithCapture(Playback("CD", 31), 0)},
       {"0 speakers 'Master' 2: volume s31; mute",
        "1 wavein 'Capture' 2: mixer u (65537,131073,196609)",
        "65536 line 'Line' 2: volume s31; mute", "131072 mic 'Mic' 2: volume s31; mute",
        "196608 cd 'CD' 2: volume s31; mute", "65537 line 'Line' 2: volume s31",
        "131073 mic 'Mic' 2: volume s31", "196609 cd 'CD' 2:"}},
      {"a USB microphone",
       {usbMic},
       {"0 speakers 'Master' 2:", "1 wavein 'Capture' 2: mixer u (65537)",
        "65537 mic 'Mic' 1: volume u s16"}},
      {"a sound server's Master and Capture",
       {serverMaster, serverCapture},
       {"0 speakers 'Master' 2: volume; mute u", "1 wavein 'Capture' 2: volume; mute u"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.card);
    TAlsaCardModel model(c.elements, 3, "Card");
    EXPECT_EQ(Describe(model.Card()), c.lines);
    // The destinations stand for the card's wave output and wave input.
    TMMLineRecord line;
    TMMLineTargetRecord target;
    target.type = kTargetWaveIn;
    target.productName = "Card";
    ASSERT_EQ(model.Card().LineByTarget(target, line), kMixerOk);
    EXPECT_EQ(line.lineId, 1);
    EXPECT_EQ(line.target.deviceId, 3);
  }
}

TEST(AlsaMixerModel, SourcesAreTypedByName) {
  const std::pair<const char*, TMMComponentType> cases[] = {
      {"Line", ctSrcLine},
      {"Line In", ctSrcLine},
      {"Line Out", ctSrcUndefined},
      {"Mic", ctSrcMicrophone},
      {"Rear Mic", ctSrcMicrophone},
      {"Headset Mic", ctSrcMicrophone},
      {"CD", ctSrcCompactDisc},
      {"PCM", ctSrcWaveOut},
      {"Aux", ctSrcAuxiliary},
      {"Phone", ctSrcTelephone},
      {"PC Speaker", ctSrcPCSpeaker},
      {"Beep", ctSrcPCSpeaker},
      {"Synth", ctSrcSynthesizer},
      {"IEC958", ctSrcDigital},
      {"Digital", ctSrcDigital},
      {"Headphone", ctSrcUndefined},
      {"Microphone Array", ctSrcUndefined},
      {"", ctSrcUndefined},
  };
  for (const auto& [name, type] : cases)
    EXPECT_EQ(TypeOfName(name), type) << name;
}

TEST(AlsaMixerModel, EveryStepOfAnElementIsReachableAndReadsBackTheSame) {
  const std::pair<long, long> ranges[] = {{0, 1},    {0, 3},   {0, 31},    {0, 87},
                                          {-10, 53}, {0, 255}, {0, 32767}, {0, 65535}};
  for (const auto& [min, max] : ranges) {
    SCOPED_TRACE(std::to_string(min) + ".." + std::to_string(max));
    EXPECT_EQ(TAlsaCardModel::StepsOf(min, max), static_cast<std::uint32_t>(max - min));
    EXPECT_EQ(TAlsaCardModel::FromAlsa(min, min, max), 0u);
    EXPECT_EQ(TAlsaCardModel::FromAlsa(max, min, max), 65535u);
    std::uint32_t last = 0;
    for (long a = min; a <= max; ++a) {
      const std::uint32_t v = TAlsaCardModel::FromAlsa(a, min, max);
      ASSERT_EQ(TAlsaCardModel::ToAlsa(v, min, max), a);
      ASSERT_TRUE(a == min || v > last);
      last = v;
    }
  }
  // Wider than the scale (a sound server's 0 .. 65536): no step count; the ends still meet.
  EXPECT_EQ(TAlsaCardModel::StepsOf(0, 65536), 0u);
  EXPECT_EQ(TAlsaCardModel::ToAlsa(65535, 0, 65536), 65536);
  EXPECT_EQ(TAlsaCardModel::FromAlsa(65536, 0, 65536), 65535u);
  EXPECT_EQ(TAlsaCardModel::StepsOf(7, 7), 0u);
  EXPECT_EQ(TAlsaCardModel::ToAlsa(40000, 7, 7), 7);
}

// Elements in memory. An exclusive group switches the others of its group off.
class FakeElements final : public TAlsaElementIo {
 public:
  explicit FakeElements(const std::vector<TAlsaElement>& elements) : elements_(elements) {}

  int Get(int element, TAlsaValue what, int channel, long& value) override {
    value = values[{element, what, channel}];
    return 0;
  }
  int Set(int element, TAlsaValue what, int channel, long value) override {
    writes.push_back({element, what, channel, value});
    for (int c : channel < 0 ? std::vector<int>{0, 1} : std::vector<int>{channel})
      values[{element, what, c}] = value;
    const int group = elements_[static_cast<std::size_t>(element)].captureGroup;
    if (what == TAlsaValue::kCaptureSwitch && value != 0 && group >= 0)
      for (std::size_t e = 0; e < elements_.size(); ++e)
        if (static_cast<int>(e) != element && elements_[e].captureGroup == group)
          for (int c : {0, 1})
            values[{static_cast<int>(e), what, c}] = 0;
    return 0;
  }

  long At(int element, TAlsaValue what, int channel) { return values[{element, what, channel}]; }

  std::map<std::tuple<int, TAlsaValue, int>, long> values;
  std::vector<std::tuple<int, TAlsaValue, int, long>> writes;

 private:
  std::vector<TAlsaElement> elements_;
};

TEST(AlsaMixerModel, VolumesAndMutesMoveThroughTheirElements) {
  const std::vector<TAlsaElement> elements = {Playback("Master", 31)};
  TAlsaCardModel model(elements, 1, "Card");
  FakeElements io(elements);
  const int volume = 0, mute = 1;
  std::vector<std::uint32_t> values;
  bool settled = false;

  // Per channel, and what was written reads back as written.
  ASSERT_EQ(model.SetValues(io, volume, 2, 0, {40000, 65535}, settled), kMixerOk);
  EXPECT_TRUE(settled);
  EXPECT_EQ(io.At(0, TAlsaValue::kPlaybackVolume, 0), 19);
  EXPECT_EQ(io.At(0, TAlsaValue::kPlaybackVolume, 1), 31);
  ASSERT_EQ(model.GetValues(io, volume, 2, 0, values), kMixerOk);
  EXPECT_EQ(values, (std::vector<std::uint32_t>{40000, 65535}));
  // Changed elsewhere: the element's value on the scale. One value for both: the higher.
  io.values[{0, TAlsaValue::kPlaybackVolume, 0}] = 20;
  ASSERT_EQ(model.GetValues(io, volume, 2, 0, values), kMixerOk);
  EXPECT_EQ(values, (std::vector<std::uint32_t>{42281, 65535}));
  ASSERT_EQ(model.GetValues(io, volume, 1, 0, values), kMixerOk);
  EXPECT_EQ(values, (std::vector<std::uint32_t>{65535}));
  // One value for both is written to every channel.
  ASSERT_EQ(model.SetValues(io, volume, 1, 0, {1000}, settled), kMixerOk);
  EXPECT_EQ(io.writes.back(), std::make_tuple(0, TAlsaValue::kPlaybackVolume, -1, 0L));
  ASSERT_EQ(model.GetValues(io, volume, 2, 0, values), kMixerOk);
  EXPECT_EQ(values, (std::vector<std::uint32_t>{1000, 1000}));

  // Mute is the switch off.
  ASSERT_EQ(model.SetValues(io, mute, 1, 0, {1}, settled), kMixerOk);
  EXPECT_EQ(io.writes.back(), std::make_tuple(0, TAlsaValue::kPlaybackSwitch, -1, 0L));
  io.values[{0, TAlsaValue::kPlaybackSwitch, 0}] = 1;
  ASSERT_EQ(model.GetValues(io, mute, 2, 0, values), kMixerOk);
  EXPECT_EQ(values, (std::vector<std::uint32_t>{0, 1}));

  // A call of the wrong shape.
  EXPECT_EQ(model.GetValues(io, volume, 3, 0, values), kMixerInvalidParam);
  EXPECT_EQ(model.GetValues(io, volume, 1, 2, values), kMixerInvalidParam);
  EXPECT_EQ(model.GetValues(io, 7, 1, 0, values), kMixerInvalidControl);
}

TEST(AlsaMixerModel, SelectorsWriteWhatTheCardCanTake) {
  const struct Case {
    const char* card;
    std::vector<TAlsaElement> elements;
    std::vector<std::uint32_t> select, selected;  // asked, and what the card then holds
    bool settled;
  } cases[] = {
      {"enumerated",
       {Enumerated("Input Source", {"Mic", "Line", "CD"})},
       {0, 1, 0},
       {0, 1, 0},
       true},
      {"enumerated, nothing",
       {Enumerated("Input Source", {"Mic", "Line", "CD"})},
       {0, 0, 0},
       {1, 0, 0},
       false},
      {"exclusive",
       {CaptureSwitchOnly("Mic", 1), CaptureSwitchOnly("Line", 1), CaptureSwitchOnly("CD", 1)},
       {0, 0, 1},
       {0, 0, 1},
       true},
      {"exclusive, nothing",
       {CaptureSwitchOnly("Mic", 1), CaptureSwitchOnly("Line", 1), CaptureSwitchOnly("CD", 1)},
       {0, 0, 0},
       {0, 0, 0},
       true},
      {"plain switches",
       {CaptureSwitchOnly("Mic", -1), CaptureSwitchOnly("Line", -1)},
       {1, 1},
       {1, 1},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.card);
    TAlsaCardModel model(c.elements, 1, "Card");
    FakeElements io(c.elements);
    const int selector = 0;  // no Capture element: the selector comes first
    const int items = static_cast<int>(c.select.size());
    std::vector<std::uint32_t> values;
    ASSERT_EQ(model.GetValues(io, selector, 1, items, values), kMixerOk);
    bool settled = false;
    ASSERT_EQ(model.SetValues(io, selector, 1, items, c.select, settled), kMixerOk);
    EXPECT_EQ(settled, c.settled);
    ASSERT_EQ(model.GetValues(io, selector, 1, items, values), kMixerOk);
    EXPECT_EQ(values, c.selected);
  }
}

TEST(AlsaMixerModel, AnElementsChangeConcernsEveryControlAndLineItCarries) {
  const std::vector<TAlsaElement> elements = {
      Playback("Master", 31), WithCapture(Playback("Line", 31), 31),
      WithCapture(Playback("Mic", 31), 31), Capture("Capture", 31)};
  TAlsaCardModel model(elements, 1, "Card");
  const TMixerCard& card = model.Card();
  std::vector<std::string> controls;
  for (int id : model.ControlsOfElement(1)) {
    const TMixerCard::Control& c = *card.FindControl(id);
    controls.push_back(card.FindLine(c.lineId)->name + " " + c.info.name);
  }
  EXPECT_EQ(controls, (std::vector<std::string>{"Capture Capture Source", "Line Line Volume",
                                                "Line Line Mute", "Line Line Volume"}));
  EXPECT_EQ(model.LinesOfElement(1), (std::vector<int>{65536, 65537}));
  EXPECT_EQ(model.LinesOfElement(3), (std::vector<int>{1}));
}

}  // namespace
}  // namespace zq
