#include "displays/levelcore.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zq {

namespace {

// Halves to even.
std::int64_t RoundEven(double v) {
  return static_cast<std::int64_t>(std::nearbyint(v));
}

// The largest absolute value read(i) gives over the frames.
template <class Read>
std::int64_t Peak(int frames, Read&& read) {
  std::int64_t lo = 0, hi = 0;
  for (int i = 0; i < frames; ++i) {
    const std::int64_t s = read(i);
    lo = std::min(lo, s);
    hi = std::max(hi, s);
  }
  return std::max(hi, -lo);
}

}  // namespace

std::int64_t BlockBytesOf(const PcmLayout& layout) {
  return std::int64_t{layout.bits + 1} * (layout.mode + 1) * std::max(layout.samples, 1);
}

std::int64_t RawLevel(const void* data, const PcmLayout& layout) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const int frames = std::max(layout.samples, 1);
  const bool stereo = layout.mode == mStereo;
  const std::int64_t offL = -std::int64_t{layout.dcOffsetL};
  const std::int64_t offR = -std::int64_t{layout.dcOffsetR};
  if (layout.bits == b16Bit) {
    auto at = [bytes](int index) {
      std::int16_t s;
      std::memcpy(&s, bytes + 2 * static_cast<std::ptrdiff_t>(index), 2);
      return std::int64_t{s};
    };
    if (!stereo) return Peak(frames, [&](int i) { return at(i) + offL; });
    switch (layout.channel) {
      case chLeft:
        return Peak(frames, [&](int i) { return at(2 * i) + offL; });
      case chRight:
        return Peak(frames, [&](int i) { return at(2 * i + 1) + offR; });
      default:
        return Peak(frames, [&](int i) { return (at(2 * i) + offL + at(2 * i + 1) + offR) / 2; });
    }
  }
  // 8-bit: the same selections on the unsigned bytes, then centred and scaled to 16 bits.
  auto at = [bytes](int index) { return std::int64_t{bytes[index]}; };
  auto wide = [](std::int64_t v) { return (v - 128) * 256; };
  if (!stereo) return Peak(frames, [&](int i) { return wide(at(i) + offL); });
  switch (layout.channel) {
    case chLeft:
      return Peak(frames, [&](int i) { return wide(at(2 * i) + offL); });
    case chRight:
      return Peak(frames, [&](int i) { return wide(at(2 * i + 1) + offR); });
    default:
      return Peak(frames,
                  [&](int i) { return wide((at(2 * i) + offL + at(2 * i + 1) + offR) / 2); });
  }
}

std::int64_t Amplified(std::int64_t raw, int gain) {
  return raw * (gain + 8) / 8;
}

std::int64_t MapLevel(std::int64_t g, int sensitivity, bool logAmp, std::int64_t full,
                      double floorRatio) {
  const double range = -static_cast<double>(sensitivity);
  double position;
  if (logAmp) {
    const auto db = static_cast<float>(
        20.0 * std::log10(std::max(static_cast<double>(g) / kFullScale, floorRatio)));
    position = (double{db} - sensitivity) * static_cast<double>(full) / range;
  } else {
    const auto t = static_cast<float>(kFullScale / std::pow(10.0, range / 20.0));
    position = (static_cast<double>(g) - t) * static_cast<double>(full) / (kFullScale - t);
  }
  return std::max<std::int64_t>(RoundEven(position), 0);
}

int LevelPercent(std::int64_t shown, std::int64_t full, int gain, int sensitivity, bool logAmp) {
  if (shown == 0 || full <= 0) return 0;
  const double fraction = static_cast<double>(shown) / static_cast<double>(full);
  if (!logAmp) return static_cast<int>(RoundEven(fraction * 100));
  if (gain + 8 == 0) return 0;
  return static_cast<int>(
      RoundEven(100.0 * 8 / (gain + 8) * std::pow(10.0, sensitivity * (1 - fraction) / 20.0)));
}

std::int64_t RawOfPercent(int value) {
  return RoundEven(std::clamp(value, 0, 100) * static_cast<double>(kFullScale) / 100);
}

// ---- Decay ------------------------------------------------------------------------------------

DecayConstants DecayFor(int decay) {
  decay = std::clamp(decay, 1, 16);
  float factor = 0.0001f;
  for (int i = 0; i < decay; ++i)
    factor = std::sqrt(factor);
  return {factor, std::clamp(2 * decay - 2, 1, LevelDecay::kMaxRings)};
}

LevelDecay::LevelDecay(int values) : constants_(DecayFor(1)) {
  SetValues(values);
}

void LevelDecay::SetValues(int count) {
  count = std::max(count, 1);
  smoothed_.assign(static_cast<std::size_t>(count), 0.0f);
  sums_.assign(static_cast<std::size_t>(count), 0);
  rings_.clear();
  Clear();
}

void LevelDecay::SetMode(TMMDecayMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  Clear();
}

void LevelDecay::SetDecay(int decay) {
  decay = std::clamp(decay, 1, 16);
  if (decay == decay_) return;
  decay_ = decay;
  constants_ = DecayFor(decay);
  if (mode_ == dmUniform) Clear();
}

void LevelDecay::Clear() {
  position_ = count_ = 0;
  std::fill(smoothed_.begin(), smoothed_.end(), 0.0f);
  std::fill(sums_.begin(), sums_.end(), 0);
  std::fill(rings_.begin(), rings_.end(), 0);
}

void LevelDecay::Advance() {
  const int length = constants_.ringLength;
  if (++position_ >= length) position_ = 0;
  count_ = std::min(count_ + 1, length);
  if (mode_ == dmUniform && rings_.empty())
    rings_.assign(static_cast<std::size_t>(kMaxRings) * smoothed_.size(), 0);
}

std::int64_t LevelDecay::Step(std::size_t i, std::int64_t value, bool takeEqual) {
  const float factor = constants_.factor;
  switch (mode_) {
    case dmStepUp: {
      const float e = smoothed_[i] * factor;
      smoothed_[i] = e;
      const auto r = static_cast<double>(value);
      if (r > e || (takeEqual && r == e)) {
        smoothed_[i] = static_cast<float>(value);
        return value;
      }
      return static_cast<std::int64_t>(e);  // truncated
    }
    case dmExponential: {
      smoothed_[i] = smoothed_[i] * factor + (1.0f - factor) * static_cast<float>(value);
      return static_cast<std::int64_t>(std::floor(smoothed_[i]));
    }
    case dmUniform: {
      std::int64_t& slot = rings_[static_cast<std::size_t>(position_) * smoothed_.size() + i];
      sums_[i] += value - slot;
      slot = value;
      return sums_[i] / count_;
    }
    default:
      return value;
  }
}

std::int64_t LevelDecay::Apply(std::int64_t value, bool takeEqual) {
  if (mode_ == dmNone) return value;
  Advance();
  return Step(0, value, takeEqual);
}

void LevelDecay::Apply(std::span<std::int32_t> values, bool takeEqual) {
  if (mode_ == dmNone) return;
  Advance();
  const std::size_t n = std::min(values.size(), smoothed_.size());
  for (std::size_t i = 0; i < n; ++i)
    values[i] = static_cast<std::int32_t>(Step(i, values[i], takeEqual));
}

// ---- Peak hold --------------------------------------------------------------------------------

void PeakHold::Raise(std::int64_t value, int peakDelay) {
  value_ = value;
  countdown_ = 2 * peakDelay + 1;
}

bool PeakHold::Tick(std::int64_t ticks, int peakSpeed, std::int64_t step, std::int64_t floor) {
  bool moved = false;
  while (ticks > 0 && value_ > 0) {
    // The ticks until this countdown runs out, taken at once.
    const std::int64_t wait = std::max(countdown_, 1);
    if (ticks < wait) {
      countdown_ -= static_cast<int>(ticks);
      break;
    }
    ticks -= wait;
    moved = true;
    if (peakSpeed == 0) {
      value_ = floor;
      countdown_ = 0;
    } else {
      value_ = std::max(value_ - step, floor);
      countdown_ = peakSpeed;
      // Resting on the floor, the mark only counts down again and again: skip the whole rounds.
      if (value_ == floor) ticks %= peakSpeed;
    }
  }
  return moved;
}

PeakTicks::PeakTicks(TMMSharedTimer& timer) : timer_(timer) {
  client_ = timer_.RegisterClient(
      TMMSharedTimer::kPeriodMs, 0,
      [](TMMTimerClient*, void* owner) {
        static_cast<PeakTicks*>(owner)->count_.fetch_add(1, std::memory_order_relaxed);
      },
      this);
}

PeakTicks::~PeakTicks() {
  Unregister();
}

void PeakTicks::Unregister() {
  if (client_ == nullptr) return;
  timer_.UnregisterClient(client_);
  client_ = nullptr;
}

void PeakTicks::SetTicking(bool ticking) {
  if (ticking == ticking_) return;
  ticking_ = ticking;
  if (client_ != nullptr) {
    if (ticking)
      timer_.ResumeClient(client_);
    else
      timer_.SuspendClient(client_);
  }
  // Suspending waits for a tick in progress, so nothing is counted after this.
  count_.store(0, std::memory_order_relaxed);
}

std::int64_t PeakTicks::Take() {
  return count_.exchange(0, std::memory_order_relaxed);
}

}  // namespace zq
