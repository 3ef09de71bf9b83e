// velmora-cli render movie: every frame of a recording drawn as the playback shows it, encoded
// by ffmpeg, with progress and Ctrl-C.
#include "cli/cmd_render_movie.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/progress_meter.h"
#include "cli/recorded_frame.h"
#include "display/gl/movie.h"
#include "shell/headless_host.h"

namespace velmora::cli {
namespace {

const char* kCmd = "render movie";

struct MovieOptions {
  std::string file, out;
  int width = 650, height = 730, fps = 25;
  long long first = 1, last = 0;
  std::string angles = "0,0", style = "filled", colour = "density", pointSize = "small";
  bool quiet = false;
};

int runMovie(const MovieOptions& o) {
  MovieRequest request;
  request.recording = o.file;
  request.out = o.out;
  request.width = o.width;
  request.height = o.height;
  request.fps = o.fps;
  request.first = o.first;
  request.last = o.last;
  if (!parseAngles(o.angles, request.XANGLE, request.YANGLE))
    return usageError(kCmd, "--angles takes XA,YA: two whole numbers of degrees in -360..360 (got \"" + o.angles + "\")");
  request.options.STARSTYLE = o.style == "wire" ? 2 : o.style == "points" ? 3 : 1;
  request.options.COLORMODE = o.colour == "temperature" ? 2 : 1;
  request.options.PTSIZE = o.pointSize == "large" ? 2.0f : 1.0f;

  // Everything is checked before the first frame: the request, ffmpeg, the whole recording.
  installStopHandler();
  ProgressMeter bar(o.quiet);
  const MoviePlan plan = planMovie(request, [&bar](long long done, long long total) {
    if (bar.seconds() >= 1.0) bar.update("reading the recording", done, total);  // only when it takes a while
    return !stopRequested();
  });
  bar.end();
  switch (plan.kind) {
    case MoviePlan::Ready: break;
    case MoviePlan::Usage: return usageError(kCmd, plan.message);
    case MoviePlan::Stopped:
      std::fprintf(stderr, "velmora-cli %s: stopped; no movie written\n", kCmd);
      return EXIT_STOPPED;
    case MoviePlan::BadFile:
    case MoviePlan::NoEncoder:
      std::fprintf(stderr, "velmora-cli %s: %s\n", kCmd, plan.message.c_str());
      return EXIT_FAILED;
  }

  const MovieResult r = writeMovie(request, plan, [&bar](long long done, long long total) {
    bar.update("encoding frames", done, total);
    return !stopRequested();
  });
  bar.end();
  switch (r.end) {
    case MovieResult::Written:
      if (!r.message.empty()) std::fprintf(stderr, "velmora-cli %s: warning: %s\n", kCmd, r.message.c_str());
      std::printf("%s: %lld frames (%lld..%lld of %s), %d x %d, %d fps, %.1f s of movie, made in %.0f s\n",
                  o.out.c_str(), r.frames, plan.first, plan.last, o.file.c_str(), o.width, o.height, o.fps,
                  static_cast<double>(r.frames) / o.fps, bar.seconds());
      return EXIT_OK;
    case MovieResult::Cancelled:
      std::fprintf(stderr, "velmora-cli %s: stopped after %lld frames; no movie written\n", kCmd, r.frames);
      return EXIT_STOPPED;
    case MovieResult::Failed: break;
  }
  std::fprintf(stderr, "velmora-cli %s: %s; no movie written\n", kCmd, r.message.c_str());
  return EXIT_FAILED;
}

}  // namespace

Command addRenderMovie(CLI::App* render) {
  auto o = std::make_shared<MovieOptions>();
  CLI::App* app = render->add_subcommand(
      "movie", "Every frame of a recording (or --first..--last) as the playback shows it, encoded by ffmpeg into "
               ".mp4 (H.264), .webm (VP9) or .gif by the extension of --out");
  app->add_option("FILE", o->file, "Recorded run (NAME.vlm)")->required();
  app->add_option("--out", o->out, "Movie file to write: NAME.mp4, NAME.webm or NAME.gif")->required();
  app->add_option("--first", o->first, "First frame of the recording in the movie, counted from 1")
      ->capture_default_str();
  app->add_option("--last", o->last, "Last frame (default: the last frame the playback shows)");
  app->add_option("--fps", o->fps, "Frames a second (1..120)")->capture_default_str();
  app->add_option("--angles", o->angles, "Rotation about x and y in degrees, XA,YA (each -360..360)")
      ->capture_default_str();
  app->add_option("--style", o->style, "Star style")->check(CLI::IsMember({"filled", "wire", "points"}))
      ->capture_default_str();
  app->add_option("--color", o->colour, "Particle colour")->check(CLI::IsMember({"density", "temperature"}))
      ->capture_default_str();
  app->add_option("--size", o->pointSize, "Particle size")->check(CLI::IsMember({"small", "large"}))
      ->capture_default_str();
  app->add_option("--width", o->width, "Width of the window's drawing area in pixels (16..8192; even for .mp4)")
      ->capture_default_str();
  app->add_option("--height", o->height, "Height of the window's drawing area in pixels (16..8192; even for .mp4)")
      ->capture_default_str();
  app->add_flag("--quiet", o->quiet, "No progress output");
  return {app, [o] { return runMovie(*o); }};
}

}  // namespace velmora::cli
