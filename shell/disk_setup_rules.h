// The rules of the Disk Setup dialog without its widgets: slider grids, derived values,
// the corrections of typed counts, and the parameters a run takes from the boxes.
#pragma once

#include <string>

#include "core/state.h"

namespace velmora {

struct RunParameters {
  float M1 = 0, M2 = 0, HINJ = 0, ALPHA = 0, BETA = 0;
  I32 NPART = 0, NORB = 0, NINJ = 0, NDISP = 0;
  I32 RECSTART = 0, LCSTART = 0, RSEVERY = 0, FRAMESTEP = 0;
};

class DiskSetupRules {
 public:
  // Slider ranges.
  static constexpr int M1_MIN = 50, M1_MAX = 130;
  static constexpr int Q_MIN = 1, Q_MAX = 100;
  static constexpr int H_MIN = 80, H_MAX = 400;
  static constexpr int AB_MIN = 1, AB_MAX = 200;
  static constexpr int RES_MIN = 1, RES_MAX = 6;
  static constexpr int MAX_INJ = 10;

  // The dialog as it opens. resPos is the resolution slider's last reported position,
  // kept for the life of the program (0 until it is first reported).
  explicit DiskSetupRules(int resPos = 0);

  // Largest h slider position for a particle count.
  static int hmaxFor(long long particles);
  // Separation (solar radii) and period (hours) the dialog shows for information.
  static float separation(float m1, float m2);
  static float periodHours(float m1, float m2, float a);

  // Slider positions; after any change sliderMoved() recomputes every derived value.
  int m1Pos = 100, qPos = 15, hPos = 250, alphaPos = 100, betaPos = 100, resSlider = RES_MIN;
  int hMax = H_MAX;
  void sliderMoved();

  // A count typed into "# Particles:" or "# Inj/dt:"; returns the value the box shows afterwards.
  long long particlesChanged(long long typed);
  long long injectionsChanged(long long typed);

  // Box texts (as shown) and the kept values.
  std::string m1Text, qText, m2Text, aText, pText, hText, alphaText, betaText;
  float hinj = 0.025f, dlgM1 = 1.0f, dlgM2 = 0.15f, dlgAlpha = 1.0f, dlgBeta = 1.0f;
  long long particles = 1000, injections = 10;
  long long orbits = 10, displaySteps = 1, recStart = 1, lcStart = 1, rsEvery = 1;
  int resPos = 0;

  // Run steps 3 to 6: the values the run takes, read back from the boxes.
  RunParameters runParameters() const;

 private:
  void showH();
};

// Puts a new run's settings into the state before DISKSUB starts it: the smoothing length,
// the output choices and their start orbits, the orbit total and the injection count.
void prepareRun(Sim& S, const RunParameters& p, bool record, bool lightCurve, bool restarts);

}  // namespace velmora
