#pragma once
// The drawing page: bevels, panels, scales and pixel surfaces. Its geometry is fixed so that a
// test can look for a frame and a scale in the screenshot.

namespace zq::gallery::drawing {

// The page's size.
constexpr int kWidth = 640;
constexpr int kHeight = 420;
// A control with the default bevel (sunken, width 1): its rectangle in the page.
constexpr int kDefaultBevelX = 10, kDefaultBevelY = 30, kBevelW = 90, kBevelH = 40;
// A horizontal scale with the default ticks (11, every fifth long, 7 pixels, black), drawn in
// this rectangle of the page: tick c stands at x = kScaleX + 10 c and reaches up from the
// bottom edge (exclusive) by 7 or 3 pixels.
constexpr int kScaleX = 20, kScaleY = 205, kScaleLength = 100, kScaleDepth = 10;

}  // namespace zq::gallery::drawing
