// velmora-cli study: parameter studies, a table of runs planned, run here or on Slurm, followed
// and collected into one results table.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "cli/registry.h"
#include "cli/study_collect.h"
#include "cli/study_pool.h"
#include "cli/study_row.h"
#include "cli/study_slurm.h"
#include "cli/study_table.h"
#include "cli/thread_count.h"
#include "core/threads.h"
#include "io/file_io.h"

namespace velmora::cli {
namespace {
namespace fs = std::filesystem;
using namespace velmora::study;

int failed(const std::string& cmd, const std::string& message) {
  std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), message.c_str());
  return EXIT_FAILED;
}

// The table read and checked; on a problem its message and exit code.
std::unique_ptr<Table> loadTable(const std::string& cmd, const std::string& path, int& code) {
  try {
    return std::make_unique<Table>(readTable(path));
  } catch (const StudyError& e) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), e.what());
    code = e.code;
    return nullptr;
  }
}

// This program's own path, for the workers and the batch script.
std::string selfPath() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("velmora-cli") : p.string();
}

// ---- plan

struct PlanOptions {
  std::string out;
  std::map<std::string, std::string> lists;
  bool force = false;
};

int plan(const PlanOptions& o, const CLI::App& app) {
  const std::string cmd = "study plan";
  std::map<std::string, std::string> lists;
  for (const Column& c : columns())
    if (app.count(std::string("--") + c.option) > 0) lists[c.key] = o.lists.at(c.key);
  std::vector<Row> rows;
  try {
    rows = planRows(lists);
  } catch (const StudyError& e) {
    return usageError(cmd, e.what());
  }
  std::error_code ec;
  if (fs::exists(o.out, ec) && !o.force)
    return usageError(cmd, o.out + " exists: give --force to replace it (its rows' folders stay as they are)");
  if (const std::string err = replaceAtomically(o.out, tableText(rows)); !err.empty()) return failed(cmd, err);
  std::printf("Wrote %s: %zu row%s\n", o.out.c_str(), rows.size(), rows.size() == 1 ? "" : "s");
  for (const Row& r : rows) {
    long long orbits = r.run.orbits;
    std::printf("  %4d  %-24s %lld orbits, %lld particles, restart file every %lld orbit%s\n", r.index,
                r.name.c_str(), orbits, r.run.particles, r.run.out.restartEvery, r.run.out.restartEvery == 1 ? "" : "s");
  }
  std::printf("Run them here with: velmora-cli study run %s --jobs N\n", o.out.c_str());
  std::printf("or on a Slurm cluster: velmora-cli study slurm %s --submit\n", o.out.c_str());
  return EXIT_OK;
}

// ---- run

struct RunOptions {
  std::string table;
  long long task = 0, jobs = 1, threads = 0;
  bool quiet = false;
};

int run(const RunOptions& o, const CLI::App& app) {
  const std::string cmd = "study run";
  const bool hasTask = app.count("--task") > 0, hasJobs = app.count("--jobs") > 0, hasThreads = app.count("--threads") > 0;
  if (hasTask && hasJobs) return usageError(cmd, "give either --task K (one row) or --jobs N (every row), not both");
  if (hasThreads)
    if (const std::string p = threadsProblem(o.threads); !p.empty()) return usageError(cmd, p);
  if (hasJobs && (o.jobs < 1 || o.jobs > 256))
    return usageError(cmd, "--jobs must be between 1 and 256 (got " + std::to_string(o.jobs) + ")");
  int code = EXIT_OK;
  const auto t = loadTable(cmd, o.table, code);
  if (!t) return code;
  if (hasTask) {
    const long long rows = static_cast<long long>(t->rows.size());
    if (o.task < 1 || o.task > rows)
      return usageError(cmd, "--task must be between 1 and " + std::to_string(rows) + " (the rows of " + o.table +
                                 "; got " + std::to_string(o.task) + ")");
    RowRunOptions ro;
    ro.quiet = o.quiet;
    ro.threads = hasThreads ? static_cast<int>(o.threads) : 0;
    return runRow(*t, t->rows[static_cast<std::size_t>(o.task - 1)], ro);
  }
  PoolOptions po;
  po.jobs = static_cast<int>(o.jobs);
  po.threads = hasThreads ? static_cast<int>(o.threads) : defaultThreadCount();
  po.quiet = o.quiet;
  po.program = selfPath();
  return runPool(*t, po);
}

// ---- slurm

struct SlurmCmdOptions {
  std::string table, partition, time;
  long long cpus = 1, maxParallel = 0;
  bool submit = false;
};

int slurm(const SlurmCmdOptions& o, const CLI::App& app) {
  const std::string cmd = "study slurm";
  if (o.cpus < 1 || o.cpus > MAX_THREADS)
    return usageError(cmd, "--cpus must be between 1 and " + std::to_string(MAX_THREADS) + " (got " +
                               std::to_string(o.cpus) + ")");
  if (app.count("--max-parallel") && (o.maxParallel < 1 || o.maxParallel > 100000))
    return usageError(cmd, "--max-parallel must be between 1 and 100000 (got " + std::to_string(o.maxParallel) + ")");
  if (app.count("--time"))
    if (const std::string p = timeProblem(o.time); !p.empty()) return usageError(cmd, p);
  if (app.count("--partition") && (o.partition.empty() || o.partition.find_first_of(" \t\n'\"") != std::string::npos))
    return usageError(cmd, "--partition takes a partition's name (got '" + o.partition + "')");
  int code = EXIT_OK;
  const auto t = loadTable(cmd, o.table, code);
  if (!t) return code;
  for (const char* bad : {" ", "\t", "\n", "%"})
    if (t->path.string().find(bad) != std::string::npos)
      return usageError(cmd, "the table's path " + t->path.string() +
                                 " holds a blank or '%', which a batch script's #SBATCH lines cannot take");

  SlurmOptions so;
  so.partition = o.partition;
  so.time = o.time;
  so.cpus = static_cast<int>(o.cpus);
  so.maxParallel = static_cast<int>(o.maxParallel);
  so.program = selfPath();
  const std::string script = t->stem().string() + ".sbatch";
  std::error_code ec;
  fs::create_directories(slurmLogFolder(*t), ec);
  if (ec) return failed(cmd, "cannot create " + slurmLogFolder(*t) + ": " + ec.message());
  if (const std::string err = replaceAtomically(script, sbatchScript(*t, so)); !err.empty()) return failed(cmd, err);
  ::chmod(script.c_str(), 0755);
  std::printf("Wrote %s: a job array of %zu task%s (one a row), %d CPU%s each\n", script.c_str(), t->rows.size(),
              t->rows.size() == 1 ? "" : "s", so.cpus, so.cpus == 1 ? "" : "s");
  std::printf("  task output in %s/\n", slurmLogFolder(*t).c_str());
  if (!o.submit) {
    std::printf("Submit it with: sbatch %s\n", script.c_str());
    return EXIT_OK;
  }
  const std::string line = "cd " + shellQuoted(t->folder.string()) + " && sbatch --parsable " + shellQuoted(script) + " 2>&1";
  FILE* p = ::popen(line.c_str(), "r");
  if (!p) return failed(cmd, "cannot run sbatch");
  std::string said;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) said += buf;
  const int status = ::pclose(p);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
  if (status != 0) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
      return failed(cmd, "sbatch is not found: submit from a machine of a Slurm cluster");
    return failed(cmd, "sbatch refused the script: " + said);
  }
  const std::string lastLine = said.substr(said.rfind('\n') == std::string::npos ? 0 : said.rfind('\n') + 1);
  const std::string job = lastLine.substr(0, lastLine.find(';'));
  std::printf("Submitted job array %s\n", job.c_str());
  std::printf("Follow it with: velmora-cli study status %s\n", o.table.c_str());
  return EXIT_OK;
}

// ---- status

int status(const std::string& table) {
  const std::string cmd = "study status";
  int code = EXIT_OK;
  const auto t = loadTable(cmd, table, code);
  if (!t) return code;
  std::map<RowState, int> counts;
  std::vector<RowStatus> all;
  std::size_t width = 4;
  for (const Row& r : t->rows) {
    all.push_back(rowStatus(*t, r));
    ++counts[all.back().state];
    width = std::max(width, r.name.size());
  }
  std::printf("Study %s: %zu rows:", t->path.filename().string().c_str(), t->rows.size());
  bool first = true;
  for (const RowState s : {RowState::Done, RowState::Running, RowState::Stopped, RowState::Failed, RowState::NotStarted})
    if (counts[s]) {
      std::printf("%s %d %s", first ? "" : ",", counts[s], stateName(s));
      first = false;
    }
  std::printf("\n  %4s  %-*s  %s\n", "row", static_cast<int>(width), "name", "state");
  for (std::size_t i = 0; i < t->rows.size(); ++i) {
    const RowStatus& s = all[i];
    std::printf("  %4d  %-*s  %s%s%s\n", t->rows[i].index, static_cast<int>(width), t->rows[i].name.c_str(),
                stateName(s.state), s.detail.empty() ? "" : ": ", s.detail.c_str());
  }
  return EXIT_OK;
}

// ---- collect

int collect(const std::string& table) {
  const std::string cmd = "study collect";
  int code = EXIT_OK;
  const auto t = loadTable(cmd, table, code);
  if (!t) return code;
  const Collected c = collectResults(*t);
  const std::string out = resultsPath(*t);
  if (const std::string err = replaceAtomically(out, c.csv); !err.empty()) return failed(cmd, err);
  std::printf("Wrote %s: %zu rows, %d with measurements\n", out.c_str(), t->rows.size(), c.done);
  if (c.done < static_cast<int>(t->rows.size()))
    std::fprintf(stderr, "velmora-cli %s: note: %zu rows are not done; their measurements are empty\n", cmd.c_str(),
                 t->rows.size() - static_cast<std::size_t>(c.done));
  if (!c.problems.empty()) {
    std::fputs(c.problems.c_str(), stderr);
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

Command add(CLI::App& parent) {
  CLI::App* study = parent.add_subcommand(
      "study", "Parameter studies: a table of runs, run here N at a time or as a Slurm job array, collected into one "
               "table");
  study->require_subcommand(1);

  auto po = std::make_shared<PlanOptions>();
  CLI::App* planApp = study->add_subcommand(
      "plan", "Write a study table: one row a combination of the values given. Each option takes a value, a list "
              "(0.5,1,1.5) or a range FIRST:LAST:STEP (0.05:0.35:0.05); an option not given takes run's default");
  planApp->add_option("OUT", po->out, "The table to write (OUT.tsv); the rows' folders go beside it")->required();
  const std::map<std::string, std::string> help = {
      {"m1", "Primary mass, solar masses (0.50..1.30, on a 0.01 grid; default 1.00)"},
      {"q", "Mass ratio M2/M1 (0.01..1.00, on a 0.01 grid; default 0.15)"},
      {"h", "Smoothing length (0.0080 up to 0.0400, less for more than 1000 particles; default 0.0250)"},
      {"alpha", "First viscosity coefficient (0.01..2.00; default 1.00)"},
      {"beta", "Second viscosity coefficient (0.01..2.00; default 1.00)"},
      {"orbits", "Orbits of each run (default 10)"},
      {"particles", "Particle limit (1..25000, default 1000)"},
      {"inj", "Particles injected per phase (1..10, default 10)"},
      {"lc", "Light curve from this orbit on, or off (default 1)"},
      {"record", "Recording from this orbit on, or off (default off)"},
      {"frame-step", "Phases between recorded frames, 1..7 (default 1)"},
      {"restart-every", "Orbits between restart files (default: a fiftieth of the orbits or less, so a cut-off run "
                        "loses at most 2 % of its work)"},
      {"forces", "Force passes, sequential or synchronous (default sequential)"},
  };
  for (const Column& c : columns()) {
    po->lists[c.key];
    planApp->add_option(std::string("--") + c.option, po->lists[c.key], help.at(c.option));
  }
  planApp->add_flag("--force", po->force, "Replace an existing table");

  auto ro = std::make_shared<RunOptions>();
  CLI::App* runApp = study->add_subcommand(
      "run", "Run the study's rows, each in its folder NAME/ beside the table: its run files, log, analysis.json "
             "and done. A done row is skipped; a cut-off row continues from its restart file");
  runApp->add_option("TABLE", ro->table, "The study table (OUT.tsv)")->required();
  runApp->add_option("--task", ro->task, "Run row K only (1 = the first row), as a Slurm array task does");
  runApp->add_option("--jobs", ro->jobs, "Run every row that is not done, N at a time, each in its own process "
                                         "(default 1)");
  runApp->add_option("--threads", ro->threads,
                     "Threads of the core: for --task those of the row, for --jobs those of the whole pool, shared "
                     "out between its rows (default: every core)");
  runApp->add_flag("--quiet", ro->quiet, "No progress output");

  auto so = std::make_shared<SlurmCmdOptions>();
  CLI::App* slurmApp = study->add_subcommand(
      "slurm", "Write OUT.sbatch, a Slurm job array with one task a row, each running study run OUT.tsv --task K");
  slurmApp->add_option("TABLE", so->table, "The study table (OUT.tsv)")->required();
  slurmApp->add_option("--partition", so->partition, "Partition to run in (default: the cluster's default)");
  slurmApp->add_option("--time", so->time, "Time limit of each task, HH:MM:SS or D-HH:MM:SS (default: the partition's)");
  slurmApp->add_option("--cpus", so->cpus, "CPUs of each task, its thread count (default 1)");
  slurmApp->add_option("--max-parallel", so->maxParallel, "Tasks running at once (default: no limit)");
  slurmApp->add_flag("--submit", so->submit, "Submit the script with sbatch and print the job id");

  auto statusTable = std::make_shared<std::string>();
  CLI::App* statusApp = study->add_subcommand(
      "status", "Tell each row's state from its folder: not started, running, stopped (and where it continues), "
                "failed (with the last line of its log) or done");
  statusApp->add_option("TABLE", *statusTable, "The study table (OUT.tsv)")->required();

  auto collectTable = std::make_shared<std::string>();
  CLI::App* collectApp = study->add_subcommand(
      "collect", "Write OUT.results.csv: every row's parameters and state, and the measurements of the done rows "
                 "(eps and its error, onset, amplitude, significance, disk radii, eccentricity, precession eps, wall "
                 "time)");
  collectApp->add_option("TABLE", *collectTable, "The study table (OUT.tsv)")->required();

  auto runIt = [=]() -> int {
    if (planApp->parsed()) return plan(*po, *planApp);
    if (runApp->parsed()) return run(*ro, *runApp);
    if (slurmApp->parsed()) return slurm(*so, *slurmApp);
    if (statusApp->parsed()) return status(*statusTable);
    if (collectApp->parsed()) return collect(*collectTable);
    return EXIT_USAGE;
  };
  return {study, runIt};
}

const Register reg(70, add);

}  // namespace
}  // namespace velmora::cli
