#include "gl/textures.hpp"

#include <algorithm>

#include "core/image.hpp"

namespace tq {

Wrap wrapFor(VGTilingMode tiling) {
  switch (tiling) {
    case VG_TILE_PAD:
      return Wrap::kEdge;
    case VG_TILE_REPEAT:
      return Wrap::kRepeat;
    case VG_TILE_REFLECT:
      return Wrap::kMirror;
    default:
      return Wrap::kBorder;
  }
}

ImageTextures::Entry* ImageTextures::find(const ImageSource& source) {
  for (Entry& e : entries_) {
    if (e.storeId == source.store->id && e.rect.x == source.rect.x && e.rect.y == source.rect.y &&
        e.rect.width == source.rect.width && e.rect.height == source.rect.height)
      return &e;
  }
  return nullptr;
}

void ImageTextures::evict(std::uint64_t keepFrom) {
  // Least recently used first, never one the current draw has bound.
  for (;;) {
    size_t bytes = 0;
    for (const Entry& e : entries_) bytes += e.bytes();
    if (int(entries_.size()) < kMaxTextures && bytes <= kMaxBytes) return;
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->lastUse < keepFrom && (oldest == entries_.end() || it->lastUse < oldest->lastUse))
        oldest = it;
    if (oldest == entries_.end()) return;
    glDeleteTextures(1, &oldest->name);
    entries_.erase(oldest);
  }
}

GLuint ImageTextures::sampler(Sampling sampling, Wrap wrap) {
  GLuint& s = samplers_[int(sampling)][int(wrap)];
  if (s) return s;
  glGenSamplers(1, &s);
  constexpr GLenum kWraps[4] = {GL_CLAMP_TO_BORDER, GL_CLAMP_TO_EDGE, GL_REPEAT,
                                GL_MIRRORED_REPEAT};
  const GLenum mag = sampling == Sampling::kNearest ? GL_NEAREST : GL_LINEAR;
  const GLenum min = sampling == Sampling::kMipmapped ? GL_LINEAR_MIPMAP_LINEAR : mag;
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, GLint(mag));
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, GLint(min));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GLint(kWraps[int(wrap)]));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GLint(kWraps[int(wrap)]));
  return s;
}

bool ImageTextures::bind(int unit, const ImageSource& source, Wrap wrap,
                         const std::array<float, 4>& border) {
  if (!maxSize_) glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize_);
  if (!source.store || source.rect.width > maxSize_ || source.rect.height > maxSize_) return false;
  const std::uint64_t now = ++useClock_;
  glActiveTexture(GLenum(GL_TEXTURE0 + unit));
  Entry* e = find(source);
  if (!e) {
    // The entry bound just before (the other unit of this draw) stays.
    evict(now - 1);
    entries_.push_back(Entry{source.store->id, source.rect, 0, false, 0, now});
    e = &entries_.back();
    glGenTextures(1, &e->name);
  }
  e->lastUse = now;
  glBindTexture(GL_TEXTURE_2D, e->name);
  if (e->version != source.store->version) {
    texels_.resize(e->bytes());
    premultipliedSrgbTexels(*source.store, source.rect, texels_.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, source.rect.width, source.rect.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, texels_.data());
    e->version = source.store->version;
    e->mipmapped = false;
  }
  if (source.sampling == Sampling::kMipmapped && !e->mipmapped) {
    glGenerateMipmap(GL_TEXTURE_2D);
    e->mipmapped = true;
  }
  const GLuint s = sampler(source.sampling, wrap);
  if (wrap == Wrap::kBorder) glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border.data());
  glBindSampler(GLuint(unit), s);
  glActiveTexture(GL_TEXTURE0);
  return true;
}

void ImageTextures::trim() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->lastUse <= lastTrim_) {
      glDeleteTextures(1, &it->name);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  lastTrim_ = useClock_;
  texels_ = {};
}

void ImageTextures::release() {
  for (Entry& e : entries_) glDeleteTextures(1, &e.name);
  for (auto& row : samplers_)
    for (GLuint& s : row)
      if (s) glDeleteSamplers(1, &s);
  abandon();
}

void ImageTextures::abandon() {
  entries_.clear();
  texels_ = {};
  for (auto& row : samplers_)
    for (GLuint& s : row) s = 0;
  maxSize_ = 0;
}

ImageUnitsGuard::ImageUnitsGuard() {
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active_);
  for (int i = 0; i < 2; ++i) {
    glActiveTexture(GLenum(GL_TEXTURE0 + kImageUnit + i));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_[i]);
    glGetIntegerv(GL_SAMPLER_BINDING, &sampler_[i]);
  }
  glActiveTexture(GLenum(active_));
}

ImageUnitsGuard::~ImageUnitsGuard() {
  for (int i = 0; i < 2; ++i) {
    glActiveTexture(GLenum(GL_TEXTURE0 + kImageUnit + i));
    glBindTexture(GL_TEXTURE_2D, GLuint(texture_[i]));
    glBindSampler(GLuint(kImageUnit + i), GLuint(sampler_[i]));
  }
  glActiveTexture(GLenum(active_));
}

}  // namespace tq
