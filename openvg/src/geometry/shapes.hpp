// The shapes and warps behind the utility calls. A shape is built as commands
// and user-space coordinates, then stored through the path's own encoding, so
// shapes made in one path share its datatype and interpolate with each other.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "core/path.hpp"

namespace tq {

struct Shape {
  std::vector<VGubyte> commands;
  std::vector<double> coords;  // the values the coordinates stand for
};

// The builders take finite numbers and, where there is one, a positive size;
// the caller checks both. Each appends to `out` and may throw std::bad_alloc.
void lineShape(double x0, double y0, double x1, double y1, Shape& out);
// `points` holds count (x, y) pairs.
void polygonShape(const float* points, size_t count, bool closed, Shape& out);
void rectShape(double x, double y, double width, double height, Shape& out);
// Arc sizes are clamped to [0, width] and [0, height]; with none the segments
// stay the same (their arcs are empty), so round rectangles of any radii
// interpolate with each other.
void roundRectShape(double x, double y, double width, double height, double arcWidth,
                    double arcHeight, Shape& out);
void ellipseShape(double cx, double cy, double width, double height, Shape& out);

enum class ArcClosure { Open, Chord, Pie };
// Extents beyond this many turns are refused by the caller: each turn costs
// two segments.
inline constexpr double kMaxArcTurns = 4096.0;
void arcShape(double cx, double cy, double width, double height, double startDegrees,
              double extentDegrees, ArcClosure closure, Shape& out);

// Appends `shape` to `path` in the path's datatype, scale and bias, all or
// nothing: VG_ILLEGAL_ARGUMENT_ERROR when a coordinate cannot be stored (past
// an integer datatype's range, or past a float's), VG_OUT_OF_MEMORY_ERROR when
// the path cannot grow.
VGErrorCode appendShape(Path& path, const Shape& shape);

// A projective map, column-major like every matrix here.
using Warp = std::array<double, 9>;

// `quad` is x0, y0, ..., x3, y3, paired with the unit square's corners (0, 0),
// (1, 0), (0, 1), (1, 1). Each is false when three of a quad's points are
// (nearly) on one line, where no invertible map exists.
bool warpSquareToQuad(const double quad[8], Warp& out);
bool warpQuadToSquare(const double quad[8], Warp& out);
// Maps `src` onto `dst`.
bool warpQuadToQuad(const double dst[8], const double src[8], Warp& out);

}  // namespace tq
