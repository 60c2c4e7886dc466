#include "geometry/shapes.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace tq {

namespace {

void add(Shape& s, VGubyte command, std::initializer_list<double> coords) {
  s.commands.push_back(command);
  s.coords.insert(s.coords.end(), coords);
}

// cos and sin of an angle in degrees, exact at multiples of 90 so that arcs
// starting on an axis put their end points exactly on it.
void cosSinDegrees(double degrees, double& c, double& s) {
  const double d = std::fmod(degrees, 360.0);
  const double quarter = d / 90.0;
  if (quarter == std::floor(quarter)) {
    static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
    const int q = (static_cast<int>(quarter) + 4) % 4;
    c = kCos[q];
    s = kSin[q];
    return;
  }
  const double r = d * (std::numbers::pi / 180.0);
  c = std::cos(r);
  s = std::sin(r);
}

// True when coordinate i reads back as `value`, up to the datatype's rounding.
bool storedFaithfully(const Path& path, size_t i, double value) {
  const double back = path.coord(i);
  if (!std::isfinite(back)) return false;
  if (path.datatype == VG_PATH_DATATYPE_F) return true;
  // Rounding moves a value by at most half a step; clamping to the range
  // moves it further.
  const double halfStep = 0.5 * std::fabs(double(path.scale));
  return std::fabs(back - value) <= halfStep * (1.0 + 1e-9) + 1e-12 * std::fabs(value);
}

using Point = std::array<double, 2>;

Point quadPoint(const double q[8], int i) { return {q[2 * i], q[2 * i + 1]}; }

// No three of the points on one line, measured by the sine of the angle
// between the two sides from the first, so that the test does not depend on
// the quad's size.
bool generalPosition(const double q[8]) {
  static constexpr int kTriples[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
  for (const auto& t : kTriples) {
    const Point p = quadPoint(q, t[0]), a = quadPoint(q, t[1]), b = quadPoint(q, t[2]);
    const double ax = a[0] - p[0], ay = a[1] - p[1], bx = b[0] - p[0], by = b[1] - p[1];
    const double cross = ax * by - ay * bx;
    if (!(std::fabs(cross) > 1e-9 * std::hypot(ax, ay) * std::hypot(bx, by))) return false;
  }
  return true;
}

Warp multiply(const Warp& a, const Warp& b) {
  Warp c{};
  for (int col = 0; col < 3; ++col)
    for (int row = 0; row < 3; ++row)
      for (int k = 0; k < 3; ++k) c[col * 3 + row] += a[k * 3 + row] * b[col * 3 + k];
  return c;
}

bool allFinite(const Warp& w) {
  return std::all_of(w.begin(), w.end(), [](double v) { return std::isfinite(v); });
}

}  // namespace

void lineShape(double x0, double y0, double x1, double y1, Shape& out) {
  add(out, VG_MOVE_TO_ABS, {x0, y0});
  add(out, VG_LINE_TO_ABS, {x1, y1});
}

void polygonShape(const float* points, size_t count, bool closed, Shape& out) {
  out.commands.reserve(out.commands.size() + count + 1);
  out.coords.reserve(out.coords.size() + 2 * count);
  for (size_t i = 0; i < count; ++i)
    add(out, i == 0 ? VGubyte(VG_MOVE_TO_ABS) : VGubyte(VG_LINE_TO_ABS),
        {points[2 * i], points[2 * i + 1]});
  if (closed) add(out, VG_CLOSE_PATH, {});
}

void rectShape(double x, double y, double width, double height, Shape& out) {
  add(out, VG_MOVE_TO_ABS, {x, y});
  add(out, VG_HLINE_TO_REL, {width});
  add(out, VG_VLINE_TO_REL, {height});
  add(out, VG_HLINE_TO_REL, {-width});
  add(out, VG_CLOSE_PATH, {});
}

void roundRectShape(double x, double y, double width, double height, double arcWidth,
                    double arcHeight, Shape& out) {
  const double aw = std::clamp(arcWidth, 0.0, width), ah = std::clamp(arcHeight, 0.0, height);
  const double rh = aw / 2, rv = ah / 2;
  add(out, VG_MOVE_TO_ABS, {x + rh, y});
  add(out, VG_HLINE_TO_REL, {width - aw});
  add(out, VG_SCCWARC_TO_REL, {rh, rv, 0, rh, rv});
  add(out, VG_VLINE_TO_REL, {height - ah});
  add(out, VG_SCCWARC_TO_REL, {rh, rv, 0, -rh, rv});
  add(out, VG_HLINE_TO_REL, {-(width - aw)});
  add(out, VG_SCCWARC_TO_REL, {rh, rv, 0, -rh, -rv});
  add(out, VG_VLINE_TO_REL, {-(height - ah)});
  add(out, VG_SCCWARC_TO_REL, {rh, rv, 0, rh, -rv});
  add(out, VG_CLOSE_PATH, {});
}

void ellipseShape(double cx, double cy, double width, double height, Shape& out) {
  const double rh = width / 2, rv = height / 2;
  add(out, VG_MOVE_TO_ABS, {cx + rh, cy});
  add(out, VG_SCCWARC_TO_REL, {rh, rv, 0, -width, 0});
  add(out, VG_SCCWARC_TO_REL, {rh, rv, 0, width, 0});
  add(out, VG_CLOSE_PATH, {});
}

void arcShape(double cx, double cy, double width, double height, double startDegrees,
              double extentDegrees, ArcClosure closure, Shape& out) {
  const double rh = width / 2, rv = height / 2;
  // Pieces of at most half a turn, where the small-arc choice is never in
  // doubt; an empty extent still gets one (empty) arc, like any small one.
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(extentDegrees) / 180.0)));
  const VGubyte arc = extentDegrees < 0 ? VG_SCWARC_TO_ABS : VG_SCCWARC_TO_ABS;
  // Reduced first: cos and sin of a huge start angle in radians lose digits.
  const double start = std::fmod(startDegrees, 360.0);
  double c, s;
  cosSinDegrees(start, c, s);
  add(out, VG_MOVE_TO_ABS, {cx + c * rh, cy + s * rv});
  for (int i = 1; i <= pieces; ++i) {
    cosSinDegrees(start + extentDegrees * i / pieces, c, s);
    add(out, arc, {rh, rv, 0, cx + c * rh, cy + s * rv});
  }
  if (closure == ArcClosure::Pie) add(out, VG_LINE_TO_ABS, {cx, cy});
  if (closure != ArcClosure::Open) add(out, VG_CLOSE_PATH, {});
}

VGErrorCode appendShape(Path& path, const Shape& shape) {
  if (!reservePath(path, shape.commands.size(), shape.coords.size())) return VG_OUT_OF_MEMORY_ERROR;
  // Stored first and checked after, through the path's own encoding; the
  // capacity is reserved, so nothing here can fail half-way.
  const size_t first = static_cast<size_t>(path.numCoords());
  for (double v : shape.coords) path.pushCoord(v);
  for (size_t i = 0; i < shape.coords.size(); ++i) {
    if (!storedFaithfully(path, first + i, shape.coords[i])) {
      path.data.resize(first * path.coordBytes());
      return VG_ILLEGAL_ARGUMENT_ERROR;
    }
  }
  path.commands.insert(path.commands.end(), shape.commands.begin(), shape.commands.end());
  return VG_NO_ERROR;
}

bool warpSquareToQuad(const double q[8], Warp& out) {
  if (!generalPosition(q)) return false;
  const double x0 = q[0], y0 = q[1], x1 = q[2], y1 = q[3], x2 = q[4], y2 = q[5], x3 = q[6],
               y3 = q[7];
  // (u, v) -> ((a u + b v + c) / w, (d u + e v + f) / w), w = g u + h v + 1.
  // The corners give c, f from (0, 0); a, d and b, e from (1, 0) and (0, 1)
  // once g and h are known; and (1, 1) gives g and h by a 2 x 2 solve, whose
  // right side vanishes for a parallelogram (an affine map).
  const double sx = x0 - x1 - x2 + x3, sy = y0 - y1 - y2 + y3;
  const double dx1 = x1 - x3, dx2 = x2 - x3, dy1 = y1 - y3, dy2 = y2 - y3;
  const double det = dx1 * dy2 - dx2 * dy1;
  const double g = (sx * dy2 - dx2 * sy) / det, h = (dx1 * sy - sx * dy1) / det;
  out = {
      x1 * (g + 1) - x0, y1 * (g + 1) - y0, g, x2 * (h + 1) - x0, y2 * (h + 1) - y0, h, x0, y0, 1};
  return allFinite(out);
}

bool warpQuadToSquare(const double q[8], Warp& out) {
  Warp m;
  if (!warpSquareToQuad(q, m)) return false;
  // The true inverse rather than the adjugate: it keeps w positive over the
  // quad where the forward map has it positive over the square.
  const double a = m[0], b = m[3], c = m[6], d = m[1], e = m[4], f = m[7], g = m[2], h = m[5],
               i = m[8];
  const double co0 = e * i - f * h, co1 = f * g - d * i, co2 = d * h - e * g;
  const double det = a * co0 + b * co1 + c * co2;
  if (!(std::fabs(det) > 0.0)) return false;
  const Warp adj = {co0,           co1,           co2,           c * h - b * i, a * i - c * g,
                    b * g - a * h, b * f - c * e, c * d - a * f, a * e - b * d};
  for (size_t k = 0; k < 9; ++k) out[k] = adj[k] / det;
  return allFinite(out);
}

bool warpQuadToQuad(const double dst[8], const double src[8], Warp& out) {
  Warp toSquare, toQuad;
  if (!warpQuadToSquare(src, toSquare) || !warpSquareToQuad(dst, toQuad)) return false;
  out = multiply(toQuad, toSquare);
  return allFinite(out);
}

}  // namespace tq
