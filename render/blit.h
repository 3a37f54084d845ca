// Drawing sprite frames: DrawSprite picks one of 32 blits from the draw flags
// and the frame's storage form, raw (index 0 transparent) or run-length
// (transparency only as skips, formats/rle.h). Every blit draws exactly the
// source pixels whose destination lies inside the draw target's clip
// rectangle, each where its orientation puts source pixel (c, r) of a w x h
// frame at (x, y):
//   as is     (x + c,         y + r)
//   MirrorX   (x + w - 1 - c, y + r)
//   MirrorY   (x + c,         y + h - 1 - r)
//   MirrorXY  (x + w - 1 - c, y + h - 1 - r)
// and stores what its effect (render/effects.h) gives. Frames with a width or
// height of 0 or less draw nothing; so do the blending blits for a level
// outside 0..6, without touching any memory. Clip arithmetic is done in 64
// bits, so any int32 position or size is safe.
//
// The destination is `surface`, the locked memory's row 0 column 0; pixel
// (x, y) is at surface + y * pitch + x with the draw target's pitch. The
// clip rectangle must lie inside that memory (not checked).
#pragma once

#include <cstdint>

#include "formats/sprite.h"
#include "render/drawtarget.h"
#include "render/effects.h"

// Draws `frame` with its top-left at (x, y); the frame's offsets are not
// applied. Only flags & 15 count (DRAW_*); `colour` (low byte) is used only
// with DRAW_SOLID, `alphaLevel` only with DRAW_BLEND. A null frame or frame
// pixels draw nothing. Run-length frames must have passed ValidateRleBlock,
// as every frame from LoadSprite has; raw frames hold width x height bytes.
void DrawSprite(int32_t x, int32_t y, uint8_t* surface, const SpriteFrame* frame, int32_t flags,
                int32_t colour, int32_t alphaLevel);

// The layered boss figure: frames 7, 6, 0, 2, 4 and 1 of `bossFrames`, in
// that order, each at (x + offsetX, y + offsetY) with flags 0, except frame 0,
// which goes at (x, y) itself. Frames 3 and 5 are not part of it. The set is
// the eight-frame array the program loads from "boss.csp" (it lives in the
// program, above the renderer, so it is handed in); frames at or beyond the
// set's frameCount are left out, so a set that loaded short draws what it has.
void DrawComposite(uint8_t* surface, int32_t x, int32_t y, const SpriteFrame* bossFrames);

// Where a w x h frame at (x, y) meets the clip rectangle: how many columns
// and rows stick out past each side (measured on the destination), and what
// is left to draw. False when nothing is visible.
struct SpriteClip {
  int32_t left;    // columns left of clipLeft
  int32_t top;     // rows above clipTop
  int32_t right;   // columns right of clipRight
  int32_t bottom;  // rows below clipBottom
  int32_t visibleWidth;
  int32_t visibleHeight;
};
bool ClipSprite(int32_t x, int32_t y, int32_t width, int32_t height, SpriteClip* clip);

// Raw frames: width x height bytes, row-major, 0 transparent.
void BlitCopy(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels);
void BlitCopyMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                     const uint8_t* pixels);
void BlitCopyMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                     const uint8_t* pixels);
void BlitCopyMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels);
void BlitBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* pixels,
               int32_t alphaLevel);
void BlitBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t alphaLevel);
void BlitBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t alphaLevel);
void BlitBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                       const uint8_t* pixels, int32_t alphaLevel);
// The Solid blits take their sizes as 16-bit values: wider or higher frames
// are drawn as the truncated size says, which never reads more than the
// frame holds (a truncated size that stays positive is smaller, a negative
// one draws nothing).
void BlitSolid(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface, const uint8_t* pixels,
               int32_t colour);
void BlitSolidMirrorX(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t colour);
void BlitSolidMirrorY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                      const uint8_t* pixels, int32_t colour);
void BlitSolidMirrorXY(int32_t x, int32_t y, int16_t width, int16_t height, uint8_t* surface,
                       const uint8_t* pixels, int32_t colour);
void BlitSolidBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                    const uint8_t* pixels, int32_t colour, int32_t alphaLevel);
void BlitSolidBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                           const uint8_t* pixels, int32_t colour, int32_t alphaLevel);
void BlitSolidBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                           const uint8_t* pixels, int32_t colour, int32_t alphaLevel);
void BlitSolidBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                            const uint8_t* pixels, int32_t colour, int32_t alphaLevel);

// Run-length frames: `block` is a block ValidateRleBlock accepted for this
// width and height. Rows whose runs end early, or that have none, are
// transparent for the rest.
void BlitRleCopy(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block);
void BlitRleCopyMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                        const uint8_t* block);
void BlitRleCopyMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                        const uint8_t* block);
void BlitRleCopyMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block);
void BlitRleBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
                  int32_t alphaLevel);
void BlitRleBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t alphaLevel);
void BlitRleBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t alphaLevel);
void BlitRleBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                          const uint8_t* block, int32_t alphaLevel);
void BlitRleSolid(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, const uint8_t* block,
                  int32_t colour);
void BlitRleSolidMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t colour);
void BlitRleSolidMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                         const uint8_t* block, int32_t colour);
void BlitRleSolidMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                          const uint8_t* block, int32_t colour);
void BlitRleSolidBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                       const uint8_t* block, int32_t colour, int32_t alphaLevel);
void BlitRleSolidBlendMirrorX(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                              const uint8_t* block, int32_t colour, int32_t alphaLevel);
void BlitRleSolidBlendMirrorY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                              const uint8_t* block, int32_t colour, int32_t alphaLevel);
void BlitRleSolidBlendMirrorXY(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface,
                               const uint8_t* block, int32_t colour, int32_t alphaLevel);

// The run primitives: n pixels at dst (nothing for n <= 0). `table` is the
// alpha table advanced to one level (alphaTable + level * 65536).
void FillRun(uint8_t* dst, uint8_t colour, int32_t n);
void CopyRun(uint8_t* dst, const uint8_t* src, int32_t n);
void CopyRunReversed(uint8_t* dst, const uint8_t* src, int32_t n);  // src[i] to dst[n - 1 - i]
void BlendRun(uint8_t* dst, const uint8_t* src, int32_t n, const uint8_t* table);
void BlendRunReversed(uint8_t* dst, const uint8_t* src, int32_t n, const uint8_t* table);
void BlendColourRun(uint8_t* dst, uint8_t colour, int32_t n, const uint8_t* table);
void BlendColourRunReversed(uint8_t* dst, uint8_t colour, int32_t n, const uint8_t* table);
