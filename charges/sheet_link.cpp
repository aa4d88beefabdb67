#include "charges/sheet_link.h"

namespace {
ChargeSheetAccessor sheetAccessor = nullptr;
ChargeFactories* factories = nullptr;
}  // namespace

void SetChargeSheetAccessor(ChargeSheetAccessor accessor) { sheetAccessor = accessor; }

ChargeSheet* SheetFor(ChargeKind kind) { return sheetAccessor != nullptr ? sheetAccessor(kind) : nullptr; }

void SetChargeFactories(ChargeFactories* f) { factories = f; }

ChargeFactories* Factories() { return factories; }
