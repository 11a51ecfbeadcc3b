// File and folder helpers, against real files in a fresh temporary folder per test.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/core.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  Core& c = *core;
  fs::path dir;

  void SetUp() override {
    char tmpl[] = "/tmp/korva-files-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string path(const std::string& name) { return (dir / name).string(); }
  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string s(const FixedString& f) { return std::string(f.view()); }

  std::vector<std::pair<std::string, int32_t>> lines_of(const std::string& name) {
    std::vector<std::pair<std::string, int32_t>> out;
    EXPECT_NE(file_open_read(c, 0, path(name)), 0);
    select_input(c, 0);
    do {
      std::string line = s(read_line(c));
      out.emplace_back(line, c.files.eof);
    } while (c.files.eof == 0);
    file_close(c, 0);
    return out;
  }
};

TEST_F(Files, ReadLineEndings) {
  write("a.txt", "one\r\ntwo\nstill two\r\nlast");
  auto lines = lines_of("a.txt");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::make_pair(std::string("one"), 0));
  EXPECT_EQ(lines[1], std::make_pair(std::string("two\nstill two"), 0));
  EXPECT_EQ(lines[2], std::make_pair(std::string("last"), -1));

  write("b.txt", "x\r\n");
  lines = lines_of("b.txt");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], std::make_pair(std::string(""), -1));
}

TEST_F(Files, OverlongLinesContinueAsTheNextLine) {
  std::string longline(5000, 'q');
  write("long.txt", longline + "\r\nnext\r\n");
  auto lines = lines_of("long.txt");
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].first.size(), 2044u);
  EXPECT_EQ(lines[1].first.size(), 2044u);
  EXPECT_EQ(lines[2].first.size(), 5000u - 4088u);
  EXPECT_EQ(lines[3].first, "next");

  // A CR LF split by the limit still ends the line.
  write("edge.txt", std::string(2043, 'a') + "\r\nb");
  lines = lines_of("edge.txt");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].first, std::string(2043, 'a'));
  EXPECT_EQ(lines[1].first, "b");
}

TEST_F(Files, InterruptedSavesLeaveNothingBehindAfterTheNextStart) {
  fs::create_directories(dir / "projects/a");
  write("projects/a/game.prj.tmp-Ab12Cd", "half");
  write("korva.ini.tmp-zzzzzz", "half");
  write("projects/a/game.prj", "whole");
  write("notes.tmp-1.txt", "keep");   // not a save's temporary
  write(".tmp-abcdef", "keep");       // no file name before it
  EXPECT_EQ(remove_interrupted_saves(dir.string()), 2);
  EXPECT_FALSE(fs::exists(dir / "projects/a/game.prj.tmp-Ab12Cd"));
  EXPECT_FALSE(fs::exists(dir / "korva.ini.tmp-zzzzzz"));
  for (const char* kept : {"projects/a/game.prj", "notes.tmp-1.txt", ".tmp-abcdef"})
    EXPECT_TRUE(fs::exists(dir / kept)) << kept;
}

TEST_F(Files, OnlyPlainFilesAreCopied) {
  write("a.txt", "abc");
  file_copy(c, path("a.txt"), path("b.txt"));
  EXPECT_EQ(read("b.txt"), "abc");
  file_copy(c, "/dev/zero", path("z.txt"));  // would never end
  EXPECT_FALSE(fs::exists(path("z.txt")));
}

TEST_F(Files, ReadLineWithoutInputIsEndOfFile) {
  EXPECT_EQ(s(read_line(c)), "");
  EXPECT_EQ(c.files.eof, -1);
  EXPECT_EQ(file_open_read(c, 9, path("x")), 0);  // a slot outside the table
}

TEST_F(Files, WriteAndPrintToTheSelectedOutput) {
  ASSERT_NE(file_open_write(c, 1, path("out.txt")), 0);
  select_output(c, 1);
  print_text(c, "a");
  print_line(c, "b");
  write_bytes(c, "\x01\x02", 2);
  file_close(c, 1);
  EXPECT_EQ(c.files.output, -1);  // closing a selected slot clears the selection
  EXPECT_EQ(read("out.txt"), "ab\r\n\x01\x02");
}

TEST_F(Files, WholeFileOperations) {
  write("data.bin", "0123456789");
  char buf[16] = {};
  int64_t got = 0;
  EXPECT_EQ(read_file(c, path("data.bin"), 4, 16, buf, &got), 0);
  EXPECT_EQ(got, 6);
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(read_file(c, "", 0, 4, buf), -1);
  EXPECT_EQ(read_file(c, path("missing"), 0, 4, buf), -1);

  EXPECT_EQ(file_exists(c, path("data.bin")), -1);
  EXPECT_EQ(file_exists(c, path("missing")), 0);
  EXPECT_EQ(file_exists(c, ""), 0);
  EXPECT_EQ(file_exists(c, dir.string()), 0);  // a folder is not a file
  EXPECT_EQ(file_size(c, path("data.bin")), 10);
  EXPECT_EQ(file_size(c, path("missing")), -1);

  file_copy(c, path("data.bin"), path("copy.bin"));
  EXPECT_EQ(read("copy.bin"), "0123456789");
  file_copy(c, path("missing"), path("none.bin"));
  EXPECT_FALSE(fs::exists(path("none.bin")));
  file_delete(c, path("copy.bin"));
  EXPECT_FALSE(fs::exists(path("copy.bin")));
}

TEST_F(Files, PathsWithBackslashesAndOtherCaseFindTheFile) {
  fs::create_directories(dir / "Visuals");
  write("Visuals/Car.V3D", "car");
  std::string windows_style = dir.string() + "\\visuals\\car.v3d";
  EXPECT_EQ(file_exists(c, windows_style), -1);
  EXPECT_EQ(file_size(c, windows_style), 3);
}

TEST_F(Files, SafeWriteReplacesWholeOrNotAtAll) {
  write("p.prj", "old");
  EXPECT_TRUE(file_write_safely(path("p.prj"), "new text", 8));
  EXPECT_EQ(read("p.prj"), "new text");
  EXPECT_FALSE(file_write_safely(path("no/such/folder/p.prj"), "x", 1));
  if (geteuid() != 0) {  // root writes anywhere, so the read-only case means nothing there
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(file_write_safely(path("p.prj"), "lost?", 5));
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(read("p.prj"), "new text");
  }
  int leftovers = 0;
  for (auto& e : fs::directory_iterator(dir)) leftovers += e.path().filename() != "p.prj";
  EXPECT_EQ(leftovers, 0);
}

TEST_F(Files, PathParts) {
  struct Case { const char* path; const char* folder; const char* file; } cases[] = {
      {"a/b/c.txt", "a/b/", "c.txt"}, {"c.txt", "", "c.txt"}, {"c:\\x\\y.brn", "c:\\x\\", "y.brn"},
      {"d:z.txt", "d:", "z.txt"},     {"a/b/", "a/b/", ""},   {"", "", ""},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(s(folder_part(c, k.path)), k.folder) << k.path;
    EXPECT_EQ(s(file_part(c, k.path)), k.file) << k.path;
  }
  EXPECT_EQ(s(plain_name(c, "My Car-2!")), "MyCar2");
  EXPECT_EQ(s(plain_name(c, "abcdefghij")), "abcdefgh");

  FixedString& base = str_temp(c);
  compute_base_folder(base, "C:\\games\\korva");
  EXPECT_EQ(s(base), "C:/games/korva/");
  compute_base_folder(base, "/home/k/");
  EXPECT_EQ(s(base), "/home/k/");
}

TEST_F(Files, ListFolderPutsFoldersFirstLowerCasedAndSorted) {
  fs::create_directories(dir / "Maps");
  write("B.PRJ", "12345");
  write("a.prj", "1");
  write("notes.txt", "x");
  EXPECT_EQ(list_folder(c, dir.string(), "*.prj"), 3);
  EXPECT_EQ(s(*c.list_table[1]), "(dir) maps|0");
  EXPECT_EQ(s(*c.list_table[2]), "a.prj|1");
  EXPECT_EQ(s(*c.list_table[3]), "b.prj|5");

  write("pic.bmp", "b");
  write("Pic2.PPM", "pp");
  EXPECT_EQ(list_folder(c, dir.string() + "/", "*.BMP"), 3);
  EXPECT_EQ(s(*c.list_table[2]), "pic.bmp|1");
  EXPECT_EQ(s(*c.list_table[3]), "pic2.ppm|2");

  EXPECT_EQ(list_folder(c, path("missing"), "*.*"), 0);
}

TEST_F(Files, ListFolderStopsAt799Entries) {
  for (int i = 0; i < 810; ++i) write("f" + std::to_string(i) + ".x", "");
  EXPECT_EQ(list_folder(c, dir.string(), "*.x"), 799);
}

TEST_F(Files, DeleteMatchingRemovesFilesOfAnyCaseButNotFolders) {
  fs::create_directories(dir / "keep.tmp");
  write("A.TMP", "");
  write("b.tmp", "");
  write("c.prj", "");
  delete_matching(c, dir.string(), "*.tmp");
  EXPECT_FALSE(fs::exists(path("A.TMP")));
  EXPECT_FALSE(fs::exists(path("b.tmp")));
  EXPECT_TRUE(fs::exists(path("c.prj")));
  EXPECT_TRUE(fs::is_directory(path("keep.tmp")));
}

TEST_F(Files, NormaliseLineEnds) {
  write("n.txt", "a\rb\nc\r\nd");
  normalise_line_ends(c, path("n.txt"));
  EXPECT_EQ(read("n.txt"), "a\r\nb\r\nc\r\nd");
  std::string big(1100000, 'z');  // larger than the image buffer: nothing is cut
  write("big.txt", big + "\n");
  normalise_line_ends(c, path("big.txt"));
  EXPECT_EQ(read("big.txt").size(), big.size() + 2);
}

}  // namespace
}  // namespace korva
