// The SSE path of the kernels: four lanes, on every x86-64.
#include "core/pair_kernels.h"

namespace velmora {

const KernelSet& sseKernels() {
  static const KernelSet set = kernelSetOf<Lane4>(VectorPath::Sse);
  return set;
}

}  // namespace velmora
