// A GLUT window of the demo's kind on a private X server, with read-back of
// the back buffer through a single-sample framebuffer.
#pragma once

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
// Stencil values of the back buffer through the same blit.
std::vector<unsigned char> readBackStencil(int width, int height);

}  // namespace tqtest
