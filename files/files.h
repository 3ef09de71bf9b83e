// The files a run leaves behind (recording, light curve, restart file) and the state reset.
#pragma once

#include <string>

#include "core/state.h"

namespace velmora {

// Recorded-run file: appends (or starts) one frame of the run's recording.
void WRITEITFRAMES(Sim& S, RunHost& H, L32 FIRST);

// Clears the simulation state before a new run, a restart or a playback.
void REINIT(Sim& S);

// Light-curve file: created with its count line at the end of orbit LCSTART, then
// 200 samples appended at the end of every orbit.
void newLightCurve(Sim& S, RunHost& H);
void WRITE_LC(Sim& S, RunHost& H);

// Restart file: replaced with the state at the end of the orbit.
void WRITEFINAL(Sim& S, RunHost& H);

// Continues the run stored in the restart file DATANAME for NORBADD further orbits, with the
// output settings already in S. Throws FileError, changing nothing, when the file is refused;
// RunError when the run stops on a capacity.
void RESTART(Sim& S, RunHost& H);

// File names of a run.
std::string recordingName(const Sim& S);
std::string lightCurveName(const Sim& S);
std::string restartName(const Sim& S);

}  // namespace velmora
