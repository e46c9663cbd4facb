#include "mixer/mmmixer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "mixer/alsamixer.h"
#include "platform/errortext.h"

namespace zq {
namespace {

// The first `n` characters of UTF-8 text.
std::string FirstChars(const std::string& s, std::size_t n) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;  // a continuation byte
    if (chars++ == n) return s.substr(0, i);
  }
  return s;
}

constexpr std::size_t kShortNameChars = 16;
constexpr std::size_t kNameChars = 64;

// The results of line and control queries that mean "the card has no such thing".
bool LineNotFound(int r) {
  return r == kMixerInvalidLine || r == kMixerNoDriver || r == kMixerInvalidParam;
}
bool ControlNotFound(int r) {
  return r == kMixerInvalidControl || r == kMixerInvalidLine || r == kMixerNoDriver;
}

int TargetKind(TMMDeviceType type) {
  switch (type) {
    case dtMidiIn:
      return kTargetMidiIn;
    case dtMidiOut:
      return kTargetMidiOut;
    case dtWaveIn:
      return kTargetWaveIn;
    case dtWaveOut:
      return kTargetWaveOut;
    case dtAux:
      return kTargetAux;
    case dtMixer:
      break;
  }
  return kTargetNone;
}

template <class Record>
bool Is(const TMMObject& change) {
  return dynamic_cast<const Record*>(&change) != nullptr;
}

// Moves a free-notification link from `from` to `to`, keeping it where another link of the
// component still points at `from`.
void Relink(TMMComponent& self, TMMComponent* from, TMMComponent* to,
            std::initializer_list<const TMMComponent*> others) {
  if (from != nullptr && std::find(others.begin(), others.end(), from) == others.end())
    self.RemoveFreeNotification(from);
  if (to != nullptr) self.FreeNotification(to);
}

}  // namespace

// ---- TMMCustomAudioDevice ------------------------------------------------------------------

TMMCustomAudioDevice::TMMCustomAudioDevice(TMMComponent* owner, const Services& services,
                                           std::shared_ptr<TMMMixerOps> ops)
    : TMMNonVisualComponent(owner), services_(services), ops_(std::move(ops)) {
  if (ops_ == nullptr) throw std::invalid_argument("an audio device needs a back-end");
}

TMMCustomAudioDevice::~TMMCustomAudioDevice() {
  Destroying();
}

int TMMCustomAudioDevice::DeviceCount() const {
  return std::max(ops_->GetNumDevs(deviceType_), 0);
}

bool TMMCustomAudioDevice::Mapper() const {
  TMMDevCapsRecord caps;
  const int r = ops_->GetDevCaps(deviceType_, -1, caps);
  if (r == kMixerOk) return true;
  if (r == kMixerBadDeviceId || r == kMixerInvalidHandle) return false;
  RaiseMci(r);
}

bool TMMCustomAudioDevice::ValidDevice() const {
  const int count = DeviceCount();
  if (count < 1) return false;
  if (deviceId_ >= 0) return deviceId_ < count;
  return deviceId_ == -1 && Mapper();
}

void TMMCustomAudioDevice::SetActive(bool value) {
  if (InState(csLoading)) {
    loadedActive_ = value;
    return;
  }
  if (value == active_) return;
  Close();
  if (value) Open();
}

void TMMCustomAudioDevice::SetDeviceId(TMMDeviceId value) {
  if (value < -2 || value >= DeviceCount()) throw EMMDeviceError("Device id is out of range");
  if (value == deviceId_) return;
  const bool wasActive = active_;
  if (active_) Close();
  deviceId_ = value;
  DeviceChanged();
  if (wasActive) SetActive(true);
}

void TMMCustomAudioDevice::FillDeviceNames(std::vector<std::string>& list, bool withMapper) const {
  list.clear();
  TMMDevCapsRecord caps;
  if (withMapper && Mapper()) {
    Check(ops_->GetDevCaps(deviceType_, -1, caps));
    list.push_back(caps.productName);
  }
  const int count = DeviceCount();
  for (int i = 0; i < count; ++i) {
    Check(ops_->GetDevCaps(deviceType_, i, caps));
    list.push_back(caps.productName);
  }
}

void TMMCustomAudioDevice::SetDeviceType(TMMDeviceType value) {
  if (active_) Close();
  deviceType_ = value;
  deviceId_ = 0;
  DeviceChanged();
}

void TMMCustomAudioDevice::DeviceChanged() {
  caps_.caps_ = {};
  if (DeviceCount() >= 1 && deviceId_ != -2) {
    TMMDevCapsRecord caps;
    Check(ops_->GetDevCaps(deviceType_, deviceId_, caps));
    caps_.caps_ = caps;
  }
  NotifyDeviceChange();
}

void TMMCustomAudioDevice::NotifyDeviceChange() {
  observable_.NotifyObservers(TMMDeviceChange());
  if (OnChange) OnChange(this);
}

void TMMCustomAudioDevice::Loaded() {
  TMMNonVisualComponent::Loaded();
  if (loadedActive_) SetActive(*std::exchange(loadedActive_, std::nullopt));
}

void TMMCustomAudioDevice::Check(int result) const {
  if (result != kMixerOk) RaiseMci(result);
}

void TMMCustomAudioDevice::RaiseMci(int code) const {
  throw EMMMCIError(code, CodeText(code, ops_->GetErrorText(code)));
}

TMMAudioDevice::TMMAudioDevice(TMMComponent* owner, const Services& services,
                               std::shared_ptr<TMMMixerOps> ops)
    : TMMCustomAudioDevice(owner, services, std::move(ops)) {
  DeviceChanged();
}

// ---- TMMMixerDevice ------------------------------------------------------------------------

TMMMixerDevice::TMMMixerDevice(TMMComponent* owner, const Services& services,
                               std::shared_ptr<TMMMixerOps> ops)
    : TMMCustomAudioDevice(owner, services, ops != nullptr ? std::move(ops) : MakeAlsaMixerOps()) {
  deviceObserver_.OnNotify = [this](TMMObserver*, const TMMObject& change) {
    if (!Is<TMMDeviceChange>(change)) return;
    // An open mixer goes along to the mixer that now belongs to its device (left open on the
    // old one, every query would turn DeviceId back to it).
    const bool reopen = active_ && MixerOfDevice() != deviceId_;
    if (reopen) Close();
    DeviceChanged();
    if (reopen) SetActive(true);
  };
  SetDeviceType(dtMixer);
}

TMMMixerDevice::~TMMMixerDevice() {
  Destroying();
  if (handle_ != 0) Ops().Close(handle_);
  handle_ = 0;
  active_ = false;
}

void TMMMixerDevice::SetDevice(TMMCustomAudioDevice* value) {
  if (value != nullptr && value->DeviceType() == dtMixer)
    throw EMMMixerDeviceError("Mixer can't reference mixer");
  if (value == device_) return;
  const bool wasActive = active_;
  if (active_) Close();
  if (value != nullptr)
    value->Observable().Attach(&deviceObserver_);
  else if (device_ != nullptr)
    device_->Observable().Detach(&deviceObserver_);
  Relink(*this, device_, value, {});
  device_ = value;
  DeviceChanged();
  SetActive(wasActive);
}

int TMMMixerDevice::Destinations() const {
  if (!ValidDevice()) return 0;
  TMMDevCapsRecord caps;
  Check(Ops().GetDevCaps(dtMixer, deviceId_, caps));
  return caps.destinations;
}

bool TMMMixerDevice::Usable() const {
  return DeviceCount() >= 1 && deviceId_ != -2;
}

std::string TMMMixerDevice::ErrorText(int code) const {
  return CodeText(code, Ops().GetErrorText(code));
}

int TMMMixerDevice::MixerOfDevice() const {
  int id = -2;
  if (Ops().GetIdOfDevice(device_->DeviceType(), device_->DeviceId(), id) != kMixerOk) id = -2;
  return id;
}

void TMMMixerDevice::DeviceChanged() {
  if (device_ != nullptr) deviceId_ = MixerOfDevice();
  TMMCustomAudioDevice::DeviceChanged();
}

void TMMMixerDevice::NotifyDeviceChange() {
  lineObservable_.NotifyObservers(TMMDeviceChange());
  TMMCustomAudioDevice::NotifyDeviceChange();
}

void TMMMixerDevice::Open() {
  if (!ValidDevice()) throw EMMMixerDeviceError("Device not valid");
  TMixerHandle handle = 0;
  lastResult_ = Ops().Open(handle, deviceId_, this);
  if (lastResult_ != kMixerOk) return;
  handle_ = handle;
  active_ = true;
}

void TMMMixerDevice::Close() {
  active_ = false;
  if (handle_ == 0) return;
  const TMixerHandle handle = handle_;
  handle_ = 0;
  Check(Ops().Close(handle));
}

void TMMMixerDevice::Notification(TMMComponent* component, TOperation operation) {
  TMMCustomAudioDevice::Notification(component, operation);
  if (operation == opRemove && component == device_) device_ = nullptr;
}

int TMMMixerDevice::MixerId() {
  int id = -1;
  if (handle_ == 0 || Ops().GetIdOfHandle(handle_, id) != kMixerOk) return deviceId_;
  if (id != deviceId_) {
    deviceId_ = id;
    NotifyDeviceChange();
  }
  return id;
}

void TMMMixerDevice::Queue(TMixerHandle handle, std::function<void()> call) {
  services_.mainThread->Post(
      [weak = std::weak_ptr<int>(alive_), this, handle, call = std::move(call)] {
        if (weak.expired() || handle != handle_) return;
        services_.messages->Guard(call);
      });
}

void TMMMixerDevice::MixerLineChange(TMixerHandle handle, int lineId) {
  Queue(handle, [this, lineId] { LineChanged(lineId); });
}

void TMMMixerDevice::MixerControlChange(TMixerHandle handle, int controlId) {
  Queue(handle, [this, controlId] { ControlChanged(controlId); });
}

void TMMMixerDevice::MixerElementsChange(TMixerHandle handle) {
  Queue(handle, [this] { DeviceChanged(); });
}

void TMMMixerDevice::LineChanged(TMMLineId lineId) {
  lineObservable_.NotifyObservers(TMMLineChange(lineId));
  if (OnLineChange) OnLineChange(this, lineId);
}

void TMMMixerDevice::ControlChanged(TMMControlId controlId) {
  int lineId = -1;
  TMMControlRecord control;
  const int r = Ops().GetControlById(MixerId(), controlId, lineId, control);
  if (ControlNotFound(r)) return;
  Check(r);
  lineObservable_.NotifyObservers(TMMControlChange(lineId, controlId));
  if (OnControlChange) OnControlChange(this, lineId, controlId);
}

// ---- TMMAudioLine --------------------------------------------------------------------------

TMMAudioLine::TMMAudioLine(TMMComponent* owner) : TMMNonVisualComponent(owner) {
  mixerObserver_.OnNotify = [this](TMMObserver*, const TMMObject& change) {
    MixerNotified(change);
  };
  targetObserver_.OnNotify = [this](TMMObserver*, const TMMObject&) { ResolveLine(); };
  destObserver_.OnNotify = [this](TMMObserver*, const TMMObject& change) {
    if (Is<TMMLineIdChange>(change)) ResolveLine();
  };
}

TMMAudioLine::~TMMAudioLine() {
  Destroying();
}

void TMMAudioLine::SetMixer(TMMMixerDevice* value) {
  if (value == mixer_) return;
  if (value != nullptr)
    value->LineObservable().Attach(&mixerObserver_);
  else if (mixer_ != nullptr)
    mixer_->LineObservable().Detach(&mixerObserver_);
  Relink(*this, mixer_, value, {target_, destLine_});
  mixer_ = value;
  ResolveLine();
}

void TMMAudioLine::SetLineId(TMMLineId value) {
  if (value == lineId_ && lookup_ == Lookup::kById) return;
  lineId_ = value;
  lookup_ = Lookup::kById;
  ResolveLine();
}

void TMMAudioLine::SetComponentType(TMMComponentType value) {
  if (value == componentType_ && lookup_ == Lookup::kByType) return;
  componentType_ = value;
  lookup_ = Lookup::kByType;
  ResolveLine();
}

void TMMAudioLine::SetTarget(TMMCustomAudioDevice* value) {
  if (value != nullptr && value->DeviceType() == dtMixer)
    throw EMMMixerDeviceError("Can't target to mixer");
  if (value == target_ && lookup_ == Lookup::kByTarget) return;
  if (value != target_) {
    if (value != nullptr)
      value->Observable().Attach(&targetObserver_);
    else if (target_ != nullptr)
      target_->Observable().Detach(&targetObserver_);
    Relink(*this, target_, value, {mixer_, destLine_});
    target_ = value;
  }
  lookup_ = Lookup::kByTarget;
  ResolveLine();
}

void TMMAudioLine::SetDestLine(TMMComponent* value) {
  TMMAudioLine* line = dynamic_cast<TMMAudioLine*>(value);
  if (value != nullptr && line == nullptr)
    throw EMMMixerDeviceError("DestLine should be TMMAudioLine");
  if (line == destLine_ || line == this) return;
  if (line != nullptr)
    line->Observable().Attach(&destObserver_);
  else if (destLine_ != nullptr)
    destLine_->Observable().Detach(&destObserver_);
  Relink(*this, destLine_, line, {mixer_, target_});
  destLine_ = line;
  ResolveLine();
}

bool TMMAudioLine::UsableMixer() const {
  return mixer_ != nullptr && mixer_->Usable();
}

bool TMMAudioLine::Resolved() const {
  return lineId_ != -1 && UsableMixer();
}

void TMMAudioLine::ResolveLine() {
  // A line that is being found again does not start over when its own notification comes back
  // to it (two lines that are each other's DestLine).
  if (InState(csLoading | csDestroying) || resolving_) return;
  resolving_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{resolving_};

  destIndex_ = -1;
  TMMLineRecord line;
  bool found = false;
  if (UsableMixer()) {
    if (destLine_ == nullptr)
      found = QueryOwn(line) == kMixerOk;
    else if (destLine_->mixer_ == mixer_)
      found = LookUpThrough(*destLine_, line);
  }
  if (found)
    Found(line);
  else
    NotFound();
  observable_.NotifyObservers(TMMLineIdChange());
}

int TMMAudioLine::QueryOwn(TMMLineRecord& line) {
  TMMMixerOps& ops = mixer_->Ops();
  int r = kMixerInvalidLine;
  switch (lookup_) {
    case Lookup::kById:
      if (lineId_ != -1) r = ops.GetLineById(mixer_->MixerId(), lineId_, line);
      break;
    case Lookup::kByType:
      r = ops.GetLineByComponentType(mixer_->MixerId(), ComponentTypeCode(componentType_), line);
      break;
    case Lookup::kByTarget:
      if (target_ != nullptr) r = ops.GetLineByTarget(mixer_->MixerId(), TargetRecord(), line);
      break;
  }
  if (LineNotFound(r)) return kMixerInvalidLine;
  mixer_->Check(r);
  return r;
}

bool TMMAudioLine::LookUpThrough(TMMAudioLine& dest, TMMLineRecord& line) {
  if (dest.InState(csLoading) || !dest.UsableMixer() || dest.lineId_ == -1 || dest.destIndex_ == -1)
    return false;
  TMMLineRecord found;
  if (QueryOwn(found) != kMixerOk) return false;
  if (dest.lineId_ >= 0 && found.destination == dest.lineId_) {
    line = found;
    return true;
  }
  if (lookup_ == Lookup::kById) return false;
  const TMMLineTargetRecord target = TargetRecord();
  const std::uint32_t type = ComponentTypeCode(componentType_);
  for (int s = 0; s < dest.lineInfo_.connections_; ++s) {
    TMMLineRecord source;
    const int r = mixer_->Ops().GetLineBySource(mixer_->MixerId(), dest.destIndex_, s, source);
    if (LineNotFound(r)) continue;
    mixer_->Check(r);
    const TMMLineTargetRecord& t = source.target;
    const bool match = lookup_ == Lookup::kByType
                           ? source.componentType == type
                           : target_ != nullptr && t.type == target.type &&
                                 t.manufacturerId == target.manufacturerId &&
                                 t.productId == target.productId && t.version == target.version &&
                                 t.productName == target.productName;
    if (match) {
      line = source;
      return true;
    }
  }
  return false;
}

TMMLineTargetRecord TMMAudioLine::TargetRecord() const {
  TMMLineTargetRecord t;
  if (target_ == nullptr) return t;
  const TMMDeviceCaps& caps = target_->DeviceCaps();
  t.type = TargetKind(target_->DeviceType());
  t.deviceId = target_->DeviceId();
  t.manufacturerId = caps.ManufacturerId();
  t.productId = caps.ProductId();
  t.version = caps.VerMajor() * 256u + caps.VerMinor();
  t.productName = caps.ProductName();
  return t;
}

void TMMAudioLine::Found(const TMMLineRecord& line) {
  const std::optional<TMMComponentType> type = ComponentTypeOfCode(line.componentType);
  if (!type) throw EMMMixerServiceError("Undefined API component type");
  lineId_ = line.lineId;
  componentType_ = *type;
  lineInfo_ = TMMLineInfo();
  if (line.flags & kLineActive) lineInfo_.flags_.Include(cfActive);
  if (line.flags & kLineDisconnected) lineInfo_.flags_.Include(cfDisconnected);
  if (line.flags & kLineSource) lineInfo_.flags_.Include(cfSource);
  lineInfo_.channels_ = line.channels;
  lineInfo_.connections_ = line.connections;
  lineInfo_.controls_ = line.controls;
  lineInfo_.shortName_ = FirstChars(line.shortName, kShortNameChars);
  lineInfo_.name_ = FirstChars(line.name, kNameChars);
  destIndex_ = (line.flags & kLineSource) ? -1 : line.destination;
}

void TMMAudioLine::NotFound() {
  lineId_ = -1;
  lineInfo_ = TMMLineInfo();
}

void TMMAudioLine::MixerNotified(const TMMObject& change) {
  if (auto* c = dynamic_cast<const TMMLineChange*>(&change)) {
    if (lineId_ == -1 || c->LineId() != lineId_ || InState(csLoading)) return;
    observable_.NotifyObservers(TMMLineChange(lineId_));
    if (OnChange) OnChange(this);
  } else if (auto* c = dynamic_cast<const TMMControlChange*>(&change)) {
    if (lineId_ == -1 || c->LineId() != lineId_ || InState(csLoading)) return;
    observable_.NotifyObservers(TMMControlChange(lineId_, c->ControlId()));
    if (OnControlChange) OnControlChange(this, lineId_, c->ControlId());
  } else if (Is<TMMDeviceChange>(change)) {
    ResolveLine();
  }
}

void TMMAudioLine::Loaded() {
  TMMNonVisualComponent::Loaded();
  ResolveLine();
}

void TMMAudioLine::Notification(TMMComponent* component, TOperation operation) {
  TMMNonVisualComponent::Notification(component, operation);
  if (operation != opRemove || component == nullptr) return;
  const bool lost = component == mixer_ || component == target_ || component == destLine_;
  if (component == mixer_) mixer_ = nullptr;
  if (component == target_) target_ = nullptr;
  if (component == destLine_) destLine_ = nullptr;
  if (lost) ResolveLine();
}

// ---- TMMCustomMixerControl -----------------------------------------------------------------

TMMCustomMixerControl::TMMCustomMixerControl(TMMComponent* owner, TMMControlType type, bool byType)
    : TMMNonVisualComponent(owner), type_(type), byType_(byType) {
  lineObserver_.OnNotify = [this](TMMObserver*, const TMMObject& change) { LineNotified(change); };
  DeriveClass();
}

TMMCustomMixerControl::~TMMCustomMixerControl() {
  Destroying();
}

void TMMCustomMixerControl::SetAudioLine(TMMAudioLine* value) {
  if (value == audioLine_) return;
  if (value != nullptr)
    value->Observable().Attach(&lineObserver_);
  else if (audioLine_ != nullptr)
    audioLine_->Observable().Detach(&lineObserver_);
  Relink(*this, audioLine_, value, {});
  audioLine_ = value;
  ResolveControl();
}

void TMMCustomMixerControl::SetControlId(TMMControlId value) {
  if (value == controlId_ && !byType_) return;
  controlId_ = value;
  byType_ = false;
  ResolveControl();
}

void TMMCustomMixerControl::SetType(TMMControlType value) {
  if (value == type_ && byType_) return;
  type_ = value;
  byType_ = true;
  ResolveControl();
}

bool TMMCustomMixerControl::UsableMixer() const {
  return audioLine_ != nullptr && audioLine_->Mixer() != nullptr && audioLine_->Mixer()->Usable();
}

TMMMixerDevice& TMMCustomMixerControl::Mixer() const {
  return *audioLine_->Mixer();
}

int TMMCustomMixerControl::ChannelCount() const {
  if (!UsableMixer()) return 0;
  if (controlInfo_.flags_.Contains(cfUniform)) return 1;
  return audioLine_->LineInfo().Channels();
}

int TMMCustomMixerControl::ItemCount() const {
  return UsableMixer() ? controlInfo_.multipleItems_ : 0;
}

bool TMMCustomMixerControl::Valid() const {
  return audioLine_ != nullptr && audioLine_->Resolved() && controlId_ != -1;
}

bool TMMCustomMixerControl::Writable() const {
  return Valid() && !controlInfo_.flags_.Contains(cfDisabled);
}

void TMMCustomMixerControl::DeriveClass() {
  const std::optional<TMMControlClass> c = ControlClassOfCode(ControlTypeCode(type_));
  if (!c) throw EMMMixerServiceError("Undefined API control class");
  controlClass_ = *c;
}

void TMMCustomMixerControl::ResolveControl() {
  if (InState(csDestroying)) return;
  if (InState(csLoading)) {
    DeriveClass();
    return;
  }
  TMMControlRecord control;
  bool found = false;
  TMMControlType type = type_;
  if (audioLine_ != nullptr && audioLine_->Resolved()) {
    TMMMixerDevice& mixer = Mixer();
    int r = kMixerInvalidControl;
    if (!byType_) {
      int lineId = -1;
      if (controlId_ != -1)
        r = mixer.Ops().GetControlById(mixer.MixerId(), controlId_, lineId, control);
    } else {
      r = mixer.Ops().GetControlByType(mixer.MixerId(), audioLine_->LineId(),
                                       ControlTypeCode(type_), control);
    }
    if (!ControlNotFound(r)) {
      mixer.Check(r);
      const std::optional<TMMControlType> t = ControlTypeOfCode(control.controlType);
      if (!t) {
        if (!ControlClassOfCode(control.controlType))
          throw EMMMixerServiceError("Undefined API control class");
        throw EMMMixerServiceError("Undefined API control type");
      }
      found = Accepts(*t);
      type = *t;
    }
  }
  controlInfo_ = TMMControlInfo();
  if (found) {
    controlId_ = control.controlId;
    type_ = type;
    if (control.flags & kControlDisabled) controlInfo_.flags_.Include(cfDisabled);
    if (control.flags & kControlMultiple) controlInfo_.flags_.Include(cfMultiple);
    if (control.flags & kControlUniform) controlInfo_.flags_.Include(cfUniform);
    controlInfo_.multipleItems_ = control.multipleItems;
    controlInfo_.shortName_ = FirstChars(control.shortName, kShortNameChars);
    controlInfo_.name_ = FirstChars(control.name, kNameChars);
    controlInfo_.minValue_ = control.minimum;
    controlInfo_.maxValue_ = control.maximum;
    controlInfo_.steps_ = control.steps;
  } else {
    controlId_ = -1;
  }
  DeriveClass();
  observable_.NotifyObservers(TMMControlIdChange());
}

void TMMCustomMixerControl::LineNotified(const TMMObject& change) {
  if (auto* c = dynamic_cast<const TMMControlChange*>(&change)) {
    if (controlId_ == -1 || audioLine_ == nullptr || c->LineId() != audioLine_->LineId() ||
        c->ControlId() != controlId_ || InState(csLoading))
      return;
    observable_.NotifyObservers(TMMControlChange(c->LineId(), controlId_));
    if (OnChange) OnChange(this);
  } else if (Is<TMMLineIdChange>(change)) {
    ResolveControl();
  }
}

void TMMCustomMixerControl::CheckAccess() const {
  if (!UsableMixer()) throw EMMDeviceError("Mixer required for this operation");
  if (controlId_ == -1) throw EMMDeviceError("Control not valid");
}

TMMCustomMixerControl::Access TMMCustomMixerControl::Shape(TMMChannel channel,
                                                           TMMItemIndex item) const {
  const int count = std::max(ChannelCount(), 1);
  Access a;
  a.channels = channel == chBoth ? 1 : count;
  a.items = 0;
  if (item != -1) {
    if (item < 0 || item >= ItemCount()) throw EMMMixerControlError("Item index out of range");
    a.items = ItemCount();
  }
  const std::size_t at = static_cast<std::size_t>(std::max(item, 0));
  if (channel == chBoth || a.channels == 1)
    a.element = at;
  else
    a.element = static_cast<std::size_t>(a.channels) * at + (channel == chRight ? 1 : 0);
  return a;
}

std::vector<std::uint32_t> TMMCustomMixerControl::ReadValues(int channels, int items) {
  TMMMixerDevice& mixer = Mixer();
  std::vector<std::uint32_t> values;
  mixer.Check(mixer.Ops().GetControlValues(mixer.MixerId(), controlId_, channels, items, values));
  if (values.size() != static_cast<std::size_t>(channels) * std::max(items, 1))
    mixer.Check(kMixerInvalidParam);
  return values;
}

void TMMCustomMixerControl::WriteValues(int channels, int items,
                                        const std::vector<std::uint32_t>& values) {
  TMMMixerDevice& mixer = Mixer();
  mixer.Check(mixer.Ops().SetControlValues(mixer.MixerId(), controlId_, channels, items, values));
}

std::uint32_t TMMCustomMixerControl::Read(TMMChannel channel, TMMItemIndex item) {
  CheckAccess();
  const Access a = Shape(channel, item);
  return ReadValues(a.channels, a.items)[a.element];
}

void TMMCustomMixerControl::Write(TMMChannel channel, TMMItemIndex item, std::uint32_t value,
                                  bool singleSelect) {
  CheckAccess();
  const Access a = Shape(channel, item);
  std::vector<std::uint32_t> values = ReadValues(a.channels, a.items);
  if (singleSelect && a.items > 0) std::fill(values.begin(), values.end(), 0u);
  values[a.element] = value;
  WriteValues(a.channels, a.items, values);
}

bool TMMCustomMixerControl::GetBoolean(TMMChannel channel, TMMItemIndex item) {
  return Read(channel, item) != 0;
}

void TMMCustomMixerControl::SetBoolean(TMMChannel channel, TMMItemIndex item, bool value) {
  Write(channel, item, value ? 1u : 0u, type_ == ctMux || type_ == ctSingleSelect);
}

std::int32_t TMMCustomMixerControl::GetSigned(TMMChannel channel, TMMItemIndex item) {
  return static_cast<std::int32_t>(Read(channel, item));
}

void TMMCustomMixerControl::SetSigned(TMMChannel channel, TMMItemIndex item, std::int32_t value) {
  Write(channel, item, static_cast<std::uint32_t>(value), false);
}

std::uint32_t TMMCustomMixerControl::GetUnsigned(TMMChannel channel, TMMItemIndex item) {
  return Read(channel, item);
}

void TMMCustomMixerControl::SetUnsigned(TMMChannel channel, TMMItemIndex item,
                                        std::uint32_t value) {
  Write(channel, item, value, false);
}

TMMItemInfo TMMCustomMixerControl::GetItemInfo(TMMItemIndex index) {
  CheckAccess();
  if (!controlInfo_.flags_.Contains(cfMultiple))
    throw EMMMixerControlError("Item info requested from non-multiple control");
  if (index < 0 || index >= ItemCount()) throw EMMMixerControlError("Item index out of range");
  TMMMixerDevice& mixer = Mixer();
  std::vector<TMMListTextRecord> texts;
  mixer.Check(mixer.Ops().GetControlListText(mixer.MixerId(), controlId_, 1, ItemCount(), texts));
  if (texts.size() != static_cast<std::size_t>(ItemCount())) mixer.Check(kMixerInvalidParam);
  const TMMListTextRecord& t = texts[static_cast<std::size_t>(index)];
  return {t.param1, t.param2, FirstChars(t.name, kNameChars)};
}

TMMItemIndex TMMCustomMixerControl::FindItemOfLine(TMMAudioLine* line) {
  if (line == nullptr || !line->Resolved() || !Valid() ||
      !controlInfo_.flags_.Contains(cfMultiple) || (type_ != ctMixer && type_ != ctMux))
    return -1;
  for (TMMItemIndex i = 0; i < ItemCount(); ++i)
    if (GetItemInfo(i).lineId == line->LineId()) return i;
  return -1;
}

void TMMCustomMixerControl::Loaded() {
  TMMNonVisualComponent::Loaded();
  ResolveControl();
}

void TMMCustomMixerControl::Notification(TMMComponent* component, TOperation operation) {
  TMMNonVisualComponent::Notification(component, operation);
  if (operation == opRemove && component != nullptr && component == audioLine_) {
    audioLine_ = nullptr;
    ResolveControl();
  }
}

// ---- TMMMixerControl, TMMVolumeControl -----------------------------------------------------

TMMMixerControl::TMMMixerControl(TMMComponent* owner)
    : TMMCustomMixerControl(owner, ctCustom, false) {}

void TMMMixerControl::SetControlType(TMMControlType value) {
  SetType(value);
}

TMMVolumeControl::TMMVolumeControl(TMMComponent* owner)
    : TMMCustomMixerControl(owner, ctVolume, true) {}

void TMMVolumeControl::SetPanValue(int value) {
  value = std::clamp(value, -32768, 32767);
  if (value == panValue_) return;
  panValue_ = value;
  if (Valid()) SetAsUnsigned(AsUnsigned());
}

void TMMVolumeControl::SetSigned(TMMChannel channel, TMMItemIndex item, std::int32_t value) {
  if (channel != chBoth) return TMMCustomMixerControl::SetSigned(channel, item, value);
  WriteBalanced(item, value, true);
}

void TMMVolumeControl::SetUnsigned(TMMChannel channel, TMMItemIndex item, std::uint32_t value) {
  if (channel != chBoth) return TMMCustomMixerControl::SetUnsigned(channel, item, value);
  WriteBalanced(item, value, false);
}

void TMMVolumeControl::WriteBalanced(TMMItemIndex item, double value, bool isSigned) {
  CheckAccess();
  auto bits = [isSigned](double v) {
    return isSigned ? static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(v)))
                    : static_cast<std::uint32_t>(std::trunc(v));
  };
  if (ChannelCount() < 2) {
    // One channel for all: no balance to give.
    const Access a = Shape(chBoth, item);
    std::vector<std::uint32_t> values = ReadValues(a.channels, a.items);
    values[a.element] = bits(value);
    WriteValues(a.channels, a.items, values);
    return;
  }
  const double left = panValue_ <= 0 ? 1.0 : (32767.0 - panValue_) / 32767.0;
  const double right = panValue_ >= 0 ? 1.0 : (32768.0 + panValue_) / 32768.0;
  const Access a = Shape(chLeft, item);
  std::vector<std::uint32_t> values = ReadValues(a.channels, a.items);
  values[a.element] = bits(left * value);
  values[a.element + 1] = bits(right * value);
  WriteValues(a.channels, a.items, values);
}

}  // namespace zq
