// How parameter values convert and are stored, shared by the context's and
// the objects' parameters. Values arrive as doubles, which hold every VGint
// and VGfloat exactly.
#pragma once

#include <VG/openvg.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace tq {

// Float to integer as parameter values convert: toward negative infinity,
// saturating at the VGint range (NaN, which callers reject first, gives 0).
inline VGint floorToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<VGint>(std::floor(v));
}

// Stored floats stay finite: infinities saturate at +-VG_MAX_FLOAT.
inline float toStoredFloat(double v) {
  return static_cast<float>(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)));
}

// An enumerated value in [lo, hi], or VG_ILLEGAL_ARGUMENT_ERROR and no change.
template <typename E>
VGErrorCode setEnum(E& field, double value, VGint lo, VGint hi) {
  const VGint v = floorToInt(value);
  if (v < lo || v > hi) return VG_ILLEGAL_ARGUMENT_ERROR;
  field = static_cast<E>(v);
  return VG_NO_ERROR;
}

// VG_TRUE or VG_FALSE only.
inline VGErrorCode setBool(bool& field, double value) {
  const VGint v = floorToInt(value);
  if (v != VG_FALSE && v != VG_TRUE) return VG_ILLEGAL_ARGUMENT_ERROR;
  field = v == VG_TRUE;
  return VG_NO_ERROR;
}

// A fixed-size vector; the caller has checked the count.
template <size_t N>
void setFloats(std::array<float, N>& field, std::span<const double> values) {
  for (size_t i = 0; i < N; ++i) field[i] = toStoredFloat(values[i]);
}

template <typename C>
std::vector<double> toDoubles(const C& c) {
  return std::vector<double>(c.begin(), c.end());
}

}  // namespace tq
