#pragma once
// Multiply-divide with the product kept exact and the quotient rounded to the nearest integer,
// halves away from zero (the platform's MulDiv; for non-negative operands, halves up). Shared by
// the audio conversions and the widgets' pixel arithmetic. Pure and thread-safe.

#include <cstdint>

namespace zq {

// (a * b) / c with a 64-bit product. std::domain_error when c is 0, std::overflow_error when
// the result does not fit 32 bits.
std::int32_t MulDivRound(std::int32_t a, std::int32_t b, std::int32_t c);

// The same with a 128-bit product; std::overflow_error when the result does not fit 64 bits.
std::int64_t MulDivRound64(std::int64_t a, std::int64_t b, std::int64_t c);

}  // namespace zq
