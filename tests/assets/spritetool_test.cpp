// spritetool run as users run it: PNG frames in, sprite files out and back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/rle_encode.h"
#include "formats/sprite.h"
#include "tools/png_io.h"
#include "tools/vga_palette.h"

namespace {

namespace fs = std::filesystem;

class SpritetoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("spritetool_test_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(const std::vector<std::string>& args) {
    std::string command = "'" SPRITETOOL_PATH "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Stderr() {
    std::ifstream in(dir / "stderr");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::string Path(const std::string& name) { return (dir / name).string(); }

  fs::path dir;
};

std::vector<uint8_t> FramePixels(const SpriteFrame& f) {
  if (f.compressed == 0) return std::vector<uint8_t>(f.pixels, f.pixels + f.dataSize);
  std::vector<uint8_t> pixels;
  EXPECT_EQ(DecodeRleFrame(f.pixels, f.dataSize, f.width, f.height, &pixels), RLE_OK);
  return pixels;
}

TEST_F(SpritetoolTest, IndexedPngsSurviveEncodeAndDecode) {
  std::mt19937 random(7);
  const std::vector<PaletteRgb> palette = VgaPalette();
  struct Size {
    int32_t width, height;
  };
  // One frame wider than a run can hold, one of a single pixel.
  const std::vector<Size> sizes = {{300, 3}, {1, 1}, {17, 9}};
  std::vector<std::vector<uint8_t>> images;
  std::vector<std::string> encodeArgs = {"encode", "--rle", "--offset", "1:-5,7", Path("out.csp")};
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::vector<uint8_t> image(size_t(sizes[i].width) * sizes[i].height);
    for (uint8_t& p : image) p = std::bernoulli_distribution(0.4)(random) ? 0 : random() % 256;
    std::string error;
    const std::string png = Path("in" + std::to_string(i) + ".png");
    ASSERT_TRUE(WriteIndexedPng(png, sizes[i].width, sizes[i].height, image, palette, &error)) << error;
    images.push_back(image);
    encodeArgs.push_back(png);
  }
  ASSERT_EQ(Run(encodeArgs), 0) << Stderr();

  SpriteFrame frames[3] = {};
  ASSERT_EQ(LoadSprite(Path("out.csp").c_str(), frames, nullptr), SPRITE_OK);
  EXPECT_EQ(frames[0].frameCount, 3);
  EXPECT_EQ(frames[1].offsetX, -5);
  EXPECT_EQ(frames[1].offsetY, 7);
  EXPECT_EQ(frames[0].offsetX, 0);
  EXPECT_EQ(frames[2].centerX, sizes[2].width / 2);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(FramePixels(frames[i]), images[i]) << "frame " << i;
  FreeSprite(frames);

  ASSERT_EQ(Run({"decode", Path("out.csp"), Path("decoded")}), 0) << Stderr();
  for (size_t i = 0; i < images.size(); ++i) {
    PngPicture picture;
    std::string error;
    ASSERT_TRUE(ReadPng(Path("decoded/out_0" + std::to_string(i) + ".png"), &picture, &error)) << error;
    ASSERT_TRUE(picture.indexed);
    EXPECT_EQ(picture.width, sizes[i].width);
    EXPECT_EQ(picture.pixels, images[i]) << "frame " << i;
  }
}

TEST_F(SpritetoolTest, TrueColourPngsTakeTheNearestOpaqueIndex) {
  const std::vector<PaletteRgb> palette = VgaPalette();
  // Exact palette colours, a black (which must not become the transparent
  // index 0, whose colour it shares) and a colour between entries.
  const std::vector<uint8_t> indices = {40, 100, 23, 200, 31, 9};
  std::vector<uint8_t> rgb;
  for (uint8_t i : indices) rgb.insert(rgb.end(), {palette[i].r, palette[i].g, palette[i].b});
  rgb.insert(rgb.end(), {0, 0, 0});
  std::string error;
  ASSERT_TRUE(WriteRgbPng(Path("rgb.png"), 7, 1, rgb, &error)) << error;
  ASSERT_EQ(Run({"encode", Path("rgb.spr"), Path("rgb.png")}), 0) << Stderr();

  SpriteFrame frame[1] = {};
  ASSERT_EQ(LoadSprite(Path("rgb.spr").c_str(), frame, nullptr), SPRITE_OK);
  const std::vector<uint8_t> got = FramePixels(frame[0]);
  ASSERT_EQ(got.size(), 7u);
  for (size_t i = 0; i < indices.size(); ++i) {
    const PaletteRgb want = palette[indices[i]], have = palette[got[i]];
    EXPECT_TRUE(want.r == have.r && want.g == have.g && want.b == have.b) << "pixel " << i;
  }
  EXPECT_NE(got[6], 0) << "opaque black turned transparent";
  EXPECT_EQ(palette[got[6]].r + palette[got[6]].g + palette[got[6]].b, 0);
  EXPECT_EQ(frame[0].left, 0);
  EXPECT_EQ(frame[0].right, 6);
  FreeSprite(frame);
}

TEST_F(SpritetoolTest, TextSourcesBuildBothForms) {
  std::ofstream(Path("art.txt")) << "# a test\nlegend .=0 a=40 b=200\n"
                                    "frame 0 offset 2 -3\n....\n.ab.\n....\n"
                                    "\nframe 1 offset 0 0 center 1 1\n..\n..\n";
  ASSERT_EQ(Run({"build", Path("art.spr"), Path("art.txt")}), 0) << Stderr();
  ASSERT_EQ(Run({"build", "--rle", Path("art.csp"), Path("art.txt")}), 0) << Stderr();
  SpriteFrame raw[2] = {}, rle[2] = {};
  ASSERT_EQ(LoadSprite(Path("art.spr").c_str(), raw, nullptr), SPRITE_OK);
  ASSERT_EQ(LoadSprite(Path("art.csp").c_str(), rle, nullptr), SPRITE_OK);
  EXPECT_EQ(FramePixels(raw[0]), (std::vector<uint8_t>{0, 0, 0, 0, 0, 40, 200, 0, 0, 0, 0, 0}));
  EXPECT_EQ(FramePixels(rle[0]), FramePixels(raw[0]));
  EXPECT_EQ(raw[0].offsetX, 2);
  EXPECT_EQ(raw[0].offsetY, -3);
  EXPECT_EQ(raw[0].left, 1);
  EXPECT_EQ(raw[0].top, 1);
  EXPECT_EQ(raw[0].right, 2);
  EXPECT_EQ(raw[0].bottom, 1);
  // A frame with nothing opaque has an empty box.
  EXPECT_EQ(rle[1].right - rle[1].left + 1, 0);
  EXPECT_EQ(rle[1].bottom - rle[1].top + 1, 0);
  EXPECT_EQ(rle[1].centerX, 1);
  FreeSprite(raw);
  FreeSprite(rle);
}

TEST_F(SpritetoolTest, BadInputFailsWithAReasonAndNoOutput) {
  std::ofstream(Path("ragged.txt")) << "legend .=0 a=1\nframe 0 offset 0 0\n..a\n.a\n";
  EXPECT_EQ(Run({"build", Path("ragged.spr"), Path("ragged.txt")}), 1);
  EXPECT_NE(Stderr().find("ragged.txt:4"), std::string::npos) << Stderr();
  EXPECT_FALSE(fs::exists(Path("ragged.spr")));

  std::ofstream(Path("unknown.txt")) << "legend .=0\nframe 0 offset 0 0\n.z\n";
  EXPECT_EQ(Run({"build", Path("unknown.spr"), Path("unknown.txt")}), 1);
  EXPECT_NE(Stderr().find("'z'"), std::string::npos) << Stderr();

  std::ofstream(Path("order.txt")) << "legend .=0\nframe 1 offset 0 0\n.\n";
  EXPECT_EQ(Run({"build", Path("order.spr"), Path("order.txt")}), 1);

  std::ofstream(Path("bad.png")) << "not a picture";
  EXPECT_EQ(Run({"encode", Path("bad.spr"), Path("bad.png")}), 1);
  EXPECT_FALSE(fs::exists(Path("bad.spr")));

  std::ofstream(Path("bad.csp")) << "SOLVAREsprite";
  EXPECT_EQ(Run({"decode", Path("bad.csp"), Path("out")}), 1);
  EXPECT_EQ(Run({"decode", Path("missing.csp"), Path("out")}), 1);

  EXPECT_EQ(Run({"encode", "--offset", "x", Path("o.spr"), Path("bad.png")}), 2);
  EXPECT_EQ(Run({"frobnicate"}), 2);
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({"--help"}), 0);
}

}  // namespace
