// alptool: builds the blend table cache (.alp) from a 256-colour BMP's
// palette, as the program would on a start without one.
//
//   alptool IN.bmp OUT.alp [FIRST LAST]     search range, default 1 254

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/alpha.h"
#include "formats/bmp.h"

namespace {

const char USAGE[] =
    "usage: alptool IN.bmp OUT.alp [FIRST LAST]\n"
    "Builds the blend table from IN.bmp's palette, choosing colours among the\n"
    "indices FIRST..LAST (default 1 254, as the program does), and saves it.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage.\n";

bool ParseIndex(const char* text, int32_t* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 255) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    }
  if (argc != 3 && argc != 5) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  int32_t first = 1, last = 254;
  if (argc == 5 && (!ParseIndex(argv[3], &first) || !ParseIndex(argv[4], &last) || first > last)) {
    std::fprintf(stderr, "alptool: FIRST and LAST are indices 0..255, FIRST not above LAST\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || in.bad()) {
    std::fprintf(stderr, "alptool: cannot read %s\n", argv[1]);
    return 1;
  }
  BmpImage image{};
  const int loaded = ParseBmp(bytes.data(), bytes.size(), &image);
  if (loaded != BMP_OK) {
    std::fprintf(stderr, "alptool: %s: %s\n", argv[1], BmpErrorText(loaded));
    return 1;
  }
  BuildAlphaTable(image.palette, first, last);
  FreeBmp(&image);
  if (SaveAlphaTable(argv[2]) != ALPHA_OK) {
    std::fprintf(stderr, "alptool: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
