#include "widgets/dxfshapedform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "tests/support/qt_app.h"

namespace zq {
namespace {

// A picture from text: '.' white, '#' black, 'r' red.
QImage Picture(const std::vector<std::string>& rows) {
  QImage img(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const char c = rows[y][x];
      img.setPixel(x, y,
                   c == '#'   ? qRgb(0, 0, 0)
                   : c == 'r' ? qRgb(255, 0, 0)
                              : qRgb(255, 255, 255));
    }
  return img;
}

// Every pixel of the picture, moved by offset, is in the region exactly when it differs from the
// picture's pixel (0, 0); and nothing else is.
void ExpectRegionIsThePicture(const QRegion& region, const QImage& picture, QPoint offset) {
  const QRgb key = picture.pixel(0, 0);
  int inside = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const bool drawn = picture.pixel(x, y) != key;
      inside += drawn;
      ASSERT_EQ(region.contains(QPoint(x, y) + offset), drawn) << x << "," << y;
    }
  int area = 0;
  for (const QRect& r : region)
    area += r.width() * r.height();
  EXPECT_EQ(area, inside);
}

TEST(PictureRegion, RunsOfPixelsThatDifferFromTheCornerMakeTheRegion) {
  testing::QtApp();
  struct Case {
    const char* name;
    std::vector<std::string> rows;
    std::vector<QRect> runs;
  } cases[] = {
      {"white around a drawing",
       {"......", "..##..", ".#r#..", "......"},
       {QRect(2, 1, 2, 1), QRect(1, 2, 3, 1)}},
      {"a row opaque to its right edge",
       {".....", "..###", "#.r.."},
       {QRect(2, 1, 3, 1), QRect(0, 2, 1, 1), QRect(2, 2, 1, 1)}},
      {"no runs", {"...", "..."}, {}},
      {"a red key",
       {"rr#", "#r#", "rrr"},
       {QRect(2, 0, 1, 1), QRect(0, 1, 1, 1), QRect(2, 1, 1, 1)}},
      {"equal rows merge into bands",
       {"....", ".##.", ".##.", ".#.#"},
       {QRect(1, 1, 2, 1), QRect(1, 2, 2, 1), QRect(1, 3, 1, 1), QRect(3, 3, 1, 1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QImage picture = Picture(c.rows);
    EXPECT_EQ(PictureRuns(picture), c.runs);
    ExpectRegionIsThePicture(PictureRegion(picture), picture, {});
    ExpectRegionIsThePicture(PictureRegion(picture, {7, 3}), picture, {7, 3});
  }
  EXPECT_TRUE(PictureRegion(QImage()).isEmpty());
}

TEST(PictureRegion, TakesEveryRunOfALargePicture) {
  testing::QtApp();
  QImage checker(400, 300, QImage::Format_RGB32);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x)
      checker.setPixel(x, y, (x + y) % 2 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  EXPECT_EQ(PictureRuns(checker).size(), 60000u);
  ExpectRegionIsThePicture(PictureRegion(checker, {2, 1}), checker, {2, 1});
}

// A window with the control two panels deep: at (2, 1) in a panel at (3, 4) in a panel at
// (10, 5), so the picture lies at (15, 10) in the window.
struct Window {
  bool app = (testing::QtApp(), true);
  QWidget window;
  QWidget* outer = new QWidget(&window);
  QWidget* inner = new QWidget(outer);
  TdxfShapedForm* skin;
  const QPoint offset{15, 10};

  explicit Window(Qt::WindowFlags flags = {}) {
    window.setWindowFlags(window.windowFlags() | flags);
    window.resize(120, 90);
    outer->setGeometry(10, 5, 100, 80);
    inner->setGeometry(3, 4, 90, 70);
    skin = new TdxfShapedForm(&window, inner);
    skin->move(2, 1);
  }
  bool Frameless() const { return window.windowFlags().testFlag(Qt::FramelessWindowHint); }
};

const std::vector<std::string> kDrawing = {"......", "..##..", ".#rr#.", "..##..", "......"};

TEST(TdxfShapedForm, ShapesTheWindowToThePictureWhereTheControlLies) {
  Window w;
  w.window.show();
  w.skin->SetPicture(Picture(kDrawing));
  EXPECT_EQ(w.skin->size(), QSize(6, 5)) << "AutoSize";
  EXPECT_TRUE(w.window.mask().isEmpty());
  w.skin->SetActive(true);
  EXPECT_TRUE(w.Frameless());
  EXPECT_TRUE(w.window.isVisible()) << "shown again after the new frame hid it";
  ExpectRegionIsThePicture(w.window.mask(), Picture(kDrawing), w.offset);

  w.skin->SetActive(false);
  EXPECT_TRUE(w.window.mask().isEmpty());
  EXPECT_FALSE(w.Frameless());
  EXPECT_TRUE(w.window.isVisible());
}

TEST(TdxfShapedForm, UnshapingRestoresTheFrameOfBeforeTheFirstShaping) {
  {
    Window w;
    w.skin->SetPicture(Picture(kDrawing));
    w.skin->SetActive(true);
    w.skin->SetActive(true);  // a second shaping must not take "frameless" as the old frame
    w.skin->SetActive(false);
    EXPECT_FALSE(w.Frameless());
    EXPECT_TRUE(w.window.mask().isEmpty());
  }
  {
    Window w(Qt::FramelessWindowHint);
    w.skin->SetPicture(Picture(kDrawing));
    w.skin->SetActive(true);
    w.skin->SetActive(false);
    EXPECT_TRUE(w.Frameless());
  }
}

TEST(TdxfShapedForm, WithoutAPictureOrRunsTheWindowStaysWhole) {
  {
    Window w;
    w.skin->SetActive(true);
    EXPECT_TRUE(w.skin->Active());
    EXPECT_TRUE(w.window.mask().isEmpty());
    EXPECT_FALSE(w.Frameless()) << "no picture: nothing changes";
  }
  {
    Window w;
    w.skin->SetPicture(Picture({"...", "..."}));
    w.skin->SetActive(true);
    EXPECT_TRUE(w.window.mask().isEmpty());
    EXPECT_TRUE(w.Frameless());
  }
  {
    Window w;  // in design state Active is only stored
    w.skin->SetPicture(Picture(kDrawing));
    w.skin->SetDesignMode(true);
    w.skin->SetActive(true);
    EXPECT_TRUE(w.skin->Active());
    EXPECT_TRUE(w.window.mask().isEmpty());
  }
}

TEST(TdxfShapedForm, RefusesAnOwnerThatIsNotATopLevelWindow) {
  testing::QtApp();
  QWidget window, other;
  auto* child = new QWidget(&window);
  EXPECT_THROW(TdxfShapedForm{child}, EdxfShapedFormError);
  EXPECT_THROW(TdxfShapedForm{nullptr}, EdxfShapedFormError);
  EXPECT_THROW((TdxfShapedForm{&window, &other}), EdxfShapedFormError);
  EXPECT_EQ(window.children().size(), 1u) << "a refused control leaves nothing behind";
}

void Mouse(QWidget& w, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button,
           Qt::MouseButtons held) {
  QMouseEvent e(type, local, global, button, held, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

// Presses a point of the control and drags by (30, 20); true when the window followed.
bool Drags(Window& w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  w.window.move(100, 100);
  const QPoint global = w.window.pos() + w.offset + at;
  Mouse(*w.skin, QEvent::MouseButtonPress, at, global, button, button);
  Mouse(*w.skin, QEvent::MouseMove, at + QPoint(30, 20), global + QPoint(30, 20), Qt::NoButton,
        button);
  Mouse(*w.skin, QEvent::MouseButtonRelease, at + QPoint(30, 20), global + QPoint(30, 20), button,
        Qt::NoButton);
  EXPECT_FALSE(w.skin->Following());
  return w.window.pos() == QPoint(130, 120);
}

TEST(TdxfShapedForm, APressOnTheCaptionColourOrAnywhereWithAlwaysMoveDragsTheWindow) {
  Window w;
  w.skin->SetAutoSize(false);
  w.skin->SetPicture(Picture(kDrawing));
  w.skin->resize(40, 40);  // the picture covers only its top-left corner
  w.skin->SetActive(true);
  int presses = 0;
  w.skin->OnMouseDown = [&](TMMControl*, TMouseButton, Qt::KeyboardModifiers, int, int) {
    ++presses;
  };
  w.skin->SetAlwaysMove(false);
  EXPECT_TRUE(Drags(w, {2, 1})) << "black, the caption colour";
  EXPECT_FALSE(Drags(w, {2, 2})) << "red";
  EXPECT_FALSE(Drags(w, {0, 0})) << "white";
  EXPECT_FALSE(Drags(w, {2, 1}, Qt::RightButton));
  // Outside the picture no pixel is read: not even the value QImage::pixel makes up there.
  EXPECT_FALSE(Drags(w, {30, 30}));
  w.skin->SetCaptionColor(RGB(0x00, 0x30, 0x39));  // qRgb 12345
  EXPECT_FALSE(Drags(w, {30, 30}));
  EXPECT_EQ(presses, 6) << "the control's own press handling comes first";

  w.skin->SetAlwaysMove(true);
  EXPECT_TRUE(Drags(w, {2, 2}));
  EXPECT_TRUE(Drags(w, {30, 30}));
  w.skin->SetActive(false);
  EXPECT_FALSE(Drags(w, {2, 1}));
}

}  // namespace
}  // namespace zq
