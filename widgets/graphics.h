#pragma once
// Colours, rectangles and the drawing interface every widget paints with.
//
// TColor: a 32-bit colour, either an RGB value stored as bytes 00BBGGRR or a system colour (high
// bit set, low byte the system colour's number). System colours resolve to fixed classic values
// (ColorToRGB), never to the desktop theme, so the skinned windows look the same everywhere.
//
// TRect: a rectangle whose right and bottom edges are exclusive.
//
// TCanvas: pen colour, move-to/line-to (the end point is not set), fill rectangle, arc, ellipse,
// pie and text over a QPainter that draws on a QImage or on a widget during its paint event. The
// canvas does not own the painter; the painter must outlive it. Main thread only (a canvas over a
// QImage may be used on any one thread at a time).

#include <QColor>
#include <QFont>
#include <QString>
#include <cstdint>

class QPainter;

namespace zq {

using TColor = std::uint32_t;

constexpr TColor clSystemColor = 0x80000000u;

// Named colours (00BBGGRR).
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

// System colours, by their number.
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;

// The RGB value (00BBGGRR) of a colour; a system colour takes its classic value, an unknown system
// number resolves to black.
TColor ColorToRGB(TColor color);
constexpr int GetRValue(TColor rgb) {
  return static_cast<int>(rgb & 0xFF);
}
constexpr int GetGValue(TColor rgb) {
  return static_cast<int>((rgb >> 8) & 0xFF);
}
constexpr int GetBValue(TColor rgb) {
  return static_cast<int>((rgb >> 16) & 0xFF);
}
constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
QColor ToQColor(TColor color);

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}
// The rectangle shrunk by dx on the left and right and dy on the top and bottom (grown when
// negative).
constexpr TRect InflateRect(TRect r, int dx, int dy) {
  return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}
// The common part of two rectangles; empty (all zero) when they do not meet.
TRect IntersectRect(const TRect& a, const TRect& b);

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TCanvas {
 public:
  explicit TCanvas(QPainter* painter);
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  QPainter* Handle() const { return painter_; }

  TColor PenColor() const { return penColor_; }
  void SetPenColor(TColor color) { penColor_ = color; }
  // The width of LineTo's lines; 0 and 1 draw the one-pixel line, wider ones a solid stroke with
  // round ends (end point included), not antialiased.
  int PenWidth() const { return penWidth_; }
  void SetPenWidth(int width) { penWidth_ = width; }
  TColor BrushColor() const { return brushColor_; }
  void SetBrushColor(TColor color) { brushColor_ = color; }
  const QFont& Font() const { return font_; }
  void SetFont(const QFont& font);
  // The colour text is drawn in.
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor color) { fontColor_ = color; }

  TPoint PenPos() const { return pen_; }
  void MoveTo(int x, int y) { pen_ = {x, y}; }
  // A line in the pen colour from the pen position to (x, y) (one pixel wide: the end point not
  // set); the pen moves to (x, y).
  void LineTo(int x, int y);
  void SetPixel(int x, int y, TColor color);
  // Fills Left <= x < Right, Top <= y < Bottom with the brush colour; an empty rectangle fills
  // nothing.
  void FillRect(const TRect& r);
  // The elliptic arc inscribed in the box (x1, y1)-(x2, y2) (right and bottom exclusive), drawn
  // counter-clockwise from where the ray from the centre through (x3, y3) meets it to where the
  // ray through (x4, y4) does, in the pen colour. Equal rays give the whole ellipse.
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  // The ellipse inscribed in the same box as Arc's, outlined in the pen colour and filled with the
  // brush colour; the outline reaches the box's last column and row.
  void Ellipse(int x1, int y1, int x2, int y2);
  // The sector of that ellipse from the ray through (x3, y3) counter-clockwise to the ray through
  // (x4, y4), outlined in the pen colour (arc and both radii) and filled with the brush colour;
  // its arc is Ellipse's outline. Equal rays give the whole ellipse. The pen does not move.
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  // Text with its top-left at (x, y), no background.
  void TextOut(int x, int y, const QString& text);
  // One line of text in r, clipped to it, aligned horizontally by `alignment` and to the top;
  // tabs are expanded.
  void TextRect(const TRect& r, const QString& text, TAlignment alignment);
  int TextWidth(const QString& text) const;
  int TextHeight(const QString& text) const;

 private:
  QPainter* painter_;
  TColor penColor_ = clBlack;
  int penWidth_ = 1;
  TColor brushColor_ = clWhite;
  TColor fontColor_ = clBlack;
  QFont font_;
  TPoint pen_;
};

}  // namespace zq
