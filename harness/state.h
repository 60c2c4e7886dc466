// The harness's global record and the pieces shared between its sources.
#pragma once

#include <cstddef>
#include <cstdint>

#include "harness.h"

struct HarnessState {
  Handler handlers[SLOT_COUNT];
  int32_t width;
  int32_t height;
  int32_t started;  // 0 until the end of the first frame cycle
  int32_t lastFrameTime;
  int32_t lastRateTime;
  int32_t frameCount;
  int32_t framesPerSecond;
  float textColor[4];
};

extern HarnessState harnessState;

// Signature each slot's handler must have.
extern const HandlerKind SLOT_KINDS[SLOT_COUNT];

// later - earlier for a millisecond clock that may wrap, without overflow.
inline int32_t harnessElapsed(int32_t later, int32_t earlier) {
  return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

// Frame cycle steps owned by the text overlay: the readout before the swap and
// the frame counting after it; now is the time read at the start of the cycle.
void harnessDrawFrameRate();
void harnessCountFrame(int32_t now);

// Text buffers are reserved through these; they sit in a translation unit of
// their own so that tests can supply failing versions.
void* harnessAllocate(std::size_t size);
void harnessRelease(void* block);
