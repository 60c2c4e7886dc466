// Drawing the morph frame after frame allocates nothing and makes no OpenGL
// objects once the first frames have sized the library's storage.
#include <VG/openvg.h>
#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "outlines.h"

namespace {
std::atomic<long> allocations{0};
}

// Counts every C++ allocation in the process, the library's included.
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

VGPath outline(const VGfloat* coords) {
  VGPath p =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  vgAppendPathData(p, OUTLINE_SEGMENT_COUNT, OUTLINE_SEGMENTS, coords);
  return p;
}

// The demo's frame, with the amount stepping through the cycle.
void frame(VGPath morph, VGPath apple, VGPath pear, int i) {
  const VGfloat black[4] = {0, 0, 0, 1};
  vgClearPath(morph, VG_PATH_CAPABILITY_ALL);
  vgInterpolatePath(morph, apple, pear, float(i % 50) / 49.0f);
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, 400, 400);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  vgTranslate(200, 200);
  vgScale(1, -1);
  vgDrawPath(morph, VG_FILL_PATH);
  // Stroked too, solid and dashed in turn.
  const VGfloat dashes[2] = {8, 4};
  vgSetf(VG_STROKE_LINE_WIDTH, 3);
  vgSetfv(VG_STROKE_DASH_PATTERN, i % 2 ? 2 : 0, dashes);
  vgDrawPath(morph, VG_STROKE_PATH);
}

// The names OpenGL hands out next for textures, framebuffers and vertex
// arrays. Whether a deleted name is handed out again is the driver's choice,
// so the step between two probes with nothing in between is the yardstick:
// objects the library created meanwhile make the step larger.
struct NextNames {
  GLuint texture, framebuffer, vertexArray;
  static NextNames probe() {
    NextNames n{};
    glGenTextures(1, &n.texture);
    glGenFramebuffers(1, &n.framebuffer);
    glGenVertexArrays(1, &n.vertexArray);
    glDeleteTextures(1, &n.texture);
    glDeleteFramebuffers(1, &n.framebuffer);
    glDeleteVertexArrays(1, &n.vertexArray);
    return n;
  }
};

}  // namespace

TEST(SteadyState, MorphFramesFilledAndStrokedAllocateNothing) {
  VGPath apple = outline(APPLE_COORDS), pear = outline(PEAR_COORDS);
  VGPath morph =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  for (int i = 0; i < 60; ++i) {  // sizes the storage for every amount
    frame(morph, apple, pear, i);
    glutSwapBuffers();
  }
  NextNames first = NextNames::probe();
  NextNames before = NextNames::probe();
  long start = allocations.load();
  for (int i = 0; i < 100; ++i) {
    frame(morph, apple, pear, i);
    glutSwapBuffers();
  }
  long made = allocations.load() - start;
  NextNames after = NextNames::probe();
  EXPECT_EQ(made, 0) << "allocations in 100 frames";
  EXPECT_EQ(after.texture - before.texture, before.texture - first.texture);
  EXPECT_EQ(after.framebuffer - before.framebuffer, before.framebuffer - first.framebuffer);
  EXPECT_EQ(after.vertexArray - before.vertexArray, before.vertexArray - first.vertexArray);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  vgDestroyPath(apple);
  vgDestroyPath(pear);
  vgDestroyPath(morph);
}
