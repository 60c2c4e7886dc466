// Draws a test card of the library's features into a PNG, with no window:
// an off-screen OpenGL context from EGL on the surfaceless platform.
//
//   tarquel-test-card [out.png]
//
// Rows, bottom to top: translucency, dashes and curves, caps, joins and
// miter limits, fills under both rules and the utility shapes.
#include <VG/openvg.h>
#include <VG/vgext.h>
#include <VG/vgu.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

bool makeContext() {
  EGLDisplay display =
      eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_ALPHA_SIZE,
                                     8,
                                     EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_BIT,
                                     EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) return false;
  const EGLint surfaceAttributes[] = {EGL_WIDTH, kWidth, EGL_HEIGHT, kHeight, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
  if (surface == EGL_NO_SURFACE || !eglBindAPI(EGL_OPENGL_API)) return false;
  const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                      3,
                                      EGL_CONTEXT_MINOR_VERSION,
                                      3,
                                      EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                      EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                      EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  return context != EGL_NO_CONTEXT && eglMakeCurrent(display, surface, surface, context);
}

bool writePng(const char* file) {
  std::vector<unsigned char> rgba(size_t(kWidth) * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = kWidth;
  image.height = kHeight;
  image.format = PNG_FORMAT_RGBA;
  // OpenGL's rows run bottom up: a negative stride says so.
  return png_image_write_to_file(&image, file, 0, rgba.data(), -kWidth * 4, nullptr) != 0;
}

VGPath newPath() {
  return vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0,
                      VG_PATH_CAPABILITY_ALL);
}

VGPath polyline(std::vector<float> xy, bool closed) {
  VGPath p = newPath();
  vguPolygon(p, xy.data(), VGint(xy.size() / 2), closed ? VG_TRUE : VG_FALSE);
  return p;
}

void setColor(VGPaint paint, float r, float g, float b, float a) {
  const VGfloat c[4] = {r, g, b, a};
  vgSetParameterfv(paint, VG_PAINT_COLOR, 4, c);
}

// Draws and frees a path.
void draw(VGPath p, VGbitfield modes) {
  vgDrawPath(p, modes);
  vgDestroyPath(p);
}

void star(float cx, float cy, float r) {
  std::vector<float> xy;
  for (int i = 0; i < 5; ++i) {
    const double a = M_PI / 2 + i * 4 * M_PI / 5;
    xy.push_back(cx + r * float(std::cos(a)));
    xy.push_back(cy + r * float(std::sin(a)));
  }
  draw(polyline(xy, true), VG_FILL_PATH);
}

void drawCard(VGPaint fill, VGPaint stroke) {
  const VGfloat background[4] = {0.08f, 0.09f, 0.12f, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, background);
  vgClear(0, 0, kWidth, kHeight);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();

  // Fills: a star under even-odd and non-zero, and the utility shapes.
  setColor(fill, 0.95f, 0.85f, 0.3f, 1);
  vgSeti(VG_FILL_RULE, VG_EVEN_ODD);
  star(70, 520, 60);
  vgSeti(VG_FILL_RULE, VG_NON_ZERO);
  star(200, 520, 60);
  setColor(fill, 0.4f, 0.75f, 0.95f, 1);
  VGPath shapes = newPath();
  vguRect(shapes, 280, 470, 90, 100);
  vguRoundRect(shapes, 390, 470, 100, 100, 40, 30);
  vguEllipse(shapes, 560, 520, 100, 70);
  vguArc(shapes, 690, 520, 100, 100, 30, 300, VGU_ARC_PIE);
  draw(shapes, VG_FILL_PATH);

  // Joins, each with a fill under its stroke, and miter limits on a sharp
  // angle: 1 (bevel) and 10 (miter).
  vgSetf(VG_STROKE_LINE_WIDTH, 14);
  setColor(fill, 0.25f, 0.3f, 0.45f, 1);
  setColor(stroke, 0.95f, 0.5f, 0.35f, 1);
  const VGJoinStyle joins[3] = {VG_JOIN_MITER, VG_JOIN_ROUND, VG_JOIN_BEVEL};
  for (int i = 0; i < 3; ++i) {
    vgSeti(VG_STROKE_JOIN_STYLE, joins[i]);
    const float x = 30 + 140 * float(i);
    draw(polyline({x, 360, x + 50, 430, x + 100, 360}, true), VG_FILL_PATH | VG_STROKE_PATH);
  }
  vgSeti(VG_STROKE_JOIN_STYLE, VG_JOIN_MITER);
  const float limits[2] = {1, 10};
  for (int i = 0; i < 2; ++i) {
    vgSetf(VG_STROKE_MITER_LIMIT, limits[i]);
    const float x = 470 + 150 * float(i);
    draw(polyline({x, 350, x + 60, 440, x + 120, 350}, false), VG_STROKE_PATH);
  }
  vgSetf(VG_STROKE_MITER_LIMIT, 4);

  // Caps: butt, round and square, over the thin line they end on.
  const VGCapStyle caps[3] = {VG_CAP_BUTT, VG_CAP_ROUND, VG_CAP_SQUARE};
  for (int i = 0; i < 3; ++i) {
    const float y = 300 - 30 * float(i);
    vgSeti(VG_STROKE_CAP_STYLE, caps[i]);
    vgSetf(VG_STROKE_LINE_WIDTH, 18);
    setColor(stroke, 0.55f, 0.85f, 0.45f, 1);
    VGPath line = newPath();
    vguLine(line, 60, y, 340, y);
    draw(line, VG_STROKE_PATH);
    vgSetf(VG_STROKE_LINE_WIDTH, 1);
    setColor(stroke, 1, 1, 1, 1);
    line = newPath();
    vguLine(line, 60, y, 340, y);
    draw(line, VG_STROKE_PATH);
  }
  vgSeti(VG_STROKE_CAP_STYLE, VG_CAP_BUTT);

  // Curves stroked along their offset: a cubic, a quadratic and an arc.
  vgSetf(VG_STROKE_LINE_WIDTH, 10);
  setColor(stroke, 0.75f, 0.55f, 0.95f, 1);
  VGPath curves = newPath();
  const VGubyte curveCommands[5] = {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS, VG_QUAD_TO_ABS, VG_MOVE_TO_ABS,
                                    VG_SCCWARC_TO_ABS};
  const VGfloat curveData[] = {400, 230, 450, 330, 520, 130, 570, 240, 620, 330,
                               660, 240, 680, 250, 50,  50,  0,   770, 250};
  vgAppendPathData(curves, 5, curveCommands, curveData);
  draw(curves, VG_STROKE_PATH);

  // Dashes: on-off patterns with a phase, round caps on every dash.
  vgSeti(VG_STROKE_CAP_STYLE, VG_CAP_ROUND);
  vgSetf(VG_STROKE_LINE_WIDTH, 6);
  setColor(stroke, 0.95f, 0.95f, 0.95f, 1);
  const VGfloat dashes[4] = {24, 12, 4, 12};
  vgSetfv(VG_STROKE_DASH_PATTERN, 4, dashes);
  for (int i = 0; i < 3; ++i) {
    vgSetf(VG_STROKE_DASH_PHASE, 8 * float(i));
    const float y = 170 - 20 * float(i);
    draw(polyline({40, y, 360, y}, false), VG_STROKE_PATH);
  }
  VGPath dashedCircle = newPath();
  vguEllipse(dashedCircle, 470, 130, 90, 90);
  draw(dashedCircle, VG_STROKE_PATH);
  vgSetfv(VG_STROKE_DASH_PATTERN, 0, nullptr);
  vgSeti(VG_STROKE_CAP_STYLE, VG_CAP_BUTT);

  // Translucency: a stroke across its own crossings and joins keeps one
  // colour; translucent fills overlap under source-over.
  vgSetf(VG_STROKE_LINE_WIDTH, 16);
  vgSeti(VG_STROKE_JOIN_STYLE, VG_JOIN_ROUND);
  setColor(stroke, 0.3f, 0.9f, 0.9f, 0.5f);
  draw(polyline({560, 40, 760, 200, 760, 40, 560, 200}, true), VG_STROKE_PATH);
  const float rgb[3][3] = {{1, 0.2f, 0.2f}, {0.2f, 1, 0.2f}, {0.2f, 0.4f, 1}};
  for (int i = 0; i < 3; ++i) {
    setColor(fill, rgb[i][0], rgb[i][1], rgb[i][2], 0.5f);
    VGPath disc = newPath();
    vguEllipse(disc, 120 + 40 * float(i), 60 + 20 * float(i % 2), 90, 90);
    draw(disc, VG_FILL_PATH);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = argc > 1 ? argv[1] : "test-card.png";
  if (!makeContext()) {
    std::fprintf(stderr, "tarquel-test-card: no off-screen OpenGL 3.3 context from EGL\n");
    return 1;
  }
  if (!vgCreateContextTQ(kWidth, kHeight)) {
    std::fprintf(stderr, "tarquel-test-card: the vector context could not be created\n");
    return 1;
  }
  VGPaint fill = vgCreatePaint();
  VGPaint stroke = vgCreatePaint();
  vgSetPaint(fill, VG_FILL_PATH);
  vgSetPaint(stroke, VG_STROKE_PATH);
  drawCard(fill, stroke);
  const VGErrorCode error = vgGetError();
  vgDestroyContextTQ();
  if (error != VG_NO_ERROR) {
    std::fprintf(stderr, "tarquel-test-card: drawing raised error 0x%x\n", unsigned(error));
    return 1;
  }
  if (!writePng(out)) {
    std::fprintf(stderr, "tarquel-test-card: could not write %s\n", out);
    return 1;
  }
  std::printf("%s\n", out);
  return 0;
}
