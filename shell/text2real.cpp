// TEXT2REAL: free-format reading of a real from a box text.
#include "shell/text2real.h"

#include "files/fortran_format.h"

namespace velmora {

std::optional<float> TEXT2REAL(std::string_view TEXT, int LEN) {
  const auto n = static_cast<std::size_t>(LEN < 0 ? 0 : LEN);
  return fmt::readListReal(TEXT.substr(0, n < TEXT.size() ? n : TEXT.size()));
}

}  // namespace velmora
