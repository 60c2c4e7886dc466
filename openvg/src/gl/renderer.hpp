// The one OpenGL renderer: composites CPU-computed coverage onto the window
// and clears it, leaving the application's OpenGL state as it found it.
#pragma once

#include <VG/openvg.h>

#include <array>
#include <memory>
#include <vector>

#include "draw/compositor.hpp"
#include "gl/pieces.hpp"
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
  void fill(const CoverageMask& mask, const std::array<float, 4>& color, VGBlendMode mode) override;
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
  // Puts program in use with the uniforms of a blended draw (mode is the
  // shader's blend mode), or of an unblended one, with blending switched off.
  void useBlended(const Program& program, const IntRect& box, int mode, const float* premultiplied);
  void useSolid(const Program& program, const float* premultiplied);
  // Draw with the program in use, as many a call as its arrays hold: trapezoids
  // as trapezoids, squares as points. A point whose centre lies outside the
  // viewport is not drawn at all, so squares that reach past the surface's
  // sides are added to the blended trapezoids instead, to be drawn after.
  void drawTrapezoids(const Program& program, const std::vector<Trapezoid>& trapezoids,
                      const IntRect& box);
  void drawPoints(const Program& program, const std::vector<Square>& squares, const IntRect& box);

  const void* glContext_ = nullptr;  // the context our objects live in
  bool compatibility_ = false;
  int clipDistances_ = 0;  // the implementation's, for the state guard
  int maxViewport_[2] = {0, 0};
  int surfaceWidth_ = 0;
  int surfaceHeight_ = 0;
  struct Program {
    unsigned id = 0;
    int uSides = -1, uRows = -1, uSurface = -1, uOrigin = -1, uColor = -1, uMode = -1, uSize = -1;
  };
  bool link(Program& program, unsigned vertexShader, const char* fragmentSource);
  Program general_;  // every blend mode
  Program simple_;   // the modes that need only the source
  Program solid_;    // the paint alone, for fully covered pixels
  // Blocks of pixels as points: along the outline with either blend, and
  // the fully covered ones merged into squares.
  bool blockPoints_ = false;
  Program pointGeneral_;
  Program pointSimple_;
  Program pointSolid_;
  int maxSquareLevel_ = 0;  // fully covered blocks merge into squares up to 4 << this
  unsigned vertexArray_ = 0;
  // Coverage goes to the next store of a small ring each draw: writing one
  // that a draw not yet executed still reads makes the driver finish that
  // work first, which would serialise every fill with the one before. The
  // stores are storage buffers (width in bytes) or, before OpenGL 4.3,
  // textures.
  static constexpr int kCoverageRing = 4;
  struct CoverageStore {
    unsigned name = 0;
    int width = 0;
    int height = 0;
  };
  bool bufferCoverage_ = false;
  CoverageStore coverage_[kCoverageRing];
  int nextCoverage_ = 0;
  unsigned destinationTexture_ = 0;
  int destinationWidth_ = 0;
  int destinationHeight_ = 0;
  unsigned destinationFramebuffer_ = 0;
  static constexpr int kMaxTrapezoids = 128;  // as the vertex shader's arrays hold
  CoverPieces pieces_;
  float sides_[kMaxTrapezoids * 4] = {};
  float rows_[kMaxTrapezoids * 2] = {};
};

}  // namespace tq
