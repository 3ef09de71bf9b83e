// SETDCPIXELFORMAT: the surface every view draws into.
#pragma once

namespace velmora {

// What a Velmora surface asks for: double-buffered RGBA with 24 colour bits and a 32-bit depth
// request, OpenGL with the fixed-function pipeline (a compatibility profile). After the surface
// exists SETDCPIXELFORMAT reads back what it was given, so a later surface can ask for exactly that.
struct PixelFormat {
  bool doubleBuffer = true;
  int colorBits = 24;  // red + green + blue
  int redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;  // read back
  int depthBits = 32;
  bool compatibilityProfile = true;
};

// Reads the format of the current context's draw buffer (the bound framebuffer object, or the
// window's default framebuffer) back into PFD. Needs a current context.
void SETDCPIXELFORMAT(PixelFormat& PFD);

}  // namespace velmora
