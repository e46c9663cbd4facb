#include "displays/mmfft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace zq {

void MakeWindow(std::span<int> table, TMMFFTWindow window, int m) {
  if (m < 0 || m > 30) throw std::invalid_argument("MakeWindow: order out of range");
  const std::size_t n = std::size_t{1} << m;
  if (table.size() < n) throw std::invalid_argument("MakeWindow: table shorter than the window");
  const float fn = static_cast<float>(n);
  const float twoPi = 2.0f * std::numbers::pi_v<float>;
  for (std::size_t i = 0; i < n; ++i) {
    const float fi = static_cast<float>(i);
    const float d = (2.0f * fi - fn) / (fn + 1.0f);
    float w = 1.0f;
    switch (window) {
      case fwRectangular:
        w = 1.0f;
        break;
      case fwHamming:
        w = 0.54f - 0.46f * std::cos(twoPi * fi / fn);
        break;
      case fwHanning:
        w = 0.5f - 0.5f * std::cos(twoPi * fi / fn);
        break;
      case fwBlackman:
        w = 0.42f - 0.5f * std::cos(twoPi * fi / fn) + 0.08f * std::cos(2.0f * twoPi * fi / fn);
        break;
      case fwGaussian: {
        const float t = 2.0f * fi - fn;
        w = std::exp(-5.0f * t * t / (fn * fn));
        break;
      }
      case fwWelch:
        w = 1.0f - d * d;
        break;
      case fwParzen:
        w = 1.0f - std::fabs(d);
        break;
    }
    table[i] = static_cast<int>(std::floor(static_cast<double>(w) * 32767.0 + 0.5));
  }
}

std::unique_ptr<TFFTPlan> CreateFFT(int m) {
  if (m < 1 || m > 31) return nullptr;
  try {
    std::unique_ptr<TFFTPlan> plan(new TFFTPlan);
    const std::size_t n = std::size_t{1} << m, half = n / 2;
    plan->order_ = m;
    plan->n_ = n;
    plan->scale_ = static_cast<float>(1.0L / static_cast<long double>(n));

    const int bits = m - 1;
    plan->bitReverse_.resize(half);
    for (std::size_t i = 0; i < half; ++i) {
      std::uint32_t r = 0;
      for (int b = 0; b < bits; ++b)
        r |= ((static_cast<std::uint32_t>(i) >> b) & 1u) << (bits - 1 - b);
      plan->bitReverse_[i] = r;
    }

    // Twiddles by repeated rotation in extended precision, stored as floats.
    using C = std::complex<long double>;
    const long double pi = std::numbers::pi_v<long double>;
    const std::size_t quads = std::max<std::size_t>(half / 4, 1);
    plan->twiddles_.resize(4 * quads);
    const long double theta = 2 * pi / static_cast<long double>(half);
    const C step1 = std::polar(1.0L, -theta), step3 = std::polar(1.0L, -3 * theta);
    C w1 = 1, w3 = 1;
    for (std::size_t k = 0; k < quads; ++k) {
      plan->twiddles_[4 * k] = static_cast<float>(w1.real());
      plan->twiddles_[4 * k + 1] = static_cast<float>(w1.imag());
      plan->twiddles_[4 * k + 2] = static_cast<float>(w3.real());
      plan->twiddles_[4 * k + 3] = static_cast<float>(w3.imag());
      w1 *= step1;
      w3 *= step3;
    }

    const std::size_t pairs = n / 4;
    plan->post_.resize(2 * pairs);
    const long double phi = 2 * pi / static_cast<long double>(n);
    const C stepPost = std::polar(1.0L, phi);
    C w = stepPost;  // k = 1
    for (std::size_t k = 1; k <= pairs; ++k) {
      plan->post_[2 * (k - 1)] = static_cast<float>(0.5L * w.real());
      plan->post_[2 * (k - 1) + 1] = static_cast<float>(0.5L - 0.5L * w.imag());
      w *= stepPost;
    }
    return plan;
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

void FreeFFT(std::unique_ptr<TFFTPlan>& plan) {
  plan.reset();
}

namespace {

// The N/2-point complex FFT of z (interleaved re, im), split radix, decimation in frequency:
// natural order in, bit-reversed order out; forward (e^-i) twiddles.
void SplitRadix(float* z, std::size_t points, const float* tw) {
  float* const x = z;
  auto re = [x](std::size_t i) -> float& { return x[2 * i]; };
  auto im = [x](std::size_t i) -> float& { return x[2 * i + 1]; };
  std::size_t n2 = 2 * points;
  for (std::size_t stage = points; stage >= 4; stage /= 2) {
    n2 /= 2;
    const std::size_t n4 = n2 / 4, stride = points / n2;
    for (std::size_t j = 0; j < n4; ++j) {
      const float* w = tw + 4 * (j * stride);
      const float c1 = w[0], s1 = w[1], c3 = w[2], s3 = w[3];
      std::size_t is = j, id = 2 * n2;
      while (is < points) {
        for (std::size_t i0 = is; i0 + 3 * n4 < points; i0 += id) {
          const std::size_t i1 = i0 + n4, i2 = i1 + n4, i3 = i2 + n4;
          const float r1 = re(i0) - re(i2), s1d = im(i0) - im(i2);
          const float r2 = re(i1) - re(i3), s2d = im(i1) - im(i3);
          re(i0) += re(i2);
          im(i0) += im(i2);
          re(i1) += re(i3);
          im(i1) += im(i3);
          // (x0 - x2) - i (x1 - x3) and (x0 - x2) + i (x1 - x3), then the twiddles.
          const float ar = r1 + s2d, ai = s1d - r2;
          const float br = r1 - s2d, bi = s1d + r2;
          re(i2) = ar * c1 - ai * s1;
          im(i2) = ar * s1 + ai * c1;
          re(i3) = br * c3 - bi * s3;
          im(i3) = br * s3 + bi * c3;
        }
        is = 2 * id - n2 + j;
        id *= 4;
      }
    }
  }
  // The last stage: butterflies of two.
  std::size_t is = 0, id = 4;
  while (is < points) {
    for (std::size_t i0 = is; i0 + 1 < points; i0 += id) {
      const std::size_t i1 = i0 + 1;
      const float r = re(i0), i = im(i0);
      re(i0) = r + re(i1);
      im(i0) = i + im(i1);
      re(i1) = r - re(i1);
      im(i1) = i - im(i1);
    }
    is = 2 * id - 2;
    id *= 4;
  }
}

void BitReverse(float* z, const std::uint32_t* table, std::size_t points) {
  for (std::size_t i = 0; i < points; ++i) {
    const std::size_t r = table[i];
    if (i < r) {
      std::swap(z[2 * i], z[2 * r]);
      std::swap(z[2 * i + 1], z[2 * r + 1]);
    }
  }
}

}  // namespace

void RealFFT(const TFFTPlan* plan, float* data, int direction) {
  if (plan == nullptr || data == nullptr || direction == 0) return;
  const std::size_t half = plan->n_ / 2;
  const float* post = plan->post_.data();

  if (direction > 0) {
    SplitRadix(data, half, plan->twiddles_.data());
    BitReverse(data, plan->bitReverse_.data(), half);
    const float re0 = data[0], im0 = data[1];
    data[0] = re0 + im0;
    data[1] = 0;
    // Pairs k, N/2 - k: with A = T2 - i T1, D = A (Z[k] - conj Z[N/2-k]),
    // X[k] = conj Z[N/2-k] + D and X[N/2-k] = conj(Z[k] - D).
    for (std::size_t k = 1; 2 * k < half; ++k) {
      float* a = data + 2 * k;
      float* b = data + 2 * (half - k);
      const float t1 = post[2 * (k - 1)], t2 = post[2 * (k - 1) + 1];
      const float dr = a[0] - b[0], di = a[1] + b[1];
      const float Dr = t2 * dr + t1 * di, Di = t2 * di - t1 * dr;
      const float ar = a[0], ai = a[1];
      a[0] = b[0] + Dr;
      a[1] = Di - b[1];
      b[0] = ar - Dr;
      b[1] = Di - ai;
    }
    if (half >= 2) data[half + 1] = -data[half + 1];  // the middle bin k = N/4
    return;
  }

  // Inverse: undo the split (producing conj(2 Z) so that the forward kernel inverts), then the
  // complex stage, then conjugate and scale by 1/N.
  const float x0 = data[0], nyquist = data[1];
  data[0] = x0 + nyquist;
  data[1] = nyquist - x0;
  for (std::size_t k = 1; 2 * k < half; ++k) {
    float* a = data + 2 * k;
    float* b = data + 2 * (half - k);
    const float t1 = post[2 * (k - 1)], t2 = post[2 * (k - 1) + 1];
    const float s = 1 - 2 * t2, c = 2 * t1;
    const float pr = a[0], pi = a[1];   // P = X[k]
    const float qr = b[0], qi = -b[1];  // Q = conj X[N/2-k]
    const float er = qr - pr, ei = qi - pi;
    const float dr = er * s + ei * c, di = ei * s - er * c;  // d = (Q - P)(s - i c)
    const float Dr = t2 * dr + t1 * di, Di = t2 * di - t1 * dr;
    a[0] = 2 * (qr + Dr);  // conj(2 (Q + D))
    a[1] = -2 * (qi + Di);
    b[0] = 2 * (pr - Dr);  // 2 (P - D) = conj(2 Z[N/2-k])
    b[1] = 2 * (pi - Di);
  }
  if (half >= 2) {
    data[half] *= 2;  // conj(2 conj X) = 2 X
    data[half + 1] *= 2;
  }
  SplitRadix(data, half, plan->twiddles_.data());
  BitReverse(data, plan->bitReverse_.data(), half);
  const float scale = plan->scale_;
  for (std::size_t i = 0; i < plan->n_; i += 2) {
    data[i] *= scale;
    data[i + 1] *= -scale;
  }
}

}  // namespace zq
