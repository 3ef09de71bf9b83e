// Progress of long reading and analysis steps: a bar on a terminal, a line every tenth otherwise.
#pragma once

#include <chrono>
#include <string>

namespace velmora::cli {

class ProgressMeter {
 public:
  // Nothing is shown when quiet; a bar when standard error is a terminal, plain lines otherwise.
  explicit ProgressMeter(bool quiet);
  ~ProgressMeter();
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // `done` of `total` of the named stage; a new stage starts a new bar or set of lines.
  void update(const std::string& stage, long long done, long long total);
  // Ends the bar's line (call before printing anything else on standard error).
  void end();

 private:
  bool quiet_, bar_, shown_ = false;
  int tenth_ = -1;
  std::string stage_;
  std::chrono::steady_clock::time_point start_, lastDraw_{};
};

}  // namespace velmora::cli
