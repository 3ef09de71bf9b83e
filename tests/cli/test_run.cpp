// The command line: range errors, exit codes, the run summary, a capacity fault and Ctrl-C.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "core/core.h"
#include "files/files.h"
#include "tests/support/cli_support.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {

struct UsageCase {
  const char* args;
  const char* mention;  // the message names the option (and its range)
};

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, RejectsWithExitTwo) {
  test::TempDir dir;
  const auto& c = GetParam();
  const auto r = test::runCli(c.args);
  EXPECT_EQ(r.code, 2) << c.args << "\n" << r.err;
  EXPECT_NE(r.err.find(c.mention), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Run complete"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, CliUsage,
    ::testing::Values(UsageCase{"run --m1 1.4", "--m1 must be between 0.50 and 1.30"},
                      UsageCase{"run --m1 0.49", "--m1"}, UsageCase{"run --q 0", "--q must be between 0.01 and 1.00"},
                      UsageCase{"run --q 1.01", "--q"}, UsageCase{"run --alpha 0", "--alpha must be between 0.01 and 2.00"},
                      UsageCase{"run --beta 2.5", "--beta"}, UsageCase{"run --h 0.0079", "--h must be between 0.0080"},
                      UsageCase{"run --particles 25000 --h 0.021", "0.0200"},
                      UsageCase{"run --particles 500 --h 0.0401", "0.0400"},
                      UsageCase{"run --particles 0", "--particles must be between 1 and 25000"},
                      UsageCase{"run --particles 25001", "--particles"}, UsageCase{"run --inj 11", "--inj must be between 1 and 10"},
                      UsageCase{"run --particles 5 --inj 6", "--inj must be between 1 and 5"},
                      UsageCase{"run --inj 0", "--inj"}, UsageCase{"run --orbits 0", "--orbits must be at least 1"},
                      UsageCase{"run --name 12345678901234567890123456789012345678901", "--name"},
                      UsageCase{"run --name a/b", "--name"}, UsageCase{"run --orbits ten", "--orbits"},
                      UsageCase{"run --threads 0", "--threads must be between 1 and 1024 (got 0)"},
                      UsageCase{"restart x_rs.vlm --orbits 1 --threads 1025", "--threads"},
                      UsageCase{"run --forces parallel", "--forces must be sequential or synchronous (got 'parallel')"},
                      UsageCase{"restart x_rs.vlm --orbits 1 --forces Synchronous", "--forces"},
                      UsageCase{"run --bogus", "bogus"}, UsageCase{"system --m1 0 --m2 1", "--m1 must be greater than 0"},
                      UsageCase{"system --m1 1 --m2 -0.5", "--m2"}, UsageCase{"system --m1 1", "--m2"},
                      UsageCase{"", "subcommand"}),
    [](const auto& tc) { return test::caseName(tc.param.args); });

TEST(Cli, SystemJson) {
  test::TempDir dir;
  const auto r = test::runCli("system --m1 1 --m2 0.5 --json");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto j = nlohmann::ordered_json::parse(r.out);
  // The constants in the order of the text listing, each number with its nine digits.
  std::vector<std::string> keys;
  for (const auto& [key, value] : j.items()) keys.push_back(key);
  const std::vector<std::string> listed = {"MU1", "MU2", "XL1", "PHIL1", "XLOBE", "RL2A", "ASEP", "PORB",
                                           "VUNIT", "RWD", "UINJ", "CINJ", "VINJ", "UMIN", "UFLOOR", "CSFLOOR",
                                           "TEMPFACTOR", "HSPH", "HINJ", "CFLA", "CFLB"};
  for (const auto& key : listed) EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end()) << key;
  const auto text = test::runCli("system --m1 1 --m2 0.5");
  std::istringstream lines(text.out);
  std::size_t k = 0;
  for (std::string name, value; lines >> name >> value; ++k) {
    ASSERT_LT(k, keys.size());
    EXPECT_EQ(keys[k], name);
    EXPECT_EQ(j[name].get<double>(), std::stod(value)) << name;
  }
  EXPECT_EQ(k, keys.size());
  EXPECT_NE(r.out.find("\"XL1\":0.237418"), std::string::npos) << r.out;
}

TEST(Cli, RunPrintsParametersOnTheDialogGridAndASummary) {
  test::TempDir dir;
  const auto r = test::runCli("run --orbits 1 --particles 60 --m1 0.873 --q 0.234 --h 0.03337 --alpha 0.5 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("M1 0.870 Msun   M2 0.200 Msun"), std::string::npos) << r.out;  // 0.87 * 0.23 = 0.2001
  EXPECT_NE(r.out.find("h 0.0334   alpha 0.50   beta 1.00"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("separation"), std::string::npos);
  EXPECT_NE(r.out.find("Run complete: 1 orbits"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("particles in use 60"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("accreted"), std::string::npos);
  EXPECT_TRUE(r.err.empty()) << r.err;
}

// The summary tells the threads used: --threads, else OMP_NUM_THREADS, else every core.
TEST(Cli, TheSummaryTellsTheThreadsUsed) {
  test::TempDir dir;
  auto r = test::runCli("run --orbits 1 --particles 40 --threads 3 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  threads 3\n"), std::string::npos) << r.out;
  const char* was = std::getenv("OMP_NUM_THREADS");
  const std::string saved = was ? was : "";
  ::setenv("OMP_NUM_THREADS", "1", 1);
  r = test::runCli("run --orbits 1 --particles 40 --quiet");
  if (was) ::setenv("OMP_NUM_THREADS", saved.c_str(), 1);
  else ::unsetenv("OMP_NUM_THREADS");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  threads 1\n"), std::string::npos) << r.out;
}

// The force scheme: printed before and after a run and kept in the run's record, which a run
// continued from the restart file beside it follows unless another scheme is stated; a file
// without a record continues with the reference scheme; a damaged record is refused with exit 1.
TEST(Cli, AContinuedRunKeepsItsForceScheme) {
  test::TempDir dir;
  const auto recorded = [](const std::string& name) {
    return nlohmann::json::parse(test::slurp(name + ".run.json")).at("parameters").value("forces", "");
  };
  auto r = test::runCli("run --orbits 1 --particles 40 --forces synchronous --name s --restart-every 1 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  forces synchronous\n  restart file"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  forces synchronous\n  wall time"), std::string::npos) << r.out;
  EXPECT_EQ(recorded("s"), "synchronous");

  r = test::runCli("restart s_rs.vlm --orbits 1 --name s2 --restart-every 1 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  forces synchronous\n  wall time"), std::string::npos) << r.out;
  EXPECT_EQ(recorded("s2"), "synchronous");

  r = test::runCli("restart s_rs.vlm --orbits 1 --forces sequential --name s3 --restart-every 1 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  forces sequential (the run so far: synchronous)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  forces sequential\n  wall time"), std::string::npos) << r.out;
  EXPECT_EQ(recorded("s3"), "sequential");

  std::filesystem::copy_file("s2_rs.vlm", "moved_rs.vlm");
  r = test::runCli("restart moved_rs.vlm --orbits 1 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("  forces sequential\n  wall time"), std::string::npos) << r.out;

  std::string text = test::slurp("s2.run.json");
  text.replace(text.find("\"synchronous\""), 13, "\"parallel\"");
  std::ofstream("s2.run.json") << text;
  r = test::runCli("restart s2_rs.vlm --orbits 1 --quiet");
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.err.find("s2.run.json: names no force scheme"), std::string::npos) << r.err;
}

TEST(Cli, CtrlCStopsLikeTheQuitButton) {
  test::TempDir dir;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    execl(VELMORA_CLI_PATH, VELMORA_CLI_PATH, "run", "--orbits", "100000", "--particles", "25000", "--h", "0.02",
          "--name", "c", static_cast<char*>(nullptr));
    _exit(99);
  }
  // The run's record is written once the run has begun, its Ctrl-C handler in place; a fixed
  // wait lost the race on a loaded machine, where setting up 25000 particles takes longer.
  for (int k = 0; k < 600 && !std::filesystem::exists("c.run.json"); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const bool begun = std::filesystem::exists("c.run.json");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  kill(pid, begun ? SIGINT : SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(begun) << "the run never began: " << test::slurp("out.txt");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string out = test::slurp("out.txt");
  EXPECT_NE(out.find("Run stopped after"), std::string::npos) << out;
  EXPECT_EQ(nlohmann::json::parse(test::slurp("c.run.json")).at("end"), "Ctrl-C");
}

// The same fault through the command line: a restart file holding 800 particles within 1.8h of
// each other. The continued run stops at its first search with the message and exit code 1.
TEST(DiskCapacity, CommandLineReportsTheLimitAndExitsOne) {
  test::TempDir dir;
  auto S = test::gasSim(0.025f);
  test::ScriptedHost H;
  const float h = S->HSPH;
  for (int n = 0; n < 800; ++n) {
    const float a = 0.7f * static_cast<float>(n), r = 0.9f * h * static_cast<float>(n % 10) / 10.0f;
    test::addParticle(*S, 0.3f + r * std::cos(a), r * std::sin(a), 0.3f * r * std::sin(3.0f * a));
  }
  S->RUNNAME = "crowd";
  WRITEFINAL(*S, H);
  const auto r = test::runCli("restart crowd_rs.vlm --orbits 1 --lc 1 --name crowd2 --quiet");
  EXPECT_EQ(r.code, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("the run stopped"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("choose a smaller smoothing length or fewer particles"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("particles in use 800"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace velmora
