// Resource packs: one file holding many named assets behind a directory.
//
// Layout, all integers little-endian:
//   header (24 bytes): "Tavek Resource file" and a zero byte, a signed 16-bit
//     entry count, two reserved bytes;
//   directory: entryCount records of 32 bytes right after the header
//     (PackEntry below);
//   entry data wherever the directory's offsets point.
//
// The reader never learns where an entry ends from the format itself: reads go
// on into whatever follows the entry in the file. Packs written by our own
// packer (WriteResourcePack) record each entry's length in `auxB`, which
// PackEntryLength reports so loaders can refuse entries that are too short.
#pragma once

#include <cstdint>
#include <cstdio>

// Open statuses.
constexpr int32_t PACK_OK = 1;
constexpr int32_t PACK_NO_FILE = -1;    // the pack file cannot be opened
constexpr int32_t PACK_BAD_MAGIC = -2;  // the header does not start with the magic
constexpr int32_t PACK_NO_MEMORY = -3;  // no directory: negative entry count or no memory for it
constexpr int32_t PACK_TRUNCATED = -4;  // the file ends inside the header or the directory

constexpr int32_t PACK_HEADER_SIZE = 24;
constexpr int32_t PACK_ENTRY_SIZE = 32;
constexpr int32_t PACK_NAME_SIZE = 16;  // 15 characters and the terminator
constexpr int32_t PACK_MAX_ENTRIES = 32767;
extern const char PACK_MAGIC[20];

// One directory record, as stored.
struct PackEntry {
  uint32_t auxA;   // carried into the entry handle, otherwise unused
  uint32_t auxB;   // our packer: the entry's length in bytes; others: anything
  int32_t offset;  // absolute file offset of the entry's first byte
  uint32_t auxC;   // carried into the entry handle, otherwise unused
  char name[PACK_NAME_SIZE];
};
static_assert(sizeof(PackEntry) == PACK_ENTRY_SIZE);

struct ResourcePack {
  int16_t entryCount;
  PackEntry* entries;
  FILE* file;
  uint8_t isOpen;    // 1 only after a fully successful open
  int32_t status;    // result of the open
  int64_t fileSize;  // bytes in the file when it was opened; bounds every offset
};

struct PackEntryHandle {
  int32_t entryIndex;
  uint32_t auxA;
  uint32_t auxC;
  int32_t start;     // the entry's offset
  int32_t position;  // absolute file position of the next read
};

// Allocates a pack, opens `path` into it and stores it in *packOut whatever
// the outcome (a failed pack has isOpen 0 and its status says why). Returns
// the status; -3 with *packOut null when the pack object itself cannot be
// allocated. A null packOut is refused with -3 and nothing is opened.
int OpenResourcePack(const char* path, ResourcePack** packOut);

// Looks `name` up (ASCII letters compared without case; the first of equal
// names wins) and returns a new handle, or null: pack not open, no such entry,
// or an entry whose offset lies outside the file. `mode` is accepted and
// ignored; callers pass "rb".
PackEntryHandle* OpenEntry(ResourcePack* pack, const char* name, const char* mode);

// Block read with the C library's contract: up to `count` items of `size`
// bytes at the handle's position, returning the whole items read and
// advancing the position by them. Reads go past the entry's end into the
// bytes that follow it; at the end of the file they return fewer items.
size_t ReadEntry(ResourcePack* pack, void* buffer, size_t size, size_t count, PackEntryHandle* handle);

void CloseEntry(ResourcePack* pack, PackEntryHandle* handle);

// The entry's length in bytes as our packer recorded it, or -1 when unknown:
// a recorded 0 (other packers leave the word empty) or a length running past
// the end of the file is taken as "unknown", never as an error.
int32_t PackEntryLength(const ResourcePack* pack, const PackEntryHandle* handle);

// Closes the file and frees the directory. The pack is left closed (isOpen 0,
// no entries, no file), so a second close or a later lookup is harmless.
void CloseResourcePack(ResourcePack* pack);

// Closes the pack and frees the pack object; nothing for a null pack.
void DestroyResourcePack(ResourcePack* pack);

// One entry for the packer.
struct PackSource {
  const char* name;  // 1 to 15 characters
  const void* data;
  uint32_t length;
};

// Packer results.
constexpr int32_t PACK_WRITE_OK = 1;
constexpr int32_t PACK_WRITE_NO_FILE = -1;    // the output cannot be created
constexpr int32_t PACK_WRITE_BAD_INPUT = -2;  // bad count, name or data pointer
constexpr int32_t PACK_WRITE_TOO_BIG = -3;    // offsets would not fit the format
constexpr int32_t PACK_WRITE_FAILED = -4;     // a write failed (disk full, ...)

// Writes a pack with the entries in the order given, their data back to back
// after the directory; auxB holds each length, auxA and auxC are 0. A failed
// write removes the partial output.
int WriteResourcePack(const char* path, const PackSource* sources, int32_t count);

// Whether `name` can be an entry name: 1 to 15 bytes.
bool IsValidPackName(const char* name);
