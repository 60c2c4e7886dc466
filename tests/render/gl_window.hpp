// A GLUT window of the demo's kind on a private X server, with read-back of
// the back buffer through a single-sample framebuffer.
#pragma once

#include <cstddef>
#include <vector>

namespace tqtest {

// Starts Xvfb and initialises GLUT once per process.
bool initWindowSystem();
// Opens a window of the demo's kind (RGBA, double, alpha, stencil, and
// multisampling unless told otherwise) and makes it current. Returns its id.
int openWindow(int width, int height, bool multisample = true);
void closeWindow(int id);
// Processes pending window events.
void pumpEvents();

// The back buffer's colour channel c (0 red .. 3 alpha) of every pixel as
// 0..1, bottom row first, read through a blit into a single-sample
// framebuffer. Leaves the application's framebuffer bindings as they were.
std::vector<float> readBackBuffer(int width, int height, int channel = 0);
// Every channel of the back buffer, read once through the same blit, for
// tests that look at many pixels and channels of one picture.
struct BackBufferPixels {
  int width = 0;
  std::vector<unsigned char> rgba;
  static BackBufferPixels read(int width, int height);
  // Channel c of pixel (x, y) as readBackBuffer gives it.
  float at(int x, int y, int c) const {
    return rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + size_t(c)] / 255.0f;
  }
};
// Stencil values of the back buffer through the same blit.
std::vector<unsigned char> readBackStencil(int width, int height);

}  // namespace tqtest
