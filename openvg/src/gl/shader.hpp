// Compiling the renderer's shaders, shared by its programs.
#pragma once

#include <epoxy/gl.h>

#include <initializer_list>

namespace tq {

// A shader from its source parts in order (the first holds the version
// line); 0 when it does not compile.
inline GLuint compileShader(GLenum type, std::initializer_list<const char*> sources) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, GLsizei(sources.size()), sources.begin(), nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace tq
