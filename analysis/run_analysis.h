// What a run's three files show, measured in one call: the superhump of the light curve and its
// growth, the disk of the recording and its precession, the orbits of the restart file, and the
// reference values of the run's mass ratio; written as the JSON object and CSV tables that
// `velmora-cli analyse` prints and the parameter studies keep.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/binary_reference.h"
#include "analysis/disk_diagnostics.h"
#include "analysis/superhump.h"
#include "files/run_provenance.h"

namespace velmora {

// No file of the run exists, or the options cannot be used.
struct AnalysisError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The three files of a run named by its base name (a path prefix works too; a name ending in
// "_lc.vlm", "_rs.vlm" or ".vlm" stands for its base name).
struct RunFiles {
  std::string base;
  std::string lightCurve, recording, restart;  // BASE_lc.vlm, BASE.vlm, BASE_rs.vlm
  bool hasLightCurve = false, hasRecording = false, hasRestart = false;
};
RunFiles findRunFiles(const std::string& nameOrPrefix);

// How far a long step has come.
struct AnalysisProgress {
  std::string stage;  // "light curve windows" or "recording"
  long long done = 0, total = 0;
};

struct AnalysisOptions {
  // Light-curve orbits of the superhump search and the growth windows; default 1 and the last
  // whole orbit, the search then starting at the first window that detects the superhump.
  std::optional<I32> first, last;
  I32 window = 20;                 // orbits of a growth window (at least 1), stepped by window/2
  std::optional<double> q;         // used when neither the restart file nor the recording gives q
  // Times (orbits) of the recording frames the precession fit uses; default every frame.
  std::optional<double> precessionFrom, precessionTo;
  std::function<void(const AnalysisProgress&)> progress;
};

// Everything measured. Sections whose file is missing are absent (the `has...` flags).
struct RunAnalysis {
  RunFiles files;
  std::vector<std::string> notes;  // missing files and other remarks, one sentence each

  std::string qSource;  // "restart", "recording", "option" or empty (q unknown)
  double q = 0;
  bool hasReference = false;
  BinaryReference reference;

  // Light curve.
  bool hasSuperhump = false;
  long long lightCurveSamples = 0;
  I32 lightCurveOrbits = 0;
  // The orbits the superhump was searched in: "given" (first and last chosen), "all" (every whole
  // orbit: no growth window detects it, or the first one does) or "from_first_detection" (from the
  // first orbit of the first growth window that detects it to the last whole orbit).
  std::string superhumpRange;
  SuperhumpResult superhump;
  SuperhumpGrowth growth;
  double qFromEpsilon = 0, qFromEpsilonError = 0;  // the observed relation solved (NaN: none)

  // Recording.
  bool hasDisk = false;
  I32 NORBTOT = 0, FRAMESTEP = 0, RECSTART = 0;
  double qRecording = 0;                // the stars' positions give it (NaN: no frame)
  std::vector<DiskSnapshot> frames;     // one per recorded frame
  Precession precession;
  // Means over the frames of the precession fit.
  double meanR10 = 0, meanR50 = 0, meanR90 = 0, meanBeyondR31 = 0, meanM1 = 0, meanM2 = 0;

  // NAME.run.json, when the run left one: the recording's frame times then count from the orbit
  // it starts at, so a continued run's times are the run's own orbits.
  std::optional<RunProvenance> provenance;

  // Restart file.
  bool hasEccentricity = false;
  I32 restartOrbit = 0;
  DiskEccentricity eccentricity;
};

// Reads and analyses the run's files. Throws AnalysisError when none exists or an option
// cannot be used (a range outside the light curve, a window below 1), FileError or
// LightCurveError for a damaged file, LightCurveAnalysisError for a light curve whose
// spectrum is undefined. Missing files are noted in `notes`.
RunAnalysis analyseRun(const std::string& nameOrPrefix, const AnalysisOptions& options = {});

// The JSON object of an analysis (stable keys; tables as columns of equal length; a number
// that does not exist is null). Ends with a newline.
std::string analysisJson(const RunAnalysis& a);

// The tables as CSV (header line, then one line per row; an empty field for a missing number).
std::string windowsCsv(const RunAnalysis& a);
std::string framesCsv(const RunAnalysis& a);
std::string radiiCsv(const RunAnalysis& a);

}  // namespace velmora
