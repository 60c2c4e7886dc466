#include <GL/freeglut.h>

#include <cstdarg>
#include <cstdio>

#include "state.h"

namespace {

constexpr float GLYPH_SCALE = 0.15f;
constexpr float HALF_PIXEL = 0.5f;
constexpr float LINE_ADVANCE = 20.0f;
constexpr float LINE_WIDTH = 1.0f;
constexpr float RATE_X = 10.0f;
constexpr float RATE_Y = 10.0f;
constexpr int32_t RATE_INTERVAL_MS = 1000;

void startLine(float x, float y) {
  glLoadIdentity();
  glTranslatef(x, y, 0.0f);
  glScalef(GLYPH_SCALE, GLYPH_SCALE, GLYPH_SCALE);
}

}  // namespace

void harnessDrawText(float x, float y, const char* format, ...) {
  x += HALF_PIXEL;
  y += HALF_PIXEL;

  va_list args;
  va_start(args, format);
  va_list measureArgs;
  va_copy(measureArgs, args);
  int length = std::vsnprintf(nullptr, 0, format, measureArgs);
  va_end(measureArgs);
  // A format that cannot be measured is skipped like a failed reservation:
  // nothing drawn, no GL state touched.
  if (length < 0) {
    va_end(args);
    return;
  }
  std::size_t size = static_cast<std::size_t>(length) + 1;
  char* text = static_cast<char*>(harnessAllocate(size));
  if (text == nullptr) {
    va_end(args);
    return;
  }
  std::vsnprintf(text, size, format, args);
  va_end(args);

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_LINE_SMOOTH);
  glDisable(GL_MULTISAMPLE);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(x, y, 0.0f);
  glScalef(GLYPH_SCALE, GLYPH_SCALE, GLYPH_SCALE);
  glLineWidth(LINE_WIDTH);
  for (int i = 0; i < length; ++i) {
    if (text[i] == '\n') {
      y -= LINE_ADVANCE;
      startLine(x, y);
    } else {
      // The font takes the byte as a signed char value: 128..255 become negative.
      glutStrokeCharacter(GLUT_STROKE_ROMAN, static_cast<signed char>(text[i]));
    }
  }
  glPopMatrix();
  glDisable(GL_LINE_SMOOTH);
  harnessRelease(text);
}

void harnessDrawFrameRate() {
  glColor4fv(harnessState.textColor);
  harnessDrawText(RATE_X, RATE_Y, "FPS: %d", harnessState.framesPerSecond);
}

void harnessCountFrame(int32_t now) {
  harnessState.frameCount += 1;
  if (harnessState.started == 1) {
    // Wrapping difference: the elapsed-time counter may pass INT32_MAX.
    if (harnessElapsed(now, harnessState.lastRateTime) > RATE_INTERVAL_MS) {
      harnessState.lastRateTime = now;
      harnessState.framesPerSecond = harnessState.frameCount;
      harnessState.frameCount = 0;
    }
  } else {
    harnessState.lastRateTime = now;
    harnessState.started = 1;
  }
}
