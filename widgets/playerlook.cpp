#include "widgets/playerlook.h"

#include "widgets/mmleds.h"
#include "widgets/mmslider.h"

namespace zq {

void SetUpPlayerSpinner(TMMLEDSpin& spin, std::int64_t maxValue) {
  spin.SetDigitSize(ls15x25);
  spin.SetNumDigits(2);
  spin.Bevel().SetBevelOuter(bvLowered);
  spin.Bevel().SetBevelOuterWidth(1);
  spin.SpinBevel().SetBevelOuter(bvNone);
  spin.SetSpace(2);
  spin.SetMinValue(0);
  spin.SetMaxValue(maxValue);
}

void SetUpPlayerSlider(TMMSlider& slider) {
  slider.Bevel().SetBevelOuter(bvNone);
  slider.Bevel().SetBorderWidth(5);
  slider.Bevel().SetBorderColor(clBlack);
  slider.Groove().SetBevelOuter(bvLowered);
  slider.Groove().SetBevelOuterWidth(1);
  slider.SetGrooveSize(5);
  slider.SetThumbWidth(7);
  slider.SetThumbHeight(18);
  slider.SetThumbColor(clRed);
  slider.SetGrooveColor(RGB(0xFF, 0xDF, 0xDF));
  slider.SetFocusAction(TMMSlider::faFocusColor);
  slider.SetFocusColor(RGB(0xFF, 0x80, 0x80));
  slider.SetMinValue(0);
  slider.SetMaxValue(100);
  slider.resize(252, 13);
}

}  // namespace zq
