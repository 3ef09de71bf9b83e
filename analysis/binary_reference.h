// Reference radii and the observed superhump relation for a mass ratio, and the Roche potential
// that decides which gas lies inside the primary's lobe.
#pragma once

namespace velmora {

// The binary of mass ratio q = M2/M1 in the simulation's units: separation 1, total mass 1,
// G = 1, one orbit 2 pi. In the binary frame the centre of mass is the origin, the primary lies
// at x = -MU2 and the secondary at x = +MU1. Computed in double precision.
struct BinaryReference {
  double q = 0, MU1 = 0, MU2 = 0;
  double XL1 = 0;           // x of L1 in the binary frame
  double l1Distance = 0;    // from the primary to L1
  double phiL1 = 0;         // Roche potential at L1
  double r31 = 0;           // 3:1 resonance radius 3^(-2/3) (1 + q)^(-1/3)
  double rCirc = 0;         // circularisation radius: (1 + q) l1Distance^4
  double rocheLobe = 0;     // primary's volume-equivalent lobe radius (Eggleton's formula with 1/q)
  double epsilonRelation = 0;  // the observed relation's period excess 0.18 q + 0.29 q^2

  // Roche potential -MU1/r1 - MU2/r2 - (x^2 + y^2)/2 at a point of the binary frame.
  double potential(double x, double y, double z) const;
  // True for a point of the binary frame inside the primary's Roche lobe: nearer the primary
  // than L1 is, and below the potential of L1.
  bool insidePrimaryLobe(double x, double y, double z) const;
};

// Needs 0 < q (finite); throws std::invalid_argument otherwise.
BinaryReference binaryReference(double q);

// The observed relation between period excess and mass ratio, eps = 0.18 q + 0.29 q^2.
double epsilonFromRelation(double q);
// The relation solved for q (its positive root); NaN for eps <= 0 or not finite.
double qFromRelation(double eps);
// dq/deps of the solved relation at q, for carrying an uncertainty of eps over to q.
double qFromRelationSlope(double q);

// Eggleton's volume-equivalent Roche-lobe radius of the star whose mass over the other's is x.
double eggletonRadius(double x);

}  // namespace velmora
