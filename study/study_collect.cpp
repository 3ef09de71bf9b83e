// Collecting a study: each row's analysis.json and done file read into one CSV line.
#include "study/study_collect.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "study/study_row.h"

namespace velmora::study {
namespace {

using nlohmann::json;

// A measurement: its column and where analysis.json holds it (a JSON pointer).
struct Measure {
  const char* column;
  const char* path;
};

const Measure kMeasures[] = {
    {"eps", "/superhump/epsilon"},
    {"eps_err", "/superhump/epsilon_error"},
    {"detected", "/superhump/detected"},
    {"frequency", "/superhump/frequency"},
    {"onset_orbit", "/growth/onset_orbit"},
    {"eps_after_onset", "/growth/epsilon_mean"},
    {"eps_after_onset_err", "/growth/epsilon_mean_error"},
    {"amplitude", "/superhump/amplitude"},
    {"significance", "/superhump/significance"},
    {"eps_relation", "/reference/epsilon_relation"},
    {"r_3to1", "/reference/r_3to1"},
    {"r_circ", "/reference/r_circ"},
    {"r10", "/eccentricity/r10"},
    {"r50", "/eccentricity/r50"},
    {"r90", "/eccentricity/r90"},
    {"beyond_r31", "/eccentricity/beyond_r31"},
    {"mean_e", "/eccentricity/mean_e"},
    {"coherent_e", "/eccentricity/coherent_e"},
    {"precession_eps", "/disk/precession/epsilon"},
    {"precession_eps_err", "/disk/precession/epsilon_error"},
};

// The value at a path of the document as a CSV field: numbers to 7 significant digits,
// true/false as 1/0, nothing for null, a missing value or one under a null section.
std::string field(const json& doc, const char* path) {
  const json::json_pointer p(path);
  if (!doc.contains(p)) return {};
  const json& v = doc.at(p);
  if (v.is_number()) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.7g", v.get<double>());
    return buf;
  }
  if (v.is_boolean()) return v.get<bool>() ? "1" : "0";
  if (v.is_string()) return v.get<std::string>();
  return {};
}

// A row's analysis.json read; throws std::runtime_error naming the byte of the first problem.
json readAnalysis(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buf;
  buf << in.rdbuf();
  if (!in) throw std::runtime_error("cannot be read");
  try {
    return json::parse(buf.str());
  } catch (const json::parse_error& e) {
    // "[json.exception.parse_error.101] parse error at line 1, column 8: syntax error ...":
    // the byte and what the parser says, without its prefix.
    std::string what = e.what();
    if (const auto at = what.find(": "); at != std::string::npos) what.erase(0, at + 2);
    throw std::runtime_error("JSON byte " + std::to_string(e.byte) + ": " + what);
  }
}

}  // namespace

std::string resultsPath(const Table& t) { return t.stem().string() + ".results.csv"; }

Collected collectResults(const Table& t) {
  Collected c;
  std::string& s = c.csv;
  s = "row,name";
  for (const Column& col : columns()) s += std::string(",") + col.key;
  s += ",state";
  for (const Measure& m : kMeasures) s += std::string(",") + m.column;
  s += ",wall_time_s\n";
  for (const Row& r : t.rows) {
    s += std::to_string(r.index) + "," + r.name;
    for (const Column& col : columns()) s += "," + valueText(col, r.run);
    const RowStatus st = rowStatus(t, r);
    s += std::string(",") + stateName(st.state);
    if (st.state != RowState::Done) ++c.notDone;
    json doc;
    bool have = false;
    if (st.state == RowState::Done) {
      const std::string path = (t.rowFolder(r) / ANALYSIS_FILE).string();
      try {
        doc = readAnalysis(path);
        have = true;
        ++c.done;
      } catch (const std::runtime_error& e) {
        c.problems += path + ": " + e.what() + "\n";
      }
    }
    for (const Measure& m : kMeasures) s += "," + (have ? field(doc, m.path) : std::string());
    if (have) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.1f", st.wallSeconds);
      s += std::string(",") + buf;
    } else {
      s += ",";
    }
    s += "\n";
  }
  return c;
}

}  // namespace velmora::study
