// Frame K of a recording.
#include "cli/recorded_frame.h"

#include <cstdio>

#include "cli/registry.h"

namespace velmora::cli {

int readRecordedFrame(const std::string& cmd, const std::string& path, long long K,
                      std::unique_ptr<RecordingReader>& reader, RecordedFrame& frame) {
  if (K < 1) return usageError(cmd, "--frame must be at least 1 (got " + std::to_string(K) + ")");
  try {
    reader = std::make_unique<RecordingReader>(path);
    while (reader->frames() < K)
      if (!reader->next(frame))
        return usageError(cmd, "--frame " + std::to_string(K) + " is beyond the " + std::to_string(reader->frames()) +
                                   " frames of " + path);
  } catch (const FileError& e) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), e.what());
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

}  // namespace velmora::cli
