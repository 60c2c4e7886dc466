// Gradient paints in a real window, held against the ramp evaluated here, in
// double precision, at each pixel's centre.
#include <VG/openvg.h>
#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "coverage_reference.hpp"
#include "gl_window.hpp"

using namespace tqtest;

namespace {

constexpr int W = 400;
constexpr int H = 400;
// Each pixel within one 8-bit step of the exact value, and one more for
// the framebuffer's rounding.
constexpr double kTolerance = 2.0 / 255;
// How far the library moves a focal point outside the circle in: to this
// fraction of the radius from the centre.
constexpr double kFocalFraction = 0.999;

using Colour = std::array<double, 4>;

struct Stop {
  double offset;
  Colour colour;
};

struct Ramp {
  std::vector<Stop> stops;  // valid and rising, as the application gives them
  bool premultiplied;
};

double spread(VGColorRampSpreadMode mode, double t) {
  switch (mode) {
    case VG_COLOR_RAMP_SPREAD_REPEAT:
      return t - std::floor(t);
    case VG_COLOR_RAMP_SPREAD_REFLECT: {
      const double u = t - 2 * std::floor(t / 2);
      return u > 1 ? 2 - u : u;
    }
    default:
      return std::clamp(t, 0.0, 1.0);
  }
}

// The premultiplied colour at ramp position t in [0, 1].
Colour rampAt(const Ramp& ramp, double t) {
  const std::vector<Stop>& s = ramp.stops;
  Colour c = s.front().colour;
  bool straight = true;  // c not premultiplied yet
  if (t >= s.back().offset) {
    c = s.back().colour;
  } else if (t > s.front().offset) {
    size_t i = 1;
    while (s[i].offset < t) ++i;
    const double f = (t - s[i - 1].offset) / (s[i].offset - s[i - 1].offset);
    for (int k = 0; k < 4; ++k) {
      double lo = s[i - 1].colour[size_t(k)], hi = s[i].colour[size_t(k)];
      if (ramp.premultiplied && k < 3) {
        lo *= s[i - 1].colour[3];
        hi *= s[i].colour[3];
      }
      c[size_t(k)] = lo + (hi - lo) * f;
    }
    straight = !ramp.premultiplied;
  }
  if (straight)
    for (int k = 0; k < 3; ++k) c[size_t(k)] *= c[3];
  return c;
}

// The standard's radial function: t where p lies on the circle of radius
// t r about f + t (c - f).
double radialT(Vec2 p, Vec2 c, Vec2 f, double r) {
  const double fx = f.x - c.x, fy = f.y - c.y;
  const double dx = p.x - f.x, dy = p.y - f.y;
  const double cross = dx * fy - dy * fx;
  const double root = std::sqrt(std::max(0.0, r * r * (dx * dx + dy * dy) - cross * cross));
  return (dx * fx + dy * fy + root) / (r * r - fx * fx - fy * fy);
}

// Focal point moved inside the circle as the library does.
Vec2 focalInside(Vec2 c, Vec2 f, double r) {
  const double dx = f.x - c.x, dy = f.y - c.y, d = std::hypot(dx, dy);
  if (d <= kFocalFraction * r) return f;
  return {c.x + dx * kFocalFraction * r / d, c.y + dy * kFocalFraction * r / d};
}

VGPaint makeGradient(VGPaintType type, const std::vector<float>& geometry, const Ramp& ramp,
                     VGColorRampSpreadMode mode) {
  VGPaint p = vgCreatePaint();
  vgSetParameteri(p, VG_PAINT_TYPE, type);
  vgSetParameterfv(
      p,
      type == VG_PAINT_TYPE_LINEAR_GRADIENT ? VG_PAINT_LINEAR_GRADIENT : VG_PAINT_RADIAL_GRADIENT,
      VGint(geometry.size()), geometry.data());
  std::vector<float> stops;
  for (const Stop& s : ramp.stops) {
    stops.push_back(float(s.offset));
    for (double v : s.colour) stops.push_back(float(v));
  }
  vgSetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, VGint(stops.size()), stops.data());
  vgSetParameteri(p, VG_PAINT_COLOR_RAMP_SPREAD_MODE, mode);
  vgSetParameteri(p, VG_PAINT_COLOR_RAMP_PREMULTIPLIED, ramp.premultiplied);
  return p;
}

void clearToBlack() {
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, W, H);
}

struct Pixels : BackBufferPixels {
  static Pixels read() { return {BackBufferPixels::read(W, H)}; }
};

// Over opaque black, source-over leaves the premultiplied paint. Checks
// every 5th pixel of [x0, x1) x [y0, y1) against expected at its centre;
// skip() drops pixels next to a step of the ramp. Returns how many were
// checked.
int expectPixels(const Pixels& px, int x0, int x1, int y0, int y1, const char* what,
                 const std::function<Colour(Vec2)>& expected,
                 const std::function<bool(Vec2)>& skip = nullptr) {
  int checked = 0, failures = 0;
  double worst = 0;
  for (int y = y0; y < y1; y += 5) {
    for (int x = x0; x < x1; x += 5) {
      const Vec2 centre{x + 0.5, y + 0.5};
      if (skip && skip(centre)) continue;
      const Colour want = expected(centre);
      ++checked;
      for (int ch = 0; ch < 3; ++ch) {
        const double err = std::abs(px.at(x, y, ch) - want[size_t(ch)]);
        worst = std::max(worst, err);
        if (err > kTolerance && ++failures <= 3)
          ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") channel " << ch << " is "
                        << px.at(x, y, ch) << ", expected " << want[size_t(ch)];
      }
    }
  }
  std::printf("%-44s %5d pixels, worst error %.2f/255\n", what, checked, worst * 255);
  EXPECT_EQ(failures, 0) << what;
  return checked;
}

// A square path of side 180 in user space, drawn at (20, 20) to (380, 380).
const Affine kPathMatrix = Affine::scale(2, 2).then(Affine::translate(20, 20));

VGPath userSquare() {
  VGPath path =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  const VGubyte segments[5] = {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS,
                               VG_CLOSE_PATH};
  const VGfloat coords[8] = {0, 0, 180, 0, 180, 180, 0, 180};
  vgAppendPathData(path, 5, segments, coords);
  return path;
}

// Draws a path under the path matrix with the fill paint and its matrix.
Pixels fillAndRead(VGPath path, VGPaint paint, const Affine& paintMatrix) {
  clearToBlack();
  loadMatrix(VG_MATRIX_PATH_USER_TO_SURFACE, kPathMatrix);
  loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, paintMatrix);
  vgSetPaint(paint, VG_FILL_PATH);
  vgDrawPath(path, VG_FILL_PATH);
  Pixels px = Pixels::read();
  glutSwapBuffers();
  return px;
}

const Ramp kOpaque{{{0.1, {1, 0, 0, 1}}, {0.4, {0, 1, 0.5, 1}}, {0.9, {0.2, 0.3, 1, 1}}}, true};
const Ramp kTranslucentPremultiplied{
    {{0.1, {1, 0, 0, 1}}, {0.35, {0, 1, 0, 0.2}}, {0.6, {0, 0.4, 1, 0.9}}, {0.9, {1, 1, 1, 0.5}}},
    true};
const Ramp kTranslucentStraight{kTranslucentPremultiplied.stops, false};

}  // namespace

TEST(Gradient, EachKindAndSpreadMatchesTheRampAtPixelCentres) {
  const Affine paintMatrix =
      Affine::rotateDegrees(25).then(Affine::scale(1.3, 0.7)).then(Affine::translate(40, 10));
  const Affine surfaceToPaint = inverse(paintMatrix.then(kPathMatrix));
  const std::vector<float> linear{10, 20, 60, 45};
  const std::vector<float> radial{50, 60, 62, 52, 45};  // focal point inside
  struct RampCase {
    const char* name;
    const Ramp* ramp;
  } ramps[] = {{"opaque", &kOpaque},
               {"premultiplied", &kTranslucentPremultiplied},
               {"not premultiplied", &kTranslucentStraight}};
  VGPath path = userSquare();
  for (VGPaintType type : {VG_PAINT_TYPE_LINEAR_GRADIENT, VG_PAINT_TYPE_RADIAL_GRADIENT}) {
    for (VGColorRampSpreadMode mode :
         {VG_COLOR_RAMP_SPREAD_PAD, VG_COLOR_RAMP_SPREAD_REPEAT, VG_COLOR_RAMP_SPREAD_REFLECT}) {
      for (const RampCase& r : ramps) {
        const bool isLinear = type == VG_PAINT_TYPE_LINEAR_GRADIENT;
        auto t = [&](Vec2 surface) {
          const Vec2 p = surfaceToPaint.apply(surface);
          if (!isLinear) return radialT(p, {50, 60}, {62, 52}, 45);
          const double dx = 50, dy = 25;
          return ((p.x - 10) * dx + (p.y - 20) * dy) / (dx * dx + dy * dy);
        };
        char what[96];
        std::snprintf(what, sizeof what, "%s, spread %x, %s", isLinear ? "linear" : "radial",
                      unsigned(mode), r.name);
        VGPaint paint = makeGradient(type, isLinear ? linear : radial, *r.ramp, mode);
        const Pixels px = fillAndRead(path, paint, paintMatrix);
        vgDestroyPaint(paint);
        // Repeating ramps step from the last colour to the first at whole t.
        auto nearStep = [&](Vec2 p) {
          const double u = t(p);
          return mode == VG_COLOR_RAMP_SPREAD_REPEAT && std::abs(u - std::round(u)) < 0.02;
        };
        const int checked = expectPixels(
            px, 24, 376, 24, 376, what, [&](Vec2 p) { return rampAt(*r.ramp, spread(mode, t(p))); },
            nearStep);
        EXPECT_GT(checked, 3000) << what;
      }
    }
  }
  vgDestroyPath(path);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Along a ramp from black to white over 300 pixels every pixel steps by at
// most one 8-bit level from the one before: no bands of a coarse table.
TEST(Gradient, ARampShowsNoBandsBeyondEightBitSteps) {
  const Ramp greys{{{0, {0, 0, 0, 1}}, {1, {1, 1, 1, 1}}}, true};
  VGPaint paint =
      makeGradient(VG_PAINT_TYPE_LINEAR_GRADIENT, {30, 0, 180, 0}, greys, VG_COLOR_RAMP_SPREAD_PAD);
  VGPath path = userSquare();
  const Pixels px = fillAndRead(path, paint, Affine{});
  int levels = 0;
  for (int x = 81; x < 380; ++x) {
    const float step = px.at(x, 200, 0) - px.at(x - 1, 200, 0);
    EXPECT_GE(step, 0.0f) << x;
    EXPECT_LE(step, 1.01f / 255) << x;
    levels += step > 0;
  }
  EXPECT_GT(levels, 200);  // nearly every level of the 255 appears
  vgDestroyPath(path);
  vgDestroyPaint(paint);
}

// A focal point outside the circle is moved onto it (just inside); pad
// spreads the far side's large t to the last stop. Gradients with no extent
// paint their last stop's colour.
TEST(Gradient, FocalPointOutsideTheCircleAndGradientsWithoutExtent) {
  const Affine paintMatrix = Affine::scale(0.8, 1.2).then(Affine::translate(10, -5));
  const Affine surfaceToPaint = inverse(paintMatrix.then(kPathMatrix));
  const Ramp& ramp = kTranslucentPremultiplied;
  VGPath path = userSquare();

  VGPaint outside = makeGradient(VG_PAINT_TYPE_RADIAL_GRADIENT, {90, 80, 150, 80, 40}, ramp,
                                 VG_COLOR_RAMP_SPREAD_PAD);
  Pixels px = fillAndRead(path, outside, paintMatrix);
  vgDestroyPaint(outside);
  const Vec2 focus = focalInside({90, 80}, {150, 80}, 40);
  auto radial = [&](Vec2 s) { return radialT(surfaceToPaint.apply(s), {90, 80}, focus, 40); };
  auto unbounded = [&](Vec2 s) { return !std::isfinite(radial(s)); };
  expectPixels(
      px, 24, 376, 24, 376, "radial, focal point outside",
      [&](Vec2 s) { return rampAt(ramp, spread(VG_COLOR_RAMP_SPREAD_PAD, radial(s))); }, unbounded);
  // The far side of the focal point is all last stop.
  const Vec2 beyond = inverse(surfaceToPaint).apply({170, 80});
  const Colour last = rampAt(ramp, 1);
  EXPECT_NEAR(px.at(int(beyond.x), int(beyond.y), 0), last[0], kTolerance);

  struct Degenerate {
    const char* what;
    VGPaintType type;
    std::vector<float> geometry;
  } degenerate[] = {
      {"linear, equal end points", VG_PAINT_TYPE_LINEAR_GRADIENT, {40, 40, 40, 40}},
      {"radial, radius 0", VG_PAINT_TYPE_RADIAL_GRADIENT, {90, 80, 90, 80, 0}},
      {"radial, negative radius", VG_PAINT_TYPE_RADIAL_GRADIENT, {90, 80, 100, 80, -10}},
  };
  for (const Degenerate& d : degenerate) {
    for (VGColorRampSpreadMode mode : {VG_COLOR_RAMP_SPREAD_PAD, VG_COLOR_RAMP_SPREAD_REFLECT}) {
      VGPaint paint = makeGradient(d.type, d.geometry, ramp, mode);
      px = fillAndRead(path, paint, paintMatrix);
      vgDestroyPaint(paint);
      expectPixels(px, 24, 376, 24, 376, d.what, [&](Vec2) { return last; });
    }
  }
  vgDestroyPath(path);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

// A stroke takes its gradient through the stroke paint-to-user matrix, not
// the fill's.
TEST(Gradient, StrokeUsesTheStrokePaintMatrix) {
  const Affine strokeMatrix = Affine::rotateDegrees(90).then(Affine::translate(0, 30));
  const Affine fillMatrix = Affine::translate(70, 0);
  const Ramp& ramp = kOpaque;
  VGPaint paint = makeGradient(VG_PAINT_TYPE_LINEAR_GRADIENT, {0, 0, 100, 0}, ramp,
                               VG_COLOR_RAMP_SPREAD_REFLECT);
  VGPath path =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  const VGubyte segments[2] = {VG_MOVE_TO_ABS, VG_LINE_TO_ABS};
  const VGfloat coords[4] = {100, 20, 100, 170};  // upwards in user space
  vgAppendPathData(path, 2, segments, coords);
  clearToBlack();
  loadMatrix(VG_MATRIX_PATH_USER_TO_SURFACE, kPathMatrix);
  loadMatrix(VG_MATRIX_STROKE_PAINT_TO_USER, strokeMatrix);
  loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, fillMatrix);
  vgSetPaint(paint, VG_STROKE_PATH);
  vgSetf(VG_STROKE_LINE_WIDTH, 40);
  vgSeti(VG_STROKE_CAP_STYLE, VG_CAP_BUTT);
  vgSetfv(VG_STROKE_DASH_PATTERN, 0, nullptr);  // earlier tests may leave one
  vgDrawPath(path, VG_STROKE_PATH);
  const Pixels px = Pixels::read();
  glutSwapBuffers();
  const Affine surfaceToPaint = inverse(strokeMatrix.then(kPathMatrix));
  // The stroke covers x 180 to 260 on the surface, y 60 to 360.
  expectPixels(px, 184, 256, 64, 356, "stroke, linear, reflect", [&](Vec2 s) {
    const Vec2 p = surfaceToPaint.apply(s);
    return rampAt(ramp, spread(VG_COLOR_RAMP_SPREAD_REFLECT, p.x / 100));
  });
  vgSetf(VG_STROKE_LINE_WIDTH, 1);
  vgSetPaint(VG_INVALID_HANDLE, VG_STROKE_PATH);
  vgDestroyPaint(paint);
  vgDestroyPath(path);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

// Gradient programs are made once: later draws, new ramps included, make no
// shader or program objects.
TEST(Gradient, DrawsAfterTheFirstMakeNoPrograms) {
  auto nextProgram = [] {
    const GLuint p = glCreateProgram();
    glDeleteProgram(p);
    return p;
  };
  VGPath path = userSquare();
  auto frame = [&](int i) {
    const Ramp ramp{{{0, {1, 0, 0, 1}}, {1, {0, 0, 1, 0.5 + 0.01 * (i % 50)}}}, i % 2 == 0};
    for (VGPaintType type : {VG_PAINT_TYPE_LINEAR_GRADIENT, VG_PAINT_TYPE_RADIAL_GRADIENT}) {
      VGPaint paint = makeGradient(type,
                                   type == VG_PAINT_TYPE_LINEAR_GRADIENT
                                       ? std::vector<float>{0, 0, 100, 100}
                                       : std::vector<float>{90, 90, 80, 80, 60},
                                   ramp, VG_COLOR_RAMP_SPREAD_REPEAT);
      fillAndRead(path, paint, Affine{});
      vgDestroyPaint(paint);
    }
  };
  for (int i = 0; i < 2; ++i) frame(i);
  const GLuint first = nextProgram(), before = nextProgram();
  for (int i = 0; i < 20; ++i) frame(i);
  const GLuint after = nextProgram();
  EXPECT_EQ(after - before, before - first);
  vgDestroyPath(path);
}
