// NEW_LC and WRITE_LC: the light-curve file, 200 samples per completed orbit.
#include <cstdio>

#include "files/files.h"
#include "files/fortran_format.h"

namespace velmora {

std::string lightCurveName(const Sim& S) { return S.RUNNAME + "_lc.vlm"; }

void NEW_LC(Sim& S, RunHost& H) {
  const std::string name = lightCurveName(S);
  const long long n = 200LL * (S.NORBTOT + S.ORB0 - S.LCSTART) + 200;
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) {
    H.warn("cannot create \"" + name + "\": no light curve written");
    return;
  }
  const std::string line = fmt::listInt(n) + "\r\n";
  const bool ok = std::fputs(line.c_str(), f) >= 0;
  if (std::fclose(f) != 0 || !ok) H.warn("cannot write \"" + name + "\"");
  WRITE_LC(S, H);
}

void WRITE_LC(Sim& S, RunHost& H) {
  std::string text;
  text.reserve(200 * 40);
  for (int i = 1; i <= NPHASES; ++i) {
    const float t = S.TPH(i) / 6.28318548f;
    text += " " + fmt::E(t, 18, 10) + " " + fmt::E(S.EDISSPH(i), 18, 10) + "\r\n";
  }
  const std::string name = lightCurveName(S);
  std::FILE* f = std::fopen(name.c_str(), "ab");
  if (!f) {
    H.warn("cannot open \"" + name + "\": light-curve samples of this orbit not written");
    return;
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok) H.warn("cannot write \"" + name + "\"");
}

}  // namespace velmora
