// Runs velmora-cli with its output captured in files.
#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora::test {

CliResult runCli(const std::string& args) {
  const std::string cmd =
      std::string("'") + VELMORA_CLI_PATH + "' " + args + " > cli-out.txt 2> cli-err.txt < /dev/null";
  const int status = std::system(cmd.c_str());
  CliResult r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = slurp("cli-out.txt");
  r.err = slurp("cli-err.txt");
  return r;
}

}  // namespace velmora::test
