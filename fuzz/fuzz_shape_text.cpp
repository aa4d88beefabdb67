// Shape texts through the 3DMF reader and the tessellator: an accepted text
// gives sound meshes, a rejected one names its line.

#include "checks/mesh_checks.h"
#include "framework/3d/threedmf.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const ShapeParseResult result = ReadShapeTextUncached(text);
  if (const std::string problem = CheckReadResult(text, result); !problem.empty()) {
    std::fprintf(stderr, "shape text: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
