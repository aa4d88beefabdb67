#pragma once

#include <functional>
#include <memory>
#include <vector>

class ChargedObject;
class ListBox;
class SurfaceData;

// The charged objects the main window lists, each with its body and its row:
// charge i, body i and row i belong together, and every change keeps them so.
class ListedCharges {
public:
  using Charges = std::vector<std::shared_ptr<ChargedObject>>;
  using Bodies = std::vector<std::shared_ptr<SurfaceData>>;

  // rows: the list control that shows one row per charge, looked up when a
  // row changes.
  explicit ListedCharges(std::function<ListBox&()> rows);

  [[nodiscard]] const Charges& ChargeList() const { return charges_; }
  [[nodiscard]] const Bodies& BodyList() const { return bodies_; }

  // Adds the charge, its body and a row with its Name at the end.
  void Append(const std::shared_ptr<SurfaceData>& body, const std::shared_ptr<ChargedObject>& charge);
  // Takes charge, body and row i away; an index out of range changes nothing.
  void RemoveAt(std::size_t i);
  // Takes every charge, body and row away.
  void Clear();

private:
  std::function<ListBox&()> rows_;
  Charges charges_;
  Bodies bodies_;
};
