// Entry points that reach OpenGL: the context calls, clearing and drawing.
#include <VG/openvg.h>
#include <VG/vgext.h>
#include <epoxy/gl.h>

#include <algorithm>

#include "api/draw.hpp"
#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/path.hpp"
#include "geometry/flatten.hpp"
#include "gl/renderer.hpp"
#include "raster/coverage.hpp"

namespace tq {
namespace {

// Flattening tolerance in surface pixels. At the default quality the chords
// stay within 1/50 pixel of the curve, so that flattening adds well under a
// thousandth to the mean coverage error.
float toleranceFor(VGRenderingQuality quality) {
  switch (quality) {
    case VG_RENDERING_QUALITY_NONANTIALIASED:
      return 0.25f;
    case VG_RENDERING_QUALITY_FASTER:
      return 0.1f;
    default:
      return 0.02f;
  }
}

IntRect surfaceRect(const Context& ctx) {
  return IntRect{0, 0, ctx.surfaceWidth, ctx.surfaceHeight};
}

}  // namespace

// Shared by vgDrawPath and the tests: fills path into the renderer's mask.
bool rasterizeFill(Context& ctx, Path& path, Polygon& polygon, Rasterizer& rasterizer,
                   CoverageMask& mask) {
  flattenPath(path, pathUserToSurface(ctx), toleranceFor(ctx.renderingQuality), polygon);
  RasterOptions options;
  options.fillRule = ctx.fillRule;
  options.antialias = ctx.renderingQuality != VG_RENDERING_QUALITY_NONANTIALIASED;
  options.clip = surfaceRect(ctx);
  options.scissor = ctx.scissoring;
  options.scissorRects = &ctx.scissorRects;
  return rasterizer.rasterize(polygon, options, mask);
}

}  // namespace tq

using namespace tq;

VG_API_CALL VGboolean vgCreateContextTQ(VGint width, VGint height) {
  if (currentContext() || width <= 0 || height <= 0) return VG_FALSE;
  GlRenderer* renderer = GlRenderer::create();
  if (!renderer) return VG_FALSE;
  Context* ctx = createContext(width, height);
  if (!ctx) {
    GlRenderer::destroy(renderer);
    return VG_FALSE;
  }
  ctx->renderer = renderer;
  ctx->surfaceWidth = width;
  ctx->surfaceHeight = height;
  renderer->setSurface(width, height);
  return VG_TRUE;
}

VG_API_CALL void vgResizeSurfaceTQ(VGint width, VGint height) {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, width < 0 || height < 0, VG_ILLEGAL_ARGUMENT_ERROR);
  ctx->surfaceWidth = width;
  ctx->surfaceHeight = height;
  if (ctx->renderer) ctx->renderer->setSurface(width, height);
}

VG_API_CALL void vgDestroyContextTQ(void) {
  Context* ctx = currentContext();
  if (!ctx) return;
  GlRenderer::destroy(ctx->renderer);
  ctx->renderer = nullptr;
  destroyContext();
}

VG_API_CALL void vgFlush(void) {
  TQ_GET_CONTEXT();
  if (ctx->renderer) glFlush();
}

VG_API_CALL void vgFinish(void) {
  TQ_GET_CONTEXT();
  if (ctx->renderer) glFinish();
}

VG_API_CALL void vgClear(VGint x, VGint y, VGint width, VGint height) {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, width <= 0 || height <= 0, VG_ILLEGAL_ARGUMENT_ERROR);
  if (!ctx->renderer) return;
  IntRect rect = intersect(IntRect{x, y, width, height}, surfaceRect(*ctx));
  if (rect.empty()) return;
  // The window is treated as a premultiplied surface; colours are clamped.
  std::array<float, 4> c = ctx->clearColor;
  for (float& v : c) v = std::clamp(v, 0.0f, 1.0f);
  std::array<float, 4> premultiplied{c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]};
  ctx->renderer->clear(rect, premultiplied, ctx->scissoring, ctx->scissorRects);
}

VG_API_CALL void vgDrawPath(VGPath handle, VGbitfield paintModes) {
  TQ_GET_CONTEXT();
  Path* path = lookupPath(*ctx, handle);
  TQ_IF_ERROR(ctx, !path, VG_BAD_HANDLE_ERROR);
  TQ_IF_ERROR(ctx, paintModes == 0 || (paintModes & ~VGbitfield(VG_STROKE_PATH | VG_FILL_PATH)),
              VG_ILLEGAL_ARGUMENT_ERROR);
  GlRenderer* renderer = ctx->renderer;
  if (!renderer || ctx->surfaceWidth <= 0 || ctx->surfaceHeight <= 0) return;
  // Strokes are accepted and not drawn yet.
  if (paintModes & VG_FILL_PATH) {
    if (rasterizeFill(*ctx, *path, renderer->polygon, renderer->rasterizer, renderer->mask)) {
      renderer->fill(renderer->mask, fillColor(*ctx), ctx->blendMode);
    }
  }
}
