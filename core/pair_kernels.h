// The distance test and the pair term of the gas, each written once over a lane type (lanes.h),
// and the loops that run them over a run of candidates and over a neighbour list. Included by
// the kernel files, each of which instantiates them for its width; internal linkage throughout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/kernels.h"
#include "core/lanes.h"

namespace velmora {
namespace {

// The lane count of V, as an array extent.
template <class V>
constexpr std::size_t lanesOf = static_cast<std::size_t>(V::W);

// Squared distance ((dx dx + dy dy) + dz dz), dx = px - x, in single precision.
template <class V>
inline V distance2(V px, V py, V pz, V x, V y, V z) {
  const V dx = px - x, dy = py - y, dz = pz - z;
  return dx * dx + dy * dy + dz * dz;
}

// Velocity difference dotted with the separation, (v_i - v_p) . (r_i - r_p): negative for an
// approaching pair.
template <class V>
inline V approachRate(V xi, V yi, V zi, V vxi, V vyi, V vzi, V xp, V yp, V zp, V vxp, V vyp, V vzp) {
  return (vxi - vxp) * (xi - xp) + (vyi - vyp) * (yi - yp) + (vzi - vzp) * (zi - zp);
}

// Viscosity strength of a pair, vr VISTAB(k) / (CS_i + CS_p), and the factor
// 1 + alpha mu + beta mu^2 = (beta mu + alpha) mu + 1 by which viscosity scales a pair term.
template <class V>
inline V viscosityMu(V vr, V visk, V csi, V csp) {
  return vr * visk / (csi + csp);
}
template <class V>
inline V viscousScale(V mu, V ALPHA, V BETA) {
  return (BETA * mu + ALPHA) * mu + V::set1(1.0f);
}

// The pair factor of the force: ((BETA mu + ALPHA) mu + 1) DWTAB(k) (PRHO2_i + PRHO2_p) for an
// approaching pair (vr < 0), else (PRHO2_i + PRHO2_p) DWTAB(k). `closing` and mu are returned
// for MUMAX.
template <class V>
inline V pairFactor(V vr, V pri, V prp, V csi, V csp, V dwk, V visk, V ALPHA, V BETA, typename V::Mask& closing, V& mu) {
  const V pr = pri + prp;
  mu = viscosityMu(vr, visk, csi, csp);
  const V fv = viscousScale(mu, ALPHA, BETA) * dwk * pr;
  const V fp = pr * dwk;
  closing = V::lt(vr, V::set1(0.0f));
  return V::select(closing, fv, fp);
}

// The distance test over candidates from .. to - 1 (see ScanFn). Each group's hits are packed to
// the front without a branch (packHits of the lane type).
template <class V>
int scanRun(const float* xs, const float* ys, const float* zs, int from, int to, float px, float py, float pz,
            float cut, float scl, std::int32_t* hit, std::int32_t* hitk) {
  constexpr int W = V::W;
  const V PX = V::set1(px), PY = V::set1(py), PZ = V::set1(pz), CUT = V::set1(cut), SCL = V::set1(scl);
  int nh = 0;
  for (int m = from; m < to; m += W) {
    const V d2 = distance2(PX, PY, PZ, V::loadu(xs + m), V::loadu(ys + m), V::loadu(zs + m));
    unsigned bits = V::bits(V::lt(d2, CUT));
    if (to - m < W) bits &= (1u << (to - m)) - 1u;
    if (bits == 0) continue;
    nh += V::packHits(bits, m, d2, SCL, hit + nh, hitk + nh);
  }
  return nh;
}

// W neighbours side by side: their pair terms, each with exactly the single-precision operations
// of the pair factor, into tx, ty, tz; `real` marks the lanes that are list entries, the others
// give +0 and leave vmumax alone.
template <class V, bool weighted>
inline void pairGroup(const ForceArgs& a, const I16* nb, const I16* kk, int cnt, V Xi, V Yi, V Zi, V VXi, V VYi,
                      V VZi, V CSi, V PRi, V ALPHA, V BETA, V& vmumax, float* tx, float* ty, float* tz) {
  constexpr int W = V::W;
  const GasPoint* rec[lanesOf<V>];
  int k[lanesOf<V>];
  for (int l = 0; l < W; ++l) {
    const int p = l < cnt ? nb[l] : a.self;
    rec[l] = a.P + (p - 1);
    k[l] = (l < cnt ? kk[l] : 1) - 1;
  }
  V Xp, Yp, Zp, VXp, VYp, VZp, CSp, PRp;
  V::records(rec, Xp, Yp, Zp, VXp, VYp, VZp, CSp, PRp);
  const V vr = approachRate(Xi, Yi, Zi, VXi, VYi, VZi, Xp, Yp, Zp, VXp, VYp, VZp);
  typename V::Mask closing;
  V mu;
  V f = pairFactor(vr, PRi, PRp, CSi, CSp, V::gather(a.DW, k), V::gather(a.VIS, k), ALPHA, BETA, closing, mu);
  if constexpr (weighted) {
    int lev[lanesOf<V>];
    for (int l = 0; l < W; ++l) lev[l] = a.LEV[(l < cnt ? nb[l] : a.self) - 1];
    f = f * V::gather(a.wrow, lev);
  }
  const typename V::Mask real = V::firstLanes(cnt);
  f = V::keep(real, f);
  const typename V::Mask up = V::both(V::both(closing, real), V::gt(mu, vmumax));
  vmumax = V::select(up, mu, vmumax);
  V::store(tx, (Xp - Xi) * f);
  V::store(ty, (Yp - Yi) * f);
  V::store(tz, (Zp - Zi) * f);
}

// The pair sum of one particle (see ForceArgs): the terms worked out W at a time and then added
// one by one in list order. The largest mu does not depend on the order it is taken in.
template <class V, bool weighted>
ForceSum forceSum(const ForceArgs& a) {
  constexpr int W = V::W;
  const GasPoint me = a.P[a.self - 1];
  const V Xi = V::set1(me.x), Yi = V::set1(me.y), Zi = V::set1(me.z);
  const V VXi = V::set1(me.vx), VYi = V::set1(me.vy), VZi = V::set1(me.vz);
  const V CSi = V::set1(me.cs), PRi = V::set1(me.prho2);
  const V ALPHA = V::set1(a.ALPHA), BETA = V::set1(a.BETA);
  V vmumax = V::set1(0.0f);
  alignas(32) float tx[lanesOf<V>], ty[lanesOf<V>], tz[lanesOf<V>];
  float ahx = 0.0f, ahy = 0.0f, ahz = 0.0f;
  constexpr int AHEAD = 16;  // records fetched this many entries ahead
  int j = 0;
  for (; j + W <= a.n; j += W) {
    if (j + AHEAD + W <= a.n)
      for (int l = 0; l < W; ++l) __builtin_prefetch(a.P + (a.nb[j + AHEAD + l] - 1));
    pairGroup<V, weighted>(a, a.nb + j, a.kk + j, W, Xi, Yi, Zi, VXi, VYi, VZi, CSi, PRi, ALPHA, BETA, vmumax, tx,
                           ty, tz);
    for (int l = 0; l < W; ++l) {
      ahx += tx[l];
      ahy += ty[l];
      ahz += tz[l];
    }
  }
  if (j < a.n) {  // the last entries, fewer than W
    const int cnt = a.n - j;
    pairGroup<V, weighted>(a, a.nb + j, a.kk + j, cnt, Xi, Yi, Zi, VXi, VYi, VZi, CSi, PRi, ALPHA, BETA, vmumax, tx,
                           ty, tz);
    for (int l = 0; l < cnt; ++l) {
      ahx += tx[l];
      ahy += ty[l];
      ahz += tz[l];
    }
  }
  alignas(32) float lanes[lanesOf<V>];
  V::store(lanes, vmumax);
  float mumax = 0.0f;
  for (float m : lanes)
    if (m > mumax) mumax = m;
  return {ahx, ahy, ahz, mumax};
}

// The kernel set of one width.
template <class V>
KernelSet kernelSetOf(VectorPath path) {
  return {path, &scanRun<V>, &forceSum<V, false>, &forceSum<V, true>};
}

}  // namespace
}  // namespace velmora
