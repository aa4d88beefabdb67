#pragma once

#include <span>
#include <string>

#include "charges/sheet_link.h"
#include "framework/ui/controls.h"
#include "framework/ui/window.h"
#include "sheets/sheet_layout.h"

// An element of a sheet's edit-field array "EF": an edit field that knows its
// index.
class SheetField : public EditField {
  Q_OBJECT
public:
  explicit SheetField(int index) { SetIndex(index); }
};

// An element of a sheet's label array "STLabel".
class SheetLabel : public StaticText {
  Q_OBJECT
public:
  explicit SheetLabel(int index) { SetIndex(index); }
};

// What the six set-up sheets share. A sheet is a small window shown modally
// within the main window; it holds texts and control states only, and its one
// datum of its own is the outcome of its last use, DoneFlag.
//
// Controls are found by name ("CBGrid", "PUAxis", ...) or by name and index
// ("EF", i) through the Window look-ups; the accessors below are shortcuts.
// A sheet is hidden after each use and never closed: closing it from its
// title bar counts as Cancel.
class SheetWindow : public Window, public ChargeSheet {
  Q_OBJECT

public:
  // --- what the charge model and the factories read and write ---------------
  void ShowModalWithin(QWidget* parent) override { Window::ShowModalWithin(parent); }
  [[nodiscard]] bool DoneFlag() const override { return doneFlag_; }
  [[nodiscard]] bool HasField(int index) const override;
  // NilObjectException when the sheet has no EF(index).
  [[nodiscard]] std::string FieldText(int index) const override;
  void SetFieldText(int index, const std::string& text) override;
  // The "Show Grid" box; a sheet without one reads false and ignores writes.
  [[nodiscard]] bool GridValue() const override;
  void SetGridValue(bool value) override;
  // The popup's ListIndex; a sheet without a popup reads -1 and ignores writes.
  [[nodiscard]] int PopupIndex() const override;
  void SetPopupIndex(int index) override;
  // Only the sphere sheet has the radio buttons; the others read Both and
  // ignore a choice.
  [[nodiscard]] SphereData::ArrowSide ArrowSideChosen() const override { return SphereData::ArrowSide::Both; }
  void ChooseArrowSide(SphereData::ArrowSide) override {}

  // The edit field EF(index), or nullptr.
  [[nodiscard]] EditField* EF(int index) const;
  // The "Show Grid" box, or nullptr in the point sheet.
  [[nodiscard]] CheckBox* CBGrid() const;
  // The sheet's popup menu (PUAxis or AxisMenu), or nullptr.
  [[nodiscard]] PopupMenu* Popup() const;

  // The field selected and focused when the sheet becomes active.
  [[nodiscard]] int FocusIndex() const { return focusIndex_; }

  // The largest text size, up to the designed 12 pixels, at which every
  // caption of every one of the layouts fits its box, so that sheets made
  // with it look alike.
  [[nodiscard]] static int FittingFontPixels(std::span<const SheetLayout* const> layouts);

protected:
  // fontPixels: the text size of every control.
  SheetWindow(const SheetLayout& layout, int fontPixels, int focusIndex, std::string popupName = {});

  void Layout() override;
  void CreateControls() override;
  // Creates the controls one by one in the sheet's creation order.
  void _CreateControls0();
  // Binds the sheet's handler, if it has one, to the control just created.
  virtual void AttachAction(const std::string& name, QWidget* control) = 0;

  // Done: DoneFlag True, then hide. Cancel: DoneFlag False, then hide; the
  // typed texts stay.
  void DoneAction();
  void CancelAction();

  void Event_Activate() override;
  void Event_Close() override;

private:
  static QFont sheetFont(int pixels);

  const SheetLayout& layout_;
  int fontPixels_;
  int focusIndex_;
  std::string popupName_;
  bool doneFlag_ = false;
};
