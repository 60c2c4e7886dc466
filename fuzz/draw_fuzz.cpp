// Drawing in a real OpenGL context: any paths under any matrix, fill rule,
// rendering quality, blend mode, paint colour, scissor rectangles and surface
// size, filled, stroked and cleared. Besides crashes and undefined behaviour
// it stops on the first OpenGL error a call leaves behind. The window opens
// once, on the display DISPLAY names (scripts/fuzz starts a private Xvfb).
#include <VG/openvg.h>
#include <VG/vgext.h>
#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>
#include <sanitizer/lsan_interface.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_input.hpp"
#include "path_input.hpp"

namespace {

using tqfuzz::Input;

constexpr int kWindowSize = 128;
// Surfaces larger than this many pixels are not tried: each draw may touch
// all of them, and a run must stay fast.
constexpr int64_t kMaxSurfacePixels = int64_t(1) << 20;

void checkGl(const char* after) {
  const GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    std::fprintf(stderr, "OpenGL error 0x%x after %s\n", err, after);
    std::abort();
  }
}

// A surface size: ordinary, degenerate or extreme, as long as it is not
// too many pixels (a zero side makes any other side acceptable).
void surfaceSize(Input& in, VGint& width, VGint& height) {
  for (;;) {
    width = in.pick(2) ? in.range<VGint>(0, 300) : in.integer();
    height = in.pick(2) ? in.range<VGint>(0, 300) : in.integer();
    if (width <= 0 || height <= 0 || int64_t(width) * height <= kMaxSurfacePixels) return;
    if (in.done()) {
      width = height = 1;
      return;
    }
  }
}

void setEnumParam(Input& in, VGParamType type, std::span<const int32_t> values) {
  vgSeti(type, in.oneOf(values));
}

void scissorRects(Input& in) {
  const int rects = in.range<int>(0, 33);
  std::vector<VGint> v(size_t(rects) * 4);
  for (VGint& x : v) x = in.pick(2) ? in.range<VGint>(-16, 160) : in.integer();
  vgSetiv(VG_SCISSOR_RECTS, VGint(v.size()), v.data());
}

void paint(Input& in, tqfuzz::Handles& paints) {
  switch (in.pick(4)) {
    case 0:
      paints.add(vgCreatePaint());
      break;
    case 1: {
      const VGPaint p = paints.any(in);
      if (in.flag()) {
        vgSetColor(p, in.u32());
      } else {
        VGfloat c[4];
        for (float& v : c) v = in.pick(2) ? float(in.range<int>(-2, 8)) / 4.0f : in.number();
        vgSetParameterfv(p, VG_PAINT_COLOR, 4, c);
      }
      break;
    }
    case 2: {
      const VGPaint p = paints.any(in);
      vgDestroyPaint(p);
      paints.retire(p);
      break;
    }
    default: {
      const VGPaint p = in.pick(4) == 0 ? VG_INVALID_HANDLE : paints.any(in);
      vgSetPaint(p, VGbitfield(in.range(1, 3)));
      break;
    }
  }
}

void clear(Input& in) {
  if (in.flag()) {
    VGfloat c[4];
    for (float& v : c) v = in.pick(2) ? float(in.range<int>(-2, 8)) / 4.0f : in.number();
    vgSetfv(VG_CLEAR_COLOR, 4, c);
  }
  const bool wild = in.pick(4) == 0;
  const VGint x = wild ? in.integer() : in.range<VGint>(-32, 160);
  const VGint y = wild ? in.integer() : in.range<VGint>(-32, 160);
  const VGint w = wild ? in.integer() : in.range<VGint>(-1, 200);
  const VGint h = wild ? in.integer() : in.range<VGint>(-1, 200);
  vgClear(x, y, w, h);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "draw_fuzz needs DISPLAY (an X server with GLX, e.g. Xvfb)\n");
    std::exit(2);
  }
  glutInit(argc, *argv);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL | GLUT_MULTISAMPLE);
  glutInitWindowSize(kWindowSize, kWindowSize);
  glutCreateWindow("draw_fuzz");
  glutDisplayFunc([] {});
  for (int i = 0; i < 5; ++i) glutMainLoopEvent();
  // The leak check runs before the window system's own exit handlers, which
  // unload the OpenGL driver and so make the driver's live memory look leaked.
  std::atexit([] { __lsan_do_leak_check(); });
  checkGl("opening the window");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static constexpr int32_t kFillRules[] = {VG_EVEN_ODD, VG_NON_ZERO};
  static constexpr int32_t kQualities[] = {VG_RENDERING_QUALITY_NONANTIALIASED,
                                           VG_RENDERING_QUALITY_FASTER,
                                           VG_RENDERING_QUALITY_BETTER};
  static constexpr int32_t kBlendModes[] = {
      VG_BLEND_SRC,      VG_BLEND_SRC_OVER, VG_BLEND_DST_OVER, VG_BLEND_SRC_IN,  VG_BLEND_DST_IN,
      VG_BLEND_MULTIPLY, VG_BLEND_SCREEN,   VG_BLEND_DARKEN,   VG_BLEND_LIGHTEN, VG_BLEND_ADDITIVE};
  static constexpr int32_t kBooleans[] = {VG_FALSE, VG_TRUE};

  Input in(bytes, size);
  checkGl("the previous input");
  // Sizes a context must refuse, then one it takes.
  if (in.pick(8) == 0) {
    const VGint w = in.integer(), h = in.integer();
    if ((w <= 0 || h <= 0) && vgCreateContextTQ(w, h) == VG_TRUE) tqfuzz::fail("bad size taken");
  }
  VGint width = kWindowSize, height = kWindowSize;
  if (in.flag()) surfaceSize(in, width, height);
  if (width <= 0 || height <= 0) width = height = kWindowSize;
  if (vgCreateContextTQ(width, height) != VG_TRUE) tqfuzz::fail("no context");
  checkGl("vgCreateContextTQ");

  tqfuzz::Handles paths, paints;
  for (int step = 0; step < 48 && !in.done(); ++step) {
    const VGPath path = paths.any(in);
    const char* call = "";
    switch (in.pick(13)) {
      case 0:
        paths.add(tqfuzz::createPath(in));
        call = "vgCreatePath";
        break;
      case 1:
        if (tqfuzz::internalPath(path) && tqfuzz::internalPath(path)->numSegments() < 512)
          tqfuzz::appendData(in, path);
        call = "vgAppendPathData";
        break;
      case 2:
        tqfuzz::changePathMatrix(in);
        call = "a matrix call";
        break;
      case 3:
        setEnumParam(in, VG_FILL_RULE, kFillRules);
        call = "VG_FILL_RULE";
        break;
      case 4:
        setEnumParam(in, VG_RENDERING_QUALITY, kQualities);
        call = "VG_RENDERING_QUALITY";
        break;
      case 5:
        setEnumParam(in, VG_BLEND_MODE, kBlendModes);
        call = "VG_BLEND_MODE";
        break;
      case 6:
        scissorRects(in);
        call = "VG_SCISSOR_RECTS";
        break;
      case 7:
        setEnumParam(in, VG_SCISSORING, kBooleans);
        call = "VG_SCISSORING";
        break;
      case 8: {
        VGint w, h;
        surfaceSize(in, w, h);
        vgResizeSurfaceTQ(w, h);
        call = "vgResizeSurfaceTQ";
        break;
      }
      case 9:
        clear(in);
        call = "vgClear";
        break;
      case 10:
        paint(in, paints);
        call = "a paint call";
        break;
      case 11:
        if (in.flag()) {
          vgDestroyPath(path);
          paths.retire(path);
          call = "vgDestroyPath";
          break;
        }
        [[fallthrough]];
      default: {
        const VGbitfield modes = in.pick(8) == 0 ? in.u32() : VGbitfield(in.range(1, 3));
        vgDrawPath(path, modes);
        call = "vgDrawPath";
        break;
      }
    }
    checkGl(call);
    tqfuzz::takeError();
  }
  vgDestroyContextTQ();
  checkGl("vgDestroyContextTQ");
  return 0;
}
