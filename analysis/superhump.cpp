// Superhump search: the trend and the orbital harmonics removed, then the plot's spectrum, peaks
// 5 sigma above the noise about them in the band just below one cycle per orbit, a sine fit that
// refines the peak below the bin spacing, harmonics and sliding windows.
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

// The mean amplitude and spread of the noise of a part of a spectrum.
struct NoiseLevel {
  double M = 0, sigma = 0;
};

// Solves the n x n system A x = b (row-major, small n) by elimination with partial pivoting.
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
  double mean = 0;
};

Series relativeSeries(const LightCurve& lc, const LCAnalysis& a) {
  Series s;
  const auto m = static_cast<std::size_t>(a.m), i0 = static_cast<std::size_t>(a.i0 - 1);
  double mean = 0.0;
  for (std::size_t j = 0; j < m; ++j) mean += lc.L[i0 + j];
  mean /= static_cast<double>(m);
  s.mean = mean;
  s.t.resize(m);
  s.y.resize(m);
  for (std::size_t j = 0; j < m; ++j) {
    s.t[j] = lc.T[i0 + j];
    s.y[j] = a.flat || mean == 0.0 ? 0.0 : (lc.L[i0 + j] - mean) / mean;
  }
  return s;
}

// The trend: the least-squares cubic spline of x with knots every TREND_ORBITS orbits or a little
// less (whole intervals over the range). Its basis functions are so smooth that a sinusoid in the
// band barely projects on them, and a fit, unlike a running mean, follows the range's ends and the
// disk's formation without lagging.
std::vector<double> trendOf(const std::vector<double>& t, const std::vector<double>& x) {
  const std::size_t n = t.size();
  const double t0 = t.front() - 0.5 / LC_SAMPLES_PER_ORBIT, t1 = t.back() + 0.5 / LC_SAMPLES_PER_ORBIT;
  const auto K = static_cast<std::size_t>(std::max(1.0, std::ceil((t1 - t0) / TREND_ORBITS - 1e-9)));
  const double h = (t1 - t0) / static_cast<double>(K);
  const std::size_t P = K + 3;
  // The uniform cubic B-spline weights of sample j and the first of its four basis functions.
  const auto basis = [&](std::size_t j, std::array<double, 4>& w) {
    const double u = (t[j] - t0) / h;
    const std::size_t i = std::min(K - 1, static_cast<std::size_t>(std::max(0.0, std::floor(u))));
    const double s = std::clamp(u - static_cast<double>(i), 0.0, 1.0), s2 = s * s, s3 = s2 * s;
    w = {(1 - s) * (1 - s) * (1 - s) / 6, (3 * s3 - 6 * s2 + 4) / 6, (-3 * s3 + 3 * s2 + 3 * s + 1) / 6, s3 / 6};
    return i;
  };
  // The banded normal equations (A[i][d] = A(i, i + d)), solved by a banded Cholesky factor.
  std::vector<std::array<double, 4>> A(P, std::array<double, 4>{}), L(P, std::array<double, 4>{});
  std::vector<double> b(P, 0.0), c(P, 0.0);
  std::array<double, 4> w{};
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t i = basis(j, w);
    for (std::size_t r = 0; r < 4; ++r) {
      b[i + r] += w[r] * x[j];
      for (std::size_t d = 0; r + d < 4; ++d) A[i + r][d] += w[r] * w[r + d];
    }
  }
  // L[i][k] = L(i, i - k).
  for (std::size_t i = 0; i < P; ++i) {
    for (std::size_t k = std::min<std::size_t>(3, i) + 1; k-- > 0;) {
      const std::size_t col = i - k;
      double v = A[col][k];
      for (std::size_t m = 1; m <= 3 && m + k <= 3 && m <= col; ++m) v -= L[i][k + m] * L[col][m];
      if (k == 0) {
        if (!(v > 0.0)) return std::vector<double>(n, meanOf(x));
        L[i][0] = std::sqrt(v);
      } else {
        L[i][k] = v / L[col][0];
      }
    }
  }
  for (std::size_t i = 0; i < P; ++i) {
    double v = b[i];
    for (std::size_t k = 1; k <= std::min<std::size_t>(3, i); ++k) v -= L[i][k] * c[i - k];
    c[i] = v / L[i][0];
  }
  for (std::size_t i = P; i-- > 0;) {
    double v = c[i];
    for (std::size_t k = 1; k <= 3 && i + k < P; ++k) v -= L[i + k][k] * c[i + k];
    c[i] = v / L[i][0];
  }
  std::vector<double> out(n);
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t i = basis(j, w);
    out[j] = w[0] * c[i] + w[1] * c[i + 1] + w[2] * c[i + 2] + w[3] * c[i + 3];
  }
  return out;
}

constexpr std::size_t HARMONIC_TERMS = 1 + 2 * ORBITAL_HARMONICS;

// The least-squares fit of a constant and the orbital harmonics, each scaled by the local level g
// (the hump is light of the disk: it grows as the disk forms), to y: p[0] the constant, p[2n - 1]
// and p[2n] the cosine and sine amplitudes of harmonic n, fractions of the local mean light.
bool orbitalFit(const std::vector<double>& t, const std::vector<double>& g, const std::vector<double>& y,
                std::array<double, HARMONIC_TERMS>& p) {
  std::array<std::array<double, HARMONIC_TERMS>, HARMONIC_TERMS> A{};
  std::array<double, HARMONIC_TERMS> b{};
  std::array<double, HARMONIC_TERMS> col{};
  for (std::size_t j = 0; j < t.size(); ++j) {
    col[0] = 1.0;
    for (int n = 1; n <= ORBITAL_HARMONICS; ++n) {
      const double w = TWO_PI * n * t[j];
      col[static_cast<std::size_t>(2 * n - 1)] = g[j] * std::cos(w);
      col[static_cast<std::size_t>(2 * n)] = g[j] * std::sin(w);
    }
    for (std::size_t r = 0; r < HARMONIC_TERMS; ++r) {
      b[r] += col[r] * y[j];
      for (std::size_t c = 0; c < HARMONIC_TERMS; ++c) A[r][c] += col[r] * col[c];
    }
  }
  return solve(A, b, p);
}

PreparedSeries prepare(const LightCurve& lc, const LCAnalysis& a) {
  Series s = relativeSeries(lc, a);
  PreparedSeries p;
  p.mean = s.mean;
  if (a.flat) return p;
  const std::size_t m = s.t.size();
  p.orbital.assign(m, 0.0);
  std::array<double, HARMONIC_TERMS> c{};
  std::vector<double> d(m), level(m);
  // The trend and the harmonics, each fitted to what the other leaves: the two are nearly
  // orthogonal, so a few rounds settle them.
  for (int round = 0; round < 4; ++round) {
    for (std::size_t j = 0; j < m; ++j) d[j] = s.y[j] - p.orbital[j];
    p.trend = trendOf(s.t, d);
    for (std::size_t j = 0; j < m; ++j) {
      d[j] = s.y[j] - p.trend[j];
      level[j] = std::max(0.0, 1.0 + p.trend[j]);
    }
    if (!orbitalFit(s.t, level, d, c)) c.fill(0.0);  // cannot happen: a range holds 200 samples or more
    for (std::size_t j = 0; j < m; ++j) {
      double v = 0.0;
      for (int n = 1; n <= ORBITAL_HARMONICS; ++n) {
        const double w = TWO_PI * n * s.t[j];
        v += c[static_cast<std::size_t>(2 * n - 1)] * std::cos(w) + c[static_cast<std::size_t>(2 * n)] * std::sin(w);
      }
      p.orbital[j] = level[j] * v;
    }
  }
  p.offset = c[0];
  p.residual.resize(m);
  for (std::size_t j = 0; j < m; ++j) p.residual[j] = s.y[j] - p.trend[j] - p.orbital[j] - p.offset;
  for (int n = 1; n <= ORBITAL_HARMONICS; ++n) {
    const double ca = c[static_cast<std::size_t>(2 * n - 1)], sa = c[static_cast<std::size_t>(2 * n)];
    p.orbitalAmplitude.push_back(std::hypot(ca, sa));
    p.orbitalPhase.push_back(std::atan2(sa, ca));
  }
  const double tm = meanOf(p.trend);
  double sq = 0.0;
  for (double v : p.trend) sq += (v - tm) * (v - tm);
  p.trendRms = std::sqrt(sq / static_cast<double>(m));
  p.t = std::move(s.t);
  p.y = std::move(s.y);
  return p;
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

// The noise level about `centre`: from the median amplitude of the used bins within
// NOISE_HALF_WIDTH of it, leaving out the bins within 1/N of the removed orbital harmonics (the
// fit has emptied them). The amplitudes of noise follow a Rayleigh distribution whatever the
// noise's colour, so the median gives its scale s, and with it the mean s sqrt(pi/2) and the
// spread s sqrt(2 - pi/2) that the whole spectrum's would be if the noise were white. A strong
// peak among the bins barely moves a median. Falls back on the whole spectrum's M and sigma when
// fewer than NOISE_MIN_BINS bins are left (a range of a few orbits).
NoiseLevel localNoise(const LCAnalysis& a, double centre) {
  const double N = a.N;
  std::vector<float> amps;
  for (I32 k = a.kFirst; k <= a.kLast; ++k) {
    const double f = a.freq(k);
    if (std::fabs(f - centre) > NOISE_HALF_WIDTH) continue;
    const double n = std::round(f);
    if (n >= 1 && n <= ORBITAL_HARMONICS && std::fabs(f - n) * N < 1.0) continue;
    amps.push_back(a.A(k));
  }
  if (amps.size() < NOISE_MIN_BINS) return {a.M, a.sigma};
  std::sort(amps.begin(), amps.end());
  const std::size_t h = amps.size() / 2;
  const double median = amps.size() % 2 ? amps[h] : 0.5 * (static_cast<double>(amps[h - 1]) + amps[h]);
  const double scale = median / std::sqrt(2.0 * std::numbers::ln2);
  return {scale * std::sqrt(std::numbers::pi / 2.0), scale * std::sqrt(2.0 - std::numbers::pi / 2.0)};
}

// The bins in [lo, hi] that are local maxima, stand 5 sigma above the noise about them and 5 sigma
// above the side lobes of every stronger peak, strongest first.
std::vector<I32> significantPeaks(const LCAnalysis& a, double lo, double hi) {
  std::vector<I32> peaks;
  for (I32 k = a.kFirst; k <= a.kLast; ++k) {
    const double f = a.freq(k);
    if (f < lo || f > hi) continue;
    if (k > a.kFirst && a.A(k) < a.A(k - 1)) continue;
    if (k < a.kLast && a.A(k) < a.A(k + 1)) continue;
    const NoiseLevel noise = localNoise(a, f);
    if (!(noise.sigma > 0.0)) continue;
    const double A = a.A(k), five = 5.0 * noise.sigma;
    if (A - noise.M < five || A - leakage(a, k) < five) continue;
    peaks.push_back(k);
  }
  std::stable_sort(peaks.begin(), peaks.end(), [&a](I32 x, I32 y) { return a.A(x) > a.A(y); });
  return peaks;
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

PreparedSeries prepareSeries(const LightCurve& lc, I32 first, I32 last) {
  return prepare(lc, analyseLightCurve(lc, first, last));
}

SuperhumpResult findSuperhump(const LightCurve& lc, I32 first, I32 last) {
  const LCAnalysis raw = analyseLightCurve(lc, first, last);
  const PreparedSeries p = prepare(lc, raw);
  // The prepared range as a light curve of its own, at the range's mean level, so the spectrum,
  // its noise level and its peaks are the plot's, of what is left once the known signals are gone.
  LightCurve clean;
  clean.file = lc.file;
  const auto i0 = static_cast<std::ptrdiff_t>(raw.i0 - 1), i1 = static_cast<std::ptrdiff_t>(raw.i1);
  clean.T.assign(lc.T.begin() + i0, lc.T.begin() + i1);
  if (raw.flat) {
    clean.L.assign(lc.L.begin() + i0, lc.L.begin() + i1);
  } else {
    for (double v : p.residual) clean.L.push_back(static_cast<float>(p.mean * (1.0 + v)));
  }
  clean.announced = clean.samples();
  const LCAnalysis a = analyseLightCurve(clean, 1, raw.N);
  SuperhumpResult r;
  r.first = raw.first;
  r.last = raw.last;
  r.orbits = raw.N;
  // Sample times are single precision: rounded to a millionth of an orbit, a range that starts
  // at 0 starts at 0, not at -1e-10.
  const auto micro = [](double t) { return std::round(t * 1e6) / 1e6; };
  r.tStart = micro(static_cast<double>(lc.T[static_cast<std::size_t>(raw.i0 - 1)]) - 1.0 / LC_SAMPLES_PER_ORBIT);
  r.tEnd = micro(lc.T[static_cast<std::size_t>(raw.i1 - 1)]);
  r.orbitalAmplitude = p.orbitalAmplitude;
  r.orbitalPhase = p.orbitalPhase;
  r.trendRms = p.trendRms;
  r.lobeLimit = 1.0 - ORBITAL_LOBE / static_cast<double>(raw.N);
  r.rejectedFrequency = std::numeric_limits<double>::quiet_NaN();
  r.NFFT = a.NFFT;
  r.frequencyStep = a.freq(2);
  // A spectrum amplitude of a sinusoid of semi-amplitude s over m samples is sqrt(2) s m / NFFT.
  const double toFraction = static_cast<double>(a.NFFT) / (std::numbers::sqrt2 * static_cast<double>(a.m));
  // The noise level about a bin, kept as the result's M and sigma: about the band's largest bin,
  // and about the superhump once detected.
  const auto significance = [&a, &r](I32 k) {
    const NoiseLevel n = localNoise(a, a.freq(k));
    r.meanAmplitude = n.M;
    r.sigma = n.sigma;
    return n.sigma > 0.0 ? (static_cast<double>(a.A(k)) - n.M) / n.sigma : 0.0;
  };

  bool inBand = false;
  I32 kMax = 0;
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
      kMax = k;
    }
  }
  if (inBand) {
    r.bandMaxSignificance = significance(kMax);
  } else {
    const NoiseLevel n = localNoise(a, 0.5 * (SPECTRUM_LOW + SPECTRUM_HIGH));
    r.meanAmplitude = n.M;
    r.sigma = n.sigma;
  }
  r.upperLimit = r.bandMaxSpectrumAmplitude * toFraction;
  if (!inBand)  // a range too short for a bin in the band: no limit either
    r.bandMaxFrequency = r.bandMaxSpectrumAmplitude = r.bandMaxSignificance = r.upperLimit =
        std::numeric_limits<double>::quiet_NaN();

  // The peak bin may lie within the orbital lobe while the refined frequency does not: the bins of
  // a short range are wide. So each significant peak of the band is refined, strongest first, and
  // the first whose fit stays in the band and out of the orbital lobe is the superhump; one that
  // walks out (to the removed orbital frequency, most often) measures no superhump, and the next
  // is tried.
  const double high = std::min(SUPERHUMP_BAND_HIGH, r.lobeLimit);
  const double maxShift = 1.5 * r.frequencyStep;
  I32 k = 0;
  SineFit fit;
  for (const I32 candidate : significantPeaks(a, SUPERHUMP_BAND_LOW, SUPERHUMP_BAND_HIGH)) {
    fit = fitSine(p.t, p.residual, a.freq(candidate), maxShift);
    if (fit.frequency >= SUPERHUMP_BAND_LOW && fit.frequency <= high) {
      k = candidate;
      break;
    }
    if (std::isnan(r.rejectedFrequency)) r.rejectedFrequency = fit.frequency;
  }
  if (k == 0) return r;
  r.detected = true;
  r.bin = k;
  r.binFrequency = a.freq(k);
  r.frequency = fit.frequency;
  r.significance = significance(k);
  // The fit's error holds the residuals' scatter at every frequency; the noise the peak actually
  // sits in is the band's. Its frequency error for a sinusoid of semi-amplitude A over T orbits
  // in noise of mean spectrum amplitude M (a semi-amplitude fraction) is sqrt(6 / pi) M / (pi A T),
  // the white-noise error with the noise measured where the peak is: under red noise it is the
  // larger, and the larger of the two is stated.
  const double T = static_cast<double>(a.N);
  const double bandError = std::sqrt(6.0 / std::numbers::pi) * r.meanAmplitude * toFraction /
                           (std::numbers::pi * std::max(fit.amplitude, 1e-300) * T);
  r.frequencyError = std::max(fit.frequencyError, bandError);
  r.fitConverged = fit.converged;
  r.epsilon = 1.0 / r.frequency - 1.0;
  r.epsilonError = r.frequencyError / (r.frequency * r.frequency);
  r.period = 1.0 / r.frequency;
  r.amplitude = fit.amplitude;
  r.spectrumAmplitude = a.A(k);

  const double tolerance = std::max(1.0 / static_cast<double>(a.N), 2.0 * r.frequencyStep);
  for (int n = 2; n <= 3; ++n) {
    Harmonic h;
    h.n = n;
    const double centre = n * r.frequency;
    if (const auto peaks = significantPeaks(a, centre - tolerance, centre + tolerance); !peaks.empty()) {
      const I32 kh = peaks.front();
      const SineFit hf = fitSine(p.t, p.residual, a.freq(kh), maxShift);
      h.found = true;
      h.frequency = hf.frequency;
      h.frequencyError = hf.frequencyError;
      h.ratio = hf.frequency / r.frequency;
      h.amplitude = hf.amplitude;
      h.spectrumAmplitude = a.A(kh);
      const NoiseLevel around = localNoise(a, a.freq(kh));
      h.significance = (a.A(kh) - around.M) / around.sigma;
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
    w.orbitalAmplitude = r.orbitalAmplitude.empty() ? 0.0 : r.orbitalAmplitude[0];
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

I32 defaultSearchStart(const SuperhumpGrowth& g, I32 first) {
  for (const GrowthWindow& w : g.windows)
    if (w.detected) return w.first;
  return first;
}

}  // namespace velmora
