// LED digits, panels and the player's spinners. What a panel shows is read back from a grab of it,
// cell by cell, against the recoloured sheets.

#include "widgets/mmleds.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/platform/manual_time.h"
#include "tests/support/widgets/testwindow.h"
#include "widgets/pictures.h"
#include "widgets/playerlook.h"

namespace zq {
namespace {

using testing::TestWindow;

bool CellShows(const QImage& shot, QPoint at, const QImage& sheet, int cell, TLcdCell size) {
  for (int y = 0; y < size.height; ++y)
    for (int x = 0; x < size.width; ++x)
      if ((shot.pixel(at.x() + x, at.y() + y) & 0xFFFFFF) !=
          (sheet.pixel(cell * size.width + x, y) & 0xFFFFFF))
        return false;
  return true;
}

// What the panel's digits show, leftmost first: a digit, " " for an all-unlit cell, "-" for the
// minus, "?" for a cell that matches none of the recoloured sheets' cells.
std::string Shown(TMMLEDPanel& panel) {
  const QImage shot = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const TColor unlit = panel.DrawInactive() ? panel.InactiveColor() : panel.Color();
  const QImage digits = RecolorSheet(LoadPicture(LcdSheetName(panel.DigitSize(), false)),
                                     panel.LEDColor(), unlit, panel.Color());
  const QImage symbols = RecolorSheet(LoadPicture(LcdSheetName(panel.DigitSize(), true)),
                                      panel.LEDColor(), unlit, panel.Color());
  const TLcdCell size = LcdCell(panel.DigitSize());
  std::string text;
  for (int k = panel.NumDigits(); k >= 1; --k) {
    const QPoint at = panel.Digit(k)->pos();
    char c = '?';
    if (CellShows(shot, at, symbols, kLcdMinusCell, size)) c = '-';
    for (int cell = 0; cell <= 10 && c == '?'; ++cell)
      if (CellShows(shot, at, digits, cell, size))
        c = cell == 0 ? ' ' : static_cast<char>('0' + cell - 1);
    text += c;
  }
  return text;
}

// The player's hour spinner in a shown window, its notifications recorded in order.
struct Player {
  Player() {
    hour = new TMMLEDSpin(window.Host(), platform.services());
    SetUpPlayerSpinner(*hour, 23);
    hour->SetBounds(20, 20, 0, 0);
    hour->OnChange = [this](TMMControl*) {
      log.push_back("change " + std::to_string(hour->Value()));
    };
    hour->OnUpClick = [this](TMMControl*) { log.push_back("up"); };
    hour->OnDownClick = [this](TMMControl*) { log.push_back("down"); };
    hour->OnClick = [this](TMMControl*) { log.push_back("click"); };
    hour->OnMouseDown = [this](TMMControl*, TMouseButton, Qt::KeyboardModifiers, int x, int y) {
      log.push_back("mouse down " + std::to_string(x) + "," + std::to_string(y));
    };
    EXPECT_TRUE(window.Show());
    window.Host()->setFocus();
  }

  testing::TestPlatform platform;
  std::vector<std::string> log;
  TestWindow window;
  TMMLEDSpin* hour;
};

TEST(TMMLEDSpin, ThePlayersSpinnerIs50By27WithA29By27Panel) {
  Player p;
  EXPECT_EQ(p.hour->size(), QSize(50, 27));
  EXPECT_EQ(p.hour->Panel()->geometry(), QRect(0, 0, 29, 27));
  EXPECT_EQ(p.hour->SpinButton()->geometry(), QRect(31, 0, 19, 27));
  EXPECT_EQ(p.hour->SpinButton()->UpButton()->height(), 13);
  EXPECT_EQ(p.hour->SpinButton()->DownButton()->height(), 14);
  EXPECT_EQ(p.hour->Panel()->Digit(2)->geometry(), QRect(1, 1, 13, 25));
  EXPECT_EQ(p.hour->Panel()->Digit(1)->geometry(), QRect(15, 1, 13, 25));
  p.hour->SetBounds(20, 20, 300, 5);
  EXPECT_EQ(p.hour->size(), QSize(50, 27)) << "every size request snaps";
  p.hour->resize(10, 10);
  EXPECT_EQ(p.hour->size(), QSize(50, 27)) << "resize() and layouts too";
  p.hour->SetSpace(6);
  EXPECT_EQ(p.hour->size(), QSize(54, 27));
  p.hour->SetDigitSize(ls21x37);  // a taller panel: the spin button grows to its height
  EXPECT_EQ(p.hour->size(), QSize(2 + 19 * 2 + 1 + 6 + 19, 39));
  EXPECT_EQ(p.hour->SpinButton()->height(), 39);
}

TEST(TMMLEDPanel, ShowsValuesWithSignsAndZeroBlanking) {
  testing::QtApp();
  constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
  struct Case {
    int digits;
    std::int64_t minValue, maxValue;
    bool zeroBlank;
    std::int64_t value;
    const char* shown;
  } cases[] = {
      {2, 0, 23, false, 7, "07"},
      {2, 0, 23, true, 7, " 7"},
      {3, 0, 999, true, 5, "  5"},
      {3, 0, 999, true, 105, "105"},
      {3, 0, 999, true, 0, "  0"},
      {3, 0, 999, false, 0, "000"},
      {2, -99, 99, false, -5, "-5"},
      {3, -99, 99, true, -5, "- 5"},
      {2, 0, 23, false, 30, "23"},
      {2, 0, 100, false, 100, "00"},
      {3, kLowest, 0, false, kLowest, "-08"},  // |value| = 9223372036854775808
  };
  for (const Case& c : cases) {
    TMMLEDPanel panel;
    panel.SetDigitSize(ls15x25);
    panel.SetNumDigits(c.digits);
    panel.SetMinValue(c.minValue);
    panel.SetMaxValue(c.maxValue);
    panel.SetZeroBlank(c.zeroBlank);
    panel.SetValue(c.value);
    EXPECT_EQ(Shown(panel), c.shown) << c.value << " in " << c.digits;
  }
}

TEST(TMMLEDPanel, NewDigitsShowTheValueAndTenDigitsAreRefused) {
  testing::QtApp();
  TMMLEDPanel panel;
  panel.SetMaxValue(999);
  panel.SetValue(42);
  panel.SetNumDigits(3);
  EXPECT_EQ(Shown(panel), "042") << "the re-applied value shows in the new digits";
  panel.SetZeroBlank(true);
  EXPECT_EQ(Shown(panel), " 42");
  panel.SetNumDigits(1);
  EXPECT_EQ(Shown(panel), "2");
  panel.SetNumDigits(10);
  panel.SetNumDigits(0);
  EXPECT_EQ(panel.NumDigits(), 1);
  // 2e + (w + space) x n - space by 2e + h, with the default 11 x 21 cells (ls13x21).
  panel.SetNumDigits(4);
  panel.SetLEDSpace(3);
  EXPECT_EQ(panel.size(), QSize(2 + 14 * 4 - 3, 2 + 21));
  EXPECT_EQ(panel.Digit(4)->pos(), QPoint(1, 1));
  EXPECT_EQ(panel.Digit(1)->pos(), QPoint(1 + 3 * 14, 1));
}

TEST(TMMLEDSpin, WritesAreClampedIgnoredWhileDisabledAndChangeOnlyWhenTheValueMoves) {
  Player p;
  p.hour->SetValue(30);
  EXPECT_EQ(p.hour->Value(), 23);
  EXPECT_EQ(Shown(*p.hour->Panel()), "23");
  p.hour->SetValue(40);  // clamped to 23 again: no change
  p.hour->setEnabled(false);
  p.hour->SetValue(5);
  EXPECT_EQ(p.hour->Value(), 23) << "a write while disabled changes nothing";
  EXPECT_EQ(Shown(*p.hour->Panel()), "  ") << "disabled digits are unlit";
  p.hour->setEnabled(true);
  EXPECT_EQ(p.log, (std::vector<std::string>{"change 23"}));

  // At the top the up arrow is disabled: a click changes nothing and the value never wraps.
  p.log.clear();
  p.window.Click(p.hour->SpinButton()->UpButton(), {9, 6});
  EXPECT_EQ(p.hour->Value(), 23);
  EXPECT_TRUE(p.log.empty());
  p.window.Click(p.hour->SpinButton()->DownButton(), {9, 6});
  p.window.Click(p.hour->SpinButton()->UpButton(), {9, 6});
  EXPECT_EQ(p.log, (std::vector<std::string>{"change 22", "down", "change 23", "up"}));
  EXPECT_EQ(p.hour->SpinButton()->Value(), 23);
}

TEST(TMMLEDSpin, AClickOnADigitReachesTheSpinnerAndHandsTheFocusToItsArrows) {
  Player p;
  p.hour->SetValue(7);
  p.log.clear();
  TMMLEDDigit* units = p.hour->Panel()->Digit(1);
  ASSERT_FALSE(p.hour->SpinButton()->hasFocus());
  p.window.Click(units, {4, 5});
  const QPoint inSpinner = units->mapTo(p.hour, QPoint(4, 5));
  EXPECT_EQ(p.log, (std::vector<std::string>{"mouse down " + std::to_string(inSpinner.x()) + "," +
                                                 std::to_string(inSpinner.y()),
                                             "click"}));
  EXPECT_TRUE(p.hour->SpinButton()->hasFocus());
  p.log.clear();
  p.window.KeyStroke(Qt::Key_Up);
  p.window.KeyStroke(Qt::Key_Up);
  p.window.KeyStroke(Qt::Key_Down);
  EXPECT_EQ(p.hour->Value(), 8);
  EXPECT_EQ(Shown(*p.hour->Panel()), "08");
  EXPECT_EQ(p.log,
            (std::vector<std::string>{"change 8", "up", "change 9", "up", "change 8", "down"}));
}

TEST(TDigitCache, SheetsAreSharedByKeyAndTheCacheGoesWithTheLastDigit) {
  testing::QtApp();
  ASSERT_FALSE(TDigitCache::Exists());
  const TDigitCache::Key lime{false, ls15x25, true, clBlack, clGreen, clLime};
  {
    auto a = std::make_unique<TMMLEDSpin>();
    auto b = std::make_unique<TMMLEDSpin>();
    SetUpPlayerSpinner(*a, 23);
    SetUpPlayerSpinner(*b, 59);
    EXPECT_EQ(TDigitCache::UseCount(lime), 4);
    EXPECT_EQ(a->Panel()->Digit(1)->Sheet(), b->Panel()->Digit(2)->Sheet());
    const QImage before = b->grab().toImage();
    a->SetLEDColor(clRed);
    EXPECT_EQ(TDigitCache::UseCount(lime), 2);
    EXPECT_EQ(TDigitCache::UseCount({false, ls15x25, true, clBlack, clGreen, clRed}), 2);
    EXPECT_NE(a->Panel()->Digit(1)->Sheet(), b->Panel()->Digit(1)->Sheet());
    EXPECT_EQ(b->grab().toImage(), before) << "the other spinner is left as it was";
    a->SetMinValue(-9);
    a->SetValue(-3);  // the minus takes a symbol sheet
    EXPECT_EQ(TDigitCache::UseCount({true, ls15x25, true, clBlack, clGreen, clRed}), 1);
    a.reset();
    EXPECT_EQ(TDigitCache::Entries(), 1);
    EXPECT_TRUE(TDigitCache::Exists());
  }
  EXPECT_FALSE(TDigitCache::Exists()) << "freed with the last digit";
}

TEST(TMMLEDSpin, LoadingIsPassedOnAndHoldsChangesLookupsAndLayoutBack) {
  testing::QtApp();
  TMMLEDSpin spin;
  std::vector<std::int64_t> changes;
  spin.OnChange = [&](TMMControl*) { changes.push_back(spin.Value()); };
  spin.BeginLoading();
  EXPECT_TRUE(spin.Panel()->InState(csLoading));
  EXPECT_TRUE(spin.SpinButton()->InState(csLoading));
  EXPECT_TRUE(spin.Panel()->Digit(1)->InState(csLoading));
  spin.SetValue(150);  // before the limit that allows it
  spin.SetMaxValue(200);
  spin.SetNumDigits(3);
  spin.SetLEDColor(clYellow);
  spin.SetDigitSize(ls15x25);
  const TDigitCache::Key yellow{false, ls15x25, true, clBlack, clGreen, clYellow};
  EXPECT_EQ(TDigitCache::UseCount(yellow), 0) << "no lookup while loading";
  EXPECT_TRUE(spin.Panel()->Digit(3)->InState(csLoading)) << "new digits load too";
  EXPECT_TRUE(changes.empty());
  spin.EndLoading();
  EXPECT_TRUE(changes.empty()) << "what a form loads raises no OnChange";
  EXPECT_FALSE(spin.Panel()->Digit(3)->InState(csLoading));
  EXPECT_EQ(TDigitCache::UseCount(yellow), 3);
  EXPECT_EQ(spin.Value(), 150);
  EXPECT_EQ(spin.SpinButton()->Value(), 150);
  EXPECT_EQ(Shown(*spin.Panel()), "150");
  EXPECT_EQ(spin.Panel()->size(), QSize(2 + 14 * 3 - 1, 27));
  EXPECT_EQ(spin.size(), QSize(43 + 2 + 21, 28));
  spin.SetValue(151);
  EXPECT_EQ(changes, (std::vector<std::int64_t>{151}));
}

TEST(TMMLEDSpin, AssistiveTechnologyReadsAndSetsTheHour) {
  Player p;
  p.hour->setAccessibleName("Hora");
  p.hour->SetValue(14);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(p.hour);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::SpinBox);
  EXPECT_EQ(a->text(QAccessible::Name), "Hora");
  EXPECT_EQ(a->text(QAccessible::Value), "14");
  QAccessibleValueInterface* v = a->valueInterface();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->minimumValue().toLongLong(), 0);
  EXPECT_EQ(v->maximumValue().toLongLong(), 23);
  v->setCurrentValue(9);
  EXPECT_EQ(p.hour->Value(), 9);
  EXPECT_EQ(Shown(*p.hour->Panel()), "09");
  // The spin button that takes the focus is read with the spinner's name.
  QAccessibleInterface* arrows = QAccessible::queryAccessibleInterface(p.hour->SpinButton());
  EXPECT_EQ(arrows->text(QAccessible::Name), "Hora");
  EXPECT_EQ(arrows->text(QAccessible::Value), "9");
}

TEST(TMMLEDDigit, CascadesTensAndForgetsAConnectedDigitThatGoes) {
  testing::QtApp();
  TMMLEDDigit units;
  auto tens = std::make_unique<TMMLEDDigit>();
  units.SetConnect(tens.get());
  units.SetCascadeValues(true);
  units.SetValue(47);
  EXPECT_EQ(units.Value(), 7);
  EXPECT_EQ(tens->Value(), 4);
  units.SetMaxValue(5);
  units.SetValue(38);  // 8 lies outside 0 ... 5: refused, the tens still taken
  EXPECT_EQ(units.Value(), 7);
  EXPECT_EQ(tens->Value(), 3);
  units.SetMinValue(12);  // outside 0 ... 9: refused
  EXPECT_EQ(units.MinValue(), 0);
  tens.reset();
  EXPECT_EQ(units.Connect(), nullptr);
  units.SetValue(21);
  EXPECT_EQ(units.Value(), 1);
  EXPECT_EQ(units.size(), QSize(11, 21));
}

}  // namespace
}  // namespace zq
