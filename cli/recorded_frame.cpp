// Frame K of a recording, and the angles of a drawn frame.
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

bool parseAngles(const std::string& text, I32& xa, I32& ya) {
  int a = 0, b = 0, used = 0;
  if (std::sscanf(text.c_str(), "%d,%d%n", &a, &b, &used) != 2 || used != static_cast<int>(text.size())) return false;
  if (a < -360 || a > 360 || b < -360 || b > 360) return false;
  xa = a, ya = b;
  return true;
}

}  // namespace velmora::cli
