#pragma once

#include "charges/charged_object.h"
#include "framework/math/vector3d.h"

#include <memory>
#include <vector>

// The field of all objects at many points at once: for each point, the sum
// over objects in list order of obj->VoltixAt(point), with exactly the same
// bits, evaluated vectorised across points and spread over worker threads.
// Call it on the thread that owns the objects; the workers compute numbers
// only. The worker threads are started once and kept for later sums.
// maxThreads 0 picks the number from the hardware and the work size; a small
// sum runs on the calling thread alone.
[[nodiscard]] std::vector<Vector3D> SumFieldAt(const std::vector<std::shared_ptr<ChargedObject>>& objects,
                                               const std::vector<Vector3D>& points, unsigned maxThreads = 0);

// The instruction set the sum runs with on this machine (for reports).
[[nodiscard]] const char* FieldSumTarget();
