// Observables of a run: occultation by the secondary's lobe and the white dwarf, line profiles,
// Doppler maps and eclipse light curves, and the overlays of a map.
#include "analysis/observe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <set>

namespace velmora {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kEdge = 0.003;   // separations: the band about the outline that takes the ray test
constexpr double kVmaxOmegaA = 6.0;  // half-width of spectra and maps: beyond V_K at the accretion radius

double dot(const Dir3& a, double x, double y, double z) { return a.x * x + a.y * y + a.z * z; }

// Distance from the secondary's centre along the unit direction d to its lobe's surface.
double lobeRadiusAlong(const ObsBinary& b, double dx, double dy, double dz) {
  const double R = b.lobeRadius;
  const auto g = [&](double r) { return b.ref.potential(b.ref.MU1 + r * dx, r * dy, r * dz) - b.ref.phiL1; };
  if (g(R) <= 0.0) return R;
  double lo = 1e-9 * R, hi = R;
  for (int k = 0; k < 60; ++k) {
    const double mid = 0.5 * (lo + hi);
    (g(mid) < 0.0 ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// Does the ray from p towards n meet the secondary's lobe? The chord of the sphere that holds
// the lobe is sampled and the lowest sample refined by golden sections.
bool lobeOnRay(const ObsBinary& b, const Dir3& n, double x, double y, double z) {
  const double wx = x - b.ref.MU1, wy = y, wz = z;
  const double R = b.lobeRadius * 1.001;
  const double bb = dot(n, wx, wy, wz), cc = wx * wx + wy * wy + wz * wz - R * R;
  const double disc = bb * bb - cc;
  if (disc <= 0.0) return false;
  const double root = std::sqrt(disc);
  double t0 = -bb - root;
  const double t1 = -bb + root;
  if (t1 <= 0.0) return false;
  t0 = std::max(t0, 0.0);
  const auto g = [&](double t) {
    const double px = x + t * n.x, py = y + t * n.y, pz = z + t * n.z;
    if (px <= b.ref.XL1) return 1.0;  // the primary's side of L1
    return b.ref.potential(px, py, pz) - b.ref.phiL1;
  };
  constexpr int N = 200;
  int kmin = 0;
  double gmin = g(t0);
  for (int k = 0; k <= N; ++k) {
    const double gk = g(t0 + (t1 - t0) * k / N);
    if (gk < 0.0) return true;
    if (gk < gmin) gmin = gk, kmin = k;
  }
  double lo = t0 + (t1 - t0) * std::max(kmin - 1, 0) / N, hi = t0 + (t1 - t0) * std::min(kmin + 1, N) / N;
  const double r = 0.5 * (std::sqrt(5.0) - 1.0);
  double a = hi - r * (hi - lo), c = lo + r * (hi - lo);
  double ga = g(a), gc = g(c);
  for (int k = 0; k < 80; ++k) {
    if (ga < 0.0 || gc < 0.0) return true;
    if (ga < gc) {
      hi = c, c = a, gc = ga;
      a = hi - r * (hi - lo), ga = g(a);
    } else {
      lo = a, a = c, ga = gc;
      c = lo + r * (hi - lo), gc = g(c);
    }
  }
  return ga < 0.0 || gc < 0.0;
}

bool whiteDwarfOnRay(const ObsBinary& b, const Dir3& n, double x, double y, double z) {
  if (b.rwd <= 0.0) return false;
  const double wx = x + b.ref.MU2;
  const double bb = dot(n, wx, y, z), cc = wx * wx + y * y + z * z - b.rwd * b.rwd;
  return cc > 0.0 && bb < 0.0 && bb * bb - cc > 0.0;
}

}  // namespace

const char* emissionName(EmissionKind kind) {
  switch (kind) {
    case EmissionKind::Density2: return "density2";
    case EmissionKind::Uniform: return "uniform";
    default: return "dissipation";
  }
}

bool parseEmission(const std::string& text, EmissionKind& kind) {
  for (EmissionKind k : {EmissionKind::Dissipation, EmissionKind::Density2, EmissionKind::Uniform})
    if (text == emissionName(k)) return kind = k, true;
  return false;
}

ObsBinary ObsBinary::make(double q, double rwd, double kms, double porb) {
  ObsBinary b;
  b.ref = binaryReference(q);
  b.lobeRadius = b.ref.MU1 - b.ref.XL1;
  b.rwd = rwd;
  b.kms = kms;
  b.porb = porb;
  b.xBack = b.ref.MU1 + lobeRadiusAlong(b, 1.0, 0.0, 0.0);
  return b;
}

ObsBinary obsBinaryOf(const Sim& S) {
  const double asep = S.ASEP > 0.0f ? static_cast<double>(S.ASEP) : 1.0;
  return ObsBinary::make(static_cast<double>(S.M2) / static_cast<double>(S.M1), static_cast<double>(S.RWD) / asep,
                         static_cast<double>(S.VUNIT) / 1000.0, static_cast<double>(S.PORB));
}

Dir3 observerDirection(double inclDeg, double phi) {
  const double i = inclDeg * std::numbers::pi / 180.0, a = kTwoPi * phi;
  return {std::sin(i) * std::cos(a), -std::sin(i) * std::sin(a), std::cos(i)};
}

bool hiddenByRay(const ObsBinary& b, const Dir3& n, double x, double y, double z) {
  return whiteDwarfOnRay(b, n, x, y, z) || lobeOnRay(b, n, x, y, z);
}

std::vector<Dir3> lobeSurface(const ObsBinary& b, int rings, int perRing) {
  std::vector<Dir3> pts;
  for (int k = 0; k <= rings; ++k) {
    const double a = std::numbers::pi * k / rings;
    const int m = (k == 0 || k == rings) ? 1 : perRing;
    for (int j = 0; j < m; ++j) {
      const double be = kTwoPi * j / m;
      const double dx = std::cos(a), dy = std::sin(a) * std::cos(be), dz = std::sin(a) * std::sin(be);
      const double r = lobeRadiusAlong(b, dx, dy, dz);
      pts.push_back({b.ref.MU1 + r * dx, r * dy, r * dz});
    }
  }
  return pts;
}

SkyView::SkyView(const ObsBinary& b, const std::vector<Dir3>& surface, const Dir3& n) : b_(b), n_(n) {
  // Sky axes: e1 across the line of sight in the orbital plane, e2 = n x e1.
  const double h = std::hypot(n.x, n.y);
  e1_ = h > 1e-12 ? Dir3{-n.y / h, n.x / h, 0.0} : Dir3{1.0, 0.0, 0.0};
  e2_ = {n.y * e1_.z - n.z * e1_.y, n.z * e1_.x - n.x * e1_.z, n.x * e1_.y - n.y * e1_.x};
  secU_ = dot(e1_, b.ref.MU1, 0, 0);
  secV_ = dot(e2_, b.ref.MU1, 0, 0);
  secD_ = dot(n_, b.ref.MU1, 0, 0);
  std::vector<std::pair<double, double>> p;
  p.reserve(surface.size());
  lobeDepthMin_ = 1e300, lobeDepthMax_ = -1e300;
  for (const Dir3& s : surface) {
    p.emplace_back(dot(e1_, s.x, s.y, s.z), dot(e2_, s.x, s.y, s.z));
    const double d = dot(n_, s.x, s.y, s.z);
    lobeDepthMin_ = std::min(lobeDepthMin_, d), lobeDepthMax_ = std::max(lobeDepthMax_, d);
  }
  // The outline: the convex hull of the projected surface points (monotone chain, anticlockwise).
  std::sort(p.begin(), p.end());
  p.erase(std::unique(p.begin(), p.end()), p.end());
  std::vector<std::pair<double, double>> hull(2 * p.size());
  const auto cross = [](auto o, auto a, auto c) {
    return (a.first - o.first) * (c.second - o.second) - (a.second - o.second) * (c.first - o.first);
  };
  std::size_t k = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
    hull[k++] = p[i];
  }
  for (std::size_t i = p.size() - 1, t = k + 1; i-- > 0;) {
    while (k >= t && cross(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
    hull[k++] = p[i];
  }
  hull.resize(k > 0 ? k - 1 : 0);
  for (std::size_t i = 0; i < hull.size(); ++i) {
    const auto P = hull[i], Q = hull[(i + 1) % hull.size()];
    const double ex = Q.first - P.first, ey = Q.second - P.second, len = std::hypot(ex, ey);
    if (len == 0.0) continue;
    const double a = -ey / len, c = ex / len;  // inward normal of an anticlockwise outline
    edgeA_.push_back(a);
    edgeB_.push_back(c);
    edgeC_.push_back(-(a * P.first + c * P.second));
  }
}

bool SkyView::hiddenByWhiteDwarf(double x, double y, double z) const { return whiteDwarfOnRay(b_, n_, x, y, z); }

bool SkyView::hidden(double x, double y, double z) const {
  if (hiddenByWhiteDwarf(x, y, z)) return true;
  const double d = dot(n_, x, y, z);
  if (d > lobeDepthMax_ + kEdge) return false;  // in front of the whole lobe
  const double u = dot(e1_, x, y, z), v = dot(e2_, x, y, z);
  const double du = u - secU_, dvv = v - secV_, R = b_.lobeRadius + kEdge;
  if (du * du + dvv * dvv > R * R) return false;  // beside the lobe's sphere
  double m = 1e300;
  for (std::size_t k = 0; k < edgeA_.size(); ++k) m = std::min(m, edgeA_[k] * u + edgeB_[k] * v + edgeC_[k]);
  if (m < -kEdge) return false;                               // outside the outline
  if (m > kEdge && d < lobeDepthMin_ - kEdge) return true;    // inside it and behind the whole lobe
  return lobeOnRay(b_, n_, x, y, z);
}

std::string ObserveSettings::problem(const std::string& inclOption, const std::string& binsOption,
                                     const std::string& fwhmOption) const {
  char buf[200];
  if (inclinations.empty()) return inclOption + " needs at least one inclination";
  if (inclinations.size() > 64) return inclOption + " takes at most 64 inclinations";
  std::set<double> seen;
  for (double i : inclinations) {
    if (!(i >= 0.0 && i <= 90.0)) {
      std::snprintf(buf, sizeof buf, "%s: an inclination must be between 0 and 90 degrees (got %g)", inclOption.c_str(), i);
      return buf;
    }
    if (!seen.insert(i).second) {
      std::snprintf(buf, sizeof buf, "%s: the inclination %g is given twice", inclOption.c_str(), i);
      return buf;
    }
  }
  if (lineBins < 11 || lineBins > 4001) {
    std::snprintf(buf, sizeof buf, "%s must be between 11 and 4001 (got %d)", binsOption.c_str(), lineBins);
    return buf;
  }
  if (!(fwhm >= 0.0 && fwhm <= 10000.0)) {
    std::snprintf(buf, sizeof buf, "%s must be between 0 and 10000 km/s (got %g)", fwhmOption.c_str(), fwhm);
    return buf;
  }
  return {};
}

bool parseInclinations(const std::string& text, std::vector<double>& out, std::string& bad) {
  out.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    char* end = nullptr;
    const double v = std::strtod(piece.c_str(), &end);
    if (piece.empty() || end == piece.c_str() || *end != '\0' || !std::isfinite(v)) return bad = piece, false;
    out.push_back(v);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::vector<ObsParticle> observedParticles(const Sim& S, float c, float s, EmissionKind kind) {
  std::vector<ObsParticle> p(static_cast<std::size_t>(std::max(S.NPART, 0)));
  const double C = c, Sn = s;
  for (int i = 1; i <= S.NPART; ++i) {
    const double X = S.X(i), Y = S.Y(i), VX = S.VX(i), VY = S.VY(i);
    double w = 1.0;
    if (kind == EmissionKind::Dissipation) w = S.emission(i);
    else if (kind == EmissionKind::Density2) w = static_cast<double>(S.RHO(i)) * static_cast<double>(S.RHO(i));
    p[static_cast<std::size_t>(i - 1)] = {X * C + Y * Sn, -X * Sn + Y * C, S.Z(i), VX * C + VY * Sn, -VX * Sn + VY * C,
                                          S.VZ(i), w};
  }
  return p;
}

// The instrumental profile: a Gaussian of the FWHM sampled at the bins, summing to 1.
static std::vector<double> instrumentKernel(double fwhm, double dv) {
  const double sigma = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0))) / dv;
  if (sigma < 1e-3) return {1.0};
  const int half = static_cast<int>(std::ceil(4.0 * sigma));
  std::vector<double> k(static_cast<std::size_t>(2 * half + 1));
  double sum = 0.0;
  for (int j = -half; j <= half; ++j) sum += k[static_cast<std::size_t>(j + half)] = std::exp(-0.5 * j * j / (sigma * sigma));
  for (double& v : k) v /= sum;
  return k;
}

static std::vector<double> convolve(const std::vector<double>& a, const std::vector<double>& k) {
  if (k.size() == 1) return a;
  const int half = static_cast<int>(k.size() / 2), n = static_cast<int>(a.size());
  std::vector<double> out(a.size(), 0.0);
  for (int i = 0; i < n; ++i) {
    if (a[static_cast<std::size_t>(i)] == 0.0) continue;
    for (int j = -half; j <= half; ++j)
      if (i + j >= 0 && i + j < n)
        out[static_cast<std::size_t>(i + j)] += a[static_cast<std::size_t>(i)] * k[static_cast<std::size_t>(j + half)];
  }
  return out;
}

// The bin of a velocity over [-vmax, vmax], or -1 outside.
static int binOf(double v, double vmax, double dv, int bins) {
  const double f = std::floor((v + vmax) / dv);
  return f >= 0.0 && f < bins ? static_cast<int>(f) : -1;
}

std::vector<double> lineProfile(const ObsBinary& b, const std::vector<ObsParticle>& particles, double inclDeg,
                                double phase, int bins, double vmax, double fwhm, const SkyView* sky) {
  const Dir3 n = observerDirection(inclDeg, phase);
  const double dv = 2.0 * vmax / bins;
  std::vector<double> prof(static_cast<std::size_t>(bins), 0.0);
  for (const ObsParticle& p : particles) {
    if (sky ? sky->hidden(p.x, p.y, p.z) : hiddenByRay(b, n, p.x, p.y, p.z)) continue;
    const int k = binOf(-dot(n, p.vx, p.vy, p.vz) * b.kms, vmax, dv, bins);
    if (k >= 0) prof[static_cast<std::size_t>(k)] += p.w;
  }
  return convolve(prof, instrumentKernel(fwhm, dv));
}

Observer::Observer(const ObsBinary& b, const ObserveSettings& s) {
  obs_.binary = b;
  obs_.settings = s;
  obs_.vmax = kVmaxOmegaA * b.kms;
  obs_.dv = 2.0 * obs_.vmax / s.lineBins;
  obs_.emissionNote = emissionName(s.emission);
  const std::size_t ni = s.inclinations.size(), nb = static_cast<std::size_t>(s.lineBins);
  obs_.visible.assign(ni, {});
  obs_.spectra.assign(ni, {});
  obs_.maps.assign(ni, std::vector<double>(nb * nb, 0.0));
  const std::vector<Dir3> surface = lobeSurface(obs_.binary);
  views_.resize(ni);
  for (std::size_t k = 0; k < ni; ++k)
    for (int j = 0; j < NPHASES; ++j)
      views_[k].emplace_back(obs_.binary, surface, observerDirection(s.inclinations[k], j / double(NPHASES)));
  kernel_ = instrumentKernel(s.fwhm, obs_.dv);
}

int Observer::viewIndex(double phase) {
  const double f = phase - std::floor(phase);
  return static_cast<int>(std::lround(f * NPHASES)) % NPHASES;
}

void Observer::addPhase(double phase, const std::vector<ObsParticle>& particles, double removed) {
  Observations& o = obs_;
  const int bins = o.settings.lineBins;
  const auto nb = static_cast<std::size_t>(bins);
  double total = 0.0;
  for (const ObsParticle& p : particles) total += p.w;
  o.phase.push_back(phase);
  o.total.push_back(total);
  o.removed.push_back(removed);
  std::vector<double> prof(nb);
  for (std::size_t k = 0; k < o.settings.inclinations.size(); ++k) {
    const double incl = o.settings.inclinations[k], si = std::sin(incl * std::numbers::pi / 180.0);
    const Dir3 n = observerDirection(incl, phase);
    const SkyView& sky = view(k, viewIndex(phase));
    std::fill(prof.begin(), prof.end(), 0.0);
    double vis = 0.0;
    std::vector<double>& map = o.maps[k];
    for (const ObsParticle& p : particles) {
      const int ix = binOf(si * p.vx * o.binary.kms, o.vmax, o.dv, bins);
      const int iy = binOf(si * p.vy * o.binary.kms, o.vmax, o.dv, bins);
      if (ix >= 0 && iy >= 0) map[static_cast<std::size_t>(iy) * nb + static_cast<std::size_t>(ix)] += p.w;
      if (sky.hidden(p.x, p.y, p.z)) continue;
      vis += p.w;
      const int kb = binOf(-dot(n, p.vx, p.vy, p.vz) * o.binary.kms, o.vmax, o.dv, bins);
      if (kb >= 0) prof[static_cast<std::size_t>(kb)] += p.w;
    }
    o.visible[k].push_back(vis);
    const std::vector<double> row = convolve(prof, kernel_);
    for (double v : row) o.spectra[k].push_back(static_cast<float>(v));
  }
  o.mapPhases += 1;
}

MapOverlays mapOverlays(const ObsBinary& b) {
  MapOverlays m;
  const double mu1 = b.ref.MU1, mu2 = b.ref.MU2;
  // The lobe's equatorial outline, turning with the binary: v = (-y, x).
  for (int j = 0; j <= 180; ++j) {
    const double be = kTwoPi * j / 180.0, dx = std::cos(be), dy = std::sin(be);
    const double r = lobeRadiusAlong(b, dx, dy, 0.0);
    const double x = mu1 + r * dx, y = r * dy;
    m.lobeVx.push_back(-y);
    m.lobeVy.push_back(x);
  }
  // The ballistic stream in the rotating frame from just inside L1 at rest, to its closest
  // approach to the white dwarf: u'' = -grad Phi - 2 z x u (fourth-order Runge-Kutta).
  struct St {
    double x, y, u, v;
  };
  const auto acc = [&](const St& s) {
    const double dx1 = s.x + mu2, dx2 = s.x - mu1;
    const double r1 = std::hypot(dx1, s.y), r2 = std::hypot(dx2, s.y);
    const double g1 = mu1 / (r1 * r1 * r1), g2 = mu2 / (r2 * r2 * r2);
    return St{s.u, s.v, -g1 * dx1 - g2 * dx2 + s.x + 2.0 * s.v, -g1 * s.y - g2 * s.y + s.y - 2.0 * s.u};
  };
  const auto add = [](const St& a, const St& d, double h) { return St{a.x + h * d.x, a.y + h * d.y, a.u + h * d.u, a.v + h * d.v}; };
  St s{b.ref.XL1 - 1e-4, 0.0, 0.0, 0.0};
  const double h = 2e-4;
  double rPrev = 1e300, pathSince = 1e300;
  for (int step = 0; step < 200000; ++step) {
    const double r1 = std::hypot(s.x + mu2, s.y);
    if (pathSince > 0.004) {
      m.streamX.push_back(s.x);
      m.streamY.push_back(s.y);
      m.streamVx.push_back(s.u - s.y);
      m.streamVy.push_back(s.v + s.x);
      const double vk = std::sqrt(mu1 / r1);
      m.keplerVx.push_back(-vk * s.y / r1);
      m.keplerVy.push_back(vk * (s.x + mu2) / r1 - mu2);
      pathSince = 0.0;
    }
    if (r1 > rPrev || r1 < 0.01) break;
    rPrev = r1;
    const St k1 = acc(s), k2 = acc(add(s, k1, h / 2)), k3 = acc(add(s, k2, h / 2)), k4 = acc(add(s, k3, h));
    const St n{s.x + h / 6 * (k1.x + 2 * k2.x + 2 * k3.x + k4.x), s.y + h / 6 * (k1.y + 2 * k2.y + 2 * k3.y + k4.y),
               s.u + h / 6 * (k1.u + 2 * k2.u + 2 * k3.u + k4.u), s.v + h / 6 * (k1.v + 2 * k2.v + 2 * k3.v + k4.v)};
    pathSince += std::hypot(n.x - s.x, n.y - s.y);
    s = n;
  }
  return m;
}

}  // namespace velmora
