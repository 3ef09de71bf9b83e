// Telling a recording, a restart file and a light curve apart by their first bytes.
#include "files/run_file_kind.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "io/file_error.h"
#include "io/fortran_format.h"

namespace velmora {
namespace {

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

RunFileKind runFileKind(const std::string& path, const std::string& head) {
  for (char c : head) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 32 && c != '\r' && c != '\n' && c != '\t') || u >= 127) return RunFileKind::Recording;
  }
  const std::string first = head.substr(0, head.find('\n'));
  const std::size_t items = fmt::listItems(first).size();
  if (items >= 3) return RunFileKind::Restart;
  if (items >= 1) return RunFileKind::LightCurve;
  if (endsWith(path, "_rs.vlm")) return RunFileKind::Restart;
  if (endsWith(path, "_lc.vlm")) return RunFileKind::LightCurve;
  return RunFileKind::Recording;
}

RunFileKind readRunFileKind(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) throw FileError(path, std::string("cannot open: ") + std::strerror(errno));
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (head.empty()) throw FileError(path, "the file is empty");
  return runFileKind(path, head);
}

}  // namespace velmora
