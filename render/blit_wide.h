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

// True when the wide kernels are in use: the processor and the system
// support them, and they have not been switched off.
bool WideBlits();

// Switches the wide kernels off (false) or back on where they can run, so
// both paths can be compared on one machine. Returns WideBlits() after it.
bool UseWideBlits(bool on);

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
