// Reading the light-curve file: the count line and the fixed-column sample lines, checked as read.
#include "files/lightcurve.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

namespace velmora {
namespace {

constexpr std::size_t FIELD = 18;     // width of the time and luminosity fields
constexpr int FIELD_DECIMALS = 10;    // decimals implied when a field has no point
constexpr std::size_t LINE = 38;      // blank, time, blank, luminosity
constexpr std::size_t TIME_AT = 1;    // 0-based start of the time field (column 2)
constexpr std::size_t LUM_AT = 20;    // 0-based start of the luminosity field (column 21)

std::string shown(std::string_view s) {
  constexpr std::size_t MAX = 40;
  std::string out;
  for (char c : s.substr(0, MAX)) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u > 126) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  if (s.size() > MAX) out += "...";
  return "\"" + out + "\"";
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool allBlank(std::string_view s) {
  for (char c : s)
    if (!isBlank(c)) return false;
  return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// An Ew.d input field: optional sign, digits with an optional point, optional exponent
// (E or D with an optional sign, or a sign alone). Leading and trailing blanks are allowed.
// Without a point the last ten digits are decimals. Nothing when the field is not such a
// number or lies outside single precision.
std::optional<float> readEField(std::string_view f) {
  std::size_t a = 0, b = f.size();
  while (a < b && isBlank(f[a])) ++a;
  while (b > a && isBlank(f[b - 1])) --b;
  const std::string_view s = f.substr(a, b - a);
  // The number is rebuilt as sign, digits and point, then "e" and the exponent, for strtof.
  char text[48];
  std::size_t n = 0;
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') text[n++] = '-';
    ++i;
  }
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (isDigit(s[i])) {
      digits = true;
      text[n++] = s[i];
    } else if (s[i] == '.' && !point) {
      point = true;
      text[n++] = '.';
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  long exp = 0;
  if (i < s.size()) {
    if (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd') ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    const std::size_t start = i;
    while (i < s.size() && isDigit(s[i]) && i - start < 6) exp = exp * 10 + (s[i++] - '0');
    if (i == start || i != s.size()) return std::nullopt;
    if (neg) exp = -exp;
  }
  if (!point) exp -= FIELD_DECIMALS;
  text[n++] = 'e';
  const auto ex = std::to_chars(text + n, text + sizeof text, exp);
  float v = 0;
  const auto r = std::from_chars(text, ex.ptr, v);
  if (r.ec != std::errc() || r.ptr != ex.ptr || !std::isfinite(v)) return std::nullopt;
  return v;
}

struct Sample {
  float t = 0, l = 0;
};

// Why a line is not a sample line: the column and what was expected there.
struct LineProblem {
  std::size_t column = 0;  // 1-based
  std::string expected;
};

std::optional<LineProblem> readSample(std::string_view line, Sample& out) {
  const char* example = "an 18-character number such as 0.1234567890E+00";
  if (line.empty() || allBlank(line))
    return LineProblem{1, "a sample line (a blank, the time in columns 2-19, a blank, the luminosity in "
                          "columns 21-38), found an empty line"};
  if (!isBlank(line[0])) return LineProblem{1, "a blank, found " + shown(line.substr(0, 1))};
  if (line.size() <= TIME_AT + FIELD)
    return LineProblem{line.size() + 1, "the sample line to go on to column 38 (the time in columns 2-19, the "
                                        "luminosity in columns 21-38), found the end of the line"};
  const std::string_view tf = line.substr(TIME_AT, FIELD);
  const auto t = readEField(tf);
  if (!t) return LineProblem{TIME_AT + 1, "the time in columns 2-19 (" + std::string(example) + "), found " + shown(tf)};
  if (!isBlank(line[TIME_AT + FIELD]))
    return LineProblem{TIME_AT + FIELD + 1, "a blank between the two fields, found " +
                                                shown(line.substr(TIME_AT + FIELD, 1))};
  if (line.size() < LINE)
    return LineProblem{line.size() + 1, "the luminosity to go on to column 38, found the end of the line"};
  const std::string_view lf = line.substr(LUM_AT, FIELD);
  const auto l = readEField(lf);
  if (!l)
    return LineProblem{LUM_AT + 1, "the luminosity in columns 21-38 (" + std::string(example) + "), found " + shown(lf)};
  if (!allBlank(line.substr(LINE)))
    return LineProblem{LINE + 1, "the end of the line after column 38, found " + shown(line.substr(LINE))};
  out = {*t, *l};
  return std::nullopt;
}

// The count line: one integer, blanks around it. Nothing when the line is not one.
std::optional<long long> readCount(std::string_view line, std::size_t& column, std::string& found) {
  std::size_t i = 0;
  while (i < line.size() && isBlank(line[i])) ++i;
  column = i + 1;
  std::size_t j = i;
  if (j < line.size() && (line[j] == '+' || line[j] == '-')) ++j;
  const std::size_t digitsFrom = j;
  while (j < line.size() && isDigit(line[j])) ++j;
  std::size_t k = j;
  while (k < line.size() && isBlank(line[k])) ++k;
  found = std::string(line.substr(i));
  if (j == digitsFrom || k != line.size() || j - digitsFrom > 12) return std::nullopt;
  return std::strtoll(std::string(line.substr(i, j - i)).c_str(), nullptr, 10);
}

}  // namespace

LightCurveError::LightCurveError(const std::string& f, long long ln, long long col, const std::string& problem)
    : std::runtime_error(f + ": " +
                         (ln > 0 ? "line " + std::to_string(ln) + ", column " + std::to_string(col) + ": " : "") +
                         problem),
      file(f),
      line(ln),
      column(col) {}

LightCurve parseLightCurve(std::string_view text, const std::string& name) {
  LightCurve lc;
  lc.file = name;

  // Split into lines: LF ends a line, a CR just before it belongs to the line end.
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t nl = text.find('\n', at);
    const bool ended = nl != std::string_view::npos;
    if (!ended) nl = text.size();
    std::string_view ln = text.substr(at, nl - at);
    if (ended && !ln.empty() && ln.back() == '\r') ln.remove_suffix(1);
    lines.push_back(ln);
    at = nl + (ended ? 1 : 0);
  }
  // Blank lines after the last sample carry nothing.
  while (!lines.empty() && allBlank(lines.back())) lines.pop_back();
  if (lines.empty())
    throw LightCurveError(name, 1, 1, "expected the sample count (an integer), found an empty file");

  std::size_t first = 0;
  std::size_t col = 0;
  std::string found;
  if (const auto n = readCount(lines[0], col, found)) {
    if (*n < 0 || *n > std::numeric_limits<I32>::max())
      throw LightCurveError(name, 1, static_cast<long long>(col),
                            "expected a sample count between 0 and 2147483647, found " + shown(found));
    lc.announced = *n;
    first = 1;
  } else {
    Sample probe;
    if (readSample(lines[0], probe))
      throw LightCurveError(name, 1, static_cast<long long>(col),
                            "expected the sample count (an integer), found " + shown(found));
    lc.countLine = false;
  }

  const std::size_t present = lines.size() - first;
  if (present > static_cast<std::size_t>(std::numeric_limits<I32>::max()))
    throw LightCurveError(name, std::numeric_limits<I32>::max(), 1, "more samples than a light curve can hold");
  lc.T.reserve(present);
  lc.L.reserve(present);
  for (std::size_t i = first; i < lines.size(); ++i) {
    Sample s;
    if (const auto p = readSample(lines[i], s))
      throw LightCurveError(name, static_cast<long long>(i) + 1, static_cast<long long>(p->column),
                            "expected " + p->expected);
    lc.T.push_back(s.t);
    lc.L.push_back(s.l);
  }
  if (!lc.countLine) lc.announced = lc.samples();
  return lc;
}

LightCurve readLightCurve(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw LightCurveError(path, 0, 0, std::string("cannot open: ") + std::strerror(errno));
  std::string text;
  char buf[65536];
  std::size_t got = 0;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, got);
  const bool failed = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (failed) throw LightCurveError(path, 0, 0, std::string("cannot read: ") + std::strerror(err));
  return parseLightCurve(text, path);
}

}  // namespace velmora
