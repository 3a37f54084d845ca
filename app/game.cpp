#include "app/game.h"

#include <cstdarg>
#include <cstdio>

#include "app/assets.h"
#include "app/korean_texts.h"
#include "app/options.h"
#include "app/scenes.h"
#include "display/display.h"
#include "display/timing.h"
#include "formats/pack.h"
#include "input/keyboard.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "text/font.h"
#include "text/printer.h"

GameState gameState;
const uint8_t* imagePalette = nullptr;

namespace {

ResourcePack* fontPack = nullptr;
// Stays open for the whole run; the sprite loaders read from it.
ResourcePack* gamePack = nullptr;

constexpr int32_t KEY_BACKSPACE = 8;
constexpr int32_t KEY_ENTER = 13;
constexpr int32_t KEY_ESCAPE = 27;
constexpr int32_t KEY_SPACE = 32;
constexpr int32_t KEY_1 = 49;
constexpr int32_t KEY_2 = 50;
constexpr int32_t KEY_F = 70;
constexpr int32_t KEY_V = 86;
constexpr int32_t KEY_PAD2 = 98;
constexpr int32_t KEY_PAD4 = 100;
constexpr int32_t KEY_PAD6 = 102;
constexpr int32_t KEY_PAD8 = 104;

// Acts on a one-shot key: true once per press, clearing it.
bool TakePress(int32_t key) {
  if (!keyTables.pressed[key]) return false;
  keyTables.pressed[key] = 0;
  return true;
}

// Frames in the sprite set the scenes step through with BACKSPACE: the count
// stored in the current frame of the run-length set, kept within both that
// set and the surface sprites so that no scene indexes past either.
int32_t SceneFrameCount() {
  int32_t frames = spriteRle[gameState.currentFrame].frameCount;
  return frames < SPRITE_FRAMES ? frames : SPRITE_FRAMES;
}

int StepLevel(int32_t& level, int32_t direction, int (*apply)(const uint8_t*, int32_t)) {
  bool finished;
  if (direction == 0) {
    finished = level <= 0;
    if (!finished) --level;
  } else {
    finished = level >= 100;
    if (!finished) ++level;
  }
  if (imagePalette != nullptr) apply(imagePalette, level);
  return finished ? 1 : 0;
}

}  // namespace

void ResetGameState() {
  gameState = {};
  gameState.appActive = 1;
  gameState.currentScene = 1;
  gameState.spriteX = 250;
  gameState.spriteY = 150;
  gameState.vsyncOn = 1;
  gameState.fadeDirection = 1;
  gameState.fadeLevel = 100;
  gameState.greyDirection = 1;
  gameState.greyLevel = 100;
  ResetSceneState();
}

DisplayConfig BuildDisplayConfig(const GameConfig& config, ResourcePack* pack) {
  DisplayConfig display = {};
  display.flags = config.backBufferInVideo == 1 ? DISPLAY_BACKBUFFER : DISPLAY_WORKSURFACE;
  display.fontPack = pack;
  switch (config.videoMode) {
    case 1: display.displayWidth = display.workWidth = 320, display.displayHeight = display.workHeight = 200; break;
    case 2: display.displayWidth = display.workWidth = 512, display.displayHeight = display.workHeight = 384; break;
    case 3:
      display.displayWidth = 640, display.displayHeight = 480;
      display.workWidth = 512, display.workHeight = 384;
      break;
    case 4: display.displayWidth = display.workWidth = 640, display.displayHeight = display.workHeight = 480; break;
    default: break;  // no size: display initialisation refuses it
  }
  return display;
}

namespace {
// The state exists before the entry point runs, as the program's statics do.
const bool gameStateReady = (ResetGameState(), true);
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, LPSTR /*commandLine*/, int showCommand) {
  (void)gameStateReady;
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(102));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = "Vantor";
  RegisterClassA(&windowClass);

  HWND window = CreateWindowExA(0, "Vantor", "Direct X test program.... Tavek", WS_POPUP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  // Without a display there is no window either; start-up then fails at the
  // display, with its messages, like any other display that cannot open.
  if (window != nullptr) {
    ShowWindow(window, showCommand);
    UpdateWindow(window);
  }

  if (!InitGame(window, instance)) return 0;

  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!GetMessageA(&message, nullptr, 0, 0)) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else if (gameState.appActive) {
      RunFrame(window);
    } else {
      WaitMessage();
    }
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      ShutdownGame(window);
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATEAPP:
      gameState.appActive = static_cast<uint8_t>(wParam & 0xFF);
      return 0;
    case WM_KEYDOWN:
      if (wParam == KEY_ESCAPE) PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_CREATE:
      return 0;
    case MM_MCINOTIFY:
      // Only a song that played to its end starts again: a stop, a close or
      // a newer play reports otherwise.
      if (wParam == MCI_NOTIFY_SUCCESSFUL && musicPlayer.loop == 1) musicPlayer.Replay();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int InitGame(HWND window, HINSTANCE instance) {
  RunOptionsDialog(window, instance);
  if (gameConfig.videoMode == 0) return 0;

  // A program started again in the same process (the tests do) lets go of
  // what an earlier start left open.
  DestroyResourcePack(fontPack);
  DestroyResourcePack(gamePack);
  OpenResourcePack("font.rsf", &fontPack);
  OpenResourcePack("game.rsf", &gamePack);

  DisplayConfig display = BuildDisplayConfig(gameConfig, fontPack);
  if (InitDisplay(window, display) != 1) {
    ShowMessage("ERROR : Game initializing error!!");
    return 0;
  }
  // The fonts were read during display initialisation.
  DestroyResourcePack(fontPack);
  fontPack = nullptr;

  // Every scene draws on the image's background and blends through its
  // palette: without it the program cannot run, so it ends here, after the
  // loader's own message, instead of drawing from a missing image.
  if (!LoadImageAndPalette(window)) {
    ShowMessage("ERROR : Game initializing error!!");
    return 0;
  }
  LoadOrBuildAlphaTable();
  if (gameConfig.soundFx) {
    soundEffects[0].Load("throw.wav", 5);
    soundEffects[1].Load("throw.wav", 5);
  }
  LoadSprites(gamePack, gameConfig.offscreenInVideo == 1 ? MEMORY_ANY : MEMORY_SYSTEM);
  if (gameConfig.music) {
    musicPlayer.SetSong(window, "test.mid");
    musicPlayer.Play(1);
  }

  ShowCursor(FALSE);
  ShowKeyHelp();
  return 1;
}

namespace {

// The help texts, laid out for the video mode's screen; printed into the
// primary surface, whose size and pitch the printer target holds meanwhile.
void PrintKeyHelp(uint8_t* primary) {
  struct Layout {
    int32_t x, y, step;
  };
  static constexpr Layout LAYOUTS[4] = {{1, 1, 17}, {100, 70, 22}, {170, 90, 25}, {170, 90, 30}};
  int32_t mode = gameConfig.videoMode >= 1 && gameConfig.videoMode <= 4 ? gameConfig.videoMode : 4;
  const auto [x, y, step] = LAYOUTS[mode - 1];
  textState.textColor = 15;
  textState.multiColor = 0;
  textState.shadow = 0;
  PrintText(primary, x, y, "%s", TEXT_HELP_TITLE);
  textState.textColor = 4;
  PrintText(primary, x, y + 2 * step, "%s", TEXT_HELP_ENTER);
  textState.textColor = 7;
  PrintText(primary, x, y + 3 * step, "%s", TEXT_HELP_FADE);
  PrintText(primary, x, y + 4 * step, "%s", TEXT_HELP_GREY);
  PrintText(primary, x, y + 5 * step, "%s", TEXT_HELP_VSYNC);
  PrintText(primary, x, y + 6 * step, "%s", TEXT_HELP_FRAMESYNC);
  PrintText(primary, x, y + 7 * step, "%s", TEXT_HELP_BACKSPACE);
  PrintText(primary, x, y + 8 * step, "%s", TEXT_HELP_SPACE);
  textState.textColor = 12;
  PrintText(primary, x, y + 10 * step, "%s", TEXT_HELP_ANYKEY);
}

// The frame rate and the two sync switches in the top left corner.
void PrintOverlay(uint8_t* surface, float fps) {
  textState.textColor = 18;
  textState.multiColor = 1;
  textState.shadow = 1;
  PrintText(surface, 10, 3, "%4.1f Fps", static_cast<double>(fps));
  textState.textColor = 48;
  PrintText(surface, 10, 18, "Vsync %s", gameState.vsyncOn ? "On" : "Off");
  PrintText(surface, 10, 33, "Frame sync %s", gameState.frameSyncOn ? "On" : "Off");
}

}  // namespace

void ShowKeyHelp() {
  int32_t pitch = 0;
  uint8_t* primary = LockPrimary(&pitch);
  if (primary != nullptr) UnlockPrimary();
  int32_t savedPitch = textPitch, savedWidth = textWidth, savedHeight = textHeight;
  textPitch = pitch;
  textWidth = displayDevice.displayWidth;
  textHeight = displayDevice.displayHeight;
  if (primary != nullptr) PrintKeyHelp(primary);
  WaitAnyKey();
  textPitch = savedPitch;
  textWidth = savedWidth;
  textHeight = savedHeight;
}

int RunFrame(HWND /*window*/) {
  ++gameState.framesRun;
  int32_t pitch = 0;
  uint8_t* surface = LockSurface(displayDevice.workSurface, &pitch);
  if (surface != nullptr) UnlockSurface(displayDevice.workSurface);
  // Without an address nothing may draw; the scene's surface blits too are
  // left out then, so a frame is either whole or empty.
  if (surface != nullptr) DrawScene(gameState.currentScene, surface);

  if (keyTables.held[KEY_PAD4]) gameState.spriteX -= 4;
  if (keyTables.held[KEY_PAD6]) gameState.spriteX += 4;
  if (keyTables.held[KEY_PAD8]) gameState.spriteY -= 4;
  if (keyTables.held[KEY_PAD2]) gameState.spriteY += 4;

  if (TakePress(KEY_V)) gameState.vsyncOn ^= 1;
  if (TakePress(KEY_F)) gameState.frameSyncOn ^= 1;
  if (TakePress(KEY_1)) {
    gameState.fadeDirection ^= 1;
    gameState.fadeRunning = 1;
  }
  if (TakePress(KEY_2)) {
    gameState.greyDirection ^= 1;
    gameState.greyRunning = 1;
  }
  // Each press adds one more looping voice, until all five sound.
  if (TakePress(KEY_SPACE)) soundEffects[1].Play(1, 100, 0);
  if (TakePress(KEY_BACKSPACE)) {
    int32_t frames = SceneFrameCount();
    gameState.currentFrame = gameState.currentFrame + 1 >= frames ? 0 : gameState.currentFrame + 1;
  }
  if (TakePress(KEY_ENTER)) {
    soundEffects[0].Play(0, 100, 0);
    gameState.currentScene = gameState.currentScene >= SCENE_COUNT ? 1 : gameState.currentScene + 1;
  }

  if (gameState.fadeRunning && StepFade(gameState.fadeDirection)) gameState.fadeRunning = 0;
  if (gameState.greyRunning && StepGrey(gameState.greyDirection)) gameState.greyRunning = 0;

  float fps = MeasureFps();
  if (surface != nullptr) PrintOverlay(surface, fps);

  PresentFrame(gameState.vsyncOn ? PRESENT_FLIP : PRESENT_COPY);
  if (gameState.frameSyncOn) {
    SetFrameRate(30);
    WaitFrame();
  }
  return 0;
}

void ShutdownGame(HWND /*window*/) {
  musicPlayer.CloseAllMusic();
  FreeImage();
  soundEffects[0].Release();
  soundEffects[1].Release();
  FreeSprites();
  ShutdownDisplay();
}

int StepFade(int32_t direction) { return StepLevel(gameState.fadeLevel, direction, SetPaletteBrightness); }

int StepGrey(int32_t direction) { return StepLevel(gameState.greyLevel, direction, SetPaletteSaturation); }

void ShowMessage(const char* format, ...) {
  char buffer[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  MessageBoxA(displayDevice.window, buffer, "Message", MB_OK);
}
