// MOVE2 and INJ2: the move at the end of a sub-step, for the levels that complete their step.
#include "core/core.h"
#include "core/motion.h"

namespace velmora {

void INJ2(Sim& S, I32 IP, float C, float S_, I32 L) { refill(S, IP, C, S_, L); }

void MOVE2(Sim& S, I32 K) {
  S.XPRIM = S.XP2(K, S.IPHASE);
  S.YPRIM = S.YP2(K, S.IPHASE);
  S.XSEC = S.XS2(K, S.IPHASE);
  S.YSEC = S.YS2(K, S.IPHASE);
  const float c = S.COS2(K, S.IPHASE), s = S.SIN2(K, S.IPHASE);
  const float dt = S.DTLEV(S.ICUR);

  // Completing levels: drift, all four removal tests, kick with the level's half step.
  for (int L = 1; L <= S.NACT; ++L) {
    int j = 0;
    const float dk = S.DTHLEV(L);
    const int n = S.NLEV(L);
    for (int m = 1; m <= n; ++m) {
      const int ip = S.LEVLIST(m, L);
      drift(S, ip, dt);
      const Fate f = removalTest(S, S.X(ip), S.Y(ip), S.Z(ip), true);
      if (f != Fate::Kept) {
        countRemoval(S, f);
        INJ2(S, ip, c, s, L);
      } else {
        kick(S, ip, dk);
        if (L > 1) S.TMPLIST(++j) = static_cast<I16>(ip);
      }
    }
    if (L > 1) compactLevel(S, L, j);
  }

  // Levels still in mid-step: drift and the escape tests only.
  for (int L = S.NACT + 1; L <= S.NLEVELS; ++L)
    driftLevel(S, L, dt, [&](int ip, int lev) { INJ2(S, ip, c, s, lev); });
}

}  // namespace velmora
