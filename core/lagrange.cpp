// LAGRANGE: the inner Lagrangian point as the root of a quintic, stepping down from the secondary.
#include "core/core.h"

namespace velmora {

int LAGRANGE(Sim& S) {
  const float m = S.MU1;
  const float m2 = m * m, m3 = m2 * m, m4 = m2 * m2;
  const float c4 = 2.0f - 4.0f * m;
  const float c3 = 1.0f - 6.0f * m + 6.0f * m2;
  const float c2 = 1.0f - 4.0f * m + 6.0f * m2 - 4.0f * m3;
  const float c1 = 2.0f - 4.0f * m + 5.0f * m2 - 2.0f * m3 + m4;
  const float c0 = 1.0f - 3.0f * m + 3.0f * m2 - 2.0f * m3;
  auto f = [&](float x) {
    const float x2 = x * x, x3 = x2 * x, x4 = x2 * x2, x5 = x4 * x;
    return x5 + c4 * x4 + c3 * x3 + c2 * x2 + c1 * x + c0;
  };

  float x = m, d = 0.1f * m, p = m;
  int r = 1, evaluations = 0;
  for (;;) {
    const float fx = f(x);
    ++evaluations;
    if (fx > 0.0f) {
      p = x;
      x = x - d;
    } else if (fx < 0.0f && r <= 5) {
      d = d * 0.1f;
      ++r;
      x = p - d;
    } else {
      break;  // a root, the last refinement, or not a number
    }
  }
  S.XL1 = x;
  return evaluations;
}

}  // namespace velmora
