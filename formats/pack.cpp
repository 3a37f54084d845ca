#include "formats/pack.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

const char PACK_MAGIC[20] = "Tavek Resource file";

namespace {

uint32_t ReadU32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

void WriteU32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Size of an open file without disturbing anything but its position.
int64_t FileSize(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(file);
  return size < 0 ? -1 : static_cast<int64_t>(size);
}

bool SameName(const char* wanted, const char* stored) {
  // Stored names may lack their terminator; never look past the 16 bytes.
  for (int i = 0; i < PACK_NAME_SIZE; ++i) {
    unsigned char a = static_cast<unsigned char>(wanted[i]);
    unsigned char b = static_cast<unsigned char>(stored[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    if (a != b) return false;
    if (a == 0) return true;
  }
  return false;  // a 16-character wanted name cannot be stored
}

int32_t OpenSteps(ResourcePack* pack, const char* path) {
  pack->isOpen = 0;
  pack->entryCount = 0;
  pack->entries = nullptr;
  pack->file = nullptr;
  pack->fileSize = 0;

  if (path == nullptr) return PACK_NO_FILE;
  pack->file = std::fopen(path, "rb");
  if (pack->file == nullptr) return PACK_NO_FILE;

  uint8_t header[PACK_HEADER_SIZE] = {};
  size_t got = std::fread(header, 1, sizeof header, pack->file);
  if (got < sizeof PACK_MAGIC || std::memcmp(header, PACK_MAGIC, sizeof PACK_MAGIC) != 0) {
    std::fclose(pack->file);
    pack->file = nullptr;
    return PACK_BAD_MAGIC;
  }
  if (got < sizeof header) {
    std::fclose(pack->file);
    pack->file = nullptr;
    return PACK_TRUNCATED;
  }
  pack->entryCount = static_cast<int16_t>(header[20] | header[21] << 8);
  // No directory can have a negative size; the file stays open, as after
  // any failed directory allocation, until the pack is closed.
  if (pack->entryCount < 0) return PACK_NO_MEMORY;

  pack->fileSize = FileSize(pack->file);
  int64_t directoryEnd = PACK_HEADER_SIZE + int64_t{pack->entryCount} * PACK_ENTRY_SIZE;
  if (pack->fileSize < directoryEnd) {
    // A count the file cannot hold is refused before anything is allocated.
    std::fclose(pack->file);
    pack->file = nullptr;
    return PACK_TRUNCATED;
  }
  if (pack->entryCount > 0) {
    pack->entries = new (std::nothrow) PackEntry[pack->entryCount];
    if (pack->entries == nullptr) return PACK_NO_MEMORY;
  }
  if (std::fseek(pack->file, PACK_HEADER_SIZE, SEEK_SET) != 0) return PACK_TRUNCATED;
  for (int32_t i = 0; i < pack->entryCount; ++i) {
    uint8_t record[PACK_ENTRY_SIZE];
    if (std::fread(record, 1, sizeof record, pack->file) != sizeof record) return PACK_TRUNCATED;
    PackEntry& entry = pack->entries[i];
    entry.auxA = ReadU32(record);
    entry.auxB = ReadU32(record + 4);
    entry.offset = static_cast<int32_t>(ReadU32(record + 8));
    entry.auxC = ReadU32(record + 12);
    std::memcpy(entry.name, record + 16, PACK_NAME_SIZE);
  }
  pack->isOpen = 1;
  return PACK_OK;
}

bool Usable(const ResourcePack* pack) {
  return pack != nullptr && pack->isOpen == 1 && pack->file != nullptr;
}

}  // namespace

int OpenResourcePack(const char* path, ResourcePack** packOut) {
  if (packOut == nullptr) return PACK_NO_MEMORY;
  ResourcePack* pack = new (std::nothrow) ResourcePack{};
  *packOut = pack;
  if (pack == nullptr) return PACK_NO_MEMORY;
  pack->status = OpenSteps(pack, path);
  if (pack->status != PACK_OK && pack->status != PACK_NO_MEMORY) {
    // Statuses other than -3 leave nothing behind; -3 keeps the file open.
    delete[] pack->entries;
    pack->entries = nullptr;
    if (pack->file != nullptr) std::fclose(pack->file);
    pack->file = nullptr;
  }
  return pack->status;
}

PackEntryHandle* OpenEntry(ResourcePack* pack, const char* name, const char* /*mode*/) {
  if (!Usable(pack) || name == nullptr) return nullptr;
  for (int32_t i = 0; i < pack->entryCount; ++i) {
    const PackEntry& entry = pack->entries[i];
    if (!SameName(name, entry.name)) continue;
    // The first match decides: an entry pointing outside the file is
    // refused rather than read from somewhere else.
    if (entry.offset < 0 || entry.offset > pack->fileSize) return nullptr;
    PackEntryHandle* handle = new (std::nothrow) PackEntryHandle{};
    if (handle == nullptr) return nullptr;
    handle->entryIndex = i;
    handle->auxA = entry.auxA;
    handle->auxC = entry.auxC;
    handle->start = handle->position = entry.offset;
    return handle;
  }
  return nullptr;
}

size_t ReadEntry(ResourcePack* pack, void* buffer, size_t size, size_t count, PackEntryHandle* handle) {
  if (!Usable(pack) || handle == nullptr || buffer == nullptr || size == 0 || count == 0) return 0;
  if (handle->position < 0 || handle->position > pack->fileSize) return 0;
  // Never ask for more whole items than the file can still hold, nor let the
  // 32-bit position run past its range; this also keeps size x count small.
  int64_t limit = std::min<int64_t>(pack->fileSize, std::numeric_limits<int32_t>::max());
  uint64_t available = static_cast<uint64_t>(std::max<int64_t>(0, limit - handle->position));
  size_t items = static_cast<size_t>(std::min<uint64_t>(count, available / size));
  if (items == 0) return 0;
  if (std::fseek(pack->file, handle->position, SEEK_SET) != 0) return 0;
  size_t read = std::fread(buffer, size, items, pack->file);
  handle->position += static_cast<int32_t>(read * size);
  return read;
}

void CloseEntry(ResourcePack* /*pack*/, PackEntryHandle* handle) { delete handle; }

int32_t PackEntryLength(const ResourcePack* pack, const PackEntryHandle* handle) {
  if (!Usable(pack) || handle == nullptr) return -1;
  if (handle->entryIndex < 0 || handle->entryIndex >= pack->entryCount) return -1;
  const PackEntry& entry = pack->entries[handle->entryIndex];
  int64_t length = entry.auxB;
  if (length == 0 || entry.offset < 0 || entry.offset + length > pack->fileSize) return -1;
  if (length > std::numeric_limits<int32_t>::max()) return -1;
  return static_cast<int32_t>(length);
}

void CloseResourcePack(ResourcePack* pack) {
  if (pack == nullptr) return;
  if (pack->file != nullptr) std::fclose(pack->file);
  delete[] pack->entries;
  pack->file = nullptr;
  pack->entries = nullptr;
  pack->entryCount = 0;
  pack->isOpen = 0;
}

void DestroyResourcePack(ResourcePack* pack) {
  if (pack == nullptr) return;
  CloseResourcePack(pack);
  delete pack;
}

bool IsValidPackName(const char* name) {
  if (name == nullptr) return false;
  size_t length = strnlen(name, PACK_NAME_SIZE);
  return length >= 1 && length < static_cast<size_t>(PACK_NAME_SIZE);
}

int WriteResourcePack(const char* path, const PackSource* sources, int32_t count) {
  if (path == nullptr || count < 0 || count > PACK_MAX_ENTRIES || (count > 0 && sources == nullptr)) {
    return PACK_WRITE_BAD_INPUT;
  }
  int64_t offset = PACK_HEADER_SIZE + int64_t{count} * PACK_ENTRY_SIZE;
  for (int32_t i = 0; i < count; ++i) {
    if (!IsValidPackName(sources[i].name)) return PACK_WRITE_BAD_INPUT;
    if (sources[i].data == nullptr && sources[i].length > 0) return PACK_WRITE_BAD_INPUT;
    offset += sources[i].length;
  }
  // Every entry must start at an offset the signed 32-bit field can hold.
  if (count > 0 && offset - sources[count - 1].length > std::numeric_limits<int32_t>::max()) {
    return PACK_WRITE_TOO_BIG;
  }

  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return PACK_WRITE_NO_FILE;
  bool ok = true;
  uint8_t header[PACK_HEADER_SIZE] = {};
  std::memcpy(header, PACK_MAGIC, sizeof PACK_MAGIC);
  header[20] = static_cast<uint8_t>(count & 0xFF);
  header[21] = static_cast<uint8_t>(count >> 8);
  ok = ok && std::fwrite(header, 1, sizeof header, file) == sizeof header;

  uint32_t next = static_cast<uint32_t>(PACK_HEADER_SIZE + count * PACK_ENTRY_SIZE);
  for (int32_t i = 0; i < count && ok; ++i) {
    uint8_t record[PACK_ENTRY_SIZE] = {};
    WriteU32(record + 4, sources[i].length);
    WriteU32(record + 8, next);
    std::memcpy(record + 16, sources[i].name, std::strlen(sources[i].name));
    ok = std::fwrite(record, 1, sizeof record, file) == sizeof record;
    next += sources[i].length;
  }
  for (int32_t i = 0; i < count && ok; ++i) {
    if (sources[i].length == 0) continue;
    ok = std::fwrite(sources[i].data, 1, sources[i].length, file) == sources[i].length;
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::remove(path);
    return PACK_WRITE_FAILED;
  }
  return PACK_WRITE_OK;
}
