#include "fakes.h"

#include <GL/freeglut.h>
#include <VG/vgext.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "state.h"

FakeWorld fake = {};

void resetFakes() {
  fake.log.clear();
  fake.now = 0;
  fake.allocateFails = false;
  fake.lastAllocation = 0;
  fake.liveAllocations = 0;
  fake.trailOnDestroy = false;
  fake.contextFails = false;
  fake.glVersion = "4.5 (Compatibility Profile)";
  fake.appendedSegments = nullptr;
  fake.appendedCoordinates = nullptr;
}

void fakeRecord(const std::string& line) { fake.log.push_back(line); }

std::string fakeStrokedText() {
  std::string text;
  bool inText = false;
  bool lineStarted = false;  // the first glLoadIdentity of a call opens line one
  for (const std::string& line : fake.log) {
    if (line == "glPushMatrix") {
      inText = true;
      lineStarted = false;
    } else if (line == "glPopMatrix") {
      inText = false;
    } else if (inText && line.rfind("glutStrokeCharacter ", 0) == 0) {
      text.push_back(static_cast<char>(std::atoi(line.c_str() + 20)));
    } else if (inText && line == "glLoadIdentity") {
      if (lineStarted) text.push_back('\n');
      lineStarted = true;
    }
  }
  return text;
}

std::vector<std::string> fakeCalls(const std::string& prefix) {
  std::vector<std::string> lines;
  for (const std::string& line : fake.log)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

namespace {

template <typename... Args>
void record(const char* name, Args... args) {
  std::ostringstream out;
  out << name;
  ((out << ' ' << args), ...);
  fake.log.push_back(out.str());
}

std::string hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

}  // namespace

// The harness's text buffers.
void* harnessAllocate(std::size_t size) {
  fake.lastAllocation = size;
  if (fake.allocateFails) return nullptr;
  ++fake.liveAllocations;
  return std::malloc(size);
}

void harnessRelease(void* block) {
  if (block != nullptr) --fake.liveAllocations;
  std::free(block);
}

extern "C" {

void* glutStrokeRoman = nullptr;

void glutInit(int* argc, char** argv) { record("glutInit", *argc, argv[0]); }
void glutInitDisplayMode(unsigned int mode) { record("glutInitDisplayMode", mode); }
void glutInitWindowPosition(int x, int y) { record("glutInitWindowPosition", x, y); }
void glutInitWindowSize(int w, int h) { record("glutInitWindowSize", w, h); }
int glutCreateWindow(const char* title) {
  record("glutCreateWindow", title);
  return 1;
}
void glutReshapeFunc(void (*f)(int, int)) {
  fake.callbacks.reshape = f;
  record("glutReshapeFunc", f != nullptr);
}
void glutDisplayFunc(void (*f)()) {
  fake.callbacks.display = f;
  record("glutDisplayFunc", f != nullptr);
}
void glutIdleFunc(void (*f)()) {
  fake.callbacks.idle = f;
  record("glutIdleFunc", f != nullptr);
}
void glutKeyboardFunc(void (*f)(unsigned char, int, int)) {
  fake.callbacks.keyboard = f;
  record("glutKeyboardFunc", f != nullptr);
}
void glutSpecialFunc(void (*f)(int, int, int)) {
  fake.callbacks.special = f;
  record("glutSpecialFunc", f != nullptr);
}
void glutMouseFunc(void (*f)(int, int, int, int)) {
  fake.callbacks.mouse = f;
  record("glutMouseFunc", f != nullptr);
}
void glutMotionFunc(void (*f)(int, int)) {
  fake.callbacks.motion = f;
  record("glutMotionFunc", f != nullptr);
}
void glutPassiveMotionFunc(void (*f)(int, int)) {
  fake.callbacks.passiveMotion = f;
  record("glutPassiveMotionFunc", f != nullptr);
}
void glutMainLoop() { record("glutMainLoop"); }
void glutPostRedisplay() { record("glutPostRedisplay"); }
void glutSwapBuffers() { record("glutSwapBuffers"); }
int glutGet(GLenum what) {
  record("glutGet", what);
  return what == GLUT_ELAPSED_TIME ? fake.now : 0;
}
void glutStrokeCharacter(void* font, int c) {
  record(font == GLUT_STROKE_ROMAN ? "glutStrokeCharacter" : "glutStrokeCharacter(other font)", c);
}

void glColor4fv(const GLfloat* c) { record("glColor4fv", c[0], c[1], c[2], c[3]); }
void glEnable(GLenum cap) { record("glEnable", hex(cap)); }
void glDisable(GLenum cap) { record("glDisable", hex(cap)); }
void glBlendFunc(GLenum s, GLenum d) { record("glBlendFunc", hex(s), hex(d)); }
void glMatrixMode(GLenum mode) { record("glMatrixMode", hex(mode)); }
void glPushMatrix() { record("glPushMatrix"); }
void glPopMatrix() { record("glPopMatrix"); }
void glLoadIdentity() { record("glLoadIdentity"); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { record("glTranslatef", x, y, z); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { record("glScalef", x, y, z); }
void glLineWidth(GLfloat w) { record("glLineWidth", w); }
const GLubyte* glGetString(GLenum name) {
  record("glGetString", hex(name));
  return name == GL_VERSION ? reinterpret_cast<const GLubyte*>(fake.glVersion) : nullptr;
}

VGboolean vgCreateContextTQ(VGint w, VGint h) {
  record("vgCreateContextTQ", w, h);
  return fake.contextFails ? VG_FALSE : VG_TRUE;
}
void vgResizeSurfaceTQ(VGint w, VGint h) { record("vgResizeSurfaceTQ", w, h); }
void vgDestroyContextTQ() {
  record("vgDestroyContextTQ");
  if (!fake.trailOnDestroy) return;
  // Death tests read what happened in the dying child from its stderr.
  std::string trail = "TRAIL:";
  for (const std::string& line : fake.log) trail += " " + line + ";";
  std::fprintf(stderr, "%s\n", trail.c_str());
}

VGPath vgCreatePath(VGint format, VGPathDatatype type, VGfloat scale, VGfloat bias, VGint segHint,
                    VGint coordHint, VGbitfield caps) {
  VGPath path = ++fake.nextHandle;
  record("vgCreatePath", format, int(type), scale, bias, segHint, coordHint, hex(caps), "->", path);
  return path;
}
void vgDestroyPath(VGPath path) { record("vgDestroyPath", path); }
void vgClearPath(VGPath path, VGbitfield caps) { record("vgClearPath", path, hex(caps)); }
void vgAppendPathData(VGPath path, VGint count, const VGubyte* segments, const void* data) {
  fake.appendedSegments = segments;
  fake.appendedCoordinates = data;
  record("vgAppendPathData", path, count);
}
void vgTransformPath(VGPath dst, VGPath src) { record("vgTransformPath", dst, src); }
VGboolean vgInterpolatePath(VGPath dst, VGPath start, VGPath end, VGfloat amount) {
  record("vgInterpolatePath", dst, start, end, amount);
  return VG_TRUE;
}
void vgSeti(VGParamType type, VGint value) { record("vgSeti", hex(type), hex(unsigned(value))); }
void vgSetfv(VGParamType type, VGint count, const VGfloat* v) {
  std::ostringstream values;
  for (VGint i = 0; i < count; ++i) values << ' ' << v[i];
  record("vgSetfv", hex(type), count, values.str().substr(1));
}
void vgLoadIdentity() { record("vgLoadIdentity"); }
void vgScale(VGfloat x, VGfloat y) { record("vgScale", x, y); }
void vgTranslate(VGfloat x, VGfloat y) { record("vgTranslate", x, y); }
void vgClear(VGint x, VGint y, VGint w, VGint h) { record("vgClear", x, y, w, h); }
void vgDrawPath(VGPath path, VGbitfield modes) { record("vgDrawPath", path, modes); }
VGPaint vgCreatePaint() {
  VGPaint paint = ++fake.nextHandle;
  record("vgCreatePaint", "->", paint);
  return paint;
}
void vgSetParameterfv(VGHandle object, VGint param, VGint count, const VGfloat* v) {
  std::ostringstream values;
  for (VGint i = 0; i < count; ++i) values << ' ' << v[i];
  record("vgSetParameterfv", object, hex(unsigned(param)), count, values.str().substr(1));
}
void vgSetPaint(VGPaint paint, VGbitfield modes) { record("vgSetPaint", paint, modes); }

}  // extern "C"
