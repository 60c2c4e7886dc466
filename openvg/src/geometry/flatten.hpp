// Turns a path into closed polygon contours in surface pixels for filling, or
// into open and closed polylines in any space for stroking.
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

// Clears `out`, then appends every subpath of `path` that has a segment,
// mapped by `m` (the identity for user space) and flattened to within
// `tolerance` in the mapped space (non-positive or NaN: 1e-4). Subpaths stay
// open unless closed by VG_CLOSE_PATH; zero-length pieces are merged away, so
// a subpath that never leaves its start point is one point (its dot axis is
// the user x axis, mapped); a lone move yields nothing. Each point records
// whether it is a corner between segments or inside a flattened curve.
// Subpaths with a non-finite point are dropped whole; the same output cap as
// flattenPath applies.
void flattenPolylines(const Path& path, const Matrix& m, double tolerance, Polyline& out);

// The user-space tolerance that keeps the image under `userToSurface` within
// `surfaceTolerance` pixels (clamped as flattenPath clamps it): divided by the
// matrix's largest stretch. 0 where no tolerance serves: a non-finite matrix,
// or one that collapses everything to a point.
double userTolerance(const Matrix& userToSurface, float surfaceTolerance);

}  // namespace tq
