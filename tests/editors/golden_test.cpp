// Golden pictures of the toolkit's screens as presented on the display surface. A picture is
// compared with tests/editors/golden/NAME.png pixel for pixel; the picture of each run is
// written to <build>/golden_actual/NAME.png. KORVA_UPDATE_GOLDEN=1 rewrites the references.
// The comparison itself is tested here too.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "editors/editors.h"
#include "gui_fixture.h"
#include "golden.h"
#include "model/model.h"

namespace korva::test {
namespace {

// Compares the screen's visible surface with the reference picture. The panel screen is drawn
// from palette colours and a bitmap font, so nothing may differ.
void expect_golden(const platform::Screen& screen, const std::string& name) {
  golden::expect_surface(screen.primary, "editors", name, golden::kExact);
}

TEST(GoldenComparison, CatchesShiftsAndStrayPixelsWithinEachTolerance) {
  constexpr int32_t kW = 64, kH = 48;
  std::vector<uint8_t> reference(kW * kH * 3);
  for (size_t i = 0; i < reference.size(); ++i) reference[i] = static_cast<uint8_t>(i * 7 % 249);
  auto shifted = [&](size_t channel, int by) {
    std::vector<uint8_t> p = reference;
    for (size_t i = channel; i < p.size(); i += 3) p[i] = static_cast<uint8_t>(std::clamp(p[i] + by, 0, 255));
    return p;
  };
  auto with_stray_pixels = [&](int count) {
    std::vector<uint8_t> p = reference;
    for (int k = 0; k < count; ++k) p[size_t(k) * 97 * 3] ^= 0x80;  // an edge covered differently
    return p;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> picture;
    golden::Tolerance tolerance;
    bool passes;
  } cases[] = {
      {"identical, exact", reference, golden::kExact, true},
      {"identical, 3D", reference, golden::kRendered3D, true},
      {"red up by 3, exact", shifted(0, 3), golden::kExact, false},
      {"red up by 3, 3D", shifted(0, 3), golden::kRendered3D, false},
      {"blue down by 3, 3D", shifted(2, -3), golden::kRendered3D, false},
      {"green up by 1, exact", shifted(1, 1), golden::kExact, false},
      {"green up by 2 (last-bit rounding), 3D", shifted(1, 2), golden::kRendered3D, true},
      {"one stray pixel, exact", with_stray_pixels(1), golden::kExact, false},
      {"three stray pixels in 3072, 3D", with_stray_pixels(3), golden::kRendered3D, true},
      {"thirty stray pixels in 3072, 3D", with_stray_pixels(30), golden::kRendered3D, false},
  };
  for (const auto& c : cases) {
    const golden::Difference d = golden::compare(c.picture, reference, c.tolerance);
    EXPECT_EQ(d.passes, c.passes) << c.what << ": " << d.pixels << " pixels, worst " << d.worst;
  }
  EXPECT_FALSE(golden::compare(std::vector<uint8_t>(9), std::vector<uint8_t>(6), golden::kRendered3D).passes)
      << "pictures of different sizes never match";
}

// Snapshots the display at a given pump count while a modal box waits.
struct Snapshot {
  GuiFixture& f;
  int64_t at;
  bool taken = false;
  std::string name;
  Snapshot(GuiFixture& fixture, int64_t when, std::string picture)
      : f(fixture), at(when), name(std::move(picture)) {
    f.gui.io.pump = [this] {
      pump(*f.core);
      feed_input_script(f.script, f.input, f.core->pump_counter, f.screen.primary.width,
                        f.screen.primary.height);
      if (!taken && int64_t(f.core->pump_counter) == at) {
        taken = true;
        expect_golden(f.screen, name);
      }
    };
  }
};

void draw_editor_window(Gui& g) {
  gui_clear(g);
  gui_window(g, 96, 64, 548, 420, true);
  gui_reset_buttons(g);
  gui_set_colour(g, gui_skin_colour(g, skin::kWindowTextX));
  gui_print(g, "Element parameters", 120, 100);
  const char* labels[] = {" Load ", " Save ", " Rename ", " Erase "};
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t slot = gui_add_button(g, 120 + 100 * i, 130, 208 + 100 * i, 158, ButtonStyle::Raised);
    gui_label_button(g, labels[i], slot);
  }
  gui_print(g, "Name", 120, 190);
  const int32_t name = gui_add_button(g, 200, 184, 520, 212, ButtonStyle::Inset);
  gui_field_text(g, "Red racing car", name);
  gui_print(g, "Speed", 120, 230);
  const int32_t speed = gui_add_button(g, 200, 224, 360, 252, ButtonStyle::Inset);
  g.input->last_key = 0;
  gui_edit_field(g, "12|.5", "", speed);
  gui_raised_frame(g, 120, 280, 524, 396);
  gui_inset_frame(g, 132, 292, 300, 384);
  gui_print(g, "Frames: raised and inset", 320, 330);
}

TEST(GuiGolden, WindowWithButtonsAndFields) {
  GuiFixture f;
  draw_editor_window(f.gui);
  f.mouse(330, 142);
  gui_pump(f.gui);  // the mouse in panel coordinates
  f.mouse(330, 142);
  gui_present(f.gui);
  expect_golden(f.screen, "window_640");
}

TEST(GuiGolden, QuestionBox) {
  GuiFixture f;
  f.script_input("5 key RETURN\n");
  Snapshot shot(f, 2, "question_640");
  f.mouse(400, 300);
  EXPECT_EQ(gui_message_box(f.gui, "Erase the file \"car.brn\"?|It cannot be brought back.",
                            " NO! ", " YES "),
            1);
  EXPECT_TRUE(shot.taken);
}

TEST(GuiGolden, Notices) {
  GuiFixture f;
  gui_clear(f.gui);
  EXPECT_EQ(gui_message_box(f.gui, "Loading data, please wait...", "", ""), 0);
  expect_golden(f.screen, "notice_640");
  gui_message_box(f.gui, "", "", "");
  EXPECT_EQ(gui_message_box(f.gui, "The project was saved.|3 elements, 2 brains.", "", ""), 0);
  expect_golden(f.screen, "notice_lines_640");
}

TEST(GuiGolden, InputBoxWithTextAndCaret) {
  GuiFixture f;
  f.script_input("3 text my red car\n4 key LEFT\n5 key LEFT\n6 key LEFT\n30 key RETURN\n");
  Snapshot shot(f, 20, "input_640");
  EXPECT_EQ(gui_input_box(f.gui, 300, "", "Save recorded track as"), "my red car");
  EXPECT_TRUE(shot.taken);
}

TEST(GuiGolden, InputBoxWithAPromptOfSeveralLines) {
  GuiFixture f;
  f.script_input("3 key END\n30 key RETURN\n");
  Snapshot shot(f, 10, "input_lines_640");
  EXPECT_EQ(gui_input_box(f.gui, 200, "myvisual",
                          "Save visual as (blank to exit without saving)|The visual (.v3d) file "
                          "will be saved to the|visuals/myvisual/ folder."),
            "myvisual");
  EXPECT_TRUE(shot.taken);
}

TEST(GuiGolden, CentredIn1024x768) {
  GuiFixture f(1024, 768, platform::PixelFormat::Xrgb8888);
  f.script_input("5 key DELETE\n");
  Snapshot shot(f, 2, "question_1024");
  EXPECT_EQ(gui_message_box(f.gui, "Do you want to save the changes?", " YES ", " NO! "), 2);
  EXPECT_TRUE(shot.taken);
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

TEST(GuiGolden, DisplayAreaAndBackgroundBandTools) {
  GuiFixture f;
  f.script_input("3 mouse 300 200\n9 key ESC\n");
  Snapshot shot(f, 5, "display_area_640");
  GuiRect area{160, 120, 479, 359};
  display_area_editor(f.gui, area);
  EXPECT_TRUE(shot.taken);

  GuiFixture f2;
  f2.script_input("3 key F2\n4 key F2\n5 key F2\n9 key ESC\n");
  Snapshot shot2(f2, 7, "background_band_640");
  BackgroundBand band{150, 330, 0};
  background_band_editor(f2.gui, band);
  EXPECT_TRUE(shot2.taken);
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

// The collision editor with two codes set, the jeep traced, and the mouse on the jeep / wall
// pair.
TEST(GuiGolden, CollisionChannelEditor) {
  GuiFixture f;
  std::unique_ptr<Model> m = model_create();
  const std::pair<const char*, int32_t> elements[] = {
      {"Camera", kTypeCamera}, {"Jeep (red one)", kType3dShape}, {"Wall", kTypeFlatShape},
      {"Lamp", kTypeLight},    {"Score", kTypeCounter},          {"Hero", kTypeSprite}};
  for (const auto& [name, type] : elements)
    insert_element(*f.core, *m, std::string(name) + std::string(35, '|') + std::to_string(type), m->last_index + 1);
  collision_code_set(*f.core, 1, 2, 1);
  collision_code_set(*f.core, 1, 5, 9);
  collision_code_set(*f.core, 0, 4, 4);
  const std::string icon = std::to_string(kCollisionMapLeft + 16 + 5) + " " + std::to_string(kCollisionMapTop - 12);
  const std::string pair = std::to_string(kCollisionMapLeft + 2 * 16 + 5) + " " + std::to_string(kCollisionMapTop + 16 + 5);
  f.script_input("3 click " + icon + "\n6 mouse " + pair + "\n12 key ESC\n");
  Snapshot shot(f, 9, "collision_editor_640");
  collision_channel_editor(f.gui, *m);
  EXPECT_TRUE(shot.taken);
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

TEST(GuiGolden, RenameToolsMenu) {
  GuiFixture f;
  f.script_input("3 mouse 300 224\n9 key ESC\n");
  Snapshot shot(f, 6, "rename_menu_640");
  EXPECT_EQ(rename_tools_menu(f.gui), 0);
  EXPECT_TRUE(shot.taken);
}

}  // namespace
}  // namespace korva::test
