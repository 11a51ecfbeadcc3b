// The choosers in real runs of korva in a fresh installation, headless and under scripted input:
// the 3D background tool (mode 15) and a brain's file_box.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "installation_run.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class ChooserRun : public InstallationRun {
 protected:
  ChooserRun() : InstallationRun("chooser-run") {}
};

// Mode 15: the first background image is picked, the repetitions 3 and 0 are refused and 4
// taken, and a click sets the band's top row; the project keeps all of it.
TEST_F(ChooserRun, BackgroundToolPicksAnImageAndAcceptsFourAfterThreeAndZero) {
  fs::copy_file(dir / "bckgrnds/bkgr000_.bmp", dir / "bckgrnds/a_sky.bmp");
  write("m15.txt",
        "30 click 120 140\n"                                       // the first cell: a_sky.bmp
        "40 key BACKSPACE\n41 text 3\n42 key RETURN\n"             // refused
        "50 key BACKSPACE\n51 text 0\n52 key RETURN\n"             // refused
        "60 key BACKSPACE\n61 text 4\n62 key RETURN\n"             // taken
        "70 click 50 100\n80 key ESC\n");
  ASSERT_EQ(run("projects/demo/demo.prj\r\n15\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=m15.txt"), 0) << read("stderr.txt");
  const std::string project = read("projects/demo/demo.prj");
  EXPECT_NE(project.find("./bckgrnds/a_sky.bmp|4|"), std::string::npos) << project;
  const std::string said = read("stderr.txt");
  size_t asked = 0;
  for (size_t at = said.find("Background image repetitions"); at != std::string::npos;
       at = said.find("Background image repetitions", at + 1))
    ++asked;
  EXPECT_EQ(asked, 3u) << said;
  // Screen value P (the band's top row) is the first of the six values in row 254.
  const std::string companion = read("projects/demo/demo.col");
  ASSERT_EQ(companion.size(), 65536u);
  int32_t p = 0;
  std::memcpy(&p, companion.data() + 65040, 4);
  EXPECT_EQ(p, 100);
}

TEST_F(ChooserRun, BackgroundToolLeftWithoutAPickSavesNothing) {
  const std::string before = read("projects/demo/demo.prj");
  const auto stamp = fs::last_write_time(dir / "projects/demo/demo.prj");
  write("esc.txt", "30 key ESC\n");
  ASSERT_EQ(run("projects/demo/demo.prj\r\n15\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=esc.txt"), 0) << read("stderr.txt");
  EXPECT_EQ(read("projects/demo/demo.prj"), before);
  EXPECT_EQ(fs::last_write_time(dir / "projects/demo/demo.prj"), stamp);
}

// A brain opens file_box once on the images folder with a filter for ".bmp" pictures; the
// scripted click on the list's first row chooses anykey_.bmp, and the brain keeps the result
// and whether the chosen file exists.
constexpr const char* kFileBoxProject =
    ";file box\r\n1\r\n"
    "Camera|./cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|"
    "0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0\r\n"
    "./bckgrnds/bkgr000_.bmp|1|0\r\n"
    "@0\r\n"
    "var done=0\r\n"
    "var s=0\r\n"
    "if done<>1\r\n"
    "done=1\r\n"
    "s=str_create(300)\r\n"
    "str_copy(s, \".\\images\\\", 0, -1)\r\n"
    "global_set(0, file_box(s, 0, \"Pictures|*.bmp|Everything|*.*\"))\r\n"
    "global_set(1, file_exists(s))\r\n"
    "global_set(2, str_len(s))\r\n"
    "globals_save(\"temp/filebox.dat\", 0, 3)\r\n"
    "endif\r\n";

TEST_F(ChooserRun, ABrainsFileBoxReturnsTheChosenPath) {
  write("projects/t.prj", kFileBoxProject);
  // The list's first row in the installation's font: 20 rows of 16 pixels centred from y 80.
  write("click.txt", "1 click 120 88\n");
  ASSERT_EQ(run("projects/t.prj\r\n1\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=click.txt"), 0) << read("stderr.txt");
  const std::string chosen = dir.string() + "/images/anykey_.bmp";
  EXPECT_EQ(read("temp/filebox.dat"), "-1\r\n-1\r\n" + std::to_string(chosen.size()) + "\r\n0\r\n") << read("stderr.txt");
}

}  // namespace
}  // namespace korva
