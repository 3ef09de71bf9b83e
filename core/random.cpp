// RANDOM and RANMAR: Marsaglia and Zaman's universal generator in single precision.
#include "core/core.h"

namespace velmora {

void RANDOM(Sim& S, I32 KL, I32& IERR) {
  if (KL < 0 || KL > 30081) {
    IERR = 1;
    return;
  }
  // The first seed is fixed, so the derived indices start at i = 12 and j = 34.
  I32 i = 12, j = 34, k = (KL / 169) % 178 + 1, l = KL % 169;
  for (int ii = 1; ii <= 97; ++ii) {
    float s = 0.0f, t = 0.5f;
    for (int jj = 1; jj <= 24; ++jj) {
      const I32 m = (((i * j) % 179) * k) % 179;
      i = j;
      j = k;
      k = m;
      l = (53 * l + 1) % 169;
      if ((l * m) % 64 >= 32) s = s + t;
      t = 0.5f * t;
    }
    S.RANU(ii) = s;
  }
  S.RANC = 362436.0f / 16777216.0f;
  S.RANCD = 7654321.0f / 16777216.0f;
  S.RANCM = 16777213.0f / 16777216.0f;
  S.I97 = 97;
  S.J97 = 33;
  S.RANTEST = TRUE4;
}

float RANMAR(Sim& S) {
  if (!isTrue(S.RANTEST))
    throw RunError(" Call the init routine (RMARIN) before calling RANMAR");
  float uni = S.RANU(S.I97) - S.RANU(S.J97);
  if (uni < 0.0f) uni = uni + 1.0f;
  S.RANU(S.I97) = uni;
  S.I97 = S.I97 - 1;
  if (S.I97 == 0) S.I97 = 97;
  S.J97 = S.J97 - 1;
  if (S.J97 == 0) S.J97 = 97;
  S.RANC = S.RANC - S.RANCD;
  if (S.RANC < 0.0f) S.RANC = S.RANC + S.RANCM;
  uni = uni - S.RANC;
  if (uni < 0.0f) uni = uni + 1.0f;
  return uni;
}

}  // namespace velmora
