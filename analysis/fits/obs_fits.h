// The observations' FITS file NAME_obs.fits (cfitsio), written whole, and read back.
//
// Layout: a primary header with the binary and the settings; TIMES, a table of the phase
// (orbits), time (s) and total light of each spectrum; per inclination I (EXTNAME with the
// inclination, e.g. TRAIL_I82) the trailed spectrum TRAIL_I, an image of one spectrum a row over
// the radial velocity (WCS axis 1 in km/s, centre 0), and the Doppler map MAP_I, an image over
// (Vx, Vy) in km/s (WCS, centre 0); ECLIPSE, a table of the visible light of every inclination per
// phase; LOBE and STREAM, the map's overlays for sin i = 1 in units of Omega a.
#pragma once

#include <string>

#include "analysis/observe.h"

namespace velmora {

// The file's bytes.
std::string observationsFits(const Observations& o);
// Written to a temporary file beside `path` and renamed over it. Empty on success, else what
// went wrong.
std::string writeObservations(const std::string& path, const Observations& o);

// What a picture needs of the file: the observations (binary and settings from the header) and
// the overlays. Throws FileError naming the file and what is wrong.
struct ObservationsFile {
  Observations obs;
  MapOverlays overlays;
};
ObservationsFile readObservations(const std::string& path);

// The run's observations file: NAME_obs.fits.
std::string observationsName(const std::string& runName);

}  // namespace velmora
