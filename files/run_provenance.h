// A run's provenance, NAME.run.json beside its files: the program and the call that made the run,
// every parameter, the threads, the orbit each file starts at, the restart file a continued run
// came from, the host, the times and how the run ended. Written whole at the start, at the end of
// every orbit (so at every restart point) and at the end; `analyse` and `info` read it.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/state.h"

namespace velmora {

struct RunProvenance {
  std::string name;         // the run's base name
  std::string invocation;   // the command line or the Python call
  nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
  int threads = 0;
  // A continued run: the restart file, its SHA-256 and the orbit it holds.
  std::string parent, parentSha256;
  I32 parentOrbit = 0;
  // The run's files and the time (orbits) their first sample or frame starts at; -1: not written.
  double lightCurveStart = -1, recordingStart = -1;
  I32 restartEvery = 0;  // 0: no restart file
  I32 orbit = 0;         // orbits reached
  std::string started, ended;  // UTC, ISO 8601
  double wallSeconds = 0;
  std::string end = "running";  // "running", "complete", "QUIT", "Ctrl-C" or "error"
  std::string message;          // the error's message

  // Starts the record now: the host, the start time, the program's version and commit.
  void start();
  // The files' start times and the orbit reached, from a state whose run has begun.
  void observe(const Sim& S);
  // Ends the record ("complete", "QUIT", "Ctrl-C" or "error") with the wall time.
  void finish(const std::string& how, double seconds, const std::string& why = {});
};

// NAME.run.json for the base name.
std::string provenanceFileName(const std::string& base);
// The JSON text (ends with a newline).
std::string provenanceJson(const RunProvenance& p);
// Writes it beside the run's files, replaced whole: the problem, or empty.
std::string writeProvenance(const RunProvenance& p);
// Reads NAME.run.json: nothing when it is missing; FileError when it cannot be read or parsed.
std::optional<RunProvenance> readProvenance(const std::string& base);

// The force scheme of the run a restart file holds, so a continued run keeps it: the record's
// parameters.forces, the record being NAME.run.json beside NAME_rs.vlm (written at every orbit,
// so at every restart point). Sequential, the program's reference, when there is no record (a
// file renamed or made without one) or the record predates the choice. Throws FileError when the
// record is there but cannot be read or names no scheme.
ForceScheme recordedForces(const std::string& restartFile);

}  // namespace velmora
