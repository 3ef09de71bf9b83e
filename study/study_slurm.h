// A study as a Slurm job array: the batch script with one array task per row, and its submission.
#pragma once

#include <string>
#include <vector>

#include "study/study_table.h"

namespace velmora::study {

struct SlurmOptions {
  std::string partition;  // empty: the cluster's default
  std::string time;       // limit of each task, [D-]HH:MM:SS; empty: the partition's default
  int cpus = 1;           // CPUs (threads) of each task
  int maxParallel = 0;    // tasks running at once; 0: no limit
  std::string program;    // the program the tasks run (an absolute path)
  std::vector<std::string> command = {"study", "run"};  // its words before TABLE --task K
};

// "--time must be HH:MM:SS or D-HH:MM:SS (got ...)", or empty.
std::string timeProblem(const std::string& time);

// The problem of a table whose path a batch script's #SBATCH lines cannot take (a blank or a
// '%'), or empty.
std::string slurmPathProblem(const Table& t);

// The script: `#SBATCH --array=1-K%M`, the row's output appended to TABLE_slurm/%A_%a.out,
// requeue allowed; each task runs `PROGRAM COMMAND TABLE --task $SLURM_ARRAY_TASK_ID --threads
// $SLURM_CPUS_PER_TASK`, which skips a done row and continues a cut-off one.
std::string sbatchScript(const Table& t, const SlurmOptions& o);

// OUT.tsv -> OUT.sbatch.
std::string sbatchPath(const Table& t);

// Writes OUT.sbatch (executable) and makes the folder of the tasks' output: the problem, empty
// on success.
std::string writeSbatch(const Table& t, const SlurmOptions& o);

// Submits OUT.sbatch with sbatch from the table's folder and returns the job id; throws
// StudyError (exit 1) with what went wrong (no sbatch here, or sbatch's own refusal).
std::string submitSbatch(const Table& t);

// A text in single quotes for the shell.
std::string shellQuoted(const std::string& s);

// The folder the tasks' output goes to.
std::string slurmLogFolder(const Table& t);

}  // namespace velmora::study
