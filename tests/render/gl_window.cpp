#include "gl_window.hpp"

#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>

#include "xvfb.hpp"

namespace tqtest {

bool initWindowSystem() {
  static bool ready = false;
  if (ready) return true;
  if (!startXvfb()) return false;
  int argc = 1;
  char name[] = "render_tests";
  char* argv[] = {name, nullptr};
  glutInit(&argc, argv);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  ready = true;
  return true;
}

int openWindow(int width, int height, bool multisample) {
  unsigned mode = GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL;
  if (multisample) mode |= GLUT_MULTISAMPLE;
  glutInitDisplayMode(mode);
  glutInitWindowPosition(0, 0);
  glutInitWindowSize(width, height);
  int id = glutCreateWindow("render test");
  glutDisplayFunc([] {});
  pumpEvents();
  return id;
}

void closeWindow(int id) {
  glutDestroyWindow(id);
  pumpEvents();
}

void pumpEvents() {
  for (int i = 0; i < 5; ++i) glutMainLoopEvent();
}

namespace {

template <typename Read>
void withResolvedCopy(int width, int height, GLenum attachment, GLenum format, GLbitfield mask,
                      Read read) {
  GLint drawFb = 0, readFb = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFb);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFb);
  GLuint fb = 0, rb = 0;
  glGenFramebuffers(1, &fb);
  glGenRenderbuffers(1, &rb);
  glBindRenderbuffer(GL_RENDERBUFFER, rb);
  glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fb);
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, attachment, GL_RENDERBUFFER, rb);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, mask, GL_NEAREST);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fb);
  read();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFb));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFb));
  glDeleteFramebuffers(1, &fb);
  glDeleteRenderbuffers(1, &rb);
}

}  // namespace

BackBufferPixels BackBufferPixels::read(int width, int height) {
  BackBufferPixels p;
  p.width = width;
  p.rgba.resize(size_t(width) * size_t(height) * 4);
  withResolvedCopy(width, height, GL_COLOR_ATTACHMENT0, GL_RGBA8, GL_COLOR_BUFFER_BIT, [&] {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
  });
  return p;
}

std::vector<float> readBackBuffer(int width, int height, int channel) {
  const BackBufferPixels p = BackBufferPixels::read(width, height);
  std::vector<float> out(size_t(width) * size_t(height));
  for (size_t i = 0; i < out.size(); ++i) out[i] = p.rgba[i * 4 + size_t(channel)] / 255.0f;
  return out;
}

std::vector<unsigned char> readBackStencil(int width, int height) {
  std::vector<unsigned char> out(size_t(width) * size_t(height));
  withResolvedCopy(
      width, height, GL_DEPTH_STENCIL_ATTACHMENT, GL_DEPTH24_STENCIL8, GL_STENCIL_BUFFER_BIT, [&] {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, out.data());
      });
  return out;
}

}  // namespace tqtest
