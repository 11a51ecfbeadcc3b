// Brain editing (mode 13) and the parameter panel (mode 5) end to end: korva-mkdata writes an
// installation, korva-go starts korva headless on the demo project under scripted input, and
// the saved project holds what was typed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "go_installation.h"

namespace {

namespace fs = std::filesystem;

using korva::go_test::Installation;
using korva::go_test::read;
using korva::go_test::record_field;

TEST(BrainModes, EditTheBrainThenItsParameters) {
  Installation in("brain-modes");
  if (!in.ready) GTEST_SKIP() << "korva-mkdata, korva-go and korva are needed";
  std::string log;
  // Mode 13: a user parameter with its help typed at the top of the ball's brain.
  ASSERT_EQ(in.go("5 text userint lives = 3\n6 key RETURN\n7 text ; how many times it may fall\n"
                  "8 key RETURN\n9 key RETURN\n10 text exit(lives)\n11 key RETURN\n12 key ESC\n",
                  "brain demo 3", log), 0) << log;
  std::string project = read(in.dir / "projects/demo/demo.prj");
  EXPECT_NE(project.find("@3\r\nuserint lives = 3\r\n; how many times it may fall\r\n\r\nexit(lives)\r\n"), std::string::npos) << project;
  EXPECT_EQ(record_field(project, "Ball", 35).substr(0, 11), "6/2/3/1020/") << "configured from the new header";
  EXPECT_NE(log.find("A brain's header modification has occurred, so the|Ball|"), std::string::npos) << log;

  // Mode 5: the parameter changed in the panel.
  ASSERT_EQ(in.go("5 key BACKSPACE\n6 text 5\n9 key ESC\n", "params demo 3", log), 0) << log;
  project = read(in.dir / "projects/demo/demo.prj");
  EXPECT_EQ(record_field(project, "Ball", 35).substr(0, 11), "6/2/5/1020/");

  // The run starts the brain with the panel's value: its exit code says so.
  ASSERT_EQ(in.go("", "--fast --frames 30 run demo", log), 0) << log;
  EXPECT_NE(log.find("When compiled, exit to sub-project 5"), std::string::npos) << log;

  // F2 saves a copy under a new name; F1 asks first, and Delete aborts.
  ASSERT_EQ(in.go("5 key F2\n8 text ballcopy\n20 key RETURN\n25 key F1\n28 key DELETE\n32 key ESC\n",
                  "brain demo 3", log), 0) << log;
  EXPECT_NE(log.find("The current brain modifications will be lost!"), std::string::npos) << log;
  EXPECT_EQ(read(in.dir / "brains/ballcopy.brn").substr(0, 20), "userint lives = 3\r\n;");

  // A mistake: leaving shows the first error with its line, and korva says a brain failed.
  EXPECT_EQ(in.go("5 key DOWN\n6 key DOWN\n7 text foo_bar(1)\n8 key RETURN\n12 key ESC\n", "brain demo 3", log), 4) << log;
  EXPECT_NE(log.find("the mistake is on line 3|foo_bar(1) (3)|Unknown function/instruction 'foo_bar'!"),
            std::string::npos) << log;
  EXPECT_EQ(read(in.dir / "temp/brainerr.txt").substr(read(in.dir / "temp/brainerr.txt").find('\n') + 1), "3\r\n");
  project = read(in.dir / "projects/demo/demo.prj");
  EXPECT_NE(project.find("fall\r\nfoo_bar(1)\r\n\r\n"), std::string::npos) << "the edit is saved all the same";
}

}  // namespace
