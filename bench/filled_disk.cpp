// The filled disks of the benchmarks: loading a restart file as RESTART does, running its orbits.
#include "bench/filled_disk.h"

#include <sys/resource.h>

#include <cstdlib>
#include <optional>

#include "core/core.h"
#include "files/files.h"
#include "io/file_error.h"

namespace velmora::bench {
namespace {

// A host with no window: no messages, nothing shown.
class QuietHost : public RunHost {
 public:
  std::optional<MouseMsg> takeMessage() override { return std::nullopt; }
  void setTitle(const std::string&) override {}
  void sleepMs(int) override {}
  void show(const Sim&, I32, I32, I32, I32) override {}
  void progress(I32, I32) override {}
  void viewSize(I32& w, I32& h) const override {
    w = 650;
    h = 675;
  }
  void warn(const std::string&) override {}
};

// A quiet host that clicks the QUIT area after n phases (the step loop takes one message a phase).
class PhasesHost : public QuietHost {
 public:
  explicit PhasesHost(int n) : left_(n) {}
  std::optional<MouseMsg> takeMessage() override {
    if (--left_ > 0) return std::nullopt;
    return MouseMsg{MouseMsg::LeftDown, 1, 674};
  }

 private:
  int left_;
};

}  // namespace

std::string diskFolder() {
  if (const char* d = std::getenv("VELMORA_BENCH_DISKS"); d != nullptr && *d != '\0') return d;
  return VELMORA_BENCH_DISKS_DEFAULT;
}

std::string diskFile(int particles) {
  return diskFolder() + "/disk" + std::to_string(particles / 1000) + "k_rs.vlm";
}

std::unique_ptr<Sim> loadDisk(int particles, int orbits, std::string& why) {
  auto S = std::make_unique<Sim>();
  REINIT(*S);
  S->DATANAME = diskFile(particles);
  S->NORBADD = 0;  // RESTART sets everything up and runs no phase
  QuietHost host;
  try {
    RESTART(*S, host);
  } catch (const FileError& e) {
    why = std::string(e.what()) + " (make the disks with bench/make_disks.sh; see bench/README.md)";
    return nullptr;
  }
  S->NORBADD = orbits;
  S->NORBEND = S->IORBIT + orbits;
  return S;
}

void runOrbits(Sim& S) {
  QuietHost host;
  STEP(S, host, 1, 10);  // as RESTART runs it
}

void runPhases(Sim& S, int n) {
  PhasesHost host(n);
  STEP(S, host, 1, 10);
}

double peakResidentMB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace velmora::bench
