// Light-curve analysis of a 50-orbit range (10000 samples, NFFT 16384): the transform alone, the
// analysis of samples in memory, and what one repaint of the plot does with the files.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <unistd.h>
#include <vector>

#include "analysis/fft.h"
#include "analysis/lc_analysis.h"
#include "files/lightcurve.h"
#include "io/file_io.h"

namespace velmora {
namespace {

constexpr int ORBITS = 50;

LightCurve fiftyOrbits() {
  LightCurve lc;
  lc.file = "bench_lc.vlm";
  for (int i = 1; i <= ORBITS * LC_SAMPLES_PER_ORBIT; ++i) {
    const double t = i / 200.0, noise = std::sin(i * 12.9898) * 43758.5453;
    lc.T.push_back(static_cast<float>(t));
    lc.L.push_back(static_cast<float>(10.0 * (1 + 0.05 * std::sin(2 * std::numbers::pi * t) +
                                              0.002 * (noise - std::floor(noise) - 0.5))));
  }
  lc.announced = lc.samples();
  return lc;
}

void BM_FFT16384(benchmark::State& state) {
  const LightCurve lc = fiftyOrbits();
  std::vector<float> data(2 * 16384, 0.0f), work;
  for (std::size_t j = 0; j < lc.L.size(); ++j) data[2 * j] = lc.L[j];
  for (auto _ : state) {
    work = data;
    FFT(work, 16384);
    benchmark::DoNotOptimize(work.data());
  }
}
BENCHMARK(BM_FFT16384)->Unit(benchmark::kMicrosecond);

void BM_LightCurveAnalysis50Orbits(benchmark::State& state) {
  const LightCurve lc = fiftyOrbits();
  for (auto _ : state) {
    LCAnalysis a = analyseLightCurve(lc, 1, ORBITS);
    benchmark::DoNotOptimize(a.AMAX);
  }
}
BENCHMARK(BM_LightCurveAnalysis50Orbits)->Unit(benchmark::kMicrosecond);

// Read the file, analyse, write "stdev.txt" and "fftpeaks.txt": one repaint's worth of numbers.
void BM_LightCurveFile50Orbits(benchmark::State& state) {
  const auto old = std::filesystem::current_path();
  const auto dir = std::filesystem::temp_directory_path() / ("velmora-bench-lc-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  {
    const LightCurve lc = fiftyOrbits();
    std::string text = " " + std::to_string(lc.samples()) + "\r\n";
    char line[64];
    for (std::size_t i = 0; i < lc.L.size(); ++i) {
      std::snprintf(line, sizeof line, " %18.10E %18.10E\r\n", static_cast<double>(lc.T[i]),
                    static_cast<double>(lc.L[i]));
      text += line;
    }
    replaceAtomically("bench_lc.vlm", text);
  }
  for (auto _ : state) {
    const LightCurve lc = readLightCurve("bench_lc.vlm");
    const LCAnalysis a = analyseLightCurve(lc, 1, ORBITS);
    writeAnalysisFiles(a);
  }
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LightCurveFile50Orbits)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
