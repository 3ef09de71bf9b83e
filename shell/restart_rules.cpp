// Restart Control rules: opening, check boxes, the values read at OK and the title.
#include "shell/restart_rules.h"

#include <cstdint>

#include "io/fortran_format.h"
#include "shell/text2real.h"

namespace velmora {

void RestartRules::opened(Sim& S) {
  S.NEWREC = TRUE4;
  S.RECFLAG = S.RSFLAG = S.LCFLAG = FALSE4;
  RECFLAG = RSFLAG = LCFLAG = FALSE4;
  resPos = RES_MIN;
  orbitsText = recStartText = lcStartText = rsEveryText = fmt::trimLeft(fmt::I(1, 6));
}

std::string RestartRules::problem() const {
  const I32 orbits = boxInt(orbitsText);
  auto range = [](const char* field, I32 lo, I32 hi) {
    return std::string(field) + " must be between " + std::to_string(lo) + " and " + std::to_string(hi);
  };
  if (orbits < 0 || orbits > MAX_ORBITS) return range("Number of Additional Orbits", 0, MAX_ORBITS);
  auto start = [&](const char* field, const std::string& text) -> std::string {
    const I32 v = boxInt(text);
    if (orbits < 1) return std::string(field) + " needs at least 1 additional orbit";
    if (v < 1 || v > orbits) return range(field, 1, orbits) + " (the additional orbits)";
    return {};
  };
  if (isTrue(RECFLAG)) {
    if (auto p = start("Start recording simulation at orbit #", recStartText); !p.empty()) return p;
  }
  if (isTrue(LCFLAG)) {
    if (auto p = start("Start recording light curve at orbit #", lcStartText); !p.empty()) return p;
  }
  if (isTrue(RSFLAG) && boxInt(rsEveryText) < 1)
    return "Output restart file every must be at least 1 orbit";
  if (resPos < RES_MIN || resPos > RES_MAX) return range("Recording Resolution", RES_MIN, RES_MAX);
  return {};
}

void RestartRules::accept(Sim& S) const {
  S.NORBADD = boxInt(orbitsText);
  S.RECSTART = boxInt(recStartText);
  S.LCSTART = boxInt(lcStartText);
  S.RSEVERY = boxInt(rsEveryText);
  S.NORBTOT = S.NORBADD;
  S.FRAMESTEP = resPos;
  S.RECFLAG = RECFLAG;
  S.LCFLAG = LCFLAG;
  S.RSFLAG = RSFLAG;
}

std::string RestartRules::title(const std::string& RUNNAME) {
  return fmt::padRight(" Velmora - Current File Name:  " + RUNNAME, 100) + " ";
}

}  // namespace velmora
