// The AVX2 path of the kernels: eight lanes. This file alone is compiled for AVX2 (without fused
// multiply-add), and only the dispatcher calls it, once it has seen that the processor has AVX2.
// Everything it defines besides avx2Kernels has internal linkage, so no AVX2 code can stand in
// for a function of another file.
#include "core/pair_kernels.h"

#if !defined(__AVX2__) || defined(__FMA__)
#error "kernels_avx2.cpp is compiled with -mavx2 and without fused multiply-add"
#endif

namespace velmora {

const KernelSet& avx2Kernels() {
  static const KernelSet set = kernelSetOf<Lane8>(VectorPath::Avx2);
  return set;
}

}  // namespace velmora
