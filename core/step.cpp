// STEP: the phase loop of a run — injection, the sub-steps of the block time steps,
// bookkeeping, output, mouse control and display.
#include <string>

#include "core/core.h"
#include "core/view_mouse.h"
#include "files/files.h"
#include "io/fortran_format.h"

namespace velmora {
namespace {

// Run control of one call of STEP.
struct Control {
  I32 NSTEPS = 0;     // phases done in this call
  I32 KSUB = 0;       // sub-step within the phase
  I32 IPAUSE = 1;     // odd: running, even: paused
  I32 IFIRSTREC = 0;  // NSTEPS of the first recorded frame
};

// The lowest level holding a particle, or 0 when every level is empty.
I32 lowestLevel(const Sim& S) {
  for (int L = 1; L <= MAXLEV; ++L)
    if (S.NLEV(L) > 0) return L;
  return 0;
}

// Neighbour search for the active levels: the full search once they are more than half.
void search(Sim& S, I32 active) {
  if (active > S.NPART / 2) SORTALL(S);
  else SORT(S);
}

// One sub-step: the level-1 half at its midpoint, then the levels that complete at its end.
void subStep(Sim& S, I32 KSUB, int k) {
  S.ICUR = lowestLevel(S);
  if (S.ICUR == 0) return;  // no particle yet: nothing to advance

  if (S.ICUR == 1) {
    MOVE1(S, KSUB);
    S.NACT = 1;
    search(S, S.NLEV(1));
    FLUID1(S);
  }

  S.NACT = S.NACTTAB(k);
  if (S.ICUR > S.NACT) return;  // nothing completes its step now
  MOVE2(S, KSUB);
  if (S.NACT == S.NLEVELS) {
    SORTALL(S);
    FLUID2ALL(S);
    TIMESTEP(S);
    ENERGYALL(S);
  } else {
    I32 active = 0;
    for (int L = 1; L <= S.NACT; ++L) active += S.NLEV(L);
    search(S, active);
    FLUID2(S);
    TIMESTEP(S);
    ENERGY(S);
  }
}

// Removal counts and dissipated energy of the phase just done.
void bookPhase(Sim& S) {
  const I32 i = S.IPHASE;
  S.NESCPH(i) = S.NESC - S.NESC0;
  S.NACCPH(i) = S.NACC - S.NACC0;
  S.NLOSTPH(i) = S.NLOST - S.NLOST0;
  S.NESC0 = S.NESC;
  S.NACC0 = S.NACC;
  S.NLOST0 = S.NLOST;
  S.EDISSPH(i) = S.EDISS;
  S.EDISS = 0.0f;
  S.TPH(i) = static_cast<float>(S.IORBIT) * S.TWOPI + static_cast<float>(S.IPHASE) * S.DTPHASE;
}

// A frame at phase 1 of every orbit and at every multiple of FRAMESTEP, from orbit RECSTART on.
void recordFrame(Sim& S, RunHost& H, const Control& C) {
  if (!isTrue(S.RECFLAG)) return;
  const bool due = S.IPHASE == 1 || (S.FRAMESTEP >= 1 && S.IPHASE % S.FRAMESTEP == 0);
  if (!due) return;
  if (C.NSTEPS == C.IFIRSTREC) WRITEITFRAMES(S, H, TRUE4);
  else if (C.NSTEPS > C.IFIRSTREC) WRITEITFRAMES(S, H, FALSE4);
}

std::string titleText(const Sim& S) {
  std::string t1 = isTrue(S.RECFLAG) ? " Velmora - Current File: " + fmt::trimRight(S.RUNNAME).substr(0, 25)
                                     : std::string(" Velmora - Simulation Not Recording");
  const std::string t2 = "       X-Angle: " + fmt::I(S.XANGLE, 5) + "    ";
  const std::string t3 = "     Y-Angle: " + fmt::I(S.YANGLE, 5) + "      ";
  return fmt::trimRight(fmt::padRight(t1, 50) + t2 + t3) + " ";
}

// Steps 6 and 7 of a phase: take one message; while paused, keep redrawing and taking messages.
// Returns false when the stop area was clicked.
bool takeMessages(Sim& S, RunHost& H, Control& C) {
  for (;;) {
    if (auto m = H.takeMessage()) {
      const Click c = mouseView(S, C.IPAUSE, H, *m);
      if (c == Click::Stop) return false;
      if (c == Click::Paused) continue;
      if (c == Click::Moved) {
        H.setTitle(titleText(S));
        mouseDone(S);
      }
    }
    if (C.IPAUSE % 2 != 0) return true;
    H.show(S, C.NSTEPS, S.XANGLE, S.YANGLE, 1);
    H.sleepMs(15);
  }
}

// End of an orbit: the light curve from orbit LCSTART on, the restart file every RSEVERY orbits.
void endOrbit(Sim& S, RunHost& H) {
  S.IORBIT += 1;
  S.IPHASE = 0;
  if (isTrue(S.LCFLAG)) {
    if (S.IORBIT == S.LCSTART) newLightCurve(S, H);
    else if (S.IORBIT > S.LCSTART) WRITE_LC(S, H);
  }
  if (isTrue(S.RSFLAG) && S.RSEVERY >= 1 && S.IORBIT % S.RSEVERY == 0) {
    WRITEFINAL(S, H);
    if (S.watcher != nullptr) S.watcher->restartPoint(S, H);
  }
}

}  // namespace

void STEP(Sim& S, RunHost& H, I32 NDISP, I32 NINJ) {
  S.IPHASE = 0;
  S.EDISS = 0.0f;
  S.NESC0 = S.NACC0 = S.NLOST0 = 0;
  S.LCSTART = S.LCSTART + S.IORBIT;
  Control C;
  C.IFIRSTREC = 200 * S.RECSTART - 199;

  while (S.IORBIT < S.NORBEND) {
    S.IPHASE += 1;
    C.NSTEPS += 1;
    if (S.INJOFF == 0 && S.NPART < S.NPMAX) INJNEW(S, NINJ);
    for (int k = 1; k <= S.NSUB; ++k) subStep(S, ++C.KSUB, k);
    C.KSUB = 0;
    bookPhase(S);
    if (S.watcher != nullptr) S.watcher->phaseDone(S);
    recordFrame(S, H, C);
    if (!takeMessages(S, H, C)) return;
    if (NDISP >= 1 && S.IPHASE % NDISP == 0) {
      if (isTrue(S.SHOWSIM)) H.show(S, C.NSTEPS, S.XANGLE, S.YANGLE, 0);
      else H.progress(S.IPHASE, S.IORBIT);
    }
    if (S.IPHASE == NPHASES) endOrbit(S, H);
  }
}

}  // namespace velmora
