// Shared helpers of the tests: fresh states, a scripted run host, temporary folders.
#pragma once

#include <cctype>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/state.h"

namespace velmora::test {

inline std::unique_ptr<Sim> newSim() { return std::make_unique<Sim>(); }

// A test-case name made of the letters and digits of a text.
inline std::string caseName(const std::string& text) {
  std::string n;
  for (char c : text) n += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return n.empty() ? std::string("empty") : n;
}

// A run host that hands out a scripted list of mouse messages, one per call, and
// records what the step loop asked of it.
class ScriptedHost : public RunHost {
 public:
  std::deque<std::optional<MouseMsg>> script;  // nullopt entries stand for "no message"
  std::vector<std::string> titles;
  std::vector<std::string> warnings;
  std::vector<I32> shownPaused;  // paused flag of each show()
  int progressCalls = 0;
  int sleeps = 0;
  I32 viewW = 650, viewH = 675;

  std::optional<MouseMsg> takeMessage() override {
    if (script.empty()) return std::nullopt;
    auto m = script.front();
    script.pop_front();
    return m;
  }
  void setTitle(const std::string& t) override { titles.push_back(t); }
  void sleepMs(int) override { ++sleeps; }
  void show(const Sim&, I32, I32, I32, I32 paused) override { shownPaused.push_back(paused); }
  void progress(I32, I32) override { ++progressCalls; }
  void viewSize(I32& w, I32& h) const override {
    w = viewW;
    h = viewH;
  }
  void warn(const std::string& m) override { warnings.push_back(m); }
};

// Reads a whole file; empty when it does not exist.
std::string slurp(const std::string& path);

// Width and height from a PNG file's header, or {0, 0} when it is not a PNG.
std::pair<unsigned, unsigned> pngSize(const std::string& path);

// A fresh temporary folder that becomes the current directory for the test's lifetime.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_, old_;
};

}  // namespace velmora::test
