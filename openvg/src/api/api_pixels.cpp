// The pixel calls between images or memory and the drawing surface.
// Rectangles partly outside either side are clipped, not refused; see
// draw/surface_pixels.hpp for what applies to them.
#include <cstdint>
#include <exception>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/image.hpp"
#include "core/pixel_formats.hpp"

namespace tq {
namespace {

// Data for vgWritePixels and vgReadPixels: a pointer and stride that keep
// every row aligned for the format's words; the data format, or null with
// the error recorded.
const FormatInfo* checkData(Context& ctx, const void* data, VGint stride, VGint dataFormat,
                            VGint width, VGint height) {
  const FormatInfo* format = formatInfo(dataFormat);
  if (!format) TQ_RETURN_ERROR(&ctx, VG_UNSUPPORTED_IMAGE_FORMAT_ERROR, nullptr);
  const unsigned align = unsigned(formatAlignment(*format));
  const bool aligned = data != nullptr && reinterpret_cast<std::uintptr_t>(data) % align == 0 &&
                       stride % VGint(align) == 0;
  if (width <= 0 || height <= 0 || !aligned)
    TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR, nullptr);
  return format;
}

// Runs a renderer call, reporting a failed allocation.
template <typename Call>
void withRenderer(Context& ctx, Call&& call) {
  if (!ctx.renderer) return;
  try {
    call(*ctx.renderer);
  } catch (const std::exception&) {
    setError(ctx, VG_OUT_OF_MEMORY_ERROR);
  }
}

}  // namespace
}  // namespace tq

extern "C" {

VG_API_CALL void VG_API_ENTRY vgSetPixels(VGint dx, VGint dy, VGImage src, VGint sx, VGint sy,
                                          VGint width, VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const tq::Image* image = tq::lookupImage(*ctx, src);
  TQ_IF_ERROR(ctx, !image, VG_BAD_HANDLE_ERROR);
  TQ_IF_ERROR(ctx, width <= 0 || height <= 0, VG_ILLEGAL_ARGUMENT_ERROR);
  tq::withRenderer(
      *ctx, [&](tq::Renderer& r) { r.setPixels(*ctx, dx, dy, *image, sx, sy, width, height); });
}

VG_API_CALL void VG_API_ENTRY vgWritePixels(const void* data, VGint dataStride,
                                            VGImageFormat dataFormat, VGint dx, VGint dy,
                                            VGint width, VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const tq::FormatInfo* format = tq::checkData(*ctx, data, dataStride, dataFormat, width, height);
  if (!format) return;
  tq::withRenderer(*ctx, [&](tq::Renderer& r) {
    r.writePixels(*ctx, data, dataStride, *format, dx, dy, width, height);
  });
}

VG_API_CALL void VG_API_ENTRY vgGetPixels(VGImage dst, VGint dx, VGint dy, VGint sx, VGint sy,
                                          VGint width, VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::Image* image = tq::lookupImage(*ctx, dst);
  TQ_IF_ERROR(ctx, !image, VG_BAD_HANDLE_ERROR);
  TQ_IF_ERROR(ctx, width <= 0 || height <= 0, VG_ILLEGAL_ARGUMENT_ERROR);
  tq::withRenderer(
      *ctx, [&](tq::Renderer& r) { r.getPixels(*ctx, *image, dx, dy, sx, sy, width, height); });
}

VG_API_CALL void VG_API_ENTRY vgReadPixels(void* data, VGint dataStride, VGImageFormat dataFormat,
                                           VGint sx, VGint sy, VGint width,
                                           VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const tq::FormatInfo* format = tq::checkData(*ctx, data, dataStride, dataFormat, width, height);
  if (!format) return;
  tq::withRenderer(*ctx, [&](tq::Renderer& r) {
    r.readPixels(*ctx, data, dataStride, *format, sx, sy, width, height);
  });
}

VG_API_CALL void VG_API_ENTRY vgCopyPixels(VGint dx, VGint dy, VGint sx, VGint sy, VGint width,
                                           VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, width <= 0 || height <= 0, VG_ILLEGAL_ARGUMENT_ERROR);
  tq::withRenderer(*ctx,
                   [&](tq::Renderer& r) { r.copyPixels(*ctx, dx, dy, sx, sy, width, height); });
}

}  // extern "C"
