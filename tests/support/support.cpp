// Temporary folders for tests that write files, and whole files read back.
#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tests/support/support.h"

namespace velmora::test {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::pair<unsigned, unsigned> pngSize(const std::string& path) {
  const std::string b = slurp(path);
  if (b.size() < 24 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
  const auto be = [&b](std::size_t at) {
    unsigned v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(b[at + k]);
    return v;
  };
  return {be(16), be(20)};
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  old_ = std::filesystem::current_path();
  dir_ = std::filesystem::temp_directory_path() /
         ("velmora-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
  std::filesystem::current_path(dir_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
  std::filesystem::remove_all(dir_, ec);
}

}  // namespace velmora::test
