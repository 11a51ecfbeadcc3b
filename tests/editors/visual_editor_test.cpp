// The visual editor: its frames and part lines, the property panel's texts, the frame list,
// and whole editing sessions driven by scripted clicks and keys with the rendered preview.
#include <filesystem>
#include <fstream>

#include "editor_script.h"
#include "editors/editors.h"
#include "golden.h"
#include "gui_fixture.h"
#include "platform/gl/gl.h"

namespace korva::test {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void put(const fs::path& p, const mkdata::Bytes& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void put(const fs::path& p, std::string_view text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// A part line with some fields (numbered from 1) replaced.
std::string with(std::string line, const std::vector<std::pair<int, std::string>>& fields) {
  std::vector<std::string> f;
  size_t start = 0;
  for (size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1) f.push_back(line.substr(start, bar - start));
  f.push_back(line.substr(start));
  for (const auto& [n, value] : fields) f[size_t(n - 1)] = value;
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) out += (i ? "|" : "") + f[i];
  return out;
}

// A coloured part with the given model (its own target), in frame `frame`.
std::string coloured(int32_t frame, const std::string& model, int r, int g, int b) {
  return with(default_part_line(frame), {{3, model}, {4, "0"}, {25, std::to_string(r)}, {26, std::to_string(g)},
                                         {27, std::to_string(b)}, {29, "0"}, {30, model}});
}

TEST(VisualDocument, FramesAreGroupedByNumberAndRenumberedOnSaving) {
  const struct {
    const char* text;
    std::vector<size_t> parts_per_frame;
    std::vector<std::string> first_fields;  // field 2 of each frame's first part
  } cases[] = {
      {"2|b|m\r\n1|a|m\r\n2|c|m\r\n", {1, 2}, {"a", "b"}},
      {"5|x|m\n\nnot a part line\n5|y|m", {2}, {"x"}},
      {"", {1}, {"./images/default_.bmp"}},
      {"garbage without bars", {1}, {"./images/default_.bmp"}},
      {"-3|n|m\r\n0|z|m\r\n", {1, 1}, {"n", "z"}},
  };
  for (const auto& c : cases) {
    const VisualDocument d = visual_document_from_text(c.text);
    ASSERT_EQ(d.frames.size(), c.parts_per_frame.size()) << c.text;
    for (size_t f = 0; f < d.frames.size(); ++f) {
      EXPECT_EQ(d.frames[f].size(), c.parts_per_frame[f]) << c.text;
      EXPECT_EQ(std::string(field_view(d.frames[f][0], 2, '|')), c.first_fields[f]) << c.text;
    }
  }
  const VisualDocument d = visual_document_from_text("7|a|m\r\n9|b|m|0\r\n7|c|m\r\n");
  // Frames take the numbers 1, 2, ...; short lines are completed with "0" fields.
  const std::string text = visual_document_text(d);
  EXPECT_TRUE(text.starts_with("1|a|m\r\n1|c|m\r\n2|b|m|0\r\n")) << text;
}

TEST(VisualDocument, PanelLabelsDashesAndOptionalMarks) {
  VisualDocument d;
  d.name = "car";
  d.frames = {{default_part_line(1), coloured(1, "./3dsfiles/b.3ds", 10, 20, 30)}, {default_part_line(2)}};
  EXPECT_EQ(visual_panel_lines(d, 0, 0), (std::vector<std::string>{
                                             "VISUAL NAME...: car",
                                             "FRAME.........# 1 of 2",
                                             "PART..........# 1 of 2",
                                             "PART SOURCE...: ./visuals/default_.3ds",
                                             "PART TARGET.... [opt]",
                                             "MORPHING:.....% -",
                                             "TEXTURE NAME..: ./images/default_.bmp",
                                             "TEXTURE MODE..: SIX VIEWS",
                                             "TRANSPARENCY..: NO",
                                             "TRANSLUCENCY..: NO",
                                             "WRAP DIRECTION: -",
                                             "QUALITY.......: GOURAUD",
                                             "MATERIAL......: DULL",
                                             "FACES FLIP....: NO",
                                             "COLOR.........: -",
                                         }));
  const auto colour = visual_panel_lines(d, 0, 1);
  EXPECT_EQ(colour[2], "PART..........# 2 of 2");
  EXPECT_EQ(colour[6], "TEXTURE NAME..: -");
  EXPECT_EQ(colour[7], "TEXTURE MODE..: COLOR ONLY");
  EXPECT_EQ(colour[8], "TRANSPARENCY..: -");
  EXPECT_EQ(colour[10], "WRAP DIRECTION: -");
  EXPECT_EQ(colour[14], "COLOR.........: 10-20-30");
  // A part with its own target: the morphing applies; a wrapped texture shows its direction.
  std::string& line = d.frames[1][0];
  line = "1|t.bmp|a.3ds|3|1|5|0|1|1|0|2|0|0|0|0|0|0|0|0|0|1|0|0|0|255|255|255|0|0|b.3ds|40";
  const auto morph = visual_panel_lines(d, 1, 0);
  EXPECT_EQ(morph[1], "FRAME.........# 2 of 2");
  EXPECT_EQ(morph[4], "PART TARGET.... b.3ds [opt]");
  EXPECT_EQ(morph[5], "MORPHING:.....% 40 [opt]");
  EXPECT_EQ(morph[7], "TEXTURE MODE..: CYLINDRICAL WRAP");
  EXPECT_EQ(morph[8], "TRANSPARENCY..: YES");
  EXPECT_EQ(morph[9], "TRANSLUCENCY..: YES");
  EXPECT_EQ(morph[10], "WRAP DIRECTION: SPHERE");
  EXPECT_EQ(morph[11], "QUALITY.......: UNLITFLAT");
  EXPECT_EQ(morph[12], "MATERIAL......: METAL");
  EXPECT_EQ(morph[13], "FACES FLIP....: YES");
}

TEST(VisualDocument, FrameListReordersCopiesAndDrops) {
  VisualDocument d;
  d.frames = {{"1|a"}, {"2|b"}, {"3|c"}};
  EXPECT_EQ(frames_list_text(d), "Re-arrange animation frames list:\r\n1\r\n2\r\n3\r\n");
  EXPECT_TRUE(rearrange_frames(d, "Re-arrange animation frames list:\r\n3\r\n 1\r\n1\r\n9\r\n0\r\nx\r\n"));
  ASSERT_EQ(d.frames.size(), 3u);
  EXPECT_EQ(d.frames[0][0], "3|c");
  EXPECT_EQ(d.frames[1][0], "1|a");
  EXPECT_EQ(d.frames[2][0], "1|a");
  // A list that names no frame changes nothing.
  EXPECT_FALSE(rearrange_frames(d, "Re-arrange animation frames list:\r\n\r\n42\r\n"));
  EXPECT_EQ(d.frames.size(), 3u);
}

// A blue image with a black square in its middle (a hole where black is transparent).
mkdata::ImageRgb window_image() {
  mkdata::ImageRgb image(16, 16, mkdata::Rgb{40, 90, 230});
  for (int32_t y = 5; y < 11; ++y)
    for (int32_t x = 5; x < 11; ++x) image.at(x, y) = mkdata::Rgb{0, 0, 0};
  return image;
}

// An installation in the fixture's folder: the default models, a red texture and a blue one
// with a black hole, a long bar model and a visual to start from.
struct EditorFixture : GuiFixture {
  EditorFixture() {
    str_set(*core->base_folder, dir.string() + "/");
    str_set(*core->data_folder, dir.string() + "/data/");
    fs::create_directories(dir / "data");
    const mkdata::Mesh cube = mkdata::make_box(0.5f, 0.5f, 0.5f);
    put(dir / "visuals/default_.3ds", mkdata::tds_encode(cube, "cube"));
    put(dir / "3dsfiles/default_.3ds", mkdata::tds_encode(cube, "cube"));
    put(dir / "visuals/bar.3ds", mkdata::tds_encode(mkdata::make_box(1.0f, 0.15f, 0.15f), "bar"));
    put(dir / "images/red.bmp", mkdata::bmp_encode(mkdata::ImageRgb(16, 16, mkdata::Rgb{230, 20, 20})));
    put(dir / "images/window.bmp", mkdata::bmp_encode(window_image()));
    put(dir / "visuals/start.v3d", default_part_line(1) + "\r\n");
  }
  // Takes a picture of the screen at a pump count.
  std::string shot_name;
  int64_t shot_at = -1;
  bool shot_taken = false;
  void picture_at(int64_t at, std::string name) {
    shot_at = at;
    shot_name = std::move(name);
    gui.io.pump = [this] {
      pump(*core);
      feed_input_script(script, input, core->pump_counter, 640, 480);
      if (!shot_taken && int64_t(core->pump_counter) == shot_at) {
        shot_taken = true;
        golden::expect_surface(screen.primary, "editors", shot_name, golden::kRendered3D);
      }
    };
  }
};

using editor_script::click_entry;
using editor_script::click_line;
using editor_script::keys;

// The session of the issue: the first part's six views red but for a front with a hole
// (black made transparent), a second part made from the bar in plain green, half see-through,
// and the visual saved as "twoparts".
std::string two_part_session(int64_t leave_at) {
  return "30 click 120 140\n"                                        // start.v3d
         + click_line(60, 6) + click_entry(85, 6, 0) + "115 click 120 140\n"   // TEXTURE NAME: BACK red.bmp
         + click_line(150, 6) + click_entry(175, 6, 2) + "205 click 320 140\n"  // FRONT: window.bmp
         + click_line(240, 8) + click_entry(265, 2, 1)              // TRANSPARENCY: YES
         + click_line(295, 2) + click_entry(320, 3, 0)              // PART: ADD NEW PART
         + click_line(350, 3) + "390 click 120 140\n"               // PART SOURCE: visuals/bar.3ds
         + click_line(430, 7) + click_entry(460, 4, 0)              // TEXTURE MODE: COLOR ONLY
         + click_line(490, 14) + keys(520, "BACKSPACE", 11)         // COLOR
         + "535 text 0-255-0\n545 key RETURN\n"
         + click_line(580, 9) + click_entry(605, 2, 1)              // TRANSLUCENCY: YES
         + std::to_string(leave_at) + " key ESC\n";
}

TEST(VisualEditor, BuildsAVisualOfTwoPartsWithATextureAndSavesIt) {
  SoftwareDevice sw;
  EditorFixture f;
  PreviewDevice device{&sw.devices, &sw.gl};
  f.script_input(two_part_session(650) + keys(680, "BACKSPACE", 8) + "690 text twoparts\n700 key RETURN\n");
  if (sw.ok) f.picture_at(618, "visual_editor_640");
  const fs::path saved = f.dir / "visuals/twoparts/twoparts.v3d";
  EXPECT_EQ(visual_editor(f.gui, sw.ok ? &device : nullptr), saved.string());
  const std::string green = with(default_part_line(1), {{3, "./visuals/bar.3ds"}, {4, "0"}, {21, "1"}, {25, "0"},
                                                        {26, "255"}, {27, "0"}, {29, "0"}, {30, "./visuals/bar.3ds"}});
  // The front view is field 33; the right view before it stays empty and shows field 2.
  const std::string red = with(default_part_line(1), {{2, "./images/red.bmp"}, {9, "1"}}) + "||./images/window.bmp";
  EXPECT_EQ(read(saved), red + "\r\n" + green + "\r\n");
  EXPECT_EQ(read(f.dir / "visuals/start.v3d"), default_part_line(1) + "\r\n");  // the start stays as it was
  EXPECT_FALSE(fs::exists(f.dir / "data/temp2.tmp"));
  EXPECT_TRUE(f.shot_taken || !sw.ok);

  // The saved visual renders as the preview showed it: the red cube with its blue front and
  // the green bar, however dimly lit or see-through.
  if (!sw.ok) return;
  const VisualDocument d = visual_document_from_text(read(saved));
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(render_frame_preview(device, d, 0, f.dir.string() + "/", 30.0f, 160, 120, rgb));
  int64_t shades[3] = {};
  for (size_t i = 0; i < rgb.size(); i += 3)
    for (size_t k = 0; k < 3; ++k)
      shades[k] += rgb[i + k] > 40 && rgb[i + k] > 2 * rgb[i + (k + 1) % 3] + 20 && rgb[i + k] > 2 * rgb[i + (k + 2) % 3] + 20;
  EXPECT_GT(shades[0], 300);  // red
  EXPECT_GT(shades[1], 100);  // green
  EXPECT_GT(shades[2], 300);  // blue
}

// Nothing is written unless the user names the visual and confirms: Escape at the name, a
// script that runs out, and " RENAME " at the overwrite question followed by a blank name.
TEST(VisualEditor, NoFileChangesBeforeTheUserConfirms) {
  const struct {
    const char* what;
    std::string after;  // the input after the session has left the editor at 650
  } cases[] = {
      {"escape at the name", "680 key ESC\n"},
      {"nobody answers", ""},
      {"blank name", keys(680, "BACKSPACE", 8) + "690 key RETURN\n"},
      {"rename, then blank", keys(680, "BACKSPACE", 8) + "690 text start\n700 key RETURN\n730 key DELETE\n" +
                                 keys(760, "BACKSPACE", 8) + "770 key RETURN\n"},
  };
  for (const auto& c : cases) {
    EditorFixture f;
    // An existing visual of that name, which the last case must not overwrite.
    put(f.dir / "visuals/start/start.v3d", "1|keep|me\r\n");
    f.script_input(two_part_session(650) + c.after);
    EXPECT_EQ(visual_editor(f.gui, nullptr), "") << c.what;
    EXPECT_EQ(read(f.dir / "visuals/start.v3d"), default_part_line(1) + "\r\n") << c.what;
    EXPECT_EQ(read(f.dir / "visuals/start/start.v3d"), "1|keep|me\r\n") << c.what;
    EXPECT_FALSE(fs::exists(f.dir / "visuals/myvisual")) << c.what;
  }
}

TEST(VisualEditor, AnExistingNameIsOverwrittenAfterContinue) {
  EditorFixture f;
  put(f.dir / "visuals/start/start.v3d", "1|old|line\r\n");
  f.script_input(two_part_session(650) + keys(680, "BACKSPACE", 8) + "690 text start\n700 key RETURN\n730 key RETURN\n");
  EXPECT_EQ(visual_editor(f.gui, nullptr), (f.dir / "visuals/start/start.v3d").string());
  const std::string text = read(f.dir / "visuals/start/start.v3d");
  EXPECT_TRUE(text.starts_with("1|./images/red.bmp|")) << text;
}

// A morph target and its percentage: "Morphing percentage" proposes "0"; an answer that is not
// a number changes nothing, and numbers are kept within 0..100.
TEST(VisualEditor, MorphTargetAndPercentage) {
  const struct {
    const char* typed;
    const char* field31;
  } cases[] = {{"40", "40"}, {"abc", "0"}, {"250", "100"}};
  for (const auto& c : cases) {
    EditorFixture f;
    f.script_input("30 click 120 140\n" + click_line(60, 4) + "100 click 120 140\n" + click_line(140, 5) +
                   "170 key BACKSPACE\n175 text " + c.typed + "\n180 key RETURN\n220 key ESC\n" +
                   keys(250, "BACKSPACE", 8) + "260 text morphed\n270 key RETURN\n");
    EXPECT_EQ(visual_editor(f.gui, nullptr), (f.dir / "visuals/morphed/morphed.v3d").string()) << c.typed;
    EXPECT_EQ(read(f.dir / "visuals/morphed/morphed.v3d"),
              with(default_part_line(1), {{30, "./visuals/bar.3ds"}, {31, c.field31}}) + "\r\n")
        << c.typed;
  }
}

// Parts whose models and textures are missing are drawn with the installation's default model
// in their plain colour; with no default model either, there is nothing to draw and no harm.
TEST(VisualEditor, MissingPartFilesFallBackToTheDefaults) {
  SoftwareDevice sw;
  if (!sw.ok) GTEST_SKIP() << "no software device";
  EditorFixture f;
  PreviewDevice device{&sw.devices, &sw.gl};
  VisualDocument d;
  d.frames = {{"1|./images/none.bmp|./3dsfiles/none.3ds|1|3|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|255|255|255|0|1|"}};
  std::vector<uint8_t> rgb;
  EXPECT_TRUE(render_frame_preview(device, d, 0, f.dir.string() + "/", 0.0f, 64, 48, rgb));
  fs::remove(f.dir / "3dsfiles/default_.3ds");
  EXPECT_FALSE(render_frame_preview(device, d, 0, f.dir.string() + "/", 0.0f, 64, 48, rgb));
  EXPECT_FALSE(render_frame_preview(device, d, 5, f.dir.string() + "/", 0.0f, 64, 48, rgb));
}

// Frames and parts: the frame list edited in the text editor (frame 1 copied after itself),
// then Page Down and the part delete of the only part, which is refused.
TEST(VisualEditor, FrameListAndNavigation) {
  EditorFixture f;
  put(f.dir / "visuals/start.v3d", "1|a|m\r\n1|b|m\r\n2|c|m\r\n");
  // The text editor opens on the list with the cursor on the heading: Down twice to the end
  // of frame 2's line, then a new line with "1" makes frame 1 the third frame as well.
  f.script_input("10 click 120 140\n" + click_line(40, 1) +
                 "80 key DOWN\n81 key DOWN\n82 key END\n83 key RETURN\n84 text 1\n90 key ESC\n" +
                 "120 key PAGEDOWN\n130 key PAGEDOWN\n" + click_line(150, 2) + click_entry(180, 3, 1) +
                 click_line(250, 2) + click_entry(280, 3, 1) + "310 key RETURN\n340 key ESC\n" +
                 keys(370, "BACKSPACE", 8) + "380 text moved\n390 key RETURN\n");
  EXPECT_EQ(visual_editor(f.gui, nullptr), (f.dir / "visuals/moved/moved.v3d").string());
  // Frame 3 (a copy of frame 1) lost its first part: the first delete took "a", the second
  // was refused since a frame keeps one part.
  EXPECT_EQ(read(f.dir / "visuals/moved/moved.v3d"), "1|a|m\r\n1|b|m\r\n2|c|m\r\n3|b|m\r\n");
}

}  // namespace
}  // namespace korva::test
