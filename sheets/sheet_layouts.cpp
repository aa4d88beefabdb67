#include "sheets/sheet_layouts.h"

#include "charges/sheet_fields.h"
#include "charges/sheet_link.h"

#include <iterator>

namespace {

using K = SheetControlKind;
using A = SheetAlign;
constexpr int kNoIndex = -1;

}  // namespace

// The tables keep one control a line.
// clang-format off

const SheetLayout& SingleSheetLayout() {
  static const SheetLayout layout{"Point", 281, 166, {
      {K::Label, "STLabel", 0, "Position:", 20, 42, 61, 20},
      {K::Label, "STLabel", 1, "X", 113, 14, 14, 20},
      {K::Label, "STLabel", 2, "Y", 169, 14, 14, 20},
      {K::Label, "STLabel", 3, "Z", 224, 14, 14, 20},
      {K::EditField, "EF", PointField::X, "0", 93, 41, 44, 21},
      {K::EditField, "EF", PointField::Y, "0", 149, 41, 44, 21},
      {K::EditField, "EF", PointField::Z, "0", 205, 41, 44, 21},
      {K::Label, "STLabel", 4, "Charge:", 20, 74, 61, 20},
      {K::EditField, "EF", PointField::Charge, "1", 93, 73, 44, 21},
      {K::PushButton, "PBCancel", kNoIndex, "Cancel", 20, 124, 69, 20},
      {K::PushButton, "PBDone", kNoIndex, "Done", 180, 124, 69, 20},
  }};
  return layout;
}

const SheetLayout& LineSheetLayout() {
  static const SheetLayout layout{"Line", 315, 242, {
      {K::Label, "STLabel", 0, "Center:", 54, 38, 51, 20},
      {K::EditField, "EF", LineField::CenterX, "0", 111, 37, 44, 22},
      {K::EditField, "EF", LineField::CenterY, "0", 172, 37, 44, 22},
      {K::EditField, "EF", LineField::CenterZ, "0", 233, 37, 44, 22},
      {K::Label, "STLabel", 1, "X", 129, 14, 16, 20},
      {K::Label, "STLabel", 2, "Y", 191, 14, 16, 20},
      {K::Label, "STLabel", 5, "Z", 251, 14, 16, 20},
      {K::Label, "STLabel", 3, "Total Charge:", 20, 102, 79, 20},
      {K::EditField, "EF", LineField::Charge, "10", 111, 101, 44, 22},
      {K::Label, "STLabel", 4, "Number of point charges:", 73, 135, 153, 21},
      {K::Label, "STLabel", 6, "Length:", 173, 103, 48, 20},
      {K::EditField, "EF", LineField::Length, "1000", 233, 101, 44, 22},
      {K::EditField, "EF", LineField::Count, "100", 233, 135, 44, 22},
      {K::PushButton, "PBCancel", kNoIndex, "Cancel", 20, 202, 69, 20},
      {K::PushButton, "PBDone", kNoIndex, "Done", 226, 202, 69, 20},
      // Starts left of the content area on purpose; its right-aligned text
      // ends just before the direction's first field.
      {K::Label, "StaticText1", kNoIndex, "Vector:", -6, 70, 100, 20, A::Right},
      {K::EditField, "EF", LineField::VectorX, "1", 111, 67, 44, 22},
      {K::EditField, "EF", LineField::VectorY, "0", 172, 67, 44, 22},
      {K::EditField, "EF", LineField::VectorZ, "0", 233, 67, 44, 22},
      {K::CheckBox, "CBGrid", kNoIndex, "Show Grid", 117, 168, 80, 20, A::Left, true},
  }};
  return layout;
}

const SheetLayout& PlaneSheetLayout() {
  static const SheetLayout layout{"Plane", 303, 238, {
      {K::Label, "STLabel", 0, "Center:", 59, 43, 51, 20},
      {K::EditField, "EF", PlaneField::CenterX, "0", 116, 42, 44, 22},
      {K::EditField, "EF", PlaneField::CenterY, "0", 177, 42, 44, 22},
      {K::EditField, "EF", PlaneField::CenterZ, "0", 238, 42, 44, 22},
      {K::Label, "STLabel", 1, "X", 134, 19, 16, 20},
      {K::Label, "STLabel", 2, "Y", 196, 19, 16, 20},
      {K::Label, "STLabel", 3, "Z", 256, 19, 16, 20},
      {K::Label, "STLabel", 4, "Total Charge:", 25, 75, 79, 20},
      {K::EditField, "EF", PlaneField::Charge, "50", 116, 74, 44, 22},
      {K::Label, "STLabel", 5, "Number of point charges per side:", 25, 107, 201, 21},
      {K::Label, "STLabel", 6, "Side:", 197, 76, 29, 20},
      {K::EditField, "EF", PlaneField::Side, "1000", 238, 73, 44, 22},
      // The count is created last among the fields although its index is the first.
      {K::EditField, "EF", PlaneField::Count, "20", 238, 106, 44, 22},
      {K::PushButton, "PBCancel", kNoIndex, "Cancel", 25, 200, 69, 20},
      {K::PushButton, "PBDone", kNoIndex, "Done", 213, 200, 69, 20},
      {K::Label, "STLabel", 7, "Plane:", 143, 140, 42, 20},
      {K::PopupMenu, "PUAxis", kNoIndex, "xy plane\nxz plane\nyz plane", 197, 140, 85, 20},
      {K::CheckBox, "CBGrid", kNoIndex, "Show Grid", 111, 172, 80, 20, A::Left, true},
  }};
  return layout;
}

const SheetLayout& SphereSheetLayout() {
  static const SheetLayout layout{"Sphere", 300, 239, {
      {K::Label, "StaticText1", kNoIndex, "Center:", 20, 54, 100, 20, A::Right},
      {K::Label, "StaticText2", kNoIndex, "Total Charge:", 20, 95, 100, 20, A::Right},
      {K::EditField, "EF", SphereField::CenterX, "0", 132, 53, 44, 22},
      {K::EditField, "EF", SphereField::CenterY, "0", 181, 53, 44, 22},
      {K::EditField, "EF", SphereField::CenterZ, "0", 230, 53, 44, 22},
      {K::Label, "StaticText3", kNoIndex, "X", 132, 21, 44, 22, A::Center},
      {K::Label, "StaticText4", kNoIndex, "Y", 181, 21, 44, 22, A::Center},
      {K::Label, "StaticText5", kNoIndex, "Z", 230, 21, 44, 22, A::Center},
      {K::EditField, "EF", SphereField::Charge, "5", 132, 94, 44, 22},
      {K::EditField, "EF", SphereField::Radius, "100", 132, 128, 44, 22},
      {K::Label, "StaticText6", kNoIndex, "Radius:", 20, 129, 100, 20, A::Right},
      {K::PushButton, "CancelButton", kNoIndex, "Cancel", 20, 199, 69, 20},
      {K::PushButton, "Donebutton", kNoIndex, "Done", 205, 199, 69, 20},
      {K::CheckBox, "CBGrid", kNoIndex, "Show Grid", 110, 175, 80, 20, A::Left, true},
      {K::RadioButton, "Inside", kNoIndex, "Inside", 193, 117, 80, 20, A::Left, false},
      {K::RadioButton, "Outside", kNoIndex, "Outside", 193, 98, 80, 20, A::Left, false},
      {K::RadioButton, "Both", kNoIndex, "Both", 193, 136, 80, 20, A::Left, true},
      {K::GroupBox, "GroupBox1", kNoIndex, "Show Field", 181, 77, 100, 90},
  }};
  return layout;
}

const SheetLayout& CylinderSheetLayout() {
  static const SheetLayout layout{"Cylinder", 301, 251, {
      {K::PopupMenu, "AxisMenu", kNoIndex, "x axis\ny axis\nz axis", 203, 145, 85, 20},
      {K::Label, "StaticText1", kNoIndex, "Center:", 20, 44, 100, 20, A::Right},
      {K::EditField, "EF", CylinderField::CenterX, "0", 132, 43, 44, 22},
      {K::EditField, "EF", CylinderField::CenterY, "0", 188, 43, 44, 22},
      {K::EditField, "EF", CylinderField::CenterZ, "0", 244, 43, 44, 22},
      {K::Label, "StaticText2", kNoIndex, "X", 132, 14, 44, 20, A::Center},
      {K::Label, "StaticText3", kNoIndex, "Y", 188, 14, 44, 20, A::Center},
      {K::Label, "StaticText4", kNoIndex, "Z", 244, 14, 44, 20, A::Center},
      {K::Label, "STLabel", 4, "Total Charge:", 41, 76, 79, 20, A::Left},
      {K::EditField, "EF", CylinderField::ChargePerRing, "2", 132, 77, 44, 22},
      {K::EditField, "EF", CylinderField::Length, "1000", 244, 77, 44, 22},
      {K::EditField, "EF", CylinderField::Rings, "20", 244, 111, 44, 22},
      {K::Label, "StaticText6", kNoIndex, "Length:", 188, 78, 50, 20, A::Right},
      {K::Label, "StaticText7", kNoIndex, "Number of Rings:", 138, 112, 100, 20, A::Right},
      {K::PushButton, "PBDone", kNoIndex, "Done", 212, 211, 69, 20},
      {K::PushButton, "PBCancel", kNoIndex, "Cancel", 19, 211, 69, 20},
      {K::EditField, "EF", CylinderField::Radius, "100", 100, 144, 44, 22},
      {K::Label, "StaticText8", kNoIndex, "Radius:", 38, 145, 50, 20, A::Right},
      {K::Label, "StaticText9", kNoIndex, "Axis:", 147, 144, 44, 20, A::Right},
      {K::CheckBox, "CBGrid", kNoIndex, "Show Grid", 110, 178, 80, 20, A::Left, true},
  }};
  return layout;
}

const SheetLayout& RingSheetLayout() {
  static const SheetLayout layout{"Ring", 302, 258, {
      {K::Label, "StaticText1", kNoIndex, "Center:", 20, 53, 100, 20, A::Right},
      {K::EditField, "EF", RingField::CenterX, "0", 132, 52, 44, 22},
      {K::EditField, "EF", RingField::CenterY, "0", 188, 52, 44, 22},
      {K::EditField, "EF", RingField::CenterZ, "0", 244, 52, 44, 22},
      {K::EditField, "EF", RingField::NormalX, "0", 132, 84, 44, 22},
      {K::EditField, "EF", RingField::NormalY, "0", 188, 84, 44, 22},
      {K::EditField, "EF", RingField::NormalZ, "1", 244, 84, 44, 22},
      {K::Label, "StaticText2", kNoIndex, "Total Charge:", 20, 117, 100, 20, A::Right},
      {K::EditField, "EF", RingField::Charge, "10", 132, 118, 44, 22},
      {K::Label, "StaticText3", kNoIndex, "Radius:", 188, 118, 44, 19, A::Right},
      {K::EditField, "EF", RingField::Radius, "150", 244, 117, 44, 21},
      {K::Label, "StaticText4", kNoIndex, "X", 132, 20, 44, 22, A::Center},
      {K::Label, "StaticText5", kNoIndex, "Y", 188, 20, 44, 22, A::Center},
      {K::Label, "StaticText6", kNoIndex, "Z", 244, 20, 44, 22, A::Center},
      {K::PushButton, "CancelButton", kNoIndex, "Cancel", 20, 218, 69, 20},
      {K::PushButton, "DoneButton", kNoIndex, "Done", 211, 218, 69, 20},
      {K::EditField, "EF", RingField::Count, "20", 244, 150, 44, 22},
      {K::Label, "StaticText7", kNoIndex, "Number of charges in the Ring:", 37, 150, 195, 21, A::Right},
      {K::Label, "StaticText8", kNoIndex, "Normal Vector:", 20, 85, 100, 20, A::Right},
      {K::CheckBox, "CBGrid", kNoIndex, "Show Grid", 111, 183, 80, 20, A::Left, true},
  }};
  return layout;
}

// clang-format on

std::span<const SheetLayout* const> ChargeSheetLayouts() {
  static const SheetLayout* const layouts[] = {&SingleSheetLayout(), &LineSheetLayout(), &PlaneSheetLayout(),
                                               &SphereSheetLayout(), &RingSheetLayout(), &CylinderSheetLayout()};
  static_assert(std::size(layouts) == kChargeKinds, "one layout for each charge kind, in the order of ChargeKind");
  return layouts;
}
