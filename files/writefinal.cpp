// WRITEFINAL: the restart file, replaced as a whole at the end of an orbit.
#include <cstdio>
#include <string>

#include "files/files.h"
#include "files/fortran_format.h"

namespace velmora {

std::string restartName(const Sim& S) { return S.RUNNAME + "_rs.vlm"; }

namespace {

std::string restartText(const Sim& S) {
  std::string t;
  t.reserve(static_cast<std::size_t>(S.NPART) * 235 + 300);
  t += " ";
  for (float v : {S.M1, S.M2, S.ASEP, S.PORB, S.RSONE, S.TINJ, S.HSPH}) t += fmt::F(v, 20, 10) + " ";
  t += fmt::I(S.NPART, 6) + " " + fmt::I(S.NLEVELS, 6) + "\r\n";
  t += fmt::listInt(S.IORBIT) + fmt::listReal(S.ALPHA) + fmt::listReal(S.BETA) + "\r\n";
  for (int i = 1; i <= S.NPART; ++i) {
    t += " ";
    for (float v : {S.X(i), S.Y(i), S.Z(i), S.VHX(i), S.VHY(i), S.VHZ(i), S.AHX(i), S.AHY(i), S.AHZ(i), S.U(i),
                     S.CS(i)})
      t += fmt::F(v, 20, 10) + " ";
    t += fmt::I(S.LEVEL(i), 1) + "\r\n";
  }
  return t;
}

}  // namespace

// The new content goes to a temporary file beside the old one and is renamed over it,
// so an interruption never leaves a half-written restart point.
void WRITEFINAL(Sim& S, RunHost& H) {
  const std::string name = restartName(S);
  const std::string tmp = name + ".tmp";
  const std::string text = restartText(S);
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    H.warn("cannot create \"" + tmp + "\": restart file not written");
    return;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(tmp.c_str(), name.c_str()) != 0) {
    std::remove(tmp.c_str());
    H.warn("cannot write \"" + name + "\": the previous restart file is kept");
  }
}

}  // namespace velmora
