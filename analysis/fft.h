// FFT: in-place radix-2 complex transform of the light-curve spectrum.
#pragma once

#include <cstddef>
#include <span>

namespace velmora {

// Transforms NN complex values held in DATA as real, imaginary, real, ... (2 NN floats),
// X(k) = sum over j of x(j) exp(+2 pi i j k / NN), unnormalised, in place. NN must be a
// power of two and DATA must hold at least 2 NN values; otherwise std::invalid_argument.
void FFT(std::span<float> DATA, std::size_t NN);

}  // namespace velmora
