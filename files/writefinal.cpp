// WRITEFINAL: the restart file, replaced as a whole at the end of an orbit, and the record of
// the force scheme beside it.
#include <filesystem>
#include <fstream>
#include <string>

#include "files/files.h"
#include "files/restart_file.h"
#include "io/file_error.h"
#include "io/file_io.h"
#include "io/fortran_format.h"

namespace velmora {

std::string restartName(const Sim& S) { return fmt::trimRight(S.RUNNAME) + "_rs.vlm"; }

// The new content goes to a temporary file beside the old one and is renamed over it, so an
// interruption never leaves a half-written restart point. A state with a value too large for
// its field would give a file of asterisks that no restart can read: the previous restart
// point is kept instead.
void WRITEFINAL(Sim& S, RunHost& H) {
  const std::string name = restartName(S);
  const std::string text = restartText(S);
  const std::size_t star = text.find('*');
  if (star != std::string::npos) {
    std::size_t line = 1;
    for (std::size_t k = 0; k < star; ++k) line += text[k] == '\n';
    const std::string what = line >= 3 ? "particle " + std::to_string(line - 2) : "line " + std::to_string(line);
    H.warn("restart file \"" + name + "\" not written at orbit " + std::to_string(S.IORBIT) + ": a value of " +
           what + " does not fit its field; the previous restart file is kept");
    return;
  }
  // The scheme's record first: a restart file never stands beside the record of another scheme
  // for longer than the rename takes.
  if (const std::string e = writeForcesRecord(name, S.FORCES); !e.empty())
    H.warn("restart file \"" + name + "\" not written at orbit " + std::to_string(S.IORBIT) + ": " + e +
           "; the previous restart file is kept");
  else if (const std::string err = replaceAtomically(name, text); !err.empty())
    H.warn(err + ": the previous restart file is kept");
}

std::string forcesRecordName(const std::string& restartFile) {
  const std::size_t slash = restartFile.find_last_of('/');
  const std::size_t dot = restartFile.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExt ? restartFile.substr(0, dot) : restartFile) + ".forces";
}

std::string writeForcesRecord(const std::string& restartFile, ForceScheme f) {
  const std::string rec = forcesRecordName(restartFile);
  if (f == ForceScheme::Synchronous) return replaceAtomically(rec, std::string(forceSchemeName(f)) + "\n");
  std::error_code ec;
  std::filesystem::remove(rec, ec);
  return ec ? "cannot remove the stale record \"" + rec + "\": " + ec.message() : std::string();
}

ForceScheme recordedForces(const std::string& restartFile) {
  const std::string rec = forcesRecordName(restartFile);
  std::error_code ec;
  if (!std::filesystem::exists(rec, ec)) return ForceScheme::Sequential;
  std::ifstream in(rec, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) throw FileError(rec, "cannot read the record of the run's force scheme");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  ForceScheme f = ForceScheme::Sequential;
  if (!forceSchemeNamed(line, f))
    throw FileError(rec, "names no force scheme (\"sequential\" or \"synchronous\" expected, got \"" +
                             line.substr(0, 40) + "\")");
  return f;
}

}  // namespace velmora
