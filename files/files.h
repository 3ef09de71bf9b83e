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

// The force scheme a restart file was written with, in a one-line record beside it (the
// restart file's name with the extension "forces": NAME_rs.forces holding "synchronous"). Only
// the synchronous scheme writes one; the sequential scheme, the program's reference, removes a
// stale one, so a run's folder holds what it held before the choice existed.
std::string forcesRecordName(const std::string& restartFile);
// Writes (synchronous) or removes (sequential) the record of the restart file; the problem, or
// empty.
std::string writeForcesRecord(const std::string& restartFile, ForceScheme f);
// The scheme the record beside the restart file names; sequential when there is none. Throws
// FileError when the record is there but cannot be read or names no scheme.
ForceScheme recordedForces(const std::string& restartFile);

// File names of a run.
std::string recordingName(const Sim& S);
std::string lightCurveName(const Sim& S);
std::string restartName(const Sim& S);

}  // namespace velmora
