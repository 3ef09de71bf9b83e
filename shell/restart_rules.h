// The rules of the Restart Control dialog without its widgets: what opening it sets, the check
// boxes, the values read at OK with their checks, the run name and the window title.
#pragma once

#include <string>

#include "core/state.h"

namespace velmora {

class RestartRules {
 public:
  // Recording-resolution trackbar: 1 (High, every phase) to 6 (Low).
  static constexpr int RES_MIN = 1, RES_MAX = 6;
  // Further orbits accepted; enough for any run and far from overflowing the phase counters.
  static constexpr I32 MAX_ORBITS = 10000000;

  // Opening the dialog: the next recorded frame starts a new file, the three outputs are off.
  void opened(Sim& S);

  // The check boxes; each click flips its flag.
  L32 RECFLAG = FALSE4, LCFLAG = FALSE4, RSFLAG = FALSE4;
  void toggleRecord() { RECFLAG = flip(RECFLAG); }
  void toggleLightCurve() { LCFLAG = flip(LCFLAG); }
  void toggleRestart() { RSFLAG = flip(RSFLAG); }

  // The four edit fields as typed (each shows "1" when the dialog opens) and the trackbar.
  std::string orbitsText = "1", recStartText = "1", lcStartText = "1", rsEveryText = "1";
  int resPos = RES_MIN;

  // What is wrong with the values for a run, naming the field and its valid range; empty when
  // they can be used. Start orbits and the restart interval count only when their box is
  // checked; a start orbit must lie within the further orbits, or the output would never start.
  std::string problem() const;

  // OK, steps 1 and 2: the values into the state (NORBADD, NORBTOT = NORBADD, RECSTART,
  // LCSTART, RSEVERY, FRAMESTEP) with the three flags.
  void accept(Sim& S) const;

  // OK, step 3: whether the output files need a name.
  bool needsName() const { return isTrue(RECFLAG) || isTrue(LCFLAG) || isTrue(RSFLAG); }

  // The main window's title once the name is chosen (trailing blank kept).
  static std::string title(const std::string& RUNNAME);

 private:
  static L32 flip(L32 f) { return f == TRUE4 ? FALSE4 : TRUE4; }
};

}  // namespace velmora
