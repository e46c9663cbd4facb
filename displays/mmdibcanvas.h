#pragma once
// TMMDIBCanvas: an off-screen pixel surface that the level, spectrum and scope displays draw into
// with integer primitives, and show with one block copy per frame (DrawTo).
//
// Memory: rows bottom-up (image row y is memory row Height - 1 - y), each row Width x bytes per
// pixel rounded up to a multiple of 4; 8-bit pixels are indexes into a 256-entry palette (20
// static colours at 0..9 and 246..255, the middle from the background picture's palette or
// black), 24-bit pixels are blue, green, red. A device value is what a pixel holds: the palette
// index, or the RGB value (00BBGGRR) in 24-bit mode; MapColor turns a colour into one (8-bit: the
// nearest palette entry, the lowest index on a tie).
//
// Drawing: BeginDraw takes the process-wide drawing lock (recursive: a thread may draw a second
// surface inside the first), rebuilds the memory when the size changed, and opens the primitives;
// EndDraw closes them and releases the lock. Every primitive clips to (0, 0, Width, Height) and
// draws nothing outside it; outside BeginDraw/EndDraw the clip is empty, so they draw nothing and
// GetPixel gives -1. Right and bottom ends are exclusive. A size set while drawing takes effect at
// the next BeginDraw; rebuilding the memory while drawing (a new bit depth, background picture or
// mode) raises EMMDIBError. Nested BeginDraw calls on one surface are counted; an EndDraw without
// its BeginDraw is ignored.
//
// Ownership: the surface owns its memory; Bits()/BackBits() stay valid until the next rebuild
// (a BeginDraw after SetSize, or a change of depth, picture or mode). Drawing happens on the main
// thread in this system; the lock makes any thread safe, but DrawTo paints with Qt and is for the
// main thread only. Do not destroy a surface that is being drawn.
//
// TMMDIBGraphicControl: the windowless control that owns one work surface of its own size,
// clears it to the background picture or its Color, and paints at once through PaintNow.

#include <QImage>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "widgets/graphics.h"
#include "widgets/mmcontrols.h"

class QPainter;
class QWidget;

namespace zq {

class EMMDIBError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMMDIBCanvas {
 public:
  using TNotifyEvent = std::function<void(TMMDIBCanvas* sender)>;

  // owner: the control whose class name leads the rebuild error; not owned, may be null.
  explicit TMMDIBCanvas(QWidget* owner = nullptr);
  ~TMMDIBCanvas();
  TMMDIBCanvas(const TMMDIBCanvas&) = delete;
  TMMDIBCanvas& operator=(const TMMDIBCanvas&) = delete;

  int BitsPerPixel() const { return bitsPerPixel_; }
  // 8 or 24; anything else raises "Bitlength not supported yet" and changes nothing.
  void SetBitsPerPixel(int value);
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);
  // Kept for the forms; true-colour screens need no palette, so they change only the rebuild.
  bool PaletteRealize() const { return paletteRealize_; }
  void SetPaletteRealize(bool value);
  bool PaletteMapped() const { return paletteMapped_; }
  void SetPaletteMapped(bool value) { paletteMapped_ = value; }
  // The picture drawn into the background memory at each rebuild, stretched (smoothly) or tiled
  // from the top-left corner; a null image means none.
  const QImage& BackGroundBitmap() const { return backGroundBitmap_; }
  void SetBackGroundBitmap(const QImage& value);
  bool StretchBackGround() const { return stretchBackGround_; }
  void SetStretchBackGround(bool value);

  TNotifyEvent OnChanging;  // at each BeginDraw
  TNotifyEvent OnChanged;   // at each closing EndDraw

  void BeginDraw();
  void EndDraw();
  bool Drawing() const { return drawDepth_ > 0; }

  // The memory as last built (null before the first build); BackBits is null without a picture.
  std::uint8_t* Bits() { return work_.empty() ? nullptr : work_.data(); }
  const std::uint8_t* BackBits() const { return back_.empty() ? nullptr : back_.data(); }
  // Bytes per memory row of the built surface.
  int Stride() const { return stride_; }
  // The 8-bit palette as Qt colours (index -> 0xFFRRGGBB).
  const std::array<QRgb, 256>& Palette() const { return palette_; }

  std::uint32_t MapColor(TColor color) const;
  void SetColor(TColor color) { SetRawColor(MapColor(color)); }
  void SetRawColor(std::uint32_t value);
  std::uint32_t RawColor() const { return color_; }

  void SetPixel(int x, int y, std::uint32_t value);
  // The device value at (x, y), or -1 outside the clip.
  std::int32_t GetPixel(int x, int y) const;
  void MoveTo(int x, int y) { pen_ = {x, y}; }
  void LineTo(int x, int y);
  // The end point is not drawn.
  void Line(int x1, int y1, int x2, int y2);
  // x1 <= x < x2 on row y, the ends in either order (HLine(12, 5, y) draws 5..11).
  void HLine(int x1, int x2, int y);
  void VLine(int x, int y1, int y2);
  // 4 on, 4 off from the lower end; DashedHLine draws nothing on a span shorter than 4.
  void DashedHLine(int x1, int x2, int y);
  void DashedVLine(int x, int y1, int y2);
  // 1 on, `spacing` off (at least 1) from the lower end.
  void DottedHLine(int x1, int x2, int y, int spacing);
  void DottedVLine(int x, int y1, int y2, int spacing);
  void FillRect(const TRect& r);
  // doted: only the pixels whose column and row offsets from r's top-left are both even.
  void FillRect(const TRect& r, bool doted);
  void Clear();
  // Copies the width x height block at (srcX, srcY) of srcPixels, memory of this surface's size
  // and layout (its own, its background, or another surface's), to (dstX, dstY). Both blocks are
  // clipped to the surface; overlapping blocks of one memory are copied safely in either
  // direction, so the surface can scroll its own image.
  void CopyRect(int srcX, int srcY, int width, int height, int dstX, int dstY,
                const std::uint8_t* srcPixels);
  // Shows the width x height block at (srcX, srcY) at (x, y) of the painter in one block copy
  // (the block is first turned upright into a true-colour buffer kept with the surface).
  // Nothing without a painter, or before the memory is built (or after SetSize until the next
  // BeginDraw).
  void DrawTo(QPainter* dc, int x, int y, int width, int height, int srcX, int srcY) const;

 private:
  void Rebuild();
  void RefuseWhileDrawing() const;
  std::uint8_t* Row(int y) {
    return work_.data() + static_cast<std::ptrdiff_t>(builtH_ - 1 - y) * stride_;
  }
  const std::uint8_t* Row(int y) const {
    return work_.data() + static_cast<std::ptrdiff_t>(builtH_ - 1 - y) * stride_;
  }
  // Fills x0 <= x < x1 of row y, already clipped.
  void Span(int y, int x0, int x1);
  void Put(int x, int y);
  void PutAt(std::uint8_t* row, int x);
  int NearestIndex(QRgb rgb) const;

  QWidget* owner_;
  int bitsPerPixel_ = 8;
  int width_ = 1;
  int height_ = 1;
  bool paletteRealize_ = false;
  bool paletteMapped_ = false;
  QImage backGroundBitmap_;
  bool stretchBackGround_ = true;

  // Built state.
  bool needsRebuild_ = true;
  bool hasDC_ = false;
  int builtBpp_ = 8;
  int builtW_ = 0;
  int builtH_ = 0;
  int stride_ = 0;
  std::vector<std::uint8_t> work_;
  std::vector<std::uint8_t> back_;
  std::array<QRgb, 256> palette_{};
  mutable std::array<std::pair<TColor, std::uint8_t>, 16> mapCache_{};  // RGB -> palette index
  mutable int mapCacheCount_ = 0;
  mutable int mapCacheNext_ = 0;
  mutable QImage staging_;  // DrawTo's upright true-colour copy of the block it shows

  // Drawing state.
  int drawDepth_ = 0;
  TRect clip_;
  std::uint32_t color_ = 0;
  TPoint pen_;
};

class TMMDIBGraphicControl : public TMMGraphicControl {
 public:
  explicit TMMDIBGraphicControl(QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMDIBGraphicControl() override;

  TMMDIBCanvas& DIBCanvas() { return *canvas_; }
  int Tag2() const { return tag2_; }
  void SetTag2(int value) { tag2_ = value; }
  const QImage& BackGroundDIB() const { return backGroundDIB_; }
  // In design state a picture switches UseBackGroundDIB and PaletteRealize on, an empty one
  // switches them (and PaletteMapped) off; while the background is in use a new picture replaces
  // it at once.
  void SetBackGroundDIB(const QImage& value);
  bool UseBackGroundDIB() const { return useBackGroundDIB_; }
  // True only with a picture; hands the picture (or none) to the surface. While loading, the
  // value is kept and applied when loading ends.
  void SetUseBackGroundDIB(bool value);
  bool PaletteRealize() const { return canvas_->PaletteRealize(); }
  void SetPaletteRealize(bool value) { canvas_->SetPaletteRealize(value); }
  int BitsPerPixel() const { return canvas_->BitsPerPixel(); }

  virtual void SetBitsPerPixel(int value);
  // Between BeginDraw and EndDraw of the work surface: copies the background over it, or fills
  // it with Color when there is no background.
  virtual void ClearBackground();
  // Draws at once: proc draws into the surface and shows it with
  // DIBCanvas().DrawTo(Canvas()->Handle(), ...). Only while the control is visible; an exception
  // from proc reaches the caller.
  void PaintNow(const std::function<void()>& proc);
  // Also sizes the work surface (as does any resize that reaches the widget).
  void SetBounds(int left, int top, int width, int height) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void Loaded() override;

 private:
  std::unique_ptr<TMMDIBCanvas> canvas_;
  int tag2_ = 0;
  QImage backGroundDIB_;
  bool useBackGroundDIB_ = false;
  std::optional<bool> pendingUseBackGroundDIB_;  // read while loading
};

}  // namespace zq
