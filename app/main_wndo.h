#pragma once

#include "app/listed_charges.h"
#include "charges/sheet_link.h"
#include "framework/math/vector3d.h"
#include "framework/runtime/busy_gate.h"
#include "framework/ui/menus.h"
#include "framework/ui/window.h"

#include <QElapsedTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ChargedObject;
class ChargeSheet;
class WaitCursor;
class SurfaceData;
class PDBox;
class PDRoundArrow;
class PD3DSpace;
class StaticText;
class ListBox;

// The main window: the 3D view, the camera and display controls, the charge
// buttons, the list of charged objects and the test dot. It owns the model of
// the running program (charged objects, their bodies, the selection, the
// arrow scale, the dot-matrix boxes and the test dot) and builds new charged
// objects for the charge model (ChargeFactories).
class MainWndo : public Window, public ChargeFactories {
  Q_OBJECT

  // The listed charges, bodies and rows; first, as ChrgObjList and
  // SurfaceList below refer into it.
  ListedCharges listed_;

public:
  // The label array of the window's twelve labels.
  class STLabel;

  // The one main window, created (and opened) on the first call.
  static MainWndo* Shared();
  ~MainWndo() override;

  // --- model; ChrgObjList, SurfaceList and ObjectList's rows are index-aligned,
  // and change together only through Listed().
  const std::vector<std::shared_ptr<ChargedObject>>& ChrgObjList = listed_.ChargeList();
  double EScale = 0.0;
  const std::vector<std::shared_ptr<SurfaceData>>& SurfaceList = listed_.BodyList();
  std::shared_ptr<ChargedObject> SelectedObject;
  std::vector<std::shared_ptr<PDBox>> Matrix;
  bool Resetting = false;
  std::shared_ptr<PDBox> TestDot;
  std::shared_ptr<PDRoundArrow> TestField;

  // The 3D view control.
  [[nodiscard]] PD3DSpace* MyPDSpace() const;
  // Where charges, bodies and rows are added and taken away together.
  [[nodiscard]] ListedCharges& Listed() { return listed_; }

  // --- control handlers (bound by name at creation) ---------------------------
  virtual void SLZoom_ValueChanged();
  virtual void SLLat_ValueChanged();
  virtual void SLLong_ValueChanged();
  virtual void MyPDSpace_Open();
  virtual void MyPDSpace_Click(int x, int y);
  virtual void PBReset_Action();
  virtual void PBPoint_Action();
  virtual void SLEScale_ValueChanged();
  virtual void SLEScale_Open();
  virtual void PBLine_Action();
  virtual void PBPlane_Action();
  virtual void PBSphere_Action();
  virtual void PBRing_Action();
  virtual void PBCylinder_Action();
  virtual bool ObjectList_CellClick(int row, int column, int x, int y);
  virtual void DeleteButton_Action();
  virtual void Edit_Action();
  virtual void CBDotMatrix_Action();
  virtual void XArrows_Down();
  virtual void XArrows_Up();
  virtual void EFX_TextChange();
  virtual void YArrows_Down();
  virtual void YArrows_Up();
  virtual void EFY_TextChange();
  virtual void ZArrows_Down();
  virtual void ZArrows_Up();
  virtual void EFZ_TextChange();
  virtual void CBTest_Action();
  virtual void PMShow_Change();
  virtual void SLScan_ValueChanged();
  virtual bool _HelpAbout_Action();

  // --- the window's menu items, by name (nullptr when the bar has none) --------
  [[nodiscard]] std::shared_ptr<MenuItem> HelpMenu() const { return menuItem("HelpMenu"); }
  [[nodiscard]] std::shared_ptr<MenuItem> HelpAbout() const { return menuItem("HelpAbout"); }
  [[nodiscard]] std::shared_ptr<MenuItem> EditMenu() const { return menuItem("EditMenu"); }
  [[nodiscard]] std::shared_ptr<MenuItem> EditClear() const { return menuItem("EditClear"); }
  [[nodiscard]] std::shared_ptr<MenuItem> EditPaste() const { return menuItem("EditPaste"); }
  [[nodiscard]] std::shared_ptr<MenuItem> EditCopy() const { return menuItem("EditCopy"); }
  [[nodiscard]] std::shared_ptr<MenuItem> EditCut() const { return menuItem("EditCut"); }
  [[nodiscard]] std::shared_ptr<MenuItem> UntitledMenu0() const { return menuItem("UntitledMenu0"); }
  [[nodiscard]] std::shared_ptr<MenuItem> EditUndo() const { return menuItem("EditUndo"); }
  [[nodiscard]] std::shared_ptr<MenuItem> FileMenu() const { return menuItem("FileMenu"); }
  [[nodiscard]] std::shared_ptr<QuitMenuItem> FileQuit() const {
    return std::dynamic_pointer_cast<QuitMenuItem>(menuItem("FileQuit"));
  }
  [[nodiscard]] std::shared_ptr<MenuItem> UntitledMenu1() const { return menuItem("UntitledMenu1"); }

  // --- passes -------------------------------------------------------------------
  // Redraws the whole scene: charges, field arrows, dot matrix, grids, test dot.
  virtual void CalcVoltix();
  // The factories: each builds a charged object from its kind's sheet.
  void MakeCylinder() override;
  void MakeLine() override;
  void MakePoint() override;
  void MakeRing() override;
  void MakePlane() override;
  void MakeSphere() override;
  // Redraws the charges whose selection state changed.
  virtual void UpdateHighlight();
  // Takes the spheres of one charged object out of the view.
  virtual void RemoveChrgObject(const std::shared_ptr<ChargedObject>& co);
  // Shows or hides the dot matrix alone.
  virtual void UpdateMatrix();
  // Redraws the test dot and the field arrow at it.
  virtual void UpdateTestCharge();

  // True while a pass, a factory or a list-changing handler runs. Handlers
  // entered meanwhile (through a yield or a modal loop) are deferred until it
  // has finished, so they never see half-updated lists.
  [[nodiscard]] bool Busy() const { return gate_.Busy(); }
  // True while the wait cursor shows over the window (work running longer
  // than a moment).
  [[nodiscard]] bool ShowsWaitCursor() const;
  // Point charges of every listed object.
  [[nodiscard]] std::int64_t PointChargesInScene(const ChargedObject* except = nullptr) const;

protected:
  MainWndo();

  void Layout() override;
  void CreateControls() override;
  virtual void _CreateControls0();
  void AddMenuHandlers() override;
  void Event_Open() override;
  void Event_Close() override;

private:
  // Holds the window busy for the lifetime of a pass, factory or list-changing
  // handler; deferred handlers run once the outermost scope has ended.
  using BusyScope = BusyGate::Scope;

  // Marks a pass, a factory or a redraw: the wait cursor shows while the
  // outermost one runs longer than a moment.
  class WorkScope {
  public:
    explicit WorkScope(MainWndo& w);
    ~WorkScope();
    WorkScope(const WorkScope&) = delete;
    WorkScope& operator=(const WorkScope&) = delete;

  private:
    MainWndo& w_;
  };

  // Runs a handler now, or, while the window is busy, once it is no longer.
  // Code that sets a control while Resetting is itself part of the running
  // handler, so it runs at once.
  bool deferIfBusy(std::function<void()> handler);

  // Camera changes: the view draws the latest camera once, when the events
  // waiting now have been handled, however many changes came in meanwhile.
  void requestViewUpdate();
  void flushViewUpdate();
  // Arrow Scale, Show, Scan and Dot Matrix changes likewise: one field pass
  // (or, for the dot matrix alone, one matrix update) with the latest values,
  // once the events waiting now have been handled and no work runs. Clicks
  // held back while a pass ran arrive together after it, and ask for one
  // pass, not one each.
  enum class Redraw { Matrix, FieldPass };
  void requestRedraw(Redraw what);
  void scheduleRedraw(int delayMs = 0);
  void flushRedraw();
  // Draws the view now (the latest camera with it), showing the wait cursor
  // first when the last frame took long.
  void renderView();

  // Which lattice points a pass evaluates: those passing the plane choice and
  // every body's near-body and inside/outside tests, in lattice order.
  std::vector<Vector3D> evaluatedPoints(int choice, int scan, std::size_t bodies);
  void makeMatrixBox(const Vector3D& p);

  // Why the kind's sheet cannot be built now (too many point charges, values
  // too large to draw), or nothing. `except` is left out of the scene's
  // point-charge count (the object an edit replaces).
  std::optional<std::string> checkSheet(ChargeKind kind, const ChargedObject* except);
  // Appends body, charge and row together, selects the charge and redraws.
  void addCharged(const std::shared_ptr<SurfaceData>& body, const std::shared_ptr<ChargedObject>& charge);
  void chargeButton(ChargeKind kind, const std::function<void()>& factory);
  void stepTestCoordinate(const char* field, double step);
  int selectedIndex();

  [[nodiscard]] std::shared_ptr<MenuItem> menuItem(const std::string& name) const {
    const auto bar = GetMenuBar();
    return bar ? bar->Find(name) : nullptr;
  }

  BusyGate gate_{this};
  // Set while the field pass redraws the test dot: the pass renders once, at its end.
  bool inFieldPass_ = false;
  bool viewUpdatePending_ = false;
  bool viewUpdateScheduled_ = false;
  bool fieldPassPending_ = false;
  bool matrixPending_ = false;
  bool redrawScheduled_ = false;
  QElapsedTimer redrawAsked_;  // since the first of the redraws pending
  double lastFrameSeconds_ = 0.0;
  std::unique_ptr<WaitCursor> waitCursor_;
};
