// HeadlessSurface: EGL surfaceless display, compatibility-profile context, framebuffer object.
#include "display/gl/headless_surface.h"

#include <algorithm>
#include <cstdio>

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "display/gl/gl.h"
#include <GL/glext.h>

namespace velmora {

// Entry points of the framebuffer objects, taken from EGL.
struct HeadlessSurface::Gl {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;

  template <class F>
  static void get(F& f, const char* name) {
    f = reinterpret_cast<F>(eglGetProcAddress(name));
    if (!f) throw HeadlessError(std::string("OpenGL entry point ") + name + " is not available");
  }
  Gl() {
    get(genFramebuffers, "glGenFramebuffers");
    get(deleteFramebuffers, "glDeleteFramebuffers");
    get(bindFramebuffer, "glBindFramebuffer");
    get(framebufferRenderbuffer, "glFramebufferRenderbuffer");
    get(checkFramebufferStatus, "glCheckFramebufferStatus");
    get(genRenderbuffers, "glGenRenderbuffers");
    get(deleteRenderbuffers, "glDeleteRenderbuffers");
    get(bindRenderbuffer, "glBindRenderbuffer");
    get(renderbufferStorage, "glRenderbufferStorage");
  }
};

namespace {

// One display for the process: terminating it would end every context made on it.
EGLDisplay surfacelessDisplay() {
  static EGLDisplay display = [] {
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return EGL_NO_DISPLAY;
    EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (d == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(d, &major, &minor)) return EGL_NO_DISPLAY;
    return d;
  }();
  return display;
}

std::string eglErrorText(const char* what) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s failed (EGL error 0x%04X)", what, static_cast<unsigned>(eglGetError()));
  return buf;
}

}  // namespace

HeadlessSurface::HeadlessSurface(int width, int height) : width_(width), height_(height) {
  if (width < 1 || height < 1 || width > 16384 || height > 16384)
    throw HeadlessError("surface size " + std::to_string(width) + " x " + std::to_string(height) +
                        " is outside 1..16384");
  EGLDisplay d = surfacelessDisplay();
  if (d == EGL_NO_DISPLAY)
    throw HeadlessError("no headless OpenGL: the EGL surfaceless platform (Mesa, libegl-mesa0) is not available");
  if (!eglBindAPI(EGL_OPENGL_API)) throw HeadlessError(eglErrorText("eglBindAPI(EGL_OPENGL_API)"));
  const EGLint attribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext c = eglCreateContext(d, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attribs);
  if (c == EGL_NO_CONTEXT) throw HeadlessError(eglErrorText("creating a compatibility-profile OpenGL context"));
  display_ = d;
  context_ = c;
  try {
    makeCurrent();
    Gl gl;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width > maxSize || height > maxSize)
      throw HeadlessError("surface size " + std::to_string(width) + " x " + std::to_string(height) +
                          " exceeds the renderer's limit of " + std::to_string(maxSize));
    gl.genFramebuffers(1, &fbo_);
    gl.bindFramebuffer(GL_FRAMEBUFFER, fbo_);
    gl.genRenderbuffers(1, &colour_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, colour_);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    gl.genRenderbuffers(1, &depth_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, depth_);
    // The 32-bit depth request, or the closest the renderer has.
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32, width, height);
    if (glGetError() != GL_NO_ERROR) gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    if (gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
      throw HeadlessError("the framebuffer object for " + std::to_string(width) + " x " + std::to_string(height) +
                          " is not complete");
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, width, height);
    SETDCPIXELFORMAT(PFD_);
  } catch (...) {
    eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(d, c);
    throw;
  }
}

HeadlessSurface::~HeadlessSurface() {
  EGLDisplay d = static_cast<EGLDisplay>(display_);
  EGLContext c = static_cast<EGLContext>(context_);
  if (eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, c)) {
    try {
      Gl gl;
      gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
      gl.deleteRenderbuffers(1, &colour_);
      gl.deleteRenderbuffers(1, &depth_);
      gl.deleteFramebuffers(1, &fbo_);
    } catch (const HeadlessError&) {
    }
  }
  eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(d, c);
}

void HeadlessSurface::makeCurrent() {
  if (!eglMakeCurrent(static_cast<EGLDisplay>(display_), EGL_NO_SURFACE, EGL_NO_SURFACE,
                      static_cast<EGLContext>(context_)))
    throw HeadlessError(eglErrorText("making the headless context current"));
}

std::vector<unsigned char> HeadlessSurface::read() {
  makeCurrent();
  glFinish();
  const auto w = static_cast<std::size_t>(width_), h = static_cast<std::size_t>(height_);
  std::vector<unsigned char> bottomUp(w * h * 4), out(w * h * 4);
  GLint align = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &align);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  glPixelStorei(GL_PACK_ALIGNMENT, align);
  for (std::size_t row = 0; row < h; ++row)
    std::copy_n(bottomUp.data() + row * w * 4, w * 4, out.data() + (h - 1 - row) * w * 4);
  return out;
}

std::array<unsigned char, 4> HeadlessSurface::pixel(int x, int y) {
  std::array<unsigned char, 4> p{};
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return p;
  makeCurrent();
  glFinish();
  GLint align = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &align);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  glPixelStorei(GL_PACK_ALIGNMENT, align);
  return p;
}

void HeadlessSurface::savePng(const std::string& path) {
  const std::vector<unsigned char> rgba = read();
  std::vector<unsigned char> rgb(rgba.size() / 4 * 3);
  for (std::size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) {
    rgb[j] = rgba[i];
    rgb[j + 1] = rgba[i + 1];
    rgb[j + 2] = rgba[i + 2];
  }
  std::string error;
  if (!writePng(path, width_, height_, rgb, error)) throw HeadlessError(error);
}

}  // namespace velmora
