/* Tarquel's utility calls: common shapes appended to paths, and the projective
 * warps between a quadrilateral and the unit square. Usable from C and C++. */
#ifndef TARQUEL_VG_VGU_H
#define TARQUEL_VG_VGU_H

#include <VG/openvg.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VGU_VERSION_1_0 1
#define VGU_VERSION_1_1 2

#define VGU_API_CALL VG_API_CALL
#define VGU_API_ENTRY
#define VGU_API_EXIT

typedef enum VG_ENUM_BASE {
  VGU_NO_ERROR = 0,
  VGU_BAD_HANDLE_ERROR = 0xF000,
  VGU_ILLEGAL_ARGUMENT_ERROR = 0xF001,
  VGU_OUT_OF_MEMORY_ERROR = 0xF002,
  VGU_PATH_CAPABILITY_ERROR = 0xF003,
  VGU_BAD_WARP_ERROR = 0xF004,
  VGU_ERROR_CODE_FORCE_SIZE = VG_MAX_ENUM
} VGUErrorCode;

typedef enum VG_ENUM_BASE {
  VGU_ARC_OPEN = 0xF100,
  VGU_ARC_CHORD = 0xF101,
  VGU_ARC_PIE = 0xF102,
  VGU_ARC_TYPE_FORCE_SIZE = VG_MAX_ENUM
} VGUArcType;

/* The shape calls append to `path` in its own datatype, scale and bias, and
 * need VG_PATH_CAPABILITY_APPEND_TO. On any error nothing is appended and the
 * context's own error is left alone. Every number must be finite, and every
 * coordinate must be representable in the path's datatype. */

/* Move to (x0, y0), line to (x1, y1). */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguLine(VGPath path, VGfloat x0, VGfloat y0, VGfloat x1,
                                                VGfloat y1) VGU_API_EXIT;

/* Move to the first of `count` points (x, y pairs), lines to the others, and a
 * close when `closed`. */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguPolygon(VGPath path, const VGfloat* points, VGint count,
                                                   VGboolean closed) VGU_API_EXIT;

/* Move to (x, y), then horizontal, vertical and horizontal lines and a close. */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguRect(VGPath path, VGfloat x, VGfloat y, VGfloat width,
                                                VGfloat height) VGU_API_EXIT;

/* A rectangle whose corners are quarter ellipses arcWidth x arcHeight across
 * (negative sizes count as 0, sizes beyond the rectangle's as its own). */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguRoundRect(VGPath path, VGfloat x, VGfloat y,
                                                     VGfloat width, VGfloat height,
                                                     VGfloat arcWidth,
                                                     VGfloat arcHeight) VGU_API_EXIT;

/* Two half-ellipse arcs and a close, centred on (cx, cy). */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguEllipse(VGPath path, VGfloat cx, VGfloat cy,
                                                   VGfloat width, VGfloat height) VGU_API_EXIT;

/* An arc of the ellipse centred on (x, y) from startAngle over angleExtent
 * degrees (counter-clockwise when positive; beyond a full turn it wraps, up to
 * 4096 turns), in pieces of at most 180 degrees. A chord closes it; a pie adds
 * a line to the centre and closes. */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguArc(VGPath path, VGfloat x, VGfloat y, VGfloat width,
                                               VGfloat height, VGfloat startAngle,
                                               VGfloat angleExtent,
                                               VGUArcType arcType) VGU_API_EXIT;

/* The warps write a 3 x 3 column-major matrix. The unit square's corners
 * (0, 0), (1, 0), (0, 1), (1, 1) pair with the quad's points 0 to 3.
 * VGU_BAD_WARP_ERROR when three of a quad's points lie on one line. */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguComputeWarpQuadToSquare(VGfloat sx0, VGfloat sy0,
                                                                   VGfloat sx1, VGfloat sy1,
                                                                   VGfloat sx2, VGfloat sy2,
                                                                   VGfloat sx3, VGfloat sy3,
                                                                   VGfloat* matrix) VGU_API_EXIT;

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguComputeWarpSquareToQuad(VGfloat dx0, VGfloat dy0,
                                                                   VGfloat dx1, VGfloat dy1,
                                                                   VGfloat dx2, VGfloat dy2,
                                                                   VGfloat dx3, VGfloat dy3,
                                                                   VGfloat* matrix) VGU_API_EXIT;

/* Maps the quad (sx, sy) onto the quad (dx, dy). */
VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguComputeWarpQuadToQuad(
    VGfloat dx0, VGfloat dy0, VGfloat dx1, VGfloat dy1, VGfloat dx2, VGfloat dy2, VGfloat dx3,
    VGfloat dy3, VGfloat sx0, VGfloat sy0, VGfloat sx1, VGfloat sy1, VGfloat sx2, VGfloat sy2,
    VGfloat sx3, VGfloat sy3, VGfloat* matrix) VGU_API_EXIT;

#ifdef __cplusplus
}
#endif

#endif
