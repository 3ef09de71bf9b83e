// Continuing a cut-off study row: the restart file checked against the row, the light curve
// and the recording cut back to its orbit, the continued run's outputs set up to append.
#include "study/study_resume.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/files.h"
#include "files/lightcurve.h"
#include "files/recording.h"
#include "files/restart_file.h"
#include "io/file_error.h"
#include "io/file_io.h"
#include "shell/restart_rules.h"

namespace velmora::study {
namespace fs = std::filesystem;
namespace {

bool near(float a, float b) { return std::fabs(static_cast<double>(a) - static_cast<double>(b)) <= 1e-6; }

ResumePlan start(std::string reason) { return {ResumePlan::From::Start, 0, std::move(reason)}; }

// The samples of orbits lcStart..orbit.
long long samplesTo(I32 orbit, I32 lcStart) {
  return orbit >= lcStart ? static_cast<long long>(LC_SAMPLES_PER_ORBIT) * (orbit - lcStart + 1) : 0;
}

long long framesTo(I32 orbit, I32 recStart, I32 FRAMESTEP) {
  return orbit >= recStart ? framesPerOrbit(FRAMESTEP) * (orbit - recStart + 1) : 0;
}

}  // namespace

long long framesPerOrbit(I32 FRAMESTEP) { return FRAMESTEP == 1 ? NPHASES : NPHASES / FRAMESTEP + 1; }

std::string cutLightCurve(const std::string& path, long long samples) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  const std::string text = buf.str();
  std::size_t at = 0;
  for (long long line = 0; line < samples + 1; ++line) {  // the count line, then the samples
    at = text.find('\n', at);
    if (at == std::string::npos) return path + " holds fewer than " + std::to_string(samples) + " samples";
    ++at;
  }
  if (at == text.size()) return {};
  return keepFirstBytes(path, at);
}

std::string cutRecording(const std::string& path, long long frames) {
  if (frames == 0) {
    std::error_code ec;
    fs::remove(path, ec);
    return ec ? path + ": " + ec.message() : std::string{};
  }
  std::uint64_t end = 0;
  try {
    RecordingReader r(path);
    while (r.frames() < frames)
      if (!r.skip()) return path + " holds " + std::to_string(r.frames()) + " frames, fewer than " + std::to_string(frames);
    end = r.offset();
  } catch (const FileError& e) {
    return e.what();
  }
  std::error_code ec;
  if (fs::file_size(path, ec) == end) return {};
  return keepFirstBytes(path, end);
}

ResumePlan planResume(const std::string& name, const RunParameters& p, const OutputSettings& out) {
  const std::string rsName = name + "_rs.vlm", lcName = name + "_lc.vlm", recName = name + ".vlm";
  std::error_code ec;
  if (!fs::exists(rsName, ec)) {
    const bool earlier = fs::exists(lcName, ec) || fs::exists(recName, ec);
    return start(earlier ? "no restart file was written before the run was cut off" : "");
  }
  RestartFile R;
  try {
    R = readRestartFile(rsName);
  } catch (const FileError& e) {
    return start(std::string("the restart file cannot be read: ") + e.what());
  }
  if (!near(R.M1, p.M1) || !near(R.M2, p.M2) || !near(R.ALPHA, p.ALPHA) || !near(R.BETA, p.BETA) ||
      !near(R.HSPH, p.HINJ))
    return start(rsName + " holds other masses, viscosity or smoothing length than the row");
  if (R.IORBIT > p.NORB || R.IORBIT < 1)
    return start(rsName + " is at orbit " + std::to_string(R.IORBIT) + ", outside the row's " + std::to_string(p.NORB) +
                 " orbits");
  if (R.NPART != p.NPART)
    return start(rsName + " holds " + std::to_string(R.NPART) + " particles, not the row's " + std::to_string(p.NPART) +
                 " (a continued run injects no new gas)");
  const I32 R0 = R.IORBIT;
  const bool finished = R0 == p.NORB;

  // Check both files before anything is cut.
  const long long keepSamples = out.hasLc ? samplesTo(R0, p.LCSTART) : 0;
  if (keepSamples > 0) {
    try {
      const LightCurve lc = readLightCurve(lcName);
      const long long announced = samplesTo(p.NORB, p.LCSTART);
      if (!lc.countLine || lc.announced != announced)
        return start(lcName + " does not announce the row's " + std::to_string(announced) + " samples");
      if (lc.samples() < keepSamples)
        return start(lcName + " holds " + std::to_string(lc.samples()) + " samples, fewer than the " +
                     std::to_string(keepSamples) + " up to the restart file's orbit " + std::to_string(R0));
    } catch (const std::exception& e) {
      return start(std::string("the light curve cannot be read: ") + e.what());
    }
  }
  const long long keepFrames = out.hasRecord ? framesTo(R0, p.RECSTART, p.FRAMESTEP) : 0;
  if (keepFrames > 0) {
    try {
      RecordingReader r(recName);
      // A recording a continuation started counts its orbits from there: compare the span.
      if (r.FRAMESTEP() != p.FRAMESTEP || r.NORBTOT() - r.RECSTART() != p.NORB - p.RECSTART)
        return start(recName + " was recorded with other orbits or another frame step than the row's");
    } catch (const FileError& e) {
      return start(std::string("the recording cannot be read: ") + e.what());
    }
  }

  std::string problem;
  if (out.hasLc) {
    if (keepSamples > 0) problem = cutLightCurve(lcName, keepSamples);
    else if (fs::remove(lcName, ec), ec) problem = lcName + ": " + ec.message();
  }
  if (problem.empty() && out.hasRecord) problem = cutRecording(recName, keepFrames);
  if (!problem.empty()) return start("its files cannot be cut back to orbit " + std::to_string(R0) + ": " + problem);
  return {finished ? ResumePlan::From::Finished : ResumePlan::From::Restart, R0, {}};
}

std::string prepareContinuation(Sim& S, const std::string& name, const RunParameters& p, const OutputSettings& out,
                                I32 orbit) {
  RestartSettings r;
  r.file = name + "_rs.vlm";
  r.name = name;
  r.orbits = p.NORB - orbit;
  r.out.hasRestartEvery = true;
  r.out.restartEvery = p.RSEVERY;
  r.out.hasLc = out.hasLc;
  r.out.hasRecord = out.hasRecord;
  if (std::string problem = r.prepare(S); !problem.empty()) return problem;
  // Start orbits count from the continued run's first orbit: one that has passed (0 or less)
  // makes the light curve and the recording append to the files they have.
  S.LCSTART = p.LCSTART - orbit;
  S.RECSTART = p.RECSTART - orbit;
  S.FRAMESTEP = p.FRAMESTEP;
  S.NEWREC = FALSE4;
  return {};
}

}  // namespace velmora::study
