// The sprite dispatcher: one of 32 blits per frame, picked by the storage
// form and flags & 15, and the clip rule every blit shares.
#include "render/blit.h"

bool ClipSprite(int32_t x, int32_t y, int32_t width, int32_t height, SpriteClip* clip) {
  if (width <= 0 || height <= 0) return false;
  // 64 bits throughout: x + width and the overflows can pass the int32
  // range for positions near its ends.
  const int64_t left = x, top = y;
  const int64_t right = left + width - 1, bottom = top + height - 1;
  if (left > drawTarget.clipRight || top > drawTarget.clipBottom || right < drawTarget.clipLeft ||
      bottom < drawTarget.clipTop) {
    return false;
  }
  const int64_t l = left < drawTarget.clipLeft ? drawTarget.clipLeft - left : 0;
  const int64_t t = top < drawTarget.clipTop ? drawTarget.clipTop - top : 0;
  const int64_t r = right > drawTarget.clipRight ? right - drawTarget.clipRight : 0;
  const int64_t b = bottom > drawTarget.clipBottom ? bottom - drawTarget.clipBottom : 0;
  // Each overflow is below the size here, and so is what is left; a clip
  // rectangle turned inside out leaves nothing.
  const int64_t visibleWidth = width - l - r, visibleHeight = height - t - b;
  if (visibleWidth <= 0 || visibleHeight <= 0) return false;
  *clip = SpriteClip{static_cast<int32_t>(l),
                     static_cast<int32_t>(t),
                     static_cast<int32_t>(r),
                     static_cast<int32_t>(b),
                     static_cast<int32_t>(visibleWidth),
                     static_cast<int32_t>(visibleHeight)};
  return true;
}

namespace {

void DrawRaw(int32_t x, int32_t y, uint8_t* surface, const SpriteFrame& frame, int32_t flags, int32_t colour,
             int32_t alphaLevel) {
  const int32_t w = frame.width, h = frame.height;
  const uint8_t* p = frame.pixels;
  // The Solid blits take 16-bit sizes.
  const int16_t w16 = static_cast<int16_t>(w), h16 = static_cast<int16_t>(h);
  switch (flags & 15) {
    case 0:
      BlitCopy(x, y, w, h, surface, p);
      break;
    case 1:
      BlitCopyMirrorX(x, y, w, h, surface, p);
      break;
    case 2:
      BlitCopyMirrorY(x, y, w, h, surface, p);
      break;
    case 3:
      BlitCopyMirrorXY(x, y, w, h, surface, p);
      break;
    case 4:
      BlitBlend(x, y, w, h, surface, p, alphaLevel);
      break;
    case 5:
      BlitBlendMirrorX(x, y, w, h, surface, p, alphaLevel);
      break;
    case 6:
      BlitBlendMirrorY(x, y, w, h, surface, p, alphaLevel);
      break;
    case 7:
      BlitBlendMirrorXY(x, y, w, h, surface, p, alphaLevel);
      break;
    case 8:
      BlitSolid(x, y, w16, h16, surface, p, colour);
      break;
    case 9:
      BlitSolidMirrorX(x, y, w16, h16, surface, p, colour);
      break;
    case 10:
      BlitSolidMirrorY(x, y, w16, h16, surface, p, colour);
      break;
    case 11:
      BlitSolidMirrorXY(x, y, w16, h16, surface, p, colour);
      break;
    case 12:
      BlitSolidBlend(x, y, w, h, surface, p, colour, alphaLevel);
      break;
    case 13:
      BlitSolidBlendMirrorX(x, y, w, h, surface, p, colour, alphaLevel);
      break;
    case 14:
      BlitSolidBlendMirrorY(x, y, w, h, surface, p, colour, alphaLevel);
      break;
    default:
      BlitSolidBlendMirrorXY(x, y, w, h, surface, p, colour, alphaLevel);
      break;
  }
}

void DrawRle(int32_t x, int32_t y, uint8_t* surface, const SpriteFrame& frame, int32_t flags, int32_t colour,
             int32_t alphaLevel) {
  const int32_t w = frame.width, h = frame.height;
  const uint8_t* b = frame.pixels;
  switch (flags & 15) {
    case 0:
      BlitRleCopy(x, y, w, h, surface, b);
      break;
    case 1:
      BlitRleCopyMirrorX(x, y, w, h, surface, b);
      break;
    case 2:
      BlitRleCopyMirrorY(x, y, w, h, surface, b);
      break;
    case 3:
      BlitRleCopyMirrorXY(x, y, w, h, surface, b);
      break;
    case 4:
      BlitRleBlend(x, y, w, h, surface, b, alphaLevel);
      break;
    case 5:
      BlitRleBlendMirrorX(x, y, w, h, surface, b, alphaLevel);
      break;
    case 6:
      BlitRleBlendMirrorY(x, y, w, h, surface, b, alphaLevel);
      break;
    case 7:
      BlitRleBlendMirrorXY(x, y, w, h, surface, b, alphaLevel);
      break;
    case 8:
      BlitRleSolid(x, y, w, h, surface, b, colour);
      break;
    case 9:
      BlitRleSolidMirrorX(x, y, w, h, surface, b, colour);
      break;
    case 10:
      BlitRleSolidMirrorY(x, y, w, h, surface, b, colour);
      break;
    case 11:
      BlitRleSolidMirrorXY(x, y, w, h, surface, b, colour);
      break;
    case 12:
      BlitRleSolidBlend(x, y, w, h, surface, b, colour, alphaLevel);
      break;
    case 13:
      BlitRleSolidBlendMirrorX(x, y, w, h, surface, b, colour, alphaLevel);
      break;
    case 14:
      BlitRleSolidBlendMirrorY(x, y, w, h, surface, b, colour, alphaLevel);
      break;
    default:
      BlitRleSolidBlendMirrorXY(x, y, w, h, surface, b, colour, alphaLevel);
      break;
  }
}

int32_t Offset(int32_t position, int32_t offset) {
  const int64_t sum = int64_t{position} + offset;
  return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

}  // namespace

void DrawSprite(int32_t x, int32_t y, uint8_t* surface, const SpriteFrame* frame, int32_t flags,
                int32_t colour, int32_t alphaLevel) {
  if (frame == nullptr || frame->pixels == nullptr) return;
  if (frame->compressed != 0) {
    DrawRle(x, y, surface, *frame, flags, colour, alphaLevel);
  } else {
    DrawRaw(x, y, surface, *frame, flags, colour, alphaLevel);
  }
}

void DrawComposite(uint8_t* surface, int32_t x, int32_t y, const SpriteFrame* bossFrames) {
  if (bossFrames == nullptr) return;
  // Back to front; frame 0 is the anchor and ignores its offsets.
  static constexpr int32_t kLayers[] = {7, 6, 0, 2, 4, 1};
  const int32_t count = bossFrames[0].frameCount;
  for (int32_t index : kLayers) {
    if (index >= count) continue;
    const SpriteFrame& frame = bossFrames[index];
    if (index == 0) {
      DrawSprite(x, y, surface, &frame, 0, 0, 0);
    } else {
      // A sum past the int32 range lies beyond any clip rectangle on that
      // side; held at the range's end it stays there instead of wrapping
      // round to the other side.
      const int32_t fx = Offset(x, frame.offsetX), fy = Offset(y, frame.offsetY);
      DrawSprite(fx, fy, surface, &frame, 0, 0, 0);
    }
  }
}
