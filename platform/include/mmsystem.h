// The Windows multimedia subset Vantor calls: the millisecond clock, and the
// media control notification values. Implemented in platform/sdl.
#pragma once

#include <windows.h>

typedef UINT MMRESULT;
typedef UINT MCIERROR;
typedef UINT MCIDEVICEID;

#define TIMERR_NOERROR 0
#define MMSYSERR_NOERROR 0

#define MM_MCINOTIFY 0x3B9
#define MCI_NOTIFY_SUCCESSFUL 0x0001
#define MCI_NOTIFY_SUPERSEDED 0x0002
#define MCI_NOTIFY_ABORTED 0x0004
#define MCI_NOTIFY_FAILURE 0x0008

#ifdef __cplusplus
extern "C" {
#endif

// 32-bit millisecond count; wraps after about 49.7 days.
DWORD WINAPI timeGetTime(void);

#ifdef __cplusplus
}
#endif
