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

#include <algorithm>
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
    if (!all_) markNeeded();
    if (!keys(n)) outsideSlabs(n);
    Fault first = count(n);
    const int placed = starts();
    scatter();
    first = earlier(first, lists(placed));
    clear();
    if (first.kind == Fault::CellFull) throw RunError(cellFullText(S_, first.particle));
    if (first.kind == Fault::ListFull) throw RunError(listFullText(S_, first.particle));
    if (first.kind == Fault::Outside) throw RunError(outsideGridText(S_, first.particle));
  }

 private:
  static constexpr int MAXPIECES = 256;  // pieces of the particles, one per thread
  Sim& S_;
  SearchWork& W_;
  const bool all_;
  int bad_ = 0;                                  // particles outside the grid
  int pieces_ = 0;                               // the in-use particles: pieces of `used`
  int pieceFrom_[MAXPIECES] = {}, pieceTo_[MAXPIECES] = {};

  static Fault earlier(const Fault& a, const Fault& b) { return b.before(a) ? b : a; }

  static int slabOfKey(I32 k) { return k / NCELLS + 1; }

  // The cell key of the particle at (x, y, z): slab 2..41, cell 1..100 of a row and of a column;
  // OUT_Z or OUT_XY outside. No branch, so that the loop over the particles runs in vector lanes.
  struct KeyMaker {
    float XO, YO, inv, zoff, hi;
    explicit KeyMaker(const Sim& S)
        : XO(S.TWOH + S.XYOFF - S.XPRIM), YO(S.TWOH + S.XYOFF - S.YPRIM), inv(S.TWOHINV), zoff(S.ZOFF),
          hi(static_cast<float>(NGRID + 1)) {}
    I32 operator()(float x, float y, float z) const {
      const float t = (z + zoff) * inv, tx = (x + XO) * inv, ty = (y + YO) * inv;
      const bool inz = (t >= 2.0f) & (t < static_cast<float>(NSLABS));
      const bool inxy = (tx >= 1.0f) & (tx < hi) & (ty >= 1.0f) & (ty < hi);
      const I32 s = static_cast<I32>(inz ? t : 2.0f), ix = static_cast<I32>(inxy ? tx : 1.0f),
                iy = static_cast<I32>(inxy ? ty : 1.0f);
      const I32 key = (s - 1) * NCELLS + (iy - 1) * NGRID + ix - 1;
      return inz ? (inxy ? key : OUT_XY) : OUT_Z;
    }
  };

  // 1. The partial search uses only the cells round the active particles (the 3 x 3 x 3 block of
  // each active particle's cell).
  void markNeeded() {
    const KeyMaker keyOf(S_);
    for (int L = 1; L <= S_.NACT; ++L)
      for (int m = 1; m <= S_.NLEV(L); ++m) {
        const int i = S_.LEVLIST(m, L);
        const I32 k = keyOf(S_.X(i), S_.Y(i), S_.Z(i));
        if (k < 0) continue;  // a fault of keys()
        forRuns(k, [&](I32 k0, I32 k1) {
          for (I32 c = k0; c <= k1; ++c) W_.needed.add(c);
        });
      }
  }

  // 2. The cell key of every particle, every list emptied (NNB = 1), and the particles of the
  // cells in use in index order (each thread its own piece); false when a particle is outside
  // the grid.
  bool keys(int n) {
    Sim& S = S_;
    const KeyMaker keyOf(S);
    const float *X = S.X.data(), *Y = S.Y.data(), *Z = S.Z.data();
    I32* key = W_.key.data();
    I16* nnb = S.NNB.data();
    const int T = std::min(threadsFor(n, 4096), MAXPIECES);
    int bad = 0;
    pieces_ = 1;
#pragma omp parallel num_threads(T) reduction(+ : bad)
    {
      const int t = threadIndex(), nt = teamSize();
      const int lo = static_cast<int>(static_cast<long long>(n) * t / nt);
      const int hi = static_cast<int>(static_cast<long long>(n) * (t + 1) / nt);
      // Separate loops, so that the first two run in vector lanes.
      for (int i = lo; i < hi; ++i) nnb[i] = 1;
      for (int i = lo; i < hi; ++i) key[i] = keyOf(X[i], Y[i], Z[i]);
      for (int i = lo; i < hi; ++i) bad += key[i] < 0 ? 1 : 0;
      int m = lo;
      I16* used = W_.used.data();
      if (all_) {
        for (int i = lo; i < hi; ++i) {
          used[m] = static_cast<I16>(i + 1);
          m += key[i] >= 0 ? 1 : 0;
        }
      } else {
        for (int i = lo; i < hi; ++i)
          if (key[i] >= 0 && W_.needed.has(key[i])) used[m++] = static_cast<I16>(i + 1);
      }
      pieceFrom_[t] = lo;
      pieceTo_[t] = m;
      if (t == 0) pieces_ = nt;
    }
    bad_ = bad;
    return bad == 0;
  }

  // A particle outside the slabs is met first, in index order; one outside the x-y grid when its
  // slab is put into the grid (a fault of count()).
  void outsideSlabs(int n) {
    for (int i = 1; i <= n; ++i)
      if (W_.key[static_cast<std::size_t>(i - 1)] == OUT_Z) throw RunError(outsideGridText(S_, i));
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
    if (bad_ > 0)
      for (int i = 1; i <= n; ++i)
        if (W_.key[static_cast<std::size_t>(i - 1)] == OUT_XY) {
          const int s = static_cast<int>((S_.Z(i) + S_.ZOFF) * S_.TWOHINV);
          first = earlier(first, Fault::binning(Fault::Outside, s, i));
        }
    for (int t = 0; t < pieces_; ++t)
      for (int m = pieceFrom_[t]; m < pieceTo_[t]; ++m) {
        const int i = W_.used[static_cast<std::size_t>(m)];
        const I32 k = W_.key[static_cast<std::size_t>(i - 1)];
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
  void scatter() {
    const float *X = S_.X.data(), *Y = S_.Y.data(), *Z = S_.Z.data();
    for (int t = pieces_ - 1; t >= 0; --t)
      for (int m = pieceTo_[t] - 1; m >= pieceFrom_[t]; --m) {
        const int i = W_.used[static_cast<std::size_t>(m)];
        const auto j = static_cast<std::size_t>(i - 1);
        const auto pos = static_cast<std::size_t>(--W_.start[static_cast<std::size_t>(W_.key[j])]);
        W_.part[pos] = static_cast<I16>(i);
        W_.x[pos] = X[j];
        W_.y[pos] = Y[j];
        W_.z[pos] = Z[j];
        W_.place[j] = static_cast<I32>(pos);
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

  // The runs round the cell of key k: places b[r] .. e[r] - 1 of run r (r < nruns), `own` the
  // run of the cell itself. The particles of a cell share them.
  struct Runs {
    I32 key = -1;
    int nruns = 0, own = 0;
    int b[9], e[9];
  };

  void runsOf(I32 k, Runs& R) const {
    R.key = k;
    R.nruns = 0;
    forRuns(k, [&](I32 k0, I32 k1, bool own) {
      if (own) R.own = R.nruns;
      range(k0, k1, R.b[R.nruns], R.e[R.nruns]);
      ++R.nruns;
    });
  }

  // The first entries of particle q's list and kernel indices, fetched for writing: the lists lie
  // 1.5 KB apart, beyond what the processor foresees. A list holds about 200 entries in a dense
  // disk; longer ones are fetched as they are written.
  void prefetchColumns(int q) const {
    const char* nb = reinterpret_cast<const char*>(S_.NBLIST.col(q));
    const char* kk = reinterpret_cast<const char*>(S_.NBKIDX.col(q));
    for (int o = 0; o < 384; o += 64) {
      __builtin_prefetch(nb + o, 1);
      __builtin_prefetch(kk + o, 1);
    }
  }

  // 6. The list of every active particle, each by one thread; returns the first list to overflow.
  // The particles are taken in sorted order, so that a cell's particles follow each other and
  // share their runs.
  Fault lists(int placed) {
    Sim& S = S_;
    // The places whose lists are built: every placed one, or the active ones in increasing order.
    int items = placed;
    I16* order = S.passWork.order.data();
    if (!all_) {
      for (int L = 1; L <= S.NACT; ++L)
        for (int m = 1; m <= S.NLEV(L); ++m) {
          const auto j = static_cast<std::size_t>(S.LEVLIST(m, L) - 1);
          if (W_.key[j] >= 0) W_.activePlaces.add(W_.place[j]);
        }
      items = 0;
      W_.activePlaces.forEach([&](int pl) { order[items++] = static_cast<I16>(pl); }, true);
    }
    const ScanFn scan = kernels().scan;
    const float cut = S.CUTSQ, scl = S.TABSCL;
    const float *xs = W_.x.data(), *ys = W_.y.data(), *zs = W_.z.data();
    Fault first;
    std::atomic<int> next{0};
#pragma omp parallel num_threads(threadsFor(items, 64))
    {
      Fault mine;
      Runs R;
      alignas(32) std::int32_t hit[CHUNK + SearchWork::PAD], hitk[CHUNK + SearchWork::PAD];
      for (;;) {
        const int from = next.fetch_add(32, std::memory_order_relaxed);
        if (from >= items) break;
        const int to = from + 32 < items ? from + 32 : items;
        for (int w = from; w < to; ++w) {
          if (w + 2 < to) prefetchColumns(W_.part[static_cast<std::size_t>(all_ ? w + 2 : order[w + 2])]);
          const int pq = all_ ? w : order[w];
          const int q = W_.part[static_cast<std::size_t>(pq)];
          const float px = xs[pq], py = ys[pq], pz = zs[pq];
          I16* nbl = S.NBLIST.col(q) + 1;  // entry 2 on
          I16* nbk = S.NBKIDX.col(q) + 1;
          int total = 0;      // neighbours found
          int overflow = -1;  // place of the 750th
          auto take = [&](int b, int e) {
            for (int c = b; c < e; c += CHUNK) {
              const int nh = scan(xs, ys, zs, c, e - c > CHUNK ? c + CHUNK : e, px, py, pz, cut, scl, hit, hitk);
              if (total + nh <= MAXNB - 1) {
                for (int h = 0; h < nh; ++h) {
                  nbl[total + h] = W_.part[static_cast<std::size_t>(hit[h])];
                  nbk[total + h] = static_cast<I16>(hitk[h]);
                }
                total += nh;
                continue;
              }
              for (int h = 0; h < nh; ++h, ++total) {
                if (total < MAXNB - 1) {
                  nbl[total] = W_.part[static_cast<std::size_t>(hit[h])];
                  nbk[total] = static_cast<I16>(hitk[h]);
                } else if (total == MAXNB - 1) {
                  overflow = hit[h];
                }
              }
            }
          };
          const I32 k = W_.key[static_cast<std::size_t>(q - 1)];
          if (k != R.key) runsOf(k, R);
          for (int r = 0; r < R.nruns; ++r) {
            if (r == R.own) {
              take(R.b[r], pq);
              take(pq + 1, R.e[r]);
            } else {
              take(R.b[r], R.e[r]);
            }
          }
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
