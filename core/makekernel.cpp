// MAKEKERNEL: tables of the cubic-spline kernel, its gradient factor and the viscosity factor.
#include "core/core.h"

namespace velmora {

// Each entry is worked out in extended precision and rounded once when stored.
void MAKEKERNEL(Sim& S) {
  using X = long double;
  const X h = S.HSPH;
  const X inner = X{3.0} / X{S.HSQ};
  const X outer = X{0.75} / X{S.HSQ};
  const X step = X{0.0005f};

  S.WTAB(1) = 1.0f;
  S.DWTAB(1) = 0.0f;
  S.VISTAB(1) = 0.0f;
  for (int k = 2; k <= NKERN - 1; ++k) {
    const X q = static_cast<X>(k - 1) * step;
    X w, dw;
    if (k <= 2000) {
      w = (X{0.5} * q - X{1}) * (X{1.5} * q * q) + X{1};
      dw = inner * (X{0.75} * q - X{1});
    } else {
      const X t = X{2} - q;
      w = X{0.25} * t * t * t;
      dw = -(outer * t * t / q);
    }
    S.WTAB(k) = static_cast<float>(w);
    S.DWTAB(k) = static_cast<float>(dw);
    S.VISTAB(k) = static_cast<float>(X{-2} / (h * (q * q + X{0.01L})));
  }
  S.WTAB(NKERN) = 0.0f;
  S.DWTAB(NKERN) = 0.0f;
  S.VISTAB(NKERN) = 0.0f;

  S.NESC = 0;
  S.NACC = 0;
  S.NLOST = 0;
}

}  // namespace velmora
