// DRAWPRO: the progress screen, in the projection and viewport of the drawing area.
#include "display/gl/display.h"
#include "display/gl/gl.h"
#include "io/fortran_format.h"

namespace velmora {

void DRAWPRO(Display& D, const std::string& PROGTXT) {
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(1.0f, 1.0f, 1.0f);
  draw::caption(D, 3000, -0.31f, 0.4f, "Current Simulation Progress");
  draw::caption(D, 3000, -0.1f, 0.3f, fmt::trimRight(PROGTXT) + "%");
  if (D.swapBuffers) D.swapBuffers();
}

}  // namespace velmora
