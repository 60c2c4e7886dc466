// Image objects, the image calls and vgDrawImage. VG_IMAGE_IN_USE_ERROR is
// raised for an image that is a rendering target, and no image can be one,
// so no call raises it.
#include <cstdint>
#include <exception>
#include <memory>
#include <new>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/image.hpp"
#include "core/objects.hpp"
#include "core/pixel_formats.hpp"

namespace tq {
namespace {

constexpr VGbitfield kAllImageQualities =
    VG_IMAGE_QUALITY_NONANTIALIASED | VG_IMAGE_QUALITY_FASTER | VG_IMAGE_QUALITY_BETTER;

// Data for the pixel calls: a pointer and stride that keep every row aligned
// for the format's words.
bool isAlignedData(const void* data, VGint stride, const FormatInfo& format) {
  const int align = formatAlignment(format);
  return data != nullptr && reinterpret_cast<std::uintptr_t>(data) % unsigned(align) == 0 &&
         stride % align == 0;
}

// Checks shared by vgImageSubData and vgGetImageSubData; the data format, or
// null with the error recorded.
const FormatInfo* checkPixelCall(Context& ctx, bool haveImage, const void* data, VGint stride,
                                 VGint dataFormat, VGint width, VGint height) {
  if (!haveImage) TQ_RETURN_ERROR(&ctx, VG_BAD_HANDLE_ERROR, nullptr);
  const FormatInfo* format = formatInfo(dataFormat);
  if (!format) TQ_RETURN_ERROR(&ctx, VG_UNSUPPORTED_IMAGE_FORMAT_ERROR, nullptr);
  if (width <= 0 || height <= 0 || !isAlignedData(data, stride, *format))
    TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR, nullptr);
  return format;
}

// Registers a new image; VG_INVALID_HANDLE with VG_OUT_OF_MEMORY_ERROR when
// that fails.
VGImage registerImage(Context& ctx, std::unique_ptr<Image> image) {
  const std::shared_ptr<ImageLineage> lineage = image->lineage;
  const VGImage handle = addImage(ctx, std::move(image));
  lineage->handle = handle;
  return handle;
}

std::array<float, 4> clampedClearColor(const Context& ctx) {
  std::array<float, 4> c = ctx.clearColor;
  for (float& v : c) v = std::clamp(v, 0.0f, 1.0f);
  return c;
}

}  // namespace
}  // namespace tq

extern "C" {

VG_API_CALL VGImage VG_API_ENTRY vgCreateImage(VGImageFormat format, VGint width, VGint height,
                                               VGbitfield allowedQuality) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_INVALID_HANDLE);
  const tq::FormatInfo* info = tq::formatInfo(format);
  TQ_IF_ERROR(ctx, !info, VG_UNSUPPORTED_IMAGE_FORMAT_ERROR, VG_INVALID_HANDLE);
  const VGErrorCode sizeError = tq::checkImageSize(width, height);
  TQ_IF_ERROR(ctx, sizeError != VG_NO_ERROR, sizeError, VG_INVALID_HANDLE);
  TQ_IF_ERROR(ctx, allowedQuality == 0 || (allowedQuality & ~tq::kAllImageQualities) != 0,
              VG_ILLEGAL_ARGUMENT_ERROR, VG_INVALID_HANDLE);
  try {
    return tq::registerImage(*ctx, tq::makeImage(*info, width, height, allowedQuality));
  } catch (const std::bad_alloc&) {
    TQ_RETURN_ERROR(ctx, VG_OUT_OF_MEMORY_ERROR, VG_INVALID_HANDLE);
  }
}

VG_API_CALL void VG_API_ENTRY vgDestroyImage(VGImage image) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, !tq::lookupImage(*ctx, image), VG_BAD_HANDLE_ERROR);
  // Children hold the pixels and the lineage; the handle dies now.
  tq::removeObject(*ctx, image);
}

VG_API_CALL void VG_API_ENTRY vgClearImage(VGImage image, VGint x, VGint y, VGint width,
                                           VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::Image* img = tq::lookupImage(*ctx, image);
  TQ_IF_ERROR(ctx, !img, VG_BAD_HANDLE_ERROR);
  TQ_IF_ERROR(ctx, width <= 0 || height <= 0, VG_ILLEGAL_ARGUMENT_ERROR);
  tq::clearImage(*img, tq::IntRect{x, y, width, height}, tq::clampedClearColor(*ctx));
}

VG_API_CALL void VG_API_ENTRY vgImageSubData(VGImage image, const void* data, VGint dataStride,
                                             VGImageFormat dataFormat, VGint x, VGint y,
                                             VGint width, VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::Image* img = tq::lookupImage(*ctx, image);
  const tq::FormatInfo* format =
      tq::checkPixelCall(*ctx, img != nullptr, data, dataStride, dataFormat, width, height);
  if (!format) return;
  tq::writeImagePixels(*img, data, dataStride, *format, x, y, width, height);
}

VG_API_CALL void VG_API_ENTRY vgGetImageSubData(VGImage image, void* data, VGint dataStride,
                                                VGImageFormat dataFormat, VGint x, VGint y,
                                                VGint width, VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const tq::Image* img = tq::lookupImage(*ctx, image);
  const tq::FormatInfo* format =
      tq::checkPixelCall(*ctx, img != nullptr, data, dataStride, dataFormat, width, height);
  if (!format) return;
  tq::readImagePixels(*img, data, dataStride, *format, x, y, width, height);
}

VG_API_CALL VGImage VG_API_ENTRY vgChildImage(VGImage parent, VGint x, VGint y, VGint width,
                                              VGint height) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_INVALID_HANDLE);
  const tq::Image* img = tq::lookupImage(*ctx, parent);
  TQ_IF_ERROR(ctx, !img, VG_BAD_HANDLE_ERROR, VG_INVALID_HANDLE);
  const bool inside = x >= 0 && y >= 0 && width > 0 && height > 0 &&
                      int64_t(x) + width <= img->width() && int64_t(y) + height <= img->height();
  TQ_IF_ERROR(ctx, !inside, VG_ILLEGAL_ARGUMENT_ERROR, VG_INVALID_HANDLE);
  try {
    return tq::registerImage(*ctx, tq::makeChildImage(*img, tq::IntRect{x, y, width, height}));
  } catch (const std::bad_alloc&) {
    TQ_RETURN_ERROR(ctx, VG_OUT_OF_MEMORY_ERROR, VG_INVALID_HANDLE);
  }
}

VG_API_CALL VGImage VG_API_ENTRY vgGetParent(VGImage image) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_INVALID_HANDLE);
  const tq::Image* img = tq::lookupImage(*ctx, image);
  TQ_IF_ERROR(ctx, !img, VG_BAD_HANDLE_ERROR, VG_INVALID_HANDLE);
  // The closest ancestor not yet destroyed; the image itself when none is.
  for (const tq::ImageLineage* up = img->lineage->parent.get(); up; up = up->parent.get())
    if (tq::lookupImage(*ctx, up->handle)) return up->handle;
  return image;
}

VG_API_CALL void VG_API_ENTRY vgCopyImage(VGImage dst, VGint dx, VGint dy, VGImage src, VGint sx,
                                          VGint sy, VGint width, VGint height,
                                          VGboolean /*dither*/) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::Image* to = tq::lookupImage(*ctx, dst);
  const tq::Image* from = tq::lookupImage(*ctx, src);
  TQ_IF_ERROR(ctx, !to || !from, VG_BAD_HANDLE_ERROR);
  TQ_IF_ERROR(ctx, width <= 0 || height <= 0, VG_ILLEGAL_ARGUMENT_ERROR);
  tq::copyImagePixels(*to, dx, dy, *from, sx, sy, width, height);
}

VG_API_CALL void VG_API_ENTRY vgDrawImage(VGImage image) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const tq::Image* img = tq::lookupImage(*ctx, image);
  TQ_IF_ERROR(ctx, !img, VG_BAD_HANDLE_ERROR);
  if (!ctx->renderer) return;
  try {
    ctx->renderer->drawImage(*ctx, *img);
  } catch (const std::exception&) {
    // A failed allocation: the draw is abandoned, every object as it was.
    tq::setError(*ctx, VG_OUT_OF_MEMORY_ERROR);
  }
}

VG_API_CALL VGHardwareQueryResult VG_API_ENTRY vgHardwareQuery(VGHardwareQueryType key,
                                                               VGint setting) VG_API_EXIT {
  TQ_GET_CONTEXT(VGHardwareQueryResult(0));
  bool known = false;
  if (key == VG_IMAGE_FORMAT_QUERY) known = tq::formatInfo(setting) != nullptr;
  if (key == VG_PATH_DATATYPE_QUERY)
    known = setting >= VG_PATH_DATATYPE_S_8 && setting <= VG_PATH_DATATYPE_F;
  TQ_IF_ERROR(ctx, !known, VG_ILLEGAL_ARGUMENT_ERROR, VG_HARDWARE_UNACCELERATED);
  // Paths are flattened and covered on the CPU (only compositing runs on the
  // GPU), and so are the outlines of drawn images: nothing counts as
  // accelerated.
  return VG_HARDWARE_UNACCELERATED;
}

}  // extern "C"
