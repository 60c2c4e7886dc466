// Arc endpoint rules, lengths, points along paths and tight bounds.
#include <cmath>
#include <numbers>
#include <random>

#include "geometry/curves.hpp"
#include "test_path_support.hpp"

namespace tq::test {
namespace {

constexpr double kPi = std::numbers::pi;

Vec2 onArc(const EllipseArc& a, double angle) {
  return a.centre + a.shape.applyLinear({std::cos(angle), std::sin(angle)});
}

TEST(Arcs, FourKindsPickTheirCentreAndSweep) {
  const double r3 = std::sqrt(3.0);
  struct Case {
    VGubyte type;
    double cy, sweep;
  } cases[] = {{VG_SCCWARC_TO, r3, kPi / 3},
               {VG_LCWARC_TO, r3, -5 * kPi / 3},
               {VG_SCWARC_TO, -r3, -kPi / 3},
               {VG_LCCWARC_TO, -r3, 5 * kPi / 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.type));
    EllipseArc arc;
    ASSERT_EQ(resolveArc({0, 0}, {2, 0}, -2, 2, 0, c.type, arc), ArcShape::Ellipse);
    EXPECT_NEAR(arc.centre.x, 1, 1e-12);
    EXPECT_NEAR(arc.centre.y, c.cy, 1e-12);
    EXPECT_NEAR(arc.sweep, c.sweep, 1e-12);
    const Vec2 end = onArc(arc, arc.t0 + arc.sweep);
    EXPECT_NEAR(end.x, 2, 1e-12);
    EXPECT_NEAR(end.y, 0, 1e-12);
  }
}

TEST(Arcs, RadiiTooSmallAreScaledUpToAHalfEllipse) {
  for (VGubyte type : {VG_SCCWARC_TO, VG_SCWARC_TO, VG_LCCWARC_TO, VG_LCWARC_TO}) {
    EllipseArc arc;
    // Radii 0.5 and 0.25 rotated 90 degrees cannot span 4 units along x: they
    // grow eightfold, keeping their ratio, so the short one spans the chord.
    ASSERT_EQ(resolveArc({0, 0}, {4, 0}, 0.5, 0.25, 90, type, arc), ArcShape::Ellipse);
    EXPECT_NEAR(arc.centre.x, 2, 1e-12);
    EXPECT_NEAR(arc.centre.y, 0, 1e-12);
    EXPECT_NEAR(std::fabs(arc.sweep), kPi, 1e-12);
    const bool ccw = type == VG_SCCWARC_TO || type == VG_LCCWARC_TO;
    const Vec2 mid = onArc(arc, arc.t0 + arc.sweep / 2);
    EXPECT_NEAR(mid.x, 2, 1e-12);
    EXPECT_NEAR(mid.y, ccw ? -4 : 4, 1e-12);  // the long radius, now 4
  }
}

TEST(Arcs, RandomArcsMeetBothEndPoints) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int i = 0; i < 500; ++i) {
    const Vec2 p0{u(rng), u(rng)}, p1{u(rng), u(rng)};
    const double rh = u(rng), rv = u(rng), rot = u(rng) * 36;
    for (VGubyte type : {VG_SCCWARC_TO, VG_SCWARC_TO, VG_LCCWARC_TO, VG_LCWARC_TO}) {
      EllipseArc arc;
      ASSERT_EQ(resolveArc(p0, p1, rh, rv, rot, type, arc), ArcShape::Ellipse);
      const Vec2 a = onArc(arc, arc.t0), b = onArc(arc, arc.t0 + arc.sweep);
      EXPECT_NEAR(length(a - p0), 0, 1e-9);
      EXPECT_NEAR(length(b - p1), 0, 1e-9);
      const bool ccw = type == VG_SCCWARC_TO || type == VG_LCCWARC_TO;
      const bool large = type == VG_LCCWARC_TO || type == VG_LCWARC_TO;
      EXPECT_EQ(arc.sweep > 0, ccw);
      if (large)
        EXPECT_GE(std::fabs(arc.sweep), kPi - 1e-9);
      else
        EXPECT_LE(std::fabs(arc.sweep), kPi + 1e-9);
    }
  }
}

TEST(Arcs, DegenerateArcs) {
  EllipseArc arc;
  EXPECT_EQ(resolveArc({1, 1}, {1, 1}, 3, 3, 0, VG_LCCWARC_TO, arc), ArcShape::Empty);
  EXPECT_EQ(resolveArc({0, 0}, {1, 1}, 0, 3, 0, VG_LCCWARC_TO, arc), ArcShape::Line);
  EXPECT_EQ(resolveArc({0, 0}, {1, 1}, 3, std::nan(""), 0, VG_SCWARC_TO, arc), ArcShape::Line);
  EXPECT_EQ(resolveArc({0, 0}, {1, 1}, 3, 3, INFINITY, VG_SCWARC_TO, arc), ArcShape::Line);
}

TEST(Ellipses, AxesOfAMappedEllipse) {
  // diag(3, 1) rotated by 30 degrees.
  const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
  double rh, rv, rot;
  ellipseAxes({3 * c, 3 * s, -s, c, 0, 0}, rh, rv, rot);
  EXPECT_NEAR(rh, 3, 1e-12);
  EXPECT_NEAR(rv, 1, 1e-12);
  EXPECT_NEAR(rot, 30, 1e-10);
  ellipseAxes({0, 0, 0, 0, 0, 0}, rh, rv, rot);
  EXPECT_EQ(rh, 0);
  EXPECT_EQ(rv, 0);
}

using Measure = PathTest;

void append(VGPath p, std::vector<VGubyte> cmds, std::vector<float> data) {
  vgAppendPathData(p, VGint(cmds.size()), cmds.data(), data.data());
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Measure, LengthOverARangeWithChecks) {
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH}, {0, 0, 3, 4});
  EXPECT_FLOAT_EQ(vgPathLength(p, 0, 3), 10);
  EXPECT_FLOAT_EQ(vgPathLength(p, 1, 1), 5);
  EXPECT_FLOAT_EQ(vgPathLength(p, 2, 1), 5);  // the close, from the segments before it
  for (auto [start, count] : {std::pair{0, 4}, {-1, 1}, {0, 0}, {3, 1}, {1, 0x7FFFFFFF}}) {
    EXPECT_EQ(vgPathLength(p, start, count), -1.0f);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  }
  vgRemovePathCapabilities(p, VG_PATH_CAPABILITY_PATH_LENGTH);
  EXPECT_EQ(vgPathLength(p, 0, 3), -1.0f);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);

  // A circle of radius 5 as two arcs, and a cubic against a fine sampling.
  const VGPath circle = makePath();
  append(circle, {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_SCCWARC_TO_ABS},
         {0, 0, 5, 5, 0, 10, 0, 5, 5, 0, 0, 0});
  EXPECT_NEAR(vgPathLength(circle, 0, 3), 10 * kPi, 1e-4);
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
  EXPECT_NEAR(vgPathLength(cubic, 0, 2), fine, 1e-4 * fine);
}

TEST_F(Measure, PointAlongPathClampsAndSkipsDegenerateSegments) {
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH}, {0, 0, 0, 0, 3, 4});
  VGfloat x = 0, y = 0, tx = 0, ty = 0;
  vgPointAlongPath(p, 0, 4, 2.5f, &x, &y, &tx, &ty);
  EXPECT_FLOAT_EQ(x, 1.5f);
  EXPECT_FLOAT_EQ(y, 2.0f);
  EXPECT_FLOAT_EQ(tx, 0.6f);
  EXPECT_FLOAT_EQ(ty, 0.8f);
  // Before the start: the start, with the direction of the first segment that
  // has one (the zero-length line is passed over).
  vgPointAlongPath(p, 0, 4, -3.0f, &x, &y, &tx, &ty);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 0.0f);
  EXPECT_FLOAT_EQ(tx, 0.6f);
  EXPECT_FLOAT_EQ(ty, 0.8f);
  // Past the end: the end of the close, heading back.
  vgPointAlongPath(p, 0, 4, 100.0f, &x, &y, &tx, &ty);
  EXPECT_NEAR(x, 0.0f, 1e-6);
  EXPECT_NEAR(y, 0.0f, 1e-6);
  EXPECT_FLOAT_EQ(tx, -0.6f);
  EXPECT_FLOAT_EQ(ty, -0.8f);
  // A range with nothing to walk along: its end point and the x direction.
  vgPointAlongPath(p, 0, 1, 1.0f, &x, &y, &tx, &ty);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(tx, 1.0f);
  EXPECT_EQ(ty, 0.0f);

  // Quarter way round a circle of radius 5 started at its left: the bottom.
  const VGPath circle = makePath();
  append(circle, {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_SCCWARC_TO_ABS},
         {0, 0, 5, 5, 0, 10, 0, 5, 5, 0, 0, 0});
  vgPointAlongPath(circle, 0, 3, float(2.5 * kPi), &x, &y, &tx, &ty);
  EXPECT_NEAR(x, 5, 1e-3);
  EXPECT_NEAR(y, -5, 1e-3);
  EXPECT_NEAR(tx, 1, 1e-3);
  EXPECT_NEAR(ty, 0, 1e-3);
}

TEST_F(Measure, PointAlongPathNeedsTheCapabilityOfWhatIsAskedFor) {
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS}, {0, 0, 4, 0});
  vgRemovePathCapabilities(p, VG_PATH_CAPABILITY_TANGENT_ALONG_PATH);
  VGfloat x = 9, y = 9, tx = 9, ty = 9;
  vgPointAlongPath(p, 0, 2, 1.0f, &x, &y, nullptr, nullptr);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_FLOAT_EQ(x, 1.0f);
  vgPointAlongPath(p, 0, 2, 2.0f, &x, &y, &tx, &ty);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  EXPECT_EQ(x, 1.0f);
  EXPECT_EQ(tx, 9.0f);
  vgPointAlongPath(p, 0, 2, 2.0f, reinterpret_cast<VGfloat*>(reinterpret_cast<char*>(&x) + 1), &y,
                   nullptr, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgPointAlongPath(p, 2, 1, 2.0f, &x, &y, nullptr, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(y, 0.0f);
}

TEST_F(Measure, BoundsFollowTheCurvesNotTheirControlPoints) {
  VGfloat b[4];
  const VGPath p = makePath();
  vgPathBounds(p, &b[0], &b[1], &b[2], &b[3]);
  EXPECT_EQ(std::vector<float>(b, b + 4), (std::vector<float>{0, 0, -1, -1}));
  append(p, {VG_MOVE_TO_ABS}, {50, 50});  // moves alone draw nothing
  vgPathBounds(p, &b[0], &b[1], &b[2], &b[3]);
  EXPECT_EQ(b[2], -1.0f);

  append(p, {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS}, {0, 0, 0, 10, 10, 10, 10, 0});
  vgPathBounds(p, &b[0], &b[1], &b[2], &b[3]);
  EXPECT_EQ(std::vector<float>(b, b + 4), (std::vector<float>{0, 0, 10, 7.5f}));

  // A circle of radius 5 at (5, 0); then rotated 90 degrees and moved.
  const VGPath circle = makePath();
  append(circle, {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_SCCWARC_TO_ABS},
         {0, 0, 5, 5, 0, 10, 0, 5, 5, 0, 0, 0});
  vgPathBounds(circle, &b[0], &b[1], &b[2], &b[3]);
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(b[i], (std::vector<float>{0, -5, 10, 10})[size_t(i)], 1e-5);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgTranslate(100, 0);
  vgRotate(90);
  vgScale(2, 1);
  vgPathTransformedBounds(circle, &b[0], &b[1], &b[2], &b[3]);
  const std::vector<float> want{95, 0, 10, 20};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(b[i], want[size_t(i)], 1e-4) << i;

  vgPathBounds(circle, nullptr, &b[1], &b[2], &b[3]);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgRemovePathCapabilities(circle, VG_PATH_CAPABILITY_PATH_TRANSFORMED_BOUNDS);
  b[0] = 42;
  vgPathTransformedBounds(circle, &b[0], &b[1], &b[2], &b[3]);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  EXPECT_EQ(b[0], 42.0f);
}

}  // namespace
}  // namespace tq::test
