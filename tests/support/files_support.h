// Helpers of the file tests: a short new run with chosen outputs.
#pragma once

#include <string>

#include "core/core.h"
#include "files/files.h"
#include "tests/support/support.h"

namespace velmora::test {

struct Outputs {
  std::string name = "run";
  I32 record = 0;  // RECSTART; 0: no recording
  I32 frameStep = 1;
  I32 lc = 0;  // LCSTART; 0: no light curve
  I32 restartEvery = 0;  // 0: no restart files
};

// A new run with the standard binary, h = 0.025 and the given outputs, as the Disk Setup
// dialog starts it.
inline void recordedRun(Sim& S, RunHost& H, I32 orbits, I32 particles, I32 inj, const Outputs& o) {
  REINIT(S);
  S.HINJ = 0.025f;
  S.RUNNAME = o.name;
  S.RECFLAG = o.record > 0 ? TRUE4 : FALSE4;
  S.LCFLAG = o.lc > 0 ? TRUE4 : FALSE4;
  S.RSFLAG = o.restartEvery > 0 ? TRUE4 : FALSE4;
  S.RECSTART = o.record > 0 ? o.record : 1;
  S.LCSTART = o.lc > 0 ? o.lc : 1;
  S.RSEVERY = o.restartEvery > 0 ? o.restartEvery : 1;
  S.FRAMESTEP = o.frameStep;
  S.NORBTOT = orbits;
  S.NINJREC = inj;
  DISKSUB(S, H, 1.0f, 0.15f, 1.0f, 1.0f, particles, orbits, inj, 1, 1);
}

}  // namespace velmora::test
