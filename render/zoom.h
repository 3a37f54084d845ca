// Drawing sprite frames at any size: DrawSpriteZoom centres a frame on a
// point, scales it to zoomWidth x zoomHeight and draws it with the draw flags
// and effects of DrawSprite. FillBoxBlend tints a rectangle through the alpha
// table.
//
// Scaling. An image of sw x sh source pixels drawn dw x dh with its top-left
// at (x, y) is first cut to the clip rectangle: L, T, R, B destination
// columns and rows stick out on each side, and the source loses
// L * sw / dw, T * sh / dh, R * sw / dw and B * sh / dh columns and rows
// (truncated). What is left, sw' x sh' source pixels, is stepped afresh onto
// the dw' x dh' visible block: along each axis, the k-th remaining source
// index (from the start of the walk) covers floor((k + 1) * d / s) -
// floor(k * d / s) destination places, so enlarging repeats pixels and
// shrinking keeps the last of each group. A clipped image is therefore
// rescaled by itself and may show slightly different source columns from the
// same image unclipped.
//
// Orientation: the source is walked forwards from its first remaining row and
// column; DRAW_MIRROR_X walks the destination leftwards from the block's
// right edge (the source loses its R-side cut at the start of each row),
// DRAW_MIRROR_Y upwards from its bottom row (the B-side cut at the top).
//
// Arithmetic is 64-bit wherever a product or a sum could leave the int32
// range, so any int32 position or size is safe; sizes of 0 or less draw
// nothing, as do the blending operations for a level outside 0..6.
#pragma once

#include <cstdint>

#include "formats/sprite.h"
#include "render/drawtarget.h"
#include "render/effects.h"

// Draws `frame` scaled to zoomWidth x zoomHeight, its centre on
// (centreX, centreY). Only flags & 15 count (DRAW_*); `colour` (low byte) is
// used with DRAW_SOLID, `alphaLevel` (0..6) with DRAW_BLEND.
void DrawSpriteZoom(int32_t centreX, int32_t centreY, uint8_t* surface, const SpriteFrame* frame,
                    int32_t zoomWidth, int32_t zoomHeight, int32_t flags, int32_t colour, int32_t alphaLevel);

// The 32 operations DrawSpriteZoom chooses from: `Zoom` + (`Rle`) + effect +
// orientation, the image's top-left at (left, top), the frame srcWidth x
// srcHeight drawn dstWidth x dstHeight.
// Raw frames: srcWidth x srcHeight bytes, row-major, 0 transparent.
void ZoomCopy(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
              int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels);
void ZoomCopyMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                     int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels);
void ZoomCopyMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                     int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels);
void ZoomCopyMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels);
void ZoomBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
               int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel);
void ZoomBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel);
void ZoomBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel);
void ZoomBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                       int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t alphaLevel);
void ZoomSolid(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
               int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour);
void ZoomSolidMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour);
void ZoomSolidMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                      int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour);
void ZoomSolidMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                       int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour);
void ZoomSolidBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                    int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                    int32_t alphaLevel);
void ZoomSolidBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                           int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                           int32_t alphaLevel);
void ZoomSolidBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                           int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                           int32_t alphaLevel);
void ZoomSolidBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                            int32_t dstWidth, int32_t dstHeight, const uint8_t* pixels, int32_t colour,
                            int32_t alphaLevel);

// Run-length frames: `block` is a block ValidateRleBlock accepted for
// srcWidth x srcHeight. Every byte inside a run is drawn, whatever its value.
void ZoomRleCopy(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                 int32_t dstWidth, int32_t dstHeight, const uint8_t* block);
void ZoomRleCopyMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                        int32_t dstWidth, int32_t dstHeight, const uint8_t* block);
void ZoomRleCopyMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                        int32_t dstWidth, int32_t dstHeight, const uint8_t* block);
void ZoomRleCopyMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block);
void ZoomRleBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                  int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel);
void ZoomRleBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel);
void ZoomRleBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel);
void ZoomRleBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                          int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t alphaLevel);
void ZoomRleSolid(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                  int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour);
void ZoomRleSolidMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour);
void ZoomRleSolidMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                         int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour);
void ZoomRleSolidMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                          int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour);
void ZoomRleSolidBlend(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight, uint8_t* surface,
                       int32_t dstWidth, int32_t dstHeight, const uint8_t* block, int32_t colour,
                       int32_t alphaLevel);
void ZoomRleSolidBlendMirrorX(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight,
                              uint8_t* surface, int32_t dstWidth, int32_t dstHeight, const uint8_t* block,
                              int32_t colour, int32_t alphaLevel);
void ZoomRleSolidBlendMirrorY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight,
                              uint8_t* surface, int32_t dstWidth, int32_t dstHeight, const uint8_t* block,
                              int32_t colour, int32_t alphaLevel);
void ZoomRleSolidBlendMirrorXY(int32_t left, int32_t top, int32_t srcWidth, int32_t srcHeight,
                               uint8_t* surface, int32_t dstWidth, int32_t dstHeight, const uint8_t* block,
                               int32_t colour, int32_t alphaLevel);

// Blends `colour` (low byte) over every pixel of the box at (x, y), clipped to
// the draw target; a level outside 0..6 or an empty box draws nothing.
void FillBoxBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, int32_t colour,
                  int32_t alphaLevel);
