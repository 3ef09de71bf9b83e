// The command line's file options: run outputs, restart, info, and the usage errors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

struct UsageCase {
  const char* args;
  const char* mention;
};

class FileOptionUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(FileOptionUsage, ExitTwoWithTheOptionNamed) {
  test::TempDir dir;
  const auto r = test::runCli(GetParam().args);
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find(GetParam().mention), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists("a.vlm"));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, FileOptionUsage,
    ::testing::Values(
        UsageCase{"run --record 1", "--record writes a file named after the run: give its base name with --name"},
        UsageCase{"run --lc 1", "--lc writes a file"}, UsageCase{"run --restart-every 2", "--restart-every writes a file"},
        UsageCase{"run --record 1 --frame-step 8 --name a", "--frame-step must be between 1 and 7"},
        UsageCase{"run --frame-step 3 --name a", "--frame-step needs --record"},
        UsageCase{"run --record 0 --name a", "--record must be between 1 and 10"},
        UsageCase{"run --orbits 3 --lc 4 --name a", "--lc must be between 1 and 3"},
        UsageCase{"run --restart-every 0 --name a", "--restart-every must be between 1"},
        UsageCase{"restart", "FILE is required"}, UsageCase{"restart x_rs.vlm", "--orbits is required"},
        UsageCase{"restart x_rs.vlm --orbits -1", "--orbits must be between 0 and 10000000"},
        UsageCase{"restart x_rs.vlm --orbits 2 --record 1 --frame-step 7 --name a",
                  "--frame-step must be between 1 and 6"},
        UsageCase{"restart x_rs.vlm --orbits 2 --record 1", "--record writes a file"},
        UsageCase{"restart x_rs.vlm --orbits 2 --lc 3 --name a", "--lc must be between 1 and 2"},
        UsageCase{"restart x_rs.vlm --orbits 2 --name a/b", "--name is a base name"},
        UsageCase{"info", "FILE is required"}),
    [](const auto& tc) { return test::caseName(tc.param.args); });

int countLines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// The whole road: a recorded run, its description, a continued run and a damaged file.
TEST(CliFiles, RunRestartAndInfo) {
  test::TempDir dir;
  auto r = test::runCli(
      "run --orbits 3 --particles 400 --record 1 --frame-step 7 --lc 1 --restart-every 1 --name demo --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("recording demo.vlm from orbit 1, a frame every 7 phases"), std::string::npos) << r.out;
  EXPECT_EQ(countLines(test::slurp("demo_lc.vlm")), 601);

  r = test::runCli("info demo.vlm");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("recorded run"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("frames present     87"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("playback frames    85"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("10 in the first frame, 400 in the last"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("NORBTOT 3   FRAMESTEP 7   RECSTART 1"), std::string::npos) << r.out;

  r = test::runCli("info demo_rs.vlm");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("restart file"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("M1 1.0000 Msun   M2 0.1500 Msun"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("particles          400"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("orbit              3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("levels             8:"), std::string::npos) << r.out;

  r = test::runCli("restart demo_rs.vlm --orbits 2 --lc 1 --name demo2 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("at orbit 3 with 400 particles on 8 levels; 2 further orbits to orbit 5"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("continued from orbit 3 to orbit 5"), std::string::npos) << r.out;
  const std::string lc2 = test::slurp("demo2_lc.vlm");
  EXPECT_EQ(lc2.substr(0, 6), " 400\r\n");
  EXPECT_EQ(countLines(lc2), 401);
  EXPECT_FALSE(std::filesystem::exists("demo2.vlm"));  // no recording asked for
  r = test::runCli("info demo2_lc.vlm");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("light curve"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("samples declared   400"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("samples present    400"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("whole orbits       2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("time               3.005000 to 5.000000 orbits"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("luminosity"), std::string::npos) << r.out;

  // A truncated file of each kind is refused with the reader's message.
  const std::string rec = test::slurp("demo.vlm");
  std::ofstream("cut.vlm", std::ios::binary) << rec.substr(0, rec.size() - 100);
  r = test::runCli("info cut.vlm");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cut.vlm: frame 87, byte"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the file ends inside the frame"), std::string::npos) << r.err;
  const std::string rs = test::slurp("demo_rs.vlm");
  std::ofstream("cut_rs.vlm", std::ios::binary) << rs.substr(0, rs.size() / 2);
  r = test::runCli("info cut_rs.vlm");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cut_rs.vlm: line "), std::string::npos) << r.err;
  const std::string lc = test::slurp("demo_lc.vlm");
  std::ofstream("cut_lc.vlm", std::ios::binary) << lc.substr(0, lc.size() - 7);
  r = test::runCli("info cut_lc.vlm");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cut_lc.vlm: line 601"), std::string::npos) << r.err;
  r = test::runCli("restart cut_rs.vlm --orbits 1");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("velmora-cli restart: cut_rs.vlm: line "), std::string::npos) << r.err;
}

TEST(CliFiles, MissingAndEmptyFiles) {
  test::TempDir dir;
  auto r = test::runCli("info nothing.vlm");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("nothing.vlm: cannot open"), std::string::npos) << r.err;
  std::ofstream("empty.vlm").close();
  r = test::runCli("info empty.vlm");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("empty.vlm: the file is empty"), std::string::npos) << r.err;
  r = test::runCli("restart nothing_rs.vlm --orbits 1");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("nothing_rs.vlm: cannot open"), std::string::npos) << r.err;
}

// Ctrl-C stops a run with every output on; each file it leaves is whole and readable.
TEST(CliFiles, AnInterruptedRunLeavesEveryFileReadable) {
  test::TempDir dir;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int out = ::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    execl(VELMORA_CLI_PATH, VELMORA_CLI_PATH, "run", "--orbits", "100000", "--particles", "2000", "--h", "0.02",
          "--record", "1", "--frame-step", "3", "--lc", "1", "--restart-every", "1", "--name", "int", "--quiet",
          static_cast<char*>(nullptr));
    _exit(99);
  }
  for (int k = 0; k < 3000 && !std::filesystem::exists("int_rs.vlm"); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130) << test::slurp("out.txt");
  for (const char* f : {"int.vlm", "int_rs.vlm", "int_lc.vlm"}) {
    const auto r = test::runCli(std::string("info ") + f);
    EXPECT_EQ(r.code, 0) << f << ": " << r.err;
  }
  const std::string lc = test::slurp("int_lc.vlm");
  EXPECT_EQ(lc.substr(0, 10), " 20000000\r");
  EXPECT_EQ((countLines(lc) - 1) % 200, 0);
}

}  // namespace
}  // namespace velmora
