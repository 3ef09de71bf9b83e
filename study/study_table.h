// The table of a parameter study: one run a row, every parameter a column, read from and
// written to tab-separated text, and the rows a plan makes from lists and ranges of values.
#pragma once

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "shell/headless_run.h"

namespace velmora::study {

// A table or a value that cannot be used: the message names the file, line or row, and what
// is wrong. Usage problems (bad values, bad columns) exit 2, an unreadable file exits 1.
struct StudyError : std::runtime_error {
  StudyError(const std::string& message, int exitCode) : std::runtime_error(message), code(exitCode) {}
  int code;
};

// What a column holds.
enum class ColumnKind {
  Real,          // m1, q, h, alpha, beta: put on the Disk Setup dialog's grid
  Count,         // orbits, particles, inj
  Start,         // lc, record: an orbit of the run, or "off"
  FrameStep,     // phases between recorded frames, "off" without a recording
  RestartEvery,  // orbits between restart files; a row always writes them
  Forces,        // the force scheme: sequential or synchronous
};

struct Column {
  const char* key;     // the header's name: "frame_step"
  const char* option;  // the command line's name: "frame-step"
  ColumnKind kind;
  int decimals;        // Real: the grid's decimals
  const char* tag;     // short prefix in the run names made from the values: "q", "a"
  const char* help;    // what `study plan --OPTION` takes, with its range and default
};

// The parameter columns in table order (a table's first column, "name", is not among them). A
// new column is a line of this list (and, for a new kind, its case in valueText and setValue):
// the plan's option, the table, the row's run, the run names, status and collect follow it.
const std::vector<Column>& columns();
const Column* findColumn(const std::string& key);

// The restart interval a row takes unless its table gives one: the largest divisor of the
// orbit count that is at most a fiftieth of it (at least 1), so a cut-off row loses at most
// 2 % of its orbits and the last restart file holds the run's last orbit.
long long defaultRestartEvery(long long orbits);

// "off" is the text of an output that is not written.
inline constexpr const char* OFF = "off";

struct Row {
  int index = 0;  // 1-based, the Slurm array task id
  int line = 0;   // line of the table file (0 for a row a plan made)
  std::string name;
  NewRunSettings run;  // run.name is the row's name; the outputs as the row's columns give them

  // "row 3 (q0.15)", for messages.
  std::string label() const;
};

struct Table {
  std::filesystem::path path;    // the table file, absolute
  std::filesystem::path folder;  // where the row folders go: beside the table
  std::vector<std::string> header;  // the columns the file has, in its order
  std::vector<Row> rows;

  // OUT.tsv -> OUT: the base of the files that belong to the table (OUT.sbatch, OUT.results.csv).
  std::filesystem::path stem() const;
  std::filesystem::path rowFolder(const Row& r) const { return folder / r.name; }
};

// The text of one column of a row, as the table holds it.
std::string valueText(const Column& c, const NewRunSettings& s);

// Puts one column's text into the settings; returns the problem ("'abc' is not a number"),
// empty when the text fits the column.
std::string setValue(const Column& c, const std::string& text, NewRunSettings& s);

// Every value of a row checked with the rules and messages of `velmora-cli run`, and its name
// checked as a base name: the first problem, empty when there is none.
std::string rowProblem(const Row& r);

// Reads and checks a table. Lines starting with '#' and blank lines are skipped; the first
// other line is the header. Missing columns take the values `velmora-cli run` takes (lc 1,
// record off, restart interval by defaultRestartEvery); missing names are made from the values
// that differ between rows. Throws StudyError.
Table readTable(const std::filesystem::path& path);

// The table's text: a comment line, the header and one line per row, every column present.
std::string tableText(const std::vector<Row>& rows);

// Names made from the values that differ between the rows ("q0.05_a1.50"), or "row<K>" when
// nothing differs or a name would be longer than a run name may be.
void nameRows(std::vector<Row>& rows);

// A plan: for each column given, the list of its values as the command line spells them
// ("0.05:0.35:0.05", "0.5,1,1.5", "off,1"). Every combination becomes a row, the first column
// varying slowest. Throws StudyError (exit 2) naming the option or the row.
std::vector<Row> planRows(const std::map<std::string, std::string>& lists);

}  // namespace velmora::study
