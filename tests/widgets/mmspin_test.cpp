// The spin button and its arrows, driven through a shown window so that Qt's routing and implicit
// grab decide who receives the mouse.

#include "widgets/mmspin.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QLineEdit>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/platform/manual_time.h"
#include "tests/support/widgets/testwindow.h"
#include "widgets/pictures.h"

namespace zq {
namespace {

using testing::TestWindow;

constexpr QRgb kFace = 0xC0C0C0;  // clBtnFace
constexpr QRgb kKey = 0xA0A0A0;   // the arrow pictures' transparent colour

// A spin button in a shown window, its notifications recorded in order.
struct Shown {
  explicit Shown(TMMOrientation orientation = orVertical) {
    spin = new TMMSpinButton(window.Host(), platform.services());
    spin->SetOrientation(orientation);
    spin->SetBounds(10, 10, 0, 0);
    spin->OnChange = [this](TMMControl*) {
      log.push_back("change " + std::to_string(spin->Value()));
    };
    spin->OnUpClick = [this](TMMControl*) { log.push_back("up"); };
    spin->OnDownClick = [this](TMMControl*) { log.push_back("down"); };
    EXPECT_TRUE(window.Show());
    spin->clearFocus();  // the window's activation gave it the focus
  }
  QPoint Middle(const QWidget* w) const { return {w->width() / 2, w->height() / 2}; }
  int Count(const std::string& what) const {
    return static_cast<int>(std::count(log.begin(), log.end(), what));
  }

  testing::TestPlatform platform;
  std::vector<std::string> log;
  TestWindow window;
  TMMSpinButton* spin;
};

QImage Grab(QWidget* w) {
  return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(ArrowPictures, ThreeImagesOnAKeyColourEachWideningAwayFromItsTip) {
  testing::QtApp();
  struct Case {
    const char* name;
    QSize size;
    bool vertical;  // rows (else columns) widen from the tip
    bool tipFirst;  // the tip is at the top (left)
  } cases[] = {{"MMSPINUPV", {57, 13}, true, true},
               {"MMSPINDOWNV", {57, 13}, true, false},
               {"MMSPINUPH", {39, 19}, false, false},
               {"MMSPINDOWNH", {39, 19}, false, true}};
  for (const Case& c : cases) {
    const QImage picture = LoadPicture(c.name);
    ASSERT_EQ(picture.size(), c.size) << c.name;
    EXPECT_FALSE(picture.hasAlphaChannel()) << c.name;
    EXPECT_EQ(picture.pixel(0, picture.height() - 1) & 0xFFFFFF, kKey) << c.name;
    const int w = c.size.width() / 3, h = c.size.height();
    for (int image = 0; image < 3; ++image) {
      // The images' own backgrounds: the key (normal, disabled) or the dark field (pressed).
      const QRgb field = picture.pixel(image * w, 0) & 0xFFFFFF;
      std::vector<int> widths;  // arrow pixels per line, from the tip's side
      const int lines = c.vertical ? h : w, across = c.vertical ? w : h;
      for (int l = 0; l < lines; ++l) {
        const int line = c.tipFirst ? l : lines - 1 - l;
        int first = -1, last = -1;
        for (int a = 0; a < across; ++a) {
          const int x = image * w + (c.vertical ? a : line), y = c.vertical ? line : a;
          if ((picture.pixel(x, y) & 0xFFFFFF) != field) {
            if (first < 0) first = a;
            last = a;
          }
        }
        if (first >= 0) widths.push_back(last - first + 1);
      }
      ASSERT_GE(widths.size(), 5u) << c.name << " image " << image;
      EXPECT_EQ(widths.front(), 1) << c.name << " image " << image << ": a one-pixel tip";
      for (std::size_t i = 1; i < widths.size(); ++i)
        EXPECT_GT(widths[i], widths[i - 1]) << c.name << " image " << image << " line " << i;
    }
  }
}

// Each state shows its image, the key colour letting the button face through.
TEST(TMMSpinButton, ArrowsShowTheImageOfTheirStateAndNeverTheKeyColour) {
  Shown s;
  s.spin->SetValue(50);
  TMMTimerSpeedButton* up = s.spin->UpButton();
  const QImage glyph = LoadPicture("MMSPINUPV").convertToFormat(QImage::Format_RGB32);
  struct Case {
    const char* what;
    std::function<void()> set;
    int image;
  } cases[] = {
      {"up", [&] { up->ShowPressed(false); }, 0},
      {"pressed", [&] { up->ShowPressed(true); }, 2},
      {"disabled", [&] { s.spin->SetValue(100); }, 1},
  };
  for (const Case& c : cases) {
    c.set();
    const QImage shot = Grab(up);
    ASSERT_EQ(shot.size(), QSize(19, 13));
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 19; ++x) {
        const QRgb want = glyph.pixel(c.image * 19 + x, y) & 0xFFFFFF;
        const QRgb got = shot.pixel(x, y) & 0xFFFFFF;
        ASSERT_NE(got, kKey) << c.what << " at " << x << "," << y;
        ASSERT_EQ(got, want == kKey ? kFace : want) << c.what << " at " << x << "," << y;
      }
  }
  // A glyph of one image shows it in every state.
  s.spin->SetValue(50);
  QImage single = glyph.copy(0, 0, 19, 13);
  s.spin->SetUpGlyph(single);
  s.spin->SetUpNumGlyphs(1);
  const QImage normal = Grab(up);
  up->ShowPressed(true);
  EXPECT_EQ(Grab(up), normal);
  s.spin->SetUpNumGlyphs(5);  // outside 1 ... 4: ignored
  EXPECT_EQ(s.spin->UpNumGlyphs(), 1);
  s.spin->SetUpGlyph(QImage());  // nothing: the built-in arrow again
  s.spin->SetUpNumGlyphs(3);
  EXPECT_EQ(s.spin->UpGlyph(), LoadPicture("MMSPINUPV"));
  s.spin->SetOrientation(orHorizontal);
  EXPECT_EQ(s.spin->UpGlyph(), LoadPicture("MMSPINUPH"));
  EXPECT_EQ(s.spin->DownGlyph(), LoadPicture("MMSPINDOWNH"));
}

// Press the up arrow, move as the case says while time runs, release on or off it.
TEST(TMMSpinButton, HoldingAnArrowRepeatsAfter400MsThenEvery50Ms) {
  struct Case {
    const char* what;
    std::int64_t maxValue;
    int leaveAt, returnAt;  // ms; -1: never
    int releaseAt;
    bool releaseOver;
    std::int64_t value;
    int upClicks;
  } cases[] = {
      {"a short press", 100, -1, -1, 100, true, 1, 1},
      {"1020 ms released on the arrow", 100, -1, -1, 1020, true, 14, 14},
      {"1020 ms released off it", 100, -1, -1, 1020, false, 13, 13},
      // Ticks at 400 ... 700 pass while off; 750 ... 1000 click, and the release.
      {"leaving and returning", 100, 380, 720, 1020, true, 7, 7},
      // 400, 450, 500, 550, 600 reach 5: the arrow disables and the hold ends.
      {"a hold reaching MaxValue", 5, -1, -1, 1020, true, 5, 5},
  };
  for (const Case& c : cases) {
    Shown s;
    s.spin->SetMaxValue(c.maxValue);
    TMMTimerSpeedButton* up = s.spin->UpButton();
    const QPoint on = s.Middle(up), off(on.x(), up->height() + 40);
    s.window.Press(up, on);
    EXPECT_EQ(up->State(), bsDown) << c.what;
    int now = 0;
    auto runTo = [&](int t) {
      s.platform.time.AdvanceMs(t - now);
      now = t;
    };
    if (c.leaveAt >= 0) {
      runTo(c.leaveAt);
      s.window.Move(up, off);
      EXPECT_EQ(up->State(), bsUp) << c.what << ": off the arrow it shows up";
      runTo(c.returnAt);
      s.window.Move(up, on);
      EXPECT_EQ(up->State(), bsDown) << c.what << ": back on it it shows pressed";
    }
    runTo(c.releaseAt);
    s.window.Release(up, c.releaseOver ? on : off);
    EXPECT_EQ(s.spin->Value(), c.value) << c.what;
    EXPECT_EQ(s.Count("up"), c.upClicks) << c.what;
    EXPECT_FALSE(up->Repeating()) << c.what;
    runTo(now + 500);
    EXPECT_EQ(s.spin->Value(), c.value) << c.what << ": nothing runs on";
  }
}

TEST(TMMSpinButton, ADoubleClickStepsTwiceAndADisabledArrowDoesNothing) {
  Shown s;
  s.spin->SetValue(50);
  s.window.DoubleClick(s.spin->UpButton(), {9, 6});
  EXPECT_EQ(s.spin->Value(), 52);
  EXPECT_EQ(s.Count("up"), 2);

  s.spin->SetValue(100);
  s.log.clear();
  EXPECT_EQ(s.spin->UpButton()->State(), bsDisabled);
  s.window.Click(s.spin->UpButton(), {9, 6});
  EXPECT_TRUE(s.log.empty()) << "no click, no OnUpClick";
  s.window.Click(s.spin->DownButton(), {9, 6});
  EXPECT_EQ(s.log, (std::vector<std::string>{"change 99", "down"}));
  EXPECT_EQ(s.spin->UpButton()->State(), bsUp);
}

// The mouse lost without a release: the hold ends without a click and no repeat runs on.
TEST(TMMSpinButton, AHoldEndsWithoutAClickWhenTheMouseIsLost) {
  struct Case {
    const char* what;
    std::function<void(Shown&, TestWindow& other)> lose;
  } cases[] = {
      {"hidden", [](Shown& s, TestWindow&) { s.spin->hide(); }},
      {"disabled", [](Shown& s, TestWindow&) { s.spin->setEnabled(false); }},
      {"parent disabled", [](Shown& s, TestWindow&) { s.window.Host()->setEnabled(false); }},
      {"window deactivated",
       [](Shown& s, TestWindow& other) {
         ASSERT_TRUE(other.Show());
         ASSERT_FALSE(s.window.Host()->isActiveWindow());
       }},
      {"destroyed", [](Shown& s, TestWindow&) { delete s.spin; }},
  };
  for (const Case& c : cases) {
    TestWindow other;
    Shown s;
    s.window.Press(s.spin->UpButton(), {9, 6});
    s.platform.time.AdvanceMs(450);  // ticks at 400 and 450
    EXPECT_EQ(s.Count("up"), 2) << c.what;
    c.lose(s, other);
    s.platform.time.AdvanceMs(1000);
    EXPECT_EQ(s.Count("up"), 2) << c.what << ": no repeat runs on";
    EXPECT_EQ(s.platform.time.ArmedTimers(), 0) << c.what;
    s.window.Release(s.window.Host(), {12, 16});
    EXPECT_EQ(s.Count("up"), 2) << c.what << ": the release clicks nothing";
    if (std::string(c.what) != "destroyed") {
      EXPECT_FALSE(s.spin->UpButton()->Held()) << c.what;
    }
  }
}

TEST(TMMSpinButton, ArrowKeysStepByOrientationAndIgnoreAutoRepeatedReleases) {
  struct Case {
    TMMOrientation orientation;
    int up, down, ignored;
  } cases[] = {{orVertical, Qt::Key_Up, Qt::Key_Down, Qt::Key_Right},
               {orHorizontal, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up}};
  for (const Case& c : cases) {
    Shown s(c.orientation);
    s.spin->SetValue(10);
    s.log.clear();
    s.spin->setFocus();
    ASSERT_TRUE(s.spin->hasFocus());
    // A held key: the desktop repeats the press with a release before each repeat.
    s.window.KeyDown(c.up);
    EXPECT_EQ(s.spin->UpButton()->State(), bsDown);
    s.window.KeyUp(c.up, true);
    EXPECT_EQ(s.spin->UpButton()->State(), bsDown) << "an auto-repeated release is ignored";
    s.window.KeyDown(c.up, true);
    s.window.KeyUp(c.up);
    EXPECT_EQ(s.spin->UpButton()->State(), bsUp);
    EXPECT_EQ(s.spin->Value(), 12);
    s.window.KeyStroke(c.down);
    EXPECT_EQ(s.spin->Value(), 11);
    EXPECT_EQ(s.spin->ActiveButton(), s.spin->DownButton());
    s.window.KeyStroke(c.ignored);
    EXPECT_EQ(s.spin->Value(), 11);
    EXPECT_EQ(s.log, (std::vector<std::string>{"change 11", "up", "change 12", "up", "change 11",
                                               "down"}));
  }
}

TEST(TMMSpinButton, TheActiveArrowCarriesTheFocusMarkWhileFocused) {
  Shown s;
  s.spin->SetValue(50);
  s.spin->SetFocusColor(clRed);
  auto marked = [](QWidget* arrow) {  // one pixel inside the edge, in FocusColor
    const QImage shot = Grab(arrow);
    return (shot.pixel(1, 1) & 0xFFFFFF) == 0xFF0000 &&
           (shot.pixel(arrow->width() - 2, arrow->height() - 2) & 0xFFFFFF) == 0xFF0000;
  };
  EXPECT_FALSE(marked(s.spin->UpButton()));
  s.window.Press(s.spin->DownButton(), {9, 6});
  s.window.Release(s.spin->DownButton(), {9, 6});
  EXPECT_TRUE(s.spin->hasFocus()) << "pressing an arrow focuses the spin button";
  EXPECT_TRUE(marked(s.spin->DownButton()));
  EXPECT_FALSE(marked(s.spin->UpButton()));
  s.spin->clearFocus();
  EXPECT_FALSE(marked(s.spin->DownButton()));
}

TEST(TMMSpinButton, LaysItsArrowsOutAndRaisesRequestsToTheSmallestSize) {
  testing::QtApp();
  struct Case {
    const char* what;
    TMMOrientation orientation;
    bool face, middle, frame;
    QSize request, size;
    QRect up, down;
  } cases[] = {
      {"default",
       orVertical,
       false,
       false,
       true,
       {1, 1},
       {21, 28},
       {1, 1, 19, 13},
       {1, 14, 19, 13}},
      {"player's",
       orVertical,
       false,
       false,
       false,
       {19, 27},
       {19, 27},
       {0, 0, 19, 13},
       {0, 13, 19, 14}},
      {"larger",
       orVertical,
       false,
       false,
       true,
       {40, 50},
       {40, 50},
       {1, 1, 38, 24},
       {1, 25, 38, 24}},
      {"ButtonFace",
       orVertical,
       true,
       false,
       true,
       {1, 1},
       {23, 33},
       {1, 1, 21, 15},
       {1, 17, 21, 15}},
      {"MiddleButton",
       orVertical,
       false,
       true,
       true,
       {1, 1},
       {21, 34},
       {1, 1, 19, 13},
       {1, 20, 19, 13}},
      {"horizontal",
       orHorizontal,
       false,
       false,
       true,
       {1, 1},
       {28, 21},
       {14, 1, 13, 19},
       {1, 1, 13, 19}},
      {"horizontal MiddleButton",
       orHorizontal,
       false,
       true,
       true,
       {1, 1},
       {34, 21},
       {20, 1, 13, 19},
       {1, 1, 13, 19}},
  };
  for (const Case& c : cases) {
    TMMSpinButton spin;
    spin.SetOrientation(c.orientation);
    spin.SetButtonFace(c.face);
    spin.SetMiddleButton(c.middle);
    if (!c.frame) spin.Bevel().SetBevelOuter(bvNone);
    spin.SetBounds(3, 4, c.request.width(), c.request.height());
    EXPECT_EQ(spin.geometry(), QRect(QPoint(3, 4), c.size)) << c.what;
    EXPECT_EQ(spin.UpButton()->geometry(), c.up) << c.what;
    EXPECT_EQ(spin.DownButton()->geometry(), c.down) << c.what;
    spin.resize(200, 200);
    EXPECT_EQ(spin.size(), c.size) << c.what << ": resize() cannot bypass the layout";
    if (c.middle) {
      const QRect bar = spin.MiddleBar()->geometry();
      EXPECT_EQ(c.orientation == orVertical ? bar.height() : bar.width(), 4) << c.what;
      EXPECT_EQ(spin.MiddleBar()->cursor().shape(),
                c.orientation == orVertical ? Qt::SplitVCursor : Qt::SplitHCursor)
          << c.what;
    }
  }
}

// 100 pixels of travel cover the range; halves go to even, up or to the right raises.
TEST(TMMSpinButton, DraggingTheMiddleBarScalesTravelToTheRange) {
  for (TMMOrientation o : {orVertical, orHorizontal}) {
    Shown s(o);
    s.spin->SetMiddleButton(true);
    s.spin->SetBounds(10, 10, 0, 0);
    s.spin->SetMaxValue(50);
    s.spin->SetValue(20);
    TMMSpeedButton* bar = s.spin->MiddleBar();
    const QPoint from = s.Middle(bar);
    auto travel = [&](int t) {  // a pointer position t pixels up (or right) of the press
      return o == orVertical ? from - QPoint(0, t) : from + QPoint(t, 0);
    };
    s.window.Press(bar, from);
    struct Step {
      int travel;
      std::int64_t value;
    } steps[] = {{1, 20}, {3, 22}, {-1, 20}, {-3, 18}, {100, 50}, {-100, 0}, {2, 21}};
    for (const Step& step : steps) {
      s.window.Move(bar, travel(step.travel));
      EXPECT_EQ(s.spin->Value(), step.value) << "travel " << step.travel << " orientation " << o;
    }
    s.window.Release(bar, travel(2));
    s.window.Move(bar, travel(40));
    EXPECT_EQ(s.spin->Value(), 21) << "the drag ends with the release";
  }
}

TEST(TMMSpinButton, ValuesAndLimitsIn64BitsNeverOverflow) {
  testing::QtApp();
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  TMMSpinButton spin;
  std::vector<std::int64_t> changes;
  spin.OnChange = [&](TMMControl*) { changes.push_back(spin.Value()); };
  spin.SetMinValue(kMin);
  spin.SetMaxValue(kMax);
  spin.SetValue(kMax);
  spin.SetIncrement(kMax);
  spin.UpClick();
  EXPECT_EQ(spin.Value(), kMax);
  spin.DownClick();
  spin.DownClick();
  spin.DownClick();
  EXPECT_EQ(spin.Value(), kMin) << "max - 3 x max passes below the lowest and stops there";
  spin.SetIncrement(kMin);  // a negative step: up goes down
  spin.SetValue(0);
  spin.UpClick();
  EXPECT_EQ(spin.Value(), kMin);
  spin.SetMaxValue(-10);
  spin.SetMinValue(10);  // crossed: the value is MinValue
  EXPECT_EQ(spin.Value(), 10);
  EXPECT_EQ(changes, (std::vector<std::int64_t>{kMax, 0, kMin + 1, kMin, 0, kMin, 10}));
}

TEST(TMMSpinButton, LimitsPullTheValueInsideAndLoadingHoldsEverythingBack) {
  testing::QtApp();
  TMMSpinButton spin;
  std::vector<std::int64_t> changes;
  spin.OnChange = [&](TMMControl*) { changes.push_back(spin.Value()); };
  spin.SetValue(5);
  spin.SetMinValue(10);
  EXPECT_EQ(spin.Value(), 10);
  EXPECT_EQ(changes, (std::vector<std::int64_t>{5, 10}));
  EXPECT_EQ(spin.DownButton()->State(), bsDisabled);

  changes.clear();
  spin.BeginLoading();
  spin.SetValue(150);  // before the limit that allows it, as a stored form may list them
  spin.SetMaxValue(200);
  spin.SetBounds(0, 0, 1, 1);
  spin.EndLoading();
  EXPECT_EQ(spin.Value(), 150);
  EXPECT_TRUE(changes.empty()) << "no OnChange for what a form loads";
  EXPECT_EQ(spin.size(), QSize(21, 28)) << "laid out when loading ends";
  EXPECT_EQ(spin.DownButton()->State(), bsUp);
  EXPECT_EQ(spin.UpButton()->State(), bsUp);
}

TEST(TMMSpinButton, HooksAnEditOnceAndReleasesTheHookWithEitherSide) {
  Shown s;
  auto* edit = new QLineEdit(s.window.Host());
  edit->setGeometry(100, 10, 80, 24);
  edit->show();
  s.spin->SetFocusControl(edit);
  s.spin->SetValue(50);
  // An arrow press gives the focus to the edit; the edit's arrow keys step the value.
  s.window.Click(s.spin->UpButton(), {9, 6});
  EXPECT_TRUE(edit->hasFocus());
  s.window.KeyStroke(Qt::Key_Up);
  s.window.KeyStroke(Qt::Key_Right);
  s.window.KeyStroke(Qt::Key_Left);
  EXPECT_EQ(s.spin->Value(), 52);

  auto* other = new TMMSpinButton(s.window.Host(), s.platform.services());
  try {
    other->SetFocusControl(edit);
    ADD_FAILURE() << "a second hook is refused";
  } catch (const EMMSpinButtonError& e) {
    EXPECT_STREQ(e.what(), "Control is already Hooked");
  }
  EXPECT_EQ(other->FocusControl(), nullptr);
  delete s.spin;  // releases its hook
  other->SetFocusControl(edit);
  EXPECT_EQ(other->FocusControl(), edit);
  delete edit;
  EXPECT_EQ(other->FocusControl(), nullptr);
  QLineEdit again;
  other->SetFocusControl(&again);
  EXPECT_EQ(other->FocusControl(), &again);
}

TEST(TMMSpinButton, AssistiveTechnologyReadsAndSetsTheValue) {
  Shown s;
  s.spin->SetValue(7);
  s.spin->SetMaxValue(23);
  s.window.Host()->setAccessibleName("Hora");
  auto* spinParent = new QWidget(s.window.Host());
  spinParent->setAccessibleName("Minuto");
  s.spin->setParent(spinParent);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(s.spin);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::SpinBox);
  EXPECT_EQ(a->text(QAccessible::Name), "Minuto") << "named by the control it is part of";
  EXPECT_EQ(a->text(QAccessible::Value), "7");
  QAccessibleValueInterface* v = a->valueInterface();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->maximumValue().toLongLong(), 23);
  v->setCurrentValue(12);
  EXPECT_EQ(s.spin->Value(), 12);
  a->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
  EXPECT_EQ(s.spin->Value(), 13);
}

}  // namespace
}  // namespace zq
