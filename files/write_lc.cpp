// newLightCurve and WRITE_LC: the light-curve file, 200 samples per completed orbit.
#include <string>

#include "files/files.h"
#include "io/file_io.h"
#include "io/fortran_format.h"

namespace velmora {

std::string lightCurveName(const Sim& S) { return fmt::trimRight(S.RUNNAME) + "_lc.vlm"; }

// The count line announces the samples of every orbit from LCSTART to the end of the run.
void newLightCurve(Sim& S, RunHost& H) {
  const std::string name = lightCurveName(S);
  const long long n = 200LL * (S.NORBTOT + S.ORB0 - S.LCSTART) + 200;
  const std::string err = writeNew(name, fmt::listInt(n) + "\r\n");
  if (!err.empty()) H.warn(err + ": the light curve's count line is missing");
  WRITE_LC(S, H);
}

// Each sample: a blank, the time in orbits as E18.10, a blank, the luminosity as E18.10.
void WRITE_LC(Sim& S, RunHost& H) {
  std::string text;
  text.reserve(200 * 40);
  for (int i = 1; i <= NPHASES; ++i) {
    const float t = S.TPH(i) / 6.28318548f;
    text += ' ';
    text += fmt::E(t, 18, 10);
    text += ' ';
    text += fmt::E(S.EDISSPH(i), 18, 10);
    text += "\r\n";
  }
  const std::string err = appendWhole(lightCurveName(S), text);
  if (!err.empty()) H.warn(err + ": light-curve samples of orbit " + std::to_string(S.IORBIT) + " not written");
}

}  // namespace velmora
