// Pieces shared by the hydrodynamic passes and the energy equation: the pair terms over a
// neighbour list, the density, the closing kick and the step estimate.
#pragma once

#include <cmath>

#include "core/state.h"

namespace velmora {

// Which neighbours a sum over a list takes.
enum class Nb {
  Level1,  // LEVEL == 1 only (the midpoint pass)
  Active,  // LEVEL <= NACT
  All      // every neighbour
};

template <Nb W>
inline bool takes(const Sim& S, int p) {
  if constexpr (W == Nb::Level1) return S.LEVEL(p) == 1;
  else if constexpr (W == Nb::Active) return S.LEVEL(p) <= S.NACT;
  else return true;
}

// Velocity difference dotted with the separation; negative for an approaching pair.
inline float approach(const Sim& S, int i, int p) {
  return (S.VX(i) - S.VX(p)) * (S.X(i) - S.X(p)) + (S.VY(i) - S.VY(p)) * (S.Y(i) - S.Y(p)) +
         (S.VZ(i) - S.VZ(p)) * (S.Z(i) - S.Z(p));
}

// Viscosity strength of an approaching pair (vr < 0): positive.
inline float viscousMu(const Sim& S, int i, int p, float vr, int k) {
  return vr * S.VISTAB(k) / (S.CS(i) + S.CS(p));
}

// The factor 1 + alpha mu + beta mu^2 by which viscosity scales the pressure term.
inline float viscousScale(const Sim& S, float mu) { return (S.BETA * mu + S.ALPHA) * mu + 1.0f; }

// Density 1 + sum of the kernel over the whole list (in list order), and P / rho^2.
inline void densityOf(Sim& S, int i) {
  const int n = S.NNB(i);
  const I16* kk = S.NBKIDX.col(i);
  const float* w = S.WTAB.data() - 1;  // w[k] is WTAB(k)
  float sum = 0.0f;
  for (int j = 1; j < n; ++j) sum += w[kk[j]];
  S.RHO(i) = 1.0f + sum;
  S.PRHO2(i) = S.GAMMA1 * S.U(i) / S.RHO(i);
}

// Multipliers of the pair factor when a particle of level L sums over a neighbour of level Lp:
// 1 for the same level, 2 for a higher one, 2^(Lp - L + 1) for a lower one.
struct LevelWeights {
  float w[MAXLEV + 1][MAXLEV + 1] = {};
  constexpr LevelWeights() {
    for (int L = 1; L <= MAXLEV; ++L)
      for (int Lp = 1; Lp <= MAXLEV; ++Lp) {
        float f = Lp >= L ? (Lp == L ? 1.0f : 2.0f) : 2.0f;
        for (int e = Lp - L + 1; e < 1; ++e) f *= 0.5f;  // 2^(Lp - L + 1) below the level
        w[L][Lp] = f;
      }
  }
};
inline constexpr LevelWeights LEVELWEIGHT{};

// Hydrodynamic acceleration of particle i of level L from the neighbours that W takes, each
// pair weighted by the levels when `weighted`. Returns MUMAX, the largest viscosity strength
// of an approaching pair.
template <Nb W, bool weighted>
inline float hydroForce(Sim& S, int i, int L) {
  float ahx = 0.0f, ahy = 0.0f, ahz = 0.0f, mumax = 0.0f;
  const int n = S.NNB(i);
  const I16* nb = S.NBLIST.col(i);
  const I16* kk = S.NBKIDX.col(i);
  const float xi = S.X(i), yi = S.Y(i), zi = S.Z(i);
  for (int j = 1; j < n; ++j) {
    const int p = nb[j];
    if (!takes<W>(S, p)) continue;
    const int k = kk[j];
    const float vr = approach(S, i, p);
    float f;
    if (vr < 0.0f) {
      const float mu = viscousMu(S, i, p, vr, k);
      if (mu > mumax) mumax = mu;
      f = viscousScale(S, mu) * S.DWTAB(k) * (S.PRHO2(i) + S.PRHO2(p));
    } else {
      f = (S.PRHO2(i) + S.PRHO2(p)) * S.DWTAB(k);
    }
    if constexpr (weighted) f = f * LEVELWEIGHT.w[L][S.LEVEL(p)];
    ahx += (S.X(p) - xi) * f;
    ahy += (S.Y(p) - yi) * f;
    ahz += (S.Z(p) - zi) * f;
  }
  S.AHX(i) = ahx;
  S.AHY(i) = ahy;
  S.AHZ(i) = ahz;
  return mumax;
}

// Rate of change of u from the pairs (pressure work and viscous heating), over the
// neighbours that W takes: PRHO2_i times the sum in list order.
template <Nb W>
inline float pairwiseRate(const Sim& S, int i) {
  float sum = 0.0f;
  const int n = S.NNB(i);
  const I16* nb = S.NBLIST.col(i);
  const I16* kk = S.NBKIDX.col(i);
  for (int j = 1; j < n; ++j) {
    const int p = nb[j];
    if (!takes<W>(S, p)) continue;
    const int k = kk[j];
    const float vr = approach(S, i, p);
    float g;
    if (vr < 0.0f) {
      const float mu = viscousMu(S, i, p, vr, k);
      g = viscousScale(S, mu) * vr * S.DWTAB(k);
    } else {
      g = vr * S.DWTAB(k);
    }
    sum += g;
  }
  return S.PRHO2(i) * sum;
}

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

// The force pass of FLUID2 (W = Active) and FLUID2ALL (W = All): level by level, each
// particle's weighted pair sum, its kick and its step estimate.
template <Nb W>
inline void forcePass(Sim& S) {
  for (int L = 1; L <= S.NACT; ++L) {
    const float sFull = S.DTLEV(L), sHalf = S.DTHLEV(L);
    const int n = S.NLEV(L);
    for (int m = 1; m <= n; ++m) {
      const int i = S.LEVLIST(m, L);
      const float MUMAX = hydroForce<W, true>(S, i, L);
      kickParticle(S, i, sHalf, sFull);
      S.DTREQ(i) = stepLimit(S, i, MUMAX);
    }
  }
}

// Appends particle i to the list of level L.
inline void joinLevel(Sim& S, int i, int L) {
  S.NLEV(L) = static_cast<I16>(S.NLEV(L) + 1);
  S.LEVLIST(S.NLEV(L), L) = static_cast<I16>(i);
}

inline void setEnergy(Sim& S, int i, float u) {
  S.U(i) = u;
  S.CS(i) = std::sqrt(S.GGAM1 * u);
}

// Moves the drift velocity of particle i by tau times its acceleration (a change of level).
inline void shiftDrift(Sim& S, int i, float tau) {
  S.VHX(i) = S.VHX(i) + tau * S.AX(i);
  S.VHY(i) = S.VHY(i) + tau * S.AY(i);
  S.VHZ(i) = S.VHZ(i) + tau * S.AZ(i);
}

// The pairwise fallback of the energy pass for particle i (W = Active for EULER, All for
// EULERALL): its own step, then shorter levels, then the floor. D collects the change of u.
template <Nb W>
inline void eulerStep(Sim& S, int i, float& D) {
  const int L = S.LEVEL(i);
  const float u0 = S.U(i);
  const float q = pairwiseRate<W>(S, i);
  const float du = q * S.DTLEV(L);
  if (u0 + du > S.UMIN) {
    setEnergy(S, i, u0 + du);
    joinLevel(S, i, L);
    D += du;
    return;
  }
  for (int Lp = L - 1; Lp >= 1; --Lp) {
    const float dup = q * S.DTLEV(Lp);
    if (u0 + dup > S.UMIN) {
      setEnergy(S, i, u0 + dup);
      S.LEVEL(i) = static_cast<I16>(Lp);
      const float tau = S.DTHLEV(Lp) - S.DTHLEV(L);
      joinLevel(S, i, Lp);
      D += dup;
      shiftDrift(S, i, tau);
      return;
    }
  }
  D += S.UFLOOR - u0;
  S.CS(i) = S.CSFLOOR;
  S.U(i) = S.UFLOOR;
  S.LEVEL(i) = 1;
  const float tau = S.DT1H - S.DTHLEV(L);
  joinLevel(S, i, 1);
  shiftDrift(S, i, tau);
}

// The energy pass of ENERGY and ENERGYALL over TMPLIST: the work form at the particle's level,
// then at shorter levels, then the pairwise fallback (EULER or EULERALL). Adds the pass's
// change of u to EDISS.
inline void energyPass(Sim& S, void (*fallback)(Sim&, I32, float&)) {
  float D = 0.0f;
  const int nt = S.NTMP;
  for (int n = 1; n <= nt; ++n) {
    const int i = S.TMPLIST(n);
    const int L = S.LEVEL(i);
    const float u0 = S.U(i);
    const float du = -(S.AHY(i) * S.VHY(i) + S.AHX(i) * S.VHX(i) + S.AHZ(i) * S.VHZ(i)) * S.DTLEV(L);
    if (u0 + du > S.UMIN) {
      joinLevel(S, i, L);
      setEnergy(S, i, u0 + du);
      D += du;
      continue;
    }
    bool done = false;
    for (int Lp = L - 1; Lp >= 1 && !done; --Lp) {
      const float tau = S.DTHLEV(Lp) - S.DTHLEV(L);
      const float qp = -(S.AHY(i) * (S.VHY(i) + tau * S.AY(i)) + S.AHX(i) * (S.VHX(i) + tau * S.AX(i)) +
                         S.AHZ(i) * (S.VHZ(i) + tau * S.AZ(i)));
      const float dup = qp * S.DTLEV(Lp);
      if (u0 + dup > S.UMIN) {
        S.LEVEL(i) = static_cast<I16>(Lp);
        joinLevel(S, i, Lp);
        setEnergy(S, i, u0 + dup);
        shiftDrift(S, i, tau);
        D += dup;
        done = true;
      }
    }
    if (!done) fallback(S, i, D);
  }
  S.EDISS += D;
}

}  // namespace velmora
