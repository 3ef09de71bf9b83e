// The pair sums of the hydrodynamic passes and the energy equation over a neighbour list:
// density, pressure and viscous force, the pairwise heating rate, the closing kick, the step
// estimate, and the force and energy passes built from them, on every thread the core uses.
//
// Threads and the same bits. A particle's sums are added in list order by one thread. In the
// sequential scheme the force passes kick each particle as soon as its sum is done, and a later
// particle of the pass sees the kicked velocity of an earlier neighbour, so they take the
// particles in the pass's order on one thread (see orderedPass). In the synchronous scheme every
// sum reads the packed records as they were when the pass began and no record changes during the
// pass, so the particles are shared among the threads in any order (see sharedPass). The packing
// of the records before them, the densities and the work form of the energy run side by side. The energy passes work out each particle's new energy side
// by side and apply the results in the pass's order, where one particle's result can depend on an
// earlier one's.
#include "core/hydro.h"

#include <cmath>
#include <cstdint>

#include "core/kernels.h"
#include "core/pair_kernels.h"
#include "core/threads.h"

namespace velmora {
namespace {

template <Nb W>
inline bool takes(const Sim& S, int p) {
  if constexpr (W == Nb::Level1) return S.LEVEL(p) == 1;
  else if constexpr (W == Nb::Active) return S.LEVEL(p) <= S.NACT;
  else return true;
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

// Whether particle p of a list counts in the sum of the filter W.
template <Nb W>
inline bool countsIn(const I16* LEV, int p, int NACT) {
  if constexpr (W == Nb::Level1) return LEV[p - 1] == 1;
  else if constexpr (W == Nb::Active) return LEV[p - 1] <= NACT;
  else return true;
}

// A force pass over the pass order (S.passWork.order[0..n)), step(k) doing the particle at
// position k: its pair sum, its kick and its packed record, one particle after the other. A
// later particle sees the kicked velocity of an earlier neighbour, so the pass is a chain: on the
// filled 25 000-particle disk its longest run of particles that each wait for the one before is
// 626 long, and a schedule that let threads wait for their earlier neighbours made the pass no
// faster on two cores and the whole orbit half as fast again (the waits and the records passed
// between the cores cost more than the second core gave). The passes round it use every thread.
template <class Step>
void orderedPass(int n, Step step) {
  for (int k = 0; k < n; ++k) step(k);
}

// Fetches into the cache what the pass reads of particle i: its list (entries and kernel
// indices) and the records of its first neighbours. The lists lie 1.5 KB apart and a pass takes
// the particles in no spatial order, so the processor cannot foresee them; the force sum itself
// fetches the later records a few groups ahead.
// The density pass reads the kernel indices alone (withEntries false).
inline void prefetchList(const Sim& S, int i, bool withEntries = true) {
  const int bytes = S.NNB(i) * static_cast<int>(sizeof(I16));
  const char* nb = reinterpret_cast<const char*>(S.NBLIST.col(i));
  const char* kk = reinterpret_cast<const char*>(S.NBKIDX.col(i));
  for (int o = 0; o < bytes; o += 64) {
    if (withEntries) __builtin_prefetch(nb + o);
    __builtin_prefetch(kk + o);
  }
}
inline void prefetchRecords(const Sim& S, int i) {
  const int n = S.NNB(i) < 17 ? S.NNB(i) : 17;
  const I16* nb = S.NBLIST.col(i);
  for (int j = 1; j < n; ++j) __builtin_prefetch(S.GASPT.data() + (nb[j] - 1));
}

// A force pass of the synchronous scheme: step(k) for every position k of the pass on every
// thread, each particle's sum, kick and step estimate together. The sums read only the packed
// records, which stay as they were packed before the pass, and a kick writes only its own
// particle's velocities, so the order and the sharing change no bit. Lists differ in length, so
// the threads take the particles in small chunks as they come free.
template <class Step>
void sharedPass(Sim& S, int n, Step step) {
  const I16* order = S.passWork.order.data();
#pragma omp parallel for num_threads(threadsFor(n, 64)) schedule(dynamic, 32)
  for (int k = 0; k < n; ++k) {
    if (k + 4 < n) prefetchList(S, order[k + 4]);
    step(k);
  }
}

}  // namespace

// Density 1 + sum of the kernel over the whole list (in list order), and P / rho^2.
void densityOf(Sim& S, int i) {
  const int n = S.NNB(i);
  const I16* kk = S.NBKIDX.col(i);
  const float* w = S.WTAB.data();  // w[k - 1] is WTAB(k)
  float sum = 0.0f;
  for (int j = 1; j < n; ++j) sum += w[kk[j] - 1];
  S.RHO(i) = 1.0f + sum;
  S.PRHO2(i) = S.GAMMA1 * S.U(i) / S.RHO(i);
}

// Copies what the pair terms read of particle i into its packed record.
void packGas(Sim& S, int i) {
  S.GASPT(i) = GasPoint{S.X(i), S.Y(i), S.Z(i), S.VX(i), S.VY(i), S.VZ(i), S.CS(i), S.PRHO2(i)};
}

int passOrder(Sim& S, int nact) {
  PassWork& P = S.passWork;
  int n = 0;
  for (int L = 1; L <= nact; ++L) {
    const int m = S.NLEV(L);
    const I16* list = &S.LEVLIST(1, L);
    for (int j = 0; j < m; ++j) {
      P.order[static_cast<std::size_t>(n + j)] = list[j];
      P.level[static_cast<std::size_t>(n + j)] = static_cast<I16>(L);
    }
    n += m;
  }
  return n;
}

void densityPass(Sim& S, int n) {
  const I16* order = S.passWork.order.data();
#pragma omp parallel for num_threads(threadsFor(n, 512)) schedule(static)
  for (int k = 0; k < n; ++k) {
    if (k + 4 < n) prefetchList(S, order[k + 4], false);
    densityOf(S, order[k]);
  }
}

void densityAll(Sim& S) {
  const int n = S.NPART;
#pragma omp parallel for num_threads(threadsFor(n, 512)) schedule(static)
  for (int i = 1; i <= n; ++i) {
    if (i + 4 <= n) prefetchList(S, i + 4, false);
    densityOf(S, i);
  }
}

// Hydrodynamic acceleration of particle i of level L from the neighbours that W takes, each
// pair weighted by the levels when `weighted`; sets AH of i and returns MUMAX, the largest
// viscosity strength of an approaching pair. Reads the neighbours from their packed records
// (GASPT), which the caller keeps current. Per pair:
//   vr = (v_i - v_p) . (r_i - r_p)
//   f  = ((BETA mu + ALPHA) mu + 1) DWTAB(k) (PRHO2_i + PRHO2_p),  mu = vr VISTAB(k) / (CS_i + CS_p),
//        when vr < 0, else (PRHO2_i + PRHO2_p) DWTAB(k); times the level weight;
//   AH_i += (r_p - r_i) f, in list order.
// The pairs the filter skips are left out beforehand: adding their +0 would change no bit, as
// the sums start at +0 and are never -0.
template <Nb W, bool weighted>
float hydroForce(Sim& S, int i, int L) {
  const I16* LEV = S.LEVEL.data();
  const int n = S.NNB(i);
  const I16* nb = S.NBLIST.col(i) + 1;  // entry 2 on: entry 1 is the particle itself
  const I16* kk = S.NBKIDX.col(i) + 1;
  int nx = n - 1;
  alignas(16) I16 keptNb[MAXNB], keptK[MAXNB];
  if constexpr (W != Nb::All) {
    const int NACT = S.NACT;
    nx = 0;
    for (int j = 0; j < n - 1; ++j) {
      const int p = nb[j];
      keptNb[nx] = static_cast<I16>(p);
      keptK[nx] = kk[j];
      nx += countsIn<W>(LEV, p, NACT) ? 1 : 0;
    }
    nb = keptNb;
    kk = keptK;
  }
  const ForceArgs a{S.GASPT.data(), nb, kk, nx, i, S.DWTAB.data(), S.VISTAB.data(), LEV, LEVELWEIGHT.w[L],
                    S.ALPHA, S.BETA};
  const KernelSet& K = kernels();
  const ForceSum f = weighted ? K.forceWeighted(a) : K.force(a);
  S.AHX(i) = f.ahx;
  S.AHY(i) = f.ahy;
  S.AHZ(i) = f.ahz;
  return f.mumax;
}

// Rate of change of u from the pairs (pressure work and viscous heating), over the
// neighbours that W takes: PRHO2_i times the sum in list order, each pair term
//   vr ((BETA mu + ALPHA) mu + 1) DWTAB(k) for an approaching pair, else vr DWTAB(k).
template <Nb W>
float pairwiseRate(const Sim& S, int i) {
  using V = Lane1;
  float sum = 0.0f;
  const int n = S.NNB(i);
  const I16* nb = S.NBLIST.col(i);
  const I16* kk = S.NBKIDX.col(i);
  const V ALPHA{S.ALPHA}, BETA{S.BETA};
  for (int j = 1; j < n; ++j) {
    const int p = nb[j];
    if (!takes<W>(S, p)) continue;
    const int k = kk[j];
    const V vr = approachRate(V{S.X(i)}, V{S.Y(i)}, V{S.Z(i)}, V{S.VX(i)}, V{S.VY(i)}, V{S.VZ(i)}, V{S.X(p)},
                              V{S.Y(p)}, V{S.Z(p)}, V{S.VX(p)}, V{S.VY(p)}, V{S.VZ(p)});
    float g;
    if (vr.v < 0.0f) {
      const V mu = viscosityMu(vr, V{S.VISTAB(k)}, V{S.CS(i)}, V{S.CS(p)});
      g = (viscousScale(mu, ALPHA, BETA) * vr).v * S.DWTAB(k);
    } else {
      g = vr.v * S.DWTAB(k);
    }
    sum += g;
  }
  return S.PRHO2(i) * sum;
}

// Closing kick of particle i after its pair sum: total acceleration, velocity at the
// particle's time and the drift velocity of its next step (both from the old drift velocity).
void kickParticle(Sim& S, int i, float sHalf, float sFull) {
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
float stepLimit(const Sim& S, int i, float MUMAX) {
  const float sound = S.CS(i) * (S.CFLA + S.CFLB * MUMAX);
  const float amag = std::sqrt(S.AX(i) * S.AX(i) + S.AY(i) * S.AY(i) + S.AZ(i) * S.AZ(i));
  const float accel = std::sqrt(amag * S.HINV);
  return S.COURANT / (sound > accel ? sound : accel);
}

// The force pass of FLUID2 (W = Active) and FLUID2ALL (W = All) over the first n particles of
// the pass order: each particle's weighted pair sum, its kick and its step estimate.
template <Nb W>
void forcePass(Sim& S, int n) {
  const I16* order = S.passWork.order.data();
  const I16* level = S.passWork.level.data();
#pragma omp parallel for num_threads(threadsFor(n, 512)) schedule(static)
  for (int k = 0; k < n; ++k) packGas(S, order[k]);
  if (S.FORCES == ForceScheme::Synchronous) {
    sharedPass(S, n, [&](int k) {
      const int i = order[k], L = level[k];
      const float MUMAX = hydroForce<W, true>(S, i, L);
      kickParticle(S, i, S.DTHLEV(L), S.DTLEV(L));
      S.DTREQ(i) = stepLimit(S, i, MUMAX);
    });
    return;
  }
  orderedPass(n, [&](int k) {
    if (k + 4 < n) prefetchList(S, order[k + 4]);
    if (k + 2 < n) prefetchRecords(S, order[k + 2]);
    const int i = order[k], L = level[k];
    const float MUMAX = hydroForce<W, true>(S, i, L);
    kickParticle(S, i, S.DTHLEV(L), S.DTLEV(L));
    packGas(S, i);  // later particles see the kicked velocity
    S.DTREQ(i) = stepLimit(S, i, MUMAX);
  });
}

void levelOneForcePass(Sim& S, int n) {
  const I16* order = S.passWork.order.data();
#pragma omp parallel for num_threads(threadsFor(n, 512)) schedule(static)
  for (int k = 0; k < n; ++k) packGas(S, order[k]);
  if (S.FORCES == ForceScheme::Synchronous) {
    sharedPass(S, n, [&](int k) {
      const int i = order[k];
      hydroForce<Nb::Level1, false>(S, i, 1);
      kickParticle(S, i, S.DT1H, S.DT1);
    });
    return;
  }
  orderedPass(n, [&](int k) {
    const int i = order[k];
    hydroForce<Nb::Level1, false>(S, i, 1);
    kickParticle(S, i, S.DT1H, S.DT1);
    packGas(S, i);  // later particles see the kicked velocity
  });
}

// FLUID1's energy step of the first n particles of the pass order (level 1): the work of the
// hydrodynamic force on the drift velocity; where that would leave too little energy, the
// pairwise form; failing both, the floor. Adds the rates, in order, times DT1 to EDISS. The work
// form is worked out side by side; the pairwise form reads the sound speeds of neighbours that
// earlier particles may have changed, so the particles are then taken in order.
void levelOneEnergy(Sim& S, int n) {
  PassWork& P = S.passWork;
  const I16* order = P.order.data();
  const int T = threadsFor(n, 1024);
  // The work form of each particle, and whether it leaves enough energy.
#pragma omp parallel for num_threads(T) schedule(static)
  for (int k = 0; k < n; ++k) {
    const int i = order[k];
    const float u0 = S.U(i);
    const float q = -(S.AHX(i) * S.VHX(i) + S.AHY(i) * S.VHY(i) + S.AHZ(i) * S.VHZ(i));
    const auto c = static_cast<std::size_t>(k);
    P.du[c] = q;
    P.fate[c] = u0 + S.DT1 * q > S.UMIN ? 1 : 0;
    if (P.fate[c] != 0) {
      P.u[c] = u0 + S.DT1 * q;
      P.cs[c] = std::sqrt(S.GGAM1 * P.u[c]);
    }
  }
  float rates = 0.0f;
  for (int k = 0; k < n; ++k) {
    const int i = order[k];
    const auto c = static_cast<std::size_t>(k);
    float q = P.du[c];
    if (P.fate[c] != 0) {
      S.U(i) = P.u[c];
      S.CS(i) = P.cs[c];
    } else {
      const float u0 = S.U(i);
      q = pairwiseRate<Nb::Level1>(S, i);
      if (u0 + S.DT1 * q > S.UMIN) {
        setEnergy(S, i, u0 + S.DT1 * q);
      } else {
        S.U(i) = S.UFLOOR;
        S.CS(i) = S.CSFLOOR;
        q = (S.UFLOOR - u0) / S.DT1;
      }
    }
    rates += q;
    if (S.keepEmission) S.emission(i) += q * S.DT1;
  }
  S.EDISS += rates * S.DT1;
}

// Appends particle i to the list of level L.
static void joinLevel(Sim& S, int i, int L) {
  S.NLEV(L) = static_cast<I16>(S.NLEV(L) + 1);
  S.LEVLIST(S.NLEV(L), L) = static_cast<I16>(i);
}

void setEnergy(Sim& S, int i, float u) {
  S.U(i) = u;
  S.CS(i) = std::sqrt(S.GGAM1 * u);
}

// Moves the drift velocity of particle i by tau times its acceleration (a change of level).
static void shiftDrift(Sim& S, int i, float tau) {
  S.VHX(i) = S.VHX(i) + tau * S.AX(i);
  S.VHY(i) = S.VHY(i) + tau * S.AY(i);
  S.VHZ(i) = S.VHZ(i) + tau * S.AZ(i);
}

// The pairwise fallback of the energy pass for particle i (W = Active for EULER, All for
// EULERALL): its own step, then shorter levels, then the floor. D collects the change of u.
template <Nb W>
void eulerStep(Sim& S, int i, float& D) {
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
// change of u to EDISS. The work form reads the particle's own values alone: it is worked out
// side by side (the level taken, or 0 for the fallback, the change and the new energy). Then,
// in the list's order, each particle joins its level list, its change is added to the sum, and
// a fallback runs where the work form failed (it reads neighbours that earlier particles of the
// pass may have changed).
void energyPass(Sim& S, void (*fallback)(Sim&, I32, float&)) {
  PassWork& P = S.passWork;
  const int nt = S.NTMP;
  const int T = threadsFor(nt, 1024);
  int fallbacks = 0;
#pragma omp parallel for num_threads(T) schedule(static) reduction(+ : fallbacks)
  for (int n = 1; n <= nt; ++n) {
    const int i = S.TMPLIST(n);
    const int L = S.LEVEL(i);
    const auto c = static_cast<std::size_t>(n - 1);
    const float u0 = S.U(i);
    const float du = -(S.AHY(i) * S.VHY(i) + S.AHX(i) * S.VHX(i) + S.AHZ(i) * S.VHZ(i)) * S.DTLEV(L);
    P.fate[c] = 0;
    if (u0 + du > S.UMIN) {
      P.fate[c] = static_cast<std::int8_t>(L);
      P.du[c] = du;
    } else {
      for (int Lp = L - 1; Lp >= 1; --Lp) {
        const float tau = S.DTHLEV(Lp) - S.DTHLEV(L);
        const float qp = -(S.AHY(i) * (S.VHY(i) + tau * S.AY(i)) + S.AHX(i) * (S.VHX(i) + tau * S.AX(i)) +
                           S.AHZ(i) * (S.VHZ(i) + tau * S.AZ(i)));
        const float dup = qp * S.DTLEV(Lp);
        if (u0 + dup > S.UMIN) {
          P.fate[c] = static_cast<std::int8_t>(Lp);
          P.du[c] = dup;
          break;
        }
      }
    }
    if (P.fate[c] != 0) {
      P.u[c] = u0 + P.du[c];
      P.cs[c] = std::sqrt(S.GGAM1 * P.u[c]);
    } else {
      ++fallbacks;
    }
  }

  // Applies the work form of the particle at place n of TMPLIST (its own values alone).
  auto apply = [&](int n) {
    const int i = S.TMPLIST(n);
    const auto c = static_cast<std::size_t>(n - 1);
    const int L = S.LEVEL(i), Lp = P.fate[c];
    S.U(i) = P.u[c];
    S.CS(i) = P.cs[c];
    if (Lp != L) {
      S.LEVEL(i) = static_cast<I16>(Lp);
      shiftDrift(S, i, S.DTHLEV(Lp) - S.DTHLEV(L));
    }
  };

  float D = 0.0f;
  if (fallbacks == 0) {
    for (int n = 1; n <= nt; ++n) {
      const auto c = static_cast<std::size_t>(n - 1);
      joinLevel(S, S.TMPLIST(n), P.fate[c]);
      D += P.du[c];
      if (S.keepEmission) S.emission(S.TMPLIST(n)) += P.du[c];
    }
#pragma omp parallel for num_threads(T) schedule(static)
    for (int n = 1; n <= nt; ++n) apply(n);
  } else {
    for (int n = 1; n <= nt; ++n) {
      const auto c = static_cast<std::size_t>(n - 1);
      if (P.fate[c] == 0) {
        float d = 0.0f;  // the fallback's one change; 0 + d is d, so D's sum is unchanged
        fallback(S, S.TMPLIST(n), d);
        D += d;
        if (S.keepEmission) S.emission(S.TMPLIST(n)) += d;
        continue;
      }
      joinLevel(S, S.TMPLIST(n), P.fate[c]);
      apply(n);
      D += P.du[c];
      if (S.keepEmission) S.emission(S.TMPLIST(n)) += P.du[c];
    }
  }
  S.EDISS += D;
}

template float hydroForce<Nb::Level1, false>(Sim&, int, int);
template float pairwiseRate<Nb::Level1>(const Sim&, int);
template void forcePass<Nb::Active>(Sim&, int);
template void forcePass<Nb::All>(Sim&, int);
template void eulerStep<Nb::Active>(Sim&, int, float&);
template void eulerStep<Nb::All>(Sim&, int, float&);

}  // namespace velmora
