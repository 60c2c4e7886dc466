#include "gl/renderer.hpp"

#include <epoxy/egl.h>
#include <epoxy/gl.h>
#include <epoxy/glx.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "gl/shader.hpp"
#include "gl/state.hpp"

namespace tq {
namespace {

const void* currentGlContext() {
  if (const void* glx = glXGetCurrentContext()) return glx;
  if (epoxy_has_egl()) return eglGetCurrentContext();
  return nullptr;
}

// What changes from fill to fill and the fragments need goes to them from
// the vertex stage, as flat values: a software renderer copies its whole
// fragment state (tens of kilobytes) for each draw whose fragment uniforms
// changed, and with none it keeps one copy for a thousand fills.
const char* const FILL_VALUES = R"(
uniform ivec2 uOrigin;      // the coverage box's lower left corner
uniform ivec2 uSize;        // and size
uniform int uCoverageBase;  // the box's first byte in the coverage store
uniform vec4 uColor;        // premultiplied
uniform int uMode;
flat out ivec2 vOrigin;
flat out ivec2 vSize;
flat out int vCoverageBase;
flat out vec4 vColor;
flat out int vMode;
void passFillValues() {
  vOrigin = uOrigin;
  vSize = uSize;
  vCoverageBase = uCoverageBase;
  vColor = uColor;
  vMode = uMode;
}
)";

// Six vertices a trapezoid, two triangles made from gl_VertexID, so no
// vertex buffer is written per draw (a buffer update would wait for the
// previous draw on some drivers) and all trapezoids go through the vertex
// stage in one run.
const char* const VERTEX_SHADER = R"(
uniform vec4 uSides[128];  // left and right x at the bottom, then at the top
uniform vec4 uRows[64];    // bottom and top y of trapezoids 2k (xy) and 2k + 1 (zw)
uniform vec2 uSurface;
void main() {
  int trapezoid = gl_VertexID / 6;
  // Corners 0 1 2, 2 1 3, two bits each: bit 0 right, bit 1 top.
  int corner = (3492 >> (2 * (gl_VertexID % 6))) & 3;
  vec4 x = uSides[trapezoid];
  vec4 rows = uRows[trapezoid >> 1];
  vec2 y = (trapezoid & 1) != 0 ? rows.zw : rows.xy;
  bool right = (corner & 1) != 0;
  vec2 p = (corner & 2) != 0 ? vec2(right ? x.w : x.z, y.y) : vec2(right ? x.y : x.x, y.x);
  gl_Position = vec4(p / uSurface * 2.0 - 1.0, 0.0, 1.0);
  passFillValues();
}
)";

// Where the blended pieces read coverage from, by the box's pixel. A
// storage buffer the mask is copied into as it is costs the driver less, to
// fill and per pixel read, than a texture; OpenGL before 4.3 has none.
// Blocks along the outline reach past the box, where coverage is 0 and
// nothing may be read.
const char* const TEXTURE_COVERAGE = R"(#version 330 core
uniform sampler2D uCoverage;
flat in ivec2 vSize;  // the box's
float coverageAt(ivec2 p) {
  bool inside = all(lessThan(uvec2(p), uvec2(vSize)));
  float c = texelFetch(uCoverage, inside ? p : ivec2(0), 0).r;
  return inside ? c : 0.0;
}
)";

// Bytes packed four to a word, the first in the low bits (little-endian
// hosts only), rows of the box's width, from a word boundary.
const char* const BUFFER_COVERAGE = R"(#version 430 core
layout(std430, binding = 0) readonly buffer CoverageBytes { uint uCoverageWords[]; };
flat in ivec2 vSize;  // the box's
flat in int vCoverageBase;
float coverageAt(ivec2 p) {
  bool inside = all(lessThan(uvec2(p), uvec2(vSize)));
  int i = inside ? p.y * vSize.x + p.x : 0;
  uint word = uCoverageWords[(vCoverageBase + i) >> 2];
  return inside ? float((word >> uint((i & 3) * 8)) & 255u) * (1.0 / 255.0) : 0.0;
}
)";

// One point a square of blocks: a point covers the pixels whose centres lie
// in its square, and has no diagonal to shade twice. Each square comes as
// its 16 pixels' coverage (rows from the bottom, a byte each; all 255 for a
// fully covered square of any size), then its corner's block column times 8
// plus its level (side 4 << level) and its block row times 8. They come
// from a uniform buffer of the library's own, written where no queued draw
// reads: the same data in the program's uniform arrays made the driver
// upload the arrays whole for every draw, into memory it took from the
// system and gave back, at more cost than the drawing.
const char* const BLOCK_POINT_VERTEX_SHADER = R"(
layout(std140) uniform SquareData { uvec4 uSquareData[512]; };
uniform vec2 uSurface;
flat out uvec4 vBlock;
void main() {
  ivec2 square = ivec2(uSquareData[2 * gl_VertexID + 1].xy);
  float size = float(4 << (square.x & 7));
  vec2 corner = vec2(square >> 3) * 4.0;
  gl_Position = vec4((corner + 0.5 * size) / uSurface * 2.0 - 1.0, 0.0, 1.0);
  gl_PointSize = size;
  vBlock = uSquareData[2 * gl_VertexID];
  passFillValues();
}
)";

// Blocks lie on the surface's grid of 4 x 4 pixels, so a pixel's place in
// its block is its window position's low bits: no corner goes along, as
// each flat value a point carries adds to a software renderer's setup of it.
const char* const BLOCK_COVERAGE = R"(#version 330 core
flat in uvec4 vBlock;
float coverageAt(ivec2 boxPixel) {
  ivec2 q = ivec2(gl_FragCoord.xy) & 3;
  return float((vBlock[q.y] >> uint(q.x * 8)) & 255u) * (1.0 / 255.0);
}
)";

// Each program's fragment shader is its coverage source, its paint's
// paintAt() (the premultiplied paint at the pixel's centre) and what its
// blend class does with them.
const char* const COLOR_PAINT = R"(
flat in vec4 vColor;
vec4 paintAt() { return vColor; }
)";

// The ramp is evaluated from its stops at each pixel rather than looked up
// in a texture: exact for every stop spacing, steep steps included, and no
// texture to keep in step with the paint.
const char* const RAMP = R"(
uniform float uOffsets[34];
uniform vec4 uStopColors[34];
uniform int uStopCount;
uniform int uSpread;  // 0 pad, 1 repeat, 2 reflect
uniform bool uPremultiplyAfter;
vec4 rampAt(float t) {
  if (uSpread == 1) {
    t = fract(t);
  } else if (uSpread == 2) {
    t = 1.0 - abs(mod(t, 2.0) - 1.0);
  } else {
    t = clamp(t, 0.0, 1.0);
  }
  // The last stop at or below t starts the span t lies in.
  vec4 c = uStopColors[0];
  for (int i = 1; i < uStopCount; ++i) {
    float lo = uOffsets[i - 1], hi = uOffsets[i];
    if (t > lo) {
      c = hi > lo ? mix(uStopColors[i - 1], uStopColors[i], min((t - lo) / (hi - lo), 1.0))
                  : uStopColors[i];
    }
  }
  if (uPremultiplyAfter) c.rgb *= c.a;
  return c;
}
)";

// t straight from the surface point: uLinear folds the surface-to-paint map
// and (p - p0) . d / d . d into one plane.
const char* const LINEAR_PAINT = R"(
uniform vec3 uLinear;
vec4 paintAt() { return rampAt(dot(uLinear, vec3(gl_FragCoord.xy, 1.0))); }
)";

// The point lies on the circle of radius t r about focus + t (centre - focus):
// t = (d . f + sqrt(r^2 d . d - (d x f)^2)) / (r^2 - f . f), with d the paint
// point from the focal point and f the focal point from the centre, inside
// the circle so the root is real and the divisor positive.
const char* const RADIAL_PAINT = R"(
uniform vec3 uPaintX;  // surface to paint space, from the focal point
uniform vec3 uPaintY;
uniform vec4 uRadial;  // f, r, 1 / (r^2 - f . f)
vec4 paintAt() {
  vec3 s = vec3(gl_FragCoord.xy, 1.0);
  vec2 d = vec2(dot(uPaintX, s), dot(uPaintY, s));
  vec2 f = uRadial.xy;
  float r = uRadial.z;
  float cross = d.x * f.y - d.y * f.x;
  float root = sqrt(max(r * r * dot(d, d) - cross * cross, 0.0));
  return rampAt((dot(d, f) + root) * uRadial.w);
}
)";

// A pattern is an image texture in paint space; its sampler tiles it.
const char* const PATTERN_PAINT = R"(
uniform sampler2D uPattern;
uniform vec3 uPatternX;  // surface to the pattern's texture coordinates
uniform vec3 uPatternY;
vec4 paintAt() {
  vec3 s = vec3(gl_FragCoord.xy, 1.0);
  return texture(uPattern, vec2(dot(uPatternX, s), dot(uPatternY, s)));
}
)";

// What is drawn, premultiplied, and the alpha that weighs each colour
// channel of the destination: the paint, or vgDrawImage's image alone, times
// the paint, or as per-channel alpha through which the paint shows.
const char* const PAINT_SOURCE = R"(
vec4 sourceAt(out vec3 alphas) {
  vec4 p = paintAt();
  alphas = vec3(p.a);
  return p;
}
)";

// The image's matrix is projective: each pixel centre is mapped back and
// divided by its third coordinate.
const char* const IMAGE_AT = R"(
uniform sampler2D uImage;
uniform mat3 uImageMatrix;  // surface to the image's texture coordinates
vec4 imageAt() {
  vec3 q = uImageMatrix * vec3(gl_FragCoord.xy, 1.0);
  return texture(uImage, q.xy / q.z);
}
)";

const char* const IMAGE_NORMAL = R"(
vec4 sourceAt(out vec3 alphas) {
  vec4 i = imageAt();
  alphas = vec3(i.a);
  return i;
}
)";

const char* const IMAGE_MULTIPLY = R"(
vec4 sourceAt(out vec3 alphas) {
  vec4 s = imageAt() * paintAt();
  alphas = vec3(s.a);
  return s;
}
)";

// Premultiplied image channels are the image's colour times its alpha:
// each channel's alpha is the paint's alpha times that.
const char* const IMAGE_STENCIL = R"(
vec4 sourceAt(out vec3 alphas) {
  vec4 i = imageAt();
  vec4 p = paintAt();
  alphas = p.a * i.rgb;
  return vec4(p.rgb * i.rgb, p.a * i.a);
}
)";

// outColor is the premultiplied source scaled by coverage; outBlend is the
// second source the blend stage uses as destination factor, which lets one
// fixed-function blend express each mode exactly with coverage, with a
// separate alpha for each colour channel where an image stencils the paint.
// Darken and lighten are not linear in the destination, so they read a copy
// of it.
const char* const GENERAL_BLEND = R"(
uniform sampler2D uDestination;
flat in ivec2 vOrigin;
flat in int vMode;
layout(location = 0, index = 0) out vec4 outColor;
layout(location = 0, index = 1) out vec4 outBlend;
void main() {
  ivec2 p = ivec2(gl_FragCoord.xy) - vOrigin;
  float c = coverageAt(p);
  vec3 alphas;
  vec4 paint = sourceAt(alphas);
  vec4 s = paint * c;
  vec4 a = vec4(alphas, paint.a) * c;
  outColor = s;
  outBlend = vec4(1.0 - c);
  if (vMode == 1) {
    outBlend = vec4(1.0 - c) + a;
  } else if (vMode == 2) {
    outBlend = vec4(vec3(1.0) - a.rgb + s.rgb, 1.0);
  } else if (vMode == 5) {
    outBlend = vec4(1.0) - a;
  } else if (vMode >= 3) {
    vec4 d = texelFetch(uDestination, p, 0);
    vec3 over = s.rgb + d.rgb * (1.0 - a.rgb);
    vec3 under = d.rgb + s.rgb * (1.0 - d.a);
    vec3 rgb = vMode == 3 ? min(over, under) : max(over, under);
    outColor = vec4(rgb, s.a + d.a * (1.0 - s.a));
  }
}
)";

// The common modes need neither a second source nor the destination; a
// program without them is cheaper per pixel on software rasterisers.
const char* const SIMPLE_BLEND = R"(
flat in ivec2 vOrigin;
out vec4 outColor;
void main() {
  vec3 alphas;
  outColor = sourceAt(alphas) * coverageAt(ivec2(gl_FragCoord.xy) - vOrigin);
}
)";

// Pixels the coverage covers fully take the paint as it is when it is opaque
// (or the mode replaces): no coverage read and no blending.
const char* const SOLID_BLEND = R"(
out vec4 outColor;
void main() {
  vec3 alphas;
  outColor = sourceAt(alphas);
}
)";

enum ShaderMode {
  MODE_PLAIN = 0,
  MODE_DST_IN = 1,
  MODE_MULTIPLY = 2,
  MODE_DARKEN = 3,
  MODE_LIGHTEN = 4,
  MODE_OVER = 5  // source-over with an alpha per colour channel
};

struct BlendSetup {
  ShaderMode mode;
  bool simple() const { return mode == MODE_PLAIN && blend && dst != GL_SRC1_COLOR; }
  bool blend;
  GLenum src;
  GLenum dst;
};

BlendSetup blendFor(VGBlendMode mode, bool perChannelAlpha) {
  switch (mode) {
    case VG_BLEND_SRC:
      return {MODE_PLAIN, true, GL_ONE, GL_SRC1_COLOR};
    case VG_BLEND_DST_OVER:
      return {MODE_PLAIN, true, GL_ONE_MINUS_DST_ALPHA, GL_ONE};
    case VG_BLEND_SRC_IN:
      return {MODE_PLAIN, true, GL_DST_ALPHA, GL_SRC1_COLOR};
    case VG_BLEND_DST_IN:
      return {MODE_DST_IN, true, GL_ZERO, GL_SRC1_COLOR};
    case VG_BLEND_MULTIPLY:
      return {MODE_MULTIPLY, true, GL_ONE_MINUS_DST_ALPHA, GL_SRC1_COLOR};
    case VG_BLEND_SCREEN:
      return {MODE_PLAIN, true, GL_ONE, GL_ONE_MINUS_SRC_COLOR};
    case VG_BLEND_DARKEN:
      return {MODE_DARKEN, false, GL_ONE, GL_ZERO};
    case VG_BLEND_LIGHTEN:
      return {MODE_LIGHTEN, false, GL_ONE, GL_ZERO};
    case VG_BLEND_ADDITIVE:
      return {MODE_PLAIN, true, GL_ONE, GL_ONE};
    case VG_BLEND_SRC_OVER:
    default:
      if (perChannelAlpha) return {MODE_OVER, true, GL_ONE, GL_SRC1_COLOR};
      return {MODE_PLAIN, true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
  }
}

}  // namespace

std::unique_ptr<GlRenderer> GlRenderer::create() {
  if (!currentGlContext()) return nullptr;
  if (!epoxy_is_desktop_gl()) return nullptr;
  int version = epoxy_gl_version();
  if (version < 33) return nullptr;
  std::unique_ptr<GlRenderer> r(new (std::nothrow) GlRenderer());
  if (!r) return nullptr;
  r->glContext_ = currentGlContext();
  if (!r->init()) {
    r->release();
    return nullptr;
  }
  return r;
}

void GlRenderer::releaseGl() {
  // At process exit the window system may have torn the context down already;
  // then the objects are gone with it and no OpenGL call may be made.
  if (glContext_ && currentGlContext() == glContext_) release();
  glContext_ = nullptr;
}

bool GlRenderer::link(Program& program, ProgramKey key) {
  const GLuint vs = vertexShaders_[int(key.piece)];
  if (!vs) return false;
  const char* coverage = key.piece == PieceKind::kPoint ? BLOCK_COVERAGE
                         : key.bufferCoverage           ? BUFFER_COVERAGE
                                                        : TEXTURE_COVERAGE;
  const char* blend = key.blend == BlendClass::kGeneral  ? GENERAL_BLEND
                      : key.blend == BlendClass::kSimple ? SIMPLE_BLEND
                                                         : SOLID_BLEND;
  const char* paint = COLOR_PAINT;
  const char* ramp = "";
  switch (key.paint) {
    case PaintKind::kColor:
      break;
    case PaintKind::kLinearGradient:
      ramp = RAMP;
      paint = LINEAR_PAINT;
      break;
    case PaintKind::kRadialGradient:
      ramp = RAMP;
      paint = RADIAL_PAINT;
      break;
    case PaintKind::kPattern:
      paint = PATTERN_PAINT;
      break;
  }
  const char* image = "";
  const char* source = PAINT_SOURCE;
  switch (key.image) {
    case ImageLayer::kNone:
      break;
    case ImageLayer::kNormal:
      image = IMAGE_AT;
      source = IMAGE_NORMAL;
      break;
    case ImageLayer::kMultiply:
      image = IMAGE_AT;
      source = IMAGE_MULTIPLY;
      break;
    case ImageLayer::kStencil:
      image = IMAGE_AT;
      source = IMAGE_STENCIL;
      break;
  }
  const GLuint fs =
      compileShader(GL_FRAGMENT_SHADER, {coverage, ramp, paint, image, source, blend});
  if (!fs) return false;
  program.id = glCreateProgram();
  glAttachShader(program.id, vs);
  glAttachShader(program.id, fs);
  glLinkProgram(program.id);
  glDeleteShader(fs);
  GLint linked = 0;
  glGetProgramiv(program.id, GL_LINK_STATUS, &linked);
  if (!linked) return false;
  const GLuint id = program.id;
  program.uSides = glGetUniformLocation(id, "uSides");
  program.uRows = glGetUniformLocation(id, "uRows");
  program.uSurface = glGetUniformLocation(id, "uSurface");
  program.uOrigin = glGetUniformLocation(id, "uOrigin");
  program.uColor = glGetUniformLocation(id, "uColor");
  program.uMode = glGetUniformLocation(id, "uMode");
  program.uSize = glGetUniformLocation(id, "uSize");
  program.uCoverageBase = glGetUniformLocation(id, "uCoverageBase");
  program.uLinear = glGetUniformLocation(id, "uLinear");
  program.uPaintX = glGetUniformLocation(id, "uPaintX");
  program.uPaintY = glGetUniformLocation(id, "uPaintY");
  program.uRadial = glGetUniformLocation(id, "uRadial");
  program.uSpread = glGetUniformLocation(id, "uSpread");
  program.uOffsets = glGetUniformLocation(id, "uOffsets");
  program.uStopColors = glGetUniformLocation(id, "uStopColors");
  program.uStopCount = glGetUniformLocation(id, "uStopCount");
  program.uPremultiplyAfter = glGetUniformLocation(id, "uPremultiplyAfter");
  program.uPatternX = glGetUniformLocation(id, "uPatternX");
  program.uPatternY = glGetUniformLocation(id, "uPatternY");
  program.uImageMatrix = glGetUniformLocation(id, "uImageMatrix");
  GLint previousProgram = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &previousProgram);
  glUseProgram(id);
  const GLuint squareData = glGetUniformBlockIndex(id, "SquareData");
  if (squareData != GL_INVALID_INDEX) glUniformBlockBinding(id, squareData, kSquareBinding);
  GLint coverageSampler = glGetUniformLocation(id, "uCoverage");
  if (coverageSampler >= 0) glUniform1i(coverageSampler, 0);
  GLint destination = glGetUniformLocation(id, "uDestination");
  if (destination >= 0) glUniform1i(destination, 1);
  GLint imageSampler = glGetUniformLocation(id, "uImage");
  if (imageSampler >= 0) glUniform1i(imageSampler, ImageUnitsGuard::kImageUnit);
  GLint patternSampler = glGetUniformLocation(id, "uPattern");
  if (patternSampler >= 0) glUniform1i(patternSampler, ImageUnitsGuard::kPatternUnit);
  glUseProgram(GLuint(previousProgram));
  return true;
}

GlRenderer::ProgramKey GlRenderer::keyFor(const DrawPaint& paint, bool bufferCoverage,
                                          BlendClass blend, PieceKind piece) {
  ImageLayer image = ImageLayer::kNone;
  PaintKind kind = paint.kind;
  if (paint.hasImage()) {
    switch (paint.imageMode) {
      case VG_DRAW_IMAGE_MULTIPLY:
        image = ImageLayer::kMultiply;
        break;
      case VG_DRAW_IMAGE_STENCIL:
        image = ImageLayer::kStencil;
        break;
      default:
        // The paint is not drawn: one program whatever it is.
        image = ImageLayer::kNormal;
        kind = PaintKind::kColor;
        break;
    }
  }
  return {kind, bufferCoverage, blend, piece, image};
}

bool GlRenderer::bindImages(const DrawPaint& paint) {
  const bool paintDrawn = !paint.hasImage() || paint.imageMode != VG_DRAW_IMAGE_NORMAL;
  if (paint.kind == PaintKind::kPattern && paintDrawn) {
    // The border is what VG_TILE_FILL shows outside the image.
    const std::array<float, 4>& c = paint.tileFill;
    const std::array<float, 4> border{c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]};
    if (!textures_.bind(ImageUnitsGuard::kPatternUnit, paint.pattern, wrapFor(paint.tiling),
                        border))
      return false;
  }
  return !paint.hasImage() ||
         textures_.bind(ImageUnitsGuard::kImageUnit, paint.image, Wrap::kEdge, {});
}

GlRenderer::Program* GlRenderer::program(ProgramKey key) {
  Program& p = programs_[key.index()];
  if (p.id) return &p;
  if (p.failed) return nullptr;
  if (!link(p, key)) {
    if (p.id) glDeleteProgram(p.id);
    p = Program{};
    p.failed = true;
    return nullptr;
  }
  return &p;
}

bool GlRenderer::init() {
  GLint profile = 0;
  if (epoxy_gl_version() >= 32) glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
  compatibility_ = !(profile & GL_CONTEXT_CORE_PROFILE_BIT);

  bufferCoverage_ = epoxy_gl_version() >= 43 && std::endian::native == std::endian::little;
  glGetIntegerv(GL_MAX_CLIP_DISTANCES, &clipDistances_);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport_);
  // Colour programs are made now, so that a context that cannot draw fails
  // at creation; gradient programs when first drawn.
  constexpr BlendClass kClasses[3] = {BlendClass::kGeneral, BlendClass::kSimple,
                                      BlendClass::kSolid};
  auto colorPrograms = [&](PieceKind piece) {
    for (BlendClass blend : kClasses)
      if (!program({PaintKind::kColor, bufferCoverage_, blend, piece})) return false;
    return true;
  };
  vertexShaders_[int(PieceKind::kTrapezoid)] =
      compileShader(GL_VERTEX_SHADER, {"#version 330 core\n", FILL_VALUES, VERTEX_SHADER});
  if (!colorPrograms(PieceKind::kTrapezoid)) return false;
  // Blocks go as points where the implementation draws them 4 pixels wide.
  GLfloat pointSizes[2] = {1.0f, 1.0f};
  glGetFloatv(compatibility_ ? GL_ALIASED_POINT_SIZE_RANGE : GL_POINT_SIZE_RANGE, pointSizes);
  if (pointSizes[0] <= 4.0f && pointSizes[1] >= 4.0f) {
    GLint alignment = 256;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
    squareAlignment_ = size_t(std::max(alignment, 16));
    vertexShaders_[int(PieceKind::kPoint)] = compileShader(
        GL_VERTEX_SHADER, {"#version 330 core\n", FILL_VALUES, BLOCK_POINT_VERTEX_SHADER});
    blockPoints_ = colorPrograms(PieceKind::kPoint);
    // Merged squares go up to 64 pixels, as far as points may be that big.
    while (maxSquareLevel_ < 4 && (8 << maxSquareLevel_) <= pointSizes[1]) ++maxSquareLevel_;
  }
  glGenVertexArrays(1, &vertexArray_);
  pieces_.solid.reserve(kMaxTrapezoids);
  pieces_.blended.reserve(2 * kMaxTrapezoids);
  pieces_.bands.reserve(kMaxTrapezoids);
  return vertexArray_ != 0;
}

void GlRenderer::release() {
  for (Program& p : programs_) {
    if (p.id) glDeleteProgram(p.id);
    p = Program{};
  }
  for (unsigned& vs : vertexShaders_) {
    if (vs) glDeleteShader(vs);
    vs = 0;
  }
  if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
  if (stream_.name) glDeleteBuffers(1, &stream_.name);
  stream_ = CoverageStream{};
  releaseFences(squareRing_);
  if (squareRing_.name) glDeleteBuffers(1, &squareRing_.name);
  squareRing_ = SquareRing{};
  for (CoverageStore& t : coverage_) {
    if (t.name) glDeleteTextures(1, &t.name);
    t = CoverageStore{};
  }
  if (destinationTexture_) glDeleteTextures(1, &destinationTexture_);
  if (destinationFramebuffer_) glDeleteFramebuffers(1, &destinationFramebuffer_);
  vertexArray_ = destinationTexture_ = destinationFramebuffer_ = 0;
  textures_.release();
  transfer_.release();
}

void GlRenderer::setSurface(int width, int height) {
  surfaceWidth_ = std::max(0, width);
  surfaceHeight_ = std::max(0, height);
  for (int i = 0; i < 2; ++i) {
    const int side = i == 0 ? surfaceWidth_ : surfaceHeight_;
    // In 64 bits: a surface may be as wide as an int holds.
    viewport_[i] = int(std::max<std::int64_t>(
        side,
        std::min<std::int64_t>(maxViewport_[i], (std::int64_t(side) + 3) & ~std::int64_t(3))));
  }
  glViewport(0, 0, surfaceWidth_, surfaceHeight_);
  if (compatibility_) {
    // A 0 x 0 surface (a minimised window) still gets a valid projection.
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, std::max(1, surfaceWidth_), 0.0, std::max(1, surfaceHeight_), -1.0, 1.0);
    glMatrixMode(GLenum(mode));
  }
}

void GlRenderer::clear(const IntRect& rect, const std::array<float, 4>& premultiplied, bool scissor,
                       const std::vector<VGint>& scissorRects) {
  if (rect.empty()) return;
  ClearStateGuard guard(compatibility_);
  glClearColor(premultiplied[0], premultiplied[1], premultiplied[2], premultiplied[3]);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  bool whole = !scissor && rect.x == 0 && rect.y == 0 && rect.width >= surfaceWidth_ &&
               rect.height >= surfaceHeight_;
  if (whole) {
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  glEnable(GL_SCISSOR_TEST);
  if (!scissor) {
    glScissor(rect.x, rect.y, rect.width, rect.height);
    glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  // Overlapping rectangles are cleared twice, which is harmless: no blending.
  for (size_t i = 0; i + 3 < scissorRects.size(); i += 4) {
    IntRect r = intersect(
        IntRect{scissorRects[i], scissorRects[i + 1], scissorRects[i + 2], scissorRects[i + 3]},
        rect);
    if (r.empty()) continue;
    glScissor(r.x, r.y, r.width, r.height);
    glClear(GL_COLOR_BUFFER_BIT);
  }
}

void GlRenderer::trimScratch(size_t bytes) {
  // Stores larger than `bytes` are dropped and made again at the size the
  // next draw needs.
  // The stream holds several draws' coverage.
  if (stream_.name && stream_.size > 2 * bytes) {
    glDeleteBuffers(1, &stream_.name);
    stream_ = CoverageStream{};
  }
  for (CoverageStore& t : coverage_) {
    if (!t.name || size_t(t.width) * size_t(t.height) <= bytes) continue;
    glDeleteTextures(1, &t.name);
    t = CoverageStore{};
  }
  const size_t destination = size_t(destinationWidth_) * size_t(destinationHeight_) * 4;
  if (destinationTexture_ && destination > 4 * bytes) {
    glDeleteTextures(1, &destinationTexture_);
    destinationTexture_ = 0;
    destinationWidth_ = destinationHeight_ = 0;
  }
  textures_.trim();
  transfer_.trim(4 * bytes);
}

bool GlRenderer::ensureTexture(unsigned& texture, int& width, int& height, int needW, int needH,
                               unsigned internalFormat, unsigned format) {
  if (texture && width >= needW && height >= needH) return true;
  // Grow to the next power of two so that a slowly growing shape does not
  // reallocate every frame.
  int w = std::max(width, 64), h = std::max(height, 64);
  while (w < needW) w *= 2;
  while (h < needH) h *= 2;
  if (!texture) glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat), w, h, 0, format, GL_UNSIGNED_BYTE, nullptr);
  width = w;
  height = h;
  return true;
}

bool GlRenderer::ensureDestinationCopy(int width, int height) {
  glActiveTexture(GL_TEXTURE1);
  bool grew = !destinationTexture_ || destinationWidth_ < width || destinationHeight_ < height;
  ensureTexture(destinationTexture_, destinationWidth_, destinationHeight_, width, height, GL_RGBA8,
                GL_RGBA);
  glBindTexture(GL_TEXTURE_2D, destinationTexture_);
  if (!destinationFramebuffer_) glGenFramebuffers(1, &destinationFramebuffer_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, destinationFramebuffer_);
  if (grew) {
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           destinationTexture_, 0);
  }
  glActiveTexture(GL_TEXTURE0);
  return glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void GlRenderer::uploadCoverage(const CoverageMask& mask) {
  const IntRect& box = mask.box;
  if (bufferCoverage_) {
    // Whole words, as the shader reads them.
    const size_t bytes = (mask.alpha.size() + 3) & ~size_t(3);
    CoverageStream& s = stream_;
    size_t offset = s.used;
    if (!s.name) glGenBuffers(1, &s.name);
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, s.name);
    if (offset + bytes > s.size) {
      // New storage: what draws still read stays with them. Room for many
      // draws of this size, so that renewals are rare.
      size_t size = std::max<size_t>(s.size, size_t(1) << 20);
      while (size < 4 * bytes) size *= 2;
      glBufferData(GL_SHADER_STORAGE_BUFFER, GLsizeiptr(size), nullptr, GL_STREAM_DRAW);
      s.size = size;
      offset = 0;
    }
    // Nothing queued reads past `used` of this storage.
    void* to = glMapBufferRange(
        GL_SHADER_STORAGE_BUFFER, GLintptr(offset), GLsizeiptr(bytes),
        GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (to) {
      std::memcpy(to, mask.alpha.data(), mask.alpha.size());
      glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);
    } else {
      glBufferSubData(GL_SHADER_STORAGE_BUFFER, GLintptr(offset), GLsizeiptr(mask.alpha.size()),
                      mask.alpha.data());
    }
    s.used = offset + bytes;
    // The whole buffer stays bound, and the shader is told where the box
    // starts, so that the binding does not change from fill to fill.
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, s.name);
    coverageBase_ = int(offset);
    return;
  }
  CoverageStore& coverage = coverage_[nextCoverage_];
  nextCoverage_ = (nextCoverage_ + 1) % kCoverageRing;
  ensureTexture(coverage.name, coverage.width, coverage.height, box.width, box.height, GL_R8,
                GL_RED);
  glBindTexture(GL_TEXTURE_2D, coverage.name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, box.width, box.height, GL_RED, GL_UNSIGNED_BYTE,
                  mask.alpha.data());
}

int GlRenderer::packTrapezoids(const std::vector<Trapezoid>& trapezoids, size_t first,
                               const IntRect& box) {
  int count = int(std::min(trapezoids.size() - first, size_t(kMaxTrapezoids)));
  float x = float(box.x), y = float(box.y);
  for (int i = 0; i < count; ++i) {
    const Trapezoid& q = trapezoids[first + size_t(i)];
    float* side = sides_ + 4 * i;
    side[0] = x + q.bottomLeft;
    side[1] = x + q.bottomRight;
    side[2] = x + q.topLeft;
    side[3] = x + q.topRight;
    float* row = rows_ + 2 * i;
    row[0] = y + q.bottom;
    row[1] = y + q.top;
  }
  return count;
}

// A paint's uniforms, worked out once a fill for all its programs.
struct GlRenderer::PaintUniforms {
  explicit PaintUniforms(const DrawPaint& paint);
  const DrawPaint* paint;
  float color[4] = {};  // premultiplied
  float linear[3] = {};
  float paintX[3] = {};
  float paintY[3] = {};
  float radial[4] = {};
  float patternX[3] = {};
  float patternY[3] = {};
  float image[9] = {};  // column by column
  int spread = 0;
};

namespace {

// Extreme geometry must not overflow the conversion (undefined behaviour).
float toFloat(double v) {
  return float(std::clamp(v, -double(std::numeric_limits<float>::max()),
                          double(std::numeric_limits<float>::max())));
}

int spreadCode(VGColorRampSpreadMode spread) {
  switch (spread) {
    case VG_COLOR_RAMP_SPREAD_REPEAT:
      return 1;
    case VG_COLOR_RAMP_SPREAD_REFLECT:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

GlRenderer::PaintUniforms::PaintUniforms(const DrawPaint& p) : paint(&p) {
  const float a = p.color[3];
  for (int i = 0; i < 3; ++i) color[i] = p.color[size_t(i)] * a;
  color[3] = a;
  spread = spreadCode(p.spread);
  const float* m = p.surfaceToPaint.m;
  if (p.kind == PaintKind::kLinearGradient) {
    // t = a . (M s) - a . p0 with a = d / d . d, as one plane over the surface.
    const double dx = double(p.p1.x) - p.p0.x, dy = double(p.p1.y) - p.p0.y;
    const double ax = dx / (dx * dx + dy * dy), ay = dy / (dx * dx + dy * dy);
    linear[0] = toFloat(ax * m[0] + ay * m[1]);
    linear[1] = toFloat(ax * m[3] + ay * m[4]);
    linear[2] = toFloat(ax * (m[6] - double(p.p0.x)) + ay * (m[7] - double(p.p0.y)));
  } else if (p.kind == PaintKind::kRadialGradient) {
    // Paint space from the focal point.
    paintX[0] = m[0];
    paintX[1] = m[3];
    paintX[2] = toFloat(double(m[6]) - p.focus.x);
    paintY[0] = m[1];
    paintY[1] = m[4];
    paintY[2] = toFloat(double(m[7]) - p.focus.y);
    const double fx = double(p.focus.x) - p.center.x;
    const double fy = double(p.focus.y) - p.center.y;
    const double r = p.radius;
    radial[0] = toFloat(fx);
    radial[1] = toFloat(fy);
    radial[2] = p.radius;
    radial[3] = toFloat(1.0 / (r * r - fx * fx - fy * fy));
  } else if (p.kind == PaintKind::kPattern) {
    // Paint space is the pattern's pixels: texture coordinates are those
    // over its size.
    const double w = p.pattern.rect.width, h = p.pattern.rect.height;
    for (int i = 0; i < 3; ++i) {
      patternX[i] = toFloat(m[3 * i] / w);
      patternY[i] = toFloat(m[3 * i + 1] / h);
    }
  }
  if (p.hasImage()) {
    const double w = p.image.rect.width, h = p.image.rect.height;
    for (int i = 0; i < 3; ++i) {
      image[3 * i] = toFloat(p.surfaceToImage.m[3 * i] / w);
      image[3 * i + 1] = toFloat(p.surfaceToImage.m[3 * i + 1] / h);
      image[3 * i + 2] = p.surfaceToImage.m[3 * i + 2];
    }
  }
}

void GlRenderer::setPaint(Program& program, const PaintUniforms& u) {
  const DrawPaint& paint = *u.paint;
  if (paint.hasImage()) glUniformMatrix3fv(program.uImageMatrix, 1, GL_FALSE, u.image);
  if (paint.kind == PaintKind::kColor) {
    glUniform4fv(program.uColor, 1, u.color);
    return;
  }
  if (paint.kind == PaintKind::kPattern) {
    glUniform3fv(program.uPatternX, 1, u.patternX);
    glUniform3fv(program.uPatternY, 1, u.patternY);
    return;
  }
  if (program.rampVersion != paint.rampVersion) {
    glUniform1fv(program.uOffsets, paint.stopCount, paint.offsets.data());
    glUniform4fv(program.uStopColors, paint.stopCount, paint.stopColors[0].data());
    glUniform1i(program.uStopCount, paint.stopCount);
    glUniform1i(program.uPremultiplyAfter, paint.premultiplyAfter);
    program.rampVersion = paint.rampVersion;
  }
  glUniform1i(program.uSpread, u.spread);
  if (paint.kind == PaintKind::kLinearGradient) {
    glUniform3fv(program.uLinear, 1, u.linear);
  } else {
    glUniform3fv(program.uPaintX, 1, u.paintX);
    glUniform3fv(program.uPaintY, 1, u.paintY);
    glUniform4fv(program.uRadial, 1, u.radial);
  }
}

void GlRenderer::useBlended(Program& program, const IntRect& box, int mode,
                            const PaintUniforms& paint) {
  glUseProgram(program.id);
  glUniform2i(program.uOrigin, box.x, box.y);
  glUniform2i(program.uSize, box.width, box.height);
  glUniform1i(program.uCoverageBase, coverageBase_);
  if (program.uMode >= 0) glUniform1i(program.uMode, mode);
  glUniform2f(program.uSurface, float(viewport_[0]), float(viewport_[1]));
  setPaint(program, paint);
}

void GlRenderer::useSolid(Program& program, const PaintUniforms& paint) {
  glDisable(GL_BLEND);
  glUseProgram(program.id);
  glUniform2f(program.uSurface, float(viewport_[0]), float(viewport_[1]));
  setPaint(program, paint);
}

void GlRenderer::drawTrapezoids(const Program& program, const std::vector<Trapezoid>& trapezoids,
                                const IntRect& box) {
  for (size_t first = 0; first < trapezoids.size(); first += kMaxTrapezoids) {
    int count = packTrapezoids(trapezoids, first, box);
    glUniform4fv(program.uSides, count, sides_);
    glUniform4fv(program.uRows, (count + 1) / 2, rows_);
    glDrawArrays(GL_TRIANGLES, 0, 6 * count);
    queued_ += 2 * count;
  }
}

void GlRenderer::drawSquares(const std::vector<Square>& squares, const CoverageMask& mask,
                             size_t fullFrom) {
  const IntRect& box = mask.box;
  const int w = box.width, h = box.height;
  const uint8_t* alpha = mask.alpha.data();
  glEnable(GL_PROGRAM_POINT_SIZE);
  int count = 0;
  auto flush = [&] {
    if (count == 0) return;
    const size_t offset = writeSquares(size_t(count) * sizeof(SquareEntry));
    glBindBufferRange(GL_UNIFORM_BUFFER, kSquareBinding, squareRing_.name, GLintptr(offset),
                      GLsizeiptr(sizeof squareData_));
    glDrawArrays(GL_POINTS, 0, count);
    queued_ += size_t(count);
    count = 0;
  };
  for (size_t i = 0; i < squares.size(); ++i) {
    const Square& b = squares[i];
    const int x = box.x + b.x, y = box.y + b.y, half = 2 << b.level;
    if (x + half >= viewport_[0] || y + half >= viewport_[1] || x + half <= 0 || y + half <= 0) {
      // A point whose centre lies outside the viewport is not drawn at all.
      float x0 = float(std::max(b.x, 0)), x1 = float(std::min(b.x + 2 * half, w));
      float y0 = float(std::max(b.y, 0)), y1 = float(std::min(b.y + 2 * half, h));
      pieces_.blended.push_back(Trapezoid{y0, y1, x0, x1, x0, x1});
      continue;
    }
    SquareEntry& e = squareData_[count];
    e.code[0] = std::uint32_t((x >> 2) * 8 + b.level);
    e.code[1] = std::uint32_t((y >> 2) * 8);
    // Blocks wholly inside the box (most) take each row in one load; the
    // first byte goes lowest, as the shader reads it.
    const bool inside = std::endian::native == std::endian::little && b.x >= 0 && b.x + 4 <= w;
    for (int r = 0; r < 4; ++r) {
      std::uint32_t word = ~0u;
      if (i < fullFrom) {
        word = 0;
        const int py = b.y + r;
        if (py >= 0 && py < h) {
          const uint8_t* row = alpha + size_t(py) * size_t(w);
          if (inside) {
            std::memcpy(&word, row + b.x, 4);
          } else {
            for (int c = 0; c < 4; ++c) {
              const int px = b.x + c;
              if (px >= 0 && px < w) word |= std::uint32_t(row[px]) << (8 * c);
            }
          }
        }
      }
      e.words[r] = word;
    }
    if (++count == kMaxSquares) flush();
  }
  flush();
}

size_t GlRenderer::writeSquares(size_t bytes) {
  SquareRing& r = squareRing_;
  if (!r.name) {
    glGenBuffers(1, &r.name);
    glBindBuffer(GL_UNIFORM_BUFFER, r.name);
    glBufferData(GL_UNIFORM_BUFFER, GLsizeiptr(kSquareRingBytes), nullptr, GL_STREAM_DRAW);
  } else {
    glBindBuffer(GL_UNIFORM_BUFFER, r.name);
  }
  constexpr size_t kSegment = kSquareRingBytes / kRingSegments;
  size_t offset = (r.used + squareAlignment_ - 1) / squareAlignment_ * squareAlignment_;
  // The whole block is bound, though only `bytes` of it are read.
  if (offset + sizeof squareData_ > kSquareRingBytes) offset = 0;
  // Entering a segment: the draws reading the one left are fenced, and
  // those that read the one entered the last time round must be done.
  for (int k = int(offset / kSegment); k <= int((offset + bytes - 1) / kSegment); ++k) {
    if (k == r.segment) continue;
    r.fences[r.segment] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    if (GLsync f = static_cast<GLsync>(r.fences[k])) {
      while (glClientWaitSync(f, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000) == GL_TIMEOUT_EXPIRED) {
      }
      glDeleteSync(f);
      r.fences[k] = nullptr;
    }
    r.segment = k;
  }
  void* to =
      glMapBufferRange(GL_UNIFORM_BUFFER, GLintptr(offset), GLsizeiptr(bytes),
                       GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
  if (to) {
    std::memcpy(to, squareData_, bytes);
    glUnmapBuffer(GL_UNIFORM_BUFFER);
  } else {
    glBufferSubData(GL_UNIFORM_BUFFER, GLintptr(offset), GLsizeiptr(bytes), squareData_);
  }
  r.used = offset + bytes;
  return offset;
}

void GlRenderer::releaseFences(SquareRing& ring) {
  for (void*& f : ring.fences) {
    if (f) glDeleteSync(static_cast<GLsync>(f));
    f = nullptr;
  }
}

void GlRenderer::fill(const CoverageMask& mask, const DrawPaint& paint, VGBlendMode mode) {
  const IntRect& box = mask.box;
  if (box.empty() || surfaceWidth_ <= 0 || surfaceHeight_ <= 0) return;
  if (queued_ >= kFlushPrimitives) {
    glFlush();
    queued_ = 0;
  }
  DrawStateGuard guard(compatibility_, bufferCoverage_, clipDistances_, blockPoints_);
  // Units 2 and 3 are saved only when a draw binds an image: plain fills
  // pay nothing for them.
  std::optional<ImageUnitsGuard> imageUnits;
  if (paint.kind == PaintKind::kPattern || paint.hasImage()) {
    imageUnits.emplace();
    if (!bindImages(paint)) return;
  }

  const PaintUniforms u(paint);
  BlendSetup setup = blendFor(mode, paint.perChannelAlpha());

  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, viewport_[0], viewport_[1]);
  glActiveTexture(GL_TEXTURE0);

  if (!setup.blend) {
    // Copy (and resolve, on a multisampled window) the destination under the box.
    GLint drawBuffer = GL_BACK, readBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);  // of the window's framebuffer, bound above
    if (!ensureDestinationCopy(box.width, box.height)) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glReadBuffer(GLenum(drawBuffer));
    glBlitFramebuffer(box.x, box.y, box.x + box.width, box.y + box.height, 0, 0, box.width,
                      box.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glReadBuffer(GLenum(readBuffer));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, destinationTexture_);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_BLEND);
  } else {
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(setup.src, setup.dst);
  }

  // With coverage 1 an opaque paint over anything, or any paint replacing,
  // gives the paint itself.
  bool solidInterior =
      mode == VG_BLEND_SRC || (paint.isOpaque() && setup.mode == MODE_PLAIN &&
                               setup.src == GL_ONE && setup.dst == GL_ONE_MINUS_SRC_ALPHA);
  // Blocks are shaded once each, where trapezoids shade those their sides
  // cut in part and those on their diagonals twice. Blended blocks leave
  // the pixels they do not cover as they were, so they serve every mode
  // that blends; where the interior must blend too, its squares go with
  // them, in one draw.
  bool blocks = blockPoints_ && setup.blend;
  if (blocks)
    coverMaskWithBlocks(mask, pieces_, maxSquareLevel_);
  else
    coverMask(mask, solidInterior, pieces_);
  const size_t fullFrom = pieces_.blocks.size();
  if (blocks && !solidInterior) {
    pieces_.blocks.insert(pieces_.blocks.end(), pieces_.squares.begin(), pieces_.squares.end());
    pieces_.squares.clear();
  }
  glBindVertexArray(vertexArray_);
  const BlendClass edge = setup.simple() ? BlendClass::kSimple : BlendClass::kGeneral;
  auto programFor = [&](BlendClass blend, PieceKind piece) {
    return program(keyFor(paint, bufferCoverage_, blend, piece));
  };
  if (blocks) {
    if (Program* p = programFor(edge, PieceKind::kPoint)) {
      useBlended(*p, box, setup.mode, u);
      drawSquares(pieces_.blocks, mask, fullFrom);
    }
  }
  if (!pieces_.blended.empty()) {
    // The coverage store only for the pieces that read it.
    uploadCoverage(mask);
    if (Program* p = programFor(edge, PieceKind::kTrapezoid)) {
      useBlended(*p, box, setup.mode, u);
      drawTrapezoids(*p, pieces_.blended, box);
    }
  }
  if (!pieces_.squares.empty()) {
    // Squares lie inside the box, so inside the surface: none goes to the
    // blended trapezoids, drawn already.
    if (Program* p = programFor(BlendClass::kSolid, PieceKind::kPoint)) {
      useSolid(*p, u);
      drawSquares(pieces_.squares, mask, 0);
    }
  }
  if (!pieces_.solid.empty()) {
    if (Program* p = programFor(BlendClass::kSolid, PieceKind::kTrapezoid)) {
      useSolid(*p, u);
      drawTrapezoids(*p, pieces_.solid, box);
    }
  }
}

}  // namespace tq
