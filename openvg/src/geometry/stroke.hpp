// Stroking: turns a path into the closed contours whose union is its stroke,
// ready for the fill rasteriser under the non-zero rule.
#pragma once

#include <VG/openvg.h>

#include <cstddef>
#include <span>
#include <vector>

#include "core/matrix.hpp"
#include "core/path.hpp"
#include "geometry/polygon.hpp"
#include "geometry/segments.hpp"

namespace tq {

// At most this many output points: the outline that would pass it and
// all after it are left out (the stroke is cut short, never unbounded).
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

// One straight piece of a flattened subpath, with what the stroker works out
// about the vertex it starts at.
struct StrokePiece {
  Vec2 a, b, d;  // start, end, unit direction
  double len = 0.0;
  double retreat = 0.0;  // how far back along both pieces the inner offsets meet
  int inner = 0;         // the side inside the turn there: 1 left, -1 right, 0 none
  bool corner = false;   // a join of the stroke's style, else round (a curve point)
  bool good = false;     // its inner offsets, cut back at both ends, still run forward
  bool joined = false;   // the inner offsets meet at its start, else go through the vertex
  // The last (first) piece of a flattened curve run, from a curve point to a
  // corner or end (the reverse): the flattener and dasher make it short and
  // along the curve's true tangent there.
  bool endTangent = false;
  bool startTangent = false;
  bool shared = false;  // its inner offsets at its start end on one normal: `normal`
  Vec2 normal;
  bool crossed[2] = {false, false};  // its two normals cross on that side (right, left), at x
  Vec2 x[2];
};

// Reused between strokes so that steady state allocates nothing.
struct StrokeScratch {
  Polyline lines;
  Polyline dashed;
  Polyline head;
  std::vector<StrokePiece> pieces;
  std::vector<Vec2> wedges;  // three points each: see Stroker::bend
};

// Clears `out`, then fills it with the stroke of `path` in surface pixels:
// the path is flattened and dashed in user space, its outline made there and
// mapped by `userToSurface`, so that a non-uniform scale or a shear draws an
// elliptical pen. The stroke is the union of the contours under the non-zero
// rule, every one wound counter-clockwise on the surface (positive area).
// Curves are stroked along their offset (no visible joins between their
// flattened pieces) and round parts are made to within `surfaceTolerance`
// pixels of the true shape.
//
// One outline a subpath: the left offset forward, the end cap (none for
// butt), the right offset backward and the start cap; a closed subpath is
// the left loop and the reversed right loop. So most rows of the rasteriser
// meet it once on each side: each piece, join and cap as its own contour
// overlapped the others in every row and cost a hundred times a fill. At a
// vertex the outer side follows the join's outline (round inside a curve, the
// stroke's join at a corner, miter limit included; a round join whose miter
// leaves its arc by no more than the tolerance is that one point) and the
// inner side goes to the point where the two inner offsets cross, h tan(turn
// / 2) back along each piece. That is the union's true inner edge while each
// piece is longer than the cut-backs at its ends on one side. Where the path
// turns tighter than that (about where its radius drops below the half width:
// tight curves, cusps, sharp corners, reversals) the offsets would fold into
// a swallowtail that pokes out of the stroke, so the inner side goes through
// the vertex instead: at a corner both pieces keep their whole rectangles,
// which overlap there, covered twice; at a curve point both end on the
// curve's normal there, so that no chord's rectangle stands past the true
// normal at a cap, a reversal or a dash's end. Where a chord's two normals
// cross within h (a curve of radius below the half width) its inner side
// runs through the crossing, and the triangle beyond it, on the far side of
// the curve's centre, is a contour of its own. The outline is the sum of the
// boundaries of its pieces, each wound the same way, so its winding is
// non-zero exactly on their union, and the sign of its area orients it.
//
// A flattened curve ends in a short piece along its true tangent (the
// flattener and the dasher make one), so caps and joins there are square to
// the curve.
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
