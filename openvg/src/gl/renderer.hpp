// The one OpenGL renderer: composites CPU-computed coverage onto the window
// and clears it, leaving the application's OpenGL state as it found it.
#pragma once

#include <VG/openvg.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "draw/compositor.hpp"
#include "draw/draw_paint.hpp"
#include "gl/pieces.hpp"
#include "gl/surface_pixels.hpp"
#include "gl/textures.hpp"
#include "raster/coverage.hpp"

namespace tq {

class GlRenderer final : public Compositor {
 public:
  // Needs a current OpenGL 3.3 context, compatibility or core profile.
  // Returns null when there is none.
  static std::unique_ptr<GlRenderer> create();
  GlRenderer(const GlRenderer&) = delete;
  GlRenderer& operator=(const GlRenderer&) = delete;

  ~GlRenderer() override = default;

  void setSurface(int width, int height) override;
  IntRect drawableLimit() const override { return {0, 0, maxViewport_[0], maxViewport_[1]}; }
  void clear(const IntRect& rect, const std::array<float, 4>& premultiplied, bool scissor,
             const std::vector<VGint>& scissorRects) override;
  void fill(const CoverageMask& mask, const DrawPaint& paint, VGBlendMode mode) override;
  bool surfaceHasAlpha() override { return transfer_.hasAlpha(); }
  void readSurface(const IntRect& rect, std::uint8_t* rgba) override {
    transfer_.read(transferSetup(), rect, rgba);
  }
  void writeSurface(const IntRect& rect, const std::uint8_t* rgba, bool scissor,
                    const std::vector<VGint>& scissorRects) override {
    transfer_.write(transferSetup(), rect, rgba, scissor, scissorRects);
  }
  void trimScratch(size_t bytes) override;
  // Only while the context the objects were made in is current.
  void releaseGl() override;

 private:
  GlRenderer() = default;
  bool init();
  void release();
  bool ensureTexture(unsigned& texture, int& width, int& height, int needW, int needH,
                     unsigned internalFormat, unsigned format);
  bool ensureDestinationCopy(int width, int height);
  // Copies the mask into the next coverage store and binds it.
  void uploadCoverage(const CoverageMask& mask);
  // Puts up to kMaxTrapezoids trapezoids from first on, moved onto the surface, into
  // the uniform arrays; returns how many.
  int packTrapezoids(const std::vector<Trapezoid>& trapezoids, size_t first, const IntRect& box);

  struct Program;
  struct PaintUniforms;
  // Puts program in use with the uniforms of a blended draw (mode is the
  // shader's blend mode), or of an unblended one, with blending switched off.
  void useBlended(Program& program, const IntRect& box, int mode, const PaintUniforms& paint);
  void useSolid(Program& program, const PaintUniforms& paint);
  void setPaint(Program& program, const PaintUniforms& paint);
  // Draw with the program in use, as many a call as its arrays hold:
  // trapezoids as trapezoids, squares as points, those before fullFrom with
  // their coverage from the mask and the others fully covered. A point
  // whose centre lies outside the viewport is not drawn at all, so squares
  // that reach past the surface's sides are added to the blended
  // trapezoids instead, to be drawn after.
  void drawTrapezoids(const Program& program, const std::vector<Trapezoid>& trapezoids,
                      const IntRect& box);
  void drawSquares(const std::vector<Square>& squares, const CoverageMask& mask, size_t fullFrom);

  const void* glContext_ = nullptr;  // the context our objects live in
  bool compatibility_ = false;
  int clipDistances_ = 0;  // the implementation's, for the state guard
  int maxViewport_[2] = {0, 0};
  int surfaceWidth_ = 0;
  int surfaceHeight_ = 0;
  // Fills draw through a viewport of whole 4 x 4 blocks, as far as the
  // implementation allows: a point is not drawn at all when its centre lies
  // outside the viewport, and the blocks of the last column and row of a
  // surface of other sizes would otherwise need their own, dearer pieces.
  // What falls past the window is not drawn.
  int viewport_[2] = {0, 0};

  // What a program does to the pixels of its pieces: every blend mode, the
  // modes that need only the source, or the paint alone for fully covered
  // pixels.
  enum class BlendClass : std::uint8_t { kGeneral, kSimple, kSolid };
  // Trapezoids read coverage from the coverage store; squares as points
  // carry their 16 pixels' coverage with them.
  enum class PieceKind : std::uint8_t { kTrapezoid, kPoint };
  // vgDrawImage's image and how it meets the paint, or none.
  enum class ImageLayer : std::uint8_t { kNone, kNormal, kMultiply, kStencil };
  struct ProgramKey {
    PaintKind paint;
    bool bufferCoverage;
    BlendClass blend;
    PieceKind piece;
    ImageLayer image = ImageLayer::kNone;
    int index() const {
      return (((int(image) * kPaintKinds + int(paint)) * 2 + int(bufferCoverage)) * 3 +
              int(blend)) *
                 2 +
             int(piece);
    }
  };
  static constexpr int kProgramKeys = 4 * kPaintKinds * 2 * 3 * 2;
  static ProgramKey keyFor(const DrawPaint& paint, bool bufferCoverage, BlendClass blend,
                           PieceKind piece);
  // Binds the paint's pattern and the drawn image to their units; false
  // when one cannot be drawn.
  bool bindImages(const DrawPaint& paint);
  struct Program {
    unsigned id = 0;
    bool failed = false;  // not made again draw after draw
    int uSides = -1, uRows = -1, uSurface = -1, uOrigin = -1, uColor = -1, uMode = -1, uSize = -1;
    int uCoverageBase = -1;
    int uLinear = -1, uPaintX = -1, uPaintY = -1, uRadial = -1, uSpread = -1;
    int uOffsets = -1, uStopColors = -1, uStopCount = -1, uPremultiplyAfter = -1;
    int uPatternX = -1, uPatternY = -1, uImageMatrix = -1;
    // The ramp the program's uniforms hold (0: none yet).
    std::uint64_t rampVersion = 0;
  };
  // The program for key, made on first use; null when it cannot be made.
  Program* program(ProgramKey key);
  bool link(Program& program, ProgramKey key);
  Program programs_[kProgramKeys];
  ImageTextures textures_;
  SurfaceTransfer transfer_;
  SurfaceTransfer::Setup transferSetup() const {
    return {compatibility_, false, clipDistances_, surfaceWidth_, surfaceHeight_};
  }
  unsigned vertexShaders_[2] = {0, 0};  // by PieceKind
  // Blocks of pixels as points: along the outline with either blend, and
  // the fully covered ones merged into squares.
  bool blockPoints_ = false;
  int maxSquareLevel_ = 0;  // fully covered blocks merge into squares up to 4 << this
  unsigned vertexArray_ = 0;
  // Writing coverage where a draw not yet executed still reads it makes the
  // driver finish that work first, which would serialise every fill with the
  // one before. From OpenGL 4.3 each draw's coverage goes after the last one
  // in one storage buffer, written unsynchronised, and the buffer's storage
  // is renewed (the old one lives on while draws read it) when it is full:
  // a thousand fills a frame hand no work over. Before, textures in a small
  // ring take it in turn.
  bool bufferCoverage_ = false;
  struct CoverageStream {
    unsigned name = 0;
    size_t size = 0;
    size_t used = 0;  // bytes, whole words
  };
  CoverageStream stream_;
  int coverageBase_ = 0;  // the byte the last fill's coverage starts at
  // Squares reach the vertex stage through a uniform buffer, so that no
  // binding the fragments read changes from fill to fill (a software
  // renderer then keeps its fragment state) and no coverage store is needed
  // unless a piece reaches past the surface's sides. The buffer is a ring,
  // written unsynchronised where no queued draw reads, with a fence at each
  // quarter: renewing or rewriting it would make the driver take new
  // storage for every fill.
  static constexpr int kMaxSquares = 256;  // as the block vertex shader's array holds
  static constexpr unsigned kSquareBinding = 0;
  struct SquareEntry {
    std::uint32_t words[4];
    std::uint32_t code[4];  // column * 8 + level, row * 8; two unused
  };
  SquareEntry squareData_[kMaxSquares] = {};
  static constexpr int kRingSegments = 4;
  static constexpr size_t kSquareRingBytes = size_t(1) << 20;
  struct SquareRing {
    unsigned name = 0;
    size_t used = 0;
    int segment = 0;                   // the one written last
    void* fences[kRingSegments] = {};  // GLsync
  };
  SquareRing squareRing_;
  size_t squareAlignment_ = 256;  // of uniform buffer ranges
  // Writes the first bytes of squareData_ into the ring, with the uniform
  // buffer bound to it; returns where they start.
  size_t writeSquares(size_t bytes);
  static void releaseFences(SquareRing& ring);
  static constexpr int kCoverageRing = 4;
  struct CoverageStore {
    unsigned name = 0;
    int width = 0;
    int height = 0;
  };
  CoverageStore coverage_[kCoverageRing];
  int nextCoverage_ = 0;
  unsigned destinationTexture_ = 0;
  int destinationWidth_ = 0;
  int destinationHeight_ = 0;
  unsigned destinationFramebuffer_ = 0;
  static constexpr int kMaxTrapezoids = 128;  // as the vertex shader's arrays hold
  CoverPieces pieces_;
  // A software renderer keeps a few hundred bytes for every primitive
  // queued, and gives that memory back once the work is done: a frame of a
  // thousand small fills queued whole would take megabytes from the system
  // and fault them in again, frame after frame, at several times the cost
  // of the drawing. Flushed every so many primitives, the queued work stays
  // within memory the allocator keeps and reuses.
  static constexpr size_t kFlushPrimitives = 2048;
  size_t queued_ = 0;  // primitives drawn since the last flush
  float sides_[kMaxTrapezoids * 4] = {};
  float rows_[kMaxTrapezoids * 2] = {};
};

}  // namespace tq
