// Lanes of single-precision values worked side by side: Lane1 (plain scalar code), Lane4 (SSE)
// and Lane8 (AVX2), each with the same operations, so that a loop written once over a lane type
// gives the same bits in every width. Included only by the kernel files (kernels_*.cpp), each
// compiled for its instruction set; everything here has internal linkage.
#pragma once

#include <cstdint>

#include "core/state.h"

#if defined(__SSE2__) && !defined(VELMORA_SCALAR)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
#if defined(__AVX2__) && !defined(VELMORA_SCALAR)
#include <immintrin.h>
#endif

namespace velmora {
namespace {

// The lanes of a group of candidates at places m .. m + W - 1 whose bit is set (the hits of the
// distance test): their places and kernel-table indices written to hit and hitk, in lane order,
// and their number returned. Every lane is written at the next free place, which advances only
// past a hit, so hit and hitk are written up to W places beyond the count.
template <class V>
inline int packByLane(unsigned bits, int m, V d2, V scl, std::int32_t* hit, std::int32_t* hitk) {
  alignas(32) std::int32_t ks[V::W];
  V::tableIndex(d2, scl, ks);
  int nh = 0;
  for (int b = 0; b < V::W; ++b) {
    hit[nh] = m + b;
    hitk[nh] = ks[b];
    nh += static_cast<int>((bits >> b) & 1u);
  }
  return nh;
}

// One lane: the plain scalar path.
struct Lane1 {
  static constexpr int W = 1;
  using Mask = bool;
  float v;

  static Lane1 set1(float a) { return {a}; }
  static Lane1 loadu(const float* p) { return {p[0]}; }
  static Lane1 gather(const float* t, const int* k) { return {t[k[0]]}; }
  // Fields of the packed records of the particles r[0..W-1].
  static void records(const GasPoint* const* r, Lane1& x, Lane1& y, Lane1& z, Lane1& vx, Lane1& vy, Lane1& vz,
                      Lane1& cs, Lane1& pr) {
    const GasPoint& g = *r[0];
    x = {g.x}, y = {g.y}, z = {g.z}, vx = {g.vx}, vy = {g.vy}, vz = {g.vz}, cs = {g.cs}, pr = {g.prho2};
  }
  friend Lane1 operator+(Lane1 a, Lane1 b) { return {a.v + b.v}; }
  friend Lane1 operator-(Lane1 a, Lane1 b) { return {a.v - b.v}; }
  friend Lane1 operator*(Lane1 a, Lane1 b) { return {a.v * b.v}; }
  friend Lane1 operator/(Lane1 a, Lane1 b) { return {a.v / b.v}; }
  static Lane1 sqrt(Lane1 a) { return {__builtin_sqrtf(a.v)}; }
  static Mask lt(Lane1 a, Lane1 b) { return a.v < b.v; }
  static Mask gt(Lane1 a, Lane1 b) { return a.v > b.v; }
  static Mask both(Mask a, Mask b) { return a && b; }
  static Lane1 select(Mask m, Lane1 a, Lane1 b) { return m ? a : b; }
  static Lane1 keep(Mask m, Lane1 a) { return m ? a : Lane1{0.0f}; }
  static unsigned bits(Mask m) { return m ? 1u : 0u; }
  static Mask firstLanes(int n) { return n > 0; }
  static void store(float* p, Lane1 a) { p[0] = a.v; }
  // Kernel-table index: nearest integer of r * scl, halves away from zero, plus one; the
  // fraction v - trunc(v) of a float is exact, so the comparison decides the rounding exactly.
  static void tableIndex(Lane1 d2, Lane1 scl, std::int32_t* k) {
    const float v = __builtin_sqrtf(d2.v) * scl.v;
    const std::int32_t t = static_cast<std::int32_t>(v);
    k[0] = t + (v - static_cast<float>(t) >= 0.5f ? 1 : 0) + 1;
  }
  static int packHits(unsigned bits, int m, Lane1 d2, Lane1 scl, std::int32_t* hit, std::int32_t* hitk) {
    return packByLane<Lane1>(bits, m, d2, scl, hit, hitk);
  }
};

#if defined(__SSE2__) && !defined(VELMORA_SCALAR)
// Four lanes (SSE; every x86-64 has it).
struct Lane4 {
  static constexpr int W = 4;
  using Mask = __m128;
  __m128 v;

  static Lane4 set1(float a) { return {_mm_set1_ps(a)}; }
  static Lane4 loadu(const float* p) { return {_mm_loadu_ps(p)}; }
  static Lane4 gather(const float* t, const int* k) { return {_mm_setr_ps(t[k[0]], t[k[1]], t[k[2]], t[k[3]])}; }
  static void records(const GasPoint* const* r, Lane4& x, Lane4& y, Lane4& z, Lane4& vx, Lane4& vy, Lane4& vz,
                      Lane4& cs, Lane4& pr) {
    __m128 a = _mm_load_ps(&r[0]->x), b = _mm_load_ps(&r[1]->x), c = _mm_load_ps(&r[2]->x), d = _mm_load_ps(&r[3]->x);
    _MM_TRANSPOSE4_PS(a, b, c, d);
    x = {a}, y = {b}, z = {c}, vx = {d};
    a = _mm_load_ps(&r[0]->vy), b = _mm_load_ps(&r[1]->vy), c = _mm_load_ps(&r[2]->vy), d = _mm_load_ps(&r[3]->vy);
    _MM_TRANSPOSE4_PS(a, b, c, d);
    vy = {a}, vz = {b}, cs = {c}, pr = {d};
  }
  friend Lane4 operator+(Lane4 a, Lane4 b) { return {_mm_add_ps(a.v, b.v)}; }
  friend Lane4 operator-(Lane4 a, Lane4 b) { return {_mm_sub_ps(a.v, b.v)}; }
  friend Lane4 operator*(Lane4 a, Lane4 b) { return {_mm_mul_ps(a.v, b.v)}; }
  friend Lane4 operator/(Lane4 a, Lane4 b) { return {_mm_div_ps(a.v, b.v)}; }
  static Lane4 sqrt(Lane4 a) { return {_mm_sqrt_ps(a.v)}; }
  static Mask lt(Lane4 a, Lane4 b) { return _mm_cmplt_ps(a.v, b.v); }
  static Mask gt(Lane4 a, Lane4 b) { return _mm_cmpgt_ps(a.v, b.v); }
  static Mask both(Mask a, Mask b) { return _mm_and_ps(a, b); }
  static Lane4 select(Mask m, Lane4 a, Lane4 b) { return {_mm_or_ps(_mm_and_ps(m, a.v), _mm_andnot_ps(m, b.v))}; }
  static Lane4 keep(Mask m, Lane4 a) { return {_mm_and_ps(m, a.v)}; }
  static unsigned bits(Mask m) { return static_cast<unsigned>(_mm_movemask_ps(m)); }
  static Mask firstLanes(int n) {
    return _mm_castsi128_ps(_mm_cmpgt_epi32(_mm_set1_epi32(n), _mm_setr_epi32(0, 1, 2, 3)));
  }
  static void store(float* p, Lane4 a) { _mm_storeu_ps(p, a.v); }
  static void tableIndex(Lane4 d2, Lane4 scl, std::int32_t* k) {
    const __m128 v = _mm_mul_ps(_mm_sqrt_ps(d2.v), scl.v);
    const __m128i t = _mm_cvttps_epi32(v);
    const __m128i up = _mm_castps_si128(_mm_cmpge_ps(_mm_sub_ps(v, _mm_cvtepi32_ps(t)), _mm_set1_ps(0.5f)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(k), _mm_add_epi32(_mm_sub_epi32(t, up), _mm_set1_epi32(1)));
  }
  static int packHits(unsigned bits, int m, Lane4 d2, Lane4 scl, std::int32_t* hit, std::int32_t* hitk) {
    return packByLane<Lane4>(bits, m, d2, scl, hit, hitk);
  }
};
#endif

#if defined(__AVX2__) && !defined(VELMORA_SCALAR)
// For each mask of 8 lanes, the lanes whose bit is set in increasing order, then the others:
// the permutation that packs the hits of a group to its front.
struct PackTable {
  alignas(32) std::int32_t lanes[256][8] = {};
  constexpr PackTable() {
    for (int bits = 0; bits < 256; ++bits) {
      int n = 0;
      for (int b = 0; b < 8; ++b)
        if ((bits >> b) & 1) lanes[bits][n++] = b;
      for (int b = 0; b < 8; ++b)
        if (!((bits >> b) & 1)) lanes[bits][n++] = b;
    }
  }
};
inline constexpr PackTable PACK8{};

// Eight lanes (AVX2), chosen at run time where the processor has it. No fused multiply-add:
// the file is compiled without it, so every product is rounded before it is added.
struct Lane8 {
  static constexpr int W = 8;
  using Mask = __m256;
  __m256 v;

  static Lane8 set1(float a) { return {_mm256_set1_ps(a)}; }
  static Lane8 loadu(const float* p) { return {_mm256_loadu_ps(p)}; }
  static Lane8 gather(const float* t, const int* k) {
    return {_mm256_setr_ps(t[k[0]], t[k[1]], t[k[2]], t[k[3]], t[k[4]], t[k[5]], t[k[6]], t[k[7]])};
  }
  // Eight records of eight floats each, transposed into the eight fields.
  static void records(const GasPoint* const* r, Lane8& x, Lane8& y, Lane8& z, Lane8& vx, Lane8& vy, Lane8& vz,
                      Lane8& cs, Lane8& pr) {
    const __m256 r0 = _mm256_loadu_ps(&r[0]->x), r1 = _mm256_loadu_ps(&r[1]->x), r2 = _mm256_loadu_ps(&r[2]->x),
                 r3 = _mm256_loadu_ps(&r[3]->x), r4 = _mm256_loadu_ps(&r[4]->x), r5 = _mm256_loadu_ps(&r[5]->x),
                 r6 = _mm256_loadu_ps(&r[6]->x), r7 = _mm256_loadu_ps(&r[7]->x);
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1), t2 = _mm256_unpacklo_ps(r2, r3),
                 t3 = _mm256_unpackhi_ps(r2, r3), t4 = _mm256_unpacklo_ps(r4, r5), t5 = _mm256_unpackhi_ps(r4, r5),
                 t6 = _mm256_unpacklo_ps(r6, r7), t7 = _mm256_unpackhi_ps(r6, r7);
    const __m256 s0 = _mm256_shuffle_ps(t0, t2, 0x44), s1 = _mm256_shuffle_ps(t0, t2, 0xEE),
                 s2 = _mm256_shuffle_ps(t1, t3, 0x44), s3 = _mm256_shuffle_ps(t1, t3, 0xEE),
                 s4 = _mm256_shuffle_ps(t4, t6, 0x44), s5 = _mm256_shuffle_ps(t4, t6, 0xEE),
                 s6 = _mm256_shuffle_ps(t5, t7, 0x44), s7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    x = {_mm256_permute2f128_ps(s0, s4, 0x20)};
    y = {_mm256_permute2f128_ps(s1, s5, 0x20)};
    z = {_mm256_permute2f128_ps(s2, s6, 0x20)};
    vx = {_mm256_permute2f128_ps(s3, s7, 0x20)};
    vy = {_mm256_permute2f128_ps(s0, s4, 0x31)};
    vz = {_mm256_permute2f128_ps(s1, s5, 0x31)};
    cs = {_mm256_permute2f128_ps(s2, s6, 0x31)};
    pr = {_mm256_permute2f128_ps(s3, s7, 0x31)};
  }
  friend Lane8 operator+(Lane8 a, Lane8 b) { return {_mm256_add_ps(a.v, b.v)}; }
  friend Lane8 operator-(Lane8 a, Lane8 b) { return {_mm256_sub_ps(a.v, b.v)}; }
  friend Lane8 operator*(Lane8 a, Lane8 b) { return {_mm256_mul_ps(a.v, b.v)}; }
  friend Lane8 operator/(Lane8 a, Lane8 b) { return {_mm256_div_ps(a.v, b.v)}; }
  static Lane8 sqrt(Lane8 a) { return {_mm256_sqrt_ps(a.v)}; }
  static Mask lt(Lane8 a, Lane8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_LT_OQ); }
  static Mask gt(Lane8 a, Lane8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_GT_OQ); }
  static Mask both(Mask a, Mask b) { return _mm256_and_ps(a, b); }
  static Lane8 select(Mask m, Lane8 a, Lane8 b) { return {_mm256_blendv_ps(b.v, a.v, m)}; }
  static Lane8 keep(Mask m, Lane8 a) { return {_mm256_and_ps(m, a.v)}; }
  static unsigned bits(Mask m) { return static_cast<unsigned>(_mm256_movemask_ps(m)); }
  static Mask firstLanes(int n) {
    return _mm256_castsi256_ps(_mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
  }
  static void store(float* p, Lane8 a) { _mm256_storeu_ps(p, a.v); }
  static __m256i tableIndex(Lane8 d2, Lane8 scl) {
    const __m256 v = _mm256_mul_ps(_mm256_sqrt_ps(d2.v), scl.v);
    const __m256i t = _mm256_cvttps_epi32(v);
    const __m256i up = _mm256_castps_si256(_mm256_cmp_ps(_mm256_sub_ps(v, _mm256_cvtepi32_ps(t)), _mm256_set1_ps(0.5f), _CMP_GE_OQ));
    return _mm256_add_epi32(_mm256_sub_epi32(t, up), _mm256_set1_epi32(1));
  }
  // The hits moved to the front of the lanes in one permutation each (see packByLane).
  static int packHits(unsigned bits, int m, Lane8 d2, Lane8 scl, std::int32_t* hit, std::int32_t* hitk) {
    const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(PACK8.lanes[bits]));
    const __m256i places = _mm256_add_epi32(_mm256_set1_epi32(m), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(hit), _mm256_permutevar8x32_epi32(places, order));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(hitk), _mm256_permutevar8x32_epi32(tableIndex(d2, scl), order));
    return __builtin_popcount(bits);
  }
};
#endif

}  // namespace
}  // namespace velmora
