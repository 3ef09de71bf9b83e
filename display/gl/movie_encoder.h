// The ffmpeg process that turns raw frames into a movie file: MP4 (H.264), WebM (VP9) or GIF,
// written under a temporary name in the movie's folder and renamed into place only when whole.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace velmora {

struct MovieError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class MovieFormat { MP4, WebM, GIF };

// The format a file name asks for by its extension (".mp4", ".webm" or ".gif", any case);
// false for any other name.
bool movieFormatOf(const std::string& path, MovieFormat& format);

// The ffmpeg program on PATH, or an empty text when there is none.
std::string findFfmpeg();

// One movie being encoded. Frames are RGB rows, top row first, piped to ffmpeg as raw video;
// ffmpeg writes to "<path>.XXXXXX.part" beside the movie. Writing to a pipe whose reader has gone
// never raises SIGPIPE in the program: a failed ffmpeg is reported as a MovieError with the last
// lines it wrote to its error output.
class MovieEncoder {
 public:
  // Starts ffmpeg for frames of width x height pixels shown at fps frames a second. Throws
  // MovieError when ffmpeg is missing or cannot be started, or the folder takes no new file.
  MovieEncoder(const std::string& path, MovieFormat format, int width, int height, int fps);
  // An unfinished movie is abandoned: ffmpeg is stopped and the temporary file removed.
  ~MovieEncoder();
  MovieEncoder(const MovieEncoder&) = delete;
  MovieEncoder& operator=(const MovieEncoder&) = delete;

  // One frame of width x height x 3 bytes. Throws MovieError when ffmpeg has stopped.
  void frame(const unsigned char* rgb);
  // Ends the input, waits for ffmpeg and renames the movie into place. Throws MovieError (with
  // nothing left behind) when ffmpeg failed or the rename did.
  void finish();
  // Stops ffmpeg and removes the temporary file; nothing is left under the movie's name.
  void abandon();

  const std::string& temporaryPath() const { return temp_; }

 private:
  // Waits for ffmpeg; its exit status, or -1 when it was ended by a signal.
  int reap();
  // The last lines ffmpeg wrote to its error output, joined by "; ".
  std::string errorTail() const;
  [[noreturn]] void fail(const std::string& what);

  std::string path_, temp_;
  std::size_t frameBytes_ = 0;
  pid_t pid_ = -1;
  int input_ = -1;   // ffmpeg's standard input
  int errors_ = -1;  // an unnamed file holding ffmpeg's error output
  bool done_ = false;
};

}  // namespace velmora
