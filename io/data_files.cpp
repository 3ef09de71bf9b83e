// Lookup of the shipped data files.
#include "io/data_files.h"

#include <filesystem>

namespace velmora {

std::vector<std::string> dataFolders(const std::string& progDir, const std::string& exeDir) {
  namespace fs = std::filesystem;
  std::vector<std::string> folders{(fs::path(progDir) / DATA_FOLDER).string()};
  if (!exeDir.empty()) folders.push_back((fs::path(exeDir) / ".." / "share" / "velmora" / DATA_FOLDER).string());
#ifdef VELMORA_DATA_SOURCE_DIR
  folders.push_back((fs::path(VELMORA_DATA_SOURCE_DIR) / DATA_FOLDER).string());
#endif
  return folders;
}

std::string findDataFile(const std::string& progDir, const std::string& exeDir, const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const auto& folder : dataFolders(progDir, exeDir)) {
    const fs::path p = fs::path(folder) / name;
    if (fs::is_regular_file(p, ec)) return p.lexically_normal().string();
  }
  return (fs::path(progDir) / DATA_FOLDER / name).string();
}

}  // namespace velmora
