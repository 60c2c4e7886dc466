#include "core/paint.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "core/context.hpp"
#include "core/param_values.hpp"

namespace tq {

namespace {

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

}  // namespace

std::uint64_t newRampVersion() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

std::optional<ParamShape> paintParamShape(VGint type) {
  switch (type) {
    case VG_PAINT_TYPE:
    case VG_PAINT_COLOR_RAMP_SPREAD_MODE:
    case VG_PAINT_PATTERN_TILING_MODE:
    case VG_PAINT_COLOR_RAMP_PREMULTIPLIED:
      return ParamShape{};
    case VG_PAINT_COLOR:
    case VG_PAINT_LINEAR_GRADIENT:
      return ParamShape{.size = 4};
    case VG_PAINT_RADIAL_GRADIENT:
      return ParamShape{.size = 5};
    case VG_PAINT_COLOR_RAMP_STOPS:
      // Stops past the limit are dropped, not refused.
      return ParamShape{
          .size = 0, .maxSize = 5 * kMaxColorRampStops, .multiple = 5, .keepFirst = true};
    default:
      return std::nullopt;
  }
}

VGErrorCode setPaintParam(Paint& paint, VGint type, std::span<const double> values) {
  switch (type) {
    case VG_PAINT_TYPE:
      return setEnum(paint.type, values[0], VG_PAINT_TYPE_COLOR, VG_PAINT_TYPE_PATTERN);
    case VG_PAINT_COLOR_RAMP_SPREAD_MODE:
      return setEnum(paint.spreadMode, values[0], VG_COLOR_RAMP_SPREAD_PAD,
                     VG_COLOR_RAMP_SPREAD_REFLECT);
    case VG_PAINT_PATTERN_TILING_MODE:
      return setEnum(paint.tilingMode, values[0], VG_TILE_FILL, VG_TILE_REFLECT);
    case VG_PAINT_COLOR_RAMP_PREMULTIPLIED: {
      const VGErrorCode err = setBool(paint.rampPremultiplied, values[0]);
      if (err == VG_NO_ERROR) paint.rampVersion = newRampVersion();
      return err;
    }
    case VG_PAINT_COLOR:
      setFloats(paint.color, values);
      return VG_NO_ERROR;
    case VG_PAINT_LINEAR_GRADIENT:
      setFloats(paint.linearGradient, values);
      return VG_NO_ERROR;
    case VG_PAINT_RADIAL_GRADIENT:
      setFloats(paint.radialGradient, values);
      return VG_NO_ERROR;
    case VG_PAINT_COLOR_RAMP_STOPS: {
      std::vector<float> stops(values.size());
      std::transform(values.begin(), values.end(), stops.begin(), toStoredFloat);
      paint.ramp = effectiveRamp(stops);
      paint.rampStops = std::move(stops);
      paint.rampVersion = newRampVersion();
      return VG_NO_ERROR;
    }
    default:
      return VG_ILLEGAL_ARGUMENT_ERROR;
  }
}

std::vector<double> getPaintParam(const Paint& paint, VGint type) {
  switch (type) {
    case VG_PAINT_TYPE:
      return {double(paint.type)};
    case VG_PAINT_COLOR_RAMP_SPREAD_MODE:
      return {double(paint.spreadMode)};
    case VG_PAINT_PATTERN_TILING_MODE:
      return {double(paint.tilingMode)};
    case VG_PAINT_COLOR_RAMP_PREMULTIPLIED:
      return {paint.rampPremultiplied ? 1.0 : 0.0};
    case VG_PAINT_COLOR:
      return toDoubles(paint.color);
    case VG_PAINT_LINEAR_GRADIENT:
      return toDoubles(paint.linearGradient);
    case VG_PAINT_RADIAL_GRADIENT:
      return toDoubles(paint.radialGradient);
    case VG_PAINT_COLOR_RAMP_STOPS:
      return std::vector<double>(paint.rampStops.begin(), paint.rampStops.end());
    default:
      return {};
  }
}

std::vector<RampStop> effectiveRamp(std::span<const float> stops) {
  std::vector<RampStop> ramp;
  for (size_t i = 0; i + 5 <= stops.size(); i += 5) {
    const float offset = stops[i];
    if (!(offset >= 0.0f && offset <= 1.0f)) continue;
    if (!ramp.empty() && offset < ramp.back().offset) continue;
    ramp.push_back({offset,
                    {clamp01(stops[i + 1]), clamp01(stops[i + 2]), clamp01(stops[i + 3]),
                     clamp01(stops[i + 4])}});
  }
  if (ramp.empty()) return {{0.0f, {0, 0, 0, 1}}, {1.0f, {1, 1, 1, 1}}};
  if (ramp.front().offset > 0.0f) ramp.insert(ramp.begin(), {0.0f, ramp.front().color});
  if (ramp.back().offset < 1.0f) ramp.push_back({1.0f, ramp.back().color});
  return ramp;
}

VGuint packColor(const std::array<float, 4>& rgba) {
  VGuint packed = 0;
  for (float c : rgba) {
    // NaN (never stored, but cheap to guard) packs as 0.
    const float v = std::isnan(c) ? 0.0f : clamp01(c);
    packed = (packed << 8) | static_cast<VGuint>(std::lround(v * 255.0f));
  }
  return packed;
}

std::array<float, 4> unpackColor(VGuint rgba) {
  std::array<float, 4> c;
  for (int i = 0; i < 4; ++i) c[i] = float((rgba >> (24 - 8 * i)) & 0xFFu) / 255.0f;
  return c;
}

}  // namespace tq
