#include "platform/muldiv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace zq {
namespace {

TEST(MulDivRound, RoundsTheRemainderWithHalvesAwayFromZero) {
  struct Case {
    std::int32_t a, b, c, want;
  };
  const Case cases[] = {
      {1, 1, 2, 1},
      {3, 1, 2, 2},
      {5, 1, 3, 2},
      {4, 1, 3, 1},
      {0, 7, 3, 0},
      {2147483647, 2, 2, 2147483647},
      {-3, 1, 2, -2},
      {3, 1, -2, -2},
      {-3, -1, -2, -2},
      {-1, 1, 3, 0},
      {4096, 1000, 176400, 23},
      {1000000, 1000000, 1000000, 1000000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MulDivRound(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
  EXPECT_THROW(MulDivRound(1, 1, 0), std::domain_error);
  EXPECT_THROW(MulDivRound(2147483647, 2, 1), std::overflow_error);
}

TEST(MulDivRound64, KeepsTheProductExactBeyond64Bits) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  struct Case {
    std::int64_t a, b, c, want;
  };
  const Case cases[] = {
      {3, 1, 2, 2},
      {-3, 1, 2, -2},
      {-5, 1, 10, -1},  // -0.5 goes away from zero
      {-4, 1, 10, 0},
      {kMax, kMax, kMax, kMax},
      {kMax, 2, 4, kMax / 2 + 1},  // (2^63 - 1) / 2 = 2^62 - 0.5
      {kMin, 3, 3, kMin},
      {kMin, -1, -1, kMin},
      {4000000000, 4000000000, 8000000000, 2000000000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MulDivRound64(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
  EXPECT_THROW(MulDivRound64(1, 1, 0), std::domain_error);
  EXPECT_THROW(MulDivRound64(kMax, 2, 1), std::overflow_error);
  EXPECT_THROW(MulDivRound64(kMin, -1, 1), std::overflow_error);
}

}  // namespace
}  // namespace zq
