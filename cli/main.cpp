// velmora-cli: runs, restarts, light-curve analysis, file inspection and rendering without a window.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/registry.h"
#include "io/fortran_format.h"
#include "shell/headless_run.h"

namespace velmora::cli {
namespace {

std::vector<std::pair<int, Adder>>& adders() {
  static std::vector<std::pair<int, Adder>> list;
  return list;
}

}  // namespace

Register::Register(int order, Adder add) { adders().emplace_back(order, add); }

int usageError(const std::string& command, const std::string& message) {
  std::cerr << "velmora-cli " << command << ": " << message << "\n";
  return EXIT_USAGE;
}

namespace {
std::string typedCommandLine;
}

const std::string& commandLine() { return typedCommandLine; }

bool inRange(const std::string& command, const std::string& option, double value, double lo, double hi,
             int decimals) {
  const std::string p = rangeProblem(option, value, lo, hi, decimals);
  return p.empty() || (usageError(command, p), false);
}

}  // namespace velmora::cli

int main(int argc, char** argv) {
  using namespace velmora::cli;
  CLI::App app{"Velmora: accretion-disk simulator of a cataclysmic variable, without a window.\n"
               "Runs and continues simulations, inspects and analyses their files, renders views to PNG,\n"
               "runs parameter studies here or on a Slurm cluster."};
  app.set_version_flag("--version", std::string("velmora-cli ") + VELMORA_VERSION);
  for (int i = 0; i < argc; ++i) typedCommandLine += (i ? " " : "") + std::string(argv[i]);
  app.require_subcommand(1);
  app.fallthrough(false);

  auto list = adders();
  std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Command> commands;
  for (const auto& [order, add] : list) commands.push_back(add(app));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return EXIT_USAGE;
  }
  for (auto& c : commands)
    if (c.app->parsed()) return c.run();
  return EXIT_USAGE;
}
