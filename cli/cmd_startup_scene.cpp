// velmora-cli startup-scene: the title scene's start-up file made from a frame of a recording.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/recorded_frame.h"
#include "cli/registry.h"
#include "display/start_scene.h"

namespace velmora::cli {
namespace {

const char* kCmd = "startup-scene";

struct Options {
  std::string file, out;
  long long frame = 0;
};

Command add(CLI::App& parent) {
  auto o = std::make_shared<Options>();
  CLI::App* app = parent.add_subcommand(
      kCmd,
      "Write the title scene's start-up file from frame K of a recording: the frame's particle count, then its "
      "particles and both outlines (the program ships \"Auxillary Files/startup\" made this way)");
  app->add_option("FILE", o->file, "Recorded run (NAME.vlm)")->required();
  app->add_option("--frame", o->frame, "Frame of the recording, counted from 1")->required();
  app->add_option("--out", o->out, "Start-up scene file to write, e.g. \"Auxillary Files/startup\"")->required();

  auto run = [o]() -> int {
    std::unique_ptr<RecordingReader> reader;
    RecordedFrame f;
    const int code = readRecordedFrame(kCmd, o->file, o->frame, reader, f);
    if (code != EXIT_OK) return code;
    StartScene s;
    s.N = f.N;
    s.X = f.X, s.Y = f.Y, s.Z = f.Z, s.RHO = f.RHO, s.TEMP4 = f.TEMP;
    for (int i = 1; i <= NLOBE; ++i) s.LOBX(i) = f.LOBEX[static_cast<std::size_t>(i - 1)], s.LOBY(i) = f.LOBEY[static_cast<std::size_t>(i - 1)];
    for (int j = 1; j <= NWDPTS; ++j) s.WDX(j) = f.WDX[static_cast<std::size_t>(j - 1)], s.WDY(j) = f.WDY[static_cast<std::size_t>(j - 1)];
    std::string error;
    if (!writeStartScene(o->out, s, error)) {
      std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, error.c_str());
      return EXIT_FAILED;
    }
    std::printf("%s: frame %lld of %s, %d particles\n", o->out.c_str(), o->frame, o->file.c_str(), f.N);
    return EXIT_OK;
  };
  return {app, run};
}

const Register reg(70, add);

}  // namespace
}  // namespace velmora::cli
