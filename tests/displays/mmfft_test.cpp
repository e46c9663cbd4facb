#include "displays/mmfft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

namespace zq {
namespace {

constexpr double kPi = std::numbers::pi;

std::vector<int> Window(TMMFFTWindow w, int m) {
  std::vector<int> t(std::size_t{1} << m);
  MakeWindow(t, w, m);
  return t;
}

TEST(MakeWindow, GivesThePeriodicTablesInQ15) {
  EXPECT_EQ(Window(fwHamming, 3),
            (std::vector<int>{2621, 7036, 17694, 28352, 32767, 28352, 17694, 7036}));
  EXPECT_EQ(Window(fwHanning, 3),
            (std::vector<int>{0, 4799, 16384, 27968, 32767, 27968, 16384, 4799}));
  EXPECT_EQ(Window(fwBlackman, 3),
            (std::vector<int>{0, 2177, 11141, 25347, 32767, 25347, 11141, 2177}));
  EXPECT_EQ(Window(fwRectangular, 3), std::vector<int>(8, 32767));
  // The Welch and Parzen windows use N + 1 in their distance: not zero at the first entry.
  struct Case {
    TMMFFTWindow window;
    int first;
  } cases[] = {{fwGaussian, 221}, {fwWelch, 6877}, {fwParzen, 3641}};
  for (const Case& c : cases) {
    const std::vector<int> t = Window(c.window, 3);
    EXPECT_EQ(t[0], c.first) << c.window;
    EXPECT_EQ(t[4], 32767) << c.window;
    for (int i = 1; i < 8; ++i)
      EXPECT_EQ(t[i], t[8 - i]) << c.window << " " << i;
  }
  EXPECT_EQ(Window(fwHanning, 0), std::vector<int>{0});
}

TEST(MakeWindow, RefusesATableTooShortOrAnOrderOutOfRange) {
  std::vector<int> t(7, -1);
  EXPECT_THROW(MakeWindow(t, fwHamming, 3), std::invalid_argument);
  EXPECT_EQ(t, std::vector<int>(7, -1));
  EXPECT_THROW(MakeWindow(t, fwHamming, -1), std::invalid_argument);
  EXPECT_THROW(MakeWindow(t, fwHamming, 31), std::invalid_argument);
}

TEST(CreateFFT, AcceptsOrdersFromOneOnly) {
  EXPECT_EQ(CreateFFT(0), nullptr);
  EXPECT_EQ(CreateFFT(32), nullptr);
  EXPECT_EQ(CreateFFT(-3), nullptr);
  auto plan = CreateFFT(6);
  ASSERT_NE(plan, nullptr);
  EXPECT_EQ(plan->Order(), 6);
  EXPECT_EQ(plan->Length(), 64u);
  FreeFFT(plan);
  EXPECT_EQ(plan, nullptr);
  // Nothing to do without a plan or data, or with no direction.
  std::vector<float> x{1, 2, 3, 4};
  RealFFT(nullptr, x.data(), 1);
  auto p2 = CreateFFT(2);
  RealFFT(p2.get(), nullptr, 1);
  RealFFT(p2.get(), x.data(), 0);
  EXPECT_EQ(x, (std::vector<float>{1, 2, 3, 4}));
}

// The bins of a plain double-precision DFT.
std::vector<std::complex<double>> Dft(const std::vector<float>& x) {
  const std::size_t n = x.size();
  std::vector<std::complex<double>> out(n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) {
    std::complex<double> sum = 0;
    for (std::size_t i = 0; i < n; ++i)
      sum +=
          static_cast<double>(x[i]) * std::polar(1.0, -2 * kPi * double((k * i) % n) / double(n));
    out[k] = sum;
  }
  return out;
}

std::vector<float> Random(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1, 1);
  std::vector<float> x(n);
  for (float& v : x)
    v = u(rng);
  return x;
}

TEST(RealFFT, EveryBinMatchesTheDftForAllLengthsUpTo4096) {
  for (int m = 1; m <= 12; ++m) {
    const std::size_t n = std::size_t{1} << m;
    const std::vector<float> x = Random(n, 1234u + m);
    std::vector<float> data = x;
    auto plan = CreateFFT(m);
    RealFFT(plan.get(), data.data(), 1);
    const auto expected = Dft(x);
    // Single-precision rounding grows with the length: a few ulps of the bins' typical size.
    const double tol = 4e-7 * std::sqrt(double(n)) * (m + 1);
    EXPECT_NEAR(data[0], expected[0].real(), tol) << "N " << n;
    EXPECT_EQ(data[1], 0.0f) << "N " << n;
    for (std::size_t k = 1; k < n / 2; ++k) {
      ASSERT_NEAR(data[2 * k], expected[k].real(), tol) << "N " << n << " bin " << k;
      ASSERT_NEAR(data[2 * k + 1], expected[k].imag(), tol) << "N " << n << " bin " << k;
    }
  }
}

TEST(RealFFT, ConstantInputHasOnlyTheDcBin) {
  for (int m : {1, 2, 3, 7, 12}) {
    const std::size_t n = std::size_t{1} << m;
    std::vector<float> data(n, 0.75f);
    auto plan = CreateFFT(m);
    RealFFT(plan.get(), data.data(), 1);
    EXPECT_FLOAT_EQ(data[0], 0.75f * n) << n;
    for (std::size_t i = 1; i < n; ++i)
      EXPECT_NEAR(data[i], 0, 1e-6 * n) << n << " slot " << i;
  }
}

TEST(RealFFT, SineOnABinGivesHalfTheLengthTimesTheWindowMean) {
  struct Case {
    int m;
    std::size_t bin;
    TMMFFTWindow window;
  } cases[] = {
      {6, 5, fwRectangular},      {6, 5, fwHanning},         {10, 100, fwHamming},
      {13, 1, fwRectangular},     {14, 2051, fwRectangular}, {15, 16383, fwRectangular},
      {16, 12345, fwRectangular}, {16, 40, fwHanning},
  };
  for (const Case& c : cases) {
    const std::size_t n = std::size_t{1} << c.m;
    const std::vector<int> w = Window(c.window, c.m);
    double mean = 0;
    for (int v : w)
      mean += v / 32767.0;
    mean /= double(n);
    const double amplitude = 0.8;
    std::vector<float> data(n);
    for (std::size_t i = 0; i < n; ++i)
      data[i] = static_cast<float>(
          amplitude * std::cos(2 * kPi * double((c.bin * i) % n) / n + 0.3) * w[i] / 32767.0);
    auto plan = CreateFFT(c.m);
    RealFFT(plan.get(), data.data(), 1);
    const double peak = std::hypot(data[2 * c.bin], data[2 * c.bin + 1]);
    EXPECT_NEAR(peak, amplitude * n / 2 * mean, 1e-4 * n) << "N " << n << " bin " << c.bin;
    if (c.window == fwRectangular) {
      double rest = 0;
      for (std::size_t k = 1; k < n / 2; ++k)
        if (k != c.bin) rest = std::max<double>(rest, std::hypot(data[2 * k], data[2 * k + 1]));
      EXPECT_LT(rest, 1e-5 * n) << "N " << n;
    }
  }
}

TEST(RealFFT, InverseReturnsTheInputLessItsNyquistComponent) {
  for (int m = 1; m <= 16; ++m) {
    const std::size_t n = std::size_t{1} << m;
    const std::vector<float> x = Random(n, 99u + m);
    double nyquist = 0;  // sum of x[i] (-1)^i
    for (std::size_t i = 0; i < n; ++i)
      nyquist += (i % 2 ? -1.0 : 1.0) * x[i];
    auto plan = CreateFFT(m);
    std::vector<float> data = x;
    RealFFT(plan.get(), data.data(), 5);  // any positive direction is forward
    std::vector<float> full = data;
    RealFFT(plan.get(), data.data(), -7);
    const double tol = 2e-6 * (m + 1);
    for (std::size_t i = 0; i < n; ++i) {
      const double expected = x[i] - (i % 2 ? -1.0 : 1.0) * nyquist / double(n);
      ASSERT_NEAR(data[i], expected, tol) << "N " << n << " i " << i;
    }
    // Given the Nyquist term in slot 1, the inverse restores the input exactly.
    full[1] = static_cast<float>(nyquist);
    RealFFT(plan.get(), full.data(), -1);
    for (std::size_t i = 0; i < n; ++i)
      ASSERT_NEAR(full[i], x[i], tol) << "N " << n << " i " << i;
  }
}

}  // namespace
}  // namespace zq
