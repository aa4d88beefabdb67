#include "scene/pd3d.h"

#include "scene/pd3d_space.h"

namespace PD3D {

const std::string& CR() {
  static const std::string cr(1, '\r');
  return cr;
}

const std::string& Tab() {
  static const std::string tab(1, '\t');
  return tab;
}

QPointer<PD3DSpace> SelectedSpace;

}  // namespace PD3D
