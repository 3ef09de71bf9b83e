// What `run` and `restart` share on the command line: the output options, the run under the
// headless host with its exit code, and the listing of the files a run writes.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "core/state.h"
#include "shell/headless_run.h"

namespace velmora::cli {

// Runs `body` (runNew or runRestart) with the headless host and the Ctrl-C stop, then prints
// the summary. Returns 0 when the run completed, 130 when Ctrl-C stopped it, 1 when a file was
// refused (nothing ran) or the run stopped on a fault.
int runWithHost(const std::string& command, Sim& S, bool quiet,
                const std::function<RunOutcome(Sim&, HeadlessHost&)>& body);

// --record, --frame-step, --lc and --restart-every, each with whether it was given.
struct OutputOptions : OutputSettings {
  // Adds the four options; `frameSteps` is the largest frame interval, `orbitsOf` names the
  // orbits the start orbits count in.
  void add(CLI::App& app, int frameSteps, const std::string& orbitsOf);
  // Notes which were given (call once the command line is parsed).
  void given(const CLI::App& app);
  // Start orbits within 1..orbits, the interval in range, --frame-step only with --record, and
  // a name for the files; prints the first problem as a usage error.
  bool valid(const std::string& command, long long orbits, int frameSteps, const std::string& name) const;
};

// --threads N: how many threads the run's passes use (default: every core, or OMP_NUM_THREADS
// when it is set). The results are the same bits for every count.
struct ThreadsOption {
  long long threads = -1;  // not given: the default
  void add(CLI::App& app);
  // 1..1024 when given; prints the problem as a usage error.
  bool valid(const std::string& command) const;
  // Makes the core's passes use the count.
  void apply() const;
};

// --forces sequential|synchronous: the force passes' scheme, with whether it was given.
struct ForcesOption {
  std::string text = "sequential";
  bool given = false;
  void add(CLI::App& app, const std::string& byDefault);
  // Notes whether it was given; a text that names no scheme is printed as a usage error.
  bool valid(const std::string& command, const CLI::App& app);
  ForceScheme scheme() const;
};

// The output lines of the parameter listing: which files the run writes and from which orbit,
// counting the `done` orbits before this run.
void printOutputs(const Sim& S, I32 done);

}  // namespace velmora::cli
