// Running velmora-cli from the tests.
#pragma once

#include <string>

namespace velmora::test {

struct CliResult {
  int code = -1;
  std::string out, err;
};

// Runs velmora-cli with the given argument text (shell words) in the current directory.
CliResult runCli(const std::string& args);

}  // namespace velmora::test
