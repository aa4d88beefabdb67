#pragma once
// What the 3D view tests share: a shown view, the orbit camera's aim, shape
// texts and colour tests on frame pixels.

#include "framework/3d/rb3dspace.h"
#include "framework/3d/scene_renderer.h"
#include "framework/text/text.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace gltest {

class TestView : public Rb3DSpace {
public:
  using Rb3DSpace::Rb3DSpace;
  using Rb3DSpace::event;
  int opens = 0;
  int closes = 0;
  int paints = 0;
  bool answerDown = true;
  bool throwOnDown = false;
  std::vector<std::pair<int, int>> downs;
  std::vector<std::pair<int, int>> ups;

protected:
  void Event_Open() override { ++opens; }
  void Event_Close() override { ++closes; }
  bool Event_MouseDown(int x, int y) override {
    downs.emplace_back(x, y);
    if (throwOnDown) throw std::runtime_error("handler failed");
    return answerDown;
  }
  void Event_MouseUp(int x, int y) override { ups.emplace_back(x, y); }
  void paintGL() override {
    ++paints;
    Rb3DSpace::paintGL();
  }
};

inline void waitExposed(QWidget& window) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 5000 && !(window.windowHandle() && window.windowHandle()->isExposed())) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  QApplication::processEvents();
}

// A view of w x h pixels filling a shown top-level window.
struct Harness {
  QWidget window;
  TestView* view;
  explicit Harness(int w = 300, int h = 200) {
    view = new TestView(&window);
    view->setGeometry(0, 0, w, h);
    window.resize(w, h);
    window.show();
    waitExposed(window);
  }
};

// Aims the camera the way the orbit camera does: base turn, roll, heading,
// then a pitch that brings its own +z onto the centre.
inline void aimCamera(Object3D& camera, const Vector3D& position, const Vector3D& center) {
  camera.Position = position;
  camera.Orientation.SetRotateAboutAxis(1.0, 0.0, 0.0, std::numbers::pi / 2.0);
  camera.Roll(std::numbers::pi);
  const double h = std::atan2(center.X - position.X, center.Y - position.Y);
  Quaternion q;
  q.SetRotateAboutAxis(0.0, 0.0, 1.0, -h);
  camera.Orientation.MultiplyBy(q);
  const Vector3D f = camera.Orientation.Transform({0.0, 0.0, 1.0});
  Vector3D d = center.Minus(position);
  d.Normalize();
  const double c = std::min(1.0, std::max(-1.0, f.Dot(d)));
  double a = -std::acos(c);
  if (d.Z > 0.0) a = -a;
  camera.Pitch(a);
}

inline std::string shapeText(const std::string& keyword, const std::string& fields, double red, double green,
                             double blue, const std::string& extra = "") {
  return "3DMetafile ( 1 6 Normal tableofcontents0> )\r\tContainer (\r\t\t" + keyword + " (\r" + fields +
         "\t\t)\r\t\tAttributeSet ( )\r\t\tDiffuseColor ( " + Str(red) + " " + Str(green) + " " + Str(blue) +
         " )\r" + extra + "\t)\r";
}

inline std::string sphereText(double r, double red, double green, double blue, const std::string& extra = "") {
  const std::string R = Str(r);
  return shapeText("Ellipsoid", "\t\t\t0 0 " + R + "\r\t\t\t" + R + " 0 0\r\t\t\t0 " + R + " 0\r\t\t\t0 0 0\r\t\t\t0 1\r\t\t\t0 1\r",
                   red, green, blue, extra);
}

inline std::string lineText(const Vector3D& d, double red, double green, double blue) {
  return shapeText("Line", "\t\t\t0 0 0\r\t\t\t" + Str(d.X) + " " + Str(d.Y) + " " + Str(d.Z) + "\r", red, green,
                   blue);
}

// A box with its centre at the element's origin and sides a, b, c along x, y, z.
inline std::string boxText(double a, double b, double c, double red, double green, double blue) {
  return shapeText("Box",
                   "\t\t\t" + Str(a) + " 0 0\r\t\t\t0 " + Str(b) + " 0\r\t\t\t0 0 " + Str(c) + "\r\t\t\t" +
                       Str(-a / 2) + " " + Str(-b / 2) + " " + Str(-c / 2) + "\r",
                   red, green, blue);
}

inline std::shared_ptr<Object3D> addShape(Rb3DSpace& view, const std::string& text, const Vector3D& at) {
  auto object = std::make_shared<Object3D>();
  EXPECT_TRUE(object->AddShapeFromString(text)) << object->LastShapeError();
  object->Position = at;
  view.Objects()->Append(object);
  return object;
}

inline bool isRed(QRgb c) { return qRed(c) > 150 && qGreen(c) < 60 && qBlue(c) < 60; }
inline bool isGreen(QRgb c) { return qGreen(c) > 150 && qRed(c) < 60 && qBlue(c) < 60; }
inline bool isBlue(QRgb c) { return qBlue(c) > 150 && qRed(c) < 60 && qGreen(c) < 60; }
inline bool isSky(QRgb c, std::uint32_t sky) { return (c & 0xFFFFFF) == sky; }

// Where a world point appears in a view aimed by aimCamera.
inline QPointF project(Rb3DSpace& view, const Vector3D& p) {
  const Object3D& cam = *view.Camera();
  const Vector3D f = cam.Orientation.Transform({0, 0, 1});
  const Vector3D u = cam.Orientation.Transform({0, 1, 0});
  const Vector3D r = f.Cross(u);
  const Vector3D d = p.Minus(cam.Position);
  const double half = view.height() / 2.0;
  const double t = std::tan(view.FieldOfView * std::numbers::pi / 360.0);
  return {view.width() / 2.0 + d.Dot(r) / d.Dot(f) / t * half, half - d.Dot(u) / d.Dot(f) / t * half};
}

inline QRgb pixelAt(const QImage& image, const QPointF& p) {
  return image.pixel(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

inline void saveShot(const QImage& image, const std::string& name) {
  if (const char* dir = std::getenv("VOLTIX_SCREENSHOT_DIR")) {
    image.save(QString::fromUtf8(dir) + "/" + QString::fromStdString(name) + ".png");
  }
}

inline int channelDistance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Whether a pixel of the image lies on an edge: one of its neighbours shows
// a colour further from its own than the tolerance.
inline bool onEdge(const QImage& image, int x, int y, int tolerance) {
  const QRgb c = image.pixel(x, y);
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const int px = x + dx, py = y + dy;
      if (px < 0 || py < 0 || px >= image.width() || py >= image.height()) continue;
      if (channelDistance(image.pixel(px, py), c) > tolerance) return true;
    }
  }
  return false;
}

// How two frames of the same scene differ: pixels whose colours are further
// apart than the tolerance, and of those the ones that lie on no edge of
// either frame (where outlines, seams and intersections are allowed to move
// by a pixel).
struct Difference {
  int differing = 0;
  int awayFromEdges = 0;
};

inline Difference compareFrames(const QImage& a, const QImage& b, int tolerance) {
  Difference d;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (channelDistance(a.pixel(x, y), b.pixel(x, y)) <= tolerance) continue;
      ++d.differing;
      if (!onEdge(a, x, y, tolerance) && !onEdge(b, x, y, tolerance)) ++d.awayFromEdges;
    }
  }
  return d;
}

// Pixels per world unit at distance 500 for a 50-degree vertical field and a
// view 200 pixels high: 100 / (500 tan 25°).
inline const double kPixelsPerUnit = 100.0 / (500.0 * std::tan(25.0 * std::numbers::pi / 180.0));

}  // namespace gltest
