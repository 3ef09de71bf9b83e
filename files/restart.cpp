// RESTART: a run continued from the restart file DATANAME for NORBADD further orbits.
#include "core/core.h"
#include "display/makeshow.h"
#include "files/files.h"
#include "files/restart_file.h"

namespace velmora {

// The file is read and checked in full before anything changes, so a file that is refused
// (FileError) leaves the state as it was.
void RESTART(Sim& S, RunHost& H) {
  const RestartFile R = readRestartFile(S.DATANAME);
  if (static_cast<long long>(R.IORBIT) + S.NORBADD > 2147483647LL)
    throw FileError(S.DATANAME, "orbit " + std::to_string(R.IORBIT) + " plus " + std::to_string(S.NORBADD) +
                                    " further orbits exceeds the largest orbit count");

  // 1. No new particles: removed ones are still re-injected into their slots.
  S.INJOFF = 1;
  // 3-6. The stored state, with the level lists rebuilt in slot order.
  applyRestartFile(S, R);
  S.ORB0 = S.IORBIT;
  S.NPMAX = S.NPART;
  // A continued run keeps the file's level count (TIMELOOP sets 8 only for a new run).
  S.NEWRUN = FALSE4;
  // 7-10. Geometry, random numbers, tables, grid and display tables.
  SETSYS2(S);
  I32 IERR = 0;
  RANDOM(S, 1234, IERR);
  LAGRANGE(S);
  OUTERLOBE(S);
  EQUIPOT(S);
  TIMELOOP(S);
  MAKESORT(S);
  MAKESHOW(S);
  // 11. The step loop, drawing every phase, injecting (into freed slots) 10 per phase.
  STEP(S, H, 1, 10);
}

}  // namespace velmora
