#include "widgets/mmleds.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <list>
#include <memory>

#include "widgets/accessibility.h"
#include "widgets/pictures.h"

namespace zq {

namespace {

struct CacheEntry {
  TDigitCache::Key key;
  QImage sheet;
  int users = 0;
};

// Made with the first entry and freed with the last; a list, so sheets never move.
std::unique_ptr<std::list<CacheEntry>>& Cache() {
  static std::unique_ptr<std::list<CacheEntry>> cache;
  return cache;
}

// A spin box: the spinner's value, read and set by assistive technology.
class LEDSpinAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit LEDSpinAccessible(TMMLEDSpin* spin) : QAccessibleWidget(spin, QAccessible::SpinBox) {}
  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(spin()->Value());
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return widget()->toolTip();
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return qlonglong{spin()->Value()}; }
  void setCurrentValue(const QVariant& value) override { spin()->SetValue(value.toLongLong()); }
  QVariant maximumValue() const override { return qlonglong{spin()->MaxValue()}; }
  QVariant minimumValue() const override { return qlonglong{spin()->MinValue()}; }
  QVariant minimumStepSize() const override { return qlonglong{spin()->Increment()}; }

 private:
  TMMLEDSpin* spin() const { return static_cast<TMMLEDSpin*>(widget()); }
};

ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  if (auto* spin = dynamic_cast<TMMLEDSpin*>(o)) return new LEDSpinAccessible(spin);
  if (auto* panel = dynamic_cast<TMMLEDPanel*>(o))
    return new AccessibleText(panel, [panel] { return QString::number(panel->Value()); });
  return nullptr;
});

// The number of decimal digits of n (1 for 0).
int DecimalDigits(std::uint64_t n) {
  int count = 1;
  while (n >= 10) {
    n /= 10;
    ++count;
  }
  return count;
}

}  // namespace

// --- TDigitCache ---

const QImage* TDigitCache::Acquire(const Key& key) {
  auto& cache = Cache();
  if (!cache) cache = std::make_unique<std::list<CacheEntry>>();
  for (CacheEntry& e : *cache)
    if (e.key == key) {
      ++e.users;
      return &e.sheet;
    }
  const QImage raw = LoadPicture(LcdSheetName(key.size, key.symbols));
  const TColor unlit = key.drawInactive ? key.inactive : key.background;
  cache->push_back({key, RecolorSheet(raw, key.lit, unlit, key.background), 1});
  return &cache->back().sheet;
}

void TDigitCache::Release(const QImage* sheet) {
  auto& cache = Cache();
  if (sheet == nullptr || !cache) return;
  for (auto it = cache->begin(); it != cache->end(); ++it)
    if (&it->sheet == sheet) {
      if (--it->users == 0) cache->erase(it);
      break;
    }
  if (cache->empty()) cache.reset();
}

bool TDigitCache::Exists() {
  return Cache() != nullptr;
}

int TDigitCache::Entries() {
  return Cache() ? static_cast<int>(Cache()->size()) : 0;
}

int TDigitCache::UseCount(const Key& key) {
  if (!Cache()) return 0;
  for (const CacheEntry& e : *Cache())
    if (e.key == key) return e.users;
  return 0;
}

// --- TMMCustomLEDDigit ---

TMMCustomLEDDigit::TMMCustomLEDDigit(QWidget* parent, TMMComponent* owner)
    : TMMGraphicControl(parent, owner) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  if (auto* p = dynamic_cast<TMMControl*>(parent)) SetColor(p->Color());
  LookupSheet();
}

TMMCustomLEDDigit::~TMMCustomLEDDigit() {
  Destroying();
  SetConnect(nullptr);
  TDigitCache::Release(sheet_);
}

template <class T>
void TMMCustomLEDDigit::Write(T value) {
  if (cascadeValues_ && connect_ != nullptr) connect_->Write(value / 10);
  const int v = static_cast<int>(value % 10);
  if (v == value_ || v < minValue_ || v > maxValue_) return;
  value_ = v;
  update();
}

void TMMCustomLEDDigit::SetValue(std::int64_t value) {
  Write(value);
}

void TMMCustomLEDDigit::SetMagnitude(std::uint64_t value) {
  Write(value);
}

void TMMCustomLEDDigit::SetMinValue(int value) {
  if (value < 0 || value > 9) return;
  minValue_ = value;
}

void TMMCustomLEDDigit::SetMaxValue(int value) {
  if (value < 0 || value > 9) return;
  maxValue_ = value;
}

void TMMCustomLEDDigit::SetDisplayType(TMMLEDType value) {
  if (value == displayType_) return;
  const bool sheetChanges = (value == ltDigit) != (displayType_ == ltDigit);
  displayType_ = value;
  if (sheetChanges)
    LookupSheet();
  else
    update();
}

void TMMCustomLEDDigit::SetDigitSize(TMMLEDSize value) {
  if (value == digitSize_) return;
  digitSize_ = value;
  LookupSheet();
}

void TMMCustomLEDDigit::SetLEDColor(TColor value) {
  if (value == ledColor_) return;
  ledColor_ = value;
  LookupSheet();
}

void TMMCustomLEDDigit::SetInactiveColor(TColor value) {
  if (value == inactiveColor_) return;
  inactiveColor_ = value;
  LookupSheet();
}

void TMMCustomLEDDigit::SetDrawInactive(bool value) {
  if (value == drawInactive_) return;
  drawInactive_ = value;
  LookupSheet();
}

void TMMCustomLEDDigit::SetZeroBlank(bool value) {
  if (value == zeroBlank_) return;
  zeroBlank_ = value;
  update();
}

void TMMCustomLEDDigit::SetConnect(TMMCustomLEDDigit* value) {
  if (value == connect_) return;
  if (connect_ != nullptr) RemoveFreeNotification(connect_);
  connect_ = value;
  if (connect_ != nullptr) FreeNotification(connect_);
}

void TMMCustomLEDDigit::Notification(TMMComponent* component, TOperation operation) {
  TMMGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == connect_) connect_ = nullptr;
}

void TMMCustomLEDDigit::ColorChanged() {
  LookupSheet();
}

void TMMCustomLEDDigit::Loaded() {
  TMMGraphicControl::Loaded();
  LookupSheet();
}

void TMMCustomLEDDigit::LookupSheet() {
  if (InState(csLoading)) return;
  const TDigitCache::Key key{displayType_ != ltDigit, digitSize_, drawInactive_, Color(),
                             inactiveColor_,          ledColor_};
  const QImage* previous = sheet_;
  sheet_ = TDigitCache::Acquire(key);
  TDigitCache::Release(previous);
  const TLcdCell cell = LcdCell(digitSize_);
  setFixedSize(cell.width, cell.height);
  update();
}

int TMMCustomLEDDigit::Cell() const {
  if (!isEnabled()) return 0;
  switch (displayType_) {
    case ltDigit:
      return zeroBlank_ && value_ == 0 ? 0 : value_ + 1;
    case ltPeriod:
      return kLcdPointCell;
    case ltColon:
      return kLcdColonCell;
    case ltMinus:
      return kLcdMinusCell;
  }
  return 0;
}

void TMMCustomLEDDigit::Paint(TCanvas& canvas) {
  // No frame: the cell covers the whole digit.
  if (sheet_ == nullptr) {
    canvas.SetBrushColor(Color());
    canvas.FillRect({0, 0, width(), height()});
    return;
  }
  const TLcdCell cell = LcdCell(digitSize_);
  canvas.Handle()->drawImage(0, 0, *sheet_, Cell() * cell.width, 0, cell.width, cell.height);
}

// --- TMMLEDPanel ---

TMMLEDPanel::TMMLEDPanel(QWidget* parent, TMMComponent* owner) : TMMCustomPanel(parent, owner) {
  SetColor(clBlack);
  MakeDigits(2);
}

TMMLEDPanel::~TMMLEDPanel() {
  Destroying();
}

void TMMLEDPanel::MakeDigits(int count) {
  for (TMMLEDDigit* d : digits_)
    delete d;
  digits_.clear();
  for (int k = 1; k <= count; ++k) {
    auto* d = new TMMLEDDigit(this);
    if (InState(csLoading)) d->BeginLoading();
    d->SetColor(Color());
    d->SetDigitSize(digitSize_);
    d->SetLEDColor(ledColor_);
    d->SetInactiveColor(inactiveColor_);
    d->SetDrawInactive(drawInactive_);
    d->show();
    digits_.push_back(d);
  }
  for (std::size_t i = 0; i + 1 < digits_.size(); ++i) {
    digits_[i]->SetConnect(digits_[i + 1]);
    digits_[i]->SetCascadeValues(true);
  }
}

void TMMLEDPanel::ShowValue() {
  if (InState(csLoading)) return;
  const std::uint64_t magnitude = value_ < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value_)
                                             : static_cast<std::uint64_t>(value_);
  const int significant = DecimalDigits(magnitude);
  for (int k = 1; k <= NumDigits(); ++k)
    Digit(k)->SetZeroBlank(zeroBlank_ && k > 1 && k > significant);
  Digit(1)->SetMagnitude(magnitude);
  Digit(NumDigits())->SetDisplayType(value_ < 0 ? ltMinus : ltDigit);
}

void TMMLEDPanel::SetNumDigits(int value) {
  if (value < 1 || value > 9 || value == NumDigits()) return;
  MakeDigits(value);
  ShowValue();
  Relayout();
}

void TMMLEDPanel::SetValue(std::int64_t value) {
  if (InState(csLoading)) {
    value_ = value;
    return;
  }
  const std::int64_t v = Clamp(value, minValue_, maxValue_);
  if (v == value_) return;
  value_ = v;
  ShowValue();
  if (OnChange) OnChange(this);
}

void TMMLEDPanel::SetMinValue(std::int64_t value) {
  minValue_ = value;
  SetValue(value_);
}

void TMMLEDPanel::SetMaxValue(std::int64_t value) {
  maxValue_ = value;
  SetValue(value_);
}

void TMMLEDPanel::SetDigitSize(TMMLEDSize value) {
  if (value == digitSize_) return;
  digitSize_ = value;
  ForDigits([value](TMMLEDDigit* d) { d->SetDigitSize(value); });
  Relayout();
}

void TMMLEDPanel::SetLEDSpace(int value) {
  if (value <= 0 || value == ledSpace_) return;
  ledSpace_ = value;
  Relayout();
}

void TMMLEDPanel::SetLEDColor(TColor value) {
  ledColor_ = value;
  ForDigits([value](TMMLEDDigit* d) { d->SetLEDColor(value); });
}

void TMMLEDPanel::SetInactiveColor(TColor value) {
  inactiveColor_ = value;
  ForDigits([value](TMMLEDDigit* d) { d->SetInactiveColor(value); });
}

void TMMLEDPanel::SetDrawInactive(bool value) {
  drawInactive_ = value;
  ForDigits([value](TMMLEDDigit* d) { d->SetDrawInactive(value); });
}

void TMMLEDPanel::SetZeroBlank(bool value) {
  if (value == zeroBlank_) return;
  zeroBlank_ = value;
  ShowValue();
}

void TMMLEDPanel::ColorChanged() {
  const TColor c = Color();
  ForDigits([c](TMMLEDDigit* d) { d->SetColor(c); });
  update();
}

QSize TMMLEDPanel::LayoutSize() const {
  const TLcdCell cell = LcdCell(digitSize_);
  const int e = BevelExtent(), n = NumDigits();
  return {2 * e + (cell.width + ledSpace_) * n - ledSpace_, 2 * e + cell.height};
}

void TMMLEDPanel::SetBounds(int left, int top, int width, int height) {
  if (!InState(csLoading)) {
    const QSize s = LayoutSize();
    width = s.width();
    height = s.height();
    const TLcdCell cell = LcdCell(digitSize_);
    const int e = BevelExtent(), n = NumDigits();
    for (int k = 1; k <= n; ++k)
      Digit(k)->move(e + (n - k) * (cell.width + ledSpace_), e);
  }
  setFixedSize(width, height);
  setGeometry(left, top, width, height);
  update();
}

void TMMLEDPanel::Relayout() {
  if (InState(csLoading)) return;
  SetBounds(x(), y(), width(), height());
}

void TMMLEDPanel::BevelChanged() {
  TMMCustomPanel::BevelChanged();
  Relayout();
}

void TMMLEDPanel::resizeEvent(QResizeEvent* event) {
  TMMCustomPanel::resizeEvent(event);
  if (OnResize) OnResize(this);
}

void TMMLEDPanel::BeginLoading() {
  TMMCustomPanel::BeginLoading();
  ForDigits([](TMMLEDDigit* d) { d->BeginLoading(); });
}

void TMMLEDPanel::EndLoading() {
  ForDigits([](TMMLEDDigit* d) { d->EndLoading(); });
  TMMCustomPanel::EndLoading();
}

void TMMLEDPanel::Loaded() {
  TMMCustomPanel::Loaded();
  value_ = Clamp(value_, minValue_, maxValue_);
  ShowValue();
  Relayout();
}

// --- TMMLEDSpin ---

TMMLEDSpin::TMMLEDSpin(QWidget* parent, const Services& services, TMMComponent* owner)
    : TMMWinControl(parent, owner),
      panel_(new TMMLEDPanel(this)),
      spin_(new TMMSpinButton(this, services)) {
  SetColor(clBlack);
  setFocusPolicy(Qt::NoFocus);
  setFocusProxy(spin_);
  spin_->OnChange = [this](TMMControl*) { SetValue(spin_->Value()); };
  spin_->OnUpClick = [this](TMMControl*) {
    if (OnUpClick) OnUpClick(this);
  };
  spin_->OnDownClick = [this](TMMControl*) {
    if (OnDownClick) OnDownClick(this);
  };
  panel_->OnResize = [this](TMMControl*) { Relayout(); };
  // The panel's mouse events (its digits' included) are the spinner's.
  auto here = [this](int x, int y) { return panel_->mapTo(this, QPoint(x, y)); };
  panel_->OnMouseDown = [this, here](TMMControl*, TMouseButton b, Qt::KeyboardModifiers s, int x,
                                     int y) {
    FocusSpinButton();
    const QPoint p = here(x, y);
    if (OnMouseDown) OnMouseDown(this, b, s, p.x(), p.y());
  };
  panel_->OnMouseMove = [this, here](TMMControl*, Qt::KeyboardModifiers s, int x, int y) {
    const QPoint p = here(x, y);
    if (OnMouseMove) OnMouseMove(this, s, p.x(), p.y());
  };
  panel_->OnMouseUp = [this, here](TMMControl*, TMouseButton b, Qt::KeyboardModifiers s, int x,
                                   int y) {
    const QPoint p = here(x, y);
    if (OnMouseUp) OnMouseUp(this, b, s, p.x(), p.y());
  };
  panel_->OnClick = [this](TMMControl*) {
    if (OnClick) OnClick(this);
  };
  panel_->OnDblClick = [this](TMMControl*) {
    if (OnDblClick) OnDblClick(this);
  };
  spin_->SetMinValue(panel_->MinValue());
  spin_->SetMaxValue(panel_->MaxValue());
  Relayout();
}

TMMLEDSpin::~TMMLEDSpin() {
  Destroying();
  panel_->OnResize = nullptr;
  spin_->OnChange = nullptr;
}

void TMMLEDSpin::SetValue(std::int64_t value) {
  if (InState(csLoading)) {
    panel_->SetValue(value);
    spin_->SetValue(value);
    return;
  }
  if (value == panel_->Value() || !isEnabled()) return;
  const std::int64_t v = Clamp(value, MinValue(), MaxValue());
  if (v == panel_->Value()) return;
  panel_->SetValue(v);
  spin_->SetValue(v);
  if (OnChange) OnChange(this);
}

void TMMLEDSpin::LimitsWritten(std::int64_t before) {
  if (!InState(csLoading) && Value() != before && OnChange) OnChange(this);
}

void TMMLEDSpin::SetMinValue(std::int64_t value) {
  const std::int64_t before = Value();
  panel_->SetMinValue(value);
  spin_->SetMinValue(value);
  LimitsWritten(before);
}

void TMMLEDSpin::SetMaxValue(std::int64_t value) {
  const std::int64_t before = Value();
  panel_->SetMaxValue(value);
  spin_->SetMaxValue(value);
  LimitsWritten(before);
}

void TMMLEDSpin::SetUpGlyph(const QImage& value) {
  spin_->SetUpGlyph(value);
  Relayout();
}

void TMMLEDSpin::SetDownGlyph(const QImage& value) {
  spin_->SetDownGlyph(value);
  Relayout();
}

void TMMLEDSpin::SetUpNumGlyphs(int value) {
  spin_->SetUpNumGlyphs(value);
  Relayout();
}

void TMMLEDSpin::SetDownNumGlyphs(int value) {
  spin_->SetDownNumGlyphs(value);
  Relayout();
}

void TMMLEDSpin::SetButtonFace(bool value) {
  spin_->SetButtonFace(value);
  Relayout();
}

void TMMLEDSpin::SetMiddleButton(bool value) {
  spin_->SetMiddleButton(value);
  Relayout();
}

void TMMLEDSpin::SetSpace(int value) {
  if (value == space_) return;
  space_ = value;
  Relayout();
}

void TMMLEDSpin::ColorChanged() {
  panel_->SetColor(Color());
}

QSize TMMLEDSpin::LayoutSize() {
  spin_->SetBounds(spin_->x(), spin_->y(), 1, 1);
  return {panel_->width() + space_ + spin_->width(), std::max(panel_->height(), spin_->height())};
}

void TMMLEDSpin::SetBounds(int left, int top, int width, int height) {
  if (!InState(csLoading)) {
    const QSize s = LayoutSize();
    width = s.width();
    height = s.height();
    spin_->SetBounds(width - spin_->width(), 0, spin_->width(), height);
    panel_->SetBounds(0, height - panel_->height(), panel_->width(), panel_->height());
  }
  setFixedSize(width, height);
  setGeometry(left, top, width, height);
}

void TMMLEDSpin::Relayout() {
  if (InState(csLoading)) return;
  SetBounds(x(), y(), width(), height());
}

void TMMLEDSpin::BeginLoading() {
  TMMWinControl::BeginLoading();
  panel_->BeginLoading();
  spin_->BeginLoading();
}

void TMMLEDSpin::EndLoading() {
  panel_->EndLoading();
  spin_->EndLoading();
  TMMWinControl::EndLoading();
}

void TMMLEDSpin::Loaded() {
  TMMWinControl::Loaded();
  Relayout();
}

void TMMLEDSpin::FocusSpinButton() {
  if (spin_->TabStop() && spin_->isEnabled() && spin_->isVisible())
    spin_->setFocus(Qt::MouseFocusReason);
}

void TMMLEDSpin::mousePressEvent(QMouseEvent* event) {
  FocusSpinButton();
  TMMWinControl::mousePressEvent(event);
}

}  // namespace zq
