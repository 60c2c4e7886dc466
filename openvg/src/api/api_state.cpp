// Errors, context parameters and strings.
#include <cfloat>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/image.hpp"

namespace tq {
namespace {

// The context as a parameter target for the shared set/get rules.
struct ContextParams {
  Context& ctx;

  std::optional<ParamShape> shape(VGint type) const {
    switch (type) {
      case VG_MATRIX_MODE:
      case VG_FILL_RULE:
      case VG_IMAGE_QUALITY:
      case VG_RENDERING_QUALITY:
      case VG_BLEND_MODE:
      case VG_IMAGE_MODE:
      case VG_COLOR_TRANSFORM:
      case VG_STROKE_LINE_WIDTH:
      case VG_STROKE_CAP_STYLE:
      case VG_STROKE_JOIN_STYLE:
      case VG_STROKE_MITER_LIMIT:
      case VG_STROKE_DASH_PHASE:
      case VG_STROKE_DASH_PHASE_RESET:
      case VG_MASKING:
      case VG_SCISSORING:
      case VG_PIXEL_LAYOUT:
      case VG_FILTER_FORMAT_LINEAR:
      case VG_FILTER_FORMAT_PREMULTIPLIED:
      case VG_FILTER_CHANNEL_MASK:
        return ParamShape{};
      case VG_SCISSOR_RECTS:
        return ParamShape{.size = 0, .maxSize = 4 * kMaxScissorRects, .multiple = 4};
      case VG_STROKE_DASH_PATTERN:
        return ParamShape{.size = 0, .maxSize = kMaxDashCount};
      case VG_TILE_FILL_COLOR:
      case VG_CLEAR_COLOR:
        return ParamShape{.size = 4};
      case VG_GLYPH_ORIGIN:
        return ParamShape{.size = 2};
      case VG_COLOR_TRANSFORM_VALUES:
        return ParamShape{.size = 8};
      case VG_SCREEN_LAYOUT:
      case VG_MAX_SCISSOR_RECTS:
      case VG_MAX_DASH_COUNT:
      case VG_MAX_KERNEL_SIZE:
      case VG_MAX_SEPARABLE_KERNEL_SIZE:
      case VG_MAX_COLOR_RAMP_STOPS:
      case VG_MAX_IMAGE_WIDTH:
      case VG_MAX_IMAGE_HEIGHT:
      case VG_MAX_IMAGE_PIXELS:
      case VG_MAX_IMAGE_BYTES:
      case VG_MAX_FLOAT:
      case VG_MAX_GAUSSIAN_STD_DEVIATION:
        return ParamShape{.readOnly = true};
      default:
        return std::nullopt;
    }
  }

  VGErrorCode set(VGint type, std::span<const double> v) {
    switch (type) {
      case VG_MATRIX_MODE:
        return setEnum(ctx.matrixMode, v[0], VG_MATRIX_PATH_USER_TO_SURFACE,
                       VG_MATRIX_GLYPH_USER_TO_SURFACE);
      case VG_FILL_RULE:
        return setEnum(ctx.fillRule, v[0], VG_EVEN_ODD, VG_NON_ZERO);
      case VG_IMAGE_QUALITY: {
        const VGint q = floorToInt(v[0]);
        if (q != VG_IMAGE_QUALITY_NONANTIALIASED && q != VG_IMAGE_QUALITY_FASTER &&
            q != VG_IMAGE_QUALITY_BETTER)
          return VG_ILLEGAL_ARGUMENT_ERROR;
        ctx.imageQuality = static_cast<VGImageQuality>(q);
        return VG_NO_ERROR;
      }
      case VG_RENDERING_QUALITY:
        return setEnum(ctx.renderingQuality, v[0], VG_RENDERING_QUALITY_NONANTIALIASED,
                       VG_RENDERING_QUALITY_BETTER);
      case VG_BLEND_MODE:
        return setEnum(ctx.blendMode, v[0], VG_BLEND_SRC, VG_BLEND_ADDITIVE);
      case VG_IMAGE_MODE:
        return setEnum(ctx.imageMode, v[0], VG_DRAW_IMAGE_NORMAL, VG_DRAW_IMAGE_STENCIL);
      case VG_COLOR_TRANSFORM:
        return setBool(ctx.colorTransform, v[0]);
      case VG_STROKE_LINE_WIDTH:
        ctx.strokeLineWidth = toStoredFloat(v[0]);
        return VG_NO_ERROR;
      case VG_STROKE_CAP_STYLE:
        return setEnum(ctx.strokeCapStyle, v[0], VG_CAP_BUTT, VG_CAP_SQUARE);
      case VG_STROKE_JOIN_STYLE:
        return setEnum(ctx.strokeJoinStyle, v[0], VG_JOIN_MITER, VG_JOIN_BEVEL);
      case VG_STROKE_MITER_LIMIT:
        // Limits below 1 mean 1.
        ctx.strokeMiterLimit = std::max(toStoredFloat(v[0]), 1.0f);
        return VG_NO_ERROR;
      case VG_STROKE_DASH_PHASE:
        ctx.strokeDashPhase = toStoredFloat(v[0]);
        return VG_NO_ERROR;
      case VG_STROKE_DASH_PHASE_RESET:
        return setBool(ctx.strokeDashPhaseReset, v[0]);
      case VG_MASKING:
        return setBool(ctx.masking, v[0]);
      case VG_SCISSORING:
        return setBool(ctx.scissoring, v[0]);
      case VG_PIXEL_LAYOUT:
        return setEnum(ctx.pixelLayout, v[0], VG_PIXEL_LAYOUT_UNKNOWN,
                       VG_PIXEL_LAYOUT_BGR_HORIZONTAL);
      case VG_FILTER_FORMAT_LINEAR:
        return setBool(ctx.filterFormatLinear, v[0]);
      case VG_FILTER_FORMAT_PREMULTIPLIED:
        return setBool(ctx.filterFormatPremultiplied, v[0]);
      case VG_FILTER_CHANNEL_MASK: {
        const VGint mask = floorToInt(v[0]);
        if (mask < 0 || mask > (VG_RED | VG_GREEN | VG_BLUE | VG_ALPHA))
          return VG_ILLEGAL_ARGUMENT_ERROR;
        ctx.filterChannelMask = static_cast<VGbitfield>(mask);
        return VG_NO_ERROR;
      }
      case VG_SCISSOR_RECTS:
        ctx.scissorRects.resize(v.size());
        std::transform(v.begin(), v.end(), ctx.scissorRects.begin(), floorToInt);
        return VG_NO_ERROR;
      case VG_STROKE_DASH_PATTERN:
        ctx.strokeDashPattern.resize(v.size());
        std::transform(v.begin(), v.end(), ctx.strokeDashPattern.begin(), toStoredFloat);
        return VG_NO_ERROR;
      case VG_TILE_FILL_COLOR:
        setFloats(ctx.tileFillColor, v);
        return VG_NO_ERROR;
      case VG_CLEAR_COLOR:
        setFloats(ctx.clearColor, v);
        return VG_NO_ERROR;
      case VG_GLYPH_ORIGIN:
        setFloats(ctx.glyphOrigin, v);
        return VG_NO_ERROR;
      case VG_COLOR_TRANSFORM_VALUES:
        // Scales are limited to [-127, 127] and biases to [-1, 1].
        for (size_t i = 0; i < 8; ++i) {
          const float limit = i < 4 ? 127.0f : 1.0f;
          ctx.colorTransformValues[i] = std::clamp(toStoredFloat(v[i]), -limit, limit);
        }
        return VG_NO_ERROR;
      default:
        return VG_ILLEGAL_ARGUMENT_ERROR;
    }
  }

  std::vector<double> get(VGint type) const {
    switch (type) {
      case VG_MATRIX_MODE:
        return {double(ctx.matrixMode)};
      case VG_FILL_RULE:
        return {double(ctx.fillRule)};
      case VG_IMAGE_QUALITY:
        return {double(ctx.imageQuality)};
      case VG_RENDERING_QUALITY:
        return {double(ctx.renderingQuality)};
      case VG_BLEND_MODE:
        return {double(ctx.blendMode)};
      case VG_IMAGE_MODE:
        return {double(ctx.imageMode)};
      case VG_COLOR_TRANSFORM:
        return {double(ctx.colorTransform)};
      case VG_STROKE_LINE_WIDTH:
        return {ctx.strokeLineWidth};
      case VG_STROKE_CAP_STYLE:
        return {double(ctx.strokeCapStyle)};
      case VG_STROKE_JOIN_STYLE:
        return {double(ctx.strokeJoinStyle)};
      case VG_STROKE_MITER_LIMIT:
        return {ctx.strokeMiterLimit};
      case VG_STROKE_DASH_PHASE:
        return {ctx.strokeDashPhase};
      case VG_STROKE_DASH_PHASE_RESET:
        return {double(ctx.strokeDashPhaseReset)};
      case VG_MASKING:
        return {double(ctx.masking)};
      case VG_SCISSORING:
        return {double(ctx.scissoring)};
      case VG_PIXEL_LAYOUT:
        return {double(ctx.pixelLayout)};
      case VG_FILTER_FORMAT_LINEAR:
        return {double(ctx.filterFormatLinear)};
      case VG_FILTER_FORMAT_PREMULTIPLIED:
        return {double(ctx.filterFormatPremultiplied)};
      case VG_FILTER_CHANNEL_MASK:
        return {double(ctx.filterChannelMask)};
      case VG_SCISSOR_RECTS:
        return toDoubles(ctx.scissorRects);
      case VG_STROKE_DASH_PATTERN:
        return toDoubles(ctx.strokeDashPattern);
      case VG_TILE_FILL_COLOR:
        return toDoubles(ctx.tileFillColor);
      case VG_CLEAR_COLOR:
        return toDoubles(ctx.clearColor);
      case VG_GLYPH_ORIGIN:
        return toDoubles(ctx.glyphOrigin);
      case VG_COLOR_TRANSFORM_VALUES:
        return toDoubles(ctx.colorTransformValues);
      case VG_SCREEN_LAYOUT:
        return {double(VG_PIXEL_LAYOUT_UNKNOWN)};
      case VG_MAX_SCISSOR_RECTS:
        return {double(kMaxScissorRects)};
      case VG_MAX_DASH_COUNT:
        return {double(kMaxDashCount)};
      case VG_MAX_COLOR_RAMP_STOPS:
        return {double(kMaxColorRampStops)};
      case VG_MAX_FLOAT:
        return {double(FLT_MAX)};
      case VG_MAX_IMAGE_WIDTH:
        return {double(kMaxImageWidth)};
      case VG_MAX_IMAGE_HEIGHT:
        return {double(kMaxImageHeight)};
      case VG_MAX_IMAGE_PIXELS:
        return {double(kMaxImagePixels)};
      case VG_MAX_IMAGE_BYTES:
        return {double(kMaxImageBytes)};
      // Image filters are not offered, so their limits are 0:
      // VG_MAX_KERNEL_SIZE, VG_MAX_SEPARABLE_KERNEL_SIZE,
      // VG_MAX_GAUSSIAN_STD_DEVIATION.
      default:
        return {0.0};
    }
  }
};

}  // namespace
}  // namespace tq

using tq::ContextParams;

extern "C" {

VG_API_CALL VGErrorCode VG_API_ENTRY vgGetError(void) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_NO_CONTEXT_ERROR);
  const VGErrorCode err = ctx->error;
  ctx->error = VG_NO_ERROR;
  return err;
}

VG_API_CALL void VG_API_ENTRY vgSetf(VGParamType type, VGfloat value) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setParam(*ctx, ContextParams{*ctx}, type, 1, &value, false);
}

VG_API_CALL void VG_API_ENTRY vgSeti(VGParamType type, VGint value) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setParam(*ctx, ContextParams{*ctx}, type, 1, &value, false);
}

VG_API_CALL void VG_API_ENTRY vgSetfv(VGParamType type, VGint count,
                                      const VGfloat* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setParam(*ctx, ContextParams{*ctx}, type, count, values, true);
}

VG_API_CALL void VG_API_ENTRY vgSetiv(VGParamType type, VGint count,
                                      const VGint* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setParam(*ctx, ContextParams{*ctx}, type, count, values, true);
}

VG_API_CALL VGfloat VG_API_ENTRY vgGetf(VGParamType type) VG_API_EXIT {
  TQ_GET_CONTEXT(0.0f);
  return tq::getScalarParam<VGfloat>(*ctx, ContextParams{*ctx}, type);
}

VG_API_CALL VGint VG_API_ENTRY vgGeti(VGParamType type) VG_API_EXIT {
  TQ_GET_CONTEXT(0);
  return tq::getScalarParam<VGint>(*ctx, ContextParams{*ctx}, type);
}

VG_API_CALL VGint VG_API_ENTRY vgGetVectorSize(VGParamType type) VG_API_EXIT {
  TQ_GET_CONTEXT(0);
  return tq::paramVectorSize(*ctx, ContextParams{*ctx}, type);
}

VG_API_CALL void VG_API_ENTRY vgGetfv(VGParamType type, VGint count, VGfloat* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::getVectorParam(*ctx, ContextParams{*ctx}, type, count, values);
}

VG_API_CALL void VG_API_ENTRY vgGetiv(VGParamType type, VGint count, VGint* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::getVectorParam(*ctx, ContextParams{*ctx}, type, count, values);
}

VG_API_CALL const VGubyte* VG_API_ENTRY vgGetString(VGStringID name) VG_API_EXIT {
  TQ_GET_CONTEXT(nullptr);
  const char* s = nullptr;
  switch (name) {
    case VG_VENDOR:
      s = "Tarquel";
      break;
    case VG_RENDERER:
      s = "Tarquel OpenVG on OpenGL";
      break;
    case VG_VERSION:
      s = "1.1";
      break;
    case VG_EXTENSIONS:
      s = "";
      break;
    default:
      break;
  }
  return reinterpret_cast<const VGubyte*>(s);
}

}  // extern "C"
