// The numeric half of the light-curve plot: range statistics, smoothed curve, amplitude
// spectrum, noise level, significant peaks and the texts of "stdev.txt" and "fftpeaks.txt".
// Drawing-free: the plot and the command line share it.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/state.h"
#include "files/lightcurve.h"

namespace velmora {

// A range of orbits the analysis cannot use, or a light curve whose relative values do not
// fit single precision.
struct LightCurveAnalysisError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One significant peak: the bin of the largest amplitude of a run of bins above M + 5 sigma.
struct LCPeak {
  I32 bin = 0;              // k
  float freq = 0;           // FREQ(k), cycles per orbit
  float amplitude = 0;      // A(k)
  std::string freqText;     // the frequency field of its record, as read back (8 characters)
  float amplitudeRead = 0;  // the amplitude of its record, as read back
};

// The peaks of a scan and the largest amplitude of the noise bins looked at.
struct PeakScan {
  std::vector<LCPeak> peaks;  // bin, freq and amplitude set
  float NMAX = 0;
};

// The run scan over bins 1..A.size() (A[k - 1] is the amplitude of bin k, FREQ[k - 1] its
// frequency). Bins k with 2k - 1 <= scanLimit are looked at when fmin <= FREQ(k) <= 5; a bin
// with A - M < 5 sigma is noise and raises NMAX; any other starts a run that takes the
// following bins while A - M >= 5 sigma (at most to the last bin), the peak moving only to a
// strictly larger amplitude; the bin that ends a run is passed over without a test. With
// sigma = 0 every amplitude equals the mean and no bin stands out: no bin starts a run.
PeakScan scanPeaks(std::span<const float> A, std::span<const float> FREQ, float fmin, float M, float sigma,
                   I32 scanLimit);

struct LCAnalysis {
  // The range: orbits first..last (N of them), samples i0..i1 (m of them, 1-based in the file).
  I32 first = 0, last = 0, N = 0;
  I32 m = 0, i0 = 0, i1 = 0;
  I32 NFFT = 0;

  // Range statistics of the luminosity.
  float LMAX = 0, LMIN = 0, LRANGE = 0;
  // Smoothed curve: B(g), the means of groups of 5 samples, and C(g), the running means of
  // up to 9 groups (g - 4 .. g + 4), for g = 1 .. m/5; stored from index 0.
  std::vector<float> B, C;

  // Spectrum: the mean luminosity S/m; the relative series is (L - mean) / mean. A constant
  // light curve (LMAX = LMIN) has no relative variation: its series is 0, whatever the
  // rounding of its sum.
  float mean = 0;
  bool flat = false;
  std::vector<float> DATA;  // 2 NFFT: after the analysis the real slot of a used bin holds its amplitude
  std::vector<float> FREQ;  // NFFT: frequency of bin k in cycles per orbit
  float fmin = 0;
  I32 kFirst = 0, kLast = 0;  // the used bins: FREQ(k) >= fmin, k <= NFFT/2
  float M = 0, sigma = 0;    // mean amplitude of the used bins and their spread

  std::vector<LCPeak> peaks;
  float AMAX = 0;  // the largest amplitude of the scan, peaks as read back from their records

  std::string stdevText;     // "stdev.txt"
  std::string fftpeaksText;  // "fftpeaks.txt"

  float A(I32 k) const { return DATA[static_cast<std::size_t>(2 * k - 2)]; }
  float freq(I32 k) const { return FREQ[static_cast<std::size_t>(k - 1)]; }
  I32 usedBins() const { return kLast - kFirst + 1; }
};

// Analyses orbits first..last of a light curve: needs 1 <= first <= last <= lc.orbits().
// Throws LightCurveAnalysisError otherwise, when a varying light curve has a mean of zero
// (its relative values are undefined), or when its relative values do not fit single precision.
LCAnalysis analyseLightCurve(const LightCurve& lc, I32 first, I32 last);

// Writes "stdev.txt" and "fftpeaks.txt" into the current directory, each replaced whole (a
// failure leaves the earlier file as it was). Throws std::runtime_error naming the file.
void writeAnalysisFiles(const LCAnalysis& a);

}  // namespace velmora
