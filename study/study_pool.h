// The local pool of a study: every row not done, run N at a time as worker processes
// (`velmora-cli study run TABLE --task K`, or the Python module's worker), with overall progress
// and a clean stop on Ctrl-C.
#pragma once

#include <string>
#include <vector>

#include "study/study_table.h"

namespace velmora::study {

struct PoolOptions {
  int jobs = 1;
  int threads = 0;    // threads of the whole pool, shared out between the jobs; 0: every core
  bool quiet = false;
  std::string program;  // the program the workers run
  std::vector<std::string> command = {"study", "run"};  // its words before TABLE --task K --threads N
};

// Runs the rows; returns 0 when every row is done, 1 when a row failed, 130 when stopped (the
// first Ctrl-C or SIGTERM stops the rows; a second Ctrl-C ends the process). The signal
// handlers the caller had are back in place when it returns.
int runPool(const Table& t, const PoolOptions& o);

// Threads of each of `jobs` workers sharing `threads` (at least 1 each).
int threadShare(int threads, int jobs);

}  // namespace velmora::study
