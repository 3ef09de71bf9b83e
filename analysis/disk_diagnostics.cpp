// Disk diagnostics: lobe membership, radius percentiles, Fourier modes of the positions about
// the primary, the precession fit, and orbital eccentricities from a restart file.
#include "analysis/disk_diagnostics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace velmora {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double DEG = 180.0 / std::numbers::pi;

// Linear interpolation between the order statistics of sorted values.
double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return NaN;
  const double h = p * static_cast<double>(sorted.size() - 1);
  const auto lo = static_cast<std::size_t>(std::floor(h));
  const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
  return sorted[lo] + (h - static_cast<double>(lo)) * (sorted[hi] - sorted[lo]);
}

double directionDeg(double x, double y) {
  double d = std::atan2(y, x) * DEG;
  if (d < 0.0) d += 360.0;
  if (d >= 360.0) d -= 360.0;
  return d;
}

// Sums of the particles of a snapshot: radii and the first two modes.
struct DiskSums {
  std::vector<double> radii;
  double c1 = 0, s1 = 0, c2 = 0, s2 = 0;
  I32 beyond = 0;

  void add(double dx, double dy, double r31) {
    const double r = std::hypot(dx, dy);
    radii.push_back(r);
    if (r > r31) ++beyond;
    if (r > 0.0) {
      const double c = dx / r, s = dy / r;
      c1 += c;
      s1 += s;
      c2 += c * c - s * s;
      s2 += 2.0 * c * s;
    }
  }

  DiskSnapshot finish(double time, I32 particles) {
    DiskSnapshot d;
    d.time = time;
    d.particles = particles;
    d.inLobe = static_cast<I32>(radii.size());
    if (radii.empty()) {
      d.r10 = d.r50 = d.r90 = d.m1 = d.m2 = d.m1PhaseDeg = NaN;
      return d;
    }
    std::sort(radii.begin(), radii.end());
    const auto n = static_cast<double>(radii.size());
    d.r10 = percentile(radii, 0.1);
    d.r50 = percentile(radii, 0.5);
    d.r90 = percentile(radii, 0.9);
    d.beyondR31 = beyond / n;
    d.m1 = std::hypot(c1, s1) / n;
    d.m2 = std::hypot(c2, s2) / n;
    d.m1PhaseDeg = directionDeg(c1, s1);
    return d;
  }
};

// Slope of a straight line through (x, y) with its standard error widened by the residual runs.
struct LineFit {
  double slope = 0, slopeError = 0, rms = 0, correlation = 1;
};

LineFit fitLine(const std::vector<double>& x, const std::vector<double>& y) {
  const auto n = static_cast<double>(x.size());
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
  mx /= n, my /= n;
  double sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sxx += (x[i] - mx) * (x[i] - mx);
    sxy += (x[i] - mx) * (y[i] - my);
  }
  LineFit f;
  f.slope = sxy / sxx;
  double rss = 0;
  long long runs = 0;
  int last = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double r = y[i] - (my + f.slope * (x[i] - mx));
    rss += r * r;
    const int s = r > 0 ? 1 : r < 0 ? -1 : 0;
    if (s != 0 && s != last) ++runs;
    if (s != 0) last = s;
  }
  f.rms = std::sqrt(rss / n);
  f.correlation = runs > 0 ? std::max(1.0, n / static_cast<double>(runs) / 2.0) : 1.0;
  f.slopeError = std::sqrt(rss / (n - 2.0) / sxx * f.correlation);
  return f;
}

}  // namespace

double qFromStars(float xprim, float yprim, float xsec, float ysec) {
  const double dp = std::hypot(static_cast<double>(xprim), static_cast<double>(yprim));
  const double ds = std::hypot(static_cast<double>(xsec), static_cast<double>(ysec));
  return ds > 0.0 ? dp / ds : NaN;
}

DiskSnapshot measureDisk(const BinaryReference& ref, std::span<const float> X, std::span<const float> Y,
                         std::span<const float> Z, float xprim, float yprim, double time) {
  // The binary's turn: the primary lies at -MU2 (cos t, sin t).
  const double px = xprim, py = yprim, pr = std::hypot(px, py);
  const double c = pr > 0.0 ? -px / pr : 1.0, s = pr > 0.0 ? -py / pr : 0.0;
  DiskSums sums;
  const std::size_t n = std::min({X.size(), Y.size(), Z.size()});
  sums.radii.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double x = X[i], y = Y[i], z = Z[i];
    const double xb = x * c + y * s, yb = -x * s + y * c;
    if (!ref.insidePrimaryLobe(xb, yb, z)) continue;
    sums.add(x - px, y - py, ref.r31);
  }
  return sums.finish(time, static_cast<I32>(n));
}

Precession fitPrecession(const std::vector<DiskSnapshot>& frames, double from, double to) {
  Precession p;
  std::vector<double> t, phase;
  double m1 = 0.0;
  for (const DiskSnapshot& f : frames) {
    if (f.time < from || f.time > to || f.inLobe == 0 || !std::isfinite(f.m1PhaseDeg)) continue;
    double cyc = f.m1PhaseDeg / 360.0;
    if (!phase.empty()) cyc = phase.back() + std::remainder(cyc - phase.back(), 1.0);  // unwrapped
    t.push_back(f.time);
    phase.push_back(cyc);
    m1 += f.m1;
  }
  p.frames = static_cast<I32>(t.size());
  if (t.size() < 3 || !(t.back() > t.front())) {
    p.note = "fewer than 3 frames with disk particles at different times";
    p.frequency = p.frequencyError = p.epsilon = p.epsilonError = p.residualRmsDeg = p.meanM1 = NaN;
    if (!t.empty()) p.from = t.front(), p.to = t.back();
    return p;
  }
  const LineFit line = fitLine(t, phase);
  p.from = t.front();
  p.to = t.back();
  p.frequency = line.slope;
  p.frequencyError = line.slopeError;
  p.residualRmsDeg = line.rms * 360.0;
  p.correlation = line.correlation;
  p.meanM1 = m1 / static_cast<double>(t.size());
  if (!(std::fabs(p.frequency) < 0.5)) {
    // A phase turning half an orbit's rate or more follows the binary, not a precessing disk.
    p.note = "the m = 1 phase turns with the binary (" + std::to_string(p.frequency) +
             " cycles per orbit): no disk precession";
    p.epsilon = p.epsilonError = NaN;
    return p;
  }
  p.measured = true;
  p.epsilon = p.frequency / (1.0 - p.frequency);
  p.epsilonError = p.frequencyError / ((1.0 - p.frequency) * (1.0 - p.frequency));
  return p;
}

DiskEccentricity restartEccentricity(const RestartFile& R, const BinaryReference& ref) {
  DiskEccentricity e;
  e.particles = R.NPART;
  e.time = R.IORBIT;
  const double MU1 = ref.MU1, MU2 = ref.MU2;
  const double dtPhase = 6.28318548 / 200.0;
  const int nb = static_cast<int>(std::ceil(ref.l1Distance / DiskEccentricity::BIN_WIDTH - 1e-9));
  struct Acc {
    I32 n = 0;
    double sumE = 0, ex = 0, ey = 0;
  };
  std::vector<Acc> acc(static_cast<std::size_t>(std::max(nb, 1)));
  Acc all;
  DiskSums sums;
  for (const auto& P : R.particles) {
    const double x = P.X, y = P.Y, z = P.Z;
    if (!ref.insidePrimaryLobe(x, y, z)) continue;
    ++e.inLobe;
    const double dx = x + MU2, dy = y, dz = z;
    sums.add(dx, dy, ref.r31);
    // The velocity in step with the positions: the drift velocity is half a step ahead.
    const double sx = x - MU1;
    const double r1 = std::sqrt(dx * dx + dy * dy + dz * dz), r2 = std::sqrt(sx * sx + dy * dy + dz * dz);
    if (!(r1 > 0.0) || !(r2 > 0.0)) continue;
    const double g1 = MU1 / (r1 * r1 * r1), g2 = MU2 / (r2 * r2 * r2);
    const double ax = -(g1 * dx + g2 * sx) + P.AHX, ay = -(g1 + g2) * dy + P.AHY, az = -(g1 + g2) * dz + P.AHZ;
    const int L = std::clamp<int>(P.LEVEL, 1, std::max<int>(1, R.NLEVELS));
    const double half = 0.5 * dtPhase / static_cast<double>(1 << std::max(0, R.NLEVELS - L));
    // Relative to the primary, which moves with (0, -MU2) at the end of an orbit.
    const double vx = P.VHX - half * ax, vy = P.VHY - half * ay + MU2, vz = P.VHZ - half * az;
    const double hx = dy * vz - dz * vy, hy = dz * vx - dx * vz, hz = dx * vy - dy * vx;
    const double energy = 0.5 * (vx * vx + vy * vy + vz * vz) - MU1 / r1;
    if (!(energy < 0.0)) continue;
    // e = v x h / mu - r / |r|
    const double ex = (vy * hz - vz * hy) / MU1 - dx / r1;
    const double ey = (vz * hx - vx * hz) / MU1 - dy / r1;
    const double ez = (vx * hy - vy * hx) / MU1 - dz / r1;
    const double emag = std::sqrt(ex * ex + ey * ey + ez * ez);
    if (!(emag < 1.0)) continue;
    const auto bin = static_cast<std::size_t>(std::hypot(dx, dy) / DiskEccentricity::BIN_WIDTH);
    for (Acc* a : {&all, bin < acc.size() ? &acc[bin] : nullptr}) {
      if (!a) continue;
      ++a->n;
      a->sumE += emag;
      a->ex += ex;
      a->ey += ey;
    }
  }
  const auto fill = [](const Acc& a, double& meanE, double& coherent, double& dir) {
    if (a.n == 0) {
      meanE = coherent = dir = NaN;
      return;
    }
    meanE = a.sumE / a.n;
    coherent = std::hypot(a.ex, a.ey) / a.n;
    dir = directionDeg(a.ex, a.ey);
  };
  e.bound = all.n;
  fill(all, e.meanE, e.coherentE, e.directionDeg);
  for (std::size_t b = 0; b < acc.size(); ++b) {
    EccentricityBin eb;
    eb.rIn = static_cast<double>(b) * DiskEccentricity::BIN_WIDTH;
    eb.rOut = static_cast<double>(b + 1) * DiskEccentricity::BIN_WIDTH;
    eb.count = acc[b].n;
    fill(acc[b], eb.meanE, eb.coherentE, eb.directionDeg);
    e.bins.push_back(eb);
  }
  e.disk = sums.finish(e.time, R.NPART);
  return e;
}

}  // namespace velmora
