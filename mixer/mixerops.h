#pragma once
// The mixer back-end: the whole contract between the mixer components (mixer/mmmixer.h) and the
// system's mixers. The ALSA back-end (mixer/alsamixer.h) serves the programs, the simulated one
// (mixer/simmixer.h) the tests and the gallery.
//
// A mixer is a set of lines with controls. Lines are destinations (what the card plays or
// records) and, on each destination, its sources. Every line and control has an identifier; a
// destination's line identifier is its index. A control's value is an array of 32-bit values
// ordered item by item, channels within an item (booleans are 0 and 1, signed values their
// two's-complement bits).
//
// Results are 0 for success, a positive code of the mixer model (kMixer*) or a negative code of
// the system that GetErrorText explains. Queries take a mixer number (0 .. count - 1) and answer
// whether or not that mixer is open; a value read gives the card's current value.
//
// Threads: main thread only. The sink's calls come on the main thread, from inside a write (the
// simulated back-end) or from the main loop (ALSA); the sink only queues them.

#include <cstdint>
#include <string>
#include <vector>

namespace zq {

// The kinds of audio devices, in their fixed order.
enum TMMDeviceType { dtMidiIn, dtMidiOut, dtWaveIn, dtWaveOut, dtAux, dtMixer };

inline constexpr int kMixerOk = 0;
inline constexpr int kMixerBadDeviceId = 2;    // no such device (also: there is no mapper)
inline constexpr int kMixerInvalidHandle = 5;  // no such open mixer
inline constexpr int kMixerNoDriver = 6;       // the mixer cannot be reached
inline constexpr int kMixerInvalidParam = 11;
inline constexpr int kMixerInvalidLine = 1024;
inline constexpr int kMixerInvalidControl = 1025;

// Line flags.
inline constexpr std::uint32_t kLineActive = 0x00000001;
inline constexpr std::uint32_t kLineDisconnected = 0x00008000;
inline constexpr std::uint32_t kLineSource = 0x80000000;
// Control flags.
inline constexpr std::uint32_t kControlUniform = 0x00000001;
inline constexpr std::uint32_t kControlMultiple = 0x00000002;
inline constexpr std::uint32_t kControlDisabled = 0x80000000;

// Target kinds of a line: the device a line stands for.
inline constexpr int kTargetNone = 0;
inline constexpr int kTargetWaveOut = 1;
inline constexpr int kTargetWaveIn = 2;
inline constexpr int kTargetMidiOut = 3;
inline constexpr int kTargetMidiIn = 4;
inline constexpr int kTargetAux = 5;

struct TMMDevCapsRecord {
  std::uint16_t manufacturerId = 0;
  std::uint16_t productId = 0;
  std::uint8_t verMajor = 0;
  std::uint8_t verMinor = 0;
  std::string productName;
  int destinations = 0;  // mixers only
};

struct TMMLineTargetRecord {
  int type = kTargetNone;
  int deviceId = -1;
  std::uint16_t manufacturerId = 0;
  std::uint16_t productId = 0;
  std::uint32_t version = 0;  // major * 256 + minor
  std::string productName;
};

struct TMMLineRecord {
  int destination = 0;  // the destination the line belongs to (a destination: its own index)
  int source = -1;      // the index among that destination's sources; -1 for a destination
  int lineId = -1;
  std::uint32_t componentType = 0;
  std::uint32_t flags = 0;  // kLine*
  int channels = 1;
  int connections = 0;  // a destination's source count
  int controls = 0;
  std::string shortName;
  std::string name;
  TMMLineTargetRecord target;
};

struct TMMControlRecord {
  int controlId = -1;
  std::uint32_t controlType = 0;
  std::uint32_t flags = 0;  // kControl*
  int multipleItems = 0;
  std::string shortName;
  std::string name;
  std::int64_t minimum = 0;
  std::int64_t maximum = 0;
  std::uint32_t steps = 0;
};

// One item of a list control: the line it selects (param1) and that line's component type.
struct TMMListTextRecord {
  int param1 = 0;
  std::uint32_t param2 = 0;
  std::string name;
};

// An open mixer of a back-end; 0 means none.
using TMixerHandle = std::uintptr_t;

// What an open mixer reports. Implementations queue the call and return.
class TMMMixerSink {
 public:
  // The line's information changed.
  virtual void MixerLineChange(TMixerHandle handle, int lineId) = 0;
  // The control's value changed.
  virtual void MixerControlChange(TMixerHandle handle, int controlId) = 0;
  // Lines or controls came or went (the card itself may be gone): identify everything again.
  virtual void MixerElementsChange(TMixerHandle handle) = 0;

 protected:
  ~TMMMixerSink() = default;
};

class TMMMixerOps {
 public:
  virtual ~TMMMixerOps() = default;

  // Devices of each kind, numbered from 0; -1 is the kind's mapper where it has one.
  virtual int GetNumDevs(TMMDeviceType kind) = 0;
  virtual int GetDevCaps(TMMDeviceType kind, int id, TMMDevCapsRecord& caps) = 0;
  // Empty when the back-end has no text for the code.
  virtual std::string GetErrorText(int code) = 0;

  // Opens mixer `id`, reporting to `sink` (which must outlive the handle) until Close. A mixer
  // that goes away while open stays open as a handle that finds nothing.
  virtual int Open(TMixerHandle& handle, int id, TMMMixerSink* sink) = 0;
  // The handle is invalid afterwards even when the result is an error.
  virtual int Close(TMixerHandle handle) = 0;
  // The mixer number of an open handle, and the mixer that belongs to a device of another kind.
  virtual int GetIdOfHandle(TMixerHandle handle, int& mixerId) = 0;
  virtual int GetIdOfDevice(TMMDeviceType kind, int deviceId, int& mixerId) = 0;

  // Line queries: by identifier, the first line of a component type (destinations first, then
  // the sources destination by destination), the first line whose target matches in kind,
  // manufacturer, product, version and name, and a destination's source by index.
  virtual int GetLineById(int mixerId, int lineId, TMMLineRecord& line) = 0;
  virtual int GetLineByComponentType(int mixerId, std::uint32_t type, TMMLineRecord& line) = 0;
  virtual int GetLineByTarget(int mixerId, const TMMLineTargetRecord& target,
                              TMMLineRecord& line) = 0;
  virtual int GetLineBySource(int mixerId, int destination, int source, TMMLineRecord& line) = 0;
  // Control queries; by identifier also gives the control's line.
  virtual int GetControlById(int mixerId, int controlId, int& lineId,
                             TMMControlRecord& control) = 0;
  virtual int GetControlByType(int mixerId, int lineId, std::uint32_t type,
                               TMMControlRecord& control) = 0;

  // Control details. `channels` is 1 (all channels as one) or the line's channel count; `items`
  // is 0 for a control without items or its item count. Values and texts hold channels ×
  // max(items, 1) entries.
  virtual int GetControlValues(int mixerId, int controlId, int channels, int items,
                               std::vector<std::uint32_t>& values) = 0;
  virtual int SetControlValues(int mixerId, int controlId, int channels, int items,
                               const std::vector<std::uint32_t>& values) = 0;
  virtual int GetControlListText(int mixerId, int controlId, int channels, int items,
                                 std::vector<TMMListTextRecord>& texts) = 0;
};

}  // namespace zq
