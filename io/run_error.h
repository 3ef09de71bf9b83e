// RunError: a run, or a file it needs, that cannot go on; the base of every error the core and
// the readers throw.
#pragma once

#include <stdexcept>

namespace velmora {

// A run that cannot go on (a capacity of the tables is exhausted, a file refused). The step
// loop stops at the point of the fault; every file written so far is complete.
struct RunError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace velmora
