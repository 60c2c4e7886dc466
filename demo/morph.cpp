#include "morph.h"

#include <cmath>

#include "harness.h"
#include "outlines.h"

MorphScene morphScene = {VG_INVALID_HANDLE, VG_INVALID_HANDLE, VG_INVALID_HANDLE,
                         VG_INVALID_HANDLE, START_PHASE,       0.0f};

namespace {

constexpr double PHASE_RATE = 0.4;  // times π radians per second: one cycle in 5 s
constexpr VGfloat FILL_COLOR[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr VGfloat CLEAR_COLOR[4] = {0.0f, 0.0f, 0.0f, 1.0f};

}  // namespace

float advancePhase(float phase, float seconds) {
  float next = static_cast<float>(static_cast<double>(phase) +
                                  (static_cast<double>(seconds) * PHASE_RATE) * double(PI));
  // One subtraction only: after a long pause the phase may stay above 2π for a
  // few frames, which the sine does not notice.
  if (double(next) > double(TWO_PI)) next = static_cast<float>(double(next) - double(TWO_PI));
  return next;
}

float morphAmount(float phase) {
  return static_cast<float>((std::sin(static_cast<double>(phase)) + 1.0) * 0.5);
}

void appendFlippedOutline(VGPath path, const VGubyte* segments, const VGfloat* coordinates) {
  VGPath temp = harnessCreatePath();
  vgAppendPathData(temp, OUTLINE_SEGMENT_COUNT, segments, coordinates);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  vgScale(1.0f, -1.0f);
  vgTransformPath(path, temp);
  vgDestroyPath(temp);
}

void buildAppleOutline(VGPath path) { appendFlippedOutline(path, OUTLINE_SEGMENTS, APPLE_COORDS); }

void buildPearOutline(VGPath path) { appendFlippedOutline(path, OUTLINE_SEGMENTS, PEAR_COORDS); }

void buildMorphScene() {
  morphScene.startPath = harnessCreatePath();
  buildAppleOutline(morphScene.startPath);
  morphScene.endPath = harnessCreatePath();
  buildPearOutline(morphScene.endPath);
  morphScene.morphPath = harnessCreatePath();
  morphScene.fillPaint = vgCreatePaint();
  vgSetParameterfv(morphScene.fillPaint, VG_PAINT_COLOR, 4, FILL_COLOR);
  vgSetPaint(morphScene.fillPaint, VG_FILL_PATH);
}

void updateMorph() {
  vgClearPath(morphScene.morphPath, VG_PATH_CAPABILITY_ALL);
  vgInterpolatePath(morphScene.morphPath, morphScene.startPath, morphScene.endPath,
                    morphScene.amount);
}

void drawMorphFrame(float seconds) {
  morphScene.phase = advancePhase(morphScene.phase, seconds);
  morphScene.amount = morphAmount(morphScene.phase);
  updateMorph();
  vgSetfv(VG_CLEAR_COLOR, 4, CLEAR_COLOR);
  vgClear(0, 0, harnessWidth(), harnessHeight());
  vgLoadIdentity();
  // Whole-pixel centre: integer halves, converted afterwards.
  vgTranslate(static_cast<VGfloat>(harnessWidth() / 2), static_cast<VGfloat>(harnessHeight() / 2));
  vgDrawPath(morphScene.morphPath, VG_FILL_PATH);
}
