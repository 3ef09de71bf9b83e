// Reference radii of a mass ratio in double precision: L1 by bisection of the axial force,
// the 3:1 resonance, circularisation and Roche-lobe radii, and the observed superhump relation.
#include "analysis/binary_reference.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace velmora {

double eggletonRadius(double x) {
  const double t = std::cbrt(x * x);
  return 0.49 * t / (0.6 * t + std::log1p(std::cbrt(x)));
}

double epsilonFromRelation(double q) { return 0.18 * q + 0.29 * q * q; }

double qFromRelation(double eps) {
  if (!(eps > 0.0) || !std::isfinite(eps)) return std::numeric_limits<double>::quiet_NaN();
  return (-0.18 + std::sqrt(0.18 * 0.18 + 4.0 * 0.29 * eps)) / (2.0 * 0.29);
}

double qFromRelationSlope(double q) { return 1.0 / (0.18 + 2.0 * 0.29 * q); }

double BinaryReference::potential(double x, double y, double z) const {
  const double dxp = x + MU2, dxs = x - MU1;
  const double r1 = std::sqrt(dxp * dxp + y * y + z * z), r2 = std::sqrt(dxs * dxs + y * y + z * z);
  return -MU1 / r1 - MU2 / r2 - 0.5 * (x * x + y * y);
}

bool BinaryReference::insidePrimaryLobe(double x, double y, double z) const {
  const double dxp = x + MU2;
  const double r1sq = dxp * dxp + y * y + z * z;
  if (!(r1sq < l1Distance * l1Distance)) return false;
  if (r1sq == 0.0) return true;
  return potential(x, y, z) < phiL1;
}

BinaryReference binaryReference(double q) {
  if (!(q > 0.0) || !std::isfinite(q)) throw std::invalid_argument("the mass ratio must be a positive number");
  BinaryReference b;
  b.q = q;
  b.MU1 = 1.0 / (1.0 + q);
  b.MU2 = q / (1.0 + q);
  // L1: where the axial force of both stars and the centrifugal force balance between them.
  // The force falls from +infinity next to the primary to -infinity next to the secondary.
  const auto force = [&b](double x) {
    const double d1 = x + b.MU2, d2 = b.MU1 - x;
    return b.MU1 / (d1 * d1) - b.MU2 / (d2 * d2) - x;
  };
  double lo = -b.MU2, hi = b.MU1;
  for (int i = 0; i < 200 && hi - lo > 0.0; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (mid == lo || mid == hi) break;
    (force(mid) > 0.0 ? lo : hi) = mid;
  }
  b.XL1 = 0.5 * (lo + hi);
  b.l1Distance = b.XL1 + b.MU2;
  b.phiL1 = b.potential(b.XL1, 0.0, 0.0);
  b.r31 = std::pow(3.0, -2.0 / 3.0) / std::cbrt(1.0 + q);
  const double d2 = b.l1Distance * b.l1Distance;
  b.rCirc = (1.0 + q) * d2 * d2;
  b.rocheLobe = eggletonRadius(1.0 / q);
  b.epsilonRelation = epsilonFromRelation(q);
  return b;
}

}  // namespace velmora
