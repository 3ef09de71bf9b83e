// Fuzzing the recording reader: any bytes are read frame by frame or refused with a FileError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "files/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    RecordingReader r(std::make_unique<std::istringstream>(bytes), "fuzz.vlm");
    RecordedFrame f;
    while (r.next(f)) {
      // Every frame read lies wholly inside the input, with its own particle count.
      if (r.offset() > size || f.X.size() != static_cast<std::size_t>(f.N)) std::abort();
    }
    if (r.offset() != size) std::abort();  // a clean end is the end of the input
    r.rewind();
    if (r.frames() != 0 || r.offset() != 0) std::abort();
  } catch (const FileError&) {
  }
  return 0;
}
