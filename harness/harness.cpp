#include <GL/freeglut.h>
#include <VG/vgext.h>

#include <cstdio>
#include <cstdlib>

#include "state.h"

HarnessState harnessState = {{}, 0, 0, 0, 0, 0, 0, 0, {0.0f, 0.0f, 0.0f, 1.0f}};

const HandlerKind SLOT_KINDS[SLOT_COUNT] = {
    HandlerKind::FRAME,    // SLOT_FRAME
    HandlerKind::PAIR,     // SLOT_RESHAPE
    HandlerKind::KEY,      // SLOT_KEYBOARD
    HandlerKind::KEY,      // SLOT_SPECIAL
    HandlerKind::MOUSE,    // SLOT_MOUSE
    HandlerKind::PAIR,     // SLOT_PASSIVE_MOTION
    HandlerKind::PAIR,     // SLOT_MOTION
    HandlerKind::CLEANUP,  // SLOT_CLEANUP
};

namespace {

constexpr unsigned char KEY_ESCAPE = 27;

// The union member is read only when the tag says it was the one written.
FrameHandler frameHandler() {
  const Handler& h = harnessState.handlers[SLOT_FRAME];
  return h.kind == HandlerKind::FRAME ? h.frame : nullptr;
}

PairHandler pairHandler(HandlerSlot slot) {
  const Handler& h = harnessState.handlers[slot];
  return h.kind == HandlerKind::PAIR ? h.pair : nullptr;
}

KeyHandler keyHandler(HandlerSlot slot) {
  const Handler& h = harnessState.handlers[slot];
  return h.kind == HandlerKind::KEY ? h.key : nullptr;
}

void onReshape(int w, int h) {
  harnessState.width = w;
  harnessState.height = h;
  vgResizeSurfaceTQ(w, h);
  if (PairHandler handler = pairHandler(SLOT_RESHAPE)) handler(w, h);
}

void onDisplay() {
  FrameHandler handler = frameHandler();
  int32_t now = glutGet(GLUT_ELAPSED_TIME);
  if (harnessState.started == 0) harnessState.lastFrameTime = now;
  float seconds = static_cast<float>(harnessElapsed(now, harnessState.lastFrameTime) / 1000.0);
  harnessState.lastFrameTime = now;
  if (handler) handler(seconds);
  harnessDrawFrameRate();
  glutSwapBuffers();
  harnessCountFrame(now);
}

void onIdle() { glutPostRedisplay(); }

void onKeyboard(unsigned char key, int x, int y) {
  if (key == KEY_ESCAPE) std::exit(0);
  if (KeyHandler handler = keyHandler(SLOT_KEYBOARD)) handler(key, x, y);
}

void onSpecial(int key, int x, int y) {
  if (KeyHandler handler = keyHandler(SLOT_SPECIAL)) handler(key, x, y);
}

void onMouse(int button, int state, int x, int y) {
  const Handler& h = harnessState.handlers[SLOT_MOUSE];
  if (h.kind == HandlerKind::MOUSE) h.mouse(button, state, x, y);
}

void onMotion(int x, int y) {
  if (PairHandler handler = pairHandler(SLOT_MOTION)) handler(x, y);
}

void onPassiveMotion(int x, int y) {
  if (PairHandler handler = pairHandler(SLOT_PASSIVE_MOTION)) handler(x, y);
}

void onExit() {
  const Handler& h = harnessState.handlers[SLOT_CLEANUP];
  if (h.kind == HandlerKind::CLEANUP) h.cleanup();
  vgDestroyContextTQ();
}

}  // namespace

void harnessInit(int argc, char** argv, int width, int height, const char* title) {
  int argCount = argc;
  glutInit(&argCount, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL | GLUT_MULTISAMPLE);
  glutInitWindowPosition(0, 0);
  glutInitWindowSize(width, height);
  glutCreateWindow(title);
  glutReshapeFunc(onReshape);
  glutDisplayFunc(onDisplay);
  glutIdleFunc(onIdle);
  glutKeyboardFunc(onKeyboard);
  glutSpecialFunc(onSpecial);
  glutMouseFunc(onMouse);
  glutMotionFunc(onMotion);
  glutPassiveMotionFunc(onPassiveMotion);
  // Hooked once per process, so onExit cannot run twice at exit.
  static bool exitHooked = false;
  if (!exitHooked) exitHooked = std::atexit(onExit) == 0;
  if (vgCreateContextTQ(width, height) != VG_TRUE) {
    // Without the context nothing can be drawn: say why rather than show a
    // black window forever.
    const GLubyte* version = glGetString(GL_VERSION);
    std::fprintf(stderr,
                 "%s: the vector context could not be created: OpenGL %s found, 3.3 or later "
                 "needed\n",
                 argc > 0 && argv[0] != nullptr ? argv[0] : "tarquel",
                 version != nullptr ? reinterpret_cast<const char*>(version) : "(no version)");
    std::exit(EXIT_FAILURE);
  }
  harnessState.width = width;
  harnessState.height = height;
  for (Handler& h : harnessState.handlers) h = Handler();
}

void harnessSetHandler(int slot, Handler handler) {
  if (slot < 0 || slot >= SLOT_COUNT) return;
  if (handler.kind != HandlerKind::NONE && handler.kind != SLOT_KINDS[slot]) return;
  harnessState.handlers[slot] = handler;
}

void harnessRun() { glutMainLoop(); }

int harnessWidth() { return harnessState.width; }

int harnessHeight() { return harnessState.height; }

VGPath harnessCreatePath() {
  return vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1.0f, 0.0f, 0, 0,
                      VG_PATH_CAPABILITY_ALL);
}

void harnessSetTextColor(float r, float g, float b, float a) {
  harnessState.textColor[0] = r;
  harnessState.textColor[1] = g;
  harnessState.textColor[2] = b;
  harnessState.textColor[3] = a;
}
