// TEXT2REAL: the number a dialog box shows, read back as a single-precision value.
#pragma once

#include <optional>
#include <string_view>

namespace velmora {

// Reads one real value, list-directed, from the first LEN characters of TEXT.
// Returns nothing when the text does not hold a number.
std::optional<float> TEXT2REAL(std::string_view TEXT, int LEN);

}  // namespace velmora
