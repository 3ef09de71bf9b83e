// Subcommands of velmora-cli register themselves here, one source file each.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

namespace velmora::cli {

// Exit codes of the command line.
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;   // a bad file or a failed run
inline constexpr int EXIT_USAGE = 2;    // a usage error
inline constexpr int EXIT_STOPPED = 130;  // stopped by Ctrl-C

struct Command {
  CLI::App* app = nullptr;
  std::function<int()> run;  // called once the command line is parsed; returns the exit code
};
using Adder = Command (*)(CLI::App& parent);

struct Register {
  Register(int order, Adder add);
};

// The command line as typed (the program and its arguments, blank-separated), for a run's record.
const std::string& commandLine();

// Prints "velmora-cli <command>: <message>" on standard error and returns EXIT_USAGE.
int usageError(const std::string& command, const std::string& message);

// Range check of a command-line value; prints the message naming the option and its range.
bool inRange(const std::string& command, const std::string& option, double value, double lo, double hi,
             int decimals);

}  // namespace velmora::cli
