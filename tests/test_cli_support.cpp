// Runs velmora-cli with its output captured in files.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/cli_support.h"

namespace velmora::test {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

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
