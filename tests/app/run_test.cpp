// Project runs and the mode dispatcher, in-process and headless: a project folder is written,
// "runmode.ini" chooses the mode, korva_run performs it, and the test reads what it left.
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

// One element record: a camera with everything at its default, named name.
std::string camera_record(const std::string& name) {
  return name +
         "|./cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|"
         "0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|160/120/479/359/0/20&40/7|0/1|"
         "4096/2/50/0|0";
}

class Run : public ::testing::Test {
 protected:
  fs::path dir;
  std::unique_ptr<App> app;
  std::string errors;  // what korva wrote on stderr (headless message boxes included)
  int32_t status = -1;  // korva's exit status

  void SetUp() override {
    char tmpl[] = "/tmp/korva-run-XXXXXX";
    dir = mkdtemp(tmpl);
    fs::create_directories(dir / "temp");
    fs::create_directories(dir / "brains");
    fs::create_directories(dir / "data");
    fs::create_directories(dir / "projects");
    fs::current_path(dir);
    setenv("KORVA_HEADLESS", "1", 1);
    setenv("KORVA_FAST", "1", 1);
    unsetenv("KORVA_INPUT");
    unsetenv("KORVA_MAX_FRAMES");
  }
  void TearDown() override {
    fs::current_path("/");
    fs::remove_all(dir);
  }

  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  ino_t inode(const std::string& name) {
    struct stat st{};
    return stat((dir / name).c_str(), &st) == 0 ? st.st_ino : 0;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

  // A project of one camera per brain; brains[i] is element i's brain text.
  void write_project(const std::vector<std::string>& brains) {
    std::string p = ";test project\r\n" + std::to_string(brains.size()) + "\r\n";
    for (size_t i = 0; i < brains.size(); ++i) p += camera_record("E" + std::to_string(i)) + "\r\n";
    p += "./bckgrnds/bkgr000_.bmp|1|0\r\n";
    for (size_t i = 0; i < brains.size(); ++i) p += "@" + std::to_string(i) + "\r\n" + brains[i];
    write("projects/t.prj", p);
  }
  void write_runmode(int mode, int element = 0) {
    write("runmode.ini", "projects/t.prj\r\n" + std::to_string(mode) + "\r\n" +
                             std::to_string(element) + "\r\n0\r\n0\r\n");
  }

  // Performs the mode of "runmode.ini" in this process, with stderr captured.
  void korva() {
    std::fflush(stderr);
    const int saved = dup(2);
    const std::string log = (dir / "stderr.txt").string();
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    close(fd);
    app = std::make_unique<App>();
    use_editor_modes(*app);
    status = korva_run(*app, "");
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    errors = read("stderr.txt");
  }
};

TEST_F(Run, BrainsComputeSaveTheirGlobalsAndExit) {
  write_project({
      "var n\r\n"
      "n = n + 1\r\n"
      "global_set(0, n * 3)\r\n"
      "global_set(1, -n)\r\n"
      "if n = 10\r\n"
      "globals_save(\"temp/out.dat\", 0, 2)\r\n"
      "exit(7)\r\n"
      "endif\r\n",
  });
  write_runmode(1);
  korva();
  EXPECT_EQ(read("temp/out.dat"), "30\r\n-10\r\n0\r\n");
  EXPECT_EQ(read("temp/wasok.dat"), "wasok\r\n");
  EXPECT_NE(errors.find("When compiled, exit to sub-project 7"), std::string::npos) << errors;
  EXPECT_EQ(app->run.exit_code, 7);
  EXPECT_EQ(app->pipeline.loop_frames, 6);  // four warm-up steps, then loop frames 0..5
  EXPECT_EQ(status, kStatusDone);
}

// A damaged project file is neither run nor saved over, whatever the mode, and the exit
// status says so; a brain that does not compile is named with its file and line.
TEST_F(Run, DamagedProjectsAreLeftAloneAndBrainErrorsAreReported) {
  const std::string garbage("\x89PNG\r\n\x1a\n\x00\x00garbage|||", 20);
  for (int mode : {1, 14}) {
    write("projects/t.prj", garbage);
    write_runmode(mode);
    korva();
    EXPECT_EQ(status, kStatusBadProject) << mode;
    EXPECT_EQ(read("projects/t.prj"), garbage) << mode;
    EXPECT_NE(errors.find("cannot be used"), std::string::npos) << errors;
  }
  // Cut short: the count line says two, one record is there.
  write_project({"", ""});
  std::string cut = read("projects/t.prj");
  cut = cut.substr(0, cut.find("E1|"));
  write("projects/t.prj", cut);
  write_runmode(1);
  korva();
  EXPECT_EQ(status, kStatusBadProject);
  EXPECT_NE(errors.find("declares 2 elements but holds 1"), std::string::npos) << errors;

  write_project({"var n\r\nn = n + q\r\n"});
  setenv("KORVA_MAX_FRAMES", "2", 1);
  korva();
  EXPECT_EQ(status, kStatusBrainError);
  EXPECT_NE(errors.find("the brain of 'E0' ("), std::string::npos) << errors;
  EXPECT_NE(errors.find("), line 2 does not compile: "), std::string::npos) << errors;
  EXPECT_EQ(read("temp/wasok.dat"), "wasok\r\n");  // the run itself went on and ended
}

TEST_F(Run, EscapeInTheInputScriptEndsTheRunWithoutAMessage) {
  write_project({"var n\r\nn = n + 1\r\n"});
  write("keys.txt", "# leave at the fourth loop frame\r\n3 key ESC\r\n");
  setenv("KORVA_INPUT", (dir / "keys.txt").c_str(), 1);
  write_runmode(1);
  korva();
  EXPECT_EQ(app->pipeline.loop_frames, 4);
  EXPECT_EQ(app->run.exit_code, -1);
  EXPECT_EQ(errors.find("When compiled"), std::string::npos) << errors;
  EXPECT_EQ(read("temp/wasok.dat"), "wasok\r\n");
}

// Scripted keys reach the brains through the same input state as real ones: Right held for
// loop frames 2, 3 and 4 moves the element three times, by scan code and by key name.
TEST_F(Run, ABrainMovesItsElementWithTheKeyboard) {
  write_project({"if keyboard(77)\r\nposition_x_add(element, 512000)\r\nendif\r\n"
                 "if keyboard(\"LEFT\")\r\nposition_x_add(element, -1000)\r\nendif\r\n"
                 "global_set(0, position_x(element))\r\nglobals_save(\"temp/x.dat\", 0, 0)\r\n"});
  write("keys.txt", "2 down RIGHT\r\n5 up RIGHT\r\n6 key LEFT\r\n");
  setenv("KORVA_INPUT", (dir / "keys.txt").c_str(), 1);
  setenv("KORVA_MAX_FRAMES", "9", 1);
  write_runmode(1);
  korva();
  EXPECT_EQ(read("temp/x.dat"), "1535000\r\n") << errors;
}

// Relations, appearance, texts and dialogs in one run: a brain switches another element off,
// hides a third, measures, and asks a question that the input script answers with No.
TEST_F(Run, TheKeywordFamiliesWorkTogetherInARun) {
  write_project({"var n\r\nn = n + 1\r\n"
                 "if n = 5\r\n"
                 "off(element#1)\r\n"
                 "hide(element#2)\r\n"
                 "position_x_set(element#2, 3 * 512000)\r\n"
                 "global_set(0, distance(element, element#2))\r\n"
                 "global_set(1, state(element#1, 1))\r\n"
                 "global_set(2, state(element#2, 64))\r\n"
                 "global_set(3, interpolate(5, 0, 10, 100, 200))\r\n"
                 "global_set(4, str_len(\"hello\"))\r\n"
                 "global_set(5, msg_box(\"Leave now?\", 2, 0, 2))\r\n"
                 "global_set(6, type(element))\r\n"
                 "globals_save(\"temp/k.dat\", 0, 6)\r\n"
                 "exit(-2)\r\n"
                 "endif\r\n",
                 "", ""});
  // The dialog opens in loop frame 0 and takes the script's next times: Right moves to No.
  write("keys.txt", "1 key RIGHT\r\n2 key RETURN\r\n");
  setenv("KORVA_INPUT", (dir / "keys.txt").c_str(), 1);
  write_runmode(1);
  korva();
  // 3 m apart, measured by the engine's integer distance (its square-root table reads 2992 mm).
  EXPECT_EQ(read("temp/k.dat"), "1531904\r\n0\r\n0\r\n150\r\n5\r\n2\r\n0\r\n") << errors;
  EXPECT_NE(errors.find("Leave now?"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("not available yet"), std::string::npos) << errors;
}

TEST_F(Run, ABrainThatExitsAtOnceEndsAfterTheWarmUpAndOneFrame) {
  write_project({"global_add(0, 1)\r\nglobals_save(\"temp/steps.dat\", 0, 0)\r\nexit(-3)\r\n"});
  write_runmode(1);
  korva();
  // The four warm-up steps, the first frame, then the first loop frame's brain step, after which
  // the loop sees the exit code and leaves before drawing.
  EXPECT_EQ(read("temp/steps.dat"), "5\r\n");
  EXPECT_EQ(app->pipeline.loop_frames, 1);
  EXPECT_EQ(app->pipeline.frames_rendered, 1);
  EXPECT_NE(errors.find("When compiled, exit directly to Windows"), std::string::npos) << errors;
}

TEST_F(Run, MaxFramesEndsTheRunAsEscapeWould) {
  write_project({"var n\r\nn = n + 1\r\n"});
  setenv("KORVA_MAX_FRAMES", "25", 1);
  write_runmode(1);
  korva();
  EXPECT_EQ(app->pipeline.loop_frames, 25);
  EXPECT_EQ(app->pipeline.frames_rendered, 26);  // every loop frame renders under KORVA_FAST
  EXPECT_EQ(app->run.exit_code, -1);
}

// An endless loop around pause (which shows the frame at every call) runs out of the brain time
// limit and stops that brain alone; the frame limit then ends the run.
TEST_F(Run, AnEndlessPauseLoopRunsOutOfTimeAndTheFrameLimitStillEndsTheRun) {
  write_project({"var n\r\nn = n + 1\r\n", "again:\r\npause()\r\ngoto again\r\n"});
  setenv("KORVA_MAX_FRAMES", "10", 1);
  write_runmode(1);
  korva();
  EXPECT_NE(errors.find("'E1' brain runtime ERROR!|"), std::string::npos) << errors;
  EXPECT_NE(errors.find("did not end within 1 second"), std::string::npos) << errors;
  EXPECT_EQ(app->pipeline.loop_frames, 10);
  EXPECT_EQ(app->run.exit_code, -1);
}

TEST_F(Run, TheGlobalsFileIsReadAtTheStartOfTheNextRun) {
  write_project({"global_set(0, 1234)\r\nglobals_save(\"temp/globvars.dat\", 0, 0)\r\nexit(-2)\r\n"});
  write_runmode(1);
  korva();
  EXPECT_EQ(read("temp/globvars.dat"), "1234\r\n");
  // A new process starts with the range 0..0, over which the file is read before the run.
  write_project({"global_add(0, 1)\r\nglobals_save(\"temp/next.dat\", 0, 0)\r\nexit(-2)\r\n"});
  korva();
  EXPECT_EQ(read("temp/next.dat"), "1239\r\n") << errors;  // four warm-up steps and one loop step
}

TEST_F(Run, SceneKeywordsReachTheRunsScene) {
  write_project({"fog_set(30000, 20000)\r\nglobal_set(0, fog_start())\r\nglobal_set(1, fog_end())\r\n"
                 "globals_save(\"temp/fog.dat\", 0, 1)\r\nexit(-2)\r\n"});
  write_runmode(1);
  korva();
  EXPECT_EQ(read("temp/fog.dat"), "20000\r\n20000\r\n");
}

TEST_F(Run, AFaultyBrainStopsAloneAndTheRunGoesOn) {
  write_project({"var n\r\nn = n + 1\r\nif n = 20\r\nexit(-2)\r\nendif\r\n", "loop:\r\ngoto loop\r\n"});
  write_runmode(1);
  korva();
  EXPECT_EQ(app->run.exit_code, -2);
  EXPECT_NE(errors.find("'E1' brain runtime ERROR!|"), std::string::npos) << errors;
}

// What each mode loads first and saves afterwards. Loading gives every brain of the project
// its own private brain file; saving rewrites the project file.
TEST_F(Run, ModesLoadAndSaveAsTheirTableSays) {
  struct Case { int mode; bool loads; bool saves; } cases[] = {
      {6, false, false}, {10, false, false}, {4, true, false}, {14, true, true}, {11, true, false},
  };
  for (const auto& k : cases) {
    fs::remove_all(dir / "brains");
    fs::create_directories(dir / "brains");
    write_project({"var n\r\n"});
    const auto before = inode("projects/t.prj");
    write_runmode(k.mode);
    korva();
    EXPECT_EQ(status, kStatusDone) << "mode " << k.mode;
    const bool loaded = !fs::is_empty(dir / "brains");
    EXPECT_EQ(loaded, k.loads) << "mode " << k.mode;
    // A save writes a new file and renames it over the old one.
    EXPECT_EQ(inode("projects/t.prj") != before, k.saves) << "mode " << k.mode;
  }
}

TEST_F(Run, TheVirtualEditorOpensOnTheLastElementWhenAskedForOneBeyondIt) {
  write_project({"", "", ""});
  write_runmode(3, 7);
  korva();
  EXPECT_EQ(app->model->current, 2);
}

TEST_F(Run, AMissingProjectRunsAsANewProjectWithTheDefaultCamera) {
  write_runmode(1);  // projects/t.prj does not exist
  setenv("KORVA_MAX_FRAMES", "3", 1);
  korva();
  EXPECT_EQ(app->pipeline.loop_frames, 3);
  EXPECT_EQ(read("temp/wasok.dat"), "wasok\r\n");
  EXPECT_NE(errors.find("the project projects/t.prj does not exist"), std::string::npos) << errors;
}

// Front ends on every system write "runmode.ini": LF and CR line ends read as CR LF do.
TEST_F(Run, RunmodeLinesMayEndInLineFeedsOrCarriageReturns) {
  write_project({"globals_save(\"temp/ran.dat\", 0, 0)\r\nexit(-2)\r\n"});
  for (const char* end : {"\n", "\r"}) {
    std::remove((dir / "temp/ran.dat").c_str());
    write("runmode.ini", std::string("projects/t.prj") + end + "1" + end + "0" + end);
    korva();
    EXPECT_EQ(read("temp/ran.dat"), "0\r\n") << int(end[0]) << errors;
  }
}

TEST_F(Run, GarbageInRunmodeIsHarmless) {
  for (const char* junk : {"", "\r\n\r\n", "x\r\n99\r\n-5\r\n", "\xff\xfe\x00garbage", "p\r\n1\r\n70000\r\n"}) {
    write("runmode.ini", junk);
    setenv("KORVA_MAX_FRAMES", "2", 1);
    korva();
  }
}

}  // namespace
}  // namespace korva
