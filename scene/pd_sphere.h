#pragma once

#include "scene/pd3d_object.h"

// A sphere of the given radius about pos (radius exactly 0: 1).
// Subclasses call PDSphere::Constructor first.
class PDSphere : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;
  virtual void Constructor(const Vector3D* pos, Color color, double radius);

  // Puts this sphere, taken out of its view before, back into the current
  // view as the constructor would put a new sphere with these arguments: the
  // same shape, placement and colour, appended at the end. It keeps its shape
  // when that already is the one for color and radius. For scenes that show
  // the same spheres again, which then are not made anew.
  // False, changing nothing, when a new sphere is wanted instead: the sphere
  // is still in a view, was made for another view than the current one,
  // someone reads the shape texts (SetShapeTextObserver), who would miss
  // the new sphere's text, or the caller opened no OwnerScope of it.
  bool Reshow(const Vector3D* pos, Color color, double radius);

private:
  void takeShape(double radius, Color color);
};
