// A paint object: colour, gradients and patterns.
#pragma once

#include <VG/openvg.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/context.hpp"
#include "core/image.hpp"

namespace tq {

struct RampStop {
  float offset;
  std::array<float, 4> color;  // clamped to [0, 1]
};

// A number no ramp had before: a renderer that holds a ramp keyed by it
// knows the ramp is still current, whichever paint it came from.
std::uint64_t newRampVersion();

// The image a pattern paint draws: the paint shares its pixels, so it still
// draws them once the image is destroyed (whose handle dies at once).
struct PatternImage {
  std::shared_ptr<PixelStore> store;
  IntRect rect;  // the image's pixels within the store
  VGbitfield allowedQuality = 0;
};

struct Paint {
  VGPaintType type = VG_PAINT_TYPE_COLOR;
  std::array<float, 4> color{0, 0, 0, 1};  // as set; clamped when used
  VGColorRampSpreadMode spreadMode = VG_COLOR_RAMP_SPREAD_PAD;
  std::vector<float> rampStops;  // as set, five values a stop, for read-back
  // What a gradient would use (see effectiveRamp); no stops: black to white.
  std::vector<RampStop> ramp{{0.0f, {0, 0, 0, 1}}, {1.0f, {1, 1, 1, 1}}};
  bool rampPremultiplied = true;
  // Changes with the ramp or how it is interpolated.
  std::uint64_t rampVersion = newRampVersion();
  std::array<float, 4> linearGradient{0, 0, 1, 0};     // x0, y0, x1, y1
  std::array<float, 5> radialGradient{0, 0, 0, 0, 1};  // cx, cy, fx, fy, r
  VGTilingMode tilingMode = VG_TILE_FILL;
  // Unset: a pattern paint draws as its colour.
  std::optional<PatternImage> pattern;
};

// Paint parameters; nullopt for a type that is not one.
std::optional<ParamShape> paintParamShape(VGint type);
// `values` are already checked against the shape and free of NaN; returns
// VG_ILLEGAL_ARGUMENT_ERROR (leaving the paint as it was) for a bad value.
VGErrorCode setPaintParam(Paint& paint, VGint type, std::span<const double> values);
std::vector<double> getPaintParam(const Paint& paint, VGint type);

// The ramp a gradient uses for stops given as (offset, r, g, b, a) runs: stops
// with an offset outside [0, 1] or below the previous one are dropped, colours
// clamped, the ends extended to offsets 0 and 1; no usable stop gives the
// default opaque black-to-white ramp.
std::vector<RampStop> effectiveRamp(std::span<const float> stops);

// 0xRRGGBBAA, each channel clamped to [0, 1] and rounded to nearest.
VGuint packColor(const std::array<float, 4>& rgba);
std::array<float, 4> unpackColor(VGuint rgba);

}  // namespace tq
