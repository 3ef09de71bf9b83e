// PROGRESS: the share of the run done, shown instead of the live frame.
#include "display/gl/display.h"
#include "display/view_rules.h"

namespace velmora {

void PROGRESS(Display& D, const Sim& S, I32 IPHASE, I32 IORBIT) {
  const float p = progressPercent(IPHASE, IORBIT, S.NORBTOT);
  const std::string PROGTXT = progressText(p);
  // The font is built while the run is young; a context that has never had it (a run that
  // starts beyond 1 %, such as a restarted one) gets it at its first progress screen.
  if (p < 1.0f || !D.progressFontBuilt) {
    MAKEFONT(D.fonts, 3000, px(D, 20), 0);
    D.progressFontBuilt = true;
  }
  DRAWPRO(D, PROGTXT);
}

}  // namespace velmora
