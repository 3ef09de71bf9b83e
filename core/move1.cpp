// MOVE1 and INJ1: the level-1 half step at the midpoint of a sub-step.
#include "core/core.h"
#include "core/motion.h"

namespace velmora {

void INJ1(Sim& S, I32 IP, float C, float S_, I32 L) { refill(S, IP, C, S_, L); }

void MOVE1(Sim& S, I32 K) {
  S.XPRIM = S.XP1(K, S.IPHASE);
  S.YPRIM = S.YP1(K, S.IPHASE);
  S.XSEC = S.XS1(K, S.IPHASE);
  S.YSEC = S.YS1(K, S.IPHASE);
  const float c = S.COS1(K, S.IPHASE), s = S.SIN1(K, S.IPHASE);

  // Level 1 is drifted, tested and kicked; its list keeps its order.
  const int n1 = S.NLEV(1);
  for (int m = 1; m <= n1; ++m) {
    const int ip = S.LEVLIST(m, 1);
    drift(S, ip, S.DT1);
    const Fate f = removalTest(S, S.X(ip), S.Y(ip), S.Z(ip), true);
    if (f != Fate::Kept) {
      countRemoval(S, f);
      INJ1(S, ip, c, s, 1);
    } else {
      kick(S, ip, S.DT1H);
    }
  }

  // The other levels are only drifted; escaped particles leave their lists.
  for (int L = 2; L <= S.NLEVELS; ++L)
    driftLevel(S, L, S.DT1, [&](int ip, int lev) { INJ1(S, ip, c, s, lev); });
}

}  // namespace velmora
