#pragma once

#include "framework/3d/element3d.h"
#include "framework/ui/opens_with_window.h"

#include <QOpenGLWidget>

#include <cstdint>
#include <memory>
#include <optional>

class SceneRenderer;

// The 3D view control: renders every visible element of its group through its
// camera (which looks along its own +z with its own +y up), lit by an ambient
// and a flood light, on its sky colour. Subclasses receive open, close and
// mouse events through the Event_ methods, with pixel coordinates in the view.
class Rb3DSpace : public QOpenGLWidget, public OpensWithWindow {
  Q_OBJECT
public:
  explicit Rb3DSpace(QWidget* parent = nullptr);
  ~Rb3DSpace() override;

  // The scene. Null when no OpenGL renderer can be had.
  [[nodiscard]] Group3D* Objects() { return objects_.get(); }
  // The camera element: its Position and Orientation place the view.
  [[nodiscard]] Object3D* Camera() { return camera_.get(); }

  // View properties (set by the window that holds the view).
  double Hither = 5.0;
  double Yon = 5000.0;
  std::int32_t FieldOfView = 50;     // degrees, vertical
  std::uint32_t SkyColor = 0xC8C8FF; // 0x00RRGGBB
  std::int32_t AmbientLight = 30;    // percent
  std::uint32_t AmbientColor = 0xFFFFFF;
  std::int32_t FloodLight = 90;      // percent
  std::uint32_t FloodColor = 0xFFFFFF;
  bool FogVisible = false;
  double FogStart = 0.0;
  bool Wireframe = false;
  bool DebugCube = false;
  // The live flood-light direction (the direction the light travels).
  [[nodiscard]] Vector3D& FloodDirection() { return floodDirection_; }

  // The element drawn at a view pixel, the nearest one along the ray; null over
  // the background.
  [[nodiscard]] std::shared_ptr<Element3D> FindObject(int x, int y);
  // The point of that element under the pixel, in world coordinates.
  [[nodiscard]] std::optional<Vector3D> FindPoint(int x, int y);

  // Renders the current state at once.
  virtual void Update();

  // Raises the open event once (the holding window calls it when it opens its
  // controls; showing the view calls it too, if nobody did before).
  void OpenView();
  void OpenWithWindow() override { OpenView(); }
  [[nodiscard]] bool IsOpen() const { return opened_; }

  // The drawing machinery (frame statistics, instancing switch for measuring).
  [[nodiscard]] SceneRenderer& renderer() { return *renderer_; }

protected:
  virtual void Event_Open() {}
  virtual void Event_Close() {}
  // Mouse press; the result tells the framework whether the press was handled.
  virtual bool Event_MouseDown(int /*x*/, int /*y*/) { return true; }
  virtual void Event_MouseUp(int /*x*/, int /*y*/) {}

  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  std::unique_ptr<Group3D> objects_;
  std::shared_ptr<Object3D> camera_;
  Vector3D floodDirection_{0.0, 0.0, -1.0};
  std::unique_ptr<SceneRenderer> renderer_;
  bool opened_ = false;
  bool closed_ = false;
};
