// Stroking: turns a path into the closed contours whose union is its stroke,
// ready for the fill rasteriser under the non-zero rule.
#pragma once

#include <VG/openvg.h>

#include <cstddef>
#include <span>

#include "core/matrix.hpp"
#include "core/path.hpp"
#include "geometry/polygon.hpp"

namespace tq {

// At most this many output points: once a stroke reaches it, its remaining
// pieces are left out (the stroke is cut short, never unbounded).
inline constexpr size_t kMaxStrokePoints = size_t(1) << 22;
// A round cap, join or dot is cut into at most this many chords.
inline constexpr int kMaxArcPieces = 1024;

struct StrokeStyle {
  float width = 1.0f;  // 0 or less, NaN or infinite: nothing is drawn
  VGCapStyle cap = VG_CAP_BUTT;
  VGJoinStyle join = VG_JOIN_MITER;
  float miterLimit = 4.0f;  // below 1 (or NaN) acts as 1
  // On/off lengths in user units (see DashPattern); empty, or adding up to 0,
  // strokes solid.
  std::span<const float> dashes;
  float dashPhase = 0.0f;
  bool dashPhaseReset = false;
};

// Reused between strokes so that steady state allocates nothing.
struct StrokeScratch {
  Polyline lines;
  Polyline dashed;
  Polyline head;
};

// Clears `out`, then fills it with the stroke of `path` in surface pixels:
// the path is flattened and dashed in user space, every piece of its outline
// (each straight piece, join, cap and dot) is made there as one convex
// contour and mapped by `userToSurface`, so that a non-uniform scale or a
// shear draws an elliptical pen. Every contour winds counter-clockwise on
// the surface (positive signed area), so their union is the stroke under the
// non-zero rule however they overlap. Curves are stroked along their offset
// (no visible joins between their flattened pieces) and round parts are made
// to within `surfaceTolerance` pixels of the true shape.
//
// Hostile input: a non-finite or collapsing matrix, or a width that is not
// positive and finite, yields nothing; subpaths with non-finite points are
// left out; pieces that overflow to non-finite surface points are dropped.
// Work and output are bounded by kMaxFlattenedPoints, kMaxDashes,
// kMaxArcPieces and kMaxStrokePoints. Nothing is thrown but std::bad_alloc
// from growing `out` or `scratch`, which the caller reports as
// VG_OUT_OF_MEMORY_ERROR.
void strokePath(const Path& path, const StrokeStyle& style, const Matrix& userToSurface,
                float surfaceTolerance, StrokeScratch& scratch, Polygon& out);

}  // namespace tq
