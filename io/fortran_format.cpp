// Fixed-width number formatting and list-directed reading.
#include "io/fortran_format.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace velmora::fmt {
namespace {

std::string stars(int w) { return std::string(static_cast<std::size_t>(w > 0 ? w : 0), '*'); }

std::string rightAlign(const std::string& s, int w) {
  if (static_cast<int>(s.size()) > w) return stars(w);
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

// Splits a value into its significant digits (n of them, rounded) and decimal exponent,
// so that |v| = 0.d1d2...dn * 10^exp10 (d1 != 0 unless v == 0).
void digits(double v, int n, std::string& out, int& exp10) {
  if (v == 0.0) {
    out.assign(static_cast<std::size_t>(n), '0');
    exp10 = 0;
    return;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", n - 1, std::fabs(v));
  // buf: d.ddddde+XX
  out.clear();
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p != '.') out.push_back(*p);
  exp10 = std::atoi(p + 1) + 1;
}

std::string exponentText(int ex, int e, bool withLetter) {
  char buf[16];
  int a = ex < 0 ? -ex : ex;
  std::snprintf(buf, sizeof buf, "%0*d", e, a);
  std::string s = buf;
  if (static_cast<int>(s.size()) > e) return {};
  return std::string(withLetter ? "E" : "") + (ex < 0 ? "-" : "+") + s;
}

}  // namespace

std::string F(double v, int w, int d) {
  if (!std::isfinite(v)) return stars(w);
  char buf[512];
  int n = std::snprintf(buf, sizeof buf, "%.*f", d, v);
  if (n < 0 || n >= static_cast<int>(sizeof buf)) return stars(w);
  std::string s = buf;
  if (static_cast<int>(s.size()) > w) {
    // The optional leading zero goes first.
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
  }
  return rightAlign(s, w);
}

std::string I(long long v, int w) { return rightAlign(std::to_string(v), w); }

std::string E(double v, int w, int d) {
  if (!std::isfinite(v)) return stars(w);
  std::string dg;
  int ex = 0;
  digits(v, d, dg, ex);
  std::string exp = exponentText(ex, 2, true);
  if (exp.empty()) {
    exp = exponentText(ex, 3, false);
    if (exp.empty()) return stars(w);
  }
  std::string s = std::string(v < 0 ? "-" : "") + "0." + dg + exp;
  return rightAlign(s, w);
}

std::string ES(double v, int w, int d, int e) {
  if (!std::isfinite(v)) return stars(w);
  std::string dg;
  int ex = 0;
  digits(v, d + 1, dg, ex);
  if (v != 0.0) ex -= 1;
  std::string exp = exponentText(ex, e, true);
  if (exp.empty()) return stars(w);
  std::string s = std::string(v < 0 ? "-" : "") + dg.substr(0, 1) + "." + dg.substr(1) + exp;
  return rightAlign(s, w);
}

std::string listInt(long long v) {
  std::string s(1, ' ');
  s += std::to_string(v);
  return s;
}

std::string listReal(float v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %.9G", static_cast<double>(v));
  std::string s = buf;
  // A whole number still shows that it is a real.
  if (std::isfinite(v) && s.find_first_of(".E") == std::string::npos) s += ".0";
  return s;
}

std::string freeReal(float v, int digits) {
  const double x = static_cast<double>(v);
  if (!std::isfinite(x)) return " " + stars(digits + 7);
  char buf[64];
  // The decimal exponent after rounding to the digits kept decides the form.
  std::snprintf(buf, sizeof buf, "%.*e", digits - 1, x);
  const char* e = std::strchr(buf, 'e');
  const int ex = e ? std::atoi(e + 1) : 0;
  if (x == 0.0 || (ex >= -1 && ex < digits)) {
    std::snprintf(buf, sizeof buf, " %#.*f", x == 0.0 ? digits - 1 : digits - 1 - ex, x);
    return buf;
  }
  const std::string es = ES(x, 32, digits - 1, 2);
  return " " + es.substr(es.find_first_not_of(' '));
}

std::string trimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\0')) --n;
  return std::string(s.substr(0, n));
}

std::string trimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return std::string(s.substr(i));
}

std::string padRight(std::string_view s, std::size_t n) {
  std::string r(s.substr(0, n));
  r.resize(n, ' ');
  return r;
}

namespace {

// The text of the first list-directed value, or empty when there is none.
std::string firstItem(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t j = i;
  while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != ',' && text[j] != '/' &&
         text[j] != '\r' && text[j] != '\n' && text[j] != '\0')
    ++j;
  std::string item(text.substr(i, j - i));
  for (char& c : item)
    if (c == 'd' || c == 'D') c = 'E';
  return item;
}

bool plainNumber(const std::string& s, bool allowFraction) {
  if (s.empty()) return false;
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  bool digitsSeen = false;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; digitsSeen = true; }
  if (!allowFraction) return digitsSeen && i == s.size();
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; digitsSeen = true; }
  }
  if (!digitsSeen) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool expDigits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; expDigits = true; }
    if (!expDigits) return false;
  }
  return i == s.size();
}

}  // namespace

std::optional<float> readListReal(std::string_view text) {
  std::string item = firstItem(text);
  if (!plainNumber(item, true)) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  float v = std::strtof(item.c_str(), &end);
  if (end != item.c_str() + item.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<long long> readListInt(std::string_view text) {
  std::string item = firstItem(text);
  if (!plainNumber(item, false)) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(item.c_str(), &end, 10);
  if (errno == ERANGE || end != item.c_str() + item.size()) return std::nullopt;
  return v;
}

std::vector<ListItem> listItems(std::string_view line) {
  std::vector<ListItem> items;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '/') break;
    if (c == ' ' || c == '\t' || c == ',') {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != ',' && line[j] != '/') ++j;
    items.push_back({line.substr(i, j - i), i + 1});
    i = j;
  }
  return items;
}

namespace {

// The number of a fixed field without its surrounding blanks; empty with `problem` set when
// the field holds no single number.
std::string_view fieldNumber(std::string_view field, std::string& problem) {
  std::size_t a = 0, b = field.size();
  while (a < b && field[a] == ' ') ++a;
  while (b > a && field[b - 1] == ' ') --b;
  const std::string_view core = field.substr(a, b - a);
  if (core.empty()) {
    problem = "a blank field";
  } else if (core.find_first_not_of('*') == std::string_view::npos) {
    problem = "a field of asterisks (the value did not fit the field when it was written)";
  } else if (core.find(' ') != std::string_view::npos) {
    problem = "blanks inside the number";
  } else {
    return core;
  }
  return {};
}

// The text in quotes followed by what is wrong with it.
std::string quoted(std::string_view text, const char* what) {
  std::string s(1, '"');
  s += text;
  s += "\", ";
  s += what;
  return s;
}

void notANumber(std::string_view core, std::string& problem) { problem = quoted(core, "which is not a number"); }

}  // namespace

std::optional<float> readF(std::string_view field, int d, std::string& problem) {
  const std::string_view core = fieldNumber(field, problem);
  if (core.empty()) return std::nullopt;
  // sign, digits, optional point and digits, optional exponent (E or D, sign, digits)
  std::size_t i = 0;
  std::string digits;
  bool negative = false, point = false;
  long long exponent = 0;
  if (core[i] == '+' || core[i] == '-') negative = core[i++] == '-';
  std::size_t mantissaDigits = 0;
  long long decimals = 0;
  for (; i < core.size(); ++i) {
    const char c = core[i];
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
      ++mantissaDigits;
      if (point) ++decimals;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return notANumber(core, problem), std::nullopt;
  if (i < core.size()) {
    const char c = core[i];
    if (c != 'E' && c != 'e' && c != 'D' && c != 'd') return notANumber(core, problem), std::nullopt;
    ++i;
    bool expNegative = false;
    if (i < core.size() && (core[i] == '+' || core[i] == '-')) expNegative = core[i++] == '-';
    if (i == core.size()) return notANumber(core, problem), std::nullopt;
    for (; i < core.size(); ++i) {
      if (core[i] < '0' || core[i] > '9') return notANumber(core, problem), std::nullopt;
      if (exponent < 100000) exponent = exponent * 10 + (core[i] - '0');
    }
    if (expNegative) exponent = -exponent;
  }
  // Without a point the last d digits are the decimals.
  if (!point) decimals = d;
  const std::string text = std::string(negative ? "-" : "") + digits + "e" + std::to_string(exponent - decimals);
  char* end = nullptr;
  errno = 0;
  const float v = std::strtof(text.c_str(), &end);
  if (!std::isfinite(v)) {
    problem = quoted(core, "which is too large for a single-precision number");
    return std::nullopt;
  }
  return v;
}

std::optional<long long> readI(std::string_view field, std::string& problem) {
  const std::string_view core = fieldNumber(field, problem);
  if (core.empty()) return std::nullopt;
  std::size_t i = 0;
  const bool negative = core[0] == '-';
  if (core[0] == '+' || core[0] == '-') ++i;
  if (i == core.size()) return notANumber(core, problem), std::nullopt;
  if (core.size() - i > 18) {
    problem = quoted(core, "which is too large");
    return std::nullopt;
  }
  long long v = 0;
  for (; i < core.size(); ++i) {
    if (core[i] < '0' || core[i] > '9') {
      problem = quoted(core, "which is not a whole number");
      return std::nullopt;
    }
    v = v * 10 + (core[i] - '0');
  }
  return negative ? -v : v;
}

}  // namespace velmora::fmt
