// Pieces shared by the hydrodynamic passes.
#pragma once

#include <cmath>

#include "core/state.h"

namespace velmora {

// Closing kick of particle i after its pair sum: total acceleration, velocity at the
// particle's time and the drift velocity of its next step (both from the old drift velocity).
inline void kickParticle(Sim& S, int i, float sHalf, float sFull) {
  S.AX(i) = S.AHX(i) + S.AGX(i);
  S.AY(i) = S.AHY(i) + S.AGY(i);
  S.AZ(i) = S.AHZ(i) + S.AGZ(i);
  S.VX(i) = S.VHX(i) + sHalf * S.AX(i);
  S.VY(i) = S.VHY(i) + sHalf * S.AY(i);
  S.VZ(i) = S.VHZ(i) + sHalf * S.AZ(i);
  S.VHX(i) = S.VHX(i) + sFull * S.AX(i);
  S.VHY(i) = S.VHY(i) + sFull * S.AY(i);
  S.VHZ(i) = S.VHZ(i) + sFull * S.AZ(i);
}

// The largest step particle i may take, from its sound speed, the strongest viscous
// compression MUMAX among its neighbours and its total acceleration.
inline float stepLimit(const Sim& S, int i, float MUMAX) {
  const float sound = S.CS(i) * (S.CFLA + S.CFLB * MUMAX);
  const float amag = std::sqrt(S.AX(i) * S.AX(i) + S.AY(i) * S.AY(i) + S.AZ(i) * S.AZ(i));
  const float accel = std::sqrt(amag * S.HINV);
  return S.COURANT / (sound > accel ? sound : accel);
}

}  // namespace velmora
