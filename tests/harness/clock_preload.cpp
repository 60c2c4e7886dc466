// Loaded with LD_PRELOAD into the real program by the window tests and by
// scripts/soak.
//
// It replaces the window library's elapsed time with a clock read from the
// file named by TARQUEL_TEST_CLOCK: either milliseconds as text; or
// "step S L", under which the n-th reading (from 0) is min(n * S, L), so that
// a test knows exactly which frame saw which time; or "scale K", the real
// elapsed time K times as fast. Every other glutGet query goes to the real
// library.
//
// With TARQUEL_TEST_REPORT set it also watches each buffer swap: it drains
// and counts the OpenGL errors pending there, and writes "frames N errors E
// first F" (F the first error's code, 0 if none) to that file about once a
// second and at exit. With TARQUEL_TEST_RUN_MS set the program ends with
// exit(0), as Escape ends it, at the first swap that many real milliseconds
// after the first.
#include <GL/freeglut.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using GetFunction = int (*)(GLenum);
using SwapFunction = void (*)();
using ErrorFunction = GLenum (*)();

int realGet(GLenum what) {
  static GetFunction real = reinterpret_cast<GetFunction>(dlsym(RTLD_NEXT, "glutGet"));
  return real != nullptr ? real(what) : 0;
}

struct Report {
  long frames = 0;
  long errors = 0;
  unsigned first = 0;
  int lastWrite = 0;
  bool written = false;

  // Replaced in one step so that a reader never sees a half-written file.
  void write() const {
    const char* path = std::getenv("TARQUEL_TEST_REPORT");
    if (path == nullptr) return;
    std::string fresh = std::string(path) + ".new";
    FILE* file = std::fopen(fresh.c_str(), "w");
    if (file == nullptr) return;
    std::fprintf(file, "frames %ld errors %ld first 0x%04X\n", frames, errors, first);
    std::fclose(file);
    std::rename(fresh.c_str(), path);
  }

  ~Report() {
    if (frames > 0) write();
  }
};

// Destroyed at exit, after the program's own exit hooks.
Report report;

}  // namespace

extern "C" int glutGet(GLenum what) {
  if (what != GLUT_ELAPSED_TIME) return realGet(what);
  // Keeps the last good reading while the test replaces the file.
  static int now = 0;
  const char* path = std::getenv("TARQUEL_TEST_CLOCK");
  static long readings = 0;
  if (FILE* file = path != nullptr ? std::fopen(path, "r") : nullptr) {
    int value = 0, step = 0, limit = 0;
    double scale = 0;
    if (std::fscanf(file, "step %d %d", &step, &limit) == 2) {
      long t = readings * long(step);
      now = int(t < limit ? t : limit);
    } else if (std::fscanf(file, "scale %lf", &scale) == 1) {
      // Wraps like the real millisecond count would, only sooner.
      now = int(static_cast<unsigned>(realGet(GLUT_ELAPSED_TIME) * scale));
    } else if (std::fscanf(file, "%d", &value) == 1) {
      now = value;
    }
    std::fclose(file);
  }
  ++readings;
  return now;
}

extern "C" void glutSwapBuffers() {
  static SwapFunction real = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
  if (real != nullptr) real();
  if (std::getenv("TARQUEL_TEST_REPORT") == nullptr) return;
  static ErrorFunction getError =
      reinterpret_cast<ErrorFunction>(dlsym(RTLD_DEFAULT, "glGetError"));
  // A lost context can report errors forever; a bounded drain keeps a frame finite.
  for (int i = 0; getError != nullptr && i < 64; ++i) {
    GLenum error = getError();
    if (error == GL_NO_ERROR) break;
    if (report.errors++ == 0) report.first = error;
  }
  int now = realGet(GLUT_ELAPSED_TIME);
  static int firstSwap = now;
  ++report.frames;
  if (!report.written || now - report.lastWrite >= 1000) {
    report.written = true;
    report.lastWrite = now;
    report.write();
  }
  static const char* runFor = std::getenv("TARQUEL_TEST_RUN_MS");
  if (runFor != nullptr && now - firstSwap >= std::atol(runFor)) std::exit(0);
}
