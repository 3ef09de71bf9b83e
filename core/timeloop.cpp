// TIMELOOP: level steps, the sub-step schedule and the star-position tables of a run.
#include <cmath>

#include "core/core.h"

namespace velmora {
namespace {

void starsAt(const Sim& S, float theta, float& xp, float& yp, float& xs, float& ys, float& c, float& s) {
  c = std::cos(theta);
  s = std::sin(theta);
  xp = -S.MU2 * c;
  yp = -S.MU2 * s;
  xs = S.MU1 * c;
  ys = S.MU1 * s;
}

}  // namespace

void TIMELOOP(Sim& S) {
  // 1-3. Phase length and the step of every level: level NLEVELS takes the whole phase.
  const float DT = S.TWOPI / static_cast<float>(NPHASES);
  if (isTrue(S.NEWRUN)) S.NLEVELS = 8;
  for (int j = 0; j <= S.NLEVELS - 1; ++j) {
    const int L = S.NLEVELS - j;
    S.DTLEV(L) = DT / static_cast<float>(1 << j);
    S.DTHLEV(L) = 0.5f * S.DTLEV(L);
    S.DT2LEV(L) = 2.0f * S.DTLEV(L);
  }

  // 4. Sub-step schedule: NACTTAB(k) = 2 + the power of two in k.
  if (S.NLEVELS == 1) {
    S.NSUB = 1;
    S.NACTTAB(1) = 1;
  } else {
    S.NSUB = static_cast<I16>(1 << (S.NLEVELS - 2));
    for (int j = 0; j < S.NLEVELS; ++j)
      for (int k = 1 << j; k <= S.NSUB; k += 1 << (j + 1)) S.NACTTAB(k) = static_cast<I16>(j + 2);
  }

  // 5. Shorthands.
  S.DT1 = S.DTLEV(1);
  S.DTPHASE = S.DTLEV(S.NLEVELS);
  S.DT1H = 0.5f * S.DT1;

  // 6. Star positions at every phase start and at the midpoint and end of every sub-step.
  for (int i = 1; i <= NPHASES; ++i) {
    const float t0 = static_cast<float>(i - 1) * S.DTPHASE;
    starsAt(S, t0, S.XP0(i), S.YP0(i), S.XS0(i), S.YS0(i), S.COS0(i), S.SIN0(i));
    for (int k = 1; k <= S.NSUB; ++k) {
      const float tb = t0 + static_cast<float>(2 * k) * S.DT1;
      const float ta = tb - S.DT1;
      starsAt(S, ta, S.XP1(k, i), S.YP1(k, i), S.XS1(k, i), S.YS1(k, i), S.COS1(k, i), S.SIN1(k, i));
      starsAt(S, tb, S.XP2(k, i), S.YP2(k, i), S.XS2(k, i), S.YS2(k, i), S.COS2(k, i), S.SIN2(k, i));
    }
  }
}

}  // namespace velmora
