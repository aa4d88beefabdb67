#include "app/listed_charges.h"

#include "charges/charged_object.h"
#include "charges/surface_data.h"
#include "framework/ui/controls.h"

ListedCharges::ListedCharges(std::function<ListBox&()> rows) : rows_(std::move(rows)) {}

void ListedCharges::Append(const std::shared_ptr<SurfaceData>& body, const std::shared_ptr<ChargedObject>& charge) {
  rows_().InsertRow(static_cast<int>(charges_.size()), charge->Name, 0);
  bodies_.push_back(body);
  charges_.push_back(charge);
}

void ListedCharges::RemoveAt(std::size_t i) {
  if (i >= charges_.size()) return;
  rows_().RemoveRow(static_cast<int>(i));
  charges_.erase(charges_.begin() + static_cast<std::ptrdiff_t>(i));
  bodies_.erase(bodies_.begin() + static_cast<std::ptrdiff_t>(i));
}

void ListedCharges::Clear() {
  rows_().DeleteAllRows();
  charges_.clear();
  bodies_.clear();
}
