// The matrix calls: each works on the matrix VG_MATRIX_MODE names and
// multiplies new transforms on the right (M = M * T).
#include <cmath>
#include <numbers>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/matrix.hpp"

namespace {

// Only the image matrix may be projective.
bool isAffineMode(VGMatrixMode mode) { return mode != VG_MATRIX_IMAGE_USER_TO_SURFACE; }

tq::Matrix& currentMatrix(tq::Context& ctx) {
  return ctx.matrices[ctx.matrixMode - VG_MATRIX_PATH_USER_TO_SURFACE];
}

// Stores m as the current matrix unless it holds a NaN or infinity, which
// would poison every later transform.
void store(tq::Context& ctx, tq::Matrix m) {
  if (isAffineMode(ctx.matrixMode)) m.forceAffine();
  if (!m.isFinite()) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  currentMatrix(ctx) = m;
}

void multiply(tq::Context& ctx, tq::Matrix t) {
  if (isAffineMode(ctx.matrixMode)) t.forceAffine();
  if (!t.isFinite()) TQ_RETURN_ERROR(&ctx, VG_ILLEGAL_ARGUMENT_ERROR);
  store(ctx, currentMatrix(ctx) * t);
}

tq::Matrix fromColumns(const VGfloat* m) {
  tq::Matrix r;
  for (int i = 0; i < 9; ++i) r.m[i] = m[i];
  return r;
}

// cos and sin of an angle in degrees, exact at multiples of 90.
void cosSinDegrees(double degrees, double& c, double& s) {
  const double quarterTurns = degrees / 90.0;
  if (quarterTurns == std::floor(quarterTurns) && std::fabs(quarterTurns) < 1e15) {
    static constexpr double kCos[4] = {1, 0, -1, 0};
    static constexpr double kSin[4] = {0, 1, 0, -1};
    const long long q = ((static_cast<long long>(quarterTurns) % 4) + 4) % 4;
    c = kCos[q];
    s = kSin[q];
    return;
  }
  const double radians = std::fmod(degrees, 360.0) * (std::numbers::pi / 180.0);
  c = std::cos(radians);
  s = std::sin(radians);
}

}  // namespace

extern "C" {

VG_API_CALL void VG_API_ENTRY vgLoadIdentity(void) VG_API_EXIT {
  TQ_GET_CONTEXT();
  currentMatrix(*ctx) = tq::Matrix::identity();
}

VG_API_CALL void VG_API_ENTRY vgLoadMatrix(const VGfloat* m) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, !tq::isAlignedPointer<VGfloat>(m), VG_ILLEGAL_ARGUMENT_ERROR);
  store(*ctx, fromColumns(m));
}

VG_API_CALL void VG_API_ENTRY vgGetMatrix(VGfloat* m) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, !tq::isAlignedPointer<VGfloat>(m), VG_ILLEGAL_ARGUMENT_ERROR);
  const tq::Matrix& cur = currentMatrix(*ctx);
  for (int i = 0; i < 9; ++i) m[i] = cur.m[i];
}

VG_API_CALL void VG_API_ENTRY vgMultMatrix(const VGfloat* m) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, !tq::isAlignedPointer<VGfloat>(m), VG_ILLEGAL_ARGUMENT_ERROR);
  multiply(*ctx, fromColumns(m));
}

VG_API_CALL void VG_API_ENTRY vgTranslate(VGfloat tx, VGfloat ty) VG_API_EXIT {
  TQ_GET_CONTEXT();
  multiply(*ctx, tq::Matrix{{1, 0, 0, 0, 1, 0, tx, ty, 1}});
}

VG_API_CALL void VG_API_ENTRY vgScale(VGfloat sx, VGfloat sy) VG_API_EXIT {
  TQ_GET_CONTEXT();
  multiply(*ctx, tq::Matrix{{sx, 0, 0, 0, sy, 0, 0, 0, 1}});
}

VG_API_CALL void VG_API_ENTRY vgShear(VGfloat shx, VGfloat shy) VG_API_EXIT {
  TQ_GET_CONTEXT();
  multiply(*ctx, tq::Matrix{{1, shy, 0, shx, 1, 0, 0, 0, 1}});
}

VG_API_CALL void VG_API_ENTRY vgRotate(VGfloat angle) VG_API_EXIT {
  TQ_GET_CONTEXT();
  TQ_IF_ERROR(ctx, !std::isfinite(angle), VG_ILLEGAL_ARGUMENT_ERROR);
  double c, s;
  cosSinDegrees(angle, c, s);
  const float fc = static_cast<float>(c), fs = static_cast<float>(s);
  multiply(*ctx, tq::Matrix{{fc, fs, 0, -fs, fc, 0, 0, 0, 1}});
}

}  // extern "C"
