// The program's icon, 32 x 32: a monitor showing a V over a night sky. One
// character per pixel; the key below gives the colours ('.' is transparent).
// The platform's resource table (resources.cpp) and the icon file written for
// the Windows resource script (tools/icowrite) both take it from here.
#pragma once

#include <cstdint>

namespace icon_art {

inline constexpr int SIZE = 32;

inline constexpr const char* ROWS[SIZE] = {
    "................................", "..kkkkkkkkkkkkkkkkkkkkkkkkkkkk..",
    "..kwwwwwwwwwwwwwwwwwwwwwwwwwdk..", "..kwggggggggggggggggggggggggdk..",
    "..kwgkkkkkkkkkkkkkkkkkkkkkkgdk..", "..kwgknnnnnnnnnnnnnnnnnnnnkgdk..",
    "..kwgknnwnnnnnnnnnnnnncnnnkgdk..", "..kwgknnnnnnnnnnnnnnnnnnnnkgdk..",
    "..kwgknnnyyrnnnnnnnyyrnnnnkgdk..", "..kwgknnnyyrnnnnnnnyyrnnwnkgdk..",
    "..kwgknnnnyyrnnnnnyyrnnnnnkgdk..", "..kwgknnnnyyrnnnnnyyrnnnnnkgdk..",
    "..kwgkncnnnyyrnnnyyrnnnnnnkgdk..", "..kwgkbbbbbyyrbbbyyrbbbbbbkgdk..",
    "..kwgkbbbbbbyyrbyyrbbbbbbbkgdk..", "..kwgkbbbbbbyyrbyyrbbbbcbbkgdk..",
    "..kwgkbbbbbbbyyyyrbbbbbbbbkgdk..", "..kwgkbbbbbbbbyyrbbbbbbbbbkgdk..",
    "..kwgkbbbbbbbbbbbbbbbbbbbbkgdk..", "..kwgkGGGGGGGGGGGGGGGGGGGGkgdk..",
    "..kwgkDDDDDDDDDDDDDDDDDDDDkgdk..", "..kwgkkkkkkkkkkkkkkkkkkkkkkgdk..",
    "..kwgggggggggggggggggggGgrggdk..", "..kwdddddddddddddddddddddddddk..",
    "..kkkkkkkkkkkkkkkkkkkkkkkkkkkk..", "............kwgggdk.............",
    "...........kwgggggdk............", "........kkkkkkkkkkkkkkkk........",
    "........kwwwwwwwwwwwwwdk........", "........kddddddddddddddk........",
    "........kkkkkkkkkkkkkkkk........", "................................",
};

// Key characters and their colours, 0xAARRGGBB.
inline constexpr char KEYS[] = "kwgdnbycrGD";
inline constexpr uint32_t COLORS[] = {
    0xFF000000,  // k black
    0xFFFFFFFF,  // w white
    0xFFC0C0C0,  // g light grey
    0xFF808080,  // d dark grey
    0xFF000060,  // n night blue
    0xFF0000A8,  // b blue
    0xFFFFFF00,  // y yellow
    0xFF00FFFF,  // c cyan
    0xFFC04000,  // r rust
    0xFF00C000,  // G green
    0xFF006000,  // D dark green
};

}  // namespace icon_art
