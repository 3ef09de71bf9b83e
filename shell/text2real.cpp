// TEXT2REAL: free-format reading of a real from a box text.
#include "shell/text2real.h"

#include "io/fortran_format.h"

namespace velmora {

std::optional<float> TEXT2REAL(std::string_view TEXT, int LEN) {
  const auto n = static_cast<std::size_t>(LEN < 0 ? 0 : LEN);
  return fmt::readListReal(TEXT.substr(0, n < TEXT.size() ? n : TEXT.size()));
}

std::int32_t boxInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  if (i == text.size()) return 0;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    v = v * 10 + (text[i] - '0');
    if (v > 2147483648LL) return 0;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return 0;
  return static_cast<std::int32_t>(v);
}

}  // namespace velmora
