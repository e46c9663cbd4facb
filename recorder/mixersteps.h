#pragma once
// The mixer steps the recorder takes when it applies its settings: the card number, the kind of
// the two input lines (line input or microphone) and selecting the recording line. The mixer
// library fills this in; until then NullRecorderMixer changes nothing.

namespace zq {

class RecorderMixer {
 public:
  virtual ~RecorderMixer() = default;
  // The mixer device number ("Placa").
  virtual void SetDeviceNumber(int card) = 0;
  // Both the monitor line and the recording line become the microphone (true) or line input.
  virtual void SetInputIsMicrophone(bool microphone) = 0;
  // Selects the recording line as the source of the recording destination.
  virtual void SelectRecordingLine() = 0;
};

class NullRecorderMixer final : public RecorderMixer {
 public:
  void SetDeviceNumber(int) override {}
  void SetInputIsMicrophone(bool) override {}
  void SelectRecordingLine() override {}
};

}  // namespace zq
