// The check of the command line's thread count (--threads N).
#pragma once

#include <string>

namespace velmora::cli {

// Largest --threads accepted.
inline constexpr int MAX_THREADS = 1024;

// "--threads must be between 1 and 1024 (got 0)", or empty when n can be used.
std::string threadsProblem(long long n);

}  // namespace velmora::cli
