// Shared prologue of the C entry points: every call first needs the current
// context, and without one it must do nothing and return a neutral value.
#pragma once

#include <VG/openvg.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "core/context.hpp"
#include "core/param_values.hpp"

// Declares `ctx` as the current context; returns `ret` from the calling entry
// point when there is none. Use TQ_GET_CONTEXT() in void functions.
#define TQ_GET_CONTEXT(...)                \
  tq::Context* ctx = tq::currentContext(); \
  if (!ctx) return __VA_ARGS__

// Records `err` on the context and returns `ret` (omit for void functions).
#define TQ_RETURN_ERROR(ctx, err, ...) \
  do {                                 \
    tq::setError(*(ctx), (err));       \
    return __VA_ARGS__;                \
  } while (0)

// Returns `ret` after recording `err` when `cond` holds.
#define TQ_IF_ERROR(ctx, cond, err, ...)              \
  do {                                                \
    if (cond) TQ_RETURN_ERROR(ctx, err, __VA_ARGS__); \
  } while (0)

namespace tq {

// True when p is non-null and aligned for T, as the calls taking arrays demand.
template <typename T>
inline bool isAlignedPointer(const void* p) {
  return p != nullptr && reinterpret_cast<std::uintptr_t>(p) % alignof(T) == 0;
}

// The vgSet*/vgGet* rules shared by context, paint and path parameters. A
// Target offers shape(type) -> optional<ParamShape>, set(type, span<const
// double>) -> VGErrorCode and get(type) -> vector<double>; doubles carry every
// VGint and VGfloat exactly, so the conversions happen once, here and in set.

// vgSetf/vgSeti (vectorCall false, count 1) and vgSetfv/vgSetiv.
template <typename Target, typename T>
void setParam(Context& ctx, Target&& target, VGint type, VGint count, const T* values,
              bool vectorCall) {
  const std::optional<ParamShape> shape = target.shape(type);
  if (!shape || (!vectorCall && shape->size != 1)) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  if (count < 0 || (count > 0 && !isAlignedPointer<T>(values)))
    TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  const bool badCount = shape->size != 0 ? count != shape->size
                                         : (count > shape->maxSize && !shape->keepFirst) ||
                                               count % shape->multiple != 0;
  if (badCount) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  if (shape->size == 0) count = std::min(count, shape->maxSize);
  if (shape->readOnly) return;
  // On the stack: applications set colours every frame, and that must not
  // allocate. Every parameter's largest count fits.
  constexpr VGint kMaxValues = 256;
  if (count > kMaxValues) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  double buffer[kMaxValues];
  for (VGint i = 0; i < count; ++i) {
    buffer[i] = double(values[i]);
    if (std::isnan(buffer[i])) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  }
  VGErrorCode err = VG_NO_ERROR;
  try {
    err = target.set(type, std::span<const double>(buffer, size_t(count)));
  } catch (const std::exception&) {
    err = VG_OUT_OF_MEMORY_ERROR;  // a failed allocation leaves the old value
  }
  if (err != VG_NO_ERROR) setError(ctx, err);
}

// The values a target holds for `type`; empty, with VG_OUT_OF_MEMORY_ERROR
// raised, when they cannot be copied.
template <typename Target>
std::vector<double> paramValues(Context& ctx, Target&& target, VGint type) {
  try {
    return target.get(type);
  } catch (const std::exception&) {
    setError(ctx, VG_OUT_OF_MEMORY_ERROR);
    return {};
  }
}

template <typename T>
T convertParamValue(double v) {
  if constexpr (std::is_same_v<T, VGint>)
    return floorToInt(v);
  else
    return static_cast<T>(v);
}

// vgGetf/vgGeti: scalars only.
template <typename T, typename Target>
T getScalarParam(Context& ctx, Target&& target, VGint type) {
  const std::optional<ParamShape> shape = target.shape(type);
  if (!shape || shape->size != 1) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR, T(0));
  const std::vector<double> v = paramValues(ctx, target, type);
  return v.empty() ? T(0) : convertParamValue<T>(v[0]);
}

template <typename Target>
VGint paramVectorSize(Context& ctx, Target&& target, VGint type) {
  const std::optional<ParamShape> shape = target.shape(type);
  if (!shape) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR, 0);
  return shape->size == 1 ? 1 : static_cast<VGint>(paramValues(ctx, target, type).size());
}

// vgGetfv/vgGetiv: the first `count` values of a scalar or vector.
template <typename Target, typename T>
void getVectorParam(Context& ctx, Target&& target, VGint type, VGint count, T* values) {
  const std::optional<ParamShape> shape = target.shape(type);
  if (!shape) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  const std::vector<double> v = paramValues(ctx, target, type);
  if (count <= 0 || static_cast<size_t>(count) > v.size() || !isAlignedPointer<T>(values))
    TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  for (VGint i = 0; i < count; ++i) values[i] = convertParamValue<T>(v[i]);
}

}  // namespace tq
