// SHA-256 of a file, to name the exact restart file a continued run started from.
#pragma once

#include <string>

namespace velmora {

// The lower-case hex digest of the file's bytes; empty when the file cannot be read.
std::string sha256OfFile(const std::string& path);

}  // namespace velmora
