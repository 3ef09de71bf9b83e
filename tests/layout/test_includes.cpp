// Includes run one way between the folders of the tree: io <- core <- files <- analysis,
// display <- display/gl <- shell <- shell/qt, study/ on analysis and shell, with cli/ and python/
// on top; Qt headers only in qt/ folders, OpenGL headers only in gl/ folders, HDF5 headers only
// in hdf5/ folders and cfitsio's only in fits/ folders. Every include of the tree is read and
// each one against these rules is reported with its file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/support/support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// The folders whose headers a folder may include, besides its own.
const std::map<std::string, std::set<std::string>>& allowed() {
  static const std::map<std::string, std::set<std::string>> a = {
      {"io", {}},
      {"core", {"io"}},
      {"files", {"io", "core"}},
      {"files/hdf5", {"io", "core", "files"}},
      {"analysis", {"io", "core", "files"}},
      {"analysis/fits", {"io", "core", "files", "analysis"}},
      {"display", {"io", "core", "files"}},
      {"display/gl", {"io", "core", "files", "analysis", "display"}},
      {"shell", {"io", "core", "files", "analysis", "display", "display/gl"}},
      {"shell/qt", {"io", "core", "files", "analysis", "display", "display/gl", "shell"}},
      {"study", {"io", "core", "files", "analysis", "display", "shell"}},
      {"cli", {"io", "core", "files", "files/hdf5", "analysis", "analysis/fits", "display", "display/gl", "shell", "study"}},
      {"python", {"io", "core", "files", "files/hdf5", "analysis", "analysis/fits", "display", "display/gl", "shell", "study"}},
  };
  return a;
}

// The edges that run back because the routines call each other so: STEP writes the run's
// files, and SETUP and RESTART build the star outlines of every phase.
const std::set<std::pair<std::string, std::string>>& backEdges() {
  static const std::set<std::pair<std::string, std::string>> e = {
      {"core/step.cpp", "files/files.h"},
      {"core/setup.cpp", "display/makeshow.h"},
      {"files/restart.cpp", "display/makeshow.h"},
  };
  return e;
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool isSource(const fs::path& p) {
  const auto e = p.extension();
  return e == ".h" || e == ".hpp" || e == ".cpp" || e == ".cc";
}

// Every include against the rules below `root`, one message per fault: "file:line: what".
std::vector<std::string> layoutFaults(const fs::path& root) {
  static const std::regex inc(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  static const std::regex qt(R"(^(Q[A-Za-z]+|Qt[A-Za-z]*/.*|q[a-z]+\.h)$)");
  static const std::regex gl(R"(^(GL|EGL|GLES[0-9]*|KHR)/.*$)");
  static const std::regex hdf5(R"(^(hdf5|H5[A-Za-z0-9_]*)\.h(pp)?$)");
  std::vector<std::string> faults;
  for (const auto& [folder, may] : allowed()) {
    const fs::path dir = root / folder;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (!entry.is_regular_file() || !isSource(entry.path())) continue;
      const std::string file = folder + "/" + entry.path().filename().string();
      const bool qtFolder = folder.ends_with("/qt") || folder == "qt";
      const bool glFolder = folder.ends_with("/gl") || folder == "gl";
      const bool hdf5Folder = folder.ends_with("/hdf5");
      const bool fitsFolder = folder.ends_with("/fits");
      std::ifstream in(entry.path());
      std::string line;
      for (int n = 1; std::getline(in, line); ++n) {
        std::smatch m;
        if (!std::regex_search(line, m, inc)) continue;
        const std::string name = m[2];
        const std::string where = file + ":" + std::to_string(n) + ": ";
        if (m[1] == "<") {
          if (!qtFolder && std::regex_match(name, qt))
            faults.push_back(where + "Qt header <" + name + "> outside a qt/ folder");
          if (!glFolder && std::regex_match(name, gl))
            faults.push_back(where + "OpenGL header <" + name + "> outside a gl/ folder");
          if (!hdf5Folder && std::regex_match(name, hdf5))
            faults.push_back(where + "HDF5 header <" + name + "> outside an hdf5/ folder");
          if (!fitsFolder && name == "fitsio.h")
            faults.push_back(where + "cfitsio header <" + name + "> outside a fits/ folder");
          continue;
        }
        const std::string target = folderOf(name);
        if (target.empty() || target == folder || may.count(target) != 0) continue;
        if (backEdges().count({file, name}) != 0) continue;
        if (allowed().count(target) == 0) continue;  // not a folder of the product (tests, generated files)
        faults.push_back(where + "includes \"" + name + "\": " + folder + "/ may not include " + target +
                         "/ (includes run io <- core <- files <- analysis, display <- display/gl <- shell <- "
                         "shell/qt, study/ on analysis and shell, with cli/ and python/ on top)");
      }
    }
  }
  std::sort(faults.begin(), faults.end());
  return faults;
}

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& f : v) s += f + "\n";
  return s;
}

TEST(Layout, EveryIncludeRunsOneWay) {
  const auto faults = layoutFaults(VELMORA_SOURCE_DIR);
  EXPECT_TRUE(faults.empty()) << joined(faults);
}

TEST(Layout, TheForcedBackEdgesAreStillThere) {
  // An edge listed as allowed that no longer exists should leave the list.
  for (const auto& [file, header] : backEdges()) {
    std::ifstream in(fs::path(VELMORA_SOURCE_DIR) / file);
    ASSERT_TRUE(in) << file;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("#include \"" + header + "\""), std::string::npos) << file << " no longer includes " << header;
  }
}

// A small tree with one fault of each kind: each is named with its file and line, and the
// allowed includes pass.
TEST(Layout, PlantedFaultsAreNamedWithFileAndLine) {
  test::TempDir dir;
  const auto put = [](const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << text;
  };
  put("core/fine.cpp", "// ok\n#include \"core/state.h\"\n#include \"io/binary.h\"\n#include <cmath>\n");
  put("core/step.cpp", "#include \"files/files.h\"\n");
  put("core/bad.cpp", "// one\n// two\n#include \"files/recording.h\"\n");
  put("display/view.cpp", "#include <GL/gl.h>\n#include <QWidget>\n");
  put("display/gl/draw.cpp", "#include <GL/gl.h>\n#include \"display/view_rules.h\"\n");
  put("files/hdf5/write.cpp", "#include <hdf5.h>\n#include \"files/recording.h\"\n#include \"analysis/fft.h\"\n");
  put("files/recording.cpp", "#include <hdf5.h>\n");
  put("cli/main.cpp", "#include \"shell/qt/Velmora.h\"\n#include \"shell/restart_rules.h\"\n");
  put("analysis/fits/obs.cpp", "#include <fitsio.h>\n#include \"analysis/observe.h\"\n");
  put("analysis/obs.cpp", "#include <fitsio.h>\n#include \"analysis/fits/obs_fits.h\"\n");
  put("study/row.cpp", "#include \"shell/headless_run.h\"\n#include \"cli/registry.h\"\n");
  put("shell/run.cpp", "#include \"study/study_row.h\"\n");
  auto faults = layoutFaults(dir.path());
  ASSERT_EQ(faults.size(), 10u) << joined(faults);
  EXPECT_EQ(faults[0], "analysis/obs.cpp:1: cfitsio header <fitsio.h> outside a fits/ folder");
  EXPECT_TRUE(faults[1].starts_with("analysis/obs.cpp:2: includes \"analysis/fits/obs_fits.h\"")) << faults[1];
  faults.erase(faults.begin(), faults.begin() + 2);
  EXPECT_TRUE(faults[0].starts_with("cli/main.cpp:1: includes \"shell/qt/Velmora.h\"")) << faults[0];
  EXPECT_TRUE(faults[1].starts_with("core/bad.cpp:3: includes \"files/recording.h\": core/ may not include files/"))
      << faults[1];
  EXPECT_EQ(faults[2], "display/view.cpp:1: OpenGL header <GL/gl.h> outside a gl/ folder");
  EXPECT_EQ(faults[3], "display/view.cpp:2: Qt header <QWidget> outside a qt/ folder");
  EXPECT_TRUE(faults[4].starts_with("files/hdf5/write.cpp:3: includes \"analysis/fft.h\"")) << faults[4];
  EXPECT_EQ(faults[5], "files/recording.cpp:1: HDF5 header <hdf5.h> outside an hdf5/ folder");
  EXPECT_TRUE(faults[6].starts_with("shell/run.cpp:1: includes \"study/study_row.h\": shell/ may not include study/"))
      << faults[6];
  EXPECT_TRUE(faults[7].starts_with("study/row.cpp:2: includes \"cli/registry.h\": study/ may not include cli/"))
      << faults[7];
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A merge left unresolved leaves its markers in a file that no compiler reads (the README, a
// script, a Python file); every text file of the tree is read for them.
TEST(Layout, NoFileHoldsAnUnresolvedMerge) {
  const fs::path root = VELMORA_SOURCE_DIR;
  const std::set<std::string> skip = {".git", "build", "third_party"};
  std::vector<std::string> found;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().filename().string();
    if (it->is_directory() && (skip.count(name) > 0 || name.rfind("build", 0) == 0)) {
      it.disable_recursion_pending();
      continue;
    }
    const std::string ext = it->path().extension().string();
    static const std::set<std::string> text = {".md", ".txt", ".cpp", ".h", ".py", ".sh", ".cmake", ".tsv", ""};
    if (!it->is_regular_file() || text.count(ext) == 0 || it->file_size() > 2'000'000) continue;
    std::ifstream in(it->path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
      if (line.rfind("<<<<<<< ", 0) == 0 || line.rfind(">>>>>>> ", 0) == 0)
        found.push_back(fs::relative(it->path(), root).string() + ":" + std::to_string(n) + ": " + line);
  }
  EXPECT_TRUE(found.empty()) << [&] {
    std::string s;
    for (const auto& f : found) s += f + "\n";
    return s;
  }();
}

}  // namespace
}  // namespace velmora
