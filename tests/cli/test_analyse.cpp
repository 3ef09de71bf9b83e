// velmora-cli analyse on the manual's demo run: the report, the JSON object and its keys, the
// CSV tables, missing and damaged files, the range and option checks.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

using Json = nlohmann::json;

// The manual's demo run (Getting started), made once for every test of this file.
class AnalyseCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    const auto r = test::cachedRun(
        "run --orbits 3 --particles 400 --record 1 --frame-step 7 --lc 1 --restart-every 1 --name demo --quiet");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  static void TearDownTestSuite() { dir_.reset(); }
  static std::unique_ptr<test::TempDir> dir_;
};
std::unique_ptr<test::TempDir> AnalyseCli::dir_;

TEST_F(AnalyseCli, ReportOfTheDemoRun) {
  const auto r = test::runCli("analyse demo");
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* line : {"Run demo: demo_lc.vlm demo.vlm demo_rs.vlm", "Mass ratio q 0.1500 (from the restart file's masses)",
                           "3:1 resonance radius        0.4589", "observed relation's eps     0.0335",
                           "Superhump in demo_lc.vlm, orbits 1 to 3", "Disk in demo.vlm, 87 frames, time 0.005 to 2.980",
                           "Orbits about the primary in demo_rs.vlm (orbit 3)"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  // Three orbits are fewer than one growth window: a note, not an error.
  EXPECT_NE(r.err.find("note: orbits 1 to 3 are fewer than one window of 20 orbits"), std::string::npos) << r.err;
  // Progress of the recording when standard error is not a terminal: plain lines.
  EXPECT_NE(r.err.find("recording 100%"), std::string::npos) << r.err;
  EXPECT_EQ(test::runCli("analyse demo --quiet").err.find("recording"), std::string::npos);
}

TEST_F(AnalyseCli, JsonKeysAndTables) {
  const auto r = test::runCli("analyse demo --json --window 2 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = Json::parse(r.out);
  for (const char* key : {"format", "name", "files", "notes", "q", "q_source", "reference", "superhump", "growth", "disk",
                          "eccentricity"})
    EXPECT_TRUE(j.contains(key)) << key;
  EXPECT_EQ(j["format"].get<std::string>(), "velmora-analysis 1");
  EXPECT_EQ(j["q_source"].get<std::string>(), "restart");
  EXPECT_NEAR(j["q"].get<double>(), 0.15, 1e-6);
  EXPECT_TRUE(j["files"]["recording"]["present"].get<bool>());
  EXPECT_NEAR(j["reference"]["epsilon_relation"].get<double>(), 0.18 * 0.15 + 0.29 * 0.0225, 1e-6);

  const Json& s = j["superhump"];
  for (const char* key : {"first_orbit", "last_orbit", "detected", "frequency", "frequency_error", "epsilon",
                          "epsilon_error", "amplitude", "significance", "upper_limit", "harmonics", "spectrum",
                          "q_from_epsilon"})
    EXPECT_TRUE(s.contains(key)) << key;
  EXPECT_EQ(s["last_orbit"].get<double>(), 3);
  if (!s["detected"].get<bool>()) {
    EXPECT_TRUE(s["epsilon"].is_null());
    EXPECT_GT(s["upper_limit"].get<double>(), 0.0);
  }
  EXPECT_EQ(s["spectrum"]["frequency"].size(), s["spectrum"]["amplitude"].size());

  // Windows of 2 orbits stepped by 1: orbits 1-2 and 2-3; every column as long.
  const Json& g = j["growth"];
  EXPECT_EQ(g["step"].get<double>(), 1);
  for (const auto& [key, col] : g["windows"].items()) EXPECT_EQ(col.size(), 2u) << key;

  const Json& d = j["disk"];
  EXPECT_EQ(d["frame_count"].get<double>(), 87);
  for (const auto& [key, col] : d["frames"].items()) EXPECT_EQ(col.size(), 87u) << key;
  EXPECT_NEAR(d["frames"]["time"].back().get<double>(), 2.98, 1e-9);
  EXPECT_TRUE(d["precession"].contains("epsilon"));

  const Json& e = j["eccentricity"];
  EXPECT_EQ(e["orbit"].get<double>(), 3);
  EXPECT_EQ(e["particles"].get<double>(), 400);
  EXPECT_LE(e["bound"].get<double>(), e["in_lobe"].get<double>());
  const std::size_t bins = e["bins"]["r_in"].size();
  EXPECT_EQ(bins, 14u);  // rings of 0.05 out to L1, 0.65 from the primary
  for (const auto& [key, col] : e["bins"].items()) EXPECT_EQ(col.size(), bins) << key;
}

// The JSON text, byte for byte, as the files in tests/cli/data hold it: the keys, their order,
// the layout and every number's digits. The whole run, and the light curve and the recording
// alone (the sections of the missing files null, the notes naming them). And a name that is
// not UTF-8.
// VELMORA_WRITE_ANALYSE_JSON=1 writes the files anew instead of comparing.
TEST_F(AnalyseCli, JsonTextIsTheKeptText) {
  fs::create_directories("only");
  fs::copy_file("demo_lc.vlm", "only/lc_lc.vlm", fs::copy_options::overwrite_existing);
  fs::copy_file("demo.vlm", "only/rec.vlm", fs::copy_options::overwrite_existing);
  for (const auto& [args, file] : std::vector<std::pair<std::string, std::string>>{
           {"demo --window 2", "analyse_demo.json"},
           {"only/lc --q 0.2 --window 1", "analyse_lc_only.json"},
           {"only/rec", "analyse_recording_only.json"}}) {
    auto r = test::runCli("analyse " + args + " --json --quiet");
    ASSERT_EQ(r.code, 0) << r.err;
    // The run record's command line names the build's own path to velmora-cli: kept as a marker.
    r.out = std::regex_replace(r.out, std::regex(R"("invocation": "[^"]*")"), R"("invocation": "RUN COMMAND")");
    const std::string kept = std::string(VELMORA_SOURCE_DIR) + "/tests/cli/data/" + file;
    if (std::getenv("VELMORA_WRITE_ANALYSE_JSON")) {
      std::ofstream(kept, std::ios::binary) << r.out;
      continue;
    }
    EXPECT_TRUE(r.out == test::slurp(kept)) << args << " differs from " << kept << ":\n" << r.out;
  }
  // A run whose name holds a byte that is not UTF-8 (a Latin-1 file name) still gives a JSON
  // object a strict reader takes: the byte becomes U+FFFD in the texts.
  fs::copy_file("demo_lc.vlm", "caf\xe9_lc.vlm", fs::copy_options::overwrite_existing);
  const auto r = test::runCli("analyse 'caf\xe9' --q 0.2 --json --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Json::parse(r.out)["name"].get<std::string>(), "caf\xef\xbf\xbd");
}

TEST_F(AnalyseCli, AContinuedRunsTimesAreItsOwnOrbits) {
  // The demo continued from its restart file at orbit 3: its run record names the restart file
  // and where its files start, so the recording's frames are at times 3 to 4, not 0 to 1.
  const auto c = test::runCli("restart demo_rs.vlm --orbits 1 --record 1 --frame-step 6 --lc 1 --name demo_more --quiet");
  ASSERT_EQ(c.code, 0) << c.err;
  std::ifstream in("demo_more.run.json");
  const std::string record((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Json p = Json::parse(record);
  EXPECT_EQ(p["end"].get<std::string>(), "complete");
  EXPECT_EQ(p["parent"]["restart_file"].get<std::string>(), "demo_rs.vlm");
  EXPECT_EQ(p["parent"]["sha256"].get<std::string>().size(), 64u);
  EXPECT_EQ(p["parent"]["orbit"].get<double>(), 3);
  EXPECT_EQ(p["files"]["recording"]["start_orbit"].get<double>(), 3);
  EXPECT_EQ(p["files"]["light_curve"]["start_orbit"].get<double>(), 3);
  EXPECT_EQ(p["orbit"].get<double>(), 4);
  EXPECT_EQ(p["parameters"]["orbits"].get<double>(), 1);

  const auto r = test::runCli("analyse demo_more --json --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  const Json j = Json::parse(r.out);
  const auto& times = j["disk"]["frames"]["time"];
  ASSERT_FALSE(times.empty());
  EXPECT_NEAR(times.front().get<double>(), 3.005, 1e-9);
  EXPECT_NEAR(times.back().get<double>(), 3.99, 1e-9);
  EXPECT_NEAR(j["superhump"]["t_start"].get<double>(), 3.0, 1e-6);
  EXPECT_NEAR(j["provenance"]["recording_start_orbit"].get<double>(), 3.0, 1e-12);

  // Without the record the times count from the run's start, with a note.
  fs::remove("demo_more.run.json");
  const auto old = test::runCli("analyse demo_more --json --quiet");
  const Json k = Json::parse(old.out);
  EXPECT_NEAR(k["disk"]["frames"]["time"].front().get<double>(), 0.005, 1e-9);
  EXPECT_TRUE(k["provenance"].is_null());
}

TEST_F(AnalyseCli, CsvTables) {
  const auto r = test::runCli("analyse demo --csv tables --window 1 --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = [](const std::string& t) { return std::count(t.begin(), t.end(), '\n'); };
  const std::string w = test::slurp("tables/windows.csv"), f = test::slurp("tables/frames.csv"),
                    b = test::slurp("tables/radii.csv");
  EXPECT_EQ(w.rfind("first_orbit,last_orbit,t_start,t_end,detected,", 0), 0u);
  EXPECT_EQ(lines(w), 1 + 3);
  EXPECT_EQ(f.rfind("time,particles,in_lobe,r10,r50,r90,beyond_r31,m1,m2,m1_phase_deg\r\n", 0), 0u);
  EXPECT_EQ(lines(f), 1 + 87);
  EXPECT_EQ(b.rfind("r_in,r_out,count,mean_e,coherent_e,direction_deg\r\n", 0), 0u);
  EXPECT_EQ(lines(b), 1 + 14);
}

TEST_F(AnalyseCli, NamesAPrefixOrOneOfTheFiles) {
  const std::string abs = (fs::current_path() / "demo").string();
  for (const std::string& name : {abs, std::string("demo_lc.vlm"), std::string("demo.vlm"), std::string("demo_rs.vlm")}) {
    const auto r = test::runCli("analyse '" + name + "' --quiet");
    EXPECT_EQ(r.code, 0) << name << r.err;
    EXPECT_NE(r.out.find("demo_rs.vlm (orbit 3)"), std::string::npos) << name;
  }
}

TEST_F(AnalyseCli, MissingFilesAreMentionedAndQComesFromTheNextSource) {
  fs::create_directories("part");
  fs::copy_file("demo_lc.vlm", "part/lc_lc.vlm", fs::copy_options::overwrite_existing);
  auto r = test::runCli("analyse part/lc --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("part/lc.vlm is missing"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("part/lc_rs.vlm is missing"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("q is unknown"), std::string::npos) << r.err;
  r = test::runCli("analyse part/lc --q 0.2 --json --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  Json j = Json::parse(r.out);
  EXPECT_EQ(j["q_source"].get<std::string>(), "option");
  EXPECT_TRUE(j["disk"].is_null());
  EXPECT_TRUE(j["eccentricity"].is_null());

  // The recording alone: its stars give q.
  fs::copy_file("demo.vlm", "part/rec.vlm", fs::copy_options::overwrite_existing);
  r = test::runCli("analyse part/rec --q 0.3 --json --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  j = Json::parse(r.out);
  EXPECT_EQ(j["q_source"].get<std::string>(), "recording");
  EXPECT_NEAR(j["q"].get<double>(), 0.15, 1e-4);
  EXPECT_TRUE(j["superhump"].is_null());
  EXPECT_NE(r.err.find("--q 0.3000 is not used"), std::string::npos) << r.err;
}

TEST_F(AnalyseCli, NoFileOrADamagedFileIsExit1) {
  auto r = test::runCli("analyse nothing");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no file of run nothing"), std::string::npos) << r.err;

  // A damaged file gives the reader's message, as info does.
  fs::create_directories("bad");
  fs::copy_file("demo_lc.vlm", "bad/run_lc.vlm", fs::copy_options::overwrite_existing);
  std::ofstream("bad/run_rs.vlm", std::ios::binary) << " 1.0 0.15 junk\r\n";
  const auto info = test::runCli("info bad/run_rs.vlm");
  ASSERT_EQ(info.code, 1);
  r = test::runCli("analyse bad/run");
  EXPECT_EQ(r.code, 1);
  const std::string message = info.err.substr(std::string("velmora-cli info: ").size());
  EXPECT_EQ(r.err, "velmora-cli analyse: " + message) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST_F(AnalyseCli, UsageErrors) {
  for (const auto& [args, text] : std::vector<std::pair<std::string, std::string>>{
           {"analyse demo --first 4", "--first must be between 1 and 3"},
           {"analyse demo --last 0", "--last must be between 1 and 3"},
           {"analyse demo --window 0", "--window must be between 1"},
           {"analyse demo --q -1", "--q must be greater than 0"},
           {"analyse", "NAME"}}) {
    const auto r = test::runCli(args);
    EXPECT_EQ(r.code, 2) << args << r.err;
    EXPECT_NE(r.err.find(text), std::string::npos) << args << ": " << r.err;
  }
  // --first and --last need the light curve.
  fs::create_directories("rs");
  fs::copy_file("demo_rs.vlm", "rs/x_rs.vlm", fs::copy_options::overwrite_existing);
  const auto r = test::runCli("analyse rs/x --first 1");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("--first and --last choose orbits of rs/x_lc.vlm, which is missing"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace velmora
