#include "platform/muldiv.h"

#include <limits>
#include <stdexcept>

namespace zq {

namespace {

// q + (2 * r) / c: the truncated quotient, then the remainder rounded away from zero at a half.
template <class Wide>
Wide DivRound(Wide product, Wide c) {
  if (c == 0) throw std::domain_error("Division by zero");
  const Wide q = product / c;
  const Wide r = product % c;
  return q + (2 * r) / c;
}

template <class Narrow, class Wide>
Narrow Fit(Wide v) {
  if (v < std::numeric_limits<Narrow>::min() || v > std::numeric_limits<Narrow>::max())
    throw std::overflow_error("Integer overflow");
  return static_cast<Narrow>(v);
}

}  // namespace

std::int32_t MulDivRound(std::int32_t a, std::int32_t b, std::int32_t c) {
  return Fit<std::int32_t>(DivRound<std::int64_t>(static_cast<std::int64_t>(a) * b, c));
}

std::int64_t MulDivRound64(std::int64_t a, std::int64_t b, std::int64_t c) {
  return Fit<std::int64_t>(DivRound<__int128>(static_cast<__int128>(a) * b, c));
}

}  // namespace zq
