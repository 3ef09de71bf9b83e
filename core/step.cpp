// STEP: the phase loop of a run — injection, the sub-steps of the block time steps,
// bookkeeping, output, mouse control and display.
#include <string>

#include "core/core.h"
#include "files/files.h"
#include "files/fortran_format.h"

namespace velmora {
namespace {

// Run control of one call of STEP.
struct Control {
  I32 NSTEPS = 0;     // phases done in this call
  I32 KSUB = 0;       // sub-step within the phase
  I32 IPAUSE = 1;     // odd: running, even: paused
  I32 IFIRSTREC = 0;  // NSTEPS of the first recorded frame
};

enum class Click { None, Stop, Paused };

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
void SUBSTEP(Sim& S, I32 KSUB, int k) {
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
void BOOKPHASE(Sim& S) {
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
void RECORD(Sim& S, RunHost& H, const Control& C) {
  if (!isTrue(S.RECFLAG)) return;
  const bool due = S.IPHASE == 1 || (S.FRAMESTEP >= 1 && S.IPHASE % S.FRAMESTEP == 0);
  if (!due) return;
  if (C.NSTEPS == C.IFIRSTREC) WRITEITFRAMES(S, H, TRUE4);
  else if (C.NSTEPS > C.IFIRSTREC) WRITEITFRAMES(S, H, FALSE4);
}

std::string TITLETEXT(const Sim& S) {
  std::string t1 = isTrue(S.RECFLAG) ? " Velmora - Current File: " + fmt::trimRight(S.RUNNAME).substr(0, 25)
                                     : std::string(" Velmora - Simulation Not Recording");
  const std::string t2 = "       X-Angle: " + fmt::I(S.XANGLE, 5) + "    ";
  const std::string t3 = "     Y-Angle: " + fmt::I(S.YANGLE, 5) + "      ";
  return fmt::trimRight(fmt::padRight(t1, 50) + t2 + t3) + " ";
}

I32 wrapAngle(I32 a) {
  if (a >= 360) a -= 360;
  if (a <= -360) a += 360;
  return a;
}

// One mouse message: the QUIT and PAUSE areas of the button strip, and rotation by dragging.
Click MOUSE(Sim& S, RunHost& H, Control& C, const MouseMsg& m) {
  switch (m.kind) {
    case MouseMsg::LeftDown: {
      S.MOUSEX = static_cast<float>(m.x);
      S.MOUSEY = static_cast<float>(m.y);
      I32 VIEWW = 0, VIEWH = 0;
      H.viewSize(VIEWW, VIEWH);
      const float x = static_cast<float>(m.x);
      const bool strip = m.y >= VIEWH - 25;
      if (strip && x <= static_cast<float>(VIEWW) / 13.66f) return Click::Stop;
      if (strip && x > static_cast<float>(VIEWW) / 13.66f && x < static_cast<float>(2 * VIEWW) / 13.75f) {
        C.IPAUSE += 1;
        if (C.IPAUSE % 2 == 0) return Click::Paused;
      }
      S.LDRAG = TRUE4;
      return Click::None;
    }
    case MouseMsg::LeftUp: S.LDRAG = FALSE4; return Click::None;
    case MouseMsg::RightDown: S.RDRAG = TRUE4; return Click::None;
    case MouseMsg::RightUp: S.RDRAG = FALSE4; return Click::None;
    case MouseMsg::DoubleClick: return Click::None;
    case MouseMsg::Move:
      if (isTrue(S.LDRAG)) {
        S.MOUSEY = static_cast<float>(m.y);
        if (S.MOUSEY > S.MOUSEY0) S.XANGLE += 2;
        else if (S.MOUSEY < S.MOUSEY0) S.XANGLE -= 2;
      }
      if (isTrue(S.RDRAG)) {
        S.MOUSEX = static_cast<float>(m.x);
        if (S.MOUSEX > S.MOUSEX0) S.YANGLE += 2;
        else if (S.MOUSEX < S.MOUSEX0) S.YANGLE -= 2;
      }
      S.XANGLE = wrapAngle(S.XANGLE);
      S.YANGLE = wrapAngle(S.YANGLE);
      H.setTitle(TITLETEXT(S));
      S.MOUSEX0 = S.MOUSEX;
      S.MOUSEY0 = S.MOUSEY;
      return Click::None;
  }
  return Click::None;
}

// Steps 6 and 7 of a phase: take one message; while paused, keep redrawing and taking messages.
// Returns false when the stop area was clicked.
bool MESSAGES(Sim& S, RunHost& H, Control& C) {
  for (;;) {
    if (auto m = H.takeMessage()) {
      const Click c = MOUSE(S, H, C, *m);
      if (c == Click::Stop) return false;
      if (c == Click::Paused) continue;
    }
    if (C.IPAUSE % 2 != 0) return true;
    H.show(S, C.NSTEPS, S.XANGLE, S.YANGLE, 1);
    H.sleepMs(15);
  }
}

// End of an orbit: the light curve from orbit LCSTART on, the restart file every RSEVERY orbits.
void ENDORBIT(Sim& S, RunHost& H) {
  S.IORBIT += 1;
  S.IPHASE = 0;
  if (isTrue(S.LCFLAG)) {
    if (S.IORBIT == S.LCSTART) NEW_LC(S, H);
    else if (S.IORBIT > S.LCSTART) WRITE_LC(S, H);
  }
  if (isTrue(S.RSFLAG) && S.RSEVERY >= 1 && S.IORBIT % S.RSEVERY == 0) WRITEFINAL(S, H);
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
    for (int k = 1; k <= S.NSUB; ++k) SUBSTEP(S, ++C.KSUB, k);
    C.KSUB = 0;
    BOOKPHASE(S);
    RECORD(S, H, C);
    if (!MESSAGES(S, H, C)) return;
    if (NDISP >= 1 && S.IPHASE % NDISP == 0) {
      if (isTrue(S.SHOWSIM)) H.show(S, C.NSTEPS, S.XANGLE, S.YANGLE, 0);
      else H.progress(S.IPHASE, S.IORBIT);
    }
    if (S.IPHASE == NPHASES) ENDORBIT(S, H);
  }
}

}  // namespace velmora
