// Saves the OpenGL state a vector call changes and puts it back on scope exit,
// so that the application's own drawing between vector calls is unaffected.
// Queries are cheap next to a draw and the application may change anything
// between calls, so nothing is cached.
#pragma once

#include <epoxy/gl.h>

namespace tq {

class CapabilityList {
 public:
  void save(GLenum cap) {
    caps_[count_] = cap;
    on_[count_] = glIsEnabled(cap);
    ++count_;
  }
  void disableAll() {
    for (int i = 0; i < count_; ++i)
      if (on_[i]) glDisable(caps_[i]);
  }
  void restore() {
    for (int i = 0; i < count_; ++i)
      if (on_[i]) glEnable(caps_[i]);
  }

 private:
  GLenum caps_[32];
  GLboolean on_[32];
  int count_ = 0;
};

// State touched by a fill: program, vertex array, textures and samplers of
// units 0 and 1, storage buffer binding 0 when coverage goes through it,
// uniform buffer binding 0 when squares go through it,
// program point size, framebuffer bindings, viewport, blending, colour mask,
// polygon mode, pixel unpacking, and the per-fragment tests and clip
// distances (switched off).
// Multisampling is switched off too: each pixel then belongs wholly to the
// piece of the fill its centre lies in, and takes one value in all samples.
class DrawStateGuard {
 public:
  // clipDistances: how many clip distances the implementation has (at most
  // 8 are looked at); our shaders write none, so enabled ones are switched off.
  DrawStateGuard(bool compatibility, bool storageBuffer, int clipDistances,
                 bool uniformBuffer = false)
      : compatibility_(compatibility),
        storageBuffer_(storageBuffer),
        uniformBuffer_(uniformBuffer) {
    if (uniformBuffer_) {
      glGetIntegerv(GL_UNIFORM_BUFFER_BINDING, &uniform_);
      glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, 0, &uniform0_);
      glGetInteger64i_v(GL_UNIFORM_BUFFER_START, 0, &uniform0Start_);
      glGetInteger64i_v(GL_UNIFORM_BUFFER_SIZE, 0, &uniform0Size_);
    }
    if (storageBuffer_) {
      glGetIntegerv(GL_SHADER_STORAGE_BUFFER_BINDING, &storage_);
      glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, 0, &storage0_);
      glGetInteger64i_v(GL_SHADER_STORAGE_BUFFER_START, 0, &storage0Start_);
      glGetInteger64i_v(GL_SHADER_STORAGE_BUFFER_SIZE, 0, &storage0Size_);
    }
    glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray_);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
    for (int unit = 0; unit < 2; ++unit) {
      glActiveTexture(GLenum(GL_TEXTURE0 + unit));
      glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_[unit]);
      glGetIntegerv(GL_SAMPLER_BINDING, &sampler_[unit]);
      if (sampler_[unit]) glBindSampler(GLuint(unit), 0);
    }
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer_);
    glGetIntegerv(GL_VIEWPORT, viewport_);
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSrcRgb_);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDstRgb_);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendSrcAlpha_);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &blendDstAlpha_);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &blendEquationRgb_);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &blendEquationAlpha_);
    glGetBooleanv(GL_COLOR_WRITEMASK, colorMask_);
    glGetIntegerv(GL_POLYGON_MODE, polygonMode_);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment_);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &unpackRowLength_);
    glGetIntegerv(GL_UNPACK_SKIP_ROWS, &unpackSkipRows_);
    glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &unpackSkipPixels_);
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer_);
    blendOn_ = glIsEnabled(GL_BLEND);
    for (GLenum cap :
         {GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_DEPTH_TEST, GL_CULL_FACE, GL_COLOR_LOGIC_OP,
          GL_RASTERIZER_DISCARD, GL_FRAMEBUFFER_SRGB, GL_SAMPLE_ALPHA_TO_COVERAGE,
          GL_SAMPLE_COVERAGE, GL_SAMPLE_MASK, GL_POLYGON_SMOOTH, GL_MULTISAMPLE}) {
      tests_.save(cap);
    }
    if (compatibility_) {
      tests_.save(GL_ALPHA_TEST);
      tests_.save(GL_POLYGON_STIPPLE);
      tests_.save(GL_POINT_SMOOTH);
    }
    for (int i = 0; i < clipDistances && i < 8; ++i) tests_.save(GLenum(GL_CLIP_DISTANCE0 + i));
    programPointSize_ = glIsEnabled(GL_PROGRAM_POINT_SIZE);
    tests_.disableAll();
    if (unpackBuffer_) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  }

  ~DrawStateGuard() {
    tests_.restore();
    if (!programPointSize_) glDisable(GL_PROGRAM_POINT_SIZE);
    glUseProgram(GLuint(program_));
    glBindVertexArray(GLuint(vertexArray_));
    for (int unit = 0; unit < 2; ++unit) {
      glActiveTexture(GLenum(GL_TEXTURE0 + unit));
      glBindTexture(GL_TEXTURE_2D, GLuint(texture_[unit]));
      if (sampler_[unit]) glBindSampler(GLuint(unit), GLuint(sampler_[unit]));
    }
    glActiveTexture(GLenum(activeTexture_));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer_));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer_));
    glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
    glBlendFuncSeparate(GLenum(blendSrcRgb_), GLenum(blendDstRgb_), GLenum(blendSrcAlpha_),
                        GLenum(blendDstAlpha_));
    glBlendEquationSeparate(GLenum(blendEquationRgb_), GLenum(blendEquationAlpha_));
    if (blendOn_)
      glEnable(GL_BLEND);
    else
      glDisable(GL_BLEND);
    glColorMask(colorMask_[0], colorMask_[1], colorMask_[2], colorMask_[3]);
    if (compatibility_) {
      glPolygonMode(GL_FRONT, GLenum(polygonMode_[0]));
      glPolygonMode(GL_BACK, GLenum(polygonMode_[1]));
    } else {
      glPolygonMode(GL_FRONT_AND_BACK, GLenum(polygonMode_[0]));
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment_);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, unpackRowLength_);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, unpackSkipRows_);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, unpackSkipPixels_);
    if (unpackBuffer_) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, GLuint(unpackBuffer_));
    if (uniformBuffer_) {
      if (uniform0Size_ > 0)
        glBindBufferRange(GL_UNIFORM_BUFFER, 0, GLuint(uniform0_), uniform0Start_, uniform0Size_);
      else
        glBindBufferBase(GL_UNIFORM_BUFFER, 0, GLuint(uniform0_));
      glBindBuffer(GL_UNIFORM_BUFFER, GLuint(uniform_));
    }
    if (storageBuffer_) {
      // A whole-buffer binding reports size 0.
      if (storage0Size_ > 0)
        glBindBufferRange(GL_SHADER_STORAGE_BUFFER, 0, GLuint(storage0_), storage0Start_,
                          storage0Size_);
      else
        glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, GLuint(storage0_));
      glBindBuffer(GL_SHADER_STORAGE_BUFFER, GLuint(storage_));
    }
  }

  DrawStateGuard(const DrawStateGuard&) = delete;
  DrawStateGuard& operator=(const DrawStateGuard&) = delete;

 private:
  bool compatibility_;
  bool storageBuffer_;  // the coverage goes through storage buffer binding 0
  bool uniformBuffer_;  // squares go through uniform buffer binding 0
  GLint uniform_ = 0, uniform0_ = 0;
  GLint64 uniform0Start_ = 0, uniform0Size_ = 0;
  GLint storage_ = 0, storage0_ = 0;
  GLint64 storage0Start_ = 0, storage0Size_ = 0;
  GLint program_ = 0, vertexArray_ = 0, activeTexture_ = GL_TEXTURE0;
  GLint texture_[2] = {0, 0}, sampler_[2] = {0, 0};
  GLint drawFramebuffer_ = 0, readFramebuffer_ = 0;
  GLint viewport_[4] = {0, 0, 0, 0};
  GLint blendSrcRgb_ = GL_ONE, blendDstRgb_ = GL_ZERO, blendSrcAlpha_ = GL_ONE,
        blendDstAlpha_ = GL_ZERO;
  GLint blendEquationRgb_ = GL_FUNC_ADD, blendEquationAlpha_ = GL_FUNC_ADD;
  GLboolean colorMask_[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
  GLint polygonMode_[2] = {GL_FILL, GL_FILL};
  GLint unpackAlignment_ = 4, unpackRowLength_ = 0, unpackSkipRows_ = 0, unpackSkipPixels_ = 0;
  GLint unpackBuffer_ = 0;
  GLboolean blendOn_ = GL_FALSE;
  GLboolean programPointSize_ = GL_FALSE;  // points take their size from the vertex shader
  CapabilityList tests_;
};

// State touched by a clear: clear colour, colour mask, scissor and the draw
// framebuffer (the window's is cleared).
class ClearStateGuard {
 public:
  explicit ClearStateGuard(bool) {
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor_);
    glGetBooleanv(GL_COLOR_WRITEMASK, colorMask_);
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox_);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer_);
    scissorOn_ = glIsEnabled(GL_SCISSOR_TEST);
    tests_.save(GL_RASTERIZER_DISCARD);
    tests_.save(GL_FRAMEBUFFER_SRGB);
    tests_.disableAll();
    if (drawFramebuffer_) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  }
  ~ClearStateGuard() {
    tests_.restore();
    glClearColor(clearColor_[0], clearColor_[1], clearColor_[2], clearColor_[3]);
    glColorMask(colorMask_[0], colorMask_[1], colorMask_[2], colorMask_[3]);
    glScissor(scissorBox_[0], scissorBox_[1], scissorBox_[2], scissorBox_[3]);
    if (scissorOn_)
      glEnable(GL_SCISSOR_TEST);
    else
      glDisable(GL_SCISSOR_TEST);
    if (drawFramebuffer_) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer_));
  }
  ClearStateGuard(const ClearStateGuard&) = delete;
  ClearStateGuard& operator=(const ClearStateGuard&) = delete;

 private:
  GLfloat clearColor_[4] = {0, 0, 0, 0};
  GLboolean colorMask_[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
  GLint scissorBox_[4] = {0, 0, 0, 0};
  GLint drawFramebuffer_ = 0;
  GLboolean scissorOn_ = GL_FALSE;
  CapabilityList tests_;
};

}  // namespace tq
