// What `run` and `restart` share: the run under the headless host, its exit code and summary.
#pragma once

#include <functional>
#include <string>

#include "core/state.h"

namespace velmora::cli {

// Runs `body` (DISKSUB or RESTART) with the headless host and the Ctrl-C stop, then prints
// the summary. Returns 0 when the run completed, 130 when Ctrl-C stopped it, 1 when a file was
// refused (nothing ran) or the run stopped on a fault.
int runWithHost(const std::string& command, Sim& S, bool quiet, const std::function<void(Sim&, RunHost&)>& body);

// "--option needs --name" when an output option is given without a run name; empty otherwise.
std::string outputNeedsName(const std::string& option, const std::string& name);

// The output lines of the parameter listing: which files the run writes and from which orbit,
// counting the `done` orbits before this run.
void printOutputs(const Sim& S, I32 done);

}  // namespace velmora::cli
