// Shared pieces of the movers and the injection routines.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/state.h"
#include "core/threads.h"

namespace velmora {

enum class Fate : std::int8_t { Kept, Escaped, Accreted, Returned };

// The removal tests of a particle after its drift, in their fixed order. Drift-only
// levels (full == false) are tested for escape only.
inline Fate removalTest(const Sim& S, float x, float y, float z, bool full) {
  if (z * z >= S.ZESCSQ) return Fate::Escaped;
  const float dxp = x - S.XPRIM, dyp = y - S.YPRIM;
  const float rp2 = dxp * dxp + dyp * dyp;
  if (rp2 >= S.RESCSQ) return Fate::Escaped;
  if (!full) return Fate::Kept;
  if (rp2 + z * z <= S.RACCSQ) return Fate::Accreted;
  const float dxs = x - S.XSEC, dys = y - S.YSEC;
  if (dxs * dxs + dys * dys + z * z <= S.RL2ASQ) return Fate::Returned;
  return Fate::Kept;
}

inline void countRemoval(Sim& S, Fate f) {
  switch (f) {
    case Fate::Escaped: ++S.NESC; break;
    case Fate::Accreted: ++S.NACC; break;
    case Fate::Returned: ++S.NLOST; break;
    case Fate::Kept: break;
  }
}

inline void drift(Sim& S, int ip, float dt) {
  S.X(ip) = S.X(ip) + dt * S.VHX(ip);
  S.Y(ip) = S.Y(ip) + dt * S.VHY(ip);
  S.Z(ip) = S.Z(ip) + dt * S.VHZ(ip);
}

// Gravity of both stars at the particle's position, then the predicted velocity
// half a step dk ahead of the drift velocity.
inline void kick(Sim& S, int ip, float dk) {
  const float x = S.X(ip), y = S.Y(ip), z = S.Z(ip);
  const float dxp = x - S.XPRIM, dyp = y - S.YPRIM, dxs = x - S.XSEC, dys = y - S.YSEC;
  const float r1 = std::sqrt(dxp * dxp + dyp * dyp + z * z);
  const float r2 = std::sqrt(dxs * dxs + dys * dys + z * z);
  const float g1 = S.MU1 / (r1 * r1 * r1), g2 = S.MU2 / (r2 * r2 * r2);
  S.AGX(ip) = -(g2 * dxs + g1 * dxp);
  S.AGY(ip) = -(g2 * dys + g1 * dyp);
  S.AGZ(ip) = -(g1 + g2) * z;
  S.VX(ip) = S.VHX(ip) + dk * (S.AGX(ip) + S.AHX(ip));
  S.VY(ip) = S.VHY(ip) + dk * (S.AGY(ip) + S.AHY(ip));
  S.VZ(ip) = S.VHZ(ip) + dk * (S.AGZ(ip) + S.AHZ(ip));
}

// Places particle ip at a random point of the injection box at L1, for the phase
// angle with cosine c and sine s and the current star positions.
void placeAtL1(Sim& S, int ip, float c, float s);

// A removed particle's slot refilled at once; it joins level 1 if it was elsewhere.
void refill(Sim& S, int ip, float c, float s, int L);

// Rewrites the first j entries of level L's list from TMPLIST (compaction after removals).
inline void compactLevel(Sim& S, int L, int j) {
  for (int m = 1; m <= j; ++m) S.LEVLIST(m, L) = S.TMPLIST(m);
  S.NLEV(L) = static_cast<I16>(j);
}

// A move of every level: each particle drifts by dt and meets the removal tests (all four on
// levels 1..nfull, the escape tests above), and a kept particle of levels 1..nfull is kicked with
// the half step kickStep(L). The particles are independent of each other, so they are moved
// side by side: in stretches of particle numbers, one per thread, when every particle in use is
// on the level lists (as the injection and the level changes keep them), else list by list. A
// level list holds its particles in no order of their numbers, and threads that took turns along
// it wrote to the same cache lines all the time. Then, level by level in list order, each removed
// particle is counted and refilled by inject(ip, L), which draws its random numbers in that
// order, and a level above 1 loses its removed particles from its list, which otherwise keeps its
// order.
template <class KickStep, class Inject>
inline void moveLevels(Sim& S, float dt, int nfull, KickStep kickStep, Inject inject) {
  std::int8_t* fate = S.passWork.fate.data();  // fate of particle ip at [ip - 1]
  const int nlev = S.NLEVELS;
  int total = 0;
  for (int L = 1; L <= nlev; ++L) total += S.NLEV(L);
  const int T = threadsFor(total, 2048);
  int removed[MAXLEV + 1] = {};
  auto move = [&](int ip, int L, float dk, int* gone) {
    const bool full = L <= nfull;
    drift(S, ip, dt);
    const Fate f = removalTest(S, S.X(ip), S.Y(ip), S.Z(ip), full);
    fate[ip - 1] = static_cast<std::int8_t>(f);
    if (f != Fate::Kept) ++gone[L];
    else if (full) kick(S, ip, dk);
  };
  if (total == S.NPART) {
    float dkOf[MAXLEV + 1] = {};
    for (int L = 1; L <= nlev; ++L) dkOf[L] = L <= nfull ? kickStep(L) : 0.0f;
#pragma omp parallel for num_threads(T) if (T > 1) schedule(static) reduction(+ : removed[:MAXLEV + 1])
    for (int ip = 1; ip <= total; ++ip) {
      const int L = S.LEVEL(ip);
      move(ip, L, dkOf[L], removed);
    }
  } else {
#pragma omp parallel num_threads(T) if (T > 1) reduction(+ : removed[:MAXLEV + 1])
    for (int L = 1; L <= nlev; ++L) {
      const float dk = L <= nfull ? kickStep(L) : 0.0f;
      const int n = S.NLEV(L);
      const I16* list = &S.LEVLIST(1, L);
#pragma omp for schedule(static) nowait
      for (int m = 0; m < n; ++m) move(list[m], L, dk, removed);
    }
  }
  for (int L = 1; L <= nlev; ++L) {
    if (removed[L] == 0) continue;
    int j = 0;
    const int n = S.NLEV(L);
    for (int m = 1; m <= n; ++m) {
      const int ip = S.LEVLIST(m, L);
      const auto f = static_cast<Fate>(fate[ip - 1]);
      if (f != Fate::Kept) {
        countRemoval(S, f);
        inject(ip, L);
      } else {
        S.TMPLIST(++j) = static_cast<I16>(ip);
      }
    }
    if (L > 1) compactLevel(S, L, j);
  }
}

}  // namespace velmora
