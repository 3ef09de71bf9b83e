// velmora-cli info: what a run's file holds — recording, restart file or light curve.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/registry.h"
#include "core/geometry.h"
#include "files/lightcurve.h"
#include "files/recording.h"
#include "files/restart_file.h"
#include "files/run_file_kind.h"
#include "files/run_provenance.h"

namespace velmora::cli {
namespace {

const char* kCmd = "info";

void describeRecording(const std::string& path) {
  RecordingReader r(path);
  RecordedFrame f;
  I32 firstN = 0, lastN = 0;
  while (r.next(f)) {
    if (r.frames() == 1) firstN = f.N;
    lastN = f.N;
  }
  std::printf("%s: recorded run\n", path.c_str());
  std::printf("  frames present     %lld (%llu bytes)\n", r.frames(), static_cast<unsigned long long>(r.offset()));
  std::printf("  playback frames    %lld", r.frameTotal());
  if (r.frames() < r.frameTotal()) std::printf("  (the recording stopped early)");
  std::printf("\n");
  std::printf("  particles          %d in the first frame, %d in the last\n", firstN, lastN);
  std::printf("  NORBTOT %d   FRAMESTEP %d   RECSTART %d\n", r.NORBTOT(), r.FRAMESTEP(), r.RECSTART());
}

void describeRestart(const std::string& path) {
  const RestartFile R = readRestartFile(path);
  std::printf("%s: restart file\n", path.c_str());
  std::printf("  masses             M1 %.4f Msun   M2 %.4f Msun   q %.4f\n", double(R.M1), double(R.M2),
              double(R.M2 / R.M1));
  std::printf("  separation         %.4f Rsun\n", double(R.ASEP));
  std::printf("  period             %.2f s (%.4f h)\n", double(R.PORB), double(R.PORB) / 3600.0);
  std::printf("  particles          %d\n", R.NPART);
  const auto counts = R.levelCounts();
  std::printf("  levels             %d:", R.NLEVELS);
  for (int L = 1; L <= R.NLEVELS; ++L) std::printf(" %d", counts[static_cast<std::size_t>(L)]);
  std::printf("  (particles per level, 1 = shortest step)\n");
  std::printf("  orbit              %d\n", R.IORBIT);
  std::printf("  alpha %.4f   beta %.4f   h %.4f\n", double(R.ALPHA), double(R.BETA), double(R.HSPH));
}

void describeLightCurve(const std::string& path) {
  const LightCurve lc = readLightCurve(path);
  std::printf("%s: light curve\n", path.c_str());
  if (lc.countLine) std::printf("  samples declared   %lld\n", lc.announced);
  else std::printf("  samples declared   none (the file has no count line)\n");
  std::printf("  samples present    %lld", lc.samples());
  if (lc.shorterThanAnnounced()) std::printf("  (the run was stopped early)");
  std::printf("\n");
  std::printf("  whole orbits       %d\n", lc.orbits());
  if (lc.samples() == 0) return;
  float lo = lc.L.front(), hi = lc.L.front();
  for (float v : lc.L) {
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  std::printf("  time               %.6f to %.6f orbits\n", double(lc.T.front()), double(lc.T.back()));
  std::printf("  luminosity         %.6E to %.6E\n", double(lo), double(hi));
}

// A run's record: how the run was made and how it ended.
void describeRecord(const std::string& path) {
  const std::string base = path.substr(0, path.size() - std::string(".run.json").size());
  const auto p = readProvenance(base);
  if (!p) throw std::runtime_error(path + ": cannot open");
  const auto start = [](double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "from orbit %g", v);
    return v < 0 ? std::string("not written") : std::string(buf);
  };
  std::printf("%s: run record of %s\n", path.c_str(), p->name.c_str());
  std::printf("  made by            %s\n", p->invocation.c_str());
  std::printf("  parameters         %s\n", p->parameters.dump().c_str());
  std::printf("  threads            %d\n", p->threads);
  if (!p->parent.empty())
    std::printf("  continued from     %s at orbit %d (sha256 %s)\n", p->parent.c_str(), p->parentOrbit,
                p->parentSha256.c_str());
  std::printf("  light curve        %s\n", start(p->lightCurveStart).c_str());
  std::printf("  recording          %s\n", start(p->recordingStart).c_str());
  std::printf("  started            %s\n", p->started.c_str());
  if (p->ended.empty()) std::printf("  ended              not yet (orbit %d reached)\n", p->orbit);
  else std::printf("  ended              %s at orbit %d, %s, wall time %.1f s\n", p->ended.c_str(), p->orbit,
                   p->end.c_str(), p->wallSeconds);
  if (!p->message.empty()) std::printf("  message            %s\n", p->message.c_str());
}

int describe(const std::string& path) {
  if (path.ends_with(".run.json")) {
    try {
      describeRecord(path);
    } catch (const std::runtime_error& e) {
      std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, e.what());
      return EXIT_FAILED;
    }
    return EXIT_OK;
  }
  try {
    switch (readRunFileKind(path)) {
      case RunFileKind::Recording: describeRecording(path); break;
      case RunFileKind::Restart: describeRestart(path); break;
      case RunFileKind::LightCurve: describeLightCurve(path); break;
    }
  } catch (const std::runtime_error& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, e.what());
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

Command add(CLI::App& parent) {
  auto file = std::make_shared<std::string>();
  CLI::App* app =
      parent.add_subcommand(kCmd, "Describe a recording, restart file, light curve or run record, checking it whole");
  app->add_option("FILE", *file, "The file (NAME.vlm, NAME_rs.vlm, NAME_lc.vlm or NAME.run.json)")->required();
  return {app, [file]() { return describe(*file); }};
}

const Register reg(40, add);

}  // namespace
}  // namespace velmora::cli
