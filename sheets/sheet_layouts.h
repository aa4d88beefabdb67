#pragma once

#include "sheets/sheet_layout.h"

#include <span>

// The windows of the six set-up sheets: title, size and every control in the
// order it is created.
const SheetLayout& SingleSheetLayout();
const SheetLayout& LineSheetLayout();
const SheetLayout& PlaneSheetLayout();
const SheetLayout& SphereSheetLayout();
const SheetLayout& CylinderSheetLayout();
const SheetLayout& RingSheetLayout();

// The six, in the order of the charge kinds (Point, Line, Plane, Sphere, Ring,
// Cylinder).
std::span<const SheetLayout* const> ChargeSheetLayouts();
