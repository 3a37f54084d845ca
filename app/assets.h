// The assets the program holds for its whole run, loaded at start-up and
// released at shutdown, in the orders the start-up and shutdown follow.
#pragma once

#include <windows.h>

#include <cstdint>

#include "formats/bmp.h"
#include "formats/pack.h"
#include "formats/sprite.h"
#include "formats/surface_sprite.h"

constexpr int32_t SPRITE_FRAMES = 6;  // test2.spr, test2.csp and their surfaces
constexpr int32_t BOSS_FRAMES = 8;    // boss.csp

extern BmpImage bmpImage;
extern SpriteFrame spriteRaw[SPRITE_FRAMES];
extern SpriteFrame spriteRle[SPRITE_FRAMES];
extern SpriteFrame bossSprite[BOSS_FRAMES];
extern SurfaceSprite surfaceSprites[SPRITE_FRAMES];
extern SurfaceSprite imageSprite;

// The image and its palette on the primary; false when the image is missing,
// damaged or smaller than the 320 x 200 background (the loader has said why).
bool LoadImageAndPalette(HWND window);
// The alpha table from test.alp, or built from the image palette and saved,
// with the message box and the two notices on screen.
void LoadOrBuildAlphaTable();
// The three sprite sets and the surface sprites.
void LoadSprites(ResourcePack* gamePack, int32_t memoryKind);
// Everything above but the alpha table, in the shutdown order: image, then
// sprites, then surfaces.
void FreeImage();
void FreeSprites();
