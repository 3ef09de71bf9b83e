// How a path chosen in a file dialog becomes the run's base name.
#pragma once

#include <string>

namespace velmora {

struct RunFileName {
  std::string folder;   // the chosen file's folder (empty when none was given)
  std::string RUNNAME;  // the file name without its folder and extension
  std::string RUNEXT;   // up to three characters after the extension's dot
};

inline constexpr std::size_t RUNNAME_CHARS = 40;

// Splits a chosen path: the name is what lies between the last '/' and the last dot of the
// file name. Returns false when the name is empty or longer than RUNNAME_CHARS characters.
bool splitRunName(const std::string& path, RunFileName& out);

}  // namespace velmora
