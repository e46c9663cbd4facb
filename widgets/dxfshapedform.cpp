#include "widgets/dxfshapedform.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <utility>

#include "widgets/pictures.h"

namespace zq {

namespace {

bool OnWayland() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

std::vector<QRect> PictureRuns(const QImage& picture, QPoint offset) {
  std::vector<QRect> runs;
  if (picture.isNull()) return runs;
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  const QRgb key = image.pixel(0, 0) & 0xFFFFFF;
  const int w = image.width();
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < w) {
      if ((line[x] & 0xFFFFFF) == key) {
        ++x;
        continue;
      }
      const int x0 = x;
      while (x < w && (line[x] & 0xFFFFFF) != key)
        ++x;
      runs.emplace_back(x0 + offset.x(), y + offset.y(), x - x0, 1);
    }
  }
  return runs;
}

QRegion PictureRegion(const QImage& picture, QPoint offset) {
  // Rows with the same runs become one band, which gives the banded, sorted rectangles that
  // QRegion::setRects takes as they are.
  const std::vector<QRect> runs = PictureRuns(picture, offset);
  std::vector<QRect> bands;
  std::size_t lastBand = 0;  // the first rectangle of the last band
  for (std::size_t i = 0; i < runs.size();) {
    std::size_t j = i;
    while (j < runs.size() && runs[j].y() == runs[i].y())
      ++j;
    // Runs i..j are one row; merge it into the last band when that band ends just above it with
    // the same runs.
    const std::size_t prevCount = bands.size() - lastBand;
    bool same = !bands.empty() && prevCount == j - i &&
                bands[lastBand].y() + bands[lastBand].height() == runs[i].y();
    for (std::size_t k = 0; same && k < j - i; ++k)
      same = bands[lastBand + k].x() == runs[i + k].x() &&
             bands[lastBand + k].width() == runs[i + k].width();
    if (same) {
      for (std::size_t k = lastBand; k < bands.size(); ++k)
        bands[k].setHeight(bands[k].height() + 1);
    } else {
      lastBand = bands.size();
      bands.insert(bands.end(), runs.begin() + static_cast<std::ptrdiff_t>(i),
                   runs.begin() + static_cast<std::ptrdiff_t>(j));
    }
    i = j;
  }
  QRegion region;
  if (!bands.empty()) region.setRects(bands.data(), static_cast<int>(bands.size()));
  return region;
}

TdxfShapedForm::TdxfShapedForm(QWidget* owner, QWidget* parent)
    : TMMControl(parent != nullptr ? parent : owner), owner_(owner) {
  if (owner == nullptr || !owner->isWindow())
    throw EdxfShapedFormError("TdxfShapedForm: the owner must be a top-level window");
  if (parentWidget()->window() != owner)
    throw EdxfShapedFormError("TdxfShapedForm: the parent must lie in the owner window");
  frameless_ = owner->windowFlags().testFlag(Qt::FramelessWindowHint);
  resize(105, 105);
}

void TdxfShapedForm::SetPicture(const QImage& value) {
  picture_ = value;
  keyed_ = QImage();
  if (!picture_.isNull()) {
    keyed_ = KeyedPicture(picture_, PixelColor(picture_, 0, 0));
  }
  if (autoSize_ && !picture_.isNull()) resize(picture_.size());
  update();
}

void TdxfShapedForm::SetAutoSize(bool value) {
  autoSize_ = value;
  if (autoSize_ && !picture_.isNull()) resize(picture_.size());
}

void TdxfShapedForm::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  update();
}

void TdxfShapedForm::SetActive(bool value) {
  active_ = value;
  if (InState(csDesigning)) return;
  if (value)
    Shape();
  else
    Unshape();
}

void TdxfShapedForm::SetFrameless(bool frameless) {
  if (owner_->windowFlags().testFlag(Qt::FramelessWindowHint) == frameless) return;
  const bool visible = owner_->isVisible();
  owner_->setWindowFlag(Qt::FramelessWindowHint, frameless);
  if (visible && !owner_->isVisible()) owner_->show();
}

void TdxfShapedForm::SetTranslucent(bool translucent) {
  if (translucent == translucent_) return;
  translucent_ = translucent;
  owner_->setAttribute(Qt::WA_TranslucentBackground, translucent);
  update();
}

void TdxfShapedForm::Shape() {
  // The frame to give back is the one before the first shaping, not the frameless one of an
  // earlier shaping.
  if (!std::exchange(shaped_, true))
    frameless_ = owner_->windowFlags().testFlag(Qt::FramelessWindowHint);
  if (picture_.isNull()) return;
  SetFrameless(true);
  const QRegion region = PictureRegion(picture_, mapTo(owner_, QPoint(0, 0)));
  if (region.isEmpty()) {
    owner_->clearMask();
  } else {
    owner_->setMask(region);
    if (OnWayland()) SetTranslucent(true);
  }
  owner_->update();
}

void TdxfShapedForm::Unshape() {
  owner_->clearMask();
  SetTranslucent(false);
  owner_->update();
  if (std::exchange(shaped_, false)) SetFrameless(frameless_);
}

void TdxfShapedForm::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, transparent_ || translucent_ ? keyed_ : picture_);
}

bool TdxfShapedForm::MovesFrom(QPoint p) const {
  if (alwaysMove_) return true;
  if (!QRect(QPoint(0, 0), picture_.size()).contains(p)) return false;
  return PixelColor(picture_, p.x(), p.y()) == ColorToRGB(captionColor_);
}

void TdxfShapedForm::mousePressEvent(QMouseEvent* event) {
  TMMControl::mousePressEvent(event);
  if (!active_ || event->button() != Qt::LeftButton) return;
  if (!MovesFrom(event->position().toPoint())) return;
  QWindow* window = owner_->windowHandle();
  if (window != nullptr && window->startSystemMove()) return;
  following_ = true;
  grab_ = event->globalPosition().toPoint() - owner_->pos();
}

void TdxfShapedForm::mouseMoveEvent(QMouseEvent* event) {
  TMMControl::mouseMoveEvent(event);
  if (following_ && (event->buttons() & Qt::LeftButton))
    owner_->move(event->globalPosition().toPoint() - grab_);
}

void TdxfShapedForm::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) following_ = false;
  TMMControl::mouseReleaseEvent(event);
}

}  // namespace zq
