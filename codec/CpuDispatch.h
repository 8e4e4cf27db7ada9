// Run-time choice between the portable code of the primitives and the fast paths that use
// instructions only some processors have. The portable code is always built and is what every
// fast path must agree with; tests run each primitive both ways.
#pragma once

namespace zyq::codec {

// True when the processor has the SHA extensions (with the SSSE3 and SSE4.1 they go with).
bool CpuHasShaExtensions();
// True when the processor has AVX2, BMI1 and BMI2.
bool CpuHasAvx2Bmi2();

// While set, every primitive takes its portable code. For tests and benchmarks; it may be
// flipped at any time and takes effect at the next block a primitive processes.
void SetPortableOnly(bool on);
bool PortableOnly();

// The fast paths in force: the processor has them and the portable code is not forced.
bool UseShaExtensions();
bool UseAvx2Bmi2();

}  // namespace zyq::codec
