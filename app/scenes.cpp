#include "app/scenes.h"

#include <cmath>

#include "app/assets.h"
#include "app/game.h"
#include "app/korean_texts.h"
#include "display/display.h"
#include "render/blit.h"
#include "render/surface_blit.h"
#include "render/turned.h"
#include "render/zoom.h"
#include "text/printer.h"

SceneState sceneState;

void ResetSceneState() {
  sceneState = {};
  sceneState.zoomWidth = sceneState.zoomHeight = 100;
  sceneState.flipWidth = sceneState.flipHeight = 100;
  sceneState.flipShrinkWidth = 1;  // the width narrows first, the height swells
  sceneState.effectWidth = sceneState.effectHeight = 100;
}

namespace {

const bool sceneStateReady = (ResetSceneState(), true);

constexpr int32_t TILE_WIDTH = 320;
constexpr int32_t TILE_HEIGHT = 200;

// The frame every scene but the fifth draws: the current one of the
// run-length set.
const SpriteFrame& SceneSprite() { return spriteRle[gameState.currentFrame]; }

void PrintTitle(uint8_t* surface, const char* title) {
  PrintText(surface, 20, drawTarget.clipHeight - 25, "%s", title);
}

// Moves a scroll position one pixel left, back to 0 after a whole tile.
void Scroll(int32_t& scroll) {
  --scroll;
  if (scroll <= -TILE_WIDTH) scroll = 0;
}

// The nine tile places for a scroll position, row by row, left to right.
template <typename DrawTile>
void ForEachTile(int32_t scroll, DrawTile drawTile) {
  for (int32_t row = 0; row < 3; ++row)
    for (int32_t column = 0; column < 3; ++column) drawTile(scroll + column * TILE_WIDTH, row * TILE_HEIGHT);
}

// The 63 places of the sprite grid of scenes 2 and 5.
template <typename DrawAt>
void ForEachGridPlace(DrawAt drawAt) {
  for (int32_t y = 1; y < 323; y += 46)
    for (int32_t x = 1; x < 613; x += 68) drawAt(x, y);
}

// One step of a percent that swings between `low` and `high` in steps of
// `step`: a shrinking percent stops once it is `low` or less and turns; a
// growing one stops at `high` or more and turns. The turn takes a frame of
// its own, so each end shows twice.
void Swing(int32_t& percent, int32_t& shrinking, int32_t step, int32_t high) {
  if (shrinking) {
    if (percent > 1)
      percent -= step;
    else
      shrinking = 0;
  } else {
    if (percent < high)
      percent += step;
    else
      shrinking = 1;
  }
}

}  // namespace

void ClearWithImage(uint8_t* surface) {
  (void)sceneStateReady;
  if (bmpImage.pixels != nullptr) {
    ForEachTile(sceneState.backgroundScroll, [&](int32_t x, int32_t y) {
      // The image's rows are stored bottom-up: the mirrored copy draws it upright.
      BlitOpaqueMirrorY(x, y, TILE_WIDTH, TILE_HEIGHT, surface, bmpImage.pixels);
    });
  }
  Scroll(sceneState.backgroundScroll);
}

void ClearWithSurfaceBlit() {
  ForEachTile(sceneState.surfaceScroll, [](int32_t x, int32_t y) {
    BltFrameSurface(x, y, displayDevice.workSurface, imageSprite);
  });
  Scroll(sceneState.surfaceScroll);
}

void DrawScene1(uint8_t* surface) {
  const SpriteFrame& sprite = SceneSprite();
  static constexpr int32_t LEVELS[4] = {6, 4, 3, 1};
  for (int32_t mirror = 0; mirror < 4; ++mirror) {
    int32_t left = mirror * 78, right = 312 + mirror * 78;
    DrawSprite(left, 0, surface, &sprite, mirror, 0, 0);
    DrawSprite(right, 0, surface, &sprite, DRAW_SOLID + mirror, 30 + 10 * mirror, 0);
  }
  for (int32_t mirror = 0; mirror < 4; ++mirror)
    DrawSprite(mirror * 78, 200, surface, &sprite, DRAW_BLEND + mirror, 0, LEVELS[mirror]);
  for (int32_t mirror = 0; mirror < 4; ++mirror)
    DrawSprite(312 + mirror * 78, 200, surface, &sprite, DRAW_BLEND + DRAW_SOLID + mirror, 15, LEVELS[mirror]);
  PrintTitle(surface, "TEST 1 : Drawing test");
}

void DrawScene2(uint8_t* surface) {
  const SpriteFrame& sprite = SceneSprite();
  ForEachGridPlace([&](int32_t x, int32_t y) { DrawSprite(x, y, surface, &sprite, 0, 0, 0); });
  PrintTitle(surface, "TEST 2 : Compress Sprite Drawing");
}

void DrawScene3(uint8_t* surface) {
  Swing(sceneState.zoomWidth, sceneState.zoomShrinkWidth, 5, 200);
  Swing(sceneState.zoomHeight, sceneState.zoomShrinkHeight, 5, 200);
  const SpriteFrame& sprite = SceneSprite();
  int32_t width = sprite.width * sceneState.zoomWidth / 100;
  int32_t height = sprite.height * sceneState.zoomHeight / 100;
  for (int32_t x = 50; x <= 350; x += 50) DrawSpriteZoom(x, 150, surface, &sprite, width, height, 0, 0, 0);
  PrintTitle(surface, "TEST 3 : Sprite Zoom test");
}

namespace {

// Scene 4's flip: like Swing by 2 up to 200, except that a shrinking axis
// that reached its end turns over (mirrors) and grows again at once.
void Flip(int32_t& percent, int32_t& shrinking, int32_t& mirrored) {
  if (shrinking) {
    if (percent > 1) {
      percent -= 2;
    } else {
      shrinking ^= 1;
      mirrored ^= 1;
    }
  } else {
    if (percent < 200)
      percent += 2;
    else
      shrinking = 1;
  }
}

}  // namespace

void DrawScene4(uint8_t* surface) {
  SceneState& s = sceneState;
  const SpriteFrame& sprite = SceneSprite();
  DrawSprite(gameState.spriteX, gameState.spriteY, surface, &sprite, 0, 0, 0);

  Flip(s.flipWidth, s.flipShrinkWidth, s.flipMirrorWidth);
  Flip(s.flipHeight, s.flipShrinkHeight, s.flipMirrorHeight);
  // The flipping sprite is sized from the raw set's first frame.
  int32_t flipWidth = s.flipWidth * spriteRaw[0].width / 100;
  int32_t flipHeight = s.flipHeight * spriteRaw[0].height / 100;
  int32_t flipFlags = (s.flipMirrorWidth ? DRAW_MIRROR_X : 0) + (s.flipMirrorHeight ? DRAW_MIRROR_Y : 0);
  DrawSpriteZoom(350, 200, surface, &sprite, flipWidth, flipHeight, flipFlags, 0, 0);

  s.waveValue = std::sin(s.waveAngle * 0.017453292519444445) * 150.0;
  s.waveHeight = static_cast<int32_t>(s.waveValue);
  if (s.waveFalling == 1) {
    if (s.waveAngle > 1) {
      s.waveAngle -= 5;
    } else {
      s.waveFalling = 0;
      s.silhouette ^= 1;
    }
  } else {
    if (s.waveAngle < 90)
      s.waveAngle += 5;
    else
      s.waveFalling ^= 1;
  }

  int32_t width = sprite.width * 150 / 100;
  int32_t height = sprite.height * s.waveHeight / 100;
  int32_t colour = static_cast<uint8_t>(s.waveAngle / 9 + 16);
  if (s.silhouette) {
    DrawSpriteZoom(100, 150, surface, &sprite, width, height, DRAW_MIRROR_Y + DRAW_SOLID, colour, 0);
    DrawSpriteZoom(200, 150, surface, &sprite, width, height, DRAW_MIRROR_Y + DRAW_BLEND + DRAW_SOLID, colour, 4);
  } else {
    DrawSpriteZoom(100, 150, surface, &sprite, width, height, 0, 0, 0);
    DrawSpriteZoom(200, 150, surface, &sprite, width, height, DRAW_BLEND, 0, 4);
  }
  PrintTitle(surface, "TEST 4 : Sprite Zoom & Mirror Flip test");
}

void DrawScene5(uint8_t* surface) {
  const SurfaceSprite& sprite = surfaceSprites[gameState.currentFrame];
  ForEachGridPlace([&](int32_t x, int32_t y) { BltFrameSurfaceKeyed(x, y, displayDevice.workSurface, sprite); });
  PrintTitle(surface, "TEST 5 : Direct Draw Test");
}

void DrawScene6(uint8_t* surface) {
  for (int32_t level = 1; level <= 7; ++level) FillBoxBlend(170, 25 + 5 * level, 200, 5, surface, 15, level);
  const int32_t columns[3][2] = {{30, sceneState.boxColour}, {200, 9}, {370, 0}};
  for (const auto& column : columns)
    for (int32_t level = 1; level <= 7; ++level)
      FillBoxBlend(column[0], 40 + 40 * level, 150, 30, surface, column[1], level);
  ++sceneState.boxColour;
  PrintTitle(surface, "TEST 6 : Box Drawing Test");
}

void DrawScene7(uint8_t* surface) {
  static const char* const LINES[9] = {TEXT_FONT_TEST_0, TEXT_FONT_TEST_1, TEXT_FONT_TEST_2,
                                       TEXT_FONT_TEST_3, TEXT_FONT_TEST_4, TEXT_FONT_TEST_5,
                                       TEXT_FONT_TEST_6, TEXT_FONT_TEST_7, TEXT_FONT_TEST_8};
  TextState& t = textState;
  const int32_t middle = drawTarget.clipHeight / 2;
  PushTextState();
  // One colour, then its shadow, then shadow and the colour ramp, each in
  // the colour the printer had.
  t.shadow = 0, t.multiColor = 0;
  PrintText(surface, 10, middle - 90, "%s", LINES[0]);
  t.shadow = 1;
  PrintText(surface, 10, middle - 70, "%s", LINES[1]);
  t.shadow = 1, t.multiColor = 1;
  PrintText(surface, 10, middle - 50, "%s", LINES[2]);
  // Then fonts 0 to 5, plain, in colour 18.
  t.shadow = 0, t.multiColor = 0, t.textColor = 18;
  for (int32_t font = 0; font < 6; ++font) {
    t.englishFont = t.hangulFont = font;
    PrintText(surface, 10, middle - 30 + 20 * font, "%s", LINES[3 + font]);
  }
  PopTextState();
  PrintTitle(surface, "TEST 7 : Font Test");
}

void DrawScene8(uint8_t* surface) {
  SceneState& s = sceneState;
  Swing(s.effectWidth, s.effectShrinkWidth, 5, 250);
  Swing(s.effectHeight, s.effectShrinkHeight, 5, 250);
  const SpriteFrame& sprite = SceneSprite();
  const int32_t cx = drawTarget.clipWidth / 2, cy = drawTarget.clipHeight / 2;
  s.effectLevel = s.effectWidth * 7 / 260;
  int32_t width = sprite.width * s.effectWidth / 100;
  int32_t height = sprite.height * s.effectHeight / 100;
  DrawSpriteZoom(cx, cy, surface, &sprite, width, height, DRAW_BLEND, 0, s.effectLevel);
  DrawSpriteZoom(cx - 120, cy, surface, &sprite, width, height, DRAW_BLEND + DRAW_SOLID, 0, s.effectLevel);
  DrawSpriteZoom(cx + 120, cy, surface, &sprite, width, height, DRAW_SOLID, 56, 0);
  PrintTitle(surface, "TEST 8 : Effect Zoom test");
}

void DrawScene9(uint8_t* surface) {
  const SpriteFrame& sprite = SceneSprite();
  int32_t width = sprite.width * 200 / 100, height = sprite.height * 200 / 100;
  for (int32_t x = 40; x < 495; x += 65)
    DrawSpriteZoom(x, drawTarget.clipHeight / 2, surface, &sprite, width, height, 0, 0, 4);
  PrintTitle(surface, " Free TEST Free TEST !!!");
}

void DrawScene(int32_t scene, uint8_t* surface) {
  static void (*const SCENES[SCENE_COUNT])(uint8_t*) = {DrawScene1, DrawScene2, DrawScene3, DrawScene4, DrawScene5,
                                                        DrawScene6, DrawScene7, DrawScene8, DrawScene9};
  if (scene < 1 || scene > SCENE_COUNT) return;
  if (scene == 5)
    ClearWithSurfaceBlit();
  else
    ClearWithImage(surface);
  SCENES[scene - 1](surface);
}
