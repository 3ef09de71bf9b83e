// MovieEncoder: ffmpeg started with posix_spawn, fed through a pipe, its errors kept in a file.
#include "display/gl/movie_encoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

extern char** environ;

namespace velmora {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The encoder's options and container for each format.
std::vector<std::string> formatArgs(MovieFormat f) {
  switch (f) {
    case MovieFormat::MP4:
      return {"-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p", "-movflags", "+faststart",
              "-f", "mp4"};
    case MovieFormat::WebM:
      return {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-pix_fmt", "yuv420p", "-deadline", "good",
              "-cpu-used", "4", "-row-mt", "1", "-f", "webm"};
    case MovieFormat::GIF:
      // A palette made from the whole movie, then used for every frame.
      return {"-vf", "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=none", "-loop", "0",
              "-f", "gif"};
  }
  return {};
}

// SIGPIPE is held back on this thread while it writes to ffmpeg; one raised by the write is taken
// off again, so a reader that has gone shows as EPIPE and nothing else.
class HoldPipeSignal {
 public:
  HoldPipeSignal() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
  }
  ~HoldPipeSignal() {
    if (!wasPending_) {
      sigset_t pending;
      sigpending(&pending);
      if (sigismember(&pending, SIGPIPE) == 1) {
        const timespec zero{};
        while (sigtimedwait(&set_, nullptr, &zero) == -1 && errno == EINTR) {
        }
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  HoldPipeSignal(const HoldPipeSignal&) = delete;
  HoldPipeSignal& operator=(const HoldPipeSignal&) = delete;

 private:
  sigset_t set_{}, old_{};
  bool wasPending_ = false;
};

// The process's file-creation mask, read without changing it (umask() would, for every thread).
mode_t creationMask() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  mode_t mask = 022;
  if (!f) return mask;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    unsigned m = 0;
    if (std::sscanf(line, "Umask: %o", &m) == 1) {
      mask = static_cast<mode_t>(m);
      break;
    }
  }
  std::fclose(f);
  return mask;
}

bool executable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool movieFormatOf(const std::string& path, MovieFormat& format) {
  const std::string ext = lower(std::filesystem::path(path).extension().string());
  if (ext == ".mp4") format = MovieFormat::MP4;
  else if (ext == ".webm") format = MovieFormat::WebM;
  else if (ext == ".gif") format = MovieFormat::GIF;
  else return false;
  return true;
}

std::string findFfmpeg() {
  const char* env = std::getenv("PATH");
  const std::string path = env ? env : "/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = path.find(':', start);
    std::string dir = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/ffmpeg";
    if (executable(candidate)) return candidate;
    if (colon == std::string::npos) return {};
    start = colon + 1;
  }
}

MovieEncoder::MovieEncoder(const std::string& path, MovieFormat format, int width, int height, int fps)
    : path_(path), frameBytes_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
  const std::string ffmpeg = findFfmpeg();
  if (ffmpeg.empty())
    throw MovieError("ffmpeg was not found on PATH: movies are encoded by it (install the Debian package ffmpeg)");

  // The temporary file is made here, so that a folder that takes no new file is told at once.
  std::string pattern = path + ".XXXXXX.part";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
  if (fd < 0) throw MovieError("\"" + path + "\": cannot be created here (" + std::strerror(errno) + ")");
  // ffmpeg writes into this file, which keeps its mode: that of any new file, not mkstemp's 0600.
  ::fchmod(fd, 0666 & ~creationMask());
  ::close(fd);
  temp_ = name.data();

  char errName[] = "/tmp/velmora-ffmpeg-XXXXXX";
  errors_ = ::mkostemp(errName, O_CLOEXEC);
  if (errors_ >= 0) ::unlink(errName);

  int pipeFds[2] = {-1, -1};
  if (::pipe2(pipeFds, O_CLOEXEC) != 0 || errors_ < 0) {
    const std::string why = std::strerror(errno);
    if (pipeFds[0] >= 0) ::close(pipeFds[0]), ::close(pipeFds[1]);
    abandon();
    throw MovieError("cannot start ffmpeg: " + why);
  }

  std::vector<std::string> args = {ffmpeg,
                                   "-hide_banner",
                                   "-nostdin",
                                   "-nostats",
                                   "-loglevel",
                                   "error",
                                   "-y",
                                   "-f",
                                   "rawvideo",
                                   "-pix_fmt",
                                   "rgb24",
                                   "-video_size",
                                   std::to_string(width) + "x" + std::to_string(height),
                                   "-framerate",
                                   std::to_string(fps),
                                   "-i",
                                   "pipe:0"};
  for (std::string& a : formatArgs(format)) args.push_back(std::move(a));
  args.push_back(temp_);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, errors_, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group, so that a Ctrl-C at the terminal reaches only this program, which then
  // abandons the movie in order; default signals and an empty mask, whatever this thread holds.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  const int rc = ::posix_spawn(&pid_, ffmpeg.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(pipeFds[0]);
  if (rc != 0) {
    pid_ = -1;
    ::close(pipeFds[1]);
    abandon();
    throw MovieError("cannot start " + ffmpeg + ": " + std::strerror(rc));
  }
  input_ = pipeFds[1];
}

MovieEncoder::~MovieEncoder() {
  if (!done_) abandon();
  if (errors_ >= 0) ::close(errors_);
}

void MovieEncoder::frame(const unsigned char* rgb) {
  if (done_ || input_ < 0) throw MovieError("the movie \"" + path_ + "\" is closed");
  HoldPipeSignal hold;
  std::size_t left = frameBytes_;
  while (left > 0) {
    const ssize_t n = ::write(input_, rgb, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int e = errno;
      fail(e == EPIPE ? "ffmpeg stopped taking frames" : std::string("writing to ffmpeg failed: ") + std::strerror(e));
    }
    rgb += n;
    left -= static_cast<std::size_t>(n);
  }
}

void MovieEncoder::finish() {
  if (done_) return;
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  const int status = reap();
  if (status != 0) fail(status < 0 ? "ffmpeg failed (ended by a signal)"
                                   : "ffmpeg failed (exit status " + std::to_string(status) + ")");
  std::error_code ec;
  if (std::filesystem::file_size(temp_, ec) == 0 || ec) fail("ffmpeg wrote no movie");
  std::filesystem::rename(temp_, path_, ec);
  if (ec) {
    abandon();
    throw MovieError("\"" + path_ + "\": cannot be written (" + ec.message() + ")");
  }
  done_ = true;
}

void MovieEncoder::abandon() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    reap();
  }
  if (!temp_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
  }
  done_ = true;
}

int MovieEncoder::reap() {
  if (pid_ <= 0) return -1;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, 0);
  } while (r < 0 && errno == EINTR);
  pid_ = -1;
  if (r < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return -1;
}

std::string MovieEncoder::errorTail() const {
  if (errors_ < 0) return {};
  std::string text;
  char buf[4096];
  off_t at = 0;
  for (;;) {
    const ssize_t n = ::pread(errors_, buf, sizeof buf, at);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    at += n;
    if (text.size() > (1u << 16)) text.erase(0, text.size() - (1u << 15));
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  const std::size_t keep = std::min<std::size_t>(lines.size(), 4);
  std::string out;
  for (std::size_t i = lines.size() - keep; i < lines.size(); ++i) out += (out.empty() ? "" : "; ") + lines[i];
  return out;
}

void MovieEncoder::fail(const std::string& what) {
  // ffmpeg's own words say why; it has ended or is ended here before they are read.
  if (input_ >= 0) ::close(input_);
  input_ = -1;
  std::string status;
  if (pid_ > 0) {
    const int code = reap();
    status = code < 0 ? " (ended by a signal)" : " (exit status " + std::to_string(code) + ")";
  }
  const std::string tail = errorTail();
  abandon();
  throw MovieError(what + status + (tail.empty() ? std::string() : ": " + tail));
}

}  // namespace velmora
