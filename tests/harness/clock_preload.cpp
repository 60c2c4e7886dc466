// Loaded with LD_PRELOAD into the real program by the window tests: replaces
// the window library's elapsed time with a clock the test controls, read from
// the file named by TARQUEL_TEST_CLOCK (milliseconds as text). Every other
// glutGet query goes to the real library.
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
  if (FILE* file = path != nullptr ? std::fopen(path, "r") : nullptr) {
    int value = 0;
    if (std::fscanf(file, "%d", &value) == 1) now = value;
    std::fclose(file);
  }
  return now;
}
