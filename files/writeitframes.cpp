// WRITEITFRAMES: one frame of the run's recording, appended or starting a new file.
#include <cmath>
#include <cstdio>

#include "files/binary.h"
#include "files/files.h"

namespace velmora {

std::string recordingName(const Sim& S) { return S.RUNNAME + ".vlm"; }

void WRITEITFRAMES(Sim& S, RunHost& H, L32 FIRST) {
  const bool create = S.NPART == S.NINJREC || isTrue(S.NEWREC) || FIRST == TRUE4;
  const int n = S.NPART;

  LEBuffer b;
  b.reserve(static_cast<std::size_t>(1332 + 20 * n));
  b.putI32(n);
  if (create) b.putI32(S.NORBTOT);
  b.putF32(S.XPRIM);
  b.putF32(S.YPRIM);
  b.putF32(S.XSEC);
  b.putF32(S.YSEC);
  b.putI32(S.IPHASE);
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
    b.putF32(S.LOBEX(i, S.IPHASE));
    b.putF32(S.LOBEY(i, S.IPHASE));
  }
  for (int j = 1; j <= NWDPTS; ++j) {
    b.putF32(S.WDX(j, S.IPHASE));
    b.putF32(S.WDY(j, S.IPHASE));
  }

  const std::string name = recordingName(S);
  std::FILE* f = nullptr;
  for (int attempt = 0; attempt <= 10 && !f; ++attempt) f = std::fopen(name.c_str(), create ? "wb" : "ab");
  if (!f) {
    H.warn("cannot open \"" + name + "\": recording frame skipped");
    return;
  }
  const auto& bytes = b.bytes();
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) H.warn("cannot write \"" + name + "\": recording frame incomplete");
  if (create && isTrue(S.NEWREC)) S.NEWREC = FALSE4;
}

}  // namespace velmora
