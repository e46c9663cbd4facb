#include "widgets/pointers.h"

#include <QPixmap>

#include "widgets/pictures.h"

namespace zq {

namespace {

struct Pointer {
  constexpr Pointer(int n, Qt::CursorShape s) : number(n), shape(s) {}
  constexpr Pointer(int n, const char* p, int x, int y) : number(n), picture(p), hotX(x), hotY(y) {}
  int number;
  Qt::CursorShape shape = Qt::ArrowCursor;
  const char* picture = nullptr;  // a picture's name; the shape is then unused
  int hotX = 0, hotY = 0;
};

constexpr Pointer kPointers[] = {
    {crDefault, Qt::ArrowCursor},
    {crNone, Qt::BlankCursor},
    {crArrow, Qt::ArrowCursor},
    {crHandPoint, Qt::PointingHandCursor},
    {crHSplit, Qt::SplitHCursor},
    {crVSplit, Qt::SplitVCursor},
    {crLibraryHand, Qt::PointingHandCursor},
};

const Pointer* Find(int number) {
  for (const Pointer& p : kPointers)
    if (p.number == number) return &p;
  return nullptr;
}

}  // namespace

QCursor PointerShape(int number) {
  const Pointer* p = Find(number);
  if (p == nullptr) return QCursor(Qt::ArrowCursor);
  if (p->picture == nullptr) return QCursor(p->shape);
  const QImage picture = LoadPicture(QString::fromLatin1(p->picture));
  if (picture.isNull()) return QCursor(Qt::ArrowCursor);
  return QCursor(QPixmap::fromImage(picture), p->hotX, p->hotY);
}

bool HasPointerShape(int number) {
  return Find(number) != nullptr;
}

}  // namespace zq
