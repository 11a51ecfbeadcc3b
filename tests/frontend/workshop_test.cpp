// The workshop in a real window under Xvfb: scripted clicks and keys make a project, add and
// edit elements, run it with F5 and close with the question about unsaved changes; golden
// screenshots of the start page and the project window. A second test presses F5 through the
// X server with xdotool.
#include <sys/wait.h>

#include <cstdlib>

#include "frontend_fixture.h"
#include "golden.h"

namespace korva::test {
namespace {

namespace fs = std::filesystem;

const std::string kWorkshop = std::string(KORVA_BINARY_DIR) + "/korva-workshop";

bool on_path(const char* program) {
  return std::system((std::string("command -v ") + program + " > /dev/null 2>&1").c_str()) == 0;
}

// The screenshots show the installation folder, so the golden test uses a fixed one.
class WorkshopTest : public InstallationTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kWorkshop)) GTEST_SKIP() << "korva-workshop is not built";
    if (!on_path("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    InstallationTest::SetUp();
  }
  // Runs the workshop on a script under Xvfb; korva runs headless and short. Its exit status.
  int run_workshop(const std::string& script, const std::string& extra = "", std::string install = "") {
    if (install.empty()) install = dir;
    const std::string script_path = dir + "/script.txt";
    std::ofstream(script_path) << script;
    const std::string command = "cd " + dir + " && KORVA_HEADLESS=1 KORVA_FAST=1 KORVA_MAX_FRAMES=10 timeout 300 " +
                                "xvfb-run -a -s '-screen 0 1280x800x24' " + (extra.empty() ? kWorkshop : extra) +
                                " --dir " + install + " --size 1100x700 --script " + script_path + " > " + dir +
                                "/workshop.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void expect_golden(const std::string& png, const std::string& name) {
    std::vector<uint8_t> rgb;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(platform::image_load_rgb(png, rgb, w, h)) << png;
    golden::expect_rgb(rgb, w, h, "frontend", name);
  }
};

TEST_F(WorkshopTest, MakeEditRunAndCloseAProjectByMouseAndKeys) {
  // The start page shows this folder: the same name on every machine.
  const std::string fixed = "/tmp/korva-workshop-golden";
  fs::remove_all(fixed);
  fs::rename(dir, fixed);
  dir = fixed;
  const std::string script = R"(wait 3
screenshot start.png
click Name
type mygame
click New project
wait 2
expect-log Made
click Kind
click kind visual
click Add element
wait 1
click field name
key ctrl+a
type Player
key Return
click field y
key ctrl+a
type 0.5
key Return
click field yaw
key ctrl+a
type not a number
key Return
wait 1
expect-log Refused: 'not a number' is not a number
click Kind
click kind counter
click Add element
click element Player
click Move up
click Undo
wait 1
expect-log Undone
click Redo
wait 2
expect-title * mygame.prj - korva-workshop
screenshot project.png
key F5
wait-idle
expect-log The run ended normally.
click field x
key ctrl+a
type 2
key Return
wait 1
expect-title * mygame.prj - korva-workshop
close
wait 2
screenshot question.png
click Save and close
)";
  const int status = run_workshop(script);
  EXPECT_EQ(status, 0) << read(dir + "/workshop.txt");
  expect_golden(dir + "/start.png", "workshop_start");
  expect_golden(dir + "/project.png", "workshop_project");
  EXPECT_TRUE(fs::exists(dir + "/question.png"));

  frontend::Project p(dir);
  ASSERT_TRUE(p.open(dir + "/projects/mygame/mygame.prj").ok);
  ASSERT_EQ(p.count(), 3);
  EXPECT_EQ(p.row(0).name, "Player");
  EXPECT_EQ(p.row(1).name, "Camera");
  EXPECT_EQ(p.row(2).kind, "counter");
  EXPECT_EQ(p.field(0, "y"), "0.500");
  EXPECT_EQ(p.field(0, "x"), "2.000");  // saved at the question
  EXPECT_EQ(p.field(0, "yaw"), "0");    // the refused value changed nothing
  // The new camera named element 2 ("1/1/2/1020"); the player's move took that place.
  EXPECT_EQ(p.params(1), std::vector<std::string>{"1/2/1020"});
}

// Real X input: xdotool presses F5 in the workshop's window, and korva runs the project.
TEST_F(WorkshopTest, F5FromTheXServerRunsTheProject) {
  if (!on_path("xdotool")) GTEST_SKIP() << "xdotool is not installed";
  ASSERT_TRUE(frontend::clear_run_marker(dir));
  const std::string driver = dir + "/driver.sh";
  std::ofstream(driver) << "#!/bin/sh\n"
                        << kWorkshop << " \"$@\" &\n"
                        << "pid=$!\n"
                        << "win=$(timeout 30 xdotool search --sync --name 'default.prj' | head -n 1)\n"
                        << "timeout 30 xdotool windowfocus --sync $win\n"
                        << "xdotool key F5\n"
                        << "wait $pid\n";
  fs::permissions(driver, fs::perms::owner_all);
  // The script opens the project, then waits for the key to run it.
  const int status = run_workshop("click open myprj/default.prj\nwait-log The run ended normally.\n", driver);
  EXPECT_EQ(status, 0) << read(dir + "/workshop.txt");
  EXPECT_TRUE(fs::exists(dir + "/temp/wasok.dat"));
}

// A folder that is no installation yet: the start page offers to create one, which runs
// korva-mkdata, and then lists its projects.
TEST_F(WorkshopTest, CreatesAnInstallationAndOpensItsDemo) {
  if (!fs::exists(std::string(KORVA_BINARY_DIR) + "/korva-mkdata")) GTEST_SKIP() << "korva-mkdata is not built";
  const std::string fresh = dir + "/fresh";
  const int status = run_workshop(R"(click Create installation
wait-log It ended with exit status 0.
wait 2
click open demo/demo.prj
wait 2
expect-title demo.prj - korva-workshop
)",
                                  "", fresh);
  EXPECT_EQ(status, 0) << read(dir + "/workshop.txt");
  EXPECT_TRUE(fs::exists(fresh + "/projects/demo/demo.prj"));
}

}  // namespace
}  // namespace korva::test
