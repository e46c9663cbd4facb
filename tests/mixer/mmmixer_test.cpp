// The mixer model (device, lines, controls) on the simulated back-end.

#include "mixer/mmmixer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mixer/simmixer.h"
#include "tests/mixer/recorder_form.h"
#include "tests/support/platform/manual_time.h"

namespace zq {
namespace {

using testing::TestPlatform;

using testing::Raised;
using testing::RecorderMixerForm;

TEST(MixerModel, EveryLineAndControlResolvesToWhatTheCardHas) {
  TSimCard noMixer{"No Mixer", {}};
  const struct Case {
    const char* name;
    std::vector<TSimCard> cards;
    int openFault;
    std::string openError;
    bool active;
    int lastResult;
    int gravacao, lineInRec, lineIn;                            // line identifiers
    bool mux, volumeRec, monitorMute, volume, recordingVolume;  // valid
    int itemOfLine;
  } cases[] = {
      {"default",
       {SimDefaultCard()},
       0,
       "",
       true,
       0,
       1,
       65537,
       65536,
       true,
       true,
       true,
       true,
       true,
       0},
      {"no Line to record",
       {SimNoLineInputCard()},
       0,
       "",
       true,
       0,
       1,
       -1,
       65536,
       true,
       false,
       true,
       true,
       true,
       -1},
      {"Master and Capture only",
       {SimSoundServerCard()},
       0,
       "",
       true,
       0,
       1,
       -1,
       -1,
       false,
       false,
       false,
       false,
       true,
       -1},
      {"no mixer",
       {noMixer},
       -ENOENT,
       "",
       false,
       -ENOENT,
       -1,
       -1,
       -1,
       false,
       false,
       false,
       false,
       false,
       -1},
      {"no device at all",
       {},
       0,
       "Device not valid",
       false,
       0,
       -1,
       -1,
       -1,
       false,
       false,
       false,
       false,
       false,
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestPlatform platform;
    auto sim = std::make_shared<TMMSimMixerOps>(c.cards);
    sim->FailOpen(c.openFault);
    RecorderMixerForm form(platform.services(), sim);
    platform.mainThread.RunUntilEmpty();
    EXPECT_EQ(form.openError, c.openError);
    EXPECT_EQ(form.placaDevice.Active(), c.active);
    EXPECT_EQ(form.placaDevice.LastResult(), c.lastResult);
    EXPECT_EQ(form.audioGravacao.LineId(), c.gravacao);
    EXPECT_EQ(form.audioLineInRec.LineId(), c.lineInRec);
    EXPECT_EQ(form.audioLineIn.LineId(), c.lineIn);
    EXPECT_EQ(form.mixerLineInRec.Valid(), c.mux);
    EXPECT_EQ(form.controleVolumeRec.Valid(), c.volumeRec);
    EXPECT_EQ(form.mixerLineIn.Valid(), c.monitorMute);
    EXPECT_EQ(form.controlVolume.Valid(), c.volume);
    EXPECT_EQ(form.recordingVolume.Valid(), c.recordingVolume);
    EXPECT_EQ(form.mixerLineInRec.FindItemOfLine(&form.audioLineInRec), c.itemOfLine);
    EXPECT_TRUE(platform.messages.shown.empty());
  }
}

TEST(MixerModel, ResolvedLinesAndControlsCarryTheCardsInformation) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{SimDefaultCard()});
  RecorderMixerForm form(platform.services(), sim);

  EXPECT_EQ(form.placaDevice.DeviceCaps().ProductName(), "Simulated Card");
  EXPECT_EQ(form.placaDevice.Destinations(), 2);
  EXPECT_EQ(form.audioGravacao.ComponentType(), ctDstWaveIn);
  EXPECT_EQ(form.audioGravacao.LineInfo().Connections(), 3);
  EXPECT_EQ(form.audioGravacao.LineInfo().Flags(), TMMLineFlags({cfActive}));
  EXPECT_EQ(form.audioLineInRec.LineInfo().Flags(), TMMLineFlags({cfActive, cfSource}));
  EXPECT_EQ(form.audioLineInRec.LineInfo().Name(), "Line");

  EXPECT_EQ(form.mixerLineInRec.ControlClass(), ccList);
  EXPECT_EQ(form.mixerLineInRec.ControlInfo().Flags(), TMMControlFlags({cfMultiple, cfUniform}));
  EXPECT_EQ(form.mixerLineInRec.ItemCount(), 3);
  EXPECT_EQ(form.mixerLineInRec.ChannelCount(), 1);
  const TMMItemInfo cd = form.mixerLineInRec.GetItemInfo(2);
  EXPECT_EQ(cd.name, "CD");
  EXPECT_EQ(cd.param2, ComponentTypeCode(ctSrcCompactDisc));

  EXPECT_EQ(form.controlVolume.ControlClass(), ccFader);
  EXPECT_EQ(form.controlVolume.ChannelCount(), 2);
  EXPECT_EQ(form.controlVolume.ControlInfo().MaxValue(), 65535);
  EXPECT_EQ(form.controlVolume.ControlInfo().Steps(), 0u);
  EXPECT_EQ(form.mixerLineIn.ControlClass(), ccSwitch);
  EXPECT_TRUE(form.mixerLineIn.AsBoolean());  // the monitor of the line input starts muted
}

// A card whose recording selector has four items, and a stereo list control with items.
TSimCard FourInputs() {
  TSimCard card = SimDefaultCard("Four Inputs");
  TSimDestination& rec = card.destinations[1];
  rec.sources.push_back({ctSrcAuxiliary, "Aux", 2, {}});
  TSimControl& mux = rec.line.controls[1];
  mux.items.push_back("Aux");
  mux.values.push_back(0);
  TSimControl mixer;
  mixer.type = ctMixer;
  mixer.name = "Monitor Mix";
  mixer.uniform = false;
  mixer.items = {"Line", "Mic", "CD", "Aux"};
  rec.line.controls.push_back(mixer);
  return card;
}

TEST(MixerModel, ValueAccessTakesOneElementOfTheWholeArray) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{FourInputs()});
  TMMMixerDevice device(nullptr, platform.services(), sim);
  TMMAudioLine recording;
  recording.SetMixer(&device);
  recording.SetComponentType(ctDstWaveIn);
  TMMMixerControl mux, mixer;
  mux.SetAudioLine(&recording);
  mux.SetControlType(ctMux);
  mixer.SetAudioLine(&recording);
  mixer.SetControlType(ctMixer);
  ASSERT_TRUE(mux.Valid());
  ASSERT_TRUE(mixer.Valid());

  // A single-select list: writing one item clears the others; writing false clears all.
  mux.SetBoolean(chBoth, 2, true);
  EXPECT_EQ(sim->Writes().back().values, (std::vector<std::uint32_t>{0, 0, 1, 0}));
  mux.SetBoolean(chBoth, 2, false);
  EXPECT_EQ(sim->Writes().back().values, (std::vector<std::uint32_t>{0, 0, 0, 0}));

  // A stereo list that is not single-select: item by item, channels within an item.
  const struct {
    TMMChannel channel;
    int item;
    std::vector<std::uint32_t> written;
  } cases[] = {
      {chBoth, 1, {0, 1, 0, 0}},
      {chLeft, 1, {0, 0, 1, 0, 0, 0, 0, 0}},
      {chRight, 1, {0, 0, 0, 1, 0, 0, 0, 0}},
      {chRight, 3, {0, 0, 0, 0, 0, 0, 0, 1}},
  };
  const int id = sim->ControlId(0, 1, "", ctMixer);
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    sim->Change(0, id, std::vector<std::uint32_t>(8, 0));
    mixer.SetBoolean(c.channel, c.item, true);
    EXPECT_EQ(sim->Writes().back().values, c.written);
    EXPECT_TRUE(mixer.GetBoolean(c.channel, c.item));
  }

  EXPECT_EQ(Raised([&] { mux.GetBoolean(chBoth, 4); }), "Item index out of range");
  EXPECT_EQ(Raised([&] { mux.GetItemInfo(-1); }), "Item index out of range");
}

TEST(MixerModel, ASelectorThatCannotSelectNothingKeepsItsItemAndSaysSo) {
  TSimCard card = SimDefaultCard();
  card.selectorCanSelectNone = false;
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{card});
  RecorderMixerForm form(platform.services(), sim);
  const TMMItemIndex line = form.mixerLineInRec.FindItemOfLine(&form.audioLineInRec);
  form.mixerLineInRec.SetBoolean(chBoth, line, true);
  platform.mainThread.RunUntilEmpty();
  int changes = 0;
  form.mixerLineInRec.OnChange = [&](TMMCustomMixerControl*) { ++changes; };
  form.mixerLineInRec.SetBoolean(chBoth, line, false);
  EXPECT_EQ(sim->Writes().back().values, (std::vector<std::uint32_t>{0, 0, 0}));
  platform.mainThread.RunUntilEmpty();
  EXPECT_EQ(changes, 1);  // what shows the selector reads it again...
  EXPECT_TRUE(form.mixerLineInRec.GetBoolean(chBoth, line));  // ...and finds the line selected
}

TEST(MixerModel, PanValueBalancesWhatIsWrittenForBothChannels) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{SimDefaultCard()});
  TMMMixerDevice device(nullptr, platform.services(), sim);
  TMMAudioLine master;
  master.SetMixer(&device);
  master.SetComponentType(ctDstSpeakers);
  TMMVolumeControl volume;
  volume.SetAudioLine(&master);
  ASSERT_TRUE(volume.Valid());

  const struct {
    int pan;
    std::uint32_t value;
    std::vector<std::uint32_t> written;
  } cases[] = {
      {0, 40000, {40000, 40000}},
      {16384, 40000, {19999, 40000}},  // Trunc(40000 × 16383 /
                                       // 32767)
      {-16384, 40000, {40000, 20000}},
      {32767, 65535, {0, 65535}},
      {-32768, 65535, {65535, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pan);
    volume.SetPanValue(0);
    volume.SetPanValue(c.pan);
    volume.SetAsUnsigned(c.value);
    EXPECT_EQ(sim->Writes().back().values, c.written);
  }
  // One channel at a time is written as it is.
  volume.SetPanValue(16384);
  const std::uint32_t right = sim->Values(0, sim->ControlId(0, 0, "", ctVolume))[1];
  volume.SetUnsigned(chLeft, -1, 40000);
  EXPECT_EQ(sim->Writes().back().values, (std::vector<std::uint32_t>{40000, right}));

  // A new balance is applied to the value the control holds (the highest channel).
  volume.SetPanValue(0);
  volume.SetAsUnsigned(30000);
  volume.SetPanValue(-32768);
  EXPECT_EQ(sim->Values(0, sim->ControlId(0, 0, "", ctVolume)),
            (std::vector<std::uint32_t>{30000, 0}));
}

TEST(MixerModel, FailuresRaiseTheirMessages) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{SimDefaultCard(), SimSoundServerCard()});
  TMMMixerDevice device(nullptr, platform.services(), sim);
  TMMMixerDevice other(nullptr, platform.services(), sim);
  TMMAudioLine line, lonely;
  line.SetMixer(&device);
  line.SetComponentType(ctSrcLine);
  TMMMixerControl control, noLine;
  control.SetAudioLine(&line);
  control.SetControlType(ctVolume);

  EXPECT_EQ(Raised([&] { device.SetDeviceId(5); }), "Device id is out of range");
  EXPECT_EQ(device.DeviceId(), 0);
  EXPECT_EQ(Raised([&] { device.SetDevice(&other); }), "Mixer can't reference mixer");
  EXPECT_EQ(Raised([&] { line.SetTarget(&other); }), "Can't target to mixer");
  EXPECT_EQ(Raised([&] { line.SetDestLine(&control); }), "DestLine should be TMMAudioLine");
  EXPECT_EQ(Raised([&] { noLine.AsUnsigned(); }), "Mixer required for this operation");
  noLine.SetAudioLine(&lonely);
  EXPECT_EQ(Raised([&] { noLine.AsUnsigned(); }), "Mixer required for this operation");
  lonely.SetMixer(&device);
  EXPECT_EQ(Raised([&] { noLine.AsUnsigned(); }), "Control not valid");
  EXPECT_EQ(Raised([&] { control.GetItemInfo(0); }),
            "Item info requested from non-multiple control");

  // The back-end's failures: its text, or the code when it has none.
  sim->FailQueries(-EIO);
  try {
    control.AsUnsigned();
    ADD_FAILURE() << "nothing raised";
  } catch (const EMMMCIError& e) {
    EXPECT_EQ(e.Code(), -EIO);
    EXPECT_EQ(std::string(e.what()), std::strerror(EIO));
  }
  sim->FailQueries(1);
  EXPECT_EQ(Raised([&] { line.ResolveLine(); }), "MMSystem error: 1");
  // "Not found" is no failure.
  sim->FailQueries(kMixerInvalidLine);
  EXPECT_EQ(Raised([&] { line.ResolveLine(); }), "");
  EXPECT_EQ(line.LineId(), -1);
  EXPECT_TRUE(platform.messages.shown.empty());
}

TEST(MixerModel, TheDeviceListHasNoMapper) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(
      std::vector{SimDefaultCard("First"), SimSoundServerCard("Second")});
  TMMMixerDevice device(nullptr, platform.services(), sim);
  EXPECT_EQ(device.DeviceCount(), 2);
  EXPECT_FALSE(device.Mapper());
  std::vector<std::string> names{"stale"};
  device.FillDeviceNames(names, true);
  EXPECT_EQ(names, (std::vector<std::string>{"First", "Second"}));
  EXPECT_EQ(Raised([&] { device.SetDeviceId(-1); }), "MMSystem error: 2");
}

// A changed value comes back as a queued notification to the line, the control and the device;
// a change of another control of the same line does not reach the control.
TEST(MixerModel, ChangesMadeElsewhereAreQueuedToWhatStandsForThem) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{SimDefaultCard()});
  RecorderMixerForm form(platform.services(), sim);
  std::vector<std::string> heard;
  form.placaDevice.OnControlChange = [&](TMMMixerDevice*, TMMLineId line, TMMControlId) {
    heard.push_back("device " + std::to_string(line));
  };
  form.audioLineIn.OnControlChange = [&](TMMAudioLine*, TMMLineId, TMMControlId) {
    heard.push_back("line");
  };
  form.controlVolume.OnChange = [&](TMMCustomMixerControl*) { heard.push_back("volume"); };
  form.mixerLineIn.OnChange = [&](TMMCustomMixerControl*) { heard.push_back("mute"); };
  TMMObserver bound;
  form.controlVolume.Observable().Attach(&bound);
  int boundChanges = 0;
  bound.OnNotify = [&](TMMObserver*, const TMMObject& change) {
    if (dynamic_cast<const TMMControlChange*>(&change) != nullptr) ++boundChanges;
  };

  const int volume = sim->ControlId(0, 0, "Line", ctVolume);
  sim->Change(0, volume, {1000, 2000});
  EXPECT_TRUE(heard.empty()) << "handled before the main loop ran";
  platform.mainThread.RunUntilEmpty();
  EXPECT_EQ(heard, (std::vector<std::string>{"volume", "line", "device 65536"}));
  EXPECT_EQ(boundChanges, 1);
  EXPECT_EQ(form.controlVolume.GetUnsigned(chRight, -1), 2000u);

  // A write comes back the same way; a write that changes nothing does not.
  heard.clear();
  form.controlVolume.SetUnsigned(chRight, -1, 2000);
  platform.mainThread.RunUntilEmpty();
  EXPECT_TRUE(heard.empty());
  form.mixerLineIn.SetAsBoolean(false);
  platform.mainThread.RunUntilEmpty();
  EXPECT_EQ(heard, (std::vector<std::string>{"mute", "line", "device 65536"}));

  // A locked observer hears nothing.
  bound.Lock();
  sim->Change(0, volume, {3000, 3000});
  platform.mainThread.RunUntilEmpty();
  EXPECT_EQ(boundChanges, 1);
}

TEST(MixerModel, AnotherCardResolvesEverythingAgain) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(
      std::vector{SimDefaultCard(), SimNoLineInputCard(), SimSoundServerCard()});
  RecorderMixerForm form(platform.services(), sim);
  int changes = 0, idChanges = 0;
  form.placaDevice.OnChange = [&](TMMCustomAudioDevice*) { ++changes; };
  TMMObserver bound;
  form.controleVolumeRec.Observable().Attach(&bound);
  bound.OnNotify = [&](TMMObserver*, const TMMObject& change) {
    if (dynamic_cast<const TMMControlIdChange*>(&change) != nullptr) ++idChanges;
  };

  form.placaDevice.SetDeviceId(1);
  EXPECT_TRUE(form.placaDevice.Active());
  EXPECT_EQ(changes, 1);
  EXPECT_GE(idChanges, 1);
  EXPECT_EQ(form.audioLineInRec.LineId(), -1);
  EXPECT_FALSE(form.controleVolumeRec.Valid());
  EXPECT_EQ(form.mixerLineInRec.FindItemOfLine(&form.audioLineInRec), -1);
  EXPECT_EQ(sim->OpenHandles(), 1);

  form.placaDevice.SetDeviceId(0);
  EXPECT_EQ(form.audioLineInRec.LineId(), 65537);
  EXPECT_TRUE(form.controleVolumeRec.Valid());
  EXPECT_EQ(form.mixerLineInRec.FindItemOfLine(&form.audioLineInRec), 0);

  // The card's elements change under an open mixer: the queued notice resolves everything.
  sim->Replace(0, SimSoundServerCard());
  EXPECT_TRUE(form.controleVolumeRec.Valid());
  platform.mainThread.RunUntilEmpty();
  EXPECT_FALSE(form.controleVolumeRec.Valid());
  EXPECT_FALSE(form.mixerLineInRec.Valid());
  EXPECT_TRUE(form.recordingVolume.Valid());
  EXPECT_EQ(changes, 3);
}

TEST(MixerModel, AVanishedCardResolvesToNothingAndShowsNothing) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{SimDefaultCard()});
  RecorderMixerForm form(platform.services(), sim);
  ASSERT_TRUE(form.controlVolume.Valid());
  sim->Vanish(0);
  platform.mainThread.RunUntilEmpty();
  for (TMMAudioLine* line : {&form.audioGravacao, &form.audioLineInRec, &form.audioLineIn})
    EXPECT_EQ(line->LineId(), -1);
  for (TMMCustomMixerControl* c : std::initializer_list<TMMCustomMixerControl*>{
           &form.mixerLineInRec, &form.controleVolumeRec, &form.mixerLineIn, &form.controlVolume,
           &form.recordingVolume})
    EXPECT_FALSE(c->Valid());
  EXPECT_TRUE(platform.messages.shown.empty());
  // Closing and opening again: refused, and still nothing shown.
  form.placaDevice.SetActive(false);
  form.placaDevice.SetActive(true);
  EXPECT_FALSE(form.placaDevice.Active());
  EXPECT_EQ(form.placaDevice.LastResult(), -ENODEV);
  EXPECT_EQ(form.placaDevice.ErrorText(-ENODEV), std::strerror(ENODEV));
  EXPECT_TRUE(platform.messages.shown.empty());
}

TEST(MixerModel, AClosedMixerAnswersAndAnswersNoMore) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{SimDefaultCard()});
  int changes = 0;
  {
    TMMMixerDevice device(nullptr, platform.services(), sim);
    TMMAudioLine line;
    line.SetMixer(&device);
    line.SetComponentType(ctSrcMicrophone);
    TMMVolumeControl volume;
    volume.SetAudioLine(&line);
    volume.OnChange = [&](TMMCustomMixerControl*) { ++changes; };
    EXPECT_FALSE(device.Active());
    EXPECT_EQ(volume.AsUnsigned(), 49152u);  // queries work on a closed mixer
    device.SetActive(true);
    sim->Change(0, sim->ControlId(0, 0, "Mic", ctVolume), {1, 1});
    // Destroyed with a notification still queued.
  }
  platform.mainThread.RunUntilEmpty();
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(sim->OpenHandles(), 0);
}

TEST(MixerModel, LinesFollowTheirLinks) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(
      std::vector{SimNoLineInputCard("Zero"), SimDefaultCard("One")});
  TMMAudioDevice waveIn(nullptr, platform.services(), sim);
  waveIn.SetDeviceType(dtWaveIn);
  auto device = std::make_unique<TMMMixerDevice>(nullptr, platform.services(), sim);

  // By target: the recording destination stands for the wave input of the same card.
  TMMAudioLine byTarget;
  byTarget.SetMixer(device.get());
  byTarget.SetTarget(&waveIn);
  EXPECT_EQ(byTarget.LineId(), 1);
  EXPECT_EQ(byTarget.ComponentType(), ctDstWaveIn);
  TMMAudioLine destination;
  destination.SetMixer(device.get());
  destination.SetLineId(1);

  // The mixer of another device: the wave input's card. It follows the device's changes, and
  // an open one opens that card.
  device->SetActive(true);
  device->SetDevice(&waveIn);
  EXPECT_EQ(device->DeviceId(), 0);
  TMMAudioLine lineIn;
  lineIn.SetMixer(device.get());
  lineIn.SetComponentType(ctSrcLine);
  lineIn.SetDestLine(&destination);
  EXPECT_EQ(lineIn.LineId(), -1);
  waveIn.SetDeviceId(1);
  EXPECT_EQ(device->DeviceId(), 1);
  EXPECT_TRUE(device->Active());
  EXPECT_EQ(sim->OpenHandles(), 1);
  EXPECT_EQ(device->DeviceCaps().ProductName(), "One");
  EXPECT_EQ(lineIn.LineId(), 65537);

  // By identifier through a destination: only a source of that destination.
  TMMAudioLine byId;
  byId.SetMixer(device.get());
  byId.SetDestLine(&destination);
  byId.SetLineId(65536);  // a source of destination 0
  EXPECT_EQ(byId.LineId(), -1);

  // A freed mixer leaves its lines unresolved, and a freed destination its sources.
  destination.SetMixer(nullptr);
  EXPECT_EQ(lineIn.LineId(), -1);
  device.reset();
  EXPECT_EQ(byTarget.Mixer(), nullptr);
  EXPECT_EQ(byTarget.LineId(), -1);
}

TEST(MixerModel, LoadingDefersOpeningAndResolving) {
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{SimDefaultCard()});
  TMMMixerDevice device(nullptr, platform.services(), sim);
  TMMAudioLine line;
  TMMVolumeControl volume;
  int lineIdChanges = 0;
  TMMObserver watcher;
  line.Observable().Attach(&watcher);
  watcher.OnNotify = [&](TMMObserver*, const TMMObject&) { ++lineIdChanges; };
  for (TMMComponent* c : std::initializer_list<TMMComponent*>{&device, &line, &volume})
    c->BeginLoading();
  device.SetActive(true);
  line.SetMixer(&device);
  line.SetComponentType(ctSrcMicrophone);
  volume.SetAudioLine(&line);
  EXPECT_FALSE(device.Active());
  EXPECT_EQ(line.LineId(), -1);
  EXPECT_EQ(lineIdChanges, 0);
  device.EndLoading();
  EXPECT_TRUE(device.Active());
  line.EndLoading();
  EXPECT_EQ(line.LineId(), 65536 * 2);  // the second source of destination 0
  volume.EndLoading();
  EXPECT_TRUE(volume.Valid());
  EXPECT_EQ(lineIdChanges, 1);
}

TEST(MixerModel, NamesAreCutToTheirLength) {
  TSimCard card = SimDefaultCard();
  card.destinations[0].sources[0].name = "Entrada de linha analógica do painel frontal";  // 44
  card.destinations[0].sources[0].controls[0].name = std::string(70, 'v');
  TestPlatform platform;
  auto sim = std::make_shared<TMMSimMixerOps>(std::vector{card});
  TMMMixerDevice device(nullptr, platform.services(), sim);
  TMMAudioLine line;
  line.SetMixer(&device);
  line.SetComponentType(ctSrcLine);
  TMMVolumeControl volume;
  volume.SetAudioLine(&line);
  EXPECT_EQ(line.LineInfo().ShortName(), "Entrada de linha");
  EXPECT_EQ(line.LineInfo().Name(), "Entrada de linha analógica do painel frontal");
  EXPECT_EQ(volume.ControlInfo().Name(), std::string(64, 'v'));
  card.destinations[0].sources[0].name = "Áudio de entrada ñ";  // counted in characters
  sim->Replace(0, card);
  line.ResolveLine();
  EXPECT_EQ(line.LineInfo().ShortName(), "Áudio de entrada");
}

TEST(Observers, NotifyLastAttachedFirstAndSurviveChangesOnTheWay) {
  TMMObservable observable;
  std::vector<int> order;
  auto a = std::make_unique<TMMObserver>();
  TMMObserver b, c;
  a->OnNotify = [&](TMMObserver*, const TMMObject&) { order.push_back(1); };
  b.OnNotify = [&](TMMObserver*, const TMMObject&) {
    order.push_back(2);
    a.reset();  // freed while the pass is on its way to it
  };
  c.OnNotify = [&](TMMObserver*, const TMMObject&) { order.push_back(3); };
  observable.Attach(a.get());
  observable.Attach(&b);
  observable.Attach(&c);
  observable.Attach(&c);
  observable.NotifyObservers(TMMLineIdChange());
  EXPECT_EQ(order, (std::vector<int>{3, 2}));
  EXPECT_EQ(observable.ObserverCount(), 2);

  // Attaching elsewhere moves an observer; a freed observable leaves its observers detached.
  auto other = std::make_unique<TMMObservable>();
  other->Attach(&b);
  EXPECT_EQ(observable.ObserverCount(), 1);
  EXPECT_EQ(b.Observable(), other.get());
  other.reset();
  EXPECT_EQ(b.Observable(), nullptr);
  observable.Detach(&b);  // not attached here: nothing happens
  EXPECT_EQ(c.Observable(), &observable);
}

}  // namespace
}  // namespace zq
