// Superhump search: the plot's spectrum and 5-sigma rule in the band just below one cycle per
// orbit, a sine fit that refines the peak below the bin spacing, harmonics and sliding windows.
#include "analysis/superhump.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "analysis/lc_analysis.h"

namespace velmora {
namespace {

constexpr double TWO_PI = 2.0 * std::numbers::pi;

// Solves the n x n system A x = b (row-major, n <= 4) by elimination with partial pivoting.
template <std::size_t N>
bool solve(std::array<std::array<double, N>, N> A, std::array<double, N> b, std::array<double, N>& x) {
  for (std::size_t c = 0; c < N; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < N; ++r)
      if (std::fabs(A[r][c]) > std::fabs(A[p][c])) p = r;
    if (!(std::fabs(A[p][c]) > 0.0)) return false;
    std::swap(A[p], A[c]);
    std::swap(b[p], b[c]);
    for (std::size_t r = c + 1; r < N; ++r) {
      const double f = A[r][c] / A[c][c];
      for (std::size_t k = c; k < N; ++k) A[r][k] -= f * A[c][k];
      b[r] -= f * b[c];
    }
  }
  for (std::size_t c = N; c-- > 0;) {
    double s = b[c];
    for (std::size_t k = c + 1; k < N; ++k) s -= A[c][k] * x[k];
    x[c] = s / A[c][c];
  }
  return std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); });
}

// The offset and the cosine and sine amplitudes that fit best at frequency f.
bool linearFit(std::span<const double> t, std::span<const double> y, double f, std::array<double, 3>& p) {
  std::array<std::array<double, 3>, 3> A{};
  std::array<double, 3> b{};
  for (std::size_t j = 0; j < t.size(); ++j) {
    const double w = TWO_PI * f * t[j];
    const std::array<double, 3> col{1.0, std::cos(w), std::sin(w)};
    for (std::size_t r = 0; r < 3; ++r) {
      b[r] += col[r] * y[j];
      for (std::size_t c = 0; c < 3; ++c) A[r][c] += col[r] * col[c];
    }
  }
  return solve(A, b, p);
}

// The normal matrix of the four-parameter fit at f with the linear parameters p.
std::array<std::array<double, 4>, 4> normalMatrix(std::span<const double> t, double f, const std::array<double, 3>& p,
                                                  std::array<double, 4>* rhs, std::span<const double> y) {
  std::array<std::array<double, 4>, 4> A{};
  if (rhs) rhs->fill(0.0);
  for (std::size_t j = 0; j < t.size(); ++j) {
    const double w = TWO_PI * f * t[j], c = std::cos(w), s = std::sin(w);
    const std::array<double, 4> col{1.0, c, s, TWO_PI * t[j] * (p[2] * c - p[1] * s)};
    const double r = rhs ? y[j] - (p[0] + p[1] * c + p[2] * s) : 0.0;
    for (std::size_t a = 0; a < 4; ++a) {
      if (rhs) (*rhs)[a] += col[a] * r;
      for (std::size_t b = 0; b < 4; ++b) A[a][b] += col[a] * col[b];
    }
  }
  return A;
}

double meanOf(std::span<const double> v) {
  double s = 0.0;
  for (double x : v) s += x;
  return v.empty() ? 0.0 : s / static_cast<double>(v.size());
}

// Half the mean length of the runs of residuals of one sign, at least 1: white noise gives runs
// of 2 on average; longer runs mean fewer independent residuals than points.
double residualCorrelation(const std::vector<double>& r) {
  long long runs = 0;
  int last = 0;
  for (double v : r) {
    const int s = v > 0.0 ? 1 : v < 0.0 ? -1 : 0;
    if (s == 0) continue;
    if (s != last) ++runs;
    last = s;
  }
  if (runs == 0) return 1.0;
  return std::max(1.0, static_cast<double>(r.size()) / static_cast<double>(runs) / 2.0);
}

// The relative light curve of an analysed range in double precision, with sample times.
struct Series {
  std::vector<double> t, y;
};

Series relativeSeries(const LightCurve& lc, const LCAnalysis& a) {
  Series s;
  const auto m = static_cast<std::size_t>(a.m), i0 = static_cast<std::size_t>(a.i0 - 1);
  double mean = 0.0;
  for (std::size_t j = 0; j < m; ++j) mean += lc.L[i0 + j];
  mean /= static_cast<double>(m);
  s.t.resize(m);
  s.y.resize(m);
  for (std::size_t j = 0; j < m; ++j) {
    s.t[j] = lc.T[i0 + j];
    s.y[j] = a.flat || mean == 0.0 ? 0.0 : (lc.L[i0 + j] - mean) / mean;
  }
  return s;
}

// The largest side lobe that a stronger bin outside k's main lobe can leak into bin k: the
// transform of N whole orbits without a window spreads a sinusoid of spectrum amplitude A over
// offsets d with amplitudes at most A / (pi N |d|), the first null lying at |d| = 1/N.
double leakage(const LCAnalysis& a, I32 k) {
  const double fk = a.freq(k), N = a.N;
  double leak = 0.0;
  for (I32 j = a.kFirst; j <= a.kLast; ++j) {
    if (!(a.A(j) > a.A(k))) continue;
    const double d = std::fabs(a.freq(j) - fk);
    if (d * N < 1.0) continue;
    leak = std::max(leak, a.A(j) / (std::numbers::pi * N * d));
  }
  return leak;
}

// The strongest bin in [lo, hi] that passes the 5-sigma rule, is a local maximum and stands
// 5 sigma above the side lobes of every stronger peak (0: none).
I32 strongestPeak(const LCAnalysis& a, double lo, double hi) {
  I32 best = 0;
  if (!(a.sigma > 0.0f)) return 0;
  const double five = 5.0 * static_cast<double>(a.sigma);
  for (I32 k = a.kFirst; k <= a.kLast; ++k) {
    const double f = a.freq(k);
    if (f < lo || f > hi) continue;
    const float A = a.A(k);
    if (A - a.M < 5.0f * a.sigma) continue;
    if (k > a.kFirst && A < a.A(k - 1)) continue;
    if (k < a.kLast && A < a.A(k + 1)) continue;
    if (best != 0 && A <= a.A(best)) continue;
    if (static_cast<double>(A) - leakage(a, k) < five) continue;
    best = k;
  }
  return best;
}

}  // namespace

SineFit fitSine(std::span<const double> t, std::span<const double> y, double f0, double maxShift) {
  SineFit fit;
  fit.frequency = f0;
  fit.frequencyError = maxShift;
  const std::size_t n = std::min(t.size(), y.size());
  if (n < 5) return fit;
  // Times about their mean, so the frequency and the phase are fitted nearly independently.
  const double tm = meanOf(t.first(n));
  std::vector<double> tc(n);
  for (std::size_t j = 0; j < n; ++j) tc[j] = t[j] - tm;
  const std::span<const double> ts(tc), ys = y.first(n);

  std::array<double, 3> p{};
  double f = f0;
  if (!linearFit(ts, ys, f, p)) return fit;
  bool ok = true;
  for (int iter = 0; iter < 100; ++iter) {
    std::array<double, 4> rhs{}, d{};
    const auto A = normalMatrix(ts, f, p, &rhs, ys);
    if (!solve(A, rhs, d)) {
      ok = false;
      break;
    }
    const double step = std::clamp(d[3], -0.5 * maxShift, 0.5 * maxShift);
    f += step;
    if (std::fabs(f - f0) > maxShift || !linearFit(ts, ys, f, p)) {
      ok = false;
      break;
    }
    if (std::fabs(step) <= 1e-13 * std::max(1.0, std::fabs(f))) break;
  }
  if (!ok) {
    std::array<double, 3> p0{};
    if (linearFit(ts, ys, f0, p0)) {
      fit.amplitude = std::hypot(p0[1], p0[2]);
      fit.offset = p0[0];
      fit.phase = std::atan2(p0[2], p0[1]) + TWO_PI * f0 * tm;
    }
    return fit;
  }

  std::vector<double> r(n);
  double rss = 0.0;
  for (std::size_t j = 0; j < n; ++j) {
    const double w = TWO_PI * f * ts[j];
    r[j] = ys[j] - (p[0] + p[1] * std::cos(w) + p[2] * std::sin(w));
    rss += r[j] * r[j];
  }
  std::array<double, 4> e3{0, 0, 0, 1}, inv{};
  const auto A = normalMatrix(ts, f, p, nullptr, ys);
  if (!solve(A, e3, inv) || !(inv[3] >= 0.0)) return fit;
  fit.converged = true;
  fit.frequency = f;
  fit.correlation = residualCorrelation(r);
  const double s2 = n > 4 ? rss / static_cast<double>(n - 4) : 0.0;
  fit.frequencyError = std::sqrt(s2 * inv[3] * fit.correlation);
  fit.amplitude = std::hypot(p[1], p[2]);
  fit.offset = p[0];
  fit.phase = std::remainder(std::atan2(p[2], p[1]) + TWO_PI * f * tm, TWO_PI);
  fit.residualRms = std::sqrt(rss / static_cast<double>(n));
  return fit;
}

SuperhumpResult findSuperhump(const LightCurve& lc, I32 first, I32 last) {
  const LCAnalysis a = analyseLightCurve(lc, first, last);
  SuperhumpResult r;
  r.first = a.first;
  r.last = a.last;
  r.orbits = a.N;
  // Sample times are single precision: rounded to a millionth of an orbit, a range that starts
  // at 0 starts at 0, not at -1e-10.
  const auto micro = [](double t) { return std::round(t * 1e6) / 1e6; };
  r.tStart = micro(static_cast<double>(lc.T[static_cast<std::size_t>(a.i0 - 1)]) - 1.0 / LC_SAMPLES_PER_ORBIT);
  r.tEnd = micro(lc.T[static_cast<std::size_t>(a.i1 - 1)]);
  r.NFFT = a.NFFT;
  r.frequencyStep = a.freq(2);
  r.meanAmplitude = a.M;
  r.sigma = a.sigma;
  // A spectrum amplitude of a sinusoid of semi-amplitude s over m samples is sqrt(2) s m / NFFT.
  const double toFraction = static_cast<double>(a.NFFT) / (std::numbers::sqrt2 * static_cast<double>(a.m));
  const auto significance = [&a](I32 k) {
    return a.sigma > 0.0f ? (static_cast<double>(a.A(k)) - a.M) / static_cast<double>(a.sigma) : 0.0;
  };

  bool inBand = false;
  for (I32 k = a.kFirst; k <= a.kLast; ++k) {
    const double f = a.freq(k);
    if (f >= SPECTRUM_LOW && f <= SPECTRUM_HIGH) {
      r.spectrumFrequency.push_back(f);
      r.spectrumAmplitudes.push_back(a.A(k));
    }
    if (f < SUPERHUMP_BAND_LOW || f > SUPERHUMP_BAND_HIGH) continue;
    if (!inBand || a.A(k) > r.bandMaxSpectrumAmplitude) {
      inBand = true;
      r.bandMaxSpectrumAmplitude = a.A(k);
      r.bandMaxFrequency = f;
      r.bandMaxSignificance = significance(k);
    }
  }
  r.upperLimit = r.bandMaxSpectrumAmplitude * toFraction;
  if (!inBand)  // a range too short for a bin in the band: no limit either
    r.bandMaxFrequency = r.bandMaxSpectrumAmplitude = r.bandMaxSignificance = r.upperLimit =
        std::numeric_limits<double>::quiet_NaN();

  const I32 k = strongestPeak(a, SUPERHUMP_BAND_LOW, SUPERHUMP_BAND_HIGH);
  if (k == 0) return r;
  const Series s = relativeSeries(lc, a);
  const double maxShift = 1.5 * r.frequencyStep;
  const SineFit fit = fitSine(s.t, s.y, a.freq(k), maxShift);
  r.detected = true;
  r.bin = k;
  r.binFrequency = a.freq(k);
  r.frequency = fit.frequency;
  r.frequencyError = fit.frequencyError;
  r.fitConverged = fit.converged;
  r.epsilon = 1.0 / r.frequency - 1.0;
  r.epsilonError = r.frequencyError / (r.frequency * r.frequency);
  r.period = 1.0 / r.frequency;
  r.amplitude = fit.amplitude;
  r.spectrumAmplitude = a.A(k);
  r.significance = significance(k);

  const double tolerance = std::max(1.0 / static_cast<double>(a.N), 2.0 * r.frequencyStep);
  for (int n = 2; n <= 3; ++n) {
    Harmonic h;
    h.n = n;
    const double centre = n * r.frequency;
    if (const I32 kh = strongestPeak(a, centre - tolerance, centre + tolerance); kh != 0) {
      const SineFit hf = fitSine(s.t, s.y, a.freq(kh), maxShift);
      h.found = true;
      h.frequency = hf.frequency;
      h.frequencyError = hf.frequencyError;
      h.ratio = hf.frequency / r.frequency;
      h.amplitude = hf.amplitude;
      h.spectrumAmplitude = a.A(kh);
      h.significance = significance(kh);
    }
    r.harmonics.push_back(h);
  }
  return r;
}

SuperhumpGrowth superhumpGrowth(const LightCurve& lc, I32 first, I32 last, I32 window,
                                const std::function<void(long long, long long)>& progress) {
  SuperhumpGrowth g;
  g.window = std::max<I32>(1, window);
  g.step = std::max<I32>(1, g.window / 2);
  std::vector<I32> starts;
  for (long long w0 = first; w0 + g.window - 1 <= last; w0 += g.step) starts.push_back(static_cast<I32>(w0));
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const SuperhumpResult r = findSuperhump(lc, starts[i], starts[i] + g.window - 1);
    GrowthWindow w;
    w.first = r.first;
    w.last = r.last;
    w.tStart = r.tStart;
    w.tEnd = r.tEnd;
    w.detected = r.detected;
    w.upperLimit = r.upperLimit;
    const double none = std::numeric_limits<double>::quiet_NaN();
    w.frequency = r.detected ? r.frequency : none;
    w.frequencyError = r.detected ? r.frequencyError : none;
    w.epsilon = r.detected ? r.epsilon : none;
    w.epsilonError = r.detected ? r.epsilonError : none;
    w.amplitude = r.detected ? r.amplitude : none;
    w.significance = r.detected ? r.significance : r.bandMaxSignificance;
    g.windows.push_back(w);
    if (progress) progress(static_cast<long long>(i + 1), static_cast<long long>(starts.size()));
  }
  std::size_t onset = g.windows.size();
  while (onset > 0 && g.windows[onset - 1].detected) --onset;
  g.epsilonMean = g.epsilonMeanError = std::numeric_limits<double>::quiet_NaN();
  if (onset < g.windows.size()) {
    g.onsetIndex = static_cast<I32>(onset);
    g.onsetOrbit = g.windows[onset].first;
    g.onsetTime = g.windows[onset].tStart;
    const auto n = static_cast<double>(g.windows.size() - onset);
    g.windowsAfterOnset = static_cast<I32>(n);
    double sum = 0.0, sq = 0.0;
    for (std::size_t i = onset; i < g.windows.size(); ++i) sum += g.windows[i].epsilon;
    g.epsilonMean = sum / n;
    for (std::size_t i = onset; i < g.windows.size(); ++i) sq += std::pow(g.windows[i].epsilon - g.epsilonMean, 2);
    if (n > 1) {
      const double independent = std::max(1.0, (n - 1.0) * g.step / g.window + 1.0);
      g.epsilonMeanError = std::sqrt(sq / (n - 1.0)) / std::sqrt(independent);
    }
  }
  return g;
}

}  // namespace velmora
