// Headless runs: option checks and messages, the state set-up of both dialogs, the run, the summary.
#include "shell/headless_run.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "core/core.h"
#include "core/threads.h"
#include "io/fortran_format.h"
#include "io/sha256.h"
#include "files/files.h"
#include "io/file_error.h"
#include "shell/file_name_rules.h"
#include "shell/restart_rules.h"

namespace velmora {
namespace {

std::string format(const char* fmt, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

}  // namespace

std::string optionName(OptionSpelling how, std::string_view option) {
  if (how == OptionSpelling::CommandLine) return "--" + std::string(option);
  std::string s(option);
  for (char& c : s)
    if (c == '-') c = '_';
  return s;
}

std::string rangeProblem(const std::string& option, double value, double lo, double hi, int decimals) {
  if (value >= lo && value <= hi) return {};
  return format("%s must be between %.*f and %.*f (got %g)", option.c_str(), decimals, lo, decimals, hi, value);
}

std::string runNameProblem(OptionSpelling how, const std::string& name) {
  const std::string opt = optionName(how, "name");
  if (name.size() > 40) return opt + " takes at most 40 characters";
  if (name.find('/') != std::string::npos)
    return opt + " is a base name without a folder (the files go in the current directory)";
  return {};
}

std::string OutputSettings::problem(OptionSpelling how, long long orbits, int frameSteps,
                                    const std::string& name) const {
  const auto opt = [how](std::string_view o) { return optionName(how, o); };
  const double n = static_cast<double>(orbits);
  std::string p;
  if (hasRecord && !(p = rangeProblem(opt("record"), static_cast<double>(record), 1, n, 0)).empty()) return p;
  if (hasFrameStep && !(p = rangeProblem(opt("frame-step"), static_cast<double>(frameStep), 1, frameSteps, 0)).empty())
    return p;
  if (hasFrameStep && !hasRecord) return opt("frame-step") + " needs " + opt("record");
  if (hasLc && !(p = rangeProblem(opt("lc"), static_cast<double>(lc), 1, n, 0)).empty()) return p;
  if (hasRestartEvery &&
      !(p = rangeProblem(opt("restart-every"), static_cast<double>(restartEvery), 1, 2147483647, 0)).empty())
    return p;
  for (const auto& [on, option] : {std::pair{hasRecord, "record"}, std::pair{hasLc, "lc"},
                                   std::pair{hasRestartEvery, "restart-every"}}) {
    if (on && name.empty())
      return opt(option) + " writes a file named after the run: give its base name with " + opt("name");
  }
  return {};
}

std::string NewRunSettings::problem(OptionSpelling how) const {
  using R = DiskSetupRules;
  const auto opt = [how](std::string_view o) { return optionName(how, o); };
  std::string p;
  if (!(p = rangeProblem(opt("m1"), m1, R::M1_MIN / 100.0, R::M1_MAX / 100.0, 2)).empty()) return p;
  if (!(p = rangeProblem(opt("q"), q, R::Q_MIN / 100.0, R::Q_MAX / 100.0, 2)).empty()) return p;
  if (!(p = rangeProblem(opt("alpha"), alpha, R::AB_MIN / 100.0, R::AB_MAX / 100.0, 2)).empty()) return p;
  if (!(p = rangeProblem(opt("beta"), beta, R::AB_MIN / 100.0, R::AB_MAX / 100.0, 2)).empty()) return p;
  if (orbits < 1) return opt("orbits") + " must be at least 1";
  if (!(p = rangeProblem(opt("particles"), static_cast<double>(particles), 1, MAXPART, 0)).empty()) return p;
  const double injMax = particles < R::MAX_INJ ? static_cast<double>(particles) : R::MAX_INJ;
  if (!(p = rangeProblem(opt("inj"), static_cast<double>(inj), 1, injMax, 0)).empty()) return p;
  const double hmax = R::hmaxFor(particles) / 10000.0;
  if (!(p = rangeProblem(opt("h"), h, R::H_MIN / 10000.0, hmax, 4)).empty())
    return p + format("\n  (the largest smoothing length for %lld particles is %.4f)", particles, hmax);
  if (!(p = runNameProblem(how, name)).empty()) return p;
  return out.problem(how, orbits, 7, name);
}

RunParameters NewRunSettings::parameters() const {
  DiskSetupRules d;
  d.m1Pos = static_cast<int>(std::lround(m1 * 100));
  d.qPos = static_cast<int>(std::lround(q * 100));
  d.alphaPos = static_cast<int>(std::lround(alpha * 100));
  d.betaPos = static_cast<int>(std::lround(beta * 100));
  d.particlesChanged(particles);
  d.injectionsChanged(inj);
  d.hPos = static_cast<int>(std::lround(h * 10000));
  d.resSlider = static_cast<int>(out.frameStep) - 1;  // 0: a frame every phase
  d.recStart = out.record;
  d.lcStart = out.lc;
  d.rsEvery = out.restartEvery;
  d.sliderMoved();
  d.orbits = orbits;
  return d.runParameters();
}

std::string forcesProblem(OptionSpelling how, const std::string& text, ForceScheme& f) {
  if (forceSchemeNamed(text, f)) return {};
  return optionName(how, "forces") + " must be sequential or synchronous (got '" + text.substr(0, 40) + "')";
}

void NewRunSettings::prepare(Sim& S, const RunParameters& p) const {
  REINIT(S);
  S.RUNNAME = name;
  S.FORCES = forces;
  prepareRun(S, p, out.hasRecord, out.hasLc, out.hasRestartEvery);
}

std::string RestartSettings::problem(OptionSpelling how) const {
  using R = RestartRules;
  std::string p;
  if (!(p = rangeProblem(optionName(how, "orbits"), static_cast<double>(orbits), 0, R::MAX_ORBITS, 0)).empty())
    return p;
  if (!(p = runNameProblem(how, name)).empty()) return p;
  return out.problem(how, orbits, R::RES_MAX, name);
}

std::string RestartSettings::prepare(Sim& S) const {
  REINIT(S);
  S.DATANAME = file;
  RunFileName chosen;
  splitRunName(file, chosen);  // the title's name; a longer one is cut to the name's length
  S.RUNNAME = chosen.RUNNAME.substr(0, RUNNAME_CHARS);
  S.RUNEXT = chosen.RUNEXT;
  // The dialog with the options typed into its fields and its boxes checked.
  RestartRules d;
  d.opened(S);
  d.orbitsText = std::to_string(orbits);
  if (out.hasRecord) d.toggleRecord();
  if (out.hasLc) d.toggleLightCurve();
  if (out.hasRestartEvery) d.toggleRestart();
  d.recStartText = std::to_string(out.record);
  d.lcStartText = std::to_string(out.lc);
  d.rsEveryText = std::to_string(out.restartEvery);
  d.resPos = static_cast<int>(out.frameStep);
  if (std::string p = d.problem(); !p.empty()) return p;
  try {
    S.FORCES = hasForces ? forces : recordedForces(file);
  } catch (const FileError& e) {
    return e.what();
  }
  d.accept(S);
  if (d.needsName()) {
    S.RUNNAME = name;
    S.RUNEXT = "vlm";
  }
  return {};
}

void OutputSettings::addTo(nlohmann::ordered_json& j) const {
  if (hasRecord) j["record"] = record, j["frame_step"] = frameStep;
  if (hasLc) j["lc"] = lc;
  if (hasRestartEvery) j["restart_every"] = restartEvery;
}

nlohmann::ordered_json NewRunSettings::recordParameters() const {
  nlohmann::ordered_json j;
  j["m1"] = m1, j["q"] = q, j["h"] = h, j["alpha"] = alpha, j["beta"] = beta;
  j["orbits"] = orbits, j["particles"] = particles, j["inj"] = inj;
  j["name"] = name;
  out.addTo(j);
  return j;
}

nlohmann::ordered_json RestartSettings::recordParameters() const {
  nlohmann::ordered_json j;
  j["file"] = file, j["orbits"] = orbits, j["name"] = name;
  out.addTo(j);
  return j;
}

namespace {

// The record of a run that has begun: its name, files and orbit from the state, written whole.
void writeRecord(const Sim& S, HeadlessHost& H, RunProvenance& r) {
  r.name = fmt::trimRight(S.RUNNAME);
  r.observe(S);
  r.parameters["forces"] = forceSchemeName(S.FORCES);  // the scheme the state runs with, given or recorded
  if (r.parent.size()) r.parentOrbit = S.ORB0;
  if (const std::string err = writeProvenance(r); !err.empty()) H.warn(err + ": the run's record is not up to date");
}

}  // namespace

RunOutcome runHeadless(Sim& S, HeadlessHost& H, const std::function<void(Sim&, RunHost&)>& body,
                       RunProvenance* record) {
  bool begun = false;
  if (record) {
    record->threads = threadCount();
    record->start();
    H.orbitEnded = [&S, &H, record, &begun] {
      begun = true;
      writeRecord(S, H, *record);
    };
  }
  RunOutcome out{RunEnd::Completed, {}};
  try {
    body(S, H);
    out.end = H.stoppedByUser() ? RunEnd::Stopped : RunEnd::Completed;
  } catch (const FileError& e) {
    out = {RunEnd::Refused, e.what()};
  } catch (const RunError& e) {
    out = {RunEnd::Failed, e.what()};
  }
  H.orbitEnded = nullptr;
  if (record && (begun || out.end != RunEnd::Refused)) {
    const char* how = out.end == RunEnd::Completed ? "complete" : out.end == RunEnd::Stopped ? "Ctrl-C" : "error";
    record->finish(how, H.elapsedSeconds(), out.message);
    writeRecord(S, H, *record);
  }
  return out;
}

RunOutcome runNew(Sim& S, HeadlessHost& H, const RunParameters& p, RunProvenance* record) {
  return runHeadless(
      S, H,
      [&p](Sim& sim, RunHost& host) {
        DISKSUB(sim, host, p.M1, p.M2, p.ALPHA, p.BETA, p.NPART, p.NORB, p.NINJ, p.NDISP, 1);
      },
      record);
}

RunOutcome runRestart(Sim& S, HeadlessHost& H, RunProvenance* record) {
  if (record) {  // the restart file's digest before the run can replace it
    record->parent = S.DATANAME;
    record->parentSha256 = sha256OfFile(S.DATANAME);
  }
  return runHeadless(S, H, [](Sim& sim, RunHost& host) { RESTART(sim, host); }, record);
}

std::string runSummary(const Sim& S, bool stopped, double seconds) {
  const I32 done = S.IORBIT - S.ORB0, wanted = S.NORBEND - S.ORB0;
  std::string s = stopped ? format("Run stopped after %d of %d orbits\n", done, wanted)
                          : format("Run complete: %d orbits\n", done);
  if (S.ORB0 != 0) s += format("  continued from orbit %d to orbit %d\n", S.ORB0, S.IORBIT);
  s += format("  particles in use %d\n", S.NPART);
  s += format("  removed: %d accreted, %d escaped, %d returned to the secondary\n", S.NACC, S.NESC, S.NLOST);
  if (S.NPART > 0) {
    float lo = S.RHO(1), hi = S.RHO(1);
    for (int i = 2; i <= S.NPART; ++i) {
      if (S.RHO(i) < lo) lo = S.RHO(i);
      if (S.RHO(i) > hi) hi = S.RHO(i);
    }
    s += format("  density %.3f to %.3f\n", double(lo), double(hi));
    s += format("  particles per level (1 to %d):", int(S.NLEVELS));
    for (int L = 1; L <= S.NLEVELS; ++L) s += format(" %d", int(S.NLEV(L)));
    s += "\n";
  }
  s += format("  threads %d\n", threadCount());
  s += format("  forces %s\n", forceSchemeName(S.FORCES));
  s += format("  wall time %.1f s\n", seconds);
  return s;
}

}  // namespace velmora
