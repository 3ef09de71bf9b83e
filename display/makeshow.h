// MAKESHOW: outlines of both stars at every phase of an orbit (no drawing here).
#pragma once

#include "core/state.h"

namespace velmora {

void MAKESHOW(Sim& S);

}  // namespace velmora
