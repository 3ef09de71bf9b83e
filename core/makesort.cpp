// MAKESORT: the forward neighbour cells of every cell of the 100 x 100 grid.
#include "core/core.h"

namespace velmora {

void MAKESORT(Sim& S) {
  S.NFWD.fill(0);
  S.FWDCELL.fill(0);
  for (int j = 1; j <= NGRID; ++j) {
    for (int i = 1; i <= NGRID; ++i) {
      const int c = i + NGRID * (j - 1);
      for (int d = 0; d <= 1; ++d)
        for (int jj = j - 1; jj <= j + 1; ++jj)
          for (int ii = i - 1; ii <= i + 1; ++ii) {
            if (jj < 1 || jj > NGRID || ii < 1 || ii > NGRID) continue;
            const int cc = ii + NGRID * (jj - 1) + NCELLS * d;
            if (cc <= c) continue;
            S.NFWD(c) = static_cast<I16>(S.NFWD(c) + 1);
            S.FWDCELL(S.NFWD(c), c) = static_cast<I16>(cc);
          }
    }
  }
}

}  // namespace velmora
