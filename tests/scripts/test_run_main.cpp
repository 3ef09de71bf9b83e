// scripts/run-main without a display, as `make run` starts it: a short run that leaves its
// files and pictures where it says, and commands that work as printed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

int run(const std::string& cmd) {
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RunMain, WithoutADisplayLeavesFilesPicturesAndCommands) {
  test::TempDir dir;
  const fs::path runs = dir.path() / "my runs";
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY VELMORA_HEADLESS=1 VELMORA_RUNS_DIR='" + runs.string() +
                          "' VELMORA_ORBITS=2 VELMORA_PARTICLES=100 VELMORA_NAME=first '" VELMORA_SOURCE_DIR
                          "/scripts/run-main' '" VELMORA_BUILD_DIR "' > out.txt 2> err.txt < /dev/null";
  ASSERT_EQ(run(cmd), 0) << test::slurp("err.txt");
  const std::string out = test::slurp("out.txt");

  // Every file it names is there, the pictures at the window's size.
  std::vector<std::string> named;
  static const std::regex fileLine(R"(^  (/.+?)  +\S)");
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, fileLine)) named.push_back(m[1]);
  }
  const std::vector<std::string> expected = {"first.vlm", "first_lc.vlm", "first_rs.vlm", "first_last_frame.png",
                                             "first_lc.png"};
  ASSERT_EQ(named.size(), expected.size()) << out;
  for (std::size_t i = 0; i < named.size(); ++i) {
    EXPECT_EQ(fs::path(named[i]), runs / expected[i]);
    EXPECT_TRUE(fs::is_regular_file(named[i]) && fs::file_size(named[i]) > 0) << named[i];
  }
  EXPECT_EQ(test::pngSize((runs / "first_last_frame.png").string()), std::make_pair(650u, 730u));
  EXPECT_EQ(test::pngSize((runs / "first_lc.png").string()), std::make_pair(650u, 730u));
  EXPECT_NE(out.find("recording of orbits 1 to 2 (400 frames)"), std::string::npos) << out;

  // The commands it prints: Open Recorded, analyse, and a restart that runs as printed.
  EXPECT_NE(out.find("File > Open Recorded... > first.vlm"), std::string::npos) << out;
  EXPECT_NE(out.find("velmora-cli analyse first\n"), std::string::npos) << out;
  static const std::regex restartLine(R"(continue the run: +(\S+velmora-cli restart [^\n]+))");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(out, m, restartLine)) << out;
  ASSERT_EQ(run("cd '" + runs.string() + "' && " + m[1].str() + " --quiet > /dev/null"), 0);
  EXPECT_TRUE(fs::exists(runs / "first_more_rs.vlm"));
  EXPECT_TRUE(fs::exists(runs / "first_more.vlm"));
}

}  // namespace
}  // namespace velmora
