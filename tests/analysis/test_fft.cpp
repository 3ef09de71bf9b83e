// FFT against an independent transform (FFTW, double precision) and a case worked by hand.
#include <gtest/gtest.h>

#include <fftw3.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "analysis/fft.h"

namespace velmora {
namespace {

class FftAgainstFftw : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FftAgainstFftw, RandomDataWithinSinglePrecision) {
  const std::size_t NN = GetParam();
  std::mt19937 gen(static_cast<unsigned>(NN) * 7919u + 1u);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> data(2 * NN);
  for (float& v : data) v = u(gen);

  const int n = static_cast<int>(NN);
  fftw_complex* in = fftw_alloc_complex(NN);
  fftw_complex* out = fftw_alloc_complex(NN);
  // FFTW_BACKWARD is the +1 sign in the exponent, unnormalised.
  fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_BACKWARD, FFTW_ESTIMATE);
  double norm2 = 0;
  for (std::size_t j = 0; j < NN; ++j) {
    in[j][0] = data[2 * j];
    in[j][1] = data[2 * j + 1];
    norm2 += in[j][0] * in[j][0] + in[j][1] * in[j][1];
  }
  fftw_execute(plan);

  FFT(data, NN);

  double worst = 0;
  for (std::size_t k = 0; k < NN; ++k) {
    worst = std::max(worst, std::fabs(data[2 * k] - out[k][0]));
    worst = std::max(worst, std::fabs(data[2 * k + 1] - out[k][1]));
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
  // Rounding of a radix-2 transform grows with the number of passes.
  const double passes = std::log2(static_cast<double>(NN)) + 1;
  EXPECT_LE(worst, 2 * FLT_EPSILON * passes * std::sqrt(norm2)) << "NN " << NN;
}

INSTANTIATE_TEST_SUITE_P(Lengths, FftAgainstFftw, ::testing::Values(1, 2, 4, 8, 32, 256, 1024, 4096, 16384),
                         [](const auto& tc) { return "NN" + std::to_string(tc.param); });

TEST(Fft, PlusSignUnnormalisedByHand) {
  // x = 1, 2, 3, 4: X(k) = sum x(j) exp(+2 pi i j k / 4).
  std::vector<float> d = {1, 0, 2, 0, 3, 0, 4, 0};
  FFT(d, 4);
  const std::vector<float> want = {10, 0, -2, -2, -2, 0, -2, 2};
  for (std::size_t i = 0; i < d.size(); ++i) EXPECT_FLOAT_EQ(d[i], want[i]) << i;
}

TEST(Fft, RefusesALengthItCannotTransform) {
  std::vector<float> d(24);
  EXPECT_THROW(FFT(d, 12), std::invalid_argument);  // not a power of two
  EXPECT_THROW(FFT(d, 16), std::invalid_argument);  // more than the data hold
  EXPECT_THROW(FFT(d, 0), std::invalid_argument);
}

}  // namespace
}  // namespace velmora
