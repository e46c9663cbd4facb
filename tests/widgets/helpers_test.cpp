// The shared helpers of the widgets: Windows fonts, pointers, built-in pictures and what
// assistive technology is told.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"
#include "widgets/fonts.h"
#include "widgets/mmgauge.h"
#include "widgets/mmlabel.h"
#include "widgets/mmledlabel.h"
#include "widgets/pictures.h"
#include "widgets/pointers.h"

namespace zq {
namespace {

TEST(WindowsFont, FacesMapToInstalledFamiliesAndSizesToPixelsAt96Dpi) {
  testing::QtApp();
  struct Face {
    const char* face;
    const char* family;
  } faces[] = {{"Arial", "Liberation Sans"},
               {"arial", "Liberation Sans"},
               {"Times New Roman", "Liberation Serif"},
               {"Courier New", "Liberation Mono"},
               {"DejaVu Sans", "DejaVu Sans"}};  // not in the table: asked for by its name
  for (const Face& f : faces) {
    EXPECT_EQ(FamilyForFace(f.face), f.family) << f.face;
    EXPECT_TRUE(QFontDatabase::hasFamily(f.family)) << f.family << " is not installed";
    EXPECT_EQ(QFontInfo(WindowsFont(f.face, 10)).family(), f.family) << f.face;
  }
  struct Size {
    int size, pixels;
  } sizes[] = {{8, 11},  {9, 12}, {10, 13},  {12, 16}, {18, 24},
               {20, 27}, {-9, 9}, {-20, 20}, {0, 11}};
  for (const Size& s : sizes) {
    EXPECT_EQ(FontPixels(s.size), s.pixels) << s.size;
    EXPECT_EQ(WindowsFont("Arial", s.size).pixelSize(), s.pixels) << s.size;
  }
  const QFont f = WindowsFont("Times New Roman", 20, fsBold | fsItalic | fsUnderline);
  EXPECT_TRUE(f.bold() && f.italic() && f.underline() && !f.strikeOut());
  // The same metrics as the faces they stand for: "W" in 20-pixel Arial is 19 pixels wide.
  EXPECT_EQ(QFontMetrics(WindowsFont("Arial", -20)).horizontalAdvance('W'), 19);
}

TEST(PointerShape, StandardShapesByNegativeNumbersAndTheArrowForNumbersWithoutOne) {
  testing::QtApp();
  struct Case {
    int number;
    Qt::CursorShape shape;
    bool known;
  } cases[] = {{crHandPoint, Qt::PointingHandCursor, true},
               {crDefault, Qt::ArrowCursor, true},
               {crArrow, Qt::ArrowCursor, true},
               {crNone, Qt::BlankCursor, true},
               {crLibraryHand, Qt::PointingHandCursor, true},
               {crHSplit, Qt::SplitHCursor, true},
               {crVSplit, Qt::SplitVCursor, true},
               {-999, Qt::ArrowCursor, false},
               {2099, Qt::ArrowCursor, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(PointerShape(c.number).shape(), c.shape) << c.number;
    EXPECT_EQ(HasPointerShape(c.number), c.known) << c.number;
  }
  TMMGraphicControl control;
  control.SetCursor(crHandPoint);
  EXPECT_EQ(control.Cursor(), crHandPoint);
  EXPECT_EQ(control.cursor().shape(), Qt::PointingHandCursor);
}

TEST(LoadPicture, FindsDrawnSheetsAndResourcePicturesByName) {
  testing::QtApp();
  struct Case {
    const char* name;
    QSize size;
  } cases[] = {{"FONT_11X13", {693, 28}},      {"FONT_16X20", {1008, 42}},
               {"FONT_11X13_BOLD", {694, 28}}, {"TITLE_TEXTURE", {80, 60}},
               {"SKIN", {450, 400}},           {"LCD_15X25", {143, 25}},
               {"LCDS_06X07", {16, 7}},        {"MMSPINUPV", {57, 13}},
               {"MMSPINDOWNH", {39, 19}},      {"NO_SUCH_PICTURE", {0, 0}}};
  for (const Case& c : cases)
    EXPECT_EQ(LoadPicture(c.name).size(), c.size) << c.name;
  EXPECT_TRUE(LoadPicture("NO_SUCH_PICTURE").isNull());
  EXPECT_TRUE(LoadPicture("skin").isNull()) << "names are exact";
}

QAccessibleInterface* Accessible(QObject* o) {
  return QAccessible::queryAccessibleInterface(o);
}

TEST(Accessibility, EachWidgetTellsItsRoleNameAndValue) {
  testing::QtApp();
  testing::TestPlatform platform;
  TMMLEDLABEL led(nullptr, platform.services());
  led.SetCaption("12:34:56");
  TMMLabel title;
  title.SetCaption("Zelto Quelvar 2009");
  TMakerLine maker(nullptr, platform.services());
  TMMGauge gauge;
  gauge.SetCaption("ESPAÇO OCUPADO");
  gauge.SetMaxValue(1000);
  gauge.SetProgress(370);

  struct Case {
    QObject* object;
    QAccessible::Role role;
    QString name, value;
  } cases[] = {
      {&led, QAccessible::StaticText, "12:34:56", "12:34:56"},
      {&title, QAccessible::StaticText, "Zelto Quelvar 2009", "Zelto Quelvar 2009"},
      {&maker, QAccessible::Link, maker.Caption(), kMakerAddress},
      {&gauge, QAccessible::ProgressBar, "ESPAÇO OCUPADO", "ESPAÇO OCUPADO 37%"},
  };
  for (const Case& c : cases) {
    QAccessibleInterface* i = Accessible(c.object);
    ASSERT_NE(i, nullptr) << c.name.toStdString();
    EXPECT_EQ(i->role(), c.role) << c.name.toStdString();
    EXPECT_EQ(i->text(QAccessible::Name), c.name);
    EXPECT_EQ(i->text(QAccessible::Value), c.value);
  }
  led.SetCaption("00:00:01");
  EXPECT_EQ(Accessible(&led)->text(QAccessible::Value), "00:00:01") << "read when asked";

  QAccessibleValueInterface* value = Accessible(&gauge)->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toInt(), 370);
  EXPECT_EQ(value->minimumValue().toInt(), 0);
  EXPECT_EQ(value->maximumValue().toInt(), 1000);

  QAccessibleActionInterface* action = Accessible(&maker)->actionInterface();
  ASSERT_NE(action, nullptr);
  EXPECT_TRUE(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
  action->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(platform.browser.opened, std::vector<std::string>{kMakerAddress});
}

}  // namespace
}  // namespace zq
