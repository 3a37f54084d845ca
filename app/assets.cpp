#include "app/assets.h"

#include "app/game.h"
#include "app/korean_texts.h"
#include "display/display.h"
#include "formats/alpha.h"

BmpImage bmpImage;
SpriteFrame spriteRaw[SPRITE_FRAMES];
SpriteFrame spriteRle[SPRITE_FRAMES];
SpriteFrame bossSprite[BOSS_FRAMES];
SurfaceSprite surfaceSprites[SPRITE_FRAMES];
SurfaceSprite imageSprite;

namespace {
constexpr int32_t BACKGROUND_WIDTH = 320;
constexpr int32_t BACKGROUND_HEIGHT = 200;
}  // namespace

bool LoadImageAndPalette(HWND window) {
  if (LoadBmp(window, "test.bmp", &bmpImage) != 1) return false;
  // Every scene tiles the background from the image's first 320 x 200 pixels.
  if (bmpImage.width < BACKGROUND_WIDTH || bmpImage.height < BACKGROUND_HEIGHT) {
    FreeBmp(&bmpImage);
    bmpImage = {};
    return false;
  }
  imagePalette = bmpImage.palette;
  // A palette that cannot be created leaves none attached; start-up goes on.
  if (LPDIRECTDRAWPALETTE palette = CreateDevicePalette(window, bmpImage.palette); palette != nullptr) {
    SetPrimaryPalette(palette);
    palette->Release();
  }
  return true;
}

void LoadOrBuildAlphaTable() {
  if (LoadAlphaTable("test.alp") == 1) return;
  ShowMessage(TEXT_ALPHA_LOAD_FAULT);
  DrawGdiText(displayDevice.primary, 100, 160, TEXT_ALPHA_REBUILDING);
  DrawGdiText(displayDevice.primary, 100, 180, TEXT_ALPHA_SLOW);
  // Show the notices now, before the build, as drawing outside the frame
  // loop appears when messages are looked at.
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  BuildAlphaTable(bmpImage.palette, 1, 254);
  SaveAlphaTable("test.alp");
}

void LoadSprites(ResourcePack* gamePack, int32_t memoryKind) {
  LoadSprite("test2.spr", spriteRaw, SPRITE_FRAMES, gamePack);
  LoadSprite("test2.csp", spriteRle, SPRITE_FRAMES, gamePack);
  LoadSprite("boss.csp", bossSprite, BOSS_FRAMES, nullptr);
  LoadSpriteSurfaces(displayDevice.directDraw, displayDevice.primary, "test2.spr", surfaceSprites, SPRITE_FRAMES,
                     memoryKind);
  MakeSurfaceSprite(displayDevice.directDraw, displayDevice.primary, bmpImage.pixels, BACKGROUND_WIDTH,
                    BACKGROUND_HEIGHT, &imageSprite, memoryKind);
}

void FreeImage() {
  FreeBmp(&bmpImage);
  bmpImage = {};
  imagePalette = nullptr;
}

void FreeSprites() {
  FreeSprite(spriteRaw);
  FreeSprite(spriteRle);
  FreeSprite(bossSprite);
  ReleaseSurfaceSprites(surfaceSprites);
  ReleaseSurfaceSprites(&imageSprite, 1);
}
