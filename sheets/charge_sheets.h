#pragma once

#include "charges/sheet_fields.h"
#include "sheets/sheet_window.h"

// The six set-up sheets. Each has one shared instance, made (hidden) on the
// first call of its Instance() and kept, hidden between uses, until the
// program ends; should the window it was attached to take it down with it,
// the next call makes a fresh one. Their edit fields are named in
// charges/sheet_fields.h.

// A single point charge, its fields PointField: position and charge. Escape
// cancels.
class SingleSheet : public SheetWindow {
  Q_OBJECT
public:
  static SingleSheet& Instance();
  SingleSheet();

protected:
  void AttachAction(const std::string& name, QWidget* control) override;
  void PBCancel_Action();
  void PBDone_Action();
};

// A line, its fields LineField: centre, direction, total charge, length and
// count.
class LineSheet : public SheetWindow {
  Q_OBJECT
public:
  static LineSheet& Instance();
  LineSheet();

protected:
  void AttachAction(const std::string& name, QWidget* control) override;
  void PBCancel_Action();
  void PBDone_Action();
};

// A square plane, its fields PlaneField: count per side, centre, total charge
// and side; PUAxis the axis plane.
class PlaneSheet : public SheetWindow {
  Q_OBJECT
public:
  static PlaneSheet& Instance();
  PlaneSheet();
  [[nodiscard]] PopupMenu& PUAxis() const { return ControlRef<PopupMenu>("PUAxis"); }

protected:
  void AttachAction(const std::string& name, QWidget* control) override;
  void PBCancel_Action();
  void PBDone_Action();
};

// A sphere, its fields SphereField: centre, total charge and radius; the
// radio buttons Inside, Outside, Both choose where its field is shown.
class SphereSheet : public SheetWindow {
  Q_OBJECT
public:
  static SphereSheet& Instance();
  SphereSheet();
  [[nodiscard]] RadioButton& Inside() const { return ControlRef<RadioButton>("Inside"); }
  [[nodiscard]] RadioButton& Outside() const { return ControlRef<RadioButton>("Outside"); }
  [[nodiscard]] RadioButton& Both() const { return ControlRef<RadioButton>("Both"); }

  // Reads the buttons in the order Outside, Inside, Both, a later one that is
  // on replacing an earlier one; Both when none is.
  [[nodiscard]] SphereData::ArrowSide ArrowSideChosen() const override;
  // Turns that side's button on and the others off.
  void ChooseArrowSide(SphereData::ArrowSide side) override;

protected:
  void AttachAction(const std::string& name, QWidget* control) override;
  void CancelButton_Action();
  void Donebutton_Action();
  void Inside_Action();
  void Outside_Action();
  void Both_Action();

private:
  void chooseShowField(bool inside, bool outside, bool both);
};

// A cylinder, its fields CylinderField: centre, charge of each ring, length,
// number of rings and radius; AxisMenu the axis.
class CylinderSheet : public SheetWindow {
  Q_OBJECT
public:
  static CylinderSheet& Instance();
  CylinderSheet();
  [[nodiscard]] PopupMenu& AxisMenu() const { return ControlRef<PopupMenu>("AxisMenu"); }

protected:
  void AttachAction(const std::string& name, QWidget* control) override;
  void PBDone_Action();
  void PBCancel_Action();
};

// A ring, its fields RingField: centre, normal, total charge, radius and
// number of charges.
class RingSheet : public SheetWindow {
  Q_OBJECT
public:
  static RingSheet& Instance();
  RingSheet();

protected:
  void AttachAction(const std::string& name, QWidget* control) override;
  void CancelButton_Action();
  void DoneButton_Action();
};

// The sheet of each kind, its one shared instance made on first use; the
// charge model reaches the sheets through this after InstallChargeSheets().
ChargeSheet* ChargeSheetOf(ChargeKind kind);
void InstallChargeSheets();
// Lets every sheet made so far go (none may be showing), so that the next use
// of each makes a fresh one with its first texts and choices, as at start-up
// (tests).
void DiscardChargeSheets();
