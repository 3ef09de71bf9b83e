// Shared fixtures of the gas tests: a state with the geometry, tables, levels and grid of a
// new run, and particles placed by hand.
#pragma once

#include <memory>

#include "core/core.h"
#include "tests/support/support.h"

namespace velmora::test {

// A state set up as a new run with smoothing length h (tables, constants, level steps,
// forward cells), no particles, and the primary (the grid centre) at the origin.
inline std::unique_ptr<Sim> gasSim(float h, float alpha = 1.0f, float beta = 1.0f) {
  auto S = newSim();
  S->M1 = 1.0f;
  S->M2 = 0.15f;
  S->ALPHA = alpha;
  S->BETA = beta;
  S->HINJ = h;
  S->NEWRUN = TRUE4;
  SETSYS(*S);
  TIMELOOP(*S);
  MAKESORT(*S);
  S->XPRIM = S->YPRIM = 0.0f;
  S->IPHASE = 1;
  return S;
}

// Adds a particle at rest at (x, y, z) with the injection energy, in level L's list.
inline int addParticle(Sim& S, float x, float y, float z, int L = 1) {
  const int i = ++S.NPART;
  S.X(i) = x;
  S.Y(i) = y;
  S.Z(i) = z;
  S.U(i) = S.UINJ;
  S.CS(i) = S.CINJ;
  S.LEVEL(i) = static_cast<I16>(L);
  S.NLEV(L) = static_cast<I16>(S.NLEV(L) + 1);
  S.LEVLIST(S.NLEV(L), L) = static_cast<I16>(i);
  return i;
}

// Sets the neighbour list of particle i by hand: neighbours and their table indices.
inline void setList(Sim& S, int i, std::initializer_list<std::pair<int, int>> nbs) {
  int n = 1;
  for (const auto& [p, k] : nbs) {
    ++n;
    S.NBLIST(n, i) = static_cast<I16>(p);
    S.NBKIDX(n, i) = static_cast<I16>(k);
  }
  S.NNB(i) = static_cast<I16>(n);
}

}  // namespace velmora::test
