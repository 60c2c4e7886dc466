// The context parameters, paints, object parameters and matrices, with any
// parameter type, count and value, on handles of every kind, stale ones
// included, in a context without OpenGL. Besides crashes and undefined
// behaviour it checks what holds whatever the calls were: a reported vector
// size can be read back in full and no further, no stored float is NaN, every
// matrix stays finite (and affine where it must), and the paint set is the
// paint read back.
#include <VG/openvg.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/context.hpp"
#include "fuzz_input.hpp"
#include "path_input.hpp"

namespace {

using tqfuzz::Input;

constexpr int32_t kContextParams[] = {
    VG_MATRIX_MODE,
    VG_FILL_RULE,
    VG_IMAGE_QUALITY,
    VG_RENDERING_QUALITY,
    VG_BLEND_MODE,
    VG_IMAGE_MODE,
    VG_SCISSOR_RECTS,
    VG_COLOR_TRANSFORM,
    VG_COLOR_TRANSFORM_VALUES,
    VG_STROKE_LINE_WIDTH,
    VG_STROKE_CAP_STYLE,
    VG_STROKE_JOIN_STYLE,
    VG_STROKE_MITER_LIMIT,
    VG_STROKE_DASH_PATTERN,
    VG_STROKE_DASH_PHASE,
    VG_STROKE_DASH_PHASE_RESET,
    VG_TILE_FILL_COLOR,
    VG_CLEAR_COLOR,
    VG_GLYPH_ORIGIN,
    VG_MASKING,
    VG_SCISSORING,
    VG_PIXEL_LAYOUT,
    VG_SCREEN_LAYOUT,
    VG_FILTER_FORMAT_LINEAR,
    VG_FILTER_FORMAT_PREMULTIPLIED,
    VG_FILTER_CHANNEL_MASK,
    VG_MAX_SCISSOR_RECTS,
    VG_MAX_DASH_COUNT,
    VG_MAX_KERNEL_SIZE,
    VG_MAX_SEPARABLE_KERNEL_SIZE,
    VG_MAX_COLOR_RAMP_STOPS,
    VG_MAX_IMAGE_WIDTH,
    VG_MAX_IMAGE_HEIGHT,
    VG_MAX_IMAGE_PIXELS,
    VG_MAX_IMAGE_BYTES,
    VG_MAX_FLOAT,
    VG_MAX_GAUSSIAN_STD_DEVIATION,
};

constexpr int32_t kObjectParams[] = {
    VG_PAINT_TYPE,
    VG_PAINT_COLOR,
    VG_PAINT_COLOR_RAMP_SPREAD_MODE,
    VG_PAINT_COLOR_RAMP_STOPS,
    VG_PAINT_LINEAR_GRADIENT,
    VG_PAINT_RADIAL_GRADIENT,
    VG_PAINT_PATTERN_TILING_MODE,
    VG_PAINT_COLOR_RAMP_PREMULTIPLIED,
    VG_PATH_FORMAT,
    VG_PATH_DATATYPE,
    VG_PATH_SCALE,
    VG_PATH_BIAS,
    VG_PATH_NUM_SEGMENTS,
    VG_PATH_NUM_COORDS,
};

constexpr int32_t kPaintModes[] = {VG_FILL_PATH, VG_STROKE_PATH};
constexpr int32_t kStrings[] = {VG_VENDOR, VG_RENDERER, VG_VERSION, VG_EXTENSIONS};

// Values that parameters of each kind take: enumerants near every range,
// booleans, and any float or integer.
constexpr int32_t kEnumValues[] = {
    VG_FALSE,
    VG_TRUE,
    VG_MATRIX_PATH_USER_TO_SURFACE,
    VG_MATRIX_GLYPH_USER_TO_SURFACE,
    VG_MATRIX_GLYPH_USER_TO_SURFACE + 1,
    VG_EVEN_ODD,
    VG_NON_ZERO,
    VG_IMAGE_QUALITY_BETTER,
    VG_RENDERING_QUALITY_NONANTIALIASED,
    VG_RENDERING_QUALITY_BETTER,
    VG_BLEND_SRC,
    VG_BLEND_ADDITIVE,
    VG_BLEND_ADDITIVE + 1,
    VG_DRAW_IMAGE_STENCIL,
    VG_CAP_SQUARE,
    VG_JOIN_BEVEL,
    VG_PIXEL_LAYOUT_BGR_HORIZONTAL,
    VG_PAINT_TYPE_PATTERN,
    VG_COLOR_RAMP_SPREAD_REFLECT,
    VG_TILE_REFLECT,
    VG_RED | VG_GREEN | VG_BLUE | VG_ALPHA,
};

// The value array handed to a vgSet*v call: exactly `count` entries (the
// call must not read more), sometimes null or misaligned.
template <typename T>
struct Values {
  tqfuzz::Buffer buffer;
  T* data;
  Values(Input& in, VGint count)
      : buffer(size_t(count > 0 ? std::min(count, 1024) : 0) * sizeof(T), in.pick(16) == 0),
        data(reinterpret_cast<T*>(buffer.data())) {
    const size_t n = buffer.size() / sizeof(T);
    for (size_t i = 0; i < n; ++i) {
      T v;
      if constexpr (std::is_same_v<T, VGfloat>)
        v = in.pick(3) == 0 ? VGfloat(in.oneOf(kEnumValues)) : in.number();
      else
        v = in.oneOf(kEnumValues);
      std::memcpy(buffer.data() + i * sizeof(T), &v, sizeof(T));
    }
    if (in.pick(16) == 0) data = nullptr;
  }
};

VGint anyCount(Input& in) {
  switch (in.pick(4)) {
    case 0:
      return in.integer();
    case 1:
      return 4 * in.range<VGint>(0, 40);
    default:
      return in.range<VGint>(-1, 10);
  }
}

void setContextParam(Input& in) {
  const auto type = static_cast<VGParamType>(in.oneOf(kContextParams));
  switch (in.pick(4)) {
    case 0:
      vgSeti(type, in.oneOf(kEnumValues));
      break;
    case 1:
      vgSetf(type, in.pick(2) ? VGfloat(in.oneOf(kEnumValues)) : in.number());
      break;
    case 2: {
      const VGint count = anyCount(in);
      Values<VGint> v(in, count);
      vgSetiv(type, count, v.data);
      break;
    }
    default: {
      const VGint count = anyCount(in);
      Values<VGfloat> v(in, count);
      vgSetfv(type, count, v.data);
      break;
    }
  }
}

// Reads a context parameter: whatever size vgGetVectorSize reports reads back
// in full, without NaN, and one value more is refused.
void getContextParam(Input& in) {
  const auto type = static_cast<VGParamType>(in.oneOf(kContextParams));
  tqfuzz::takeError();
  const VGint size = vgGetVectorSize(type);
  const VGErrorCode err = tqfuzz::takeError();
  TQ_FUZZ_CHECK(size >= 0);
  if (err == VG_NO_ERROR && size > 0) {
    tqfuzz::Buffer fv(size_t(size) * sizeof(VGfloat), 0);
    vgGetfv(type, size, reinterpret_cast<VGfloat*>(fv.data()));
    TQ_FUZZ_CHECK(tqfuzz::takeError() == VG_NO_ERROR);
    for (VGint i = 0; i < size; ++i) {
      VGfloat f;
      std::memcpy(&f, fv.data() + size_t(i) * sizeof f, sizeof f);
      TQ_FUZZ_CHECK(!std::isnan(f));
    }
    tqfuzz::Buffer iv(size_t(size) * sizeof(VGint), 0);
    vgGetiv(type, size, reinterpret_cast<VGint*>(iv.data()));
    TQ_FUZZ_CHECK(tqfuzz::takeError() == VG_NO_ERROR);
    std::vector<VGfloat> more(size_t(size) + 1);
    vgGetfv(type, size + 1, more.data());
    TQ_FUZZ_CHECK(tqfuzz::takeError() == VG_ILLEGAL_ARGUMENT_ERROR);
  }
  switch (in.pick(4)) {
    case 0:
      TQ_FUZZ_CHECK(!std::isnan(vgGetf(type)));
      break;
    case 1:
      vgGeti(type);
      break;
    default: {
      const VGint count = anyCount(in);
      tqfuzz::Buffer out(size_t(count > 0 ? std::min(count, 1024) : 0) * sizeof(VGint),
                         in.pick(16) == 0);
      if (in.flag())
        vgGetiv(type, count, reinterpret_cast<VGint*>(out.data()));
      else
        vgGetfv(type, count, reinterpret_cast<VGfloat*>(out.data()));
      break;
    }
  }
}

void setObjectParam(Input& in, VGHandle object) {
  const VGint type = in.oneOf(kObjectParams);
  switch (in.pick(4)) {
    case 0:
      vgSetParameteri(object, type, in.oneOf(kEnumValues));
      break;
    case 1:
      vgSetParameterf(object, type, in.number());
      break;
    case 2: {
      const VGint count = anyCount(in);
      Values<VGint> v(in, count);
      vgSetParameteriv(object, type, count, v.data);
      break;
    }
    default: {
      const VGint count = in.pick(4) == 0 ? 5 * in.range<VGint>(0, 40) : anyCount(in);
      Values<VGfloat> v(in, count);
      vgSetParameterfv(object, type, count, v.data);
      break;
    }
  }
}

void getObjectParam(Input& in, VGHandle object) {
  const VGint type = in.oneOf(kObjectParams);
  tqfuzz::takeError();
  const VGint size = vgGetParameterVectorSize(object, type);
  const VGErrorCode err = tqfuzz::takeError();
  TQ_FUZZ_CHECK(size >= 0);
  if (err == VG_NO_ERROR && size > 0) {
    tqfuzz::Buffer fv(size_t(size) * sizeof(VGfloat), 0);
    vgGetParameterfv(object, type, size, reinterpret_cast<VGfloat*>(fv.data()));
    TQ_FUZZ_CHECK(tqfuzz::takeError() == VG_NO_ERROR);
    for (VGint i = 0; i < size; ++i) {
      VGfloat f;
      std::memcpy(&f, fv.data() + size_t(i) * sizeof f, sizeof f);
      TQ_FUZZ_CHECK(!std::isnan(f));
    }
    std::vector<VGint> more(size_t(size) + 1);
    vgGetParameteriv(object, type, size + 1, more.data());
    TQ_FUZZ_CHECK(tqfuzz::takeError() == VG_ILLEGAL_ARGUMENT_ERROR);
  }
  switch (in.pick(4)) {
    case 0:
      TQ_FUZZ_CHECK(!std::isnan(vgGetParameterf(object, type)));
      break;
    case 1:
      vgGetParameteri(object, type);
      break;
    default: {
      const VGint count = anyCount(in);
      tqfuzz::Buffer out(size_t(count > 0 ? std::min(count, 1024) : 0) * sizeof(VGint),
                         in.pick(16) == 0);
      if (in.flag())
        vgGetParameteriv(object, type, count, reinterpret_cast<VGint*>(out.data()));
      else
        vgGetParameterfv(object, type, count, reinterpret_cast<VGfloat*>(out.data()));
      break;
    }
  }
}

// The matrix calls on the matrix of any mode; afterwards every matrix is
// finite, and all but the image matrix are affine.
void matrixCall(Input& in) {
  static constexpr int32_t kModes[] = {
      VG_MATRIX_PATH_USER_TO_SURFACE, VG_MATRIX_IMAGE_USER_TO_SURFACE, VG_MATRIX_FILL_PAINT_TO_USER,
      VG_MATRIX_STROKE_PAINT_TO_USER, VG_MATRIX_GLYPH_USER_TO_SURFACE};
  if (in.flag()) vgSeti(VG_MATRIX_MODE, in.oneOf(kModes));
  const int choice = in.pick(8);
  if (choice < 7) {
    tqfuzz::matrixOperation(in, choice);
  } else {
    // Null and misaligned matrix pointers.
    alignas(4) unsigned char raw[9 * sizeof(VGfloat) + 1] = {};
    VGfloat* p = in.flag() ? nullptr : reinterpret_cast<VGfloat*>(raw + 1);
    if (in.flag())
      vgLoadMatrix(p);
    else
      vgGetMatrix(p);
  }
  VGfloat m[9];
  tqfuzz::takeError();
  const VGint saved = vgGeti(VG_MATRIX_MODE);
  for (int32_t mode : kModes) {
    vgSeti(VG_MATRIX_MODE, mode);
    vgGetMatrix(m);
    for (float v : m) TQ_FUZZ_CHECK(std::isfinite(v));
    if (mode != VG_MATRIX_IMAGE_USER_TO_SURFACE) {
      TQ_FUZZ_CHECK(m[2] == 0.0f && m[5] == 0.0f && m[8] == 1.0f);
    }
  }
  vgSeti(VG_MATRIX_MODE, saved);
  TQ_FUZZ_CHECK(tqfuzz::takeError() == VG_NO_ERROR);
}

// Any paint handle, stale, of the wrong kind or made up, for any modes.
void setPaint(Input& in, tqfuzz::Handles& paints, tqfuzz::Handles& paths) {
  VGHandle paint = in.pick(4) == 0 ? paths.any(in) : paints.any(in);
  if (in.pick(8) == 0) paint = VG_INVALID_HANDLE;
  const VGbitfield modes = in.pick(4) == 0 ? in.u32() : VGbitfield(in.range<int>(1, 3));
  tqfuzz::takeError();
  const VGPaint fill = vgGetPaint(VG_FILL_PATH), stroke = vgGetPaint(VG_STROKE_PATH);
  vgSetPaint(paint, modes);
  const bool set = tqfuzz::takeError() == VG_NO_ERROR;
  TQ_FUZZ_CHECK(vgGetPaint(VG_FILL_PATH) == (set && (modes & VG_FILL_PATH) ? paint : fill));
  TQ_FUZZ_CHECK(vgGetPaint(VG_STROKE_PATH) == (set && (modes & VG_STROKE_PATH) ? paint : stroke));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  Input in(bytes, size);
  if (!tq::createContext(64, 64)) tqfuzz::fail("no context");
  tqfuzz::Handles paints, paths;
  for (int step = 0; step < 64 && !in.done(); ++step) {
    // Object calls get a paint, a path or any other handle.
    const int kind = in.pick(4);
    const VGHandle object = kind == 0 ? paths.any(in) : paints.any(in);
    switch (in.pick(14)) {
      case 0:
        paints.add(vgCreatePaint());
        break;
      case 1:
        vgDestroyPaint(object);
        paints.retire(object);
        break;
      case 2:
        if (in.flag()) {
          paths.add(tqfuzz::createPath(in));
        } else {
          vgDestroyPath(object);
          paths.retire(object);
        }
        break;
      case 3:
        setPaint(in, paints, paths);
        break;
      case 4:
        vgGetPaint(static_cast<VGPaintMode>(in.oneOf(kPaintModes)));
        break;
      case 5:
        vgSetColor(object, in.u32());
        break;
      case 6:
        vgGetColor(object);
        break;
      case 7:
        setContextParam(in);
        break;
      case 8:
        getContextParam(in);
        break;
      case 9:
        setObjectParam(in, object);
        break;
      case 10:
        getObjectParam(in, object);
        break;
      case 11:
        matrixCall(in);
        break;
      case 12:
        vgGetString(static_cast<VGStringID>(in.oneOf(kStrings)));
        break;
      default:
        if (in.flag())
          vgFlush();
        else
          vgFinish();
        break;
    }
    tqfuzz::takeError();
  }
  tq::destroyContext();
  return 0;
}
