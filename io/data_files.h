// Where the data the program ships (start-up scene, help) is found.
#pragma once

#include <string>
#include <vector>

namespace velmora {

inline constexpr const char* DATA_FOLDER = "Auxillary Files";

// The folders searched, in order: the start-up directory's "Auxillary Files", then the data
// folder installed beside the program (<prefix>/share/velmora/Auxillary Files for a program in
// <prefix>/bin), then the source tree's (for a program run from its build folder).
std::vector<std::string> dataFolders(const std::string& progDir, const std::string& exeDir);

// The first existing "<folder>/<name>" of dataFolders(); the start-up directory's path when none exists.
std::string findDataFile(const std::string& progDir, const std::string& exeDir, const std::string& name);

}  // namespace velmora
