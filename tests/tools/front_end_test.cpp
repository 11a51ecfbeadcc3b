// The front end: commands become the right runmode.ini lines, projects resolve by name or
// path, and korva is started in the installation folder with the requested environment.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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
