#include "draw/surface_pixels.hpp"

#include <algorithm>
#include <memory>

namespace tq {

CopyRect clipCopy(int64_t sourceWidth, int64_t sourceHeight, VGint sx, VGint sy, int64_t destWidth,
                  int64_t destHeight, VGint dx, VGint dy, VGint width, VGint height) {
  CopyRect r;
  r.i0 = std::max<int64_t>({0, -int64_t(sx), -int64_t(dx)});
  r.j0 = std::max<int64_t>({0, -int64_t(sy), -int64_t(dy)});
  const int64_t i1 = std::min<int64_t>({width, sourceWidth - sx, destWidth - dx});
  const int64_t j1 = std::min<int64_t>({height, sourceHeight - sy, destHeight - dy});
  r.width = std::max<int64_t>(i1 - r.i0, 0);
  r.height = std::max<int64_t>(j1 - r.j0, 0);
  return r;
}

const FormatInfo& surfaceFormat(bool hasAlpha) {
  return *formatInfo(hasAlpha ? VG_sRGBA_8888_PRE : VG_sRGBX_8888);
}

template <class F>
void SurfacePixels::inBands(const CopyRect& r, bool backward, F&& f) {
  const int64_t rows =
      std::min(std::max<int64_t>(1, kPixelBandPixels / std::max<int64_t>(r.width, 1)), r.height);
  const FormatInfo& format = surfaceFormat(compositor_.surfaceHasAlpha());
  auto store = std::make_shared<PixelStore>(int(r.width), int(rows), format.cls,
                                            std::array<uint8_t, 4>{0, 0, 0, 0});
  Image pixels{&format, VG_IMAGE_QUALITY_NONANTIALIASED, std::move(store),
               IntRect{0, 0, int(r.width), int(rows)}, nullptr};
  for (int64_t k = 0; k < r.height; k += rows) {
    const int64_t n = std::min(rows, r.height - k);
    f(pixels, backward ? r.height - k - n : k, n);
  }
}

void SurfacePixels::writeBand(const IntRect& rect, const Image& pixels) {
  compositor_.writeSurface(rect, pixels.store->bytes.get(), ctx_.scissoring, ctx_.scissorRects);
}

void SurfacePixels::set(VGint dx, VGint dy, const Image& src, VGint sx, VGint sy, VGint width,
                        VGint height) {
  const CopyRect r = clipCopy(src.width(), src.height(), sx, sy, surface_.width, surface_.height,
                              dx, dy, width, height);
  if (r.empty()) return;
  inBands(r, false, [&](Image& pixels, int64_t j, int64_t n) {
    copyImagePixels(pixels, 0, 0, src, VGint(sx + r.i0), VGint(sy + r.j0 + j), VGint(r.width),
                    VGint(n));
    writeBand(IntRect{int(dx + r.i0), int(dy + r.j0 + j), int(r.width), int(n)}, pixels);
  });
}

void SurfacePixels::write(const void* data, VGint stride, const FormatInfo& format, VGint dx,
                          VGint dy, VGint width, VGint height) {
  // The data is a grid of width x height from its own origin.
  const CopyRect r =
      clipCopy(width, height, 0, 0, surface_.width, surface_.height, dx, dy, width, height);
  if (r.empty()) return;
  const auto* base = static_cast<const uint8_t*>(data);
  inBands(r, false, [&](Image& pixels, int64_t j, int64_t n) {
    // Rows through the pointer, columns through the offset (sub-byte
    // formats cannot start mid-byte).
    writeImagePixels(pixels, base + (r.j0 + j) * int64_t(stride), stride, format, VGint(-r.i0), 0,
                     VGint(r.i0 + r.width), VGint(n));
    writeBand(IntRect{int(dx + r.i0), int(dy + r.j0 + j), int(r.width), int(n)}, pixels);
  });
}

void SurfacePixels::get(Image& dst, VGint dx, VGint dy, VGint sx, VGint sy, VGint width,
                        VGint height) {
  const CopyRect r = clipCopy(surface_.width, surface_.height, sx, sy, dst.width(), dst.height(),
                              dx, dy, width, height);
  if (r.empty()) return;
  inBands(r, false, [&](Image& pixels, int64_t j, int64_t n) {
    compositor_.readSurface(IntRect{int(sx + r.i0), int(sy + r.j0 + j), int(r.width), int(n)},
                            pixels.store->bytes.get());
    copyImagePixels(dst, VGint(dx + r.i0), VGint(dy + r.j0 + j), pixels, 0, 0, VGint(r.width),
                    VGint(n));
  });
}

void SurfacePixels::read(void* data, VGint stride, const FormatInfo& format, VGint sx, VGint sy,
                         VGint width, VGint height) {
  const CopyRect r =
      clipCopy(surface_.width, surface_.height, sx, sy, width, height, 0, 0, width, height);
  if (r.empty()) return;
  auto* base = static_cast<uint8_t*>(data);
  inBands(r, false, [&](Image& pixels, int64_t j, int64_t n) {
    compositor_.readSurface(IntRect{int(sx + r.i0), int(sy + r.j0 + j), int(r.width), int(n)},
                            pixels.store->bytes.get());
    readImagePixels(pixels, base + (r.j0 + j) * int64_t(stride), stride, format, VGint(-r.i0), 0,
                    VGint(r.i0 + r.width), VGint(n));
  });
}

void SurfacePixels::copy(VGint dx, VGint dy, VGint sx, VGint sy, VGint width, VGint height) {
  const CopyRect r = clipCopy(surface_.width, surface_.height, sx, sy, surface_.width,
                              surface_.height, dx, dy, width, height);
  if (r.empty()) return;
  // Bands run away from where the destination overlaps the source, so no
  // band reads rows an earlier one has written.
  inBands(r, dy > sy, [&](Image& pixels, int64_t j, int64_t n) {
    compositor_.readSurface(IntRect{int(sx + r.i0), int(sy + r.j0 + j), int(r.width), int(n)},
                            pixels.store->bytes.get());
    writeBand(IntRect{int(dx + r.i0), int(dy + r.j0 + j), int(r.width), int(n)}, pixels);
  });
}

}  // namespace tq
