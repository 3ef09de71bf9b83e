// Run names from chosen paths.
#include "shell/file_name_rules.h"

namespace velmora {

bool splitRunName(const std::string& path, RunFileName& out) {
  const std::size_t slash = path.rfind('/');
  out.folder = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = file.rfind('.');
  out.RUNNAME = dot == std::string::npos ? file : file.substr(0, dot);
  out.RUNEXT = dot == std::string::npos ? std::string() : file.substr(dot + 1, 3);
  return !out.RUNNAME.empty() && out.RUNNAME.size() <= RUNNAME_CHARS;
}

}  // namespace velmora
