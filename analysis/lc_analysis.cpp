// Light-curve analysis: the displayed range, its amplitude spectrum, the 5-sigma peak scan and
// the two small text files the plot leaves beside the light curve.
#include "analysis/lc_analysis.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <cstdlib>

#include "analysis/fft.h"
#include "io/file_io.h"
#include "io/fortran_format.h"

namespace velmora {
namespace {

constexpr float AMP_FACTOR = 2.8284271f;  // 2 sqrt(2)
constexpr float FMAX_SCAN = 5.0f;         // highest frequency a run may start at, cycles per orbit
constexpr int FREE_DIGITS = 7;            // significant digits of sigma and AMAX in their files
constexpr std::size_t MAX_NFFT = std::size_t{1} << 30;

std::string rangeText(I32 first, I32 last) {
  return "orbits " + std::to_string(first) + " to " + std::to_string(last);
}

// One peak record: a blank, I12 bin, a blank, F8.4 frequency, a blank, ES15.7E2 amplitude.
std::string peakRecord(const LCPeak& p) {
  return " " + fmt::I(p.bin, 12) + " " + fmt::F(p.freq, 8, 4) + " " + fmt::ES(p.amplitude, 15, 7, 2) + "\r\n";
}

// Reads a record back as the plot does: bin, the frequency field as text, the amplitude.
void readRecordBack(const std::string& rec, LCPeak& p) {
  p.freqText = rec.substr(14, 8);
  p.amplitudeRead = std::strtof(rec.substr(23, 15).c_str(), nullptr);
}

void statistics(LCAnalysis& a, const LightCurve& lc) {
  const auto L = [&lc](I32 i) { return lc.L[static_cast<std::size_t>(i - 1)]; };
  // The extremes start from the first sample of the range, so luminosities of any size count.
  a.LMAX = L(a.i0);
  a.LMIN = L(a.i0);
  for (I32 i = a.i0; i <= a.i1; ++i) {
    a.LMAX = std::max(a.LMAX, L(i));
    a.LMIN = std::min(a.LMIN, L(i));
  }
  a.LRANGE = a.LMAX - a.LMIN;

  const I32 groups = a.m / 5;
  a.B.assign(static_cast<std::size_t>(groups), 0.0f);
  a.C.assign(static_cast<std::size_t>(groups), 0.0f);
  for (I32 g = 1; g <= groups; ++g) {
    float s = 0.0f;
    for (I32 q = 0; q < 5; ++q) s = s + L(a.i0 + 5 * (g - 1) + q);
    a.B[static_cast<std::size_t>(g - 1)] = s / 5.0f;
  }
  for (I32 g = 1; g <= groups; ++g) {
    float s = 0.0f;
    I32 count = 0;
    for (I32 h = std::max(1, g - 4); h <= std::min(groups, g + 4); ++h, ++count) s = s + a.B[static_cast<std::size_t>(h - 1)];
    a.C[static_cast<std::size_t>(g - 1)] = s / static_cast<float>(count);
  }
}

void spectrum(LCAnalysis& a, const LightCurve& lc) {
  const auto NFFT = static_cast<std::size_t>(a.NFFT);
  a.DATA.assign(2 * NFFT, 0.0f);
  float S = 0.0f;
  for (I32 j = 1; j <= a.m; ++j) {
    const float v = lc.L[static_cast<std::size_t>(a.i0 + j - 2)];
    a.DATA[static_cast<std::size_t>(2 * j - 2)] = v;
    S = S + v;
  }
  a.mean = S / static_cast<float>(a.m);
  a.flat = a.LMAX == a.LMIN;
  if (a.flat) a.mean = a.LMIN;
  if (!std::isfinite(a.mean))
    throw LightCurveAnalysisError("the luminosities of " + rangeText(a.first, a.last) +
                                  " are too large to sum in single precision");
  if (a.mean == 0.0f && !a.flat)
    throw LightCurveAnalysisError("the mean luminosity of " + rangeText(a.first, a.last) +
                                  " is 0: the relative light curve is undefined");
  for (I32 j = 1; j <= a.m; ++j) {
    float& v = a.DATA[static_cast<std::size_t>(2 * j - 2)];
    v = a.flat ? 0.0f : (v - a.mean) / a.mean;
  }

  a.FREQ.resize(NFFT);
  const float span = static_cast<float>(a.NFFT) * 0.005f;
  for (I32 k = 1; k <= a.NFFT; ++k) a.FREQ[static_cast<std::size_t>(k - 1)] = static_cast<float>(k - 1) / span;

  FFT(a.DATA, NFFT);

  a.fmin = 1.0f / static_cast<float>(a.N);
  a.kLast = a.NFFT / 2;
  a.kFirst = 0;
  for (I32 k = 1; k <= a.kLast; ++k) {
    if (a.freq(k) < a.fmin) continue;
    if (a.kFirst == 0) a.kFirst = k;
    const float re = a.DATA[static_cast<std::size_t>(2 * k - 2)];
    const float im = a.DATA[static_cast<std::size_t>(2 * k - 1)];
    a.DATA[static_cast<std::size_t>(2 * k - 2)] = AMP_FACTOR * std::sqrt(re * re + im * im) / static_cast<float>(a.NFFT);
  }

  float sum = 0.0f;
  for (I32 k = a.kFirst; k <= a.kLast; ++k) sum = sum + a.A(k);
  a.M = sum / static_cast<float>(a.usedBins());
  float sq = 0.0f;
  for (I32 k = a.kFirst; k <= a.kLast; ++k) {
    const float d = a.A(k) - a.M;
    sq = sq + d * d;
  }
  a.sigma = std::sqrt(sq / static_cast<float>(a.NFFT / 2 - 4));
  if (!std::isfinite(a.M) || !std::isfinite(a.sigma))
    throw LightCurveAnalysisError("the relative light curve of " + rangeText(a.first, a.last) +
                                  " does not fit single precision (mean luminosity" + fmt::freeReal(a.mean, 7) + ")");
}

}  // namespace

PeakScan scanPeaks(std::span<const float> A, std::span<const float> FREQ, float fmin, float M, float sigma,
                   I32 scanLimit) {
  PeakScan r;
  const auto lastBin = static_cast<I32>(A.size());
  const auto amp = [&A](I32 k) { return A[static_cast<std::size_t>(k - 1)]; };
  const float threshold = 5.0f * sigma;
  I32 k = 1;
  while (2 * k - 1 <= scanLimit && k <= lastBin) {
    const float f = FREQ[static_cast<std::size_t>(k - 1)];
    if (!(fmin <= f && f <= FMAX_SCAN)) {
      ++k;
      continue;
    }
    if (sigma == 0.0f || amp(k) - M < threshold) {
      r.NMAX = std::max(r.NMAX, amp(k));
      ++k;
      continue;
    }
    LCPeak p;
    p.bin = k;
    p.amplitude = amp(k);
    for (++k; k <= lastBin && amp(k) - M >= threshold; ++k) {
      if (amp(k) > p.amplitude) {
        p.bin = k;
        p.amplitude = amp(k);
      }
    }
    ++k;  // the bin that ended the run
    p.freq = FREQ[static_cast<std::size_t>(p.bin - 1)];
    r.peaks.push_back(p);
  }
  return r;
}

LCAnalysis analyseLightCurve(const LightCurve& lc, I32 first, I32 last) {
  const I32 orbrec = lc.orbits();
  if (orbrec < 1)
    throw LightCurveAnalysisError(lc.file + " holds " + std::to_string(lc.samples()) +
                                  " samples: less than one orbit (" + std::to_string(LC_SAMPLES_PER_ORBIT) +
                                  " samples)");
  if (first < 1 || last < first || last > orbrec)
    throw LightCurveAnalysisError(rangeText(first, last) + " are not a range of " + lc.file + ": it holds orbits 1 to " +
                                  std::to_string(orbrec));
  LCAnalysis a;
  a.first = first;
  a.last = last;
  a.N = last - first + 1;
  a.m = LC_SAMPLES_PER_ORBIT * a.N;
  a.i0 = LC_SAMPLES_PER_ORBIT * (first - 1) + 1;
  a.i1 = LC_SAMPLES_PER_ORBIT * last;
  std::size_t nfft = 2;
  while (nfft < static_cast<std::size_t>(a.m)) nfft *= 2;
  if (nfft > MAX_NFFT)
    throw LightCurveAnalysisError(rangeText(first, last) + " are too many for the transform: choose a shorter range");
  a.NFFT = static_cast<I32>(nfft);

  statistics(a, lc);
  spectrum(a, lc);

  std::vector<float> amps(static_cast<std::size_t>(a.kLast), 0.0f);
  for (I32 k = a.kFirst; k <= a.kLast; ++k) amps[static_cast<std::size_t>(k - 1)] = a.A(k);
  PeakScan scan = scanPeaks(amps, std::span<const float>(a.FREQ).first(amps.size()), a.fmin, a.M, a.sigma, a.NFFT / 2);

  a.stdevText = fmt::freeReal(a.sigma, FREE_DIGITS) + "\r\n";
  float NMAX = scan.NMAX;
  for (LCPeak& p : scan.peaks) {
    const std::string rec = peakRecord(p);
    a.fftpeaksText += rec;
    readRecordBack(rec, p);
    NMAX = std::max(NMAX, p.amplitudeRead);
  }
  a.peaks = std::move(scan.peaks);
  a.AMAX = NMAX;
  a.fftpeaksText += fmt::freeReal(a.AMAX, FREE_DIGITS) + "\r\n";
  return a;
}

void writeAnalysisFiles(const LCAnalysis& a) {
  for (const auto& [name, text] : {std::pair{"stdev.txt", &a.stdevText}, std::pair{"fftpeaks.txt", &a.fftpeaksText}})
    if (const std::string err = replaceAtomically(name, *text); !err.empty()) throw std::runtime_error(err);
}

}  // namespace velmora
