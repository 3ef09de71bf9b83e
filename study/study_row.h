// One row of a study run in its own folder beside the table, the same way whoever starts it
// (by hand, the local pool, a Slurm array task), and what its folder tells about it.
#pragma once

#include <string>

#include "study/study_table.h"

namespace velmora::study {

// Files of a row folder besides the run's own (NAME_lc.vlm, NAME_rs.vlm, NAME.vlm).
inline constexpr const char* DONE_FILE = "done";          // written last: the row is finished
inline constexpr const char* ANALYSIS_FILE = "analysis.json";
inline constexpr const char* LOG_FILE = "log";            // every attempt's lines, appended
inline constexpr const char* FAILED_FILE = "failed";      // the last attempt failed
inline constexpr const char* LOCK_FILE = "lock";          // locked while an attempt runs
inline constexpr const char* TIME_FILE = "time";          // wall time of the attempts so far

struct RowRunOptions {
  bool quiet = false;  // no progress on the terminal
  int threads = 0;     // the core's thread count; 0: the default
};

// `study run TABLE --task K`: runs the row (skipped when done), continues it from its restart
// file when an earlier attempt was cut off, writes analysis.json and then done. Stops as the
// QUIT button does on SIGINT and SIGTERM. Changes the current folder to the row's. Returns the
// exit code: 0 done, 1 failed (or running elsewhere), 130 stopped.
int runRow(const Table& t, const Row& r, const RowRunOptions& o);

enum class RowState { NotStarted, Running, Stopped, Failed, Done };
const char* stateName(RowState s);

struct RowStatus {
  RowState state = RowState::NotStarted;
  std::string detail;      // what the files tell: progress, the resume point, the log's last line
  double wallSeconds = 0;  // done: the wall time of all its attempts
};
RowStatus rowStatus(const Table& t, const Row& r);

// The last non-empty line of a file (a log), without a time stamp; empty when there is none.
std::string lastLine(const std::string& path);

// "1:02:03" or "4:05".
std::string clockText(double seconds);

}  // namespace velmora::study
