#pragma once
// The pointer shapes of the programs' windows, by the numbers their forms give a control's
// Cursor: negative numbers are the standard shapes (-21 the hand), the numbers from 1 up the
// shapes that come with the program, drawn from pictures (widgets/pictures.h). A number the
// registry lacks gives the arrow. Main thread only.
//
// Adding a pointer: one line in kPointers in pointers.cpp, either
//   {-3, Qt::CrossCursor}                      a standard shape, or
//   {2001, "POINTER_2001", 7, 3}               a picture (found by LoadPicture) and its hot spot.
// A picture with an alpha channel gives a pointer with see-through parts; a picture that cannot
// be found gives the arrow.

#include <QCursor>

namespace zq {

constexpr int crDefault = 0;
constexpr int crNone = -1;
constexpr int crArrow = -2;
constexpr int crHSplit = -14;  // a bar dragged sideways
constexpr int crVSplit = -15;  // a bar dragged up and down
constexpr int crHandPoint = -21;
// The hand that comes with the program (the slider's thumb); the desktop's own hand here.
constexpr int crLibraryHand = 2005;

QCursor PointerShape(int number);

// Whether the registry has an entry for the number.
bool HasPointerShape(int number);

}  // namespace zq
