// Projects made by korva-mkdata, run headless by the real korva with brains as host code and
// again interpreted (KORVA_BRAIN_INTERPRETER=1): both runs must end the same way and show the
// same last picture, byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace korva {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

struct ProjectCase {
  const char* project;  // below the installation
  int frames;
};

class BackEndProjectRun : public ::testing::TestWithParam<ProjectCase> {};

TEST_P(BackEndProjectRun, NativeAndInterpretedBrainsGiveTheSameRun) {
  const ProjectCase& c = GetParam();
  const fs::path bin(KORVA_BINARY_DIR);
  for (const char* program : {"korva-mkdata", "korva"})
    if (!fs::exists(bin / program)) GTEST_SKIP() << program << " is not built";
  const fs::path dir = fs::temp_directory_path() / ("korva-back-ends-" + std::to_string(getpid()));
  fs::remove_all(dir);
  ASSERT_EQ(std::system(((bin / "korva-mkdata").string() + " --quiet " + dir.string()).c_str()), 0);
  std::ofstream(dir / "runmode.ini", std::ios::binary) << c.project << "\r\n1\r\n0\r\n0\r\n0\r\n";
  std::string pictures[2], messages[2];
  for (int interpreted = 0; interpreted < 2; ++interpreted) {
    const std::string shot = "shot" + std::to_string(interpreted) + ".png";
    const std::string err = "stderr" + std::to_string(interpreted) + ".txt";
    const std::string run = "cd '" + dir.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY KORVA_HEADLESS=1" +
                            " KORVA_FAST=1 KORVA_MAX_FRAMES=" + std::to_string(c.frames) +
                            " KORVA_BRAIN_INTERPRETER=" + std::to_string(interpreted) + " KORVA_SCREENSHOT=" + shot +
                            " '" + (bin / "korva").string() + "' 2> " + err;
    ASSERT_EQ(std::system(run.c_str()), 0) << read_file(dir / err);
    pictures[interpreted] = read_file(dir / shot);
    messages[interpreted] = read_file(dir / err);
  }
  EXPECT_GT(pictures[0].size(), 1000u);
  EXPECT_TRUE(pictures[0] == pictures[1]) << c.project << ": the last pictures differ";
  EXPECT_EQ(messages[0], messages[1]);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Projects, BackEndProjectRun,
                         ::testing::Values(ProjectCase{"projects/demo/demo.prj", 60},
                                           ProjectCase{"projects/race/race.prj", 90}));

}  // namespace
}  // namespace korva
