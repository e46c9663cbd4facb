#include "displays/mmdibcanvas.h"

#include <QPainter>
#include <QResizeEvent>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "widgets/classname.h"
#include "widgets/linetrace.h"

namespace zq {

namespace {

std::recursive_mutex& DrawingLock() {
  static std::recursive_mutex lock;
  return lock;
}

// The static colours of the 8-bit palette, as red, green, blue.
constexpr std::uint8_t kLowStatic[10][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
constexpr std::uint8_t kHighStatic[10][3] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};

QRgb RgbOf(TColor rgb) {
  return qRgb(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

}  // namespace

TMMDIBCanvas::TMMDIBCanvas(QWidget* owner) : owner_(owner) {}

TMMDIBCanvas::~TMMDIBCanvas() {
  while (drawDepth_ > 0)
    EndDraw();
}

void TMMDIBCanvas::RefuseWhileDrawing() const {
  if (drawDepth_ > 0)
    throw EMMDIBError((owner_ != nullptr ? ClassName(*owner_) : std::string("TMMDIBCanvas")) +
                      ": Attempt to create new DIB while initialized for drawing");
}

void TMMDIBCanvas::SetBitsPerPixel(int value) {
  if (value != 8 && value != 24) throw EMMDIBError("Bitlength not supported yet");
  if (value == bitsPerPixel_) return;
  RefuseWhileDrawing();
  bitsPerPixel_ = value;
  Rebuild();
}

void TMMDIBCanvas::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  hasDC_ = false;
  needsRebuild_ = true;
}

void TMMDIBCanvas::SetPaletteRealize(bool value) {
  if (value == paletteRealize_) return;
  RefuseWhileDrawing();
  paletteRealize_ = value;
  Rebuild();
}

void TMMDIBCanvas::SetBackGroundBitmap(const QImage& value) {
  if (value.isNull() && backGroundBitmap_.isNull()) return;
  RefuseWhileDrawing();
  backGroundBitmap_ = value;
  Rebuild();
}

void TMMDIBCanvas::SetStretchBackGround(bool value) {
  if (value == stretchBackGround_) return;
  RefuseWhileDrawing();
  stretchBackGround_ = value;
  Rebuild();
}

int TMMDIBCanvas::NearestIndex(QRgb rgb) const {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < 256; ++i) {
    const long dr = qRed(palette_[i]) - qRed(rgb), dg = qGreen(palette_[i]) - qGreen(rgb),
               db = qBlue(palette_[i]) - qBlue(rgb);
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return best;
}

std::uint32_t TMMDIBCanvas::MapColor(TColor color) const {
  const TColor rgb = ColorToRGB(color);
  if (builtBpp_ == 24) return rgb;
  // A display maps the same few colours every frame: remember the last ones (under the drawing
  // lock, as the cache is shared).
  std::lock_guard<std::recursive_mutex> hold(DrawingLock());
  for (int i = 0; i < mapCacheCount_; ++i)
    if (mapCache_[i].first == rgb) return mapCache_[i].second;
  const auto index = static_cast<std::uint8_t>(NearestIndex(RgbOf(rgb)));
  mapCache_[mapCacheNext_] = {rgb, index};
  mapCacheNext_ = (mapCacheNext_ + 1) % static_cast<int>(mapCache_.size());
  mapCacheCount_ = std::min(mapCacheCount_ + 1, static_cast<int>(mapCache_.size()));
  return index;
}

void TMMDIBCanvas::Rebuild() {
  RefuseWhileDrawing();
  work_.clear();
  work_.shrink_to_fit();
  back_.clear();
  back_.shrink_to_fit();
  staging_ = QImage();
  hasDC_ = false;
  needsRebuild_ = true;  // until this build succeeds
  builtW_ = builtH_ = stride_ = 0;

  const int w = std::max(width_, 1), h = std::max(height_, 1);
  const int bytes = bitsPerPixel_ / 8;
  const std::int64_t stride = (std::int64_t{w} * bytes + 3) / 4 * 4;

  // The palette: the static colours at both ends, the picture's colours between when it has
  // them, black elsewhere.
  palette_.fill(qRgb(0, 0, 0));
  for (int i = 0; i < 10; ++i) {
    palette_[i] = qRgb(kLowStatic[i][0], kLowStatic[i][1], kLowStatic[i][2]);
    palette_[246 + i] = qRgb(kHighStatic[i][0], kHighStatic[i][1], kHighStatic[i][2]);
  }
  if (!backGroundBitmap_.isNull() && backGroundBitmap_.format() == QImage::Format_Indexed8) {
    const QList<QRgb> table = backGroundBitmap_.colorTable();
    for (int i = 10; i < 245 && i < table.size(); ++i)
      palette_[i] = table[i] | 0xFF000000u;
  }
  builtBpp_ = bitsPerPixel_;
  mapCacheCount_ = mapCacheNext_ = 0;

  try {
    if (stride > INT32_MAX / h) throw std::bad_alloc();
    const std::size_t size = static_cast<std::size_t>(stride) * h;
    if (!backGroundBitmap_.isNull()) {
      // The picture as the surface shows it, top-down, then stored bottom-up in device values.
      QImage composed;
      if (stretchBackGround_) {
        composed = backGroundBitmap_.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
      } else {
        composed = QImage(w, h, QImage::Format_RGB32);
        QPainter p(&composed);
        p.fillRect(composed.rect(),
                   QBrush(backGroundBitmap_.convertToFormat(QImage::Format_RGB32)));
      }
      back_.assign(size, 0);
      std::unordered_map<QRgb, std::uint8_t> nearest;
      for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(composed.constScanLine(y));
        std::uint8_t* dst = back_.data() + static_cast<std::ptrdiff_t>(h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
          if (bytes == 3) {
            dst[3 * x] = static_cast<std::uint8_t>(qBlue(src[x]));
            dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(src[x]));
            dst[3 * x + 2] = static_cast<std::uint8_t>(qRed(src[x]));
          } else {
            auto [it, fresh] = nearest.try_emplace(src[x], 0);
            if (fresh) it->second = static_cast<std::uint8_t>(NearestIndex(src[x]));
            dst[x] = it->second;
          }
        }
      }
    }
    work_.assign(size, 0);  // black: index 0, or three zero bytes
    staging_ = QImage(w, h, QImage::Format_RGB32);
    if (staging_.isNull()) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    work_.clear();
    back_.clear();
    staging_ = QImage();
    throw EMMDIBError("Unable to access DIB device context");
  }
  builtW_ = w;
  builtH_ = h;
  stride_ = static_cast<int>(stride);
  hasDC_ = true;
  needsRebuild_ = false;
}

void TMMDIBCanvas::BeginDraw() {
  DrawingLock().lock();
  try {
    if (OnChanging) OnChanging(this);
    if (needsRebuild_ && drawDepth_ == 0) Rebuild();
    if (needsRebuild_) RefuseWhileDrawing();
  } catch (...) {
    DrawingLock().unlock();
    throw;
  }
  ++drawDepth_;
  clip_ = {0, 0, std::min(std::max(width_, 0), builtW_), std::min(std::max(height_, 0), builtH_)};
}

void TMMDIBCanvas::EndDraw() {
  if (drawDepth_ == 0) return;
  if (--drawDepth_ == 0) {
    clip_ = {};
    if (OnChanged) OnChanged(this);
  }
  DrawingLock().unlock();
}

void TMMDIBCanvas::SetRawColor(std::uint32_t value) {
  // 8-bit: the index fills every byte, so a span fill writes whole words.
  color_ = builtBpp_ == 8 ? (value & 0xFF) * 0x01010101u : value & 0xFFFFFF;
}

void TMMDIBCanvas::Put(int x, int y) {
  PutAt(Row(y), x);
}

void TMMDIBCanvas::PutAt(std::uint8_t* row, int x) {
  if (builtBpp_ == 8) {
    row[x] = static_cast<std::uint8_t>(color_);
  } else {
    std::uint8_t* p = row + 3 * x;
    p[0] = static_cast<std::uint8_t>(color_ >> 16);  // blue
    p[1] = static_cast<std::uint8_t>(color_ >> 8);   // green
    p[2] = static_cast<std::uint8_t>(color_);        // red
  }
}

void TMMDIBCanvas::Span(int y, int x0, int x1) {
  if (x0 >= x1) return;
  std::uint8_t* row = Row(y);
  if (builtBpp_ == 8) {
    std::memset(row + x0, static_cast<int>(color_ & 0xFF), static_cast<std::size_t>(x1 - x0));
    return;
  }
  std::uint8_t* p = row + 3 * x0;
  const std::size_t total = 3 * static_cast<std::size_t>(x1 - x0);
  Put(x0, y);
  // Doubling copies fill the rest of the span.
  for (std::size_t done = 3; done < total;) {
    const std::size_t n = std::min(done, total - done);
    std::memcpy(p + done, p, n);
    done += n;
  }
}

void TMMDIBCanvas::SetPixel(int x, int y, std::uint32_t value) {
  if (x < clip_.Left || x >= clip_.Right || y < clip_.Top || y >= clip_.Bottom) return;
  const std::uint32_t saved = color_;
  SetRawColor(value);
  Put(x, y);
  color_ = saved;
}

std::int32_t TMMDIBCanvas::GetPixel(int x, int y) const {
  if (x < clip_.Left || x >= clip_.Right || y < clip_.Top || y >= clip_.Bottom) return -1;
  const std::uint8_t* row = Row(y);
  if (builtBpp_ == 8) return row[x];
  const std::uint8_t* p = row + 3 * x;
  return static_cast<std::int32_t>(p[2] | (p[1] << 8) | (p[0] << 16));
}

void TMMDIBCanvas::LineTo(int x, int y) {
  Line(pen_.X, pen_.Y, x, y);
  pen_ = {x, y};
}

void TMMDIBCanvas::Line(int x1, int y1, int x2, int y2) {
  if (y1 == y2) {  // from x1 toward x2, x2 not drawn
    if (x1 < x2)
      HLine(x1, x2, y1);
    else if (x1 > x2)
      HLine(x2 + 1, x1 + 1, y1);
    return;
  }
  if (x1 == x2) {
    if (y1 < y2)
      VLine(x1, y1, y2);
    else
      VLine(x1, y2 + 1, y1 + 1);
    return;
  }
  TraceLine(x1, y1, x2, y2, clip_, [this](int x, int y) { Put(x, y); });
}

void TMMDIBCanvas::HLine(int x1, int x2, int y) {
  if (y < clip_.Top || y >= clip_.Bottom) return;
  const int lo = std::max(std::min(x1, x2), clip_.Left),
            hi = std::min(std::max(x1, x2), clip_.Right);
  Span(y, lo, hi);
}

void TMMDIBCanvas::VLine(int x, int y1, int y2) {
  if (x < clip_.Left || x >= clip_.Right) return;
  const int lo = std::max(std::min(y1, y2), clip_.Top),
            hi = std::min(std::max(y1, y2), clip_.Bottom);
  for (int y = lo; y < hi; ++y)
    Put(x, y);
}

void TMMDIBCanvas::DashedHLine(int x1, int x2, int y) {
  const int start = std::min(x1, x2), end = std::max(x1, x2);
  if (end - start < 4 || y < clip_.Top || y >= clip_.Bottom) return;
  for (int x = std::max(start, clip_.Left), hi = std::min(end, clip_.Right); x < hi; ++x)
    if (((std::int64_t{x} - start) & 7) < 4) Put(x, y);
}

void TMMDIBCanvas::DashedVLine(int x, int y1, int y2) {
  const int start = std::min(y1, y2), end = std::max(y1, y2);
  if (x < clip_.Left || x >= clip_.Right) return;
  for (int y = std::max(start, clip_.Top), hi = std::min(end, clip_.Bottom); y < hi; ++y)
    if (((std::int64_t{y} - start) & 7) < 4) Put(x, y);
}

namespace {
// The first position at or after `from` that lies on the dot grid start + k * period.
std::int64_t FirstDot(std::int64_t start, std::int64_t from, std::int64_t period) {
  if (from <= start) return start;
  return start + (from - start + period - 1) / period * period;
}
}  // namespace

void TMMDIBCanvas::DottedHLine(int x1, int x2, int y, int spacing) {
  if (y < clip_.Top || y >= clip_.Bottom) return;
  const std::int64_t period = std::int64_t{std::max(spacing, 1)} + 1;
  const int start = std::min(x1, x2), end = std::min(std::max(x1, x2), clip_.Right);
  for (std::int64_t x = FirstDot(start, clip_.Left, period); x < end; x += period)
    Put(static_cast<int>(x), y);
}

void TMMDIBCanvas::DottedVLine(int x, int y1, int y2, int spacing) {
  if (x < clip_.Left || x >= clip_.Right) return;
  const std::int64_t period = std::int64_t{std::max(spacing, 1)} + 1;
  const int start = std::min(y1, y2), end = std::min(std::max(y1, y2), clip_.Bottom);
  for (std::int64_t y = FirstDot(start, clip_.Top, period); y < end; y += period)
    Put(x, static_cast<int>(y));
}

void TMMDIBCanvas::FillRect(const TRect& r) {
  const TRect c = IntersectRect(r, clip_);
  for (int y = c.Top; y < c.Bottom; ++y)
    Span(y, c.Left, c.Right);
}

void TMMDIBCanvas::FillRect(const TRect& r, bool doted) {
  if (!doted) {
    FillRect(r);
    return;
  }
  const TRect c = IntersectRect(r, clip_);
  if (c.IsEmpty()) return;
  const int x0 = c.Left + ((c.Left - r.Left) & 1), y0 = c.Top + ((c.Top - r.Top) & 1);
  for (int y = y0; y < c.Bottom; y += 2)
    for (int x = x0; x < c.Right; x += 2)
      Put(x, y);
}

void TMMDIBCanvas::Clear() {
  FillRect(clip_);
}

void TMMDIBCanvas::CopyRect(int srcX, int srcY, int width, int height, int dstX, int dstY,
                            const std::uint8_t* srcPixels) {
  if (srcPixels == nullptr || clip_.IsEmpty()) return;
  // Clip the source to the memory and the destination to the clip, moving both together.
  std::int64_t sx = srcX, sy = srcY, dx = dstX, dy = dstY, w = width, h = height;
  auto trimLow = [](std::int64_t& a, std::int64_t& b, std::int64_t& len, std::int64_t lo) {
    if (a < lo) {
      len -= lo - a;
      b += lo - a;
      a = lo;
    }
  };
  trimLow(sx, dx, w, 0);
  trimLow(sy, dy, h, 0);
  trimLow(dx, sx, w, clip_.Left);
  trimLow(dy, sy, h, clip_.Top);
  w = std::min({w, builtW_ - sx, std::int64_t{clip_.Right} - dx});
  h = std::min({h, builtH_ - sy, std::int64_t{clip_.Bottom} - dy});
  if (w <= 0 || h <= 0) return;
  const int bytes = builtBpp_ / 8;
  const std::size_t n = static_cast<std::size_t>(w) * bytes;
  // Moving down the image, the lowest rows go first so that no source row is overwritten before
  // it is read; within a row memmove handles any overlap.
  const bool downward = dy > sy;
  for (std::int64_t i = 0; i < h; ++i) {
    const std::int64_t k = downward ? h - 1 - i : i;
    std::memmove(work_.data() + (builtH_ - 1 - (dy + k)) * stride_ + dx * bytes,
                 srcPixels + (builtH_ - 1 - (sy + k)) * stride_ + sx * bytes, n);
  }
}

void TMMDIBCanvas::DrawTo(QPainter* dc, int x, int y, int width, int height, int srcX,
                          int srcY) const {
  if (dc == nullptr || !hasDC_) return;
  std::int64_t sx = srcX, sy = srcY, dx = x, dy = y, w = width, h = height;
  if (sx < 0) w += sx, dx -= sx, sx = 0;
  if (sy < 0) h += sy, dy -= sy, sy = 0;
  w = std::min<std::int64_t>(w, builtW_ - sx);
  h = std::min<std::int64_t>(h, builtH_ - sy);
  if (w <= 0 || h <= 0) return;
  // One pass turns the block upright and into the screen's format in a buffer kept with the
  // surface; Qt then blits it unchanged. (Handing Qt the memory itself, mirrored by a transform
  // or by a copy, costs several times more per frame.)
  const int bw = static_cast<int>(w), bh = static_cast<int>(h);
  const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
  for (int row = 0; row < bh; ++row) {
    const std::uint8_t* src = Row(y0 + row);
    auto* dst = reinterpret_cast<QRgb*>(staging_.scanLine(row));
    if (builtBpp_ == 8) {
      for (int i = 0; i < bw; ++i)
        dst[i] = palette_[src[x0 + i]];
    } else {
      const std::uint8_t* p = src + 3 * x0;
      for (int i = 0; i < bw; ++i, p += 3)
        dst[i] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
    }
  }
  dc->drawImage(QPoint(static_cast<int>(dx), static_cast<int>(dy)), staging_, QRect(0, 0, bw, bh));
}

TMMDIBGraphicControl::TMMDIBGraphicControl(QWidget* parent, TMMComponent* owner)
    : TMMGraphicControl(parent, owner), canvas_(std::make_unique<TMMDIBCanvas>(this)) {}

TMMDIBGraphicControl::~TMMDIBGraphicControl() = default;

void TMMDIBGraphicControl::SetBackGroundDIB(const QImage& value) {
  backGroundDIB_ = value;
  if (InState(csDesigning)) {
    const bool has = !value.isNull();
    if (!has) canvas_->SetPaletteMapped(false);
    SetPaletteRealize(has);
    SetUseBackGroundDIB(has);
  }
  if (useBackGroundDIB_) {
    if (value.isNull()) {
      SetUseBackGroundDIB(false);
    } else {
      canvas_->SetBackGroundBitmap(value);
      update();
    }
  }
}

void TMMDIBGraphicControl::SetUseBackGroundDIB(bool value) {
  if (InState(csLoading)) {
    pendingUseBackGroundDIB_ = value;
    return;
  }
  pendingUseBackGroundDIB_.reset();
  value = value && !backGroundDIB_.isNull();
  if (value == useBackGroundDIB_) return;
  useBackGroundDIB_ = value;
  canvas_->SetBackGroundBitmap(value ? backGroundDIB_ : QImage());
  SetPaletteRealize(value);
  update();
}

void TMMDIBGraphicControl::Loaded() {
  TMMGraphicControl::Loaded();
  if (pendingUseBackGroundDIB_) SetUseBackGroundDIB(*pendingUseBackGroundDIB_);
}

void TMMDIBGraphicControl::SetBitsPerPixel(int value) {
  canvas_->SetBitsPerPixel(value);
  update();
}

void TMMDIBGraphicControl::ClearBackground() {
  if (canvas_->Bits() != nullptr && canvas_->BackBits() != nullptr) {
    canvas_->CopyRect(0, 0, canvas_->Width(), canvas_->Height(), 0, 0, canvas_->BackBits());
  } else {
    canvas_->SetColor(Color());
    canvas_->Clear();
  }
}

void TMMDIBGraphicControl::PaintNow(const std::function<void()>& proc) {
  if (proc) RepaintNow([&](TCanvas&) { proc(); });
}

void TMMDIBGraphicControl::SetBounds(int left, int top, int width, int height) {
  TMMGraphicControl::SetBounds(left, top, width, height);
  canvas_->SetSize(this->width(), this->height());
}

void TMMDIBGraphicControl::resizeEvent(QResizeEvent* event) {
  TMMGraphicControl::resizeEvent(event);
  canvas_->SetSize(width(), height());
}

}  // namespace zq
