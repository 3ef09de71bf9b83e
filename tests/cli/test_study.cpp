// Parameter studies: plans and tables, a row run by hand and in the pool, a cut-off row
// continued into one light curve, the rows' states, the collected results and the Slurm script.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "study/study_resume.h"
#include "study/study_row.h"
#include "study/study_table.h"
#include "files/files.h"
#include "files/recording.h"
#include "tests/support/cli_support.h"
#include "tests/support/gas_support.h"

namespace velmora {
namespace {
namespace fs = std::filesystem;
using namespace study;

void put(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path().empty() ? fs::path(".") : path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The first n lines of a text (with their line ends).
std::string firstLines(const std::string& text, std::size_t n) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < n && at != std::string::npos; ++k) {
    at = text.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  return text.substr(0, at);
}

std::vector<std::string> splitCsv(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  for (std::string c; std::getline(in, c, ',');) cells.push_back(c);
  if (!line.empty() && line.back() == ',') cells.emplace_back();
  return cells;
}

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

long long frameCount(const std::string& path) {
  RecordingReader r(path);
  while (r.skip()) {
  }
  return r.frames();
}

// Runs velmora-cli in a folder below the current one.
test::CliResult runCliIn(const fs::path& folder, const std::string& args) {
  const fs::path back = fs::current_path();
  fs::current_path(folder);
  auto r = test::runCli(args);
  fs::current_path(back);
  return r;
}

// Starts velmora-cli with its output in a file; returns its pid.
pid_t startCli(const std::vector<std::string>& args, const std::string& out) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    dup2(fd, 2);
    std::vector<char*> argv{const_cast<char*>(VELMORA_CLI_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(VELMORA_CLI_PATH, argv.data());
    _exit(99);
  }
  return pid;
}

int waitExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits (at most a minute) until a light curve holds `orbits` whole orbits.
bool waitForOrbits(const fs::path& lc, int orbits) {
  for (int k = 0; k < 6000; ++k) {
    if (lineCount(test::slurp(lc.string())) >= static_cast<std::size_t>(200 * orbits + 1)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// ---- plans and tables

TEST(StudyPlan, EveryCombinationIsARowNamedByTheValuesThatDiffer) {
  test::TempDir dir;
  const auto r = test::runCli("study plan s.tsv --q 0.05:0.15:0.05 --alpha 0.5,1 --particles 3000 --orbits 150");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string head =
      "# Velmora parameter study, one run a row: velmora-cli study run TABLE --task K runs row K\n"
      "name\tm1\tq\th\talpha\tbeta\torbits\tparticles\tinj\tlc\trecord\tframe_step\trestart_every\tforces\n";
  std::string rows;
  for (const char* q : {"0.05", "0.10", "0.15"})
    for (const char* a : {"0.50", "1.00"})
      rows += std::string("q") + q + "_a" + a + "\t1.00\t" + q + "\t0.0250\t" + a + "\t1.00\t150\t3000\t10\t1\toff\toff\t3\tsequential\n";
  const std::string text = test::slurp("s.tsv");
  EXPECT_EQ(text, head + rows);
  // Read back, the table is the same rows: written again it is the same text.
  const Table t = readTable("s.tsv");
  ASSERT_EQ(t.rows.size(), 6u);
  EXPECT_EQ(t.rows[3].label(), "row 4 (q0.10_a1.00)");
  EXPECT_EQ(t.rowFolder(t.rows[3]), fs::current_path() / "q0.10_a1.00");
  EXPECT_EQ(tableText(t.rows), text);
  // A second plan does not overwrite it unless asked.
  EXPECT_EQ(test::runCli("study plan s.tsv --q 0.2").code, 2);
  EXPECT_EQ(test::slurp("s.tsv"), text);
  EXPECT_EQ(test::runCli("study plan s.tsv --q 0.2 --force").code, 0);
  EXPECT_NE(test::slurp("s.tsv"), text);
}

// The force scheme is a column like any other: a plan over both names its rows by it.
TEST(StudyPlan, TheForceSchemeIsAColumn) {
  test::TempDir dir;
  const auto r = test::runCli("study plan s.tsv --q 0.2 --forces sequential,synchronous --orbits 4");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string text = test::slurp("s.tsv");
  EXPECT_NE(text.find("\nfsequential\t"), std::string::npos) << text;
  EXPECT_NE(text.find("\nfsynchronous\t"), std::string::npos) << text;
  EXPECT_NE(text.find("\tsynchronous\n"), std::string::npos) << text;
}

TEST(StudyPlan, RestartIntervalLosesAtMostAFiftiethAndEndsOnTheLastOrbit) {
  for (const auto& [orbits, every] : std::vector<std::pair<long long, long long>>{
           {150, 3}, {200, 4}, {100, 2}, {2, 1}, {49, 1}, {151, 1}, {1000, 20}, {990, 18}})
    EXPECT_EQ(defaultRestartEvery(orbits), every) << orbits;
}

struct BadPlan {
  const char* args;
  const char* mention;
};

class StudyPlanErrors : public ::testing::TestWithParam<BadPlan> {};

TEST_P(StudyPlanErrors, NameTheOptionOrTheRowAndExitTwo) {
  test::TempDir dir;
  const auto r = test::runCli(std::string("study plan s.tsv ") + GetParam().args);
  EXPECT_EQ(r.code, 2) << r.out;
  EXPECT_NE(r.err.find(GetParam().mention), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists("s.tsv"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, StudyPlanErrors,
    ::testing::Values(
        BadPlan{"--q 0.35:0.05:0.05", "--q 0.35:0.05:0.05: a range runs from its first value up to its last"},
        BadPlan{"--q 0.05:0.35", "a range is FIRST:LAST:STEP"},
        BadPlan{"--particles 1000:2000:0.5", "a whole first value and step"},
        BadPlan{"--q 0.151,0.152", "lists 0.15 twice (values are put on the 0.01 grid)"},
        BadPlan{"--q 0.5:1.5:0.5", "row 3 (q1.50): --q must be between 0.01 and 1.00 (got 1.5)"},
        BadPlan{"--alpha 1,abc", "'abc' is not a number"},
        BadPlan{"--restart-every off", "always writes restart files"},
        BadPlan{"--frame-step 7", "row 1 (row1): --frame-step needs --record"},
        BadPlan{"--particles 1000,25000 --h 0.03", "row 2 (n25000): --h must be between 0.0080"},
        BadPlan{"--lc 20 --orbits 5,10", "row 1 (o5): --lc must be between 1 and 5"},
        BadPlan{"--q 0.1,,0.2", "an empty value"}),
    [](const auto& tc) { return test::caseName(tc.param.args); });

TEST(StudyTable, AHandMadeTableTakesRunDefaultsForItsMissingColumns) {
  test::TempDir dir;
  put("h.tsv", "# my study\r\nq\tparticles\r\n0.1\t200\r\n\r\n0.2\t200\r\n");
  const Table t = readTable("h.tsv");
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[1].name, "q0.20");
  EXPECT_EQ(t.rows[1].line, 5);
  const NewRunSettings& s = t.rows[0].run;
  EXPECT_EQ(s.orbits, 10);
  EXPECT_EQ(s.inj, 10);
  EXPECT_TRUE(s.out.hasLc && s.out.lc == 1);
  EXPECT_FALSE(s.out.hasRecord);
  EXPECT_TRUE(s.out.hasRestartEvery && s.out.restartEvery == 1);
  EXPECT_EQ(t.stem(), fs::current_path() / "h");
}

struct BadTable {
  const char* text;
  const char* mention;
};

class StudyTableErrors : public ::testing::TestWithParam<BadTable> {};

TEST_P(StudyTableErrors, NameTheLineAndTheRow) {
  test::TempDir dir;
  put("t.tsv", GetParam().text);
  try {
    readTable("t.tsv");
    FAIL() << "accepted";
  } catch (const StudyError& e) {
    EXPECT_EQ(e.code, 2);
    EXPECT_NE(std::string(e.what()).find(GetParam().mention), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, StudyTableErrors,
    ::testing::Values(BadTable{"qq\n0.1\n", "t.tsv line 1: unknown column 'qq' (the columns are name, m1, q"},
                      BadTable{"q\tq\n", "column 'q' appears twice"},
                      BadTable{"name\tq\nx\t0.1\ny\n", "line 3: row 2: 1 values for 2 columns"},
                      BadTable{"# nothing\nq\n", "the table has no rows"},
                      BadTable{"q\n0.1\n1.5\n", "line 3: row 2 (q1.50): --q must be between 0.01 and 1.00"},
                      BadTable{"q\tlc\n0.1\tsoon\n", "row 1, column lc: 'soon' is not a whole number or \"off\""},
                      BadTable{"q\tforces\n0.1\tjacobi\n", "column forces: --forces must be sequential or synchronous"},
                      BadTable{"name\tq\na\t0.1\na\t0.2\n", "rows 1 and 2 have the same name 'a'"},
                      BadTable{"name\tq\na b\t0.1\n", "may hold only letters, digits and . _ + -"},
                      BadTable{"name\tq\n../up\t0.1\n", "may not start with '.' or '-'"}),
    [](const auto& tc) { return test::caseName(tc.param.mention); });

TEST(StudyRun, UsageErrorsExitTwoAndAMissingTableOne) {
  test::TempDir dir;
  put("s.tsv", "q\torbits\tparticles\n0.1\t1\t50\n0.2\t1\t50\n");
  for (const auto& [args, mention] : std::vector<std::pair<std::string, std::string>>{
           {"--task 1 --jobs 2", "either --task K (one row) or --jobs N"},
           {"--task 3", "--task must be between 1 and 2"},
           {"--threads 0", "--threads must be between 1 and 1024"},
           {"--jobs 0", "--jobs must be between 1 and 256"}}) {
    const auto r = test::runCli("study run s.tsv " + args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err.find(mention), std::string::npos) << r.err;
  }
  put("bad.tsv", "q\n3\n");
  EXPECT_EQ(test::runCli("study run bad.tsv --task 1").code, 2);
  EXPECT_EQ(test::runCli("study status bad.tsv").code, 2);
  const auto missing = test::runCli("study run none.tsv");
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("none.tsv: cannot read the table"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists("q0.10"));
}

// ---- rows run

// Two rows of a table run by hand in a/ and by the pool in b/: the same files, byte for byte,
// and analysis.json is what `analyse --json` prints. Collected, the results hold its numbers.
TEST(StudyRun, ARowGivesTheSameFilesByHandAndInThePool) {
  test::TempDir dir;
  const std::string table = "q\tparticles\torbits\trecord\tframe_step\n0.1\t200\t3\t1\t7\n0.2\t200\t3\t1\t7\n";
  put("a/s.tsv", table);
  put("b/s.tsv", table);
  for (const char* k : {"1", "2"}) {
    const auto r = test::runCli(std::string("study run a/s.tsv --task ") + k + " --quiet");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("done: analysis.json written"), std::string::npos) << r.out;
  }
  const auto pool = test::runCli("study run b/s.tsv --jobs 2");
  ASSERT_EQ(pool.code, 0) << pool.out << pool.err;
  EXPECT_NE(pool.out.find("2 of 2 rows done"), std::string::npos) << pool.out;
  for (const std::string& name : {std::string("q0.10"), std::string("q0.20")}) {
    for (const std::string& f : {name + "_lc.vlm", name + "_rs.vlm", name + ".vlm", std::string("analysis.json")}) {
      const std::string one = test::slurp("a/" + name + "/" + f), two = test::slurp("b/" + name + "/" + f);
      EXPECT_FALSE(one.empty()) << name << "/" << f;
      EXPECT_TRUE(one == two) << name << "/" << f << " differs";
    }
    EXPECT_TRUE(fs::exists("a/" + name + "/done"));
    const auto analyse = runCliIn("a/" + name, "analyse " + name + " --json --quiet");
    EXPECT_EQ(analyse.out, test::slurp("a/" + name + "/analysis.json"));
  }
  EXPECT_EQ(lineCount(test::slurp("a/q0.10/q0.10_lc.vlm")), 601u);
  EXPECT_EQ(frameCount("a/q0.10/q0.10.vlm"), 3 * 29);

  const auto again = test::runCli("study run a/s.tsv --task 2");
  EXPECT_EQ(again.code, 0);
  EXPECT_NE(again.out.find("row 2 (q0.20) is done: skipped"), std::string::npos) << again.out;

  const auto status = test::runCli("study status a/s.tsv");
  EXPECT_EQ(status.code, 0);
  EXPECT_NE(status.out.find("2 rows: 2 done"), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("q0.20  done: 3 orbits, wall time 0:"), std::string::npos) << status.out;

  const auto collect = test::runCli("study collect a/s.tsv");
  ASSERT_EQ(collect.code, 0) << collect.err;
  std::istringstream csv(test::slurp("a/s.results.csv"));
  std::string header, row1;
  std::getline(csv, header);
  std::getline(csv, row1);
  const std::vector<std::string> keys = splitCsv(header), values = splitCsv(row1);
  ASSERT_EQ(keys.size(), values.size()) << header << "\n" << row1;
  const auto value = [&](const std::string& k) {
    const auto at = std::find(keys.begin(), keys.end(), k);
    return at == keys.end() ? std::string("(no column)") : values[static_cast<std::size_t>(at - keys.begin())];
  };
  EXPECT_EQ(value("name"), "q0.10");
  EXPECT_EQ(value("q"), "0.10");
  EXPECT_EQ(value("state"), "done");
  const auto j = nlohmann::json::parse(test::slurp("a/q0.10/analysis.json"));
  for (const auto& [column, path] : std::vector<std::pair<std::string, std::string>>{
           {"eps_relation", "/reference/epsilon_relation"}, {"r50", "/eccentricity/r50"},
           {"precession_eps", "/disk/precession/epsilon"}, {"significance", "/superhump/significance"}}) {
    const auto& v = j.at(nlohmann::json::json_pointer(path));
    char buf[48] = "";
    if (v.is_number()) std::snprintf(buf, sizeof buf, "%.7g", v.get<double>());
    EXPECT_EQ(value(column), buf) << column;
  }
  EXPECT_FALSE(value("wall_time_s").empty());
}

// The files of a run cut off during orbit 3 of 4 whose last restart file is at orbit 2: a run
// of the same parameters for 3 orbits, its light curve announcing and its recording planned
// for the row's 4 orbits.
struct StandIn {
  const char* particles = "300";
  const char* alpha = "1";
  const char* frameStep = "7";
};

void makeCutOffRow(const fs::path& folder, const StandIn& o = {}) {
  fs::create_directories(folder);
  const auto r = runCliIn(folder, std::string("run --q 0.2 --orbits 3 --restart-every 2 --lc 1 --record 1 --name row1 "
                                              "--quiet --particles ") +
                                      o.particles + " --alpha " + o.alpha + " --frame-step " + o.frameStep);
  ASSERT_EQ(r.code, 0) << r.err;
  std::string lc = test::slurp((folder / "row1_lc.vlm").string());
  const auto at = lc.find("600");
  ASSERT_LT(at, lc.find('\n'));
  lc.replace(at, 3, "800");
  put(folder / "row1_lc.vlm", lc);
  std::string rec = test::slurp((folder / "row1.vlm").string());
  ASSERT_EQ(rec[4], 3);
  rec[4] = 4;  // NORBTOT, little-endian
  put(folder / "row1.vlm", rec);
}

const char* kCutTable = "q\tparticles\torbits\trestart_every\trecord\tframe_step\n0.2\t300\t4\t2\t1\t7\n";

TEST(StudyRun, ACutOffRowContinuesFromItsRestartFileIntoOneLightCurve) {
  test::TempDir dir;
  put("u/s.tsv", kCutTable);
  put("c/s.tsv", kCutTable);
  ASSERT_EQ(test::runCli("study run u/s.tsv --task 1 --quiet").code, 0);
  const std::string lcWhole = test::slurp("u/row1/row1_lc.vlm"), recWhole = test::slurp("u/row1/row1.vlm");
  makeCutOffRow("c/row1");

  // The files are cut back to the restart file's orbit 2: 400 samples and 2 orbits of frames.
  const Table t = readTable("c/s.tsv");
  const Row& row = t.rows[0];
  fs::current_path("c/row1");
  const ResumePlan plan = planResume("row1", row.run.parameters(), row.run.out);
  fs::current_path("../..");
  EXPECT_EQ(plan.from, ResumePlan::From::Restart) << plan.reason;
  EXPECT_EQ(plan.orbit, 2);
  EXPECT_EQ(lineCount(test::slurp("c/row1/row1_lc.vlm")), 401u);
  EXPECT_EQ(frameCount("c/row1/row1.vlm"), 2 * 29);
  const std::size_t cut = fs::file_size("c/row1/row1.vlm");
  EXPECT_TRUE(test::slurp("c/row1/row1.vlm") == recWhole.substr(0, cut)) << "the first two orbits' frames differ";

  const auto status = test::runCli("study status c/s.tsv");
  EXPECT_NE(status.out.find("stopped: continues from orbit 2 of 4"), std::string::npos) << status.out;

  const auto r = test::runCli("study run c/s.tsv --task 1 --quiet");
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("continues from orbit 2 of 4"), std::string::npos) << r.out;
  // One light curve of all four orbits, the orbits before the restart point as the unbroken
  // row wrote them; the samples after it continue the time axis.
  const std::string lc = test::slurp("c/row1/row1_lc.vlm");
  EXPECT_EQ(lineCount(lc), 801u);
  EXPECT_EQ(firstLines(lc, 401), firstLines(lcWhole, 401));
  std::istringstream after(lc.substr(firstLines(lc, 401).size()));
  double time = 0, lum = 0;
  after >> time >> lum;
  EXPECT_FLOAT_EQ(static_cast<float>(time), 2.005f);
  EXPECT_EQ(frameCount("c/row1/row1.vlm"), 4 * 29);
  EXPECT_TRUE(test::slurp("c/row1/row1.vlm").substr(0, cut) == recWhole.substr(0, cut));
  EXPECT_TRUE(fs::exists("c/row1/done"));
}

struct Mismatch {
  const char* what;
  StandIn standIn;   // the stand-in run's options
  void (*spoil)();   // what happens to its files afterwards
  const char* reason;
};

class StudyResumeStartsOver : public ::testing::TestWithParam<Mismatch> {};

TEST_P(StudyResumeStartsOver, WhenTheFilesDoNotFitTheRow) {
  test::TempDir dir;
  put("s.tsv", kCutTable);
  makeCutOffRow("row1", GetParam().standIn);
  fs::current_path("row1");
  GetParam().spoil();
  const Table t = readTable("../s.tsv");
  const ResumePlan plan = planResume("row1", t.rows[0].run.parameters(), t.rows[0].run.out);
  fs::current_path("..");
  EXPECT_EQ(plan.from, ResumePlan::From::Start);
  EXPECT_NE(plan.reason.find(GetParam().reason), std::string::npos) << plan.reason;
}

void keep() {}

INSTANTIATE_TEST_SUITE_P(
    Files, StudyResumeStartsOver,
    ::testing::Values(
        Mismatch{"NoRestartFile", {}, [] { fs::remove("row1_rs.vlm"); }, "no restart file was written"},
        Mismatch{"OtherViscosity", {"300", "0.9", "7"}, keep, "holds other masses, viscosity or smoothing length"},
        Mismatch{"FewerParticles", {"250", "1", "7"}, keep, "holds 250 particles, not the row's 300"},
        Mismatch{"ShortLightCurve", {},
                 [] { put("row1_lc.vlm", firstLines(test::slurp("row1_lc.vlm"), 201)); },
                 "holds 200 samples, fewer than the 400"},
        Mismatch{"OtherCount", {},
                 [] {
                   std::string lc = test::slurp("row1_lc.vlm");
                   lc.replace(lc.find("800"), 3, "600");
                   put("row1_lc.vlm", lc);
                 },
                 "does not announce the row's 800 samples"},
        Mismatch{"OtherFrameStep", {"300", "1", "6"}, keep, "another frame step"}),
    [](const auto& tc) { return std::string(tc.param.what); });

// A row whose continued run stops on a capacity fault: exit 1, the fault in its log and state.
TEST(StudyRun, AFailedRowSaysWhyInItsStatus) {
  test::TempDir dir;
  put("s.tsv", "name\tparticles\torbits\tlc\nfull\t800\t2\toff\n");
  const Table t = readTable("s.tsv");
  const RunParameters p = t.rows[0].run.parameters();
  auto S = test::gasSim(p.HINJ, p.ALPHA, p.BETA);
  test::ScriptedHost H;
  const float h = S->HSPH;
  for (int n = 0; n < 800; ++n) {  // 800 particles within 1.8 h of each other
    const float a = 0.7f * static_cast<float>(n), r = 0.9f * h * static_cast<float>(n % 10) / 10.0f;
    test::addParticle(*S, 0.3f + r * std::cos(a), r * std::sin(a), 0.3f * r * std::sin(3.0f * a));
  }
  S->M1 = p.M1;
  S->M2 = p.M2;
  S->IORBIT = 1;
  S->RUNNAME = "full";
  fs::create_directories("full");
  fs::current_path("full");
  WRITEFINAL(*S, H);
  fs::current_path("..");
  const auto r = test::runCli("study run s.tsv --task 1 --quiet");
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.err.find("row 1 (full) failed: the run stopped"), std::string::npos) << r.err;
  const auto status = test::runCli("study status s.tsv");
  EXPECT_NE(status.out.find("full  failed: the run stopped: "), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("smaller smoothing length"), std::string::npos) << status.out;
}

TEST(StudyStatus, TellsEachRowsStateFromItsFolder) {
  test::TempDir dir;
  put("s.tsv", "name\torbits\tparticles\nnew\t4\t50\nfin\t4\t50\nbusy\t4\t50\ncut\t4\t50\n");
  put("fin/done", "orbits 4\nwall_time_s 3725.4\nattempts 2\n");
  put("busy/log", "2024-01-01 00:00:00 new run of 4 orbits\n2024-01-01 00:00:09 orbit 3/4  elapsed 0:09\n");
  put("cut/log", "2024-01-01 00:00:00 stopped\n");
  put("cut/cut_rs.vlm", std::string(161, ' ') + "\r\n 2 1.0 1.0\r\n");
  const int fd = open("busy/lock", O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  const auto r = test::runCli("study status s.tsv");
  EXPECT_EQ(r.code, 0);
  for (const char* line : {"4 rows: 1 done, 1 running, 1 stopped, 1 not started", "   1  new   not started\n",
                           "   2  fin   done: 4 orbits, wall time 1:02:05 in 2 attempts\n",
                           "   3  busy  running: orbit 3/4  elapsed 0:09\n",
                           "   4  cut   stopped: continues from orbit 2 of 4\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  // A running row is left to its runner.
  const auto twice = test::runCli("study run s.tsv --task 3 --quiet");
  EXPECT_EQ(twice.code, 1);
  EXPECT_NE(twice.err.find("row 3 (busy): is running already"), std::string::npos) << twice.err;
  close(fd);
}

// Ctrl-C to the pool stops every running row as QUIT does; the next pool continues them.
TEST(StudyRun, ThePoolStopsCleanlyAndContinuesLater) {
  test::TempDir dir;
  put("s.tsv", "q\tparticles\torbits\trestart_every\n0.1\t300\t12\t2\n0.2\t300\t12\t2\n");
  const pid_t pid = startCli({"study", "run", "s.tsv", "--jobs", "2"}, "pool.txt");
  ASSERT_TRUE(waitForOrbits("q0.10/q0.10_lc.vlm", 3) && waitForOrbits("q0.20/q0.20_lc.vlm", 3));
  kill(pid, SIGINT);
  EXPECT_EQ(waitExit(pid), 130) << test::slurp("pool.txt");
  const std::string said = test::slurp("pool.txt");
  EXPECT_NE(said.find("row 1 (q0.10) stopped: continues from orbit"), std::string::npos) << said;
  EXPECT_NE(said.find("study run "), std::string::npos) << said;
  EXPECT_FALSE(fs::exists("q0.10/done") || fs::exists("q0.20/done"));

  const auto r = test::runCli("study run s.tsv --jobs 2 --quiet");
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  for (const std::string& name : {std::string("q0.10"), std::string("q0.20")}) {
    EXPECT_EQ(lineCount(test::slurp(name + "/" + name + "_lc.vlm")), 2401u) << name;
    const std::string log = test::slurp(name + "/log");
    EXPECT_NE(log.find("continues from orbit"), std::string::npos) << log;
    EXPECT_NE(test::slurp(name + "/done").find("attempts 2"), std::string::npos);
  }
}

// A row killed outright (no chance to tidy up) still counts the time it ran, up to its last
// orbit, in the wall time of the row once it is done.
TEST(StudyRun, AKilledRowKeepsItsTime) {
  test::TempDir dir;
  put("s.tsv", "q\tparticles\torbits\trestart_every\n0.1\t300\t8\t2\n0.2\t300\t8\t2\n");
  const pid_t pid = startCli({"study", "run", "s.tsv", "--task", "1"}, "row.txt");
  ASSERT_TRUE(waitForOrbits("q0.10/q0.10_lc.vlm", 3));
  kill(pid, SIGKILL);
  waitExit(pid);
  double seconds = 0;
  long long count = 0;
  std::istringstream(test::slurp("q0.10/time")) >> seconds >> count;
  EXPECT_GT(seconds, 0.0);
  EXPECT_EQ(count, 1);

  const auto r = test::runCli("study run s.tsv --task 1 --quiet");
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  std::istringstream done(test::slurp("q0.10/done"));
  std::string key;
  double wall = 0;
  done >> key >> key >> key >> wall;
  EXPECT_GT(wall, seconds) << test::slurp("q0.10/done");
  EXPECT_NE(test::slurp("q0.10/done").find("attempts 2"), std::string::npos);
}

TEST(StudySlurm, WritesAJobArrayOfOneTaskARow) {
  test::TempDir dir;
  put("s.tsv", "q\torbits\tparticles\n0.1\t1\t50\n0.2\t1\t50\n");
  const auto r = test::runCli("study slurm s.tsv --cpus 2 --max-parallel 1 --time 01:30:00 --partition short");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string script = test::slurp("s.sbatch");
  const std::string here = fs::current_path().string();
  for (const std::string& line :
       {std::string("#SBATCH --array=1-2%1\n"), std::string("#SBATCH --cpus-per-task=2\n"),
        std::string("#SBATCH --time=01:30:00\n"), std::string("#SBATCH --partition=short\n"),
        std::string("#SBATCH --requeue\n"), std::string("#SBATCH --open-mode=append\n"),
        "#SBATCH --output=" + here + "/s_slurm/%A_%a.out\n", "cd '" + here + "'\n",
        "exec '" + std::string(VELMORA_CLI_PATH) + "' study run '" + here +
            "/s.tsv' --task \"$SLURM_ARRAY_TASK_ID\" --threads \"${SLURM_CPUS_PER_TASK:-1}\"\n"})
    EXPECT_NE(script.find(line), std::string::npos) << line << "\n" << script;
  EXPECT_TRUE(fs::is_directory("s_slurm"));
  EXPECT_NE(fs::status("s.sbatch").permissions() & fs::perms::owner_exec, fs::perms::none);

  for (const char* bad : {"--time 1:30", "--cpus 0", "--max-parallel 0", "--partition ''"})
    EXPECT_EQ(test::runCli(std::string("study slurm s.tsv ") + bad).code, 2) << bad;

  // Without sbatch on the PATH, --submit says so and exits 1.
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", "/nonexistent", 1);
  const auto submit = test::runCli("study slurm s.tsv --submit");
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(submit.code, 1);
  EXPECT_NE(submit.err.find("sbatch is not found"), std::string::npos) << submit.err;
}

// A done row whose analysis.json is damaged: collect still writes every row, leaves that row's
// measurements empty, names the file and the byte of the first problem, and exits 1.
TEST(StudyCollect, ADamagedAnalysisNamesTheFileAndTheByte) {
  test::TempDir dir;
  put("s.tsv", "name\torbits\tparticles\nok\t4\t50\nbad\t4\t50\n");
  for (const char* row : {"ok", "bad"}) put(std::string(row) + "/done", "orbits 4\nwall_time_s 2.0\nattempts 1\n");
  put("ok/analysis.json", R"({"superhump": {"epsilon": 0.0312, "detected": true}, "growth": null, "disk": null})");
  put("bad/analysis.json", "{\"superhump\": {\"epsilon\": 0.03,, }}");
  const auto r = test::runCli("study collect s.tsv");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.find("not done"), std::string::npos) << r.err;  // both are done
  EXPECT_NE(r.err.find(fs::absolute("bad/analysis.json").string() + ": JSON byte 32: syntax error while parsing object key"), std::string::npos)
      << r.err;
  const std::string csv = test::slurp("s.results.csv");
  EXPECT_NE(csv.find("\n1,ok,"), std::string::npos) << csv;
  const auto line = [&](std::size_t n) {  // line n (1-based) without its end
    const std::string l = firstLines(csv, n).substr(firstLines(csv, n - 1).size());
    return splitCsv(l.substr(0, l.size() - 1));
  };
  const std::vector<std::string> header = line(1), ok = line(2), bad = line(3);
  const auto col = [&](const std::string& k) {
    return static_cast<std::size_t>(std::find(header.begin(), header.end(), k) - header.begin());
  };
  EXPECT_EQ(ok[col("eps")], "0.0312");
  EXPECT_EQ(ok[col("detected")], "1");
  EXPECT_EQ(ok[col("onset_orbit")], "");      // under a null section
  EXPECT_EQ(ok[col("precession_eps")], "");
  EXPECT_EQ(ok[col("wall_time_s")], "2.0");
  EXPECT_EQ(bad[col("state")], "done");
  EXPECT_EQ(bad[col("eps")], "");
}

}  // namespace
}  // namespace velmora
