// vgDrawImage's geometry: the image rectangle mapped by a projective matrix
// and cut to the part in front of the viewer and to the surface.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "draw/draw_paint.hpp"
#include "draw/painter.hpp"

namespace {

tq::Matrix matrix(std::initializer_list<float> v) {
  tq::Matrix m;
  std::copy(v.begin(), v.end(), m.m);
  return m;
}

double area(const tq::Polygon& p) {
  double a = 0;
  for (size_t i = 0; i < p.points.size(); ++i) {
    const tq::Point& u = p.points[i];
    const tq::Point& v = p.points[(i + 1) % p.points.size()];
    a += double(u.x) * v.y - double(v.x) * u.y;
  }
  return std::abs(a) / 2;
}

// The area of the box's part whose points map back into the image in
// front, sampled on a fine grid.
double sampledArea(const tq::Matrix& m, int w, int h, const tq::IntRect& box) {
  tq::Matrix back;
  EXPECT_TRUE(tq::invertProjective(m, back));
  constexpr int kSteps = 8;  // samples a pixel side
  int inside = 0;
  for (int j = 0; j < box.height * kSteps; ++j) {
    for (int i = 0; i < box.width * kSteps; ++i) {
      const double x = box.x + (i + 0.5) / kSteps, y = box.y + (j + 0.5) / kSteps;
      const double u = back.m[0] * x + back.m[3] * y + back.m[6];
      const double v = back.m[1] * x + back.m[4] * y + back.m[7];
      const double z = back.m[2] * x + back.m[5] * y + back.m[8];
      inside += z > 0 && u / z >= 0 && u / z <= w && v / z >= 0 && v / z <= h;
    }
  }
  return double(inside) / (kSteps * kSteps);
}

TEST(ImageRect, MappedAndCutAtTheHorizonAndTheSurface) {
  const tq::IntRect box{0, 0, 100, 80};
  struct Case {
    const char* what;
    tq::Matrix m;
    bool drawn;
  } cases[] = {
      {"affine, inside", matrix({4, 1, 0, -1, 3, 0, 30, 20, 1}), true},
      {"affine, over the sides", matrix({40, 0, 0, 0, 30, 0, -50, -20, 1}), true},
      {"perspective, in front", matrix({10, 0, 0, 2, 8, 0.05f, 10, 10, 1}), true},
      // w = 1 - 0.3 y is 0 at y = 10 / 3: the far edge lies behind.
      {"horizon across the image", matrix({10, 0, 0, 0, -10, -0.3f, 30, 60, 1}), true},
      {"horizon with the front part beyond the surface",
       matrix({40, 0, 0, 0, -40, -0.3f, -100, 100, 1}), true},
      {"wholly behind", matrix({10, 0, 0, 0, 10, 0, 20, 20, -1}), false},
      {"third row zero", matrix({10, 0, 0, 0, 10, 0, 20, 20, 0}), false},
      {"beside the surface", matrix({10, 0, 0, 0, 10, 0, 500, 20, 1}), false},
      {"huge but in front", matrix({1e30f, 0, 0, 0, 1e30f, 0, 0, 0, 1}), true},
  };
  tq::Polygon polygon;
  for (const Case& c : cases) {
    const bool drawn = tq::mapImageRect(c.m, 5, 4, box, polygon);
    EXPECT_EQ(drawn, c.drawn) << c.what;
    if (!drawn) continue;
    ASSERT_EQ(polygon.contourEnds.size(), 1u) << c.what;
    EXPECT_EQ(polygon.contourEnds[0], polygon.points.size()) << c.what;
    for (const tq::Point& p : polygon.points) {
      // Never beyond the box by more than its one-pixel margin.
      EXPECT_TRUE(p.x >= box.x - 1.001f && p.x <= box.x + box.width + 1.001f) << c.what;
      EXPECT_TRUE(p.y >= box.y - 1.001f && p.y <= box.y + box.height + 1.001f) << c.what;
    }
    // Cut to the box one pixel smaller, it lies within the box and covers
    // what maps back into the image there.
    tq::Polygon inBox;
    ASSERT_TRUE(
        tq::mapImageRect(c.m, 5, 4, tq::IntRect{1, 1, box.width - 2, box.height - 2}, inBox))
        << c.what;
    const double expected = sampledArea(c.m, 5, 4, box);
    EXPECT_GT(expected, 1) << c.what;
    EXPECT_NEAR(area(inBox), expected, 1 + 0.01 * expected) << c.what;
  }
}

}  // namespace
