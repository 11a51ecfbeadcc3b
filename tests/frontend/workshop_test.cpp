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
    // The list of recent projects goes into the test's folder, not the user's.
    const std::string command = "cd " + dir + " && XDG_CONFIG_HOME=" + dir + "/config " + environment +
                                " KORVA_HEADLESS=1 KORVA_FAST=1 KORVA_MAX_FRAMES=10 timeout 300 " +
                                "xvfb-run -a -s '-screen 0 1280x800x24' " + (extra.empty() ? kWorkshop : extra) +
                                " --dir " + install + " --size 1100x700 --script " + script_path + " > " + dir +
                                "/workshop.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string environment;  // more variables for the workshop, "NAME=value ..."
  // The screenshots show the folder: the same name on every machine.
  void use_fixed_folder(const std::string& fixed) {
    fs::remove_all(fixed);
    fs::rename(dir, fixed);
    dir = fixed;
  }
  void expect_golden(const std::string& png, const std::string& name) {
    std::vector<uint8_t> rgb;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(platform::image_load_rgb(png, rgb, w, h)) << png;
    golden::expect_rgb(rgb, w, h, "frontend", name);
  }
};

TEST_F(WorkshopTest, MakeEditRunAndCloseAProjectByMouseAndKeys) {
  use_fixed_folder("/tmp/korva-workshop-golden");
  // A kit that describes itself shows its description above its projects.
  std::ofstream(dir + "/projects/demo/descrptn.txt") << "The demo and the files it uses\r\n";
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
  // The new project's camera names no element (the default record's reference to element 2
  // would have named whatever came there).
  EXPECT_TRUE(p.params(1).empty());
}

// The pickers (with thumbnails rendered by the engine's device), Duplicate, the collision grid,
// the project's settings, the user's own editor on a brain, and the recent projects after.
TEST_F(WorkshopTest, PickersGridSettingsAndTheUsersEditor) {
  use_fixed_folder("/tmp/korva-workshop-golden-pickers");
  // The "editor" replaces the brain with one that declares a parameter, as a user would.
  const std::string editor = dir + "/editor.sh";
  std::ofstream(editor) << "#!/bin/sh\nsleep 1\nprintf '; Counts the lives\\r\\nuserint lives=3\\r\\n' > \"$1\"\n";
  fs::permissions(editor, fs::perms::owner_all);
  environment = "VISUAL=" + editor;
  const std::string script = R"(click open myprj/default.prj
wait 2
click Add element
click pick visual
wait 30
screenshot picker.png
click choice visuals/ball_.v3d
expect-log Chose visuals/ball_.v3d as the visual
click pick brain
wait 2
screenshot brains.png
click choice brains/arrows_.brn
click param pace
key ctrl+a
type 3.5
key Return
expect-log Set the parameter pace of element 1
click Duplicate
expect-log Duplicated element 1
click tab Collisions
click code 3
click cell 1 2
expect-log Collision code of visual / visual copy: 3
click code 7
click cell 0 2
click cell 0 1
click cell 0 1
wait 2
screenshot grid.png
click tab Project settings
click setting shared
key ctrl+a
type 4,10(2)
key Return
click setting repetitions
key ctrl+a
type 3
key Return
expect-log Refused: the repetitions are a power of two from 1 to 256
click pick background
wait 10
click choice images/jeep001_.pcx
wait 2
screenshot settings.png
click tab Element
click Open brain in my editor
wait-log Reloaded the brain of element 2: it changed on disk
click param lives
key ctrl+a
type many
key Return
expect-log Refused: 'many' is not a whole number
key ctrl+s
wait 2
expect-title default.prj - korva-workshop
click Close project
wait 2
screenshot start.png
click recent default.prj
wait 2
expect-title default.prj - korva-workshop
)";
  const int status = run_workshop(script);
  EXPECT_EQ(status, 0) << read(dir + "/workshop.txt");
  expect_golden(dir + "/picker.png", "workshop_picker");
  expect_golden(dir + "/grid.png", "workshop_grid");
  for (const char* shot : {"brains.png", "settings.png", "start.png"}) EXPECT_TRUE(fs::exists(dir + "/" + shot)) << shot;

  frontend::Project p(dir);
  ASSERT_TRUE(p.open(dir + "/projects/myprj/default.prj").ok);
  ASSERT_EQ(p.count(), 3);
  EXPECT_EQ(p.row(1).visual, "visuals/ball_.v3d");
  EXPECT_EQ(p.row(2).visual, "visuals/ball_.v3d");
  EXPECT_EQ(p.row(2).name, "visual copy");
  EXPECT_EQ(p.collision(1, 2), 3);
  EXPECT_EQ(p.collision(0, 2), 7);
  EXPECT_EQ(p.collision(0, 1), 0);  // a second click on the same code clears it
  EXPECT_EQ(p.setting("shared"), "4,10(2)");
  EXPECT_EQ(p.setting("repetitions"), "1");
  EXPECT_EQ(p.setting("background"), "images/jeep001_.pcx");
  // The copy runs the brain the editor wrote, with its parameter; the original keeps the arrows.
  EXPECT_EQ(p.brain_description(2), "Counts the lives");
  ASSERT_EQ(p.params(2).size(), 1u);
  EXPECT_NE(p.params(2)[0].find("/3/"), std::string::npos) << p.params(2)[0];
  EXPECT_NE(p.brain_description(1).find("arrow keys"), std::string::npos);
  EXPECT_EQ(p.params(1), std::vector<std::string>{"5/3.5/1020"});
  EXPECT_NE(read(dir + "/config/korva/recent").find(dir + "/projects/myprj/default.prj"), std::string::npos);
  EXPECT_EQ(run_headless(dir + "/projects/myprj/default.prj"), "");
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

// Package makes the stand-alone game of the open project with the builder; Play runs it.
TEST_F(WorkshopTest, PackageAndPlayTheOpenProject) {
  const int status = run_workshop(R"(click open demo/demo.prj
wait 2
click Play
wait 2
expect-log There is no stand-alone game yet
click Package
wait-idle
expect-log Wrote the level list
expect-log It ended with exit status 0.
click Play
wait-idle
expect-log Playing
)");
  EXPECT_EQ(status, 0) << read(dir + "/workshop.txt");
  EXPECT_TRUE(fs::exists(dir + "/multilev/demo.mlv"));
  EXPECT_TRUE(fs::exists(dir + "/korvaexe/level001.prj"));
}

}  // namespace
}  // namespace korva::test
