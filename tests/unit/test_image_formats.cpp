// The image formats through vgImageSubData / vgGetImageSubData: layouts,
// exact round trips, and conversions against the formulas computed here.
#include <VG/openvg.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/pixel_formats.hpp"
#include "test_context_fixture.hpp"

namespace {

using ImageFormats = HeadlessContext;

std::vector<VGImageFormat> allFormats() {
  std::vector<VGImageFormat> out;
  for (int v = 0; v <= 14; ++v) out.push_back(VGImageFormat(v));
  for (int v : {0, 1, 2, 4, 5, 7, 8, 9}) {
    out.push_back(VGImageFormat(v | 64));
    out.push_back(VGImageFormat(v | 192));
  }
  for (int v = 128; v <= 137; ++v)
    if (v != 134) out.push_back(VGImageFormat(v));
  return out;
}

TEST(FormatTable, KnowsExactlyTheFormats) {
  const std::vector<VGImageFormat> valid = allFormats();
  for (int v = -1; v <= 256; ++v) {
    const bool expected = std::find(valid.begin(), valid.end(), VGImageFormat(v)) != valid.end();
    EXPECT_EQ(tq::formatInfo(v) != nullptr, expected) << v;
  }
}

struct LayoutCase {
  VGImageFormat format;
  uint32_t word;
  float r, g, b, a;
};

TEST(FormatTable, ChannelLayouts) {
  const float k = 0x44 / 255.0f;
  const LayoutCase cases[] = {
      {VG_sRGBA_8888, 0xFF000044, 1, 0, 0, k},
      {VG_sARGB_8888, 0x44FF0000, 1, 0, 0, k},
      {VG_sBGRA_8888, 0xFF000044, 0, 0, 1, k},
      {VG_sABGR_8888, 0x44FF0000, 0, 0, 1, k},
      {VG_sRGBX_8888, 0xFF000000, 1, 0, 0, 1},
      {VG_sXBGR_8888, 0x000000FF, 1, 0, 0, 1},
      {VG_sRGB_565, 0xF800, 1, 0, 0, 1},
      {VG_sBGR_565, 0xF800, 0, 0, 1, 1},
      {VG_sRGB_565, 0x07E0, 0, 1, 0, 1},
      {VG_sRGBA_5551, 0x0001, 0, 0, 0, 1},
      {VG_sRGBA_5551, 0x003E, 0, 0, 1, 0},
      {VG_sARGB_1555, 0x8000, 0, 0, 0, 1},
      {VG_sABGR_1555, 0x001F, 1, 0, 0, 0},
      {VG_sBGRA_5551, 0xF800, 0, 0, 1, 0},
      {VG_sRGBA_4444, 0xF00F, 1, 0, 0, 1},
      {VG_sARGB_4444, 0xF00F, 0, 0, 1, 1},
      {VG_sABGR_4444, 0x0F00, 0, 0, 1, 0},
      {VG_lL_8, 0x44, k, k, k, 1},
      {VG_A_8, 0x44, 1, 1, 1, k},
      {VG_BW_1, 1, 1, 1, 1, 1},
      {VG_A_4, 0xF, 1, 1, 1, 1},
      {VG_sRGBA_8888_PRE, 0xFF000044, k, 0, 0, k},
  };
  for (const LayoutCase& c : cases) {
    const tq::Rgba got = tq::decodePixel(*tq::formatInfo(c.format), c.word);
    EXPECT_FLOAT_EQ(got.r, c.r) << c.format;
    EXPECT_FLOAT_EQ(got.g, c.g) << c.format;
    EXPECT_FLOAT_EQ(got.b, c.b) << c.format;
    EXPECT_FLOAT_EQ(got.a, c.a) << c.format;
  }
  // Padding is written as ones, wherever the order puts it.
  EXPECT_EQ(tq::encodePixel(*tq::formatInfo(VG_sRGBX_8888), {}), 0x000000FFu);
  EXPECT_EQ(tq::encodePixel(*tq::formatInfo(VG_lXRGB_8888), {}), 0xFF000000u);
}

// Words a format holds as they are: premultiplied colour within alpha,
// padding all ones.
bool isCanonical(const tq::FormatInfo& f, uint32_t word) {
  if ((word & f.paddingMask) != f.paddingMask) return false;
  if (!f.cls.premultiplied) return true;
  const uint32_t a = (word >> f.a.shift) & 0xFF;
  for (const tq::Channel& c : {f.r, f.g, f.b})
    if (((word >> c.shift) & 0xFF) > a) return false;
  return true;
}

TEST_F(ImageFormats, EveryFormatRoundTripsWhatItHolds) {
  std::mt19937 rng(7);
  for (VGImageFormat format : allFormats()) {
    const tq::FormatInfo& f = *tq::formatInfo(format);
    const int bits = f.bitsPerPixel;
    // Every value of the small formats; random words (and the extremes) of
    // the 32-bit ones.
    std::vector<uint32_t> words;
    if (bits <= 16) {
      for (uint32_t w = 0; w < (1u << bits); ++w) words.push_back(w);
    } else {
      words = {0u, 0xFFFFFFFFu};
      for (int i = 0; i < 4096; ++i) words.push_back(rng());
    }
    std::erase_if(words, [&](uint32_t w) { return !isCanonical(f, w); });
    // In rows of 256 pixels, the last padded with the first word.
    constexpr int kWidth = 256;
    const int height = int((words.size() + kWidth - 1) / kWidth);
    words.resize(size_t(height) * kWidth, words[0]);
    const VGImage image = vgCreateImage(format, kWidth, height, VG_IMAGE_QUALITY_FASTER);
    ASSERT_NE(image, VG_INVALID_HANDLE) << format;
    const VGint stride = kWidth * bits / 8;
    std::vector<uint8_t> in(size_t(stride) * size_t(height)), out(in.size(), 0xAB);
    for (size_t i = 0; i < words.size(); ++i) tq::storePixel(f, in.data(), int64_t(i), words[i]);
    vgImageSubData(image, in.data(), stride, format, 0, 0, kWidth, height);
    vgGetImageSubData(image, out.data(), stride, format, 0, 0, kWidth, height);
    for (size_t i = 0; i < words.size(); ++i)
      ASSERT_EQ(tq::loadPixel(f, out.data(), int64_t(i)), words[i]) << format << " at " << i;
    vgDestroyImage(image);
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

double toLinear(double s) { return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4); }
double toSrgb(double l) {
  return l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
}

// The expected 8-bit channels (r, g, b, a) for one sRGBA/lRGBA input.
using Expect = std::array<double, 4> (*)(std::array<double, 4> in);

struct ConversionCase {
  const char* name;
  VGImageFormat from;
  VGImageFormat to;  // the image's format, read back in it
  Expect expect;
};

TEST_F(ImageFormats, ConversionsFollowTheFormulas) {
  const ConversionCase cases[] = {
      {"s to l", VG_sRGBA_8888, VG_lRGBA_8888,
       [](std::array<double, 4> c) {
         return std::array<double, 4>{toLinear(c[0]), toLinear(c[1]), toLinear(c[2]), c[3]};
       }},
      {"l to s", VG_lRGBA_8888, VG_sRGBA_8888,
       [](std::array<double, 4> c) {
         return std::array<double, 4>{toSrgb(c[0]), toSrgb(c[1]), toSrgb(c[2]), c[3]};
       }},
      {"premultiply", VG_sRGBA_8888, VG_sRGBA_8888_PRE,
       [](std::array<double, 4> c) {
         return std::array<double, 4>{c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]};
       }},
      {"s to l premultiplied", VG_sARGB_8888, VG_lABGR_8888_PRE,
       [](std::array<double, 4> c) {
         return std::array<double, 4>{toLinear(c[0]) * c[3], toLinear(c[1]) * c[3],
                                      toLinear(c[2]) * c[3], c[3]};
       }},
      {"grey, linear", VG_sRGBA_8888, VG_lL_8,
       [](std::array<double, 4> c) {
         const double l =
             0.2126 * toLinear(c[0]) + 0.7152 * toLinear(c[1]) + 0.0722 * toLinear(c[2]);
         return std::array<double, 4>{l, l, l, 1};
       }},
      {"grey, sRGB", VG_lRGBA_8888, VG_sL_8,
       [](std::array<double, 4> c) {
         const double l = toSrgb(0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]);
         return std::array<double, 4>{l, l, l, 1};
       }},
      {"alpha only", VG_sRGBA_8888, VG_A_8,
       [](std::array<double, 4> c) {
         return std::array<double, 4>{1, 1, 1, c[3]};
       }},
      {"opaque", VG_sRGBA_8888, VG_sRGBX_8888,
       [](std::array<double, 4> c) {
         return std::array<double, 4>{c[0], c[1], c[2], 1};
       }},
      {"to 565", VG_sRGBA_8888, VG_sRGB_565,
       [](std::array<double, 4> c) {
         auto q = [](double v, double m) { return std::round(v * m) / m; };
         return std::array<double, 4>{q(c[0], 31), q(c[1], 63), q(c[2], 31), 1};
       }},
      {"1-bit grey", VG_lRGBA_8888, VG_BW_1,
       [](std::array<double, 4> c) {
         const double l = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2] >= 0.5 ? 1 : 0;
         return std::array<double, 4>{l, l, l, 1};
       }},
  };
  std::mt19937 rng(3);
  constexpr int kPixels = 512;
  std::vector<uint32_t> in(kPixels);
  for (int i = 0; i < kPixels; ++i)
    in[size_t(i)] = i < 256 ? 0x01010100u * uint32_t(i) | 0xFF : rng();
  for (const ConversionCase& c : cases) {
    const tq::FormatInfo& from = *tq::formatInfo(c.from);
    std::vector<uint32_t> data(kPixels);
    for (int i = 0; i < kPixels; ++i) {
      const uint32_t w = in[size_t(i)];
      // The input as r, g, b, a bytes placed into the source format's order.
      tq::Rgba rgba{float(w >> 24) / 255, float((w >> 16) & 255) / 255, float((w >> 8) & 255) / 255,
                    float(w & 255) / 255};
      data[size_t(i)] = tq::encodePixel(from, rgba);
    }
    const VGImage image = vgCreateImage(c.to, kPixels, 1, VG_IMAGE_QUALITY_BETTER);
    vgImageSubData(image, data.data(), 0, c.from, 0, 0, kPixels, 1);
    std::vector<uint32_t> back(kPixels);
    vgGetImageSubData(image, back.data(), 0, VG_lRGBA_8888, 0, 0, kPixels, 1);
    std::vector<uint32_t> backS(kPixels);
    vgGetImageSubData(image, backS.data(), 0, VG_sRGBA_8888, 0, 0, kPixels, 1);
    const bool linearTarget = tq::formatInfo(c.to)->cls.linear;
    const bool premultipliedTarget = tq::formatInfo(c.to)->cls.premultiplied;
    std::vector<uint32_t> raw(kPixels);
    if (premultipliedTarget) vgGetImageSubData(image, raw.data(), 0, c.to, 0, 0, kPixels, 1);
    for (int i = 0; i < kPixels; ++i) {
      const uint32_t w = in[size_t(i)];
      const std::array<double, 4> given{double(w >> 24) / 255, double((w >> 16) & 255) / 255,
                                        double((w >> 8) & 255) / 255, double(w & 255) / 255};
      const std::array<double, 4> want = c.expect(given);
      // Compare in the target's own terms: its stored class, 8 bits.
      const tq::FormatInfo& to = *tq::formatInfo(c.to);
      const tq::Rgba got = premultipliedTarget ? tq::decodePixel(to, raw[size_t(i)])
                           : linearTarget
                               ? tq::decodePixel(*tq::formatInfo(VG_lRGBA_8888), back[size_t(i)])
                               : tq::decodePixel(*tq::formatInfo(VG_sRGBA_8888), backS[size_t(i)]);
      const float gotC[4] = {got.r, got.g, got.b, got.a};
      for (int ch = 0; ch < 4; ++ch)
        ASSERT_NEAR(gotC[ch], want[size_t(ch)], 1.001 / 255)
            << c.name << " pixel " << i << " ch " << ch;
    }
    vgDestroyImage(image);
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(ImageFormats, SubBytePixelsPackLeftmostInTheLowBits) {
  const VGImage bw = vgCreateImage(VG_BW_1, 12, 1, VG_IMAGE_QUALITY_FASTER);
  const uint8_t bits[2] = {0x05, 0x08};  // pixels 0, 2 and 11 white
  vgImageSubData(bw, bits, 0, VG_BW_1, 0, 0, 12, 1);
  uint8_t grey[12];
  vgGetImageSubData(bw, grey, 0, VG_sL_8, 0, 0, 12, 1);
  const uint8_t wantGrey[12] = {255, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 255};
  EXPECT_EQ(std::memcmp(grey, wantGrey, 12), 0);
  // Data pixels 2..6 take image pixels 0..4 (white, black, white, black,
  // black); the other bits of the bytes stay as they were.
  uint8_t out[2] = {0xFF, 0xFF};
  vgGetImageSubData(bw, out, 0, VG_BW_1, -2, 0, 7, 1);
  EXPECT_EQ(out[0], 0x97);
  EXPECT_EQ(out[1], 0xFF);

  const VGImage a4 = vgCreateImage(VG_A_4, 3, 1, VG_IMAGE_QUALITY_FASTER);
  const uint8_t nibbles[2] = {0x1F, 0x08};
  vgImageSubData(a4, nibbles, 0, VG_A_4, 0, 0, 3, 1);
  uint8_t alpha[3];
  vgGetImageSubData(a4, alpha, 0, VG_A_8, 0, 0, 3, 1);
  EXPECT_EQ(alpha[0], 0xFF);
  EXPECT_EQ(alpha[1], 0x11);
  EXPECT_EQ(alpha[2], 0x88);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

}  // namespace
