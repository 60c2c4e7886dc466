// Paint objects and the paint the context draws with.
#include <memory>
#include <new>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/image.hpp"
#include "core/objects.hpp"
#include "core/paint.hpp"

namespace {

bool isPaintModeSet(VGbitfield modes) {
  return modes != 0 && (modes & ~VGbitfield(VG_FILL_PATH | VG_STROKE_PATH)) == 0;
}

}  // namespace

extern "C" {

VG_API_CALL VGPaint VG_API_ENTRY vgCreatePaint(void) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_INVALID_HANDLE);
  std::unique_ptr<tq::Paint> paint(new (std::nothrow) tq::Paint());
  if (!paint) TQ_RETURN_ERROR(ctx, VG_OUT_OF_MEMORY_ERROR, VG_INVALID_HANDLE);
  return tq::addPaint(*ctx, std::move(paint));
}

VG_API_CALL void VG_API_ENTRY vgDestroyPaint(VGPaint paint) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, !tq::lookupPaint(*ctx, paint), VG_BAD_HANDLE_ERROR);
  tq::removeObject(*ctx, paint);
}

VG_API_CALL void VG_API_ENTRY vgSetPaint(VGPaint paint, VGbitfield paintModes) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, paint != VG_INVALID_HANDLE && !tq::lookupPaint(*ctx, paint),
              VG_BAD_HANDLE_ERROR);
  TQ_IF_ERROR(ctx, !isPaintModeSet(paintModes), VG_ILLEGAL_ARGUMENT_ERROR);
  tq::bindPaint(*ctx, paintModes, paint);
}

VG_API_CALL VGPaint VG_API_ENTRY vgGetPaint(VGPaintMode paintMode) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_INVALID_HANDLE);
  switch (paintMode) {
    case VG_FILL_PATH:
      return ctx->fillPaint;
    case VG_STROKE_PATH:
      return ctx->strokePaint;
    default:
      TQ_RETURN_ERROR(ctx, VG_ILLEGAL_ARGUMENT_ERROR, VG_INVALID_HANDLE);
  }
}

VG_API_CALL void VG_API_ENTRY vgSetColor(VGPaint paint, VGuint rgba) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::Paint* p = tq::lookupPaint(*ctx, paint);
  TQ_IF_ERROR(ctx, !p, VG_BAD_HANDLE_ERROR);
  p->color = tq::unpackColor(rgba);
}

VG_API_CALL VGuint VG_API_ENTRY vgGetColor(VGPaint paint) VG_API_EXIT {
  TQ_GET_CONTEXT(0);
  const tq::Paint* p = tq::lookupPaint(*ctx, paint);
  TQ_IF_ERROR(ctx, !p, VG_BAD_HANDLE_ERROR, 0);
  return tq::packColor(p->color);
}

VG_API_CALL void VG_API_ENTRY vgPaintPattern(VGPaint paint, VGImage pattern) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::Paint* p = tq::lookupPaint(*ctx, paint);
  const tq::Image* image = pattern == VG_INVALID_HANDLE ? nullptr : tq::lookupImage(*ctx, pattern);
  TQ_IF_ERROR(ctx, !p || (pattern != VG_INVALID_HANDLE && !image), VG_BAD_HANDLE_ERROR);
  // No image is ever a rendering target, so VG_IMAGE_IN_USE_ERROR cannot arise.
  if (image)
    p->pattern = tq::PatternImage{image->store, image->rect, image->allowedQuality};
  else
    p->pattern.reset();
}

}  // extern "C"
