// Textures of image stores for patterns and vgDrawImage, and the samplers
// that tile and filter them. A texture holds one image's rectangle of a
// store as premultiplied sRGB (converted on the CPU, so that filtering mixes
// premultiplied colours of the surface's kind) and is made again only when
// the store's version changes. Textures are kept in a small least recently
// used cache and given back when the renderer trims its scratch.
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "draw/draw_paint.hpp"

namespace tq {

// How a sampled point outside the image is treated.
enum class Wrap : std::uint8_t { kBorder, kEdge, kRepeat, kMirror };

Wrap wrapFor(VGTilingMode tiling);

class ImageTextures {
 public:
  // At most this many textures, or this many bytes of them, are kept
  // besides the ones the current draw uses.
  static constexpr int kMaxTextures = 16;
  static constexpr size_t kMaxBytes = size_t(64) << 20;

  // Binds source's texture and a sampler for its sampling and wrap to the
  // texture unit; the border colour (premultiplied) is what kBorder
  // samples outside. False when the image cannot be a texture here (larger
  // than the implementation's textures): then nothing may be drawn with it.
  bool bind(int unit, const ImageSource& source, Wrap wrap, const std::array<float, 4>& border);
  // Gives back textures that no draw used since the last trim.
  void trim();
  // Deletes every OpenGL object; only while their context is current.
  void release();
  // Forgets the objects without OpenGL calls (their context is gone).
  void abandon();

  int textureCount() const { return int(entries_.size()); }

 private:
  struct Entry {
    std::uint64_t storeId = 0;
    IntRect rect;
    std::uint64_t version = 0;
    bool mipmapped = false;  // levels made for this version
    GLuint name = 0;
    std::uint64_t lastUse = 0;
    size_t bytes() const { return size_t(rect.width) * size_t(rect.height) * 4; }
  };
  Entry* find(const ImageSource& source);
  void evict(std::uint64_t keepFrom);
  GLuint sampler(Sampling sampling, Wrap wrap);

  std::vector<Entry> entries_;
  std::vector<std::uint8_t> texels_;  // conversion scratch
  std::uint64_t useClock_ = 0;
  std::uint64_t lastTrim_ = 0;
  GLint maxSize_ = 0;
  GLuint samplers_[3][4] = {};
};

// Saves the textures and samplers bound to units 2 and 3 (where image and
// pattern textures go; the fill uses 0 and 1) and puts them back on scope
// exit; the active unit is left as found.
class ImageUnitsGuard {
 public:
  static constexpr int kImageUnit = 2;
  static constexpr int kPatternUnit = 3;
  ImageUnitsGuard();
  ~ImageUnitsGuard();
  ImageUnitsGuard(const ImageUnitsGuard&) = delete;
  ImageUnitsGuard& operator=(const ImageUnitsGuard&) = delete;

 private:
  GLint active_ = GL_TEXTURE0;
  GLint texture_[2] = {0, 0}, sampler_[2] = {0, 0};
};

}  // namespace tq
