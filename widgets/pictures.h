#pragma once
// Built-in pictures by name, and the three-colour recolouring of glyph sheets.
//
// LoadPicture(name) finds a picture in two places, in this order:
//   1. the table of pictures drawn in code, in pictures.cpp (the LED glyph sheets);
//   2. the Qt resources linked from resources/: the file ":/pictures/<name>.png".
// A name found in neither gives a null image. Pictures are made once and then shared (QImage is
// implicitly shared; a caller that changes its copy changes only its copy). Main thread only.
//
// Adding a picture:
//   - drawn in code: write `QImage DrawMyPicture()` in a file of its own in widgets/, declare it
//     in a header, and add one line {"MY_PICTURE", &DrawMyPicture} to kDrawnPictures in
//     pictures.cpp;
//   - stored as a PNG: put the file in resources/pictures/MY_PICTURE.png and add one line
//     <file>pictures/MY_PICTURE.png</file> to resources/zq_resources.qrc. Store it losslessly and
//     without a colour profile, so that key colours and three-colour sheets keep exact values.
//
// Three-colour sheets are drawn only in white (lit), silver C0C0C0 (unlit) and black
// (background); RecolorSheet gives them a widget's colours.

#include <QImage>
#include <QString>

#include "widgets/graphics.h"

namespace zq {

QImage LoadPicture(const QString& name);

// A copy of the sheet (as 32-bit RGB) with every white pixel replaced by `lit`, every silver
// pixel by `unlit` and every black pixel by `background`, system colours resolved at this moment;
// pixels of any other colour are kept.
QImage RecolorSheet(const QImage& sheet, TColor lit, TColor unlit, TColor background);

// The RGB value of a pixel of a picture (alpha dropped), as a TColor.
TColor PixelColor(const QImage& picture, int x, int y);

// A copy of the picture (as 32-bit ARGB) in which every pixel of the key colour is fully
// transparent, so that drawing it leaves what lies beneath. Pictures drawn "transparent" take the
// colour of their bottom-left pixel as the key.
QImage KeyedPicture(const QImage& picture, TColor key);

}  // namespace zq
