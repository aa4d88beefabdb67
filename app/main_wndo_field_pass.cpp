// The field pass and the partial redraws: dot matrix, test dot, highlight.

#include "app/charge_limits.h"
#include "app/main_wndo.h"
#include "charges/charge_sphere.h"
#include "charges/charged_object.h"
#include "charges/field_sum.h"
#include "charges/surface_data.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"
#include "framework/ui/controls.h"
#include "scene/pd3d.h"
#include "scene/pd3d_space.h"
#include "scene/pd_box.h"
#include "scene/pd_round_arrow.h"

#include <QScopedValueRollback>

#include <cmath>

namespace {

constexpr std::int32_t kLatticeStep = 50;
constexpr int kLatticeLow = -3;
constexpr int kLatticeHigh = 3;
constexpr double kArrowMin = 5.0;
constexpr double kArrowMax = 500.0;
constexpr Color kArrowColor = 0xFFFF00;
constexpr Color kDotColor = 0x00FF00;

PD3DSpace& CurrentScene() { return Deref(PD3D::SelectedSpace.data()); }

}  // namespace

std::vector<Vector3D> MainWndo::evaluatedPoints(int ch, int s, std::size_t bodies) {
  std::vector<Vector3D> points;
  Vector3D p(0.0, 0.0, 0.0);
  for (int i = kLatticeLow; i <= kLatticeHigh; ++i) {
    for (int j = kLatticeLow; j <= kLatticeHigh; ++j) {
      for (int k = kLatticeLow; k <= kLatticeHigh; ++k) {
        p.X = static_cast<double>(kLatticeStep * i);
        p.Y = static_cast<double>(kLatticeStep * j);
        p.Z = static_cast<double>(kLatticeStep * k);
        const bool onPlane = ch == 0 || (ch == 1 && j == s) || (ch == 2 && i == s) || (ch == 3 && k == s);
        if (onPlane) {
          bool excluded = false;
          for (std::size_t b = 0; b < bodies && b < SurfaceList.size(); ++b) {
            if (SurfaceList[b]->HidesArrowAt(p)) {
              excluded = true;
              break;
            }
            RuntimeBackgroundTask();
          }
          if (!excluded) points.push_back(p);
        }
        RuntimeBackgroundTask();
      }
      RuntimeBackgroundTask();
    }
    RuntimeBackgroundTask();
  }
  return points;
}

void MainWndo::makeMatrixBox(const Vector3D& p) {
  const Vector3D size(3.0, 3.0, 3.0);
  const Vector3D axis(3.0, 0.0, 0.0);
  Vector3D up(0.0, 10.0, 0.0);
  Matrix.push_back(New<PDBox>(&p, kDotColor, &size, &axis, &up));
}

void MainWndo::CalcVoltix() {
  const BusyScope busy(gate_);
  const WorkScope work(*this);
  // This pass reads the latest values: it serves every redraw asked for so far.
  fieldPassPending_ = false;
  matrixPending_ = false;
  PD3DSpace& view = Deref(MyPDSpace());
  // First the view is emptied; the old boxes leave with everything else.
  view.RemoveAllObjects();
  Matrix.clear();
  // The counts and the plane choice hold for the whole pass.
  const std::size_t nC = ChrgObjList.size();
  const std::size_t nS = SurfaceList.size();
  const int ch = ControlRef<PopupMenu>("PMShow").ListIndex();
  const int s = ControlRef<Slider>("SLScan").Value();
  // The charges, the selected one dark, with the rows following. Their
  // spheres left the view with everything else and go back in as new ones
  // would, in the same order and colours, rather than being made anew.
  auto& list = ControlRef<ListBox>("ObjectList");
  for (std::size_t n = 0; n < nC; ++n) {
    const std::shared_ptr<ChargedObject> co = ChrgObjList[n];
    const bool selected = co == SelectedObject;
    co->Redisplay(selected);
    list.SetSelected(static_cast<int>(n), selected);
    RuntimeBackgroundTask();
  }
  // The lattice points that pass the filters, their field sums, arrows and
  // boxes. The sums run in parallel on the numbers alone; the scene
  // objects are made here, in lattice order, as a point-by-point walk would.
  const std::vector<Vector3D> points = evaluatedPoints(ch, s, nS);
  const std::vector<std::shared_ptr<ChargedObject>> charges(ChrgObjList.begin(),
                                                            ChrgObjList.begin() + static_cast<std::ptrdiff_t>(nC));
  const std::vector<Vector3D> fields = SumFieldAt(charges, points);
  const bool dots = ControlRef<CheckBox>("CBDotMatrix").Value();
  for (std::size_t n = 0; n < points.size(); ++n) {
    const Vector3D& p = points[n];
    Vector3D E = fields[n];
    E.MultiplyBy(EScale);
    const double m = E.Length();
    // Both comparisons are false for a non-finite magnitude.
    if (kArrowMin < m && m < kArrowMax) New<PDRoundArrow>(&p, kArrowColor, &E);
    if (dots) makeMatrixBox(p);
    RuntimeBackgroundTask();
  }
  // The grids asked for.
  for (std::size_t b = 0; b < nS && b < SurfaceList.size(); ++b) {
    if (SurfaceList[b]->gridEnabled) SurfaceList[b]->DrawGrid();
    RuntimeBackgroundTask();
  }
  // Last the test dot, then one render: the test dot's own render would draw
  // the same picture once more, which on a scene of a million spheres costs
  // as much as the rest of the pass.
  {
    const QScopedValueRollback<bool> oneRender(inFieldPass_, true);
    UpdateTestCharge();
  }
  renderView();
}

void MainWndo::UpdateMatrix() {
  const BusyScope busy(gate_);
  const WorkScope work(*this);
  matrixPending_ = false;
  if (!ControlRef<CheckBox>("CBDotMatrix").Value()) {
    for (std::size_t n = 0; n < Matrix.size(); ++n) {
      CurrentScene().RemoveObject(Matrix[n]);
      RuntimeBackgroundTask();
    }
    Matrix.clear();
  } else {
    // Normally empty here. A switch deferred while a pass ran may find the
    // pass's boxes (or an earlier switch's) in place: take them out first, so
    // that each lattice point holds one box.
    for (const auto& box : Matrix) CurrentScene().RemoveObject(box);
    Matrix.clear();
    const std::size_t nS = SurfaceList.size();
    const int ch = ControlRef<PopupMenu>("PMShow").ListIndex();
    const int s = ControlRef<Slider>("SLScan").Value();
    for (const Vector3D& p : evaluatedPoints(ch, s, nS)) makeMatrixBox(p);
  }
  renderView();
}

void MainWndo::UpdateTestCharge() {
  const BusyScope busy(gate_);
  const WorkScope work(*this);
  PD3DSpace& view = Deref(MyPDSpace());
  if (TestDot) {
    view.RemoveObject(TestDot);
    TestDot = nullptr;
  }
  if (TestField) {
    view.RemoveObject(TestField);
    TestField = nullptr;
  }
  if (ControlRef<CheckBox>("CBTest").Value()) {
    const Vector3D p(Val(ControlRef<EditField>("EFX").Text()), Val(ControlRef<EditField>("EFY").Text()),
                     Val(ControlRef<EditField>("EFZ").Text()));
    // A dot too far out to draw is left out (no message: the fields change
    // with every key typed).
    SceneValueCheck drawable;
    drawable.Vector("test dot", p);
    if (!drawable.Problem()) {
      const Vector3D size(3.0, 3.0, 3.0);
      const Vector3D axis(1.0, 0.0, 0.0);
      Vector3D up(0.0, 1.0, 0.0);
      TestDot = New<PDBox>(&p, kDotColor, &size, &axis, &up);
      Vector3D E(0.0, 0.0, 0.0);
      const std::size_t nC = ChrgObjList.size();
      for (std::size_t n = 0; n < nC && n < ChrgObjList.size(); ++n) {
        E.Add(ChrgObjList[n]->VoltixAt(p));
        RuntimeBackgroundTask();
      }
      E.MultiplyBy(EScale);
      const double m = E.Length();
      if (kArrowMin < m) {
        if (m < kArrowMax) {
          TestField = New<PDRoundArrow>(&p, kArrowColor, &E);
        } else {
          Beep();
        }
      }
    }
  }
  if (!Resetting && !inFieldPass_) renderView();
}

void MainWndo::UpdateHighlight() {
  const BusyScope busy(gate_);
  const WorkScope work(*this);
  for (std::size_t n = 0; n < ChrgObjList.size(); ++n) {
    const std::shared_ptr<ChargedObject> co = ChrgObjList[n];
    // The spheres taken out go back in at the end of the scene in their new
    // colour, as new spheres would.
    if (co == SelectedObject) {
      RemoveChrgObject(co);
      co->Redisplay(true);
    } else if (!co->ChargeList.empty() && co->ChargeList[0]->GraphRep) {
      const Color c = co->ChargeList[0]->GraphRep->myColor;
      if (c == kPositiveSelectedColor || c == kNegativeSelectedColor) {
        RemoveChrgObject(co);
        co->Redisplay(false);
      }
    }
    RuntimeBackgroundTask();
  }
  renderView();
}

void MainWndo::RemoveChrgObject(const std::shared_ptr<ChargedObject>& co) {
  PD3DSpace& scene = CurrentScene();
  for (std::size_t n = 0; n < co->ChargeList.size(); ++n) {
    if (co->ChargeList[n]->GraphRep) scene.RemoveObject(co->ChargeList[n]->GraphRep);
    RuntimeBackgroundTask();
  }
}
