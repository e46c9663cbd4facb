#include "widgets/rangemath.h"

#include "platform/muldiv.h"

namespace zq {

std::int64_t Clamp(TWide v, std::int64_t lo, std::int64_t hi) {
  if (v > hi) v = hi;
  if (v < lo) v = lo;
  return static_cast<std::int64_t>(v);
}

TWide DivRoundEven(TWide n, TWide d) {
  if (d < 0) {
    n = -n;
    d = -d;
  }
  TWide q = n / d;
  const TWide r = n % d;
  const TWide twice = 2 * (r < 0 ? -r : r);
  if (twice > d || (twice == d && q % 2 != 0)) q += r < 0 ? -1 : 1;
  return q;
}

TWide MulDivRoundWide(int a, TWide b, int c) {
  const TWide q = b / c;
  const auto r = static_cast<std::int64_t>(b % c);
  return a * q + MulDivRound64(a, r, c);
}

}  // namespace zq
