#include "formats/bmp.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

#include "format_files.h"
#include "support/headless.h"

namespace {

using namespace format_files;

Picture RandomPicture(std::mt19937& random, int32_t width, int32_t height) {
  Picture picture{width, height, Bytes(size_t(width) * height)};
  for (uint8_t& byte : picture.pixels) byte = static_cast<uint8_t>(random());
  for (uint8_t& byte : picture.palette) byte = static_cast<uint8_t>(random());
  return picture;
}

// Every loaded image: the plain layout, the palette as given, rows bottom-up.
void ExpectPlainLayout(const BmpImage& image, const Picture& picture) {
  ASSERT_NE(image.buffer, nullptr);
  ASSERT_EQ(image.width, picture.width);
  ASSERT_EQ(image.height, picture.height);
  EXPECT_EQ(image.dataSize, 1064 + picture.width * picture.height);
  EXPECT_EQ(image.palette, image.buffer + 40);
  EXPECT_EQ(image.pixels, image.buffer + 1064);
  EXPECT_EQ(image.pixelsEnd, image.buffer + image.dataSize);
  EXPECT_EQ(image.buffer[0], 40);
  EXPECT_EQ(0, std::memcmp(image.palette, picture.palette.data(), 1024));
  for (int32_t y = 0; y < picture.height; ++y)
    ASSERT_EQ(0, std::memcmp(image.pixels + (picture.height - 1 - y) * picture.width,
                             picture.pixels.data() + y * picture.width, picture.width))
        << "row " << y;
}

class Bmp : public vantor_test::Headless {
 protected:
  void TearDown() override {
    FreeBmp(&image);
    fs::remove_all(dir);
    Headless::TearDown();
  }
  // The result, and that exactly the failure's message box was shown.
  int Load(const Bytes& bytes, const char* message = nullptr) {
    WriteFile(dir / "test.bmp", bytes);
    int result = LoadBmp(nullptr, (dir / "test.bmp").c_str(), &image);
    auto boxes = platform_test::TakeMessageBoxes();
    if (message != nullptr) {
      EXPECT_EQ(boxes, std::vector<std::string>{std::string("Error!|") + message});
    }
    return result;
  }
  fs::path dir = TestDir();
  BmpImage image = {};
};

TEST_F(Bmp, PlainFileIsKeptByteForByte) {
  std::mt19937 random(7);
  Picture picture = RandomPicture(random, 320, 200);
  Bytes file = BmpFile(picture);
  ASSERT_EQ(file.size(), 1078u + 64000u);
  ASSERT_EQ(Load(file), BMP_OK);
  ExpectPlainLayout(image, picture);
  EXPECT_EQ(0, std::memcmp(image.buffer, file.data() + 14, file.size() - 14));
  EXPECT_EQ(FreeBmp(&image), 1);
  EXPECT_EQ(FreeBmp(&image), 0);  // cleared: a second free touches nothing

  Picture small = RandomPicture(random, 5, 3);
  MaybeWriteSeed("fuzz_bmp", "plain.bmp", BmpFile(small));
  MaybeWriteSeed("fuzz_bmp", "v5_top_down.bmp", BmpFile(small, {.infoSize = 124, .gap = 2, .topDown = true}));
}

TEST_F(Bmp, RefusedWithTheirMessages) {
  std::mt19937 random(8);
  const Bytes good = BmpFile(RandomPicture(random, 8, 4));
  auto with = [&](size_t at, uint32_t value) {
    Bytes bytes = good;
    Put(bytes, at, value);
    return bytes;
  };
  EXPECT_EQ(LoadBmp(nullptr, (dir / "none.bmp").c_str(), &image), BMP_NO_FILE);
  EXPECT_EQ(platform_test::TakeMessageBoxes(), std::vector<std::string>{"Error!|Can't load BMP file!"});
  EXPECT_EQ(Load(with(0, 0x424D), "Not BMP file!"), BMP_NOT_BMP);  // "MB"

  const std::pair<BmpLayout, int> layouts[] = {
      {{.bitCount = 24}, BMP_NOT_256},
      {{.bitCount = 4}, BMP_NOT_256},
      {{.bitCount = 1}, BMP_NOT_256},
      {{.colorsUsed = 16}, BMP_NOT_256},
      {{.bitCount = 24, .colorsUsed = 256}, BMP_NOT_256},  // one byte per pixel is not what it holds
      {{.compression = 1}, BMP_DAMAGED},
      {{.infoSize = 12}, BMP_DAMAGED},
  };
  for (const auto& [layout, expected] : layouts) {
    Picture picture = RandomPicture(random, 4, 2);
    EXPECT_EQ(Load(BmpFile(picture, layout),
                   expected == BMP_NOT_256 ? "Not 256 Color BMP file!" : "Damaged BMP file!"),
              expected)
        << layout.bitCount << " bits, " << layout.colorsUsed << " used, info " << layout.infoSize;
  }
  const Bytes damaged[] = {
      Bytes(good.begin(), good.end() - 1),
      Bytes(good.begin(), good.begin() + 1054),
      Bytes{'B', 'M'},
      with(18, 0),
      with(18, uint32_t(-8)),
      with(22, 0),
      with(22, 0x80000000u),
      with(18, BMP_SIDE_MAX + 1),
      with(22, 5) /* taller than the file */,
      with(10, uint32_t(good.size())) /* pixels past the end */,
      with(14, 0x7FFFFFF0u) /* header past the end */,
  };
  for (const Bytes& bytes : damaged) EXPECT_EQ(Load(bytes, "Damaged BMP file!"), BMP_DAMAGED);
  EXPECT_EQ(image.buffer, nullptr);
  EXPECT_EQ(Load(with(46, 256)), BMP_OK);  // states 256 colours outright
}

// Larger info headers, a gap before the pixels, padded rows (with or without
// the last row's padding) and top-down order all load as the plain image.
TEST_F(Bmp, LayoutVariantsNormaliseToThePlainForm) {
  std::mt19937 random(9);
  for (int c = Cases(30); c > 0; --c) {
    Picture picture = RandomPicture(random, 1 + random() % 13, 1 + random() % 6);
    const uint32_t infoSizes[] = {40, 52, 56, 108, 124};
    BmpLayout layout{.infoSize = infoSizes[random() % 5],
                     .gap = random() % 3 == 0 ? uint32_t(random() % 9) : 0,
                     .topDown = random() % 2 == 0};
    Bytes file = BmpFile(picture, layout);
    if (random() % 2 == 0) file.resize(file.size() - (4 - picture.width % 4) % 4);
    BmpImage parsed = {};
    ASSERT_EQ(ParseBmp(file.data(), file.size(), &parsed), BMP_OK) << picture.width << " wide";
    ExpectPlainLayout(parsed, picture);
    FreeBmp(&parsed);
  }
}

// Another writer's files: ImageMagick's 40-byte BMP3 and 124-byte BMP, 322
// pixels wide so every row is padded; pixels compared by colour.
TEST_F(Bmp, ImageMagickFilesLoadWithTheirColours) {
  if (std::system("command -v convert > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ImageMagick's convert is missing";
  const int32_t width = 322, height = 7;
  auto colour = [](int32_t x, int32_t y) {
    int i = (x * 3 + y * 5) % 256;  // all 256 colours appear
    return std::array<uint8_t, 3>{uint8_t(i), uint8_t(i * 7), uint8_t(255 - i)};
  };
  std::string ppm = "P6 322 7 255\n";
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) ppm.append(reinterpret_cast<const char*>(colour(x, y).data()), 3);
  WriteFile(dir / "in.ppm", Bytes(ppm.begin(), ppm.end()));
  for (std::string format : {"BMP3", "BMP", "rle"}) {
    std::string options = format == "rle" ? "BMP3" : "-compress none " + format;
    std::string command = "cd '" + dir.string() + "' && convert in.ppm -type palette " + options + ":out.bmp";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Bytes file = ReadFile(dir / "out.bmp");
    ASSERT_GT(file.size(), 54u);
    if (format == "rle") {  // left to itself ImageMagick compresses, which we refuse
      if (file[30] == 1) {
        EXPECT_EQ(Load(file), BMP_DAMAGED);
      }
      continue;
    }
    EXPECT_EQ(file[14], format == "BMP" ? 124 : 40);
    ASSERT_EQ(Load(file), BMP_OK) << format;
    ASSERT_EQ(image.width * image.height, width * height);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* entry = image.palette + 4 * image.pixels[(height - 1 - y) * width + x];
        ASSERT_EQ((std::array<uint8_t, 3>{entry[2], entry[1], entry[0]}), colour(x, y))
            << format << " " << x << "," << y;
      }
    FreeBmp(&image);
  }
}

}  // namespace
