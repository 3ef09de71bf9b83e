// Runs velmora-cli with its output captured in files.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora::test {

CliResult runCli(const std::string& args) {
  const std::string cmd =
      std::string("'") + VELMORA_CLI_PATH + "' " + args + " > cli-out.txt 2> cli-err.txt < /dev/null";
  const int status = std::system(cmd.c_str());
  CliResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = slurp("cli-out.txt");
  r.err = slurp("cli-err.txt");
  return r;
}

namespace {

namespace fs = std::filesystem;

// The cache folder of a run: keyed by its arguments and by the size and time of the velmora-cli
// it is made with, so a rebuilt program makes the run again.
fs::path cacheFolder(const std::string& args) {
  const fs::path cli(VELMORA_CLI_PATH);
  const auto stamp = fs::last_write_time(cli).time_since_epoch().count();
  const std::string key = args + "|" + std::to_string(fs::file_size(cli)) + "|" + std::to_string(stamp);
  char name[32];
  std::snprintf(name, sizeof name, "%016zx", std::hash<std::string>{}(key));
  return cli.parent_path().parent_path() / "tests" / "run-cache" / name;
}

// An exclusive lock on a file, held while the object lives.
class FileLock {
 public:
  explicit FileLock(const fs::path& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

constexpr const char* kComplete = "cached-run-complete";

}  // namespace

CliResult cachedRun(const std::string& args) {
  const fs::path folder = cacheFolder(args), here = fs::current_path();
  fs::create_directories(folder.parent_path());
  CliResult made{0, {}, {}};
  {
    const FileLock lock(folder.string() + ".lock");
    if (!fs::exists(folder / kComplete)) {
      fs::remove_all(folder);
      fs::create_directories(folder);
      fs::current_path(folder);
      made = runCli(args);
      fs::current_path(here);
      if (made.code == 0) std::ofstream(folder / kComplete) << args << "\n";
    }
  }
  if (made.code != 0) return made;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name == kComplete || name == "cli-out.txt" || name == "cli-err.txt") continue;
    fs::copy_file(e.path(), here / name, fs::copy_options::overwrite_existing);
  }
  return made;
}

}  // namespace velmora::test
