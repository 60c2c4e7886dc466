// Whole-process CPU time per frame of two paints the morph benchmarks leave
// out, drawn by the library and by cairo into memory uploaded with
// glDrawPixels, in alternating rounds in the demo's kind of window: the
// morph filled with a linear gradient, and a 256 x 256 image drawn rotated
// (bilinear). Prints each and their ratio with its quartiles. Needs a display
// (DISPLAY). Arguments: frames a run, rounds.
#include <GL/freeglut.h>
#include <VG/openvg.h>
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_util.hpp"
#include "cairo_outline.hpp"
#include "harness.h"
#include "morph.h"

namespace {

constexpr int kSize = 400;
constexpr int kImage = 256;
cairo_surface_t* surface = nullptr;
cairo_surface_t* cairoImage = nullptr;
VGImage image = VG_INVALID_HANDLE;
VGPaint gradient = VG_INVALID_HANDLE;
int frame = 0;

// The whole cycle in 120 frames, as stroke_cost does.
float nextAmount() {
  return 0.5f - 0.5f * float(std::cos(2 * 3.14159265358979 * (frame++ % 120) / 120.0));
}

void clearBlack() {
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, kSize, kSize);
}

void libraryGradient() {
  const float amount = nextAmount();
  vgClearPath(morphScene.morphPath, VG_PATH_CAPABILITY_ALL);
  vgInterpolatePath(morphScene.morphPath, morphScene.startPath, morphScene.endPath, amount);
  clearBlack();
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  vgTranslate(kSize / 2, kSize / 2);
  vgSetPaint(gradient, VG_FILL_PATH);
  vgDrawPath(morphScene.morphPath, VG_FILL_PATH);
}

void cairoGradient() {
  const float amount = nextAmount();
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  bench::cairoMorphOutline(cr, amount, kSize / 2);
  cairo_pattern_t* ramp = cairo_pattern_create_linear(100, 100, 300, 300);
  cairo_pattern_add_color_stop_rgba(ramp, 0, 1, 0.8, 0.2, 1);
  cairo_pattern_add_color_stop_rgba(ramp, 1, 0.2, 0.4, 1, 1);
  cairo_set_source(cr, ramp);
  cairo_fill(cr);
  cairo_pattern_destroy(ramp);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  bench::uploadRows(kSize, kSize, cairo_image_surface_get_data(surface));
}

// A turn of 3 degrees a frame about the window's centre.
double nextDegrees() { return 3.0 * (frame++ % 120); }

void libraryImage() {
  const double degrees = nextDegrees();
  clearBlack();
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_IMAGE_USER_TO_SURFACE);
  vgLoadIdentity();
  vgTranslate(kSize / 2, kSize / 2);
  vgRotate(float(degrees));
  vgTranslate(-kImage / 2, -kImage / 2);
  vgDrawImage(image);
}

void cairoImageFrame() {
  const double degrees = nextDegrees();
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  // y up, as the rows go to OpenGL: the turn goes the same way as ours.
  cairo_translate(cr, kSize / 2, kSize / 2);
  cairo_rotate(cr, degrees * 3.14159265358979 / 180.0);
  cairo_translate(cr, -kImage / 2, -kImage / 2);
  cairo_set_source_surface(cr, cairoImage, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  bench::uploadRows(kSize, kSize, cairo_image_surface_get_data(surface));
}

// An opaque picture with detail in both directions.
std::vector<std::uint32_t> imagePixels() {
  std::vector<std::uint32_t> p(size_t(kImage) * kImage);
  for (int y = 0; y < kImage; ++y)
    for (int x = 0; x < kImage; ++x) {
      const std::uint32_t r = std::uint32_t(x), g = std::uint32_t(y),
                          b = ((x / 16 + y / 16) % 2) * 255u;
      p[size_t(y) * kImage + size_t(x)] = 0xFF000000u | r << 16 | g << 8 | b;
    }
  return p;
}

void report(const char* what, const bench::Comparison& c, int rounds) {
  std::printf(
      "%s: Tarquel %.1f us/frame, cairo %.1f us/frame, ratio %.3f (quartiles %.3f to %.3f, %d "
      "rounds)\n",
      what, c.ourMedian() * 1e6, c.theirMedian() * 1e6, c.ratio(), c.ratioLow(), c.ratioHigh(),
      rounds);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 120;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  harnessInit(argc, argv, kSize, kSize, "Tarquel: Path Interpolation Test");
  buildMorphScene();
  surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);

  gradient = vgCreatePaint();
  vgSetParameteri(gradient, VG_PAINT_TYPE, VG_PAINT_TYPE_LINEAR_GRADIENT);
  // The same ramp as cairo's, in the library's surface coordinates (the
  // path matrix moves the outline's origin to the centre).
  const VGfloat ends[4] = {-100, 100, 100, -100};
  vgSetParameterfv(gradient, VG_PAINT_LINEAR_GRADIENT, 4, ends);
  const VGfloat stops[10] = {0, 1, 0.8f, 0.2f, 1, 1, 0.2f, 0.4f, 1, 1};
  vgSetParameterfv(gradient, VG_PAINT_COLOR_RAMP_STOPS, 10, stops);

  const std::vector<std::uint32_t> pixels = imagePixels();
  image = vgCreateImage(VG_sARGB_8888, kImage, kImage, VG_IMAGE_QUALITY_BETTER);
  vgImageSubData(image, pixels.data(), kImage * 4, VG_sARGB_8888, 0, 0, kImage, kImage);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_BETTER);
  cairoImage = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels.data())),
      CAIRO_FORMAT_ARGB32, kImage, kImage, kImage * 4);
  for (int i = 0; i < 30; ++i) glutMainLoopEvent();  // map the window

  report("morph, linear gradient", bench::alternate(libraryGradient, cairoGradient, frames, rounds),
         rounds);
  report("256 x 256 image, rotated, bilinear",
         bench::alternate(libraryImage, cairoImageFrame, frames, rounds), rounds);
  return vgGetError() == VG_NO_ERROR ? 0 : 1;
}
