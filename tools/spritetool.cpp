// spritetool: makes, unpacks and shows sprite files (.spr raw, .csp
// run-length).
//
//   spritetool build [--rle] OUT SOURCE.txt
//   spritetool encode [--rle] [--palette PAL.bmp] [--offset I:X,Y]... [--center I:X,Y]... OUT FRAME.png...
//   spritetool decode [--palette PAL.bmp] IN OUTDIR
//   spritetool sheet [--palette PAL.bmp] [--scale N] [--composite] OUT.png IN...
//
// Frame records are filled in as follows: offsets 0,0 unless given; the
// centre is (width / 2, height / 2) unless given; the bounding box is the
// smallest box holding every opaque (non-zero) pixel, and 0,0,-1,-1 for a
// frame with none, so that right - left + 1 is its (empty) width.
//
// Text sources (the art's editable form, see assets/sprites/) are lines of:
//   # comment
//   legend C=N C=N ...     characters (not '#') and the palette indices they stand for
//   frame N offset X Y [center X Y]
//   rows of legend characters, all of one width, after each frame line
// Frames are numbered 0, 1, 2... in order; blank lines are ignored.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "formats/bmp.h"
#include "formats/rle.h"
#include "formats/rle_encode.h"
#include "formats/sprite.h"
#include "tools/png_io.h"
#include "tools/vga_palette.h"

namespace {

namespace fs = std::filesystem;

const char USAGE[] =
    "usage: spritetool build [--rle] OUT SOURCE.txt\n"
    "       spritetool encode [--rle] [--palette PAL.bmp] [--offset I:X,Y]... [--center I:X,Y]... OUT "
    "FRAME.png...\n"
    "       spritetool decode [--palette PAL.bmp] IN OUTDIR\n"
    "       spritetool sheet [--palette PAL.bmp] [--scale N] [--composite] OUT.png IN...\n"
    "\n"
    "build    writes a sprite file from a text pixel map (see assets/sprites/)\n"
    "encode   writes a sprite file with one frame per PNG, in the order given;\n"
    "         palette PNGs keep their indices, other PNGs take the nearest\n"
    "         colour of PAL.bmp's palette (1..255; alpha 0 becomes index 0)\n"
    "decode   writes one palette PNG per frame, IN's name plus _NN.png\n"
    "sheet    draws every frame of every file, scaled up (default 3) on a\n"
    "         checkerboard; --composite adds, for each set of eight frames or\n"
    "         more, the figure layered as the renderer's DrawComposite draws it\n"
    "\n"
    "--rle       run-length frames (.csp); raw (.spr) without it\n"
    "--palette   a 256-colour BMP; the VGA default palette without it\n"
    "--offset    frame I's offset from the sprite's origin (default 0,0)\n"
    "--center    frame I's centre (default width / 2, height / 2)\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage.\n";

constexpr int EXIT_BAD_FILE = 1;
constexpr int EXIT_USAGE = 2;

struct Frame {
  int32_t width = 0;
  int32_t height = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t centerX = 0;
  int32_t centerY = 0;
  bool hasCenter = false;
  std::vector<uint8_t> pixels;  // indices, 0 transparent
};

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "spritetool: %s\n", message.c_str());
  return status;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool LoadPalette(const std::string& path, std::vector<PaletteRgb>* palette, std::string* error) {
  if (path.empty()) {
    *palette = VgaPalette();
    return true;
  }
  std::vector<uint8_t> bytes;
  if (!ReadFile(path, &bytes)) return *error = "cannot read " + path, false;
  BmpImage image{};
  const int result = ParseBmp(bytes.data(), bytes.size(), &image);
  if (result != BMP_OK) return *error = path + ": " + BmpErrorText(result), false;
  palette->resize(256);
  for (int i = 0; i < 256; ++i)
    (*palette)[i] = {image.palette[i * 4 + 2], image.palette[i * 4 + 1], image.palette[i * 4]};
  FreeBmp(&image);
  return true;
}

// Index 0 is left out: an opaque pixel must never turn transparent.
uint8_t NearestIndex(const std::vector<PaletteRgb>& palette, int r, int g, int b) {
  int best = 1, bestDistance = 1 << 30;
  for (int i = 1; i < 256; ++i) {
    const int dr = palette[i].r - r, dg = palette[i].g - g, db = palette[i].b - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) best = i, bestDistance = distance;
  }
  return static_cast<uint8_t>(best);
}

void Put16(std::vector<uint8_t>& out, int32_t value) {
  out.push_back(static_cast<uint8_t>(value)), out.push_back(static_cast<uint8_t>(value >> 8));
}

bool FitsInt16(int32_t value) { return value >= -32768 && value <= 32767; }

bool WriteSpriteFile(const std::string& path, bool rle, const std::vector<Frame>& frames,
                     std::string* error) {
  if (frames.size() > 32767) return *error = "more than 32767 frames", false;
  std::vector<uint8_t> file(SPRITE_MAGIC, SPRITE_MAGIC + SPRITE_MAGIC_SIZE);
  file.insert(file.end(), 4, 0);
  file.push_back(rle ? 1 : 0);
  Put16(file, static_cast<int32_t>(frames.size()));
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& f = frames[i];
    const std::string which = "frame " + std::to_string(i) + ": ";
    if (f.width < 0 || f.height < 0 || f.width > SPRITE_SIDE_MAX || f.height > SPRITE_SIDE_MAX)
      return *error = which + "size outside 0.." + std::to_string(SPRITE_SIDE_MAX), false;
    const int32_t centerX = f.hasCenter ? f.centerX : f.width / 2,
                  centerY = f.hasCenter ? f.centerY : f.height / 2;
    if (!FitsInt16(f.offsetX) || !FitsInt16(f.offsetY) || !FitsInt16(centerX) || !FitsInt16(centerY))
      return *error = which + "offset or centre outside -32768..32767", false;
    int32_t left = f.width, top = f.height, right = -1, bottom = -1;
    for (int32_t y = 0; y < f.height; ++y)
      for (int32_t x = 0; x < f.width; ++x)
        if (f.pixels[size_t(y) * f.width + x] != 0)
          left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
          bottom = std::max(bottom, y);
    if (right < 0) left = top = 0;
    const std::vector<uint8_t> data = rle ? EncodeRleFrame(f.pixels.data(), f.width, f.height) : f.pixels;
    for (int32_t v : {f.offsetX, f.offsetY, f.width, f.height, centerX, centerY, left, top, right, bottom})
      Put16(file, v);
    const uint32_t size = static_cast<uint32_t>(data.size());
    Put16(file, static_cast<int32_t>(size & 0xFFFF)), Put16(file, static_cast<int32_t>(size >> 16));
    file.insert(file.end(), data.begin(), data.end());
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return *error = "cannot create " + path + ": " + std::strerror(errno), false;
  bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::remove(path.c_str());
    return *error = "cannot write " + path, false;
  }
  return true;
}

// Reads a sprite file through the engine's own loader, so that whatever
// spritetool shows is what the program would draw.
bool ReadSpriteFile(const std::string& path, std::vector<Frame>* frames, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadFile(path, &bytes)) return *error = "cannot read " + path, false;
  SpriteFileHeader header{};
  if (bytes.size() < size_t(SPRITE_HEADER_SIZE) || !ParseSpriteHeader(bytes.data(), &header))
    return *error = path + ": not a sprite file", false;
  const int32_t capacity = std::max(header.frameCount, 1);
  std::vector<SpriteFrame> set(capacity);
  const int result = LoadSprite(path.c_str(), set.data(), capacity, nullptr);
  if (result != SPRITE_OK)
    return *error = path + ": damaged sprite file (" + std::to_string(result) + ")", false;
  frames->clear();
  bool ok = true;
  for (int32_t i = 0; i < header.frameCount; ++i) {
    const SpriteFrame& s = set[i];
    Frame f;
    f.width = s.width, f.height = s.height, f.offsetX = s.offsetX, f.offsetY = s.offsetY;
    f.centerX = s.centerX, f.centerY = s.centerY, f.hasCenter = true;
    if (s.compressed != 0) {
      ok = DecodeRleFrame(s.pixels, s.dataSize, s.width, s.height, &f.pixels) == RLE_OK && ok;
    } else {
      f.pixels.assign(s.pixels, s.pixels + size_t(s.width) * size_t(s.height));
    }
    frames->push_back(std::move(f));
  }
  FreeSprite(set.data(), capacity);
  if (!ok) *error = path + ": damaged run-length frame";
  return ok;
}

// "I:X,Y" into its three numbers.
bool ParseFramePoint(const std::string& text, int32_t* index, int32_t* x, int32_t* y) {
  int consumed = 0;
  return std::sscanf(text.c_str(), "%d:%d,%d%n", index, x, y, &consumed) == 3 &&
         consumed == static_cast<int>(text.size()) && *index >= 0;
}

// --- text sources --------------------------------------------------------------

bool ParseSource(const std::string& path, std::vector<Frame>* frames, std::string* error) {
  std::ifstream in(path);
  if (!in) return *error = "cannot read " + path, false;
  std::map<char, int> legend;
  std::string line;
  int lineNumber = 0;
  Frame* frame = nullptr;
  auto fail = [&](const std::string& why) {
    return *error = path + ":" + std::to_string(lineNumber) + ": " + why, false;
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "legend") {
      std::string pair;
      while (words >> pair) {
        int value = -1, consumed = 0;
        if (pair.size() < 3 || pair[1] != '=' ||
            std::sscanf(pair.c_str() + 2, "%d%n", &value, &consumed) != 1 ||
            consumed != static_cast<int>(pair.size() - 2) || value < 0 || value > 255)
          return fail("legend entries are C=N with N in 0..255, not '" + pair + "'");
        if (pair[0] == '#') return fail("'#' starts a comment and cannot stand for a colour");
        legend[pair[0]] = value;
      }
      continue;
    }
    if (first == "frame") {
      int32_t number = -1;
      std::string keyword;
      Frame next;
      if (!(words >> number >> keyword >> next.offsetX >> next.offsetY) || keyword != "offset")
        return fail("expected 'frame N offset X Y [center X Y]'");
      if (words >> keyword) {
        if (keyword != "center" || !(words >> next.centerX >> next.centerY))
          return fail("expected 'frame N offset X Y [center X Y]'");
        next.hasCenter = true;
      }
      if (number != static_cast<int32_t>(frames->size()))
        return fail("frame " + std::to_string(number) + " out of order; expected " +
                    std::to_string(frames->size()));
      frames->push_back(next);
      frame = &frames->back();
      continue;
    }
    if (frame == nullptr) return fail("pixel rows before the first frame line");
    const int32_t width = static_cast<int32_t>(line.size());
    if (frame->height > 0 && width != frame->width)
      return fail("row is " + std::to_string(width) + " wide, the frame's rows " +
                  std::to_string(frame->width));
    frame->width = width;
    for (char c : line) {
      auto found = legend.find(c);
      if (found == legend.end()) return fail(std::string("character '") + c + "' is not in the legend");
      frame->pixels.push_back(static_cast<uint8_t>(found->second));
    }
    ++frame->height;
  }
  if (frames->empty()) return *error = path + ": no frames", false;
  return true;
}

// --- commands ----------------------------------------------------------------------

int Build(const std::vector<std::string>& args) {
  bool rle = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--rle")
      rle = true;
    else if (a.size() > 1 && a[0] == '-')
      return Fail(EXIT_USAGE, "unknown option " + a + "\n" + USAGE);
    else
      files.push_back(a);
  }
  if (files.size() != 2) return Fail(EXIT_USAGE, std::string("build takes OUT and SOURCE.txt\n") + USAGE);
  std::vector<Frame> frames;
  std::string error;
  if (!ParseSource(files[1], &frames, &error) || !WriteSpriteFile(files[0], rle, frames, &error))
    return Fail(EXIT_BAD_FILE, error);
  return 0;
}

int Encode(const std::vector<std::string>& args) {
  bool rle = false;
  std::string palettePath;
  std::vector<std::string> files;
  std::vector<std::array<int32_t, 3>> offsets, centers;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--rle") {
      rle = true;
    } else if (a == "--palette" || a == "--offset" || a == "--center") {
      if (i + 1 >= args.size()) return Fail(EXIT_USAGE, a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--palette") {
        palettePath = value;
        continue;
      }
      std::array<int32_t, 3> point{};
      if (!ParseFramePoint(value, &point[0], &point[1], &point[2]))
        return Fail(EXIT_USAGE, a + " takes I:X,Y, not '" + value + "'");
      (a == "--offset" ? offsets : centers).push_back(point);
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(EXIT_USAGE, "unknown option " + a + "\n" + USAGE);
    } else {
      files.push_back(a);
    }
  }
  if (files.size() < 2)
    return Fail(EXIT_USAGE, std::string("encode takes OUT and at least one PNG\n") + USAGE);
  std::vector<PaletteRgb> palette;
  std::string error;
  if (!LoadPalette(palettePath, &palette, &error)) return Fail(EXIT_BAD_FILE, error);
  std::vector<Frame> frames;
  for (size_t i = 1; i < files.size(); ++i) {
    PngPicture picture;
    if (!ReadPng(files[i], &picture, &error)) return Fail(EXIT_BAD_FILE, files[i] + ": " + error);
    Frame f;
    f.width = picture.width, f.height = picture.height;
    if (picture.indexed) {
      f.pixels = std::move(picture.pixels);
    } else {
      f.pixels.resize(size_t(f.width) * size_t(f.height));
      for (size_t p = 0; p < f.pixels.size(); ++p) {
        const uint8_t* rgba = &picture.pixels[p * 4];
        f.pixels[p] = rgba[3] == 0 ? 0 : NearestIndex(palette, rgba[0], rgba[1], rgba[2]);
      }
    }
    frames.push_back(std::move(f));
  }
  for (auto& [list, isOffset] : {std::pair{&offsets, true}, std::pair{&centers, false}}) {
    for (const auto& point : *list) {
      if (point[0] >= static_cast<int32_t>(frames.size()))
        return Fail(EXIT_USAGE, "no frame " + std::to_string(point[0]) + " (frames are 0.." +
                                    std::to_string(frames.size() - 1) + ")");
      Frame& f = frames[point[0]];
      if (isOffset)
        f.offsetX = point[1], f.offsetY = point[2];
      else
        f.centerX = point[1], f.centerY = point[2], f.hasCenter = true;
    }
  }
  if (!WriteSpriteFile(files[0], rle, frames, &error)) return Fail(EXIT_BAD_FILE, error);
  return 0;
}

int Decode(const std::vector<std::string>& args) {
  std::string palettePath;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--palette") {
      if (i + 1 >= args.size()) return Fail(EXIT_USAGE, "--palette needs a value");
      palettePath = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return Fail(EXIT_USAGE, "unknown option " + args[i] + "\n" + USAGE);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) return Fail(EXIT_USAGE, std::string("decode takes IN and OUTDIR\n") + USAGE);
  std::vector<PaletteRgb> palette;
  std::vector<Frame> frames;
  std::string error;
  if (!LoadPalette(palettePath, &palette, &error) || !ReadSpriteFile(files[0], &frames, &error))
    return Fail(EXIT_BAD_FILE, error);
  std::error_code code;
  fs::create_directories(files[1], code);
  if (code) return Fail(EXIT_BAD_FILE, "cannot create " + files[1] + ": " + code.message());
  const std::string stem = fs::path(files[0]).stem().string();
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& f = frames[i];
    char name[32];
    std::snprintf(name, sizeof name, "_%02zu.png", i);
    const std::string out = (fs::path(files[1]) / (stem + name)).string();
    // A PNG cannot be empty; such frames are listed but not written.
    if (f.width == 0 || f.height == 0) {
      std::printf("frame %zu: %dx%d, empty, not written\n", i, f.width, f.height);
      continue;
    }
    if (!WriteIndexedPng(out, f.width, f.height, f.pixels, palette, &error))
      return Fail(EXIT_BAD_FILE, out + ": " + error);
    std::printf("frame %zu: %dx%d offset %d,%d center %d,%d -> %s\n", i, f.width, f.height, f.offsetX,
                f.offsetY, f.centerX, f.centerY, out.c_str());
  }
  return 0;
}

// The figure DrawComposite layers from an eight-frame set: frames 7, 6, 0, 2,
// 4, 1, each at its offset except the base frame 0, which stands at the origin.
Frame Compose(const std::vector<Frame>& frames) {
  const int order[] = {7, 6, 0, 2, 4, 1};
  auto at = [&](int i) { return i == 0 ? std::pair{0, 0} : std::pair{frames[i].offsetX, frames[i].offsetY}; };
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool first = true;
  for (int i : order) {
    auto [x, y] = at(i);
    if (first) left = x, top = y, right = x + frames[i].width, bottom = y + frames[i].height, first = false;
    left = std::min(left, x), top = std::min(top, y);
    right = std::max(right, x + frames[i].width), bottom = std::max(bottom, y + frames[i].height);
  }
  Frame out;
  out.width = right - left, out.height = bottom - top;
  out.pixels.assign(size_t(out.width) * size_t(out.height), 0);
  for (int i : order) {
    auto [x, y] = at(i);
    const Frame& f = frames[i];
    for (int32_t row = 0; row < f.height; ++row)
      for (int32_t col = 0; col < f.width; ++col) {
        const uint8_t v = f.pixels[size_t(row) * f.width + col];
        if (v != 0) out.pixels[size_t(y - top + row) * out.width + (x - left + col)] = v;
      }
  }
  return out;
}

int Sheet(const std::vector<std::string>& args) {
  std::string palettePath;
  int scale = 3;
  bool composite = false;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--composite") {
      composite = true;
    } else if (a == "--palette" || a == "--scale") {
      if (i + 1 >= args.size()) return Fail(EXIT_USAGE, a + " needs a value");
      if (a == "--palette") {
        palettePath = args[++i];
      } else {
        char* end = nullptr;
        const long value = std::strtol(args[++i].c_str(), &end, 10);
        if (*end != '\0' || value < 1 || value > 16) return Fail(EXIT_USAGE, "--scale takes 1 to 16");
        scale = static_cast<int>(value);
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(EXIT_USAGE, "unknown option " + a + "\n" + USAGE);
    } else {
      files.push_back(a);
    }
  }
  if (files.size() < 2)
    return Fail(EXIT_USAGE, std::string("sheet takes OUT.png and at least one sprite file\n") + USAGE);
  std::vector<PaletteRgb> palette;
  std::string error;
  if (!LoadPalette(palettePath, &palette, &error)) return Fail(EXIT_BAD_FILE, error);
  std::vector<std::vector<Frame>> rows;
  for (size_t i = 1; i < files.size(); ++i) {
    std::vector<Frame> frames;
    if (!ReadSpriteFile(files[i], &frames, &error)) return Fail(EXIT_BAD_FILE, error);
    if (composite && frames.size() >= 8) frames.push_back(Compose(frames));
    rows.push_back(std::move(frames));
  }
  constexpr int GAP = 8;
  int32_t width = GAP, height = GAP;
  for (const auto& row : rows) {
    int32_t rowWidth = GAP, rowHeight = 0;
    for (const Frame& f : row)
      rowWidth += f.width * scale + GAP, rowHeight = std::max(rowHeight, f.height * scale);
    width = std::max(width, rowWidth), height += rowHeight + GAP;
  }
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3, 40);
  int32_t top = GAP;
  for (const auto& row : rows) {
    int32_t left = GAP, rowHeight = 0;
    for (const Frame& f : row) {
      for (int32_t y = 0; y < f.height * scale; ++y)
        for (int32_t x = 0; x < f.width * scale; ++x) {
          uint8_t* p = &rgb[(size_t(top + y) * width + left + x) * 3];
          const uint8_t v = f.pixels[size_t(y / scale) * f.width + x / scale];
          if (v != 0) {
            p[0] = palette[v].r, p[1] = palette[v].g, p[2] = palette[v].b;
          } else {
            const uint8_t check = ((x / 6 + y / 6) % 2) ? 150 : 200;  // transparency shows as a checkerboard
            p[0] = p[1] = p[2] = check;
          }
        }
      left += f.width * scale + GAP, rowHeight = std::max(rowHeight, f.height * scale);
    }
    top += rowHeight + GAP;
  }
  if (!WriteRgbPng(files[0], width, height, rgb, &error)) return Fail(EXIT_BAD_FILE, files[0] + ": " + error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail(EXIT_USAGE, std::string("no command\n") + USAGE);
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(USAGE, stdout);
    return 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      std::fputs(USAGE, stdout);
      return 0;
    }
  if (command == "build") return Build(args);
  if (command == "encode") return Encode(args);
  if (command == "decode") return Decode(args);
  if (command == "sheet") return Sheet(args);
  return Fail(EXIT_USAGE, "unknown command '" + command + "'\n" + USAGE);
}
