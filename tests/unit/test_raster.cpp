// Coverage rasteriser against exact per-pixel areas.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "raster/coverage.hpp"
#include "test_raster_support.hpp"

namespace tq {
namespace {

using namespace tq::test;

Contour rect(float x0, float y0, float x1, float y1, bool reversed = false) {
  Contour c{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  if (reversed) std::reverse(c.begin(), c.end());
  return c;
}

// Area of a simple polygon inside the unit pixel square at (px, py), by
// clipping against the square's four sides: an independent reference.
double exactPixelArea(const Contour& poly, int px, int py) {
  std::vector<std::pair<double, double>> pts;
  for (const Point& p : poly) pts.emplace_back(p.x, p.y);
  auto clip = [&](auto inside, auto intersect) {
    std::vector<std::pair<double, double>> out;
    for (size_t i = 0; i < pts.size(); ++i) {
      auto a = pts[i], b = pts[(i + 1) % pts.size()];
      bool ia = inside(a), ib = inside(b);
      if (ia) out.push_back(a);
      if (ia != ib) out.push_back(intersect(a, b));
    }
    pts = out;
  };
  auto atX = [](double x) {
    return [x](auto a, auto b) {
      double t = (x - a.first) / (b.first - a.first);
      return std::make_pair(x, a.second + t * (b.second - a.second));
    };
  };
  auto atY = [](double y) {
    return [y](auto a, auto b) {
      double t = (y - a.second) / (b.second - a.second);
      return std::make_pair(a.first + t * (b.first - a.first), y);
    };
  };
  clip([&](auto p) { return p.first >= px; }, atX(px));
  clip([&](auto p) { return p.first <= px + 1; }, atX(px + 1));
  clip([&](auto p) { return p.second >= py; }, atY(py));
  clip([&](auto p) { return p.second <= py + 1; }, atY(py + 1));
  double area = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    auto a = pts[i], b = pts[(i + 1) % pts.size()];
    area += a.first * b.second - b.first * a.second;
  }
  return std::fabs(area) * 0.5;
}

// Coverage at surface pixel (x, y) as a fraction, 0 outside the mask's box.
double at(const CoverageMask& m, int x, int y) {
  if (x < m.box.x || y < m.box.y || x >= m.box.x + m.box.width || y >= m.box.y + m.box.height)
    return 0.0;
  return m.alpha[size_t(y - m.box.y) * size_t(m.box.width) + size_t(x - m.box.x)] / 255.0;
}

TEST(Raster, FractionalRectangleHasExactEdgeCoverage) {
  Rasterizer r;
  CoverageMask m;
  ASSERT_TRUE(r.rasterize(makePolygon({rect(1.25f, 2.5f, 4.5f, 5.75f)}), options(10, 10), m));
  EXPECT_EQ(m.box.x, 1);
  EXPECT_EQ(m.box.y, 2);
  EXPECT_EQ(m.box.width, 4);
  EXPECT_EQ(m.box.height, 4);
  const double q = 1.0 / 255.0;
  EXPECT_NEAR(at(m, 1, 2), 0.75 * 0.5, q);
  EXPECT_NEAR(at(m, 2, 3), 1.0, q);
  EXPECT_NEAR(at(m, 4, 3), 0.5, q);
  EXPECT_NEAR(at(m, 2, 5), 0.75, q);
  EXPECT_NEAR(at(m, 4, 5), 0.5 * 0.75, q);
  EXPECT_EQ(at(m, 0, 3), 0.0);
}

TEST(Raster, RandomTrianglesMatchExactAreaInBothDirections) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coord(-3.0f, 35.0f);
  Rasterizer r;
  CoverageMask m;
  for (int trial = 0; trial < 200; ++trial) {
    Contour tri{{coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}};
    // A degenerate triangle may cover nothing; at() then reads 0 everywhere.
    r.rasterize(makePolygon({tri}), options(32, 32, trial % 2 ? VG_NON_ZERO : VG_EVEN_ODD), m);
    double worst = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        worst = std::max(worst, std::fabs(at(m, x, y) - exactPixelArea(tri, x, y)));
    EXPECT_LE(worst, 1.0 / 255.0 + 1e-4) << "trial " << trial;
  }
}

TEST(Raster, FillRulesOnOverlapsAndHoles) {
  Rasterizer r;
  CoverageMask m;
  // Two squares wound the same way overlap in [4, 6] x [4, 6].
  Polygon overlap = makePolygon({rect(0, 0, 6, 6), rect(4, 4, 10, 10)});
  ASSERT_TRUE(r.rasterize(overlap, options(12, 12, VG_NON_ZERO), m));
  EXPECT_EQ(at(m, 5, 5), 1.0);
  EXPECT_EQ(at(m, 1, 1), 1.0);
  ASSERT_TRUE(r.rasterize(overlap, options(12, 12, VG_EVEN_ODD), m));
  EXPECT_EQ(at(m, 5, 5), 0.0);
  EXPECT_EQ(at(m, 8, 8), 1.0);
  // A ring: the inner square wound the other way is a hole under both rules.
  Polygon ring = makePolygon({rect(0, 0, 10, 10), rect(3, 3, 7, 7, true)});
  for (VGFillRule rule : {VG_NON_ZERO, VG_EVEN_ODD}) {
    ASSERT_TRUE(r.rasterize(ring, options(12, 12, rule), m));
    EXPECT_EQ(at(m, 5, 5), 0.0);
    EXPECT_EQ(at(m, 1, 5), 1.0);
  }
  // The same hole wound the same way fills under non-zero only.
  Polygon sameWay = makePolygon({rect(0, 0, 10, 10), rect(3, 3, 7, 7)});
  ASSERT_TRUE(r.rasterize(sameWay, options(12, 12, VG_NON_ZERO), m));
  EXPECT_EQ(at(m, 5, 5), 1.0);
  ASSERT_TRUE(r.rasterize(sameWay, options(12, 12, VG_EVEN_ODD), m));
  EXPECT_EQ(at(m, 5, 5), 0.0);
}

Contour moved(Contour c, float scale, float dx, float dy) {
  for (Point& p : c) p = {p.x * scale + dx, p.y * scale + dy};
  return c;
}

Contour reversed(Contour c) {
  std::reverse(c.begin(), c.end());
  return c;
}

// Every step-th of n points on a circle: crossings for step > 1.
Contour star(float cx, float cy, float radius, int n, int step) {
  Contour c;
  for (int i = 0; i < n; ++i) {
    double a = 0.3 + 2.0 * std::numbers::pi * double(i * step % n) / n;
    c.push_back({cx + radius * float(std::cos(a)), cy + radius * float(std::sin(a))});
  }
  return c;
}

// A polyline drawn as a stroke will be: a rectangle along each segment and
// an octagon over each point, all wound the same way, filled under non-zero.
std::vector<Contour> strokePieces(const Contour& line, float halfWidth) {
  std::vector<Contour> pieces;
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    Point a = line[i], b = line[i + 1];
    float dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    float nx = -dy / len * halfWidth, ny = dx / len * halfWidth;
    pieces.push_back(
        {{a.x - nx, a.y - ny}, {b.x - nx, b.y - ny}, {b.x + nx, b.y + ny}, {a.x + nx, a.y + ny}});
  }
  for (const Point& p : line) pieces.push_back(star(p.x, p.y, halfWidth, 8, 1));
  return pieces;
}

// Whether the winding at (x, y) is inside under rule.
bool insideAt(const std::vector<Contour>& contours, VGFillRule rule, double x, double y) {
  int winding = 0;
  for (const Contour& c : contours) {
    for (size_t i = 0; i < c.size(); ++i) {
      const Point &a = c[i], &b = c[(i + 1) % c.size()];
      if ((a.y <= y) == (b.y <= y)) continue;
      if (a.x + (b.x - a.x) * ((y - a.y) / (b.y - a.y)) < x) winding += a.y < b.y ? 1 : -1;
    }
  }
  return rule == VG_EVEN_ODD ? (winding & 1) != 0 : winding != 0;
}

// Where regions of different winding meet inside a pixel the coverage is
// the area where the fill rule holds, not the rule applied to the pixel's
// summed winding.
TEST(Raster, FillRuleAppliesToEachRegionOfAPixel) {
  struct Case {
    std::string name;
    std::vector<Contour> contours;
    int width, height;
    bool sampled;  // also check the non-antialiased pixel centres (no ties)
  };
  std::vector<Case> cases;
  // Squares wound opposite ways meet a third of the way up a row whose
  // inner pixels no edge touches: the winding there changes inside them.
  cases.push_back({"seam",
                   {moved(rect(0, 0, 10, 10), 10, 28, 28.333f),
                    moved(rect(0, 10, 10, 20, true), 10, 28, 28.333f)},
                   160,
                   240,
                   false});
  cases.push_back(
      {"seam, offset sides",
       {rect(28.4f, 28.333f, 128.4f, 128.333f), rect(20.7f, 128.333f, 120.7f, 228.3f, true)},
       160,
       240,
       false});
  Contour square = rect(20.5f, 20.5f, 120.5f, 120.5f);
  cases.push_back({"doubled square", {square, square}, 140, 140, false});
  cases.push_back({"square and its reverse", {square, reversed(square)}, 140, 140, false});
  cases.push_back({"edge shared inside a pixel",
                   {rect(10.25f, 10.6f, 30.7f, 30.2f), rect(30.7f, 14.3f, 50.1f, 35.9f)},
                   60,
                   40,
                   true});
  cases.push_back({"edge shared, opposite ways",
                   {rect(10.25f, 10.6f, 30.7f, 30.2f), rect(30.7f, 14.3f, 50.1f, 35.9f, true)},
                   60,
                   40,
                   true});
  cases.push_back({"star", {star(60.3f, 60.7f, 50.0f, 5, 2)}, 120, 120, true});
  cases.push_back({"seven-point star", {star(40.2f, 40.6f, 38.0f, 7, 3)}, 80, 80, true});
  // Rows with more crossings than are cut exactly.
  cases.push_back({"101-point star", {star(40.2f, 40.6f, 38.0f, 101, 45)}, 80, 80, true});
  cases.push_back({"small 101-point star", {star(12.3f, 12.6f, 10.0f, 101, 45)}, 24, 24, true});
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> coord(-3.0f, 43.0f);
  auto randomContour = [&](int n) {
    Contour c;
    for (int k = 0; k < n; ++k) c.push_back({coord(rng), coord(rng)});
    return c;
  };
  for (int trial = 0; trial < 30; ++trial)
    cases.push_back({"random polygon " + std::to_string(trial), {randomContour(9)}, 40, 40, true});
  for (int trial = 0; trial < 6; ++trial) {
    Contour c = randomContour(7);
    cases.push_back({"random polygon doubled " + std::to_string(trial), {c, c}, 40, 40, false});
    cases.push_back(
        {"random polygon and reverse " + std::to_string(trial), {c, reversed(c)}, 40, 40, false});
  }
  for (int trial = 0; trial < 6; ++trial) {
    cases.push_back({"stroke pieces " + std::to_string(trial),
                     strokePieces(randomContour(6), 0.6f + 0.7f * float(trial)), 40, 40, true});
  }
  Rasterizer r;
  CoverageMask m;
  for (const Case& c : cases) {
    for (VGFillRule rule : {VG_EVEN_ODD, VG_NON_ZERO}) {
      const char* ruleName = rule == VG_EVEN_ODD ? "even-odd" : "non-zero";
      std::vector<double> expected = sampledCoverage(c.contours, rule, c.width, c.height);
      r.rasterize(makePolygon(c.contours), options(c.width, c.height, rule), m);
      double worst = 0;
      int worstX = 0, worstY = 0;
      for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
          double err = std::fabs(at(m, x, y) - expected[size_t(y) * size_t(c.width) + size_t(x)]);
          if (err > worst) {
            worst = err;
            worstX = x;
            worstY = y;
          }
        }
      }
      EXPECT_LE(worst, 0.04) << c.name << ", " << ruleName << ": pixel " << worstX << "," << worstY;
      if (!c.sampled) continue;
      r.rasterize(makePolygon(c.contours), options(c.width, c.height, rule, false), m);
      int wrong = 0;
      for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
          wrong += (at(m, x, y) == 1.0) != insideAt(c.contours, rule, x + 0.5, y + 0.5);
      EXPECT_EQ(wrong, 0) << c.name << ", " << ruleName << ", not antialiased";
    }
  }
}

TEST(Raster, NonAntialiasedSamplesPixelCentres) {
  Rasterizer r;
  CoverageMask m;
  ASSERT_TRUE(r.rasterize(makePolygon({rect(0.4f, 0.6f, 2.6f, 2.4f)}),
                          options(8, 8, VG_EVEN_ODD, false), m));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      bool inside = x <= 2 && y == 1;  // centres 0.5..2.5 in x, only 1.5 in y
      EXPECT_EQ(at(m, x, y), inside ? 1.0 : 0.0) << x << "," << y;
    }
  }
  for (uint8_t a : m.alpha) EXPECT_TRUE(a == 0 || a == 255);
}

TEST(Raster, ClipsToTheSurfaceAndSurvivesHugeCoordinates) {
  Rasterizer r;
  CoverageMask m;
  ASSERT_TRUE(r.rasterize(makePolygon({rect(-1e9f, -1e9f, 1e9f, 5.5f)}), options(16, 16), m));
  EXPECT_EQ(m.box.x, 0);
  EXPECT_EQ(m.box.width, 16);
  EXPECT_EQ(m.box.height, 6);
  EXPECT_EQ(at(m, 0, 0), 1.0);
  EXPECT_EQ(at(m, 15, 4), 1.0);
  EXPECT_NEAR(at(m, 7, 5), 0.5, 1.0 / 255.0);
  // A slanted edge that starts far left of the surface still covers exactly.
  Contour wedge{{-1000.0f, 0.0f}, {8.0f, 0.0f}, {8.0f, 8.0f}};
  ASSERT_TRUE(r.rasterize(makePolygon({wedge}), options(16, 16), m));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_NEAR(at(m, x, y), exactPixelArea(wedge, x, y), 1.0 / 255.0 + 1e-4);
  // A horizontal edge far above the surface, at a height no row number can
  // hold, still closes a shape that covers the whole surface.
  ASSERT_TRUE(r.rasterize(makePolygon({rect(-1.0f, -1.0f, 8.0f, 3e38f)}), options(16, 16), m));
  EXPECT_EQ(at(m, 0, 15), 1.0);
  EXPECT_EQ(at(m, 7, 15), 1.0);
  // Entirely outside: nothing.
  EXPECT_FALSE(r.rasterize(makePolygon({rect(20, 20, 30, 30)}), options(16, 16), m));
}

TEST(Raster, ScissorRectanglesLimitCoverage) {
  Rasterizer r;
  CoverageMask m;
  std::vector<VGint> rects{0, 0, 2, 2, 5, 5, 3, 3};
  RasterOptions o = options(10, 10);
  o.scissor = true;
  o.scissorRects = &rects;
  ASSERT_TRUE(r.rasterize(makePolygon({rect(0, 0, 10, 10)}), o, m));
  EXPECT_EQ(at(m, 1, 1), 1.0);
  EXPECT_EQ(at(m, 6, 6), 1.0);
  EXPECT_EQ(at(m, 3, 3), 0.0);
  EXPECT_EQ(at(m, 9, 9), 0.0);
  std::vector<VGint> none;
  o.scissorRects = &none;
  EXPECT_FALSE(r.rasterize(makePolygon({rect(0, 0, 10, 10)}), o, m));
}

// The row spans bound all coverage, and the full runs hold only full pixels:
// the renderer draws outside the first and the second opaque.
void expectSpansHold(const CoverageMask& m) {
  for (int row = 0; row < m.box.height; ++row) {
    const CoverageMask::Span& s = m.spans[size_t(row)];
    const uint8_t* a = m.alpha.data() + size_t(row) * size_t(m.box.width);
    for (int x = 0; x < m.box.width; ++x) {
      if (x < s.first || x >= s.end) {
        ASSERT_EQ(a[x], 0) << "row " << row << " x " << x;
      }
      if (x >= s.fullFirst && x < s.fullEnd) {
        ASSERT_EQ(a[x], 255) << "row " << row << " x " << x;
      }
    }
  }
}

TEST(Raster, RowSpansBoundCoverageAndFullRunsAreOpaque) {
  Rasterizer r;
  CoverageMask m;
  // A wide shape: its full run reaches from edge to edge, pixel exact.
  ASSERT_TRUE(r.rasterize(makePolygon({rect(2.5f, 1.0f, 90.5f, 9.0f)}), options(100, 12), m));
  expectSpansHold(m);
  const CoverageMask::Span& s = m.spans[3];
  EXPECT_EQ(m.box.x + s.fullFirst, 3);
  EXPECT_EQ(m.box.x + s.fullEnd, 90);
  EXPECT_EQ(m.box.x + s.first, 2);
  EXPECT_EQ(m.box.x + s.end, 91);
  // A ring has two full runs a row through its hole; either may be reported.
  Polygon ring = makePolygon({rect(0, 0, 100, 40), rect(30, 10, 70, 30, true)});
  ASSERT_TRUE(r.rasterize(ring, options(100, 40, VG_NON_ZERO), m));
  expectSpansHold(m);
  EXPECT_GE(m.spans[20].fullEnd - m.spans[20].fullFirst, 30);
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> coord(-20.0f, 140.0f);
  for (int trial = 0; trial < 100; ++trial) {
    Contour star;
    for (int k = 0; k < 7; ++k) star.push_back({coord(rng), coord(rng)});
    r.rasterize(makePolygon({star}), options(120, 120, trial % 2 ? VG_NON_ZERO : VG_EVEN_ODD), m);
    expectSpansHold(m);
  }
  // Scissoring may cut through a run, so none is reported under it.
  std::vector<VGint> rects{0, 0, 50, 12};
  RasterOptions o = options(100, 12);
  o.scissor = true;
  o.scissorRects = &rects;
  ASSERT_TRUE(r.rasterize(makePolygon({rect(2.5f, 1.0f, 90.5f, 9.0f)}), o, m));
  expectSpansHold(m);
}

TEST(Raster, ReuseLeavesNoTrace) {
  Rasterizer reused, fresh;
  CoverageMask a, b;
  Contour tri{{1.3f, 2.2f}, {9.7f, 3.1f}, {4.4f, 8.9f}};
  ASSERT_TRUE(reused.rasterize(makePolygon({rect(-5, -5, 50, 50)}), options(40, 40), a));
  ASSERT_TRUE(reused.rasterize(makePolygon({tri}), options(40, 40), a));
  ASSERT_TRUE(fresh.rasterize(makePolygon({tri}), options(40, 40), b));
  EXPECT_EQ(a.box.x, b.box.x);
  EXPECT_EQ(a.box.width, b.box.width);
  EXPECT_EQ(a.alpha, b.alpha);
}

}  // namespace
}  // namespace tq
