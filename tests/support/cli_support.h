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

// The files a `velmora-cli` run writes, copied into the current directory. The run is made once
// per build of velmora-cli and kept beside the tests (ctest starts each test in a process of its
// own, so a suite's set-up would otherwise repeat it for every test); a lock lets parallel tests
// share it. Returns the run's result when it had to be made now, else a result with code 0.
CliResult cachedRun(const std::string& args);

}  // namespace velmora::test
