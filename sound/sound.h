// The sound device. Display initialisation opens it for the window and
// display shutdown closes it; effects and music build on it.
#pragma once

#include <windows.h>

// 1 device ready, 2 no sound driver, 0 any other failure.
int OpenSound(HWND window);
void CloseSound();
