// docs/tutorial.md is a script: every command of its "sh" blocks runs here in order, against a
// fresh installation, and must succeed; the game it builds moves its player with the arrow keys.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> tutorial_commands() {
  std::ifstream in(std::string(KORVA_SOURCE_DIR) + "/docs/tutorial.md");
  std::vector<std::string> out;
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("```")) {
      inside = !inside && line == "```sh";
      continue;
    }
    if (inside && !line.empty()) out.push_back(line);
  }
  return out;
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
  return s;
}

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Tutorial, EveryStepRuns) {
  const fs::path bin(KORVA_BINARY_DIR);
  for (const char* program : {"korva-mkdata", "korva-go", "korva"}) {
    if (!fs::exists(bin / program)) GTEST_SKIP() << program << " is not built";
  }
  const std::string dir = (fs::temp_directory_path() / ("korva-tutorial-" + std::to_string(getpid()))).string();
  fs::remove_all(dir);
  const std::string input = dir + "-right.txt";
  std::ofstream(input) << "1 down RIGHT\n";  // the player holds the right arrow during every run

  const std::vector<std::string> commands = tutorial_commands();
  ASSERT_GE(commands.size(), 10u);
  int32_t runs = 0, builds = 0;
  for (const std::string& written : commands) {
    std::string c = replace_all(written, "~/korva", dir);
    if (c.starts_with("export KORVA_HOME=")) continue;  // every command below names the folder
    std::string command;
    if (c.starts_with("korva-mkdata ")) {
      command = (bin / "korva-mkdata").string() + " --quiet " + c.substr(13);
    } else if (c.starts_with("korva-go run ")) {
      command = "KORVA_INPUT=" + input + " " + (bin / "korva-go").string() + " --dir " + dir +
                " --headless --fast --frames 30 --screenshot " + dir + "/run" + std::to_string(runs++) + ".png " +
                c.substr(9);
    } else if (c.starts_with("korva-go build ") || c == "korva-go play") {
      // Packaging and playing without a window; the game ends after a second.
      command = (bin / "korva-go").string() + " --dir " + dir + " --headless --fast --frames 30 " + c.substr(9);
      builds += c == "korva-go play";
    } else if (c.starts_with("printf ")) {
      command = c;  // writes a file of the installation
    } else if (c.starts_with("korva-go ")) {
      command = (bin / "korva-go").string() + " --dir " + dir + " " + c.substr(9);
    } else {
      ADD_FAILURE() << "the tutorial has a step the test does not know: " << written;
      continue;
    }
    ASSERT_EQ(run("cd / && " + command + " > " + dir + "-step.txt 2>&1"), 0) << written;
  }
  ASSERT_EQ(runs, 2);
  EXPECT_EQ(builds, 1);
  EXPECT_TRUE(fs::exists(dir + "/korvaexe/korvaexe"));
  EXPECT_TRUE(fs::exists(dir + "/korvaexe/level001.prj"));

  // The same game without the key: the ball stays where it started, so the pictures differ.
  ASSERT_EQ(run((bin / "korva-go").string() + " --dir " + dir + " --headless --fast --frames 30 --screenshot " + dir +
                "/still.png run mygame > /dev/null 2>&1"),
            0);
  std::vector<uint8_t> moved, still;
  int32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  ASSERT_TRUE(korva::platform::image_load_rgb(dir + "/run0.png", moved, w1, h1));
  ASSERT_TRUE(korva::platform::image_load_rgb(dir + "/still.png", still, w2, h2));
  EXPECT_EQ(w1, w2);
  EXPECT_NE(moved, still) << "the arrow key did not move the player";
  fs::remove_all(dir);
  fs::remove(input);
  fs::remove(dir + "-step.txt");
}

}  // namespace
