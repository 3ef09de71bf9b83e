// What a telescope sees of a run: the eclipse light curve of each inclination, the emission-line
// profile of every phase (the trailed spectrum) and the Doppler map, with the overlays that are
// drawn on a map (the secondary's lobe in velocity space, the stream, the Keplerian velocity
// along it). Plain C++; the FITS file of the observations is written by analysis/fits/.
//
// Conventions of the observers' tomography codes: x from the white dwarf to the secondary, y
// along the secondary's orbital motion, z along the orbital angular momentum, the centre of mass
// at the origin (the binary frame of the simulation). Velocities are inertial, relative to the
// centre of mass, expressed on these co-rotating axes. The observer's direction in this frame is
// n(phi) = (sin i cos 2 pi phi, -sin i sin 2 pi phi, cos i), the radial velocity V_R = gamma - v.n
// with gamma = 0, so phi = 0 is the white dwarf's mid-eclipse. A Doppler map places the emission
// at the projected velocity (Vx, Vy) = sin i (vx, vy): the white dwarf at (0, -K1), the
// secondary's centre at (0, +K2), and V_R = -Vx cos 2 pi phi + Vy sin 2 pi phi - vz cos i.
// Velocities are computed in units of the orbital speed Omega a and reported in km/s.
//
// The gas is optically thin: a particle is hidden only when the line of sight from it towards
// the observer passes through the secondary's Roche lobe or through the white dwarf.
#pragma once

#include <string>
#include <vector>

#include "analysis/binary_reference.h"
#include "core/state.h"

namespace velmora {

// The light of a particle in a phase.
enum class EmissionKind {
  Dissipation,  // the energy it dissipated in the phase (its part of the light curve)
  Density2,     // rho^2 times its mass
  Uniform,      // one unit each
};
const char* emissionName(EmissionKind kind);
// "dissipation", "density2" or "uniform"; false for any other text.
bool parseEmission(const std::string& text, EmissionKind& kind);

// The pair of stars as the observer needs it, in double precision.
struct ObsBinary {
  BinaryReference ref;    // mass ratio, MU1, MU2, L1 and the Roche potential
  double lobeRadius = 0;  // MU1 - XL1: the sphere of this radius about the secondary holds its lobe
  double xBack = 0;       // x of the back end of the secondary's lobe
  double rwd = 0;         // white dwarf's radius, separations
  double kms = 1;         // Omega a in km/s
  double porb = 0;        // orbital period, seconds
  // q, the white dwarf's radius in separations, Omega a in km/s, the period in seconds.
  static ObsBinary make(double q, double rwd, double kms, double porb);
};
// The binary of a run whose SETSYS has run (masses, radius, units).
ObsBinary obsBinaryOf(const Sim& S);

// Unit vector towards the observer at phase phi (orbits) and inclination i (degrees).
struct Dir3 {
  double x, y, z;
};
Dir3 observerDirection(double inclDeg, double phi);

// The exact test: does the ray from (x, y, z) towards n pass through the secondary's lobe (the
// Roche potential below L1's on the secondary's side of L1) or through the white dwarf? A point
// inside the white dwarf is not hidden by it.
bool hiddenByRay(const ObsBinary& b, const Dir3& n, double x, double y, double z);

// The fast test of one inclination and phase: the lobe's outline projected on the sky, a point
// well inside it and behind the whole lobe is hidden, a point well outside it or in front of
// the whole lobe is not, and the few near the outline or level with the lobe take the ray test.
class SkyView {
 public:
  SkyView(const ObsBinary& b, const std::vector<Dir3>& lobeSurface, const Dir3& n);
  bool hidden(double x, double y, double z) const;

 private:
  ObsBinary b_;
  Dir3 n_, e1_, e2_;
  double secU_ = 0, secV_ = 0, secD_ = 0;  // the secondary's centre on the sky and in depth
  double lobeDepthMin_ = 0, lobeDepthMax_ = 0;
  std::vector<double> edgeA_, edgeB_, edgeC_;  // outline edges: a u + b v + c >= 0 inside (unit normals)
  bool hiddenByWhiteDwarf(double x, double y, double z) const;
};
// Points of the secondary's lobe surface (binary frame), from rays out of its centre.
std::vector<Dir3> lobeSurface(const ObsBinary& b, int rings = 48, int perRing = 96);

// What to observe: inclinations (degrees), line bins, instrumental FWHM (km/s), emission.
struct ObserveSettings {
  std::vector<double> inclinations;
  int lineBins = 201;
  double fwhm = 0.0;
  EmissionKind emission = EmissionKind::Dissipation;
  // Inclinations within 0..90 and distinct, 1..64 of them; line bins 11..4001; the FWHM
  // within 0..10000 km/s. The first problem, empty when there is none; options spelled `spell`.
  std::string problem(const std::string& inclOption, const std::string& binsOption,
                      const std::string& fwhmOption) const;
};
// "82,60" into 82 and 60; false (and `bad` the piece) when a piece is not a number.
bool parseInclinations(const std::string& text, std::vector<double>& out, std::string& bad);

// One particle in the observer's frame: position (separations), velocity (Omega a), light.
struct ObsParticle {
  double x, y, z, vx, vy, vz, w;
};
// The particles 1..NPART of the state at the end of a phase whose binary angle has cosine c and
// sine s, rotated into the binary frame, with their light of the phase.
std::vector<ObsParticle> observedParticles(const Sim& S, float c, float s, EmissionKind kind);

// The observations, accumulated phase by phase.
struct Observations {
  ObsBinary binary;
  ObserveSettings settings;
  double vmax = 0;  // half-width of the velocity range of spectra and maps, km/s
  double dv = 0;    // bin width, km/s (spectra and map pixels alike)
  std::vector<double> phase;                     // phase of each spectrum, orbits from the run's start
  std::vector<double> total;                     // emission of each phase, hidden or not
  std::vector<double> removed;                   // light of gas removed during the phase (not placed)
  std::vector<std::vector<double>> visible;      // [inclination][phase]: emission not hidden
  std::vector<std::vector<float>> spectra;       // [inclination]: phases x lineBins, row by row
  std::vector<std::vector<double>> maps;         // [inclination]: lineBins x lineBins, Vy rows, Vx columns
  int mapPhases = 0;                             // phases summed in the maps
  std::string emissionNote;                      // how the light was taken (FITS header)
  long long firstOrbit = 0;                      // orbit at which observing started
};

// Observes phase after phase; sky views of the 200 phases of an orbit are prepared once.
class Observer {
 public:
  Observer(const ObsBinary& b, const ObserveSettings& s);
  // Adds the phase at `phase` orbits (its fraction tells the binary's orientation).
  // `removed` is the light of gas removed during the phase, which has no place.
  void addPhase(double phase, const std::vector<ObsParticle>& particles, double removed = 0.0);
  const Observations& result() const { return obs_; }
  Observations& result() { return obs_; }
  // Index 0..199 of the prepared sky view of a phase (the nearest 200th of an orbit).
  static int viewIndex(double phase);
  const SkyView& view(std::size_t incl, int index) const { return views_[incl][static_cast<std::size_t>(index)]; }

 private:
  Observations obs_;
  std::vector<std::vector<SkyView>> views_;
  std::vector<double> kernel_;  // the instrumental profile in bins, centred
};

// The line profile of one phase's particles at one inclination, binned over [-vmax, vmax] in
// `bins` bins and convolved with the instrumental profile; visible particles only.
std::vector<double> lineProfile(const ObsBinary& b, const std::vector<ObsParticle>& particles, double inclDeg,
                                double phase, int bins, double vmax, double fwhm, const SkyView* sky);

// Overlays of a Doppler map for sin i = 1, in units of Omega a (scale by sin i and Omega a):
// the secondary's lobe (equatorial outline, rigidly rotating), the ballistic stream from L1
// to its closest approach to the white dwarf, and the Keplerian velocity about the white dwarf
// at the stream's points.
struct MapOverlays {
  std::vector<double> lobeVx, lobeVy;
  std::vector<double> streamVx, streamVy;
  std::vector<double> keplerVx, keplerVy;
  std::vector<double> streamX, streamY;  // the stream's path in the binary frame
};
MapOverlays mapOverlays(const ObsBinary& b);

}  // namespace velmora
