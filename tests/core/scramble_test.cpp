// The scrambled copy of stand-alone games, its hash names and the reads that undo it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/core.h"
#include "core/scramble.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Scramble : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  Core& c = *core;
  fs::path dir;

  void SetUp() override {
    char tmpl[] = "/tmp/korva-scramble-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override {
    scrambled_folder_set("");
    fs::remove_all(dir);
  }
  std::string path(const std::string& name) { return (dir / name).string(); }
  void write(const std::string& name, const std::string& bytes) { std::ofstream(path(name), std::ios::binary) << bytes; }
  std::string read(const std::string& name) {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(Scramble, WholeWordsAreScrambledAndOneToThreeTrailingBytesStay) {
  const std::string source = "\x01\x02\x03\x04\x05\x06\x07\x08\x09";
  for (size_t n = 0; n <= 9; ++n) {
    const std::string name = "f" + std::to_string(n);
    write(name, source.substr(0, n));
    ASSERT_TRUE(copy_scrambled(c, path(name), path(name + ".s"))) << n;
    const std::string scrambled = read(name + ".s");
    ASSERT_EQ(scrambled.size(), n);
    const size_t whole = n / 4 * 4;
    EXPECT_EQ(scrambled.substr(whole), source.substr(whole, n - whole)) << n;  // the tail is as it was
    if (whole > 0) {
      EXPECT_NE(scrambled.substr(0, whole), source.substr(0, whole)) << n;
    }
    ASSERT_TRUE(copy_unscrambled(c, path(name + ".s"), path(name + ".u")));
    EXPECT_EQ(read(name + ".u"), source.substr(0, n)) << n;
  }
}

TEST_F(Scramble, AWordIsExclusiveOredWithTheKeyThenRotatedLeftBy13) {
  uint8_t word[4] = {0, 0, 0, 0};
  scramble_bytes(word, 4);
  const uint32_t expected = (kScrambleKey << 13) | (kScrambleKey >> 19);
  EXPECT_EQ(word[0] | word[1] << 8 | word[2] << 16 | uint32_t(word[3]) << 24, expected);
  unscramble_bytes(word, 4);
  EXPECT_EQ(word[0] | word[1] | word[2] | word[3], 0);
}

TEST_F(Scramble, NoEncryptMakesPlainCopiesButProjectsAreStillScrambled) {
  c.no_scramble = true;
  write("a.wav", "RIFF....WAVE");
  write("l.prj", ";level\r\n1\r\n");
  ASSERT_TRUE(copy_scrambled(c, path("a.wav"), path("a.dat")));
  EXPECT_EQ(read("a.dat"), "RIFF....WAVE");
  ASSERT_TRUE(copy_scrambled(c, path("l.prj"), path("level001.prj")));
  EXPECT_NE(read("level001.prj"), ";level\r\n1\r\n");
  ASSERT_TRUE(copy_unscrambled(c, path("level001.prj"), path("back.prj")));
  EXPECT_EQ(read("back.prj"), ";level\r\n1\r\n");
}

TEST_F(Scramble, AMissingSourceCopiesNothing) {
  EXPECT_FALSE(copy_scrambled(c, path("none"), path("out")));
  EXPECT_FALSE(copy_unscrambled(c, path("none"), path("out")));
  EXPECT_FALSE(copy_plain(c, path("none"), path("out")));
  EXPECT_FALSE(fs::exists(path("out")));
}

TEST_F(Scramble, TheHashIsTimes31PlusEachSignedByte) {
  EXPECT_EQ(asset_hash(""), 0);
  EXPECT_EQ(asset_hash("a"), 97);
  EXPECT_EQ(asset_hash("ab"), 97 * 31 + 98);
  EXPECT_EQ(asset_hash("\xff"), -1);  // bytes are signed
  // 32-bit wrap-around, shown in signed decimal.
  uint32_t h = 0;
  for (char ch : std::string("/home/k/visuals/ball_.v3d")) h = h * 31 + uint32_t(int32_t(int8_t(ch)));
  EXPECT_EQ(asset_hash_name("/home/k/visuals/ball_.v3d"), std::to_string(int32_t(h)));
}

TEST_F(Scramble, ReadsOfTheGamesAssetsAreUnscrambledByName) {
  struct Case { const char* name; bool scrambled; } cases[] = {
      {"-123.dat", true}, {"456.dat", true}, {"-123.002", true}, {"null_.wav", true}, {"car.x", true},
      {"tex.bmp", true}, {"TEX.PPM", true}, {"resume_.bmp", false}, {"end_.bmp", false}, {"hood3b.x", false},
      {"globvars.dat", false}, {"curr0.dat", false}, {"multilev.ini", false}, {"level001.prj", false},
      {"font.fnt", false}, {"12a.dat", false}, {".dat", false},
  };
  for (const auto& k : cases) EXPECT_EQ(is_scrambled_asset_name(k.name), k.scrambled) << k.name;

  write("plain.txt", "abcdefgh");
  ASSERT_TRUE(copy_scrambled(c, path("plain.txt"), path("-5.dat")));
  fs::create_directory(dir / "sub");
  ASSERT_TRUE(copy_scrambled(c, path("plain.txt"), path("sub/-5.dat")));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(read_whole_file(path("-5.dat"), bytes, 100));
  EXPECT_NE(std::string(bytes.begin(), bytes.end()), "abcdefgh");  // no player folder set
  scrambled_folder_set(dir.string() + "/");
  ASSERT_TRUE(read_whole_file(path("-5.dat"), bytes, 100));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdefgh");
  ASSERT_TRUE(read_whole_file(path("sub/-5.dat"), bytes, 100));  // only directly in the folder
  EXPECT_NE(std::string(bytes.begin(), bytes.end()), "abcdefgh");
  ASSERT_TRUE(read_whole_file_raw(path("-5.dat"), bytes, 100));
  EXPECT_NE(std::string(bytes.begin(), bytes.end()), "abcdefgh");
}

}  // namespace
}  // namespace korva
