#pragma once

#include <complex>
#include <span>

// A radix-2 fast Fourier transform, in place. Pure.
namespace tone {

// `data.size()` must be a power of two; the forward transform, unscaled.
void fft(std::span<std::complex<float>> data);

}  // namespace tone
