// The vector context: all state the standard calls read and write, and the
// registry of path and paint handles. No OpenGL here; a context created
// without a renderer (as the unit tests do) does everything except drawing.
#pragma once

#include <VG/openvg.h>

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/matrix.hpp"
#include "core/rect.hpp"

namespace tq {

// Limits reported through the VG_MAX_* parameters.
inline constexpr int kMaxScissorRects = 32;
inline constexpr int kMaxDashCount = 16;
inline constexpr int kMaxColorRampStops = 32;

// How a context or object parameter is passed: the shared rules of the
// vgSet*/vgGet* families depend only on this.
struct ParamShape {
  int size = 1;            // 1: scalar; n > 1: exactly n values; 0: variable length
  int maxSize = 0;         // variable length: the most values accepted
  int multiple = 1;        // variable length: the count must be a multiple of this
  bool keepFirst = false;  // variable length: longer counts keep the first maxSize values
  bool readOnly = false;   // sets are validated, then ignored
};

struct Context;
struct Path;        // core/path.hpp
struct Paint;       // core/paint.hpp
struct Image;       // core/image.hpp
struct FormatInfo;  // core/pixel_formats.hpp

// What draws for a context: the entry points hand it whole draws, checked
// already. Destroying one frees its memory and makes no OpenGL call (at
// process exit none may be made any more). The draws may throw
// std::bad_alloc, which the entry points report.
class Renderer {
 public:
  virtual ~Renderer() = default;
  virtual void setSurface(int width, int height) = 0;
  virtual void clear(const Context& ctx, const IntRect& rect) = 0;
  virtual void drawPath(const Context& ctx, const Path& path, VGbitfield paintModes) = 0;
  virtual void drawImage(const Context& ctx, const Image& image) = 0;
  // The pixel calls between images or memory and the surface, arguments
  // checked; rectangles are clipped here.
  virtual void setPixels(const Context& ctx, VGint dx, VGint dy, const Image& src, VGint sx,
                         VGint sy, VGint width, VGint height) = 0;
  virtual void writePixels(const Context& ctx, const void* data, VGint stride,
                           const FormatInfo& format, VGint dx, VGint dy, VGint width,
                           VGint height) = 0;
  virtual void getPixels(const Context& ctx, Image& dst, VGint dx, VGint dy, VGint sx, VGint sy,
                         VGint width, VGint height) = 0;
  virtual void readPixels(const Context& ctx, void* data, VGint stride, const FormatInfo& format,
                          VGint sx, VGint sy, VGint width, VGint height) = 0;
  virtual void copyPixels(const Context& ctx, VGint dx, VGint dy, VGint sx, VGint sy, VGint width,
                          VGint height) = 0;
  // Releases the graphics objects while their context is still current.
  virtual void releaseGl() = 0;
};

struct Context {
  Context();
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // The oldest error not yet read by vgGetError.
  VGErrorCode error = VG_NO_ERROR;

  // Context parameters (defaults of the standard).
  VGMatrixMode matrixMode = VG_MATRIX_PATH_USER_TO_SURFACE;
  VGFillRule fillRule = VG_EVEN_ODD;
  VGImageQuality imageQuality = VG_IMAGE_QUALITY_FASTER;
  VGRenderingQuality renderingQuality = VG_RENDERING_QUALITY_BETTER;
  VGBlendMode blendMode = VG_BLEND_SRC_OVER;
  VGImageMode imageMode = VG_DRAW_IMAGE_NORMAL;
  std::vector<VGint> scissorRects;  // x, y, width, height quadruples as given
  bool scissoring = false;
  bool masking = false;
  float strokeLineWidth = 1.0f;
  VGCapStyle strokeCapStyle = VG_CAP_BUTT;
  VGJoinStyle strokeJoinStyle = VG_JOIN_MITER;
  float strokeMiterLimit = 4.0f;
  std::vector<float> strokeDashPattern;
  float strokeDashPhase = 0.0f;
  bool strokeDashPhaseReset = false;
  std::array<float, 4> tileFillColor{0, 0, 0, 0};
  std::array<float, 4> clearColor{0, 0, 0, 0};
  std::array<float, 2> glyphOrigin{0, 0};
  VGPixelLayout pixelLayout = VG_PIXEL_LAYOUT_UNKNOWN;
  bool filterFormatLinear = false;
  bool filterFormatPremultiplied = false;
  VGbitfield filterChannelMask = VG_RED | VG_GREEN | VG_BLUE | VG_ALPHA;
  bool colorTransform = false;
  // Scale r, g, b, a then bias r, g, b, a.
  std::array<float, 8> colorTransformValues{1, 1, 1, 1, 0, 0, 0, 0};

  // One matrix per mode, indexed by mode - VG_MATRIX_PATH_USER_TO_SURFACE.
  std::array<Matrix, 5> matrices{};

  VGPaint fillPaint = VG_INVALID_HANDLE;  // VG_INVALID_HANDLE: the default paint
  VGPaint strokePaint = VG_INVALID_HANDLE;

  int surfaceWidth = 0;
  int surfaceHeight = 0;

  // Null in a context made without OpenGL. Owned, so that a context the
  // program never destroyed still frees its renderer at exit.
  std::unique_ptr<Renderer> renderer;

  // Handle registry shared by paths, paints and images. Handles are never reused,
  // in this context or a later one, so a stale handle stays invalid.
  struct Object;
  std::unordered_map<VGHandle, std::unique_ptr<Object>> objects;
  VGHandle nextHandle = 1;
};

// The current context, or null when there is none.
Context* currentContext();

// Makes a context without a renderer current; null when one exists already or
// a size is negative. The context calls of vgext.h build on this.
Context* createContext(int width, int height);
// Frees the current context and its renderer's memory (not its OpenGL
// objects: vgDestroyContextTQ releases those first).
void destroyContext();

// Records err unless an older error is still unread.
void setError(Context& ctx, VGErrorCode err);

const Matrix& pathUserToSurface(const Context& ctx);

// Registry. Lookups return null for unknown, destroyed or wrong-kind handles.
VGHandle addPath(Context& ctx, std::unique_ptr<Path> path);
VGHandle addPaint(Context& ctx, std::unique_ptr<Paint> paint);
Path* lookupPath(Context& ctx, VGHandle handle);
Paint* lookupPaint(Context& ctx, VGHandle handle);
VGHandle addImage(Context& ctx, std::unique_ptr<Image> image);
Image* lookupImage(Context& ctx, VGHandle handle);
void removeObject(Context& ctx, VGHandle handle);

// The fill paint's colour as stored (not yet clamped): the default paint is
// opaque black.
std::array<float, 4> fillColor(const Context& ctx);
// Likewise for the stroke paint.
std::array<float, 4> strokeColor(const Context& ctx);

}  // namespace tq
