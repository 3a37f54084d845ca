#include "tools/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace {

// Pictures larger than this are refused before any allocation.
constexpr uint32_t PNG_SIDE_MAX = 16384;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// libpng reports errors by longjmp; the message is kept for the caller.
void OnPngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error != nullptr) *error = message;
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

// Everything with a destructor lives in the caller, outside the setjmp scope.
bool ReadInto(std::FILE* file, PngPicture* picture, std::vector<png_bytep>* rows, std::string* error) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
  if (png == nullptr) return *error = "out of memory", false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return *error = "out of memory", false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  if (width > PNG_SIDE_MAX || height > PNG_SIDE_MAX) png_error(png, "picture too large");
  const int colorType = png_get_color_type(png, info);
  picture->indexed = colorType == PNG_COLOR_TYPE_PALETTE;
  if (picture->indexed) {
    png_set_packing(png);  // 1, 2 and 4-bit indices to one byte each
  } else {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const size_t pixelBytes = picture->indexed ? 1 : 4;
  if (rowBytes != width * pixelBytes) png_error(png, "unexpected pixel layout");
  picture->width = static_cast<int32_t>(width);
  picture->height = static_cast<int32_t>(height);
  picture->pixels.resize(rowBytes * height);
  rows->resize(height);
  for (png_uint_32 y = 0; y < height; ++y) (*rows)[y] = picture->pixels.data() + y * rowBytes;
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool WriteFrom(std::FILE* file, int32_t width, int32_t height, int colorType,
               const std::vector<PaletteRgb>* palette, const std::vector<png_bytep>& rows,
               std::string* error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
  if (png == nullptr) return *error = "out of memory", false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return *error = "out of memory", false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color entries[256] = {};
  if (palette != nullptr) {
    for (size_t i = 0; i < 256 && i < palette->size(); ++i)
      entries[i] = {(*palette)[i].r, (*palette)[i].g, (*palette)[i].b};
    png_set_PLTE(png, info, entries, 256);
    png_byte transparent = 0;
    png_set_tRNS(png, info, &transparent, 1, nullptr);
  }
  png_write_info(png, info);
  png_write_image(png, const_cast<png_bytepp>(rows.data()));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool WritePng(const std::string& path, int32_t width, int32_t height, int colorType,
              const std::vector<PaletteRgb>* palette, const std::vector<uint8_t>& pixels, size_t pixelBytes,
              std::string* error) {
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height) * pixelBytes)
    return *error = "nothing to write", false;
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return *error = "cannot create the file", false;
  std::vector<png_bytep> rows(height);
  for (int32_t y = 0; y < height; ++y)
    rows[y] = const_cast<png_bytep>(pixels.data()) + size_t(y) * size_t(width) * pixelBytes;
  bool ok = WriteFrom(file.get(), width, height, colorType, palette, rows, error);
  if (std::fclose(file.release()) != 0 && ok) *error = "cannot finish writing the file", ok = false;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace

bool ReadPng(const std::string& path, PngPicture* picture, std::string* error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return *error = "cannot open the file", false;
  uint8_t signature[8] = {};
  if (std::fread(signature, 1, 8, file.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0)
    return *error = "not a PNG file", false;
  std::rewind(file.get());
  std::vector<png_bytep> rows;
  PngPicture read;
  if (!ReadInto(file.get(), &read, &rows, error)) return false;
  *picture = std::move(read);
  return true;
}

bool WriteIndexedPng(const std::string& path, int32_t width, int32_t height,
                     const std::vector<uint8_t>& indices, const std::vector<PaletteRgb>& palette,
                     std::string* error) {
  return WritePng(path, width, height, PNG_COLOR_TYPE_PALETTE, &palette, indices, 1, error);
}

bool WriteRgbPng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                 std::string* error) {
  return WritePng(path, width, height, PNG_COLOR_TYPE_RGB, nullptr, rgb, 3, error);
}
