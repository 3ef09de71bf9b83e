// STARS3D: three-dimensional ring meshes of both stars from their outlines (no drawing here).
#pragma once

#include "core/state.h"

namespace velmora {

inline constexpr int NRING1 = 30;     // rows of the primary mesh (rings 2..30 are written)
inline constexpr int NRING2 = 50;     // rows of the lobe mesh (rings 2..50 are written)
inline constexpr int NMERIDIAN = 36;  // meridians of both meshes, 10 degrees apart

// The mesh arrays of one view: S1 the primary, S2 the secondary's lobe. Row 1 is never written.
struct StarMeshes {
  Arr2<float, NRING1, NMERIDIAN> S1X, S1Y, S1Z;
  Arr2<float, NRING2, NMERIDIAN> S2X, S2Y, S2Z;
};

// Turns the primary's 61-point outline (C1X, C1Y) and the lobe's 101-point outline (C2X, C2Y)
// into rings standing upright on the chords between mirror-image outline points. The outline
// pointers address entry 1 (a column of WDX, WDY, LOBEX, LOBEY serves directly).
void STARS3D(const float* C1X, const float* C1Y, const float* C2X, const float* C2Y, StarMeshes& M);

}  // namespace velmora
