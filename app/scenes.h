// The nine test scenes the frame draws over the scrolling background, and
// their animation state. Each scene draws into the work surface memory the
// frame obtained and ends with its title in the lower left corner.
#pragma once

#include <cstdint>

constexpr int32_t SCENE_COUNT = 9;

struct SceneState {
  int32_t backgroundScroll;  // usual background, 0 .. -319
  int32_t surfaceScroll;     // scene 5's background

  // Scene 3: zoom percents and their shrinking switches.
  int32_t zoomWidth, zoomHeight;
  int32_t zoomShrinkWidth, zoomShrinkHeight;

  // Scene 4: the flip animation per axis, and the wave.
  int32_t flipWidth, flipShrinkWidth, flipMirrorWidth;
  int32_t flipHeight, flipShrinkHeight, flipMirrorHeight;
  int32_t waveAngle, waveFalling, silhouette;
  double waveValue;
  int32_t waveHeight;

  // Scene 6: the colour of the first column of boxes.
  uint8_t boxColour;

  // Scene 8: effect zoom percents, switches and the level they gave.
  int32_t effectWidth, effectHeight;
  int32_t effectShrinkWidth, effectShrinkHeight;
  int32_t effectLevel;
};

extern SceneState sceneState;

// The state at program start.
void ResetSceneState();

// The nine background tiles of the image, scrolled one pixel left per call:
// drawn in software into `surface`, or (scene 5) blitted by DirectDraw onto
// the work surface itself.
void ClearWithImage(uint8_t* surface);
void ClearWithSurfaceBlit();

// Draws scene `scene` (1..9), its background first; any other number draws
// nothing. `surface` is the work surface's memory.
void DrawScene(int32_t scene, uint8_t* surface);

void DrawScene1(uint8_t* surface);
void DrawScene2(uint8_t* surface);
void DrawScene3(uint8_t* surface);
void DrawScene4(uint8_t* surface);
void DrawScene5(uint8_t* surface);
void DrawScene6(uint8_t* surface);
void DrawScene7(uint8_t* surface);
void DrawScene8(uint8_t* surface);
void DrawScene9(uint8_t* surface);
