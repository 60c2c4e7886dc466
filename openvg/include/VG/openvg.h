/* Tarquel's OpenVG 1.1 interface: the standard types, values and calls that
 * libOpenVG offers. Usable from C and C++. */
#ifndef TARQUEL_VG_OPENVG_H
#define TARQUEL_VG_OPENVG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OPENVG_VERSION_1_0 1
#define OPENVG_VERSION_1_0_1 1
#define OPENVG_VERSION_1_1 2

#if defined(__GNUC__)
#define VG_API_CALL __attribute__((visibility("default")))
#else
#define VG_API_CALL
#endif
#define VG_API_ENTRY
#define VG_API_EXIT

#define VG_MAXSHORT ((VGshort)0x7FFF)
#define VG_MAXINT ((VGint)0x7FFFFFFF)
#define VG_MAX_ENUM 0x7FFFFFFF

typedef float VGfloat;
typedef int8_t VGbyte;
typedef uint8_t VGubyte;
typedef int16_t VGshort;
typedef int32_t VGint;
typedef uint32_t VGuint;
typedef uint32_t VGbitfield;

/* C callers may pass any 32-bit value where an enumeration is expected. In
 * C++ every enumeration here is a plain VGint underneath, so that the library
 * can read an out-of-range value and reject it instead of loading a value its
 * type cannot hold. C's enumerations are int-sized already. */
#ifdef __cplusplus
#define VG_ENUM_BASE : VGint
#else
#define VG_ENUM_BASE
#endif

typedef enum VG_ENUM_BASE { VG_FALSE = 0, VG_TRUE = 1, VG_BOOLEAN_FORCE_SIZE = VG_MAX_ENUM } VGboolean;

typedef VGuint VGHandle;
typedef VGHandle VGPath;
typedef VGHandle VGImage;
typedef VGHandle VGMaskLayer;
typedef VGHandle VGFont;
typedef VGHandle VGPaint;

#define VG_INVALID_HANDLE ((VGHandle)0)
#define VG_PATH_FORMAT_STANDARD 0

typedef enum VG_ENUM_BASE {
  VG_NO_ERROR = 0,
  VG_BAD_HANDLE_ERROR = 0x1000,
  VG_ILLEGAL_ARGUMENT_ERROR = 0x1001,
  VG_OUT_OF_MEMORY_ERROR = 0x1002,
  VG_PATH_CAPABILITY_ERROR = 0x1003,
  VG_UNSUPPORTED_IMAGE_FORMAT_ERROR = 0x1004,
  VG_UNSUPPORTED_PATH_FORMAT_ERROR = 0x1005,
  VG_IMAGE_IN_USE_ERROR = 0x1006,
  VG_NO_CONTEXT_ERROR = 0x1007,
  VG_ERROR_CODE_FORCE_SIZE = VG_MAX_ENUM
} VGErrorCode;

typedef enum VG_ENUM_BASE {
  VG_MATRIX_MODE = 0x1100,
  VG_FILL_RULE = 0x1101,
  VG_IMAGE_QUALITY = 0x1102,
  VG_RENDERING_QUALITY = 0x1103,
  VG_BLEND_MODE = 0x1104,
  VG_IMAGE_MODE = 0x1105,
  VG_SCISSOR_RECTS = 0x1106,
  VG_COLOR_TRANSFORM = 0x1170,
  VG_COLOR_TRANSFORM_VALUES = 0x1171,
  VG_STROKE_LINE_WIDTH = 0x1110,
  VG_STROKE_CAP_STYLE = 0x1111,
  VG_STROKE_JOIN_STYLE = 0x1112,
  VG_STROKE_MITER_LIMIT = 0x1113,
  VG_STROKE_DASH_PATTERN = 0x1114,
  VG_STROKE_DASH_PHASE = 0x1115,
  VG_STROKE_DASH_PHASE_RESET = 0x1116,
  VG_TILE_FILL_COLOR = 0x1120,
  VG_CLEAR_COLOR = 0x1121,
  VG_GLYPH_ORIGIN = 0x1122,
  VG_MASKING = 0x1130,
  VG_SCISSORING = 0x1131,
  VG_PIXEL_LAYOUT = 0x1140,
  VG_SCREEN_LAYOUT = 0x1141,
  VG_FILTER_FORMAT_LINEAR = 0x1150,
  VG_FILTER_FORMAT_PREMULTIPLIED = 0x1151,
  VG_FILTER_CHANNEL_MASK = 0x1152,
  VG_MAX_SCISSOR_RECTS = 0x1160,
  VG_MAX_DASH_COUNT = 0x1161,
  VG_MAX_KERNEL_SIZE = 0x1162,
  VG_MAX_SEPARABLE_KERNEL_SIZE = 0x1163,
  VG_MAX_COLOR_RAMP_STOPS = 0x1164,
  VG_MAX_IMAGE_WIDTH = 0x1165,
  VG_MAX_IMAGE_HEIGHT = 0x1166,
  VG_MAX_IMAGE_PIXELS = 0x1167,
  VG_MAX_IMAGE_BYTES = 0x1168,
  VG_MAX_FLOAT = 0x1169,
  VG_MAX_GAUSSIAN_STD_DEVIATION = 0x116A,
  VG_PARAM_TYPE_FORCE_SIZE = VG_MAX_ENUM
} VGParamType;

typedef enum VG_ENUM_BASE {
  VG_RENDERING_QUALITY_NONANTIALIASED = 0x1200,
  VG_RENDERING_QUALITY_FASTER = 0x1201,
  VG_RENDERING_QUALITY_BETTER = 0x1202,
  VG_RENDERING_QUALITY_FORCE_SIZE = VG_MAX_ENUM
} VGRenderingQuality;

typedef enum VG_ENUM_BASE {
  VG_PIXEL_LAYOUT_UNKNOWN = 0x1300,
  VG_PIXEL_LAYOUT_RGB_VERTICAL = 0x1301,
  VG_PIXEL_LAYOUT_BGR_VERTICAL = 0x1302,
  VG_PIXEL_LAYOUT_RGB_HORIZONTAL = 0x1303,
  VG_PIXEL_LAYOUT_BGR_HORIZONTAL = 0x1304,
  VG_PIXEL_LAYOUT_FORCE_SIZE = VG_MAX_ENUM
} VGPixelLayout;

typedef enum VG_ENUM_BASE {
  VG_MATRIX_PATH_USER_TO_SURFACE = 0x1400,
  VG_MATRIX_IMAGE_USER_TO_SURFACE = 0x1401,
  VG_MATRIX_FILL_PAINT_TO_USER = 0x1402,
  VG_MATRIX_STROKE_PAINT_TO_USER = 0x1403,
  VG_MATRIX_GLYPH_USER_TO_SURFACE = 0x1404,
  VG_MATRIX_MODE_FORCE_SIZE = VG_MAX_ENUM
} VGMatrixMode;

typedef enum VG_ENUM_BASE {
  VG_CLEAR_MASK = 0x1500,
  VG_FILL_MASK = 0x1501,
  VG_SET_MASK = 0x1502,
  VG_UNION_MASK = 0x1503,
  VG_INTERSECT_MASK = 0x1504,
  VG_SUBTRACT_MASK = 0x1505,
  VG_MASK_OPERATION_FORCE_SIZE = VG_MAX_ENUM
} VGMaskOperation;

typedef enum VG_ENUM_BASE { VG_PATH_DATATYPE_INVALID = -1, VG_PATH_DATATYPE_S_8 = 0, VG_PATH_DATATYPE_S_16 = 1,
  VG_PATH_DATATYPE_S_32 = 2, VG_PATH_DATATYPE_F = 3,
  VG_PATH_DATATYPE_FORCE_SIZE = VG_MAX_ENUM } VGPathDatatype;

typedef enum VG_ENUM_BASE { VG_ABSOLUTE = 0, VG_RELATIVE = 1, VG_PATH_ABS_REL_FORCE_SIZE = VG_MAX_ENUM } VGPathAbsRel;

typedef enum VG_ENUM_BASE {
  VG_CLOSE_PATH = (0 << 1),
  VG_MOVE_TO = (1 << 1),
  VG_LINE_TO = (2 << 1),
  VG_HLINE_TO = (3 << 1),
  VG_VLINE_TO = (4 << 1),
  VG_QUAD_TO = (5 << 1),
  VG_CUBIC_TO = (6 << 1),
  VG_SQUAD_TO = (7 << 1),
  VG_SCUBIC_TO = (8 << 1),
  VG_SCCWARC_TO = (9 << 1),
  VG_SCWARC_TO = (10 << 1),
  VG_LCCWARC_TO = (11 << 1),
  VG_LCWARC_TO = (12 << 1),
  VG_PATH_SEGMENT_FORCE_SIZE = VG_MAX_ENUM
} VGPathSegment;

typedef enum VG_ENUM_BASE {
  VG_MOVE_TO_ABS = (int)VG_MOVE_TO | (int)VG_ABSOLUTE,
  VG_MOVE_TO_REL = (int)VG_MOVE_TO | (int)VG_RELATIVE,
  VG_LINE_TO_ABS = (int)VG_LINE_TO | (int)VG_ABSOLUTE,
  VG_LINE_TO_REL = (int)VG_LINE_TO | (int)VG_RELATIVE,
  VG_HLINE_TO_ABS = (int)VG_HLINE_TO | (int)VG_ABSOLUTE,
  VG_HLINE_TO_REL = (int)VG_HLINE_TO | (int)VG_RELATIVE,
  VG_VLINE_TO_ABS = (int)VG_VLINE_TO | (int)VG_ABSOLUTE,
  VG_VLINE_TO_REL = (int)VG_VLINE_TO | (int)VG_RELATIVE,
  VG_QUAD_TO_ABS = (int)VG_QUAD_TO | (int)VG_ABSOLUTE,
  VG_QUAD_TO_REL = (int)VG_QUAD_TO | (int)VG_RELATIVE,
  VG_CUBIC_TO_ABS = (int)VG_CUBIC_TO | (int)VG_ABSOLUTE,
  VG_CUBIC_TO_REL = (int)VG_CUBIC_TO | (int)VG_RELATIVE,
  VG_SQUAD_TO_ABS = (int)VG_SQUAD_TO | (int)VG_ABSOLUTE,
  VG_SQUAD_TO_REL = (int)VG_SQUAD_TO | (int)VG_RELATIVE,
  VG_SCUBIC_TO_ABS = (int)VG_SCUBIC_TO | (int)VG_ABSOLUTE,
  VG_SCUBIC_TO_REL = (int)VG_SCUBIC_TO | (int)VG_RELATIVE,
  VG_SCCWARC_TO_ABS = (int)VG_SCCWARC_TO | (int)VG_ABSOLUTE,
  VG_SCCWARC_TO_REL = (int)VG_SCCWARC_TO | (int)VG_RELATIVE,
  VG_SCWARC_TO_ABS = (int)VG_SCWARC_TO | (int)VG_ABSOLUTE,
  VG_SCWARC_TO_REL = (int)VG_SCWARC_TO | (int)VG_RELATIVE,
  VG_LCCWARC_TO_ABS = (int)VG_LCCWARC_TO | (int)VG_ABSOLUTE,
  VG_LCCWARC_TO_REL = (int)VG_LCCWARC_TO | (int)VG_RELATIVE,
  VG_LCWARC_TO_ABS = (int)VG_LCWARC_TO | (int)VG_ABSOLUTE,
  VG_LCWARC_TO_REL = (int)VG_LCWARC_TO | (int)VG_RELATIVE,
  VG_PATH_COMMAND_FORCE_SIZE = VG_MAX_ENUM
} VGPathCommand;

typedef enum VG_ENUM_BASE {
  VG_PATH_CAPABILITY_APPEND_FROM = (1 << 0),
  VG_PATH_CAPABILITY_APPEND_TO = (1 << 1),
  VG_PATH_CAPABILITY_MODIFY = (1 << 2),
  VG_PATH_CAPABILITY_TRANSFORM_FROM = (1 << 3),
  VG_PATH_CAPABILITY_TRANSFORM_TO = (1 << 4),
  VG_PATH_CAPABILITY_INTERPOLATE_FROM = (1 << 5),
  VG_PATH_CAPABILITY_INTERPOLATE_TO = (1 << 6),
  VG_PATH_CAPABILITY_PATH_LENGTH = (1 << 7),
  VG_PATH_CAPABILITY_POINT_ALONG_PATH = (1 << 8),
  VG_PATH_CAPABILITY_TANGENT_ALONG_PATH = (1 << 9),
  VG_PATH_CAPABILITY_PATH_BOUNDS = (1 << 10),
  VG_PATH_CAPABILITY_PATH_TRANSFORMED_BOUNDS = (1 << 11),
  VG_PATH_CAPABILITY_ALL = (1 << 12) - 1,
  VG_PATH_CAPABILITIES_FORCE_SIZE = VG_MAX_ENUM
} VGPathCapabilities;

typedef enum VG_ENUM_BASE {
  VG_PATH_FORMAT = 0x1600,
  VG_PATH_DATATYPE = 0x1601,
  VG_PATH_SCALE = 0x1602,
  VG_PATH_BIAS = 0x1603,
  VG_PATH_NUM_SEGMENTS = 0x1604,
  VG_PATH_NUM_COORDS = 0x1605,
  VG_PATH_PARAM_TYPE_FORCE_SIZE = VG_MAX_ENUM
} VGPathParamType;

typedef enum VG_ENUM_BASE { VG_CAP_BUTT = 0x1700, VG_CAP_ROUND = 0x1701, VG_CAP_SQUARE = 0x1702,
  VG_CAP_STYLE_FORCE_SIZE = VG_MAX_ENUM } VGCapStyle;

typedef enum VG_ENUM_BASE { VG_JOIN_MITER = 0x1800, VG_JOIN_ROUND = 0x1801, VG_JOIN_BEVEL = 0x1802,
  VG_JOIN_STYLE_FORCE_SIZE = VG_MAX_ENUM } VGJoinStyle;

typedef enum VG_ENUM_BASE { VG_EVEN_ODD = 0x1900, VG_NON_ZERO = 0x1901, VG_FILL_RULE_FORCE_SIZE = VG_MAX_ENUM } VGFillRule;

typedef enum VG_ENUM_BASE { VG_STROKE_PATH = (1 << 0), VG_FILL_PATH = (1 << 1),
  VG_PAINT_MODE_FORCE_SIZE = VG_MAX_ENUM } VGPaintMode;

typedef enum VG_ENUM_BASE {
  VG_PAINT_TYPE = 0x1A00,
  VG_PAINT_COLOR = 0x1A01,
  VG_PAINT_COLOR_RAMP_SPREAD_MODE = 0x1A02,
  VG_PAINT_COLOR_RAMP_STOPS = 0x1A03,
  VG_PAINT_LINEAR_GRADIENT = 0x1A04,
  VG_PAINT_RADIAL_GRADIENT = 0x1A05,
  VG_PAINT_PATTERN_TILING_MODE = 0x1A06,
  VG_PAINT_COLOR_RAMP_PREMULTIPLIED = 0x1A07,
  VG_PAINT_PARAM_TYPE_FORCE_SIZE = VG_MAX_ENUM
} VGPaintParamType;

typedef enum VG_ENUM_BASE {
  VG_PAINT_TYPE_COLOR = 0x1B00,
  VG_PAINT_TYPE_LINEAR_GRADIENT = 0x1B01,
  VG_PAINT_TYPE_RADIAL_GRADIENT = 0x1B02,
  VG_PAINT_TYPE_PATTERN = 0x1B03,
  VG_PAINT_TYPE_FORCE_SIZE = VG_MAX_ENUM
} VGPaintType;

typedef enum VG_ENUM_BASE {
  VG_COLOR_RAMP_SPREAD_PAD = 0x1C00,
  VG_COLOR_RAMP_SPREAD_REPEAT = 0x1C01,
  VG_COLOR_RAMP_SPREAD_REFLECT = 0x1C02,
  VG_COLOR_RAMP_SPREAD_MODE_FORCE_SIZE = VG_MAX_ENUM
} VGColorRampSpreadMode;

typedef enum VG_ENUM_BASE { VG_TILE_FILL = 0x1D00, VG_TILE_PAD = 0x1D01, VG_TILE_REPEAT = 0x1D02, VG_TILE_REFLECT = 0x1D03,
  VG_TILING_MODE_FORCE_SIZE = VG_MAX_ENUM } VGTilingMode;

/* Image formats. The 8-bit and packed 16-bit formats are read as native-endian
 * words with the first named channel in the most significant bits; the 1-bit
 * and 4-bit formats hold the leftmost pixel in the least significant bits of
 * each byte. Adding 64, 128 or 192 gives the ARGB, BGRA and ABGR orders. */
typedef enum VG_ENUM_BASE {
  VG_sRGBX_8888 = 0,
  VG_sRGBA_8888 = 1,
  VG_sRGBA_8888_PRE = 2,
  VG_sRGB_565 = 3,
  VG_sRGBA_5551 = 4,
  VG_sRGBA_4444 = 5,
  VG_sL_8 = 6,
  VG_lRGBX_8888 = 7,
  VG_lRGBA_8888 = 8,
  VG_lRGBA_8888_PRE = 9,
  VG_lL_8 = 10,
  VG_A_8 = 11,
  VG_BW_1 = 12,
  VG_A_1 = 13,
  VG_A_4 = 14,

  VG_sXRGB_8888 = 0 | (1 << 6),
  VG_sARGB_8888 = 1 | (1 << 6),
  VG_sARGB_8888_PRE = 2 | (1 << 6),
  VG_sARGB_1555 = 4 | (1 << 6),
  VG_sARGB_4444 = 5 | (1 << 6),
  VG_lXRGB_8888 = 7 | (1 << 6),
  VG_lARGB_8888 = 8 | (1 << 6),
  VG_lARGB_8888_PRE = 9 | (1 << 6),

  VG_sBGRX_8888 = 0 | (1 << 7),
  VG_sBGRA_8888 = 1 | (1 << 7),
  VG_sBGRA_8888_PRE = 2 | (1 << 7),
  VG_sBGR_565 = 3 | (1 << 7),
  VG_sBGRA_5551 = 4 | (1 << 7),
  VG_sBGRA_4444 = 5 | (1 << 7),
  VG_lBGRX_8888 = 7 | (1 << 7),
  VG_lBGRA_8888 = 8 | (1 << 7),
  VG_lBGRA_8888_PRE = 9 | (1 << 7),

  VG_sXBGR_8888 = 0 | (1 << 6) | (1 << 7),
  VG_sABGR_8888 = 1 | (1 << 6) | (1 << 7),
  VG_sABGR_8888_PRE = 2 | (1 << 6) | (1 << 7),
  VG_sABGR_1555 = 4 | (1 << 6) | (1 << 7),
  VG_sABGR_4444 = 5 | (1 << 6) | (1 << 7),
  VG_lXBGR_8888 = 7 | (1 << 6) | (1 << 7),
  VG_lABGR_8888 = 8 | (1 << 6) | (1 << 7),
  VG_lABGR_8888_PRE = 9 | (1 << 6) | (1 << 7),
  VG_IMAGE_FORMAT_FORCE_SIZE = VG_MAX_ENUM
} VGImageFormat;

typedef enum VG_ENUM_BASE { VG_IMAGE_FORMAT = 0x1E00, VG_IMAGE_WIDTH = 0x1E01, VG_IMAGE_HEIGHT = 0x1E02,
  VG_IMAGE_PARAM_TYPE_FORCE_SIZE = VG_MAX_ENUM } VGImageParamType;

typedef enum VG_ENUM_BASE { VG_IMAGE_QUALITY_NONANTIALIASED = (1 << 0), VG_IMAGE_QUALITY_FASTER = (1 << 1),
  VG_IMAGE_QUALITY_BETTER = (1 << 2), VG_IMAGE_QUALITY_FORCE_SIZE = VG_MAX_ENUM } VGImageQuality;

typedef enum VG_ENUM_BASE { VG_DRAW_IMAGE_NORMAL = 0x1F00, VG_DRAW_IMAGE_MULTIPLY = 0x1F01, VG_DRAW_IMAGE_STENCIL = 0x1F02,
  VG_IMAGE_MODE_FORCE_SIZE = VG_MAX_ENUM } VGImageMode;

typedef enum VG_ENUM_BASE { VG_RED = (1 << 3), VG_GREEN = (1 << 2), VG_BLUE = (1 << 1), VG_ALPHA = (1 << 0),
  VG_IMAGE_CHANNEL_FORCE_SIZE = VG_MAX_ENUM } VGImageChannel;

typedef enum VG_ENUM_BASE {
  VG_BLEND_SRC = 0x2000,
  VG_BLEND_SRC_OVER = 0x2001,
  VG_BLEND_DST_OVER = 0x2002,
  VG_BLEND_SRC_IN = 0x2003,
  VG_BLEND_DST_IN = 0x2004,
  VG_BLEND_MULTIPLY = 0x2005,
  VG_BLEND_SCREEN = 0x2006,
  VG_BLEND_DARKEN = 0x2007,
  VG_BLEND_LIGHTEN = 0x2008,
  VG_BLEND_ADDITIVE = 0x2009,
  VG_BLEND_MODE_FORCE_SIZE = VG_MAX_ENUM
} VGBlendMode;

typedef enum VG_ENUM_BASE { VG_IMAGE_FORMAT_QUERY = 0x2100, VG_PATH_DATATYPE_QUERY = 0x2101,
  VG_HARDWARE_QUERY_TYPE_FORCE_SIZE = VG_MAX_ENUM } VGHardwareQueryType;

typedef enum VG_ENUM_BASE { VG_HARDWARE_ACCELERATED = 0x2200, VG_HARDWARE_UNACCELERATED = 0x2201,
  VG_HARDWARE_QUERY_RESULT_FORCE_SIZE = VG_MAX_ENUM } VGHardwareQueryResult;

typedef enum VG_ENUM_BASE { VG_VENDOR = 0x2300, VG_RENDERER = 0x2301, VG_VERSION = 0x2302, VG_EXTENSIONS = 0x2303,
  VG_STRING_ID_FORCE_SIZE = VG_MAX_ENUM } VGStringID;

/* Errors and synchronisation */
VG_API_CALL VGErrorCode VG_API_ENTRY vgGetError(void) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgFlush(void) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgFinish(void) VG_API_EXIT;

/* Context parameters */
VG_API_CALL void VG_API_ENTRY vgSetf(VGParamType type, VGfloat value) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSeti(VGParamType type, VGint value) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetfv(VGParamType type, VGint count, const VGfloat *values) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetiv(VGParamType type, VGint count, const VGint *values) VG_API_EXIT;
VG_API_CALL VGfloat VG_API_ENTRY vgGetf(VGParamType type) VG_API_EXIT;
VG_API_CALL VGint VG_API_ENTRY vgGeti(VGParamType type) VG_API_EXIT;
VG_API_CALL VGint VG_API_ENTRY vgGetVectorSize(VGParamType type) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgGetfv(VGParamType type, VGint count, VGfloat *values) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgGetiv(VGParamType type, VGint count, VGint *values) VG_API_EXIT;

/* Object parameters */
VG_API_CALL void VG_API_ENTRY vgSetParameterf(VGHandle object, VGint paramType, VGfloat value) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetParameteri(VGHandle object, VGint paramType, VGint value) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetParameterfv(VGHandle object, VGint paramType, VGint count,
                                               const VGfloat *values) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetParameteriv(VGHandle object, VGint paramType, VGint count,
                                               const VGint *values) VG_API_EXIT;
VG_API_CALL VGfloat VG_API_ENTRY vgGetParameterf(VGHandle object, VGint paramType) VG_API_EXIT;
VG_API_CALL VGint VG_API_ENTRY vgGetParameteri(VGHandle object, VGint paramType) VG_API_EXIT;
VG_API_CALL VGint VG_API_ENTRY vgGetParameterVectorSize(VGHandle object, VGint paramType) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgGetParameterfv(VGHandle object, VGint paramType, VGint count,
                                               VGfloat *values) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgGetParameteriv(VGHandle object, VGint paramType, VGint count,
                                               VGint *values) VG_API_EXIT;

/* Matrices */
VG_API_CALL void VG_API_ENTRY vgLoadIdentity(void) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgLoadMatrix(const VGfloat *m) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgGetMatrix(VGfloat *m) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgMultMatrix(const VGfloat *m) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgTranslate(VGfloat tx, VGfloat ty) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgScale(VGfloat sx, VGfloat sy) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgShear(VGfloat shx, VGfloat shy) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgRotate(VGfloat angle) VG_API_EXIT;

/* Paths */
VG_API_CALL VGPath VG_API_ENTRY vgCreatePath(VGint pathFormat, VGPathDatatype datatype, VGfloat scale,
                                             VGfloat bias, VGint segmentCapacityHint,
                                             VGint coordCapacityHint, VGbitfield capabilities) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgClearPath(VGPath path, VGbitfield capabilities) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgDestroyPath(VGPath path) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgRemovePathCapabilities(VGPath path, VGbitfield capabilities) VG_API_EXIT;
VG_API_CALL VGbitfield VG_API_ENTRY vgGetPathCapabilities(VGPath path) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgAppendPath(VGPath dstPath, VGPath srcPath) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgAppendPathData(VGPath dstPath, VGint numSegments, const VGubyte *pathSegments,
                                               const void *pathData) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgModifyPathCoords(VGPath dstPath, VGint startIndex, VGint numSegments,
                                                 const void *pathData) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgTransformPath(VGPath dstPath, VGPath srcPath) VG_API_EXIT;
VG_API_CALL VGboolean VG_API_ENTRY vgInterpolatePath(VGPath dstPath, VGPath startPath, VGPath endPath,
                                                     VGfloat amount) VG_API_EXIT;
VG_API_CALL VGfloat VG_API_ENTRY vgPathLength(VGPath path, VGint startSegment, VGint numSegments) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgPointAlongPath(VGPath path, VGint startSegment, VGint numSegments,
                                               VGfloat distance, VGfloat *x, VGfloat *y, VGfloat *tangentX,
                                               VGfloat *tangentY) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgPathBounds(VGPath path, VGfloat *minX, VGfloat *minY, VGfloat *width,
                                           VGfloat *height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgPathTransformedBounds(VGPath path, VGfloat *minX, VGfloat *minY,
                                                      VGfloat *width, VGfloat *height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgDrawPath(VGPath path, VGbitfield paintModes) VG_API_EXIT;

/* Paint */
VG_API_CALL VGPaint VG_API_ENTRY vgCreatePaint(void) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgDestroyPaint(VGPaint paint) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetPaint(VGPaint paint, VGbitfield paintModes) VG_API_EXIT;
VG_API_CALL VGPaint VG_API_ENTRY vgGetPaint(VGPaintMode paintMode) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetColor(VGPaint paint, VGuint rgba) VG_API_EXIT;
VG_API_CALL VGuint VG_API_ENTRY vgGetColor(VGPaint paint) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgPaintPattern(VGPaint paint, VGImage pattern) VG_API_EXIT;

/* Images */
VG_API_CALL VGImage VG_API_ENTRY vgCreateImage(VGImageFormat format, VGint width, VGint height,
                                               VGbitfield allowedQuality) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgDestroyImage(VGImage image) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgClearImage(VGImage image, VGint x, VGint y, VGint width,
                                           VGint height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgImageSubData(VGImage image, const void *data, VGint dataStride,
                                             VGImageFormat dataFormat, VGint x, VGint y, VGint width,
                                             VGint height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgGetImageSubData(VGImage image, void *data, VGint dataStride,
                                                VGImageFormat dataFormat, VGint x, VGint y,
                                                VGint width, VGint height) VG_API_EXIT;
VG_API_CALL VGImage VG_API_ENTRY vgChildImage(VGImage parent, VGint x, VGint y, VGint width,
                                              VGint height) VG_API_EXIT;
VG_API_CALL VGImage VG_API_ENTRY vgGetParent(VGImage image) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgCopyImage(VGImage dst, VGint dx, VGint dy, VGImage src, VGint sx,
                                          VGint sy, VGint width, VGint height,
                                          VGboolean dither) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgDrawImage(VGImage image) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgSetPixels(VGint dx, VGint dy, VGImage src, VGint sx, VGint sy,
                                          VGint width, VGint height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgWritePixels(const void *data, VGint dataStride,
                                            VGImageFormat dataFormat, VGint dx, VGint dy,
                                            VGint width, VGint height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgGetPixels(VGImage dst, VGint dx, VGint dy, VGint sx, VGint sy,
                                          VGint width, VGint height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgReadPixels(void *data, VGint dataStride, VGImageFormat dataFormat,
                                           VGint sx, VGint sy, VGint width,
                                           VGint height) VG_API_EXIT;
VG_API_CALL void VG_API_ENTRY vgCopyPixels(VGint dx, VGint dy, VGint sx, VGint sy, VGint width,
                                           VGint height) VG_API_EXIT;

/* Drawing surface */
VG_API_CALL void VG_API_ENTRY vgClear(VGint x, VGint y, VGint width, VGint height) VG_API_EXIT;

/* Queries */
VG_API_CALL VGHardwareQueryResult VG_API_ENTRY vgHardwareQuery(VGHardwareQueryType key,
                                                              VGint setting) VG_API_EXIT;
VG_API_CALL const VGubyte *VG_API_ENTRY vgGetString(VGStringID name) VG_API_EXIT;

#ifdef __cplusplus
}
#endif

#endif
