#pragma once
// Windows fonts as the programs' windows name them, on the fonts installed here.
//
// WindowsFont(face, size, styles): the face name is looked up (ignoring case) in the table
// kFaceFamilies in fonts.cpp and replaced by the family installed in its place ("Arial" by
// Liberation Sans); a face not in the table is asked for by its own name (and Qt substitutes as
// it does for any family). Sizes are as the windows' forms store them: a positive size is points,
// turned into pixels as on a 96-dpi screen (points x 96 / 72, halves rounded up), a negative one
// is the character height in pixels, 0 the default 8 points. The font's size is set in pixels, so
// text keeps its size whatever the screen's dpi.
//
// Adding a face: one line {"Face Name", "Installed Family"} in kFaceFamilies; the family's Debian
// package goes into PACKAGES in `dev` and the README's dependency table.

#include <QFont>
#include <QString>

namespace zq {

enum TFontStyle : unsigned {
  fsBold = 1u << 0,
  fsItalic = 1u << 1,
  fsUnderline = 1u << 2,
  fsStrikeOut = 1u << 3
};

QFont WindowsFont(const QString& face, int size, unsigned styles = 0);

// The family asked for in place of a face name (the face itself when the table lacks it).
QString FamilyForFace(const QString& face);

// The character height in pixels of a size as the forms store it (see above).
int FontPixels(int size);

}  // namespace zq
