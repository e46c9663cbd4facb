// The slider, driven through a shown window so that Qt's routing, implicit grab and focus decide
// what it receives; its notifications are recorded in order.

#include "widgets/mmslider.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/platform/manual_time.h"
#include "tests/support/widgets/testwindow.h"
#include "widgets/playerlook.h"
#include "widgets/pointers.h"

namespace zq {
namespace {

using testing::TestWindow;

constexpr QRgb kBlack = 0x000000, kWhite = 0xFFFFFF, kShadow = 0x808080, kRed = 0xFF0000;
constexpr QRgb kGroove = 0xFFDFDF, kFocusedGroove = 0xFF8080;

QImage Grab(QWidget* w) {
  return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Sliders in a shown window; every notification of each goes to one log.
struct Shown {
  Shown() { EXPECT_TRUE(window.Show()); }

  TMMSlider* Add(const std::string& name, QRect geometry) {
    auto* s = new TMMSlider(window.Host(), platform.services());
    s->setGeometry(geometry);
    s->show();
    auto note = [this, name](const char* what) {
      return [this, name, what](TMMControl*) { log.push_back(name + what); };
    };
    s->OnChange = [this, name, s](TMMControl*) {
      log.push_back(name + "change " + std::to_string(s->Position()));
    };
    s->OnTrack = note("track");
    s->OnTrackEnd = note("end");
    s->OnEnter = note("enter");
    s->OnExit = note("exit");
    s->OnGetFocus = note("get focus");
    s->OnLostFocus = note("lost focus");
    s->OnMouseEnter = note("mouse enter");
    s->OnMouseLeave = note("mouse leave");
    return s;
  }
  // The player's slider at (10, 10).
  TMMSlider* Player() {
    TMMSlider* s = Add("", {10, 10, 252, 13});
    SetUpPlayerSlider(*s);
    s->move(10, 10);
    log.clear();
    return s;
  }
  std::vector<std::string> Take() { return std::exchange(log, {}); }

  // The log outlives the window, whose destruction still reports the focus leaving.
  testing::TestPlatform platform;
  std::vector<std::string> log;
  TestWindow window{{400, 300}};
};

using Log = std::vector<std::string>;

TEST(TMMSlider, ThePlayersSliderByPixels) {
  Shown s;
  TMMSlider* slider = s.Player();
  EXPECT_EQ(slider->TrackRect(), (TRect{5, 5, 247, 8}));
  EXPECT_EQ(slider->GrooveRect(), (TRect{5, 3, 247, 10}));
  slider->SetPosition(50);
  EXPECT_EQ(slider->ThumbRect(), (TRect{123, -3, 130, 15})) << "5 + round(50 x 235 / 100)";
  slider->SetPosition(30);
  EXPECT_EQ(slider->ThumbRect().Left, 75) << "70.5 rounds to even";

  slider->SetPosition(50);
  const QImage shot = Grab(slider);
  ASSERT_EQ(shot.size(), QSize(252, 13));
  auto at = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFF; };
  // Away from the thumb: the border, the sunken groove frame on rows 3 and 9, the fill between.
  const QRgb column[13] = {kBlack,  kBlack,  kBlack, kShadow, kGroove, kGroove, kGroove,
                           kGroove, kGroove, kWhite, kBlack,  kBlack,  kBlack};
  for (int x : {60, 200})
    for (int y = 0; y < 13; ++y)
      EXPECT_EQ(at(x, y), column[y]) << x << "," << y;
  for (int y = 0; y < 13; ++y) {
    EXPECT_EQ(at(0, y), kBlack);
    EXPECT_EQ(at(4, y), kBlack) << "the border is all of the frame";
  }
  // The thumb, clipped: its outline, the raised edge, red inside; the groove on either side.
  const QRgb across[9] = {kGroove, kBlack, kWhite, kRed, kRed, kRed, kShadow, kBlack, kGroove};
  for (int y = 0; y < 13; ++y)
    for (int i = 0; i < 9; ++i) {
      if ((i == 0 || i == 8) && (y < 4 || y > 8)) continue;  // the groove's frame and the border
      EXPECT_EQ(at(122 + i, y), across[i]) << 122 + i << "," << y;
    }

  slider->setFocus();
  EXPECT_EQ(Grab(slider).pixel(60, 6) & 0xFFFFFF, kFocusedGroove) << "faFocusColor";
}

// What each user action and program write reports, in order.
TEST(TMMSlider, ReportsChangesAndTracksInOrder) {
  struct Case {
    const char* what;
    std::function<void(Shown&, TMMSlider*)> act;
    Log log;
  } cases[] = {
      {"a jump click: the thumb centre under the pointer",
       [](Shown& s, TMMSlider* t) {
         s.window.Press(t, {196, 6});  // 188 of the 235 pixels: 80
         s.window.Release(t, {196, 6});
       },
       {"change 80", "track", "end"}},
      {"a drag",
       [](Shown& s, TMMSlider* t) {
         s.window.Press(t, {126, 6});   // on the thumb at 50
         s.window.Move(t, {131, 6});    // 5 x 100 / 235 = 2.1
         s.window.Move(t, {136, 6});    // 4.3
         s.window.Move(t, {137, 100});  // 4.7, far below: the grab keeps the drag
         s.window.Move(t, {131, 6});
         s.window.Release(t, {131, 6});
       },
       {"track", "change 52", "track", "change 54", "track", "change 55", "track", "change 52",
        "track", "end"}},
      {"a press on the thumb without moving",
       [](Shown& s, TMMSlider* t) {
         s.window.Click(t, {126, 6});
       },
       {"track", "end"}},
      {"keys",
       [](Shown& s, TMMSlider* t) {
         for (int key : {Qt::Key_Right, Qt::Key_Up, Qt::Key_Left, Qt::Key_Down, Qt::Key_PageUp,
                         Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home})
           s.window.KeyStroke(key);
       },
       {"change 51",  "track", "end", "change 52", "track", "end", "change 51", "track", "end",
        "change 50",  "track", "end", "change 55", "track", "end", "change 50", "track", "end",
        "change 100", "track", "end", "change 0",  "track", "end"}},
      {"a held key: the auto-repeated releases end nothing",
       [](Shown& s, TMMSlider*) {
         s.window.KeyDown(Qt::Key_Right);
         s.window.KeyUp(Qt::Key_Right, true);
         s.window.KeyDown(Qt::Key_Right, true);
         s.window.KeyUp(Qt::Key_Right, true);
         s.window.KeyDown(Qt::Key_Right, true);
         s.window.KeyUp(Qt::Key_Right);
       },
       {"change 51", "track", "change 52", "track", "change 53", "track", "end"}},
      {"a program write", [](Shown&, TMMSlider* t) { t->SetPosition(70); }, {"change 70"}},
      {"a write clamped to the current value",
       [](Shown&, TMMSlider* t) {
         t->SetPosition(100);
         t->SetPosition(250);
       },
       {"change 100"}},
      {"a key release with no track", [](Shown& s, TMMSlider*) { s.window.KeyUp(Qt::Key_A); }, {}},
      {"a key that moves nothing",
       [](Shown& s, TMMSlider* t) {
         t->SetPosition(100);
         s.window.KeyStroke(Qt::Key_Right);
         s.window.KeyStroke(Qt::Key_A);
       },
       {"change 100"}},
  };
  for (const Case& c : cases) {
    Shown s;
    TMMSlider* slider = s.Player();
    slider->SetPosition(50);
    slider->setFocus();
    s.window.Move(slider, {40, 6});  // the pointer in the slider already
    s.Take();
    c.act(s, slider);
    EXPECT_EQ(s.Take(), c.log) << c.what;
  }
}

// The mouse lost without a release ends the drag as a release would, with one OnTrackEnd.
TEST(TMMSlider, ADragEndsAsReleasedWhenTheMouseIsLost) {
  struct Case {
    const char* what;
    std::function<void(TMMSlider*&, TestWindow& other)> lose;
  } cases[] = {
      {"hidden", [](TMMSlider*& t, TestWindow&) { t->hide(); }},
      {"disabled", [](TMMSlider*& t, TestWindow&) { t->setEnabled(false); }},
      {"window deactivated", [](TMMSlider*&, TestWindow& other) { ASSERT_TRUE(other.Show()); }},
      {"destroyed",
       [](TMMSlider*& t, TestWindow&) {
         delete t;
         t = nullptr;
       }},
  };
  for (const Case& c : cases) {
    TestWindow other;
    Shown s;
    TMMSlider* slider = s.Player();
    slider->SetPosition(50);
    s.window.Press(slider, {126, 6});
    s.window.Move(slider, {136, 6});
    s.Take();
    TMMSlider* lost = slider;
    c.lose(lost, other);
    const Log log = s.Take();
    EXPECT_EQ(std::count(log.begin(), log.end(), "end"), 1) << c.what;
    if (lost != nullptr) {
      EXPECT_FALSE(lost->Dragging()) << c.what;
    }
    s.window.Move(s.window.Host(), {300, 200});
    s.window.Release(s.window.Host(), {300, 200});
    if (lost == nullptr) continue;
    EXPECT_EQ(lost->Position(), 54) << c.what;
    const Log after = s.Take();
    EXPECT_EQ(std::count(after.begin(), after.end(), "end"), 0) << c.what << ": ended once";
  }
}

// Qt's focus and pointer events around a press and a drag out of the slider, as the header says.
TEST(TMMSlider, FocusAndPointerEventsComeInQtsOrder) {
  Shown s;
  TMMSlider* a = s.Add("a ", {10, 10, 200, 40});
  TMMSlider* b = s.Add("b ", {10, 100, 200, 40});
  a->SetMaxValue(100);
  b->setFocus();
  s.window.Move(s.window.Host(), {300, 250});  // the pointer outside both
  s.Take();
  s.window.Move(a, {10, 20});
  s.window.Press(a, {10, 20});  // on the thumb at 0
  s.window.Move(a, {20, 20});   // 10 x 100 / 177 = 5.6
  s.window.Move(a, {20, 150});  // out of the slider with the button held
  s.window.Release(a, {20, 150});
  EXPECT_EQ(s.Take(), (Log{"a mouse enter", "b lost focus", "b exit", "a enter", "a get focus",
                           "a track", "a change 6", "a track", "a end", "a mouse leave"}));
  TestWindow other;  // the window deactivated, then activated again
  ASSERT_TRUE(other.Show());
  s.window.Host()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(s.window.Host()));
  EXPECT_EQ(s.Take(), (Log{"a lost focus", "a get focus"}));
}

TEST(TMMSlider, MaxValueStaysAboveMinValueAndLimitsNeverOverflow) {
  testing::QtApp();
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  TMMSlider slider;
  slider.SetMinValue(20);
  slider.SetMaxValue(20);
  EXPECT_EQ(slider.MaxValue(), 21);
  slider.SetMinValue(kMax);
  EXPECT_EQ(slider.MinValue(), kMax - 1);
  EXPECT_EQ(slider.MaxValue(), kMax);
  slider.SetMinValue(kMin);
  slider.SetPosition(kMin);
  EXPECT_EQ(slider.Position(), kMin);
  slider.SetPosition(kMax);
  EXPECT_EQ(slider.ThumbRect().Left, slider.TrackRect().Right - slider.ThumbWidth());
  slider.SetPosition(0);  // the middle of the widest range
  const int L = slider.TrackRect().Width() - slider.ThumbWidth();
  EXPECT_EQ(slider.ThumbRect().Left - slider.TrackRect().Left, (L + 1) / 2);
}

// The track is 20 pixels longer than the thumb and the range 10: a pixel is half a step.
TEST(TMMSlider, AJumpRoundsHalvesToEvenAndADragAwayFromZero) {
  Shown s;
  TMMSlider* t = s.Add("", {10, 10, 31, 20});
  t->Bevel().SetBevelOuter(bvNone);
  t->Bevel().SetBorderWidth(0);
  t->SetMaxValue(10);
  ASSERT_EQ(t->TrackRect().Width() - t->ThumbWidth(), 20);
  struct Jump {
    std::int64_t from;
    int x;  // off the thumb; x - 5 pixels from the track start: half a step each
    std::int64_t position;
  } jumps[] = {{9, 6, 0}, {9, 8, 2}, {9, 10, 2}, {9, 12, 4}, {0, 26, 10}};
  for (const Jump& j : jumps) {
    t->SetPosition(j.from);
    s.window.Click(t, {j.x, 10});
    EXPECT_EQ(t->Position(), j.position) << "a click at " << j.x;
  }
  t->SetPosition(5);
  const int from = t->ThumbRect().Left + 5;
  s.window.Press(t, {from, 10});
  struct Step {
    int travel;
    std::int64_t position;
  } steps[] = {{1, 6}, {-1, 4}, {3, 7}, {-3, 3}, {0, 5}};
  for (const Step& step : steps) {
    s.window.Move(t, {from + step.travel, 10});
    EXPECT_EQ(t->Position(), step.position) << "a drag by " << step.travel;
  }
  s.window.Release(t, {from, 10});
}

TEST(TMMSlider, ASliderShorterThanItsThumbOrWithoutARangeStaysPut) {
  Shown s;
  TMMSlider* t = s.Add("", {10, 10, 10, 10});
  t->Bevel().SetBevelOuter(bvNone);
  t->Bevel().SetBorderWidth(0);
  t->SetMaxValue(10);
  t->SetPosition(7);
  t->setFocus();
  s.window.Move(t, {1, 1});
  s.Take();
  EXPECT_EQ(t->ThumbRect().Left, 0) << "at the track start";
  s.window.Click(t, {8, 5});
  s.window.Press(t, {3, 5});
  s.window.Move(t, {9, 5});
  s.window.Release(t, {9, 5});
  EXPECT_EQ(t->Position(), 7);
  EXPECT_EQ(s.Take(), (Log{"track", "end", "track", "end"}));
  // A range of 0 while loading: painting and geometry keep to the track start.
  t->BeginLoading();
  t->SetMinValue(5);
  t->SetMaxValue(5);
  t->resize(100, 20);
  EXPECT_EQ(t->ThumbRect().Left, 0);
  Grab(t);
  t->EndLoading();
  EXPECT_EQ(t->MaxValue(), 6);
  EXPECT_EQ(t->Position(), 6);
}

TEST(TMMSlider, TallerThanWideItTurnsVerticalWithLargerValuesHigher) {
  Shown s;
  TMMSlider* t = s.Add("", {10, 10, 200, 40});
  t->SetMaxValue(100);
  EXPECT_EQ(t->Orientation(), orHorizontal);
  t->resize(40, 200);
  EXPECT_EQ(t->Orientation(), orVertical);
  t->SetThumbHeight(11);
  t->SetPosition(0);
  const int bottom = t->ThumbRect().Top;
  EXPECT_EQ(t->ThumbRect().Bottom, t->TrackRect().Bottom);
  t->SetPosition(100);
  EXPECT_EQ(t->ThumbRect().Top, t->TrackRect().Top);
  t->SetPosition(50);
  EXPECT_LT(t->ThumbRect().Top, bottom);
  // Up raises, End goes to the bottom; a click near the top gives a large value.
  t->setFocus();
  s.window.KeyStroke(Qt::Key_Up);
  EXPECT_EQ(t->Position(), 51);
  s.window.KeyStroke(Qt::Key_End);
  EXPECT_EQ(t->Position(), 0);
  s.window.Click(t, {20, t->TrackRect().Top + 5});
  EXPECT_EQ(t->Position(), 100);
  s.window.Press(t, {20, t->ThumbRect().Top + 5});
  s.window.Move(t, {20, t->ThumbRect().Top + 5 + 40});  // down
  EXPECT_LT(t->Position(), 100);
  s.window.Release(t, {20, 150});

  // End pictures shorten the track and are drawn without their key colour.
  QImage picture(9, 7, QImage::Format_RGB32);
  picture.fill(QColor(255, 0, 255));
  picture.setPixel(4, 3, qRgb(0, 0, 128));
  const TRect before = t->TrackRect();
  t->SetPicLeft(picture);
  t->SetPicRight(picture);
  EXPECT_EQ(t->TrackRect(), (TRect{before.Left, before.Top + 7, before.Right, before.Bottom - 7}));
  const QImage shot = Grab(t);
  int navy = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      ASSERT_NE(shot.pixel(x, y) & 0xFFFFFF, 0xFF00FFu) << x << "," << y;
      navy += (shot.pixel(x, y) & 0xFFFFFF) == 0x000080;
    }
  EXPECT_EQ(navy, 2);
}

TEST(TMMSlider, LogarithmicPositionsRoundTripAndNegativeWritesGiveTheLowest) {
  testing::QtApp();
  TMMSlider slider;
  slider.SetMaxValue(100);
  slider.SetLogarithmic(true);
  struct Case {
    std::int64_t position, internal;
  } cases[] = {{100, 100}, {50, 75}, {10, 17}, {0, 0}, {25, 50}};
  for (const Case& c : cases) {
    slider.SetPosition(c.position);
    EXPECT_EQ(slider.InternalPosition(), c.internal) << c.position;
    EXPECT_EQ(slider.Position(), c.position) << c.position;
  }
  slider.SetPosition(40);
  slider.SetPosition(-5);
  EXPECT_EQ(slider.InternalPosition(), 0);
  slider.SetPosition(6);  // -24.4 dB: below the sensitivity, the lowest
  EXPECT_EQ(slider.InternalPosition(), 0);
  // Switching the mode or the sensitivity keeps the position as read.
  slider.SetPosition(25);
  slider.SetSensitivity(-48);
  EXPECT_EQ(slider.InternalPosition(), 75);
  EXPECT_EQ(slider.Position(), 25);
  slider.SetLogarithmic(false);
  EXPECT_EQ(slider.InternalPosition(), 25);
  slider.SetSensitivity(-200);
  EXPECT_EQ(slider.Sensitivity(), -96);
}

TEST(TMMSlider, OneBlinkTimerForTheFocusedSliderHeldOnWhileDragging) {
  Shown s;
  TMMSlider* a = s.Add("a ", {10, 10, 200, 40});
  TMMSlider* b = s.Add("b ", {10, 100, 200, 40});
  for (TMMSlider* t : {a, b})
    t->SetFocusAction(TMMSlider::faFocusThumb);
  s.window.Host()->setFocus();
  EXPECT_EQ(s.platform.time.ArmedTimers(), 0);
  a->setFocus();
  EXPECT_EQ(s.platform.time.ArmedTimers(), 1);
  s.platform.time.AdvanceMs(500);
  EXPECT_TRUE(a->Blinking());
  // The blink pattern: black on every thumb pixel whose row and column share their parity.
  const QImage shot = Grab(a);
  const TRect thumb = a->ThumbRect();
  for (int y = thumb.Top; y < thumb.Bottom; ++y)
    for (int x = thumb.Left; x < thumb.Right; ++x)
      if ((x + y) % 2 == 0) {
        EXPECT_EQ(shot.pixel(x, y) & 0xFFFFFF, kBlack) << x << "," << y;
      }
  s.platform.time.AdvanceMs(500);
  EXPECT_FALSE(a->Blinking());
  b->setFocus();
  EXPECT_EQ(s.platform.time.ArmedTimers(), 1) << "one timer for the process";
  s.platform.time.AdvanceMs(500);
  EXPECT_FALSE(a->Blinking());
  EXPECT_TRUE(b->Blinking());
  s.window.Press(b, {b->ThumbRect().Left + 3, 20});
  s.platform.time.AdvanceMs(1500);
  EXPECT_TRUE(b->Blinking()) << "held on while dragging";
  s.window.Release(b, {b->ThumbRect().Left + 3, 20});
  delete b;  // focused: its timer goes with it
  EXPECT_EQ(s.platform.time.ArmedTimers(), 0);
  s.platform.time.AdvanceMs(2000);
  a->setFocus();
  EXPECT_EQ(s.platform.time.ArmedTimers(), 1);
  a->SetFocusAction(TMMSlider::faFocusRect);
  EXPECT_EQ(s.platform.time.ArmedTimers(), 0);
  EXPECT_FALSE(a->Blinking());
}

TEST(TMMSlider, ThePointerOverTheThumbIsKeptApartFromTheControlsCursor) {
  Shown s;
  TMMSlider* t = s.Player();
  t->SetPosition(50);
  t->SetHandCursor(true);
  t->SetCursor(crHandPoint - 1);  // a number without a shape: the arrow
  s.window.Move(t, {126, 6});
  EXPECT_EQ(t->cursor().shape(), Qt::PointingHandCursor) << "2005 over the thumb";
  s.window.Move(t, {40, 6});
  EXPECT_EQ(t->cursor().shape(), Qt::ArrowCursor);
  t->SetCursor(crVSplit);
  EXPECT_EQ(t->cursor().shape(), Qt::SplitVCursor);
  t->SetHandCursor(false);
  t->SetThumbCursor(crHSplit);
  s.window.Move(t, {126, 6});
  EXPECT_EQ(t->cursor().shape(), Qt::SplitHCursor);
  t->SetCursor(crHandPoint);  // the control's own pointer changes; over the thumb it stays
  EXPECT_EQ(t->cursor().shape(), Qt::SplitHCursor);
  EXPECT_EQ(t->Cursor(), crHandPoint);
  s.window.Move(t, {200, 6});
  EXPECT_EQ(t->cursor().shape(), Qt::PointingHandCursor);
}

TEST(TMMSlider, ADisabledThumbTakesTheParityPattern) {
  Shown s;
  TMMSlider* t = s.Player();
  t->SetPosition(50);
  t->SetDisabledColor(clWhite);
  const QImage enabled = Grab(t);
  t->setEnabled(false);
  const QImage disabled = Grab(t);
  const TRect thumb = t->ThumbRect();
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 252; ++x) {
      const bool inThumb = x >= thumb.Left && x < thumb.Right && y >= thumb.Top && y < thumb.Bottom;
      const QRgb want = inThumb && (x + y) % 2 == 0 ? kWhite : enabled.pixel(x, y) & 0xFFFFFF;
      ASSERT_EQ(disabled.pixel(x, y) & 0xFFFFFF, want) << x << "," << y;
    }
}

TEST(TBitmapCache, SlidersOfOneSizeShareOneBitmap) {
  testing::QtApp();
  ASSERT_FALSE(TBitmapCache::Exists());
  {
    TMMSlider a, b;
    for (TMMSlider* t : {&a, &b}) {
      SetUpPlayerSlider(*t);
      t->show();
    }
    QApplication::processEvents();
    EXPECT_EQ(TBitmapCache::Entries(), 1);
    EXPECT_EQ(TBitmapCache::UseCount(252, 13), 2);
    const QImage one = Grab(&a);
    b.SetPosition(100);
    Grab(&b);
    EXPECT_EQ(Grab(&a), one) << "each paint composes its own picture in the shared bitmap";
    b.resize(300, 13);
    QApplication::processEvents();
    EXPECT_EQ(TBitmapCache::UseCount(252, 13), 1);
    EXPECT_EQ(TBitmapCache::UseCount(300, 13), 1);
  }
  EXPECT_FALSE(TBitmapCache::Exists()) << "the list goes with its last bitmap";
}

TEST(TMMSlider, AssistiveTechnologySetsThePositionAsTheUserWould) {
  Shown s;
  TMMSlider* t = s.Player();
  t->setAccessibleName("Posição");
  t->SetPosition(20);
  s.Take();
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(t);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::Slider);
  EXPECT_EQ(a->text(QAccessible::Name), "Posição");
  QAccessibleValueInterface* v = a->valueInterface();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->currentValue().toLongLong(), 20);
  EXPECT_EQ(v->maximumValue().toLongLong(), 100);
  v->setCurrentValue(64);
  EXPECT_EQ(s.Take(), (Log{"change 64", "track", "end"})) << "so that the player seeks";
}

}  // namespace
}  // namespace zq
