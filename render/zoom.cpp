// The scaled renderer's entry points and what its two families share: the
// clip-and-rescale step, the row gather and the translucent box.
#include "render/zoom.h"

#include <algorithm>

#include "render/blit.h"
#include "render/zoom_internal.h"

bool ClipZoom(int64_t x, int64_t y, int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
              bool flipX, bool flipY, ZoomBlock* block) {
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;
  const DrawTarget& target = drawTarget;
  if (x > target.clipRight || y > target.clipBottom || x + dstWidth <= target.clipLeft ||
      y + dstHeight <= target.clipTop) {
    return false;
  }
  // Destination cuts, each below the size here, so the products below stay
  // under 2^62.
  const int64_t left = x < target.clipLeft ? target.clipLeft - x : 0;
  const int64_t top = y < target.clipTop ? target.clipTop - y : 0;
  const int64_t right = x + dstWidth - 1 > target.clipRight ? x + dstWidth - 1 - target.clipRight : 0;
  const int64_t bottom = y + dstHeight - 1 > target.clipBottom ? y + dstHeight - 1 - target.clipBottom : 0;
  const int64_t visibleWidth = dstWidth - left - right, visibleHeight = dstHeight - top - bottom;
  if (visibleWidth <= 0 || visibleHeight <= 0) return false;  // clip rectangle inside out
  // Source cuts, truncated. Together they stay below the source size, since
  // the destination cuts stay below the destination size.
  const int64_t cutLeft = left * srcWidth / dstWidth, cutRight = right * srcWidth / dstWidth;
  const int64_t cutTop = top * srcHeight / dstHeight, cutBottom = bottom * srcHeight / dstHeight;
  block->left = x + left;
  block->top = y + top;
  block->dstWidth = static_cast<int32_t>(visibleWidth);
  block->dstHeight = static_cast<int32_t>(visibleHeight);
  block->srcWidth = static_cast<int32_t>(srcWidth - cutLeft - cutRight);
  block->srcHeight = static_cast<int32_t>(srcHeight - cutTop - cutBottom);
  block->firstColumn = static_cast<int32_t>(flipX ? cutRight : cutLeft);
  block->firstRow = static_cast<int32_t>(flipY ? cutBottom : cutTop);
  return true;
}

void ZoomGatherPlain(uint8_t* out, const uint8_t* row, const int32_t* map, int32_t n) {
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = row[map[i]], b = row[map[i + 1]], c = row[map[i + 2]], d = row[map[i + 3]];
    out[i] = a;
    out[i + 1] = b;
    out[i + 2] = c;
    out[i + 3] = d;
  }
  for (; i < n; ++i) out[i] = row[map[i]];
}

const ZoomGatherFunction zoomGather = ZoomGatherPlain;

void DrawSpriteZoom(int32_t centreX, int32_t centreY, uint8_t* surface, const SpriteFrame* frame,
                    int32_t zoomWidth, int32_t zoomHeight, int32_t flags, int32_t colour,
                    int32_t alphaLevel) {
  if (frame == nullptr || frame->pixels == nullptr) return;
  // Half the size by an arithmetic shift: an even size has one more column
  // right of the centre than left of it. In 64 bits, since a centre near the
  // int32 limits can put the corner beyond them.
  const int64_t left = int64_t{centreX} - (zoomWidth >> 1), top = int64_t{centreY} - (zoomHeight >> 1);
  const bool fits = left >= INT32_MIN && left <= INT32_MAX && top >= INT32_MIN && top <= INT32_MAX;
  if (zoomWidth == frame->width && zoomHeight == frame->height && fits) {
    DrawSprite(static_cast<int32_t>(left), static_cast<int32_t>(top), surface, frame, flags, colour,
               alphaLevel);
    return;
  }
  // Beyond the int32 range the scaled operation, which works in 64 bits,
  // draws a frame at its own size just as DrawSprite would.
  const ZoomOperation* family = frame->compressed != 0 ? zoomRleOperations : zoomRawOperations;
  family[flags & 15](left, top, frame->width, frame->height, surface, zoomWidth, zoomHeight, frame->pixels,
                     colour, alphaLevel);
}

void FillBoxBlend(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t* surface, int32_t colour,
                  int32_t alphaLevel) {
  if (alphaLevel < 0 || alphaLevel >= ALPHA_LEVELS) return;
  const DrawTarget& target = drawTarget;
  const int64_t left = std::max<int64_t>(x, target.clipLeft);
  const int64_t right = std::min<int64_t>(int64_t{x} + width - 1, target.clipRight);
  const int64_t top = std::max<int64_t>(y, target.clipTop);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + height - 1, target.clipBottom);
  if (right < left || bottom < top) return;
  const int64_t pitch = target.pitch;
  const uint8_t* table = alphaTable + alphaLevel * 65536;
  const auto n = static_cast<int32_t>(right - left + 1);
  uint8_t* row = surface + static_cast<ptrdiff_t>(top * pitch + left);
  for (int64_t line = top; line <= bottom; ++line, row += pitch)
    BlendColourRun(row, static_cast<uint8_t>(colour), n, table);
}
