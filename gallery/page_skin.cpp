#include "gallery/page_skin.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <cstdio>

#include "gallery/gallery.h"
#include "widgets/dxfshapedform.h"
#include "widgets/mmcontrols.h"
#include "widgets/pictures.h"

namespace zq::gallery {

namespace {

using namespace skin;

void Say(const char* what, QPoint p) {
  std::printf("%s %d %d\n", what, p.x(), p.y());
  std::fflush(stdout);
}

// What the shaping keeps of the picture, over a checkerboard that stands for the desktop.
QImage ShapedPreview(const QImage& picture) {
  QImage out(picture.size(), QImage::Format_RGB32);
  {
    QPainter p(&out);
    for (int y = 0; y < out.height(); y += 10)
      for (int x = 0; x < out.width(); x += 10)
        p.fillRect(x, y, 10, 10, ((x + y) / 10) % 2 != 0 ? QColor(200, 200, 200) : Qt::white);
    p.setClipRegion(PictureRegion(picture));
    p.drawImage(0, 0, picture);
  }
  return out;
}

std::unique_ptr<QWidget> BuildSkinPage() {
  auto root = std::make_unique<TMMCustomPanel>();
  root->setFixedSize(kWidth, kHeight);
  root->Bevel().SetBevelOuter(bvRaised);
  QWidget* p = root.get();
  const QImage picture = LoadPicture("SKIN");

  auto* l = new QLabel("The skin (key colour: its top-left pixel)", p);
  l->setGeometry(10, 8, 440, 16);
  auto* control = new TdxfShapedForm(p, p);
  control->SetPicture(picture);
  control->move(10, 28);

  l = new QLabel("What the shaped window keeps of it", p);
  l->setGeometry(480, 8, 440, 16);
  auto* preview = new QLabel(p);
  preview->setPixmap(QPixmap::fromImage(ShapedPreview(picture)));
  preview->setGeometry(480, 28, picture.width(), picture.height());
  return root;
}

ZQ_GALLERY_PAGE("skin", 40, BuildSkinPage);

class Beneath : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0, 160, 0)); }
  void mousePressEvent(QMouseEvent* e) override { Say("beneath-press", e->position().toPoint()); }
};

class SkinWindow : public QWidget {
 protected:
  void moveEvent(QMoveEvent* e) override { Say("moved", e->pos()); }
};

}  // namespace

int skin::RunShapedWindow(QApplication& app) {
  Beneath beneath;
  beneath.setWindowFlag(Qt::FramelessWindowHint);
  beneath.setGeometry(kBeneathX, kBeneathY, kBeneathSize, kBeneathSize);
  beneath.show();

  SkinWindow window;
  window.setWindowTitle("Zelto Quelvar 2009");
  window.setWindowFlag(Qt::FramelessWindowHint);
  window.setGeometry(kWindowX, kWindowY, kWindowW, kWindowH);
  TdxfShapedForm skin(&window);
  skin.SetPicture(LoadPicture("SKIN"));
  skin.OnMouseDown = [](TMMControl*, TMouseButton, Qt::KeyboardModifiers, int x, int y) {
    Say("skin-press", {x, y});
  };
  skin.OnMouseMove = [&skin](TMMControl*, Qt::KeyboardModifiers, int x, int y) {
    if (skin.Following()) Say("following", {x, y});
  };
  skin.SetActive(true);
  window.show();
  QTimer::singleShot(300, [&] { Say("ready", window.pos()); });
  return app.exec();
}

}  // namespace zq::gallery
