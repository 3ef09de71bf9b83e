// TEXT2REAL: the number a dialog box shows, read back as a single-precision value.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// Reads one real value, list-directed, from the first LEN characters of TEXT.
// Returns nothing when the text does not hold a number.
std::optional<float> TEXT2REAL(std::string_view TEXT, int LEN);

// The whole number a box holds, read as a dialog reads an integer box: leading blanks, an
// optional minus sign and digits. Anything else, an empty box and a value outside the 32-bit
// range give 0.
std::int32_t boxInt(std::string_view text);

}  // namespace velmora
