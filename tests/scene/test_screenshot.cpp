#include "framework/3d/scene_renderer.h"
#include "scene/pd_label.h"
#include "scene/pd_round_arrow.h"
#include "scene/pd_sphere.h"
#include "scene_fixture.h"

#include <QElapsedTimer>
#include <QWindow>

#include <numbers>

namespace {

// A view opened the way the main window opens its view: far plane 5000,
// field of view 50, axes on, frame timer stopped, one update.
class ShownView : public ::testing::Test {
protected:
  void SetUp() override {
    previous_ = SetUserAlertSink({[](const std::string&) {}, [] {}});
    view = std::make_unique<PD3DSpace>();
    view->resize(800, 600);
    view->Yon = 5000.0;
    view->FieldOfView = 50;
    QObject::connect(view.get(), &PD3DSpace::Open, view.get(), [this] {
      view->ShowAxes = showAxes;
      view->StopAutoUpdate();
      view->Update();
    });
  }
  void TearDown() override {
    view.reset();
    SetUserAlertSink(previous_);
  }

  bool Show() {
    view->show();
    QElapsedTimer t;
    t.start();
    while (!(view->windowHandle() && view->windowHandle()->isExposed()) && t.elapsed() < 5000)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    return view->IsOpen() && view->windowHandle()->isExposed();
  }

  QImage Grab() {
    view->Update();
    QApplication::processEvents();
    QImage img = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    if (const char* dir = std::getenv("VOLTIX_SCREENSHOT_DIR"))
      img.save(QString::fromUtf8(dir) + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
               QString::number(++shots_) + ".png");
    return img;
  }

  // Where a world point appears in the picture.
  QPoint Project(const Vector3D& p) {
    const Object3D& cam = *view->Camera();
    const Vector3D f = cam.Orientation.Transform(Vector3D(0, 0, 1));
    const Vector3D u = cam.Orientation.Transform(Vector3D(0, 1, 0));
    const Vector3D r = f.Cross(u);
    const Vector3D d = p.Minus(cam.Position);
    const double t = std::tan(view->FieldOfView * std::numbers::pi / 360.0);
    const double half = view->height() / 2.0;
    return QPoint(static_cast<int>(std::lround(view->width() / 2.0 + d.Dot(r) / d.Dot(f) / t * half)),
                  static_cast<int>(std::lround(half - d.Dot(u) / d.Dot(f) / t * half)));
  }

  std::unique_ptr<PD3DSpace> view;
  bool showAxes = true;

private:
  UserAlertSink previous_;
  int shots_ = 0;
};

// How many pixels of a rectangle pass a colour test.
template <class Pred>
int CountIn(const QImage& img, QRect r, Pred pred) {
  r = r.intersected(img.rect());
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (pred(QColor(img.pixel(x, y)))) ++n;
  return n;
}

bool Green(const QColor& c) { return c.green() > 120 && c.red() < 60 && c.blue() < 60; }
bool Blue(const QColor& c) { return c.blue() > 120 && c.red() < 60 && c.green() < 60; }
bool Red(const QColor& c) { return c.red() > 60 && c.green() < 40 && c.blue() < 40; }
bool Yellow(const QColor& c) { return c.red() > 60 && c.green() > 60 && c.blue() < 40; }
bool Black(const QColor& c) { return c.red() < 10 && c.green() < 10 && c.blue() < 10; }
bool Light(const QColor& c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; }
bool Ink(const QColor& c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; }

}  // namespace

TEST_F(ShownView, AxesArrowAndSphereAppearWhereTheyProject) {
  ASSERT_TRUE(Show());
  EXPECT_EQ(view->SkyColor, 0u);
  const Vector3D spherePos(0, -120, 0);
  New<PDSphere>(&spherePos, 0xFF0000u, 15.0);
  const Vector3D start(0, -60, -100), vec(0, 0, 60);
  New<PDRoundArrow>(&start, 0xFFFF00u, &vec);
  const QImage img = Grab();
  ASSERT_EQ(img.width(), 800);
  const QPoint c = Project(Vector3D());
  EXPECT_NEAR(c.x(), 400, 1);
  EXPECT_NEAR(c.y(), 300, 1);

  // The green y axis runs to the right of the centre, not to the left.
  EXPECT_GT(CountIn(img, QRect(c.x() + 40, c.y() - 3, 100, 7), Green), 50);
  EXPECT_EQ(CountIn(img, QRect(c.x() - 140, c.y() - 3, 100, 7), Green), 0);
  // The blue z axis runs up, not down.
  EXPECT_GT(CountIn(img, QRect(c.x() - 3, c.y() - 140, 7, 100), Blue), 50);
  EXPECT_EQ(CountIn(img, QRect(c.x() - 3, c.y() + 40, 7, 100), Blue), 0);

  // The sphere and the arrow's head where their positions project.
  const QPoint s = Project(spherePos);
  EXPECT_LT(s.x(), c.x() - 100);
  EXPECT_TRUE(Red(QColor(img.pixel(s)))) << QColor(img.pixel(s)).name().toStdString();
  EXPECT_GT(CountIn(img, QRect(s.x() - 5, s.y() - 5, 11, 11), Red), 100);
  const QPoint head = Project(Vector3D(0, -60, -100 + 42 + 6));
  const QPoint shaft = Project(Vector3D(0, -60, -100 + 20));
  EXPECT_GT(CountIn(img, QRect(head.x() - 2, head.y() - 2, 5, 5), Yellow), 15);
  EXPECT_GT(CountIn(img, QRect(shaft.x() - 1, shaft.y() - 1, 3, 3), Yellow), 5);

  // Background elsewhere.
  EXPECT_EQ(CountIn(img, QRect(0, 0, 60, 60), Black), 3600);
  EXPECT_EQ(CountIn(img, QRect(s.x() - 60, s.y() - 5, 11, 11), Red), 0);
}

TEST_F(ShownView, FramedLabelStaysUprightWhileTheCameraOrbits) {
  showAxes = false;
  ASSERT_TRUE(Show());
  auto label = New<PDLabel>(nullptr, "L", 0.0, 0.0, 70, 12, "", 0x000000u, 0xFF0000u, true, false);
  const struct {
    double lat, lon;
  } orbits[] = {{10, 0}, {10, 90}, {40, 200}, {-25, 300}, {60, 135}};
  for (const auto& o : orbits) {
    SCOPED_TRACE("latitude " + std::to_string(o.lat) + ", longitude " + std::to_string(o.lon));
    view->Latitude = o.lat;
    view->Longitude = o.lon;
    const QImage img = Grab();
    const QPoint at = Project(label->Position);
    const QRect around(at.x() - 120, at.y() - 120, 240, 240);
    // The light box, facing the camera: its extent on the screen.
    QRect box;
    for (int y = around.top(); y <= around.bottom(); ++y)
      for (int x = around.left(); x <= around.right(); ++x)
        if (img.rect().contains(x, y) && Light(QColor(img.pixel(x, y)))) box |= QRect(x, y, 1, 1);
    ASSERT_GT(box.height(), 40);
    EXPECT_TRUE(box.contains(at));
    // The ink of the "L" inside it: upright and not mirrored, the stroke on the
    // left and the foot at the bottom.
    QRect ink;
    for (int y = box.top() + 3; y <= box.bottom() - 3; ++y)
      for (int x = box.left() + 3; x <= box.right() - 3; ++x)
        if (Ink(QColor(img.pixel(x, y)))) ink |= QRect(x, y, 1, 1);
    ASSERT_GT(ink.height(), 20);
    const int mx = ink.center().x(), my = ink.center().y();
    const QRect topLeft(ink.left(), ink.top(), mx - ink.left(), my - ink.top());
    const QRect topRight(mx + 2, ink.top(), ink.right() - mx - 1, my - ink.top() - 2);
    const QRect bottomRight(mx + 2, my + 2, ink.right() - mx - 1, ink.bottom() - my - 1);
    EXPECT_GT(CountIn(img, topLeft, Ink), 20);
    EXPECT_EQ(CountIn(img, topRight, Ink), 0);
    EXPECT_GT(CountIn(img, bottomRight, Ink), 10);
  }
}

TEST_F(ShownView, AFramedLabelWiderThanTheDriversLargestTextureStillShows) {
  showAxes = false;
  ASSERT_TRUE(Show());
  (void)Grab();
  const int limit = view->renderer().maxTextureSize();
  ASSERT_GT(limit, 0);
  // At least 1,400 letters, and in any case a picture wider than the driver takes.
  const std::string text(static_cast<std::size_t>(std::max(1400, limit / 6)), 'W');
  auto label = New<PDLabel>(nullptr, text, 0.0, 0.0, 12, 0, "", 0x000000u, 0xFF0000u, true, false);
  ASSERT_FALSE(label->PictureShapes().empty());
  ASSERT_GT(label->PictureShapes()[0].image.width(), limit);
  const QImage img = Grab();
  // Its light frame and dark letters across the middle of the view.
  const QPoint at = Project(label->Position);
  const QRect band(0, at.y() - 20, img.width(), 41);
  EXPECT_GT(CountIn(img, band, Light), img.width() * 4);
  EXPECT_GT(CountIn(img, band, Ink), img.width());
}
