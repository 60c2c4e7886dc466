// Object parameters: vgSetParameter* / vgGetParameter* on paint and path
// handles. Path and image parameters are read-only.
#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/image.hpp"
#include "core/objects.hpp"
#include "core/paint.hpp"
#include "core/path.hpp"

namespace tq {
namespace {

struct PaintParams {
  Paint& paint;
  std::optional<ParamShape> shape(VGint type) const { return paintParamShape(type); }
  VGErrorCode set(VGint type, std::span<const double> v) { return setPaintParam(paint, type, v); }
  std::vector<double> get(VGint type) const { return getPaintParam(paint, type); }
};

struct PathParams {
  const Path& path;
  std::optional<ParamShape> shape(VGint type) const {
    double unused;
    if (!getPathParameter(path, type, &unused)) return std::nullopt;
    return ParamShape{};
  }
  VGErrorCode set(VGint, std::span<const double>) { return VG_ILLEGAL_ARGUMENT_ERROR; }
  std::vector<double> get(VGint type) const {
    double v = 0.0;
    getPathParameter(path, type, &v);
    return {v};
  }
};

struct ImageParams {
  const Image& image;
  std::optional<ParamShape> shape(VGint type) const {
    if (type < VG_IMAGE_FORMAT || type > VG_IMAGE_HEIGHT) return std::nullopt;
    return ParamShape{.readOnly = true};
  }
  VGErrorCode set(VGint, std::span<const double>) { return VG_ILLEGAL_ARGUMENT_ERROR; }
  std::vector<double> get(VGint type) const {
    if (type == VG_IMAGE_FORMAT) return {double(image.format->format)};
    return {double(type == VG_IMAGE_WIDTH ? image.width() : image.height())};
  }
};

// Runs `op` on the handle's parameter target; VG_BAD_HANDLE_ERROR when the
// handle names no live paint or path.
template <typename Ret, typename Op>
Ret withObject(Context& ctx, VGHandle object, Ret fallback, Op&& op) {
  if (Paint* paint = lookupPaint(ctx, object)) return op(PaintParams{*paint});
  if (const Path* path = lookupPath(ctx, object)) return op(PathParams{*path});
  if (const Image* image = lookupImage(ctx, object)) return op(ImageParams{*image});
  setError(ctx, VG_BAD_HANDLE_ERROR);
  return fallback;
}

template <typename T>
void setObjectParam(Context& ctx, VGHandle object, VGint type, VGint count, const T* values,
                    bool vectorCall) {
  if (lookupPath(ctx, object) || lookupImage(ctx, object)) {
    setError(ctx, VG_ILLEGAL_ARGUMENT_ERROR);  // read-only, whatever the arguments
    return;
  }
  withObject(ctx, object, 0, [&](auto target) {
    setParam(ctx, target, type, count, values, vectorCall);
    return 0;
  });
}

}  // namespace
}  // namespace tq

extern "C" {

VG_API_CALL void VG_API_ENTRY vgSetParameterf(VGHandle object, VGint paramType,
                                              VGfloat value) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setObjectParam(*ctx, object, paramType, 1, &value, false);
}

VG_API_CALL void VG_API_ENTRY vgSetParameteri(VGHandle object, VGint paramType,
                                              VGint value) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setObjectParam(*ctx, object, paramType, 1, &value, false);
}

VG_API_CALL void VG_API_ENTRY vgSetParameterfv(VGHandle object, VGint paramType, VGint count,
                                               const VGfloat* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setObjectParam(*ctx, object, paramType, count, values, true);
}

VG_API_CALL void VG_API_ENTRY vgSetParameteriv(VGHandle object, VGint paramType, VGint count,
                                               const VGint* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::setObjectParam(*ctx, object, paramType, count, values, true);
}

VG_API_CALL VGfloat VG_API_ENTRY vgGetParameterf(VGHandle object, VGint paramType) VG_API_EXIT {
  TQ_GET_CONTEXT(0.0f);
  return tq::withObject(*ctx, object, 0.0f, [&](auto target) {
    return tq::getScalarParam<VGfloat>(*ctx, target, paramType);
  });
}

VG_API_CALL VGint VG_API_ENTRY vgGetParameteri(VGHandle object, VGint paramType) VG_API_EXIT {
  TQ_GET_CONTEXT(0);
  return tq::withObject(*ctx, object, VGint(0), [&](auto target) {
    return tq::getScalarParam<VGint>(*ctx, target, paramType);
  });
}

VG_API_CALL VGint VG_API_ENTRY vgGetParameterVectorSize(VGHandle object,
                                                        VGint paramType) VG_API_EXIT {
  TQ_GET_CONTEXT(0);
  return tq::withObject(*ctx, object, VGint(0),
                        [&](auto target) { return tq::paramVectorSize(*ctx, target, paramType); });
}

VG_API_CALL void VG_API_ENTRY vgGetParameterfv(VGHandle object, VGint paramType, VGint count,
                                               VGfloat* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::withObject(*ctx, object, 0, [&](auto target) {
    tq::getVectorParam(*ctx, target, paramType, count, values);
    return 0;
  });
}

VG_API_CALL void VG_API_ENTRY vgGetParameteriv(VGHandle object, VGint paramType, VGint count,
                                               VGint* values) VG_API_EXIT {
  TQ_GET_CONTEXT();
  tq::withObject(*ctx, object, 0, [&](auto target) {
    tq::getVectorParam(*ctx, target, paramType, count, values);
    return 0;
  });
}

}  // extern "C"
