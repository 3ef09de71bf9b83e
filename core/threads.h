// How many threads the core's passes run on: one setting for the process, chosen by the
// programs (velmora-cli --threads, the desktop program, later the Python module).
#pragma once

namespace velmora {

// Every core the process may run on, or OMP_NUM_THREADS when that is set: the count the
// passes use until setThreadCount is called. 1 in a build without OpenMP.
int defaultThreadCount();

// Makes the passes use n threads (n >= 1; 0 or less restores the default). The results are
// the same bits for every count.
void setThreadCount(int n);

// The count the passes use.
int threadCount();

// The threads for a pass over n items: threadCount(), or 1 when n is below `least`, where
// sharing the pass costs more than it saves.
int threadsFor(int n, int least);

// Inside a parallel region: the calling thread's number and the region's thread count (0 and 1
// outside one, or in a build without OpenMP).
int threadIndex();
int teamSize();

// Tests: every pass of 16 items or more is shared, however short, so that short runs take the
// paths of long ones.
void shareShortPasses(bool on);

}  // namespace velmora
