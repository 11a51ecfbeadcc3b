// The front end: commands become the right runmode.ini lines, projects resolve by name or
// path, korva is started in the installation folder with the requested environment, and the
// exit status tells whether the run ended normally.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "front_end.h"

namespace korva::go {
namespace {

namespace fs = std::filesystem;

TEST(FrontEnd, CommandsChooseModesProjectsAndElements) {
  const struct {
    std::vector<std::string> args;
    int32_t mode, element;
    std::string project;  // relative to the installation, "" for none
  } cases[] = {
      {{"--dir", "/inst", "run", "demo"}, 1, 0, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "edit", "demo"}, 3, 0, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "edit", "demo", "4"}, 3, 4, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "brain", "demo", "3"}, 13, 3, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "params", "demo", "2"}, 5, 2, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "collisions", "demo"}, 2, 0, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "area", "demo", "1"}, 14, 1, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "background", "demo"}, 15, 0, "projects/demo/demo.prj"},
      {{"--dir", "/inst", "builder"}, 6, 0, ""},
      {{"--dir", "/inst", "visuals"}, 7, 0, ""},
      {{"--dir", "/inst", "explosions"}, 8, 0, ""},
      {{"--dir", "/inst", "rename"}, 9, 0, ""},
      {{"--dir", "/inst", "mode", "10"}, 10, 0, ""},
      {{"--dir", "/inst/", "run", "projects/x/y.prj"}, 1, 0, "projects/x/y.prj"},
  };
  for (const auto& c : cases) {
    Request r;
    std::string error;
    bool help = false;
    ASSERT_TRUE(parse_command_line(c.args, r, error, help)) << c.args[2] << ": " << error;
    EXPECT_EQ(r.install_dir, "/inst");
    EXPECT_EQ(r.mode, c.mode) << c.args[2];
    EXPECT_EQ(r.element, c.element) << c.args[2];
    EXPECT_EQ(r.project, c.project.empty() ? "" : "/inst/" + c.project) << c.args[2];
    EXPECT_FALSE(r.play);
  }
}

TEST(FrontEnd, RejectsWhatItCannotRun) {
  const std::vector<std::vector<std::string>> bad = {
      {},                                 // no command
      {"launch", "demo"},                 // unknown command
      {"run"},                            // project missing
      {"run", "a", "b"},                  // too many
      {"brain", "demo"},                  // element missing
      {"brain", "demo", "x"},             // element not a number
      {"brain", "demo", "256"},           // beyond the element table
      {"builder", "demo"},                // takes nothing
      {"mode"},                           // number missing
      {"--frames", "0", "run", "demo"},   // frames must be positive
      {"--dir"},                          // value missing
      {"--colour", "run", "demo"},        // unknown option
      {"browse"},                         // what to browse missing
      {"browse", "visuals", "a", "b"},    // too many
      {"build"},                          // list missing
      {"--dir", "/nowhere", "build", "levels"},  // no such list
      {"play", "a", "b"},                 // one folder at most
  };
  for (const auto& args : bad) {
    Request r;
    std::string error;
    bool help = false;
    EXPECT_FALSE(parse_command_line(args, r, error, help));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(help);
  }
  Request r;
  std::string error;
  bool help = false;
  EXPECT_FALSE(parse_command_line({"run", "--help"}, r, error, help));
  EXPECT_TRUE(help);
  EXPECT_NE(std::string(help_text()).find("runmode.ini"), std::string::npos);
}

TEST(FrontEnd, BrowseOpensAChooserInModeTen) {
  Request r;
  std::string error;
  bool help = false;
  ASSERT_TRUE(parse_command_line({"--dir", "/inst", "browse", "visuals", "/data/vis"}, r, error, help)) << error;
  EXPECT_EQ(r.mode, 10);
  EXPECT_TRUE(r.project.empty());
  const std::vector<std::pair<std::string, std::string>> expected = {{"KORVA_CHOOSER", "visuals"},
                                                                     {"KORVA_CHOOSER_FOLDER", "/data/vis"}};
  EXPECT_EQ(r.environment, expected);
}

TEST(FrontEnd, RunModeFileHasFiveCrLfLines) {
  Request r;
  r.project = "/inst/projects/demo/demo.prj";
  r.mode = 13;
  r.element = 7;
  EXPECT_EQ(runmode_text(r), "/inst/projects/demo/demo.prj\r\n13\r\n7\r\n0\r\n0\r\n");
  r.project.clear();
  r.mode = 6;
  r.element = 0;
  EXPECT_EQ(runmode_text(r), "\r\n6\r\n0\r\n0\r\n0\r\n");
}

TEST(FrontEnd, OptionsBecomeTheChildsEnvironmentAndPlayNeedsNoProject) {
  Request r;
  std::string error;
  bool help = false;
  ASSERT_TRUE(parse_command_line({"--dir", "/inst", "--headless", "--fast", "--frames", "90", "play"}, r, error, help));
  EXPECT_TRUE(r.play);
  EXPECT_TRUE(r.project.empty());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"KORVA_HEADLESS", "1"}, {"KORVA_FAST", "1"}, {"KORVA_MAX_FRAMES", "90"}};
  EXPECT_EQ(r.environment, expected);
}

TEST(FrontEnd, BuildNamesASavedListAndPlayAnyStandAloneFolder) {
  const fs::path dir = fs::temp_directory_path() / ("korva-go-build-" + std::to_string(getpid()));
  fs::create_directories(dir / "multilev");
  std::ofstream(dir / "multilev" / "levels.mlv") << "\r\n";
  Request r;
  std::string error;
  bool help = false;
  ASSERT_TRUE(parse_command_line({"--dir", dir.string(), "build", "levels"}, r, error, help)) << error;
  EXPECT_EQ(r.mode, 6);
  EXPECT_EQ(r.project, dir.string() + "/multilev/levels.mlv");
  EXPECT_EQ(runmode_text(r), dir.string() + "/multilev/levels.mlv\r\n6\r\n0\r\n0\r\n0\r\n");
  ASSERT_TRUE(parse_command_line({"--dir", dir.string(), "play", "/games/mine"}, r, error, help)) << error;
  EXPECT_TRUE(r.play);
  EXPECT_EQ(r.play_dir, "/games/mine");
  fs::remove_all(dir);
}

TEST(FrontEnd, FilesForTheChildAreTakenFromTheUsersFolder) {
  const fs::path here = fs::current_path();
  const struct {
    const char* what;
    const char* input_variable;  // KORVA_INPUT in our environment, or null
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> expected;
  } cases[] = {
      {"relative screenshot", nullptr, {"--screenshot", "shots/a.png"},
       {{"KORVA_SCREENSHOT", (here / "shots/a.png").string()}}},
      {"relative input script", "scripts/keys.txt", {},
       {{"KORVA_INPUT", (here / "scripts/keys.txt").string()}}},
      {"absolute input script stays as it is", "/keys.txt", {}, {}},
  };
  for (const auto& c : cases) {
    if (c.input_variable) setenv("KORVA_INPUT", c.input_variable, 1);
    std::vector<std::string> args = {"--dir", "/inst"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back("builder");
    Request r;
    std::string error;
    bool help = false;
    EXPECT_TRUE(parse_command_line(args, r, error, help)) << c.what << ": " << error;
    EXPECT_EQ(r.environment, c.expected) << c.what;
    unsetenv("KORVA_INPUT");
  }
}

// A fake korva stands in for the real one: each script ends the way a real run can end.
TEST(FrontEnd, ExitStatusTellsWhetherTheRunEndedNormally) {
  const fs::path dir = fs::temp_directory_path() / ("korva-go-status-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "data");
  fs::create_directories(dir / "temp");
  const std::string write_marker = "printf 'wasok\\r\\n' > temp/wasok.dat\n";
  const struct {
    const char* what;
    std::string command;  // the mode's command after the options
    std::string script;   // the fake korva's body
    bool stale_marker;    // a marker of an earlier run lies in temp/
    int32_t status;
  } cases[] = {
      {"normal end with marker", "run", write_marker + "exit 0\n", false, 0},
      {"marker missing", "run", "exit 0\n", false, 1},
      {"an old marker does not count", "run", "exit 0\n", true, 1},
      {"marker with other text", "run", "echo broken > temp/wasok.dat\n", false, 1},
      {"killed by a signal", "run", "kill -KILL $$\n", false, 128 + 9},
      {"non-zero exit despite the marker", "run", write_marker + "exit 3\n", false, 3},
      {"an editor ends normally without a marker", "builder", "exit 0\n", false, 0},
      {"an editor that fails", "builder", "echo 'korva: missing' >&2\nexit 1\n", false, 1},
      {"an editor killed by a signal", "visuals", "kill -TERM $$\n", false, 128 + 15},
  };
  const fs::path fake = dir / "fake-korva";
  for (const auto& c : cases) {
    {
      std::ofstream s(fake);
      s << "#!/bin/sh\n" << c.script;
    }
    chmod(fake.c_str(), 0755);
    fs::remove(dir / "temp/wasok.dat");
    if (c.stale_marker) std::ofstream(dir / "temp/wasok.dat") << "wasok\r\n";
    std::vector<std::string> args = {"--dir", dir.string(), "--korva", fake.string(), c.command};
    if (c.command == "run") args.push_back("demo");
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    const int32_t status = front_end_main(args, "", out, err);
    std::string err_text(4096, '\0');
    std::rewind(err);
    err_text.resize(std::fread(err_text.data(), 1, err_text.size(), err));
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(status, c.status) << c.what << "\n" << err_text;
    if (c.status == 0) {
      EXPECT_EQ(err_text, "") << c.what;
    } else {
      // One line of reason; korva's own stderr goes straight through, not into ours.
      EXPECT_TRUE(err_text.ends_with("\n")) << c.what;
      EXPECT_EQ(err_text.find('\n'), err_text.size() - 1) << c.what << ": " << err_text;
      EXPECT_TRUE(err_text.starts_with("korva-go: ")) << c.what << ": " << err_text;
    }
  }
  fs::remove_all(dir);
}

TEST(FrontEnd, StartsKorvaInTheFolderAndReportsItsExitStatus) {
  const fs::path dir = fs::temp_directory_path() / ("korva-go-test-" + std::to_string(getpid()));
  fs::create_directories(dir / "data");
  const fs::path fake = dir / "fake-korva";
  {
    std::ofstream s(fake);
    s << "#!/bin/sh\npwd > seen.txt\necho \"$KORVA_MAX_FRAMES\" >> seen.txt\nexit 3\n";
  }
  chmod(fake.c_str(), 0755);
  EXPECT_EQ(find_korva(fake.string(), ""), fake.string());
  EXPECT_EQ(find_korva("", (dir / "korva-go").string()), "korva");  // nothing beside it: PATH

  const RunResult r = start_and_wait(fake.string(), dir.string(), {{"KORVA_MAX_FRAMES", "12"}});
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(r.exit_status, 3);
  std::ifstream seen(dir / "seen.txt");
  std::string cwd, frames;
  std::getline(seen, cwd);
  std::getline(seen, frames);
  EXPECT_EQ(fs::canonical(cwd), fs::canonical(dir));
  EXPECT_EQ(frames, "12");

  Request w;
  w.install_dir = dir.string();
  w.project = "/x.prj";
  std::string error;
  ASSERT_TRUE(write_runmode(w, error)) << error;
  EXPECT_EQ(fs::file_size(dir / "runmode.ini"), std::string("/x.prj\r\n1\r\n0\r\n0\r\n0\r\n").size());

  const RunResult missing = start_and_wait((dir / "no-such-korva").string(), dir.string(), {});
  EXPECT_FALSE(missing.started);
  EXPECT_FALSE(missing.error.empty());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva::go
