#pragma once
// Window tables in Q15 fixed point and an in-place real FFT on single-precision floats, for
// power-of-two lengths. Pure C++, no Qt: any thread, no shared state; a plan is read-only while
// it transforms, so one plan may serve several threads at once.
//
// Result layout of the forward transform of x[0 .. N-1]: the complex bins X[k] of the discrete
// Fourier transform (X[k] = sum x[n] e^(-2 pi i k n / N)) for k = 0 .. N/2 - 1 as (real, imaginary)
// pairs; slot 0 holds the DC term and slot 1 is 0 (the Nyquist term is not kept). Not normalised:
// a sine of amplitude A on bin k gives |X[k]| = A * N / 2. The inverse takes the same layout
// (slot 1 read as the Nyquist term) and returns x, scaled by 1/N.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zq {

enum TMMFFTWindow {
  fwRectangular,
  fwHamming,
  fwHanning,
  fwBlackman,
  fwGaussian,
  fwWelch,
  fwParzen
};

// Fills table[0 .. 2^m - 1] with the periodic window in Q15 (1.0 = 32767). A table shorter than
// 2^m, or m outside 0 .. 30, raises std::invalid_argument and leaves the table untouched.
void MakeWindow(std::span<int> table, TMMFFTWindow window, int m);

// The tables for one length, built once and reused for every transform; it owns them.
class TFFTPlan {
 public:
  int Order() const { return order_; }
  std::size_t Length() const { return n_; }

 private:
  friend std::unique_ptr<TFFTPlan> CreateFFT(int m);
  friend void RealFFT(const TFFTPlan* plan, float* data, int direction);
  TFFTPlan() = default;

  int order_ = 0;
  std::size_t n_ = 0;
  float scale_ = 1;                        // 1 / N
  std::vector<std::uint32_t> bitReverse_;  // of the N/2-point complex stage
  std::vector<float> twiddles_;  // cos(k t), -sin(k t), cos(3k t), -sin(3k t); t = 2 pi / (N/2)
  std::vector<float> post_;      // 0.5 cos(k f), 0.5 - 0.5 sin(k f), k = 1 .. N/4; f = 2 pi / N
};

// The plan for N = 2^m, m = 1 .. 31; none (null) for any other order or when its tables cannot
// be allocated.
std::unique_ptr<TFFTPlan> CreateFFT(int m);
void FreeFFT(std::unique_ptr<TFFTPlan>& plan);

// Transforms plan->Length() floats at data in place; direction > 0 is the forward transform,
// < 0 the inverse, 0 changes nothing. Nothing happens without a plan or data. Allocates nothing.
void RealFFT(const TFFTPlan* plan, float* data, int direction);

}  // namespace zq
