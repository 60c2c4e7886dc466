#include "core/pixel_formats.hpp"

#include <array>
#include <cmath>
#include <cstring>

namespace tq {
namespace {

// A format in RGBA order: channel sizes from the most significant bits down.
struct BaseFormat {
  int bitsPerPixel;
  FormatKind kind;
  ColorClass cls;
  // Sizes of red, green, blue, alpha (luminance in red); an X channel is an
  // alpha-sized padding of `padBits`.
  uint8_t r, g, b, a, padBits;
};

constexpr ColorClass kS{false, false};
constexpr ColorClass kSPre{false, true};
constexpr ColorClass kL{true, false};
constexpr ColorClass kLPre{true, true};

// Index: the format's value below 64. BW_1 is grey in linear light; the
// alpha-only formats are white, the same in either class.
constexpr std::array<BaseFormat, 15> kBase{{
    {32, FormatKind::kRgb, kS, 8, 8, 8, 0, 8},       // sRGBX_8888
    {32, FormatKind::kRgb, kS, 8, 8, 8, 8, 0},       // sRGBA_8888
    {32, FormatKind::kRgb, kSPre, 8, 8, 8, 8, 0},    // sRGBA_8888_PRE
    {16, FormatKind::kRgb, kS, 5, 6, 5, 0, 0},       // sRGB_565
    {16, FormatKind::kRgb, kS, 5, 5, 5, 1, 0},       // sRGBA_5551
    {16, FormatKind::kRgb, kS, 4, 4, 4, 4, 0},       // sRGBA_4444
    {8, FormatKind::kLuminance, kS, 8, 0, 0, 0, 0},  // sL_8
    {32, FormatKind::kRgb, kL, 8, 8, 8, 0, 8},       // lRGBX_8888
    {32, FormatKind::kRgb, kL, 8, 8, 8, 8, 0},       // lRGBA_8888
    {32, FormatKind::kRgb, kLPre, 8, 8, 8, 8, 0},    // lRGBA_8888_PRE
    {8, FormatKind::kLuminance, kL, 8, 0, 0, 0, 0},  // lL_8
    {8, FormatKind::kAlpha, kL, 0, 0, 0, 8, 0},      // A_8
    {1, FormatKind::kLuminance, kL, 1, 0, 0, 0, 0},  // BW_1
    {1, FormatKind::kAlpha, kL, 0, 0, 0, 1, 0},      // A_1
    {4, FormatKind::kAlpha, kL, 0, 0, 0, 4, 0},      // A_4
}};

// Which base formats exist in the other channel orders: the RGB ones with
// alpha or padding (565 only as BGR, where the order still means something).
bool hasOrder(int base, int order) {
  if (base == 6 || base >= 10) return false;
  return base != 3 || order == 2;
}

FormatInfo build(int value) {
  const int base = value & 63, order = value >> 6;
  const BaseFormat& b = kBase[size_t(base)];
  FormatInfo f{VGImageFormat(value), b.bitsPerPixel, b.kind, b.cls, {}, {}, {}, {}, 0};
  // Channels from the most significant bits down; index 3 is alpha or X.
  const uint8_t alphaBits = b.a ? b.a : b.padBits;
  std::array<int, 4> sequence{0, 1, 2, 3};  // RGBA
  if (order == 1) sequence = {3, 0, 1, 2};  // ARGB
  if (order == 2) sequence = {2, 1, 0, 3};  // BGRA
  if (order == 3) sequence = {3, 2, 1, 0};  // ABGR
  const std::array<uint8_t, 4> sizes{b.r, b.g, b.b, alphaBits};
  int top = b.kind == FormatKind::kRgb ? b.r + b.g + b.b + alphaBits : b.bitsPerPixel;
  Channel* channels[4] = {&f.r, &f.g, &f.b, &f.a};
  for (int c : sequence) {
    top -= sizes[size_t(c)];
    if (sizes[size_t(c)] == 0) continue;
    if (c == 3 && b.padBits) {
      f.paddingMask = ((1u << b.padBits) - 1u) << top;
      continue;
    }
    *channels[c] = Channel{sizes[size_t(c)], uint8_t(top)};
  }
  return f;
}

struct Table {
  std::array<FormatInfo, 256> info{};
  std::array<bool, 256> valid{};
  Table() {
    for (int v = 0; v < 256; ++v) {
      const int base = v & 63, order = v >> 6;
      if (base >= int(kBase.size()) || (order != 0 && !hasOrder(base, order))) continue;
      info[size_t(v)] = build(v);
      valid[size_t(v)] = true;
    }
  }
};

const Table& table() {
  static const Table t;
  return t;
}

float clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }  // NaN: 0

float channelValue(uint32_t word, Channel c) {
  const uint32_t max = (1u << c.bits) - 1u;
  return float((word >> c.shift) & max) / float(max);
}

uint32_t channelWord(float v, Channel c) {
  if (c.bits == 0) return 0;
  const uint32_t max = (1u << c.bits) - 1u;
  return uint32_t(std::lround(clamp01(v) * float(max))) << c.shift;
}

}  // namespace

const FormatInfo* formatInfo(VGint format) {
  if (format < 0 || format > 255) return nullptr;
  const Table& t = table();
  return t.valid[size_t(format)] ? &t.info[size_t(format)] : nullptr;
}

int formatAlignment(const FormatInfo& f) { return f.bitsPerPixel >= 16 ? f.bitsPerPixel / 8 : 1; }

float srgbToLinear(float s) {
  return s <= 0.04045f ? s / 12.92f : std::pow((s + 0.055f) / 1.055f, 2.4f);
}

float linearToSrgb(float l) {
  return l <= 0.0031308f ? l * 12.92f : 1.055f * std::pow(l, 1.0f / 2.4f) - 0.055f;
}

Rgba decodePixel(const FormatInfo& f, uint32_t word) {
  switch (f.kind) {
    case FormatKind::kLuminance: {
      const float l = channelValue(word, f.r);
      return {l, l, l, 1.0f};
    }
    case FormatKind::kAlpha:
      return {1.0f, 1.0f, 1.0f, channelValue(word, f.a)};
    case FormatKind::kRgb:
      break;
  }
  Rgba c{channelValue(word, f.r), channelValue(word, f.g), channelValue(word, f.b),
         f.a.bits ? channelValue(word, f.a) : 1.0f};
  if (f.cls.premultiplied) {
    c.r = std::min(c.r, c.a);
    c.g = std::min(c.g, c.a);
    c.b = std::min(c.b, c.a);
  }
  return c;
}

uint32_t encodePixel(const FormatInfo& f, const Rgba& c) {
  switch (f.kind) {
    case FormatKind::kLuminance:
      return channelWord(c.r, f.r);
    case FormatKind::kAlpha:
      return channelWord(c.a, f.a);
    case FormatKind::kRgb:
      break;
  }
  const float a = clamp01(c.a);
  // A premultiplied colour never exceeds its alpha.
  const float limit = f.cls.premultiplied ? a : 1.0f;
  return channelWord(std::min(clamp01(c.r), limit), f.r) |
         channelWord(std::min(clamp01(c.g), limit), f.g) |
         channelWord(std::min(clamp01(c.b), limit), f.b) | channelWord(a, f.a) | f.paddingMask;
}

Rgba convertColor(const Rgba& c, const FormatInfo& from, const FormatInfo& to) {
  if (to.kind == FormatKind::kAlpha) return {1.0f, 1.0f, 1.0f, c.a};
  const bool toGrey = to.kind == FormatKind::kLuminance && from.kind != FormatKind::kLuminance;
  if (!toGrey && from.cls.linear == to.cls.linear && from.cls.premultiplied == to.cls.premultiplied)
    return c;
  Rgba out = c;
  if (from.cls.premultiplied) {
    const float inv = c.a > 0.0f ? 1.0f / c.a : 0.0f;
    out.r = clamp01(c.r * inv);
    out.g = clamp01(c.g * inv);
    out.b = clamp01(c.b * inv);
  }
  if (toGrey) {
    if (!from.cls.linear) {
      out.r = srgbToLinear(out.r);
      out.g = srgbToLinear(out.g);
      out.b = srgbToLinear(out.b);
    }
    float l = 0.2126f * out.r + 0.7152f * out.g + 0.0722f * out.b;
    if (!to.cls.linear) l = linearToSrgb(l);
    out.r = out.g = out.b = l;
  } else if (from.cls.linear != to.cls.linear) {
    float (*transfer)(float) = to.cls.linear ? srgbToLinear : linearToSrgb;
    out.r = transfer(out.r);
    out.g = transfer(out.g);
    out.b = transfer(out.b);
  }
  if (to.cls.premultiplied) {
    out.r *= out.a;
    out.g *= out.a;
    out.b *= out.a;
  }
  return out;
}

uint32_t loadPixel(const FormatInfo& f, const uint8_t* row, int64_t index) {
  switch (f.bitsPerPixel) {
    case 1:
      return (row[index >> 3] >> (index & 7)) & 1u;
    case 4:
      return (row[index >> 1] >> ((index & 1) * 4)) & 15u;
    case 8:
      return row[index];
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + index * 2, sizeof v);
      return v;
    }
    default: {
      uint32_t v;
      std::memcpy(&v, row + index * 4, sizeof v);
      return v;
    }
  }
}

void storePixel(const FormatInfo& f, uint8_t* row, int64_t index, uint32_t word) {
  switch (f.bitsPerPixel) {
    case 1: {
      uint8_t& byte = row[index >> 3];
      const unsigned bit = unsigned(index & 7);
      byte = uint8_t((byte & ~(1u << bit)) | ((word & 1u) << bit));
      break;
    }
    case 4: {
      uint8_t& byte = row[index >> 1];
      const unsigned shift = unsigned(index & 1) * 4;
      byte = uint8_t((byte & ~(15u << shift)) | ((word & 15u) << shift));
      break;
    }
    case 8:
      row[index] = uint8_t(word);
      break;
    case 16: {
      const uint16_t v = uint16_t(word);
      std::memcpy(row + index * 2, &v, sizeof v);
      break;
    }
    default:
      std::memcpy(row + index * 4, &word, sizeof word);
      break;
  }
}

}  // namespace tq
