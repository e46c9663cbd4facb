#include "widgets/mmlabel.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <initializer_list>

#include "widgets/accessibility.h"
#include "widgets/desktopbrowser.h"
#include "widgets/fonts.h"
#include "widgets/pointers.h"

namespace zq {

namespace {

struct Vector {
  int x, y;
};

constexpr Vector kDirections[] = {{0, 0}, {0, -1}, {1, -1}, {1, 0},  {1, 1},
                                  {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};

QFont Unantialiased(QFont font) {
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// The maker's line: a link whose press action opens the address.
class MakerLineAccessible : public QAccessibleWidget {
 public:
  explicit MakerLineAccessible(TMakerLine* line) : QAccessibleWidget(line, QAccessible::Link) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return line()->Caption();
    if (t == QAccessible::Value) return QString::fromLatin1(kMakerAddress);
    return QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction()) line()->Open();
  }

 private:
  TMakerLine* line() const { return static_cast<TMakerLine*>(widget()); }
};

ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  if (auto* line = dynamic_cast<TMakerLine*>(o)) return new MakerLineAccessible(line);
  if (auto* label = dynamic_cast<TMMLabel*>(o))
    return new AccessibleText(label, [label] { return label->Caption(); });
  return nullptr;
});

}  // namespace

TMMLabel::TMMLabel(QWidget* parent, TMMComponent* owner)
    : TMMGraphicControl(parent, owner), font_(Unantialiased(WindowsFont("Times New Roman", 20))) {
  setAttribute(Qt::WA_OpaquePaintEvent, !transparent_);
  resize(142, 33);
}

void TMMLabel::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  update();
}

void TMMLabel::SetFont(const QFont& value) {
  font_ = Unantialiased(value);
  update();
}

void TMMLabel::SetFontColor(TColor value) {
  if (value == fontColor_) return;
  fontColor_ = value;
  update();
}

void TMMLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  update();
}

void TMMLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  setAttribute(Qt::WA_OpaquePaintEvent, !value);
  update();
}

void TMMLabel::SetBitmap(const QImage& value) {
  bitmap_ = value;
  update();
}

void TMMLabel::SetEffectStyle(TMMLabelStyle value) {
  if (value == effectStyle_) return;
  effectStyle_ = value;
  colourHighlight_ = clWhite;
  auto preset = [this](TMMLabelDirection hd, int h, TMMLabelDirection sd, int s) {
    directionHighlight_ = hd;
    depthHighlight_ = h;
    directionShadow_ = sd;
    depthShadow_ = s;
  };
  switch (value) {
    case lsNone:
      preset(ldNone, 0, ldNone, 0);
      asButton_ = false;
      break;
    case lsCustom:
      asButton_ = false;
      break;
    case lsRaised:
      preset(ldUpLeft, 1, ldDownRight, 1);
      break;
    case lsSunken:
      preset(ldDownRight, 1, ldUpLeft, 1);
      break;
    case lsShadow:
      preset(ldNone, 0, ldDownRight, 2);
      asButton_ = false;
      break;
    case lsFlying:
      preset(ldDownRight, 1, ldDownRight, 5);
      colourHighlight_ = clGray;
      asButton_ = false;
      break;
  }
  update();
}

void TMMLabel::ToCustom() {
  effectStyle_ = lsCustom;
  update();
}

void TMMLabel::SetDepthHighlight(int value) {
  value = std::clamp(value, 0, 255);
  if (value == depthHighlight_) return;
  depthHighlight_ = value;
  ToCustom();
}

void TMMLabel::SetDepthShadow(int value) {
  value = std::clamp(value, 0, 255);
  if (value == depthShadow_) return;
  depthShadow_ = value;
  ToCustom();
}

void TMMLabel::SetDirectionHighlight(TMMLabelDirection value) {
  if (value == directionHighlight_) return;
  directionHighlight_ = value;
  ToCustom();
}

void TMMLabel::SetDirectionShadow(TMMLabelDirection value) {
  if (value == directionShadow_) return;
  directionShadow_ = value;
  ToCustom();
}

void TMMLabel::SetColourHighlight(TColor value) {
  if (value == colourHighlight_) return;
  colourHighlight_ = value;
  update();
}

void TMMLabel::SetColourShadow(TColor value) {
  if (value == colourShadow_) return;
  colourShadow_ = value;
  update();
}

void TMMLabel::SetStyleHighlight(TMMLabelOption value) {
  if (value == styleHighlight_) return;
  styleHighlight_ = value;
  update();
}

void TMMLabel::SetStyleShadow(TMMLabelOption value) {
  if (value == styleShadow_) return;
  styleShadow_ = value;
  update();
}

void TMMLabel::SetAsButton(bool value) {
  if (value == asButton_) return;
  asButton_ = value;
  if (value) SetEffectStyle(lsRaised);
}

void TMMLabel::SetAngle(int value) {
  if (value == angle_) return;
  angle_ = value;
  update();
}

void TMMLabel::DrawText(QPainter& painter, int dx, int dy) const {
  painter.save();
  painter.setFont(font_);
  if (angle_ == 0) {
    const int flags = Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs |
                      (alignment_ == taRightJustify ? Qt::AlignRight
                       : alignment_ == taCenter     ? Qt::AlignHCenter
                                                    : Qt::AlignLeft);
    painter.drawText(QRect(dx, dy, width(), height()), flags, caption_);
  } else {
    const QFontMetrics fm(font_);
    const int tw = fm.horizontalAdvance(caption_), th = fm.height();
    painter.translate(width() / 2 + dx, height() / 2 + dy);
    painter.rotate(-angle_);
    painter.drawText(QRect(-tw / 2, -th / 2, tw, th), Qt::AlignLeft | Qt::AlignTop, caption_);
  }
  painter.restore();
}

void TMMLabel::Paint(TCanvas& canvas) {
  QPainter& painter = *canvas.Handle();
  if (!transparent_) {
    if (angle_ == 0) {
      painter.fillRect(rect(), ToQColor(Color()));
    } else {
      const QFontMetrics fm(font_);
      const int tw = fm.horizontalAdvance(caption_), th = fm.height();
      painter.save();
      painter.translate(width() / 2, height() / 2);
      painter.rotate(-angle_);
      painter.fillRect(QRect(-tw / 2, -th / 2, tw, th), ToQColor(Color()));
      painter.restore();
    }
  }
  const Vector h = kDirections[directionHighlight_], s = kDirections[directionShadow_];
  int lo = 0, hi = 0;
  for (int v :
       {h.x * depthHighlight_, h.y * depthHighlight_, s.x * depthShadow_, s.y * depthShadow_}) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  const int shift = angle_ != 0 || alignment_ == taLeftJustify ? 0
                    : alignment_ == taRightJustify             ? hi - lo
                                                               : (hi - lo) / 2;
  auto copies = [&](Vector v, int depth, TMMLabelOption style, TColor colour) {
    if (depth <= 0) return;
    painter.setPen(ToQColor(colour));
    for (int d = depth; d >= (style == loExtrude ? 1 : depth); --d)
      DrawText(painter, d * v.x - lo - shift, d * v.y - lo);
  };
  copies(s, depthShadow_, styleShadow_, colourShadow_);
  copies(h, depthHighlight_, styleHighlight_, colourHighlight_);
  if (bitmap_.isNull()) {
    painter.setPen(ToQColor(fontColor_));
    DrawText(painter, -lo - shift, -lo);
  } else {
    // The letters as a window onto the tiled picture.
    QImage letters(size(), QImage::Format_ARGB32_Premultiplied);
    letters.fill(Qt::transparent);
    QPainter p(&letters);
    p.setPen(Qt::black);
    DrawText(p, -lo - shift, -lo);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(letters.rect(), QBrush(bitmap_));
    p.end();
    painter.drawImage(0, 0, letters);
  }
  Bevel().PaintBevel(canvas, {0, 0, width(), height()});
}

void TMMLabel::mousePressEvent(QMouseEvent* event) {
  TMMGraphicControl::mousePressEvent(event);
  if (asButton_ && event->button() == Qt::LeftButton) {
    pressed_ = true;
    SetEffectStyle(lsSunken);
  }
}

void TMMLabel::mouseMoveEvent(QMouseEvent* event) {
  TMMGraphicControl::mouseMoveEvent(event);
  if (pressed_ && asButton_)
    SetEffectStyle(rect().contains(event->position().toPoint()) ? lsSunken : lsRaised);
}

void TMMLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (pressed_ && event->button() == Qt::LeftButton) {
    pressed_ = false;
    if (asButton_) SetEffectStyle(lsRaised);
  }
  TMMGraphicControl::mouseReleaseEvent(event);
}

TMakerLine::TMakerLine(QWidget* parent, const Services& services, TMMComponent* owner)
    : TMMLabel(parent, owner), services_(services) {
  SetCursor(crHandPoint);
  SetCaption(QStringLiteral("www.zelto.example"));
}

void TMakerLine::Open() {
  if (BrowserOf(services_).Open(kMakerAddress)) return;
  services_.messages->ShowError(std::string("Não foi possível abrir o endereço ") + kMakerAddress);
}

void TMakerLine::Click() {
  TMMLabel::Click();
  Open();
}

}  // namespace zq
