// Pieces of the binary-system set-up shared by the new-run and restarted-run paths.
#pragma once

#include <utility>
#include <vector>

#include "core/state.h"

namespace velmora {

// Eggleton's volume-equivalent Roche-lobe radius of the secondary over the separation.
float lobeRadius(float q);

// Separation in solar radii, period in seconds and velocity unit in m/s of a pair whose
// secondary (mass M2, solar masses) fills a lobe of relative radius RL2A.
void orbitUnits(float M1, float M2, float RL2A, float& ASEP, float& PORB, float& VUNIT);

// Kelvin per unit of specific energy for the velocity unit VUNIT (TEMPFACTOR).
float temperatureFactor(float VUNIT);

// The steps that SETSYS and SETSYS2 share once the masses and the smoothing length are known.
void deriveSystem(Sim& S, bool newRun);

// The derived constants of a pair of stars once SETSYS has run, by name, in the order
// `velmora-cli system` lists them.
std::vector<std::pair<const char*, float>> systemConstants(const Sim& S);

}  // namespace velmora
