// A study row run in its folder: the lock, the log, new or continued run, analysis and done;
// and a row's state read back from its folder.
#include "study/study_row.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <utility>

#include "analysis/run_analysis.h"
#include "study/study_resume.h"
#include "core/threads.h"
#include "io/file_io.h"
#include "shell/headless_host.h"

namespace velmora::study {
namespace fs = std::filesystem;
namespace {

volatile std::sig_atomic_t g_term = 0;

void onSigterm(int) { g_term = 1; }

// SIGTERM (a Slurm time limit or requeue, the pool's stop) stops the run as Ctrl-C does.
void installTermHandler() {
  g_term = 0;
  struct sigaction sa {};
  sa.sa_handler = onSigterm;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
}

std::string timeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

// The row's log: lines with a time stamp, appended with one write each.
class Log {
 public:
  Log() : fd_(::open(LOG_FILE, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666)) {}
  ~Log() {
    if (fd_ >= 0) ::close(fd_);
  }
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;
  void line(const std::string& text) const {
    if (fd_ < 0) return;
    const std::string s = timeStamp() + " " + text + "\n";
    [[maybe_unused]] const ssize_t n = ::write(fd_, s.data(), s.size());
  }
  // Every line of a block of text.
  void lines(const std::string& text) const {
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
      if (!l.empty()) line(l);
  }

 private:
  int fd_;
};

// The headless host that also writes a line to the row's log at the end of every orbit, and
// stops on SIGTERM as on Ctrl-C.
class RowHost : public HeadlessHost {
 public:
  RowHost(const Sim& S, Output out, const Log& log, std::function<void()> onOrbit)
      : HeadlessHost(S, out), S_(S), log_(log), onOrbit_(std::move(onOrbit)) {}
  void show(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) override {
    HeadlessHost::show(S, NSTEPS, XANGLE, YANGLE, paused);
    logOrbit();
  }
  void progress(I32 IPHASE, I32 IORBIT) override {
    HeadlessHost::progress(IPHASE, IORBIT);
    logOrbit();
  }
  void warn(const std::string& message) override {
    HeadlessHost::warn(message);
    log_.line("warning: " + message);
  }

 protected:
  bool stopWanted() override { return HeadlessHost::stopWanted() || g_term != 0; }

 private:
  void logOrbit() {
    if (S_.IPHASE != NPHASES || S_.IORBIT + 1 == lastLogged_) return;
    lastLogged_ = S_.IORBIT + 1;
    onOrbit_();
    log_.line("orbit " + std::to_string(lastLogged_) + "/" + std::to_string(S_.NORBEND) + "  elapsed " +
              clockText(elapsedSeconds()));
  }
  const Sim& S_;
  const Log& log_;
  std::function<void()> onOrbit_;
  I32 lastLogged_ = -1;
};

// Wall time and attempts so far, kept in TIME_FILE.
struct Attempts {
  double seconds = 0;
  long long count = 0;
};

Attempts readAttempts() {
  Attempts a;
  std::istringstream in(readText(TIME_FILE));
  in >> a.seconds >> a.count;
  if (!in) a = {};
  return a;
}

// The attempts before this one plus this one's time so far. Kept up to date at every orbit, so
// that an attempt killed outright (a node lost, SIGKILL) still counts all but its last orbit.
Attempts saveAttempt(const Attempts& before, double seconds) {
  Attempts a = before;
  a.seconds += seconds;
  a.count += 1;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.1f %lld\n", a.seconds, a.count);
  replaceAtomically(TIME_FILE, buf);
  return a;
}

// The parameters of a row as one line: every column and its value.
std::string describe(const Row& r) {
  std::string s;
  for (const Column& c : columns()) s += (s.empty() ? "" : "  ") + std::string(c.key) + " " + valueText(c, r.run);
  return s;
}

// The orbit of a restart file from its second line, without reading the particles; -1 when
// there is none.
I32 restartOrbit(const fs::path& p) {
  std::ifstream in(p);
  std::string head, second;
  if (!std::getline(in, head) || !std::getline(in, second)) return -1;
  std::istringstream s(second);
  I32 orbit = -1;
  s >> orbit;
  return s ? orbit : -1;
}

// Holds LOCK_FILE while the row runs; the lock goes with the process however it ends.
class RowLock {
 public:
  explicit RowLock(const fs::path& file) : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (fd_ < 0) return;
    // A status query holds a shared lock for a moment: try for a second. A file system
    // without locks cannot tell a running row; the row runs unlocked there.
    for (int k = 0; k < 20 && !held_; ++k) {
      held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
      if (!held_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!held_) return;
    char host[256] = "?";
    gethostname(host, sizeof host - 1);
    const std::string who = "pid " + std::to_string(::getpid()) + " on " + host + " since " + timeStamp() + "\n";
    if (::ftruncate(fd_, 0) == 0) [[maybe_unused]] const ssize_t n = ::pwrite(fd_, who.data(), who.size(), 0);
  }
  ~RowLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  RowLock(const RowLock&) = delete;
  RowLock& operator=(const RowLock&) = delete;
  bool held() const { return held_; }
  bool opened() const { return fd_ >= 0; }

 private:
  int fd_;
  bool held_ = false;
};

bool lockedByOther(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool busy = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return busy;
}

}  // namespace

std::string clockText(double seconds) {
  const long t = static_cast<long>(seconds + 0.5);
  char buf[32];
  if (t >= 3600) std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", t / 3600, (t / 60) % 60, t % 60);
  else std::snprintf(buf, sizeof buf, "%ld:%02ld", t / 60, t % 60);
  return buf;
}

std::string lastLine(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  const std::streamoff size = in.tellg();
  const std::streamoff from = size > 8192 ? size - 8192 : 0;
  in.seekg(from);
  std::string tail(static_cast<std::size_t>(size - from), '\0');
  in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
  std::string last;
  std::istringstream lines(tail);
  for (std::string l; std::getline(lines, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (!l.empty()) last = l;
  }
  // "2024-05-01 15:04:05 text": the text.
  if (last.size() > 20 && last[4] == '-' && last[7] == '-' && last[10] == ' ' && last[13] == ':' && last[19] == ' ')
    last = last.substr(20);
  return last;
}

const char* stateName(RowState s) {
  switch (s) {
    case RowState::NotStarted: return "not started";
    case RowState::Running: return "running";
    case RowState::Stopped: return "stopped";
    case RowState::Failed: return "failed";
    case RowState::Done: return "done";
  }
  return "";
}

int runRow(const Table& t, const Row& r, const RowRunOptions& o) {
  const fs::path folder = t.rowFolder(r);
  const std::string who = r.label();
  const auto refuse = [&](const std::string& why) {
    std::fprintf(stderr, "velmora-cli study run: %s: %s\n", who.c_str(), why.c_str());
    return 1;
  };
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return refuse("cannot create the folder " + folder.string() + ": " + ec.message());
  if (fs::exists(folder / DONE_FILE, ec)) {
    std::printf("%s is done: skipped\n", who.c_str());
    return 0;
  }
  RowLock lock(folder / LOCK_FILE);
  if (!lock.opened()) return refuse("cannot open " + (folder / LOCK_FILE).string() + ": " + std::strerror(errno));
  if (!lock.held()) {
    std::string holder = readText(folder / LOCK_FILE);
    while (!holder.empty() && holder.back() == '\n') holder.pop_back();
    return refuse("is running already (" + holder + ")");
  }
  if (fs::exists(folder / DONE_FILE, ec)) {  // finished while this one waited for the lock
    std::printf("%s is done: skipped\n", who.c_str());
    return 0;
  }
  if (::chdir(folder.c_str()) != 0) return refuse("cannot enter the folder " + folder.string() + ": " + std::strerror(errno));

  const Log log;
  fs::remove(FAILED_FILE, ec);
  const auto started = std::chrono::steady_clock::now();
  const auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
  const Attempts before = readAttempts();
  const auto addAttempt = [&](double seconds) { return saveAttempt(before, seconds); };
  const auto say = [&](const std::string& text) {
    log.line(text);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  };
  const auto fail = [&](const std::string& why) {
    log.line("failed: " + why);
    replaceAtomically(FAILED_FILE, why + "\n");
    addAttempt(elapsed());
    std::fprintf(stderr, "velmora-cli study run: %s failed: %s\n", who.c_str(), why.c_str());
    return 1;
  };

  say("Velmora study " + t.path.filename().string() + ", " + who + " of " + std::to_string(t.rows.size()));
  say("  " + describe(r));
  if (o.threads > 0) setThreadCount(o.threads);

  const RunParameters p = r.run.parameters();
  const std::string name = r.name;
  const ResumePlan plan = planResume(name, p, r.run.out);
  if (!plan.reason.empty()) say("  the earlier attempt's files are not used: " + plan.reason);

  auto S = std::make_unique<Sim>();
  if (plan.from != ResumePlan::From::Finished) {
    RunOutcome outcome;
    RunProvenance record;  // NAME.run.json beside the row's files
    record.invocation = "study row " + name, record.parameters = r.run.recordParameters();
    RowHost host(*S, HeadlessHost::chooseOutput(o.quiet), log, [&] { addAttempt(elapsed()); });
    installStopHandler();
    installTermHandler();
    if (plan.from == ResumePlan::From::Start) {
      for (const std::string& f : {name + "_lc.vlm", name + "_rs.vlm", name + ".vlm", std::string(ANALYSIS_FILE)})
        fs::remove(f, ec);
      say("  new run of " + std::to_string(p.NORB) + " orbits");
      r.run.prepare(*S, p);
      outcome = runNew(*S, host, p, &record);
    } else {
      say("  continues from orbit " + std::to_string(plan.orbit) + " of " + std::to_string(p.NORB) + " (" + name +
          "_rs.vlm; the light curve goes on in " + name + "_lc.vlm)");
      if (const std::string problem = prepareContinuation(*S, name, p, r.run.out, plan.orbit); !problem.empty())
        return fail(problem);
      outcome = runRestart(*S, host, &record);
    }
    host.finish();
    const bool stopped = outcome.end == RunEnd::Stopped;
    if (outcome.end != RunEnd::Refused) {
      const std::string summary = runSummary(*S, stopped, host.elapsedSeconds());
      log.lines(summary);
      std::fputs(summary.c_str(), stdout);
    }
    if (outcome.end == RunEnd::Refused) return fail(outcome.message);
    if (outcome.end == RunEnd::Failed) return fail("the run stopped: " + outcome.message);
    if (stopped) {
      addAttempt(elapsed());
      const I32 resume = restartOrbit(name + "_rs.vlm");
      say("stopped at orbit " + std::to_string(S->IORBIT) + " of " + std::to_string(p.NORB) + "; " +
          (resume > 0 ? "study run continues it from orbit " + std::to_string(resume)
                      : std::string("study run starts it again (no restart file yet)")));
      return 130;
    }
  } else {
    say("  the run reached its last orbit " + std::to_string(plan.orbit) + " before: analysing it");
  }

  std::string json;
  try {
    json = analysisJson(analyseRun(name));
  } catch (const std::exception& e) {
    return fail(std::string("the analysis failed: ") + e.what());
  }
  if (const std::string err = replaceAtomically(ANALYSIS_FILE, json); !err.empty()) return fail(err);
  const Attempts a = addAttempt(elapsed());
  char done[160];
  std::snprintf(done, sizeof done, "orbits %d\nwall_time_s %.1f\nattempts %lld\n", p.NORB, a.seconds, a.count);
  if (const std::string err = replaceAtomically(DONE_FILE, done); !err.empty()) return fail(err);
  say("done: " + std::string(ANALYSIS_FILE) + " written; wall time " + clockText(a.seconds) +
      (a.count > 1 ? " in " + std::to_string(a.count) + " attempts" : std::string()));
  return 0;
}

RowStatus rowStatus(const Table& t, const Row& r) {
  const fs::path folder = t.rowFolder(r);
  std::error_code ec;
  RowStatus s;
  if (!fs::is_directory(folder, ec)) return s;
  if (fs::exists(folder / DONE_FILE, ec)) {
    s.state = RowState::Done;
    std::istringstream in(readText(folder / DONE_FILE));
    std::string key;
    double value = 0;
    long long orbits = r.run.orbits, attempts = 1;
    while (in >> key >> value) {
      if (key == "wall_time_s") s.wallSeconds = value;
      if (key == "orbits") orbits = static_cast<long long>(value);
      if (key == "attempts") attempts = static_cast<long long>(value);
    }
    s.detail = std::to_string(orbits) + " orbits, wall time " + clockText(s.wallSeconds) +
               (attempts > 1 ? " in " + std::to_string(attempts) + " attempts" : "");
    return s;
  }
  const std::string log = (folder / LOG_FILE).string();
  if (lockedByOther(folder / LOCK_FILE)) {
    s.state = RowState::Running;
    s.detail = lastLine(log);
    return s;
  }
  if (fs::exists(folder / FAILED_FILE, ec)) {
    s.state = RowState::Failed;
    s.detail = lastLine(log);
    if (s.detail.starts_with("failed: ")) s.detail.erase(0, 8);
    return s;
  }
  const fs::path rs = folder / (r.name + "_rs.vlm");
  if (fs::exists(folder / LOG_FILE, ec) || fs::exists(rs, ec) || fs::exists(folder / (r.name + "_lc.vlm"), ec)) {
    s.state = RowState::Stopped;
    const I32 resume = restartOrbit(rs);
    s.detail = resume > 0 ? "continues from orbit " + std::to_string(resume) + " of " + std::to_string(r.run.orbits)
                          : "starts again (no restart file yet)";
  }
  return s;
}

}  // namespace velmora::study
