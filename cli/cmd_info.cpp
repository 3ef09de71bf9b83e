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

int describe(const std::string& path) {
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
  CLI::App* app = parent.add_subcommand(kCmd, "Describe a recording, restart file or light curve, checking it whole");
  app->add_option("FILE", *file, "The file (NAME.vlm, NAME_rs.vlm or NAME_lc.vlm)")->required();
  return {app, [file]() { return describe(*file); }};
}

const Register reg(40, add);

}  // namespace
}  // namespace velmora::cli
