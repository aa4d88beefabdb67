#include "sheets/charge_sheets.h"

#include <QPointer>

#include "sheets/sheet_layouts.h"

namespace {

template <class Sheet>
QPointer<Sheet>& sharedPointer() {
  static QPointer<Sheet> instance;
  return instance;
}

template <class Sheet>
Sheet& sharedInstance() {
  QPointer<Sheet>& instance = sharedPointer<Sheet>();
  if (instance.isNull()) {
    instance = new Sheet;
    instance->Construct();
  }
  return *instance;
}

// One text size for all six sheets, at which every caption of every sheet fits.
int chargeSheetFontPixels() {
  static const int pixels = SheetWindow::FittingFontPixels(ChargeSheetLayouts());
  return pixels;
}

// Binds a push button's Action to a handler of the sheet; with asDefault it
// becomes the button Return presses, with asCancel the one Escape presses.
template <class Sheet>
void bindButton(Sheet* sheet, QWidget* control, void (Sheet::*handler)(), bool asDefault = false,
                bool asCancel = false) {
  auto* button = qobject_cast<PushButton*>(control);
  if (button == nullptr) return;
  QObject::connect(button, &PushButton::Action, sheet, handler);
  if (asDefault) button->SetDefault(true);
  if (asCancel) button->SetCancel(true);
}

}  // namespace

// --- SingleSheet --------------------------------------------------------------

SingleSheet& SingleSheet::Instance() { return sharedInstance<SingleSheet>(); }

SingleSheet::SingleSheet() : SheetWindow(SingleSheetLayout(), chargeSheetFontPixels(), PointField::X) {}

void SingleSheet::AttachAction(const std::string& name, QWidget* control) {
  if (name == "PBCancel") bindButton(this, control, &SingleSheet::PBCancel_Action, false, true);
  if (name == "PBDone") bindButton(this, control, &SingleSheet::PBDone_Action, true);
}

void SingleSheet::PBCancel_Action() { CancelAction(); }
void SingleSheet::PBDone_Action() { DoneAction(); }

// --- LineSheet ----------------------------------------------------------------

LineSheet& LineSheet::Instance() { return sharedInstance<LineSheet>(); }

LineSheet::LineSheet() : SheetWindow(LineSheetLayout(), chargeSheetFontPixels(), LineField::CenterX) {}

void LineSheet::AttachAction(const std::string& name, QWidget* control) {
  if (name == "PBCancel") bindButton(this, control, &LineSheet::PBCancel_Action);
  if (name == "PBDone") bindButton(this, control, &LineSheet::PBDone_Action, true);
}

void LineSheet::PBCancel_Action() { CancelAction(); }
void LineSheet::PBDone_Action() { DoneAction(); }

// --- PlaneSheet ---------------------------------------------------------------

PlaneSheet& PlaneSheet::Instance() { return sharedInstance<PlaneSheet>(); }

PlaneSheet::PlaneSheet() : SheetWindow(PlaneSheetLayout(), chargeSheetFontPixels(), PlaneField::CenterX, "PUAxis") {}

void PlaneSheet::AttachAction(const std::string& name, QWidget* control) {
  if (name == "PBCancel") bindButton(this, control, &PlaneSheet::PBCancel_Action);
  if (name == "PBDone") bindButton(this, control, &PlaneSheet::PBDone_Action, true);
}

void PlaneSheet::PBCancel_Action() { CancelAction(); }
void PlaneSheet::PBDone_Action() { DoneAction(); }

// --- SphereSheet --------------------------------------------------------------

SphereSheet& SphereSheet::Instance() { return sharedInstance<SphereSheet>(); }

SphereSheet::SphereSheet() : SheetWindow(SphereSheetLayout(), chargeSheetFontPixels(), SphereField::CenterX) {}

void SphereSheet::AttachAction(const std::string& name, QWidget* control) {
  if (name == "CancelButton") bindButton(this, control, &SphereSheet::CancelButton_Action);
  if (name == "Donebutton") bindButton(this, control, &SphereSheet::Donebutton_Action, true);
  auto* radio = qobject_cast<RadioButton*>(control);
  if (radio == nullptr) return;
  if (name == "Inside") connect(radio, &RadioButton::Action, this, &SphereSheet::Inside_Action);
  if (name == "Outside") connect(radio, &RadioButton::Action, this, &SphereSheet::Outside_Action);
  if (name == "Both") connect(radio, &RadioButton::Action, this, &SphereSheet::Both_Action);
}

void SphereSheet::CancelButton_Action() { CancelAction(); }
void SphereSheet::Donebutton_Action() { DoneAction(); }

// Each handler sets all three buttons itself, in the order Inside, Outside,
// Both, so exactly one stays chosen whatever the buttons did on their own.
void SphereSheet::chooseShowField(bool inside, bool outside, bool both) {
  Inside().SetValue(inside);
  Outside().SetValue(outside);
  Both().SetValue(both);
}

void SphereSheet::Inside_Action() { chooseShowField(true, false, false); }
void SphereSheet::Outside_Action() { chooseShowField(false, true, false); }
void SphereSheet::Both_Action() { chooseShowField(false, false, true); }

SphereData::ArrowSide SphereSheet::ArrowSideChosen() const {
  using Side = SphereData::ArrowSide;
  Side side = Side::Both;
  if (Outside().Value()) side = Side::Outside;
  if (Inside().Value()) side = Side::Inside;
  if (Both().Value()) side = Side::Both;
  return side;
}

void SphereSheet::ChooseArrowSide(SphereData::ArrowSide side) {
  using Side = SphereData::ArrowSide;
  chooseShowField(side == Side::Inside, side == Side::Outside, side == Side::Both);
}

// --- CylinderSheet ------------------------------------------------------------

CylinderSheet& CylinderSheet::Instance() { return sharedInstance<CylinderSheet>(); }

CylinderSheet::CylinderSheet()
    : SheetWindow(CylinderSheetLayout(), chargeSheetFontPixels(), CylinderField::CenterX, "AxisMenu") {}

void CylinderSheet::AttachAction(const std::string& name, QWidget* control) {
  if (name == "PBDone") bindButton(this, control, &CylinderSheet::PBDone_Action, true);
  if (name == "PBCancel") bindButton(this, control, &CylinderSheet::PBCancel_Action);
}

void CylinderSheet::PBDone_Action() { DoneAction(); }
void CylinderSheet::PBCancel_Action() { CancelAction(); }

// --- RingSheet ----------------------------------------------------------------

RingSheet& RingSheet::Instance() { return sharedInstance<RingSheet>(); }

RingSheet::RingSheet() : SheetWindow(RingSheetLayout(), chargeSheetFontPixels(), RingField::CenterX) {}

void RingSheet::AttachAction(const std::string& name, QWidget* control) {
  if (name == "CancelButton") bindButton(this, control, &RingSheet::CancelButton_Action);
  if (name == "DoneButton") bindButton(this, control, &RingSheet::DoneButton_Action, true);
}

void RingSheet::CancelButton_Action() { CancelAction(); }
void RingSheet::DoneButton_Action() { DoneAction(); }

// --- the charge model's access ------------------------------------------------

ChargeSheet* ChargeSheetOf(ChargeKind kind) {
  switch (kind) {
    case ChargeKind::Point: return &SingleSheet::Instance();
    case ChargeKind::Line: return &LineSheet::Instance();
    case ChargeKind::Plane: return &PlaneSheet::Instance();
    case ChargeKind::Sphere: return &SphereSheet::Instance();
    case ChargeKind::Ring: return &RingSheet::Instance();
    case ChargeKind::Cylinder: return &CylinderSheet::Instance();
    case ChargeKind::Count: break;
  }
  return nullptr;
}

void InstallChargeSheets() { SetChargeSheetAccessor(&ChargeSheetOf); }

void DiscardChargeSheets() {
  delete sharedPointer<SingleSheet>().data();
  delete sharedPointer<LineSheet>().data();
  delete sharedPointer<PlaneSheet>().data();
  delete sharedPointer<SphereSheet>().data();
  delete sharedPointer<CylinderSheet>().data();
  delete sharedPointer<RingSheet>().data();
}
