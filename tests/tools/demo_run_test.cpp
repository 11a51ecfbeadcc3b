// The installation end to end: korva-mkdata writes a folder, korva-go runs the demo in it
// headless, and korva ends cleanly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

TEST(DemoRun, MkdataThenFrontEndRunsTheDemoHeadless) {
  const fs::path bin(KORVA_BINARY_DIR);
  for (const char* program : {"korva-mkdata", "korva-go", "korva"}) {
    if (!fs::exists(bin / program)) GTEST_SKIP() << program << " is not built";
  }
  const fs::path dir = fs::temp_directory_path() / ("korva-demo-run-" + std::to_string(getpid()));
  fs::remove_all(dir);
  const std::string mkdata = (bin / "korva-mkdata").string() + " --quiet " + dir.string();
  ASSERT_EQ(std::system(mkdata.c_str()), 0);
  const std::string run = "cd / && " + (bin / "korva-go").string() + " --dir " + dir.string() +
                          " --headless --fast --frames 60 run demo > " + (dir / "go.txt").string() + " 2>&1";
  const int status = std::system(run.c_str());
  std::ifstream log(dir / "go.txt");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(status, 0) << text.str();
  EXPECT_NE(text.str().find("korva ended with exit status 0"), std::string::npos) << text.str();
  std::ifstream runmode(dir / "runmode.ini", std::ios::binary);
  std::string first;
  std::getline(runmode, first);
  EXPECT_EQ(first, (dir / "projects/demo/demo.prj").string() + "\r");
  fs::remove_all(dir);
}

}  // namespace
