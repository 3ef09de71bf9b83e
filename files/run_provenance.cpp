// NAME.run.json: the provenance record of a run, written and read with nlohmann-json.
#include "files/run_provenance.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "io/file_error.h"
#include "io/file_io.h"


namespace velmora {

// The commit the program was built from (made at build time by cmake/GitCommit.cmake).
const char* gitCommit();

namespace {

using Json = nlohmann::ordered_json;

std::string utcNow() {
  const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string hostName() {
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return "unknown";
  return buf;
}

}  // namespace

void RunProvenance::start() {
  started = utcNow();
  end = "running";
}

void RunProvenance::observe(const Sim& S) {
  orbit = S.IORBIT;
  // The step loop counts LCSTART from the run's first orbit on; the recording starts RECSTART
  // orbits into this run.
  lightCurveStart = isTrue(S.LCFLAG) ? static_cast<double>(S.LCSTART - 1) : -1.0;
  recordingStart = isTrue(S.RECFLAG) ? static_cast<double>(S.ORB0 + S.RECSTART - 1) : -1.0;
  restartEvery = isTrue(S.RSFLAG) ? S.RSEVERY : 0;
}

void RunProvenance::finish(const std::string& how, double seconds, const std::string& why) {
  end = how;
  message = why;
  ended = utcNow();
  wallSeconds = seconds;
}

std::string provenanceFileName(const std::string& base) { return base + ".run.json"; }

std::string provenanceJson(const RunProvenance& p) {
  Json j;
  j["format"] = "velmora-run 1";
  j["program"] = {{"name", "velmora"}, {"version", VELMORA_VERSION}, {"commit", gitCommit()}};
  j["name"] = p.name;
  j["invocation"] = p.invocation;
  j["parameters"] = p.parameters;
  j["threads"] = p.threads;
  j["parent"] = p.parent.empty() ? Json(nullptr)
                                 : Json{{"restart_file", p.parent}, {"sha256", p.parentSha256}, {"orbit", p.parentOrbit}};
  j["files"] = {{"light_curve", p.lightCurveStart < 0 ? Json(nullptr)
                                                       : Json{{"path", p.name + "_lc.vlm"}, {"start_orbit", p.lightCurveStart}}},
                {"recording", p.recordingStart < 0 ? Json(nullptr)
                                                    : Json{{"path", p.name + ".vlm"}, {"start_orbit", p.recordingStart}}},
                {"restart", p.restartEvery <= 0 ? Json(nullptr)
                                                 : Json{{"path", p.name + "_rs.vlm"}, {"every", p.restartEvery}}}};
  j["orbit"] = p.orbit;
  j["host"] = hostName();
  j["started"] = p.started;
  j["ended"] = p.ended.empty() ? Json(nullptr) : Json(p.ended);
  j["wall_seconds"] = p.ended.empty() ? Json(nullptr) : Json(p.wallSeconds);
  j["end"] = p.end;
  j["message"] = p.message.empty() ? Json(nullptr) : Json(p.message);
  return j.dump(2) + "\n";
}

std::string writeProvenance(const RunProvenance& p) {
  if (p.name.empty()) return {};
  return replaceAtomically(provenanceFileName(p.name), provenanceJson(p));
}

std::optional<RunProvenance> readProvenance(const std::string& base) {
  const std::string path = provenanceFileName(base);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) throw FileError(path, "cannot be read");
  RunProvenance p;
  try {
    const Json j = Json::parse(text.str());
    if (j.value("format", "") != "velmora-run 1") throw FileError(path, "is not a velmora run record (format)");
    p.name = j.at("name").get<std::string>();
    p.invocation = j.value("invocation", "");
    p.parameters = j.value("parameters", Json::object());
    p.threads = j.value("threads", 0);
    if (const Json& par = j.at("parent"); par.is_object()) {
      p.parent = par.at("restart_file").get<std::string>();
      p.parentSha256 = par.value("sha256", "");
      p.parentOrbit = par.value("orbit", 0);
    }
    const Json& f = j.at("files");
    if (f.at("light_curve").is_object()) p.lightCurveStart = f["light_curve"].at("start_orbit").get<double>();
    if (f.at("recording").is_object()) p.recordingStart = f["recording"].at("start_orbit").get<double>();
    if (f.at("restart").is_object()) p.restartEvery = f["restart"].at("every").get<I32>();
    p.orbit = j.value("orbit", 0);
    p.started = j.value("started", "");
    if (j.at("ended").is_string()) p.ended = j["ended"].get<std::string>();
    if (j.at("wall_seconds").is_number()) p.wallSeconds = j["wall_seconds"].get<double>();
    p.end = j.at("end").get<std::string>();
    if (j.at("message").is_string()) p.message = j["message"].get<std::string>();
  } catch (const nlohmann::json::exception& e) {
    throw FileError(path, std::string("is not a readable run record: ") + e.what());
  }
  return p;
}

ForceScheme recordedForces(const std::string& restartFile) {
  constexpr std::string_view suffix = "_rs.vlm";
  if (!restartFile.ends_with(suffix)) return ForceScheme::Sequential;
  const std::string base = restartFile.substr(0, restartFile.size() - suffix.size());
  const std::optional<RunProvenance> p = readProvenance(base);
  if (!p) return ForceScheme::Sequential;
  const auto named = p->parameters.find("forces");
  if (named == p->parameters.end()) return ForceScheme::Sequential;
  ForceScheme f = ForceScheme::Sequential;
  if (!named->is_string() || !forceSchemeNamed(named->get<std::string>(), f))
    throw FileError(provenanceFileName(base), "names no force scheme (\"sequential\" or \"synchronous\" expected, got " +
                                                  named->dump().substr(0, 40) + ")");
  return f;
}

}  // namespace velmora
