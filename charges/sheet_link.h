#pragma once

#include "charges/surface_data.h"

#include <cstddef>
#include <string>

class QWidget;

// What the charge model needs of the set-up sheets and of the main window's
// factories. Both live in higher layers (sheets/, app/), which install their
// implementations at start-up, so that charges/ depends on neither.

// Count is no kind: it stands last, so that it counts the kinds before it.
enum class ChargeKind { Point, Line, Plane, Sphere, Ring, Cylinder, Count };
// How many kinds there are. Tables indexed by the kind are checked against it
// when they are compiled.
inline constexpr std::size_t kChargeKinds = static_cast<std::size_t>(ChargeKind::Count);

// One set-up sheet as the charge model and the main window see it: texts and
// states, and its showing.
class ChargeSheet {
public:
  virtual ~ChargeSheet() = default;
  // Shows the sheet modally within the window and returns once it is hidden
  // again (Done, Cancel or closed); DoneFlag then says which.
  virtual void ShowModalWithin(QWidget* parent) = 0;
  // True after Done, false after Cancel.
  [[nodiscard]] virtual bool DoneFlag() const = 0;
  // The edit field EF(index), if the sheet has one with that index.
  [[nodiscard]] virtual bool HasField(int index) const = 0;
  [[nodiscard]] virtual std::string FieldText(int index) const = 0;
  virtual void SetFieldText(int index, const std::string& text) = 0;
  // The "Show Grid" box (every sheet but the point's).
  [[nodiscard]] virtual bool GridValue() const = 0;
  virtual void SetGridValue(bool value) = 0;
  // The popup's ListIndex (the plane's PUAxis, the cylinder's AxisMenu).
  [[nodiscard]] virtual int PopupIndex() const = 0;
  virtual void SetPopupIndex(int index) = 0;
  // The side whose arrows the sphere sheet's radio buttons choose.
  [[nodiscard]] virtual SphereData::ArrowSide ArrowSideChosen() const = 0;
  virtual void ChooseArrowSide(SphereData::ArrowSide side) = 0;
};

// The main window's factories, each building a new charged object from its sheet.
class ChargeFactories {
public:
  virtual ~ChargeFactories() = default;
  virtual void MakePoint() = 0;
  virtual void MakeLine() = 0;
  virtual void MakePlane() = 0;
  virtual void MakeSphere() = 0;
  virtual void MakeRing() = 0;
  virtual void MakeCylinder() = 0;
};

// The shared instance of a kind's sheet, created on first use; null until the
// sheets layer installs its accessor.
using ChargeSheetAccessor = ChargeSheet* (*)(ChargeKind);
void SetChargeSheetAccessor(ChargeSheetAccessor accessor);
ChargeSheet* SheetFor(ChargeKind kind);

// The main window's factories; null until the application installs them.
void SetChargeFactories(ChargeFactories* factories);
ChargeFactories* Factories();
