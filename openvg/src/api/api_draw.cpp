// Entry points that reach OpenGL: the context calls, clearing and drawing.
#include <VG/openvg.h>
#include <VG/vgext.h>
#include <epoxy/gl.h>

#include <algorithm>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/path.hpp"
#include "draw/painter.hpp"
#include "gl/renderer.hpp"

using namespace tq;

VG_API_CALL VGboolean vgCreateContextTQ(VGint width, VGint height) {
  if (currentContext() || width <= 0 || height <= 0) return VG_FALSE;
  try {
    std::unique_ptr<GlRenderer> gl = GlRenderer::create();
    if (!gl) return VG_FALSE;
    gl->setSurface(width, height);
    auto painter = std::make_unique<Painter>(std::move(gl));
    Context* ctx = createContext(width, height);
    if (!ctx) {
      painter->releaseGl();
      return VG_FALSE;
    }
    ctx->renderer = std::move(painter);
    return VG_TRUE;
  } catch (const std::exception&) {
    return VG_FALSE;
  }
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
  if (ctx->renderer) ctx->renderer->releaseGl();
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
  if (ctx->renderer) ctx->renderer->clear(*ctx, IntRect{x, y, width, height});
}

VG_API_CALL void vgDrawPath(VGPath handle, VGbitfield paintModes) {
  TQ_GET_CONTEXT();
  Path* path = lookupPath(*ctx, handle);
  TQ_IF_ERROR(ctx, !path, VG_BAD_HANDLE_ERROR);
  TQ_IF_ERROR(ctx, paintModes == 0 || (paintModes & ~VGbitfield(VG_STROKE_PATH | VG_FILL_PATH)),
              VG_ILLEGAL_ARGUMENT_ERROR);
  if (!ctx->renderer) return;
  try {
    ctx->renderer->drawPath(*ctx, *path, paintModes);
  } catch (const std::exception&) {
    // A failed allocation: the draw is abandoned, every object as it was.
    setError(*ctx, VG_OUT_OF_MEMORY_ERROR);
  }
}
