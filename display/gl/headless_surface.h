// A drawing surface without a window: an EGL surfaceless context (Mesa) with the fixed-function
// pipeline, drawing into a framebuffer object that can be read back and saved as PNG.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "display/gl/PixelFormat.h"

namespace velmora {

struct HeadlessError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class HeadlessSurface {
 public:
  // A width x height surface (the client area of a window of that size) whose context is current
  // when the constructor returns. Throws HeadlessError naming what is missing when EGL, the
  // compatibility profile or the framebuffer object is not available.
  HeadlessSurface(int width, int height);
  ~HeadlessSurface();
  HeadlessSurface(const HeadlessSurface&) = delete;
  HeadlessSurface& operator=(const HeadlessSurface&) = delete;

  void makeCurrent();
  int width() const { return width_; }
  int height() const { return height_; }
  // What the surface was given (SETDCPIXELFORMAT's read-back).
  const PixelFormat& format() const { return PFD_; }

  // The picture as RGBA bytes, rows from the top of the picture down.
  std::vector<unsigned char> read();
  // One pixel in the drawing coordinates of OpenGL: x from the left, y from the bottom.
  std::array<unsigned char, 4> pixel(int x, int y);
  // Saves the picture (RGB) through a temporary file renamed into place; throws HeadlessError.
  void savePng(const std::string& path);

 private:
  struct Gl;
  int width_, height_;
  PixelFormat PFD_;
  void* display_ = nullptr;
  void* context_ = nullptr;
  unsigned fbo_ = 0, colour_ = 0, depth_ = 0;
};

// Writes RGB rows (top-down, 3 bytes a pixel) as an 8-bit PNG through a temporary file renamed into
// place; false with a message when the file cannot be written (nothing is left behind then).
bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb,
              std::string& error);

}  // namespace velmora
