// The files of a two-row study run through velmora-cli (plan, run by the pool, status, collect,
// slurm) against the list kept in tests/cli/data/study_files.txt: every file and folder, its
// size and a hash of its bytes, with the times, process ids and host names masked. The list was
// written by an earlier build of the study engine, so a change that alters any file shows here.
// VELMORA_WRITE_STUDY_FILES=1 writes the list anew instead of comparing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora {
namespace {
namespace fs = std::filesystem;

const char* kList = VELMORA_SOURCE_DIR "/tests/cli/data/study_files.txt";

std::string replaceAll(std::string s, const std::string& what, const std::string& with) {
  for (std::size_t at = 0; !what.empty() && (at = s.find(what, at)) != std::string::npos; at += with.size())
    s.replace(at, what.size(), with);
  return s;
}

// Each line of a text changed by `f`.
template <class F>
std::string eachLine(const std::string& text, F f) {
  std::string out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out += f(l) + "\n";
  return out;
}

// A file's bytes with what differs between two runs of the same study masked: wall times and
// elapsed clocks, time stamps, the lock holder, the run record's host, clocks and command line, and
// the folder and program in the batch script.
std::string masked(const std::string& rel, const std::string& text, const std::string& folder) {
  static const std::regex clock(R"(\d+:\d\d(:\d\d)?)"), wall(R"(wall time [0-9.]+ s)");
  const std::string name = fs::path(rel).filename().string();
  if (name == "lock") return "<lock holder>";
  if (name == "time") return "<T>" + text.substr(std::min(text.find(' '), text.size()));
  if (name == "done")
    return eachLine(text, [](const std::string& l) { return l.starts_with("wall_time_s ") ? "wall_time_s <T>" : l; });
  if (name == "log")
    return eachLine(text, [](const std::string& l) {
      const std::string rest = l.size() > 20 ? l.substr(20) : l;  // "2024-05-01 15:04:05 "
      return std::regex_replace(std::regex_replace(rest, wall, "wall time <T> s"), clock, "<T>");
    });
  if (name.ends_with(".results.csv"))
    return eachLine(text, [](const std::string& l) {
      return l.starts_with("row,") ? l : l.substr(0, l.rfind(',') + 1) + "<T>";
    });
  if (name.ends_with(".run.json") || name == "analysis.json") {
    // The run record's program build, command line (the build's own path), host and clocks.
    static const std::regex varying(R"re("(commit|invocation|host|started|ended|wall_seconds)": ("([^"\\]|\\.)*"|[^,\n]*))re");
    return std::regex_replace(text, varying, "\"$1\": <M>");
  }
  if (name.ends_with(".sbatch"))
    return replaceAll(replaceAll(text, VELMORA_CLI_PATH, "<PROGRAM>"), folder, "<FOLDER>");
  return text;
}

// FNV-1a, 64 bits: enough to tell two files apart.
std::uint64_t hashOf(const std::string& s) {
  std::uint64_t h = 14695981039346656037ull;
  for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

// One line per entry below `root`, sorted: "path/" for a folder, "path size hash" for a file.
std::string listing(const fs::path& root) {
  std::vector<std::string> lines;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).generic_string();
    if (rel.starts_with("cli-")) continue;  // the test's own capture of the output
    if (e.is_directory()) {
      lines.push_back(rel + "/");
      continue;
    }
    const std::string text = masked(rel, test::slurp(e.path().string()), root.string());
    char buf[64];
    std::snprintf(buf, sizeof buf, " %zu %016llx", text.size(), static_cast<unsigned long long>(hashOf(text)));
    lines.push_back(rel + buf);
  }
  std::sort(lines.begin(), lines.end());
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

TEST(StudyFiles, ATwoRowStudyWritesTheSameFilesAsBefore) {
  test::TempDir dir;
  for (const char* args : {"study plan s.tsv --q 0.1,0.2 --particles 100 --orbits 2 --record 1 --frame-step 7",
                           "study run s.tsv --jobs 2 --threads 2 --quiet", "study status s.tsv",
                           "study collect s.tsv", "study slurm s.tsv --cpus 2"}) {
    const auto r = test::runCli(args);
    ASSERT_EQ(r.code, 0) << args << "\n" << r.out << r.err;
  }
  const std::string now = listing(fs::current_path());
  if (std::getenv("VELMORA_WRITE_STUDY_FILES")) {
    std::ofstream(kList, std::ios::binary) << now;
    GTEST_SKIP() << "wrote " << kList;
  }
  EXPECT_EQ(now, test::slurp(kList));
}

}  // namespace
}  // namespace velmora
