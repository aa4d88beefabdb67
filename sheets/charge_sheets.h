#pragma once

#include "sheets/sheet_window.h"

// The six set-up sheets. Each has one shared instance, made (hidden) on the
// first call of its Instance() and kept, hidden between uses, until the
// program ends; should the window it was attached to take it down with it,
// the next call makes a fresh one.

// A single point charge: EF(0..2) position, EF(3) charge. Escape cancels.
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

// A line: EF(1..3) centre, EF(4..6) direction, EF(7) total charge, EF(8)
// length, EF(9) count. There is no EF(0).
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

// A square plane: EF(0) count per side, EF(1..3) centre, EF(4) total charge,
// EF(5) side; PUAxis the axis plane.
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

// A sphere: EF(0..2) centre, EF(3) total charge, EF(4) radius; the radio
// buttons Inside, Outside, Both choose where its field is shown.
class SphereSheet : public SheetWindow {
  Q_OBJECT
public:
  static SphereSheet& Instance();
  SphereSheet();
  [[nodiscard]] RadioButton& Inside() const { return ControlRef<RadioButton>("Inside"); }
  [[nodiscard]] RadioButton& Outside() const { return ControlRef<RadioButton>("Outside"); }
  [[nodiscard]] RadioButton& Both() const { return ControlRef<RadioButton>("Both"); }

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

// A cylinder: EF(0..2) centre, EF(3) charge of each ring, EF(4) length, EF(5)
// number of rings, EF(6) radius; AxisMenu the axis.
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

// A ring: EF(0..2) centre, EF(3..5) normal, EF(6) total charge, EF(7) radius,
// EF(8) number of charges.
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
