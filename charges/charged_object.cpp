#include "charges/charged_object.h"

#include "charges/charge_sphere.h"
#include "framework/runtime/class_cast.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"
#include "framework/runtime/runtime.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

void PointCharge::Constructor(double q, const Vector3D& position, std::weak_ptr<ChargedObject> parent) {
  Charge = q;
  Position = position;
  Parent = std::move(parent);
}

double PointCharge::SphereSize(double q) {
  // The charges of one object are nearly always equal: the last answer is
  // kept, so a large object costs one power, not one per charge.
  thread_local bool known = false;
  thread_local std::uint64_t lastBits = 0;
  thread_local double lastSize = 0.0;
  const auto bits = std::bit_cast<std::uint64_t>(q);
  if (!known || bits != lastBits) {
    lastSize = std::max(10.0 * std::abs(std::pow(std::abs(q), 0.3333333333333333)), 2.0);
    lastBits = bits;
    known = true;
  }
  return lastSize;
}

void PointCharge::Display() {
  const std::uint32_t color = 0.0 < Charge ? kPositiveColor : kNegativeColor;
  GraphRep = New<ChargeSphere>(&Position, color, SphereSize(Charge), Parent);
}

void PointCharge::DisplaySelected() {
  const std::uint32_t color = 0.0 < Charge ? kPositiveSelectedColor : kNegativeSelectedColor;
  GraphRep = New<ChargeSphere>(&Position, color, SphereSize(Charge), Parent);
}

void PointCharge::Redisplay(bool selected) {
  const std::uint32_t color = 0.0 < Charge ? (selected ? kPositiveSelectedColor : kPositiveColor)
                                           : (selected ? kNegativeSelectedColor : kNegativeColor);
  // Only a sphere that shows this charge's object is shown again.
  auto* sphere = ClassCast<ChargeSphere>(GraphRep.get());
  const OwnerScope owner(GraphRep);
  if (sphere != nullptr && !sphere->Parent.owner_before(Parent) && !Parent.owner_before(sphere->Parent) &&
      sphere->Reshow(&Position, color, SphereSize(Charge))) {
    return;
  }
  if (selected) {
    DisplaySelected();
  } else {
    Display();
  }
}

void ChargeSphere::Constructor(const Vector3D* pos, std::uint32_t color, double size,
                               std::weak_ptr<ChargedObject> parent) {
  PDSphere::Constructor(pos, color, size);
  Parent = std::move(parent);
}

Vector3D ChargedObject::VoltixAt(const Vector3D& P) const {
  // The yields below may run other handlers: keep this object alive and read
  // the point as it was asked for.
  const auto keepAlive = weak_from_this().lock();
  const Vector3D at = P;
  const PackedCharges& c = Packed();
  Vector3D E(0.0, 0.0, 0.0);
  const std::size_t n = c.size();
  for (std::size_t i = 0; i < n; ++i) {
    const double dx = at.X - c.x[i];
    const double dy = at.Y - c.y[i];
    const double dz = at.Z - c.z[i];
    const double L = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double f = c.q[i] / ((L * L) * L);
    E.X += dx * f;
    E.Y += dy * f;
    E.Z += dz * f;
    RuntimeBackgroundTask();
  }
  return E;
}

void ChargedObject::DisplayIt() {
  // The yields may run other handlers; keep this object alive meanwhile.
  const auto keepAlive = weak_from_this().lock();
  for (std::size_t i = 0; i < ChargeList.size(); ++i) {
    Deref(ChargeList[i]).Display();
    RuntimeBackgroundTask();
  }
}

void ChargedObject::DisplaySelected() {
  const auto keepAlive = weak_from_this().lock();
  for (std::size_t i = 0; i < ChargeList.size(); ++i) {
    Deref(ChargeList[i]).DisplaySelected();
    RuntimeBackgroundTask();
  }
}

void ChargedObject::Redisplay(bool selected) {
  const auto keepAlive = weak_from_this().lock();
  for (std::size_t i = 0; i < ChargeList.size(); ++i) {
    Deref(ChargeList[i]).Redisplay(selected);
    RuntimeBackgroundTask();
  }
}

void ChargedObject::DropCharges() {
  // Assigned afresh (not cleared), so that their storage goes too.
  ChargeList = decltype(ChargeList)();
  packed_ = PackedCharges();
  chargeBlock_.reset();
}

const PackedCharges& ChargedObject::Packed() const {
  if (packed_.size() != ChargeList.size()) PackCharges();
  return packed_;
}

void ChargedObject::AddCharge(double q, const Vector3D& position) {
  // Blocks double in size up to a few thousand charges; a full block is never
  // moved, so the charges in it stay put.
  constexpr std::size_t kFirstBlock = 4;
  constexpr std::size_t kLargestBlock = 4096;
  if (!chargeBlock_ || chargeBlock_->size() == chargeBlock_->capacity()) {
    const std::size_t size = chargeBlock_ ? std::min(2 * chargeBlock_->capacity(), kLargestBlock) : kFirstBlock;
    chargeBlock_ = std::make_shared<std::vector<PointCharge>>();
    chargeBlock_->reserve(size);
  }
  PointCharge& charge = chargeBlock_->emplace_back();
  charge.Constructor(q, position, weak_from_this());
  ChargeList.push_back(std::shared_ptr<PointCharge>(chargeBlock_, &charge));
}

void ChargedObject::PackCharges() const {
  const std::size_t n = ChargeList.size();
  PackedCharges p;
  p.x.resize(n);
  p.y.resize(n);
  p.z.resize(n);
  p.q.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const PointCharge& c = Deref(ChargeList[i]);
    p.x[i] = c.Position.X;
    p.y[i] = c.Position.Y;
    p.z[i] = c.Position.Z;
    p.q[i] = c.Charge;
  }
  packed_ = std::move(p);
}
