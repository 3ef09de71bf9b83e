// The local pool: worker processes started with posix_spawn, their progress read from their
// standard error, Ctrl-C passed on as SIGTERM so every row stops as QUIT stops it.
#include "study/study_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "study/study_row.h"

namespace velmora::study {
namespace {

volatile std::sig_atomic_t g_stop = 0;

void onStop(int sig) {
  g_stop = 1;
  if (sig == SIGINT) std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the pool at once
}

// The pool's handlers of SIGINT and SIGTERM while it runs; the caller's come back after it
// (an interpreter that runs the pool keeps its own Ctrl-C handling).
class PoolHandlers {
 public:
  PoolHandlers() {
    g_stop = 0;
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: poll() returns at once
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
  }
  ~PoolHandlers() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  PoolHandlers(const PoolHandlers&) = delete;
  PoolHandlers& operator=(const PoolHandlers&) = delete;

 private:
  struct sigaction oldInt_ {}, oldTerm_ {};
};

struct Worker {
  const Row* row = nullptr;
  pid_t pid = -1;
  int fd = -1;          // the read end of the worker's standard error
  std::string pending;  // a line not yet ended
  I32 orbit = -1;       // the last orbit it reported
  I32 base = -1;        // the orbit it started from (its first report less one)
};

class Pool {
 public:
  Pool(const Table& t, const PoolOptions& o) : t_(t), o_(o), bar_(!o.quiet && isatty(fileno(stderr)) != 0) {}

  int run() {
    std::vector<const Row*> queue;
    for (const Row& r : t_.rows) {
      total_ += r.run.orbits;
      const RowStatus s = rowStatus(t_, r);
      if (s.state == RowState::Done) {
        doneUnits_ += r.run.orbits;
        ++done_;
      } else if (s.state == RowState::Running) {
        message(r.label() + " is running elsewhere (" + s.detail + "): left to it");
        ++elsewhere_;
      } else {
        queue.push_back(&r);
      }
    }
    const int share = threadShare(o_.threads, o_.jobs);
    if (queue.empty()) {
      std::printf("Study %s: all %zu rows are done\n", t_.path.filename().string().c_str(), t_.rows.size());
      return elsewhere_ ? 1 : 0;
    }
    message("Study " + t_.path.filename().string() + ": " + std::to_string(queue.size()) + " of " +
            std::to_string(t_.rows.size()) + " rows to run, " + std::to_string(o_.jobs) + " at a time, " +
            std::to_string(share) + " thread" + (share == 1 ? "" : "s") + " each");
    const PoolHandlers handlers;
    std::size_t next = 0;
    bool stopSent = false;
    while (next < queue.size() || !workers_.empty()) {
      if (g_stop && !stopSent) {
        stopSent = true;
        message("stopping: the running rows stop as QUIT stops a run, their files complete");
        for (const Worker& w : workers_) ::kill(w.pid, SIGTERM);
      }
      if (g_stop) next = queue.size();
      while (next < queue.size() && static_cast<int>(workers_.size()) < o_.jobs) launch(*queue[next++], share);
      pollWorkers();
      reap();
      drawProgress(false);
    }
    endBar();
    return finish();
  }

 private:
  void launch(const Row& r, int share) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      message(r.label() + ": cannot start a worker: " + std::strerror(errno));
      ++failed_;
      return;
    }
    const std::string task = std::to_string(r.index), threads = std::to_string(share);
    const std::string table = t_.path.string();
    std::vector<const char*> argv{o_.program.c_str()};
    for (const std::string& w : o_.command) argv.push_back(w.c_str());
    for (const char* w : {table.c_str(), "--task", task.c_str(), "--threads", threads.c_str()}) argv.push_back(w);
    argv.push_back(nullptr);
    std::vector<std::string> envText{"OMP_NUM_THREADS=" + threads};
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "OMP_NUM_THREADS=", 16) != 0) envText.emplace_back(*e);
    std::vector<const char*> envp;
    for (const std::string& e : envText) envp.push_back(e.c_str());
    envp.push_back(nullptr);
    // posix_spawn rather than fork and exec: safe from a process with threads (the core's, an
    // interpreter's), and a program that cannot be started is an error here, not in a child.
    // The worker's standard error is the pipe, its standard output /dev/null.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int err = ::posix_spawn(&pid, o_.program.c_str(), &actions, nullptr, const_cast<char* const*>(argv.data()),
                                  const_cast<char* const*>(envp.data()));
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (err != 0) {
      ::close(fds[0]);
      message(r.label() + ": cannot start a worker (" + o_.program + "): " + std::strerror(err));
      ++failed_;
      return;
    }
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    workers_.push_back({&r, pid, fds[0], {}, -1, -1});
    if (!bar_ && !o_.quiet) message(r.label() + " started");
  }

  // Reads what the workers said, waiting a quarter of a second at most.
  void pollWorkers() {
    std::vector<pollfd> fds;
    for (const Worker& w : workers_) fds.push_back({w.fd, POLLIN, 0});
    if (fds.empty()) return;
    ::poll(fds.data(), fds.size(), 250);
    for (Worker& w : workers_) drain(w);
  }

  void drain(Worker& w) {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::read(w.fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      w.pending.append(buf, static_cast<std::size_t>(n));
      std::size_t at;
      while ((at = w.pending.find('\n')) != std::string::npos) {
        hear(w, w.pending.substr(0, at));
        w.pending.erase(0, at + 1);
      }
    }
  }

  // A line of a worker's standard error: its orbit, or a message to show.
  void hear(Worker& w, const std::string& line) {
    int orbit = 0, of = 0;
    if (std::sscanf(line.c_str(), "orbit %d/%d", &orbit, &of) == 2) {
      if (w.base < 0) w.base = orbit - 1;
      w.orbit = orbit;
      return;
    }
    if (!line.empty()) message(w.row->label() + ": " + line);
  }

  void reap() {
    for (;;) {
      int status = 0;
      const pid_t pid = ::waitpid(-1, &status, WNOHANG);
      if (pid <= 0) return;
      for (std::size_t i = 0; i < workers_.size(); ++i) {
        if (workers_[i].pid != pid) continue;
        Worker w = workers_[i];
        workers_.erase(workers_.begin() + static_cast<std::ptrdiff_t>(i));
        ::fcntl(w.fd, F_SETFL, 0);  // the worker is gone: read to the end
        drain(w);
        if (!w.pending.empty()) hear(w, w.pending);
        ::close(w.fd);
        ended(w, status);
        break;
      }
    }
  }

  void ended(const Worker& w, int status) {
    const Row& r = *w.row;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const RowStatus s = rowStatus(t_, r);
    if (code == 0 && s.state == RowState::Done) {
      ++done_;
      doneUnits_ += r.run.orbits;
      sessionUnits_ += r.run.orbits - (w.base < 0 ? 0 : w.base);
      message(r.label() + " done: " + s.detail);
    } else if (code == 130 || (WIFSIGNALED(status) && (WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGTERM))) {
      ++stopped_;
      sessionUnits_ += w.orbit > w.base ? w.orbit - w.base : 0;
      message(r.label() + " stopped: " + (s.detail.empty() ? "not started" : s.detail));
    } else {
      ++failed_;
      sessionUnits_ += w.orbit > w.base ? w.orbit - w.base : 0;
      const std::string why = s.state == RowState::Failed ? s.detail
                              : WIFSIGNALED(status)       ? "killed by signal " + std::to_string(WTERMSIG(status))
                                                          : "exit code " + std::to_string(code);
      message(r.label() + " failed: " + why);
    }
    drawProgress(true);
  }

  double elapsed() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

  void drawProgress(bool force) {
    if (o_.quiet || total_ <= 0) return;
    long long units = doneUnits_, session = sessionUnits_;
    for (const Worker& w : workers_)
      if (w.orbit > 0) {
        units += w.orbit;
        session += w.orbit - w.base;
      }
    const double frac = static_cast<double>(units) / static_cast<double>(total_);
    const double secs = elapsed();
    std::string left;
    if (session > 0 && units < total_)
      left = "  left ~" + clockText(secs * static_cast<double>(total_ - units) / static_cast<double>(session));
    const std::string rows = "rows " + std::to_string(done_) + "/" + std::to_string(t_.rows.size()) + " done, " +
                             std::to_string(workers_.size()) + " running";
    const auto now = std::chrono::steady_clock::now();
    if (bar_) {
      if (!force && now - lastDraw_ < std::chrono::milliseconds(500)) return;
      lastDraw_ = now;
      const int width = 24, filled = static_cast<int>(frac * width + 1e-9);
      std::string bar(static_cast<std::size_t>(filled < width ? filled : width), '#');
      bar.resize(width, '.');
      std::fprintf(stderr, "\r[%s] %5.1f%%  %s  elapsed %s%s\x1b[K", bar.c_str(), 100.0 * frac, rows.c_str(),
                   clockText(secs).c_str(), left.c_str());
      std::fflush(stderr);
      barShown_ = true;
      return;
    }
    // Plain lines: one at every 5 % of the work.
    const int twentieth = static_cast<int>(frac * 20.0 + 1e-9);
    if (twentieth <= lastTwentieth_) return;
    lastTwentieth_ = twentieth;
    std::fprintf(stderr, "progress %3d%%  %s  elapsed %s%s\n", 5 * twentieth, rows.c_str(), clockText(secs).c_str(),
                 left.c_str());
    std::fflush(stderr);
  }

  void endBar() {
    if (barShown_) std::fputs("\r\x1b[K", stderr);
    barShown_ = false;
  }

  void message(const std::string& text) {
    endBar();
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }

  int finish() {
    const std::size_t rows = t_.rows.size();
    const std::size_t notStarted = rows - done_ - failed_ - stopped_ - elsewhere_;
    std::string s = "Study " + t_.path.filename().string() + ": " + std::to_string(done_) + " of " +
                    std::to_string(rows) + " rows done";
    if (failed_) s += ", " + std::to_string(failed_) + " failed";
    if (stopped_) s += ", " + std::to_string(stopped_) + " stopped";
    if (elsewhere_) s += ", " + std::to_string(elsewhere_) + " running elsewhere";
    if (notStarted) s += ", " + std::to_string(notStarted) + " not started";
    s += "; wall time " + clockText(elapsed());
    std::printf("%s\n", s.c_str());
    if (stopped_ || g_stop)
      std::printf("velmora-cli study run %s --jobs %d continues the rows that are not done\n", t_.path.string().c_str(),
                  o_.jobs);
    if (g_stop) return 130;
    return failed_ || elsewhere_ || notStarted ? 1 : 0;
  }

  const Table& t_;
  PoolOptions o_;
  bool bar_, barShown_ = false;
  std::vector<Worker> workers_;
  long long total_ = 0, doneUnits_ = 0, sessionUnits_ = 0;
  std::size_t done_ = 0, failed_ = 0, stopped_ = 0, elsewhere_ = 0;
  int lastTwentieth_ = -1;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), lastDraw_{};
};

}  // namespace

int threadShare(int threads, int jobs) {
  const int share = jobs > 0 ? threads / jobs : threads;
  return share >= 1 ? share : 1;
}

int runPool(const Table& t, const PoolOptions& o) { return Pool(t, o).run(); }

}  // namespace velmora::study
