// The superhump of a light curve: the slow trend and the orbital signal removed, then the strongest
// significant peak a little below one cycle per orbit, refined by a sine fit, with its period
// excess, amplitude, significance and harmonics; and the same search in sliding windows for the
// superhump's onset and growth.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "core/state.h"
#include "files/lightcurve.h"

namespace velmora {

// The band searched for a superhump, cycles per orbit.
inline constexpr double SUPERHUMP_BAND_LOW = 0.80, SUPERHUMP_BAND_HIGH = 0.995;
// The part of the spectrum kept with a result.
inline constexpr double SPECTRUM_LOW = 0.5, SPECTRUM_HIGH = 1.5;

// What is removed before the search. The trend is the least-squares cubic spline with knots every
// TREND_ORBITS orbits (or a little less, whole intervals over the range): it follows the disk's
// formation and any slow change of the mean, while a sinusoid in the band keeps its frequency and
// its amplitude to 0.2 % (the spline takes a few percent of it, spread over low frequencies). The
// orbital signal is the least-squares fit of the harmonics 1..ORBITAL_HARMONICS cycles per orbit,
// each scaled by the local level (the hump is light of the disk and grows with it), fitted in turn
// with the trend until the two settle.
inline constexpr int TREND_ORBITS = 5;
inline constexpr int ORBITAL_HARMONICS = 3;
// A refined frequency above 1 - ORBITAL_LOBE / N (N orbits) lies within the main lobe of the
// orbital peak, down to half its height: it cannot be told from the orbital signal and is never
// a detection.
inline constexpr double ORBITAL_LOBE = 0.6;
// The noise a peak is measured against: the spectrum's bins within NOISE_HALF_WIDTH cycles per
// orbit of it (for the band, the kept spectrum from SPECTRUM_LOW to SPECTRUM_HIGH), the removed
// orbital harmonics left out. Red noise (the disk's flickering) raises the spectrum at low
// frequencies well above its mean over every frequency up to 100 cycles per orbit, where the
// white noise sets M and sigma: against those a bump of red noise in the band passes for a
// superhump. With fewer than NOISE_MIN_BINS bins the whole spectrum's level is used.
inline constexpr double NOISE_HALF_WIDTH = 0.5;
inline constexpr std::size_t NOISE_MIN_BINS = 8;

// A range of a light curve prepared for the search, relative to its mean luminosity: y = trend +
// orbital + offset + residual at every sample (all empty for a constant light curve).
struct PreparedSeries {
  double mean = 0;                 // mean luminosity of the range
  std::vector<double> t;           // sample times, orbits
  std::vector<double> y;           // (L - mean) / mean
  std::vector<double> trend;       // the spline
  std::vector<double> orbital;     // the fitted orbital harmonics
  double offset = 0;               // the constant of the harmonic fit
  std::vector<double> residual;    // what the spectrum and the sine fit see
  // The removed harmonics n = 1..ORBITAL_HARMONICS, each scaled by the local level 1 + trend (the
  // hump grows with the disk's light): semi-amplitude (a fraction of the local mean light) and
  // the phase of the maximum (radians: cos(2 pi n t - phase)).
  std::vector<double> orbitalAmplitude, orbitalPhase;
  double trendRms = 0;  // rms of the removed trend about its mean, a fraction of the mean
};

// Prepares orbits first..last (checked as findSuperhump checks them).
PreparedSeries prepareSeries(const LightCurve& lc, I32 first, I32 last);

// A least-squares fit of y = c + a cos(2 pi f t) + b sin(2 pi f t), started from f0.
struct SineFit {
  bool converged = false;  // false: the fit left f0 by more than allowed; the rest is then f0's
  double frequency = 0;    // f, cycles per unit of t
  double frequencyError = 0;  // its standard error, widened by the residuals' correlation
  double amplitude = 0;       // sqrt(a^2 + b^2)
  double phase = 0;           // of the maximum: the fit peaks at t = phase / (2 pi f), radians
  double offset = 0;          // c
  double residualRms = 0;
  double correlation = 1;  // factor (>= 1) the error was widened by: half the mean run of residual signs
};

// Fits the sine; `maxShift` is how far the frequency may move from f0. Needs at least 5 points.
SineFit fitSine(std::span<const double> t, std::span<const double> y, double f0, double maxShift);

// A harmonic n f of a detected superhump.
struct Harmonic {
  int n = 0;
  bool found = false;        // a significant local maximum of the spectrum near n f
  double frequency = 0;      // refined by a sine fit
  double frequencyError = 0;
  double ratio = 0;          // frequency / the superhump's frequency
  double amplitude = 0;      // semi-amplitude, a fraction of the mean luminosity
  double spectrumAmplitude = 0;  // the spectrum's amplitude at the peak bin (the plot's units)
  double significance = 0;       // (A - M) / sigma of the peak bin
};

// The superhump search over whole orbits first..last of a light curve.
struct SuperhumpResult {
  I32 first = 0, last = 0, orbits = 0;  // light-curve orbits (orbit 1 = samples 1 to 200)
  double tStart = 0, tEnd = 0;          // time in orbits at the start and end of the range
  I32 NFFT = 0;
  double frequencyStep = 0;             // bin spacing, cycles per orbit
  // The noise level about the superhump's bin (about the band's largest bin when none is detected).
  double meanAmplitude = 0, sigma = 0;

  bool detected = false;
  // The detected superhump (zero when none).
  I32 bin = 0;
  double binFrequency = 0;
  double frequency = 0, frequencyError = 0;  // refined, cycles per orbit
  double epsilon = 0, epsilonError = 0;      // 1/f - 1
  double period = 0;                         // 1/f, orbits
  double amplitude = 0;                      // semi-amplitude, a fraction of the mean luminosity
  double spectrumAmplitude = 0;              // A at the peak bin
  double significance = 0;                   // (A - M) / sigma at the peak bin (5 or more)
  bool fitConverged = false;
  std::vector<Harmonic> harmonics;           // n = 2 and 3 when detected

  // The spectrum's used bins from SPECTRUM_LOW to SPECTRUM_HIGH cycles per orbit, for figures.
  std::vector<double> spectrumFrequency, spectrumAmplitudes;

  // The largest amplitude in the band, the upper limit when nothing is detected (NaN when the
  // range is too short to have a bin in the band).
  double bandMaxFrequency = 0, bandMaxSpectrumAmplitude = 0, bandMaxSignificance = 0;
  double upperLimit = 0;  // bandMaxSpectrumAmplitude as a semi-amplitude fraction of the mean

  // What was removed before the spectrum: the orbital harmonics n = 1..ORBITAL_HARMONICS
  // (semi-amplitude, a fraction of the mean luminosity, and phase in radians) and the trend's rms.
  std::vector<double> orbitalAmplitude, orbitalPhase;
  double trendRms = 0;
  double lobeLimit = 0;  // 1 - ORBITAL_LOBE / N: refined frequencies above it are not detections
  // A significant peak whose refined frequency left the band or fell within the orbital peak's
  // main lobe (NaN: none).
  double rejectedFrequency = 0;
};

// The search on the prepared series: the plot's spectrum, peaks 5 sigma above the noise about them
// (NOISE_HALF_WIDTH), each refined in turn until one stays in the band and out of the orbital lobe.
// Throws LightCurveAnalysisError for a range outside the file's whole orbits or a light curve whose
// spectrum is undefined.
SuperhumpResult findSuperhump(const LightCurve& lc, I32 first, I32 last);

// One sliding window of the growth table.
struct GrowthWindow {
  I32 first = 0, last = 0;
  double tStart = 0, tEnd = 0;
  bool detected = false;
  // The detected superhump's values; NaN when the window detects none.
  double frequency = 0, frequencyError = 0, epsilon = 0, epsilonError = 0;
  double amplitude = 0;     // semi-amplitude, a fraction of the mean luminosity
  double upperLimit = 0;    // the band's largest amplitude as a semi-amplitude fraction
  double significance = 0;  // of the detected peak, else of the band's largest bin
  double orbitalAmplitude = 0;  // the removed orbital signal's semi-amplitude at 1 cycle per orbit
};

struct SuperhumpGrowth {
  I32 window = 0, step = 0;  // orbits
  std::vector<GrowthWindow> windows;
  // The first window from which every later window detects the superhump (-1: none).
  I32 onsetIndex = -1;
  I32 onsetOrbit = 0;     // its first light-curve orbit
  double onsetTime = 0;   // its start, time in orbits
  // eps averaged over the windows from the onset on, for a superhump whose phase wanders too much
  // for one coherent peak over the whole range. Its error is the windows' scatter over the square
  // root of the number of independent (non-overlapping) windows they span (NaN: no onset, or the
  // scatter of a single window).
  I32 windowsAfterOnset = 0;
  double epsilonMean = 0, epsilonMeanError = 0;
};

// Windows of `window` orbits (at least 1) stepped by window/2 (at least 1) over first..last;
// progress(done, total) after each window when given.
SuperhumpGrowth superhumpGrowth(const LightCurve& lc, I32 first, I32 last, I32 window,
                                const std::function<void(long long, long long)>& progress = {});

// The first orbit of the search over the whole light curve when no range is given: the first orbit
// of the first growth window that detects the superhump, or `first` when none does. The disk's
// formation leaves residuals the trend cannot follow in the first orbits, and red noise that
// rises in the band above a superhump that only grows later; as an observer measures the period
// over the nights that show the superhump, the search then runs from where the windows first see
// it to the end. A single window's false detection rarely carries over the longer range, so the
// rule adds next to no false detections.
I32 defaultSearchStart(const SuperhumpGrowth& g, I32 first);

}  // namespace velmora
