#pragma once

#include "sheets/sheet_layout.h"

// The windows of the six set-up sheets: title, size and every control in the
// order it is created.
const SheetLayout& SingleSheetLayout();
const SheetLayout& LineSheetLayout();
const SheetLayout& PlaneSheetLayout();
const SheetLayout& SphereSheetLayout();
const SheetLayout& CylinderSheetLayout();
const SheetLayout& RingSheetLayout();
