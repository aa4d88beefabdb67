#pragma once

#include "scene/pd_sphere.h"

#include <cstdint>
#include <memory>

class ChargedObject;

// The sphere that shows one point charge; a click on it leads back to the
// charged object through Parent.
class ChargeSphere : public PDSphere {
public:
  std::weak_ptr<ChargedObject> Parent;

  using PDSphere::Constructor;
  // Builds the sphere first (it joins the current scene), then sets Parent.
  virtual void Constructor(const Vector3D* pos, std::uint32_t color, double size,
                           std::weak_ptr<ChargedObject> parent);
};
