// The thread count of the core's passes as the command line chooses it (--threads N).
#pragma once

#include <string>

namespace velmora::cli {

// Largest --threads accepted.
inline constexpr int MAX_THREADS = 1024;

// The threads a run uses unless told otherwise: OMP_NUM_THREADS when it is set, else every core
// this process may run on (at least 1).
int machineThreads();

// "--threads must be between 1 and 1024 (got 0)", or empty when n can be used.
std::string threadsProblem(long long n);

// Makes the core's passes in this process use n threads (n >= 1). This is the one place the
// command line hands its --threads value to the core.
void useThreads(int n);

}  // namespace velmora::cli
