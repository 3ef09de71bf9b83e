// Collecting a study: each row's analysis.json and done file read into one CSV line.
#include "study/study_collect.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "study/study_json.h"
#include "study/study_row.h"

namespace velmora::study {
namespace {

// A measurement: its column and where analysis.json holds it.
struct Measure {
  const char* column;
  const char* path;
};

const Measure kMeasures[] = {
    {"eps", "superhump.epsilon"},
    {"eps_err", "superhump.epsilon_error"},
    {"detected", "superhump.detected"},
    {"frequency", "superhump.frequency"},
    {"onset_orbit", "growth.onset_orbit"},
    {"eps_after_onset", "growth.epsilon_mean"},
    {"eps_after_onset_err", "growth.epsilon_mean_error"},
    {"amplitude", "superhump.amplitude"},
    {"significance", "superhump.significance"},
    {"eps_relation", "reference.epsilon_relation"},
    {"r_3to1", "reference.r_3to1"},
    {"r_circ", "reference.r_circ"},
    {"r10", "eccentricity.r10"},
    {"r50", "eccentricity.r50"},
    {"r90", "eccentricity.r90"},
    {"beyond_r31", "eccentricity.beyond_r31"},
    {"mean_e", "eccentricity.mean_e"},
    {"coherent_e", "eccentricity.coherent_e"},
    {"precession_eps", "disk.precession.epsilon"},
    {"precession_eps_err", "disk.precession.epsilon_error"},
};

// A JSON value as a CSV field: numbers to 7 significant digits, true/false as 1/0, nothing
// for null or a missing value.
std::string field(const Json* v) {
  if (!v) return {};
  switch (v->type) {
    case Json::Type::Number: {
      char buf[48];
      std::snprintf(buf, sizeof buf, "%.7g", v->number);
      return buf;
    }
    case Json::Type::Bool: return v->boolean ? "1" : "0";
    case Json::Type::String: return v->text;
    default: return {};
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
    Json json;
    bool have = false;
    if (st.state == RowState::Done) {
      const std::string path = (t.rowFolder(r) / ANALYSIS_FILE).string();
      std::ifstream in(path, std::ios::binary);
      std::stringstream buf;
      buf << in.rdbuf();
      try {
        if (!in) throw JsonError("cannot be read");
        json = parseJson(buf.str());
        have = true;
        ++c.done;
      } catch (const JsonError& e) {
        c.problems += path + ": " + e.what() + "\n";
      }
    }
    for (const Measure& m : kMeasures) s += "," + (have ? field(json.at(m.path)) : std::string());
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
