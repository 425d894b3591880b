#include "dsp/dspFastFourierKernels.h"

namespace dsp::fft {

const Kernels* sseKernels() {
    return nullptr;
}

} // namespace dsp::fft
