// Loaded with LD_PRELOAD into the real program by the window tests: replaces
// the window library's elapsed time with a clock the test controls, read from
// the file named by TARQUEL_TEST_CLOCK: either milliseconds as text, or
// "step S L", under which the n-th reading (from 0) is min(n * S, L), so that
// a test knows exactly which frame saw which time. Every other glutGet query
// goes to the real library.
#include <GL/freeglut.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

extern "C" int glutGet(GLenum what) {
  using GetFunction = int (*)(GLenum);
  static GetFunction real = reinterpret_cast<GetFunction>(dlsym(RTLD_NEXT, "glutGet"));
  if (what != GLUT_ELAPSED_TIME) return real != nullptr ? real(what) : 0;
  // Keeps the last good reading while the test replaces the file.
  static int now = 0;
  const char* path = std::getenv("TARQUEL_TEST_CLOCK");
  static long readings = 0;
  if (FILE* file = path != nullptr ? std::fopen(path, "r") : nullptr) {
    int value = 0, step = 0, limit = 0;
    if (std::fscanf(file, "step %d %d", &step, &limit) == 2) {
      long t = readings * long(step);
      now = int(t < limit ? t : limit);
    } else if (std::fscanf(file, "%d", &value) == 1) {
      now = value;
    }
    std::fclose(file);
  }
  ++readings;
  return now;
}
