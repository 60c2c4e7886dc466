// The image formats: how each lays its pixels out in memory, and conversion
// between them through floating-point colour, with the sRGB transfer
// functions, premultiplication and luminance as the formats need.
#pragma once

#include <VG/openvg.h>

#include <cstdint>

namespace tq {

// Which values a colour's channels hold: sRGB or linear light, and whether
// the colour channels are multiplied by alpha.
struct ColorClass {
  bool linear = false;
  bool premultiplied = false;
};

enum class FormatKind {
  kRgb,        // colour channels (alpha or padding optional)
  kLuminance,  // one grey channel, opaque
  kAlpha,      // alpha only; the colour is white
};

struct Channel {
  uint8_t bits = 0;  // 0: the format lacks the channel
  uint8_t shift = 0;
};

struct FormatInfo {
  VGImageFormat format;
  int bitsPerPixel;  // 1, 4, 8, 16 or 32
  FormatKind kind;
  ColorClass cls;
  Channel r, g, b, a;    // for luminance, r is the grey channel
  uint32_t paddingMask;  // bits of an X channel, written as ones
};

// Null for a value that is not a format.
const FormatInfo* formatInfo(VGint format);

// The alignment a pointer into data of this format needs (1, 2 or 4), which
// the row stride must keep too.
int formatAlignment(const FormatInfo& f);

// A colour in some ColorClass; channels in [0, 1].
struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

float srgbToLinear(float s);
float linearToSrgb(float l);

// One pixel word of format f as a colour of its own class (premultiplied
// colours clamped to their alpha, as stored data may be anything).
Rgba decodePixel(const FormatInfo& f, uint32_t word);
// A colour of f's class as a pixel word of f, each channel clamped and
// rounded to nearest (NaN as 0).
uint32_t encodePixel(const FormatInfo& f, const Rgba& c);

// A colour read from format `from` as the colour format `to` holds: to
// luminance in linear light, between sRGB and linear, (un)premultiplied.
Rgba convertColor(const Rgba& c, const FormatInfo& from, const FormatInfo& to);

// Pixel `index` of a row of f (sub-byte formats: leftmost pixel in the least
// significant bits). Reads and writes only the bytes of that pixel.
uint32_t loadPixel(const FormatInfo& f, const uint8_t* row, int64_t index);
void storePixel(const FormatInfo& f, uint8_t* row, int64_t index, uint32_t word);

}  // namespace tq
