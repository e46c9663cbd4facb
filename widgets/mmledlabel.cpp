#include "widgets/mmledlabel.h"

#include <QPainter>
#include <algorithm>
#include <array>

#include "widgets/accessibility.h"
#include "widgets/pictures.h"

namespace zq {

namespace {

// The characters Windows-1252 puts at 128 to 159; 0 where the code page leaves the code free.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 128
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 136
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 144
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 152
};

std::uint8_t CodeOf(char32_t c) {
  if (c <= 0x7F || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
  // The code page's free codes come from the C1 controls of the same number.
  if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D)
    return static_cast<std::uint8_t>(c);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i)
    if (kCp1252High[i] != 0 && kCp1252High[i] == c) return static_cast<std::uint8_t>(128 + i);
  return 32;
}

ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  auto* label = dynamic_cast<TMMLEDLABEL*>(o);
  if (label == nullptr) return nullptr;
  return new AccessibleText(label, [label] { return label->Caption(); });
});

}  // namespace

std::vector<std::uint8_t> LedCodes(const QString& caption) {
  std::vector<std::uint8_t> codes;
  for (char32_t c : caption.normalized(QString::NormalizationForm_C).toUcs4())
    codes.push_back(CodeOf(c));
  return codes;
}

char32_t LedCharacter(std::uint8_t code) {
  if (code < 128 || code >= 160) return code;
  const char32_t c = kCp1252High[code - 128];
  return c != 0 ? c : code;
}

int LedGlyph(int code) {
  switch (code) {
    case 196:
    case 228:
      return 135;
    case 214:
    case 246:
      return 140;
    case 220:
    case 252:
      return 137;
    case 223:
      return 149;
    case 177:
      return 150;
    default:
      return code >= 32 && code <= 157 ? code : 32;
  }
}

const char* LedSheetName(TMMLEDFontSize size) {
  switch (size) {
    case fs11x13:
      return "FONT_11X13";
    case fs11x13_bold:
      return "FONT_11X13_BOLD";
    case fs16x20:
      break;
  }
  return "FONT_16X20";
}

TMMLEDLABEL::TMMLEDLABEL(QWidget* parent, const Services& services, TMMComponent* owner)
    : TMMGraphicControl(parent, owner), timer_(services.timers->CreateTimer()) {
  timer_->SetInterval(Period());
  timer_->SetOnTimer([this] { Tick(); });
  SetColor(clBlack);          // loads the sheet
  Bevel().SetBorderSpace(2);  // lays the label out
}

TMMLEDLABEL::~TMMLEDLABEL() {
  timer_->Stop();
}

void TMMLEDLABEL::LoadSheet() {
  const TColor unlit = drawInactive_ ? inactiveColor_ : Color();
  sheet_ = RecolorSheet(LoadPicture(QString::fromLatin1(LedSheetName(fontSize_))), ledColor_, unlit,
                        Color());
  ++recolorings_;
  cw_ = sheet_.width() / 63;
  ch_ = std::max(0, (sheet_.height() - 2) / 2);
}

int TMMLEDLABEL::WidthFor(int cells) const {
  const std::int64_t e = BevelExtent(), sp = ledSpace_, pitch = cw_ + sp - 1;
  return static_cast<int>(
      std::clamp<std::int64_t>(2 * e + pitch * cells - (sp - 1), 0, QWIDGETSIZE_MAX));
}

QSize TMMLEDLABEL::Rule(int width) {
  const std::int64_t e = BevelExtent(), sp = ledSpace_, pitch = cw_ + sp - 1;
  if (autoSize_)
    numChars_ = static_cast<int>(codes_.size());
  else
    numChars_ = pitch > 0
                    ? static_cast<int>(std::max<std::int64_t>(0, (width - 2 * e + sp - 1) / pitch))
                    : 0;
  if (align_ != alTop && align_ != alBottom) width = WidthFor(numChars_);
  return {width, static_cast<int>(2 * e) + ch_};
}

void TMMLEDLABEL::HoldSize(int width, int height) {
  if (align_ == alTop || align_ == alBottom) {
    setMinimumSize(0, height);
    setMaximumSize(QWIDGETSIZE_MAX, height);
  } else {
    setFixedSize(width, height);
  }
}

void TMMLEDLABEL::SetBounds(int left, int top, int width, int height) {
  if (!InState(csLoading)) {
    const QSize s = Rule(width);
    width = s.width();
    height = s.height();
  }
  HoldSize(width, height);
  setGeometry(left, top, width, height);
}

void TMMLEDLABEL::Layout() {
  if (InState(csLoading)) return;
  const QSize s = Rule(width());
  if (s == size()) {
    HoldSize(s.width(), s.height());
  } else {
    SetBounds(x(), y(), s.width(), s.height());
  }
  update();
}

void TMMLEDLABEL::Loaded() {
  TMMGraphicControl::Loaded();
  Layout();
}

void TMMLEDLABEL::BevelChanged() {
  Layout();
}

void TMMLEDLABEL::ColorChanged() {
  LoadSheet();
  Layout();
}

void TMMLEDLABEL::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  codes_ = LedCodes(value);
  Layout();
}

void TMMLEDLABEL::SetFontSize(TMMLEDFontSize value) {
  if (value == fontSize_) return;
  fontSize_ = value;
  LoadSheet();
  Layout();
}

void TMMLEDLABEL::SetNumChars(int value) {
  if (value < 0 || value == numChars_) return;
  if (autoSize_) {
    Layout();  // the caption decides
    return;
  }
  SetBounds(x(), y(), WidthFor(value), height());
  update();
}

void TMMLEDLABEL::SetLEDSpace(int value) {
  if (value <= 0 || value == ledSpace_) return;
  ledSpace_ = value;
  Layout();
}

void TMMLEDLABEL::SetLEDColor(TColor value) {
  if (value == ledColor_) return;
  ledColor_ = value;
  LoadSheet();
  Layout();
}

void TMMLEDLABEL::SetInactiveColor(TColor value) {
  if (value == inactiveColor_) return;
  inactiveColor_ = value;
  LoadSheet();
  Layout();
}

void TMMLEDLABEL::SetDrawInactive(bool value) {
  if (value == drawInactive_) return;
  drawInactive_ = value;
  LoadSheet();
  Layout();
}

void TMMLEDLABEL::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  update();
}

void TMMLEDLABEL::SetAlign(TAlign value) {
  if (value == align_) return;
  align_ = value;
  Layout();
}

void TMMLEDLABEL::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  Layout();
}

void TMMLEDLABEL::SetAutoScroll(bool value) {
  if (value == autoScroll_) return;
  autoScroll_ = value;
  if (value)
    StartMarquee();
  else
    timer_->Stop();
  shownStep_ = currentStep_;
  update();
}

std::int64_t TMMLEDLABEL::Period() const {
  return std::max(scrollSpeed_, 10);
}

void TMMLEDLABEL::SetScrollSpeed(int value) {
  if (value == scrollSpeed_) return;
  scrollSpeed_ = value;
  timer_->SetInterval(Period());
}

void TMMLEDLABEL::SetStartStep(int value) {
  if (value < 0 || value > static_cast<int>(codes_.size())) return;
  startStep_ = currentStep_ = shownStep_ = value;
  update();
}

void TMMLEDLABEL::SetCurrentStep(int value) {
  if (value < 0 || value > static_cast<int>(codes_.size())) return;
  currentStep_ = shownStep_ = value;
  update();
}

void TMMLEDLABEL::SetDoubleBuffer(bool value) {
  if (value == doubleBuffer_) return;
  doubleBuffer_ = value;
  if (!value) bitmap_ = QImage();
  repaint();
}

void TMMLEDLABEL::StartMarquee() {
  if (timer_->Enabled()) return;
  if (static_cast<int>(codes_.size()) < currentStep_) currentStep_ = startStep_;
  shownStep_ = currentStep_;
  alignment_ = taLeftJustify;
  if (OnBegin) OnBegin(this);
  timer_->SetInterval(Period());
  timer_->Start();
}

void TMMLEDLABEL::Tick() {
  shownStep_ = ++currentStep_;
  RepaintNow([this](TCanvas& canvas) { DrawCells(canvas); });
  if (currentStep_ >= static_cast<int>(codes_.size())) {
    if (autoScroll_)
      currentStep_ = startStep_;
    else
      timer_->Stop();
    if (OnEnd) OnEnd(this);
  } else if (OnStep) {
    OnStep(this);
  }
}

std::vector<int> TMMLEDLABEL::ShownCodes() const {
  const int n = numChars_, len = static_cast<int>(codes_.size());
  std::vector<int> shown(static_cast<std::size_t>(n), 32);
  int from = 0, count = 0, at = 0;  // caption index, how many, first cell
  switch (alignment_) {
    case taLeftJustify:
      from = std::max(0, shownStep_);
      count = std::clamp(len - from, 0, n);
      break;
    case taRightJustify:
      count = std::min(n, len);
      from = len - count;
      at = n - count;
      break;
    case taCenter:
      from = std::max(0, (len - n) / 2);
      count = std::min(n, len - from);
      at = (n - count) / 2;
      break;
  }
  for (int i = 0; i < count; ++i)
    shown[static_cast<std::size_t>(at + i)] = codes_[static_cast<std::size_t>(from + i)];
  return shown;
}

void TMMLEDLABEL::DrawGlyphs(QPainter& painter, int x0, int y0) {
  const int pitch = cw_ + ledSpace_ - 1;
  const std::vector<int> shown = ShownCodes();
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const int g = LedGlyph(shown[i]);
    const QRect source =
        g < 95 ? QRect((g - 32) * cw_, 0, cw_, ch_) : QRect((g - 95) * cw_, ch_ + 2, cw_, ch_);
    painter.drawImage(x0 + static_cast<int>(i) * pitch, y0, sheet_, source.x(), source.y(),
                      source.width(), source.height());
  }
}

void TMMLEDLABEL::DrawCells(TCanvas& canvas) {
  const TRect client = BevelClientRect();
  if (!doubleBuffer_ || InState(csLoading)) {
    canvas.SetBrushColor(Color());
    canvas.FillRect(client);
    DrawGlyphs(*canvas.Handle(), client.Left, client.Top);
    return;
  }
  const QSize size(std::max(0, client.Width()), std::max(0, client.Height()));
  if (bitmap_.size() != size) bitmap_ = QImage(size, QImage::Format_RGB32);
  if (bitmap_.isNull()) return;
  bitmap_.fill(ToQColor(Color()));
  {
    QPainter p(&bitmap_);
    DrawGlyphs(p, 0, 0);
  }
  if (OnDrawBitmap)
    OnDrawBitmap(this, canvas, bitmap_, client);
  else
    canvas.Handle()->drawImage(client.Left, client.Top, bitmap_);
}

void TMMLEDLABEL::Paint(TCanvas& canvas) {
  TMMGraphicControl::Paint(canvas);
  DrawCells(canvas);
}

}  // namespace zq
