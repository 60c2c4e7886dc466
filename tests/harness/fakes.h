// Recording stand-ins for the window, GL and vector calls the harness and the
// scene make. Each call appends one line to the log; tests compare the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FakeCallbacks {
  void (*reshape)(int, int);
  void (*display)();
  void (*idle)();
  void (*keyboard)(unsigned char, int, int);
  void (*special)(int, int, int);
  void (*mouse)(int, int, int, int);
  void (*motion)(int, int);
  void (*passiveMotion)(int, int);
};

struct FakeWorld {
  std::vector<std::string> log;
  FakeCallbacks callbacks;
  int32_t now;         // what glutGet(GLUT_ELAPSED_TIME) returns
  bool allocateFails;  // harnessAllocate returns null
  std::size_t lastAllocation;
  int liveAllocations;    // reserved and not yet released
  bool trailOnDestroy;    // vgDestroyContextTQ writes the log to stderr
  bool contextFails;      // vgCreateContextTQ returns VG_FALSE
  const char* glVersion;  // what glGetString(GL_VERSION) returns
  const void* appendedSegments;
  const void* appendedCoordinates;
  unsigned nextHandle;
};

extern FakeWorld fake;

// Clears the log and the allocation bookkeeping; callbacks stay registered.
void resetFakes();
// Adds a line to the log (handlers in tests use it to mark where they ran).
void fakeRecord(const std::string& line);
// The characters given to the stroke font, in order; glLoadIdentity inside a
// text call shows up as a newline.
std::string fakeStrokedText();
// The lines starting with the given prefix.
std::vector<std::string> fakeCalls(const std::string& prefix);
