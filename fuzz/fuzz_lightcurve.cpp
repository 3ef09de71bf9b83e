// Fuzzing the light-curve reader: any text is read or refused with a LightCurveError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/lightcurve.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const LightCurve lc = parseLightCurve(text, "fuzz_lc.vlm");
    if (lc.T.size() != lc.L.size()) std::abort();
  } catch (const LightCurveError&) {
  }
  return 0;
}
