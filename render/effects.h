// The four pixel effects of the sprite renderer as compile-time policies, and
// the orientations. Each blit family is one template over an effect and an
// orientation; the named routines are its instantiations, so the inner loops
// decide nothing per pixel beyond transparency.
#pragma once

#include <cstdint>

#include "formats/alpha.h"

// Draw flags: only the four low bits are looked at.
enum : int32_t {
  DRAW_MIRROR_X = 1,  // source column 0 lands on the right edge
  DRAW_MIRROR_Y = 2,  // source row 0 lands on the bottom edge
  DRAW_BLEND = 4,     // through the alpha table at alphaLevel
  DRAW_SOLID = 8,     // every opaque pixel drawn as `colour`
};

// Levels 0..ALPHA_LEVELS - 1 (formats/alpha.h) exist; anything else draws
// nothing.

// What an effect needs: the colour for the solid ones, and for the blending
// ones their part of an alpha table. The effects that read alphaTable as
// stored take the level's 64 KB slice (row = old destination pixel, column =
// the drawn one); the "Rows" effects read the copy arranged by drawn colour
// (AlphaRowsByDrawn): the level's slice, whose row is the drawn colour, or
// for the solid one just the colour's 256-byte row.
struct EffectArgs {
  uint8_t colour;
  const uint8_t* blend;
};

struct EffectCopy {
  static constexpr bool blends = false;
  static uint8_t Apply(const EffectArgs&, uint8_t, uint8_t source) { return source; }
};
struct EffectBlend {
  static constexpr bool blends = true;
  static constexpr bool solid = false;
  static constexpr bool byDrawn = false;
  static uint8_t Apply(const EffectArgs& args, uint8_t dest, uint8_t source) {
    return args.blend[dest << 8 | source];
  }
};
struct EffectSolid {
  static constexpr bool blends = false;
  static uint8_t Apply(const EffectArgs& args, uint8_t, uint8_t) { return args.colour; }
};
struct EffectSolidBlend {
  static constexpr bool blends = true;
  static constexpr bool solid = true;
  static constexpr bool byDrawn = false;
  static uint8_t Apply(const EffectArgs& args, uint8_t dest, uint8_t) {
    return args.blend[dest << 8 | args.colour];
  }
};
struct EffectBlendRows {
  static constexpr bool blends = true;
  static constexpr bool solid = false;
  static constexpr bool byDrawn = true;
  static uint8_t Apply(const EffectArgs& args, uint8_t dest, uint8_t source) {
    return args.blend[source << 8 | dest];
  }
};
struct EffectSolidBlendRows {
  static constexpr bool blends = true;
  static constexpr bool solid = true;
  static constexpr bool byDrawn = true;
  static uint8_t Apply(const EffectArgs& args, uint8_t dest, uint8_t) { return args.blend[dest]; }
};

enum class Orientation { AsIs, MirrorX, MirrorY, MirrorXY };
constexpr bool FlipsX(Orientation o) { return o == Orientation::MirrorX || o == Orientation::MirrorXY; }
constexpr bool FlipsY(Orientation o) { return o == Orientation::MirrorY || o == Orientation::MirrorXY; }
