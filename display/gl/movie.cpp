// Movies of a recorded run: the request checked whole first, then frame after frame drawn by
// SHOW2 on a headless surface and piped to ffmpeg.
#include "display/gl/movie.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "display/gl/headless_surface.h"
#include "display/gl/view.h"
#include "files/recording.h"

namespace velmora {
namespace {

MoviePlan refuse(MoviePlan::Kind kind, const std::string& message) {
  MoviePlan p;
  p.kind = kind;
  p.message = message;
  return p;
}

std::string range(const char* option, long long lo, long long hi) {
  return std::string(option) + " must be within " + std::to_string(lo) + ".." + std::to_string(hi);
}

}  // namespace

MoviePlan planMovie(const MovieRequest& request, const MovieProgress& reading) {
  MoviePlan plan;
  if (!movieFormatOf(request.out, plan.format))
    return refuse(MoviePlan::Usage, "\"" + request.out + "\": a movie is written as .mp4 (H.264), .webm (VP9) or .gif");
  if (request.width < MOVIE_MIN_SIZE || request.width > MOVIE_MAX_SIZE)
    return refuse(MoviePlan::Usage, range("--width", MOVIE_MIN_SIZE, MOVIE_MAX_SIZE) + " (got " +
                                        std::to_string(request.width) + ")");
  if (request.height < MOVIE_MIN_SIZE || request.height > MOVIE_MAX_SIZE)
    return refuse(MoviePlan::Usage, range("--height", MOVIE_MIN_SIZE, MOVIE_MAX_SIZE) + " (got " +
                                        std::to_string(request.height) + ")");
  if (plan.format == MovieFormat::MP4 && (request.width % 2 != 0 || request.height % 2 != 0))
    return refuse(MoviePlan::Usage, "an MP4 movie (H.264) needs an even width and height (got " +
                                        std::to_string(request.width) + " x " + std::to_string(request.height) + ")");
  if (request.fps < 1 || request.fps > MOVIE_MAX_FPS)
    return refuse(MoviePlan::Usage, range("--fps", 1, MOVIE_MAX_FPS) + " (got " + std::to_string(request.fps) + ")");
  if (request.first < 1)
    return refuse(MoviePlan::Usage, "--first must be at least 1 (got " + std::to_string(request.first) + ")");
  if (request.last != 0 && request.last < request.first)
    return refuse(MoviePlan::Usage, "--last must not be below --first (got " + std::to_string(request.last) + " < " +
                                        std::to_string(request.first) + ")");
  if (findFfmpeg().empty())
    return refuse(MoviePlan::NoEncoder,
                  "ffmpeg was not found on PATH: movies are encoded by it (install the Debian package ffmpeg)");

  // The recording, read through the last frame the movie needs: every frame checked now.
  try {
    RecordingReader R(request.recording);
    plan.FRAMESTEP = R.FRAMESTEP();
    plan.RECSTART = R.RECSTART();
    plan.NORBTOT = R.NORBTOT();
    const long long total = R.frameTotal();
    const long long want = request.last != 0 ? request.last : total;
    const long long toRead = std::min(want, total);
    RecordedFrame f;
    while (R.frames() < toRead && R.next(f))
      if (reading && !reading(R.frames(), toRead)) return refuse(MoviePlan::Stopped, "stopped while reading the recording");
    plan.shown = std::min(R.frames(), total);
    if (plan.shown < 1)
      return refuse(MoviePlan::BadFile, request.recording + ": the recording holds no frame to show");
  } catch (const FileError& e) {
    return refuse(MoviePlan::BadFile, e.what());
  }
  plan.first = request.first;
  plan.last = request.last != 0 ? request.last : plan.shown;
  if (plan.first > plan.shown)
    return refuse(MoviePlan::Usage, "--first " + std::to_string(plan.first) + " is beyond the " +
                                        std::to_string(plan.shown) + " frames that " + request.recording + " shows");
  if (plan.last > plan.shown)
    return refuse(MoviePlan::Usage, "--last " + std::to_string(plan.last) + " is beyond the " +
                                        std::to_string(plan.shown) + " frames that " + request.recording + " shows");
  return plan;
}

MovieResult writeMovie(const MovieRequest& request, const MoviePlan& plan, const MovieProgress& progress) {
  MovieResult result;
  if (plan.kind != MoviePlan::Ready) {
    result.message = plan.message;
    return result;
  }
  try {
    HeadlessSurface surface(request.width, request.height);
    std::string drawProblem;
    View view({}, [&drawProblem](const std::string& m) { drawProblem = m; });
    view.initialize();
    view.resize(request.width, request.height);
    view.options() = request.options;
    StillHost host;
    const PlaybackInfo info{plan.FRAMESTEP, plan.RECSTART, plan.NORBTOT};

    RecordingReader R(request.recording);
    RecordedFrame f;
    while (R.frames() < plan.first - 1)
      if (!R.next(f)) throw FileError(request.recording, "it ended before frame " + std::to_string(plan.first));

    MovieEncoder encoder(request.out, plan.format, request.width, request.height, request.fps);
    const long long total = plan.frames();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(request.width) * static_cast<std::size_t>(request.height) * 3);
    for (long long K = plan.first; K <= plan.last; ++K) {
      if (!R.next(f)) throw FileError(request.recording, "it ended before frame " + std::to_string(K));
      const auto counter = static_cast<I32>(K);
      surface.makeCurrent();
      if (K == plan.first) view.show2(playbackFrame(f), info, request.XANGLE, request.YANGLE, counter, 0, host);
      view.show2(playbackFrame(f), info, request.XANGLE, request.YANGLE, counter, 0, host);
      const std::vector<unsigned char> rgba = surface.read();
      for (std::size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) {
        rgb[j] = rgba[i];
        rgb[j + 1] = rgba[i + 1];
        rgb[j + 2] = rgba[i + 2];
      }
      encoder.frame(rgb.data());
      result.frames = K - plan.first + 1;
      if (progress && !progress(result.frames, total)) {
        encoder.abandon();
        result.end = MovieResult::Cancelled;
        return result;
      }
    }
    encoder.finish();
    result.end = MovieResult::Written;
    if (!drawProblem.empty()) result.message = drawProblem;
  } catch (const MovieError& e) {
    result.end = MovieResult::Failed;
    result.message = e.what();
  } catch (const HeadlessError& e) {
    result.end = MovieResult::Failed;
    result.message = e.what();
  } catch (const FileError& e) {
    result.end = MovieResult::Failed;
    result.message = e.what();
  }
  return result;
}

}  // namespace velmora
