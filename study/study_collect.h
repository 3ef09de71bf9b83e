// The results of a study in one table: each row's parameters and the measurements of its
// analysis.json, as OUT.results.csv.
#pragma once

#include <string>

#include "study/study_table.h"

namespace velmora::study {

// OUT.tsv -> OUT.results.csv.
std::string resultsPath(const Table& t);

struct Collected {
  std::string csv;         // the whole file
  int done = 0;            // rows with measurements
  int notDone = 0;         // rows that are not done
  std::string problems;    // rows whose analysis.json could not be read, one line each
};

// One line per row (every row, with its state; the measurements empty until it is done).
// Columns: row, name, the parameters, state, then eps, eps_err, detected, frequency,
// onset_orbit, eps_after_onset, eps_after_onset_err, amplitude, significance, eps_relation,
// r_3to1, r_circ, r10, r50, r90, beyond_r31, mean_e, coherent_e, precession_eps,
// precession_eps_err, wall_time_s.
Collected collectResults(const Table& t);

}  // namespace velmora::study
