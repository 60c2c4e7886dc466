#include <VG/openvg.h>
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>

#include "test_context_fixture.hpp"

namespace {

using Mat = std::array<float, 9>;  // column by column, as vgLoadMatrix takes it

Mat current() {
  Mat m;
  vgGetMatrix(m.data());
  return m;
}

constexpr VGMatrixMode kModes[] = {VG_MATRIX_PATH_USER_TO_SURFACE, VG_MATRIX_IMAGE_USER_TO_SURFACE,
                                   VG_MATRIX_FILL_PAINT_TO_USER, VG_MATRIX_STROKE_PAINT_TO_USER,
                                   VG_MATRIX_GLYPH_USER_TO_SURFACE};

const Mat kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
const Mat kProjective{1, 2, 3, 4, 5, 6, 7, 8, 9};

using Matrices = HeadlessContext;

TEST_F(Matrices, EachModeHasItsOwnMatrixAndOnlyTheImageOneIsProjective) {
  for (VGMatrixMode mode : kModes) {
    vgSeti(VG_MATRIX_MODE, mode);
    EXPECT_EQ(current(), kIdentity) << mode;
    vgLoadMatrix(kProjective.data());
  }
  for (VGMatrixMode mode : kModes) {
    vgSeti(VG_MATRIX_MODE, mode);
    const Mat expected =
        mode == VG_MATRIX_IMAGE_USER_TO_SURFACE ? kProjective : Mat{1, 2, 0, 4, 5, 0, 7, 8, 1};
    EXPECT_EQ(current(), expected) << mode;
    vgLoadIdentity();
    EXPECT_EQ(current(), kIdentity) << mode;
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Matrices, TransformsMultiplyOnTheRight) {
  // M = T(10, 20) * S(2, 3): scaling applies to points first.
  vgTranslate(10, 20);
  vgScale(2, 3);
  EXPECT_EQ(current(), (Mat{2, 0, 0, 0, 3, 0, 10, 20, 1}));
  // Then * T(1, 1) moves by the scaled amount.
  vgTranslate(1, 1);
  EXPECT_EQ(current(), (Mat{2, 0, 0, 0, 3, 0, 12, 23, 1}));

  vgLoadIdentity();
  vgShear(0.5f, 0.25f);
  EXPECT_EQ(current(), (Mat{1, 0.25f, 0, 0.5f, 1, 0, 0, 0, 1}));
  vgScale(2, 4);
  EXPECT_EQ(current(), (Mat{2, 0.5f, 0, 2, 4, 0, 0, 0, 1}));
}

TEST_F(Matrices, RotationByQuarterTurnsIsExact) {
  vgRotate(90);
  EXPECT_EQ(current(), (Mat{0, 1, 0, -1, 0, 0, 0, 0, 1}));
  vgRotate(90);
  EXPECT_EQ(current(), (Mat{-1, 0, 0, 0, -1, 0, 0, 0, 1}));
  vgRotate(-450);
  EXPECT_EQ(current(), (Mat{0, 1, 0, -1, 0, 0, 0, 0, 1}));

  vgLoadIdentity();
  vgTranslate(5, 0);
  vgRotate(30);
  const Mat m = current();
  EXPECT_NEAR(m[0], std::sqrt(3.0) / 2, 1e-6);
  EXPECT_NEAR(m[1], 0.5, 1e-6);
  EXPECT_NEAR(m[3], -0.5, 1e-6);
  EXPECT_NEAR(m[4], std::sqrt(3.0) / 2, 1e-6);
  EXPECT_EQ(m[6], 5.0f);  // rotation about the translated origin
  EXPECT_EQ(m[7], 0.0f);
}

TEST_F(Matrices, MultMatrixIgnoresTheLastRowOfAffineMatrices) {
  const Mat a{2, 0, 0, 1, 3, 0, 4, 5, 1};
  const Mat b{1, 2, 7, 3, 4, 8, 5, 6, 9};
  vgLoadMatrix(a.data());
  vgMultMatrix(b.data());
  // a * b with b's last row taken as 0 0 1.
  EXPECT_EQ(current(), (Mat{4, 6, 0, 10, 12, 0, 20, 23, 1}));

  vgSeti(VG_MATRIX_MODE, VG_MATRIX_IMAGE_USER_TO_SURFACE);
  vgLoadMatrix(a.data());
  vgMultMatrix(b.data());
  EXPECT_EQ(current(), (Mat{32, 41, 7, 42, 52, 8, 52, 63, 9}));
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Matrices, BadInputLeavesTheMatrixIntact) {
  vgTranslate(3, 4);
  const Mat before = current();
  vgLoadMatrix(nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgMultMatrix(nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgGetMatrix(nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  alignas(4) unsigned char buffer[9 * sizeof(float) + 1] = {};
  vgLoadMatrix(reinterpret_cast<const float*>(buffer + 1));
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);

  Mat withNaN = kIdentity;
  withNaN[4] = std::nanf("");
  vgLoadMatrix(withNaN.data());
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgScale(std::nanf(""), 1);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgRotate(INFINITY);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgScale(FLT_MAX, 1);
  vgScale(FLT_MAX, 1);  // overflows to infinity
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgLoadMatrix(before.data());
  vgScale(1, 1);
  EXPECT_EQ(current(), before);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

}  // namespace
