// What the handle registry holds, and the paint bindings that outlive a
// vgDestroyPaint: a paint still set on the context stays in use (its handle
// no longer works) until it is replaced.
#pragma once

#include <memory>

#include "core/context.hpp"
#include "core/image.hpp"
#include "core/paint.hpp"
#include "core/path.hpp"

namespace tq {

struct Context::Object {
  enum class Kind { kPath, kPaint, kImage };

  explicit Object(std::unique_ptr<Path> p) : kind(Kind::kPath), path(std::move(p)) {}
  explicit Object(std::unique_ptr<Paint> p) : kind(Kind::kPaint), paint(std::move(p)) {}
  explicit Object(std::unique_ptr<Image> i) : kind(Kind::kImage), image(std::move(i)) {}

  Kind kind;
  std::unique_ptr<Path> path;    // set when kind is kPath
  std::unique_ptr<Paint> paint;  // set when kind is kPaint
  std::unique_ptr<Image> image;  // set when kind is kImage
  // Destroyed by the application while still set: invisible to lookups.
  bool destroyed = false;
};

// Sets `paint` (VG_INVALID_HANDLE: the default paint) for each mode in
// `modes`; frees a destroyed paint that nothing uses any more. The handle must
// be valid or VG_INVALID_HANDLE.
void bindPaint(Context& ctx, VGbitfield modes, VGPaint paint);

// The paint in use for one mode, including one destroyed while set; null for
// the default paint.
const Paint* boundPaint(const Context& ctx, VGPaintMode mode);

}  // namespace tq
