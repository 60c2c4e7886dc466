// Flattening: the polyline stays within its tolerance of the true curve under
// a rotating, scaling matrix, and hostile input ends quickly with bounded,
// finite output.
#include <cmath>
#include <limits>
#include <vector>

#include "geometry/curves.hpp"
#include "geometry/flatten.hpp"
#include "test_path_support.hpp"

namespace tq::test {
namespace {

using Flatten = PathTest;

double distanceToSegment(Vec2 p, Vec2 a, Vec2 b) {
  const Vec2 ab = b - a;
  const double len2 = dot(ab, ab);
  const double t = len2 > 0 ? std::clamp(dot(p - a, ab) / len2, 0.0, 1.0) : 0.0;
  return length(p - (a + t * ab));
}

// Distance from p to contour `c` of `poly`, closing edge included.
double distanceToContour(const Polygon& poly, size_t c, Vec2 p) {
  const size_t begin = c ? poly.contourEnds[c - 1] : 0, end = poly.contourEnds[c];
  double best = INFINITY;
  for (size_t i = begin; i < end; ++i) {
    const Point& a = poly.points[i];
    const Point& b = poly.points[i + 1 < end ? i + 1 : begin];
    best = std::min(best, distanceToSegment(p, {a.x, a.y}, {b.x, b.y}));
  }
  return best;
}

// The true point at t of a segment, from its own definition, mapped by m.
Vec2 truePoint(const Segment& s, double t, const Affine& m) {
  const double u = 1 - t;
  Vec2 q;
  switch (s.kind) {
    case SegmentKind::Quad:
      q = (u * u) * s.start + (2 * u * t) * s.ctrl[0] + (t * t) * s.end;
      break;
    case SegmentKind::Cubic:
      q = (u * u * u) * s.start + (3 * u * u * t) * s.ctrl[0] + (3 * u * t * t) * s.ctrl[1] +
          (t * t * t) * s.end;
      break;
    case SegmentKind::Arc: {
      EllipseArc arc;
      if (resolveArc(s.start, s.end, s.rh, s.rv, s.rotation, s.type(), arc) == ArcShape::Ellipse) {
        const double a = arc.t0 + t * arc.sweep;
        q = arc.centre + arc.shape.applyLinear({std::cos(a), std::sin(a)});
        break;
      }
      [[fallthrough]];
    }
    default:
      q = s.start + t * (s.end - s.start);
  }
  return m.apply(q);
}

TEST_F(Flatten, StaysWithinToleranceOfEveryCurveKind) {
  const VGPath p = makePath();
  // Two subpaths: lines, quads, cubics and smooth ones; then all four arcs
  // on a rotated ellipse, and one whose radii must grow.
  append(p,
         {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_QUAD_TO_ABS, VG_SQUAD_TO_REL, VG_CUBIC_TO_ABS,
          VG_SCUBIC_TO_ABS, VG_CLOSE_PATH, VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_LCWARC_TO_REL,
          VG_SCWARC_TO_ABS, VG_LCCWARC_TO_ABS, VG_SCCWARC_TO_ABS},
         {0,  0,   30,  5,   45,  40,  10, 20,  20,  90,  -40, 60, -10, 30,  -30, -20,
          5,  100, 100, 40,  100, 100, 40, 15,  30,  160, 120, 40, 15,  30,  -20, 30,
          25, 10,  -45, 130, 90,  25,  10, -45, 100, 100, 1,   1,  0,   180, 140});
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgTranslate(200, 120);
  vgRotate(37);
  vgScale(2.5f, -1.3f);
  vgShear(0.3f, 0);
  const Matrix& m = pathUserToSurface(*ctx);
  const Affine map = Affine::from(m);

  for (float tol : {0.02f, 0.25f}) {
    SCOPED_TRACE(tol);
    Polygon poly;
    flattenPath(internal(p), m, tol, poly);
    ASSERT_EQ(poly.contourEnds.size(), 2u);
    double worst = 0;
    int moves = 0;
    for (const Segment& s : segments(p)) {
      if (s.kind == SegmentKind::Move) ++moves;
      const size_t contour = size_t(moves - 1);
      if (s.kind == SegmentKind::Move || s.kind == SegmentKind::Close) continue;
      for (int i = 0; i <= 4000; ++i)
        worst = std::max(worst, distanceToContour(poly, contour, truePoint(s, i / 4000.0, map)));
    }
    // Float output adds a few millionths of a pixel at these magnitudes.
    EXPECT_LE(worst, tol + 1e-4);
    // And it is not bought with needless points: a tenth of the tolerance
    // would be wasteful.
    EXPECT_GT(worst, tol * 0.3);
  }
}

TEST_F(Flatten, ContoursCloseAndDegenerateOnesDrop) {
  const VGPath p = makePath();
  // A triangle left open, a lone move, a line (no area), a closed square
  // followed by a line from its start point.
  append(p,
         {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_MOVE_TO_ABS, VG_MOVE_TO_ABS,
          VG_LINE_TO_ABS, VG_MOVE_TO_ABS, VG_HLINE_TO_REL, VG_VLINE_TO_REL, VG_HLINE_TO_REL,
          VG_CLOSE_PATH, VG_LINE_TO_REL, VG_LINE_TO_REL},
         {0, 0, 4, 0, 0, 4, 9, 9, 1, 1, 2, 2, 10, 10, 5, 5, -5, 0, 5, 5, 0});
  Polygon poly;
  flattenPath(internal(p), Matrix{}, 0.1f, poly);
  ASSERT_EQ(poly.contourEnds, (std::vector<uint32_t>{3, 7, 10}));
  EXPECT_EQ(poly.points[3].x, 10);
  EXPECT_EQ(poly.points[6].y, 15);
  // After the close the next segment starts again from the square's corner.
  EXPECT_EQ(poly.points[7].x, 10);
  EXPECT_EQ(poly.points[7].y, 10);
  EXPECT_EQ(poly.points[9].x, 15);
  EXPECT_EQ(poly.points[9].y, 15);

  // Refilling the same polygon reuses its storage.
  const Point* storage = poly.points.data();
  flattenPath(internal(p), Matrix{}, 0.1f, poly);
  EXPECT_EQ(poly.points.data(), storage);
  EXPECT_EQ(poly.contourEnds.size(), 3u);
}

TEST_F(Flatten, HostileInputEndsWithBoundedFiniteOutput) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  const VGPath good = makePath();
  append(good, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS}, {0, 0, 10, 0, 0, 10});
  std::vector<float> values{1e30f, -1e30f, 1e-30f, inf, -inf, nan, 3e38f};
  const std::vector<VGubyte> cmds{VG_MOVE_TO_ABS,   VG_CUBIC_TO_ABS,   VG_QUAD_TO_REL,
                                  VG_LCWARC_TO_ABS, VG_SCCWARC_TO_REL, VG_CLOSE_PATH};
  std::vector<Matrix> matrices(4);
  matrices[1].m[0] = 1e30f;
  matrices[2].m[4] = nan;
  matrices[3].m[0] = matrices[3].m[4] = 0;  // everything onto one point
  for (size_t k = 0; k < values.size(); ++k) {
    // Each hostile value in every position of a curved subpath, after a good one.
    std::vector<float> data(22);
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = (i % values.size() == k) ? values[k] : float(i);
    const VGPath p = makePath();
    append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS}, {0, 0, 10, 0, 0, 10});
    append(p, cmds, data);
    for (const Matrix& m : matrices) {
      for (float tol : {0.02f, 0.0f, -1.0f, nan, inf}) {
        Polygon poly;
        flattenPath(internal(p), m, tol, poly);
        EXPECT_LE(poly.points.size(), size_t(kMaxPiecesPerSegment) * cmds.size() + 3);
        for (const Point& q : poly.points) ASSERT_TRUE(std::isfinite(q.x) && std::isfinite(q.y));
      }
    }
    // The good triangle survives whatever follows it.
    Polygon poly;
    flattenPath(internal(p), Matrix{}, 0.02f, poly);
    ASSERT_GE(poly.contourEnds.size(), 1u);
    EXPECT_EQ(poly.contourEnds[0], 3u);
  }
  Matrix bad;
  bad.m[6] = inf;
  Polygon poly;
  flattenPath(internal(good), bad, 0.02f, poly);
  EXPECT_TRUE(poly.points.empty());
  EXPECT_TRUE(poly.contourEnds.empty());
}

TEST_F(Flatten, TotalOutputIsCapped) {
  // Thousands of huge cubics would each want the per-segment maximum.
  const VGPath p = makePath();
  std::vector<VGubyte> cmds{VG_MOVE_TO_ABS};
  std::vector<float> data{0, 0};
  for (int i = 0; i < 6000; ++i) {
    cmds.push_back(VG_CUBIC_TO_REL);
    data.insert(data.end(), {1e6f, 1e6f, -1e6f, 1e6f, 0, 1});
  }
  append(p, cmds, data);
  Polygon poly;
  flattenPath(internal(p), Matrix{}, 0.02f, poly);
  EXPECT_GT(poly.points.size(), kMaxFlattenedPoints / 2);
  EXPECT_LE(poly.points.size(), kMaxFlattenedPoints + kMaxPiecesPerSegment + cmds.size());
}

TEST_F(Flatten, PolylinesKeepOpenAndClosedSubpathsDotsAndCorners) {
  const VGPath p = makePath();
  // A closed subpath with a zero-length line and a curve; a lone move; a
  // subpath that never leaves its start; an open line.
  append(p,
         {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_QUAD_TO_ABS, VG_CLOSE_PATH,
          VG_MOVE_TO_ABS, VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_MOVE_TO_ABS, VG_LINE_TO_ABS},
         {0, 0, 10, 0, 10, 0, 20, 0, 20, 10, 5, 5, 30, 30, 30, 30, 40, 40, 50, 40});
  Polyline lines;
  flattenPolylines(internal(p), Matrix{}, 0.01, lines);
  ASSERT_EQ(lines.subpaths.size(), 3u);
  const auto& sub = lines.subpaths;
  EXPECT_TRUE(sub[0].closed);
  EXPECT_FALSE(sub[1].closed || sub[2].closed);
  EXPECT_EQ(sub[1].end - sub[0].end, 1u);
  EXPECT_EQ(sub[2].end - sub[1].end, 2u);
  // Corners where segments meet (the start closes the loop), none inside the curve.
  const Point curveEnd{20, 10};
  size_t curvePoints = 0;
  for (uint32_t i = 0; i < sub[0].end; ++i) {
    const Point q = lines.points[i];
    const bool corner = i < 2 || (q.x == curveEnd.x && q.y == curveEnd.y);
    EXPECT_EQ(lines.corners[i], corner) << i;
    curvePoints += !corner;
  }
  EXPECT_GT(curvePoints, 4u);
  EXPECT_EQ(lines.points[1].x, 10);

  // User-space tolerance shrinks with the matrix's largest stretch.
  Matrix m;
  m.m[0] = 8, m.m[4] = 2, m.m[3] = 0;
  EXPECT_DOUBLE_EQ(userTolerance(m, 0.02f), double(0.02f) / 8);
  m.m[0] = m.m[4] = 0;
  EXPECT_EQ(userTolerance(m, 0.02f), 0.0);
}

}  // namespace
}  // namespace tq::test
