// Draws a test card of the library's features into a PNG, with no window:
// an off-screen OpenGL context from EGL on the surfaceless platform.
//
//   tarquel-test-card [out.png]
//
// Rows, bottom to top: translucency, dashes and curves, caps, joins and
// miter limits, fills under both rules and the utility shapes, and paints
// and images: linear and radial gradients in each spread mode, patterns in
// each tiling mode, and an image drawn rotated and in perspective.
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
constexpr int kHeight = 680;

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

void loadMatrix(VGMatrixMode mode, const VGfloat (&m)[9]) {
  vgSeti(VG_MATRIX_MODE, mode);
  vgLoadMatrix(m);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
}

// An image of `size` x `size` pixels, opaque, with a light frame, a diagonal
// and a dark cell in one corner, so that turns and mirrors show.
VGImage makeImage(int size) {
  std::vector<VGuint> pixels(size_t(size) * size_t(size));
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      VGuint c = 0x3060C0FF + VGuint(x * 255 / size) * 0x01000000u;
      if (x == 0 || y == 0 || x == size - 1 || y == size - 1) c = 0xF0F0E0FF;
      if (x == y) c = 0xF0C020FF;
      if (x >= size - 2 && y >= size - 2 && size > 4) c = 0x202020FF;
      pixels[size_t(y) * size_t(size) + size_t(x)] = c;
    }
  }
  VGImage image = vgCreateImage(
      VG_sRGBA_8888, size, size,
      VG_IMAGE_QUALITY_BETTER | VG_IMAGE_QUALITY_FASTER | VG_IMAGE_QUALITY_NONANTIALIASED);
  vgImageSubData(image, pixels.data(), size * 4, VG_sRGBA_8888, 0, 0, size, size);
  return image;
}

// The top row: twelve cells of 56 x 56 pixels, left to right: linear and
// radial gradients, each with pad, repeat and reflect; a pattern with each
// tiling mode; an image rotated, and one in perspective.
void drawPaintsAndImages(VGPaint fill) {
  constexpr float kTop = 610, kCell = 56, kStep = 64, kLeft = 20;
  const VGfloat identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const VGfloat stops[15] = {0,    0.95f, 0.3f, 0.2f, 1,    0.5f,  0.95f, 0.85f,
                             0.3f, 1,     1,    0.2f, 0.4f, 0.95f, 1};
  vgSetParameterfv(fill, VG_PAINT_COLOR_RAMP_STOPS, 15, stops);
  const VGColorRampSpreadMode spreads[3] = {VG_COLOR_RAMP_SPREAD_PAD, VG_COLOR_RAMP_SPREAD_REPEAT,
                                            VG_COLOR_RAMP_SPREAD_REFLECT};
  auto cell = [&](int i) {
    VGPath p = newPath();
    vguRect(p, kLeft + kStep * float(i), kTop, kCell, kCell);
    draw(p, VG_FILL_PATH);
  };
  loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, identity);
  for (int i = 0; i < 6; ++i) {
    const float x = kLeft + kStep * float(i), cx = x + kCell / 2, cy = kTop + kCell / 2;
    vgSetParameteri(fill, VG_PAINT_COLOR_RAMP_SPREAD_MODE, spreads[i % 3]);
    if (i < 3) {
      const VGfloat line[4] = {cx - 10, cy - 6, cx + 10, cy + 6};
      vgSetParameteri(fill, VG_PAINT_TYPE, VG_PAINT_TYPE_LINEAR_GRADIENT);
      vgSetParameterfv(fill, VG_PAINT_LINEAR_GRADIENT, 4, line);
    } else {
      const VGfloat circle[5] = {cx, cy, cx + 4, cy + 3, 12};
      vgSetParameteri(fill, VG_PAINT_TYPE, VG_PAINT_TYPE_RADIAL_GRADIENT);
      vgSetParameterfv(fill, VG_PAINT_RADIAL_GRADIENT, 5, circle);
    }
    cell(i);
  }

  // Patterns: a 6 x 6 image at 4 pixels a pixel, in the middle of its
  // cell, turned a little; outside it the tiling mode decides.
  const VGImage tile = makeImage(6);
  const VGfloat tileFill[4] = {0.15f, 0.15f, 0.2f, 1};
  vgSetfv(VG_TILE_FILL_COLOR, 4, tileFill);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_NONANTIALIASED);
  vgSetParameteri(fill, VG_PAINT_TYPE, VG_PAINT_TYPE_PATTERN);
  vgPaintPattern(fill, tile);
  const VGTilingMode tilings[4] = {VG_TILE_FILL, VG_TILE_PAD, VG_TILE_REPEAT, VG_TILE_REFLECT};
  for (int i = 0; i < 4; ++i) {
    const float x = kLeft + kStep * float(6 + i);
    const float c = float(std::cos(0.2)) * 4, s = float(std::sin(0.2)) * 4;
    const VGfloat m[9] = {c, s, 0, -s, c, 0, x + 16, kTop + 14, 1};
    loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, m);
    vgSetParameteri(fill, VG_PAINT_PATTERN_TILING_MODE, tilings[i]);
    cell(6 + i);
  }
  vgPaintPattern(fill, VG_INVALID_HANDLE);
  vgSetParameteri(fill, VG_PAINT_TYPE, VG_PAINT_TYPE_COLOR);
  loadMatrix(VG_MATRIX_FILL_PAINT_TO_USER, identity);
  vgDestroyImage(tile);

  // An image of 12 x 12 pixels rotated by 30 degrees and scaled by 3, then
  // one in perspective, its far side narrower.
  const VGImage image = makeImage(12);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_BETTER);
  const float x0 = kLeft + kStep * 10;
  const float c = float(std::cos(M_PI / 6)) * 3, s = float(std::sin(M_PI / 6)) * 3;
  // Its corners turn to x -18 to 31 and y 0 to 49: centred in the cell.
  const VGfloat rotated[9] = {c, s, 0, -s, c, 0, x0 + 21.4f, kTop + 3.4f, 1};
  loadMatrix(VG_MATRIX_IMAGE_USER_TO_SURFACE, rotated);
  vgDrawImage(image);
  const float x1 = kLeft + kStep * 11;
  // A projective map about the origin, then moved to the cell: the move's
  // offsets enter the second column through w = 1 + 0.04 y.
  const VGfloat perspective[9] = {4.5f, 0,    0, 1.2f + 0.04f * x1, 4.2f + 0.04f * kTop, 0.04f,
                                  x1,   kTop, 1};
  loadMatrix(VG_MATRIX_IMAGE_USER_TO_SURFACE, perspective);
  vgDrawImage(image);
  loadMatrix(VG_MATRIX_IMAGE_USER_TO_SURFACE, identity);
  vgSeti(VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_FASTER);
  vgDestroyImage(image);
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

  drawPaintsAndImages(fill);
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
