#include "scene/pd3d.h"

#include "scene/pd3d_space.h"

namespace PD3D {

std::string CR() { return std::string(1, '\r'); }
std::string Tab() { return std::string(1, '\t'); }

QPointer<PD3DSpace> SelectedSpace;

}  // namespace PD3D
