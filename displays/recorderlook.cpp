#include "displays/recorderlook.h"

#include "widgets/fonts.h"

namespace zq {

void ApplyRecorderLevel(TMMCustomLevel& level, TMMChannel channel) {
  level.Bevel().SetBevelOuter(bvNone);
  level.SetBar1Color(clLime);
  level.SetBar2Color(clYellow);
  level.SetBar3Color(clRed);
  level.SetInactive1Color(clGray);
  level.SetInactive2Color(clGray);
  level.SetInactive3Color(clMaroon);
  level.SetInactiveDoted(true);
  level.SetActiveDoted(true);
  level.SetPoint2(80);
  level.SetBitLength(b16Bit);
  level.SetMode(mStereo);
  level.SetChannel(channel);
  level.SetSamples(99);
  level.SetDecayMode(dmStepUp);
  level.SetDecay(8);
  level.SetNumPeaks(2);
}

void ApplyRecorderLevelScale(TMMLevelScale& scale) {
  scale.Bevel().SetBevelOuter(bvNone);
  scale.SetPoint2(80);
  scale.Scale().SetTickCount(11);
  scale.Scale().SetEnlargeEvery(5);
  scale.Scale().SetSize(7);
  scale.Scale().SetOrigin(soInner);
  scale.Scale().SetConnect(false);
  scale.Scale().SetVisible(false);
}

void ApplyRecorderMeter(TMMCustomMeter& meter, TMMChannel channel) {
  meter.Bevel().SetBevelOuterWidth(2);
  meter.SetScale1Color(clLime);
  meter.SetNeedleOffset(50);
  meter.SetScaleAngle(80);
  meter.SetTopSpace(12);
  meter.SetBitLength(b16Bit);
  meter.SetMode(mStereo);
  meter.SetChannel(channel);
  meter.SetSamples(20);
  meter.SetDecayMode(dmStepUp);
  meter.SetDecay(8);
  meter.SetPeakSpeed(2);
  meter.SetCaption("dB");
  meter.SetFont(WindowsFont("MS Sans Serif", -11, fsBold));
  meter.SetFontColor(clSilver);
}

}  // namespace zq
