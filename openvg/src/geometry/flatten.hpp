// Turns a path into closed polygon contours in surface pixels for filling.
#pragma once

#include "core/matrix.hpp"
#include "core/path.hpp"
#include "geometry/polygon.hpp"

namespace tq {

// Per-segment and per-path limits on the pieces a curve is cut into, so that
// hostile coordinates or matrices cannot make the output grow without bound.
inline constexpr int kMaxPiecesPerSegment = 1024;
inline constexpr size_t kMaxFlattenedPoints = size_t(1) << 22;

// Clears `out`, then appends every subpath of `path` as one closed contour,
// transformed by `userToSurface` and flattened so that no point of the true
// transformed curve lies farther than `tolerance` surface pixels from the
// polyline. Curves are transformed first and flattened in surface space.
//
// Robustness: a non-finite matrix yields no contours; a contour with any
// non-finite point is dropped whole; contours of fewer than three distinct
// points (no area) are dropped. Once kMaxFlattenedPoints are emitted, the
// remaining curves are replaced by their chords. No allocation once `out`
// has grown to the path's size.
void flattenPath(const Path& path, const Matrix& userToSurface, float tolerance, Polygon& out);

}  // namespace tq
