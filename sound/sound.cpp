#include "sound/sound.h"

// The audio layer of our platform is not there yet, so there is no device to
// open: answer "no sound driver", which callers already treat as silence.
int OpenSound(HWND /*window*/) { return 2; }

void CloseSound() {}
