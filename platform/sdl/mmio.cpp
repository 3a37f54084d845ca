// Multimedia file I/O: RIFF files read chunk by chunk. A chunk whose size
// runs past its parent or past the end of the file is refused where it is
// found, so that no reader is led to allocate or read beyond the file.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

struct HMMIO__ {
  std::FILE* file = nullptr;
  uint64_t size = 0;  // bytes in the file
};

namespace {

constexpr DWORD HEADER_BYTES = 8;

bool ReadAt(HMMIO file, uint64_t offset, void* buffer, size_t count) {
  if (offset + count > file->size) return false;
  if (std::fseek(file->file, static_cast<long>(offset), SEEK_SET) != 0) return false;
  return std::fread(buffer, 1, count, file->file) == count;
}

DWORD Le32(const uint8_t* bytes) {
  return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
         static_cast<DWORD>(bytes[3]) << 24;
}

bool IsListForm(FOURCC id) { return id == FOURCC_RIFF || id == FOURCC_LIST; }

}  // namespace

extern "C" {

HMMIO WINAPI mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags) {
  auto fail = [info](UINT error) -> HMMIO {
    if (info != nullptr) info->wErrorRet = error;
    return nullptr;
  };
  // Reading is all the program does; writing is not offered.
  if (flags & (MMIO_WRITE | MMIO_READWRITE | MMIO_CREATE)) return fail(MMIOERR_CANNOTOPEN);
  if (fileName == nullptr) return fail(MMIOERR_FILENOTFOUND);
  std::FILE* stream = std::fopen(fileName, "rb");
  if (stream == nullptr) return fail(MMIOERR_FILENOTFOUND);
  long size = -1;
  if (std::fseek(stream, 0, SEEK_END) == 0) size = std::ftell(stream);
  if (size < 0 || std::fseek(stream, 0, SEEK_SET) != 0) {
    std::fclose(stream);
    return fail(MMIOERR_CANNOTREAD);
  }
  auto* file = new HMMIO__;
  file->file = stream;
  file->size = static_cast<uint64_t>(size);
  if (info != nullptr) info->wErrorRet = 0;
  return file;
}

MMRESULT WINAPI mmioClose(HMMIO file, UINT /*flags*/) {
  if (file == nullptr) return MMIOERR_CANNOTCLOSE;
  int result = std::fclose(file->file);
  delete file;
  return result == 0 ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
}

LONG WINAPI mmioRead(HMMIO file, HPSTR buffer, LONG count) {
  if (file == nullptr || (buffer == nullptr && count > 0) || count < 0) return -1;
  return static_cast<LONG>(std::fread(buffer, 1, static_cast<size_t>(count), file->file));
}

MMRESULT WINAPI mmioDescend(HMMIO file, LPMMCKINFO chunk, LPCMMCKINFO parent, UINT flags) {
  if (file == nullptr || chunk == nullptr) return MMIOERR_CANNOTREAD;
  long at = std::ftell(file->file);
  if (at < 0) return MMIOERR_CANNOTSEEK;
  uint64_t offset = static_cast<uint64_t>(at);
  uint64_t end = file->size;
  if (parent != nullptr) end = std::min<uint64_t>(end, static_cast<uint64_t>(parent->dwDataOffset) + parent->cksize);

  FOURCC wantId = 0, wantType = 0;
  if (flags & MMIO_FINDCHUNK) wantId = chunk->ckid;
  if (flags & MMIO_FINDRIFF) wantId = FOURCC_RIFF, wantType = chunk->fccType;
  if (flags & MMIO_FINDLIST) wantId = FOURCC_LIST, wantType = chunk->fccType;
  const bool searching = (flags & (MMIO_FINDCHUNK | MMIO_FINDRIFF | MMIO_FINDLIST)) != 0;

  for (;;) {
    uint8_t header[HEADER_BYTES + 4];
    if (offset + HEADER_BYTES > end || !ReadAt(file, offset, header, HEADER_BYTES))
      return searching ? MMIOERR_CHUNKNOTFOUND : MMIOERR_CANNOTREAD;
    FOURCC id = Le32(header);
    DWORD size = Le32(header + 4);
    uint64_t dataOffset = offset + HEADER_BYTES;
    if (dataOffset + size > end) return MMIOERR_INVALIDFILE;
    FOURCC type = 0;
    bool listForm = IsListForm(id);
    if (listForm) {
      if (size < 4 || !ReadAt(file, dataOffset, header + HEADER_BYTES, 4)) return MMIOERR_INVALIDFILE;
      type = Le32(header + HEADER_BYTES);
    }
    if (!searching || (id == wantId && (wantType == 0 || type == wantType))) {
      chunk->ckid = id;
      chunk->cksize = size;
      chunk->fccType = type;
      chunk->dwDataOffset = static_cast<DWORD>(dataOffset);
      chunk->dwFlags = 0;
      // Inside a RIFF or LIST chunk reading goes on after its form type.
      std::fseek(file->file, static_cast<long>(dataOffset + (listForm ? 4 : 0)), SEEK_SET);
      return MMSYSERR_NOERROR;
    }
    offset = dataOffset + size + (size & 1);  // chunks are padded to even sizes
  }
}

MMRESULT WINAPI mmioAscend(HMMIO file, LPMMCKINFO chunk, UINT /*flags*/) {
  if (file == nullptr || chunk == nullptr) return MMIOERR_CANNOTSEEK;
  uint64_t next = static_cast<uint64_t>(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1);
  if (std::fseek(file->file, static_cast<long>(next), SEEK_SET) != 0) return MMIOERR_CANNOTSEEK;
  return MMSYSERR_NOERROR;
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  // The platform stops at 1,024 bytes whatever the buffer; so do we.
  constexpr int LIMIT = 1024;
  if (buffer == nullptr || format == nullptr) return 0;
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(buffer, LIMIT, format, arguments);
  va_end(arguments);
  if (written < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return written < LIMIT ? written : LIMIT - 1;
}

}  // extern "C"
