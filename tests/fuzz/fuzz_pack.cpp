// Resource packs from arbitrary bytes: open, look up every stored name and a
// few others, and read each entry found in several item sizes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "formats/pack.h"

namespace {

// One scratch file per process, removed when the fuzzer exits.
struct ScratchFile {
  std::string path = "/tmp/fuzz_pack_" + std::to_string(getpid()) + ".rsf";
  ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& TempPath() {
  static const ScratchFile scratch;
  return scratch.path;
}

void ReadAround(ResourcePack* pack, PackEntryHandle* handle) {
  uint8_t buffer[512];
  int32_t length = PackEntryLength(pack, handle);
  if (length >= 0 && handle->start + int64_t{length} > pack->fileSize) __builtin_trap();
  for (size_t size : {size_t{1}, size_t{3}, size_t{32}, size_t{512}}) {
    int32_t before = handle->position;
    size_t count = sizeof buffer / size;
    size_t read = ReadEntry(pack, buffer, size, count, handle);
    // Whole items only, never more than asked, and the position follows them.
    if (read > count || handle->position != before + static_cast<int32_t>(read * size)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(TempPath().c_str(), "wb");
  if (file == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);

  ResourcePack* pack = nullptr;
  int status = OpenResourcePack(TempPath().c_str(), &pack);
  if (pack == nullptr) return 0;
  if ((status == PACK_OK) != (pack->isOpen == 1)) __builtin_trap();
  if (pack->isOpen == 1) {
    for (int32_t i = 0; i < pack->entryCount; ++i) {
      char name[PACK_NAME_SIZE + 1] = {};
      std::memcpy(name, pack->entries[i].name, PACK_NAME_SIZE);
      PackEntryHandle* handle = OpenEntry(pack, name, "rb");
      if (handle != nullptr) {
        if (handle->entryIndex > i) __builtin_trap();  // the first equal name wins
        ReadAround(pack, handle);
        CloseEntry(pack, handle);
      }
    }
  }
  for (const char* name : {"font.rsf", "K16X16G1.FNT", "", "test2.spr"}) {
    PackEntryHandle* handle = OpenEntry(pack, name, "rb");
    if (handle != nullptr) {
      ReadAround(pack, handle);
      CloseEntry(pack, handle);
    }
  }
  DestroyResourcePack(pack);
  return 0;
}
