// Cost against the number of segments: one closed path of S cubic segments,
// interpolated between two shapes, turned, filled and stroked each frame, by
// the library and by cairo (which fills and strokes the same geometry, the
// interpolation done here) into memory uploaded with glDrawPixels, in
// alternating rounds in the demo's kind of window. Prints, for each S, both
// costs, segments per second and the ratio with its quartiles. Needs a
// display (DISPLAY). Arguments: rounds, then the values of S (default 16
// 1000 100000 1000000).
#include <GL/freeglut.h>
#include <VG/openvg.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_util.hpp"
#include "harness.h"

namespace {

constexpr int kSize = 400;
constexpr double kPi = 3.14159265358979;
constexpr float kWidth = 2.0f;

// Control and end points of count cubics around a wobbling circle of radius
// 150 about the origin: x0 y0 (the start), then six per segment.
std::vector<float> wobble(int count, int waves) {
  std::vector<float> c;
  c.reserve(size_t(count) * 6 + 2);
  auto at = [&](double t, double& x, double& y) {
    const double r = 150.0 + 12.0 * std::sin(waves * t);
    x = r * std::cos(t);
    y = r * std::sin(t);
  };
  double x = 0, y = 0;
  at(0, x, y);
  c.push_back(float(x));
  c.push_back(float(y));
  for (int i = 0; i < count; ++i) {
    for (int k = 1; k <= 3; ++k) {
      at(2 * kPi * (i + k / 3.0) / count, x, y);
      c.push_back(float(x));
      c.push_back(float(y));
    }
  }
  return c;
}

struct Scene {
  int segments = 0;
  std::vector<float> from, to, mixed;
  VGPath start = VG_INVALID_HANDLE, end = VG_INVALID_HANDLE, morph = VG_INVALID_HANDLE;
};
Scene scene;
cairo_surface_t* surface = nullptr;
VGPaint fillPaint = VG_INVALID_HANDLE, strokePaint = VG_INVALID_HANDLE;
int frame = 0;

VGPath makePath(const std::vector<float>& coords, int segments) {
  VGPath p =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  std::vector<VGubyte> commands(size_t(segments) + 2, VG_CUBIC_TO_ABS);
  commands.front() = VG_MOVE_TO_ABS;
  commands.back() = VG_CLOSE_PATH;
  vgAppendPathData(p, VGint(commands.size()), commands.data(), coords.data());
  return p;
}

void makeScene(int segments) {
  if (scene.start != VG_INVALID_HANDLE) {
    vgDestroyPath(scene.start);
    vgDestroyPath(scene.end);
    vgDestroyPath(scene.morph);
  }
  scene = Scene{};
  scene.segments = segments;
  scene.from = wobble(segments, 5);
  scene.to = wobble(segments, 9);
  scene.mixed.resize(scene.from.size());
  scene.start = makePath(scene.from, segments);
  scene.end = makePath(scene.to, segments);
  scene.morph =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
}

float nextAmount() { return 0.5f - 0.5f * float(std::cos(2 * kPi * (frame % 120) / 120.0)); }
double nextDegrees() { return 3.0 * (frame++ % 120); }

void libraryFrame() {
  const float amount = nextAmount();
  const double degrees = nextDegrees();
  vgClearPath(scene.morph, VG_PATH_CAPABILITY_ALL);
  vgInterpolatePath(scene.morph, scene.start, scene.end, amount);
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, kSize, kSize);
  vgLoadIdentity();
  vgTranslate(kSize / 2, kSize / 2);
  vgRotate(float(degrees));
  vgDrawPath(scene.morph, VG_FILL_PATH | VG_STROKE_PATH);
}

void cairoFrame() {
  const float amount = nextAmount();
  const double degrees = nextDegrees();
  const std::vector<float>& a = scene.from;
  const std::vector<float>& b = scene.to;
  for (size_t i = 0; i < a.size(); ++i) scene.mixed[i] = a[i] + (b[i] - a[i]) * amount;
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  cairo_translate(cr, kSize / 2, kSize / 2);
  cairo_rotate(cr, degrees * kPi / 180.0);
  const float* c = scene.mixed.data();
  cairo_move_to(cr, c[0], c[1]);
  for (int i = 0; i < scene.segments; ++i) {
    const float* p = c + 2 + 6 * size_t(i);
    cairo_curve_to(cr, p[0], p[1], p[2], p[3], p[4], p[5]);
  }
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.2, 0.4, 1);
  cairo_set_line_width(cr, kWidth);
  cairo_stroke(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  bench::uploadRows(kSize, kSize, cairo_image_surface_get_data(surface));
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<int> counts;
  for (int i = 2; i < argc; ++i) counts.push_back(std::max(1, std::atoi(argv[i])));
  if (counts.empty()) counts = {16, 1000, 100000, 1000000};
  harnessInit(argc, argv, kSize, kSize, "Tarquel: Path Interpolation Test");
  surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  fillPaint = vgCreatePaint();
  strokePaint = vgCreatePaint();
  const VGfloat white[4] = {1, 1, 1, 1}, blue[4] = {0.2f, 0.4f, 1, 1};
  vgSetParameterfv(fillPaint, VG_PAINT_COLOR, 4, white);
  vgSetParameterfv(strokePaint, VG_PAINT_COLOR, 4, blue);
  vgSetPaint(fillPaint, VG_FILL_PATH);
  vgSetPaint(strokePaint, VG_STROKE_PATH);
  vgSetf(VG_STROKE_LINE_WIDTH, kWidth);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  for (int i = 0; i < 30; ++i) glutMainLoopEvent();  // map the window
  std::printf(
      "segments  Tarquel us/frame  cairo us/frame  Tarquel segments/s  cairo segments/s  ratio "
      "(quartiles)\n");
  for (int n : counts) {
    makeScene(n);
    const int frames = std::clamp(200000 / n, 2, 100);
    bench::Comparison c = bench::alternate(libraryFrame, cairoFrame, frames, rounds);
    std::printf("%8d  %16.1f  %14.1f  %18.3g  %16.3g  %.3f (%.3f to %.3f)\n", n,
                c.ourMedian() * 1e6, c.theirMedian() * 1e6, n / c.ourMedian(), n / c.theirMedian(),
                c.ratio(), c.ratioLow(), c.ratioHigh());
    std::fflush(stdout);
  }
  return vgGetError() == VG_NO_ERROR ? 0 : 1;
}
