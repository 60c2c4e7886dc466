// The utility calls: each shape's segments, coordinates, bounds and length in
// every datatype; their errors (all or nothing); and the warps against points
// placed by hand.
#include <VG/vgu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "test_path_support.hpp"

namespace tq::test {
namespace {

constexpr double kPi = std::numbers::pi;
const float kNan = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Length of the ellipse x = a cos t, y = b sin t for t in [t0, t1], by the
// midpoint rule on a fine grid: independent of the library's quadrature.
double ellipseArcLength(double a, double b, double t0, double t1) {
  constexpr int kSteps = 200000;
  const double h = (t1 - t0) / kSteps;
  double sum = 0;
  for (int i = 0; i < kSteps; ++i) {
    const double t = t0 + (i + 0.5) * h;
    sum += std::hypot(a * std::sin(t), b * std::cos(t));
  }
  return std::fabs(sum * h);
}

double ellipsePerimeter(double a, double b) { return ellipseArcLength(a, b, 0, 2 * kPi); }

struct Encoding {
  VGPathDatatype type;
  float scale, bias;
};
// Every shape value below is a multiple of 0.5 inside S_8's range here,
// [-54, 73.5], so only the arcs' irrational end points are rounded.
const Encoding kEncodings[] = {{VG_PATH_DATATYPE_S_8, 0.5f, 10.0f},
                               {VG_PATH_DATATYPE_S_16, 0.25f, -3.0f},
                               {VG_PATH_DATATYPE_S_32, 1.0f / 64, 7.0f},
                               {VG_PATH_DATATYPE_F, 2.0f, 1.5f}};

using Vgu = PathTest;

TEST_F(Vgu, ShapesAppendTheirSegmentsInEveryDatatype) {
  const float triangle[6] = {0, 0, 30, 0, 30, 40};
  const double c195 = std::cos(195 * kPi / 180), s195 = std::sin(195 * kPi / 180);
  const double c345 = std::cos(345 * kPi / 180), s345 = std::sin(345 * kPi / 180);
  const double c45 = std::sqrt(0.5);
  struct Case {
    const char* name;
    std::function<VGUErrorCode(VGPath)> make;
    std::vector<VGubyte> commands;
    std::vector<double> coords;
    std::vector<double> bounds;  // minX, minY, width, height
    double length;
  };
  const Case cases[] = {
      {"line",
       [](VGPath p) { return vguLine(p, 1, 2, 31, 42); },
       {VG_MOVE_TO_ABS, VG_LINE_TO_ABS},
       {1, 2, 31, 42},
       {1, 2, 30, 40},
       50},
      {"closed polygon",
       [&](VGPath p) { return vguPolygon(p, triangle, 3, VG_TRUE); },
       {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH},
       {0, 0, 30, 0, 30, 40},
       {0, 0, 30, 40},
       120},
      {"open polygon",
       [&](VGPath p) { return vguPolygon(p, triangle, 3, VG_FALSE); },
       {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS},
       {0, 0, 30, 0, 30, 40},
       {0, 0, 30, 40},
       70},
      {"rect",
       [](VGPath p) { return vguRect(p, 5, 6, 40, 30); },
       {VG_MOVE_TO_ABS, VG_HLINE_TO_REL, VG_VLINE_TO_REL, VG_HLINE_TO_REL, VG_CLOSE_PATH},
       {5, 6, 40, 30, -40},
       {5, 6, 40, 30},
       140},
      {"round rect",
       [](VGPath p) { return vguRoundRect(p, 5, 6, 40, 30, 8, 6); },
       {VG_MOVE_TO_ABS, VG_HLINE_TO_REL, VG_SCCWARC_TO_REL, VG_VLINE_TO_REL, VG_SCCWARC_TO_REL,
        VG_HLINE_TO_REL, VG_SCCWARC_TO_REL, VG_VLINE_TO_REL, VG_SCCWARC_TO_REL, VG_CLOSE_PATH},
       {9, 6, 32, 4, 3, 0, 4, 3, 24, 4, 3, 0, -4, 3, -32, 4, 3, 0, -4, -3, -24, 4, 3, 0, 4, -3},
       {5, 6, 40, 30},
       2 * 32 + 2 * 24 + ellipsePerimeter(4, 3)},
      // Arc sizes beyond the rectangle's are clamped to it: an ellipse.
      {"round rect, arcs clamped",
       [](VGPath p) { return vguRoundRect(p, 5, 6, 40, 30, 100, 50); },
       {VG_MOVE_TO_ABS, VG_HLINE_TO_REL, VG_SCCWARC_TO_REL, VG_VLINE_TO_REL, VG_SCCWARC_TO_REL,
        VG_HLINE_TO_REL, VG_SCCWARC_TO_REL, VG_VLINE_TO_REL, VG_SCCWARC_TO_REL, VG_CLOSE_PATH},
       {25, 6, 0,  20, 15, 0,   20,  15, 0,  20, 15, 0,  -20,
        15, 0, 20, 15, 0,  -20, -15, 0,  20, 15, 0,  20, -15},
       {5, 6, 40, 30},
       ellipsePerimeter(20, 15)},
      // Negative arc sizes count as none: the rectangle's outline.
      {"round rect, no arcs",
       [](VGPath p) { return vguRoundRect(p, 5, 6, 40, 30, -8, 0); },
       {VG_MOVE_TO_ABS, VG_HLINE_TO_REL, VG_SCCWARC_TO_REL, VG_VLINE_TO_REL, VG_SCCWARC_TO_REL,
        VG_HLINE_TO_REL, VG_SCCWARC_TO_REL, VG_VLINE_TO_REL, VG_SCCWARC_TO_REL, VG_CLOSE_PATH},
       {5, 6, 40, 0, 0, 0, 0, 0, 30, 0, 0, 0, 0, 0, -40, 0, 0, 0, 0, 0, -30, 0, 0, 0, 0, 0},
       {5, 6, 40, 30},
       140},
      {"ellipse",
       [](VGPath p) { return vguEllipse(p, 20, 30, 40, 20); },
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_REL, VG_SCCWARC_TO_REL, VG_CLOSE_PATH},
       {40, 30, 20, 10, 0, -40, 0, 20, 10, 0, 40, 0},
       {0, 20, 40, 20},
       ellipsePerimeter(20, 10)},
      {"open arc",
       [](VGPath p) { return vguArc(p, 20, 30, 40, 20, 0, 90, VGU_ARC_OPEN); },
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS},
       {40, 30, 20, 10, 0, 20, 40},
       {20, 30, 20, 10},
       ellipseArcLength(20, 10, 0, kPi / 2)},
      {"chord",
       [](VGPath p) { return vguArc(p, 20, 30, 40, 20, 0, 90, VGU_ARC_CHORD); },
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_CLOSE_PATH},
       {40, 30, 20, 10, 0, 20, 40},
       {20, 30, 20, 10},
       ellipseArcLength(20, 10, 0, kPi / 2) + std::hypot(20, 10)},
      // Clockwise from the top through the right-hand side to the bottom.
      {"pie",
       [](VGPath p) { return vguArc(p, 20, 30, 40, 20, 90, -180, VGU_ARC_PIE); },
       {VG_MOVE_TO_ABS, VG_SCWARC_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH},
       {20, 40, 20, 10, 0, 20, 20, 20, 30},
       {20, 20, 20, 20},
       ellipseArcLength(20, 10, -kPi / 2, kPi / 2) + 20},
      // A turn and a quarter in three pieces of 150 degrees.
      {"wrapping arc",
       [](VGPath p) { return vguArc(p, 20, 30, 40, 20, 45, 450, VGU_ARC_OPEN); },
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_SCCWARC_TO_ABS, VG_SCCWARC_TO_ABS},
       {20 + 20 * c45, 30 + 10 * c45, 20, 10, 0, 20 + 20 * c195, 30 + 10 * s195, 20, 10, 0,
        20 + 20 * c345, 30 + 10 * s345, 20, 10, 0, 20 - 20 * c45, 30 + 10 * c45},
       {0, 20, 40, 20},
       ellipsePerimeter(20, 10) + ellipseArcLength(20, 10, kPi / 4, 3 * kPi / 4)},
  };
  for (const Encoding& e : kEncodings) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << ", datatype " << e.type);
      const VGPath p = makePath(e.type, e.scale, e.bias);
      ASSERT_EQ(c.make(p), VGU_NO_ERROR);
      EXPECT_EQ(vgGetParameteri(p, VG_PATH_NUM_SEGMENTS), VGint(c.commands.size()));
      EXPECT_EQ(vgGetParameteri(p, VG_PATH_NUM_COORDS), VGint(c.coords.size()));
      EXPECT_EQ(internal(p).commands, c.commands);
      // Integer datatypes round to the nearest step (only the arcs' irrational
      // ends move); an arc's centre, fitted through its rounded ends, moves a
      // few times further, and so do the bounds and length.
      const bool integer = e.type != VG_PATH_DATATYPE_F;
      const double halfStep = integer ? e.scale / 2 : 1e-5;
      expectNear(coords(p), c.coords, halfStep);
      expectNear(bounds(p), c.bounds, integer ? 6 * halfStep : 1e-4);
      const double lengthTol = 1e-5 * c.length + (integer ? 2 * halfStep * c.commands.size() : 0);
      EXPECT_NEAR(vgPathLength(p, 0, VGint(c.commands.size())), c.length, lengthTol);
      EXPECT_EQ(vgGetError(), VG_NO_ERROR);
    }
  }
}

TEST_F(Vgu, ShapesOfOneKindInterpolateInOnePath) {
  // Morph targets in one path's own datatype: the halfway shape is the shape
  // with halfway arguments.
  struct Case {
    const char* name;
    std::function<VGUErrorCode(VGPath)> from, to, half;
  };
  const Case cases[] = {
      {"round rects from no arcs", [](VGPath p) { return vguRoundRect(p, 0, 0, 40, 30, 0, 0); },
       [](VGPath p) { return vguRoundRect(p, 10, 4, 40, 30, 20, 10); },
       [](VGPath p) { return vguRoundRect(p, 5, 2, 40, 30, 10, 5); }},
      {"ellipses", [](VGPath p) { return vguEllipse(p, 0, 0, 40, 20); },
       [](VGPath p) { return vguEllipse(p, 20, 10, 20, 40); },
       [](VGPath p) { return vguEllipse(p, 10, 5, 30, 30); }},
      // Coordinates blend linearly, so only the sizes of arcs may differ.
      {"pies of two sizes", [](VGPath p) { return vguArc(p, 0, 0, 40, 40, 30, 300, VGU_ARC_PIE); },
       [](VGPath p) { return vguArc(p, 10, 0, 20, 60, 30, 300, VGU_ARC_PIE); },
       [](VGPath p) { return vguArc(p, 5, 0, 30, 50, 30, 300, VGU_ARC_PIE); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const VGPath a = makePath(VG_PATH_DATATYPE_S_16, 0.125f, 0.0f);
    const VGPath b = makePath(VG_PATH_DATATYPE_S_16, 0.125f, 0.0f);
    const VGPath want = makePath(VG_PATH_DATATYPE_S_16, 0.125f, 0.0f);
    ASSERT_EQ(c.from(a), VGU_NO_ERROR);
    ASSERT_EQ(c.to(b), VGU_NO_ERROR);
    ASSERT_EQ(c.half(want), VGU_NO_ERROR);
    const VGPath mid = makePath();
    ASSERT_EQ(vgInterpolatePath(mid, a, b, 0.5f), VG_TRUE);
    expectNear(bounds(mid), bounds(want), 0.2);
    const VGint n = vgGetParameteri(want, VG_PATH_NUM_SEGMENTS);
    EXPECT_NEAR(vgPathLength(mid, 0, n), vgPathLength(want, 0, n), 0.2);
  }
  const VGPath rect = makePath(), ellipse = makePath(), mid = makePath();
  vguRect(rect, 0, 0, 4, 4);
  vguEllipse(ellipse, 0, 0, 4, 4);
  EXPECT_EQ(vgInterpolatePath(mid, rect, ellipse, 0.5f), VG_FALSE);
}

TEST_F(Vgu, ErrorsAppendNothing) {
  const VGPath p = makePath(VG_PATH_DATATYPE_S_8);
  const VGPath noAppend =
      makePath(VG_PATH_DATATYPE_F, 1, 0, VG_PATH_CAPABILITY_ALL & ~VG_PATH_CAPABILITY_APPEND_TO);
  const VGPath tiny = makePath(VG_PATH_DATATYPE_F, 1e-30f, 0);
  const VGPath gone = makePath();
  vgDestroyPath(gone);
  const VGPath paint = vgCreatePaint();
  ASSERT_EQ(vguLine(p, 1, 2, 3, 4), VGU_NO_ERROR);
  const auto before = snapshot(p);
  alignas(4) float pts[5] = {1, 2, 3, 4, 5};
  const float withNan[4] = {1, 2, kNan, 4};

  struct Case {
    const char* name;
    std::function<VGUErrorCode()> call;
    VGUErrorCode want;
  };
  const Case cases[] = {
      {"paint handle", [&] { return vguRect(paint, 0, 0, 1, 1); }, VGU_BAD_HANDLE_ERROR},
      {"destroyed path", [&] { return vguEllipse(gone, 0, 0, 1, 1); }, VGU_BAD_HANDLE_ERROR},
      {"no handle", [&] { return vguLine(VG_INVALID_HANDLE, 0, 0, 1, 1); }, VGU_BAD_HANDLE_ERROR},
      {"made-up handle", [&] { return vguPolygon(9999, pts, 2, VG_TRUE); }, VGU_BAD_HANDLE_ERROR},
      {"no APPEND_TO", [&] { return vguArc(noAppend, 0, 0, 1, 1, 0, 90, VGU_ARC_PIE); },
       VGU_PATH_CAPABILITY_ERROR},
      {"no APPEND_TO, bad size too", [&] { return vguRect(noAppend, 0, 0, 0, 1); },
       VGU_PATH_CAPABILITY_ERROR},
      {"zero width", [&] { return vguRect(p, 0, 0, 0, 1); }, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"negative height", [&] { return vguRoundRect(p, 0, 0, 1, -1, 0, 0); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"ellipse zero height", [&] { return vguEllipse(p, 0, 0, 1, 0); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"arc negative width", [&] { return vguArc(p, 0, 0, -1, 1, 0, 90, VGU_ARC_OPEN); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"unknown arc type", [&] { return vguArc(p, 0, 0, 1, 1, 0, 90, VGUArcType(0xF103)); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"more than 4096 turns",
       [&] { return vguArc(p, 0, 0, 1, 1, 0, -360.0f * 4097, VGU_ARC_OPEN); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"null points", [&] { return vguPolygon(p, nullptr, 2, VG_FALSE); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"misaligned points",
       [&] {
         return vguPolygon(p, reinterpret_cast<const VGfloat*>(reinterpret_cast<char*>(pts) + 1), 1,
                           VG_FALSE);
       },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"no points", [&] { return vguPolygon(p, pts, 0, VG_FALSE); }, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"negative count", [&] { return vguPolygon(p, pts, -2, VG_FALSE); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"NaN point", [&] { return vguPolygon(p, withNan, 2, VG_TRUE); }, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"NaN line end", [&] { return vguLine(p, 0, 0, 1, kNan); }, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"infinite corner", [&] { return vguRect(p, -kInf, 0, 1, 1); }, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"infinite width", [&] { return vguEllipse(p, 0, 0, kInf, 1); }, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"NaN arc size", [&] { return vguRoundRect(p, 0, 0, 1, 1, kNan, 0); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      {"infinite start angle", [&] { return vguArc(p, 0, 0, 1, 1, kInf, 90, VGU_ARC_CHORD); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
      // The first coordinates would fit in S_8; the width does not.
      {"past S_8's range", [&] { return vguRect(p, 1, 1, 200, 1); }, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"past a float's range", [&] { return vguLine(tiny, 0, 0, 1e10f, 0); },
       VGU_ILLEGAL_ARGUMENT_ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), c.want);
    EXPECT_EQ(snapshot(p), before);
    EXPECT_EQ(internal(noAppend).numSegments(), 0);
    EXPECT_EQ(internal(tiny).numCoords(), 0);
    // The result is the report: the context's error is not raised too.
    EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  }
  // The limit itself is accepted: 4096 turns, two pieces each.
  ASSERT_EQ(vguArc(p, 0, 0, 1, 1, 0, 360.0f * 4096, VGU_ARC_OPEN), VGU_NO_ERROR);
  EXPECT_EQ(internal(p).numSegments(), 2 + 1 + 2 * 4096);
}

TEST(VguNoContext, ShapesSeeNoPathsAndWarpsStillWork) {
  ASSERT_EQ(currentContext(), nullptr);
  const float pts[2] = {0, 0};
  EXPECT_EQ(vguLine(1, 0, 0, 1, 1), VGU_BAD_HANDLE_ERROR);
  EXPECT_EQ(vguPolygon(1, pts, 1, VG_TRUE), VGU_BAD_HANDLE_ERROR);
  EXPECT_EQ(vguRect(1, 0, 0, 1, 1), VGU_BAD_HANDLE_ERROR);
  EXPECT_EQ(vguRoundRect(1, 0, 0, 1, 1, 0, 0), VGU_BAD_HANDLE_ERROR);
  EXPECT_EQ(vguEllipse(1, 0, 0, 1, 1), VGU_BAD_HANDLE_ERROR);
  EXPECT_EQ(vguArc(1, 0, 0, 1, 1, 0, 1, VGU_ARC_OPEN), VGU_BAD_HANDLE_ERROR);
  VGfloat m[9];
  EXPECT_EQ(vguComputeWarpSquareToQuad(0, 0, 2, 0, 0, 2, 2, 2, m), VGU_NO_ERROR);
  EXPECT_EQ(m[0], 2.0f);
}

using Quad = std::array<double, 8>;

// m (column-major) applied to (x, y), divided through by w.
double wAt(const VGfloat m[9], double x, double y) { return m[2] * x + m[5] * y + m[8]; }
Vec2 mapPoint(const VGfloat m[9], double x, double y) {
  const double w = wAt(m, x, y);
  return {(m[0] * x + m[3] * y + m[6]) / w, (m[1] * x + m[4] * y + m[7]) / w};
}

// Where the diagonals 0-3 and 1-2 cross: the image of the square's centre
// under any projective map, as maps keep lines and where they meet.
Vec2 diagonalsMeet(const Quad& q) {
  const Vec2 p0{q[0], q[1]}, p1{q[2], q[3]}, p2{q[4], q[5]}, p3{q[6], q[7]};
  const Vec2 d = p3 - p0, e = p2 - p1, r = p1 - p0;
  const double t = (r.x * e.y - r.y * e.x) / (d.x * e.y - d.y * e.x);
  return p0 + t * d;
}

TEST(VguWarps, CornersMapToTheSquareAndBack) {
  const Quad quads[] = {
      {0, 0, 1, 0, 0, 1, 1, 1},                 // the square itself
      {10, 20, 50, 30, 0, 60, 40, 70},          // a parallelogram
      {100, 100, 300, 120, 80, 260, 250, 300},  // projective: no two sides parallel
      {-5, -5, 5, -3, -4, 4, 1, 2},             // projective, small
  };
  const double square[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (const Quad& q : quads) {
    SCOPED_TRACE(testing::Message() << "quad from " << q[0] << ", " << q[1]);
    const double tol = 1e-5 * std::max(1.0, std::fabs(q[6]));
    VGfloat toQuad[9], toSquare[9];
    ASSERT_EQ(
        vguComputeWarpSquareToQuad(float(q[0]), float(q[1]), float(q[2]), float(q[3]), float(q[4]),
                                   float(q[5]), float(q[6]), float(q[7]), toQuad),
        VGU_NO_ERROR);
    ASSERT_EQ(
        vguComputeWarpQuadToSquare(float(q[0]), float(q[1]), float(q[2]), float(q[3]), float(q[4]),
                                   float(q[5]), float(q[6]), float(q[7]), toSquare),
        VGU_NO_ERROR);
    for (int i = 0; i < 4; ++i) {
      const Vec2 corner = mapPoint(toQuad, square[i][0], square[i][1]);
      expectNear({corner.x, corner.y}, {q[2 * i], q[2 * i + 1]}, tol);
      const Vec2 back = mapPoint(toSquare, q[2 * i], q[2 * i + 1]);
      expectNear({back.x, back.y}, {square[i][0], square[i][1]}, 1e-5);
      // Positive w on both sides, or a renderer would clip the image away.
      EXPECT_GT(wAt(toQuad, square[i][0], square[i][1]), 0);
      EXPECT_GT(wAt(toSquare, q[2 * i], q[2 * i + 1]), 0);
    }
    const Vec2 centre = mapPoint(toQuad, 0.5, 0.5), meet = diagonalsMeet(q);
    expectNear({centre.x, centre.y}, {meet.x, meet.y}, tol);
  }

  // Quad to quad maps the source's corners onto the destination's, and at
  // any point equals square-to-destination after source-to-square.
  const Quad& s = quads[2];
  const Quad& d = quads[3];
  VGfloat m[9], toSquare[9], toQuad[9];
  ASSERT_EQ(vguComputeWarpQuadToQuad(float(d[0]), float(d[1]), float(d[2]), float(d[3]),
                                     float(d[4]), float(d[5]), float(d[6]), float(d[7]),
                                     float(s[0]), float(s[1]), float(s[2]), float(s[3]),
                                     float(s[4]), float(s[5]), float(s[6]), float(s[7]), m),
            VGU_NO_ERROR);
  vguComputeWarpQuadToSquare(float(s[0]), float(s[1]), float(s[2]), float(s[3]), float(s[4]),
                             float(s[5]), float(s[6]), float(s[7]), toSquare);
  vguComputeWarpSquareToQuad(float(d[0]), float(d[1]), float(d[2]), float(d[3]), float(d[4]),
                             float(d[5]), float(d[6]), float(d[7]), toQuad);
  for (int i = 0; i < 4; ++i) {
    const Vec2 p = mapPoint(m, s[2 * i], s[2 * i + 1]);
    expectNear({p.x, p.y}, {d[2 * i], d[2 * i + 1]}, 1e-4);
  }
  for (const Vec2 p : {Vec2{150, 150}, Vec2{200, 250}, Vec2{0, 0}}) {
    const Vec2 direct = mapPoint(m, p.x, p.y);
    const Vec2 viaSquare = mapPoint(toSquare, p.x, p.y);
    const Vec2 composed = mapPoint(toQuad, viaSquare.x, viaSquare.y);
    expectNear({direct.x, direct.y}, {composed.x, composed.y}, 1e-4);
  }
}

TEST(VguWarps, DegenerateQuadsAndBadArgumentsLeaveTheMatrix) {
  struct Case {
    const char* name;
    Quad q;
    VGUErrorCode want;
  };
  const Case cases[] = {
      {"three corners on a line", {0, 0, 1, 0, 2, 0, 1, 1}, VGU_BAD_WARP_ERROR},
      {"last three on a line", {0, 0, 1, 1, 2, 2, 3, 3}, VGU_BAD_WARP_ERROR},
      {"two corners at one point", {0, 0, 1, 0, 0, 1, 0, 1}, VGU_BAD_WARP_ERROR},
      {"a point", {3, 3, 3, 3, 3, 3, 3, 3}, VGU_BAD_WARP_ERROR},
      {"far side collinear with a corner", {0, 0, 4, 0, 0, 4, 2, 2}, VGU_BAD_WARP_ERROR},
      {"NaN", {0, 0, 1, 0, 0, 1, 1, std::nan("")}, VGU_ILLEGAL_ARGUMENT_ERROR},
      {"infinity", {0, 0, 1e300, 0, 0, 1, 1, 1}, VGU_ILLEGAL_ARGUMENT_ERROR},
  };
  const Quad good = {0, 0, 1, 0, 0, 1, 1, 1};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Quad& q = c.q;
    auto f = [&](int i) { return float(q[size_t(i)]); };
    auto g = [&](int i) { return float(good[size_t(i)]); };
    VGfloat m[9];
    std::fill(m, m + 9, 7.0f);
    EXPECT_EQ(vguComputeWarpSquareToQuad(f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7), m),
              c.want);
    EXPECT_EQ(vguComputeWarpQuadToSquare(f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7), m),
              c.want);
    // Either side of quad to quad may be the bad one.
    EXPECT_EQ(vguComputeWarpQuadToQuad(f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7), g(0), g(1),
                                       g(2), g(3), g(4), g(5), g(6), g(7), m),
              c.want);
    EXPECT_EQ(vguComputeWarpQuadToQuad(g(0), g(1), g(2), g(3), g(4), g(5), g(6), g(7), f(0), f(1),
                                       f(2), f(3), f(4), f(5), f(6), f(7), m),
              c.want);
    EXPECT_EQ(std::count(m, m + 9, 7.0f), 9);
  }
  alignas(4) VGfloat storage[10];
  VGfloat* misaligned = reinterpret_cast<VGfloat*>(reinterpret_cast<char*>(storage) + 2);
  for (VGfloat* m : {static_cast<VGfloat*>(nullptr), misaligned}) {
    EXPECT_EQ(vguComputeWarpSquareToQuad(0, 0, 1, 0, 0, 1, 1, 1, m), VGU_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vguComputeWarpQuadToSquare(0, 0, 1, 0, 0, 1, 1, 1, m), VGU_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vguComputeWarpQuadToQuad(0, 0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, m),
              VGU_ILLEGAL_ARGUMENT_ERROR);
  }
}

}  // namespace
}  // namespace tq::test
