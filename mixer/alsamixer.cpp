#include "mixer/alsamixer.h"

#include <alsa/asoundlib.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "audio/alsacards.h"
#include "mixer/alsamixermodel.h"
#include "mixer/pollwatch.h"

namespace zq {
namespace {

constexpr int kDestinations = 2;

struct Device {
  std::string ctl;   // what snd_mixer_attach opens
  std::string name;  // the product name, as the wave input names it
};

snd_mixer_selem_channel_id_t Channel(int channel) {
  return channel == 1 ? SND_MIXER_SCHN_FRONT_RIGHT : SND_MIXER_SCHN_FRONT_LEFT;
}

TAlsaElement Describe(snd_mixer_elem_t* e) {
  TAlsaElement d;
  d.name = snd_mixer_selem_get_name(e);
  d.playbackVolume = snd_mixer_selem_has_playback_volume(e);
  d.playbackSwitch = snd_mixer_selem_has_playback_switch(e);
  d.captureVolume = snd_mixer_selem_has_capture_volume(e);
  d.captureSwitch = snd_mixer_selem_has_capture_switch(e);
  if (d.playbackVolume)
    snd_mixer_selem_get_playback_volume_range(e, &d.playbackMin, &d.playbackMax);
  if (d.captureVolume) snd_mixer_selem_get_capture_volume_range(e, &d.captureMin, &d.captureMax);
  if (d.playbackVolume || d.playbackSwitch)
    d.playbackChannels =
        snd_mixer_selem_is_playback_mono(e) == 1 ||
                !snd_mixer_selem_has_playback_channel(e, SND_MIXER_SCHN_FRONT_RIGHT)
            ? 1
            : 2;
  if (d.captureVolume || d.captureSwitch)
    d.captureChannels = snd_mixer_selem_is_capture_mono(e) == 1 ||
                                !snd_mixer_selem_has_capture_channel(e, SND_MIXER_SCHN_FRONT_RIGHT)
                            ? 1
                            : 2;
  d.playbackVolumeJoined = d.playbackVolume && snd_mixer_selem_has_playback_volume_joined(e);
  d.playbackSwitchJoined = d.playbackSwitch && snd_mixer_selem_has_playback_switch_joined(e);
  d.captureVolumeJoined = d.captureVolume && snd_mixer_selem_has_capture_volume_joined(e);
  d.captureSwitchJoined = d.captureSwitch && snd_mixer_selem_has_capture_switch_joined(e);
  if (d.captureSwitch && snd_mixer_selem_has_capture_switch_exclusive(e))
    d.captureGroup = snd_mixer_selem_get_capture_group(e);
  if (snd_mixer_selem_is_enumerated(e)) {
    d.enumCapture = snd_mixer_selem_is_enum_capture(e) == 1;
    const int count = snd_mixer_selem_get_enum_items(e);
    for (int i = 0; i < count; ++i) {
      char name[64] = {};
      if (snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof name - 1, name) <
          0)
        break;
      d.enumItems.emplace_back(name);
    }
  }
  return d;
}

// One card's mixer, loaded with its simple elements, and the model of them.
class AlsaCard final : public TAlsaElementIo {
 public:
  ~AlsaCard() {
    // Closing removes the elements: nobody is to hear of that.
    snd_mixer_set_callback(mixer_, nullptr);
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e != nullptr;
         e = snd_mixer_elem_next(e))
      snd_mixer_elem_set_callback(e, nullptr);
    snd_mixer_close(mixer_);
  }

  static int Open(const Device& device, int deviceId, std::unique_ptr<AlsaCard>& card) {
    snd_mixer_t* mixer = nullptr;
    int r = snd_mixer_open(&mixer, 0);
    if (r < 0) return r;
    auto made = std::unique_ptr<AlsaCard>(new AlsaCard(mixer, deviceId, device.name));
    r = snd_mixer_attach(mixer, device.ctl.c_str());
    if (r >= 0) r = snd_mixer_selem_register(mixer, nullptr, nullptr);
    if (r >= 0) r = snd_mixer_load(mixer);
    if (r < 0) return r;
    made->Rebuild();
    card = std::move(made);
    return 0;
  }

  snd_mixer_t* Mixer() const { return mixer_; }
  TAlsaCardModel& Model() { return *model_; }
  int IndexOf(snd_mixer_elem_t* e) const {
    const auto it = std::find(elements_.begin(), elements_.end(), e);
    return it == elements_.end() ? -1 : static_cast<int>(it - elements_.begin());
  }

  // Reads the elements of index 0 again and builds their model.
  void Rebuild() {
    elements_.clear();
    std::vector<TAlsaElement> described;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e != nullptr;
         e = snd_mixer_elem_next(e)) {
      if (snd_mixer_elem_get_type(e) != SND_MIXER_ELEM_SIMPLE ||
          snd_mixer_selem_get_index(e) != 0 || !snd_mixer_selem_is_active(e))
        continue;
      elements_.push_back(e);
      described.push_back(Describe(e));
    }
    model_ = std::make_unique<TAlsaCardModel>(std::move(described), deviceId_, name_);
  }

  int Get(int element, TAlsaValue what, int channel, long& value) override {
    snd_mixer_elem_t* e = elements_[static_cast<std::size_t>(element)];
    const auto ch = Channel(channel);
    int on = 0;
    unsigned item = 0;
    int r = 0;
    switch (what) {
      case TAlsaValue::kPlaybackVolume:
        return snd_mixer_selem_get_playback_volume(e, ch, &value);
      case TAlsaValue::kCaptureVolume:
        return snd_mixer_selem_get_capture_volume(e, ch, &value);
      case TAlsaValue::kPlaybackSwitch:
        r = snd_mixer_selem_get_playback_switch(e, ch, &on);
        value = on;
        return r;
      case TAlsaValue::kCaptureSwitch:
        r = snd_mixer_selem_get_capture_switch(e, ch, &on);
        value = on;
        return r;
      case TAlsaValue::kEnumItem:
        r = snd_mixer_selem_get_enum_item(e, ch, &item);
        value = static_cast<long>(item);
        return r;
    }
    return -EINVAL;
  }

  int Set(int element, TAlsaValue what, int channel, long value) override {
    snd_mixer_elem_t* e = elements_[static_cast<std::size_t>(element)];
    const auto ch = Channel(channel);
    const bool all = channel < 0;
    const int on = value != 0;
    switch (what) {
      case TAlsaValue::kPlaybackVolume:
        return all ? snd_mixer_selem_set_playback_volume_all(e, value)
                   : snd_mixer_selem_set_playback_volume(e, ch, value);
      case TAlsaValue::kCaptureVolume:
        return all ? snd_mixer_selem_set_capture_volume_all(e, value)
                   : snd_mixer_selem_set_capture_volume(e, ch, value);
      case TAlsaValue::kPlaybackSwitch:
        return all ? snd_mixer_selem_set_playback_switch_all(e, on)
                   : snd_mixer_selem_set_playback_switch(e, ch, on);
      case TAlsaValue::kCaptureSwitch:
        return all ? snd_mixer_selem_set_capture_switch_all(e, on)
                   : snd_mixer_selem_set_capture_switch(e, ch, on);
      case TAlsaValue::kEnumItem:
        if (!all) return snd_mixer_selem_set_enum_item(e, ch, static_cast<unsigned>(value));
        // Every channel the element has: the first that is refused ends the list.
        for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
          const int r = snd_mixer_selem_set_enum_item(
              e, static_cast<snd_mixer_selem_channel_id_t>(c), static_cast<unsigned>(value));
          if (r < 0) return c == 0 ? r : 0;
        }
        return 0;
    }
    return -EINVAL;
  }

 private:
  AlsaCard(snd_mixer_t* mixer, int deviceId, std::string name)
      : mixer_(mixer), deviceId_(deviceId), name_(std::move(name)) {}

  snd_mixer_t* mixer_;
  int deviceId_;
  std::string name_;
  std::vector<snd_mixer_elem_t*> elements_;
  std::unique_ptr<TAlsaCardModel> model_;
};

// An open handle: a loaded card watched on the main loop. Once the card is gone, `card` is null.
struct OpenMixer {
  int deviceId = 0;
  TMMMixerSink* sink = nullptr;
  std::unique_ptr<AlsaCard> card;
  std::unique_ptr<TMMPollWatch> watch;
  bool rebuild = false;

  TMixerHandle Handle() const { return reinterpret_cast<TMixerHandle>(this); }

  static int ElementEvent(snd_mixer_elem_t* e, unsigned int mask) {
    auto* self = static_cast<OpenMixer*>(snd_mixer_elem_get_callback_private(e));
    if (self == nullptr || self->card == nullptr) return 0;
    if (mask == SND_CTL_EVENT_MASK_REMOVE) {
      self->rebuild = true;
      return 0;
    }
    const int element = self->card->IndexOf(e);
    // An element that comes into use or goes out of it changes what the card has.
    if ((mask & SND_CTL_EVENT_MASK_INFO) && snd_mixer_selem_get_index(e) == 0 &&
        (snd_mixer_selem_is_active(e) != 0) != (element >= 0)) {
      self->rebuild = true;
      return 0;
    }
    if (element < 0) return 0;
    if (mask & SND_CTL_EVENT_MASK_VALUE)
      for (int control : self->card->Model().ControlsOfElement(element))
        self->sink->MixerControlChange(self->Handle(), control);
    if (mask & SND_CTL_EVENT_MASK_INFO)
      for (int line : self->card->Model().LinesOfElement(element))
        self->sink->MixerLineChange(self->Handle(), line);
    return 0;
  }

  static int MixerEvent(snd_mixer_t* mixer, unsigned int mask, snd_mixer_elem_t* e) {
    auto* self = static_cast<OpenMixer*>(snd_mixer_get_callback_private(mixer));
    if (self != nullptr && (mask & SND_CTL_EVENT_MASK_ADD)) {
      self->Follow(e);
      self->rebuild = true;
    }
    return 0;
  }

  void Follow(snd_mixer_elem_t* e) {
    snd_mixer_elem_set_callback_private(e, this);
    snd_mixer_elem_set_callback(e, &OpenMixer::ElementEvent);
  }

  // Called from the watch: what came from the card, and whether it is still there.
  int Service(const std::vector<pollfd>& fds) {
    std::vector<pollfd> copy = fds;
    unsigned short revents = 0;
    int r = snd_mixer_poll_descriptors_revents(card->Mixer(), copy.data(),
                                               static_cast<unsigned>(copy.size()), &revents);
    if (r < 0) return r;
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) return -ENODEV;
    r = snd_mixer_handle_events(card->Mixer());
    if (r < 0) return r;
    if (rebuild) {
      rebuild = false;
      card->Rebuild();
      sink->MixerElementsChange(Handle());
    }
    return 0;
  }

  void Gone() {
    card.reset();
    sink->MixerElementsChange(Handle());
  }

  // Starts following the card's events: element callbacks, then the descriptors on the loop.
  int Watch() {
    snd_mixer_t* mixer = card->Mixer();
    snd_mixer_set_callback_private(mixer, this);
    snd_mixer_set_callback(mixer, &OpenMixer::MixerEvent);
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e != nullptr;
         e = snd_mixer_elem_next(e))
      Follow(e);
    if (QCoreApplication::instance() == nullptr) return 0;  // nothing to watch on
    const int count = snd_mixer_poll_descriptors_count(mixer);
    if (count < 0) return count;
    std::vector<pollfd> fds(static_cast<std::size_t>(count));
    const int r = snd_mixer_poll_descriptors(mixer, fds.data(), static_cast<unsigned>(count));
    if (r < 0) return r;
    fds.resize(static_cast<std::size_t>(r));
    watch = std::make_unique<TMMPollWatch>(
        std::move(fds), [this](const std::vector<pollfd>& ready) { return Service(ready); },
        [this](int) { Gone(); });
    return 0;
  }
};

class AlsaMixer final : public TMMMixerOps {
 public:
  AlsaMixer() {
    const std::vector<AlsaCaptureCard> cards = AlsaCaptureCards();
    if (cards.empty() && !AlsaDefaultCaptureOpens()) return;
    devices_.push_back({"default", kAlsaDefaultInputName});
    for (const AlsaCaptureCard& c : cards)
      devices_.push_back({"hw:CARD=" + c.id, c.name});
  }

  int GetNumDevs(TMMDeviceType kind) override {
    return kind == dtMixer || kind == dtWaveIn ? static_cast<int>(devices_.size()) : 0;
  }

  int GetDevCaps(TMMDeviceType kind, int id, TMMDevCapsRecord& caps) override {
    if (id < 0 || id >= GetNumDevs(kind)) return kMixerBadDeviceId;
    caps = TMMDevCapsRecord();
    caps.productName = devices_[static_cast<std::size_t>(id)].name;
    caps.destinations = kind == dtMixer ? kDestinations : 0;
    return kMixerOk;
  }

  std::string GetErrorText(int code) override { return code < 0 ? snd_strerror(code) : ""; }

  int Open(TMixerHandle& handle, int id, TMMMixerSink* sink) override {
    if (id < 0 || id >= static_cast<int>(devices_.size())) return kMixerBadDeviceId;
    if (sink == nullptr) return kMixerInvalidParam;
    auto open = std::make_unique<OpenMixer>();
    open->deviceId = id;
    open->sink = sink;
    int r = AlsaCard::Open(devices_[static_cast<std::size_t>(id)], id, open->card);
    if (r >= 0) r = open->Watch();
    if (r < 0) return r;
    handle = open->Handle();
    handles_[handle] = std::move(open);
    return kMixerOk;
  }

  int Close(TMixerHandle handle) override {
    return handles_.erase(handle) != 0 ? kMixerOk : kMixerInvalidHandle;
  }

  int GetIdOfHandle(TMixerHandle handle, int& mixerId) override {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return kMixerInvalidHandle;
    mixerId = it->second->deviceId;
    return kMixerOk;
  }

  int GetIdOfDevice(TMMDeviceType kind, int deviceId, int& mixerId) override {
    if (kind != dtWaveIn) return kMixerNoDriver;
    if (deviceId == -1) deviceId = 0;  // the default input
    if (deviceId < 0 || deviceId >= static_cast<int>(devices_.size())) return kMixerBadDeviceId;
    mixerId = deviceId;
    return kMixerOk;
  }

  int GetLineById(int mixerId, int lineId, TMMLineRecord& line) override {
    return WithCard(mixerId, [&](AlsaCard& c) { return c.Model().Card().LineById(lineId, line); });
  }
  int GetLineByComponentType(int mixerId, std::uint32_t type, TMMLineRecord& line) override {
    return WithCard(mixerId,
                    [&](AlsaCard& c) { return c.Model().Card().LineByComponentType(type, line); });
  }
  int GetLineByTarget(int mixerId, const TMMLineTargetRecord& target,
                      TMMLineRecord& line) override {
    return WithCard(mixerId,
                    [&](AlsaCard& c) { return c.Model().Card().LineByTarget(target, line); });
  }
  int GetLineBySource(int mixerId, int destination, int source, TMMLineRecord& line) override {
    return WithCard(mixerId, [&](AlsaCard& c) {
      return c.Model().Card().LineBySource(destination, source, line);
    });
  }
  int GetControlById(int mixerId, int controlId, int& lineId, TMMControlRecord& control) override {
    return WithCard(mixerId, [&](AlsaCard& c) {
      return c.Model().Card().ControlById(controlId, lineId, control);
    });
  }
  int GetControlByType(int mixerId, int lineId, std::uint32_t type,
                       TMMControlRecord& control) override {
    return WithCard(mixerId, [&](AlsaCard& c) {
      return c.Model().Card().ControlByType(lineId, type, control);
    });
  }
  int GetControlValues(int mixerId, int controlId, int channels, int items,
                       std::vector<std::uint32_t>& values) override {
    return WithCard(mixerId, [&](AlsaCard& c) {
      return c.Model().GetValues(c, controlId, channels, items, values);
    });
  }
  int SetControlValues(int mixerId, int controlId, int channels, int items,
                       const std::vector<std::uint32_t>& values) override {
    bool settled = true;
    const int r = WithCard(mixerId, [&](AlsaCard& c) {
      return c.Model().SetValues(c, controlId, channels, items, values, settled);
    });
    // The card kept another value than the one written, and will not say so itself: tell the
    // open mixers, so that what shows the control reads it again.
    if (r == kMixerOk && !settled)
      for (const auto& [handle, open] : handles_)
        if (open->deviceId == mixerId && open->card != nullptr)
          open->sink->MixerControlChange(handle, controlId);
    return r;
  }
  int GetControlListText(int mixerId, int controlId, int channels, int items,
                         std::vector<TMMListTextRecord>& texts) override {
    return WithCard(mixerId, [&](AlsaCard& c) {
      return c.Model().Card().ListText(controlId, channels, items, texts);
    });
  }

 private:
  // Runs `query` on the card of mixer `mixerId`: an open one's, else the card loaded for the
  // call. A mixer that is open but gone, or a card that cannot be loaded, has nothing.
  template <class Query>
  int WithCard(int mixerId, Query query) {
    if (mixerId < 0 || mixerId >= static_cast<int>(devices_.size())) return kMixerNoDriver;
    bool gone = false;
    for (const auto& [handle, open] : handles_) {
      if (open->deviceId != mixerId) continue;
      if (open->card != nullptr) return query(*open->card);
      gone = true;
    }
    if (gone) return kMixerNoDriver;
    std::unique_ptr<AlsaCard> card;
    if (AlsaCard::Open(devices_[static_cast<std::size_t>(mixerId)], mixerId, card) < 0)
      return kMixerNoDriver;
    return query(*card);
  }

  std::vector<Device> devices_;
  std::map<TMixerHandle, std::unique_ptr<OpenMixer>> handles_;
};

}  // namespace

std::unique_ptr<TMMMixerOps> MakeAlsaMixerOps() {
  return std::make_unique<AlsaMixer>();
}

}  // namespace zq
