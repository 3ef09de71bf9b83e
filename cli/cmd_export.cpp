// velmora-cli export: a recording or a restart file as HDF5, with an XDMF file for ParaView.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/progress_meter.h"
#include "cli/registry.h"
#include "files/hdf5/export_hdf5.h"
#include "io/file_error.h"
#include "shell/headless_host.h"

namespace velmora::cli {
namespace {

const char* kCmd = "export";

struct ExportCli {
  std::string input, out, frames;
  long long every = 1;
  double m1 = 0, m2 = 0, h = 0, alpha = 0, beta = 0;
  CLI::Option *m1Opt = nullptr, *m2Opt = nullptr, *hOpt = nullptr, *alphaOpt = nullptr, *betaOpt = nullptr;
  bool quiet = false;
};

// "A:B", "A:" or ":B", frame indices from 0 with B left out (as a Python slice); false when
// the text is not such a range.
bool parseFrames(const std::string& text, ExportOptions& o) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  const auto number = [](const std::string& s, long long& v) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 15) return false;
    v = std::stoll(s);
    return true;
  };
  const std::string a = text.substr(0, colon), b = text.substr(colon + 1);
  if (!a.empty() && !number(a, o.first)) return false;
  long long last = 0;
  if (!b.empty()) {
    if (!number(b, last)) return false;
    o.last = last;
  }
  return true;
}

int run(const ExportCli& c) {
  ExportOptions o;
  if (!c.frames.empty() && !parseFrames(c.frames, o))
    return usageError(kCmd, "--frames takes A:B, frames A to B - 1 counted from 0 (A: or :B for an open end); got \"" +
                                c.frames + "\"");
  if (o.last && *o.last <= o.first) return usageError(kCmd, "--frames " + c.frames + " holds no frame");
  if (c.every < 1) return usageError(kCmd, "--every must be 1 or more (got " + std::to_string(c.every) + ")");
  const auto positive = [](CLI::Option* opt, double v, const char* name) -> std::optional<std::string> {
    if (opt->count() && !(v > 0)) return std::string(name) + " must be greater than 0";
    return std::nullopt;
  };
  for (const auto& bad : {positive(c.m1Opt, c.m1, "--m1"), positive(c.m2Opt, c.m2, "--m2"), positive(c.hOpt, c.h, "--h")})
    if (bad) return usageError(kCmd, *bad);
  if ((c.alphaOpt->count() && !(c.alpha >= 0)) || (c.betaOpt->count() && !(c.beta >= 0)))
    return usageError(kCmd, "--alpha and --beta must not be negative");
  o.every = c.every;
  if (c.m1Opt->count()) o.parameters.M1 = c.m1;
  if (c.m2Opt->count()) o.parameters.M2 = c.m2;
  if (c.hOpt->count()) o.parameters.HSPH = c.h;
  if (c.alphaOpt->count()) o.parameters.ALPHA = c.alpha;
  if (c.betaOpt->count()) o.parameters.BETA = c.beta;

  ProgressMeter progress(c.quiet);
  o.progress = [&progress](long long done, long long total) { progress.update("reading frames", done, total); };
  installStopHandler();
  o.stop = [] { return stopRequested(); };
  ExportResult r;
  try {
    r = exportHdf5(c.input, c.out, o);
  } catch (const ExportError& e) {
    progress.end();
    if (e.kind == ExportError::Kind::Usage) return usageError(kCmd, e.what());
    std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, e.what());
    return e.kind == ExportError::Kind::Stopped ? EXIT_STOPPED : EXIT_FAILED;
  } catch (const std::runtime_error& e) {  // a damaged input: the message of `info`
    progress.end();
    std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, e.what());
    return EXIT_FAILED;
  }
  progress.end();
  for (const std::string& n : r.notes) std::fprintf(stderr, "velmora-cli %s: note: %s\n", kCmd, n.c_str());
  if (r.recording)
    std::printf("%s: %zu of %lld frames (%s to %s), parameters from %s\n", r.h5.c_str(), r.groups.size(),
                r.framesRead, r.groups.front().c_str(), r.groups.back().c_str(), r.parametersFrom.c_str());
  else
    std::printf("%s: restart state %s\n", r.h5.c_str(), r.groups.front().c_str());
  std::printf("%s: XDMF for ParaView\n", r.xmf.c_str());
  return EXIT_OK;
}

Command add(CLI::App& parent) {
  auto c = std::make_shared<ExportCli>();
  CLI::App* app = parent.add_subcommand(
      kCmd, "Write a recording or a restart file as HDF5 (layout in the README), with an XDMF file beside it for ParaView");
  app->add_option("FILE", c->input, "The recording (NAME.vlm) or restart file (NAME_rs.vlm)")->required();
  app->add_option("--out", c->out, "The HDF5 file to write (FILE.h5; the XDMF file is FILE.xmf)")->required();
  app->add_option("--frames", c->frames, "Frames A:B of a recording, A to B - 1 counted from 0 (default: all)");
  app->add_option("--every", c->every, "Every K-th frame of the range (default 1)");
  c->m1Opt = app->add_option("--m1", c->m1, "Primary mass, solar masses, when the recording has no NAME_rs.vlm beside it");
  c->m2Opt = app->add_option("--m2", c->m2, "Secondary mass, solar masses (likewise)");
  c->hOpt = app->add_option("--h", c->h, "Smoothing length (likewise)");
  c->alphaOpt = app->add_option("--alpha", c->alpha, "First viscosity coefficient, for the header (likewise)");
  c->betaOpt = app->add_option("--beta", c->beta, "Second viscosity coefficient, for the header (likewise)");
  app->add_flag("--quiet", c->quiet, "No progress output");
  return {app, [c]() { return run(*c); }};
}

const Register reg(42, add);

}  // namespace
}  // namespace velmora::cli
