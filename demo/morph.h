// The morph scene: an apple outline that turns into a pear and back every
// five seconds, filled white on black around the window centre.
#pragma once

#include <VG/openvg.h>

struct MorphScene {
  VGPath startPath;  // apple, amount 0
  VGPath endPath;    // pear, amount 1
  VGPath morphPath;  // refilled every frame
  VGPaint fillPaint;
  float phase;   // radians; the amount follows its sine
  float amount;  // interpolation amount of the current frame
};

extern MorphScene morphScene;

constexpr float START_PHASE = 4.712389f;  // 3π/2: the sine is -1, the apple
constexpr float PI = 3.1415927f;
constexpr float TWO_PI = 6.2831855f;

// The phase after a frame of the given length: at most one 2π subtraction,
// and only when the phase exceeds 2π strictly.
float advancePhase(float phase, float seconds);
// Interpolation amount for a phase, in [0, 1].
float morphAmount(float phase);

void appendFlippedOutline(VGPath path, const VGubyte* segments, const VGfloat* coordinates);
void buildAppleOutline(VGPath path);
void buildPearOutline(VGPath path);
// Makes the three paths and the fill paint and sets the paint for filling.
void buildMorphScene();
void updateMorph();
// The frame handler.
void drawMorphFrame(float seconds);
