#include "gl/surface_pixels.hpp"

#include <algorithm>

#include "gl/shader.hpp"
#include "gl/state.hpp"

namespace tq {
namespace {

// A rectangle as a strip of two triangles, from gl_VertexID.
const char* const COPY_VERTEX_SHADER = R"(#version 330 core
uniform vec4 uRect;  // x0, y0, x1, y1 on the surface
uniform vec2 uSurface;
void main() {
  vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);
  gl_Position = vec4(mix(uRect.xy, uRect.zw, corner) / uSurface * 2.0 - 1.0, 0.0, 1.0);
}
)";

// 8-bit values come back exactly: v / 255 written to an 8-bit channel.
const char* const COPY_FRAGMENT_SHADER = R"(#version 330 core
uniform sampler2D uPixels;
uniform ivec2 uOrigin;
out vec4 outColor;
void main() {
  outColor = texelFetch(uPixels, ivec2(gl_FragCoord.xy) - uOrigin, 0);
}
)";

// Pixel packing as found, set to tight rows for our reads.
class PackGuard {
 public:
  PackGuard() {
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment_);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength_);
    glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows_);
    glGetIntegerv(GL_PACK_SKIP_PIXELS, &skipPixels_);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &buffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    if (buffer_) glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  }
  ~PackGuard() {
    glPixelStorei(GL_PACK_ALIGNMENT, alignment_);
    glPixelStorei(GL_PACK_ROW_LENGTH, rowLength_);
    glPixelStorei(GL_PACK_SKIP_ROWS, skipRows_);
    glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels_);
    if (buffer_) glBindBuffer(GL_PIXEL_PACK_BUFFER, GLuint(buffer_));
  }
  PackGuard(const PackGuard&) = delete;
  PackGuard& operator=(const PackGuard&) = delete;

 private:
  GLint alignment_ = 4, rowLength_ = 0, skipRows_ = 0, skipPixels_ = 0, buffer_ = 0;
};

// The attachment the window's framebuffer draws to, for queries about it;
// GL_NONE where it names none.
GLenum windowColorAttachment() {
  GLint drawBuffer = GL_BACK;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  switch (drawBuffer) {
    case GL_BACK:
    case GL_BACK_LEFT:
      return GL_BACK_LEFT;
    case GL_FRONT:
    case GL_FRONT_LEFT:
      return GL_FRONT_LEFT;
    case GL_BACK_RIGHT:
    case GL_FRONT_RIGHT:
      return GLenum(drawBuffer);
    default:
      return GL_NONE;
  }
}

int grow(int have, int need) {
  int size = std::max(have, 64);
  while (size < need) size *= 2;
  return size;
}

}  // namespace

bool SurfaceTransfer::hasAlpha() {
  if (alphaBits_ < 0) {
    GLint drawFramebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
    if (drawFramebuffer) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    GLint bits = 8;
    const GLenum attachment = windowColorAttachment();
    if (attachment != GL_NONE)
      glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment,
                                            GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE, &bits);
    if (drawFramebuffer) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer));
    alphaBits_ = bits;
  }
  return alphaBits_ > 0;
}

void SurfaceTransfer::ensureResolve(int width, int height) {
  if (resolve_ && resolveWidth_ >= width && resolveHeight_ >= height) return;
  GLint previous = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING, &previous);
  if (!resolve_) glGenRenderbuffers(1, &resolve_);
  if (!resolveFramebuffer_) glGenFramebuffers(1, &resolveFramebuffer_);
  resolveWidth_ = grow(resolveWidth_, width);
  resolveHeight_ = grow(resolveHeight_, height);
  glBindRenderbuffer(GL_RENDERBUFFER, resolve_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, resolveWidth_, resolveHeight_);
  glBindRenderbuffer(GL_RENDERBUFFER, GLuint(previous));
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolve_);
}

void SurfaceTransfer::read(const Setup& setup, const IntRect& rect, std::uint8_t* rgba) {
  if (rect.empty()) return;
  DrawStateGuard guard(setup.compatibility, setup.storageBuffer, setup.clipDistances);
  PackGuard pack;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  GLint readBuffer = GL_BACK, sampleBuffers = 0;
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
  GLint drawBuffer = GL_BACK;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  // What was drawn is read, whichever buffer the application reads.
  glReadBuffer(GLenum(drawBuffer));
  int x = rect.x, y = rect.y;
  if (sampleBuffers > 0) {
    ensureResolve(rect.width, rect.height);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
    glBlitFramebuffer(rect.x, rect.y, rect.x + rect.width, rect.y + rect.height, 0, 0, rect.width,
                      rect.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glReadBuffer(GLenum(readBuffer));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer_);
    x = y = 0;
  }
  glReadPixels(x, y, rect.width, rect.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  if (sampleBuffers <= 0) glReadBuffer(GLenum(readBuffer));
}

bool SurfaceTransfer::ensureProgram() {
  if (program_) return true;
  if (programFailed_) return false;
  programFailed_ = true;
  const GLuint vs = compileShader(GL_VERTEX_SHADER, {COPY_VERTEX_SHADER});
  const GLuint fs = compileShader(GL_FRAGMENT_SHADER, {COPY_FRAGMENT_SHADER});
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    return false;
  }
  program_ = glCreateProgram();
  glAttachShader(program_, vs);
  glAttachShader(program_, fs);
  glLinkProgram(program_);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint linked = 0;
  glGetProgramiv(program_, GL_LINK_STATUS, &linked);
  if (!linked) {
    glDeleteProgram(program_);
    program_ = 0;
    return false;
  }
  uRect_ = glGetUniformLocation(program_, "uRect");
  uSurface_ = glGetUniformLocation(program_, "uSurface");
  uOrigin_ = glGetUniformLocation(program_, "uOrigin");
  glGenVertexArrays(1, &vertexArray_);
  programFailed_ = false;
  return true;
}

void SurfaceTransfer::ensureTexture(int width, int height) {
  if (texture_ && textureWidth_ >= width && textureHeight_ >= height) {
    glBindTexture(GL_TEXTURE_2D, texture_);
    return;
  }
  if (!texture_) glGenTextures(1, &texture_);
  textureWidth_ = grow(textureWidth_, width);
  textureHeight_ = grow(textureHeight_, height);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, textureWidth_, textureHeight_, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, nullptr);
}

void SurfaceTransfer::write(const Setup& setup, const IntRect& rect, const std::uint8_t* rgba,
                            bool scissor, const std::vector<int>& scissorRects) {
  if (rect.empty() || setup.surfaceWidth <= 0 || setup.surfaceHeight <= 0) return;
  DrawStateGuard guard(setup.compatibility, setup.storageBuffer, setup.clipDistances);
  GLint scissorBox[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
  if (!ensureProgram()) return;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, setup.surfaceWidth, setup.surfaceHeight);
  glActiveTexture(GL_TEXTURE0);
  ensureTexture(rect.width, rect.height);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, rect.width, rect.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  glDisable(GL_BLEND);
  glUseProgram(program_);
  glUniform4f(uRect_, float(rect.x), float(rect.y), float(rect.x + rect.width),
              float(rect.y + rect.height));
  glUniform2f(uSurface_, float(setup.surfaceWidth), float(setup.surfaceHeight));
  glUniform2i(uOrigin_, rect.x, rect.y);
  glBindVertexArray(vertexArray_);
  if (!scissor) {
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  } else {
    // Overlapping rectangles write twice, which is harmless: no blending.
    glEnable(GL_SCISSOR_TEST);
    for (size_t i = 0; i + 3 < scissorRects.size(); i += 4) {
      const IntRect r = intersect(
          IntRect{scissorRects[i], scissorRects[i + 1], scissorRects[i + 2], scissorRects[i + 3]},
          rect);
      if (r.empty()) continue;
      glScissor(r.x, r.y, r.width, r.height);
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }
    // The guard switches back on only what was on.
    glDisable(GL_SCISSOR_TEST);
  }
  glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
}

void SurfaceTransfer::trim(size_t bytes) {
  if (texture_ && size_t(textureWidth_) * size_t(textureHeight_) * 4 > bytes) {
    glDeleteTextures(1, &texture_);
    texture_ = 0;
    textureWidth_ = textureHeight_ = 0;
  }
  if (resolve_ && size_t(resolveWidth_) * size_t(resolveHeight_) * 4 > bytes) {
    glDeleteRenderbuffers(1, &resolve_);
    resolve_ = 0;
    resolveWidth_ = resolveHeight_ = 0;
  }
}

void SurfaceTransfer::release() {
  if (program_) glDeleteProgram(program_);
  if (vertexArray_) glDeleteVertexArrays(1, &vertexArray_);
  if (texture_) glDeleteTextures(1, &texture_);
  if (resolve_) glDeleteRenderbuffers(1, &resolve_);
  if (resolveFramebuffer_) glDeleteFramebuffers(1, &resolveFramebuffer_);
  *this = SurfaceTransfer{};
}

}  // namespace tq
