// Whole-process CPU time per frame of the morph loop against a loop that only
// clears, draws the frame-rate readout and swaps, in alternating runs in the
// same window. Prints both and their ratio, and beside it the ratio of the
// morph loop with its fill replaced by one plain rectangle over the
// outline's box. Needs a display (DISPLAY).
// Arguments: frames a run, rounds, and optionally "morph" or "baseline".
#include <GL/freeglut.h>
#include <VG/openvg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "harness.h"
#include "morph.h"

namespace {

double cpuSeconds(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double processSeconds() { return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }

// The application's own thread; the renderer's worker threads make up the
// rest of the process.
double threadSeconds() { return cpuSeconds(CLOCK_THREAD_CPUTIME_ID); }

// What the frame cycle does after the application's handler.
void readoutAndSwap(int fps) {
  glColor4f(1, 1, 1, 1);
  harnessDrawText(10.0f, 10.0f, "FPS: %d", fps);
  glutSwapBuffers();
}

void baselineFrame(float) {
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, harnessWidth(), harnessHeight());
}

// The morph frame with its fill replaced by the simplest OpenGL fill there
// is: one rectangle over the outline's box, in its colour, with the fixed
// function. What shading that many pixels costs the renderer, whatever draws
// them.
void boxFrame(float seconds) {
  morphScene.phase = advancePhase(morphScene.phase, seconds);
  morphScene.amount = morphAmount(morphScene.phase);
  updateMorph();
  baselineFrame(seconds);
  vgLoadIdentity();
  vgTranslate(static_cast<VGfloat>(harnessWidth() / 2), static_cast<VGfloat>(harnessHeight() / 2));
  VGfloat x = 0, y = 0, w = 0, h = 0;
  vgPathTransformedBounds(morphScene.morphPath, &x, &y, &w, &h);
  glColor4f(1, 1, 1, 1);
  glRectf(x, y, x + w, y + h);
}

// The morph frame without its fill: what interpolation adds to the baseline.
void interpolateOnlyFrame(float seconds) {
  morphScene.phase = advancePhase(morphScene.phase, seconds);
  morphScene.amount = morphAmount(morphScene.phase);
  updateMorph();
  baselineFrame(seconds);
}

// CPU seconds per frame over `frames` frames of `frame`.
double run(void (*frame)(float), int frames) {
  glFinish();
  double start = processSeconds();
  for (int i = 0; i < frames; ++i) {
    frame(1.0f / 60.0f);
    readoutAndSwap(600 + i % 100);
  }
  glFinish();
  return (processSeconds() - start) / frames;
}

// The same comparison frame by frame: frames of the two loops take turns,
// each one finished before the next starts, so that a change of the
// machine's speed (other tenants, frequency) weighs on both alike.
struct Paired {
  double ratio;        // morph CPU time over baseline CPU time, whole process
  double extraMain;    // what a morph frame adds on the application's thread, seconds
  double extraOthers;  // and on the renderer's other threads
};

Paired interleaved(int frames) {
  double morph = 0, base = 0, morphMain = 0, baseMain = 0;
  for (int i = 0; i < frames; ++i) {
    for (int k = 0; k < 2; ++k) {
      bool isMorph = (i + k) % 2 == 0;
      glFinish();
      double start = processSeconds(), startMain = threadSeconds();
      (isMorph ? drawMorphFrame : baselineFrame)(1.0f / 60.0f);
      readoutAndSwap(600 + i % 100);
      glFinish();
      (isMorph ? morph : base) += processSeconds() - start;
      (isMorph ? morphMain : baseMain) += threadSeconds() - startMain;
    }
  }
  double extraMain = (morphMain - baseMain) / frames;
  return {morph / base, extraMain, (morph - base) / frames - extraMain};
}

}  // namespace

int main(int argc, char** argv) {
  int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 150;
  int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
  harnessInit(argc, argv, 400, 400, "Tarquel: Path Interpolation Test");
  buildMorphScene();
  for (int i = 0; i < 30; ++i) glutMainLoopEvent();  // map the window
  run(drawMorphFrame, 50);                           // warm up both paths
  run(baselineFrame, 50);

  // "morph" or "baseline" as third argument runs that loop alone, for a profiler.
  if (argc > 3) {
    bool morphOnly = std::strcmp(argv[3], "morph") == 0;
    double t = run(morphOnly ? drawMorphFrame : baselineFrame, frames);
    std::printf("%s alone: %.1f us/frame\n", morphOnly ? "morph" : "baseline", t * 1e6);
    return 0;
  }
  std::vector<double> morph, base, interp, ratios, paired, extraMain, extraOthers, boxes;
  for (int r = 0; r < rounds; ++r) {
    // Alternate which loop goes first, so that a drift of the machine's speed
    // within a round favours neither.
    double b = 0, m = 0;
    if (r % 2) {
      m = run(drawMorphFrame, frames);
      b = run(baselineFrame, frames);
    } else {
      b = run(baselineFrame, frames);
      m = run(drawMorphFrame, frames);
    }
    double i = run(interpolateOnlyFrame, frames);
    boxes.push_back(run(boxFrame, frames) / b);
    Paired p = interleaved(frames);
    paired.push_back(p.ratio);
    extraMain.push_back(p.extraMain);
    extraOthers.push_back(p.extraOthers);
    base.push_back(b);
    morph.push_back(m);
    interp.push_back(i);
    ratios.push_back(m / b);
    std::printf(
        "round %d: baseline %.1f us/frame, morph %.1f us/frame, ratio %.3f"
        " (without the fill %.1f us/frame), frame by frame %.3f\n",
        r + 1, b * 1e6, m * 1e6, m / b, i * 1e6, paired.back());
  }
  auto quantile = [](std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[size_t(q * double(v.size() - 1) + 0.5)];
  };
  auto median = [&](const std::vector<double>& v) { return quantile(v, 0.5); };
  std::printf("median: baseline %.1f us/frame, morph %.1f us/frame (without the fill %.1f)\n",
              median(base) * 1e6, median(morph) * 1e6, median(interp) * 1e6);
  std::printf("CPU ratio morph / baseline: %.3f (quartiles %.3f to %.3f over %d rounds)\n",
              median(ratios), quantile(ratios, 0.25), quantile(ratios, 0.75), rounds);
  std::printf("frame by frame, each finished: %.3f (quartiles %.3f to %.3f)\n", median(paired),
              quantile(paired, 0.25), quantile(paired, 0.75));
  std::printf(
      "a morph frame adds %.1f us on the application's thread and %.1f us on the "
      "renderer's other threads\n",
      median(extraMain) * 1e6, median(extraOthers) * 1e6);
  std::printf(
      "the outline's box as one rectangle of the fixed function instead of the fill: %.3f "
      "(quartiles %.3f to %.3f)\n",
      median(boxes), quantile(boxes, 0.25), quantile(boxes, 0.75));
  return 0;
}
