// Light Curve Plot Control rules: the orbit range kept valid while the user types.
#include "shell/lc_range_rules.h"

#include <algorithm>
#include <limits>

#include "files/lightcurve.h"
#include "shell/text2real.h"

namespace velmora {

LCRangeRules::LCRangeRules(long long samples) {
  const long long orbits = samples / LC_SAMPLES_PER_ORBIT;
  ORBREC = static_cast<I32>(std::clamp<long long>(orbits, 0, std::numeric_limits<I32>::max()));
  LCFIRST = 1;
  LCLAST = ORBREC;
}

std::string LCRangeRules::boxText(long long v) { return std::to_string(v); }

std::optional<std::string> LCRangeRules::firstChanged(std::string_view text) {
  LCFIRST = boxInt(text);
  bool corrected = false;
  if (LCFIRST < 1) {
    LCFIRST = 1;
    corrected = true;
  }
  if (LCFIRST > LCLAST) {
    LCFIRST = LCLAST;
    corrected = true;
  }
  if (LCFIRST < 1) {  // no whole orbit in the file
    LCFIRST = 1;
    corrected = true;
  }
  if (corrected && boxText(LCFIRST) != text) return boxText(LCFIRST);
  return std::nullopt;
}

std::optional<std::string> LCRangeRules::lastChanged(std::string_view text) {
  LCLAST = boxInt(text);
  bool corrected = false;
  if (LCLAST > ORBREC) {
    LCLAST = ORBREC;
    corrected = true;
  }
  if (LCLAST < 1) {
    LCLAST = 1;
    corrected = true;
  }
  if (corrected && boxText(LCLAST) != text) return boxText(LCLAST);
  return std::nullopt;
}

bool LCRangeRules::accept(std::string_view firstText, std::string_view lastText) {
  LCFIRST = boxInt(firstText);
  LCLAST = std::max(boxInt(lastText), LCFIRST);
  return plottable() && LCFIRST >= 1 && LCLAST <= ORBREC;
}

std::string LCRangeRules::typeRange(std::optional<long long> first, std::optional<long long> last,
                                    const std::string& file, const std::string& spelling) {
  const std::string valid = " must be between 1 and " + std::to_string(ORBREC) + " (" + file + " holds " +
                            std::to_string(ORBREC) + " whole orbit" + (ORBREC == 1 ? "" : "s") + ")";
  std::string firstText = boxText(LCFIRST), lastText = boxText(LCLAST);
  const LCRangeRules before = *this;
  if (first) {
    firstText = std::to_string(*first);
    if (firstChanged(firstText)) {
      *this = before;
      return spelling + "first" + valid;
    }
  }
  if (last) {
    lastText = std::to_string(*last);
    if (lastChanged(lastText)) {
      *this = before;
      return spelling + "last" + valid;
    }
  }
  accept(firstText, lastText);
  return {};
}

}  // namespace velmora
