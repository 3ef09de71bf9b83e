// --observe and its companions on `run` and `restart`: what a telescope sees of the run, written
// to NAME_obs.fits (see analysis/fits/run_observer.h).
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "analysis/fits/run_observer.h"

namespace velmora::cli {

struct ObserveOptions {
  std::string inclinations;  // "82,60"
  long long from = 1;
  int lineBins = 201;
  double fwhm = 0.0;
  std::string emission = "dissipation";
  bool given = false, fromGiven = false;
  ObserveSettings settings;

  // Adds the options; `orbitsOf` names the orbits --observe-from counts.
  void add(CLI::App& app, const std::string& orbitsOf);
  // Checks them once the command line is parsed (the orbit within 1..orbits, a name for the
  // file); prints the first problem as a usage error.
  bool valid(const CLI::App& app, const std::string& command, long long orbits, const std::string& name);
  // The observer of a run named `name`, attached to S; none without --observe. `done`: the
  // orbits the state holds already (a continued run), so the start is told as an absolute orbit.
  std::unique_ptr<RunObserver> attach(Sim& S, const std::string& name, long long done = 0) const;
};

// Writes the observations once the run is over and says where; false when the file could not
// be written (the message printed).
bool finishObserving(const std::string& command, RunObserver* observer);

}  // namespace velmora::cli
