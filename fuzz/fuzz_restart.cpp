// Fuzzing the restart reader: any text is read or refused with a FileError; a file that is read
// goes into a state, and writing that state and reading it back gives the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "files/restart_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  static const auto S = std::make_unique<Sim>();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const RestartFile R = parseRestartFile(text, "fuzz_rs.vlm");
    applyRestartFile(*S, R);
    I32 listed = 0;
    for (int L = 1; L <= MAXLEV; ++L) listed += S->NLEV(L);
    if (listed != S->NPART) std::abort();

    const std::string written = restartText(*S);
    if (written.find('*') != std::string::npos) return 0;  // a value too large to write back
    // A positive mass or smoothing length below the tenth decimal is written as zero, which
    // the reader refuses; everything else reads back.
    const bool roundsToZero = R.M1 < 5e-11f || R.M2 < 5e-11f || R.HSPH < 5e-11f;
    try {
      applyRestartFile(*S, parseRestartFile(written, "written_rs.vlm"));
    } catch (const FileError&) {
      if (roundsToZero) return 0;
      std::abort();
    }
    if (restartText(*S) != written) std::abort();
  } catch (const FileError&) {
  }
  return 0;
}
