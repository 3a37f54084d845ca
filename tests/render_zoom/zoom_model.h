// The scaled renderer's tests share this: random frames (raw, and run-length
// blocks with every shape a valid block may have), a destination with a
// guard border around its clip rectangle, the 32 operations by name, and a
// per-pixel model written from the stepping rule, not from the code.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "formats/alpha.h"
#include "formats/rle.h"
#include "render/drawtarget.h"
#include "render/effects.h"
#include "render/zoom.h"
#include "support/clip_canvas.h"
#include "support/model_frames.h"

namespace zoom_test {

using namespace vantor_test;

using Canvas = vantor_test::ClipCanvas;

// For s source indices stepped onto d places: the source index shown at each
// place, from each index's count floor((k + 1) * d / s) - floor(k * d / s).
inline std::vector<int64_t> Places(int64_t s, int64_t d) {
  std::vector<int64_t> shown;
  for (int64_t k = 0; k < s; ++k) {
    const int64_t count = (k + 1) * d / s - k * d / s;
    for (int64_t i = 0; i < count; ++i) shown.push_back(k);
  }
  EXPECT_EQ(int64_t(shown.size()), d);
  return shown;
}

// One scaled draw of the frame with its top-left at (x, y), by the rule:
// cut to the clip rectangle, source cuts truncated, the remainder stepped
// afresh onto the visible block, walked from the side the orientation says.
inline void Model(const Canvas& canvas, std::vector<uint8_t>& out, int64_t x, int64_t y, const Frame& f,
                  int32_t dw, int32_t dh, int32_t flags, int32_t colour, int32_t level) {
  flags &= 15;
  const bool blend = flags & DRAW_BLEND, solid = flags & DRAW_SOLID;
  const bool flipX = flags & DRAW_MIRROR_X, flipY = flags & DRAW_MIRROR_Y;
  if (blend && (level < 0 || level > 6)) return;
  const int64_t sw = f.width, sh = f.height;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  const int64_t cl = canvas.clipLeft, cr = canvas.ClipRight(), ct = canvas.clipTop, cb = canvas.ClipBottom();
  if (x > cr || y > cb || x + dw <= cl || y + dh <= ct) return;
  const int64_t L = std::max<int64_t>(cl - x, 0), R = std::max<int64_t>(x + dw - 1 - cr, 0);
  const int64_t T = std::max<int64_t>(ct - y, 0), B = std::max<int64_t>(y + dh - 1 - cb, 0);
  const int64_t sL = L * sw / dw, sR = R * sw / dw, sT = T * sh / dh, sB = B * sh / dh;
  const int64_t vw = dw - L - R, vh = dh - T - B;
  const std::vector<int64_t> columns = Places(sw - sL - sR, vw), rows = Places(sh - sT - sB, vh);
  const uint8_t c8 = static_cast<uint8_t>(colour);
  for (int64_t j = 0; j < vh; ++j) {
    const int64_t r = (flipY ? sB : sT) + rows[j];
    const int64_t dy = flipY ? y + T + vh - 1 - j : y + T + j;
    for (int64_t i = 0; i < vw; ++i) {
      const int64_t c = (flipX ? sR : sL) + columns[i];
      const int64_t dx = flipX ? x + L + vw - 1 - i : x + L + i;
      const size_t source = size_t(r * sw + c);
      if (!f.opaque[source]) continue;
      const int64_t at = canvas.Index(dx, dy);
      EXPECT_GE(at, 0) << "the model left the clip rectangle";
      if (at < 0) return;
      const uint8_t s = solid ? c8 : f.value[source];
      out[at] = blend ? alphaTable[level * 65536 + out[at] * 256 + s] : s;
    }
  }
}

// The 32 operations by name: [run-length][flags & 3] for each effect.
using ZoomPlain = void (*)(int32_t, int32_t, int32_t, int32_t, uint8_t*, int32_t, int32_t, const uint8_t*);
using ZoomOne = void (*)(int32_t, int32_t, int32_t, int32_t, uint8_t*, int32_t, int32_t, const uint8_t*,
                         int32_t);
using ZoomTwo = void (*)(int32_t, int32_t, int32_t, int32_t, uint8_t*, int32_t, int32_t, const uint8_t*,
                         int32_t, int32_t);
constexpr ZoomPlain kZoomCopy[2][4] = {
    {ZoomCopy, ZoomCopyMirrorX, ZoomCopyMirrorY, ZoomCopyMirrorXY},
    {ZoomRleCopy, ZoomRleCopyMirrorX, ZoomRleCopyMirrorY, ZoomRleCopyMirrorXY}};
constexpr ZoomOne kZoomBlend[2][4] = {
    {ZoomBlend, ZoomBlendMirrorX, ZoomBlendMirrorY, ZoomBlendMirrorXY},
    {ZoomRleBlend, ZoomRleBlendMirrorX, ZoomRleBlendMirrorY, ZoomRleBlendMirrorXY}};
constexpr ZoomOne kZoomSolid[2][4] = {
    {ZoomSolid, ZoomSolidMirrorX, ZoomSolidMirrorY, ZoomSolidMirrorXY},
    {ZoomRleSolid, ZoomRleSolidMirrorX, ZoomRleSolidMirrorY, ZoomRleSolidMirrorXY}};
constexpr ZoomTwo kZoomSolidBlend[2][4] = {
    {ZoomSolidBlend, ZoomSolidBlendMirrorX, ZoomSolidBlendMirrorY, ZoomSolidBlendMirrorXY},
    {ZoomRleSolidBlend, ZoomRleSolidBlendMirrorX, ZoomRleSolidBlendMirrorY, ZoomRleSolidBlendMirrorXY}};

inline void Named(bool rle, int32_t flags, int32_t x, int32_t y, int32_t sw, int32_t sh, uint8_t* d,
                  int32_t dw, int32_t dh, const uint8_t* p, int32_t colour, int32_t level) {
  const int o = flags & 3;
  switch (flags & 12) {
    case 0:
      return kZoomCopy[rle][o](x, y, sw, sh, d, dw, dh, p);
    case DRAW_BLEND:
      return kZoomBlend[rle][o](x, y, sw, sh, d, dw, dh, p, level);
    case DRAW_SOLID:
      return kZoomSolid[rle][o](x, y, sw, sh, d, dw, dh, p, colour);
    default:
      return kZoomSolidBlend[rle][o](x, y, sw, sh, d, dw, dh, p, colour, level);
  }
}


}  // namespace zoom_test
