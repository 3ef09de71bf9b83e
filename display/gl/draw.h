// Vertex orders of the star meshes, shared by the live view, the playback and the title scene.
#pragma once

#include "display/gl/gl.h"
#include "display/stars3d.h"

namespace velmora::draw {

// The primitive a star style opens: Filled, Wire Frame, Point Grid; `filled` is the primitive of
// the Filled style (GL_POLYGON in most places, GL_TRIANGLE_FAN for the playback's lobe).
// Returns false for a style that draws nothing.
inline bool stylePrimitive(int STARSTYLE, GLenum filled, GLenum& mode) {
  switch (STARSTYLE) {
    case 1: mode = filled; return true;
    case 2: mode = GL_LINE_LOOP; return true;
    case 3: mode = GL_POINTS; return true;
    default: return false;
  }
}

// Pole a, every ring (ring by ring, meridian by meridian), pole b; then every meridian from
// pole a through its rings to pole b. `poleA` and `poleB` are outline indices (1-based).
template <int R, class Emit>
void ringsThenMeridians(const float* CX, const float* CY, int poleA, int poleB, const Arr2<float, R, NMERIDIAN>& MX,
                        const Arr2<float, R, NMERIDIAN>& MY, const Arr2<float, R, NMERIDIAN>& MZ, Emit emit) {
  emit(CX[poleA - 1], CY[poleA - 1], 0.0f);
  for (int r = 2; r <= R; ++r)
    for (int m = 1; m <= NMERIDIAN; ++m) emit(MX(r, m), MY(r, m), MZ(r, m));
  emit(CX[poleB - 1], CY[poleB - 1], 0.0f);
  for (int m = 1; m <= NMERIDIAN; ++m) {
    emit(CX[poleA - 1], CY[poleA - 1], 0.0f);
    for (int r = 2; r <= R; ++r) emit(MX(r, m), MY(r, m), MZ(r, m));
    emit(CX[poleB - 1], CY[poleB - 1], 0.0f);
  }
}

// Every meridian from pole a through its rings to pole b; then pole a, every ring, pole b.
template <int R, class Emit>
void meridiansThenRings(const float* CX, const float* CY, int poleA, int poleB, const Arr2<float, R, NMERIDIAN>& MX,
                        const Arr2<float, R, NMERIDIAN>& MY, const Arr2<float, R, NMERIDIAN>& MZ, Emit emit) {
  for (int m = 1; m <= NMERIDIAN; ++m) {
    emit(CX[poleA - 1], CY[poleA - 1], 0.0f);
    for (int r = 2; r <= R; ++r) emit(MX(r, m), MY(r, m), MZ(r, m));
    emit(CX[poleB - 1], CY[poleB - 1], 0.0f);
  }
  emit(CX[poleA - 1], CY[poleA - 1], 0.0f);
  for (int r = 2; r <= R; ++r)
    for (int m = 1; m <= NMERIDIAN; ++m) emit(MX(r, m), MY(r, m), MZ(r, m));
  emit(CX[poleB - 1], CY[poleB - 1], 0.0f);
}

inline void vertex(float x, float y, float z) { glVertex3f(x, y, z); }

}  // namespace velmora::draw
