// The wide blit kernels: AVX-512 (byte and word instructions and VBMI2's
// compress and expand, on 128-, 256- and 512-bit registers) versions of the
// translucent raw blits and of the run-length copies, chosen at run time.
// Masked loads and stores move a run, or a row's last few pixels, exactly:
// no byte outside it is read or written, so there is no length ladder and no
// tail loop. They draw the same bytes as the plain blits for every input.
// Internal to render/.
#pragma once

#include <cstdint>

#include "render/effects.h"

// GCC's per-function target switch is what lets one file hold them; other
// compilers get the plain blits.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__) && defined(__GNUC__) && \
    !defined(__clang__) && !defined(VANTOR_PLAIN_BLITS)
#define VANTOR_WIDE_BLITS 1
#else
#define VANTOR_WIDE_BLITS 0
#endif

// The kernel sets, each needing more of the processor than the one before:
// the portable ones; the AVX2 ones, for the translucent box (render/zoom.cpp)
// and the long runs of shrunk run-length copies (render/zoom_shrink.cpp),
// the portable ones doing the rest; and the wide ones above, with the AVX2
// ones where they have nothing of their own.
enum class KernelSet { Plain, Avx2, Wide };

// The set in use: at start, the best the processor and the system support.
KernelSet Kernels();

// Chooses `set`, or, where the processor lacks it, the best set below it
// that it has, so that every set can be compared with the others on one
// machine. Returns the set chosen.
KernelSet UseKernels(KernelSet set);

// True when the wide kernels are in use.
inline bool WideBlits() { return Kernels() == KernelSet::Wide; }

// Switches to the plain kernels (false) or back to the best there are.
// Returns WideBlits() after it.
inline bool UseWideBlits(bool on) {
  return UseKernels(on ? KernelSet::Wide : KernelSet::Plain) == KernelSet::Wide;
}

#if VANTOR_WIDE_BLITS
// The raw blending blits (EffectBlend, EffectSolidBlend and their Rows
// forms) and the run-length copies (EffectCopy), with the arguments of their
// plain templates. Only to be called while WideBlits() is true.
template <class Effect, Orientation O>
void WideRaw(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels,
             const EffectArgs& args);
template <class Effect, Orientation O>
void WideRle(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
             const EffectArgs& args);
#endif
