// What the hydrodynamic passes and the energy equation call of the pair sums (hydro.cpp): the
// density, the force of a particle's neighbours, the closing kick, the step estimate, and the
// density, force and energy passes, each on the threads the core uses (threads.h).
#pragma once

#include "core/state.h"

namespace velmora {

// Which neighbours a sum over a list takes.
enum class Nb {
  Level1,  // LEVEL == 1 only (the midpoint pass)
  Active,  // LEVEL <= NACT
  All      // every neighbour
};

// Density 1 + sum of the kernel over the whole list of particle i (in list order), and P / rho^2.
void densityOf(Sim& S, int i);

// Copies what the pair terms read of particle i into its packed record (GASPT).
void packGas(Sim& S, int i);

// The particles of levels 1..nact in the order of a pass (level by level, each list in order)
// into S.passWork.order and their levels into S.passWork.level; returns their number.
int passOrder(Sim& S, int nact);

// Densities of the first n particles of the pass order, and of every particle.
void densityPass(Sim& S, int n);
void densityAll(Sim& S);

// Hydrodynamic acceleration AH of particle i of level L from the neighbours that W takes, each
// pair weighted by the levels when `weighted`; returns the largest viscosity strength MUMAX of
// an approaching pair. Reads the neighbours from their packed records, which the caller keeps
// current. Instantiated for <Level1, false>.
template <Nb W, bool weighted>
float hydroForce(Sim& S, int i, int L);

// Rate of change of u of particle i from its pairs over the neighbours that W takes.
// Instantiated for Level1.
template <Nb W>
float pairwiseRate(const Sim& S, int i);

// Closing kick of particle i after its pair sum: total acceleration, the velocity at the
// particle's time (sHalf) and the drift velocity of its next step (sFull).
void kickParticle(Sim& S, int i, float sHalf, float sFull);

// The largest step particle i may take.
float stepLimit(const Sim& S, int i, float MUMAX);

// The force pass of FLUID2 (W = Active) and FLUID2ALL (W = All) over the first n particles of
// the pass order: each particle's weighted pair sum, its kick and its step estimate, in the
// scheme S.FORCES (one after the other, or every sum from the state at the pass's start).
template <Nb W>
void forcePass(Sim& S, int n);

// FLUID1's passes over the first n particles of the pass order (level 1): forces from the
// level-1 neighbours with the kick (in the scheme S.FORCES), then the internal energy; adds the
// energy to EDISS.
void levelOneForcePass(Sim& S, int n);
void levelOneEnergy(Sim& S, int n);

// Internal energy u of particle i, with its sound speed.
void setEnergy(Sim& S, int i, float u);

// The pairwise fallback of the energy pass for particle i (W = Active for EULER, All for
// EULERALL); D collects the change of u.
template <Nb W>
void eulerStep(Sim& S, int i, float& D);

// The energy pass of ENERGY and ENERGYALL over TMPLIST, with its pairwise fallback; adds the
// pass's change of u to EDISS.
void energyPass(Sim& S, void (*fallback)(Sim&, I32, float&));

}  // namespace velmora
