#pragma once
// Seven-segment LED digits: TMMLEDDigit (one digit), TMMLEDPanel (a framed row of them) and
// TMMLEDSpin (a panel and a spin button: the player's hour and minute inputs).
//
// TDigitCache: the process-wide list of recoloured digit sheets (widgets/lcdsheets.h). An entry
// is keyed by the sheet (digits or symbols), size, DrawInactive, background, InactiveColor and
// LEDColor and counts its users; the list is made with the first entry and freed with the last.
//
// TMMLEDDigit shows one cell of its sheet: with ltDigit Value + 1 (0, all unlit, when ZeroBlank
// is on and Value is 0), with the other display types the period, colon or minus cell; always
// cell 0 while disabled. Its size is always one cell. It is transparent for the mouse, so a press
// on a digit arrives on what lies beneath (the panel). A Value write v first gives v div 10 to
// Connect when CascadeValues is on, then takes v mod 10 if that differs and lies in MinValue ...
// MaxValue (limits outside 0 ... 9 are refused). The sheet is looked up on creation, when loading
// ends and when the size, display type or a colour changes.
//
// TMMLEDPanel: NumDigits digits (1 ... 9) numbered from the right, digit k connected to digit
// k + 1 with CascadeValues on. Value (64-bit) is clamped to MinValue ... MaxValue (crossed limits:
// MinValue); a write that leaves it unchanged does nothing, otherwise digit 1 receives |Value|,
// the leftmost digit shows a minus when Value is negative, and OnChange fires. With ZeroBlank,
// zeros to the left of the highest digit of |Value| are blank. Layout (e = BevelExtent, cell
// w x h, n digits, sp = LEDSpace): 2e + (w + sp) x n - sp by 2e + h, digit k at
// x = e + (n - k)(w + sp), y = e; every size request snaps to it (SetBounds; held as the fixed
// size). Changing NumDigits makes a new set of digits that shows the current value at once.
//
// TMMLEDSpin: the panel at the left, aligned to the bottom, Space pixels from a spin button at the
// right edge, full height, at its smallest width; every size request snaps to that. The spinner
// publishes both parts' settings; its Value is the panel's. A Value write is ignored while the
// spinner is disabled; otherwise it is clamped, and when it differs from the current value it
// goes to the panel and the spin button and OnChange fires. An arrow click or key sets the value
// through the same write, then fires OnUpClick or OnDownClick. Click, double-click and mouse
// events on the panel and its digits arrive as the spinner's own, in its coordinates, and a press
// there hands the focus to the spin button (its focus proxy), so the arrow keys work at once.
//
// Loading: each covers only the component it is called on; the spinner passes BeginLoading and
// EndLoading on to its panel and spin button, the panel to its digits. Inside, writes are stored
// as given, with no OnChange, sheet lookup or layout; EndLoading does them. Main thread only.

#include <QImage>
#include <cstdint>
#include <vector>

#include "platform/services.h"
#include "widgets/lcdsheets.h"
#include "widgets/mmcontrols.h"
#include "widgets/mmspin.h"
#include "widgets/rangemath.h"

namespace zq {

enum TMMLEDType { ltDigit, ltPeriod, ltColon, ltMinus };

class TDigitCache {
 public:
  struct Key {
    bool symbols = false;
    TMMLEDSize size = ls13x21;
    bool drawInactive = true;
    TColor background = clBlack;
    TColor inactive = clGreen;
    TColor lit = clLime;
    friend bool operator==(const Key&, const Key&) = default;
  };

  // The recoloured sheet of the key, made on its first use; each call counts one more user.
  static const QImage* Acquire(const Key& key);
  // One user less; the entry goes with its last user, the cache with its last entry.
  static void Release(const QImage* sheet);

  static bool Exists();
  static int Entries();
  // The users of the key's entry (0 when there is none).
  static int UseCount(const Key& key);
};

class TMMCustomLEDDigit : public TMMGraphicControl {
 public:
  explicit TMMCustomLEDDigit(QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMCustomLEDDigit() override;

  int Value() const { return value_; }
  void SetValue(std::int64_t value);
  // The same write for the magnitude of any 64-bit value (the panel's |Value|).
  void SetMagnitude(std::uint64_t value);
  int MinValue() const { return minValue_; }
  void SetMinValue(int value);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int value);
  TMMLEDType DisplayType() const { return displayType_; }
  void SetDisplayType(TMMLEDType value);
  TMMLEDSize DigitSize() const { return digitSize_; }
  void SetDigitSize(TMMLEDSize value);
  TColor LEDColor() const { return ledColor_; }
  void SetLEDColor(TColor value);
  TColor InactiveColor() const { return inactiveColor_; }
  void SetInactiveColor(TColor value);
  bool DrawInactive() const { return drawInactive_; }
  void SetDrawInactive(bool value);
  bool ZeroBlank() const { return zeroBlank_; }
  void SetZeroBlank(bool value);
  bool CascadeValues() const { return cascadeValues_; }
  void SetCascadeValues(bool value) { cascadeValues_ = value; }
  TMMCustomLEDDigit* Connect() const { return connect_; }
  void SetConnect(TMMCustomLEDDigit* value);

  // The cell shown now, and the sheet (null while loading).
  int Cell() const;
  const QImage* Sheet() const { return sheet_; }

 protected:
  void ColorChanged() override;
  void Loaded() override;
  void Notification(TMMComponent* component, TOperation operation) override;
  void Paint(TCanvas& canvas) override;

 private:
  template <class T>
  void Write(T value);
  void LookupSheet();

  const QImage* sheet_ = nullptr;
  int value_ = 0;
  int minValue_ = 0;
  int maxValue_ = 9;
  TMMLEDType displayType_ = ltDigit;
  TMMLEDSize digitSize_ = ls13x21;
  TColor ledColor_ = clLime;
  TColor inactiveColor_ = clGreen;
  bool drawInactive_ = true;
  bool zeroBlank_ = false;
  bool cascadeValues_ = false;
  TMMCustomLEDDigit* connect_ = nullptr;
};

class TMMLEDDigit : public TMMCustomLEDDigit {
 public:
  using TMMCustomLEDDigit::TMMCustomLEDDigit;
};

class TMMLEDPanel : public TMMCustomPanel {
 public:
  explicit TMMLEDPanel(QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMLEDPanel() override;

  int NumDigits() const { return static_cast<int>(digits_.size()); }
  void SetNumDigits(int value);
  std::int64_t Value() const { return value_; }
  void SetValue(std::int64_t value);
  std::int64_t MinValue() const { return minValue_; }
  void SetMinValue(std::int64_t value);
  std::int64_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int64_t value);
  TMMLEDSize DigitSize() const { return digitSize_; }
  void SetDigitSize(TMMLEDSize value);
  int LEDSpace() const { return ledSpace_; }
  void SetLEDSpace(int value);
  TColor LEDColor() const { return ledColor_; }
  void SetLEDColor(TColor value);
  TColor InactiveColor() const { return inactiveColor_; }
  void SetInactiveColor(TColor value);
  bool DrawInactive() const { return drawInactive_; }
  void SetDrawInactive(bool value);
  bool ZeroBlank() const { return zeroBlank_; }
  void SetZeroBlank(bool value);

  // Digit k (1 = units), 1 ... NumDigits.
  TMMLEDDigit* Digit(int k) const { return digits_[static_cast<std::size_t>(k - 1)]; }

  void SetBounds(int left, int top, int width, int height) override;
  void BeginLoading() override;
  void EndLoading() override;

  TNotifyEvent OnChange;
  TNotifyEvent OnResize;

 protected:
  void BevelChanged() override;
  void ColorChanged() override;
  void Loaded() override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void MakeDigits(int count);
  // Shows value_ in the digits.
  void ShowValue();
  void Relayout();
  QSize LayoutSize() const;
  template <class F>
  void ForDigits(F f) {
    for (TMMLEDDigit* d : digits_)
      f(d);
  }

  std::vector<TMMLEDDigit*> digits_;  // digit 1 first
  std::int64_t value_ = 0;
  std::int64_t minValue_ = 0;
  std::int64_t maxValue_ = 100;
  TMMLEDSize digitSize_ = ls13x21;
  int ledSpace_ = 1;
  TColor ledColor_ = clLime;
  TColor inactiveColor_ = clGreen;
  bool drawInactive_ = true;
  bool zeroBlank_ = false;
};

class TMMLEDSpin : public TMMWinControl {
 public:
  explicit TMMLEDSpin(QWidget* parent = nullptr, const Services& services = DefaultServices(),
                      TMMComponent* owner = nullptr);
  ~TMMLEDSpin() override;

  TMMLEDPanel* Panel() const { return panel_; }
  TMMSpinButton* SpinButton() const { return spin_; }

  std::int64_t Value() const { return panel_->Value(); }
  void SetValue(std::int64_t value);
  std::int64_t MinValue() const { return panel_->MinValue(); }
  void SetMinValue(std::int64_t value);
  std::int64_t MaxValue() const { return panel_->MaxValue(); }
  void SetMaxValue(std::int64_t value);

  // The panel's.
  TMMBevel& Bevel() { return panel_->Bevel(); }
  void SetBevel(const TMMBevel& value) { panel_->SetBevel(value); }
  int NumDigits() const { return panel_->NumDigits(); }
  void SetNumDigits(int value) { panel_->SetNumDigits(value); }
  TMMLEDSize DigitSize() const { return panel_->DigitSize(); }
  void SetDigitSize(TMMLEDSize value) { panel_->SetDigitSize(value); }
  int LEDSpace() const { return panel_->LEDSpace(); }
  void SetLEDSpace(int value) { panel_->SetLEDSpace(value); }
  TColor LEDColor() const { return panel_->LEDColor(); }
  void SetLEDColor(TColor value) { panel_->SetLEDColor(value); }
  TColor InactiveColor() const { return panel_->InactiveColor(); }
  void SetInactiveColor(TColor value) { panel_->SetInactiveColor(value); }
  bool DrawInactive() const { return panel_->DrawInactive(); }
  void SetDrawInactive(bool value) { panel_->SetDrawInactive(value); }
  bool ZeroBlank() const { return panel_->ZeroBlank(); }
  void SetZeroBlank(bool value) { panel_->SetZeroBlank(value); }

  // The spin button's.
  TMMBevel& SpinBevel() { return spin_->Bevel(); }
  void SetSpinBevel(const TMMBevel& value) { spin_->SetBevel(value); }
  std::int64_t Increment() const { return spin_->Increment(); }
  void SetIncrement(std::int64_t value) { spin_->SetIncrement(value); }
  const QImage& UpGlyph() const { return spin_->UpGlyph(); }
  void SetUpGlyph(const QImage& value);
  const QImage& DownGlyph() const { return spin_->DownGlyph(); }
  void SetDownGlyph(const QImage& value);
  int UpNumGlyphs() const { return spin_->UpNumGlyphs(); }
  void SetUpNumGlyphs(int value);
  int DownNumGlyphs() const { return spin_->DownNumGlyphs(); }
  void SetDownNumGlyphs(int value);
  bool ButtonFace() const { return spin_->ButtonFace(); }
  void SetButtonFace(bool value);
  bool MiddleButton() const { return spin_->MiddleButton(); }
  void SetMiddleButton(bool value);

  bool TabStop() const { return spin_->TabStop(); }
  void SetTabStop(bool value) { spin_->SetTabStop(value); }
  int Space() const { return space_; }
  void SetSpace(int value);

  void SetBounds(int left, int top, int width, int height) override;
  void BeginLoading() override;
  void EndLoading() override;

  TNotifyEvent OnChange;
  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

 protected:
  void ColorChanged() override;
  void Loaded() override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Relayout();
  QSize LayoutSize();
  void FocusSpinButton();
  void LimitsWritten(std::int64_t before);

  TMMLEDPanel* panel_;
  TMMSpinButton* spin_;
  int space_ = 2;
};

}  // namespace zq
