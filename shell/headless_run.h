// New and continued runs without a window, as `velmora-cli run` and `restart` and the Python
// module drive them: the options checked with their messages, put into the state as the dialogs
// do, the run under a headless host, and its summary.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/state.h"
#include "files/run_provenance.h"
#include "shell/disk_setup_rules.h"
#include "shell/headless_host.h"

namespace velmora {

// How a message spells an option: "--frame-step" on the command line, "frame_step" in Python.
enum class OptionSpelling { CommandLine, Python };
// `option` is the command line's name without its dashes ("frame-step").
std::string optionName(OptionSpelling how, std::string_view option);

// "<option> must be between <lo> and <hi> (got <value>)", the bounds with `decimals` decimals;
// empty when the value lies in the range.
std::string rangeProblem(const std::string& option, double value, double lo, double hi, int decimals);

// A base name for the run's files: at most 40 characters, no folder. The problem, or empty.
std::string runNameProblem(OptionSpelling how, const std::string& name);

// The output options of a run (record, frame-step, lc, restart-every), each with whether it
// was given.
struct OutputSettings {
  long long record = 1, frameStep = 1, lc = 1, restartEvery = 1;
  bool hasRecord = false, hasFrameStep = false, hasLc = false, hasRestartEvery = false;

  // The options given, into a run's record.
  void addTo(nlohmann::ordered_json& j) const;
  // Start orbits within 1..orbits, the interval within 1..frameSteps, frame-step only with
  // record, and a name for the files: the first problem, empty when there is none.
  std::string problem(OptionSpelling how, long long orbits, int frameSteps, const std::string& name) const;
};

// The force scheme named by `text` ("sequential" or "synchronous") into f: the problem
// ("--forces must be sequential or synchronous (got 'x')"), empty when the text names one.
std::string forcesProblem(OptionSpelling how, const std::string& text, ForceScheme& f);

// A new run with the parameters of the Disk Setup dialog.
struct NewRunSettings {
  double m1 = 1.0, q = 0.15, h = 0.025, alpha = 1.0, beta = 1.0;
  long long orbits = 10, particles = 1000, inj = 10;
  std::string name;
  OutputSettings out;
  ForceScheme forces = ForceScheme::Sequential;

  // Every value checked before anything runs: the first problem, empty when there is none.
  // A smoothing length above the largest for the particle count names that largest value on a
  // second line.
  std::string problem(OptionSpelling how) const;
  // Every parameter by its option name without dashes, for the run's record.
  nlohmann::ordered_json recordParameters() const;
  // The dialog with the values put on its sliders and typed into its boxes: what the run takes.
  RunParameters parameters() const;
  // REINIT, then the settings as the dialog's Run leaves them in the state (the run's name,
  // the output choices and their start orbits, the orbit total, the injection count).
  void prepare(Sim& S, const RunParameters& p) const;
};

// A run continued from a restart file for further orbits.
struct RestartSettings {
  std::string file, name;
  long long orbits = 0;
  OutputSettings out;
  // The force scheme when given; else the one the file's record names (see recordedForces), so
  // a continued run keeps its scheme unless another is stated.
  ForceScheme forces = ForceScheme::Sequential;
  bool hasForces = false;

  // The further orbits, the name and the outputs (frame-step up to the Restart Control
  // dialog's 6): the first problem, empty when there is none.
  std::string problem(OptionSpelling how) const;
  // Every parameter by its option name without dashes, for the run's record.
  nlohmann::ordered_json recordParameters() const;
  // REINIT, then the file, its run name and the outputs as the Restart Control dialog's OK
  // leaves them, and the force scheme. Returns the dialog's problem with the values (the state then only reset),
  // empty when the state is ready for RESTART.
  std::string prepare(Sim& S) const;
};

// How a run under a headless host ended. A refused file ran nothing; a failed run stopped on
// a fault (a capacity) with its files complete to the last frame or orbit.
enum class RunEnd { Completed, Stopped, Refused, Failed };
struct RunOutcome {
  RunEnd end = RunEnd::Completed;
  std::string message;  // the file's or the fault's message
};

// Runs `body` (DISKSUB or RESTART) under the host and tells how it ended. With a record, the
// run's NAME.run.json is written once the first orbit has ended, at the end of every orbit and
// at the end (not for a refused file: nothing ran).
RunOutcome runHeadless(Sim& S, HeadlessHost& H, const std::function<void(Sim&, RunHost&)>& body,
                       RunProvenance* record = nullptr);
// A new run (DISKSUB with the parameters) and a continued one (RESTART of the prepared state).
RunOutcome runNew(Sim& S, HeadlessHost& H, const RunParameters& p, RunProvenance* record = nullptr);
RunOutcome runRestart(Sim& S, HeadlessHost& H, RunProvenance* record = nullptr);

// The lines that end a run: orbits done, particles in use, removals, density range, particles
// per level, the threads, the force scheme and the wall time.
std::string runSummary(const Sim& S, bool stopped, double seconds);

}  // namespace velmora
