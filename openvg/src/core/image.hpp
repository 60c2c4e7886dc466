// Image objects and the pixel store they share with their children.
//
// The store holds every pixel as four bytes, red, green, blue, alpha, rows
// tightly packed from the lowest y up, in the colour class (sRGB or linear,
// premultiplied or not) of the format the image was created with, each value
// first reduced to that format's precision (a 565 image holds 5-6-5 values,
// expanded to 8 bits). Why this one layout: 8 bits per channel holds every
// format's values exactly (no channel has more), keeping the image's own class
// means writing and reading in the image's format is exact and converts
// nothing, and it is what a texture upload takes as it is (RGBA8, with the
// class telling the drawing side whether to decode sRGB or premultiply).
#pragma once

#include <VG/openvg.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/pixel_formats.hpp"
#include "core/rect.hpp"

namespace tq {

// Limits reported through VG_MAX_IMAGE_*. 16384 is the texture size current
// OpenGL implementations offer, so the drawing side can upload any image as
// one texture; 2^26 pixels (a quarter of 16384 x 16384) keeps one image's
// store at 256 MiB, and the store takes 4 bytes a pixel in every format, so
// that is also the byte limit.
inline constexpr int kMaxImageWidth = 16384;
inline constexpr int kMaxImageHeight = 16384;
inline constexpr int64_t kMaxImagePixels = int64_t(1) << 26;
inline constexpr int64_t kMaxImageBytes = kMaxImagePixels * 4;

struct PixelStore {
  // Filled with `fill`, an RGBA pixel. Throws std::bad_alloc.
  PixelStore(int width, int height, ColorClass cls, std::array<uint8_t, 4> fill);
  ~PixelStore();
  PixelStore(const PixelStore&) = delete;
  PixelStore& operator=(const PixelStore&) = delete;

  // A new version after every write, so that a texture made from the pixels
  // knows when it is stale; numbers are never reused, by any store.
  void touch() { version = newStoreVersion(); }
  static uint64_t newStoreVersion();

  uint8_t* pixel(int x, int y) { return bytes.get() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
  const uint8_t* pixel(int x, int y) const {
    return bytes.get() + (size_t(y) * size_t(width) + size_t(x)) * 4;
  }

  int width;
  int height;
  ColorClass cls;
  std::unique_ptr<uint8_t[]> bytes;
  // Names the store for as long as the process runs (never reused).
  uint64_t id = newStoreVersion();
  uint64_t version = newStoreVersion();
};

// Bytes held by all pixel stores alive now (what images cost, and a check that
// the last image using a store frees it).
size_t pixelStoreBytesInUse();

// Who an image was made from, kept after the images themselves are destroyed
// so that vgGetParent can pass over destroyed ancestors.
struct ImageLineage {
  ~ImageLineage();
  VGImage handle = VG_INVALID_HANDLE;
  std::shared_ptr<ImageLineage> parent;
};

struct Image {
  const FormatInfo* format;
  VGbitfield allowedQuality;
  std::shared_ptr<PixelStore> store;
  IntRect rect;  // the image's pixels within the store
  std::shared_ptr<ImageLineage> lineage;

  int width() const { return rect.width; }
  int height() const { return rect.height; }
};

// VG_NO_ERROR when an image of this size may be made, VG_ILLEGAL_ARGUMENT_ERROR
// otherwise; checked before anything is allocated.
VGErrorCode checkImageSize(VGint width, VGint height);

// A new image of transparent black (as the format holds it). The size must
// have passed checkImageSize. Throws std::bad_alloc.
std::unique_ptr<Image> makeImage(const FormatInfo& format, int width, int height,
                                 VGbitfield allowedQuality);
// A child sharing `rect` of the parent's pixels; rect lies inside the parent.
std::unique_ptr<Image> makeChildImage(const Image& parent, const IntRect& rect);

// The store's pixel for colour `c` of the image format's class, reduced to
// the format's precision.
std::array<uint8_t, 4> storedPixel(const FormatInfo& format, const Rgba& c);

// Fills the part of rect inside the image with `color`, non-premultiplied
// sRGB, clamped.
void clearImage(Image& image, const IntRect& rect, const std::array<float, 4>& color);

// Pixels between the image and memory in `format`: data holds rows of
// `width` pixels from rect's lowest row up, `stride` bytes apart (negative
// allowed). Only the part of the rectangle inside the image is touched, and
// only the data bytes of those pixels.
void writeImagePixels(Image& image, const void* data, VGint stride, const FormatInfo& format,
                      VGint x, VGint y, VGint width, VGint height);
void readImagePixels(const Image& image, void* data, VGint stride, const FormatInfo& format,
                     VGint x, VGint y, VGint width, VGint height);

// The pixels of rect (inside the store) as 8-bit premultiplied sRGB RGBA,
// rows from the lowest up, whatever the store's class: what a texture holds
// so that filtering it mixes premultiplied colours of the surface's kind.
void premultipliedSrgbTexels(const PixelStore& store, const IntRect& rect, uint8_t* out);

// Copies src's rectangle at (sx, sy) to (dx, dy) of dst, clipped to both,
// converting between their formats; overlapping pixels of one store copy as
// if through a temporary. Allocates nothing.
void copyImagePixels(Image& dst, VGint dx, VGint dy, const Image& src, VGint sx, VGint sy,
                     VGint width, VGint height);

}  // namespace tq
