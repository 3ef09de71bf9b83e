// The rules of the Light Curve Plot Control dialog without its widgets: the whole orbits of the
// file, the corrections of the two orbit boxes while the user types, and the range OK plots.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/state.h"

namespace velmora {

class LCRangeRules {
 public:
  // The dialog as it opens on a file of `samples` samples: orbits 1 to ORBREC.
  explicit LCRangeRules(long long samples);

  // How the dialog shows a number in a box: its digits, without blanks.
  static std::string boxText(long long v);

  // The text of the first- or last-orbit box changed. Returns the text the box must show
  // instead when the value was corrected, nothing when the typed text stands.
  std::optional<std::string> firstChanged(std::string_view text);
  std::optional<std::string> lastChanged(std::string_view text);

  // OK: both boxes read again; the range ends at the larger of the last and the first orbit.
  // Returns false when the file holds no whole orbit: no range can be plotted.
  bool accept(std::string_view firstText, std::string_view lastText);

  // Types the orbits given into the boxes (first, then last; a box not given keeps its text) and
  // presses OK. A value the dialog would have to correct is refused: returns the problem, naming
  // it as `spelling` + "first" or "last" with the valid range of `file`, and leaves the range as
  // it was. Empty when the range was accepted.
  std::string typeRange(std::optional<long long> first, std::optional<long long> last, const std::string& file,
                        const std::string& spelling);

  // True when the file holds at least one whole orbit.
  bool plottable() const { return ORBREC >= 1; }

  I32 ORBREC = 0;  // whole orbits in the file: samples div 200
  I32 LCFIRST = 1, LCLAST = 0;
};

}  // namespace velmora
