// Movies of a recorded run: every frame drawn as the playback view draws it, on a headless
// surface, and encoded by ffmpeg (MovieEncoder). Shared by `velmora-cli render movie` and the
// desktop program's File > Export Movie; neither needs a window.
#pragma once

#include <functional>
#include <string>

#include "core/state.h"
#include "display/gl/display.h"
#include "display/gl/movie_encoder.h"

namespace velmora {

// What a movie is made of.
struct MovieRequest {
  std::string recording;  // the recorded run (NAME.vlm)
  std::string out;        // the movie: .mp4, .webm or .gif
  int width = 650, height = 730;  // the drawing window's client size, as `render recording` takes it
  int fps = 25;
  long long first = 1;  // frames of the recording, counted from 1
  long long last = 0;   // 0: the last frame the playback shows
  I32 XANGLE = 0, YANGLE = 0;
  ViewOptions options;
};

// Limits of a movie's request.
inline constexpr int MOVIE_MIN_SIZE = 16, MOVIE_MAX_SIZE = 8192, MOVIE_MAX_FPS = 120;

// What checking a request found, before any frame is drawn.
struct MoviePlan {
  enum Kind {
    Ready,     // frames first..last can be made
    Usage,     // the request itself is wrong: extension, size, rate or frame range
    BadFile,   // the recording cannot be read up to the last frame asked for
    NoEncoder, // ffmpeg is missing
    Stopped    // the check was cancelled
  } kind = Ready;
  std::string message;  // what is wrong, naming the option or the file
  MovieFormat format = MovieFormat::MP4;
  long long first = 0, last = 0;  // the frames to encode
  long long shown = 0;            // frames the playback of this recording shows
  I32 FRAMESTEP = 1, RECSTART = 1, NORBTOT = 0;
  long long frames() const { return last - first + 1; }
};

// Called with the frames done and the total; returning false cancels.
using MovieProgress = std::function<bool(long long done, long long total)>;

// Checks the request in this order: the movie's extension, size (H.264 takes only even sizes),
// rate and the frame range against the limits; ffmpeg; then reads the recording through the last
// frame asked for, so that a damaged one is refused before anything is encoded. `reading` is told
// the frames read so far (a long recording takes a while); returning false stops the check with
// kind Stopped.
MoviePlan planMovie(const MovieRequest& request, const MovieProgress& reading = {});

// How making the movie ended.
struct MovieResult {
  enum End { Written, Cancelled, Failed } end = Failed;
  std::string message;  // why it failed
  long long frames = 0;  // frames encoded
};

// Draws and encodes the planned frames, telling `progress` after each. The first is drawn twice, as `render recording` draws a
// frame, so that it shows the scene and not only the strip. Nothing is left under request.out unless
// the movie was written whole. Runs on any one thread: it makes its own context current there.
MovieResult writeMovie(const MovieRequest& request, const MoviePlan& plan, const MovieProgress& progress);

}  // namespace velmora
