// Moving the window's pixels to and from memory for the pixel calls. Reads
// resolve a multisampled window through a single-sample copy first (its
// samples cannot be read as they are); writes upload a texture and draw it
// unblended, which also fills every sample and honours the scissor
// rectangles. The application's OpenGL state is left as found, pixel
// packing and unpacking included.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "core/rect.hpp"

namespace tq {

class SurfaceTransfer {
 public:
  struct Setup {
    bool compatibility = false;
    bool storageBuffer = false;
    int clipDistances = 0;
    int surfaceWidth = 0, surfaceHeight = 0;
  };
  bool hasAlpha();
  void read(const Setup& setup, const IntRect& rect, std::uint8_t* rgba);
  void write(const Setup& setup, const IntRect& rect, const std::uint8_t* rgba, bool scissor,
             const std::vector<int>& scissorRects);
  // Gives back the copy and texture when larger than `bytes`.
  void trim(size_t bytes);
  // Deletes every OpenGL object; only while their context is current.
  void release();

 private:
  bool ensureProgram();
  // Grows the texture (for writes) or the resolve renderbuffer (for reads).
  void ensureTexture(int width, int height);
  void ensureResolve(int width, int height);

  int alphaBits_ = -1;  // of the window's framebuffer, asked once
  GLuint program_ = 0, vertexArray_ = 0;
  GLint uRect_ = -1, uSurface_ = -1, uOrigin_ = -1;
  bool programFailed_ = false;
  GLuint texture_ = 0;
  int textureWidth_ = 0, textureHeight_ = 0;
  GLuint resolve_ = 0, resolveFramebuffer_ = 0;
  int resolveWidth_ = 0, resolveHeight_ = 0;
};

}  // namespace tq
