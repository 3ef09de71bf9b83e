// SETDCPIXELFORMAT: reads back the colour and depth sizes of the current draw buffer.
#include "display/gl/PixelFormat.h"

#include "display/gl/gl.h"

namespace velmora {

void SETDCPIXELFORMAT(PixelFormat& PFD) {
  GLint r = 0, g = 0, b = 0, a = 0, d = 0;
  glGetIntegerv(GL_RED_BITS, &r);
  glGetIntegerv(GL_GREEN_BITS, &g);
  glGetIntegerv(GL_BLUE_BITS, &b);
  glGetIntegerv(GL_ALPHA_BITS, &a);
  glGetIntegerv(GL_DEPTH_BITS, &d);
  if (r + g + b == 0) return;  // no context or no draw buffer: keep the request
  PFD.redBits = r;
  PFD.greenBits = g;
  PFD.blueBits = b;
  PFD.alphaBits = a;
  PFD.colorBits = r + g + b;
  PFD.depthBits = d;
}

}  // namespace velmora
