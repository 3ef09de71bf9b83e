// The inner loops of the neighbour search and the force pass, in a plain scalar path and in the
// vector widths the processor offers (SSE, AVX2), chosen once at run time. Every path does the
// same single-precision operations in the same order, so every path gives the same bits.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace velmora {

enum class VectorPath { Scalar, Sse, Avx2 };

// Candidates at places from .. to - 1 of the coordinate arrays xs, ys, zs tested against the
// point (px, py, pz): the places closer than the cut-off (squared distance below cut) and their
// kernel-table indices, in place order, into hit and hitk; returns their number. The arrays are
// read up to 7 places beyond `to`, and hit and hitk written up to 8 places beyond the count.
using ScanFn = int (*)(const float* xs, const float* ys, const float* zs, int from, int to, float px, float py,
                       float pz, float cut, float scl, std::int32_t* hit, std::int32_t* hitk);

// What the pair terms of one particle read: its neighbours taken by the pass, in list order,
// with their table indices, the packed records and the tables (entry 1 of each at [0]).
struct ForceArgs {
  const GasPoint* P;   // P[p - 1] is particle p
  const I16* nb;       // the neighbours, in list order
  const I16* kk;       // and their kernel-table indices
  int n;               // how many
  int self;            // the particle itself (it pads the last group of lanes and counts nothing)
  const float* DW;     // DW[k - 1] is DWTAB(k)
  const float* VIS;    // VIS[k - 1] is VISTAB(k)
  const I16* LEV;      // LEV[p - 1] is LEVEL(p)
  const float* wrow;   // wrow[Lp]: the pair weight of a neighbour of level Lp (Lp = 1..MAXLEV)
  float ALPHA, BETA;
};

// The hydrodynamic acceleration of the pair sum, added in list order, and MUMAX.
struct ForceSum {
  float ahx, ahy, ahz, mumax;
};
using ForceFn = ForceSum (*)(const ForceArgs&);

struct KernelSet {
  VectorPath path;
  ScanFn scan;
  ForceFn force;          // every pair weighted 1
  ForceFn forceWeighted;  // each pair times wrow of the neighbour's level
};

// The kernels in use: the widest path the processor and the build offer, unless a path was chosen.
const KernelSet& kernels();

// Chooses a path (tests compare them); false, and no change, when the build or the processor
// lacks it. The default is the widest path the build and the processor offer.
bool setVectorPath(VectorPath p);
VectorPath defaultVectorPath();
bool hasVectorPath(VectorPath p);
const char* vectorPathName(VectorPath p);

// The kernels of each path (kernels_scalar.cpp, kernels_sse.cpp, kernels_avx2.cpp).
const KernelSet& scalarKernels();
#if !defined(VELMORA_SCALAR)
const KernelSet& sseKernels();
const KernelSet& avx2Kernels();
#endif

}  // namespace velmora
