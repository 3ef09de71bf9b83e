// The filled disks of the benchmarks: restart files of real runs made by bench/make_disks.sh,
// loaded as velmora-cli restart loads them, and the host that lets a run go on quietly.
#pragma once

#include <memory>
#include <string>

#include "core/state.h"

namespace velmora::bench {

// The folder of the disks: VELMORA_BENCH_DISKS, else the build tree's "disks" folder.
std::string diskFolder();

// The restart file of the disk of n particles (5000, 10000 or 25000) in that folder.
std::string diskFile(int particles);

// A state continued from the disk's restart file for `orbits` further orbits, set up as RESTART
// sets it up, stopped before its first phase; null (and the reason in `why`) when the file is
// missing or refused.
std::unique_ptr<Sim> loadDisk(int particles, int orbits, std::string& why);

// Runs the loaded state's orbits (the step loop of RESTART), with no output.
void runOrbits(Sim& S);

// Runs n phases of the step loop and stops as the QUIT area does.
void runPhases(Sim& S, int n);

// Peak resident size of the process so far, in MB.
double peakResidentMB();

}  // namespace velmora::bench
