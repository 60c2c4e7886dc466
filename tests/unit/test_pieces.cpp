// The trapezoids a coverage mask is composited in: every covered pixel's
// centre in exactly one, the solid ones over full pixels only, all inside the box.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "gl/pieces.hpp"
#include "raster/coverage.hpp"
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
bool holds(const Trapezoid& q, double x, double y) {
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
Counts expectCovers(const CoverageMask& m, const CoverPieces& trapezoids, const char* what) {
  Counts counts;
  for (const std::vector<Trapezoid>* set : {&trapezoids.solid, &trapezoids.blended}) {
    for (const Trapezoid& q : *set) {
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
      for (const Trapezoid& q : trapezoids.solid) solid += holds(q, x + 0.5, y + 0.5);
      for (const Trapezoid& q : trapezoids.blended) blended += holds(q, x + 0.5, y + 0.5);
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
  CoverPieces trapezoids;
  // A disc: most of it is drawn solid, the blended rim is thin.
  ASSERT_TRUE(
      r.rasterize(makePolygon({circle(100.3f, 90.7f, 70.0f)}), options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, trapezoids);
  Counts disc = expectCovers(m, trapezoids, "disc");
  EXPECT_GT(disc.solidPixels, 4 * disc.blendedPixels);
  // Without the solid interior everything is blended, still once.
  coverMask(m, false, trapezoids);
  EXPECT_TRUE(trapezoids.solid.empty());
  expectCovers(m, trapezoids, "disc, blended only");
  // A ring, a disc cut by the box's sides, and bands of single rows.
  ASSERT_TRUE(r.rasterize(makePolygon({circle(100, 100, 80), circle(100, 100, 40, true)}),
                          options(200, 200, VG_EVEN_ODD), m));
  coverMask(m, true, trapezoids);
  expectCovers(m, trapezoids, "ring");
  ASSERT_TRUE(r.rasterize(makePolygon({circle(180, 20, 70)}), options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, trapezoids);
  expectCovers(m, trapezoids, "disc past the sides");
  coverMask(m, true, trapezoids, 1);
  expectCovers(m, trapezoids, "bands of single rows");
}

TEST(Quads, BandsFollowTheOutline) {
  Rasterizer r;
  CoverageMask m;
  CoverPieces trapezoids;
  // Straight sides: tall bands with thin rims, and short ones only where the
  // partial top and bottom rows are split off.
  ASSERT_TRUE(r.rasterize(
      makePolygon({{{10.25f, 7.5f}, {150.75f, 7.5f}, {150.75f, 190.25f}, {10.25f, 190.25f}}}),
      options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, trapezoids, 1);
  Counts rect = expectCovers(m, trapezoids, "rectangle");
  int partial = 0;
  for (uint8_t a : m.alpha) partial += a != 0 && a != 255;
  EXPECT_LT(rect.blendedPixels, 3 * partial);
  EXPECT_LE(trapezoids.blended.size() + trapezoids.solid.size(), 30u);
  // A disc against fixed bands of 32 rows: fewer pixels blended for about
  // as many trapezoids.
  ASSERT_TRUE(
      r.rasterize(makePolygon({circle(100.3f, 90.7f, 70.0f)}), options(200, 200, VG_NON_ZERO), m));
  coverMask(m, true, trapezoids);
  Counts adaptive = expectCovers(m, trapezoids, "disc");
  size_t adaptiveQuads = trapezoids.blended.size() + trapezoids.solid.size();
  coverMask(m, true, trapezoids, 32);
  Counts fixed = expectCovers(m, trapezoids, "disc, bands of 32 rows or more");
  EXPECT_LT(4 * adaptive.blendedPixels, 3 * fixed.blendedPixels);
  EXPECT_LE(adaptiveQuads, 2 * (trapezoids.blended.size() + trapezoids.solid.size()));
}

TEST(Quads, RandomPolygonsUnderBothRules) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> coord(-10.0f, 130.0f);
  Rasterizer r;
  CoverageMask m;
  CoverPieces trapezoids;
  for (int trial = 0; trial < 60; ++trial) {
    std::vector<Point> poly;
    for (int k = 0; k < 3 + trial % 6; ++k) poly.push_back({coord(rng), coord(rng)});
    if (!r.rasterize(makePolygon({poly}), options(120, 120, trial % 2 ? VG_NON_ZERO : VG_EVEN_ODD),
                     m))
      continue;
    coverMask(m, true, trapezoids, 1 + trial % 20);
    expectCovers(m, trapezoids, "random polygon");
    if (HasFailure()) break;
  }
}

// Every covered pixel in exactly one blended block or fully covered square,
// squares over full pixels only and inside the box, all on the surface's
// grid, and each blended block holding a covered pixel. Returns the number
// of blocks on the grid that hold a partly covered pixel.
int expectBlocksCover(const CoverageMask& m, const CoverPieces& trapezoids, const char* what) {
  EXPECT_TRUE(trapezoids.solid.empty() && trapezoids.blended.empty()) << what;
  const int w = m.box.width, h = m.box.height;
  auto alphaAt = [&](int x, int y) { return m.alpha[size_t(y) * size_t(w) + size_t(x)]; };
  std::vector<int> in(size_t(w) * size_t(h), 0);
  auto visit = [&](const Square& b, bool square) {
    const int side = 4 << b.level;
    EXPECT_EQ((m.box.x + b.x) % side, 0) << what;
    EXPECT_EQ((m.box.y + b.y) % side, 0) << what;
    if (square) {
      EXPECT_TRUE(b.x >= 0 && b.y >= 0 && b.x + side <= w && b.y + side <= h) << what;
    } else {
      EXPECT_EQ(b.level, 0) << what;
    }
    bool covered = false;
    for (int y = std::max(b.y, 0); y < std::min(b.y + side, h); ++y) {
      for (int x = std::max(b.x, 0); x < std::min(b.x + side, w); ++x) {
        ++in[size_t(y) * size_t(w) + size_t(x)];
        covered = covered || alphaAt(x, y) != 0;
        if (square) {
          EXPECT_EQ(alphaAt(x, y), 255) << what << ": square over a partial pixel";
        }
      }
    }
    EXPECT_TRUE(covered) << what << ": block at " << b.x << ", " << b.y;
  };
  for (const Square& b : trapezoids.blocks) visit(b, false);
  for (const Square& b : trapezoids.squares) visit(b, true);
  for (int y = 0; y < h && !::testing::Test::HasFailure(); ++y) {
    for (int x = 0; x < w; ++x) {
      int n = in[size_t(y) * size_t(w) + size_t(x)];
      EXPECT_LE(n, 1) << what << ": pixel " << x << ", " << y << " drawn twice";
      if (alphaAt(x, y) != 0) {
        EXPECT_EQ(n, 1) << what << ": pixel " << x << ", " << y;
      }
    }
  }
  std::set<std::pair<int, int>> partial;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (alphaAt(x, y) != 0 && alphaAt(x, y) != 255)
        partial.insert({(m.box.x + x) >> 2, (m.box.y + y) >> 2});
    }
  }
  return int(partial.size());
}

TEST(Quads, BlendedBlocksAlongTheOutlineAndFullSquaresCoverEveryPixel) {
  Rasterizer r;
  CoverageMask m;
  CoverPieces trapezoids;
  // A disc, whose box starts off the grid of blocks: few blocks beyond those
  // that hold its outline are blended, and the inside goes in large squares.
  ASSERT_TRUE(
      r.rasterize(makePolygon({circle(100.3f, 90.7f, 70.0f)}), options(200, 200, VG_NON_ZERO), m));
  ASSERT_NE(m.box.x % 4, 0);
  coverMaskWithBlocks(m, trapezoids);
  int partialBlocks = expectBlocksCover(m, trapezoids, "disc");
  EXPECT_LE(trapezoids.blocks.size(), size_t(partialBlocks) * 5 / 4);
  int fullBlocks = 0, largest = 0;
  for (const Square& b : trapezoids.squares) {
    fullBlocks += 1 << (2 * b.level);
    largest = std::max(largest, b.level);
  }
  EXPECT_EQ(largest, 4);
  EXPECT_LT(trapezoids.squares.size() * 4, size_t(fullBlocks));
  // Squares no larger than asked for.
  coverMaskWithBlocks(m, trapezoids, 1);
  expectBlocksCover(m, trapezoids, "disc, squares up to 8 pixels");
  for (const Square& b : trapezoids.squares) EXPECT_LE(b.level, 1);
  ASSERT_TRUE(r.rasterize(makePolygon({circle(100, 100, 80), circle(100, 100, 40, true)}),
                          options(200, 200, VG_EVEN_ODD), m));
  coverMaskWithBlocks(m, trapezoids);
  expectBlocksCover(m, trapezoids, "ring");
  ASSERT_TRUE(r.rasterize(makePolygon({circle(180, 20, 70)}), options(200, 200, VG_NON_ZERO), m));
  coverMaskWithBlocks(m, trapezoids);
  expectBlocksCover(m, trapezoids, "disc past the sides");
  // The trapezoid cover after a block cover leaves no blocks behind.
  coverMask(m, true, trapezoids);
  EXPECT_TRUE(trapezoids.blocks.empty() && trapezoids.squares.empty());
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> coord(-10.0f, 130.0f);
  for (int trial = 0; trial < 60 && !HasFailure(); ++trial) {
    std::vector<Point> poly;
    for (int k = 0; k < 3 + trial % 6; ++k) poly.push_back({coord(rng), coord(rng)});
    if (!r.rasterize(makePolygon({poly}), options(120, 120, trial % 2 ? VG_NON_ZERO : VG_EVEN_ODD),
                     m))
      continue;
    coverMaskWithBlocks(m, trapezoids, trial % 5);
    expectBlocksCover(m, trapezoids, "random polygon");
  }
}

}  // namespace
}  // namespace tq
