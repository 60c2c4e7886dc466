// What the window benchmarks share: CPU clocks, the frame's end (readout and
// swap, as the demo's frame cycle does it), cairo's upload, and the median
// and spread of alternating rounds.
#pragma once

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "harness.h"

namespace bench {

inline double cpuSeconds(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The whole process: the application's thread and the renderer's own.
inline double processSeconds() { return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }

inline void readoutAndSwap() {
  glColor4f(1, 1, 1, 1);
  harnessDrawText(10.0f, 10.0f, "FPS: %d", 600);
  glutSwapBuffers();
}

// Whole-process CPU seconds per frame over `frames` frames of `frame`, the
// work finished on both ends.
template <class Frame>
double perFrame(Frame frame, int frames) {
  glFinish();
  const double start = processSeconds();
  for (int i = 0; i < frames; ++i) {
    frame();
    readoutAndSwap();
  }
  glFinish();
  return (processSeconds() - start) / frames;
}

inline double quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  return v[size_t(q * double(v.size() - 1) + 0.5)];
}

// Ours against a peer in alternating rounds (which goes first alternates, so
// that a drift of the shared machine's speed favours neither).
struct Comparison {
  std::vector<double> ours, theirs, ratios;
  double ourMedian() const { return quantile(ours, 0.5); }
  double theirMedian() const { return quantile(theirs, 0.5); }
  double ratio() const { return quantile(ratios, 0.5); }
  double ratioLow() const { return quantile(ratios, 0.25); }
  double ratioHigh() const { return quantile(ratios, 0.75); }
};

template <class Ours, class Theirs>
Comparison alternate(Ours ours, Theirs theirs, int frames, int rounds) {
  perFrame(ours, std::max(2, frames / 4));  // warm both up
  perFrame(theirs, std::max(2, frames / 4));
  Comparison c;
  for (int r = 0; r < rounds; ++r) {
    double o = 0, t = 0;
    if (r % 2) {
      o = perFrame(ours, frames);
      t = perFrame(theirs, frames);
    } else {
      t = perFrame(theirs, frames);
      o = perFrame(ours, frames);
    }
    c.ours.push_back(o);
    c.theirs.push_back(t);
    c.ratios.push_back(o / t);
  }
  return c;
}

// Cairo's picture into the window: its rows go bottom up, as drawn y up.
inline void uploadRows(int width, int height, const unsigned char* pixels) {
  glRasterPos2i(0, 0);
  glDrawPixels(width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace bench
