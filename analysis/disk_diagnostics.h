// The disk about the primary: which gas lies in the primary's Roche lobe, its radii, the m = 1
// and m = 2 modes of its positions and their turning (recordings), and the eccentricity of the
// particles' orbits (restart files).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "analysis/binary_reference.h"
#include "core/state.h"
#include "files/restart_file.h"

namespace velmora {

// The disk at one moment. Radii are distances from the primary in the orbital plane, in units of
// the separation. Modes: A_m = |mean of exp(i m phi)| over the disk particles, phi their azimuth
// about the primary in the inertial frame; a ring of particles on orbits of eccentricity e
// about the primary, spread evenly in time along the orbit, has A_1 = e and its m = 1 phase
// points to the apocentre.
struct DiskSnapshot {
  double time = 0;       // orbits
  I32 particles = 0;     // all particles of the moment
  I32 inLobe = 0;        // those inside the primary's Roche lobe: the disk (and the stream's end)
  double r10 = 0, r50 = 0, r90 = 0;  // radius percentiles of the disk particles (NaN: no particle)
  double beyondR31 = 0;  // fraction of the disk particles beyond the 3:1 resonance radius
  double m1 = 0, m2 = 0;  // mode amplitudes (NaN: no particle)
  double m1PhaseDeg = 0;  // direction of the m = 1 mode, degrees in [0, 360), inertial frame
};

// Positions of n particles in the inertial frame and the primary at (xprim, yprim); the
// binary's orientation follows from the primary's position.
DiskSnapshot measureDisk(const BinaryReference& ref, std::span<const float> X, std::span<const float> Y,
                         std::span<const float> Z, float xprim, float yprim, double time);

// The mass ratio the stars' positions give: the primary lies MU2 and the secondary MU1 from the
// centre of mass. NaN when the secondary is at the centre.
double qFromStars(float xprim, float yprim, float xsec, float ysec);

// Precession of the disk: a straight line fitted to the unwrapped m = 1 phase against time.
struct Precession {
  bool measured = false;
  I32 frames = 0;          // frames in the fit
  double from = 0, to = 0; // their first and last time, orbits
  double frequency = 0, frequencyError = 0;  // cycles per orbit, positive prograde
  double epsilon = 0, epsilonError = 0;      // the superhump period excess nu / (1 - nu) it predicts
  double residualRmsDeg = 0;                 // scatter of the phase about the line
  double correlation = 1;                    // factor the error was widened by (residual runs)
  double meanM1 = 0;                         // mean m = 1 amplitude of the frames in the fit
  std::string note;                          // why nothing was measured
};

// Fits the frames whose time lies in [from, to] and whose disk holds particles; needs 3 frames.
Precession fitPrecession(const std::vector<DiskSnapshot>& frames, double from, double to);

// Eccentricity of the orbits about the primary in a ring of radii.
struct EccentricityBin {
  double rIn = 0, rOut = 0;
  I32 count = 0;                  // bound disk particles whose radius lies in [rIn, rOut)
  double meanE = 0;               // mean of |e| (NaN when empty)
  double coherentE = 0;           // |mean e vector|: the aligned, precessing part
  double directionDeg = 0;        // direction of the mean e vector (pericentre), degrees
};

struct DiskEccentricity {
  I32 particles = 0, inLobe = 0;
  I32 bound = 0;           // disk particles on bound orbits about the primary (e < 1)
  double time = 0;         // orbits
  double meanE = 0, coherentE = 0, directionDeg = 0;  // over the bound disk particles (NaN: none)
  std::vector<EccentricityBin> bins;                  // rings of BIN_WIDTH out to the L1 distance
  DiskSnapshot disk;       // radii and modes of the same particles
  static constexpr double BIN_WIDTH = 0.05;
};

// The orbits of a restart file's particles about the primary. The file is written at the end
// of an orbit, when the primary lies at (-MU2, 0) and moves with velocity (0, -MU2); a
// particle's velocity is its drift velocity less half its level's step times its acceleration
// (the stars' gravity and the stored hydrodynamic acceleration). Directions are measured from
// the line from the primary to the secondary, prograde.
DiskEccentricity restartEccentricity(const RestartFile& R, const BinaryReference& ref);

}  // namespace velmora
