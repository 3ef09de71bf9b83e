// velmora-cli render movie: a recorded run as a movie file.
#pragma once

#include "cli/registry.h"

namespace velmora::cli {

// Adds "movie" under the render command; the returned command runs it once it was parsed.
Command addRenderMovie(CLI::App* render);

}  // namespace velmora::cli
