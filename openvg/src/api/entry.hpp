// Shared prologue of the C entry points: every call first needs the current
// context, and without one it must do nothing and return a neutral value.
#pragma once

#include <VG/openvg.h>

#include <cstdint>

#include "core/context.hpp"

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

}  // namespace tq
