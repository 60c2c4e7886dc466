#include "core/context.hpp"

#include <algorithm>
#include <new>

#include "core/objects.hpp"
#include "core/paint.hpp"
#include "core/path.hpp"

namespace tq {

namespace {

std::unique_ptr<Context> gCurrent;
// Handles count on across contexts: a caller may still hold one from a
// destroyed context, and it must not name an object of the next.
VGHandle gNextHandle = 1;

Context::Object* findObject(Context& ctx, VGHandle handle, Context::Object::Kind kind) {
  const auto it = ctx.objects.find(handle);
  if (it == ctx.objects.end() || it->second->kind != kind || it->second->destroyed) return nullptr;
  return it->second.get();
}

VGHandle addObject(Context& ctx, std::unique_ptr<Context::Object> object) {
  // Handles are never reused: once the 32-bit range is spent, creation fails.
  if (ctx.nextHandle == VG_INVALID_HANDLE) {
    setError(ctx, VG_OUT_OF_MEMORY_ERROR);
    return VG_INVALID_HANDLE;
  }
  try {
    const VGHandle handle = ctx.nextHandle;
    ctx.objects.emplace(handle, std::move(object));
    ++ctx.nextHandle;  // wraps to VG_INVALID_HANDLE after the last one
    return handle;
  } catch (const std::bad_alloc&) {
    setError(ctx, VG_OUT_OF_MEMORY_ERROR);
    return VG_INVALID_HANDLE;
  }
}

bool paintInUse(const Context& ctx, VGPaint paint) {
  return ctx.fillPaint == paint || ctx.strokePaint == paint;
}

}  // namespace

Context::Context() = default;
Context::~Context() = default;

Context* currentContext() { return gCurrent.get(); }

Context* createContext(int width, int height) {
  if (gCurrent || width < 0 || height < 0) return nullptr;
  gCurrent.reset(new (std::nothrow) Context());
  if (!gCurrent) return nullptr;
  gCurrent->surfaceWidth = width;
  gCurrent->surfaceHeight = height;
  gCurrent->nextHandle = gNextHandle;
  return gCurrent.get();
}

void destroyContext() {
  if (!gCurrent) return;
  gNextHandle = gCurrent->nextHandle;
  gCurrent.reset();
}

void setError(Context& ctx, VGErrorCode err) {
  if (ctx.error == VG_NO_ERROR) ctx.error = err;
}

const Matrix& pathUserToSurface(const Context& ctx) {
  return ctx.matrices[VG_MATRIX_PATH_USER_TO_SURFACE - VG_MATRIX_PATH_USER_TO_SURFACE];
}

VGHandle addPath(Context& ctx, std::unique_ptr<Path> path) {
  if (!path) return VG_INVALID_HANDLE;
  return addObject(ctx, std::make_unique<Context::Object>(std::move(path)));
}

VGHandle addPaint(Context& ctx, std::unique_ptr<Paint> paint) {
  if (!paint) return VG_INVALID_HANDLE;
  return addObject(ctx, std::make_unique<Context::Object>(std::move(paint)));
}

VGHandle addImage(Context& ctx, std::unique_ptr<Image> image) {
  if (!image) return VG_INVALID_HANDLE;
  return addObject(ctx, std::make_unique<Context::Object>(std::move(image)));
}

Image* lookupImage(Context& ctx, VGHandle handle) {
  Context::Object* object = findObject(ctx, handle, Context::Object::Kind::kImage);
  return object ? object->image.get() : nullptr;
}

Path* lookupPath(Context& ctx, VGHandle handle) {
  Context::Object* object = findObject(ctx, handle, Context::Object::Kind::kPath);
  return object ? object->path.get() : nullptr;
}

Paint* lookupPaint(Context& ctx, VGHandle handle) {
  Context::Object* object = findObject(ctx, handle, Context::Object::Kind::kPaint);
  return object ? object->paint.get() : nullptr;
}

void removeObject(Context& ctx, VGHandle handle) {
  const auto it = ctx.objects.find(handle);
  if (it == ctx.objects.end()) return;
  if (it->second->kind == Context::Object::Kind::kPaint && paintInUse(ctx, handle))
    it->second->destroyed = true;  // freed by bindPaint once replaced
  else
    ctx.objects.erase(it);
}

void bindPaint(Context& ctx, VGbitfield modes, VGPaint paint) {
  std::array<VGPaint, 2> previous{ctx.fillPaint, ctx.strokePaint};
  if (modes & VG_FILL_PATH) ctx.fillPaint = paint;
  if (modes & VG_STROKE_PATH) ctx.strokePaint = paint;
  for (VGPaint old : previous) {
    if (old == VG_INVALID_HANDLE || paintInUse(ctx, old)) continue;
    const auto it = ctx.objects.find(old);
    if (it != ctx.objects.end() && it->second->destroyed) ctx.objects.erase(it);
  }
}

const Paint* boundPaint(const Context& ctx, VGPaintMode mode) {
  const VGPaint handle = mode == VG_STROKE_PATH ? ctx.strokePaint : ctx.fillPaint;
  if (handle == VG_INVALID_HANDLE) return nullptr;
  const auto it = ctx.objects.find(handle);
  if (it == ctx.objects.end() || it->second->kind != Context::Object::Kind::kPaint) return nullptr;
  return it->second->paint.get();
}

namespace {

std::array<float, 4> paintColor(const Context& ctx, VGPaintMode mode) {
  const Paint* paint = boundPaint(ctx, mode);
  return paint ? paint->color : std::array<float, 4>{0, 0, 0, 1};
}

}  // namespace

std::array<float, 4> fillColor(const Context& ctx) { return paintColor(ctx, VG_FILL_PATH); }

std::array<float, 4> strokeColor(const Context& ctx) { return paintColor(ctx, VG_STROKE_PATH); }

}  // namespace tq
