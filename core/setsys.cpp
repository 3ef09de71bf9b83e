// SETSYS: units, L1, the lobe outline and every derived constant of a new run.
#include <cmath>
#include <cstdio>

#include "core/core.h"
#include "core/geometry.h"

namespace velmora {

float lobeRadius(float q) {
  const float t = std::pow(q, 0.66667f);
  return 0.49f * t / (0.6f * t + std::log(1.0f + std::pow(q, 0.33334f)));
}

void orbitUnits(float M1, float M2, float RL2A, float& ASEP, float& PORB, float& VUNIT) {
  ASEP = std::pow(M2, 0.866667f) / RL2A;
  PORB = std::sqrt(ASEP * ASEP * ASEP / (M1 + M2)) * 9988.86f;
  VUNIT = std::sqrt((M1 + M2) / ASEP) * 437798.0f;
}

float temperatureFactor(float VUNIT) { return VUNIT * 0.00999999f * VUNIT * 0.000121015f; }

void deriveSystem(Sim& S, bool newRun) {
  // 1-2. Mass fractions, L1, the potential there, the back of the lobe and its outline.
  S.MU2 = S.M2 / (S.M1 + S.M2);
  S.MU1 = S.M1 / (S.M1 + S.M2);
  LAGRANGE(S);
  OUTERLOBE(S);
  EQUIPOT(S);

  // 3-4. Lobe radius, separation, period and velocity unit.
  S.RL2A = lobeRadius(S.M2 / S.M1);
  S.RL2ASQ = S.RL2A * S.RL2A;
  orbitUnits(S.M1, S.M2, S.RL2A, S.ASEP, S.PORB, S.VUNIT);

  // 5. Fixed constants of the gas and the display.
  S.RWD = std::pow(S.M1 * 1.989e-27f, -1.0f / 3.0f) / 6.96e10f;
  S.RACCSQ = 0.0009f;
  S.RSONE = 1.0f;
  if (newRun) S.TINJ = 0.02f;
  S.GAMMA = 1.01f;
  S.GAMMA1 = 0.00999999f;
  S.COURANT = 0.25f;
  S.NPHASE = NPHASES;
  S.GGAM1 = 0.0101f;

  // 6. The dialog's smoothing length becomes HSPH; HINJ becomes the injection scale.
  if (newRun) S.HSPH = S.HINJ;
  S.HINJ = (S.MU2 + S.XL1) / 90.0f;

  // 7. Quantities derived from the smoothing length.
  const float h = S.HSPH;
  S.HINV = 1.0f / h;
  S.HSQ = h * h;
  S.TWOH = 2.0f * h;
  S.TWOHINV = 1.0f / (2.0f * h);
  S.CUTSQ = (2.0f * h) * (2.0f * h);
  S.XYOFF = 100.0f * h;
  const float resc = 100.0f * h - 2.0f * h;
  S.RESCSQ = resc * resc;
  const float zesc = 40.0f * h - h;
  S.ZESCSQ = zesc * zesc;
  S.ZOFF = 40.0f * h + 2.0f * (2.0f * h);
  S.TABSCL = 2000.0f / h;

  // 8. Injected gas: stream speed, energy and sound speed.
  const float v2 = S.VUNIT * S.VUNIT;
  S.VINJ = 9090.4f / S.VUNIT;
  if (newRun) S.UINJ = 1.6527e7f / (0.00999999f * v2);
  else S.UINJ = S.TINJ * 8.2635e8f / (0.00999999f * v2);
  S.CINJ = std::sqrt(0.0101f * S.UINJ);

  // 9. Time-step coefficients.
  if (S.BETA == 0.0f) {
    S.CFLA = 2.0f / h;
    S.CFLB = 0.0f;
  } else {
    S.CFLA = (S.ALPHA + 1.0f) / h;
    S.CFLB = std::sqrt(S.BETA) / h;
  }

  // 10. Energy floor and temperature scale.
  S.UMIN = S.UINJ * 1e-8f;
  S.UFLOOR = 826350.0f / (0.00999999f * v2);
  S.CSFLOOR = std::sqrt(0.0101f * S.UFLOOR);
  S.TEMPFACTOR = temperatureFactor(S.VUNIT);

  // 11. Diagnostic line of a new run.
  if (newRun && isTrue(S.DEBUGOUT)) std::printf(" tempfactor=%15.8G\n", static_cast<double>(S.TEMPFACTOR));

  // 12-14. Injection box, kernel tables, orbit length.
  S.HINJ4 = 4.0f * S.HINJ;
  S.HINJ2 = 2.0f * S.HINJ;
  MAKEKERNEL(S);
  S.TWOPI = 6.28318548f;
}

void SETSYS(Sim& S) { deriveSystem(S, true); }

std::vector<std::pair<const char*, float>> systemConstants(const Sim& S) {
  return {{"MU1", S.MU1},         {"MU2", S.MU2},         {"XL1", S.XL1},         {"PHIL1", S.PHIL1},
          {"XLOBE", S.XLOBE},     {"RL2A", S.RL2A},       {"ASEP", S.ASEP},       {"PORB", S.PORB},
          {"VUNIT", S.VUNIT},     {"RWD", S.RWD},         {"UINJ", S.UINJ},       {"CINJ", S.CINJ},
          {"VINJ", S.VINJ},       {"UMIN", S.UMIN},       {"UFLOOR", S.UFLOOR},   {"CSFLOOR", S.CSFLOOR},
          {"TEMPFACTOR", S.TEMPFACTOR}, {"HSPH", S.HSPH}, {"HINJ", S.HINJ},       {"CFLA", S.CFLA},
          {"CFLB", S.CFLB}};
}

}  // namespace velmora
