// The simulation state (every shared variable of a run) and the host seam of the step loop.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/arrays.h"
#include "io/run_error.h"

namespace velmora {

using I32 = std::int32_t;
using I16 = std::int16_t;
using L32 = std::int32_t;  // logical flag: -1 true, 0 false

inline constexpr L32 TRUE4 = -1;
inline constexpr L32 FALSE4 = 0;
inline bool isTrue(L32 flag) { return flag != 0; }

// Capacities.
inline constexpr int MAXPART = 25000;   // particle slots
inline constexpr int MAXLEV = 8;        // time-step levels
inline constexpr int MAXSUB = 64;       // sub-steps per phase
inline constexpr int NPHASES = 200;     // phases per orbit
inline constexpr int NLOBE = 101;       // Roche-lobe outline points
inline constexpr int NWDPTS = 61;       // primary outline points
inline constexpr int NKERN = 4001;      // kernel-table entries
inline constexpr int MAXNB = 750;       // neighbour-list entries per particle (entry 1 = itself)
inline constexpr int NGRID = 100;       // cells per row and per column
inline constexpr int NCELLS = 10000;    // cells of one slab
inline constexpr int NWINCELLS = 20000; // cells of the two-slab window
inline constexpr int MAXINCELL = 300;   // particles per window cell
inline constexpr int NSLABS = 42;       // z slabs

// What a pair term reads of a neighbour, packed per particle so that a neighbour costs one
// cache line (a work area of the gas passes, refreshed by each pass before use).
struct alignas(32) GasPoint {  // one record, one AVX load
  float x, y, z, vx, vy, vz, cs, prho2;
};

// A set of keys 0..N-1 whose members are visited in increasing order, and emptied, at a cost in
// proportion to them: a bit per key and a bit per word of keys that holds a member.
template <int N>
struct KeySet {
  static constexpr std::size_t WORDS = (static_cast<std::size_t>(N) + 63) / 64;
  static constexpr std::size_t GROUPS = (WORDS + 63) / 64;
  std::array<std::uint64_t, WORDS> word{};
  std::array<std::uint64_t, GROUPS> group{};

  bool has(int k) const { return ((word[static_cast<std::size_t>(k) / 64] >> (k % 64)) & 1u) != 0; }
  void add(int k) {
    const std::size_t w = static_cast<std::size_t>(k) / 64;
    word[w] |= std::uint64_t{1} << (k % 64);
    group[w / 64] |= std::uint64_t{1} << (w % 64);
  }
  // f(k) for every member, in increasing order; `empty` clears each word once it is visited.
  template <class F>
  void forEach(F f, bool empty = false) {
    for (std::size_t g = 0; g < GROUPS; ++g) {
      std::uint64_t words = group[g];
      if (empty) group[g] = 0;
      while (words != 0) {
        const std::size_t w = g * 64 + static_cast<std::size_t>(__builtin_ctzll(words));
        words &= words - 1;
        std::uint64_t bits = word[w];
        if (empty) word[w] = 0;
        while (bits != 0) {
          f(static_cast<int>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))));
          bits &= bits - 1;
        }
      }
    }
  }
  void clear() {
    forEach([](int) {}, true);
  }
};

// Work area of the neighbour search (not part of the run's state; rebuilt by every search): the
// particles of the cells in use sorted by slab, cell and index, their positions in that order,
// and the table of the cells. A cell's key is (slab - 1) NCELLS + cell - 1.
struct SearchWork {
  static constexpr int NKEYS = NSLABS * NCELLS;
  static constexpr int PAD = 8;                     // room for a last group of lanes
  std::array<I32, MAXPART> key{};                   // key of particle i at [i - 1] (negative: outside)
  std::array<I32, MAXPART> place{};                 // place of particle i at [i - 1] in the sorted order
  std::array<I16, MAXPART> used{};                  // the particles in cells in use, in index order
                                                    // (in pieces, one per thread; see search.cpp)
  std::array<I16, MAXPART + PAD> part{};            // the particle at each place
  std::array<float, MAXPART + PAD> x{}, y{}, z{};   // its position
  std::array<I32, NKEYS> count{}, start{};          // particles of a cell and its first place
  KeySet<NKEYS> occupied, needed;                   // cells holding particles; cells in use
  KeySet<MAXPART> activePlaces;                     // places of the particles whose lists are built
};

// Work area of the passes that run on several threads (not part of the run's state).
struct PassWork {
  // The particles of a pass in its order (level by level) and each one's level.
  std::array<I16, MAXPART> order{};
  std::array<I16, MAXPART> level{};
  // Per position of a pass: results worked out side by side and applied in order.
  std::array<float, MAXPART> du{}, u{}, cs{};
  std::array<std::int8_t, MAXPART> fate{};
};

// How the force passes (FLUID1, FLUID2, FLUID2ALL) take the particles of a pass.
//   Sequential:  one after the other in the pass's order, each kicked as soon as its sum is done,
//                so a later particle reads the kicked velocity of an earlier neighbour (the
//                program's reference scheme; one thread).
//   Synchronous: every sum from the positions and velocities as they were when the pass began,
//                the kicks applied afterwards (independent of the order; shared by every thread).
enum class ForceScheme : std::int8_t { Sequential, Synchronous };

// "sequential" or "synchronous", as the command line, Python and the study tables spell it.
inline const char* forceSchemeName(ForceScheme f) {
  return f == ForceScheme::Synchronous ? "synchronous" : "sequential";
}
// The scheme of that name; false for any other text.
inline bool forceSchemeNamed(std::string_view name, ForceScheme& f) {
  if (name == "sequential") f = ForceScheme::Sequential;
  else if (name == "synchronous") f = ForceScheme::Synchronous;
  else return false;
  return true;
}

class PhaseWatcher;
class RunHost;

struct Sim {
  // 1. Run parameters
  float M1 = 0, M2 = 0;
  float ALPHA = 0, BETA = 0;
  float HINJ = 0;
  I32 NPMAX = 0;
  I32 NORBEND = 0;
  I32 NORBADD = 0;
  I16 INJOFF = 0;
  L32 NEWRUN = FALSE4;
  L32 DEBUGOUT = FALSE4;

  // 2. Geometry of the two stars and physical constants
  float MU1 = 0, MU2 = 0;
  float XL1 = 0, XLOBE = 0, PHIL1 = 0;
  Arr1<float, NLOBE> XEQ, YEQ;
  float RL2A = 0, RL2ASQ = 0;
  float ASEP = 0, PORB = 0, VUNIT = 0;
  float RACCSQ = 0, RWD = 0;
  float TWOPI = 0;
  I32 NPHASE = 0;
  float GAMMA = 0, GAMMA1 = 0, GGAM1 = 0;
  float TINJ = 0, UINJ = 0, CINJ = 0, VINJ = 0;
  float UMIN = 0, UFLOOR = 0, CSFLOOR = 0;
  float TEMPFACTOR = 0;
  float COURANT = 0, CFLA = 0, CFLB = 0;
  float HSPH = 0, HINV = 0, HSQ = 0;
  float TWOH = 0, TWOHINV = 0, CUTSQ = 0;
  float ZOFF = 0, XYOFF = 0, TABSCL = 0;
  float RESCSQ = 0, ZESCSQ = 0;
  float HINJ2 = 0, HINJ4 = 0;
  float RSONE = 0;

  // 3. Kernel tables
  Arr1<float, NKERN> WTAB, DWTAB, VISTAB;

  // 4. Particle arrays
  I32 NPART = 0;
  Arr1<float, MAXPART> X, Y, Z;
  Arr1<float, MAXPART> VX, VY, VZ;
  Arr1<float, MAXPART> VHX, VHY, VHZ;
  Arr1<float, MAXPART> AX, AY, AZ;
  Arr1<float, MAXPART> AHX, AHY, AHZ;
  Arr1<float, MAXPART> AGX, AGY, AGZ;
  Arr1<float, MAXPART> RHO, PRHO2, U, CS, DTREQ;
  Arr1<I16, MAXPART> LEVEL;

  // 5. Time-step levels and time
  I16 NLEVELS = 0;
  Arr1<I16, MAXLEV> NLEV;
  Arr2<I16, MAXPART, MAXLEV> LEVLIST;
  I16 NACT = 0;
  Arr1<I16, MAXSUB> NACTTAB;
  I16 NSUB = 0;
  I32 ICUR = 0;
  Arr1<I16, MAXPART> TMPLIST;
  I16 NTMP = 0;
  Arr1<float, MAXLEV> DTLEV, DTHLEV, DT2LEV;
  float DT1 = 0, DT1H = 0, DTPHASE = 0;
  I32 IPHASE = 0;
  I32 IORBIT = 0;
  I32 ORB0 = 0;
  I32 NORBTOT = 0;

  // 6. Star positions
  Arr1<float, NPHASES> XP0, YP0, XS0, YS0, COS0, SIN0;
  Arr2<float, MAXSUB, NPHASES> XP1, YP1, XS1, YS1, COS1, SIN1;
  Arr2<float, MAXSUB, NPHASES> XP2, YP2, XS2, YS2, COS2, SIN2;
  float XPRIM = 0, YPRIM = 0, XSEC = 0, YSEC = 0;

  // 7. Neighbour structures
  Arr1<I16, MAXPART> NNB;
  Arr2<I16, MAXNB, MAXPART> NBLIST;
  Arr2<I16, MAXNB, MAXPART> NBKIDX;
  Arr2<I16, 13, NCELLS> FWDCELL;
  Arr1<I16, NCELLS> NFWD;
  Arr2<I16, MAXINCELL, NWINCELLS> CELLPART;
  Arr1<I16, NWINCELLS> CELLCNT;
  Arr1<I16, NWINCELLS> OCCLIST;
  Arr2<I16, MAXPART, NSLABS> SLABPART;
  Arr1<I16, NSLABS> SLABCNT;

  // 8. Removal counters and the light curve
  I32 NESC = 0, NACC = 0, NLOST = 0;
  I32 NESC0 = 0, NACC0 = 0, NLOST0 = 0;
  Arr1<I32, NPHASES> NESCPH, NACCPH, NLOSTPH;
  float EDISS = 0;
  Arr1<float, NPHASES> EDISSPH, TPH;

  // 9. Output settings and file names (names are kept without trailing blanks)
  L32 RECFLAG = FALSE4, LCFLAG = FALSE4, RSFLAG = FALSE4;
  I32 RECSTART = 0, LCSTART = 0, RSEVERY = 0, FRAMESTEP = 0;
  I32 NINJREC = 0;
  L32 NEWREC = FALSE4;
  std::string RUNNAME;   // at most 40 characters
  std::string RUNEXT;
  std::string DATANAME;  // file opened for playback or restart
  std::string FILEBUF;
  I32 CANCELLED = 0;

  // 10. Random-number generator state
  Arr1<float, 97> RANU;
  float RANC = 0, RANCD = 0, RANCM = 0;
  I32 I97 = 0, J97 = 0;
  L32 RANTEST = FALSE4;

  // 11. View state the step loop reads and writes, and the outline tables that
  // the recorder and the title scene share with the display.
  L32 SHOWSIM = TRUE4;
  I32 XANGLE = 0, YANGLE = 0;
  L32 LDRAG = FALSE4, RDRAG = FALSE4;
  float MOUSEX = 0, MOUSEY = 0, MOUSEX0 = 0, MOUSEY0 = 0;
  Arr2<float, NLOBE, NPHASES> LOBEX, LOBEY;
  Arr2<float, NWDPTS, NPHASES> WDX, WDY;
  Arr1<float, MAXPART> TEMP4;

  // The force passes' scheme: a choice of the program running the core, kept by REINIT and not
  // stored in the run's files.
  ForceScheme FORCES = ForceScheme::Sequential;

  // Work areas of the gas passes (not part of the run's state; see GasPoint).
  Arr1<GasPoint, MAXPART> GASPT;
  SearchWork searchWork;
  PassWork passWork;

  // While a run is observed (not part of the run's state): the energy each particle has
  // dissipated since the watcher last took it (its part of EDISS), the part of removed gas
  // (moved there when a slot is refilled), and what looks at the state after every phase.
  bool keepEmission = false;
  Arr1<float, MAXPART> emission;
  double emissionRemoved = 0.0;
  PhaseWatcher* watcher = nullptr;
};

// A mouse message of the drawing area, in pixels from its top-left corner.
struct MouseMsg {
  enum Kind { LeftDown, LeftUp, RightDown, RightUp, Move, DoubleClick } kind;
  int x, y;
};

// What the step loop and the playback loop need from the window they run in.
class RunHost {
 public:
  virtual std::optional<MouseMsg> takeMessage() = 0;  // remove at most one pending message
  virtual void setTitle(const std::string& title) = 0;
  virtual void sleepMs(int ms) = 0;
  virtual void show(const Sim& S, I32 NSTEPS, I32 XANGLE, I32 YANGLE, I32 paused) = 0;
  virtual void progress(I32 IPHASE, I32 IORBIT) = 0;
  virtual void viewSize(I32& VIEWW, I32& VIEWH) const = 0;  // for the button hit areas
  virtual void warn(const std::string& message) = 0;        // a frame skipped, a file not written
  virtual ~RunHost() = default;
};

// What looks at a run as it goes (the observations of `--observe`): called by the step loop at
// the end of every phase, once its light-curve sample is booked, and at every restart point,
// once the restart file is written. It reads the state and may reset `emission`.
class PhaseWatcher {
 public:
  virtual void phaseDone(Sim& S) = 0;
  virtual void restartPoint(Sim& S, RunHost& H) = 0;
  virtual ~PhaseWatcher() = default;
};

}  // namespace velmora
