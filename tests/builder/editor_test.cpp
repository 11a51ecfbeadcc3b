// The self-executable editor (mode 6) under scripted input, in an installation made by
// korva-mkdata: a click on a switch, saving the list under a new name and under an existing
// one (answered " NO! "), and the editor's picture.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace korva {
namespace {

namespace fs = std::filesystem;

class SelfExecutableEditor : public ::testing::Test {
 protected:
  fs::path dir;

  void SetUp() override {
    char tmpl[] = "/tmp/korva-editor-XXXXXX";
    dir = mkdtemp(tmpl);
    ASSERT_EQ(sh("'" KORVA_BINARY_DIR "/korva-mkdata' '" + dir.string() + "' > /dev/null"), 0);
    write(dir / "runmode.ini", "\r\n6\r\n0\r\n0\r\n0\r\n");
  }
  void TearDown() override { fs::remove_all(dir); }
  int sh(const std::string& cmd) {
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int korva(const std::string& script) {
    write(dir / "input.txt", script);
    return sh("cd '" + dir.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY KORVA_HEADLESS=1 KORVA_INPUT=input.txt "
              "KORVA_SCREENSHOT=editor.png '" KORVA_BINARY_DIR "/korva' 2> stderr.txt");
  }
  std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
  std::string row(const std::string& list, int n) {
    size_t at = 0;
    for (int i = 0; i < n; ++i) at = list.find('\n', at) + 1;
    return list.substr(at, list.find('\r', at) - at);
  }
};

TEST_F(SelfExecutableEditor, ASwitchClickAndASaveUnderANewNameKeepTheListInBothFiles) {
  // Row 2's switch lies at x 352..396, y 50..70.
  ASSERT_EQ(korva("10 click 374 60\n30 key S s\n50 text mine\n60 key RETURN\n100 mouse 300 60\n120 key ESC\n"), 0)
      << read(dir / "stderr.txt");
  const std::string working = read(dir / "data/multilev.ini");
  EXPECT_EQ(row(working, 1), "./images/wait_.bmp|./images/anykey_.bmp|./projects/levels/level2.prj|0|0");
  EXPECT_EQ(read(dir / "multilev/mine.mlv"), working);
  EXPECT_NE(read(dir / "stderr.txt").find("Save the current projects list as.."), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "korvaexe/level001.prj"));  // leaving builds nothing
  EXPECT_TRUE(fs::exists(dir / "editor.png"));
}

TEST_F(SelfExecutableEditor, AnsweringNoKeepsAnExistingListOfTheSameName) {
  const std::string before = read(dir / "multilev/levels.mlv");
  ASSERT_EQ(korva("10 click 374 60\n30 key S s\n50 text levels.mlv\n60 key RETURN\n80 key DELETE\n120 key ESC\n"), 0);
  EXPECT_NE(read(dir / "stderr.txt").find("Using the name 'levels' you overwrite an existing list, continue?"),
            std::string::npos) << read(dir / "stderr.txt");
  EXPECT_EQ(read(dir / "multilev/levels.mlv"), before);
  EXPECT_NE(read(dir / "data/multilev.ini"), before);  // the toggled switch is in the working list
}

TEST_F(SelfExecutableEditor, XBuildsTheGameAfterTheConfirmation) {
  ASSERT_EQ(korva("10 key X x\n"), 0) << read(dir / "stderr.txt");
  EXPECT_NE(read(dir / "stderr.txt").find("Executable compilation. Please confirm:"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "korvaexe/level001.prj"));
  EXPECT_TRUE(fs::exists(dir / "korvaexe/level002.prj"));
  EXPECT_TRUE(fs::exists(dir / "korvaexe/korvaexe"));
}

TEST_F(SelfExecutableEditor, TheChoosersOpenAndEscapeLeavesTheListAsItWas) {
  const std::string before = read(dir / "data/multilev.ini");
  // L: the file list on multilev/; a click on row 2's project field: the project browser; a
  // click on its 'loading' image: the resource browser. Escape leaves each without a choice.
  ASSERT_EQ(korva("10 key L l\n30 key ESC\n50 click 300 60\n70 key ESC\n90 click 100 60\n110 key ESC\n"
                  "140 key ESC\n"), 0)
      << read(dir / "stderr.txt");
  EXPECT_EQ(read(dir / "stderr.txt").find("not available"), std::string::npos) << read(dir / "stderr.txt");
  EXPECT_EQ(read(dir / "data/multilev.ini"), before);
}

}  // namespace
}  // namespace korva
