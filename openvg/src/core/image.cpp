#include "core/image.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace tq {
namespace {

std::atomic<size_t> gStoreBytes{0};

// The part of a rectangle inside a width x height image, and where it starts
// in the caller's data; in 64 bits, so x + width cannot overflow.
struct Clipped {
  int64_t x = 0, y = 0;          // first pixel in the image
  int64_t dataX = 0, dataY = 0;  // the same pixel in the data
  int64_t width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};

Clipped clipToImage(int imageWidth, int imageHeight, VGint x, VGint y, VGint width, VGint height) {
  Clipped c;
  c.x = std::max<int64_t>(x, 0);
  c.y = std::max<int64_t>(y, 0);
  c.width = std::min<int64_t>(int64_t(x) + width, imageWidth) - c.x;
  c.height = std::min<int64_t>(int64_t(y) + height, imageHeight) - c.y;
  c.dataX = c.x - x;
  c.dataY = c.y - y;
  return c;
}

Rgba storedColor(const uint8_t* p) {
  return {float(p[0]) / 255.0f, float(p[1]) / 255.0f, float(p[2]) / 255.0f, float(p[3]) / 255.0f};
}

uint8_t toByte(float v) { return uint8_t(std::lround(v * 255.0f)); }

}  // namespace

PixelStore::PixelStore(int w, int h, ColorClass c, std::array<uint8_t, 4> fill)
    : width(w), height(h), cls(c), bytes(new uint8_t[size_t(w) * size_t(h) * 4]) {
  const size_t pixels = size_t(w) * size_t(h);
  for (size_t i = 0; i < pixels; ++i) std::memcpy(bytes.get() + i * 4, fill.data(), 4);
  gStoreBytes += pixels * 4;
}

PixelStore::~PixelStore() { gStoreBytes -= size_t(width) * size_t(height) * 4; }

size_t pixelStoreBytesInUse() { return gStoreBytes; }

uint64_t PixelStore::newStoreVersion() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

ImageLineage::~ImageLineage() {
  // A long chain of children would otherwise free itself recursively.
  std::shared_ptr<ImageLineage> next = std::move(parent);
  while (next && next.use_count() == 1) next = std::move(next->parent);
}

VGErrorCode checkImageSize(VGint width, VGint height) {
  if (width <= 0 || height <= 0 || width > kMaxImageWidth || height > kMaxImageHeight)
    return VG_ILLEGAL_ARGUMENT_ERROR;
  const int64_t pixels = int64_t(width) * height;
  if (pixels > kMaxImagePixels || pixels * 4 > kMaxImageBytes) return VG_ILLEGAL_ARGUMENT_ERROR;
  return VG_NO_ERROR;
}

std::array<uint8_t, 4> storedPixel(const FormatInfo& format, const Rgba& c) {
  const Rgba held = decodePixel(format, encodePixel(format, c));
  return {toByte(held.r), toByte(held.g), toByte(held.b), toByte(held.a)};
}

std::unique_ptr<Image> makeImage(const FormatInfo& format, int width, int height,
                                 VGbitfield allowedQuality) {
  auto store = std::make_shared<PixelStore>(width, height, format.cls,
                                            storedPixel(format, Rgba{0, 0, 0, 0}));
  return std::make_unique<Image>(Image{&format, allowedQuality, std::move(store),
                                       IntRect{0, 0, width, height},
                                       std::make_shared<ImageLineage>()});
}

std::unique_ptr<Image> makeChildImage(const Image& parent, const IntRect& rect) {
  auto lineage = std::make_shared<ImageLineage>();
  lineage->parent = parent.lineage;
  const IntRect inStore{parent.rect.x + rect.x, parent.rect.y + rect.y, rect.width, rect.height};
  return std::make_unique<Image>(
      Image{parent.format, parent.allowedQuality, parent.store, inStore, std::move(lineage)});
}

void clearImage(Image& image, const IntRect& rect, const std::array<float, 4>& color) {
  const Clipped c =
      clipToImage(image.width(), image.height(), rect.x, rect.y, rect.width, rect.height);
  if (c.empty()) return;
  static const FormatInfo& kClearFormat = *formatInfo(VG_sRGBA_8888);
  const Rgba given{color[0], color[1], color[2], color[3]};
  const std::array<uint8_t, 4> fill =
      storedPixel(*image.format, convertColor(given, kClearFormat, *image.format));
  image.store->touch();
  for (int64_t j = 0; j < c.height; ++j) {
    uint8_t* row = image.store->pixel(image.rect.x + int(c.x), image.rect.y + int(c.y + j));
    for (int64_t i = 0; i < c.width; ++i) std::memcpy(row + i * 4, fill.data(), 4);
  }
}

void writeImagePixels(Image& image, const void* data, VGint stride, const FormatInfo& format,
                      VGint x, VGint y, VGint width, VGint height) {
  const Clipped c = clipToImage(image.width(), image.height(), x, y, width, height);
  if (c.empty()) return;
  image.store->touch();
  const auto* base = static_cast<const uint8_t*>(data);
  for (int64_t j = 0; j < c.height; ++j) {
    const uint8_t* src = base + (c.dataY + j) * int64_t(stride);
    uint8_t* dst = image.store->pixel(image.rect.x + int(c.x), image.rect.y + int(c.y + j));
    for (int64_t i = 0; i < c.width; ++i) {
      const Rgba given = decodePixel(format, loadPixel(format, src, c.dataX + i));
      const std::array<uint8_t, 4> p =
          storedPixel(*image.format, convertColor(given, format, *image.format));
      std::memcpy(dst + i * 4, p.data(), 4);
    }
  }
}

void readImagePixels(const Image& image, void* data, VGint stride, const FormatInfo& format,
                     VGint x, VGint y, VGint width, VGint height) {
  const Clipped c = clipToImage(image.width(), image.height(), x, y, width, height);
  if (c.empty()) return;
  auto* base = static_cast<uint8_t*>(data);
  for (int64_t j = 0; j < c.height; ++j) {
    uint8_t* dst = base + (c.dataY + j) * int64_t(stride);
    const uint8_t* src = image.store->pixel(image.rect.x + int(c.x), image.rect.y + int(c.y + j));
    for (int64_t i = 0; i < c.width; ++i) {
      const Rgba held = storedColor(src + i * 4);
      storePixel(format, dst, c.dataX + i,
                 encodePixel(format, convertColor(held, *image.format, format)));
    }
  }
}

void copyImagePixels(Image& dst, VGint dx, VGint dy, const Image& src, VGint sx, VGint sy,
                     VGint width, VGint height) {
  // Offsets into the rectangle that both images hold.
  const int64_t i0 = std::max<int64_t>({0, -int64_t(sx), -int64_t(dx)});
  const int64_t j0 = std::max<int64_t>({0, -int64_t(sy), -int64_t(dy)});
  const int64_t i1 =
      std::min<int64_t>({width, int64_t(src.width()) - sx, int64_t(dst.width()) - dx});
  const int64_t j1 =
      std::min<int64_t>({height, int64_t(src.height()) - sy, int64_t(dst.height()) - dy});
  if (i1 <= i0 || j1 <= j0) return;
  const int64_t w = i1 - i0;
  const int64_t srcX = src.rect.x + sx + i0, srcY = src.rect.y + sy + j0;
  const int64_t dstX = dst.rect.x + dx + i0, dstY = dst.rect.y + dy + j0;
  dst.store->touch();
  if (src.format == dst.format) {
    // Children share their parent's format, so this covers one store: rows
    // run away from the overlap and memmove handles a shared row.
    const bool upward = !(dst.store == src.store && dstY > srcY);
    for (int64_t n = 0; n < j1 - j0; ++n) {
      const int64_t j = upward ? n : j1 - j0 - 1 - n;
      std::memmove(dst.store->pixel(int(dstX), int(dstY + j)),
                   src.store->pixel(int(srcX), int(srcY + j)), size_t(w) * 4);
    }
    return;
  }
  for (int64_t j = 0; j < j1 - j0; ++j) {
    const uint8_t* from = src.store->pixel(int(srcX), int(srcY + j));
    uint8_t* to = dst.store->pixel(int(dstX), int(dstY + j));
    for (int64_t i = 0; i < w; ++i) {
      const std::array<uint8_t, 4> p = storedPixel(
          *dst.format, convertColor(storedColor(from + i * 4), *src.format, *dst.format));
      std::memcpy(to + i * 4, p.data(), 4);
    }
  }
}

void premultipliedSrgbTexels(const PixelStore& store, const IntRect& rect, uint8_t* out) {
  // Per-pixel powers would cost more than the upload: the transfer
  // function of each byte comes from a table, and only linear premultiplied
  // colours, which must be divided by alpha first, take the general path.
  std::array<float, 256> toSrgb{};
  if (store.cls.linear)
    for (int v = 0; v < 256; ++v) toSrgb[size_t(v)] = linearToSrgb(float(v) / 255.0f) * 255.0f;
  for (int j = 0; j < rect.height; ++j) {
    const uint8_t* src = store.pixel(rect.x, rect.y + j);
    for (int i = 0; i < rect.width; ++i, src += 4, out += 4) {
      const unsigned a = src[3];
      if (!store.cls.linear && store.cls.premultiplied) {
        std::memcpy(out, src, 4);
        continue;
      }
      if (!store.cls.linear) {
        for (int k = 0; k < 3; ++k) out[k] = uint8_t((src[k] * a + 127) / 255);
      } else if (!store.cls.premultiplied) {
        for (int k = 0; k < 3; ++k)
          out[k] = uint8_t(std::lround(toSrgb[src[k]] * float(a) / 255.0f));
      } else {
        const float inv = a ? 255.0f / float(a) : 0.0f;
        for (int k = 0; k < 3; ++k) {
          const float straight = std::min(float(src[k]) * inv, 255.0f) / 255.0f;
          out[k] = uint8_t(std::lround(linearToSrgb(straight) * float(a)));
        }
      }
      out[3] = uint8_t(a);
    }
  }
}

}  // namespace tq
