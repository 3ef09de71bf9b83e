// The choice of the kernels' path: the widest the build and the processor offer, or the one a
// caller chose.
#include "core/kernels.h"

#include <atomic>

namespace velmora {
namespace {

std::atomic<const KernelSet*> chosen{nullptr};

const KernelSet* setOf(VectorPath p) {
  switch (p) {
    case VectorPath::Scalar: return &scalarKernels();
#if !defined(VELMORA_SCALAR)
    case VectorPath::Sse: return &sseKernels();
    case VectorPath::Avx2: return &avx2Kernels();
#else
    default: break;
#endif
  }
  return nullptr;
}

}  // namespace

VectorPath defaultVectorPath() {
#if defined(VELMORA_SCALAR)
  return VectorPath::Scalar;
#else
  return hasVectorPath(VectorPath::Avx2) ? VectorPath::Avx2 : VectorPath::Sse;
#endif
}

bool hasVectorPath(VectorPath p) {
#if defined(VELMORA_SCALAR)
  return p == VectorPath::Scalar;
#else
  if (p == VectorPath::Avx2) {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
  }
  return true;
#endif
}

const KernelSet& kernels() {
  const KernelSet* k = chosen.load(std::memory_order_acquire);
  if (k == nullptr) {
    k = setOf(defaultVectorPath());
    chosen.store(k, std::memory_order_release);
  }
  return *k;
}

bool setVectorPath(VectorPath p) {
  if (!hasVectorPath(p)) return false;
  chosen.store(setOf(p), std::memory_order_release);
  return true;
}

const char* vectorPathName(VectorPath p) {
  switch (p) {
    case VectorPath::Scalar: return "scalar";
    case VectorPath::Sse: return "SSE";
    case VectorPath::Avx2: return "AVX2";
  }
  return "?";
}

}  // namespace velmora
