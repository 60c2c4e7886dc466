// The OpenGL state an application set survives every vector call.
#include <VG/openvg.h>
#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "coverage_reference.hpp"
#include "gl_window.hpp"

using namespace tqtest;

namespace {

struct GlSnapshot {
  std::array<GLboolean, 11> enables{};
  GLint program = 0, arrayBuffer = 0, elementBuffer = 0, vertexArray = 0, activeTexture = 0;
  GLint texture0 = 0, unpackAlignment = 0, unpackBuffer = 0, drawFramebuffer = 0;
  GLint matrixMode = 0, blendSrc = 0, blendDst = 0, blendEquation = 0;
  std::array<GLboolean, 4> colorMask{};
  std::array<GLint, 4> scissorBox{};
  std::array<GLfloat, 4> clearColor{};
  std::array<GLint, 2> polygonMode{};
  std::array<GLfloat, 16> modelview{};
  // Storage buffers, from OpenGL 4.3: the general binding, and binding 0's
  // buffer, offset and size.
  GLint storageBuffer = 0, storageBuffer0 = 0;
  GLint64 storage0Start = 0, storage0Size = 0;
  // Uniform buffers: the general binding, and binding 0's buffer, offset
  // and size.
  GLint uniformBuffer = 0, uniformBuffer0 = 0;
  GLint64 uniform0Start = 0, uniform0Size = 0;

  static GlSnapshot take() {
    GlSnapshot s;
    const GLenum caps[11] = {
        GL_STENCIL_TEST, GL_BLEND,        GL_MULTISAMPLE,       GL_SCISSOR_TEST,
        GL_DEPTH_TEST,   GL_CULL_FACE,    GL_LINE_SMOOTH,       GL_TEXTURE_2D,
        GL_ALPHA_TEST,   GL_POINT_SMOOTH, GL_PROGRAM_POINT_SIZE};
    for (int i = 0; i < 11; ++i) s.enables[size_t(i)] = glIsEnabled(caps[i]);
    glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &s.arrayBuffer);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &s.elementBuffer);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &s.vertexArray);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &s.activeTexture);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.texture0);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &s.unpackAlignment);
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &s.unpackBuffer);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &s.drawFramebuffer);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    glGetIntegerv(GL_BLEND_SRC_RGB, &s.blendSrc);
    glGetIntegerv(GL_BLEND_DST_RGB, &s.blendDst);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &s.blendEquation);
    glGetBooleanv(GL_COLOR_WRITEMASK, s.colorMask.data());
    glGetIntegerv(GL_SCISSOR_BOX, s.scissorBox.data());
    glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColor.data());
    glGetIntegerv(GL_POLYGON_MODE, s.polygonMode.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
    glGetIntegerv(GL_UNIFORM_BUFFER_BINDING, &s.uniformBuffer);
    glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, 0, &s.uniformBuffer0);
    glGetInteger64i_v(GL_UNIFORM_BUFFER_START, 0, &s.uniform0Start);
    glGetInteger64i_v(GL_UNIFORM_BUFFER_SIZE, 0, &s.uniform0Size);
    if (epoxy_gl_version() >= 43) {
      glGetIntegerv(GL_SHADER_STORAGE_BUFFER_BINDING, &s.storageBuffer);
      glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, 0, &s.storageBuffer0);
      glGetInteger64i_v(GL_SHADER_STORAGE_BUFFER_START, 0, &s.storage0Start);
      glGetInteger64i_v(GL_SHADER_STORAGE_BUFFER_SIZE, 0, &s.storage0Size);
    }
    return s;
  }
  bool operator==(const GlSnapshot&) const = default;
};

void drawAndClear(VGPath path) {
  const VGfloat grey[4] = {0.1f, 0.1f, 0.1f, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, grey);
  vgClear(0, 0, 400, 400);
  vgClear(10, 10, 50, 50);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  vgDrawPath(path, VG_FILL_PATH);
  vgSeti(VG_BLEND_MODE, VG_BLEND_DARKEN);  // the destination-copy path
  vgDrawPath(path, VG_FILL_PATH);
  vgSeti(VG_BLEND_MODE, VG_BLEND_SRC_OVER);
}

VGPath square() {
  Shape s;
  s.moveTo(100, 100);
  s.lineTo(300, 120);
  s.lineTo(280, 300);
  s.close();
  return s.makePath();
}

}  // namespace

TEST(GlState, DefaultsSurviveDrawAndClear) {
  VGPath path = square();
  GlSnapshot before = GlSnapshot::take();
  drawAndClear(path);
  GlSnapshot after = GlSnapshot::take();
  EXPECT_TRUE(before == after);
  EXPECT_FALSE(after.enables[0]) << "stencil test left on";
  EXPECT_EQ(after.program, 0);
  EXPECT_EQ(after.arrayBuffer, 0);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  glutSwapBuffers();
  vgDestroyPath(path);
}

TEST(GlState, ApplicationStateSurvivesDrawAndClear) {
  // Everything set to something other than its default.
  const char* vs = "#version 120\nvoid main() { gl_Position = ftransform(); }\n";
  const char* fs = "#version 120\nvoid main() { gl_FragColor = vec4(1.0); }\n";
  GLuint program = glCreateProgram();
  for (auto [type, src] : {std::pair{GL_VERTEX_SHADER, vs}, std::pair{GL_FRAGMENT_SHADER, fs}}) {
    GLuint sh = glCreateShader(type);
    glShaderSource(sh, 1, &src, nullptr);
    glCompileShader(sh);
    glAttachShader(program, sh);
    glDeleteShader(sh);
  }
  glLinkProgram(program);
  GLuint buffers[5], vao = 0, texture = 0;
  glGenBuffers(5, buffers);
  glGenVertexArrays(1, &vao);
  glGenTextures(1, &texture);
  glUseProgram(program);
  glBindVertexArray(vao);
  glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, buffers[2]);
  glBufferData(GL_PIXEL_UNPACK_BUFFER, 16, nullptr, GL_STATIC_DRAW);
  // Binding 0 of an indexed target holds a range of one buffer, away from
  // its start, and the general binding another buffer.
  auto bindRange = [](GLenum target, GLenum alignmentName, GLuint indexed, GLuint general) {
    GLint alignment = 1;
    glGetIntegerv(alignmentName, &alignment);
    glBindBuffer(target, indexed);
    glBufferData(target, 2 * alignment + 64, nullptr, GL_STATIC_DRAW);
    glBindBufferRange(target, 0, indexed, alignment, 32);
    glBindBuffer(target, general);
  };
  bindRange(GL_UNIFORM_BUFFER, GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, buffers[4], buffers[1]);
  const bool storage = epoxy_gl_version() >= 43;
  if (storage)
    bindRange(GL_SHADER_STORAGE_BUFFER, GL_SHADER_STORAGE_BUFFER_OFFSET_ALIGNMENT, buffers[3],
              buffers[0]);
  glActiveTexture(GL_TEXTURE3);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  glActiveTexture(GL_TEXTURE3);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
  glEnable(GL_STENCIL_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_ZERO);
  glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
  glDisable(GL_MULTISAMPLE);
  glEnable(GL_SCISSOR_TEST);
  glScissor(1, 2, 3, 4);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_ALPHA_TEST);
  glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glMatrixMode(GL_TEXTURE);
  GlSnapshot before = GlSnapshot::take();

  VGPath path = square();
  drawAndClear(path);
  GlSnapshot after = GlSnapshot::take();
  EXPECT_TRUE(before == after);
  EXPECT_EQ(after.program, GLint(program));
  EXPECT_EQ(after.matrixMode, GL_TEXTURE);
  EXPECT_TRUE(after.enables[0]);
  EXPECT_FALSE(after.enables[2]);
  if (storage) {
    EXPECT_EQ(after.storageBuffer, GLint(buffers[0]));
    EXPECT_EQ(after.storageBuffer0, GLint(buffers[3]));
    EXPECT_EQ(after.storage0Size, 32);
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

  // The picture was drawn regardless of that state, and the stencil buffer is
  // still clear.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDisable(GL_SCISSOR_TEST);
  std::vector<float> px = readBackBuffer(400, 400);
  EXPECT_GT(px[200 * 400 + 200], 0.99f);
  EXPECT_NEAR(px[380 * 400 + 380], 0.1f, 1.0 / 255);
  std::vector<unsigned char> stencil = readBackStencil(400, 400);
  EXPECT_EQ(std::count(stencil.begin(), stencil.end(), 0), long(stencil.size()));

  // Back to defaults for the tests that follow.
  glUseProgram(0);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  if (storage) {
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, 0);
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, 0);
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (GLenum cap : {GL_STENCIL_TEST, GL_BLEND, GL_SCISSOR_TEST, GL_DEPTH_TEST, GL_CULL_FACE,
                     GL_LINE_SMOOTH, GL_TEXTURE_2D, GL_ALPHA_TEST})
    glDisable(cap);
  glBlendFunc(GL_ONE, GL_ZERO);
  glBlendEquation(GL_FUNC_ADD);
  glEnable(GL_MULTISAMPLE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glMatrixMode(GL_MODELVIEW);
  glDeleteProgram(program);
  glDeleteBuffers(5, buffers);
  glDeleteVertexArrays(1, &vao);
  glDeleteTextures(1, &texture);
  vgDestroyPath(path);
  glutSwapBuffers();
}

// Clip distances the application switched on would cut the fill (its shaders
// write none): they are off while it is drawn and on again after.
TEST(GlState, ClipDistancesDoNotCutTheFill) {
  const GLdouble none[4] = {0, 0, 0, -1};  // every vertex outside
  glClipPlane(GL_CLIP_PLANE0, none);
  glEnable(GL_CLIP_DISTANCE0);
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, 400, 400);
  VGPath path = square();
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  vgDrawPath(path, VG_FILL_PATH);
  EXPECT_TRUE(glIsEnabled(GL_CLIP_DISTANCE0));
  glDisable(GL_CLIP_DISTANCE0);
  std::vector<float> px = readBackBuffer(400, 400);
  EXPECT_GT(px[200 * 400 + 200], 0.99f);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  vgDestroyPath(path);
  glutSwapBuffers();
}

// The pixels along the outline may go as points: point state the application
// set must neither show in the fill nor be lost.
TEST(GlState, PointStateNeitherShowsNorIsLost) {
  glEnable(GL_POINT_SMOOTH);
  glPointSize(9.0f);
  glPointParameterf(GL_POINT_SIZE_MAX, 2.0f);
  glEnable(GL_PROGRAM_POINT_SIZE);
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, 400, 400);
  Shape s;
  s.moveTo(100.3, 100.6);
  s.lineTo(300.2, 121.1);
  s.lineTo(281.7, 300.4);
  s.close();
  VGPath path = s.makePath();
  VGPaint white = vgCreatePaint();
  const VGfloat one[4] = {1, 1, 1, 1};
  vgSetParameterfv(white, VG_PAINT_COLOR, 4, one);
  vgSetPaint(white, VG_FILL_PATH);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  vgDrawPath(path, VG_FILL_PATH);
  EXPECT_TRUE(glIsEnabled(GL_POINT_SMOOTH));
  EXPECT_TRUE(glIsEnabled(GL_PROGRAM_POINT_SIZE));
  GLfloat size = 0, sizeMax = 0;
  glGetFloatv(GL_POINT_SIZE, &size);
  glGetFloatv(GL_POINT_SIZE_MAX, &sizeMax);
  EXPECT_EQ(size, 9.0f);
  EXPECT_EQ(sizeMax, 2.0f);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

  Comparison c =
      compareCoverage(readBackBuffer(400, 400),
                      exactCoverage(s.contours, Affine{}, VG_NON_ZERO, 400, 400), 400, 400);
  EXPECT_LE(c.meanError, 0.001);
  EXPECT_LE(c.maxError, 0.1);

  glDisable(GL_POINT_SMOOTH);
  glPointSize(1.0f);
  glPointParameterf(GL_POINT_SIZE_MAX, 1000.0f);
  glDisable(GL_PROGRAM_POINT_SIZE);
  vgSetPaint(VG_INVALID_HANDLE, VG_FILL_PATH);
  vgDestroyPaint(white);
  vgDestroyPath(path);
  glutSwapBuffers();
}
