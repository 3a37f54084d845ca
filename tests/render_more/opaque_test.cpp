#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "canvas.h"
#include "mapping.h"
#include "render/turned.h"

namespace {

using namespace render_test;

struct OpaqueCopy {
  const char* name;
  Place place;
  std::function<void(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* surface, const uint8_t* pixels)>
      call;
};

const OpaqueCopy OPAQUE_COPIES[] = {
    {"BlitOpaque", Place::AsIs, BlitOpaque},
    {"BlitOpaqueMirrorX", Place::MirrorX,
     [](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p) {
       BlitOpaqueMirrorX(x, y, static_cast<int16_t>(w), static_cast<int16_t>(h), s, p);
     }},
    {"BlitOpaqueMirrorY", Place::MirrorY,
     [](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p) {
       BlitOpaqueMirrorY(x, y, static_cast<int16_t>(w), static_cast<int16_t>(h), s, p);
     }},
    {"BlitOpaqueMirrorXY", Place::MirrorXY,
     [](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t* s, const uint8_t* p) {
       BlitOpaqueMirrorXY(x, y, static_cast<int16_t>(w), static_cast<int16_t>(h), s, p);
     }},
};

// Random blocks up to wider than the vector reverse's 16 bytes, every clip
// edge, far positions; half the cases on a surface whose rows are back to
// back (pitch = width), where a whole unclipped block is one move.
TEST(OpaqueCopies, MatchTheMappingOverRandomCases) {
  std::mt19937 random(4321);
  const int cases = Cases(400);
  for (const OpaqueCopy& copy : OPAQUE_COPIES) {
    for (int i = 0; i < cases; ++i) {
      const bool backToBack = i % 2 == 1;
      Canvas canvas(48 + static_cast<int>(random() % 40), 40 + static_cast<int>(random() % 16), random,
                    backToBack);
      if (backToBack && i % 4 == 1) {
        canvas.Target(0, 0, canvas.width - 1, canvas.height - 1);
      } else {
        canvas.RandomClip(random);
      }
      const int32_t w = static_cast<int32_t>(random() % (canvas.width + 4)) - 3;
      const int32_t h = static_cast<int32_t>(random() % 30) - 3;
      std::vector<uint8_t> pixels = RandomPixels(random, int64_t{w > 0 ? w : 0} * (h > 0 ? h : 0));
      int32_t x = RandomPosition(random, drawTarget.clipLeft, drawTarget.clipRight, w);
      int32_t y = RandomPosition(random, drawTarget.clipTop, drawTarget.clipBottom, h);
      if (i % 8 == 1 && w > 0 && w <= canvas.width) {
        x = 0;  // whole rows of a back-to-back surface
        y = static_cast<int32_t>(random() % canvas.height);
      }
      Canvas expected = canvas;
      DrawModel(expected, copy.place, Store::Opaque, x, y, w, h, pixels, 0);
      copy.call(x, y, w, h, canvas.Surface(), pixels.data());
      ASSERT_EQ(canvas.memory, expected.memory)
          << copy.name << " of " << w << " x " << h << " at (" << x << ", " << y << "), clip "
          << drawTarget.clipLeft << ", " << drawTarget.clipTop << " .. " << drawTarget.clipRight << ", "
          << drawTarget.clipBottom << ", pitch " << drawTarget.pitch;
    }
  }
}

// The background tile: a bottom-up 320 x 200 image drawn upright, five
// columns cut off on the left.
TEST(OpaqueCopies, BottomUpBackgroundTileLeftOfTheScreen) {
  std::mt19937 random(9);
  Canvas canvas(320, 200, random);
  canvas.Target(0, 0, 319, 199);
  std::vector<uint8_t> image(320 * 200);
  for (uint8_t& pixel : image) pixel = static_cast<uint8_t>(random());
  const Canvas before = canvas;
  BlitOpaqueMirrorY(-5, 0, 320, 200, canvas.Surface(), image.data());
  for (int y = 0; y < 200; ++y) {
    const uint8_t* stored = &image[static_cast<size_t>(199 - y) * 320];  // row 0 is the last one stored
    ASSERT_EQ(std::vector<uint8_t>(&canvas.At(0, y), &canvas.At(315, y)),
              std::vector<uint8_t>(stored + 5, stored + 320))
        << "row " << y;
  }
  // Column 315 onwards and every guard byte are as they were.
  for (int y = -Canvas::GUARD; y < 200 + Canvas::GUARD; ++y) {
    for (int x = -Canvas::GUARD; x < 320 + Canvas::GUARD; ++x) {
      if (x < 315 && x >= 0 && y >= 0 && y < 200) continue;
      const size_t offset = static_cast<size_t>((y + Canvas::GUARD) * canvas.pitch + x + Canvas::GUARD);
      ASSERT_EQ(canvas.memory[offset], before.memory[offset]) << x << ", " << y;
    }
  }
}

}  // namespace
