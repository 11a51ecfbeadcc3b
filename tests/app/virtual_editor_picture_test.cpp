// The virtual editor's four views as a user sees them: the demo project in a fresh
// installation, mode 3 on the ball, the pointer resting on a menu bar icon (its tooltip shown),
// the help and status lines at the bottom; each picture compared with its reference.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "golden.h"
#include "platform/platform.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

TEST(VirtualEditorPicture, EachViewWithMenuBarTooltipAndStatusLine) {
  const fs::path bin(KORVA_BINARY_DIR);
  const fs::path dir = fs::temp_directory_path() / ("korva-virtual-picture-" + std::to_string(getpid()));
  fs::remove_all(dir);
  ASSERT_EQ(std::system(((bin / "korva-mkdata").string() + " --quiet " + dir.string()).c_str()), 0);
  struct View {
    const char* name;
    const char* key;  // the view's key
    int icon;         // the icon the pointer rests on
  };
  for (const View v : {View{"virtual_camera", "F5", 3}, View{"virtual_top", "F6", 4}, View{"virtual_back", "F7", 5},
                       View{"virtual_right", "F8", 6}}) {
    SCOPED_TRACE(v.name);
    std::ofstream(dir / "input.txt", std::ios::binary)
        << "2 key " << v.key << "\n4 mouse " << 16 * v.icon + 8 << " 10 0\n6 mouse " << 16 * v.icon + 9 << " 10 0\n";
    std::ofstream(dir / "runmode.ini", std::ios::binary) << "projects/demo/demo.prj\r\n3\r\n3\r\n0\r\n0\r\n";
    const std::string shot = (dir / "shot.png").string();
    const std::string run = "cd '" + dir.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY KORVA_HEADLESS=1" +
                            " KORVA_INPUT=input.txt KORVA_SCREENSHOT='" + shot + "' '" + (bin / "korva").string() +
                            "' 2> stderr.txt";
    ASSERT_EQ(std::system(run.c_str()), 0);
    std::vector<uint8_t> rgb;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(platform::image_load_rgb(shot, rgb, w, h)) << "no screenshot";
    golden::expect_rgb(rgb, w, h, "app", v.name, golden::kRendered3D);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva
