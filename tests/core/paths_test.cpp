// Folder computation and math-table loading.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/core.h"
#include "core/paths.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Paths : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  Core& c = *core;
  fs::path dir;
  std::string base;
  void SetUp() override {
    char tmpl[] = "/tmp/korva-paths-XXXXXX";
    dir = mkdtemp(tmpl);
    base = dir.string() + "/";
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
};

TEST_F(Paths, BaseFolderTakesForwardSlashesAndOneTrailingSlash) {
  compute_folders(c, "C:\\games\\korva");
  EXPECT_EQ(c.base_folder->view(), "C:/games/korva/");
  compute_folders(c, "/home/me/korva/");
  EXPECT_EQ(c.base_folder->view(), "/home/me/korva/");
  EXPECT_EQ(c.temp_path->view(), "/home/me/korva/temp.tmp");
}

TEST_F(Paths, RunmodeFileDecidesTheDataFolder) {
  compute_folders(c, dir.string());
  EXPECT_EQ(c.base_folder->view(), base);
  EXPECT_EQ(c.data_folder->view(), base);  // stand-alone player: data beside the executable
  EXPECT_EQ(c.engine_file->view(), "");
  EXPECT_EQ(c.temp_path->view(), base + "temp.tmp");

  write("runmode.ini", "x.prj\r\n3\r\n0\r\n");
  compute_folders(c, dir.string());
  EXPECT_EQ(c.data_folder->view(), base + "data/");  // editing installation
  EXPECT_EQ(c.engine_file->view(), "engine.dll");
  EXPECT_EQ(c.temp_path->view(), base + "temp.tmp");
}

TEST_F(Paths, MathTablesLoadWholeAndMissingOrShortOnesAreZeroFilled) {
  std::string sinus(pool_bytes(Pool::Sinus), '\0');
  for (size_t i = 0; i < sinus.size(); ++i) sinus[i] = static_cast<char>(i * 7 + 1);
  write("sinus.bin", sinus);
  write("atan.bin", "\x11\x22\x33");  // short
  // "sinusbig.bin" and "random.bin" are missing; stale bytes in their pools must go.
  c.pool(Pool::Random)[1999] = 0x55;
  c.pool(Pool::Atan)[2879] = 0x66;

  compute_folders(c, dir.string());
  testing::internal::CaptureStderr();
  load_math_tables(c);
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(std::string(reinterpret_cast<char*>(c.pool(Pool::Sinus)), sinus.size()), sinus);
  EXPECT_EQ(c.pool(Pool::Atan)[0], 0x11);
  EXPECT_EQ(c.pool(Pool::Atan)[2], 0x33);
  EXPECT_EQ(c.pool(Pool::Atan)[3], 0);
  EXPECT_EQ(c.pool(Pool::Atan)[2879], 0);
  EXPECT_EQ(c.pool(Pool::Random)[1999], 0);
  // One line per bad table, naming its file; nothing for the good one.
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3);
  EXPECT_NE(err.find(base + "atan.bin"), std::string::npos);
  EXPECT_NE(err.find(base + "sinusbig.bin"), std::string::npos);
  EXPECT_NE(err.find(base + "random.bin"), std::string::npos);
  EXPECT_EQ(err.find("sinus.bin "), std::string::npos);
}

}  // namespace
}  // namespace korva
