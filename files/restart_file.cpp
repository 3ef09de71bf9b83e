// Restart file: the fixed-column text of WRITEFINAL and the reader RESTART uses.
#include "files/restart_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "io/fortran_format.h"

namespace velmora {

std::vector<I32> RestartFile::levelCounts() const {
  std::vector<I32> n(MAXLEV + 1, 0);
  for (const auto& p : particles) n[static_cast<std::size_t>(p.LEVEL)] += 1;
  return n;
}

// Line 1 (1X,7(F20.10,1X),I6,1X,I6), line 2 list-directed, then (1X,11(F20.10,1X),I1) per particle.
std::string restartText(const Sim& S) {
  std::string t;
  t.reserve(static_cast<std::size_t>(S.NPART) * (RESTART_PARTICLE_LENGTH + 2) + 300);
  t += " ";
  for (float v : {S.M1, S.M2, S.ASEP, S.PORB, S.RSONE, S.TINJ, S.HSPH}) t += fmt::F(v, 20, 10) + " ";
  t += fmt::I(S.NPART, 6) + " " + fmt::I(S.NLEVELS, 6) + "\r\n";
  t += fmt::listInt(S.IORBIT) + fmt::listReal(S.ALPHA) + fmt::listReal(S.BETA) + "\r\n";
  for (int i = 1; i <= S.NPART; ++i) {
    t += " ";
    for (float v : {S.X(i), S.Y(i), S.Z(i), S.VHX(i), S.VHY(i), S.VHZ(i), S.AHX(i), S.AHY(i), S.AHZ(i), S.U(i),
                     S.CS(i)})
      t += fmt::F(v, 20, 10) + " ";
    t += fmt::I(S.LEVEL(i), 1) + "\r\n";
  }
  return t;
}

namespace {

constexpr int kFieldWidth = 20, kDecimals = 10;

// The lines of a text, each without its LF or CR LF.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  long long number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  long long number_ = 0;
};

std::string shown(std::string_view s) {
  std::string r;
  for (char c : s.substr(0, 24)) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 32 && u < 127) {
      r += c;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      r += buf;
    }
  }
  return "\"" + r + (s.size() > 24 ? "...\"" : "\"");
}

// One line of fixed columns: its length, the blanks between fields, and the fields.
class FixedLine {
 public:
  FixedLine(const std::string& name, long long number, std::string_view line, const char* what)
      : name_(name), number_(number), line_(line), what_(what) {}

  [[noreturn]] void fail(std::size_t column, const std::string& problem) const {
    throw FileError::atLine(name_, number_, static_cast<long long>(column), problem);
  }

  void length(std::size_t expected) const {
    if (line_.size() < expected)
      fail(line_.size() + 1, std::string("the line is short: expected ") + what_ + " of " +
                                 std::to_string(expected) + " characters, found " + std::to_string(line_.size()));
    const std::string_view rest = line_.substr(expected);
    const std::size_t extra = rest.find_first_not_of(' ');
    if (extra != std::string_view::npos)
      fail(expected + extra + 1, "expected the end of the line, found " + shown(rest.substr(extra)));
  }
  void blank(std::size_t column) const {
    const char c = line_[column - 1];
    if (c != ' ') fail(column, "expected a blank between fields, found " + shown(line_.substr(column - 1, 1)));
  }
  float real(std::size_t column, const std::string& field) const {
    std::string problem;
    const auto v = fmt::readF(line_.substr(column - 1, kFieldWidth), kDecimals, problem);
    if (!v) fail(column, "expected " + field + " as F20.10, found " + problem);
    return *v;
  }
  long long integer(std::size_t column, std::size_t width, const std::string& field) const {
    std::string problem;
    const auto v = fmt::readI(line_.substr(column - 1, width), problem);
    if (!v) fail(column, "expected " + field + " as I" + std::to_string(width) + ", found " + problem);
    return *v;
  }

 private:
  const std::string& name_;
  long long number_;
  std::string_view line_;
  const char* what_;
};

// Column of the k-th (0-based) F20.10 field after the leading blank.
constexpr std::size_t fieldColumn(std::size_t k) { return 2 + 21 * k; }

std::string number(float v) { return fmt::trimRight(fmt::listReal(v)).substr(1); }

void readHead(RestartFile& R, const FixedLine& f) {
  f.length(RESTART_HEAD_LENGTH);
  f.blank(1);
  float* reals[7] = {&R.M1, &R.M2, &R.ASEP, &R.PORB, &R.RSONE, &R.TINJ, &R.HSPH};
  const char* names[7] = {"M1", "M2", "ASEP", "PORB", "RSONE", "TINJ", "HSPH"};
  for (std::size_t k = 0; k < 7; ++k) {
    *reals[k] = f.real(fieldColumn(k), names[k]);
    f.blank(fieldColumn(k) + 20);
  }
  const long long npart = f.integer(fieldColumn(7), 6, "NPART");
  f.blank(fieldColumn(7) + 6);
  const long long nlevels = f.integer(fieldColumn(7) + 7, 6, "NLEVELS");

  // Values the run cannot start from: the geometry set-up divides by the masses and takes
  // their powers, the kernel divides by the smoothing length.
  if (!(R.M1 > 0.0f)) f.fail(fieldColumn(0), "M1 is " + number(R.M1) + ", expected a mass above 0");
  if (!(R.M2 > 0.0f)) f.fail(fieldColumn(1), "M2 is " + number(R.M2) + ", expected a mass above 0");
  if (R.TINJ < 0.0f) f.fail(fieldColumn(5), "TINJ is " + number(R.TINJ) + ", expected a temperature of 0 or more");
  if (!(R.HSPH > 0.0f)) f.fail(fieldColumn(6), "HSPH is " + number(R.HSPH) + ", expected a smoothing length above 0");
  if (npart < 0 || npart > MAXPART)
    f.fail(fieldColumn(7), "NPART is " + std::to_string(npart) + ", expected 0 to " + std::to_string(MAXPART) +
                               " particles");
  if (nlevels < 1 || nlevels > MAXLEV)
    f.fail(fieldColumn(7) + 7, "NLEVELS is " + std::to_string(nlevels) + ", expected 1 to 8 levels");
  R.NPART = static_cast<I32>(npart);
  R.NLEVELS = static_cast<I16>(nlevels);
}

void readOrbitLine(RestartFile& R, const std::string& name, long long lineNo, std::string_view line) {
  const auto items = fmt::listItems(line);
  auto fail = [&](std::size_t column, const std::string& problem) {
    throw FileError::atLine(name, lineNo, static_cast<long long>(column), problem);
  };
  const char* names[3] = {"IORBIT (the orbits done, a whole number)", "ALPHA", "BETA"};
  if (items.size() < 3)
    fail(line.size() + 1, std::string("the line is short: expected IORBIT, ALPHA and BETA, found ") +
                              std::to_string(items.size()) + " value" + (items.size() == 1 ? "" : "s"));
  if (items.size() > 3) fail(items[3].column, "expected the end of the line after IORBIT, ALPHA and BETA, found " +
                                                 shown(items[3].text));
  const auto orbit = fmt::readListInt(items[0].text);
  if (!orbit) fail(items[0].column, std::string("expected ") + names[0] + ", found " + shown(items[0].text));
  if (*orbit < 0 || *orbit > 2147483647LL)
    fail(items[0].column, "IORBIT is " + std::to_string(*orbit) + ", expected 0 or more orbits");
  R.IORBIT = static_cast<I32>(*orbit);
  float* reals[2] = {&R.ALPHA, &R.BETA};
  for (std::size_t k = 1; k <= 2; ++k) {
    const auto v = fmt::readListReal(items[k].text);
    if (!v) fail(items[k].column, std::string("expected ") + names[k] + " as a number, found " + shown(items[k].text));
    if (*v < 0.0f) fail(items[k].column, std::string(names[k]) + " is " + number(*v) + ", expected 0 or more");
    *reals[k - 1] = *v;
  }
}

void readParticle(RestartFile::Particle& p, I16 nlevels, long long slot, const FixedLine& f) {
  f.length(RESTART_PARTICLE_LENGTH);
  f.blank(1);
  float* reals[11] = {&p.X, &p.Y, &p.Z, &p.VHX, &p.VHY, &p.VHZ, &p.AHX, &p.AHY, &p.AHZ, &p.U, &p.CS};
  const char* names[11] = {"X", "Y", "Z", "VHX", "VHY", "VHZ", "AHX", "AHY", "AHZ", "U", "CS"};
  for (std::size_t k = 0; k < 11; ++k) {
    *reals[k] = f.real(fieldColumn(k), names[k]);
    f.blank(fieldColumn(k) + 20);
  }
  const std::string who = " of particle " + std::to_string(slot);
  if (p.U < 0.0f) f.fail(fieldColumn(9), "U" + who + " is " + number(p.U) + ", expected an energy of 0 or more");
  if (p.CS < 0.0f) f.fail(fieldColumn(10), "CS" + who + " is " + number(p.CS) + ", expected a sound speed of 0 or more");
  const long long level = f.integer(fieldColumn(11), 1, "LEVEL");
  if (level < 1 || level > nlevels)
    f.fail(fieldColumn(11), "LEVEL" + who + " is " + std::to_string(level) + ", expected 1 to " +
                                std::to_string(nlevels) + " (the file's level count)");
  p.LEVEL = static_cast<I16>(level);
}

}  // namespace

RestartFile parseRestartFile(std::string_view text, const std::string& name) {
  RestartFile R;
  Lines lines(text);
  std::string_view line;
  if (!lines.next(line)) throw FileError::atLine(name, 1, 1, "the file is empty: expected the head line of M1, M2, ...");
  readHead(R, FixedLine(name, lines.number(), line, "the head line (7 fields F20.10 and 2 fields I6)"));
  if (!lines.next(line))
    throw FileError::atLine(name, 2, 1, "the file ends after line 1: expected IORBIT, ALPHA and BETA");
  readOrbitLine(R, name, lines.number(), line);

  R.particles.resize(static_cast<std::size_t>(R.NPART));
  for (I32 i = 1; i <= R.NPART; ++i) {
    if (!lines.next(line))
      throw FileError::atLine(name, lines.number() + 1, 1,
                              "the file ends after " + std::to_string(i - 1) + " of " + std::to_string(R.NPART) +
                                  " particle lines");
    readParticle(R.particles[static_cast<std::size_t>(i - 1)], R.NLEVELS, i,
                 FixedLine(name, lines.number(), line, "a particle line (11 fields F20.10 and the level as I1)"));
  }
  while (lines.next(line)) {
    const std::size_t c = line.find_first_not_of(" \t");
    if (c != std::string_view::npos)
      throw FileError::atLine(name, lines.number(), static_cast<long long>(c + 1),
                              "expected the end of the file after the " + std::to_string(R.NPART) +
                                  " particles that line 1 announces, found " + shown(line.substr(c)));
  }
  return R;
}

RestartFile readRestartFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) throw FileError(path, std::string("cannot open: ") + std::strerror(errno));
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) throw FileError(path, "cannot be read");
  return parseRestartFile(s.str(), path);
}

void applyRestartFile(Sim& S, const RestartFile& R) {
  S.M1 = R.M1;
  S.M2 = R.M2;
  S.ASEP = R.ASEP;
  S.PORB = R.PORB;
  S.RSONE = R.RSONE;
  S.TINJ = R.TINJ;
  S.HSPH = R.HSPH;
  S.NPART = R.NPART;
  S.NLEVELS = R.NLEVELS;
  S.IORBIT = R.IORBIT;
  S.ALPHA = R.ALPHA;
  S.BETA = R.BETA;
  S.NLEV.fill(0);
  for (I32 i = 1; i <= R.NPART; ++i) {
    const auto& p = R.particles[static_cast<std::size_t>(i - 1)];
    S.X(i) = p.X;
    S.Y(i) = p.Y;
    S.Z(i) = p.Z;
    S.VHX(i) = p.VHX;
    S.VHY(i) = p.VHY;
    S.VHZ(i) = p.VHZ;
    S.AHX(i) = p.AHX;
    S.AHY(i) = p.AHY;
    S.AHZ(i) = p.AHZ;
    S.U(i) = p.U;
    S.CS(i) = p.CS;
    S.LEVEL(i) = p.LEVEL;
    const I16 L = p.LEVEL;
    S.NLEV(L) = static_cast<I16>(S.NLEV(L) + 1);
    S.LEVLIST(S.NLEV(L), L) = static_cast<I16>(i);
  }
}

}  // namespace velmora
