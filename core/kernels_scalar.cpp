// The plain scalar path of the kernels: one lane, no vector instructions.
#include "core/pair_kernels.h"

namespace velmora {

const KernelSet& scalarKernels() {
  static const KernelSet set = kernelSetOf<Lane1>(VectorPath::Scalar);
  return set;
}

}  // namespace velmora
