// The study table: columns, values as text, reading and writing the TSV, plans from lists.
#include "study/study_table.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "shell/file_name_rules.h"

namespace velmora::study {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t MAX_LIST_VALUES = 1000;
constexpr std::size_t MAX_ROWS = 10000;

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \r") - b + 1);
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const auto at = s.find(sep, from);
    parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

bool parseReal(const std::string& t, double& v) {
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size() && errno == 0 && std::isfinite(v);
}

bool parseWhole(const std::string& t, long long& v) {
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = std::strtoll(t.c_str(), &end, 10);
  return end == t.c_str() + t.size() && errno == 0;
}

// The settings field of a column; S is NewRunSettings or const NewRunSettings.
template <class S>
auto* realField(const Column& c, S& s) {
  const std::string k = c.key;
  if (k == "m1") return &s.m1;
  if (k == "q") return &s.q;
  if (k == "h") return &s.h;
  if (k == "alpha") return &s.alpha;
  return &s.beta;
}

template <class S>
auto* countField(const Column& c, S& s) {
  const std::string k = c.key;
  if (k == "orbits") return &s.orbits;
  if (k == "particles") return &s.particles;
  return &s.inj;
}

// The value and its "given" flag of an output column.
template <class S>
auto outputField(const Column& c, S& s) {
  const std::string k = c.key;
  if (k == "lc") return std::pair{&s.out.lc, &s.out.hasLc};
  if (k == "record") return std::pair{&s.out.record, &s.out.hasRecord};
  if (k == "frame_step") return std::pair{&s.out.frameStep, &s.out.hasFrameStep};
  return std::pair{&s.out.restartEvery, &s.out.hasRestartEvery};
}

std::string inQuotes(const std::string& t) { return "'" + t + "'"; }

// A row with nothing given: the values `velmora-cli run` takes, the light curve from orbit 1.
NewRunSettings defaults() {
  NewRunSettings s;
  s.out.hasLc = true;
  s.out.lc = 1;
  return s;
}

// A name may stand as a folder name and a run's base name on any file system.
std::string nameProblem(const std::string& name) {
  if (name.empty()) return "the name is empty";
  if (name.front() == '.' || name.front() == '-') return "name " + inQuotes(name) + " may not start with '.' or '-'";
  for (const char ch : name) {
    const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '.' ||
                    ch == '_' || ch == '+' || ch == '-';
    if (!ok)
      return "name " + inQuotes(name) + " may hold only letters, digits and . _ + - (it names a folder and the run's files)";
  }
  return runNameProblem(OptionSpelling::CommandLine, name);
}

// The values of one option's list, each in the column's own text; ranges expanded.
std::vector<std::string> expandList(const Column& c, const std::string& list) {
  const std::string opt = std::string("--") + c.option;
  const auto fail = [&](const std::string& why) { return StudyError(opt + " " + list + ": " + why, 2); };
  const bool whole = c.kind != ColumnKind::Real;
  std::vector<std::string> texts;
  std::set<std::string> seen;
  const auto add = [&](const std::string& item) {
    NewRunSettings s = defaults();
    if (const std::string p = setValue(c, item, s); !p.empty()) throw fail(p);
    const std::string t = valueText(c, s);
    if (!seen.insert(t).second) {
      if (c.kind == ColumnKind::Real)
        throw fail("lists " + t + " twice (values are put on the " + (c.decimals == 2 ? "0.01" : "0.0001") + " grid)");
      throw fail("lists " + t + " twice");
    }
    if (texts.size() >= MAX_LIST_VALUES) throw fail("more than " + std::to_string(MAX_LIST_VALUES) + " values");
    texts.push_back(t);
  };
  for (const std::string& raw : split(list, ',')) {
    const std::string item = trim(raw);
    if (item.empty()) throw fail("an empty value (lists are values and ranges separated by commas)");
    const auto parts = split(item, ':');
    if (parts.size() == 1) {
      add(item);
      continue;
    }
    double a = 0, b = 0, step = 0;
    if (parts.size() != 3 || !parseReal(trim(parts[0]), a) || !parseReal(trim(parts[1]), b) ||
        !parseReal(trim(parts[2]), step))
      throw fail("a range is FIRST:LAST:STEP, three numbers (got " + inQuotes(item) + ")");
    if (!(step > 0) || b < a) throw fail("a range runs from its first value up to its last in steps above 0");
    if (whole && (a != std::round(a) || step != std::round(step)))
      throw fail("a range of whole numbers needs a whole first value and step");
    const double n = std::floor((b - a) / step + 1e-9) + 1;
    if (n > static_cast<double>(MAX_LIST_VALUES)) throw fail("more than " + std::to_string(MAX_LIST_VALUES) + " values");
    for (long long k = 0; k < static_cast<long long>(n); ++k) {
      const double v = a + static_cast<double>(k) * step;
      char buf[64];
      if (whole) std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(std::llround(v)));
      else std::snprintf(buf, sizeof buf, "%.*f", c.decimals, v);
      add(buf);
    }
  }
  return texts;
}

// Problems of a table file name the file and the line.
StudyError tableError(const fs::path& path, int line, const std::string& what) {
  return StudyError(path.string() + " line " + std::to_string(line) + ": " + what, 2);
}

std::string columnList() {
  std::string s = "name";
  for (const Column& c : columns()) s += std::string(", ") + c.key;
  return s;
}

}  // namespace

const std::vector<Column>& columns() {
  static const std::vector<Column> list = {
      {"m1", "m1", ColumnKind::Real, 2, "m", "Primary mass, solar masses (0.50..1.30, on a 0.01 grid; default 1.00)"},
      {"q", "q", ColumnKind::Real, 2, "q", "Mass ratio M2/M1 (0.01..1.00, on a 0.01 grid; default 0.15)"},
      {"h", "h", ColumnKind::Real, 4, "h",
       "Smoothing length (0.0080 up to 0.0400, less for more than 1000 particles; default 0.0250)"},
      {"alpha", "alpha", ColumnKind::Real, 2, "a", "First viscosity coefficient (0.01..2.00; default 1.00)"},
      {"beta", "beta", ColumnKind::Real, 2, "b", "Second viscosity coefficient (0.01..2.00; default 1.00)"},
      {"orbits", "orbits", ColumnKind::Count, 0, "o", "Orbits of each run (default 10)"},
      {"particles", "particles", ColumnKind::Count, 0, "n", "Particle limit (1..25000, default 1000)"},
      {"inj", "inj", ColumnKind::Count, 0, "i", "Particles injected per phase (1..10, default 10)"},
      {"lc", "lc", ColumnKind::Start, 0, "lc", "Light curve from this orbit on, or off (default 1)"},
      {"record", "record", ColumnKind::Start, 0, "rec", "Recording from this orbit on, or off (default off)"},
      {"frame_step", "frame-step", ColumnKind::FrameStep, 0, "fs", "Phases between recorded frames, 1..7 (default 1)"},
      {"restart_every", "restart-every", ColumnKind::RestartEvery, 0, "rs",
       "Orbits between restart files (default: a fiftieth of the orbits or less, so a cut-off run loses at most 2 % "
       "of its work)"},
      {"forces", "forces", ColumnKind::Forces, 0, "f", "Force passes, sequential or synchronous (default sequential)"},
  };
  return list;
}

const Column* findColumn(const std::string& key) {
  for (const Column& c : columns())
    if (key == c.key) return &c;
  return nullptr;
}

long long defaultRestartEvery(long long orbits) {
  const long long limit = orbits / 50 > 1 ? orbits / 50 : 1;
  for (long long d = limit; d > 1; --d)
    if (orbits % d == 0) return d;
  return 1;
}

std::string Row::label() const { return "row " + std::to_string(index) + " (" + name + ")"; }

fs::path Table::stem() const {
  fs::path p = path;
  if (p.extension() == ".tsv") p.replace_extension();
  return p;
}

std::string valueText(const Column& c, const NewRunSettings& s) {
  char buf[64];
  switch (c.kind) {
    case ColumnKind::Real:
      std::snprintf(buf, sizeof buf, "%.*f", c.decimals, *realField(c, s));
      return buf;
    case ColumnKind::Count:
      return std::to_string(*countField(c, s));
    case ColumnKind::FrameStep:
      if (!s.out.hasFrameStep) return s.out.hasRecord ? "1" : OFF;
      return std::to_string(s.out.frameStep);
    case ColumnKind::Start:
    case ColumnKind::RestartEvery: {
      const auto [value, given] = outputField(c, s);
      return *given ? std::to_string(*value) : OFF;
    }
    case ColumnKind::Forces:
      return forceSchemeName(s.forces);
  }
  return {};
}

std::string setValue(const Column& c, const std::string& text, NewRunSettings& s) {
  switch (c.kind) {
    case ColumnKind::Real: {
      double v = 0;
      if (!parseReal(text, v)) return inQuotes(text) + " is not a number";
      const double scale = std::pow(10.0, c.decimals);
      *realField(c, s) = std::round(v * scale) / scale;  // the dialog's grid, as `run` takes it
      return {};
    }
    case ColumnKind::Count: {
      long long v = 0;
      if (!parseWhole(text, v)) return inQuotes(text) + " is not a whole number";
      *countField(c, s) = v;
      return {};
    }
    case ColumnKind::Start:
    case ColumnKind::FrameStep:
    case ColumnKind::RestartEvery: {
      const auto [value, given] = outputField(c, s);
      if (text == OFF) {
        if (c.kind == ColumnKind::RestartEvery)
          return "a study row always writes restart files, so that a cut-off row can continue: give a number of orbits";
        *given = false;
        return {};
      }
      long long v = 0;
      if (!parseWhole(text, v)) return inQuotes(text) + " is not a whole number or \"off\"";
      *value = v;
      *given = true;
      return {};
    }
    case ColumnKind::Forces:
      return forcesProblem(OptionSpelling::CommandLine, text, s.forces);
  }
  return {};
}

std::string rowProblem(const Row& r) {
  if (std::string p = nameProblem(r.name); !p.empty()) return p;
  return r.run.problem(OptionSpelling::CommandLine);
}

void nameRows(std::vector<Row>& rows) {
  // The restart interval follows the orbit count unless a table sets it apart: it joins the
  // names only when the other values leave two rows alike.
  for (const bool withRestartEvery : {false, true}) {
    std::vector<const Column*> varying;
    for (const Column& c : columns()) {
      if (c.kind == ColumnKind::RestartEvery && !withRestartEvery) continue;
      for (const Row& r : rows)
        if (valueText(c, r.run) != valueText(c, rows.front().run)) {
          varying.push_back(&c);
          break;
        }
    }
    bool fits = !varying.empty();
    std::set<std::string> names;
    for (Row& r : rows) {
      r.name.clear();
      for (const Column* c : varying) r.name += (r.name.empty() ? "" : "_") + std::string(c->tag) + valueText(*c, r.run);
      if (r.name.size() > RUNNAME_CHARS || !names.insert(r.name).second) fits = false;
    }
    if (fits) break;
    if (withRestartEvery)
      for (Row& r : rows) r.name = "row" + std::to_string(r.index);
  }
  for (Row& r : rows) r.run.name = r.name;
}

Table readTable(const fs::path& given) {
  Table t;
  std::error_code ec;
  t.path = fs::absolute(given, ec).lexically_normal();
  if (ec) t.path = given;
  t.folder = t.path.parent_path();
  std::ifstream in(t.path, std::ios::binary);
  if (!in) throw StudyError(given.string() + ": cannot read the table: " + std::strerror(errno), 1);
  std::stringstream buf;
  buf << in.rdbuf();

  const std::vector<std::string> lines = split(buf.str(), '\n');
  std::vector<const Column*> cols;  // per header cell; nullptr for "name"
  bool hasName = false, hasRestartEvery = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int lineNo = static_cast<int>(i) + 1;
    std::string line = lines[i];
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (trim(line).empty() || trim(line).front() == '#') continue;
    std::vector<std::string> cells = split(line, '\t');
    for (std::string& c : cells) c = trim(c);
    if (t.header.empty()) {
      std::set<std::string> seen;
      for (const std::string& c : cells) {
        if (!seen.insert(c).second) throw tableError(t.path, lineNo, "column " + inQuotes(c) + " appears twice");
        if (c == "name") {
          hasName = true;
          cols.push_back(nullptr);
          continue;
        }
        const Column* col = findColumn(c);
        if (!col) throw tableError(t.path, lineNo, "unknown column " + inQuotes(c) + " (the columns are " + columnList() + ")");
        if (col->kind == ColumnKind::RestartEvery) hasRestartEvery = true;
        cols.push_back(col);
      }
      t.header = cells;
      continue;
    }
    Row r;
    r.index = static_cast<int>(t.rows.size()) + 1;
    r.line = lineNo;
    r.run = defaults();
    const std::string where = "row " + std::to_string(r.index);
    if (cells.size() != cols.size())
      throw tableError(t.path, lineNo,
                       where + ": " + std::to_string(cells.size()) + " values for " + std::to_string(cols.size()) +
                           " columns (values are separated by tabs)");
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (!cols[k]) {
        r.name = cells[k];
        continue;
      }
      if (const std::string p = setValue(*cols[k], cells[k], r.run); !p.empty())
        throw tableError(t.path, lineNo, where + ", column " + cols[k]->key + ": " + p);
    }
    if (!hasRestartEvery) {
      r.run.out.hasRestartEvery = true;
      r.run.out.restartEvery = defaultRestartEvery(r.run.orbits);
    }
    if (t.rows.size() >= MAX_ROWS) throw tableError(t.path, lineNo, "more than " + std::to_string(MAX_ROWS) + " rows");
    t.rows.push_back(std::move(r));
  }
  if (t.rows.empty()) throw StudyError(t.path.string() + ": the table has no rows (a header line, then one line a run)", 2);
  if (!hasName) nameRows(t.rows);
  std::map<std::string, int> names;
  for (Row& r : t.rows) {
    r.run.name = r.name;
    const auto [it, fresh] = names.emplace(r.name, r.index);
    if (!fresh)
      throw tableError(t.path, r.line, "rows " + std::to_string(it->second) + " and " + std::to_string(r.index) +
                                           " have the same name " + inQuotes(r.name) + " (a row's files go in its folder)");
    if (const std::string p = rowProblem(r); !p.empty()) throw tableError(t.path, r.line, r.label() + ": " + p);
  }
  return t;
}

std::string tableText(const std::vector<Row>& rows) {
  std::string s = "# Velmora parameter study, one run a row: velmora-cli study run TABLE --task K runs row K\n";
  s += "name";
  for (const Column& c : columns()) s += std::string("\t") + c.key;
  s += "\n";
  for (const Row& r : rows) {
    s += r.name;
    for (const Column& c : columns()) s += "\t" + valueText(c, r.run);
    s += "\n";
  }
  return s;
}

std::vector<Row> planRows(const std::map<std::string, std::string>& lists) {
  std::vector<std::vector<std::string>> values;  // per column; empty: the default
  std::size_t total = 1;
  for (const Column& c : columns()) {
    const auto it = lists.find(c.key);
    values.push_back(it == lists.end() ? std::vector<std::string>{} : expandList(c, it->second));
    if (!values.back().empty()) {
      total *= values.back().size();
      if (total > MAX_ROWS)
        throw StudyError("the lists make more than " + std::to_string(MAX_ROWS) + " rows", 2);
    }
  }
  std::vector<Row> rows(total);
  const auto& cols = columns();
  for (std::size_t i = 0; i < total; ++i) {
    Row& r = rows[i];
    r.index = static_cast<int>(i) + 1;
    r.run = defaults();
    // The first column varies slowest: peel the index from the last column on.
    std::size_t rest = i;
    std::vector<std::size_t> pick(cols.size(), 0);
    for (std::size_t k = cols.size(); k-- > 0;) {
      if (values[k].empty()) continue;
      pick[k] = rest % values[k].size();
      rest /= values[k].size();
    }
    for (std::size_t k = 0; k < cols.size(); ++k)
      if (!values[k].empty()) setValue(cols[k], values[k][pick[k]], r.run);  // checked by expandList
    if (!r.run.out.hasRestartEvery) {
      r.run.out.hasRestartEvery = true;
      r.run.out.restartEvery = defaultRestartEvery(r.run.orbits);
    }
  }
  nameRows(rows);
  for (const Row& r : rows)
    if (const std::string p = rowProblem(r); !p.empty()) throw StudyError(r.label() + ": " + p, 2);
  return rows;
}

}  // namespace velmora::study
