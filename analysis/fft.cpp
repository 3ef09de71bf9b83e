// FFT: bit-reversal reordering, then Danielson-Lanczos passes with a trigonometric twiddle
// recurrence carried in double precision; the butterflies work in single precision.
#include "analysis/fft.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace velmora {

void FFT(std::span<float> DATA, std::size_t NN) {
  if (NN == 0 || (NN & (NN - 1)) != 0) throw std::invalid_argument("FFT: the length must be a power of two");
  if (DATA.size() / 2 < NN) throw std::invalid_argument("FFT: the data hold fewer than 2 NN values");
  const std::size_t n = 2 * NN;
  auto d = [&DATA](std::size_t i) -> float& { return DATA[i - 1]; };  // d(1) .. d(n), as the passes count

  // Bit-reversal reordering of the complex entries.
  std::size_t j = 1;
  for (std::size_t i = 1; i < n; i += 2) {
    if (j > i) {
      std::swap(d(j), d(i));
      std::swap(d(j + 1), d(i + 1));
    }
    std::size_t m = NN;
    while (m >= 2 && j > m) {
      j -= m;
      m /= 2;
    }
    j += m;
  }

  // Danielson-Lanczos passes; mmax counts reals.
  for (std::size_t mmax = 2; mmax < n; mmax *= 2) {
    const std::size_t istep = 2 * mmax;
    const double theta = 6.28318530717959 / static_cast<double>(mmax);
    const double s = std::sin(0.5 * theta);
    const double wpr = -2.0 * s * s;
    const double wpi = std::sin(theta);
    double wr = 1.0, wi = 0.0;
    for (std::size_t m = 1; m < mmax; m += 2) {
      const float fwr = static_cast<float>(wr);
      const float fwi = static_cast<float>(wi);
      for (std::size_t i = m; i <= n; i += istep) {
        const std::size_t k = i + mmax;
        const float tempr = fwr * d(k) - fwi * d(k + 1);
        const float tempi = fwr * d(k + 1) + fwi * d(k);
        d(k) = d(i) - tempr;
        d(k + 1) = d(i + 1) - tempi;
        d(i) = d(i) + tempr;
        d(i + 1) = d(i + 1) + tempi;
      }
      const double wtemp = wr;
      wr = wr + (wr * wpr - wi * wpi);
      wi = wi + (wtemp * wpi + wi * wpr);
    }
  }
}

}  // namespace velmora
