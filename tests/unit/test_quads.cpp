// The trapezoids a coverage mask is composited in: every covered pixel's
// centre in exactly one, the solid ones over full pixels only, all inside the box.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "raster/coverage.hpp"
#include "raster/quads.hpp"
#include "test_raster_support.hpp"

namespace tq {
namespace {

using namespace tq::test;

std::vector<Point> circle(float cx, float cy, float r, bool reversed = false) {
  std::vector<Point> c;
  for (int i = 0; i < 90; ++i) {
    double a = (reversed ? -1 : 1) * 2 * M_PI * i / 90;
    c.push_back({float(cx + r * std::cos(a)), float(cy + r * std::sin(a))});
  }
  return c;
}

// Whether the centre (x, y) is in q, with the left side in and the right side
// out, so that neighbours sharing a side do not both count a centre on it.
bool holds(const Quad& q, double x, double y) {
  if (y < q.bottom || y >= q.top) return false;
  double t = (y - q.bottom) / (q.top - q.bottom);
  double left = q.bottomLeft + t * (q.topLeft - q.bottomLeft);
  double right = q.bottomRight + t * (q.topRight - q.bottomRight);
  return x >= left && x < right;
}

struct Counts {
  int solidPixels = 0;
  int blendedPixels = 0;
};

// Checks the promises for every pixel of the box and returns how the
// covered pixels were split.
Counts expectCovers(const CoverageMask& m, const QuadSet& quads, const char* what) {
  Counts counts;
  for (const std::vector<Quad>* set : {&quads.solid, &quads.blended}) {
    for (const Quad& q : *set) {
      for (float x : {q.bottomLeft, q.bottomRight, q.topLeft, q.topRight}) {
        EXPECT_GE(x, 0.0f) << what;
        EXPECT_LE(x, float(m.box.width)) << what;
      }
      EXPECT_LE(q.bottomLeft, q.bottomRight) << what;
      EXPECT_LE(q.topLeft, q.topRight) << what;
    }
  }
  for (int y = 0; y < m.box.height; ++y) {
    for (int x = 0; x < m.box.width; ++x) {
      uint8_t a = m.alpha[size_t(y) * size_t(m.box.width) + size_t(x)];
      int solid = 0, blended = 0;
      for (const Quad& q : quads.solid) solid += holds(q, x + 0.5, y + 0.5);
      for (const Quad& q : quads.blended) blended += holds(q, x + 0.5, y + 0.5);
      if (solid) {
        EXPECT_EQ(a, 255) << what << ": solid over a partial pixel at " << x << ", " << y;
      }
      if (a != 0) {
        EXPECT_EQ(solid + blended, 1) << what << ": pixel " << x << ", " << y;
      } else {
        EXPECT_LE(solid + blended, 1) << what << ": pixel " << x << ", " << y;
      }
      counts.solidPixels += solid;
      counts.blendedPixels += blended && a != 0;
    }
  }
  return counts;
}

TEST(Quads, CoverEachPixelOnceWithSolidInteriors) {
  Rasterizer r;
  CoverageMask m;
  QuadSet quads;
  // A disc: most of it is drawn solid, the blended rim is thin.
  ASSERT_TRUE(
      r.rasterize(makePolygon({circle(100.3f, 90.7f, 70.0f)}), options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, quads);
  Counts disc = expectCovers(m, quads, "disc");
  EXPECT_GT(disc.solidPixels, 4 * disc.blendedPixels);
  // Without the solid interior everything is blended, still once.
  coverMask(m, false, quads);
  EXPECT_TRUE(quads.solid.empty());
  expectCovers(m, quads, "disc, blended only");
  // A ring, a disc cut by the box's sides, and bands of single rows.
  ASSERT_TRUE(r.rasterize(makePolygon({circle(100, 100, 80), circle(100, 100, 40, true)}),
                          options(200, 200, VG_EVEN_ODD), m));
  coverMask(m, true, quads);
  expectCovers(m, quads, "ring");
  ASSERT_TRUE(r.rasterize(makePolygon({circle(180, 20, 70)}), options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, quads);
  expectCovers(m, quads, "disc past the sides");
  coverMask(m, true, quads, 1);
  expectCovers(m, quads, "bands of single rows");
}

TEST(Quads, BandsFollowTheOutline) {
  Rasterizer r;
  CoverageMask m;
  QuadSet quads;
  // Straight sides: tall bands with thin rims, and short ones only where the
  // partial top and bottom rows are split off.
  ASSERT_TRUE(r.rasterize(
      makePolygon({{{10.25f, 7.5f}, {150.75f, 7.5f}, {150.75f, 190.25f}, {10.25f, 190.25f}}}),
      options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, quads, 1);
  Counts rect = expectCovers(m, quads, "rectangle");
  int partial = 0;
  for (uint8_t a : m.alpha) partial += a != 0 && a != 255;
  EXPECT_LT(rect.blendedPixels, 3 * partial);
  EXPECT_LE(quads.blended.size() + quads.solid.size(), 30u);
  // A disc against fixed bands of 32 rows: fewer pixels blended for about
  // as many trapezoids.
  ASSERT_TRUE(
      r.rasterize(makePolygon({circle(100.3f, 90.7f, 70.0f)}), options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, quads);
  Counts adaptive = expectCovers(m, quads, "disc");
  size_t adaptiveQuads = quads.blended.size() + quads.solid.size();
  coverMask(m, true, quads, 32);
  Counts fixed = expectCovers(m, quads, "disc, bands of 32 rows or more");
  EXPECT_LT(4 * adaptive.blendedPixels, 3 * fixed.blendedPixels);
  EXPECT_LE(adaptiveQuads, 2 * (quads.blended.size() + quads.solid.size()));
}

TEST(Quads, RandomPolygonsUnderBothRules) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> coord(-10.0f, 130.0f);
  Rasterizer r;
  CoverageMask m;
  QuadSet quads;
  for (int trial = 0; trial < 60; ++trial) {
    std::vector<Point> poly;
    for (int k = 0; k < 3 + trial % 6; ++k) poly.push_back({coord(rng), coord(rng)});
    if (!r.rasterize(makePolygon({poly}), options(120, 120, trial % 2 ? VG_NON_ZERO : VG_EVEN_ODD),
                     m))
      continue;
    coverMask(m, true, quads, 1 + trial % 20);
    expectCovers(m, quads, "random polygon");
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace tq
