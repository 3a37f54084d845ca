// The alpha table: for 7 mixing levels and every (background, foreground)
// pair of palette indices, the palette index nearest to their mix, so that a
// translucent pixel costs one table lookup.
//
// Entry (level, background, foreground) is alphaTable[level * 65536 +
// background * 256 + foreground]. Its colour mixes each component as
// (foreground * (8 - level) + background * level) / 8: level is the
// background's share in eighths, level 0 the foreground alone.
//
// Nearest means the smallest dR + dG + dB + (largest - smallest of the three)
// over the indices searchFirst..searchLast, the lowest index on ties.
//
// Cache file, integers little-endian: "Alpha Table" (11 bytes), 5 zero
// bytes, the level count 7 (1 byte), 3 zero bytes, the table size 0x70000
// (4 bytes), 4 zero bytes, then the table; nothing after it.
//
// Palettes are 256 entries of blue, green, red, reserved (1024 bytes).
#pragma once

#include <cstdint>

constexpr int32_t ALPHA_LEVELS = 7;
constexpr int32_t ALPHA_TABLE_SIZE = ALPHA_LEVELS * 256 * 256;
constexpr int32_t ALPHA_HEADER_SIZE = 28;
extern const char ALPHA_TAG[11];  // no terminator

// Load and save results.
constexpr int32_t ALPHA_OK = 1;
constexpr int32_t ALPHA_NO_FILE = -1;    // cannot open (load) or cannot write in full (save)
constexpr int32_t ALPHA_BAD_TAG = -2;    // the file does not start with the tag
constexpr int32_t ALPHA_TRUNCATED = -3;  // the file ends before the table does

extern uint8_t alphaTable[ALPHA_TABLE_SIZE];

// The same entries arranged by drawn colour, for the translucent blits:
// entry (level, background, foreground) is AlphaRowsByDrawn(level)[foreground
// * 256 + background], so all entries of one drawn colour are one 256-byte
// row and a sprite of a few colours reads a few KB of it. It is derived from
// alphaTable and kept in step by AlphaTableChanged(), which the loaders and
// builders below call; code that writes alphaTable itself must call it
// after. `level` must be within 0..ALPHA_LEVELS - 1.
const uint8_t* AlphaRowsByDrawn(int32_t level);

// Rebuilds the copy above from alphaTable (a fraction of a millisecond).
void AlphaTableChanged();

// True when the copy matches alphaTable at a spread of sample entries of the
// level: a cheap check that AlphaTableChanged() was not forgotten.
bool AlphaRowsInStep(int32_t level);

// The index range the nearest-colour search may return; BuildAlphaTable sets
// it. Before any build it is 0 to 255.
extern int32_t searchFirst;
extern int32_t searchLast;

// Reads the table from a cache file. The table changes only on success: a
// file that cannot be opened (-1), has another tag (-2, compared exactly,
// letter case included) or ends before the whole table (-3) leaves it as it
// was, so the caller can rebuild instead of drawing with a half-stale table.
// The level count and size fields are not checked; bytes after the table are
// ignored.
int LoadAlphaTable(const char* fileName);

// Writes the cache file. The bytes go to "<fileName>.tmp" first, which then
// replaces the target, so a crash or a full disk never leaves a damaged cache
// behind. Any failure (temporary file cannot be created or written, target
// cannot be replaced) removes the temporary file and returns -1; the table in
// memory is never touched.
int SaveAlphaTable(const char* fileName);

// Fills the whole table from `palette`, searching indices first..last (kept
// as given in searchFirst / searchLast). Every entry equals what BlendColor
// gives for it, but the table is built in milliseconds rather than the plain
// search's half second. A range outside 0..255 is cut to it; an empty range
// (first > last) holds no colour to choose, and every entry is then 0. A null
// palette leaves table and range untouched.
void BuildAlphaTable(const uint8_t* palette, int32_t first, int32_t last);

// The plain build: BlendColor for every entry in memory order. Slow; kept as
// the reference the fast build is checked and measured against.
void BuildAlphaTableExhaustive(const uint8_t* palette, int32_t first, int32_t last);

// The table value for one entry by the plain search. A level outside 0..6 is
// taken as the nearest of them; a null palette gives 0.
int BlendColor(uint8_t background, uint8_t foreground, const uint8_t* palette, int32_t level);

// The index within searchFirst..searchLast nearest to the colour, the lowest
// on ties; 0 when the range is empty or the palette null. Components are
// taken within 0..255.
int NearestColor(int32_t red, int32_t green, int32_t blue, const uint8_t* palette);
