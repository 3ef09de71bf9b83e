// Progress meter of the analysis commands.
#include "cli/progress_meter.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace velmora::cli {

ProgressMeter::ProgressMeter(bool quiet)
    : quiet_(quiet), bar_(isatty(fileno(stderr)) != 0), start_(std::chrono::steady_clock::now()) {}

ProgressMeter::~ProgressMeter() { end(); }

void ProgressMeter::update(const std::string& stage, long long done, long long total) {
  if (quiet_ || total <= 0) return;
  if (stage != stage_) {
    end();
    stage_ = stage;
    tenth_ = -1;
    lastDraw_ = {};
  }
  const double frac = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
  const auto now = std::chrono::steady_clock::now();
  const double s = std::chrono::duration<double>(now - start_).count();
  if (bar_) {
    if (frac < 1.0 && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const int width = 24, filled = std::min(width, static_cast<int>(frac * width + 1e-9));
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(width, '.');
    std::fprintf(stderr, "\r[%s] %5.1f%%  %s  %.1f s ", bar.c_str(), 100.0 * frac, stage_.c_str(), s);
    shown_ = true;
  } else {
    const int tenth = static_cast<int>(frac * 10.0 + 1e-9);
    if (tenth == tenth_) return;
    tenth_ = tenth;
    std::fprintf(stderr, "%s %3d%%  elapsed %.1f s\n", stage_.c_str(), 10 * tenth, s);
  }
  std::fflush(stderr);
}

void ProgressMeter::end() {
  if (shown_) std::fputc('\n', stderr);
  shown_ = false;
}

}  // namespace velmora::cli
