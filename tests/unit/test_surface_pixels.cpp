// The pixel calls between images or memory and the surface, against a
// surface held in memory: clipping on both sides at every edge and at the
// ends of the int range, strides of either sign, conversion, scissoring of
// writes, and copies in several bands that overlap.
#include <VG/openvg.h>
#include <VG/vgext.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "draw/painter.hpp"
#include "draw/surface_pixels.hpp"
#include "test_context_fixture.hpp"

namespace {

// A premultiplied RGBA surface in memory; fails the test on any access
// outside it.
struct MemorySurface : tq::Compositor {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  int reads = 0, writes = 0;
  void setSurface(int w, int h) override {
    width = w;
    height = h;
    rgba.assign(size_t(w) * size_t(h) * 4, 0);
  }
  tq::IntRect drawableLimit() const override { return {0, 0, 1 << 14, 1 << 14}; }
  void clear(const tq::IntRect&, const std::array<float, 4>&, bool,
             const std::vector<VGint>&) override {}
  void fill(const tq::CoverageMask&, const tq::DrawPaint&, VGBlendMode) override {}
  void trimScratch(size_t) override {}
  void releaseGl() override {}
  bool surfaceHasAlpha() override { return true; }
  bool inside(const tq::IntRect& r) const {
    return r.x >= 0 && r.y >= 0 && r.width > 0 && r.height > 0 && r.x + r.width <= width &&
           r.y + r.height <= height;
  }
  void readSurface(const tq::IntRect& r, uint8_t* out) override {
    ++reads;
    ASSERT_TRUE(inside(r)) << r.x << " " << r.y << " " << r.width << " " << r.height;
    for (int j = 0; j < r.height; ++j)
      std::memcpy(out + size_t(j) * size_t(r.width) * 4, at(r.x, r.y + j), size_t(r.width) * 4);
  }
  void writeSurface(const tq::IntRect& r, const uint8_t* in, bool scissor,
                    const std::vector<VGint>& rects) override {
    ++writes;
    ASSERT_TRUE(inside(r)) << r.x << " " << r.y << " " << r.width << " " << r.height;
    for (int j = 0; j < r.height; ++j) {
      for (int i = 0; i < r.width; ++i) {
        bool in_ = !scissor;
        for (size_t k = 0; scissor && k + 3 < rects.size(); k += 4)
          in_ |= r.x + i >= rects[k] && r.x + i < rects[k] + rects[k + 2] &&
                 r.y + j >= rects[k + 1] && r.y + j < rects[k + 1] + rects[k + 3];
        if (in_)
          std::memcpy(at(r.x + i, r.y + j), in + (size_t(j) * size_t(r.width) + size_t(i)) * 4, 4);
      }
    }
  }
  uint8_t* at(int x, int y) { return rgba.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
  uint32_t word(int x, int y) {
    uint32_t w;
    std::memcpy(&w, at(x, y), 4);
    return w;
  }
};

class SurfacePixels : public HeadlessContext {
 protected:
  void SetUp() override {
    HeadlessContext::SetUp();
    auto compositor = std::make_unique<MemorySurface>();
    surface = compositor.get();
    ctx->renderer = std::make_unique<tq::Painter>(std::move(compositor));
    resize(kW, kH);
  }
  void resize(int w, int h) {
    vgResizeSurfaceTQ(w, h);
    surface->setSurface(w, h);
  }
  // Opaque, different at every pixel, in the surface's byte order.
  void paintSurface() {
    for (int y = 0; y < surface->height; ++y)
      for (int x = 0; x < surface->width; ++x) {
        uint8_t* p = surface->at(x, y);
        p[0] = uint8_t(x * 7 + y);
        p[1] = uint8_t(y * 5 + 3);
        p[2] = uint8_t(x ^ y);
        p[3] = 255;
      }
  }
  static constexpr int kW = 7, kH = 5;
  MemorySurface* surface = nullptr;
};

struct Rect {
  VGint x, y, w, h;
};

// Over each side of the 7 x 5 surface, beyond it, and with x + w or y + h
// past the int range.
const Rect kRects[] = {
    {0, 0, 7, 5},
    {-3, 1, 5, 2},
    {5, 0, 4, 3},
    {1, -2, 3, 3},
    {2, 4, 2, 9},
    {-9, -9, 30, 30},
    {7, 0, 2, 2},
    {0, 5, 1, 1},
    {-4, -4, 4, 4},
    {-1, 2, INT_MAX, 1},
    {3, INT_MAX - 1, 1, INT_MAX},
    {INT_MIN, 0, INT_MAX, 2},
    {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
};

bool onSurface(int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < 7 && y < 5; }

// Data of the pixels calls: rows of w words from the lowest, `strideWords`
// apart (negative: the rows run down from the last line of the buffer).
struct Data {
  int w = 0, h = 0, stride = 0;
  std::vector<uint32_t> words;
  uint32_t* first() { return words.data() + (stride < 0 ? size_t(h - 1) * size_t(-stride) : 0); }
  uint32_t& at(int i, int j) { return first()[int64_t(j) * stride + i]; }
};

Data makeData(int w, int h, bool negative) {
  Data d;
  d.w = w;
  d.h = h;
  d.stride = negative ? -(w + 1) : w + 1;
  d.words.assign(size_t(w + 1) * size_t(h), 0xDEADBEEF);
  return d;
}

TEST_F(SurfacePixels, ReadAndWriteClipToTheSurfaceOnEverySide) {
  for (const Rect& r : kRects) {
    for (bool negative : {false, true}) {
      // The data grid is at most 12 x 12 of the rectangle; what lies beyond
      // cannot reach the surface for these rectangles.
      const int w = int(std::min<int64_t>(r.w, 12)), h = int(std::min<int64_t>(r.h, 12));
      paintSurface();
      Data d = makeData(w, h, negative);
      // Read what exists of the 12 x 12 corner; the rest of the data stays.
      vgReadPixels(d.first(), d.stride * 4, VG_sABGR_8888_PRE, r.x, r.y, w, h);
      for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
          const int64_t x = int64_t(r.x) + i, y = int64_t(r.y) + j;
          const uint32_t want = onSurface(x, y) ? surface->word(int(x), int(y)) : 0xDEADBEEF;
          EXPECT_EQ(d.at(i, j), want) << r.x << "," << r.y << " data " << i << "," << j;
        }
      // Write it back changed; only the surface's part changes.
      std::vector<uint8_t> before = surface->rgba;
      for (uint32_t& v : d.words) v ^= 0x00FFFF00;  // keeps alpha
      vgWritePixels(d.first(), d.stride * 4, VG_sABGR_8888_PRE, r.x, r.y, w, h);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          const int64_t i = int64_t(x) - r.x, j = int64_t(y) - r.y;
          uint32_t want;
          std::memcpy(&want, before.data() + (size_t(y) * kW + size_t(x)) * 4, 4);
          if (i >= 0 && j >= 0 && i < w && j < h) want = d.at(int(i), int(j));
          EXPECT_EQ(surface->word(x, y), want) << r.x << "," << r.y << " surface " << x << "," << y;
        }
    }
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(SurfacePixels, ImagesToAndFromTheSurfaceClipOnBothSides) {
  // A 4 x 3 image placed against each rectangle's corner, at each offset.
  const VGImage image = vgCreateImage(VG_sRGBA_8888_PRE, 4, 3, VG_IMAGE_QUALITY_FASTER);
  const int offsets[][2] = {{0, 0}, {-2, 1}, {2, -1}, {3, 2}, {INT_MIN, 0}, {0, INT_MAX}};
  for (const Rect& r : kRects) {
    for (const auto& o : offsets) {
      paintSurface();
      std::vector<uint32_t> img(12);
      for (int k = 0; k < 12; ++k) img[size_t(k)] = 0x10203040u * uint32_t(k + 1) | 0xFF;
      vgImageSubData(image, img.data(), 16, VG_sRGBA_8888_PRE, 0, 0, 4, 3);
      // Image pixel (o + i) goes to surface pixel (r + i).
      const std::vector<uint8_t> before = surface->rgba;
      vgSetPixels(r.x, r.y, image, o[0], o[1], r.w, r.h);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          const int64_t ix = int64_t(x) - r.x + o[0], iy = int64_t(y) - r.y + o[1];
          const int64_t i = int64_t(x) - r.x, j = int64_t(y) - r.y;
          const uint8_t* want = before.data() + (size_t(y) * kW + size_t(x)) * 4;
          uint8_t expected[4];
          std::memcpy(expected, want, 4);
          if (i >= 0 && j >= 0 && i < r.w && j < r.h && ix >= 0 && iy >= 0 && ix < 4 && iy < 3) {
            const uint32_t v = img[size_t(iy * 4 + ix)];
            expected[0] = uint8_t(v >> 24);
            expected[1] = uint8_t(v >> 16);
            expected[2] = uint8_t(v >> 8);
            expected[3] = uint8_t(v);
          }
          EXPECT_EQ(std::memcmp(surface->at(x, y), expected, 4), 0)
              << "set " << r.x << "," << r.y << " offset " << o[0] << " at " << x << "," << y;
        }
      // And back: surface pixel (o + i) to image pixel (r + i).
      vgGetPixels(image, r.x, r.y, o[0], o[1], r.w, r.h);
      std::vector<uint32_t> got(12);
      vgGetImageSubData(image, got.data(), 16, VG_sRGBA_8888_PRE, 0, 0, 4, 3);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
          const int64_t sx = int64_t(x) - r.x + o[0], sy = int64_t(y) - r.y + o[1];
          const int64_t i = int64_t(x) - r.x, j = int64_t(y) - r.y;
          uint32_t want = img[size_t(y * 4 + x)];
          if (i >= 0 && j >= 0 && i < r.w && j < r.h && onSurface(sx, sy)) {
            const uint8_t* p = surface->at(int(sx), int(sy));
            want = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
          }
          EXPECT_EQ(got[size_t(y * 4 + x)], want)
              << "get " << r.x << "," << r.y << " offset " << o[0] << " at " << x << "," << y;
        }
    }
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(SurfacePixels, FormatsConvertAndScissoringLimitsWrites) {
  paintSurface();
  // A linear grey of 0.5 is sRGB 188; a half-transparent one premultiplies.
  const uint8_t linear[2] = {128, 128};
  vgWritePixels(linear, 2, VG_lL_8, 1, 1, 2, 1);
  EXPECT_NEAR(surface->at(1, 1)[0], 188, 1);
  EXPECT_EQ(surface->at(2, 1)[3], 255);
  const uint32_t half = 0xFF000080;  // sRGBA_8888: red at alpha 0.5
  vgWritePixels(&half, 4, VG_sRGBA_8888, 0, 0, 1, 1);
  EXPECT_EQ(surface->at(0, 0)[0], 128);
  EXPECT_EQ(surface->at(0, 0)[3], 128);
  uint32_t back = 0;
  vgReadPixels(&back, 4, VG_sRGBA_8888, 0, 0, 1, 1);
  EXPECT_EQ(back, half);

  // Writes honour the scissor rectangles; reads do not.
  const VGint rects[4] = {2, 0, 2, 5};
  vgSetiv(VG_SCISSOR_RECTS, 4, rects);
  vgSeti(VG_SCISSORING, VG_TRUE);
  std::vector<uint32_t> white(35, 0xFFFFFFFF);
  vgWritePixels(white.data(), 28, VG_sRGBA_8888, 0, 0, 7, 5);
  for (int x = 0; x < kW; ++x) EXPECT_EQ(surface->word(x, 3) == 0xFFFFFFFF, x == 2 || x == 3) << x;
  std::vector<uint32_t> read(35, 0);
  vgReadPixels(read.data(), 28, VG_sRGBA_8888, 0, 0, 7, 5);
  EXPECT_EQ(read[0], half);
  // Columns 4 to 6 copied onto 0 to 2: only column 2 lies in the scissor.
  const std::vector<uint8_t> beforeCopy = surface->rgba;
  auto old = [&](int x, int y) {
    uint32_t w;
    std::memcpy(&w, beforeCopy.data() + (size_t(y) * kW + size_t(x)) * 4, 4);
    return w;
  };
  vgCopyPixels(0, 0, 4, 0, 3, 5);
  for (int y = 0; y < kH; ++y) {
    EXPECT_EQ(surface->word(0, y), old(0, y));
    EXPECT_EQ(surface->word(1, y), old(1, y));
    EXPECT_EQ(surface->word(2, y), old(6, y));
  }
  vgSeti(VG_SCISSORING, VG_FALSE);

  // Errors, checked before anything moves.
  vgWritePixels(nullptr, 4, VG_sRGBA_8888, 0, 0, 1, 1);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgReadPixels(&back, 4, VGImageFormat(15), 0, 0, 1, 1);
  EXPECT_EQ(vgGetError(), VG_UNSUPPORTED_IMAGE_FORMAT_ERROR);
  vgReadPixels(reinterpret_cast<uint8_t*>(&back) + 1, 4, VG_sRGBA_8888, 0, 0, 1, 1);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgReadPixels(&back, 6, VG_sRGBA_8888, 0, 0, 1, 1);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgCopyPixels(0, 0, 0, 0, 0, 1);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgSetPixels(0, 0, VG_INVALID_HANDLE, 0, 0, 1, 1);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgGetPixels(12345, 0, 0, 0, 0, 1, 1);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
}

// A copy larger than one band, overlapping itself upward and downward,
// lands as if through a temporary.
TEST_F(SurfacePixels, OverlappingCopiesInManyBands) {
  constexpr int w = 1200, h = 2000;  // more than two bands of rows at this width
  resize(w, h);
  for (const auto& move : {std::array<int, 2>{3, 700}, std::array<int, 2>{-5, -900},
                           std::array<int, 2>{0, 1}, std::array<int, 2>{7, 0}}) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t v = uint32_t(y) << 16 | uint32_t(x) << 4 | 0xF;
        std::memcpy(surface->at(x, y), &v, 4);
      }
    const std::vector<uint8_t> before = surface->rgba;
    const int reads = surface->reads;
    vgCopyPixels(move[0], move[1], 0, 0, w, h);
    EXPECT_GE(surface->reads - reads, 2);  // more than one band
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int sx = x - move[0], sy = y - move[1];
        const bool moved = sx >= 0 && sy >= 0 && sx < w && sy < h;
        const uint8_t* want =
            before.data() + (size_t(moved ? sy : y) * w + size_t(moved ? sx : x)) * 4;
        wrong += std::memcmp(surface->at(x, y), want, 4) != 0;
      }
    EXPECT_EQ(wrong, 0) << move[0] << ", " << move[1];
  }
}

TEST(ClipCopy, BothGridsAndTheIntRange) {
  struct Case {
    int64_t sw, sh;
    VGint sx, sy;
    int64_t dw, dh;
    VGint dx, dy, w, h;
    tq::CopyRect want;
  } cases[] = {
      {10, 10, 0, 0, 10, 10, 0, 0, 10, 10, {0, 0, 10, 10}},
      {10, 10, -3, 2, 10, 10, 1, -4, 8, 8, {3, 4, 5, 4}},
      {10, 10, 8, 0, 20, 20, 0, 0, 5, 5, {0, 0, 2, 5}},
      {10, 10, 0, 0, 4, 4, 3, 3, 5, 5, {0, 0, 1, 1}},
      {10, 10, INT_MIN, 0, 10, 10, 0, 0, INT_MAX, 1, {0, 0, 0, 0}},
      {10, 10, 0, 0, 10, 10, INT_MAX, INT_MAX, INT_MAX, INT_MAX, {0, 0, 0, 0}},
      {10, 10, -1, 0, 10, 10, INT_MIN, 0, INT_MAX, 1, {0, 0, 0, 0}},
      {16384, 16384, 1, 1, 16384, 16384, INT_MIN + 2, 0, INT_MAX, 3, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const tq::CopyRect r = tq::clipCopy(c.sw, c.sh, c.sx, c.sy, c.dw, c.dh, c.dx, c.dy, c.w, c.h);
    if (c.want.empty()) {
      EXPECT_TRUE(r.empty()) << c.sx << " " << c.dx;
      continue;
    }
    EXPECT_EQ(r.i0, c.want.i0);
    EXPECT_EQ(r.j0, c.want.j0);
    EXPECT_EQ(r.width, c.want.width);
    EXPECT_EQ(r.height, c.want.height);
  }
}

}  // namespace
