// Transforming and interpolating paths, with exact expected coordinates.
#include <cmath>
#include <vector>

#include "test_path_support.hpp"

namespace tq::test {
namespace {

using PathOps = PathTest;

TEST_F(PathOps, TransformMapsPointsAndTurnsHVLinesIntoLines) {
  const VGPath src = makePath();
  append(src, {VG_MOVE_TO_ABS, VG_HLINE_TO_ABS, VG_VLINE_TO_REL, VG_QUAD_TO_REL, VG_CLOSE_PATH},
         {1, 2, 5, 3, 1, 1, 2, 2});
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  const float m[9] = {2, 0, 0, 0, 3, 0, 10, 20, 1};  // x' = 2x + 10, y' = 3y + 20
  vgLoadMatrix(m);
  const VGPath dst = makePath();
  vgTransformPath(dst, src);
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(internal(dst).commands,
            (std::vector<VGubyte>{VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_REL, VG_QUAD_TO_REL,
                                  VG_CLOSE_PATH}));
  // Absolute points get the whole map, relative offsets only its linear part.
  EXPECT_EQ(coords(dst), (std::vector<double>{12, 26, 20, 26, 0, 9, 2, 3, 4, 6}));

  // Onto itself, with a mirror: the source part stays, the copy follows it.
  const float flip[9] = {1, 0, 0, 0, -1, 0, 0, 0, 1};
  vgLoadMatrix(flip);
  vgTransformPath(src, src);
  ASSERT_EQ(internal(src).numSegments(), 10);
  const std::vector<double> c = coords(src);
  EXPECT_EQ(std::vector<double>(c.begin() + 8, c.end()),
            (std::vector<double>{1, -2, 5, -2, 0, -3, 1, -1, 2, -2}));
}

TEST_F(PathOps, TransformGivesArcsTheMappedEllipseAndFlipsWhenMirrored) {
  const VGPath src = makePath();
  append(src, {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_LCWARC_TO_REL},
         {0, 0, 4, 1, 0, 8, 0, 4, 1, 0, -8, 0});
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgRotate(90);
  vgScale(1, -1);  // a mirror: determinant -1
  const VGPath dst = makePath();
  vgTransformPath(dst, src);
  const Path& d = internal(dst);
  EXPECT_EQ(d.commands,
            (std::vector<VGubyte>{VG_MOVE_TO_ABS, VG_SCWARC_TO_ABS, VG_LCCWARC_TO_REL}));
  // The ellipse's long axis (4, along x) now lies along y.
  std::vector<double> c = coords(dst);
  c[4] = std::fabs(c[4]);
  expectNear(std::vector<double>(c.begin() + 2, c.begin() + 7), {4, 1, 90, 0, 8}, 1e-4);
  // The drawn geometry is the mapped original: both bulge to x = -1.
  const std::vector<double> mapped = bounds(src, true);
  vgLoadIdentity();
  expectNear(bounds(dst), mapped, 1e-4);
  expectNear(mapped, {-1, 0, 1, 8}, 1e-4);

  const VGPath noTo = makePath(VG_PATH_DATATYPE_F, 1, 0, VG_PATH_CAPABILITY_TRANSFORM_FROM);
  vgTransformPath(noTo, src);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  EXPECT_EQ(internal(noTo).numSegments(), 0);
}

TEST_F(PathOps, InterpolateNormalisesBothSourcesAndBlendsCoordinates) {
  const VGPath a = makePath();
  const VGPath b = makePath(VG_PATH_DATATYPE_S_16, 0.5f, 0.0f);
  // A relative quad against an absolute smooth cubic; an H line against a
  // line; arcs of different kinds.
  append(a, {VG_MOVE_TO_ABS, VG_QUAD_TO_REL, VG_HLINE_TO_ABS, VG_SCCWARC_TO_ABS, VG_CLOSE_PATH},
         {0, 0, 3, 3, 6, 0, 9, 2, 2, 0, 12, 0});
  const VGubyte bc[5] = {VG_MOVE_TO_ABS, VG_SCUBIC_TO_ABS, VG_LINE_TO_ABS, VG_LCWARC_TO_ABS,
                         VG_CLOSE_PATH};
  const int16_t bd[13] = {20, 20, 40, 40, 60, 20, 80, 40, 8, 8, 90, 100, 20};
  vgAppendPathData(b, 5, bc, bd);
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  // In b: move (10, 10); smooth cubic with first control at o = (10, 10) (p
  // equals o after a move), then (20, 20), (30, 10); line (40, 20); arc
  // radii 4, 4, rotation 45, to (50, 10).
  const VGPath dst = makePath();
  ASSERT_EQ(vgInterpolatePath(dst, a, b, 0.25f), VG_TRUE);
  const Path& d = internal(dst);
  EXPECT_EQ(d.commands, (std::vector<VGubyte>{VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS, VG_LINE_TO_ABS,
                                              VG_SCCWARC_TO, VG_CLOSE_PATH}));
  // a's quad (0,0),(3,3),(6,0) as a cubic: controls (2,2), (4,2).
  const double as[15] = {0, 0, 2, 2, 4, 2, 6, 0, 9, 0, 2, 2, 0, 12, 0};
  const double bs[15] = {10, 10, 10, 10, 20, 20, 30, 10, 40, 20, 4, 4, 45, 50, 10};
  const std::vector<double> c = coords(dst);
  ASSERT_EQ(c.size(), 15u);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(c[size_t(i)], as[i] + (bs[i] - as[i]) * 0.25) << i;

  // From one half on the arc kind is the end's; outside [0, 1] it extrapolates.
  vgClearPath(dst, VG_PATH_CAPABILITY_ALL);
  ASSERT_EQ(vgInterpolatePath(dst, a, b, 1.5f), VG_TRUE);
  EXPECT_EQ(d.commands[3], VG_LCWARC_TO);
  EXPECT_EQ(coords(dst)[8], 9 + (40 - 9) * 1.5);
  vgClearPath(dst, VG_PATH_CAPABILITY_ALL);
  ASSERT_EQ(vgInterpolatePath(dst, a, b, -1.0f), VG_TRUE);
  EXPECT_EQ(coords(dst)[0], -10);

  // dst may be a source: the result is appended after the source's own data.
  ASSERT_EQ(vgInterpolatePath(a, a, b, 0.0f), VG_TRUE);
  const std::vector<double> self = coords(a);
  ASSERT_EQ(self.size(), 12u + 15u);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(self[12 + size_t(i)], as[i]) << i;
}

TEST_F(PathOps, InterpolateRefusesMismatchesAndLeavesDstUntouched) {
  const VGPath a = makePath();
  const VGPath b = makePath();
  const VGPath lineVsCubic = makePath();
  append(a, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS}, {0, 0, 1, 1});
  append(b, {VG_MOVE_TO_REL, VG_LINE_TO_REL, VG_CLOSE_PATH}, {0, 0, 1, 1});
  append(lineVsCubic, {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS}, {0, 0, 1, 1, 2, 2, 3, 3});
  const VGPath dst = makePath();
  append(dst, {VG_MOVE_TO_ABS}, {7, 7});
  const auto before = snapshot(dst);
  EXPECT_EQ(vgInterpolatePath(dst, a, b, 0.5f), VG_FALSE);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgInterpolatePath(dst, a, lineVsCubic, 0.5f), VG_FALSE);
  EXPECT_EQ(vgInterpolatePath(dst, a, a, std::nanf("")), VG_FALSE);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgRemovePathCapabilities(b, VG_PATH_CAPABILITY_INTERPOLATE_FROM);
  EXPECT_EQ(vgInterpolatePath(dst, a, b, 0.5f), VG_FALSE);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  vgRemovePathCapabilities(dst, VG_PATH_CAPABILITY_INTERPOLATE_TO);
  EXPECT_EQ(vgInterpolatePath(dst, a, a, 0.5f), VG_FALSE);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  EXPECT_EQ(snapshot(dst), before);
}

// The demo's outlines, y pointing down as designed.
const VGubyte kOutline[16] = {2, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 0, 2, 12, 12, 0};
const float kApple[76] = {
    1.53125f,   -44.68198f,  -3.994719f,  -44.68198f,  -8.008518f,  -50.5625f,  -26.5625f,
    -50.5625f,  -42.918438f, -50.5625f,   -56.46875f,  -34.23939f,  -56.46875f, -12.187501f,
    -56.46875f, 26.520416f,  -34.65822f,  61.7318f,    -16.84375f,  61.8125f,   -7.1741233f,
    61.8125f,   -2.9337938f, 55.6562f,    4.15625f,    55.6562f,    11.746294f, 55.6562f,
    17.981627f, 62.2812f,    25.4375f,    62.2812f,    33.88615f,   62.2812f,   50.53251f,
    44.282997f, 58.75f,      15.718799f,  47.75131f,   9.086518f,   40.999985f, -0.228074f,
    41.0f,      -13.046574f, 41.0f,       -27.849148f, 46.64686f,   -34.763f,   52.4375f,
    -39.9375f,  46.111828f,  -47.219093f, 39.0413f,    -50.503784f, 29.09375f,  -50.446384f,
    11.146487f, -50.342823f, 8.6341915f,  -44.68198f,  1.53125f,    -44.68198f, 0.23972344f,
    -52.07517f, -2.8344903f, -69.754135f, 5.9303784f,  -81.91532f,  24.152706f, -86.88141f,
    23.71828f,  -70.367256f, 15.114064f,  -58.365864f, 0.23972344f, -52.07517f};
const float kPear[76] = {
    0.0625f,     -90.625f,    -29.44062f, -89.19116f,  -23.07159f,  -32.3093f,   -30.5625f,
    -14.062501f, -38.29681f,  4.7771993f, -56.8077f,   20.767199f,  -56.46875f,  42.8125f,
    -56.1298f,   64.503f,     -40.15822f, 79.7318f,    -22.34375f,  79.8125f,    -4.17446f,
    79.893196f,  -1.93369f,   71.114f,    4.15625f,    71.1562f,    10.49619f,   71.1985f,
    13.70293f,   80.3368f,    30.4375f,   80.2812f,    42.49257f,   80.241196f,  53.53251f,
    70.783f,     58.75f,      58.2188f,   47.0442f,    54.768497f,  38.5f,       43.9435f,
    38.5f,       31.124998f,  38.50001f,  22.754099f,  42.14686f,   15.236999f,  47.9375f,
    10.062499f,  42.2834f,    1.5737994f, 36.5413f,    -6.6199007f, 34.09375f,   -14.062501f,
    28.48694f,   -31.111801f, 32.99356f,  -90.26551f,  1.5f,        -90.625f,    5.1056437f,
    -97.8762f,   -12.766585f, -99.48239f, -22.244879f, -111.09615f, -22.325466f, -129.98288f,
    -6.486451f,  -125.28908f, 2.8790667f, -113.87186f, 5.1056437f,  -97.8762f};

TEST_F(PathOps, DemoOutlinesInterpolateExactly) {
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  auto build = [&](const float* data) {
    const VGPath temp = makePath();
    vgAppendPathData(temp, 16, kOutline, data);
    vgLoadIdentity();
    vgScale(1.0f, -1.0f);
    const VGPath p = makePath();
    vgTransformPath(p, temp);
    vgDestroyPath(temp);
    return p;
  };
  const VGPath apple = build(kApple);
  const VGPath pear = build(kPear);
  const VGPath morph = makePath();
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  for (float amount : {0.0f, 0.5f, 1.0f}) {
    vgClearPath(morph, VG_PATH_CAPABILITY_ALL);
    ASSERT_EQ(vgInterpolatePath(morph, apple, pear, amount), VG_TRUE);
    const Path& m = internal(morph);
    ASSERT_EQ(m.commands, std::vector<VGubyte>(kOutline, kOutline + 16));
    ASSERT_EQ(m.numCoords(), 76);
    const float* stored = reinterpret_cast<const float*>(m.data.data());
    for (int i = 0; i < 76; ++i) {
      const double sign = (i % 2) ? -1.0 : 1.0;  // y was flipped
      const double a = sign * kApple[i], b = sign * kPear[i];
      const float expected = amount == 0.0f   ? float(a)
                             : amount == 1.0f ? float(b)
                                              : float((a + b) / 2.0);
      EXPECT_EQ(stored[i], expected) << "amount " << amount << " coordinate " << i;
    }
  }
  // Refilling the cleared path every frame needs no new storage.
  const unsigned char* storage = internal(morph).data.data();
  vgClearPath(morph, VG_PATH_CAPABILITY_ALL);
  vgInterpolatePath(morph, apple, pear, 0.3f);
  EXPECT_EQ(internal(morph).data.data(), storage);
}

}  // namespace
}  // namespace tq::test
