// Image objects: clipping of every call, children, limits and errors.
#include <VG/openvg.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/image.hpp"
#include "test_context_fixture.hpp"

namespace {

using Images = HeadlessContext;

constexpr int kSize = 4;            // the images under test are kSize x kSize lL_8
using Grid = std::vector<uint8_t>;  // kSize * kSize, row 0 lowest

VGImage greyImage(int w = kSize, int h = kSize) {
  return vgCreateImage(VG_lL_8, w, h, VG_IMAGE_QUALITY_FASTER);
}

void fill(VGImage image, uint8_t base) {
  Grid g(kSize * kSize);
  for (size_t i = 0; i < g.size(); ++i) g[i] = uint8_t(base + i);
  vgImageSubData(image, g.data(), kSize, VG_lL_8, 0, 0, kSize, kSize);
}

Grid pixels(VGImage image) {
  Grid g(kSize * kSize);
  vgGetImageSubData(image, g.data(), kSize, VG_lL_8, 0, 0, kSize, kSize);
  return g;
}

struct Rect {
  VGint x, y, w, h;
};

// Rectangles over each side of a 4 x 4 image, outside it, and with x + w or
// y + h beyond the int range.
const Rect kRects[] = {
    {0, 0, 4, 4},
    {-2, 1, 3, 2},
    {3, 0, 5, 1},
    {1, -3, 2, 4},
    {0, 3, 1, 9},
    {-9, -9, 20, 20},
    {4, 0, 1, 1},
    {0, -1, 4, 1},
    {-1, 2, INT_MAX, 1},
    {2, INT_MAX - 1, 1, INT_MAX},
    {INT_MIN, 0, INT_MAX, 2},
    {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
};

// Whether image pixel (px, py) lies in r, and its data index (i, j) there.
bool inRect(const Rect& r, int px, int py, int64_t& i, int64_t& j) {
  i = int64_t(px) - r.x;
  j = int64_t(py) - r.y;
  return i >= 0 && i < r.w && j >= 0 && j < r.h;
}

TEST_F(Images, SubDataClipsToTheImage) {
  // Data indexed from the rectangle's own origin; the kept pixels of every
  // rectangle here lie within 12 rows and columns of it.
  constexpr VGint kStride = 16;
  for (const Rect& r : kRects) {
    const VGImage image = greyImage();
    fill(image, 100);
    const Grid before = pixels(image);
    std::vector<uint8_t> data(size_t(kStride) * 16);
    for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(k);
    vgImageSubData(image, data.data(), kStride, VG_lL_8, r.x, r.y, r.w, r.h);
    Grid want = before;
    for (int py = 0; py < kSize; ++py)
      for (int px = 0; px < kSize; ++px) {
        int64_t i, j;
        if (inRect(r, px, py, i, j)) want[size_t(py * kSize + px)] = data[size_t(j * kStride + i)];
      }
    EXPECT_EQ(pixels(image), want) << r.x << "," << r.y << " " << r.w << "x" << r.h;

    // Reading back writes exactly the data bytes of the kept pixels.
    std::vector<uint8_t> out(data.size(), 7), wantOut(data.size(), 7);
    vgGetImageSubData(image, out.data(), kStride, VG_lL_8, r.x, r.y, r.w, r.h);
    for (int py = 0; py < kSize; ++py)
      for (int px = 0; px < kSize; ++px) {
        int64_t i, j;
        if (inRect(r, px, py, i, j))
          wantOut[size_t(j * kStride + i)] = want[size_t(py * kSize + px)];
      }
    EXPECT_EQ(out, wantOut) << r.x << "," << r.y;

    // Clearing: the kept pixels take the clear colour.
    const VGfloat grey[4] = {0.2f, 0.2f, 0.2f, 1};
    vgSetfv(VG_CLEAR_COLOR, 4, grey);
    const auto cleared = uint8_t(std::lround(255 * std::pow((0.2 + 0.055) / 1.055, 2.4)));
    vgClearImage(image, r.x, r.y, r.w, r.h);
    for (int py = 0; py < kSize; ++py)
      for (int px = 0; px < kSize; ++px) {
        int64_t i, j;
        if (inRect(r, px, py, i, j)) want[size_t(py * kSize + px)] = cleared;
      }
    EXPECT_EQ(pixels(image), want) << r.x << "," << r.y;
    vgDestroyImage(image);
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Images, NegativeStrideReadsRowsDownward) {
  const VGImage image = greyImage(2, 2);
  const uint8_t rows[4] = {1, 2, 3, 4};  // in memory: top row first
  vgImageSubData(image, rows + 2, -2, VG_lL_8, 0, 0, 2, 2);
  uint8_t up[4];
  vgGetImageSubData(image, up, 2, VG_lL_8, 0, 0, 2, 2);
  EXPECT_EQ(std::vector<uint8_t>(up, up + 4), (std::vector<uint8_t>{3, 4, 1, 2}));
  uint8_t down[4] = {};
  vgGetImageSubData(image, down + 2, -2, VG_lL_8, 0, 0, 2, 2);
  EXPECT_EQ(std::vector<uint8_t>(down, down + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Images, CopyClipsToBothImagesAndHandlesOverlap) {
  struct CopyCase {
    Rect r;  // x, y: destination; w, h: size
    VGint sx, sy;
    bool sameImage;
  };
  std::vector<CopyCase> cases;
  for (const Rect& r : kRects) {
    cases.push_back({r, 0, 0, false});
    cases.push_back({r, 1, -1, false});
  }
  for (VGint d : {-1, 1}) {  // overlapping copies within one image, each direction
    cases.push_back({{d, 0, 4, 4}, 0, 0, true});
    cases.push_back({{0, d, 4, 4}, 0, 0, true});
    cases.push_back({{d, d, 3, 3}, 0, 0, true});
  }
  for (const CopyCase& c : cases) {
    const VGImage dst = greyImage();
    const VGImage src = c.sameImage ? dst : greyImage();
    fill(dst, 10);
    if (!c.sameImage) fill(src, 100);
    const Grid d0 = pixels(dst), s0 = pixels(src);
    vgCopyImage(dst, c.r.x, c.r.y, src, c.sx, c.sy, c.r.w, c.r.h, VG_FALSE);
    Grid want = d0;
    for (int py = 0; py < kSize; ++py)
      for (int px = 0; px < kSize; ++px) {
        int64_t i, j;
        if (!inRect(c.r, px, py, i, j)) continue;
        const int64_t qx = c.sx + i, qy = c.sy + j;
        if (qx >= 0 && qx < kSize && qy >= 0 && qy < kSize)
          want[size_t(py * kSize + px)] = s0[size_t(qy * kSize + qx)];
      }
    EXPECT_EQ(pixels(dst), want) << c.r.x << "," << c.r.y << " from " << c.sx << "," << c.sy;
    vgDestroyImage(dst);
    if (!c.sameImage) vgDestroyImage(src);
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Images, CopyConvertsBetweenFormats) {
  const VGImage s = vgCreateImage(VG_sRGBA_8888, 1, 1, VG_IMAGE_QUALITY_FASTER);
  const VGImage l = vgCreateImage(VG_lRGBA_8888_PRE, 1, 1, VG_IMAGE_QUALITY_FASTER);
  const uint32_t red = 0xBC000080;  // sRGB 188/255 is linear 0.5
  vgImageSubData(s, &red, 4, VG_sRGBA_8888, 0, 0, 1, 1);
  vgCopyImage(l, 0, 0, s, 0, 0, 1, 1, VG_TRUE);
  uint32_t got = 0;
  vgGetImageSubData(l, &got, 4, VG_lRGBA_8888_PRE, 0, 0, 1, 1);
  const double want = (std::pow((188 / 255.0 + 0.055) / 1.055, 2.4) * 128 / 255) * 255;
  EXPECT_NEAR(double(got >> 24), want, 1.0);
  EXPECT_EQ(got & 0xFF, 0x80u);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Images, ChildrenShareThePixelsAndOutliveTheirParents) {
  const size_t baseline = tq::pixelStoreBytesInUse();
  const VGImage parent = greyImage();
  fill(parent, 0);
  const VGImage child = vgChildImage(parent, 1, 2, 3, 2);
  const VGImage grandchild = vgChildImage(child, 1, 1, 2, 1);
  ASSERT_NE(grandchild, VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetParameteri(child, VG_IMAGE_WIDTH), 3);
  EXPECT_EQ(vgGetParameteri(child, VG_IMAGE_HEIGHT), 2);
  EXPECT_EQ(vgGetParameteri(child, VG_IMAGE_FORMAT), VG_lL_8);
  EXPECT_EQ(tq::pixelStoreBytesInUse(), baseline + kSize * kSize * 4);  // one store

  // Writes through either side show in the other.
  uint8_t v = 200;
  vgImageSubData(grandchild, &v, 1, VG_lL_8, 0, 0, 1, 1);  // parent (2, 3)
  EXPECT_EQ(pixels(parent)[3 * kSize + 2], 200);
  uint8_t got = 0;
  vgGetImageSubData(child, &got, 1, VG_lL_8, 0, 0, 1, 1);  // parent (1, 2)
  EXPECT_EQ(got, 9);
  vgClearImage(parent, 0, 0, kSize, kSize);
  vgGetImageSubData(grandchild, &got, 1, VG_lL_8, 1, 0, 1, 1);
  EXPECT_EQ(got, 0);

  EXPECT_EQ(vgGetParent(parent), parent);
  EXPECT_EQ(vgGetParent(grandchild), child);
  vgDestroyImage(child);
  EXPECT_EQ(vgGetParent(grandchild), parent);  // the closest living ancestor
  vgDestroyImage(parent);
  EXPECT_EQ(vgGetParent(grandchild), grandchild);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGetParameteri(parent, VG_IMAGE_WIDTH), 0);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);  // the handle died at once

  v = 42;
  vgImageSubData(grandchild, &v, 1, VG_lL_8, 1, 0, 1, 1);
  vgGetImageSubData(grandchild, &got, 1, VG_lL_8, 1, 0, 1, 1);
  EXPECT_EQ(got, 42);  // the pixels live on
  vgDestroyImage(grandchild);
  EXPECT_EQ(tq::pixelStoreBytesInUse(), baseline);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Images, LimitsAreReportedAndEnforcedBeforeAllocating) {
  EXPECT_EQ(vgGeti(VG_MAX_IMAGE_WIDTH), tq::kMaxImageWidth);
  EXPECT_EQ(vgGeti(VG_MAX_IMAGE_HEIGHT), tq::kMaxImageHeight);
  EXPECT_EQ(vgGeti(VG_MAX_IMAGE_PIXELS), tq::kMaxImagePixels);
  EXPECT_EQ(vgGeti(VG_MAX_IMAGE_BYTES), tq::kMaxImageBytes);
  const size_t baseline = tq::pixelStoreBytesInUse();
  const VGint sizes[][2] = {{0, 1},        {1, -1},      {16385, 1},         {1, 16385},
                            {16384, 4097}, {8193, 8193}, {INT_MAX, INT_MAX}, {INT_MIN, 1}};
  for (const auto& s : sizes) {
    EXPECT_EQ(vgCreateImage(VG_sRGBA_8888, s[0], s[1], VG_IMAGE_QUALITY_FASTER), VG_INVALID_HANDLE);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR) << s[0] << "x" << s[1];
    EXPECT_EQ(tq::pixelStoreBytesInUse(), baseline);
  }
  // The largest sizes allowed (not allocated here: 256 MiB).
  EXPECT_EQ(tq::checkImageSize(16384, 4096), VG_NO_ERROR);
  EXPECT_EQ(tq::checkImageSize(4096, 16384), VG_NO_ERROR);
  EXPECT_EQ(tq::checkImageSize(16384, 4097), VG_ILLEGAL_ARGUMENT_ERROR);
}

TEST_F(Images, ErrorsLeaveEverythingAsItWas) {
  const VGImage image = vgCreateImage(VG_sRGBA_8888, 2, 2, VG_IMAGE_QUALITY_FASTER);
  const VGImage dead = vgCreateImage(VG_sRGBA_8888, 2, 2, VG_IMAGE_QUALITY_FASTER);
  vgDestroyImage(dead);
  const VGPaint paint = vgCreatePaint();
  alignas(4) uint8_t data[64] = {};
  struct ErrorCase {
    const char* what;
    VGErrorCode want;
    void (*call)(VGImage image, VGImage dead, VGPaint paint, uint8_t* data);
  };
  const ErrorCase cases[] = {
      {"unknown format", VG_UNSUPPORTED_IMAGE_FORMAT_ERROR,
       [](VGImage, VGImage, VGPaint, uint8_t*) { vgCreateImage(VGImageFormat(15), 1, 1, 1); }},
      {"ABGR 565", VG_UNSUPPORTED_IMAGE_FORMAT_ERROR,
       [](VGImage, VGImage, VGPaint, uint8_t*) { vgCreateImage(VGImageFormat(195), 1, 1, 1); }},
      {"no quality", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage, VGImage, VGPaint, uint8_t*) { vgCreateImage(VG_A_8, 1, 1, 0); }},
      {"unknown quality bit", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage, VGImage, VGPaint, uint8_t*) { vgCreateImage(VG_A_8, 1, 1, 8 | 1); }},
      {"destroy twice", VG_BAD_HANDLE_ERROR,
       [](VGImage, VGImage dead, VGPaint, uint8_t*) { vgDestroyImage(dead); }},
      {"destroy a paint", VG_BAD_HANDLE_ERROR,
       [](VGImage, VGImage, VGPaint p, uint8_t*) { vgDestroyImage(p); }},
      {"clear empty", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) { vgClearImage(i, 0, 0, 0, 1); }},
      {"sub data, stale", VG_BAD_HANDLE_ERROR,
       [](VGImage, VGImage dead, VGPaint, uint8_t* d) {
         vgImageSubData(dead, d, 8, VG_sRGBA_8888, 0, 0, 1, 1);
       }},
      {"sub data, format", VG_UNSUPPORTED_IMAGE_FORMAT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t* d) {
         vgImageSubData(i, d, 8, VGImageFormat(-1), 0, 0, 1, 1);
       }},
      {"sub data, null", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) {
         vgImageSubData(i, nullptr, 8, VG_sRGBA_8888, 0, 0, 1, 1);
       }},
      {"sub data, misaligned", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t* d) {
         vgImageSubData(i, d + 2, 8, VG_sRGBA_8888, 0, 0, 1, 1);
       }},
      {"sub data, 16-bit misaligned", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t* d) {
         vgImageSubData(i, d + 1, 4, VG_sRGB_565, 0, 0, 1, 1);
       }},
      {"sub data, stride misaligned", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t* d) {
         vgImageSubData(i, d, 6, VG_sRGBA_8888, 0, 0, 1, 2);
       }},
      {"sub data, empty", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t* d) {
         vgImageSubData(i, d, 8, VG_sRGBA_8888, 0, 0, 1, -1);
       }},
      {"get sub data, misaligned", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t* d) {
         vgGetImageSubData(i, d + 1, 8, VG_lRGBA_8888, 0, 0, 1, 1);
       }},
      {"get sub data, paint", VG_BAD_HANDLE_ERROR,
       [](VGImage, VGImage, VGPaint p, uint8_t* d) {
         vgGetImageSubData(p, d, 8, VG_A_8, 0, 0, 1, 1);
       }},
      {"child outside", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) { vgChildImage(i, 1, 0, 2, 1); }},
      {"child overflowing", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) { vgChildImage(i, 1, 0, INT_MAX, 1); }},
      {"child negative", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) { vgChildImage(i, -1, 0, 1, 1); }},
      {"child of stale", VG_BAD_HANDLE_ERROR,
       [](VGImage, VGImage dead, VGPaint, uint8_t*) { vgChildImage(dead, 0, 0, 1, 1); }},
      {"parent of stale", VG_BAD_HANDLE_ERROR,
       [](VGImage, VGImage dead, VGPaint, uint8_t*) { vgGetParent(dead); }},
      {"copy from stale", VG_BAD_HANDLE_ERROR,
       [](VGImage i, VGImage dead, VGPaint, uint8_t*) {
         vgCopyImage(i, 0, 0, dead, 0, 0, 1, 1, VG_FALSE);
       }},
      {"copy empty", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) {
         vgCopyImage(i, 0, 0, i, 0, 0, 1, 0, VG_FALSE);
       }},
      {"set a parameter", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) { vgSetParameteri(i, VG_IMAGE_WIDTH, 9); }},
      {"unknown parameter", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage i, VGImage, VGPaint, uint8_t*) { vgGetParameteri(i, VG_PAINT_TYPE); }},
      {"query unknown format", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage, VGImage, VGPaint, uint8_t*) { vgHardwareQuery(VG_IMAGE_FORMAT_QUERY, 70); }},
      {"query unknown key", VG_ILLEGAL_ARGUMENT_ERROR,
       [](VGImage, VGImage, VGPaint, uint8_t*) {
         vgHardwareQuery(VGHardwareQueryType(0x2102), 0);
       }},
  };
  const uint32_t opaque[4] = {0x11223344, 0x55667788, 0x99AABBCC, 0xDDEEFF00};
  for (const ErrorCase& c : cases) {
    vgImageSubData(image, opaque, 8, VG_sRGBA_8888, 0, 0, 2, 2);
    std::memset(data, 0x5A, sizeof data);
    c.call(image, dead, paint, data);
    EXPECT_EQ(vgGetError(), c.want) << c.what;
    uint32_t now[4] = {};
    vgGetImageSubData(image, now, 8, VG_sRGBA_8888, 0, 0, 2, 2);
    EXPECT_EQ(std::memcmp(now, opaque, sizeof now), 0) << c.what;
    for (uint8_t b : data) ASSERT_EQ(b, 0x5A) << c.what;
  }
  EXPECT_EQ(vgGetParent(image), image);
  EXPECT_EQ(vgGetParameterVectorSize(image, VG_IMAGE_HEIGHT), 1);
  EXPECT_EQ(vgHardwareQuery(VG_PATH_DATATYPE_QUERY, VG_PATH_DATATYPE_F), VG_HARDWARE_UNACCELERATED);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Images, ClearColourIsConvertedToTheImageFormat) {
  const VGfloat colour[4] = {2.0f, 188 / 255.0f, -1.0f, 0.5f};  // clamped when used
  vgSetfv(VG_CLEAR_COLOR, 4, colour);
  const VGImage image = vgCreateImage(VG_lRGBA_8888_PRE, 1, 1, VG_IMAGE_QUALITY_FASTER);
  vgClearImage(image, 0, 0, 1, 1);
  uint32_t got = 0;
  vgGetImageSubData(image, &got, 4, VG_lRGBA_8888_PRE, 0, 0, 1, 1);
  const double g = std::pow((188 / 255.0 + 0.055) / 1.055, 2.4) * 0.5 * 255;
  EXPECT_EQ(got >> 24, 128u);  // 1.0 * 0.5
  EXPECT_NEAR(double((got >> 16) & 0xFF), g, 1.0);
  EXPECT_EQ((got >> 8) & 0xFF, 0u);
  EXPECT_EQ(got & 0xFF, 128u);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST(NoContextImages, CallsAreHarmless) {
  EXPECT_EQ(vgCreateImage(VG_sRGBA_8888, 1, 1, VG_IMAGE_QUALITY_FASTER), VG_INVALID_HANDLE);
  uint32_t data = 7;
  vgGetImageSubData(1, &data, 4, VG_sRGBA_8888, 0, 0, 1, 1);
  EXPECT_EQ(data, 7u);
  EXPECT_EQ(vgGetParent(1), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_NO_CONTEXT_ERROR);
}

}  // namespace

namespace {

// What a texture is made from: the store's pixels in any colour class as
// premultiplied sRGB, with each write giving the store a new version.
TEST_F(Images, TexelsArePremultipliedSrgbAndWritesChangeTheVersion) {
  struct Case {
    VGImageFormat format;
    uint32_t pixel;  // in the format, as vgImageSubData takes it
    std::array<int, 4> texel;
  } cases[] = {
      {VG_sRGBA_8888, 0x80402040, {32, 16, 8, 64}},
      {VG_sRGBA_8888_PRE, 0x30201040, {48, 32, 16, 64}},
      {VG_sRGBX_8888, 0x80402000, {128, 64, 32, 255}},
      // Linear 0.5 is sRGB 0.7354, times alpha 0.5.
      {VG_lRGBA_8888, 0x80000080, {94, 0, 0, 128}},
      // Premultiplied linear 0.25 at alpha 0.5 is 0.5 before premultiplying.
      {VG_lRGBA_8888_PRE, 0x40000080, {94, 0, 0, 128}},
      {VG_A_8, 0x80, {128, 128, 128, 128}},
      {VG_sL_8, 0x55, {85, 85, 85, 255}},
  };
  for (const Case& c : cases) {
    const VGImage image = vgCreateImage(c.format, 3, 2, VG_IMAGE_QUALITY_FASTER);
    const tq::Image* img = tq::lookupImage(*ctx, image);
    ASSERT_NE(img, nullptr);
    const uint64_t before = img->store->version;
    vgImageSubData(image, &c.pixel, 4, c.format, 1, 1, 1, 1);
    const uint64_t written = img->store->version;
    EXPECT_NE(written, before) << c.format;
    std::vector<uint8_t> texels(4 * 4, 0xEE);
    // Child-sized: the two right pixels of the top row, then of the bottom.
    tq::premultipliedSrgbTexels(*img->store, tq::IntRect{1, 0, 2, 2}, texels.data());
    for (int k = 0; k < 4; ++k)
      EXPECT_NEAR(texels[8 + size_t(k)], c.texel[size_t(k)], 1) << c.format << " channel " << k;
    vgClearImage(image, 0, 0, 1, 1);
    EXPECT_NE(img->store->version, written);
    vgDestroyImage(image);
  }
  const VGImage a = vgCreateImage(VG_sRGBA_8888, 2, 2, VG_IMAGE_QUALITY_FASTER);
  const VGImage b = vgCreateImage(VG_sRGBA_8888, 2, 2, VG_IMAGE_QUALITY_FASTER);
  const uint64_t version = tq::lookupImage(*ctx, b)->store->version;
  vgCopyImage(b, 0, 0, a, 0, 0, 1, 1, VG_FALSE);
  EXPECT_NE(tq::lookupImage(*ctx, b)->store->version, version);
  EXPECT_NE(tq::lookupImage(*ctx, a)->store->id, tq::lookupImage(*ctx, b)->store->id);
}

}  // namespace
