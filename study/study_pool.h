// The local pool of a study: every row not done, run N at a time as worker processes
// (`velmora-cli study run TABLE --task K`), with overall progress and a clean stop on Ctrl-C.
#pragma once

#include <string>

#include "cli/study_table.h"

namespace velmora::study {

struct PoolOptions {
  int jobs = 1;
  int threads = 0;    // threads of the whole pool, shared out between the jobs; 0: every core
  bool quiet = false;
  std::string program;  // the velmora-cli the workers run
};

// Runs the rows; returns 0 when every row is done, 1 when a row failed, 130 when stopped.
int runPool(const Table& t, const PoolOptions& o);

// Threads of each of `jobs` workers sharing `threads` (at least 1 each).
int threadShare(int threads, int jobs);

}  // namespace velmora::study
