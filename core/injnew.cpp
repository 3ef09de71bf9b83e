// INJNEW: new gas at the inner Lagrangian point, and the placement shared by the re-injections.
#include <cmath>

#include "core/core.h"
#include "core/motion.h"

namespace velmora {

void placeAtL1(Sim& S, int ip, float c, float s) {
  // 1. A random point of the box in the binary frame: depth 4 HINJ toward the primary, +-2 HINJ across.
  const float d = RANMAR(S) * S.HINJ4;
  const float p = (2.0f * RANMAR(S) - 1.0f) * S.HINJ2;
  const float q = (2.0f * RANMAR(S) - 1.0f) * S.HINJ2;

  // 2-3. Rotated into the inertial frame; co-rotation plus the stream speed toward the primary.
  const float x = (S.XL1 - d) * c - p * s;
  const float y = (S.XL1 - d) * s + p * c;
  const float z = q;
  S.X(ip) = x;
  S.Y(ip) = y;
  S.Z(ip) = z;
  S.VX(ip) = -(S.VINJ * c + y);
  S.VY(ip) = x - S.VINJ * s;
  S.VZ(ip) = 0.0f;

  // 4-5. Gravity at the new position is the whole acceleration.
  const float r1 = std::sqrt((S.XPRIM - x) * (S.XPRIM - x) + (S.YPRIM - y) * (S.YPRIM - y) + z * z);
  const float r2 = std::sqrt((S.XSEC - x) * (S.XSEC - x) + (S.YSEC - y) * (S.YSEC - y) + z * z);
  const float g1 = S.MU1 / (r1 * r1 * r1), g2 = S.MU2 / (r2 * r2 * r2);
  S.AGX(ip) = g2 * (S.XSEC - x) + g1 * (S.XPRIM - x);
  S.AGY(ip) = g2 * (S.YSEC - y) + g1 * (S.YPRIM - y);
  S.AGZ(ip) = -(g1 + g2) * z;
  S.AX(ip) = S.AGX(ip);
  S.AY(ip) = S.AGY(ip);
  S.AZ(ip) = S.AGZ(ip);
  S.AHX(ip) = 0.0f;
  S.AHY(ip) = 0.0f;
  S.AHZ(ip) = 0.0f;

  // 6. Drift velocity such that the closing half-kick gives back the velocity.
  S.VHX(ip) = S.VX(ip) - S.DT1H * S.AGX(ip);
  S.VHY(ip) = S.VY(ip) - S.DT1H * S.AGY(ip);
  S.VHZ(ip) = -S.DT1H * S.AGZ(ip);

  // 7. Gas at the injection temperature.
  S.U(ip) = S.UINJ;
  S.CS(ip) = S.CINJ;
  // The light of the gas that left the slot is not this particle's: it is kept apart.
  S.emissionRemoved += S.emission(ip);
  S.emission(ip) = 0.0f;
}

void refill(Sim& S, int ip, float c, float s, int L) {
  placeAtL1(S, ip, c, s);
  if (L > 1) {
    S.NLEV(1) = static_cast<I16>(S.NLEV(1) + 1);
    S.LEVLIST(S.NLEV(1), 1) = static_cast<I16>(ip);
    S.LEVEL(ip) = 1;
  }
}

void INJNEW(Sim& S, I32 N) {
  S.XPRIM = S.XP0(S.IPHASE);
  S.YPRIM = S.YP0(S.IPHASE);
  S.XSEC = S.XS0(S.IPHASE);
  S.YSEC = S.YS0(S.IPHASE);
  const float c = S.COS0(S.IPHASE), s = S.SIN0(S.IPHASE);

  // The last batch is shortened so that the slots are never exceeded.
  const I32 n = N < MAXPART - S.NPART ? N : MAXPART - S.NPART;
  for (I32 m = 1; m <= n; ++m) {
    S.NLEV(1) = static_cast<I16>(S.NLEV(1) + 1);
    S.NPART = S.NPART + 1;
    S.LEVLIST(S.NLEV(1), 1) = static_cast<I16>(S.NPART);
    S.LEVEL(S.NPART) = 1;
    placeAtL1(S, S.NPART, c, s);
  }
}

}  // namespace velmora
