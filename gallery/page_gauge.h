#pragma once
// The gauge and effect label page: the recorder's disk gauge, every gauge kind at a few values,
// the title labels in chrome, the maker's line and the label styles. Its geometry is fixed so
// that a test can look at the disk gauge in the screenshot.

namespace zq::gallery::gauge {

constexpr int kWidth = 740;
constexpr int kHeight = 480;
// The recorder's disk gauge (267 x 17; outer bevel lowered 2, inner raised 2: a 259 x 9 area at
// (4, 4) inside it) at 37 %.
constexpr int kDiskX = 10, kDiskY = 30;

}  // namespace zq::gallery::gauge
