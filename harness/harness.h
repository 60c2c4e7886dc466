// The window and event harness: one window, its vector context, eight handler
// slots and the frame cycle. The application talks only to these operations.
#pragma once

#include <VG/openvg.h>

enum HandlerSlot : int {
  SLOT_FRAME = 0,
  SLOT_RESHAPE = 1,
  SLOT_KEYBOARD = 2,
  SLOT_SPECIAL = 3,
  SLOT_MOUSE = 4,
  SLOT_PASSIVE_MOTION = 5,
  SLOT_MOTION = 6,
  SLOT_CLEANUP = 7,
  SLOT_COUNT = 8
};

// Handler signatures, one per argument list of the slot table.
using FrameHandler = void (*)(float seconds);
using PairHandler = void (*)(int a, int b);  // reshape (w, h), motion and passive motion (x, y)
using KeyHandler = void (*)(int key, int x, int y);  // keyboard and special keys
using MouseHandler = void (*)(int button, int state, int x, int y);
using CleanupHandler = void (*)();

enum class HandlerKind : int { NONE, FRAME, PAIR, KEY, MOUSE, CLEANUP };

// The generic callback: a tagged union, so a handler is only ever called
// through the exact pointer type it was made from. Converts implicitly from
// each handler signature, and from nullptr to the empty handler.
struct Handler {
  HandlerKind kind = HandlerKind::NONE;
  union {
    FrameHandler frame;
    PairHandler pair;
    KeyHandler key;
    MouseHandler mouse;
    CleanupHandler cleanup;
  };

  constexpr Handler() : frame(nullptr) {}
  constexpr Handler(decltype(nullptr)) : frame(nullptr) {}
  constexpr Handler(FrameHandler f) : kind(f ? HandlerKind::FRAME : HandlerKind::NONE), frame(f) {}
  constexpr Handler(PairHandler f) : kind(f ? HandlerKind::PAIR : HandlerKind::NONE), pair(f) {}
  constexpr Handler(KeyHandler f) : kind(f ? HandlerKind::KEY : HandlerKind::NONE), key(f) {}
  constexpr Handler(MouseHandler f) : kind(f ? HandlerKind::MOUSE : HandlerKind::NONE), mouse(f) {}
  constexpr Handler(CleanupHandler f)
      : kind(f ? HandlerKind::CLEANUP : HandlerKind::NONE), cleanup(f) {}
};

// Opens the window and creates the vector context; call once, first.
void harnessInit(int argc, char** argv, int width, int height, const char* title);
// Stores the handler for slot 0..7; other slot numbers, and a handler whose
// signature does not fit the slot, leave the table unchanged. An empty
// handler empties the slot.
void harnessSetHandler(int slot, Handler handler);
// Runs the window library's event loop; returns only if that loop does.
void harnessRun();
int harnessWidth();
int harnessHeight();
// A new empty path: standard format, float coordinates, all capabilities.
VGPath harnessCreatePath();
// Colour of the frame-rate readout.
void harnessSetTextColor(float r, float g, float b, float a);
// Draws printf-formatted text with the stroke font in the current OpenGL
// colour; (x, y) is the first character's origin in window pixels from the
// lower-left corner. A newline starts the next line 20 pixels lower.
void harnessDrawText(float x, float y, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
