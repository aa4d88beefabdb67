#pragma once

#include <QPointer>

#include <cstdint>
#include <string>

class PD3DSpace;

// A colour 0x00RRGGBB.
using Color = std::uint32_t;

namespace PD3D {

// Line end of every 3DMF shape text: a carriage return. Both texts are
// shared constants: scenes build shape texts by the hundred thousand.
const std::string& CR();
// One level of indentation in a 3DMF shape text: a horizontal tab.
const std::string& Tab();

// The current 3D view: new scene objects join it. Nil until a view opens.
// A guarded pointer, so a view that is destroyed leaves nil behind rather
// than a dangling reference.
extern QPointer<PD3DSpace> SelectedSpace;

}  // namespace PD3D
