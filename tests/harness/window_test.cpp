// End-to-end checks of the real program under a private X server: its window,
// the picture it draws, resizing, Escape, and the ways it can be ended or kept
// from starting from outside.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, True, Bool) clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "outlines.h"
#include "xvfb.hpp"

namespace {

constexpr const char* TITLE = "Tarquel: Path Interpolation Test";

struct Box {
  double left, top, right, bottom;  // X image coordinates, rows downwards
  bool empty;
};

std::string describe(const Box& b) {
  if (b.empty) return "(nothing lit)";
  char text[128];
  std::snprintf(text, sizeof text, "cols %.1f..%.1f rows %.1f..%.1f", b.left, b.right, b.top,
                b.bottom);
  return text;
}

// Where the outline at the given amount must appear in a window of width x
// height: the curves are sampled, flipped upright and centred on the integer
// half of the size, as the scene places them.
Box expectedOutline(double amount, int width, int height) {
  double cx = width / 2, cy = height / 2;
  Box box = {1e9, 1e9, -1e9, -1e9, false};
  auto coord = [&](int i) { return APPLE_COORDS[i] + (PEAR_COORDS[i] - APPLE_COORDS[i]) * amount; };
  auto include = [&](double x, double y) {
    double col = cx + x, row = height - cy + y;  // flip, then X rows run downwards
    box.left = std::min(box.left, col);
    box.right = std::max(box.right, col);
    box.top = std::min(box.top, row);
    box.bottom = std::max(box.bottom, row);
  };
  int i = 0;
  double px = 0, py = 0;
  for (VGubyte segment : OUTLINE_SEGMENTS) {
    if (segment == VG_MOVE_TO_ABS) {
      px = coord(i), py = coord(i + 1);
      include(px, py);
      i += 2;
    } else if (segment == VG_CUBIC_TO_ABS) {
      for (int step = 1; step <= 400; ++step) {
        double t = step / 400.0, u = 1 - t;
        double x = u * u * u * px + 3 * u * u * t * coord(i) + 3 * u * t * t * coord(i + 2) +
                   t * t * t * coord(i + 4);
        double y = u * u * u * py + 3 * u * u * t * coord(i + 1) + 3 * u * t * t * coord(i + 3) +
                   t * t * t * coord(i + 5);
        include(x, y);
      }
      px = coord(i + 4), py = coord(i + 5);
      i += 6;
    }
  }
  return box;
}

double morphAmountAt(double seconds) {
  return (std::sin(1.5 * M_PI + 0.4 * M_PI * seconds) + 1) / 2;
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

Window windowNamed(Display* display, const char* title) {
  Window root, parent, *children = nullptr, found = 0;
  unsigned count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && found == 0; ++i) {
      char* name = nullptr;
      if (XFetchName(display, children[i], &name) && name != nullptr) {
        if (std::string(name) == title) found = children[i];
        XFree(name);
      }
    }
    if (children != nullptr) XFree(children);
  }
  return found;
}

// The lower-left 130 x 40 pixels of a window, which hold the readout.
std::vector<unsigned long> readoutCorner(Display* display, Window window) {
  XWindowAttributes a = {};
  XGetWindowAttributes(display, window, &a);
  std::vector<unsigned long> pixels;
  XImage* image = XGetImage(display, window, 0, a.height - 40, 130, 40, AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int row = 0; row < 40; ++row)
    for (int col = 0; col < 130; ++col) pixels.push_back(XGetPixel(image, col, row) & 0xffffff);
  XDestroyImage(image);
  return pixels;
}

// The readout as the drawing steps of the frame cycle give it, drawn by this
// process in a window of the program's kind with the projection the vector
// context sets up, over the black the scene clears to.
std::vector<unsigned long> referenceReadout(Display* display, const char* text) {
  static bool ready = false;
  if (!ready) {
    int argc = 1;
    char name[] = "reference";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL | GLUT_MULTISAMPLE);
    // Beside the program's window: an X image of an overlapped window shows
    // whatever lies on top.
    glutInitWindowPosition(600, 0);
    glutInitWindowSize(400, 400);
    glutCreateWindow("reference readout");
    glutDisplayFunc([] {});
    ready = true;
  }
  for (int i = 0; i < 10; ++i) glutMainLoopEvent();
  glViewport(0, 0, 400, 400);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 400, 0, 400, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const float white[4] = {1, 1, 1, 1};
  glColor4fv(white);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_LINE_SMOOTH);
  glDisable(GL_MULTISAMPLE);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(10.5f, 10.5f, 0.0f);
  glScalef(0.15f, 0.15f, 0.15f);
  glLineWidth(1.0f);
  for (const char* c = text; *c; ++c) glutStrokeCharacter(GLUT_STROKE_ROMAN, *c);
  glPopMatrix();
  glDisable(GL_LINE_SMOOTH);
  glutSwapBuffers();
  glFinish();
  XSync(display, False);
  return readoutCorner(display, windowNamed(display, "reference readout"));
}

long differingPixels(const std::vector<unsigned long>& a, const std::vector<unsigned long>& b) {
  if (a.size() != b.size() || a.empty()) return -1;
  long n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(tqtest::startXvfb()) << "Xvfb could not be started";
    XSetErrorHandler(ignoreXErrors);
  }

  void SetUp() override {
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    char pattern[] = "/tmp/tarquel-clock-XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    clockPath = pattern;
    errorPath = clockPath + ".stderr";
  }

  void TearDown() override {
    if (child > 0) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
    if (display != nullptr) XCloseDisplay(display);
    std::remove(clockPath.c_str());
    std::remove((clockPath + ".new").c_str());
    std::remove(errorPath.c_str());
  }

  // Starts the program, on the test's clock when controlled is set (at 0, or
  // as already set when keepClock is).
  void launch(bool controlled, bool keepClock = false) {
    if (controlled && !keepClock) setClock(0);
    spawn(controlled, {});
    window = findWindow();
    ASSERT_NE(window, Window(0)) << "no window titled \"" << TITLE << "\" appeared";
  }

  // Starts the program with the given variables set (a null value unsets one)
  // and its standard error going to errorPath.
  using Environment = std::vector<std::pair<const char*, const char*>>;
  void spawn(bool controlled, const Environment& environment) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (controlled) {
        setenv("LD_PRELOAD", TEST_CLOCK_LIBRARY, 1);
        setenv("TARQUEL_TEST_CLOCK", clockPath.c_str(), 1);
      }
      for (const auto& [name, value] : environment)
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
      int errors = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (errors >= 0) dup2(errors, 2);
      execl(TARQUEL_MORPH, TARQUEL_MORPH, static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  std::string errorOutput() const {
    std::ifstream in(errorPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Replaced in one step so the program never reads a half-written value.
  void setClock(int milliseconds) { writeClock(std::to_string(milliseconds)); }
  // Reading n (from 0) gives min(n * step, limit) milliseconds.
  void setSteppingClock(int step, int limit) {
    writeClock("step " + std::to_string(step) + " " + std::to_string(limit));
  }
  void writeClock(const std::string& text) {
    std::string fresh = clockPath + ".new";
    FILE* file = std::fopen(fresh.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "%s\n", text.c_str());
    std::fclose(file);
    ASSERT_EQ(std::rename(fresh.c_str(), clockPath.c_str()), 0);
  }

  Window findWindow() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      Window root, parent, *children = nullptr;
      unsigned count = 0;
      Window found = 0;
      if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && found == 0; ++i) {
          char* name = nullptr;
          XWindowAttributes attributes;
          if (XFetchName(display, children[i], &name) && name != nullptr) {
            if (std::string(name) == TITLE &&
                XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable)
              found = children[i];
            XFree(name);
          }
        }
        if (children != nullptr) XFree(children);
      }
      if (found != 0) return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }

  XWindowAttributes attributes() {
    XWindowAttributes a = {};
    XGetWindowAttributes(display, window, &a);
    return a;
  }

  // Bounding box of the pixels at least half white, leaving out the readout
  // corner (lowest 40 rows, leftmost 130 columns).
  Box litBox(bool readoutOnly = false) {
    XWindowAttributes a = attributes();
    Box box = {1e9, 1e9, -1e9, -1e9, true};
    XImage* image = XGetImage(display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (image == nullptr) return box;
    for (int row = 0; row < a.height; ++row) {
      for (int col = 0; col < a.width; ++col) {
        bool corner = row >= a.height - 40 && col < 130;
        if (corner != readoutOnly) continue;
        unsigned long pixel = XGetPixel(image, col, row);
        if ((pixel & image->red_mask) < image->red_mask / 2) continue;
        box.empty = false;
        box.left = std::min(box.left, double(col));
        box.right = std::max(box.right, double(col + 1));
        box.top = std::min(box.top, double(row));
        box.bottom = std::max(box.bottom, double(row + 1));
      }
    }
    XDestroyImage(image);
    return box;
  }

  static bool near(const Box& a, const Box& b, double tolerance) {
    return !a.empty && !b.empty && std::fabs(a.left - b.left) <= tolerance &&
           std::fabs(a.right - b.right) <= tolerance && std::fabs(a.top - b.top) <= tolerance &&
           std::fabs(a.bottom - b.bottom) <= tolerance;
  }

  // Waits (frames keep coming) until the picture matches, then reports the last one.
  void expectPicture(const Box& expected, const char* what) {
    Box seen = {};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      seen = litBox();
      if (near(seen, expected, TOLERANCE)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    EXPECT_TRUE(near(seen, expected, TOLERANCE))
        << what << ": expected " << describe(expected) << ", saw " << describe(seen);
  }

  void expectReadoutInTheLowerLeft() {
    int height = attributes().height;
    Box readout = litBox(true);
    ASSERT_FALSE(readout.empty) << "no readout drawn";
    // "F" begins a few pixels right of the 10.5 origin; its foot sits on the baseline.
    EXPECT_GE(readout.left, 10.0);
    EXPECT_LE(readout.left, 18.0);
    EXPECT_NEAR(readout.bottom, height - 10.5, 2.0) << describe(readout);
  }

  void pressEscape() {
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    KeyCode escape = XKeysymToKeycode(display, XK_Escape);
    XTestFakeKeyEvent(display, escape, True, 0);
    XTestFakeKeyEvent(display, escape, False, 0);
    XFlush(display);
  }

  // The child's exit status, or -1 if it is still running after the timeout.
  int waitForExit(int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) {
        child = 0;
        signalled = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  static constexpr double TOLERANCE = 2.0;
  Display* display = nullptr;
  pid_t child = 0;
  int signalled = 0;  // the signal that ended the child, 0 for a normal exit
  Window window = 0;
  std::string clockPath;
  std::string errorPath;
};

TEST_F(WindowTest, OpensTheTitledWindowAndEndsOnEscape) {
  launch(false);
  XWindowAttributes a = attributes();
  EXPECT_EQ(a.width, 400);
  EXPECT_EQ(a.height, 400);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  pressEscape();
  EXPECT_EQ(waitForExit(10), 0);
}

TEST_F(WindowTest, FirstFrameShowsTheAppleAtTheCentre) {
  launch(true);
  expectPicture(expectedOutline(0.0, 400, 400), "apple at frame 0");
  expectReadoutInTheLowerLeft();
}

TEST_F(WindowTest, OutlineFollowsTheElapsedTime) {
  launch(true);
  expectPicture(expectedOutline(0.0, 400, 400), "apple at 0 s");
  setClock(1240);
  expectPicture(expectedOutline(morphAmountAt(1.24), 400, 400), "half-way at 1.24 s");
  setClock(2500);
  expectPicture(expectedOutline(1.0, 400, 400), "pear at 2.5 s");
  pressEscape();
  EXPECT_EQ(waitForExit(10), 0);
}

TEST_F(WindowTest, ResizeRecentresTheOutlineAndKeepsTheReadout) {
  launch(true);
  expectPicture(expectedOutline(0.0, 400, 400), "apple before the resize");
  XResizeWindow(display, window, 401, 300);
  XSync(display, False);
  expectPicture(expectedOutline(0.0, 401, 300), "apple centred at (200, 150)");
  XWindowAttributes a = attributes();
  EXPECT_EQ(a.width, 401);
  EXPECT_EQ(a.height, 300);
  expectReadoutInTheLowerLeft();
}

// One frame reads the clock once: frames 1..11 see 0, 100, .., 1000 ms and
// frame 12 sees 1100 ms, the first more than 1000 ms after the first frame,
// so it closes the first interval with 12 frames. Exactly 1000 ms closes
// nothing. Held at its limit, the clock then closes no further interval.
TEST_F(WindowTest, ReadoutShowsZeroThenTheFirstIntervalsFrameCount) {
  const struct {
    int limit;
    const char* text;
  } cases[] = {{1000, "FPS: 0"}, {1100, "FPS: 12"}};
  std::vector<unsigned long> zero = referenceReadout(display, "FPS: 0");
  std::vector<unsigned long> twelve = referenceReadout(display, "FPS: 12");
  ASSERT_GT(differingPixels(zero, twelve), 0) << "the reference cannot tell the counts apart";
  for (const auto& c : cases) {
    setSteppingClock(100, c.limit);
    launch(true, true);
    std::vector<unsigned long> expected = c.text[5] == '0' ? zero : twelve;
    long off = -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      off = differingPixels(readoutCorner(display, window), expected);
      if (off == 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(off, 0) << "pixels of the readout differing from \"" << c.text << "\"";
    pressEscape();
    EXPECT_EQ(waitForExit(10), 0);
  }
}

// Each reshape resizes the vector surface, so sizes from one pixel to ten
// times the window pass through it faster than frames are drawn; the
// extremes are held for a few frames.
TEST_F(WindowTest, ResizeStormEndsWithTheOutlineCentredAndTheReadoutInPlace) {
  launch(true);
  expectPicture(expectedOutline(0.0, 400, 400), "apple before the storm");
  auto resize = [&](int width, int height, int holdMs) {
    XResizeWindow(display, window, unsigned(width), unsigned(height));
    if (holdMs == 0) {
      XFlush(display);
      return;
    }
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    XWindowAttributes a = attributes();
    EXPECT_EQ(a.width, width);
    EXPECT_EQ(a.height, height);
  };
  const int extremes[][2] = {{1, 1}, {4000, 4000}, {1, 4000}, {4000, 1}, {1, 1}};
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 60; ++i) {
      int n = round * 60 + i;
      resize(1 + n * 7919 % 1499, 1 + n * 104729 % 1201, 0);
      if (n % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    resize(extremes[round][0], extremes[round][1], 300);
  }
  resize(400, 400, 100);
  expectPicture(expectedOutline(0.0, 400, 400), "apple after the storm");
  expectReadoutInTheLowerLeft();
  EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "the program ended during the storm";
  pressEscape();
  EXPECT_EQ(waitForExit(10), 0);
}

// A window manager closes a window by the client message below, when the
// window lists WM_DELETE_WINDOW among its protocols; XKillClient is what it
// does otherwise, and what cuts the program's connection to the server.
TEST_F(WindowTest, EndedFromOutsideItExitsWithoutACrash) {
  Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  const struct {
    const char* what;
    bool close;  // the window manager's close, else the connection is killed
    int status;  // expected exit status, -1 for any
  } cases[] = {{"closed by the window manager", true, 0}, {"X connection lost", false, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    launch(true);
    expectPicture(expectedOutline(0.0, 400, 400), "apple before");
    if (c.close) {
      Atom* listed = nullptr;
      int count = 0;
      ASSERT_TRUE(XGetWMProtocols(display, window, &listed, &count));
      bool offered = std::find(listed, listed + count, deleteWindow) != listed + count;
      XFree(listed);
      ASSERT_TRUE(offered) << "the window does not take WM_DELETE_WINDOW";
      XEvent event = {};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = protocols;
      event.xclient.format = 32;
      event.xclient.data.l[0] = long(deleteWindow);
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(display, window, False, NoEventMask, &event);
    } else {
      XKillClient(display, window);
    }
    XSync(display, False);
    int status = waitForExit(10);
    EXPECT_EQ(signalled, 0) << "ended by signal " << signalled << "\n" << errorOutput();
    EXPECT_NE(status, -1) << "still running";
    if (c.status >= 0) {
      EXPECT_EQ(status, c.status) << errorOutput();
    }
  }
}

TEST_F(WindowTest, StartWithoutADisplayOrOpenGL33SaysWhyAndFails) {
  const struct {
    const char* what;
    Environment environment;
    std::vector<std::string> said;  // parts of the message on standard error
  } cases[] = {
      {"OpenGL 3.0",
       {{"MESA_GL_VERSION_OVERRIDE", "3.0"}},
       {"the vector context could not be created", "OpenGL 3.0", "3.3"}},
      {"no DISPLAY", {{"DISPLAY", nullptr}}, {"failed to open display"}},
      {"DISPLAY without a server", {{"DISPLAY", ":4093"}}, {"failed to open display ':4093'"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    spawn(false, c.environment);
    int status = waitForExit(20);
    std::string said = errorOutput();
    EXPECT_EQ(signalled, 0) << "ended by signal " << signalled << "\n" << said;
    EXPECT_GT(status, 0) << said;
    for (const std::string& part : c.said) EXPECT_NE(said.find(part), std::string::npos) << said;
  }
}

}  // namespace
