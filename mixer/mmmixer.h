#pragma once
// The model of a sound card's mixer: the device (TMMMixerDevice, one mixer), its lines
// (TMMAudioLine: a destination such as the recording destination, or a source on one) and their
// controls (TMMMixerControl, TMMVolumeControl: a selector, a mute switch, a volume fader). They
// are linked by plain pointers cleared by free notification, find what they stand for on the card
// by identifier, kind or target ("resolve"), and tell one another about changes through
// observers, so that everything bound to them follows changes made anywhere else.
//
// Everything is main-thread only and reaches the system through the device's back-end
// (mixer/mixerops.h). The back-end's notifications are queued on Services::mainThread and
// handled later: a line change reaches the line's observers and OnLineChange; a control change
// the control's line, the control and its bound controls, and OnControlChange; lines or controls
// that came or went (a card pulled, the sound server gone) run DeviceChanged, so that everything
// resolves again. A line or control the card does not have resolves to -1 and nothing is shown;
// other failures of the back-end raise EMMMCIError.
//
// Loading bracket (TMMComponent::BeginLoading/EndLoading): a device remembers Active and applies
// it after loading; lines and controls resolve only after loading.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/mmdspobj.h"
#include "audio/mmutils.h"
#include "mixer/mixerops.h"
#include "mixer/mixertypes.h"
#include "mixer/mmobserver.h"
#include "platform/services.h"

namespace zq {

// A failed call of the back-end; what() is the system's text for the code, or
// "MMSystem error: <code>" when it has none.
class EMMMCIError : public std::runtime_error {
 public:
  EMMMCIError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

class EMMDeviceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EMMMixerDeviceError : public EMMDeviceError {
 public:
  using EMMDeviceError::EMMDeviceError;
};
class EMMMixerControlError : public EMMDeviceError {
 public:
  using EMMDeviceError::EMMDeviceError;
};
class EMMMixerServiceError : public EMMDeviceError {
 public:
  using EMMDeviceError::EMMDeviceError;
};

using TMMLineId = int;     // -1: none
using TMMControlId = int;  // -1: none
using TMMItemIndex = int;  // -1: none

// A set of enumeration values.
template <class E>
class TMMFlags {
 public:
  constexpr TMMFlags() = default;
  constexpr TMMFlags(std::initializer_list<E> values) {
    for (E v : values)
      bits_ |= 1u << v;
  }
  constexpr bool Contains(E v) const { return (bits_ & (1u << v)) != 0; }
  constexpr void Include(E v) { bits_ |= 1u << v; }
  constexpr bool operator==(const TMMFlags&) const = default;

 private:
  unsigned bits_ = 0;
};

enum TMMLineFlag { cfActive, cfDisconnected, cfSource };
enum TMMControlFlag { cfDisabled, cfMultiple, cfUniform };
using TMMLineFlags = TMMFlags<TMMLineFlag>;
using TMMControlFlags = TMMFlags<TMMControlFlag>;

class TMMDeviceCaps {
 public:
  std::uint16_t ManufacturerId() const { return caps_.manufacturerId; }
  std::uint16_t ProductId() const { return caps_.productId; }
  std::uint8_t VerMajor() const { return caps_.verMajor; }
  std::uint8_t VerMinor() const { return caps_.verMinor; }
  const std::string& ProductName() const { return caps_.productName; }

 private:
  friend class TMMCustomAudioDevice;
  TMMDevCapsRecord caps_;
};

class TMMLineInfo {
 public:
  TMMLineFlags Flags() const { return flags_; }
  int Channels() const { return channels_; }
  int Connections() const { return connections_; }
  int Controls() const { return controls_; }
  const std::string& ShortName() const { return shortName_; }  // at most 16 characters
  const std::string& Name() const { return name_; }            // at most 64 characters

 private:
  friend class TMMAudioLine;
  TMMLineFlags flags_;
  int channels_ = 0;
  int connections_ = 0;
  int controls_ = 0;
  std::string shortName_;
  std::string name_;
};

class TMMControlInfo {
 public:
  TMMControlFlags Flags() const { return flags_; }
  int MultipleItems() const { return multipleItems_; }
  const std::string& ShortName() const { return shortName_; }
  const std::string& Name() const { return name_; }
  std::int64_t MinValue() const { return minValue_; }
  std::int64_t MaxValue() const { return maxValue_; }
  std::uint32_t Steps() const { return steps_; }

 private:
  friend class TMMCustomMixerControl;
  TMMControlFlags flags_;
  int multipleItems_ = 0;
  std::string shortName_;
  std::string name_;
  std::int64_t minValue_ = 0;
  std::int64_t maxValue_ = 0;
  std::uint32_t steps_ = 0;
};

// An audio device of one kind (wave output at creation), numbered by the back-end. DeviceId -1
// is the kind's mapper, -2 marks an invalid device. The back-end is shared by every device made
// with it and answers for every kind.
class TMMCustomAudioDevice : public TMMNonVisualComponent {
 public:
  using TNotifyEvent = std::function<void(TMMCustomAudioDevice* sender)>;

  ~TMMCustomAudioDevice() override;

  TMMDeviceType DeviceType() const { return deviceType_; }
  // The back-end's device count for the kind, asked on every read.
  int DeviceCount() const;
  const TMMDeviceCaps& DeviceCaps() const { return caps_; }
  // True when the back-end answers the capability query for -1; false for "bad device" (2) or
  // "invalid handle" (5); any other failure raises EMMMCIError.
  bool Mapper() const;
  // DeviceId names a device: 0 .. DeviceCount - 1, or -1 with a mapper.
  bool ValidDevice() const;

  bool Active() const { return active_; }
  // While loading only remembered (and applied when loading ends); otherwise, if different:
  // close, and open when true.
  void SetActive(bool value);
  TMMDeviceId DeviceId() const { return deviceId_; }
  // -2, -1 or 0 .. DeviceCount - 1, else EMMDeviceError("Device id is out of range"). A new
  // value closes the device, runs DeviceChanged and reopens it if it was active.
  void SetDeviceId(TMMDeviceId value);

  // Clears `list`; adds the mapper's name first when asked and there is a mapper, then every
  // device's name in number order.
  void FillDeviceNames(std::vector<std::string>& list, bool withMapper) const;

  // Dependants (another device's Device, a line's Target, the device list) observe this.
  TMMObservable& Observable() { return observable_; }

  TNotifyEvent OnChange;

 protected:
  // `services` needs mainThread and messages. The back-end must not be null.
  TMMCustomAudioDevice(TMMComponent* owner, const Services& services,
                       std::shared_ptr<TMMMixerOps> ops);

  // Closes, sets DeviceId 0 and runs DeviceChanged.
  void SetDeviceType(TMMDeviceType value);
  // Refreshes the capabilities, then NotifyDeviceChange.
  virtual void DeviceChanged();
  // Notifies the dependants with a TMMDeviceChange and fires OnChange.
  virtual void NotifyDeviceChange();
  virtual void Open() { active_ = true; }
  virtual void Close() { active_ = false; }
  void Loaded() override;

  TMMMixerOps& Ops() const { return *ops_; }
  // Raises EMMMCIError for a result other than 0.
  void Check(int result) const;
  [[noreturn]] void RaiseMci(int code) const;

  Services services_;
  bool active_ = false;
  TMMDeviceId deviceId_ = 0;

 private:
  std::shared_ptr<TMMMixerOps> ops_;
  TMMDeviceType deviceType_ = dtWaveOut;
  TMMDeviceCaps caps_;
  TMMObservable observable_;
  std::optional<bool> loadedActive_;  // Active as set while loading
};

// A device of any kind whose kind can be chosen: the target of a line, or the device a mixer
// belongs to.
class TMMAudioDevice final : public TMMCustomAudioDevice {
 public:
  explicit TMMAudioDevice(TMMComponent* owner, const Services& services,
                          std::shared_ptr<TMMMixerOps> ops);
  using TMMCustomAudioDevice::SetDeviceType;
};

class TMMAudioLine;

// One mixer. Open (Active) it to receive the card's notifications; every query works closed as
// well, by DeviceId.
class TMMMixerDevice : public TMMCustomAudioDevice, private TMMMixerSink {
 public:
  using TMMLineChangeEvent = std::function<void(TMMMixerDevice* sender, TMMLineId lineId)>;
  using TMMControlChangeEvent =
      std::function<void(TMMMixerDevice* sender, TMMLineId lineId, TMMControlId controlId)>;

  // A null back-end is the ALSA one (mixer/alsamixer.h), made for this device.
  explicit TMMMixerDevice(TMMComponent* owner = nullptr,
                          const Services& services = DefaultServices(),
                          std::shared_ptr<TMMMixerOps> ops = nullptr);
  ~TMMMixerDevice() override;

  // The mixer that belongs to another device: a mixer is refused with
  // EMMMixerDeviceError("Mixer can't reference mixer").
  TMMCustomAudioDevice* Device() const { return device_; }
  void SetDevice(TMMCustomAudioDevice* value);
  // The mixer's destination count; 0 when the device is not valid.
  int Destinations() const;
  // At least one device, and DeviceId is not -2: lines and controls may ask the back-end.
  bool Usable() const;
  // The result of the last open: 0, or the code that kept the device closed (Active stays false
  // without an error reaching the caller), and its text.
  int LastResult() const { return lastResult_; }
  std::string ErrorText(int code) const;

  // Lines observe this.
  TMMObservable& LineObservable() { return lineObservable_; }

  TMMLineChangeEvent OnLineChange;
  TMMControlChangeEvent OnControlChange;

 protected:
  void DeviceChanged() override;
  void NotifyDeviceChange() override;
  // Raises EMMMixerDeviceError("Device not valid") for a device that is not valid.
  void Open() override;
  void Close() override;
  void Notification(TMMComponent* component, TOperation operation) override;

 private:
  friend class TMMAudioLine;
  friend class TMMCustomMixerControl;

  // The number every query uses: the open mixer's (DeviceId follows it when it differs), else
  // DeviceId.
  int MixerId();
  // The mixer that belongs to Device; -2 when there is none.
  int MixerOfDevice() const;
  using TMMCustomAudioDevice::Check;
  using TMMCustomAudioDevice::Ops;

  // TMMMixerSink: each queues its handling on the main thread.
  void MixerLineChange(TMixerHandle handle, int lineId) override;
  void MixerControlChange(TMixerHandle handle, int controlId) override;
  void MixerElementsChange(TMixerHandle handle) override;
  void Queue(TMixerHandle handle, std::function<void()> call);
  void LineChanged(TMMLineId lineId);
  void ControlChanged(TMMControlId controlId);

  TMixerHandle handle_ = 0;
  TMMCustomAudioDevice* device_ = nullptr;
  TMMObserver deviceObserver_;
  TMMObservable lineObservable_;
  int lastResult_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// One line of a mixer, found by identifier (LineId), by kind (ComponentType) or by the device it
// stands for (Target), whichever was written last; with DestLine, among that destination's
// sources. Found, LineId and ComponentType tell what it is; not found, LineId is -1.
class TMMAudioLine : public TMMNonVisualComponent {
 public:
  using TNotifyEvent = std::function<void(TMMAudioLine* sender)>;
  using TMMControlChangeEvent =
      std::function<void(TMMAudioLine* sender, TMMLineId lineId, TMMControlId controlId)>;

  explicit TMMAudioLine(TMMComponent* owner = nullptr);
  ~TMMAudioLine() override;

  TMMMixerDevice* Mixer() const { return mixer_; }
  void SetMixer(TMMMixerDevice* value);
  TMMLineId LineId() const { return lineId_; }
  void SetLineId(TMMLineId value);
  TMMComponentType ComponentType() const { return componentType_; }
  void SetComponentType(TMMComponentType value);
  // A mixer is refused: EMMMixerDeviceError("Can't target to mixer").
  TMMCustomAudioDevice* Target() const { return target_; }
  void SetTarget(TMMCustomAudioDevice* value);
  // Anything but a line is refused: EMMMixerDeviceError("DestLine should be TMMAudioLine").
  TMMAudioLine* DestLine() const { return destLine_; }
  void SetDestLine(TMMComponent* value);
  const TMMLineInfo& LineInfo() const { return lineInfo_; }

  // Found on a usable mixer.
  bool Resolved() const;
  void ResolveLine();

  // The line's controls observe this.
  TMMObservable& Observable() { return observable_; }

  TNotifyEvent OnChange;
  TMMControlChangeEvent OnControlChange;

 protected:
  void Loaded() override;
  void Notification(TMMComponent* component, TOperation operation) override;

 private:
  enum class Lookup { kById, kByType, kByTarget };

  bool UsableMixer() const;
  // The platform's query by this line's own lookup.
  int QueryOwn(TMMLineRecord& line);
  // This line looked up among the sources of destination line `dest`.
  bool LookUpThrough(TMMAudioLine& dest, TMMLineRecord& line);
  TMMLineTargetRecord TargetRecord() const;
  void Found(const TMMLineRecord& line);
  void NotFound();
  void MixerNotified(const TMMObject& change);

  TMMMixerDevice* mixer_ = nullptr;
  TMMLineId lineId_ = -1;
  TMMComponentType componentType_ = ctDstDigital;
  TMMCustomAudioDevice* target_ = nullptr;
  TMMAudioLine* destLine_ = nullptr;
  TMMLineInfo lineInfo_;
  Lookup lookup_ = Lookup::kById;
  int destIndex_ = -1;  // a destination's index; -1 for a source line
  bool resolving_ = false;
  TMMObserver mixerObserver_, targetObserver_, destObserver_;
  TMMObservable observable_;
};

// What GetItemInfo tells of an item of a list control.
struct TMMItemInfo {
  TMMLineId lineId = -1;
  std::uint32_t param2 = 0;
  std::string name;  // at most 64 characters
};

// One control of a line, found by identifier (ControlId) or by type, whichever was written last.
// Value access reads the control's whole value array from the card, takes or changes one element
// and writes the whole array back: channel chBoth (or a control with one channel) is one value
// for all channels, chLeft and chRight one channel each; item -1 means a control without items.
class TMMCustomMixerControl : public TMMNonVisualComponent {
 public:
  using TNotifyEvent = std::function<void(TMMCustomMixerControl* sender)>;

  ~TMMCustomMixerControl() override;

  TMMAudioLine* AudioLine() const { return audioLine_; }
  void SetAudioLine(TMMAudioLine* value);
  TMMControlId ControlId() const { return controlId_; }
  void SetControlId(TMMControlId value);
  TMMControlClass ControlClass() const { return controlClass_; }
  const TMMControlInfo& ControlInfo() const { return controlInfo_; }

  // 0 without a usable mixer; 1 for a uniform control; else the line's channels.
  int ChannelCount() const;
  // 0 without a usable mixer; else the control's item count.
  int ItemCount() const;
  // The line is resolved and ControlId is not -1.
  bool Valid() const;
  // Valid and not disabled.
  bool Writable() const;

  // The whole control as one value.
  bool AsBoolean() { return GetBoolean(chBoth, -1); }
  void SetAsBoolean(bool value) { SetBoolean(chBoth, -1, value); }
  std::int32_t AsSigned() { return GetSigned(chBoth, -1); }
  void SetAsSigned(std::int32_t value) { SetSigned(chBoth, -1, value); }
  std::uint32_t AsUnsigned() { return GetUnsigned(chBoth, -1); }
  void SetAsUnsigned(std::uint32_t value) { SetUnsigned(chBoth, -1, value); }

  // Errors: EMMDeviceError("Mixer required for this operation") without a usable mixer,
  // EMMDeviceError("Control not valid") for ControlId -1, EMMMixerControlError("Item index out
  // of range") for an item outside 0 .. ItemCount - 1 (other than -1), EMMMCIError from the
  // back-end. Writing true to an item of a single-select list clears every other item.
  bool GetBoolean(TMMChannel channel, TMMItemIndex item);
  void SetBoolean(TMMChannel channel, TMMItemIndex item, bool value);
  std::int32_t GetSigned(TMMChannel channel, TMMItemIndex item);
  virtual void SetSigned(TMMChannel channel, TMMItemIndex item, std::int32_t value);
  std::uint32_t GetUnsigned(TMMChannel channel, TMMItemIndex item);
  virtual void SetUnsigned(TMMChannel channel, TMMItemIndex item, std::uint32_t value);

  // Only for a control with items: EMMMixerControlError("Item info requested from non-multiple
  // control"), or "Item index out of range".
  TMMItemInfo GetItemInfo(TMMItemIndex index);
  // The first item of a ctMux or ctMixer control that selects `line`; -1 when there is none or
  // the line or the control is not resolved.
  TMMItemIndex FindItemOfLine(TMMAudioLine* line);

  void ResolveControl();

  // Bound controls observe this.
  TMMObservable& Observable() { return observable_; }

  TNotifyEvent OnChange;

 protected:
  TMMCustomMixerControl(TMMComponent* owner, TMMControlType type, bool byType);

  TMMControlType Type() const { return type_; }
  void SetType(TMMControlType value);
  // Whether a control the card has may stand for this component.
  virtual bool Accepts(TMMControlType type) const { return true; }
  void Loaded() override;
  void Notification(TMMComponent* component, TOperation operation) override;

  // The shape of an access: channels and items for the back-end, and the element accessed.
  struct Access {
    int channels;
    int items;
    std::size_t element;
  };
  Access Shape(TMMChannel channel, TMMItemIndex item) const;
  void CheckAccess() const;
  std::vector<std::uint32_t> ReadValues(int channels, int items);
  void WriteValues(int channels, int items, const std::vector<std::uint32_t>& values);

 private:
  bool UsableMixer() const;
  TMMMixerDevice& Mixer() const;
  std::uint32_t Read(TMMChannel channel, TMMItemIndex item);
  void Write(TMMChannel channel, TMMItemIndex item, std::uint32_t value, bool singleSelect);
  void LineNotified(const TMMObject& change);
  void DeriveClass();

  TMMAudioLine* audioLine_ = nullptr;
  TMMControlId controlId_ = -1;
  TMMControlType type_;
  TMMControlClass controlClass_ = ccCustom;
  TMMControlInfo controlInfo_;
  bool byType_;
  TMMObserver lineObserver_;
  TMMObservable observable_;
};

// A control of any type; ControlType looks it up by type.
class TMMMixerControl : public TMMCustomMixerControl {
 public:
  explicit TMMMixerControl(TMMComponent* owner = nullptr);
  TMMControlType ControlType() const { return Type(); }
  void SetControlType(TMMControlType value);
};

// A volume control of its line (only a control of type ctVolume stands for it). PanValue
// balances what is written for both channels: the left channel gets (32767 - PanValue) / 32767
// of the value when PanValue is above 0, the right (32768 + PanValue) / 32768 when below (each
// truncated); a control with one channel takes the value as it is.
class TMMVolumeControl : public TMMCustomMixerControl {
 public:
  explicit TMMVolumeControl(TMMComponent* owner = nullptr);
  TMMControlType ControlType() const { return ctVolume; }
  int PanValue() const { return panValue_; }
  // -32768 .. 32767; a valid control gets its value written again with the new balance.
  void SetPanValue(int value);

  void SetSigned(TMMChannel channel, TMMItemIndex item, std::int32_t value) override;
  void SetUnsigned(TMMChannel channel, TMMItemIndex item, std::uint32_t value) override;

 protected:
  bool Accepts(TMMControlType type) const override { return type == ctVolume; }

 private:
  void WriteBalanced(TMMItemIndex item, double value, bool isSigned);
  int panValue_ = 0;
};

}  // namespace zq
