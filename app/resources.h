// Numbers of the program's resources, shared by the resource script
// (vantor.rc) and the code.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)  // controls the code never asks for
#endif

#define IDD_OPTIONS 101
#define IDI_PROGRAM 102

#define IDC_MODE_320X200 1000
#define IDC_MODE_512X384 1001
#define IDC_MODE_640X480_SMALL 1002
#define IDC_MODE_640X480 1003
#define IDC_BACKBUFFER_IN_VIDEO 1004
#define IDC_OFFSCREEN_IN_VIDEO 1005
#define IDC_SAVE_CONFIG 1007
#define IDC_SOUND_FX 1008
#define IDC_MUSIC 1009
#define IDC_SOUND_GROUP 1010
#define IDC_VIDEO_OPTION_GROUP 1011
#define IDC_VIDEO_MODE_GROUP 1012
