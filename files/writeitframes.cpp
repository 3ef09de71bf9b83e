// WRITEITFRAMES: one frame of the run's recording, appended or starting a new file.
#include <cmath>
#include <string>

#include "files/files.h"
#include "io/binary.h"
#include "io/file_io.h"
#include "io/fortran_format.h"

namespace velmora {

std::string recordingName(const Sim& S) { return fmt::trimRight(S.RUNNAME) + ".vlm"; }

namespace {

// A frame at the first phase of a new run, when exactly the first batch has been injected,
// starts the file. The particle count alone is not enough: a run whose particle limit equals
// its injection count keeps that count for good, and every later frame would truncate the file.
bool firstPhaseOfNewRun(const Sim& S) {
  return isTrue(S.NEWRUN) && S.IORBIT == 0 && S.IPHASE == 1 && S.NPART == S.NINJREC;
}

}  // namespace

void WRITEITFRAMES(Sim& S, RunHost& H, L32 FIRST) {
  const bool create = FIRST == TRUE4 || isTrue(S.NEWREC) || firstPhaseOfNewRun(S);
  const int n = S.NPART;
  const I32 ph = S.IPHASE;

  LEBuffer b;
  b.reserve(static_cast<std::size_t>(1332 + 20 * n));
  b.putI32(n);
  if (create) b.putI32(S.NORBTOT);
  b.putF32(S.XPRIM);
  b.putF32(S.YPRIM);
  b.putF32(S.XSEC);
  b.putF32(S.YSEC);
  b.putI32(ph);
  if (create) {
    b.putI32(S.FRAMESTEP);
    b.putI32(S.RECSTART);
  }
  for (int i = 1; i <= n; ++i) {
    b.putF32(S.X(i));
    b.putF32(S.Y(i));
    b.putF32(S.Z(i));
    b.putF32(S.RHO(i));
    b.putF32(std::pow(S.U(i), 0.25f));
  }
  for (int i = 1; i <= NLOBE; ++i) {
    b.putF32(S.LOBEX(i, ph));
    b.putF32(S.LOBEY(i, ph));
  }
  for (int j = 1; j <= NWDPTS; ++j) {
    b.putF32(S.WDX(j, ph));
    b.putF32(S.WDY(j, ph));
  }

  // The open is tried 11 times in all; a frame that cannot be written whole is left out.
  const std::string name = recordingName(S);
  const auto& bytes = b.bytes();
  const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::string err = create ? writeNew(name, data, 11) : appendWhole(name, data, 11);
  if (!err.empty()) {
    H.warn(err + ": recording frame of orbit " + std::to_string(S.IORBIT + 1) + ", phase " + std::to_string(ph) +
           " skipped");
    // A frame that should have started the file did not: the next frame starts it instead of
    // being appended to whatever the file held before.
    if (create) S.NEWREC = TRUE4;
    return;
  }
  if (create && isTrue(S.NEWREC)) S.NEWREC = FALSE4;
}

}  // namespace velmora
