#pragma once

#include "framework/3d/rb3dspace.h"
#include "framework/math/vector3d.h"
#include "scene/pd3d.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class PD3DObject;
class PDLine;
class PDTimer;

// The 3D view: an orbit camera (Latitude, Longitude, CFDistance about Center),
// a scene scale Scale = RefScale × ZoomFactor applied at Update, optional axis
// lines, picking, click/double-click events and a frame timer.
//
// The holding window sets Yon, FieldOfView, SkyColor... and then calls
// OpenView(), which runs Event_Open once.
class PD3DSpace : public Rb3DSpace {
  Q_OBJECT
public:
  explicit PD3DSpace(QWidget* parent = nullptr);
  ~PD3DSpace() override;

  Vector3D Up{0.0, 0.0, 1.0};
  bool ShowAxes = false;
  std::int32_t lastClickY = 0;
  std::int32_t lastClickX = 0;
  std::int32_t lastClickTicks = 0;
  std::int32_t lastClick = 0;
  Vector3D Center;
  bool Autoscale = false;
  bool Autocenter = false;
  double Latitude = 10.0;
  double Longitude = 0.0;
  std::shared_ptr<PDLine> XAxis;
  std::shared_ptr<PDLine> YAxis;
  std::shared_ptr<PDLine> ZAxis;
  std::int32_t CFDistance = 500;
  double Scale = 1.0;
  double ZoomFactor = 1.0;
  double RefScale = 1.0;
  double lastscale = 1.0;
  std::shared_ptr<PDTimer> MyTimer;
  bool NewScale = false;
  bool StopUpdateFlag = false;

  // The scene object under view pixel (x, y), or null.
  virtual std::shared_ptr<PD3DObject> PickedObj(int x, int y);
  // The point under view pixel (x, y), world coordinates; none over the background.
  virtual std::optional<Vector3D> PickedPos(int x, int y);
  // Places the camera on its orbit and turns the labels towards it.
  virtual void UpdateCamera();
  // Makes this view the current scene.
  virtual void DoSelect();
  // Removes obj, or the whole composite (arrow, label) it belongs to.
  virtual void RemoveObject(PD3DObject* obj);
  template <class T>
  void RemoveObject(const std::shared_ptr<T>& obj) { RemoveObject(static_cast<PD3DObject*>(obj.get())); }
  virtual void SetCameraCenter(const Vector3D& v);
  virtual void SetCameraDistance(double d);
  virtual double GetScale();
  virtual void DoZoom(double f);
  virtual double CornerCheck(const Vector3D& max, const Vector3D& min);
  virtual void StartAutoUpdate(int fps);
  virtual void UpdateFrame();
  // Removes everything but the axis lines.
  virtual void RemoveAllObjects();
  virtual void StopAutoUpdate();

  // Registers an object of this view that turns to face the camera at every
  // camera step (a label). Scenes are large and such objects few: the camera
  // visits the members only while one registered here is among them.
  void KeepFacingCamera(const std::shared_ptr<PD3DObject>& object);

  // Applies a pending scale, autocentre/autoscale, axis lines, camera; renders.
  void Update() override;

signals:
  void Click(int x, int y);
  void DoubleClick(int x, int y);
  void MouseDown(int x, int y);
  void MouseUp(int x, int y);
  void Open();
  void Frame();

protected:
  void Event_Open() override;
  void Event_Close() override;
  bool Event_MouseDown(int x, int y) override;
  void Event_MouseUp(int x, int y) override;

  // The clock of the double-click rule (tests replace it).
  virtual std::int32_t CurrentTicks();
  virtual std::int32_t DoubleClickTicks();

private:
  [[nodiscard]] bool anyFacingCamera();
  void updateOnce();
  bool isScaledObject(const PD3DObject& obj) const;
  void applyScaleToScaledObjects();

  bool updating_ = false;
  bool updateAgain_ = false;
  // What KeepFacingCamera registered, in the order it came; gone ones are dropped.
  std::vector<std::weak_ptr<PD3DObject>> cameraFacers_;
};
