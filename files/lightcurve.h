// The light-curve file read back: its count line, then the time and luminosity of every sample.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/state.h"

namespace velmora {

// A light-curve file that cannot be read. The message names the file, the line and column
// of the first problem (line 0 when the file cannot be opened) and what was expected there.
struct LightCurveError : std::runtime_error {
  LightCurveError(const std::string& file, long long line, long long column, const std::string& problem);
  std::string file;
  long long line = 0, column = 0;
};

// Samples per orbit in the file.
inline constexpr int LC_SAMPLES_PER_ORBIT = 200;

struct LightCurve {
  std::string file;         // the name it was read from
  bool countLine = true;    // false: a file a continued run started without its count line
  long long announced = 0;  // samples the count line announces (the samples present without one)
  std::vector<float> T;     // time of every sample present, in orbits
  std::vector<float> L;     // luminosity of every sample present

  long long samples() const { return static_cast<long long>(L.size()); }
  // True when the file holds fewer samples than its count line announces (a stopped run).
  bool shorterThanAnnounced() const { return samples() < announced; }
  // Whole orbits present (samples div 200); the samples of an incomplete last orbit belong
  // to no range.
  I32 orbits() const { return static_cast<I32>(samples() / LC_SAMPLES_PER_ORBIT); }
};

// Reads and checks a whole light-curve file. Lines may end in CR LF or LF; every sample line
// is a blank, the time in columns 2-19, a blank and the luminosity in columns 21-38, each an
// E18.10 field. A file whose first line is already a sample line has no count line (a continued
// run whose light curve began after the file was lost); its announced count is what it holds.
// A file may hold fewer samples than announced (the run was stopped) or more (a continued run
// appends to its file without rewriting the count line): every sample present is kept.
// Throws LightCurveError at the first problem.
LightCurve readLightCurve(const std::string& path);

// The same check on text already in memory; `name` is used in the messages.
LightCurve parseLightCurve(std::string_view text, const std::string& name);

}  // namespace velmora
