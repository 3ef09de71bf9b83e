// WRITEFINAL: the restart file, replaced as a whole at the end of an orbit.
#include <string>

#include "files/files.h"
#include "files/restart_file.h"
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
  if (const std::string err = replaceAtomically(name, text); !err.empty())
    H.warn(err + ": the previous restart file is kept");
}

}  // namespace velmora
