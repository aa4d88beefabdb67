#include "framework/3d/rb3dspace.h"

#include "framework/3d/picking.h"
#include "framework/3d/scene_renderer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHideEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPainter>
#include <QShowEvent>
#include <QSurfaceFormat>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Whether this process can get an OpenGL context at all; asked once.
bool openGLAvailable() {
  static const bool available = [] {
    QOpenGLContext probe;
    probe.setFormat(QSurfaceFormat::defaultFormat());
    return probe.create();
  }();
  return available;
}

QSurfaceFormat viewFormat() {
  QSurfaceFormat format = QSurfaceFormat::defaultFormat();
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setDepthBufferSize(24);
  return format;
}

// Projection values the renderer and picking share; absurd settings are
// brought into range rather than producing a singular matrix.
struct Projection {
  double fov;
  double hither;
  double yon;
};

Projection sanePerspective(std::int32_t fieldOfView, double hither, double yon) {
  Projection p{};
  p.fov = std::clamp(static_cast<double>(fieldOfView), 1.0, 179.0);
  p.hither = (std::isfinite(hither) && hither > 1e-6) ? hither : 1e-6;
  p.yon = (std::isfinite(yon) && yon > p.hither) ? yon : p.hither * 2.0;
  return p;
}

}  // namespace

Rb3DSpace::Rb3DSpace(QWidget* parent) : QOpenGLWidget(parent) {
  setFormat(viewFormat());
  if (openGLAvailable()) objects_ = std::make_unique<Group3D>();
  camera_ = std::make_shared<Object3D>();
  // Until the scene places it: on +z, looking back at the origin, +y up.
  camera_->Position = Vector3D(0.0, 0.0, 500.0);
  camera_->Orientation.SetRotateAboutAxis(0.0, 1.0, 0.0, std::numbers::pi);
  renderer_ = std::make_unique<SceneRenderer>();
}

Rb3DSpace::~Rb3DSpace() {
  // The renderer dies before the base class destroys the context.
  if (context()) disconnect(context(), nullptr, this, nullptr);
  if (context() && isValid()) {
    makeCurrent();
    renderer_->release();
    doneCurrent();
  }
}

std::shared_ptr<Element3D> Rb3DSpace::FindObject(int x, int y) {
  if (!objects_) return nullptr;
  const Projection p = sanePerspective(FieldOfView, Hither, Yon);
  const ViewGeometry view =
      ViewGeometry::FromCamera(*camera_, p.fov, p.hither, p.yon, std::max(1, width()), std::max(1, height()));
  const auto hit = PickNearest(*objects_, RayThroughPixel(view, x, y), p.hither, p.yon);
  return hit ? hit->element : nullptr;
}

std::optional<Vector3D> Rb3DSpace::FindPoint(int x, int y) {
  if (!objects_) return std::nullopt;
  const Projection p = sanePerspective(FieldOfView, Hither, Yon);
  const ViewGeometry view =
      ViewGeometry::FromCamera(*camera_, p.fov, p.hither, p.yon, std::max(1, width()), std::max(1, height()));
  const auto hit = PickNearest(*objects_, RayThroughPixel(view, x, y), p.hither, p.yon);
  if (!hit) return std::nullopt;
  return hit->point;
}

void Rb3DSpace::Update() {
  if (!isVisible()) return;
  repaint();
  // Qt turns a repaint within one refresh interval of the last composition
  // into a posted request; deliver it now so the frame is drawn at once.
  QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}

void Rb3DSpace::OpenView() {
  if (opened_) return;
  // Marked first: a handler that throws must not have the open raised again.
  opened_ = true;
  Event_Open();
}

void Rb3DSpace::initializeGL() {
  // The context is new (first show or a new top-level window): start afresh.
  renderer_->release();
  renderer_->initialize();
  disconnect(context(), nullptr, this, nullptr);
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
    makeCurrent();
    renderer_->release();
    doneCurrent();
  });
}

void Rb3DSpace::resizeGL(int, int) {}

void Rb3DSpace::paintGL() {
  FrameSettings s;
  s.skyColor = SkyColor;
  const Projection p = sanePerspective(FieldOfView, Hither, Yon);
  const int w = std::max(1, width());
  const int h = std::max(1, height());
  const ViewGeometry view = ViewGeometry::FromCamera(*camera_, p.fov, p.hither, p.yon, w, h);
  const QVector3D eye(static_cast<float>(view.eye.X), static_cast<float>(view.eye.Y), static_cast<float>(view.eye.Z));
  const QVector3D forward(static_cast<float>(view.forward.X), static_cast<float>(view.forward.Y),
                          static_cast<float>(view.forward.Z));
  const QVector3D up(static_cast<float>(view.up.X), static_cast<float>(view.up.Y), static_cast<float>(view.up.Z));
  // lookAt puts forward × up on the screen's right, as the camera convention wants.
  s.view.lookAt(eye, eye + forward, up);
  s.projection.perspective(static_cast<float>(p.fov), static_cast<float>(w) / static_cast<float>(h),
                           static_cast<float>(p.hither), static_cast<float>(p.yon));
  s.hither = p.hither;
  s.yon = p.yon;
  s.eye = view.eye;
  auto channel = [](std::uint32_t colour, int shift) { return ((colour >> shift) & 0xFF) / 255.0f; };
  const float ambient = static_cast<float>(std::max(0, AmbientLight)) / 100.0f;
  const float flood = static_cast<float>(std::max(0, FloodLight)) / 100.0f;
  for (int c = 0; c < 3; ++c) {
    s.ambient[c] = ambient * channel(AmbientColor, 16 - 8 * c);
    s.flood[c] = flood * channel(FloodColor, 16 - 8 * c);
  }
  s.floodDirection = floodDirection_;
  s.wireframe = Wireframe;
  s.forward = view.forward;
  s.pixelsPerUnitAtUnitDistance = 0.5 * h / std::tan(p.fov * std::numbers::pi / 360.0);
  static const Group3D empty;
  renderer_->render(objects_ ? *objects_ : empty, s);
  if (!renderer_->usable() && !renderer_->failure().isEmpty()) {
    // Rather than an empty sky that looks like an empty scene.
    QPainter painter(this);
    // Dark words on a light sky, light ones on a dark sky.
    painter.setPen(qGray(static_cast<QRgb>(SkyColor)) < 128 ? Qt::white : Qt::black);
    painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("The 3D view cannot draw: %1").arg(renderer_->failure()));
  }
}

void Rb3DSpace::showEvent(QShowEvent* event) {
  QOpenGLWidget::showEvent(event);
  if (!opened_) OpenView();
}

void Rb3DSpace::closeEvent(QCloseEvent* event) {
  QOpenGLWidget::closeEvent(event);
  if (event->isAccepted() && opened_ && !closed_) {
    closed_ = true;
    Event_Close();
  }
}

void Rb3DSpace::hideEvent(QHideEvent* event) {
  QOpenGLWidget::hideEvent(event);
  // A child view hears of its window's closing only as a hide; a minimised
  // window hides its children spontaneously and does not count.
  if (!event->spontaneous() && opened_ && !closed_ && !window()->isVisible()) {
    closed_ = true;
    Event_Close();
  }
}

void Rb3DSpace::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  // Not handled: the press goes on to the parent and the release won't come here.
  if (Event_MouseDown(at.x(), at.y())) {
    event->accept();
  } else {
    event->ignore();
  }
}

void Rb3DSpace::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  event->accept();
  Event_MouseUp(at.x(), at.y());
}
