// Fixed-size, 1-based, column-major arrays: the storage of the simulation state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace velmora {

#if defined(VELMORA_CHECK_INDEX)
[[noreturn]] inline void indexFault(const char* what, long i, long lo, long hi) {
  std::fprintf(stderr, "velmora: %s index %ld outside %ld..%ld\n", what, i, lo, hi);
  std::abort();
}
#define VELMORA_CHECK(cond, what, i, lo, hi) \
  do { if (!(cond)) ::velmora::indexFault(what, static_cast<long>(i), lo, hi); } while (0)
#else
#define VELMORA_CHECK(cond, what, i, lo, hi) ((void)0)
#endif

// Arr1<T, N>: entries 1..N.
template <class T, int N>
struct Arr1 {
  static constexpr int size = N;
  std::array<T, static_cast<std::size_t>(N)> a{};

  T& operator()(long i) {
    VELMORA_CHECK(i >= 1 && i <= N, "array", i, 1L, static_cast<long>(N));
    return a[static_cast<std::size_t>(i - 1)];
  }
  const T& operator()(long i) const {
    VELMORA_CHECK(i >= 1 && i <= N, "array", i, 1L, static_cast<long>(N));
    return a[static_cast<std::size_t>(i - 1)];
  }
  // Pointer to entry 1; entry i is data()[i - 1].
  T* data() { return a.data(); }
  const T* data() const { return a.data(); }
  void fill(const T& v) { a.fill(v); }
};

// Arr2<T, N, M>: entries (1..N, 1..M), column-major: (i, j) and (i + 1, j) are adjacent.
template <class T, int N, int M>
struct Arr2 {
  static constexpr int rows = N;
  static constexpr int cols = M;
  std::array<T, static_cast<std::size_t>(N) * static_cast<std::size_t>(M)> a{};

  static std::size_t at(long i, long j) {
    return static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(N);
  }
  T& operator()(long i, long j) {
    VELMORA_CHECK(i >= 1 && i <= N, "array row", i, 1L, static_cast<long>(N));
    VELMORA_CHECK(j >= 1 && j <= M, "array column", j, 1L, static_cast<long>(M));
    return a[at(i, j)];
  }
  const T& operator()(long i, long j) const {
    VELMORA_CHECK(i >= 1 && i <= N, "array row", i, 1L, static_cast<long>(N));
    VELMORA_CHECK(j >= 1 && j <= M, "array column", j, 1L, static_cast<long>(M));
    return a[at(i, j)];
  }
  // Pointer to entry (1, j): column j is contiguous.
  T* col(long j) {
    VELMORA_CHECK(j >= 1 && j <= M, "array column", j, 1L, static_cast<long>(M));
    return a.data() + at(1, j);
  }
  const T* col(long j) const {
    VELMORA_CHECK(j >= 1 && j <= M, "array column", j, 1L, static_cast<long>(M));
    return a.data() + at(1, j);
  }
  void fill(const T& v) { a.fill(v); }
};

}  // namespace velmora
