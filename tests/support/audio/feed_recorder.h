#pragma once
// Displays for connector tests and benchmarks: each records what it is fed and when (on the
// clock it is given), and can be told to refuse formats or fail on data. `order`, when set, is a
// log shared by several displays into which each writes its name per block, to check the order
// of a pass. `onData` sees every block before it is recorded; set `keep` false to record nothing.

#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/mmdisplayfeed.h"
#include "platform/clock.h"

namespace zq::testing {

struct FedBlock {
  std::int64_t at;      // microseconds on the display's clock
  const void* data;     // where the block lay (valid only during the call)
  std::int16_t first0;  // the first two 16-bit samples of the block
  std::int16_t first1;
};

template <class Feed>
class FeedRecorder : public Feed {
 public:
  FeedRecorder(std::string name, const Clock* clock, int blockBytes,
               std::vector<std::string>* order = nullptr)
      : name(std::move(name)), blockBytes(blockBytes), order(order), clock_(clock) {}

  void SetFormat(const TWaveFormatEx* format) override {
    if (refuseFormats) throw std::runtime_error("Invalid WaveFormat");
    formats.push_back(*format);
  }
  int BlockBytes() const override { return blockBytes; }
  void ProcessData(const void* data) override {
    if (failData) throw std::runtime_error(name + " cannot draw");
    if (onData) onData(static_cast<const std::uint8_t*>(data));
    if (order != nullptr) order->push_back(name);
    if (!keep) return;
    std::int16_t first[2] = {0, 0};
    std::memcpy(first, data, blockBytes >= 4 ? 4 : 0);
    blocks.push_back({clock_->MonotonicMicros(), data, first[0], first[1]});
  }
  void ResetDisplay() override { ++resets; }

  std::string name;
  int blockBytes;
  std::vector<std::string>* order;
  bool refuseFormats = false;
  bool failData = false;
  bool keep = true;
  std::function<void(const std::uint8_t* data)> onData;
  std::vector<TWaveFormatEx> formats;
  std::vector<FedBlock> blocks;
  int resets = 0;

 private:
  const Clock* clock_;
};

using LevelRecorder = FeedRecorder<TMMLevelFeed>;
using MeterRecorder = FeedRecorder<TMMMeterFeed>;
using LightRecorder = FeedRecorder<TMMLightFeed>;
using SpectrumRecorder = FeedRecorder<TMMSpectrumFeed>;

class ScopeRecorder : public FeedRecorder<TMMScopeFeed> {
 public:
  using FeedRecorder::FeedRecorder;
  bool Scroll() const override { return scroll; }
  bool Accelerate() const override { return accelerate; }
  int FFTLength() const override { return fftLength; }
  TMMBits BitLength() const override { return bits; }
  TMMMode Mode() const override { return mode; }

  bool scroll = false;
  bool accelerate = true;
  int fftLength = 128;
  TMMBits bits = b16Bit;
  TMMMode mode = mStereo;
};

class SpectrogramRecorder : public FeedRecorder<TMMSpectrogramFeed> {
 public:
  using FeedRecorder::FeedRecorder;
  bool Scroll() const override { return scroll; }
  bool scroll = false;
};

}  // namespace zq::testing
