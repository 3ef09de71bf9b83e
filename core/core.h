// The routines of the simulation core, each taking the state first.
#pragma once

#include "core/state.h"

namespace velmora {

// Run driver and step loop (jdisk.cpp, setup.cpp, step.cpp, timeloop.cpp)
void DISKSUB(Sim& S, RunHost& H, float M1, float M2, float ALPHA, float BETA, I32 NPMAX, I32 NORB,
             I32 NINJ, I32 NDISP, I32 INEW);
void SETUP(Sim& S, I32 INEW);
void STEP(Sim& S, RunHost& H, I32 NDISP, I32 NINJ);
void TIMELOOP(Sim& S);

// Time-step control (timestep.cpp)
void TIMESTEP(Sim& S);

// Binary-system geometry (setsys.cpp, setsys2.cpp, lagrange.cpp, outerlobe.cpp, equipot.cpp)
void SETSYS(Sim& S);
void SETSYS2(Sim& S);
int LAGRANGE(Sim& S);  // returns the number of evaluations of the quintic
void OUTERLOBE(Sim& S);
void EQUIPOT(Sim& S);
float EQUIFUNC(float y, float a, float b, float mu2, float mu1, float phi);

// Random numbers (random.cpp)
void RANDOM(Sim& S, I32 KL, I32& IERR);
float RANMAR(Sim& S);

// SPH kernel tables (makekernel.cpp)
void MAKEKERNEL(Sim& S);

// Neighbour grid and search (makesort.cpp, sort.cpp, sortall.cpp)
void MAKESORT(Sim& S);
void SORT(Sim& S);
void SORTALL(Sim& S);

// Hydrodynamic passes (fluid1.cpp, fluid2.cpp, fluid2all.cpp)
void FLUID1(Sim& S);
void FLUID2(Sim& S);
void FLUID2ALL(Sim& S);

// Energy equation (energy.cpp, energyall.cpp)
void ENERGY(Sim& S);
void ENERGYALL(Sim& S);
void EULER(Sim& S, I32 i, float& D);
void EULERALL(Sim& S, I32 i, float& D);

// Particle motion, injection and removal (move1.cpp, move2.cpp, injnew.cpp)
void INJNEW(Sim& S, I32 N);
void MOVE1(Sim& S, I32 K);
void MOVE2(Sim& S, I32 K);
void INJ1(Sim& S, I32 IP, float C, float S_, I32 L);
void INJ2(Sim& S, I32 IP, float C, float S_, I32 L);

}  // namespace velmora
