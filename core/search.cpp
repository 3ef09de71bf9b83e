// The neighbour search behind SORTALL and SORT: every pair of particles closer than 2h, found
// through a grid of 2h cells in z slabs, into the neighbour lists and their kernel-table indices,
// with the capacity checks of the grid and the lists.
//
// Order of a list. A sweep of the slabs upward, of the cells of a slab in increasing number and
// of the particles of a cell in index order, pairing each particle with the later particles of
// its cell and the particles of the 13 forward cells, appends to every list in one fixed order:
// the neighbours of a particle in increasing (slab, cell, index). So each list is built here on
// its own, by one thread: the particles are sorted by (slab, cell, index), and a particle tests
// the 27 cells round its own (9 runs of 3 adjacent cells, each run contiguous in the sorted
// order), in increasing order, skipping itself. Every pair is tested from both sides with the
// same single-precision arithmetic (dx of one side is -dx of the other), so both lists agree.
#include "core/search.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

#include "core/kernels.h"
#include "core/threads.h"

namespace velmora {
namespace {

constexpr int NKEYS = SearchWork::NKEYS;
constexpr I32 OUT_Z = -1;   // key of a particle outside the slabs
constexpr I32 OUT_XY = -2;  // key of a particle outside the x-y grid
constexpr int CHUNK = 256;  // candidates tested per call of the distance kernel

std::string cellFullText(const Sim& S, int p) {
  char buf[320];
  std::snprintf(buf, sizeof buf,
                "particle %d is the %dth in one cell of the neighbour grid, which holds at most %d "
                "(the gas is too dense for h = %.4f): choose a smaller smoothing length or fewer particles",
                p, MAXINCELL + 1, MAXINCELL, static_cast<double>(S.HSPH));
  return buf;
}

std::string listFullText(const Sim& S, int p) {
  char buf[320];
  std::snprintf(buf, sizeof buf,
                "particle %d has more than %d neighbours; a neighbour list holds %d entries including the "
                "particle itself (the gas is too dense for h = %.4f): choose a smaller smoothing length or "
                "fewer particles",
                p, MAXNB - 1, MAXNB, static_cast<double>(S.HSPH));
  return buf;
}

std::string outsideGridText(const Sim& S, int p) {
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
  return buf;
}

// A fault of the search, ordered as a sweep of the slabs upward meets them: the particles of slab
// s are put into the grid (outside the x-y grid, the 301st of a cell) before the pairs of slab
// s - 1 are formed, and a list overflows when its 750th neighbour is added (at the turn of that
// neighbour, or of the particle itself when the neighbour comes later).
struct Fault {
  enum Kind { None, Outside, CellFull, ListFull } kind = None;
  int particle = 0;
  long long order[4] = {};  // compared in turn

  bool before(const Fault& o) const {
    if (o.kind == None) return kind != None;
    if (kind == None) return false;
    for (int n = 0; n < 4; ++n)
      if (order[n] != o.order[n]) return order[n] < o.order[n];
    return false;
  }
  // Putting particle p of slab s into the grid.
  static Fault binning(Kind k, int s, int p) { return {k, p, {s - 1, 0, p, 0}}; }
  // The 750th neighbour of the particle at place `place` added at the turn of the particle at
  // place `turn` of slab t.
  static Fault list(int p, int t, int turn, int place) { return {ListFull, p, {t, 1, turn, place}}; }
};

class Search {
 public:
  Search(Sim& S, bool all) : S_(S), W_(S.searchWork), all_(all) {}

  void run() {
    const int n = S_.NPART;
    if (!keys(n)) outsideSlabs(n);
    if (!all_) markNeeded();
    Fault first = count(n);
    const int placed = starts();
    scatter(n);
    first = earlier(first, lists(placed));
    clear();
    if (first.kind == Fault::CellFull) throw RunError(cellFullText(S_, first.particle));
    if (first.kind == Fault::ListFull) throw RunError(listFullText(S_, first.particle));
    if (first.kind == Fault::Outside) throw RunError(outsideGridText(S_, first.particle));
  }

 private:
  Sim& S_;
  SearchWork& W_;
  const bool all_;

  static Fault earlier(const Fault& a, const Fault& b) { return b.before(a) ? b : a; }

  bool active(int i) const { return all_ || S_.LEVEL(i) <= S_.NACT; }
  bool needed(I32 k) const { return all_ || W_.needed.has(k); }
  static int slabOfKey(I32 k) { return k / NCELLS + 1; }

  // 1. The cell key of every particle, every list emptied (NNB = 1); false when a particle is
  // outside the grid.
  bool keys(int n) {
    Sim& S = S_;
    const float XO = S.TWOH + S.XYOFF - S.XPRIM, YO = S.TWOH + S.XYOFF - S.YPRIM;
    const float inv = S.TWOHINV, zoff = S.ZOFF, hi = static_cast<float>(NGRID + 1);
    int bad = 0;
#pragma omp parallel for num_threads(threadsFor(n, 4096)) schedule(static) reduction(+ : bad)
    for (int i = 1; i <= n; ++i) {
      S.NNB(i) = 1;
      const float t = (S.Z(i) + zoff) * inv;  // slab 2..41
      I32 key = OUT_Z;
      if (t >= 2.0f && t < static_cast<float>(NSLABS)) {
        const float tx = (S.X(i) + XO) * inv, ty = (S.Y(i) + YO) * inv;  // cell 1..100 of a row and of a column
        key = OUT_XY;
        if (tx >= 1.0f && tx < hi && ty >= 1.0f && ty < hi)
          key = (static_cast<I32>(t) - 1) * NCELLS + (static_cast<I32>(ty) - 1) * NGRID + static_cast<I32>(tx) - 1;
      }
      W_.key[static_cast<std::size_t>(i - 1)] = key;
      bad += key < 0 ? 1 : 0;
    }
    return bad == 0;
  }

  // A particle outside the slabs is met first, in index order; one outside the x-y grid when its
  // slab is put into the grid (a fault of count()).
  void outsideSlabs(int n) {
    for (int i = 1; i <= n; ++i)
      if (W_.key[static_cast<std::size_t>(i - 1)] == OUT_Z) throw RunError(outsideGridText(S_, i));
  }

  // 2. The partial search uses only the cells round the active particles (the 3 x 3 x 3 block of
  // each active particle's cell).
  void markNeeded() {
    for (int L = 1; L <= S_.NACT; ++L)
      for (int m = 1; m <= S_.NLEV(L); ++m) {
        const I32 k = W_.key[static_cast<std::size_t>(S_.LEVLIST(m, L) - 1)];
        if (k < 0) continue;
        forRuns(k, [&](I32 k0, I32 k1) {
          for (I32 c = k0; c <= k1; ++c) W_.needed.add(c);
        });
      }
  }

  // The runs of the 3 x 3 x 3 cells round the cell of key k, in increasing key: for each slab
  // s - 1, s, s + 1 and each row j - 1, j, j + 1 inside the grid, the cells i - 1 .. i + 1 of the
  // row inside the grid. f(k0, k1, own) gets the first and last key of a run, own for k's row.
  template <class F>
  static void forRuns(I32 k, F f) {
    const int sl = k / NCELLS, c = k % NCELLS, iy = c / NGRID, ix = c % NGRID;
    const int xlo = ix > 0 ? ix - 1 : ix, xhi = ix < NGRID - 1 ? ix + 1 : ix;
    for (int ds = -1; ds <= 1; ++ds)  // slabs 2..41 hold particles: s - 1 and s + 1 are in the table
      for (int dy = -1; dy <= 1; ++dy) {
        const int row = iy + dy;
        if (row < 0 || row >= NGRID) continue;
        const I32 base = (sl + ds) * NCELLS + row * NGRID;
        if constexpr (std::is_invocable_v<F, I32, I32, bool>) f(base + xlo, base + xhi, ds == 0 && dy == 0);
        else f(base + xlo, base + xhi);
      }
  }

  // 3. The particles of each cell in use counted in index order; the first to exceed a cell's
  // capacity, or to lie outside the x-y grid, is a fault.
  Fault count(int n) {
    Fault first;
    for (int i = 1; i <= n; ++i) {
      const I32 k = W_.key[static_cast<std::size_t>(i - 1)];
      if (k == OUT_XY) {
        const int s = static_cast<int>((S_.Z(i) + S_.ZOFF) * S_.TWOHINV);
        first = earlier(first, Fault::binning(Fault::Outside, s, i));
        continue;
      }
      if (!needed(k)) continue;
      I32& c = W_.count[static_cast<std::size_t>(k)];
      if (c == 0) W_.occupied.add(k);
      ++c;
      if (c == MAXINCELL + 1) first = earlier(first, Fault::binning(Fault::CellFull, slabOfKey(k), i));
    }
    return first;
  }

  // 4. Each occupied cell's end in the sorted order (scatter() turns it into its start); returns
  // the number of particles placed.
  int starts() {
    I32 total = 0;
    W_.occupied.forEach([&](int k) {
      total += W_.count[static_cast<std::size_t>(k)];
      W_.start[static_cast<std::size_t>(k)] = total;
    });
    return total;
  }

  // 5. The particles into their places, backward so that a cell keeps index order.
  void scatter(int n) {
    for (int i = n; i >= 1; --i) {
      const I32 k = W_.key[static_cast<std::size_t>(i - 1)];
      if (k < 0 || !needed(k)) continue;
      const auto pos = static_cast<std::size_t>(--W_.start[static_cast<std::size_t>(k)]);
      W_.part[pos] = static_cast<I16>(i);
      W_.x[pos] = S_.X(i);
      W_.y[pos] = S_.Y(i);
      W_.z[pos] = S_.Z(i);
      W_.place[static_cast<std::size_t>(i - 1)] = static_cast<I32>(pos);
    }
  }

  // Places b .. e - 1 of the cells k0 .. k1 (empty when none holds a particle).
  void range(I32 k0, I32 k1, int& b, int& e) const {
    b = e = 0;
    bool found = false;
    for (I32 k = k0; k <= k1; ++k) {
      const auto c = static_cast<std::size_t>(k);
      if (W_.count[c] == 0) continue;
      if (!found) b = W_.start[c];
      found = true;
      e = W_.start[c] + W_.count[c];
    }
  }

  // 6. The list of every active particle, each by one thread; returns the first list to overflow.
  Fault lists(int placed) {
    Sim& S = S_;
    // The particles whose lists are built: every placed one, or the active ones of the levels.
    int items = placed;
    I16* order = S.passWork.order.data();
    if (!all_) {
      items = 0;
      for (int L = 1; L <= S.NACT; ++L)
        for (int m = 1; m <= S.NLEV(L); ++m) {
          const int i = S.LEVLIST(m, L);
          if (W_.key[static_cast<std::size_t>(i - 1)] >= 0) order[items++] = static_cast<I16>(i);
        }
    }
    const ScanFn scan = kernels().scan;
    const float cut = S.CUTSQ, scl = S.TABSCL;
    Fault first;
    std::atomic<int> next{0};
#pragma omp parallel num_threads(threadsFor(items, 64))
    {
      Fault mine;
      alignas(32) std::int32_t hit[CHUNK + SearchWork::PAD], hitk[CHUNK + SearchWork::PAD];
      for (;;) {
        const int from = next.fetch_add(32, std::memory_order_relaxed);
        if (from >= items) break;
        const int to = from + 32 < items ? from + 32 : items;
        for (int w = from; w < to; ++w) {
          const int pq = all_ ? w : W_.place[static_cast<std::size_t>(order[w] - 1)];
          const int q = W_.part[static_cast<std::size_t>(pq)];
          const float px = W_.x[static_cast<std::size_t>(pq)], py = W_.y[static_cast<std::size_t>(pq)],
                      pz = W_.z[static_cast<std::size_t>(pq)];
          I16* nbl = S.NBLIST.col(q);
          I16* nbk = S.NBKIDX.col(q);
          int total = 0;      // neighbours found
          int overflow = -1;  // place of the 750th
          auto take = [&](int b, int e) {
            for (int c = b; c < e; c += CHUNK) {
              const int nh = scan(W_.x.data(), W_.y.data(), W_.z.data(), c, e - c > CHUNK ? c + CHUNK : e, px, py, pz,
                                  cut, scl, hit, hitk);
              for (int h = 0; h < nh; ++h) {
                if (total < MAXNB - 1) {
                  nbl[total + 1] = W_.part[static_cast<std::size_t>(hit[h])];
                  nbk[total + 1] = static_cast<I16>(hitk[h]);
                } else if (total == MAXNB - 1) {
                  overflow = hit[h];
                }
                ++total;
              }
            }
          };
          forRuns(W_.key[static_cast<std::size_t>(q - 1)], [&](I32 k0, I32 k1, bool own) {
            int b, e;
            range(k0, k1, b, e);
            if (own) {
              take(b, pq);
              take(pq + 1, e);
            } else {
              take(b, e);
            }
          });
          S.NNB(q) = static_cast<I16>(total < MAXNB - 1 ? total + 1 : MAXNB);
          if (overflow >= 0) {
            const int turn = overflow < pq ? overflow : pq;
            const int t = slabOfKey(W_.key[static_cast<std::size_t>(W_.part[static_cast<std::size_t>(turn)] - 1)]);
            mine = earlier(mine, Fault::list(q, t, turn, pq));
          }
        }
      }
      if (mine.kind != Fault::None) {
#pragma omp critical(velmora_search_fault)
        first = earlier(first, mine);
      }
    }
    return first;
  }

  // 7. The tables emptied for the next search.
  void clear() {
    W_.occupied.forEach([&](int k) { W_.count[static_cast<std::size_t>(k)] = 0; }, true);
    if (!all_) W_.needed.clear();
  }
};

}  // namespace

void neighbourSweep(Sim& S, bool all) { Search(S, all).run(); }

}  // namespace velmora
