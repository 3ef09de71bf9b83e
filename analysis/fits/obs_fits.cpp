// The observations' FITS file with cfitsio: built in memory, written with the project's whole-file
// replacement (a kill leaves the last whole file), and read back from memory.
#include "analysis/fits/obs_fits.h"

#include <fitsio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "io/file_error.h"
#include "io/file_io.h"

namespace velmora {
namespace {

std::string fitsError(int status) {
  char text[FLEN_STATUS] = {};
  fits_get_errstatus(status, text);
  return text;
}

struct FitsFailure {
  int status;
  std::string what;
};

// Calls a cfitsio function and turns a failure into a FitsFailure naming the step.
void check(int status, const char* what) {
  if (status != 0) throw FitsFailure{status, what};
}

std::string inclName(const char* prefix, double incl) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s_I%g", prefix, incl);
  return buf;
}

void key(fitsfile* f, const char* name, double v, const char* comment) {
  int st = 0;
  fits_update_key(f, TDOUBLE, name, &v, comment, &st);
  check(st, name);
}
void key(fitsfile* f, const char* name, long v, const char* comment) {
  int st = 0;
  fits_update_key(f, TLONG, name, &v, comment, &st);
  check(st, name);
}
void key(fitsfile* f, const char* name, const std::string& v, const char* comment) {
  int st = 0;
  std::string s = v;
  fits_update_key(f, TSTRING, name, s.data(), comment, &st);
  check(st, name);
}

// A binary table of double columns, all of one length.
void table(fitsfile* f, const char* extname, const std::vector<std::string>& names,
           const std::vector<const std::vector<double>*>& cols, const std::vector<std::string>& units) {
  std::vector<char*> ttype, tform, tunit;
  std::vector<std::string> forms(names.size(), "1D");
  for (std::size_t k = 0; k < names.size(); ++k) {
    ttype.push_back(const_cast<char*>(names[k].c_str()));
    tform.push_back(forms[k].data());
    tunit.push_back(const_cast<char*>(units[k].c_str()));
  }
  const LONGLONG rows = cols.empty() ? 0 : static_cast<LONGLONG>(cols[0]->size());
  int st = 0;
  fits_create_tbl(f, BINARY_TBL, rows, static_cast<int>(names.size()), ttype.data(), tform.data(), tunit.data(),
                  extname, &st);
  check(st, extname);
  for (std::size_t k = 0; k < cols.size(); ++k) {
    if (rows == 0) continue;
    fits_write_col(f, TDOUBLE, static_cast<int>(k + 1), 1, 1, rows, const_cast<double*>(cols[k]->data()), &st);
    check(st, extname);
  }
}

// An image with a linear velocity axis (or two) centred on 0.
template <class T>
void image(fitsfile* f, int bitpix, int datatype, const char* extname, long nx, long ny, const std::vector<T>& data) {
  int st = 0;
  long naxes[2] = {nx, ny};
  fits_create_img(f, bitpix, 2, naxes, &st);
  check(st, extname);
  if (nx * ny > 0) fits_write_img(f, datatype, 1, nx * ny, const_cast<T*>(data.data()), &st);
  check(st, extname);
  key(f, "EXTNAME", std::string(extname), "");
}

void velocityAxis(fitsfile* f, int axis, const char* ctype, const Observations& o) {
  const std::string n = std::to_string(axis);
  key(f, ("CTYPE" + n).c_str(), std::string(ctype), "");
  key(f, ("CUNIT" + n).c_str(), std::string("km/s"), "");
  key(f, ("CRPIX" + n).c_str(), (o.settings.lineBins + 1) / 2.0, "the pixel of velocity 0");
  key(f, ("CRVAL" + n).c_str(), 0.0, "km/s");
  key(f, ("CDELT" + n).c_str(), o.dv, "km/s per pixel");
}

void* grow(void* p, std::size_t n) { return std::realloc(p, n); }

}  // namespace

std::string observationsName(const std::string& runName) { return runName + "_obs.fits"; }

std::string observationsFits(const Observations& o) {
  void* buf = std::malloc(2880);
  std::size_t size = 2880;
  fitsfile* f = nullptr;
  int st = 0;
  fits_create_memfile(&f, &buf, &size, 2880 * 16, grow, &st);
  if (st != 0) {
    std::free(buf);
    throw FitsFailure{st, "memory file"};
  }
  LONGLONG end = 0;
  try {
    const ObsBinary& b = o.binary;
    const std::size_t ni = o.settings.inclinations.size(), nb = static_cast<std::size_t>(o.settings.lineBins);
    const std::size_t np = o.phase.size();
    fits_create_img(f, FLOAT_IMG, 0, nullptr, &st);
    check(st, "primary header");
    key(f, "ORIGIN", std::string("Velmora"), "accretion-disk simulation");
    key(f, "CONTENT", std::string("observations"), "eclipse curves, trailed spectra, Doppler maps");
    key(f, "Q", b.ref.q, "mass ratio M2/M1");
    key(f, "PORB", b.porb, "orbital period, s");
    key(f, "VORB", b.kms, "orbital speed Omega a, km/s");
    key(f, "K1", b.ref.MU2 * b.kms, "white dwarf's orbital speed, km/s (times sin i)");
    key(f, "K2", b.ref.MU1 * b.kms, "secondary's orbital speed, km/s (times sin i)");
    key(f, "RWD", b.rwd, "white dwarf's radius, separations");
    key(f, "EMISSION", o.emissionNote, "the light of a particle in a phase");
    key(f, "LINEBINS", static_cast<long>(nb), "velocity bins of spectra and maps");
    key(f, "FWHM", o.settings.fwhm, "instrumental FWHM, km/s");
    key(f, "VMAX", o.vmax, "half-width of the velocity range, km/s");
    key(f, "GAMMA", 0.0, "systemic velocity, km/s");
    key(f, "NPHASE", static_cast<long>(np), "spectra (phases observed)");
    key(f, "MAPPHASE", static_cast<long>(o.mapPhases), "phases summed in each map");
    key(f, "FIRSTORB", static_cast<long>(o.firstOrbit), "orbit at which observing started");
    key(f, "NINCL", static_cast<long>(ni), "inclinations");
    for (std::size_t k = 0; k < ni; ++k)
      key(f, ("INCL" + std::to_string(k + 1)).c_str(), o.settings.inclinations[k], "inclination, degrees");
    fits_write_comment(f, "Phase 0: the white dwarf's mid-eclipse. V_R = -v.n, n = (sin i cos 2 pi phi,", &st);
    fits_write_comment(f, "-sin i sin 2 pi phi, cos i); x to the secondary, y along its motion.", &st);
    fits_write_comment(f, "Optically thin gas; hidden only by the secondary's Roche lobe and the white dwarf.", &st);
    fits_write_comment(f, "Maps hold all light, hidden or not; spectra and ECLIPSE the visible light.", &st);
    fits_write_comment(f, "REMOVED: light of gas removed (accreted, escaped, returned) in the phase.", &st);
    check(st, "comments");

    std::vector<double> time(np);
    for (std::size_t j = 0; j < np; ++j) time[j] = o.phase[j] * b.porb;
    std::vector<double> removed = o.removed;
    removed.resize(np, 0.0);
    table(f, "TIMES", {"PHASE", "TIME", "TOTAL"}, {&o.phase, &time, &o.total}, {"orbit", "s", ""});
    for (std::size_t k = 0; k < ni; ++k) {
      const double incl = o.settings.inclinations[k], si = std::sin(incl * 3.14159265358979323846 / 180.0);
      image(f, FLOAT_IMG, TFLOAT, inclName("TRAIL", incl).c_str(), static_cast<long>(nb), static_cast<long>(np),
            o.spectra[k]);
      velocityAxis(f, 1, "VRAD", o);
      key(f, "CTYPE2", std::string("SPECTRUM"), "row j: phase and time in TIMES row j");
      key(f, "INCL", incl, "inclination, degrees");
      image(f, DOUBLE_IMG, TDOUBLE, inclName("MAP", incl).c_str(), static_cast<long>(nb), static_cast<long>(nb),
            o.maps[k]);
      velocityAxis(f, 1, "VX", o);
      velocityAxis(f, 2, "VY", o);
      key(f, "INCL", incl, "inclination, degrees");
      key(f, "K1", b.ref.MU2 * b.kms * si, "white dwarf at (0, -K1), km/s");
      key(f, "K2", b.ref.MU1 * b.kms * si, "secondary at (0, +K2), km/s");
    }
    std::vector<std::string> names = {"PHASE", "TIME", "TOTAL", "REMOVED"}, units = {"orbit", "s", "", ""};
    std::vector<const std::vector<double>*> cols = {&o.phase, &time, &o.total, &removed};
    for (std::size_t k = 0; k < ni; ++k) {
      names.push_back(inclName("VIS", o.settings.inclinations[k]));
      units.emplace_back("");
      cols.push_back(&o.visible[k]);
    }
    table(f, "ECLIPSE", names, cols, units);
    const MapOverlays m = mapOverlays(b);
    table(f, "LOBE", {"VX", "VY"}, {&m.lobeVx, &m.lobeVy}, {"Omega a", "Omega a"});
    table(f, "STREAM", {"X", "Y", "VX", "VY", "KEPVX", "KEPVY"},
          {&m.streamX, &m.streamY, &m.streamVx, &m.streamVy, &m.keplerVx, &m.keplerVy},
          {"a", "a", "Omega a", "Omega a", "Omega a", "Omega a"});
    LONGLONG head = 0, data = 0;
    fits_get_hduaddrll(f, &head, &data, &end, &st);
    check(st, "size");
    fits_close_file(f, &st);
    check(st, "close");
  } catch (...) {
    int st2 = 0;
    fits_close_file(f, &st2);
    std::free(buf);
    throw;
  }
  const std::size_t len = static_cast<std::size_t>((end + 2879) / 2880 * 2880);
  std::string bytes(static_cast<const char*>(buf), std::min(len, size));
  std::free(buf);
  return bytes;
}

std::string writeObservations(const std::string& path, const Observations& o) {
  try {
    return replaceAtomically(path, observationsFits(o));
  } catch (const FitsFailure& e) {
    return e.what + ": " + fitsError(e.status);
  }
}

ObservationsFile readObservations(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path, "cannot be opened");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t size = bytes.size();
  void* buf = bytes.data();
  fitsfile* f = nullptr;
  int st = 0;
  fits_open_memfile(&f, "obs", READONLY, &buf, &size, 0, nullptr, &st);
  if (st != 0) throw FileError(path, "not a FITS file (" + fitsError(st) + ")");
  ObservationsFile r;
  Observations& o = r.obs;
  try {
    const auto num = [&](const char* name) {
      double v = 0;
      fits_read_key(f, TDOUBLE, name, &v, nullptr, &st);
      check(st, name);
      return v;
    };
    char content[FLEN_VALUE] = {};
    fits_read_key(f, TSTRING, "CONTENT", content, nullptr, &st);
    if (st != 0 || std::string(content) != "observations") throw FitsFailure{0, "not a Velmora observations file"};
    const double q = num("Q"), porb = num("PORB"), kms = num("VORB"), rwd = num("RWD");
    if (!(q > 0.0) || !(kms > 0.0)) throw FitsFailure{0, "header: Q and VORB must be positive"};
    o.binary = ObsBinary::make(q, rwd, kms, porb);
    o.settings.lineBins = static_cast<int>(num("LINEBINS"));
    o.settings.fwhm = num("FWHM");
    o.vmax = num("VMAX");
    o.mapPhases = static_cast<int>(num("MAPPHASE"));
    o.firstOrbit = static_cast<long long>(num("FIRSTORB"));
    const int ni = static_cast<int>(num("NINCL"));
    if (o.settings.lineBins < 1 || o.settings.lineBins > 100000 || ni < 1 || ni > 64 || !(o.vmax > 0.0))
      throw FitsFailure{0, "header: LINEBINS, NINCL or VMAX out of range"};
    o.dv = 2.0 * o.vmax / o.settings.lineBins;
    char em[FLEN_VALUE] = {};
    fits_read_key(f, TSTRING, "EMISSION", em, nullptr, &st);
    check(st, "EMISSION");
    o.emissionNote = em;
    for (int k = 1; k <= ni; ++k) o.settings.inclinations.push_back(num(("INCL" + std::to_string(k)).c_str()));

    const auto column = [&](const char* ext, const std::string& name) {
      fits_movnam_hdu(f, BINARY_TBL, const_cast<char*>(ext), 0, &st);
      check(st, ext);
      long rows = 0;
      int col = 0;
      fits_get_num_rows(f, &rows, &st);
      fits_get_colnum(f, CASEINSEN, const_cast<char*>(name.c_str()), &col, &st);
      check(st, (std::string(ext) + " " + name).c_str());
      std::vector<double> v(static_cast<std::size_t>(rows));
      if (rows > 0) fits_read_col(f, TDOUBLE, col, 1, 1, rows, nullptr, v.data(), nullptr, &st);
      check(st, ext);
      return v;
    };
    o.phase = column("TIMES", "PHASE");
    o.total = column("TIMES", "TOTAL");
    o.removed = column("ECLIPSE", "REMOVED");
    const std::size_t np = o.phase.size(), nb = static_cast<std::size_t>(o.settings.lineBins);
    for (double incl : o.settings.inclinations) {
      o.visible.push_back(column("ECLIPSE", inclName("VIS", incl)));
      if (o.visible.back().size() != np) throw FitsFailure{0, "ECLIPSE and TIMES differ in length"};
      const auto img = [&](const std::string& name, std::size_t rows, auto& out, int type) {
        fits_movnam_hdu(f, IMAGE_HDU, const_cast<char*>(name.c_str()), 0, &st);
        check(st, name.c_str());
        long naxes[2] = {0, 0};
        int naxis = 0;
        fits_get_img_dim(f, &naxis, &st);
        fits_get_img_size(f, 2, naxes, &st);
        check(st, name.c_str());
        if (naxis != 2 || static_cast<std::size_t>(naxes[0]) != nb || static_cast<std::size_t>(naxes[1]) != rows)
          throw FitsFailure{0, name + ": image size does not match the header"};
        out.resize(nb * rows);
        if (!out.empty())
          fits_read_img(f, type, 1, static_cast<LONGLONG>(out.size()), nullptr, out.data(), nullptr, &st);
        check(st, name.c_str());
      };
      o.spectra.emplace_back();
      img(inclName("TRAIL", incl), np, o.spectra.back(), TFLOAT);
      o.maps.emplace_back();
      img(inclName("MAP", incl), nb, o.maps.back(), TDOUBLE);
    }
    r.overlays.lobeVx = column("LOBE", "VX");
    r.overlays.lobeVy = column("LOBE", "VY");
    r.overlays.streamX = column("STREAM", "X");
    r.overlays.streamY = column("STREAM", "Y");
    r.overlays.streamVx = column("STREAM", "VX");
    r.overlays.streamVy = column("STREAM", "VY");
    r.overlays.keplerVx = column("STREAM", "KEPVX");
    r.overlays.keplerVy = column("STREAM", "KEPVY");
  } catch (const FitsFailure& e) {
    int st2 = 0;
    fits_close_file(f, &st2);
    throw FileError(path, e.status != 0 ? e.what + ": " + fitsError(e.status) : e.what);
  }
  int st2 = 0;
  fits_close_file(f, &st2);
  return r;
}

}  // namespace velmora
