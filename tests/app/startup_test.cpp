// The korva executable from start to exit: headless and under a virtual display, in empty
// folders and with damaged settings.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/app.h"
#include "platform/platform.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Startup : public ::testing::Test {
 protected:
  fs::path dir;
  void SetUp() override {
    char tmpl[] = "/tmp/korva-start-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs korva in the folder with the given environment words; returns its exit code.
  int run(const std::string& env, const std::string& args = "") {
    const std::string cmd = "cd '" + dir.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " +
                            env + " '" KORVA_BINARY_DIR "/korva' " + args + " 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
};

// Without a hardware device the software device is used and both device counts become 0.
constexpr const char* kHeadlessConfig =
    "[User-Modifiable Engine Settings]\r\n"
    "AvailableRenderingDevices=0000000000\r\n"
    "RenderingDevice=0000000000\r\n"
    "AvailableDisplayModes=3F0000003F\r\n"
    "DisplayMode=0100000001\r\n"
    "Filtering=0300000003\r\n"
    "Sound=0100000001\r\n"
    "SoundMixing=0000000000\r\n"
    "\r\n"
    "[Engine Settings]\r\n"
    "LegalDisplayModes=3F0000003F\r\n";

// Without "runmode.ini" the process is the stand-alone player; a folder without a game gives
// start-up and shutdown, and the exit status says there was no game.
TEST_F(Startup, HeadlessInAnEmptyFolderWritesSettingsAndAScreenshot) {
  ASSERT_EQ(run("KORVA_HEADLESS=1 KORVA_SCREENSHOT=shot.png", "/1 /-2 junk"), kStatusNoGame);
  EXPECT_EQ(read("config.ini"), kHeadlessConfig);
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(platform::image_load_rgb((dir / "shot.png").string(), rgb, w, h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_NE(read("stderr.txt").find("sinus.bin"), std::string::npos);
}

TEST_F(Startup, NoDisplayMeansHeadlessAndDamagedSettingsStartWithDefaults) {
  // A 32-bit 800 x 600 mode survives; the garbage around it does not.
  write("config.ini", "[User-Modifiable Engine Settings]\r\nDisplayMode=0800000008\r\n"
                      "Sound=\xff\xfe\r\nFiltering=0300000004\r\n[Engine Settings\r\nLeg");
  ASSERT_EQ(run("KORVA_SCREENSHOT=shot.png"), kStatusNoGame);
  const std::string config = read("config.ini");
  EXPECT_NE(config.find("DisplayMode=0800000008\r\n"), std::string::npos);
  EXPECT_NE(config.find("Sound=0100000001\r\n"), std::string::npos);
  EXPECT_NE(config.find("Filtering=0300000003\r\n"), std::string::npos);
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(platform::image_load_rgb((dir / "shot.png").string(), rgb, w, h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
}

TEST_F(Startup, SettingsThatCannotBeWrittenAreReportedAndTheRunGoesOn) {
  fs::create_directory(dir / "config.ini");
  write("runmode.ini", "demo.prj\r\n10\r\n0\r\n0\r\n0\r\n");
  ASSERT_EQ(run("KORVA_HEADLESS=1"), 0);
  const std::string err = read("stderr.txt");
  EXPECT_NE(err.find("settings could not be written"), std::string::npos) << err;
  // Once, although start-up writes the settings twice.
  EXPECT_EQ(err.find("settings could not be written"), err.rfind("settings could not be written"));
  // With "runmode.ini" the tables come from the data folder.
  EXPECT_NE(err.find("/data/sinus.bin"), std::string::npos) << err;
}

// SIGTERM, SIGINT and SIGHUP end an endless run as Escape would: the run marker is written,
// the project file is left as it was, and the status is 128 + the signal's number.
TEST_F(Startup, SignalsEndAnEndlessRunCleanly) {
  const std::string project =
      ";endless\r\n1\r\nCamera|./cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|"
      "0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|"
      "4096/2/50/0|0\r\n./bckgrnds/bkgr000_.bmp|1|0\r\n@0\r\nglobals_save(\"temp/alive.dat\", 0, 0)\r\n";
  struct Case { const char* signal; int status; } cases[] = {{"TERM", 143}, {"INT", 130}, {"HUP", 129}};
  for (const auto& k : cases) {
    fs::create_directories(dir / "temp");
    fs::create_directories(dir / "projects");
    fs::create_directories(dir / "brains");
    write("projects/endless.prj", project);
    write("runmode.ini", "projects/endless.prj\r\n1\r\n0\r\n0\r\n0\r\n");
    fs::remove(dir / "temp/wasok.dat");
    fs::remove(dir / "temp/alive.dat");
    // The signal comes once the run is under way (its brain has written a file).
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run("KORVA_HEADLESS=1 sh -c '\"$0\" & pid=$!; while [ ! -f temp/alive.dat ]; do sleep 0.05; done; "
                  "kill -" + std::string(k.signal) + " $pid; wait $pid'"),
              k.status)
        << k.signal << ": " << read("stderr.txt");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << k.signal;
    EXPECT_EQ(read("temp/wasok.dat"), "wasok\r\n") << k.signal;
    EXPECT_NE(read("stderr.txt").find("korva: ended by signal"), std::string::npos) << read("stderr.txt");
    EXPECT_EQ(read("projects/endless.prj"), project);  // an editor run saves nothing
  }
}

TEST_F(Startup, OpensARealWindowUnderAVirtualDisplay) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  // One virtual display at a time (xvfb-run -a races for display numbers), and korva's own
  // status kept apart from xvfb-run's.
  run("flock /tmp/korva-xvfb.lock xvfb-run -a -s '-screen 0 1024x768x24' env KORVA_SCREENSHOT=shot.png "
      "sh -c '\"$0\"; echo $? > status.txt'");
  ASSERT_EQ(read("status.txt"), std::to_string(kStatusNoGame) + "\n") << read("stderr.txt");
  EXPECT_EQ(read("stderr.txt").find("running headless"), std::string::npos) << read("stderr.txt");
  EXPECT_NE(read("config.ini").find("[Engine Settings]"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "shot.png"));
}

// In a window, pause waits for a key; a run driven by an input script has nobody at the
// keyboard, so there it goes on at once and the frame limit ends the run.
TEST_F(Startup, PauseInAScriptedWindowedRunDoesNotWait) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  fs::create_directories(dir / "temp");
  fs::create_directories(dir / "projects");
  fs::create_directories(dir / "brains");
  write("projects/p.prj",
        ";pauses\r\n1\r\nCamera|./cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|"
        "0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|"
        "4096/2/50/0|0\r\n./bckgrnds/bkgr000_.bmp|1|0\r\n@0\r\npause()\r\n");
  write("runmode.ini", "projects/p.prj\r\n1\r\n0\r\n0\r\n0\r\n");
  write("input.txt", "2 key F1\n");
  const auto start = std::chrono::steady_clock::now();
  run("flock /tmp/korva-xvfb.lock xvfb-run -a -s '-screen 0 1024x768x24' env -u KORVA_FAST "
      "KORVA_INPUT=input.txt KORVA_MAX_FRAMES=5 timeout 60 sh -c '\"$0\"; echo $? > status.txt'");
  EXPECT_EQ(read("status.txt"), "0\n") << read("stderr.txt");
  EXPECT_EQ(read("stderr.txt").find("running headless"), std::string::npos) << read("stderr.txt");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(Runmode, ReadsTheModeFileOfTheBaseFolder) {
  char tmpl[] = "/tmp/korva-runmode-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  auto core = core_create();
  compute_base_folder(*core->base_folder, dir.string());
  RunMode none = read_runmode(*core);
  EXPECT_EQ(none.project, "");
  EXPECT_EQ(none.mode, 0);
  std::ofstream(dir / "runmode.ini", std::ios::binary) << "projects\\demo.prj\r\n3\r\n7\r\n0\r\n0\r\n";
  RunMode m = read_runmode(*core);
  EXPECT_EQ(m.project, "projects\\demo.prj");
  EXPECT_EQ(m.mode, 3);
  EXPECT_EQ(m.element, 7);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva
