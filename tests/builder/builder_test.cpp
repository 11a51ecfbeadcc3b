// The builder's pieces on their own: the level list files, the stand-alone list lines, the
// player copy with its window name, the library list from ldd, and saved games.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "builder/builder.h"
#include "core/core.h"
#include "model/model.h"
#include "model/run_state.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Builder : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  Core& c = *core;
  std::unique_ptr<Model> model = model_create();
  RunState run;
  System s;
  fs::path dir;
  std::string base;

  void SetUp() override {
    char tmpl[] = "/tmp/korva-builder-XXXXXX";
    dir = mkdtemp(tmpl);
    base = dir.string() + "/";
    str_set(*c.base_folder, base);
    fs::create_directory(dir / "data");
    s.core = &c;
    s.model = model.get();
    s.run = &run;
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string& name, const std::string& bytes) { std::ofstream(dir / name, std::ios::binary) << bytes; }
  std::string read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(Builder, AMissingListGivesFreshRowsWithTheFirstSwitchedOn) {
  const LevelRows rows = load_level_list(c, "");
  ASSERT_EQ(rows.size(), 500u);
  EXPECT_EQ(rows[0], base + "images/wait_.bmp|" + base + "images/anykey_.bmp|" + base + "projects/myprj/default_.prj|1");
  EXPECT_EQ(rows[1], fresh_level_row(c));
  EXPECT_EQ(rows[499], base + "images/wait_.bmp|" + base + "images/anykey_.bmp|" + base + "projects/myprj/default_.prj|0");
}

TEST_F(Builder, TheListIsSavedWithTheBaseFolderAsDotSlashAndReadBack) {
  LevelRows rows = fresh_level_rows(c);
  rows[3] = base + "images/a.bmp|" + base + "images/b.bmp|" + base + "projects/p/p.prj|1|7";
  ASSERT_TRUE(save_level_list(c, rows, ""));
  const std::string text = read("data/multilev.ini");
  EXPECT_EQ(text.find(base), std::string::npos);
  EXPECT_NE(text.find("./images/a.bmp|./images/b.bmp|./projects/p/p.prj|1|7\r\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 500);
  EXPECT_EQ(load_level_list(c, ""), rows);
}

TEST_F(Builder, AShortOrDamagedListIsFilledUpAndBackslashesBecomeSlashes) {
  write("data/multilev.ini", std::string(".\\images\\x.bmp|||1\r\n\xff\xfe garbage without fields\n") + std::string(5000, '|'));
  const LevelRows rows = load_level_list(c, "");
  ASSERT_EQ(rows.size(), 500u);
  EXPECT_EQ(rows[0], base + "images/x.bmp|||1");
  EXPECT_FALSE(row_switched_on(c, rows[1]));
  EXPECT_LE(rows[2].size(), size_t(kStrCapacity));
  EXPECT_EQ(rows[3], fresh_level_row(c));
}

TEST_F(Builder, TogglingFlipsTheSwitchAndTheStandAloneLineFollowsIt) {
  LevelRows rows = fresh_level_rows(c);
  rows[1] = base + "images/w.bmp|" + base + "images/k.bmp|" + base + "projects/p.prj|0|-2";
  EXPECT_EQ(standalone_list_line(c, rows[1]), "||");
  toggle_row(c, rows, 1);
  EXPECT_EQ(field_view(rows[1], 4, '|'), "1");
  EXPECT_EQ(standalone_list_line(c, rows[1]), "w.bmp|k.bmp|-2");
  toggle_row(c, rows, 1);
  EXPECT_EQ(standalone_list_line(c, rows[1]), "||");
  toggle_row(c, rows, 500);  // past the end: nothing
}

TEST_F(Builder, ThePlayerCopyCarriesTheWindowNameCutTo32Characters) {
  const std::string placeholder = "Korva                           ";
  write("player", "ELF..." + placeholder + "...code..." + placeholder + "end");
  struct Case { std::string name, field; } cases[] = {
      {"", std::string(32, ' ')},
      {"My Game", "My Game" + std::string(25, ' ')},
      {std::string(40, 'x'), std::string(32, 'x')},
  };
  for (const auto& k : cases) {
    ASSERT_TRUE(copy_player_executable(base + "player", base + "korvaexe", k.name));
    EXPECT_EQ(read("korvaexe"), "ELF..." + k.field + "...code..." + k.field + "end");
    EXPECT_TRUE(fs::status(dir / "korvaexe").permissions() == (fs::perms::owner_all | fs::perms::group_read |
                                                                fs::perms::group_exec | fs::perms::others_read |
                                                                fs::perms::others_exec));
  }
  write("other", "no title here");
  EXPECT_FALSE(copy_player_executable(base + "other", base + "copy", "x"));
  EXPECT_FALSE(copy_player_executable(base + "missing", base + "copy", "x"));
}

TEST_F(Builder, LddOutputGivesTheLibrariesBeyondTheSystemOnes) {
  const std::string ldd =
      "\tlinux-vdso.so.1 (0x00007ffd)\n"
      "\tlibSDL2-2.0.so.0 => /lib/x86_64-linux-gnu/libSDL2-2.0.so.0 (0x00007f1)\n"
      "\tlibOpenGL.so.0 => /lib/x86_64-linux-gnu/libOpenGL.so.0 (0x00007f2)\n"
      "\tlibavcodec.so.59 => /lib/x86_64-linux-gnu/libavcodec.so.59 (0x00007f3)\n"
      "\tlibstdc++.so.6 => /lib/x86_64-linux-gnu/libstdc++.so.6 (0x00007f4)\n"
      "\tlibm.so.6 => /lib/x86_64-linux-gnu/libm.so.6 (0x00007f5)\n"
      "\tlibc.so.6 => /lib/x86_64-linux-gnu/libc.so.6 (0x00007f6)\n"
      "\tlibX11.so.6 => /lib/x86_64-linux-gnu/libX11.so.6 (0x00007f7)\n"
      "\t/lib64/ld-linux-x86-64.so.2 (0x00007f8)\n";
  const std::vector<std::string> want = {"libSDL2-2.0.so.0=/lib/x86_64-linux-gnu/libSDL2-2.0.so.0",
                                         "libavcodec.so.59=/lib/x86_64-linux-gnu/libavcodec.so.59",
                                         "libstdc++.so.6=/lib/x86_64-linux-gnu/libstdc++.so.6"};
  EXPECT_EQ(libraries_from_ldd(ldd), want);
  for (const char* name : {"libc.so.6", "libGLX_mesa.so.0", "libEGL.so.1", "libdrm.so.2", "libpthread.so.0", "ld-linux-x86-64.so.2"})
    EXPECT_TRUE(library_excluded(name)) << name;
  for (const char* name : {"libenet.so.7", "libopenal.so.1", "libswscale.so.6"}) EXPECT_FALSE(library_excluded(name)) << name;
}

TEST_F(Builder, ABundledLibrarysRunPathBecomesItsOwnFolder) {
  std::vector<uint8_t> garbage = {1, 2, 3};
  EXPECT_FALSE(library_runpath_to_origin(garbage));
  const char* pulse = "/lib/x86_64-linux-gnu/libpulse.so.0";
  std::vector<uint8_t> lib;
  if (!read_whole_file_raw(pulse, lib, 1 << 26)) GTEST_SKIP() << "no " << pulse;
  const size_t before = lib.size();
  ASSERT_TRUE(library_runpath_to_origin(lib));
  ASSERT_EQ(lib.size(), before);
  ASSERT_TRUE(file_write_safely(base + "libpulse.so.0", lib.data(), int64_t(lib.size())));
  const std::string out = base + "readelf.txt";
  ASSERT_EQ(std::system(("readelf -d " + base + "libpulse.so.0 > " + out).c_str()), 0);
  const std::string text = read("readelf.txt");
  if (text.find("RUNPATH") != std::string::npos || text.find("RPATH") != std::string::npos) {
    EXPECT_NE(text.find("[$ORIGIN]"), std::string::npos) << text;
  }
}

class SavedGame : public Builder {
 protected:
  void fill() {
    uint8_t* records = c.pool(Pool::Instances);
    for (int32_t i = 0; i < 256 * 1024; ++i) records[i] = uint8_t(i * 7);
    for (int32_t i = 0; i < 8192; ++i) c.pool(Pool::BrainVars)[i] = uint8_t(i * 3);
  }
};

TEST_F(SavedGame, ARoundTripRestoresRecordsAndGlobalsButKeepsTheBrainEntries) {
  fill();
  run.frame_rate = 60;
  const std::string file = saved_game_path(c, 3);
  EXPECT_EQ(file, base + "curr3.dat");
  ASSERT_TRUE(save_game(s, file, 2));
  EXPECT_EQ(fs::file_size(file), uint64_t(8 + 262144 + 8192));
  EXPECT_EQ(saved_game_level(c, file), 2);
  std::vector<uint8_t> saved(c.pool(Pool::Instances), c.pool(Pool::Instances) + 262144);

  std::memset(c.pool(Pool::Instances), 0, 262144);
  std::memset(c.pool(Pool::BrainVars), 0, 8192);
  ir_set(c.pool(Pool::Instances) + 5 * 1024, ir::kBrainEntry, 0x00200040);
  run.frame_rate = 30;
  ASSERT_TRUE(load_game(s, file, 2));
  EXPECT_EQ(run.tics, 10000u);
  EXPECT_EQ(run.frame_rate, 60);
  EXPECT_EQ(run.frame_period, 4500 / 60);
  EXPECT_EQ(ir_get(c.pool(Pool::Instances) + 5 * 1024, ir::kBrainEntry), 0x00200040);
  ir_set(saved.data() + 5 * 1024, ir::kBrainEntry, 0x00200040);
  for (int32_t i = 0; i < 256; ++i) ir_set(saved.data() + i * 1024, ir::kBrainEntry, ir_get(c.pool(Pool::Instances) + i * 1024, ir::kBrainEntry));
  EXPECT_EQ(std::memcmp(c.pool(Pool::Instances), saved.data(), 262144), 0);
  EXPECT_EQ(c.pool(Pool::BrainVars)[8191], uint8_t(8191 * 3));
}

TEST_F(SavedGame, TruncatedForeignOrGarbageFilesAreRefusedAndChangeNothing) {
  fill();
  const std::string file = base + "curr0.dat";
  ASSERT_TRUE(save_game(s, file, 1));
  const std::string whole = read("curr0.dat");
  struct Case { const char* what; std::string bytes; int32_t level; } cases[] = {
      {"empty", "", 1},
      {"truncated", whole.substr(0, whole.size() - 1), 1},
      {"one byte longer", whole + "x", 1},
      {"another level", whole, 2},
      {"garbage", std::string(whole.size(), '\xff'), 1},
  };
  for (const auto& k : cases) {
    write("curr0.dat", k.bytes);
    std::memset(c.pool(Pool::Instances), 0x5A, 262144);
    run.tics = 7;
    EXPECT_FALSE(load_game(s, file, k.level)) << k.what;
    EXPECT_EQ(c.pool(Pool::Instances)[1000], 0x5A) << k.what;
    EXPECT_EQ(run.tics, 7u) << k.what;
  }
  write("curr0.dat", std::string(whole.size(), '\xff'));
  EXPECT_EQ(saved_game_level(c, file), 0);  // level -1 is no level
  EXPECT_EQ(saved_game_level(c, base + "curr9.dat"), 0);
}

}  // namespace
}  // namespace korva
