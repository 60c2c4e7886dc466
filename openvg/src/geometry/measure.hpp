// Length, position along, and bounds of a path's geometry.
#pragma once

#include "core/matrix.hpp"
#include "core/path.hpp"
#include "geometry/segments.hpp"

namespace tq {

// Total length of segments [first, first + count); moves add nothing and a
// close adds the line back to the subpath's start.
double pathLength(const Path& path, size_t first, size_t count);

// The point `distance` along segments [first, first + count) (clamped to
// [0, length]) and the unit tangent there. With no length to walk along, the
// point is the end of the range and the tangent (1, 0).
void pointAlongPath(const Path& path, size_t first, size_t count, double distance, Vec2& point,
                    Vec2& tangent);

struct Bounds {
  double minX, minY, maxX, maxY;
};

// Tight bounds of the drawn geometry (curves, not their control points),
// after `m` when given. False when nothing is drawn: moves alone and arcs
// between coincident points have no geometry.
bool pathBounds(const Path& path, const Matrix* m, Bounds& out);

}  // namespace tq
