// FLUID1: the level-1 step at the midpoint of a sub-step: densities, forces from level-1
// neighbours with the kick, and the internal energy of the level-1 particles.
#include "core/core.h"
#include "core/hydro.h"

namespace velmora {

void FLUID1(Sim& S) {
  const int n = S.NLEV(1);

  // 1. Densities from every neighbour.
  for (int m = 1; m <= n; ++m) densityOf(S, S.LEVLIST(m, 1));

  // 2. Forces from the level-1 neighbours only, each particle kicked at once.
  for (int m = 1; m <= n; ++m) packGas(S, S.LEVLIST(m, 1));
  for (int m = 1; m <= n; ++m) {
    const int i = S.LEVLIST(m, 1);
    hydroForce<Nb::Level1, false>(S, i, 1);
    kickParticle(S, i, S.DT1H, S.DT1);
    packGas(S, i);
  }

  // 3. Internal energy: the work of the hydrodynamic force on the drift velocity; where that
  // would leave too little energy, the pairwise form; failing both, the floor.
  float rates = 0.0f;
  for (int m = 1; m <= n; ++m) {
    const int i = S.LEVLIST(m, 1);
    const float u0 = S.U(i);
    float q = -(S.AHX(i) * S.VHX(i) + S.AHY(i) * S.VHY(i) + S.AHZ(i) * S.VHZ(i));
    if (!(u0 + S.DT1 * q > S.UMIN)) q = pairwiseRate<Nb::Level1>(S, i);
    if (u0 + S.DT1 * q > S.UMIN) {
      setEnergy(S, i, u0 + S.DT1 * q);
    } else {
      S.U(i) = S.UFLOOR;
      S.CS(i) = S.CSFLOOR;
      q = (S.UFLOOR - u0) / S.DT1;
    }
    rates += q;
  }
  S.EDISS += rates * S.DT1;
}

}  // namespace velmora
