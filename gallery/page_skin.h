#pragma once
// The skin page: the skin picture as the shaped window control shows it, and beside it what the
// shaping keeps of it over a checkerboard. And RunShapedWindow, the real shaped window for a look
// on a desktop and for the test under Xvfb.

class QApplication;

namespace zq::gallery::skin {

constexpr int kWidth = 940;
constexpr int kHeight = 440;

// Where RunShapedWindow puts its windows, in screen coordinates (asked of the window manager;
// exact without one): the skin window (464 x 393, the recorder's) and, under the skin's round
// hole, a plain square window that reports presses.
constexpr int kWindowX = 40, kWindowY = 30;
constexpr int kWindowW = 464, kWindowH = 393;
constexpr int kHoleX = 372, kHoleY = 318, kHoleRadius = 26;  // in the skin
constexpr int kBeneathSize = 40;
constexpr int kBeneathX = kWindowX + kHoleX - kBeneathSize / 2;
constexpr int kBeneathY = kWindowY + kHoleY - kBeneathSize / 2;

// Shows the two windows and runs until they are closed. Prints one line per event on standard
// output: "ready X Y" when the skin window is up, "beneath-press X Y" for a press on the square
// window, "skin-press X Y" for a press on the skin (window coordinates), "following X Y" for each
// pointer move while the window follows the pointer itself (the window manager declined to move
// it), and "moved X Y" when the skin window moves.
int RunShapedWindow(QApplication& app);

}  // namespace zq::gallery::skin
