// The pair sums of the hydrodynamic passes and the energy equation over a neighbour list:
// density, pressure and viscous force, the pairwise heating rate, the closing kick, the step
// estimate, and the force and energy passes built from them.
#include "core/hydro.h"

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace velmora {

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
void densityOf(Sim& S, int i) {
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

// Copies what the pair terms read of particle i into its packed record.
void packGas(Sim& S, int i) {
  S.GASPT(i) = GasPoint{S.X(i), S.Y(i), S.Z(i), S.VX(i), S.VY(i), S.VZ(i), S.CS(i), S.PRHO2(i)};
}

// Whether particle p of a list counts in the sum of the filter W.
template <Nb W>
inline bool countsIn(const I16* LEV, int p, int NACT) {
  if constexpr (W == Nb::Level1) return LEV[p] == 1;
  else if constexpr (W == Nb::Active) return LEV[p] <= NACT;
  else return true;
}

// Hydrodynamic acceleration of particle i of level L from the neighbours that W takes, each
// pair weighted by the levels when `weighted`; sets AH of i and returns MUMAX, the largest
// viscosity strength of an approaching pair. Reads the neighbours from their packed records
// (GASPT), which the caller keeps current. Per pair:
//   vr = (v_i - v_p) . (r_i - r_p)
//   f  = ((BETA mu + ALPHA) mu + 1) DWTAB(k) (PRHO2_i + PRHO2_p),  mu = vr VISTAB(k) / (CS_i + CS_p),
//        when vr < 0, else (PRHO2_i + PRHO2_p) DWTAB(k); times the level weight;
//   AH_i += (r_p - r_i) f, in list order.
// Four pairs are worked out side by side, each with exactly the single-precision operations
// above, and their contributions are then added one by one in list order. The pairs the filter
// skips are left out beforehand: adding their +0 would change no bit, as the sums start at +0
// and are never -0. The largest mu does not depend on the order it is taken in.
template <Nb W, bool weighted>
float hydroForce(Sim& S, int i, int L) {
  const GasPoint* P = S.GASPT.data() - 1;  // P[p] is particle p
  const I16* LEV = S.LEVEL.data() - 1;
  const float* DW = S.DWTAB.data() - 1;
  const float* VIS = S.VISTAB.data() - 1;
  const float* wrow = LEVELWEIGHT.w[L];
  const int NACT = S.NACT;
  const int n = S.NNB(i);
  const I16* nb = S.NBLIST.col(i);
  const I16* kk = S.NBKIDX.col(i);
  const GasPoint me = P[i];
  float ahx = 0.0f, ahy = 0.0f, ahz = 0.0f, mumax = 0.0f;
#if defined(__SSE2__)
  const __m128 Xi = _mm_set1_ps(me.x), Yi = _mm_set1_ps(me.y), Zi = _mm_set1_ps(me.z);
  const __m128 VXi = _mm_set1_ps(me.vx), VYi = _mm_set1_ps(me.vy), VZi = _mm_set1_ps(me.vz);
  const __m128 CSi = _mm_set1_ps(me.cs), PRi = _mm_set1_ps(me.prho2);
  const __m128 BETA = _mm_set1_ps(S.BETA), ALPHA = _mm_set1_ps(S.ALPHA), ONE = _mm_set1_ps(1.0f);
  const __m128 ZERO = _mm_setzero_ps();
  __m128 vmumax = ZERO;
  alignas(16) float tx[4], ty[4], tz[4];

  // Four pairs p[0..3] with table indices k[0..3]; `real` marks the lanes that are list entries.
  auto four = [&](const int* p, const int* k, __m128 real) {
    __m128 Xp = _mm_load_ps(&P[p[0]].x), Yp = _mm_load_ps(&P[p[1]].x);
    __m128 Zp = _mm_load_ps(&P[p[2]].x), VXp = _mm_load_ps(&P[p[3]].x);
    _MM_TRANSPOSE4_PS(Xp, Yp, Zp, VXp);
    __m128 VYp = _mm_load_ps(&P[p[0]].vy), VZp = _mm_load_ps(&P[p[1]].vy);
    __m128 CSp = _mm_load_ps(&P[p[2]].vy), PRp = _mm_load_ps(&P[p[3]].vy);
    _MM_TRANSPOSE4_PS(VYp, VZp, CSp, PRp);
    const __m128 dwk = _mm_setr_ps(DW[k[0]], DW[k[1]], DW[k[2]], DW[k[3]]);
    const __m128 visk = _mm_setr_ps(VIS[k[0]], VIS[k[1]], VIS[k[2]], VIS[k[3]]);
    const __m128 vr = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(VXi, VXp), _mm_sub_ps(Xi, Xp)),
                                            _mm_mul_ps(_mm_sub_ps(VYi, VYp), _mm_sub_ps(Yi, Yp))),
                                 _mm_mul_ps(_mm_sub_ps(VZi, VZp), _mm_sub_ps(Zi, Zp)));
    const __m128 pr = _mm_add_ps(PRi, PRp);
    const __m128 mu = _mm_div_ps(_mm_mul_ps(vr, visk), _mm_add_ps(CSi, CSp));
    const __m128 scale = _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(BETA, mu), ALPHA), mu), ONE);
    const __m128 fv = _mm_mul_ps(_mm_mul_ps(scale, dwk), pr);
    const __m128 fp = _mm_mul_ps(pr, dwk);
    const __m128 closing = _mm_cmplt_ps(vr, ZERO);
    __m128 f = _mm_or_ps(_mm_and_ps(closing, fv), _mm_andnot_ps(closing, fp));
    if constexpr (weighted)
      f = _mm_mul_ps(f, _mm_setr_ps(wrow[LEV[p[0]]], wrow[LEV[p[1]]], wrow[LEV[p[2]]], wrow[LEV[p[3]]]));
    f = _mm_and_ps(f, real);
    const __m128 up = _mm_and_ps(_mm_and_ps(closing, real), _mm_cmpgt_ps(mu, vmumax));
    vmumax = _mm_or_ps(_mm_and_ps(up, mu), _mm_andnot_ps(up, vmumax));
    _mm_store_ps(tx, _mm_mul_ps(_mm_sub_ps(Xp, Xi), f));
    _mm_store_ps(ty, _mm_mul_ps(_mm_sub_ps(Yp, Yi), f));
    _mm_store_ps(tz, _mm_mul_ps(_mm_sub_ps(Zp, Zi), f));
  };

  // The entries the filter takes, in list order (entry 1 on); the filter-free sum takes the list
  // itself.
  const I16* nbx = nb;
  const I16* kkx = kk;
  int nx = n;
  alignas(16) I16 keptNb[MAXNB + 1], keptK[MAXNB + 1];
  if constexpr (W != Nb::All) {
    nx = 1;
    for (int j = 1; j < n; ++j) {
      const int p = nb[j];
      keptNb[nx] = static_cast<I16>(p);
      keptK[nx] = kk[j];
      nx += countsIn<W>(LEV, p, NACT) ? 1 : 0;
    }
    nbx = keptNb;
    kkx = keptK;
  }

  int j = 1;
  const __m128 all = _mm_castsi128_ps(_mm_set1_epi32(-1));
  for (; j + 3 < nx; j += 4) {
    if (j + 19 < nx) {  // the records four groups ahead
      __builtin_prefetch(&P[nbx[j + 16]]);
      __builtin_prefetch(&P[nbx[j + 17]]);
      __builtin_prefetch(&P[nbx[j + 18]]);
      __builtin_prefetch(&P[nbx[j + 19]]);
    }
    const int p[4] = {nbx[j], nbx[j + 1], nbx[j + 2], nbx[j + 3]};
    const int k[4] = {kkx[j], kkx[j + 1], kkx[j + 2], kkx[j + 3]};
    four(p, k, all);
    ahx += tx[0];
    ahy += ty[0];
    ahz += tz[0];
    ahx += tx[1];
    ahy += ty[1];
    ahz += tz[1];
    ahx += tx[2];
    ahy += ty[2];
    ahz += tz[2];
    ahx += tx[3];
    ahy += ty[3];
    ahz += tz[3];
  }
  if (j < nx) {  // the last one to three entries; the other lanes repeat particle i and count nothing
    const int cnt = nx - j;
    int p[4], k[4];
    alignas(16) std::int32_t real[4];
    for (int l = 0; l < 4; ++l) {
      p[l] = l < cnt ? nbx[j + l] : i;
      k[l] = l < cnt ? kkx[j + l] : 1;
      real[l] = l < cnt ? -1 : 0;
    }
    four(p, k, _mm_castsi128_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(real))));
    for (int l = 0; l < cnt; ++l) {
      ahx += tx[l];
      ahy += ty[l];
      ahz += tz[l];
    }
  }
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, vmumax);
  for (float m : lanes)
    if (m > mumax) mumax = m;
#else
  for (int j = 1; j < n; ++j) {
    const int p = nb[j];
    if (!countsIn<W>(LEV, p, NACT)) continue;
    const int k = kk[j];
    const GasPoint o = P[p];
    const float vr = (me.vx - o.vx) * (me.x - o.x) + (me.vy - o.vy) * (me.y - o.y) + (me.vz - o.vz) * (me.z - o.z);
    const float pr = me.prho2 + o.prho2;
    float f;
    if (vr < 0.0f) {
      const float mu = vr * VIS[k] / (me.cs + o.cs);
      if (mu > mumax) mumax = mu;
      f = ((S.BETA * mu + S.ALPHA) * mu + 1.0f) * DW[k] * pr;
    } else {
      f = pr * DW[k];
    }
    if constexpr (weighted) f = f * wrow[LEV[p]];
    ahx += (o.x - me.x) * f;
    ahy += (o.y - me.y) * f;
    ahz += (o.z - me.z) * f;
  }
#endif
  S.AHX(i) = ahx;
  S.AHY(i) = ahy;
  S.AHZ(i) = ahz;
  return mumax;
}

// Rate of change of u from the pairs (pressure work and viscous heating), over the
// neighbours that W takes: PRHO2_i times the sum in list order.
template <Nb W>
float pairwiseRate(const Sim& S, int i) {
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

// The force pass of FLUID2 (W = Active) and FLUID2ALL (W = All): level by level, each
// particle's weighted pair sum, its kick and its step estimate.
template <Nb W>
void forcePass(Sim& S) {
  for (int L = 1; L <= S.NACT; ++L)
    for (int m = 1; m <= S.NLEV(L); ++m) packGas(S, S.LEVLIST(m, L));
  for (int L = 1; L <= S.NACT; ++L) {
    const float sFull = S.DTLEV(L), sHalf = S.DTHLEV(L);
    const int n = S.NLEV(L);
    for (int m = 1; m <= n; ++m) {
      const int i = S.LEVLIST(m, L);
      const float MUMAX = hydroForce<W, true>(S, i, L);
      kickParticle(S, i, sHalf, sFull);
      packGas(S, i);  // later particles see the kicked velocity
      S.DTREQ(i) = stepLimit(S, i, MUMAX);
    }
  }
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
// change of u to EDISS.
void energyPass(Sim& S, void (*fallback)(Sim&, I32, float&)) {
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

template float hydroForce<Nb::Level1, false>(Sim&, int, int);
template float pairwiseRate<Nb::Level1>(const Sim&, int);
template void forcePass<Nb::Active>(Sim&);
template void forcePass<Nb::All>(Sim&);
template void eulerStep<Nb::Active>(Sim&, int, float&);
template void eulerStep<Nb::All>(Sim&, int, float&);

}  // namespace velmora
