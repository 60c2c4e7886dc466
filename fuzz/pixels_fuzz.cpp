// Images drawn and the surface's pixels in a real OpenGL context: pattern
// paints with any images, tiling modes and qualities; vgDrawImage under any
// image matrix (projective and singular ones included), mode and blend; and
// the five pixel calls between images or memory and the surface with any
// handles, rectangles, strides and formats. Data buffers hold exactly the
// bytes of the pixels a call keeps after clipping, so AddressSanitizer sees
// any access outside them; a failed call leaves the data and images as they
// were, reading the surface never changes the data's other bytes, and no
// call leaves an OpenGL error behind. The window opens once, on the display
// DISPLAY names (scripts/fuzz starts a private Xvfb).
#include <VG/openvg.h>
#include <VG/vgext.h>
#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>
#include <sanitizer/lsan_interface.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/context.hpp"
#include "core/image.hpp"
#include "core/pixel_formats.hpp"
#include "fuzz_input.hpp"
#include "image_input.hpp"

namespace {

using tqfuzz::checkedOn;
using tqfuzz::Input;
using tqfuzz::internalImage;
using tqfuzz::snapshot;

constexpr int kWindowSize = 96;

int gMaxViewport[2] = {0, 0};

void checkGl(const char* after) {
  const GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    std::fprintf(stderr, "OpenGL error 0x%x after %s\n", err, after);
    std::abort();
  }
}

VGint coordinate(Input& in) { return in.pick(6) == 0 ? in.integer() : in.range<VGint>(-40, 140); }
VGint extent(Input& in) { return in.pick(6) == 0 ? in.integer() : in.range<VGint>(-1, 140); }

VGImage createImage(Input& in) {
  const VGint format = in.oneOf(tqfuzz::kImageFormats);
  const VGint w = in.pick(4) == 0 ? in.integer() : in.range<VGint>(-1, 40);
  const VGint h = in.pick(4) == 0 ? in.integer() : in.range<VGint>(-1, 40);
  const VGbitfield quality = in.pick(8) == 0 ? VGbitfield(in.u32()) : in.range<VGbitfield>(1, 7);
  if (tq::checkImageSize(w, h) == VG_NO_ERROR && int64_t(w) * h > 128 * 128) return 0;
  const VGImage image = vgCreateImage(VGImageFormat(format), w, h, quality);
  if (image != VG_INVALID_HANDLE && in.flag()) {
    // Something other than transparent black to draw.
    VGfloat colour[4];
    for (float& c : colour) c = float(in.range<int>(0, 4)) / 4.0f;
    vgSetfv(VG_CLEAR_COLOR, 4, colour);
    vgClearImage(image, in.range<VGint>(-2, 20), in.range<VGint>(-2, 20), in.range<VGint>(1, 30),
                 in.range<VGint>(1, 30));
  }
  return image;
}

// The drawable surface: what the pixel calls clip against.
void surfaceBounds(int64_t& width, int64_t& height) {
  const tq::Context* ctx = tq::currentContext();
  width = std::min<int64_t>(ctx->surfaceWidth, gMaxViewport[0]);
  height = std::min<int64_t>(ctx->surfaceHeight, gMaxViewport[1]);
}

// Data for vgWritePixels or vgReadPixels, for the part of the rectangle
// inside the surface.
void makeData(Input& in, tqfuzz::PixelData& d, VGint format, VGint stride, VGint x, VGint y,
              VGint w, VGint h) {
  int64_t surfaceW = 0, surfaceH = 0;
  surfaceBounds(surfaceW, surfaceH);
  tqfuzz::makePixelData(in, d, format, stride, x, y, w, h, surfaceW, surfaceH);
}

void memoryCall(Input& in, bool write) {
  const VGint format = in.oneOf(tqfuzz::kImageFormats);
  const VGint x = coordinate(in), y = coordinate(in), w = extent(in), h = extent(in);
  const VGint stride = in.pick(8) == 0 ? in.range<VGint>(-64, 64) * 4 + in.range<VGint>(0, 3)
                                       : in.range<VGint>(-150, 150) * 4;
  tqfuzz::takeError();
  tqfuzz::PixelData d;
  makeData(in, d, format, stride, x, y, w, h);
  const std::vector<uint8_t> data0(d.buffer, d.buffer + d.size);
  if (write)
    vgWritePixels(d.pointer, stride, VGImageFormat(format), x, y, w, h);
  else
    vgReadPixels(d.pointer, stride, VGImageFormat(format), x, y, w, h);
  const VGErrorCode err = tqfuzz::takeError();
  if (write || err != VG_NO_ERROR) TQ_FUZZ_CHECK(std::equal(data0.begin(), data0.end(), d.buffer));
}

void patternPaint(Input& in, tqfuzz::Handles& paints, tqfuzz::Handles& images) {
  static constexpr int32_t kTiling[] = {VG_TILE_FILL,    VG_TILE_PAD, VG_TILE_REPEAT,
                                        VG_TILE_REFLECT, 0,           0x1D04};
  switch (in.pick(4)) {
    case 0: {
      const VGPaint p = vgCreatePaint();
      vgSetParameteri(p, VG_PAINT_TYPE, VG_PAINT_TYPE_PATTERN);
      paints.add(p);
      break;
    }
    case 1:
      vgPaintPattern(paints.any(in), in.pick(4) == 0 ? VG_INVALID_HANDLE : images.any(in));
      break;
    case 2:
      vgSetParameteri(paints.any(in), VG_PAINT_PATTERN_TILING_MODE, in.oneOf(kTiling));
      break;
    default: {
      const VGPaint p = paints.any(in);
      vgSetPaint(p, VGbitfield(in.range(1, 3)));
      if (in.flag()) {
        vgDestroyPaint(p);
        paints.retire(p);
      }
      break;
    }
  }
}

void context(Input& in) {
  static constexpr int32_t kQualities[] = {VG_IMAGE_QUALITY_NONANTIALIASED, VG_IMAGE_QUALITY_FASTER,
                                           VG_IMAGE_QUALITY_BETTER, 3};
  static constexpr int32_t kModes[] = {VG_DRAW_IMAGE_NORMAL, VG_DRAW_IMAGE_MULTIPLY,
                                       VG_DRAW_IMAGE_STENCIL, 0x1F03};
  static constexpr int32_t kBlendModes[] = {
      VG_BLEND_SRC,      VG_BLEND_SRC_OVER, VG_BLEND_DST_OVER, VG_BLEND_SRC_IN,  VG_BLEND_DST_IN,
      VG_BLEND_MULTIPLY, VG_BLEND_SCREEN,   VG_BLEND_DARKEN,   VG_BLEND_LIGHTEN, VG_BLEND_ADDITIVE};
  switch (in.pick(7)) {
    case 0:
      vgSeti(VG_IMAGE_QUALITY, in.oneOf(kQualities));
      break;
    case 1:
      vgSeti(VG_IMAGE_MODE, in.oneOf(kModes));
      break;
    case 2:
      vgSeti(VG_BLEND_MODE, in.oneOf(kBlendModes));
      break;
    case 3: {
      VGfloat c[4];
      for (float& v : c) v = in.pick(2) ? float(in.range<int>(-2, 8)) / 4.0f : in.number();
      vgSetfv(VG_TILE_FILL_COLOR, 4, c);
      break;
    }
    case 4: {
      std::vector<VGint> r(size_t(in.range<int>(0, 3)) * 4);
      for (VGint& v : r) v = in.range<VGint>(-16, 120);
      vgSetiv(VG_SCISSOR_RECTS, VGint(r.size()), r.data());
      vgSeti(VG_SCISSORING, in.flag());
      break;
    }
    case 5: {
      // The image matrix: any entries, projective ones included.
      vgSeti(VG_MATRIX_MODE, in.flag() ? VG_MATRIX_IMAGE_USER_TO_SURFACE
                                       : VG_MATRIX_FILL_PAINT_TO_USER + in.pick(2));
      if (in.flag()) {
        VGfloat m[9];
        for (float& v : m) v = in.pick(3) ? float(in.range<int>(-64, 64)) / 8.0f : in.number();
        vgLoadMatrix(m);
      } else {
        tqfuzz::matrixOperation(in, in.pick(7));
      }
      vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
      break;
    }
    default: {
      const VGint w = in.pick(4) == 0 ? in.integer() : in.range<VGint>(0, 200);
      const VGint h = in.pick(4) == 0 ? in.integer() : in.range<VGint>(0, 200);
      if (w < 0 || h < 0 || int64_t(w) * h <= int64_t(1) << 18) vgResizeSurfaceTQ(w, h);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "pixels_fuzz needs DISPLAY (an X server with GLX, e.g. Xvfb)\n");
    std::exit(2);
  }
  glutInit(argc, *argv);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL | GLUT_MULTISAMPLE);
  glutInitWindowSize(kWindowSize, kWindowSize);
  glutCreateWindow("pixels_fuzz");
  glutDisplayFunc([] {});
  for (int i = 0; i < 5; ++i) glutMainLoopEvent();
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, gMaxViewport);
  // As in draw_fuzz: leaks are checked before the driver unloads.
  std::atexit([] { __lsan_do_leak_check(); });
  checkGl("opening the window");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  Input in(bytes, size);
  checkGl("the previous input");
  if (vgCreateContextTQ(kWindowSize, kWindowSize) != VG_TRUE) tqfuzz::fail("no context");
  tqfuzz::Handles images, paints;
  images.live.push_back(vgCreatePaint());  // a handle of the wrong kind
  VGPath square =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  const VGubyte segments[5] = {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS,
                               VG_CLOSE_PATH};
  const VGfloat coords[8] = {-10, -10, 110, -10, 110, 110, -10, 110};
  vgAppendPathData(square, 5, segments, coords);
  for (int step = 0; step < 48 && !in.done(); ++step) {
    const VGImage a = images.any(in);
    const char* call = "";
    switch (in.pick(11)) {
      case 0:
        images.add(createImage(in));
        call = "vgCreateImage";
        break;
      case 1:
        if (in.flag()) {
          vgDestroyImage(a);
          if (tqfuzz::takeError() == VG_NO_ERROR) images.retire(a);
          call = "vgDestroyImage";
        } else {
          images.add(vgChildImage(a, in.range<VGint>(-1, 8), in.range<VGint>(-1, 8),
                                  in.range<VGint>(0, 20), in.range<VGint>(0, 20)));
          call = "vgChildImage";
        }
        break;
      case 2:
        patternPaint(in, paints, images);
        call = "a pattern paint call";
        break;
      case 3:
        context(in);
        call = "a context parameter";
        break;
      case 4:
        vgDrawImage(a);
        call = "vgDrawImage";
        break;
      case 5:
        vgDrawPath(square, VGbitfield(in.range(1, 3)));
        call = "vgDrawPath";
        break;
      case 6:
        memoryCall(in, true);
        call = "vgWritePixels";
        break;
      case 7:
        memoryCall(in, false);
        call = "vgReadPixels";
        break;
      case 8: {
        const VGint dx = coordinate(in), dy = coordinate(in), sx = coordinate(in),
                    sy = coordinate(in), w = extent(in), h = extent(in);
        vgSetPixels(dx, dy, a, sx, sy, w, h);
        call = "vgSetPixels";
        break;
      }
      case 9: {
        const VGint dx = coordinate(in), dy = coordinate(in), sx = coordinate(in),
                    sy = coordinate(in), w = extent(in), h = extent(in);
        checkedOn(a, [&] { vgGetPixels(a, dx, dy, sx, sy, w, h); });
        call = "vgGetPixels";
        break;
      }
      default: {
        const VGint dx = coordinate(in), dy = coordinate(in), sx = coordinate(in),
                    sy = coordinate(in), w = extent(in), h = extent(in);
        vgCopyPixels(dx, dy, sx, sy, w, h);
        call = "vgCopyPixels";
        break;
      }
    }
    checkGl(call);
    tqfuzz::takeError();
  }
  vgDestroyContextTQ();
  checkGl("vgDestroyContextTQ");
  TQ_FUZZ_CHECK(tq::pixelStoreBytesInUse() == 0);
  return 0;
}
