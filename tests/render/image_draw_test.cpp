// Images in a real window: pattern paints, vgDrawImage and the surface pixel
// calls, held against colours worked out here from the image's pixels, the
// matrices inverted here and pixels written and read by plain OpenGL.
#include <VG/openvg.h>
#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "coverage_reference.hpp"
#include "gl_window.hpp"

using namespace tqtest;

namespace {

constexpr int W = 400;
constexpr int H = 400;
// One 8-bit step for the framebuffer's rounding and one for the texture's.
constexpr double kTolerance = 2.0 / 255;
// Bilinear weights are quantised by the texture unit.
constexpr double kFilterTolerance = 4.0 / 255;

using Colour = std::array<double, 4>;  // premultiplied

// An image's pixels as the test knows them: opaque or not, sRGB, not
// premultiplied, bottom row first.
struct Picture {
  int width, height;
  std::vector<uint32_t> rgba;  // VG_sRGBA_8888 words
  Colour at(int x, int y) const {
    const uint32_t v = rgba[size_t(y) * size_t(width) + size_t(x)];
    const double a = (v & 255) / 255.0;
    return {((v >> 24) & 255) / 255.0 * a, ((v >> 16) & 255) / 255.0 * a,
            ((v >> 8) & 255) / 255.0 * a, a};
  }
  VGImage make(VGbitfield quality = VG_IMAGE_QUALITY_NONANTIALIASED | VG_IMAGE_QUALITY_FASTER |
                                    VG_IMAGE_QUALITY_BETTER) const {
    VGImage image = vgCreateImage(VG_sRGBA_8888, width, height, quality);
    vgImageSubData(image, rgba.data(), width * 4, VG_sRGBA_8888, 0, 0, width, height);
    return image;
  }
};

// Four by three distinct opaque colours.
const Picture kTile{4,
                    3,
                    {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFF00FF, 0xFF00FFFF, 0x00FFFFFF,
                     0x808080FF, 0x402010FF, 0x10A0F0FF, 0xF0A010FF, 0x20F060FF, 0xFFFFFFFF}};

void clearTo(const std::array<float, 4>& c) {
  vgSetfv(VG_CLEAR_COLOR, 4, c.data());
  vgSeti(VG_SCISSORING, VG_FALSE);
  vgClear(0, 0, W, H);
}

struct Pixels : BackBufferPixels {
  static Pixels read() { return {BackBufferPixels::read(W, H)}; }
};

// Checks every 3rd pixel of the box against expected(centre), which may
// decline a pixel (nullopt-like: returns false). Returns how many were
// checked.
int expectPixels(const Pixels& px, int x0, int x1, int y0, int y1, const char* what,
                 const std::function<bool(Vec2, Colour&)>& expected, double tolerance,
                 int channels = 3) {
  int checked = 0, failures = 0;
  double worst = 0;
  for (int y = y0; y < y1; y += 3) {
    for (int x = x0; x < x1; x += 3) {
      Colour want;
      if (!expected({x + 0.5, y + 0.5}, want)) continue;
      ++checked;
      for (int ch = 0; ch < channels; ++ch) {
        const double err = std::abs(px.at(x, y, ch) - want[size_t(ch)]);
        worst = std::max(worst, err);
        if (err > tolerance && ++failures <= 3)
          ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") channel " << ch << " is "
                        << px.at(x, y, ch) * 255 << "/255, expected " << want[size_t(ch)] * 255;
      }
    }
  }
  std::printf("%-48s %5d pixels, worst error %.2f/255\n", what, checked, worst * 255);
  EXPECT_EQ(failures, 0) << what;
  return checked;
}

VGPath rectPath(float x, float y, float w, float h) {
  VGPath path =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  const VGubyte segments[5] = {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS,
                               VG_CLOSE_PATH};
  const VGfloat coords[8] = {x, y, x + w, y, x + w, y + h, x, y + h};
  vgAppendPathData(path, 5, segments, coords);
  return path;
}

// Texel index i of n under a tiling mode; -1 outside for VG_TILE_FILL.
int tileIndex(int i, int n, VGTilingMode mode) {
  switch (mode) {
    case VG_TILE_PAD:
      return std::clamp(i, 0, n - 1);
    case VG_TILE_REPEAT:
      return ((i % n) + n) % n;
    case VG_TILE_REFLECT: {
      const int k = ((i % (2 * n)) + 2 * n) % (2 * n);
      return k < n ? k : 2 * n - 1 - k;
    }
    default:
      return i >= 0 && i < n ? i : -1;
  }
}

Colour texel(const Picture& pic, int i, int j, VGTilingMode mode, const Colour& fill) {
  const int x = tileIndex(i, pic.width, mode), y = tileIndex(j, pic.height, mode);
  return x < 0 || y < 0 ? fill : pic.at(x, y);
}

// The pattern at paint point p: the nearest pixel, or bilinear between
// pixel centres.
Colour sample(const Picture& pic, Vec2 p, VGTilingMode mode, const Colour& fill, bool bilinear) {
  if (!bilinear) return texel(pic, int(std::floor(p.x)), int(std::floor(p.y)), mode, fill);
  const double u = p.x - 0.5, v = p.y - 0.5;
  const int i = int(std::floor(u)), j = int(std::floor(v));
  const double fx = u - i, fy = v - j;
  Colour c{};
  for (int k = 0; k < 4; ++k) {
    const auto ch = size_t(k);
    c[ch] = (1 - fx) * (1 - fy) * texel(pic, i, j, mode, fill)[ch] +
            fx * (1 - fy) * texel(pic, i + 1, j, mode, fill)[ch] +
            (1 - fx) * fy * texel(pic, i, j + 1, mode, fill)[ch] +
            fx * fy * texel(pic, i + 1, j + 1, mode, fill)[ch];
  }
  return c;
}

// Near a pixel edge of the pattern the nearest pixel depends on rounding.
bool nearTexelEdge(Vec2 p, double margin) {
  return std::abs(p.x - std::round(p.x)) < margin || std::abs(p.y - std::round(p.y)) < margin;
}

// Source-over onto opaque black leaves the premultiplied colour.
Colour overBlack(const Colour& c) { return c; }

}  // namespace

TEST(Pattern, EachTilingModeAtPixelCentresStraightAndRotated) {
  const std::array<float, 4> fillColour{0.2f, 0.4f, 0.8f, 0.5f};
  const Colour fill{0.1, 0.2, 0.4, 0.5};
  vgSetfv(VG_TILE_FILL_COLOR, 4, fillColour.data());
  VGImage image = kTile.make();
  VGPaint paint = vgCreatePaint();
  vgSetParameteri(paint, VG_PAINT_TYPE, VG_PAINT_TYPE_PATTERN);
  vgPaintPattern(paint, image);
  VGPath path = rectPath(20, 20, 360, 360);
  struct Case {
    const char* what;
    VGTilingMode mode;
    Affine paintToUser;
    VGImageQuality quality;
  } cases[] = {
      {"fill, nearest", VG_TILE_FILL, Affine::scale(16, 16).then(Affine::translate(150, 170)),
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"pad, nearest", VG_TILE_PAD, Affine::scale(16, 16).then(Affine::translate(150, 170)),
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"repeat, nearest", VG_TILE_REPEAT, Affine::scale(16, 16).then(Affine::translate(150, 170)),
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"reflect, nearest", VG_TILE_REFLECT, Affine::scale(16, 16).then(Affine::translate(150, 170)),
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"repeat, rotated, nearest", VG_TILE_REPEAT,
       Affine::scale(14, 10).then(Affine::rotateDegrees(30)).then(Affine::translate(190, 130)),
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"reflect, rotated, nearest", VG_TILE_REFLECT,
       Affine::scale(14, 10).then(Affine::rotateDegrees(-35)).then(Affine::translate(160, 230)),
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"fill, bilinear", VG_TILE_FILL, Affine::scale(16, 16).then(Affine::translate(150, 170)),
       VG_IMAGE_QUALITY_FASTER},
      {"reflect, rotated, bilinear", VG_TILE_REFLECT,
       Affine::scale(14, 10).then(Affine::rotateDegrees(-35)).then(Affine::translate(160, 230)),
       VG_IMAGE_QUALITY_FASTER},
  };
  for (const Case& c : cases) {
    vgSetParameteri(paint, VG_PAINT_PATTERN_TILING_MODE, c.mode);
    vgSeti(VG_IMAGE_QUALITY, c.quality);
    clearTo({0, 0, 0, 1});
    loadMatrix(VG_MATRIX_PATH_USER_TO_SURFACE, Affine{});
    loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, c.paintToUser);
    vgSetPaint(paint, VG_FILL_PATH);
    vgDrawPath(path, VG_FILL_PATH);
    const Pixels px = Pixels::read();
    glutSwapBuffers();
    const Affine toPaint = inverse(c.paintToUser);
    const bool bilinear = c.quality != VG_IMAGE_QUALITY_NONANTIALIASED;
    const int checked = expectPixels(
        px, 21, 379, 21, 379, c.what,
        [&](Vec2 s, Colour& want) {
          const Vec2 p = toPaint.apply(s);
          if (!bilinear && nearTexelEdge(p, 0.08)) return false;
          want = overBlack(sample(kTile, p, c.mode, fill, bilinear));
          return true;
        },
        bilinear ? kFilterTolerance : kTolerance);
    EXPECT_GT(checked, 10000) << c.what;
  }
  // Surface pixel 166 has its centre exactly between the centres of pattern
  // pixels 0 and 1 (paint x 1.0, y 0.5): bilinear gives their mean; pixel
  // 165 (paint x 0.9375) mixes them 9 : 7, or is the left one under nearest
  // sampling.
  vgSetParameteri(paint, VG_PAINT_PATTERN_TILING_MODE, VG_TILE_PAD);
  loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER,
             Affine::scale(16, 16).then(Affine::translate(150.5, 170.5)));
  const Colour left = kTile.at(0, 0), right = kTile.at(1, 0);
  for (VGImageQuality q : {VG_IMAGE_QUALITY_NONANTIALIASED, VG_IMAGE_QUALITY_FASTER}) {
    vgSeti(VG_IMAGE_QUALITY, q);
    clearTo({0, 0, 0, 1});
    vgDrawPath(path, VG_FILL_PATH);
    const Pixels px = Pixels::read();
    glutSwapBuffers();
    for (int x : {165, 166}) {
      if (x == 166 && q == VG_IMAGE_QUALITY_NONANTIALIASED) continue;  // on the border
      const double u = std::clamp((x + 0.5 - 150.5) / 16 - 0.5, 0.0, 1.0);
      for (int ch = 0; ch < 3; ++ch) {
        const double want = q == VG_IMAGE_QUALITY_FASTER
                                ? (1 - u) * left[size_t(ch)] + u * right[size_t(ch)]
                                : left[size_t(ch)];
        EXPECT_NEAR(px.at(x, 178, ch), want, kFilterTolerance)
            << "quality " << q << ", pixel " << x << ", channel " << ch;
      }
    }
  }
  vgSetPaint(VG_INVALID_HANDLE, VG_FILL_PATH);
  vgDestroyPaint(paint);
  vgDestroyImage(image);
  vgDestroyPath(path);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_FASTER);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The paint keeps the image's pixels: its handle dies with vgDestroyImage,
// the pattern still draws, and writes through another image sharing the
// pixels show in the next draw. A stroke takes the stroke paint matrix.
TEST(Pattern, OutlivesItsImageFollowsWritesAndPaintsStrokes) {
  VGImage parent = kTile.make();
  VGImage child = vgChildImage(parent, 1, 1, 2, 2);
  VGPaint paint = vgCreatePaint();
  vgSetParameteri(paint, VG_PAINT_TYPE, VG_PAINT_TYPE_PATTERN);
  vgSetParameteri(paint, VG_PAINT_PATTERN_TILING_MODE, VG_TILE_REPEAT);
  vgPaintPattern(paint, child);
  vgDestroyImage(child);
  vgPaintPattern(paint, child);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_NONANTIALIASED);
  const Affine paintToUser = Affine::scale(20, 20);
  VGPath path = rectPath(0, 0, 200, 200);
  const Picture childPixels{2, 2, {kTile.rgba[5], kTile.rgba[6], kTile.rgba[9], kTile.rgba[10]}};
  auto drawAndCheck = [&](const Picture& expected, const char* what) {
    clearTo({0, 0, 0, 1});
    loadMatrix(VG_MATRIX_PATH_USER_TO_SURFACE, Affine{});
    loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, paintToUser);
    vgSetPaint(paint, VG_FILL_PATH);
    vgDrawPath(path, VG_FILL_PATH);
    const Pixels px = Pixels::read();
    glutSwapBuffers();
    expectPixels(
        px, 1, 199, 1, 199, what,
        [&](Vec2 s, Colour& want) {
          const Vec2 p = inverse(paintToUser).apply(s);
          if (nearTexelEdge(p, 0.05)) return false;
          want = sample(expected, p, VG_TILE_REPEAT, {}, false);
          return true;
        },
        kTolerance);
  };
  drawAndCheck(childPixels, "destroyed child image");
  const uint32_t grey = 0x606060FF;
  vgImageSubData(parent, &grey, 4, VG_sRGBA_8888, 2, 1, 1, 1);
  Picture written = childPixels;
  written.rgba[1] = grey;
  drawAndCheck(written, "after a write through the parent");

  // The stroke: a vertical line 40 wide along x = 300, whose paint is the
  // pattern scaled by 10 and moved by (5, 0) in the stroke paint matrix.
  const Affine strokeMatrix = Affine::scale(10, 10).then(Affine::translate(5, 0));
  VGPath line =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  const VGubyte segments[2] = {VG_MOVE_TO_ABS, VG_LINE_TO_ABS};
  const VGfloat coords[4] = {300, 50, 300, 350};
  vgAppendPathData(line, 2, segments, coords);
  clearTo({0, 0, 0, 1});
  loadMatrix(VG_MATRIX_STROKE_PAINT_TO_USER, strokeMatrix);
  loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, Affine::translate(33, 17));
  vgSetPaint(paint, VG_STROKE_PATH);
  vgSetf(VG_STROKE_LINE_WIDTH, 40);
  vgSetfv(VG_STROKE_DASH_PATTERN, 0, nullptr);
  vgDrawPath(line, VG_STROKE_PATH);
  const Pixels px = Pixels::read();
  glutSwapBuffers();
  expectPixels(
      px, 282, 318, 52, 348, "stroke through its paint matrix",
      [&](Vec2 s, Colour& want) {
        const Vec2 p = inverse(strokeMatrix).apply(s);
        if (nearTexelEdge(p, 0.05)) return false;
        want = sample(written, p, VG_TILE_REPEAT, {}, false);
        return true;
      },
      kTolerance);
  vgSetf(VG_STROKE_LINE_WIDTH, 1);
  vgSetPaint(VG_INVALID_HANDLE, VG_FILL_PATH | VG_STROKE_PATH);
  vgDestroyPaint(paint);
  vgDestroyImage(parent);
  vgDestroyPath(path);
  vgDestroyPath(line);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_FASTER);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

// A checkerboard of single black and white pixels drawn at a tenth of its
// size: the better quality filters it to an even grey (the mean of the
// premultiplied sRGB values), where bilinear sampling alone shows whichever
// pixels the centres happen to hit.
TEST(Pattern, BetterQualityFiltersMinifiedPatterns) {
  Picture board{64, 64, {}};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) board.rgba.push_back((x + y) % 2 ? 0xFFFFFFFF : 0x000000FF);
  VGImage image = board.make();
  VGPaint paint = vgCreatePaint();
  vgSetParameteri(paint, VG_PAINT_TYPE, VG_PAINT_TYPE_PATTERN);
  vgSetParameteri(paint, VG_PAINT_PATTERN_TILING_MODE, VG_TILE_REPEAT);
  vgPaintPattern(paint, image);
  VGPath path = rectPath(0, 0, 200, 200);
  double spread[2] = {0, 0};
  const VGImageQuality qualities[2] = {VG_IMAGE_QUALITY_FASTER, VG_IMAGE_QUALITY_BETTER};
  for (int q = 0; q < 2; ++q) {
    vgSeti(VG_IMAGE_QUALITY, qualities[q]);
    clearTo({0, 0, 0, 1});
    loadMatrix(VG_MATRIX_PATH_USER_TO_SURFACE, Affine{});
    loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER,
               Affine::scale(0.1, 0.1).then(Affine::translate(0.25, 0.25)));
    vgSetPaint(paint, VG_FILL_PATH);
    vgDrawPath(path, VG_FILL_PATH);
    const Pixels px = Pixels::read();
    glutSwapBuffers();
    for (int y = 2; y < 198; ++y)
      for (int x = 2; x < 198; ++x) spread[q] = std::max(spread[q], std::abs(px.at(x, y, 0) - 0.5));
  }
  std::printf("minified checkerboard: faster strays %.3f from grey, better %.3f\n", spread[0],
              spread[1]);
  EXPECT_LT(spread[1], 0.06);
  EXPECT_GT(spread[0], 0.2);  // the case is one where filtering matters
  vgSetPaint(VG_INVALID_HANDLE, VG_FILL_PATH);
  vgDestroyPaint(paint);
  vgDestroyImage(image);
  vgDestroyPath(path);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_FASTER);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

namespace {

// A 3 x 3 matrix in vgLoadMatrix's order, column by column.
using Matrix3 = std::array<double, 9>;

Vec2 project(const Matrix3& m, Vec2 p, double* w = nullptr) {
  const double x = m[0] * p.x + m[3] * p.y + m[6], y = m[1] * p.x + m[4] * p.y + m[7];
  const double z = m[2] * p.x + m[5] * p.y + m[8];
  if (w) *w = z;
  return {x / z, y / z};
}

Matrix3 invert3(const Matrix3& m) {
  const double a = m[0], b = m[3], c = m[6], d = m[1], e = m[4], f = m[7], g = m[2], h = m[5],
               i = m[8];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  return {(e * i - f * h) / det,  -(d * i - f * g) / det, (d * h - e * g) / det,
          -(b * i - c * h) / det, (a * i - c * g) / det,  -(a * h - b * g) / det,
          (b * f - c * e) / det,  -(a * f - c * d) / det, (a * e - b * d) / det};
}

void loadImageMatrix(const Matrix3& m) {
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_IMAGE_USER_TO_SURFACE);
  VGfloat v[9];
  for (int i = 0; i < 9; ++i) v[i] = float(m[size_t(i)]);
  vgLoadMatrix(v);
}

// Five by four, translucent and opaque, saturated and grey.
const Picture kImage{
    5, 4, {0xFF000080, 0x00FF00FF, 0x0000FF40, 0xFFFFFFFF, 0x80808080, 0xFF8000FF, 0x20C0A0C0,
           0xFFFFFF00, 0x000000FF, 0x4080FF80, 0xC0C0C0FF, 0xFF00FFFF, 0x00FFFF60, 0x602000FF,
           0xFFFF00A0, 0x102030FF, 0xE0E0E0E0, 0x00FF0020, 0x8040C0FF, 0xFF0000FF}};

const Colour kBackground{0.2, 0.5, 0.8, 1};

}  // namespace

// Each image mode, under affine matrices (the image as its own paint, times
// a colour paint, as a stencil through a translucent colour) and projective
// ones, over an opaque background, compared inside the image with the
// blend worked out here.
TEST(DrawImage, ModesAndMatricesAgainstTheMappingInvertedHere) {
  const std::array<float, 4> paintColour{0.9f, 0.6f, 0.3f, 0.7f};
  VGPaint paint = vgCreatePaint();
  vgSetParameterfv(paint, VG_PAINT_COLOR, 4, paintColour.data());
  VGImage image = kImage.make();
  const Matrix3 affine{24, 6, 0, -8, 30, 0, 120, 90, 1};
  // Perspective: the far side (y = 4) shrinks.
  const Matrix3 projective{60, 0, 0, 20, 40, 0.25, 50, 60, 1};
  // The horizon crosses the image (w = 0 at y = 10 / 3): only the part in
  // front (y < 2.5 on the surface) is drawn, and the corner behind, which
  // would land at the top left, is not.
  const Matrix3 horizon{40, 0, 0, 0, -40, -0.3, -100, 100, 1};
  struct Case {
    const char* what;
    VGImageMode mode;
    VGBlendMode blend;
    Matrix3 matrix;
    VGImageQuality quality;
  } cases[] = {
      {"normal", VG_DRAW_IMAGE_NORMAL, VG_BLEND_SRC_OVER, affine, VG_IMAGE_QUALITY_NONANTIALIASED},
      {"multiply", VG_DRAW_IMAGE_MULTIPLY, VG_BLEND_SRC_OVER, affine,
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"stencil", VG_DRAW_IMAGE_STENCIL, VG_BLEND_SRC_OVER, affine,
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"stencil, multiply blend", VG_DRAW_IMAGE_STENCIL, VG_BLEND_MULTIPLY, affine,
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"stencil, darken", VG_DRAW_IMAGE_STENCIL, VG_BLEND_DARKEN, affine,
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"normal, bilinear", VG_DRAW_IMAGE_NORMAL, VG_BLEND_SRC_OVER, affine,
       VG_IMAGE_QUALITY_FASTER},
      {"projective", VG_DRAW_IMAGE_NORMAL, VG_BLEND_SRC_OVER, projective,
       VG_IMAGE_QUALITY_NONANTIALIASED},
      {"projective, multiply draws as normal", VG_DRAW_IMAGE_MULTIPLY, VG_BLEND_SRC_OVER,
       projective, VG_IMAGE_QUALITY_NONANTIALIASED},
      {"across the horizon", VG_DRAW_IMAGE_NORMAL, VG_BLEND_SRC_OVER, horizon,
       VG_IMAGE_QUALITY_NONANTIALIASED},
  };
  const Colour paintPre{paintColour[0] * paintColour[3], paintColour[1] * paintColour[3],
                        paintColour[2] * paintColour[3], paintColour[3]};
  for (const Case& c : cases) {
    clearTo({float(kBackground[0]), float(kBackground[1]), float(kBackground[2]), 1});
    vgSetPaint(paint, VG_FILL_PATH);
    vgSeti(VG_IMAGE_MODE, c.mode);
    vgSeti(VG_BLEND_MODE, c.blend);
    vgSeti(VG_IMAGE_QUALITY, c.quality);
    loadImageMatrix(c.matrix);
    vgDrawImage(image);
    const Pixels px = Pixels::read();
    glutSwapBuffers();
    vgSeti(VG_BLEND_MODE, VG_BLEND_SRC_OVER);
    const bool projectiveCase = c.matrix[2] != 0 || c.matrix[5] != 0;
    const VGImageMode mode = projectiveCase ? VG_DRAW_IMAGE_NORMAL : c.mode;
    const Matrix3 back = invert3(c.matrix);
    const bool bilinear = c.quality != VG_IMAGE_QUALITY_NONANTIALIASED;
    int behind = 0, drawn = 0;
    const int checked = expectPixels(
        px, 0, W, 0, H, c.what,
        [&](Vec2 s, Colour& want) {
          double w = 0;
          const Vec2 p = project(back, s, &w);
          const bool inRect = p.x > 0 && p.y > 0 && p.x < kImage.width && p.y < kImage.height;
          const bool inside = w > 0 && inRect;
          if (!inside) {
            // Well away from the image, or behind the viewer: the background.
            const Vec2 ahead = w > 0 ? p : Vec2{-9, -9};
            if (w > 0 && ahead.x > -0.3 && ahead.y > -0.3 && ahead.x < kImage.width + 0.3 &&
                ahead.y < kImage.height + 0.3)
              return false;
            behind += w <= 0 && inRect;
            want = kBackground;
            return true;
          }
          // Pixels on the outline are partly covered.
          const Vec2 corners[4] = {{s.x - 0.5, s.y - 0.5},
                                   {s.x + 0.5, s.y - 0.5},
                                   {s.x - 0.5, s.y + 0.5},
                                   {s.x + 0.5, s.y + 0.5}};
          for (const Vec2& k : corners) {
            double kw = 0;
            const Vec2 q = project(back, k, &kw);
            if (kw <= 0 || q.x < 0 || q.y < 0 || q.x > kImage.width || q.y > kImage.height)
              return false;
          }
          if (!bilinear && nearTexelEdge(p, 0.06)) return false;
          const Colour i = sample(kImage, p, VG_TILE_PAD, {}, bilinear);
          ++drawn;
          const Colour& d = kBackground;
          Colour src{}, alpha{};  // premultiplied source, and each channel's alpha
          for (size_t k = 0; k < 4; ++k) {
            if (mode == VG_DRAW_IMAGE_NORMAL) src[k] = i[k];
            if (mode == VG_DRAW_IMAGE_MULTIPLY) src[k] = i[k] * paintPre[k];
            if (mode == VG_DRAW_IMAGE_STENCIL) src[k] = paintPre[k] * i[k];
          }
          for (size_t k = 0; k < 4; ++k)
            alpha[k] = mode == VG_DRAW_IMAGE_STENCIL ? paintPre[3] * i[k] : src[3];
          for (size_t k = 0; k < 3; ++k) {
            const double over = src[k] + d[k] * (1 - alpha[k]);
            if (c.blend == VG_BLEND_SRC_OVER) want[k] = over;
            if (c.blend == VG_BLEND_MULTIPLY)
              want[k] = src[k] * (1 - d[3]) + d[k] * (1 - alpha[k]) + src[k] * d[k];
            if (c.blend == VG_BLEND_DARKEN) want[k] = std::min(over, d[k] + src[k] * (1 - d[3]));
          }
          want[3] = 1;
          return true;
        },
        bilinear ? kFilterTolerance : kTolerance);
    EXPECT_GT(checked, 1000) << c.what;
    EXPECT_GT(drawn, 300) << c.what;
    if (&c == &cases[8]) {
      EXPECT_GT(behind, 1000) << "the horizon lies inside the surface";
    }
  }
  // Wholly behind, or squashed flat: nothing drawn, and no error.
  const Matrix3 nothing[2] = {{40, 0, 0, 0, 40, 0, 100, 100, -1}, {40, 20, 0, 80, 40, 0, 9, 9, 1}};
  for (const Matrix3& m : nothing) {
    clearTo({0, 0, 0, 1});
    vgSeti(VG_IMAGE_MODE, VG_DRAW_IMAGE_NORMAL);
    loadImageMatrix(m);
    vgDrawImage(image);
    const Pixels px = Pixels::read();
    glutSwapBuffers();
    double brightest = 0;
    for (size_t i = 0; i < px.rgba.size(); ++i)  // red and green
      if (i % 4 < 2) brightest = std::max(brightest, px.rgba[i] / 255.0);
    EXPECT_EQ(brightest, 0.0);
  }
  vgDrawImage(paint);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgSeti(VG_IMAGE_MODE, VG_DRAW_IMAGE_NORMAL);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_FASTER);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_IMAGE_USER_TO_SURFACE);
  vgLoadIdentity();
  vgSetPaint(VG_INVALID_HANDLE, VG_FILL_PATH);
  vgDestroyPaint(paint);
  vgDestroyImage(image);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

namespace {

// The window's pixels as the test puts them there and expects them: RGBA
// bytes, bottom row first, all opaque.
struct Model {
  std::vector<uint8_t> rgba = std::vector<uint8_t>(size_t(W) * H * 4);
  uint8_t* at(int x, int y) { return rgba.data() + (size_t(y) * W + size_t(x)) * 4; }
  const uint8_t* at(int x, int y) const { return rgba.data() + (size_t(y) * W + size_t(x)) * 4; }
  static bool inside(int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < W && y < H; }
};

// Different at every pixel near the corners and sides the cases use.
Model knownContent() {
  Model m;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      uint8_t* p = m.at(x, y);
      p[0] = uint8_t(x * 3 + y);
      p[1] = uint8_t(y * 7 + x / 64);
      p[2] = uint8_t((x ^ y) + 40);
      p[3] = 255;
    }
  return m;
}

// Plain OpenGL puts the model on the window.
void drawModel(const Model& m) {
  GLint alignment = 4, rowLength = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glWindowPos2i(0, 0);
  glDrawPixels(W, H, GL_RGBA, GL_UNSIGNED_BYTE, m.rgba.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
}

int mismatches(const Model& want, const char* what) {
  const Pixels px = Pixels::read();
  int wrong = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        const double got = px.at(x, y, ch) * 255;
        const int expected = want.rgba[(size_t(y) * W + size_t(x)) * 4 + size_t(ch)];
        if (std::abs(got - expected) > 0.5 && ++wrong <= 3)
          ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") channel " << ch << " is "
                        << got << ", expected " << expected;
      }
  return wrong;
}

// Runs a pixel call under the application's unusual packing and unpacking,
// which it must neither use nor change, and puts the defaults back.
template <typename Call>
void underOddPixelStore(Call&& call) {
  glPixelStorei(GL_PACK_ALIGNMENT, 2);
  glPixelStorei(GL_PACK_ROW_LENGTH, 3);
  glPixelStorei(GL_PACK_SKIP_ROWS, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 5);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 2);
  call();
  GLint v[5] = {};
  glGetIntegerv(GL_PACK_ALIGNMENT, &v[0]);
  glGetIntegerv(GL_PACK_ROW_LENGTH, &v[1]);
  glGetIntegerv(GL_PACK_SKIP_ROWS, &v[2]);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &v[3]);
  glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &v[4]);
  EXPECT_EQ(v[0], 2);
  EXPECT_EQ(v[1], 3);
  EXPECT_EQ(v[2], 1);
  EXPECT_EQ(v[3], 5);
  EXPECT_EQ(v[4], 2);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

struct PixelRect {
  const char* what;
  VGint x, y, w, h;
};

const PixelRect kEdgeRects[] = {
    {"over the left side", -3, 10, 8, 6},
    {"over the right side", W - 5, 20, 9, 4},
    {"over the bottom", 30, -4, 5, 7},
    {"over the top", 50, H - 2, 6, 5},
    {"over a corner", W - 3, H - 2, 6, 6},
    {"wholly outside", -20, -20, 5, 5},
    {"beyond the int range", 100, 100, INT_MAX, 3},
};

}  // namespace

// Each pixel call against the window's pixels put there and read back by
// plain OpenGL: rectangles over every side, outside, beyond the int range,
// and data rows of either direction. The OpenGL state the calls touch
// (packing, unpacking, bindings) is as it was.
TEST(PixelCalls, EachCallAtTheSurfaceEdgesAgainstPlainOpenGL) {
  const Model content = knownContent();
  VGImage image = vgCreateImage(VG_sRGBA_8888, 12, 9, VG_IMAGE_QUALITY_FASTER);
  std::vector<uint32_t> imagePixels(12 * 9);
  for (size_t k = 0; k < imagePixels.size(); ++k)
    imagePixels[k] = uint32_t(k * 0x01030507u) << 8 | 0xFF;
  GLint texture = 0;
  glBindTexture(GL_TEXTURE_2D, 0);
  for (const PixelRect& r : kEdgeRects) {
    const int w = int(std::min<int64_t>(r.w, 20)), h = r.h;
    for (bool negative : {false, true}) {
      // vgReadPixels: the surface's part of the rectangle, the rest untouched.
      drawModel(content);
      const int stride = negative ? -(w + 2) : w + 2;  // in words
      std::vector<uint32_t> data(size_t(w + 2) * size_t(h), 0xA5A5A5A5);
      uint32_t* first = data.data() + (negative ? size_t(h - 1) * size_t(w + 2) : 0);
      underOddPixelStore([&] { vgReadPixels(first, stride * 4, VG_sABGR_8888, r.x, r.y, w, h); });
      int wrong = 0;
      for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
          const int64_t x = int64_t(r.x) + i, y = int64_t(r.y) + j;
          uint32_t want = 0xA5A5A5A5;
          if (Model::inside(x, y)) std::memcpy(&want, content.at(int(x), int(y)), 4);
          wrong += first[int64_t(j) * stride + i] != want;
        }
      EXPECT_EQ(wrong, 0) << "read " << r.what << (negative ? ", rows down" : "");

      // vgWritePixels: the data's changed pixels land where they are on
      // the surface.
      Model want = content;
      for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
          uint32_t& v = first[int64_t(j) * stride + i];
          v = 0xFF000000u | uint32_t(i * 11) << 16 | uint32_t(j * 13) << 8 | uint32_t(i + j);
          const int64_t x = int64_t(r.x) + i, y = int64_t(r.y) + j;
          if (Model::inside(x, y)) std::memcpy(want.at(int(x), int(y)), &v, 4);
        }
      underOddPixelStore([&] { vgWritePixels(first, stride * 4, VG_sABGR_8888, r.x, r.y, w, h); });
      EXPECT_EQ(mismatches(want, r.what), 0) << "write " << r.what;
      glutSwapBuffers();
    }

    // vgSetPixels from image pixel (2, 1) on, and vgGetPixels back into it.
    drawModel(content);
    vgImageSubData(image, imagePixels.data(), 48, VG_sRGBA_8888, 0, 0, 12, 9);
    Model want = content;
    for (int64_t j = 0; j < r.h && j + 1 < 9; ++j)
      for (int64_t i = 0; i < r.w && i + 2 < 12; ++i) {
        const int64_t x = r.x + i, y = r.y + j;
        if (!Model::inside(x, y)) continue;
        const uint32_t v = imagePixels[size_t((j + 1) * 12 + i + 2)];
        uint8_t* p = want.at(int(x), int(y));
        p[0] = uint8_t(v >> 24);
        p[1] = uint8_t(v >> 16);
        p[2] = uint8_t(v >> 8);
      }
    underOddPixelStore([&] { vgSetPixels(r.x, r.y, image, 2, 1, r.w, r.h); });
    EXPECT_EQ(mismatches(want, r.what), 0) << "set " << r.what;
    drawModel(content);
    underOddPixelStore([&] { vgGetPixels(image, 2, 1, r.x, r.y, r.w, r.h); });
    std::vector<uint32_t> got(12 * 9);
    vgGetImageSubData(image, got.data(), 48, VG_sRGBA_8888, 0, 0, 12, 9);
    int wrong = 0;
    for (int iy = 0; iy < 9; ++iy)
      for (int ix = 0; ix < 12; ++ix) {
        const int64_t x = r.x + int64_t(ix) - 2, y = r.y + int64_t(iy) - 1;
        uint32_t expected = imagePixels[size_t(iy * 12 + ix)];
        if (ix >= 2 && iy >= 1 && ix - 2 < int64_t(r.w) && iy - 1 < int64_t(r.h) &&
            Model::inside(x, y)) {
          const uint8_t* p = content.at(int(x), int(y));
          expected = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | 0xFF;
        }
        wrong += got[size_t(iy * 12 + ix)] != expected;
      }
    EXPECT_EQ(wrong, 0) << "get " << r.what;
    glutSwapBuffers();

    // vgCopyPixels onto the rectangle from 3 pixels left and 2 down of it,
    // overlapping itself.
    drawModel(content);
    want = content;
    for (int64_t j = 0; j < r.h && j < H + 8; ++j)
      for (int64_t i = 0; i < r.w && i < W + 8; ++i) {
        const int64_t x = r.x + i, y = r.y + j;
        if (Model::inside(x, y) && Model::inside(x - 3, y - 2))
          std::memcpy(want.at(int(x), int(y)), content.at(int(x - 3), int(y - 2)), 4);
      }
    underOddPixelStore([&] { vgCopyPixels(r.x, r.y, r.x - 3, r.y - 2, r.w, r.h); });
    EXPECT_EQ(mismatches(want, r.what), 0) << "copy " << r.what;
    glutSwapBuffers();
  }
  // Writes are scissored: two rectangles take the written pixels, the rest
  // keeps what was there.
  drawModel(content);
  const VGint scissors[8] = {10, 10, 5, 5, 12, 30, 3, 2};
  vgSetiv(VG_SCISSOR_RECTS, 8, scissors);
  vgSeti(VG_SCISSORING, VG_TRUE);
  std::vector<uint32_t> white(40 * 40, 0xFFFFFFFF);
  vgWritePixels(white.data(), 160, VG_sABGR_8888, 0, 0, 40, 40);
  vgSeti(VG_SCISSORING, VG_FALSE);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  Model scissored = content;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      if ((x >= 10 && x < 15 && y >= 10 && y < 15) || (x >= 12 && x < 15 && y >= 30 && y < 32))
        std::memset(scissored.at(x, y), 255, 4);
  EXPECT_EQ(mismatches(scissored, "scissored write"), 0);
  glutSwapBuffers();
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  EXPECT_EQ(texture, 0);
  vgDestroyImage(image);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
