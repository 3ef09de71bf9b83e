// The sweep shared by SORTALL and SORT: z slabs of thickness 2h swept upward with a
// window of two slabs of 100 x 100 cells, each pair of particles in the same or in
// adjacent cells examined once, and the capacity checks of the tables it fills.
#include "core/search.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace velmora {
namespace {

// Kernel-table index of a pair at squared distance d2: nearest integer of r * TABSCL,
// halves away from zero, plus one. r * TABSCL is not negative, and the fraction
// v - trunc(v) of a float is exact, so the comparison decides the rounding exactly.
[[maybe_unused]] int kernelIndex(float d2, float TABSCL) {
  const float v = std::sqrt(d2) * TABSCL;
  const int t = static_cast<int>(v);
  return t + (v - static_cast<float>(t) >= 0.5f ? 1 : 0) + 1;
}

[[noreturn]] void cellFull(const Sim& S, int p) {
  char buf[320];
  std::snprintf(buf, sizeof buf,
                "particle %d is the %dth in one cell of the neighbour grid, which holds at most %d "
                "(the gas is too dense for h = %.4f): choose a smaller smoothing length or fewer particles",
                p, MAXINCELL + 1, MAXINCELL, static_cast<double>(S.HSPH));
  throw RunError(buf);
}

[[noreturn]] void listFull(const Sim& S, int p) {
  char buf[320];
  std::snprintf(buf, sizeof buf,
                "particle %d has more than %d neighbours; a neighbour list holds %d entries including the "
                "particle itself (the gas is too dense for h = %.4f): choose a smaller smoothing length or "
                "fewer particles",
                p, MAXNB - 1, MAXNB, static_cast<double>(S.HSPH));
  throw RunError(buf);
}

[[noreturn]] void outsideGrid(const Sim& S, int p) {
  const float x = S.X(p), y = S.Y(p), z = S.Z(p);
  char buf[400];
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
    std::snprintf(buf, sizeof buf,
                  "particle %d has no finite position (x %g, y %g, z %g) and cannot be placed in the neighbour "
                  "grid: the gas became unstable; choose a smaller smoothing length or fewer particles",
                  p, static_cast<double>(x), static_cast<double>(y), static_cast<double>(z));
  } else {
    std::snprintf(buf, sizeof buf,
                  "particle %d at x %.5f, y %.5f, z %.5f is outside the neighbour grid, which reaches %.4f "
                  "(100h) from the primary in x and y and %.4f (40h) from the orbital plane in z: choose a "
                  "larger smoothing length to widen the grid",
                  p, static_cast<double>(x), static_cast<double>(y), static_cast<double>(z),
                  static_cast<double>(S.XYOFF), static_cast<double>(40.0f * S.HSPH));
  }
  throw RunError(buf);
}

// Candidate particles of the cell being processed: the cell's own particles followed by
// those of its forward cells, with their positions gathered for the distance loop. A
// particle at place l of its cell is tested against places l+1 .. n - 1 in this order,
// which is the order of the cell's later particles and then of TMPLIST.
struct Candidates {
  static constexpr int CAP = 14 * MAXINCELL + 4;  // and room for a last group of four
  int n = 0;
  I16 idx[CAP];
  alignas(16) float x[CAP];
  alignas(16) float y[CAP];
  alignas(16) float z[CAP];
  alignas(16) std::int32_t act[CAP];  // -1 for an active particle (every particle in the full search), else 0
  // The active candidates alone, in order (partial search): their places and positions.
  int na = 0;
  int aplace[CAP];
  alignas(16) float ax[CAP];
  alignas(16) float ay[CAP];
  alignas(16) float az[CAP];
  int hit[CAP];                       // places of the pairs within the cut-off of the current particle
  int hitk[CAP];                      // and their table indices
};

// ALL: the full search (every particle active). Otherwise only the particles with
// LEVEL <= NACT are active: they get complete lists, the others keep NNB = 1.
template <bool ALL>
class Sweep {
 public:
  explicit Sweep(Sim& S) : S_(S) {}

  void run() {
    Sim& S = S_;
    XO_ = S.TWOH + S.XYOFF - S.XPRIM;
    YO_ = S.TWOH + S.XYOFF - S.YPRIM;

    // 1. Particles into slabs, lists emptied.
    S.SLABCNT.fill(0);
    for (int i = 1; i <= S.NPART; ++i) {
      const int s = slabOf(i);
      S.SLABCNT(s) = static_cast<I16>(S.SLABCNT(s) + 1);
      S.SLABPART(S.SLABCNT(s), s) = static_cast<I16>(i);
      S.NNB(i) = 1;
    }

    // 2. An empty window.
    S.CELLCNT.fill(0);
    S.NTMP = 0;
    int nocc2 = 0;  // plane-2 entries of OCCLIST, after entry NTMP

    // 3. Slabs upward.
    for (int s = 2; s <= NSLABS - 1; ++s) {
      if (S.SLABCNT(s) == 0) continue;
      if (S.SLABCNT(s - 1) > 0) {
        // Slab s was binned into plane 2 with slab s - 1: move it down.
        const int base = S.NTMP;
        S.NTMP = 0;
        for (int e = 1; e <= nocc2; ++e) {
          const int c2 = S.OCCLIST(base + e);
          const int c1 = c2 - NCELLS;
          S.NTMP = static_cast<I16>(S.NTMP + 1);
          S.OCCLIST(S.NTMP) = static_cast<I16>(c1);
          const int cnt = S.CELLCNT(c2);
          const I16* from = S.CELLPART.col(c2);
          I16* to = S.CELLPART.col(c1);
          for (int l = 0; l < cnt; ++l) to[l] = from[l];
          S.CELLCNT(c1) = static_cast<I16>(cnt);
          S.CELLCNT(c2) = 0;
          if constexpr (!ALL) {
            nact_(c1) = nact_(c2);
            nact_(c2) = 0;
          }
        }
      } else {
        bin(s, 0);
        S.NTMP = static_cast<I16>(occupied(0, 1));
      }
      nocc2 = 0;
      if (S.SLABCNT(s + 1) > 0) {
        bin(s + 1, NCELLS);
        nocc2 = occupied(NCELLS, S.NTMP + 1);
      }
      for (int e = 1; e <= S.NTMP; ++e) {
        const int c = S.OCCLIST(e);
        cell(c);
        S.CELLCNT(c) = 0;
        if constexpr (!ALL) nact_(c) = 0;
      }
    }
  }

 private:
  static constexpr int WORDS = (NCELLS + 63) / 64;
  // The lists are filled at scattered places of two large tables; the line a list grows into
  // next is asked for one cache line (32 entries) ahead, so the store seldom waits for memory.
  static constexpr int AHEAD = 32;
  Sim& S_;
  float XO_ = 0, YO_ = 0;
  std::uint64_t occ_[WORDS] = {};  // occupied cells of the plane being binned
  // Partial search: the number of active particles in each window cell.
  struct Empty {};
  [[no_unique_address]] std::conditional_t<ALL, Empty, Arr1<I16, NWINCELLS>> nact_{};
  Candidates C_;

  // Slab of particle i; only slabs 2..41 are swept.
  int slabOf(int i) const {
    const float t = (S_.Z(i) + S_.ZOFF) * S_.TWOHINV;
    if (!(t >= 2.0f && t < static_cast<float>(NSLABS))) outsideGrid(S_, i);  // slab 2..41
    return static_cast<int>(t);
  }

  // Cell 1..10000 of particle i in the x-y grid centred on the primary.
  int cellOf(int i) const {
    const float tx = (S_.X(i) + XO_) * S_.TWOHINV;
    const float ty = (S_.Y(i) + YO_) * S_.TWOHINV;
    const float hi = static_cast<float>(NGRID + 1);
    if (!(tx >= 1.0f && tx < hi && ty >= 1.0f && ty < hi)) outsideGrid(S_, i);
    const int ix = static_cast<int>(tx), iy = static_cast<int>(ty);
    return (iy - 1) * NGRID + ix;
  }

  // The occupied cells of the plane just binned, in increasing order, into OCCLIST from
  // entry `first` on; returns their number. A bit per cell, set when the cell receives its
  // first particle, spares a scan of every cell of the plane.
  int occupied(int plane, int first) {
    int n = 0;
    for (int w = 0; w < WORDS; ++w) {
      std::uint64_t bits = occ_[w];
      occ_[w] = 0;
      while (bits != 0) {
        const int c = w * 64 + std::countr_zero(bits) + 1 + plane;
        bits &= bits - 1;
        S_.OCCLIST(first + n) = static_cast<I16>(c);
        ++n;
      }
    }
    return n;
  }

  // The particles of slab s, in order, into the cells of one plane of the window.
  void bin(int s, int plane) {
    Sim& S = S_;
    const int n = S.SLABCNT(s);
    const I16* part = S.SLABPART.col(s);
    for (int m = 0; m < n; ++m) {
      const int i = part[m];
      const int c0 = cellOf(i) - 1;
      const int c = c0 + 1 + plane;
      const int cnt = S.CELLCNT(c);
      if (cnt >= MAXINCELL) cellFull(S, i);
      occ_[c0 / 64] |= std::uint64_t{1} << (c0 % 64);
      S.CELLPART(cnt + 1, c) = static_cast<I16>(i);
      S.CELLCNT(c) = static_cast<I16>(cnt + 1);
      if constexpr (!ALL) nact_(c) = static_cast<I16>(nact_(c) + (active(i) ? 1 : 0));
    }
  }

  bool active(int i) const {
    if constexpr (ALL) return true;
    else return S_.LEVEL(i) <= S_.NACT;
  }

  void append(int cnt, const I16* part) {
    for (int l = 0; l < cnt; ++l) {
      const int q = part[l];
      C_.idx[C_.n] = static_cast<I16>(q);
      C_.x[C_.n] = S_.X(q);
      C_.y[C_.n] = S_.Y(q);
      C_.z[C_.n] = S_.Z(q);
      C_.act[C_.n] = active(q) ? -1 : 0;
      ++C_.n;
    }
  }

  // Every pair of an occupied plane-1 cell c with its later particles and its forward cells.
  void cell(int c) {
    Sim& S = S_;
    const int own = S.CELLCNT(c);
    const int nf = S.NFWD(c);
    // The partial search pairs only with active particles: a cell whose own and forward cells
    // hold none has no pair to find.
    if constexpr (!ALL) {
      int na = nact_(c);
      for (int f = 1; f <= nf; ++f) na += nact_(S.FWDCELL(f, c));
      if (na == 0) return;
    }
    C_.n = 0;
    append(own, S.CELLPART.col(c));
    // TMPLIST holds the candidates of the forward cells, in FWDCELL order.
    for (int f = 1; f <= nf; ++f) {
      const int cf = S.FWDCELL(f, c);
      append(S.CELLCNT(cf), S.CELLPART.col(cf));
    }
    for (int m = own; m < C_.n; ++m) S.TMPLIST(m - own + 1) = C_.idx[m];

    // An inactive particle tests the active candidates alone.
    if constexpr (!ALL) {
      C_.na = 0;
      for (int m = 0; m < C_.n; ++m) {
        if (C_.act[m] == 0) continue;
        C_.aplace[C_.na] = m;
        C_.ax[C_.na] = C_.x[m];
        C_.ay[C_.na] = C_.y[m];
        C_.az[C_.na] = C_.z[m];
        ++C_.na;
      }
    }
    int a0 = 0;  // the first active candidate after place l

    const float cut = S.CUTSQ, scl = S.TABSCL;
    for (int l = 0; l < own; ++l) {
      const int p = C_.idx[l];
      const bool pAct = C_.act[l] != 0;
      if constexpr (!ALL) {
        while (a0 < C_.na && C_.aplace[a0] <= l) ++a0;
      }
      if (ALL || pAct) {  // p's list is written after the tests
        __builtin_prefetch(S.NBLIST.col(p) + S.NNB(p), 1);
        __builtin_prefetch(S.NBKIDX.col(p) + S.NNB(p), 1);
      }
      // Places of the pairs within the cut-off, in order; for an inactive particle only its
      // active candidates count.
      const int nh = (ALL || pAct) ? within(l, cut, scl) : withinActive(l, a0, cut, scl);
      // Each pair adds q to the list of p (p active) and then p to the list of q (q active).
      // p's list receives only these entries and each q's list only p meanwhile, so all of
      // p's entries can be written first: every list gets the same entries in the same order.
      if (ALL || pAct) {
        const int n0 = S.NNB(p);
        if (n0 + nh > MAXNB) listFull(S, p);
        I16* nbl = S.NBLIST.col(p) + n0;  // entry n0 + 1 onward
        I16* nbk = S.NBKIDX.col(p) + n0;
        for (int h = 0; h < nh; ++h) {
          nbl[h] = C_.idx[C_.hit[h]];
          nbk[h] = static_cast<I16>(C_.hitk[h]);
        }
        S.NNB(p) = static_cast<I16>(n0 + nh);
      }
      for (int h = 0; h < nh; ++h) {
        const int m = C_.hit[h];
        if (ALL || !pAct || C_.act[m] != 0) {
          const int q = C_.idx[m];
          const int n = S.NNB(q);
          if (n >= MAXNB) listFull(S, q);
          I16* ql = S.NBLIST.col(q) + n;
          I16* qk = S.NBKIDX.col(q) + n;
          __builtin_prefetch(ql + AHEAD, 1);
          __builtin_prefetch(qk + AHEAD, 1);
          *ql = static_cast<I16>(p);
          *qk = static_cast<I16>(C_.hitk[h]);
          S.NNB(q) = static_cast<I16>(n + 1);
        }
      }
    }
  }

  // The candidates after place l closer than the cut-off to the particle at place l, in order,
  // with their table indices, into hit and hitk; returns their number.
  int within(int l, float cut, float scl) {
    return scan<false>(C_.x, C_.y, C_.z, nullptr, l + 1, C_.n, l, cut, scl);
  }

  // The same for an inactive particle, whose pairs are only those with active candidates:
  // only the active candidates from entry a0 of the active subset on are tested.
  int withinActive(int l, int a0, float cut, float scl) {
    return scan<true>(C_.ax, C_.ay, C_.az, C_.aplace, a0, C_.na, l, cut, scl);
  }

  // Entries from .. n - 1 of the coordinate arrays xs, ys, zs tested against the particle at
  // place l; a hit at entry m is place m, or place[m] of a subset. The squared distance is
  // ((dx dx + dy dy) + dz dz) in single precision, four entries side by side.
  template <bool SUBSET>
  int scan(const float* xs, const float* ys, const float* zs, const int* place, int from, int n, int l,
           float cut, float scl) {
    const float px = C_.x[l], py = C_.y[l], pz = C_.z[l];
    int nh = 0;
    int m = from;
#if defined(__SSE2__)
    const __m128 PX = _mm_set1_ps(px), PY = _mm_set1_ps(py), PZ = _mm_set1_ps(pz);
    const __m128 CUT = _mm_set1_ps(cut), SCL = _mm_set1_ps(scl), HALF = _mm_set1_ps(0.5f);
    const __m128i ONE = _mm_set1_epi32(1);
    alignas(16) std::int32_t ks[4];
    for (; m < n; m += 4) {
      const __m128 dx = _mm_sub_ps(PX, _mm_loadu_ps(xs + m));
      const __m128 dy = _mm_sub_ps(PY, _mm_loadu_ps(ys + m));
      const __m128 dz = _mm_sub_ps(PZ, _mm_loadu_ps(zs + m));
      const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
      int bits = _mm_movemask_ps(_mm_cmplt_ps(d2, CUT));
      if (n - m < 4) bits &= (1 << (n - m)) - 1;
      // An inactive particle has few active neighbours: most groups hold no hit.
      if (SUBSET && bits == 0) continue;
      // Table index: nearest integer of r * TABSCL, halves up, plus one (as kernelIndex).
      const __m128 v = _mm_mul_ps(_mm_sqrt_ps(d2), SCL);
      const __m128i t = _mm_cvttps_epi32(v);
      const __m128i up = _mm_castps_si128(_mm_cmpge_ps(_mm_sub_ps(v, _mm_cvtepi32_ps(t)), HALF));
      _mm_store_si128(reinterpret_cast<__m128i*>(ks), _mm_add_epi32(_mm_sub_epi32(t, up), ONE));
      if constexpr (SUBSET) {
        do {
          const int b = std::countr_zero(static_cast<unsigned>(bits));
          bits &= bits - 1;
          C_.hit[nh] = place[m + b];
          C_.hitk[nh] = ks[b];
          ++nh;
        } while (bits != 0);
      } else {
        // The hits packed without a branch: every lane is written at the next free place, and
        // the place advances only past a hit (whether a group holds one is a coin toss).
        for (int b = 0; b < 4; ++b) {
          C_.hit[nh] = m + b;
          C_.hitk[nh] = ks[b];
          nh += (bits >> b) & 1;
        }
      }
    }
#else
    for (; m < n; ++m) {
      const float dx = px - xs[m], dy = py - ys[m], dz = pz - zs[m];
      const float d2 = dx * dx + dy * dy + dz * dz;
      if (d2 < cut) {
        C_.hit[nh] = SUBSET ? place[m] : m;
        C_.hitk[nh] = kernelIndex(d2, scl);
        ++nh;
      }
    }
#endif
    return nh;
  }
};

}  // namespace

void neighbourSweep(Sim& S, bool all) {
  if (all) Sweep<true>(S).run();
  else Sweep<false>(S).run();
}

}  // namespace velmora
