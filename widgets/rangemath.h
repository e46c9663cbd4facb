#pragma once
// Arithmetic on the 64-bit values, steps and limits of the player controls (spin button, LED
// digits, slider). Sums, differences and ranges are taken in 128 bits, so |Value|,
// Value + Increment, MaxValue - MinValue and MinValue + 1 never overflow; results come back to
// 64 bits through Clamp, which never meets crossed limits undefined. Pure.

#include <cstdint>

namespace zq {

using TWide = __int128;

// v within lo ... hi; with crossed limits (lo > hi) lo.
std::int64_t Clamp(TWide v, std::int64_t lo, std::int64_t hi);

// n / d rounded to the nearest integer, halves to even (as Round). d is not 0.
TWide DivRoundEven(TWide n, TWide d);

// a * b / c rounded as MulDivRound (halves away from zero), for a range b >= 0 of any 64-bit
// size and c > 0: b = q * c + r, so a * q is exact and only a * r / c is rounded.
TWide MulDivRoundWide(int a, TWide b, int c);

}  // namespace zq
