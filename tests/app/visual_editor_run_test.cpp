// The visual editor (mode 7) in a real run of korva in a fresh installation, headless and under
// scripted input: a visual built from two parts with a texture is saved, and a project run
// draws it as the editor's preview did.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editor_script.h"
#include "golden.h"
#include "installation_run.h"
#include "tds_file.h"
#include "platform/platform.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

// A box of half sizes (hx, hy, hz) as a .3ds file of one mesh (written z-up, as the format is).
std::string box_3ds(float hx, float hy, float hz) {
  std::vector<std::array<float, 3>> corners;
  for (int i = 0; i < 8; ++i) corners.push_back({i & 1 ? hx : -hx, i & 2 ? hy : -hy, i & 4 ? hz : -hz});
  // Corners by bits (x 1, y 2, z 4); two triangles a side, wound both ways so every side shows.
  const uint16_t sides[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  std::vector<std::array<uint16_t, 3>> faces;
  for (const auto& q : sides)
    for (const std::array<uint16_t, 3>& t : {std::array<uint16_t, 3>{q[0], q[1], q[2]}, {q[0], q[2], q[3]},
                                             {q[0], q[2], q[1]}, {q[0], q[3], q[2]}})
      faces.push_back(t);
  return test_files::tds_file(corners, faces, "bar");
}

// A 24-bit BMP of one colour, with a black square of side `hole` in its middle.
std::string plain_bmp(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b, int32_t hole = 0) {
  const int32_t row = (w * 3 + 3) & ~3;
  std::string f(54 + size_t(row) * size_t(h), '\0');
  auto word = [&](size_t at, uint32_t v) { std::memcpy(f.data() + at, &v, 4); };
  f[0] = 'B';
  f[1] = 'M';
  word(2, uint32_t(f.size()));
  word(10, 54);
  word(14, 40);
  word(18, uint32_t(w));
  word(22, uint32_t(h));
  f[26] = 1;
  f[28] = 24;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t at = 54 + size_t(y) * size_t(row) + size_t(x) * 3;
      const bool black = 2 * std::abs(2 * x + 1 - w) < 2 * hole && 2 * std::abs(2 * y + 1 - h) < 2 * hole;
      f[at] = black ? '\0' : char(b);
      f[at + 1] = black ? '\0' : char(g);
      f[at + 2] = black ? '\0' : char(r);
    }
  return f;
}

class VisualEditorRun : public InstallationRun {
 protected:
  VisualEditorRun() : InstallationRun("visual-editor-run") {}
  // Pixels of a picture that are clearly red, green and blue, however dimly lit or blended.
  void count_colours(const std::string& png, int64_t& reds, int64_t& greens, int64_t& blues) {
    std::vector<uint8_t> rgb;
    int32_t w = 0, h = 0;
    reds = greens = blues = 0;
    ASSERT_TRUE(platform::image_load_rgb((dir / png).string(), rgb, w, h)) << png;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
      const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
      reds += r > g + 40 && r > b + 40;
      greens += g > r + 40 && g > b + 40;
      blues += b > r + 40 && b > g + 40;
    }
  }
};

using editor_script::click_entry;
using editor_script::click_line;
using editor_script::keys;

TEST_F(VisualEditorRun, AVisualOfTwoPartsWithATextureIsSavedAndRendersInARun) {
  // The first cells of the browsers: the visual to start from, the textures and the model.
  write("visuals/aaa.v3d", read("visuals/default_.v3d"));
  write("images/aaa_red.bmp", plain_bmp(16, 16, 230, 20, 20));
  write("images/aab_window.bmp", plain_bmp(16, 16, 40, 90, 230, 6));
  write("visuals/aaa_bar.3ds", box_3ds(1.0f, 0.15f, 0.15f));
  // The cube's six views red but for a blue front with a hole (black made transparent); a
  // second part from the bar in plain green, half see-through.
  const std::string script = "30 click 120 140\n"                                                 // aaa.v3d
                             + click_line(70, 6) + click_entry(95, 6, 0) + "125 click 120 140\n"   // BACK: aaa_red
                             + click_line(160, 6) + click_entry(185, 6, 2) + "215 click 320 140\n" // FRONT: aab_window
                             + click_line(250, 8) + click_entry(275, 2, 1)         // TRANSPARENCY: YES
                             + click_line(305, 2) + click_entry(330, 3, 0)         // PART: ADD NEW PART
                             + click_line(360, 3) + "400 click 120 140\n"          // PART SOURCE: aaa_bar.3ds
                             + click_line(440, 7) + click_entry(470, 4, 0)         // TEXTURE MODE: COLOR ONLY
                             + click_line(500, 14) + keys(530, "BACKSPACE", 11) +  // COLOR
                             "545 text 0-255-0\n555 key RETURN\n" + click_line(590, 9) +
                             click_entry(615, 2, 1) +                              // TRANSLUCENCY: YES
                             "650 key ESC\n" + keys(680, "BACKSPACE", 8) + "690 text twoparts\n700 key RETURN\n";
  write("edit.txt", script);
  const std::string before = read("visuals/aaa.v3d");
  ASSERT_EQ(run("\r\n7\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=edit.txt"), 0)
      << read("stderr.txt");
  const std::string saved = read("visuals/twoparts/twoparts.v3d");
  EXPECT_EQ(read("visuals/aaa.v3d"), before);
  ASSERT_NE(saved, "") << read("stderr.txt");
  EXPECT_TRUE(saved.starts_with("1|./images/aaa_red.bmp|./visuals/default_.3ds|1|3|0|0|0|1|")) << saved;
  EXPECT_NE(saved.find("|0|1|./visuals/default_.3ds|0||./images/aab_window.bmp\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\r\n1|./images/default_.bmp|./visuals/aaa_bar.3ds|0|"), std::string::npos) << saved;
  EXPECT_NE(saved.find("|25000|0|0|0|0|0|0|0|0|1|0|0|0|0|255|0|0|0|./visuals/aaa_bar.3ds|0\r\n"), std::string::npos)
      << saved;

  // A project with a camera, two lights and the visual: the run shows the red cube with its
  // blue front, the green bar through its hole and, half see-through, outside it, as the
  // preview did.
  const std::string tail = "|./sounds/null_.wav|-|0|0.8|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|"
                           "0.000|0.000|0|0|0|0|0|1|0|1|0|0|";
  // The visual tilted and turned, so that its front, top and a side are in view.
  const std::string turned = "|./sounds/null_.wav|-|0|0.8|0|0|0|0|25.000|35.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|"
                             "0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|";
  write("projects/vis/vis.prj",
        ";the edited visual\r\n5\r\n"
        "Camera|./cameras/default_.03d|./sounds/null_.wav|-|0|1.8|-3.5|0|0|0|8.000|0|0.000|0|0|0|0.000|0.000|0.000|"
        "0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0\r\n"
        "Sun|./visuals/light_.l3d" + tail + "10|3/16777215/1023|0/1|4096/2/50/0|0\r\n"
        "Sky|./visuals/light_.l3d" + tail + "10|0/4210752/1023|0/1|4096/2/50/0|0\r\n"
        "Thing|./visuals/twoparts/twoparts.v3d" + turned + "11|0/0/639/479/0x0|0/1|4096/2/50/0|0\r\n"
        "Wall|./bckgrnds/wall.g3d" + tail + "7|0/0/639/479/0x0|0/1|4096/2/50/0|0\r\n"
        "./bckgrnds/bkgr000_.bmp|1|0\r\n"
        "@0\r\n; nothing\r\n@1\r\n; nothing\r\n@2\r\n; nothing\r\n@3\r\n; nothing\r\n@4\r\n; nothing\r\n");
  write("bckgrnds/wall.g3d", "color=131\r\n");  // a grey that shows what lies behind the hole
  write("projects/vis/vis.col", std::string(65536, '\0'));
  ASSERT_EQ(run("projects/vis/vis.prj\r\n1\r\n0\r\n0\r\n0\r\n", "KORVA_SCREENSHOT=run.png"), 0) << read("stderr.txt");
  int64_t reds = 0, greens = 0, blues = 0;
  count_colours("run.png", reds, greens, blues);
  EXPECT_GT(reds, 1000);
  EXPECT_GT(greens, 100);
  EXPECT_GT(blues, 1000);
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(platform::image_load_rgb((dir / "run.png").string(), rgb, w, h));
  golden::expect_rgb(rgb, w, h, "app", "visual_editor_run", golden::kRendered3D);
}

// Leaving without a name writes nothing; neither does a run whose script ends in the editor.
TEST_F(VisualEditorRun, NothingIsWrittenWithoutANameTakenWithEnter) {
  write("visuals/aaa.v3d", read("visuals/default_.v3d"));
  const auto listing = [&] {
    std::string all;
    for (const auto& e : fs::recursive_directory_iterator(dir / "visuals")) all += e.path().string() + "\n";
    return all;
  };
  const std::string before = listing();
  write("leave.txt", "30 click 120 140\n" + click_line(70, 11) + click_entry(100, 4, 0) + "130 key ESC\n160 key ESC\n");
  ASSERT_EQ(run("\r\n7\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=leave.txt"), 0) << read("stderr.txt");
  EXPECT_EQ(listing(), before);
  write("ends.txt", "30 click 120 140\n" + click_line(70, 11) + click_entry(100, 4, 0));
  ASSERT_EQ(run("\r\n7\r\n0\r\n0\r\n0\r\n", "KORVA_INPUT=ends.txt"), 0) << read("stderr.txt");
  EXPECT_EQ(listing(), before);
  EXPECT_NE(read("stderr.txt").find("the visual was not saved"), std::string::npos) << read("stderr.txt");
}

}  // namespace
}  // namespace korva
