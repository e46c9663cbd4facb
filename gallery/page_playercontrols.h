#pragma once
// The player controls' page: spin buttons both ways in their states, the thirteen digit sheets raw
// and recoloured, the player's hour and minute spinners and its position slider, negative and
// zero-blanked panels, a vertical slider with a scale and end pictures.

#include <QString>

namespace zq::gallery::playercontrols {

// Writes the 26 digit sheets (LCD_<size>.png, LCDS_<size>.png, as drawn, in their three colours)
// into `dir`; false, with a message on standard error, when one cannot be written.
bool WriteSheets(const QString& dir);

}  // namespace zq::gallery::playercontrols
