// Disk Setup rules: slider grids, derived values and the corrections of typed counts.
#include "shell/disk_setup_rules.h"

#include <cmath>

#include "core/geometry.h"
#include "io/fortran_format.h"
#include "shell/text2real.h"

namespace velmora {

DiskSetupRules::DiskSetupRules(int resPosKept) : resPos(resPosKept) {
  // The boxes as the dialog opens them.
  hText = fmt::F(hinj, 6, 4);
  m1Text = fmt::F(dlgM1, 5, 3);
  m2Text = fmt::F(dlgM2, 5, 3);
  qText = fmt::F(0.15f, 5, 3);
  aText = fmt::F(0.815799f, 5, 2);
  pText = fmt::F(1.9065112f, 5, 2);
  alphaText = fmt::F(dlgAlpha, 5, 2);
  betaText = fmt::F(dlgBeta, 5, 2);
  hPos = static_cast<int>(hinj * 10000.0f);
  particlesChanged(1000);
  injectionsChanged(10);
}

int DiskSetupRules::hmaxFor(long long n) {
  if (n <= 1000) return H_MAX;
  const float d = static_cast<float>((n - 25000) * (n - 25000));
  return static_cast<int>(std::lround(10000.0f * (d / 2.88e10f + 0.02f)));
}

float DiskSetupRules::separation(float m1, float m2) {
  const float q = m2 / m1;
  const float r2 = 0.876f * std::pow(m2, 0.807f);
  return r2 / lobeRadius(q);
}

float DiskSetupRules::periodHours(float m1, float m2, float a) {
  return 9988.86f * std::sqrt(a * a * a / (m1 + m2)) / 3600.0f;
}

void DiskSetupRules::sliderMoved() {
  resPos = resSlider;
  hinj = static_cast<float>(hPos) / 10000.0f;
  hText = fmt::F(hinj, 6, 4);
  dlgM1 = static_cast<float>(m1Pos) / 100.0f;
  m1Text = fmt::F(dlgM1, 5, 3);
  const float q = static_cast<float>(qPos) / 100.0f;
  qText = fmt::F(q, 5, 3);
  dlgM2 = dlgM1 * q;
  m2Text = fmt::F(dlgM2, 5, 3);
  const float a = separation(dlgM1, dlgM2);
  aText = fmt::F(a, 5, 2);
  pText = fmt::F(periodHours(dlgM1, dlgM2, a), 5, 2);
  dlgAlpha = static_cast<float>(alphaPos) / 100.0f;
  alphaText = fmt::F(dlgAlpha, 5, 2);
  dlgBeta = static_cast<float>(betaPos) / 100.0f;
  betaText = fmt::F(dlgBeta, 5, 2);
}

void DiskSetupRules::showH() {
  hText = fmt::F(hinj, 6, 4);
  hPos = static_cast<int>(hinj * 10000.0f);
}

long long DiskSetupRules::particlesChanged(long long typed) {
  particles = typed > MAXPART ? MAXPART : typed;
  hMax = hmaxFor(particles);
  const float hcap = static_cast<float>(hMax) / 10000.0f;
  if (hinj > hcap) hinj = hcap;
  showH();
  return particles;
}

long long DiskSetupRules::injectionsChanged(long long typed) {
  injections = typed;
  if (injections > MAX_INJ) injections = MAX_INJ;
  if (injections > particles) injections = particles;
  return injections;
}

RunParameters DiskSetupRules::runParameters() const {
  RunParameters p;
  p.NPART = static_cast<I32>(particles);
  p.NORB = static_cast<I32>(orbits);
  p.NINJ = static_cast<I32>(injections > particles ? particles : injections);
  p.NDISP = static_cast<I32>(displaySteps);
  p.RECSTART = static_cast<I32>(recStart);
  p.LCSTART = static_cast<I32>(lcStart);
  p.RSEVERY = static_cast<I32>(rsEvery);
  // The run uses the values as displayed, to the boxes' precision.
  p.HINJ = TEXT2REAL(hText, 10).value_or(hinj);
  p.M1 = TEXT2REAL(m1Text, 10).value_or(dlgM1);
  p.M2 = TEXT2REAL(m2Text, 10).value_or(dlgM2);
  p.ALPHA = TEXT2REAL(alphaText, 10).value_or(dlgAlpha);
  p.BETA = TEXT2REAL(betaText, 10).value_or(dlgBeta);
  p.FRAMESTEP = resPos + 1;
  return p;
}

void prepareRun(Sim& S, const RunParameters& p, bool record, bool lightCurve, bool restarts) {
  S.HINJ = p.HINJ;
  S.RECFLAG = record ? TRUE4 : FALSE4;
  S.LCFLAG = lightCurve ? TRUE4 : FALSE4;
  S.RSFLAG = restarts ? TRUE4 : FALSE4;
  S.RECSTART = p.RECSTART;
  S.LCSTART = p.LCSTART;
  S.RSEVERY = p.RSEVERY;
  S.FRAMESTEP = p.FRAMESTEP;
  S.NORBTOT = p.NORB;
  S.NINJREC = p.NINJ;
}

}  // namespace velmora
