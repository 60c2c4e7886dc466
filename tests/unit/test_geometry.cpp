// Arc endpoint rules, lengths, points along paths and tight bounds.
#include <cmath>
#include <numbers>
#include <random>

#include "geometry/curves.hpp"
#include "geometry/flatten.hpp"
#include "test_path_support.hpp"

namespace tq::test {
namespace {

constexpr double kPi = std::numbers::pi;
const VGubyte kArcTypes[4] = {VG_SCCWARC_TO, VG_SCWARC_TO, VG_LCCWARC_TO, VG_LCWARC_TO};

Vec2 onArc(const EllipseArc& a, double angle) {
  return a.centre + a.shape.applyLinear({std::cos(angle), std::sin(angle)});
}

bool isCcw(VGubyte type) { return type == VG_SCCWARC_TO || type == VG_LCCWARC_TO; }

TEST(Arcs, FourKindsPickTheirCentreAndSweep) {
  // From (0, 0) to (2, 0) on circles of radius 2 (given negative: its size
  // counts): centres (1, +-sqrt 3), sweeps of 60 or 300 degrees.
  const double r3 = std::sqrt(3.0);
  const double want[4][2] = {
      {r3, kPi / 3}, {-r3, -kPi / 3}, {-r3, 5 * kPi / 3}, {r3, -5 * kPi / 3}};
  for (int k = 0; k < 4; ++k) {
    EllipseArc arc;
    ASSERT_EQ(resolveArc({0, 0}, {2, 0}, -2, 2, 0, kArcTypes[k], arc), ArcShape::Ellipse);
    const Vec2 end = onArc(arc, arc.t0 + arc.sweep);
    expectNear({arc.centre.x, arc.centre.y, arc.sweep, end.x, end.y},
               {1, want[k][0], want[k][1], 2, 0}, 1e-12);
  }
}

TEST(Arcs, RadiiTooSmallAreScaledUpToAHalfEllipse) {
  for (VGubyte type : kArcTypes) {
    // Radii 0.5 and 0.25 turned 90 degrees cannot span 4 units along x: they
    // grow eightfold, keeping their ratio, so the short one spans the chord.
    EllipseArc arc;
    ASSERT_EQ(resolveArc({0, 0}, {4, 0}, 0.5, 0.25, 90, type, arc), ArcShape::Ellipse);
    const Vec2 mid = onArc(arc, arc.t0 + arc.sweep / 2);
    expectNear({arc.centre.x, arc.centre.y, std::fabs(arc.sweep), mid.x, mid.y},
               {2, 0, kPi, 2, isCcw(type) ? -4.0 : 4.0}, 1e-12);
  }
}

TEST(Arcs, RandomArcsMeetBothEndPoints) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int i = 0; i < 500; ++i) {
    const Vec2 p0{u(rng), u(rng)}, p1{u(rng), u(rng)};
    const double rh = u(rng), rv = u(rng), rot = u(rng) * 36;
    for (VGubyte type : kArcTypes) {
      EllipseArc arc;
      ASSERT_EQ(resolveArc(p0, p1, rh, rv, rot, type, arc), ArcShape::Ellipse);
      EXPECT_NEAR(length(onArc(arc, arc.t0) - p0), 0, 1e-9);
      EXPECT_NEAR(length(onArc(arc, arc.t0 + arc.sweep) - p1), 0, 1e-9);
      EXPECT_EQ(arc.sweep > 0, isCcw(type));
      const bool large = type == VG_LCCWARC_TO || type == VG_LCWARC_TO;
      EXPECT_TRUE(large ? std::fabs(arc.sweep) >= kPi - 1e-9 : std::fabs(arc.sweep) <= kPi + 1e-9);
    }
  }
}

TEST(Arcs, DegenerateArcsAndMappedEllipses) {
  EllipseArc arc;
  EXPECT_EQ(resolveArc({1, 1}, {1, 1}, 3, 3, 0, VG_LCCWARC_TO, arc), ArcShape::Empty);
  EXPECT_EQ(resolveArc({0, 0}, {1, 1}, 0, 3, 0, VG_LCCWARC_TO, arc), ArcShape::Line);
  EXPECT_EQ(resolveArc({0, 0}, {1, 1}, 3, std::nan(""), 0, VG_SCWARC_TO, arc), ArcShape::Line);
  EXPECT_EQ(resolveArc({0, 0}, {1, 1}, 3, 3, INFINITY, VG_SCWARC_TO, arc), ArcShape::Line);

  // diag(3, 1) turned by 30 degrees, and a map that squashes everything.
  const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
  double rh, rv, rot;
  ellipseAxes({3 * c, 3 * s, -s, c, 0, 0}, rh, rv, rot);
  expectNear({rh, rv, rot}, {3, 1, 30}, 1e-10);
  ellipseAxes({0, 0, 0, 0, 0, 0}, rh, rv, rot);
  expectNear({rh, rv}, {0, 0}, 0);
}

using Measure = PathTest;

// A circle of radius 5 about (5, 0), as two arcs starting at its left.
const std::vector<VGubyte> kCircle{VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_SCCWARC_TO_ABS};
const std::vector<float> kCircleData{0, 0, 5, 5, 0, 10, 0, 5, 5, 0, 0, 0};

TEST_F(Measure, LengthOverARangeWithChecks) {
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH}, {0, 0, 3, 4});
  EXPECT_FLOAT_EQ(vgPathLength(p, 0, 3), 10);
  EXPECT_FLOAT_EQ(vgPathLength(p, 2, 1), 5);  // the close, placed by the segments before it
  for (auto [start, count] : {std::pair{0, 4}, {-1, 1}, {0, 0}, {3, 1}, {1, 0x7FFFFFFF}}) {
    EXPECT_EQ(vgPathLength(p, start, count), -1.0f);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  }
  vgRemovePathCapabilities(p, VG_PATH_CAPABILITY_PATH_LENGTH);
  EXPECT_EQ(vgPathLength(p, 0, 3), -1.0f);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);

  const VGPath circle = makePath();
  append(circle, kCircle, kCircleData);
  EXPECT_NEAR(vgPathLength(circle, 0, 3), 10 * kPi, 1e-4);
  // A cubic against a fine chord sum of its own formula.
  const VGPath cubic = makePath();
  append(cubic, {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS}, {0, 0, 0, 30, 40, -20, 50, 10});
  double fine = 0;
  Vec2 prev{0, 0};
  for (int i = 1; i <= 200000; ++i) {
    const double t = i / 200000.0, v = 1 - t;
    const Vec2 q{3 * v * t * t * 40 + t * t * t * 50,
                 3 * v * v * t * 30 - 3 * v * t * t * 20 + t * t * t * 10};
    fine += length(q - prev);
    prev = q;
  }
  EXPECT_NEAR(vgPathLength(cubic, 0, 2), fine, 1e-5 * fine);
}

// Radii that dwarf the chord give the straight chord they tend to, whatever
// their size: length, the half-way point, bounds and the flattened outline.
TEST_F(Measure, ArcsWithHugeRadiiBecomeTheirChord) {
  for (const float r : {1e17f, 1e18f, 1e30f, 3.4028235e38f}) {
    SCOPED_TRACE(r);
    const VGPath p = makePath();
    append(p, {VG_MOVE_TO_ABS, VG_SCWARC_TO_ABS}, {0, 0, r, r, 0, 100, 0});
    EXPECT_NEAR(vgPathLength(p, 0, 2), 100, 1e-3);
    VGfloat x = 0, y = 0;
    vgPointAlongPath(p, 0, 2, 50, &x, &y, nullptr, nullptr);
    expectNear({x, y}, {50, 0}, 1e-3);
    VGfloat bounds[4];
    vgPathBounds(p, &bounds[0], &bounds[1], &bounds[2], &bounds[3]);
    expectNear({bounds[0], bounds[1], bounds[2], bounds[3]}, {0, 0, 100, 0}, 1e-3);

    const VGPath box = makePath();
    append(box, {VG_MOVE_TO_ABS, VG_SCWARC_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH},
           {100, 200, r, r, 0, 300, 200, 300, 100, 100, 100});
    Polygon poly;
    flattenPath(internal(box), Matrix{}, 0.02f, poly);
    ASSERT_EQ(poly.contourEnds.size(), 1u);
    EXPECT_LE(poly.points.size(), 8u);
    for (const Point& q : poly.points) {
      EXPECT_TRUE(q.x >= 100 - 1e-3 && q.x <= 300 + 1e-3 && q.y >= 100 - 1e-3 && q.y <= 200 + 1e-3)
          << q.x << ", " << q.y;
    }
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Measure, PointAlongPathClampsAndSkipsDegenerateSegments) {
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH}, {0, 0, 0, 0, 3, 4});
  auto along = [&](VGPath path, VGint count, float d) {
    VGfloat x = 0, y = 0, tx = 0, ty = 0;
    vgPointAlongPath(path, 0, count, d, &x, &y, &tx, &ty);
    return std::vector<double>{x, y, tx, ty};
  };
  expectNear(along(p, 4, 2.5f), {1.5, 2, 0.6, 0.8}, 1e-6);
  // Before the start: the start, heading along the first segment with a
  // direction (the zero-length line is passed over).
  expectNear(along(p, 4, -3.0f), {0, 0, 0.6, 0.8}, 1e-6);
  // Past the end: the end of the close, heading back.
  expectNear(along(p, 4, 100.0f), {0, 0, -0.6, -0.8}, 1e-6);
  // Nothing to walk along: the range's end point and the x direction.
  expectNear(along(p, 1, 1.0f), {0, 0, 1, 0}, 0);

  const VGPath circle = makePath();
  append(circle, kCircle, kCircleData);
  expectNear(along(circle, 3, float(2.5 * kPi)), {5, -5, 1, 0}, 1e-4);  // a quarter: the bottom
}

TEST_F(Measure, PointAlongPathNeedsTheCapabilityOfWhatIsAskedFor) {
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS}, {0, 0, 4, 0});
  vgRemovePathCapabilities(p, VG_PATH_CAPABILITY_TANGENT_ALONG_PATH);
  VGfloat x = 9, y = 9, tx = 9, ty = 9;
  vgPointAlongPath(p, 0, 2, 1.0f, &x, &y, nullptr, nullptr);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(x, 1.0f);
  vgPointAlongPath(p, 0, 2, 2.0f, &x, &y, &tx, &ty);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  vgPointAlongPath(p, 0, 2, 2.0f, reinterpret_cast<VGfloat*>(reinterpret_cast<char*>(&x) + 1), &y,
                   nullptr, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgPointAlongPath(p, 2, 1, 2.0f, &x, &y, nullptr, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  // None of the failed calls wrote anything.
  expectNear({x, y, tx, ty}, {1, 0, 9, 9}, 0);
}

TEST_F(Measure, BoundsFollowTheCurvesNotTheirControlPoints) {
  const VGPath p = makePath();
  expectNear(bounds(p), {0, 0, -1, -1}, 0);
  append(p, {VG_MOVE_TO_ABS}, {50, 50});  // moves alone draw nothing
  expectNear(bounds(p), {0, 0, -1, -1}, 0);
  append(p, {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS}, {0, 0, 0, 10, 10, 10, 10, 0});
  expectNear(bounds(p), {0, 0, 10, 7.5}, 0);

  const VGPath circle = makePath();
  append(circle, kCircle, kCircleData);
  expectNear(bounds(circle), {0, -5, 10, 10}, 1e-5);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgTranslate(100, 0);
  vgRotate(90);
  vgScale(2, 1);
  expectNear(bounds(circle, true), {95, 0, 10, 20}, 1e-4);

  VGfloat b[4] = {42, 42, 42, 42};
  vgPathBounds(circle, nullptr, &b[1], &b[2], &b[3]);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgRemovePathCapabilities(circle, VG_PATH_CAPABILITY_PATH_TRANSFORMED_BOUNDS);
  vgPathTransformedBounds(circle, &b[0], &b[1], &b[2], &b[3]);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  expectNear({b[0], b[1], b[2], b[3]}, {42, 42, 42, 42}, 0);
}

}  // namespace
}  // namespace tq::test
