#pragma once
// The arithmetic the level bar, the needle meter and the spectrum analyser share, free of Qt so
// that tests drive it without a widget. Every class here is main-thread state except PeakTicks,
// whose counter the shared timer's thread adds to.
//
// Raw level: the largest absolute sample of a block (16-bit, or 8-bit scaled by 256), one channel
// or the truncated mean of both, DC offsets subtracted first. All in 64 bits, so no offset and no
// gain can overflow; a level of 32767 or more is an overload.
//
// Mapping: a raw level r is amplified in eighths (g = r * (Gain + 8) div 8) and mapped onto
// 0 .. full (the spots of a bar, or 32767 for a needle), on a decibel axis from Sensitivy to 0 dB
// or on a linear one; the result may pass `full` (an overflow the caller reports and clamps).
// Rounding is to the nearest integer with halves to even; decibels and the linear threshold are
// single precision.
//
// Decay (LevelDecay): the fall-back smoothing of one value or of an array of values (a spectrum's
// bins), stepped once per update. Its factor and ring length follow Decay from the start.
//
// Peak hold (PeakHold, PeakTicks): a mark is raised by the caller, held for 2 * PeakDelay + 1
// ticks of the shared 25 ms timer, then falls by the caller's step every PeakSpeed ticks down to
// the caller's floor, or straight to the floor with PeakSpeed 0. The timer's thread only counts
// ticks (PeakTicks); the main thread takes the count and applies it to its marks, in order,
// before it reads or changes one, so a tick can never overwrite a mark raised meanwhile.

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/mmtimer.h"
#include "audio/mmutils.h"

namespace zq {

constexpr std::int64_t kFullScale = 32767;

// How one block of PCM is read.
struct PcmLayout {
  TMMBits bits = b8Bit;
  TMMMode mode = mMono;  // mMono or mStereo
  TMMChannel channel = chBoth;
  int samples = 1;  // frames per block, at least 1
  std::int32_t dcOffsetL = 0;
  std::int32_t dcOffsetR = 0;
};

// Bytes one block takes: (bits + 1) * (mode + 1) * samples.
std::int64_t BlockBytesOf(const PcmLayout& layout);

// The largest absolute sample value of the block at `data` (BlockBytesOf bytes).
std::int64_t RawLevel(const void* data, const PcmLayout& layout);

// g = r * (gain + 8) div 8.
std::int64_t Amplified(std::int64_t raw, int gain);

// g on 0 .. full (not clamped above). floorRatio is the smallest ratio to full scale the decibel
// axis takes (the bar's 0.000001, the needle's 0.00001).
std::int64_t MapLevel(std::int64_t g, int sensitivity, bool logAmp, std::int64_t full,
                      double floorRatio);

// The percentage a shown position stands for (0 for position 0, and for Gain -8, where the
// decibel reading would divide by zero).
int LevelPercent(std::int64_t shown, std::int64_t full, int gain, int sensitivity, bool logAmp);
// The raw level a written percentage stands for (value clamped to 0 .. 100).
std::int64_t RawOfPercent(int value);

struct DecayConstants {
  float factor;
  int ringLength;
};
// 0.0001 with its square root taken `decay` times in single precision, and
// clamp(2 * decay - 2, 1, 32); decay is clamped to 1 .. 16.
DecayConstants DecayFor(int decay);

class LevelDecay {
 public:
  static constexpr int kMaxRings = 32;

  explicit LevelDecay(int values = 1);

  int Values() const { return static_cast<int>(smoothed_.size()); }
  // A new number of values (at least 1) clears the state.
  void SetValues(int count);
  TMMDecayMode Mode() const { return mode_; }
  // A change clears the state.
  void SetMode(TMMDecayMode mode);
  int Decay() const { return decay_; }
  // Clamped to 1 .. 16; a change sets the factor and ring length, and clears the state in
  // dmUniform.
  void SetDecay(int decay);
  float Factor() const { return constants_.factor; }
  int RingLength() const { return constants_.ringLength; }
  // Smoothed values, ring, position, count and sums back to zero.
  void Clear();

  // One update of a single value (Values() is 1): the ring advances, then the value decays.
  // takeEqual: dmStepUp takes a new value equal to the decayed one (the needle, the spectrum)
  // rather than only a larger one (the bar). dmNone returns the value unchanged.
  std::int64_t Apply(std::int64_t value, bool takeEqual);
  // One update of every value in place (values.size() is Values()); the ring advances once.
  void Apply(std::span<std::int32_t> values, bool takeEqual);

 private:
  void Advance();
  std::int64_t Step(std::size_t i, std::int64_t value, bool takeEqual);

  TMMDecayMode mode_ = dmNone;
  int decay_ = 1;
  DecayConstants constants_;
  int position_ = 0;
  int count_ = 0;
  std::vector<float> smoothed_;
  std::vector<std::int64_t> sums_;
  std::vector<std::int64_t> rings_;  // kMaxRings rows of Values(), made on first use
};

// One mark and its countdown. Main thread.
class PeakHold {
 public:
  std::int64_t Value() const { return value_; }
  int Countdown() const { return countdown_; }
  // The mark is set to value and held for 2 * peakDelay + 1 ticks.
  void Raise(std::int64_t value, int peakDelay);
  void ZeroCountdown() { countdown_ = 0; }
  void Clear() { value_ = 0, countdown_ = 0; }
  // Applies `ticks` ticks in order: while the mark is above 0, each tick counts down; at 0 or
  // below, PeakSpeed 0 puts the mark on `floor`, otherwise it falls by `step` (not below floor)
  // and waits PeakSpeed ticks. True when the mark was moved (the caller redraws).
  bool Tick(std::int64_t ticks, int peakSpeed, std::int64_t step, std::int64_t floor);

 private:
  std::int64_t value_ = 0;
  int countdown_ = 0;
};

// A display's client of the shared timer: registered when made (interval 25 ms), unregistered
// when destroyed or by Unregister (which a display calls first in its destructor). The tick only
// adds one to a counter. While not ticking (SetTicking(false): disabled, no marks) the client
// holds exactly one suspension of the timer, and ticks already counted are dropped. If the timer
// cannot start, marks simply never fall. A display with many marks (a spectrum's bars) takes the
// count once and applies it to each of them. Main thread, except the tick.
class PeakTicks {
 public:
  explicit PeakTicks(TMMSharedTimer& timer);
  ~PeakTicks();
  PeakTicks(const PeakTicks&) = delete;
  PeakTicks& operator=(const PeakTicks&) = delete;

  void Unregister();
  bool Registered() const { return client_ != nullptr; }
  bool Ticking() const { return ticking_; }
  void SetTicking(bool ticking);
  // The ticks counted since the last Take (none while not ticking).
  std::int64_t Take();

 private:
  TMMSharedTimer& timer_;
  TMMTimerClient* client_ = nullptr;
  bool ticking_ = true;
  std::atomic<std::int64_t> count_{0};
};

}  // namespace zq
