// What each control of the main window does.

#include "app/about_wndo.h"
#include "app/main_wndo.h"
#include "charges/charge_sphere.h"
#include "charges/charged_object.h"
#include "charges/surface_data.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"
#include "framework/ui/controls.h"
#include "scene/pd3d.h"
#include "scene/pd3d_space.h"

#include <QScopedValueRollback>

#include <cmath>

namespace {

// Gives the memory of the point charges that a handler let go of back to the
// system when it is done, if they were many (a large object and its spheres):
// the heap would otherwise keep it for good.
class ReturnMemoryOfDroppedCharges {
public:
  explicit ReturnMemoryOfDroppedCharges(const MainWndo& w) : w_(w), before_(w.PointChargesInScene()) {}
  ~ReturnMemoryOfDroppedCharges() {
    constexpr std::int64_t kMany = 100'000;  // some 40 MB
    if (before_ - w_.PointChargesInScene() + replaced_ >= kMany) ReturnFreeMemory();
  }
  ReturnMemoryOfDroppedCharges(const ReturnMemoryOfDroppedCharges&) = delete;
  ReturnMemoryOfDroppedCharges& operator=(const ReturnMemoryOfDroppedCharges&) = delete;

  // Charges let go of and made anew in their place (an edit), which the
  // count of the scene's charges does not show.
  void Replaced(std::int64_t charges) { replaced_ += charges; }

private:
  const MainWndo& w_;
  std::int64_t before_;
  std::int64_t replaced_ = 0;
};

}  // namespace

// --- camera -----------------------------------------------------------------------

// Each change is taken at once; the view draws once for all the changes that
// come in together (a drag, clicks while a frame is drawn).

void MainWndo::SLZoom_ValueChanged() {
  const double z = static_cast<double>(ControlRef<Slider>("SLZoom").Value()) / 100.0;
  PD3DSpace& view = Deref(MyPDSpace());
  view.DoZoom(std::pow(10.0, z));
  if (!Resetting) requestViewUpdate();
}

void MainWndo::SLLat_ValueChanged() {
  PD3DSpace& view = Deref(MyPDSpace());
  view.Latitude = static_cast<double>(ControlRef<Slider>("SLLat").Value());
  if (!Resetting) requestViewUpdate();
}

void MainWndo::SLLong_ValueChanged() {
  PD3DSpace& view = Deref(MyPDSpace());
  view.Longitude = static_cast<double>(ControlRef<Slider>("SLLong").Value());
  if (!Resetting) requestViewUpdate();
}

// --- arrow scale --------------------------------------------------------------------

namespace {
double ArrowScale(int sliderValue) {
  const double e = static_cast<double>(sliderValue - 6) * 0.5;
  return std::pow(10.0, e) * 150000.0;
}
}  // namespace

void MainWndo::SLEScale_Open() { EScale = ArrowScale(ControlRef<Slider>("SLEScale").Value()); }

void MainWndo::SLEScale_ValueChanged() {
  EScale = ArrowScale(ControlRef<Slider>("SLEScale").Value());
  if (!Resetting) requestRedraw(Redraw::FieldPass);
}

// --- 3D view ------------------------------------------------------------------------

void MainWndo::MyPDSpace_Open() {
  PD3DSpace& view = Deref(MyPDSpace());
  view.ShowAxes = true;
  view.StopAutoUpdate();
  renderView();
}

void MainWndo::MyPDSpace_Click(int x, int y) {
  if (deferIfBusy([this, x, y] { MyPDSpace_Click(x, y); })) return;
  const BusyScope busy(gate_);
  const std::shared_ptr<PD3DObject> obj = Deref(MyPDSpace()).PickedObj(x, y);
  if (auto sphere = std::dynamic_pointer_cast<ChargeSphere>(obj)) {
    const std::shared_ptr<ChargedObject> parent = sphere->Parent.lock();
    int k = -1;
    for (int i = 0; i < static_cast<int>(ChrgObjList.size()); ++i) {
      if (ChrgObjList[static_cast<std::size_t>(i)] == parent) k = i;
      RuntimeBackgroundTask();
    }
    if (parent) SelectedObject = parent;
    auto& list = ControlRef<ListBox>("ObjectList");
    for (int i = 0; i < static_cast<int>(ChrgObjList.size()); ++i) {
      list.SetSelected(i, i == k);
      RuntimeBackgroundTask();
    }
  }
  UpdateHighlight();
}

// --- list of charged objects -----------------------------------------------------------

bool MainWndo::ObjectList_CellClick(int row, int /*column*/, int /*x*/, int /*y*/) {
  // Deferred, the choice runs after a pass that has set the rows anew: the
  // chosen row is highlighted again with it.
  if (deferIfBusy([this, row] {
        if (row < static_cast<int>(ChrgObjList.size())) ControlRef<ListBox>("ObjectList").SetSelected(row, true);
        ObjectList_CellClick(row, 0, 0, 0);
      })) {
    return false;
  }
  if (row < 0 || row >= static_cast<int>(ChrgObjList.size())) return false;
  const BusyScope busy(gate_);
  SelectedObject = ChrgObjList[static_cast<std::size_t>(row)];
  UpdateHighlight();
  return false;
}

int MainWndo::selectedIndex() {
  int k = -1;
  for (int i = 0; i < static_cast<int>(ChrgObjList.size()); ++i) {
    if (ChrgObjList[static_cast<std::size_t>(i)] == SelectedObject) k = i;
    RuntimeBackgroundTask();
  }
  return SelectedObject ? k : -1;
}

void MainWndo::DeleteButton_Action() {
  if (deferIfBusy([this] { DeleteButton_Action(); })) return;
  const ReturnMemoryOfDroppedCharges giveBack(*this);
  const BusyScope busy(gate_);
  const int k = selectedIndex();
  if (k == -1) return;
  listed_.RemoveAt(static_cast<std::size_t>(k));
  SelectedObject = nullptr;
  CalcVoltix();
}

void MainWndo::Edit_Action() {
  if (deferIfBusy([this] { Edit_Action(); })) return;
  ReturnMemoryOfDroppedCharges giveBack(*this);
  const BusyScope busy(gate_);
  const int k = selectedIndex();
  if (k == -1) return;
  const std::shared_ptr<ChargedObject> s = SelectedObject;
  s->ExportData();
  Deref(s->Creator).ShowModalWithin(this);
  // Only an object of a kind has a sheet that says Done.
  if (!s->CreatorDoneFlag()) return;
  // Refuse before anything is removed, so that a refused edit keeps the object.
  if (auto problem = checkSheet(s->Kind().value(), s.get())) {
    MsgBox(*problem);
    return;
  }
  listed_.RemoveAt(static_cast<std::size_t>(k));
  // As a Delete: the replaced object lets go of its charges and their
  // spheres before its successor is built, so that the two never take
  // memory together.
  giveBack.Replaced(static_cast<std::int64_t>(s->ChargeList.size()));
  s->DropCharges();
  s->Create();
}

void MainWndo::PBReset_Action() {
  if (deferIfBusy([this] { PBReset_Action(); })) return;
  const ReturnMemoryOfDroppedCharges giveBack(*this);
  const BusyScope busy(gate_);
  const WorkScope work(*this);
  listed_.Clear();
  Matrix.clear();
  // What the Reset draws stands for any redraw asked for before it.
  fieldPassPending_ = false;
  matrixPending_ = false;
  // The selection stays, unlisted: it can be neither shown nor edited again.
  // Held by nothing else, it lets go of its charges and their spheres, so
  // that a Reset gives back the memory of the scene.
  if (SelectedObject && SelectedObject.use_count() == 1) SelectedObject->DropCharges();
  {
    const QScopedValueRollback<bool> resetting(Resetting, true);
    ControlRef<Slider>("SLEScale").SetValue(6);
    ControlRef<Slider>("SLLat").SetValue(10);
    ControlRef<Slider>("SLLong").SetValue(0);
    ControlRef<Slider>("SLZoom").SetValue(0);
    ControlRef<Slider>("SLScan").SetValue(0);
    ControlRef<PopupMenu>("PMShow").SetListIndex(0);
    ControlRef<CheckBox>("CBDotMatrix").SetValue(false);
    ControlRef<EditField>("EFX").SetText("0");
    ControlRef<EditField>("EFY").SetText("0");
    ControlRef<EditField>("EFZ").SetText("0");
    ControlRef<CheckBox>("CBTest").SetValue(false);
  }
  PD3DSpace& view = Deref(PD3D::SelectedSpace.data());
  view.RemoveAllObjects();
  renderView();
}

// --- charge buttons -------------------------------------------------------------------

void MainWndo::chargeButton(ChargeKind kind, const std::function<void()>& factory) {
  const BusyScope busy(gate_);
  Deref(SheetFor(kind)).ShowModalWithin(this);
  if (!Deref(SheetFor(kind)).DoneFlag()) return;
  factory();
}

void MainWndo::PBPoint_Action() {
  if (deferIfBusy([this] { PBPoint_Action(); })) return;
  chargeButton(ChargeKind::Point, [this] { MakePoint(); });
}

void MainWndo::PBLine_Action() {
  if (deferIfBusy([this] { PBLine_Action(); })) return;
  chargeButton(ChargeKind::Line, [this] { MakeLine(); });
}

void MainWndo::PBPlane_Action() {
  if (deferIfBusy([this] { PBPlane_Action(); })) return;
  chargeButton(ChargeKind::Plane, [this] { MakePlane(); });
}

void MainWndo::PBSphere_Action() {
  if (deferIfBusy([this] { PBSphere_Action(); })) return;
  chargeButton(ChargeKind::Sphere, [this] { MakeSphere(); });
}

void MainWndo::PBRing_Action() {
  if (deferIfBusy([this] { PBRing_Action(); })) return;
  chargeButton(ChargeKind::Ring, [this] { MakeRing(); });
}

void MainWndo::PBCylinder_Action() {
  if (deferIfBusy([this] { PBCylinder_Action(); })) return;
  chargeButton(ChargeKind::Cylinder, [this] { MakeCylinder(); });
}

// --- dot matrix, plane choice, scan -----------------------------------------------------

void MainWndo::CBDotMatrix_Action() {
  if (!Resetting) requestRedraw(Redraw::Matrix);
}

void MainWndo::SLScan_ValueChanged() {
  if (!Resetting) requestRedraw(Redraw::FieldPass);
}

// The plane choice enables Scan at once; a pass that is running has read
// both already.
void MainWndo::PMShow_Change() {
  const int i = ControlRef<PopupMenu>("PMShow").ListIndex();
  auto& scan = ControlRef<Slider>("SLScan");
  if (i == 0 || i == 4) {
    // Back to the caller's guard afterwards: inside Reset it must stay up.
    const QScopedValueRollback<bool> resetting(Resetting, true);
    scan.SetValue(0);
    scan.SetEnabled(false);
  } else if (i >= 1 && i <= 3) {
    scan.SetEnabled(true);
  }
  if (!Resetting) requestRedraw(Redraw::FieldPass);
}

// --- test dot ---------------------------------------------------------------------------

void MainWndo::CBTest_Action() {
  const bool on = ControlRef<CheckBox>("CBTest").Value();
  for (const char* name : {"EFX", "EFY", "EFZ", "XArrows", "YArrows", "ZArrows"}) {
    Deref(Control(name)).setEnabled(on);
  }
  if (deferIfBusy([this] { UpdateTestCharge(); })) return;
  UpdateTestCharge();
}

void MainWndo::EFX_TextChange() {
  if (deferIfBusy([this] { UpdateTestCharge(); })) return;
  UpdateTestCharge();
}

void MainWndo::EFY_TextChange() {
  if (deferIfBusy([this] { UpdateTestCharge(); })) return;
  UpdateTestCharge();
}

void MainWndo::EFZ_TextChange() {
  if (deferIfBusy([this] { UpdateTestCharge(); })) return;
  UpdateTestCharge();
}

void MainWndo::stepTestCoordinate(const char* field, double step) {
  auto& ef = ControlRef<EditField>(field);
  ef.SetText(Str(CDbl(ef.Text()) + step));
}

void MainWndo::XArrows_Up() { stepTestCoordinate("EFX", 10.0); }
void MainWndo::XArrows_Down() { stepTestCoordinate("EFX", -10.0); }
void MainWndo::YArrows_Up() { stepTestCoordinate("EFY", 10.0); }
void MainWndo::YArrows_Down() { stepTestCoordinate("EFY", -10.0); }
void MainWndo::ZArrows_Up() { stepTestCoordinate("EFZ", 10.0); }
void MainWndo::ZArrows_Down() { stepTestCoordinate("EFZ", -10.0); }

// --- menu --------------------------------------------------------------------------------

bool MainWndo::_HelpAbout_Action() {
  Deref(AboutWndo::Shared()).Show();
  return true;
}
