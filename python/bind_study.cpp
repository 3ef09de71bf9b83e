// Parameter studies from Python: the table planned and read, a row run in this process, the
// local pool of worker processes, the rows' states, the collected results and the Slurm
// script, with the study library velmora-cli uses. velmora.Study (velmora/study.py) wraps it.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "core/threads.h"
#include "io/file_io.h"
#include "python/binding.h"
#include "study/study_collect.h"
#include "study/study_pool.h"
#include "study/study_row.h"
#include "study/study_slurm.h"
#include "study/study_table.h"

namespace velmora::python {
namespace {
namespace fs = std::filesystem;
using namespace velmora::study;

// A table that cannot be used: a usage problem (exit 2 on the command line) is a ValueError, an
// unreadable file a velmora.FileError, with velmora-cli's message.
[[noreturn]] void raiseStudyError(const StudyError& e) {
  if (e.code == 2) raiseValueError(e.what());
  raiseFileError(e.what());
}

// Puts back the current folder and the handlers of SIGINT and SIGTERM as they were: a row run
// here changes the folder to its own and stops on both signals, as a worker process does.
class ProcessState {
 public:
  ProcessState() : cwd_(fs::current_path()) {
    sigaction(SIGINT, nullptr, &int_);
    sigaction(SIGTERM, nullptr, &term_);
  }
  ~ProcessState() {
    std::error_code ec;
    fs::current_path(cwd_, ec);
    sigaction(SIGINT, &int_, nullptr);
    sigaction(SIGTERM, &term_, nullptr);
  }
  ProcessState(const ProcessState&) = delete;
  ProcessState& operator=(const ProcessState&) = delete;

 private:
  fs::path cwd_;
  struct sigaction int_ {}, term_ {};
};

// The exit code of a row or the pool as Python takes it: 130 (stopped by Ctrl-C) raises
// KeyboardInterrupt once every file is complete; the others are returned.
int codeOf(int code) {
  if (code == 130) {
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }
  return code;
}

// A column's text as a Python value: None for "off", a float for a real, the name of a force
// scheme as text, an int for a count.
py::object valueOf(const Column& c, const std::string& text) {
  if (text == OFF) return py::none();
  if (c.kind == ColumnKind::Real) return py::float_(std::stod(text));
  if (c.kind == ColumnKind::Forces) return py::str(text);
  return py::int_(std::stoll(text));
}

class StudyTable {
 public:
  explicit StudyTable(const std::string& path) {
    try {
      t_ = readTable(path);
    } catch (const StudyError& e) {
      raiseStudyError(e);
    }
  }

  py::list rows() const {
    py::list out;
    for (const Row& r : t_.rows) {
      py::dict d;
      d["row"] = r.index;
      d["name"] = r.name;
      for (const Column& c : columns()) d[c.key] = valueOf(c, valueText(c, r.run));
      out.append(d);
    }
    return out;
  }

  const Row& row(long long k) const {
    if (k < 1 || k > static_cast<long long>(t_.rows.size()))
      raiseValueError("row must be between 1 and " + std::to_string(t_.rows.size()) + " (the rows of " +
                      t_.path.string() + "; got " + std::to_string(k) + ")");
    return t_.rows[static_cast<std::size_t>(k - 1)];
  }

  int runRow(long long k, int threads, bool quiet) const {
    const Row& r = row(k);
    RowRunOptions o;
    o.quiet = quiet;
    o.threads = threads;
    int code = 0;
    {
      const ProcessState keep;
      py::gil_scoped_release release;
      code = velmora::study::runRow(t_, r, o);
    }
    return codeOf(code);
  }

  int runPool(int jobs, int threads, bool quiet, const std::string& program, const std::vector<std::string>& command) {
    PoolOptions o;
    o.jobs = jobs;
    o.threads = threads > 0 ? threads : defaultThreadCount();
    o.quiet = quiet;
    o.program = program;
    o.command = command;
    int code = 0;
    {
      py::gil_scoped_release release;
      code = velmora::study::runPool(t_, o);
    }
    return codeOf(code);
  }

  py::list status() const {
    py::list out;
    for (const Row& r : t_.rows) {
      const RowStatus s = rowStatus(t_, r);
      py::dict d;
      d["row"] = r.index;
      d["name"] = r.name;
      d["state"] = stateName(s.state);
      d["detail"] = s.detail;
      d["wall_time_s"] = s.state == RowState::Done ? py::object(py::float_(s.wallSeconds)) : py::object(py::none());
      out.append(d);
    }
    return out;
  }

  // Writes OUT.results.csv as velmora-cli study collect does; returns its text and the
  // problems (rows whose analysis.json could not be read), as collect prints them.
  py::tuple collect() const {
    const Collected c = collectResults(t_);
    if (const std::string err = replaceAtomically(resultsPath(t_), c.csv); !err.empty()) raiseFileError(err);
    return py::make_tuple(c.csv, c.problems);
  }

  std::string slurmScript(const std::string& partition, const std::string& time, int cpus, int maxParallel,
                          const std::string& program, const std::vector<std::string>& command, bool write) const {
    if (cpus < 1 || cpus > 1024) raiseValueError("cpus must be between 1 and 1024 (got " + std::to_string(cpus) + ")");
    if (maxParallel < 0) raiseValueError("max_parallel must be at least 1 (got " + std::to_string(maxParallel) + ")");
    if (!time.empty())
      if (const std::string p = timeProblem(time); !p.empty()) raiseValueError(p);
    if (partition.find_first_of(" \t\n'\"") != std::string::npos)
      raiseValueError("partition takes a partition's name (got '" + partition + "')");
    SlurmOptions o;
    o.partition = partition, o.time = time, o.cpus = cpus, o.maxParallel = maxParallel;
    o.program = program, o.command = command;
    if (!write) return sbatchScript(t_, o);
    if (const std::string p = slurmPathProblem(t_); !p.empty()) raiseValueError(p);
    if (const std::string err = writeSbatch(t_, o); !err.empty()) raiseFileError(err);
    return sbatchPath(t_);
  }

  std::string submit() const {
    try {
      return submitSbatch(t_);
    } catch (const StudyError& e) {
      throw py::value_error(e.what());
    }
  }

  const Table& table() const { return t_; }

 private:
  Table t_;
};

// A plan written to `path`: one row a combination of the values (column key -> list as the
// command line spells it).
void plan(const std::string& path, const std::map<std::string, std::string>& lists, bool force) {
  for (const auto& [key, text] : lists)
    if (!findColumn(key)) {
      std::string names;
      for (const Column& c : columns()) names += (names.empty() ? "" : ", ") + std::string(c.key);
      raiseValueError("unknown column '" + key + "' (the columns are " + names + ")");
    }
  std::vector<Row> rows;
  try {
    rows = planRows(lists);
  } catch (const StudyError& e) {
    raiseStudyError(e);
  }
  std::error_code ec;
  if (fs::exists(path, ec) && !force)
    raiseValueError(path + " exists: give force=True to replace it (its rows' folders stay as they are)");
  if (const std::string err = replaceAtomically(path, tableText(rows)); !err.empty()) raiseFileError(err);
}

}  // namespace

void bindStudy(py::module_& m) {
  py::class_<StudyTable>(m, "_StudyTable", "A study table read and checked as velmora-cli study reads it")
      .def(py::init([](py::handle path) { return StudyTable(pathText(path)); }), py::arg("path"))
      .def_property_readonly("path", [](const StudyTable& s) { return s.table().path.string(); })
      .def_property_readonly("folder", [](const StudyTable& s) { return s.table().folder.string(); })
      .def_property_readonly("results_path", [](const StudyTable& s) { return resultsPath(s.table()); })
      .def_property_readonly("columns",
                             [](const StudyTable&) {
                               py::list l;
                               for (const Column& c : columns()) l.append(c.key);
                               return l;
                             })
      .def("rows", &StudyTable::rows)
      .def("row_folder", [](const StudyTable& s, long long k) { return s.table().rowFolder(s.row(k)).string(); })
      .def("run_row", &StudyTable::runRow, py::arg("row"), py::arg("threads") = 0, py::arg("quiet") = true)
      .def("run_pool", &StudyTable::runPool, py::arg("jobs"), py::arg("threads"), py::arg("quiet"),
           py::arg("program"), py::arg("command"))
      .def("status", &StudyTable::status)
      .def("collect", &StudyTable::collect)
      .def("slurm_script", &StudyTable::slurmScript, py::arg("partition"), py::arg("time"), py::arg("cpus"),
           py::arg("max_parallel"), py::arg("program"), py::arg("command"), py::arg("write"))
      .def("submit", &StudyTable::submit);
  m.def("_study_plan", [](py::handle path, const std::map<std::string, std::string>& lists,
                          bool force) { plan(pathText(path), lists, force); },
        py::arg("path"), py::arg("lists"), py::arg("force") = false);
}

}  // namespace velmora::python
