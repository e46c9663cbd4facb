#pragma once
// The LED label page: the programs' readouts, the three glyph sheets as labels, colours, spacing,
// alignment, accented captions and frames of the scrolling format line. Its geometry is fixed so
// that a test can read cells out of the screenshot.

#include <QString>

namespace zq::gallery::ledlabel {

constexpr int kWidth = 740;
constexpr int kHeight = 470;
// The recorder's free-space readout, "0 MB" in the small sheet with a two-pixel margin.
constexpr int kFreeSpaceX = 10, kFreeSpaceY = 30;
// The format line (21 cells of the small sheet, margin 2) at CurrentStep 20: the cells show
// "MP3: 64 Kbps, Stereo" and one blank.
constexpr int kFormatX = 10, kFormatY = 330;

// Writes FONT_11X13.png, FONT_16X20.png and FONT_11X13_BOLD.png (the sheets as drawn, in their
// three colours) into `dir`; false, with a message on standard error, when one cannot be written.
bool WriteSheets(const QString& dir);

}  // namespace zq::gallery::ledlabel
