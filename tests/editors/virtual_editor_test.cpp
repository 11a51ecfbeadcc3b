// The virtual editor's texts: the status lines through the field formatter, the speed rule of
// the velocity line, the help line chosen by view and kind, the menu bar's icons and tooltips;
// the Info panel's rows, and the panel itself under scripted input (with its picture).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/core.h"
#include "editors/editors.h"
#include "golden.h"
#include "gui_fixture.h"
#include "model/model.h"

namespace korva {
namespace {

struct Elements {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> m = model_create();
  // Fields 1..44 of a record: the given ones, zeros elsewhere.
  int32_t add(std::initializer_list<std::pair<int32_t, std::string>> fields) {
    std::string f[45];
    for (auto& s : f) s = "0";
    f[1] = "E";
    for (const auto& [n, v] : fields) f[n] = v;
    std::string record;
    for (int32_t n = 1; n <= 44; ++n) record += (n > 1 ? "|" : "") + f[n];
    insert_element(*core, *m, record, m->last_index + 1);
    return m->last_index;
  }
};

TEST(VirtualEditorTexts, StatusLinesAsFormatted) {
  Elements t;
  const int32_t e = t.add({{5, "1.5"}, {6, "0.450"}, {7, "-2"}, {11, "12.000"}, {12, "0"}, {13, "90.5"},
                           {36, "11"}, {42, "2.000"}, {43, "0.5"}, {44, "0"}});
  Core& c = *t.core;
  EXPECT_EQ(virtual_status_line(c, e, VirtualStatus::PositionRotation, 0), "1.5,0.450,-2 meters & 12.000,0,90.5");
  EXPECT_EQ(virtual_status_line(c, e, VirtualStatus::PositionScale, 0), "Position: 1.5,0.450,-2, scale: 2.000,0.5");
  // A zero (or absent) scale is the scale of 1.
  EXPECT_EQ(virtual_status_line(c, e, VirtualStatus::Scale, 0), "Scale: 2.000,0.5,1.000");
  EXPECT_EQ(virtual_status_line(c, e, VirtualStatus::Distance, 512000 * 3 + 256000), "(distance:3.500)");
  const int32_t sprite = t.add({{5, "300"}, {6, "100.7"}, {36, "5"}});
  EXPECT_EQ(virtual_status_line(c, sprite, VirtualStatus::Flat, 0), "(300,100)");
  // A counter is drawn at the top left of its screen rectangle.
  const int32_t counter = t.add({{5, "7"}, {6, "8"}, {36, "8"}, {37, "24/16/1000/0/0x0"}});
  EXPECT_EQ(virtual_status_line(c, counter, VirtualStatus::Flat, 0), "(24,16)");
}

TEST(VirtualEditorTexts, VelocityLineAndItsSpeedRule) {
  Elements t;
  const int32_t e = t.add({{17, "3.000"}, {18, "0"}, {19, "4.000"}, {36, "11"}});
  // 3 and 4 m/s are 51201 and 68268 a frame: 50 and 66 after the division by 1024, whose root
  // 82 is 83968 a frame again, 4.919 m/s.
  const int32_t v[3] = {51201, 0, 68268};
  EXPECT_EQ(virtual_velocity_text(*t.core, e, v), " (3.000,0,4.000 = 4.919 m/sec)");
  const int32_t still[3] = {1023, -1023, 0};
  EXPECT_EQ(virtual_velocity_text(*t.core, e, still), " (3.000,0,4.000 = 0.000 m/sec)");
  const int32_t huge[3] = {2147483647, 2147483647, 2147483647};
  EXPECT_NE(virtual_velocity_text(*t.core, e, huge).find(" m/sec)"), std::string::npos);
}

TEST(VirtualEditorTexts, HelpLineByViewAndKind) {
  Elements t;
  Core& c = *t.core;
  const int32_t camera = t.add({{36, "0"}});
  const int32_t visual = t.add({{36, "11"}});
  const int32_t light = t.add({{36, "10"}});
  const int32_t sprite = t.add({{36, "5"}});
  struct Row {
    int32_t element;
    VirtualView view;
    bool clipped, velocity;
    const char* help;
  };
  const Row rows[] = {
      {visual, VirtualView::Camera, true, false, "A,Z,CurKeys = move camera, Mouse = position/rotate element"},
      {visual, VirtualView::Top, true, false, "A,Z Keys = zoom, Mouse = position/rotate element"},
      {light, VirtualView::Camera, true, false, "A,Z,CurKeys = move camera, Ctrl+Mouse = set element position"},
      {light, VirtualView::Back, true, false, "Ctrl+Mouse = set element position"},
      {camera, VirtualView::Camera, true, false, "A,Z,CurKeys = move camera, Mouse set element position"},
      {visual, VirtualView::Right, true, true, "Mouse = set element's velocity vector"},
      {sprite, VirtualView::Camera, true, false, "H = show sprite, Ctrl+Mouse = set sprite position (CLIPPED MODE)"},
      {sprite, VirtualView::Top, false, false, "H = show sprite, Ctrl+Mouse = set sprite position (UNCLIPPED MODE)"},
  };
  for (const Row& r : rows) EXPECT_EQ(virtual_help_line(c, r.element, r.view, r.clipped, r.velocity), r.help);
  EXPECT_EQ(virtual_scale_help(), "RightMouseClick & drag = scale current visual");
}

TEST(VirtualEditorTexts, MenuBarIconsAndTooltips) {
  // The icon under the mouse is x / 16 in the bar's first 19 rows.
  EXPECT_EQ(virtual_icon_at(0, 0, 0), 0);
  EXPECT_EQ(virtual_icon_at(0, 37, 18), 2);
  EXPECT_EQ(virtual_icon_at(0, 37, 19), -1);
  EXPECT_EQ(virtual_icon_at(100, 37, 99), -1);
  EXPECT_EQ(virtual_icon_at(100, 37, 100), 2);
  EXPECT_EQ(virtual_icon_at(0, 17 * 16 + 15, 5), 17);
  EXPECT_EQ(virtual_icon_at(0, 18 * 16, 5), -1);
  const char* tooltips[] = {
      "Sprites editing mode (Clipped/Unclipped switch)", "Select previous element (PgUp or Shift+PgUp)",
      "Select next element (PgDn or Shift+PgDn)", "Virtual edit mode (F5)", "Top View edit mode (F6)",
      "Back View edit mode (F7)", "Right View edit mode (F8)", "Reset X position to 0", "Reset Y position to 0",
      "Reset Z position to 0", "Reset X rotation to 0", "Reset Y rotation to 0", "Reset Z rotation to 0",
      "Restore original scaling (S)", "Undo last operation (U)", "Move menu bar", "Minimize application (Alt+Tab)",
      "Exit Virtual Editor (Esc)",
  };
  for (int32_t i = 0; i < 18; ++i) EXPECT_EQ(virtual_tooltip(i), tooltips[i]);
  EXPECT_EQ(virtual_tooltip(18), "");
}

std::string row(const std::vector<VirtualInfoRow>& rows, const std::string& label) {
  for (const VirtualInfoRow& r : rows)
    if (r.label == label) return r.value;
  return "(no " + label + ")";
}

TEST(VirtualEditorInfo, RowsThroughTheFieldFormatter) {
  Elements t;
  Core& c = *t.core;
  str_set(*c.base_folder, "/inst/");
  const int32_t visual =
      t.add({{1, "Ball (red)"}, {2, "/inst/visuals/ball_.v3d"}, {3, "/elsewhere/blip.wav"}, {4, "/inst/brains/1.bra"},
             {5, "1.5"}, {6, "0.45"}, {7, "-2"}, {8, "0.1"}, {11, "90"}, {17, "3"}, {29, "12.7"}, {31, "3"},
             {33, "0"}, {35, "2/2/5/1020/7/x/1016"}, {36, "11"}, {37, "0/0/639/479/0x0"}, {42, "2"}, {43, "0"},
             {44, "0.5"}});
  const std::vector<VirtualInfoRow> rows = virtual_info_rows(c, visual);
  const std::pair<const char*, const char*> want[] = {
      {"Name", "Ball (red)"},
      {"Kind", "VISUAL-type element"},
      {"Aspect", "./visuals/ball_.v3d"},
      {"Sound", "/elsewhere/blip.wav"},
      {"Brain", "./brains/1.bra  (1 parameter)"},
      {"Position (m)", "1.500, 0.450, -2.000  (spread 0.100, 0.000, 0.000)"},
      {"Rotation (degrees)", "90.000, 0.000, 0.000"},
      {"Velocity (m/sec)", "3.000, 0.000, 0.000"},
      {"Spin (rpm)", "0.000, 0.000, 0.000"},
      {"Scale", "2.000, 1.000, 0.500"},
      {"Collision radius", "0.000"},
      {"Credits", "12"},
      {"ID", "3"},
      {"Switched on", "no (DISABLED, NOT VISIBLE)"},
      {"Screen rectangle", "0/0/639/479/0x0"},
  };
  ASSERT_EQ(rows.size(), std::size(want));
  for (size_t k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(rows[k].label, want[k].first);
    EXPECT_EQ(rows[k].value, want[k].second) << want[k].first;
  }
  // Sprites and counters stand on the screen, in whole screen units.
  struct Screen {
    std::initializer_list<std::pair<int32_t, std::string>> fields;
    const char* position;
  };
  for (const Screen& s : {Screen{{{5, "300"}, {6, "100.7"}, {29, "4"}, {33, "1"}, {36, "5"}}, "(300,100)"},
                          Screen{{{33, "1"}, {36, "8"}, {37, "24/16/1000/0/0x0"}}, "(24,16)"}}) {
    const std::vector<VirtualInfoRow> r = virtual_info_rows(c, t.add(s.fields));
    EXPECT_EQ(row(r, "Screen position"), s.position);
    EXPECT_EQ(row(r, "Position (m)"), "(no Position (m))");
    EXPECT_EQ(row(r, "Switched on"), "yes");
  }
  EXPECT_EQ(row(virtual_info_rows(c, t.add({{36, "13"}})), "Kind"), "type 13");
}

// PgDn shows the next element; P opens its parameter panel (a brain without parameters here),
// which stores where it was left when it closes; Escape closes the Info panel on that element.
TEST(VirtualEditorInfo, PanelStepsAndOpensTheParameterPanel) {
  test::GuiFixture f;
  auto m = model_create();
  for (const char* record : {"Camera|x|y|-|0|2.5|-7|0|0|0|12|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1|0|1|0|0|0|"
                             "0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0",
                             "Ball|x|y|-|0|0.45|-0.5|0|0|0|0|0|0|0|0|0|1.5|0|0|0|0|0|0|0|0|0|0|0|0|0|1|0|1|0|0|11|"
                             "0/0/639/479/0x0|0/1|4096/2/50/0|0",
                             "Spark|x|y|-|300|100|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1|0|0|0|0|5|"
                             "0/0/639/479/0x0|0/1|4096/2/50/0|0"})
    insert_element(*f.core, *m, record, m->last_index + 1);
  f.script_input("4 key PAGEDOWN\n7 key P\n10 key ESC\n13 key ESC\n");
  f.gui.io.pump = [&] {
    pump(*f.core);
    feed_input_script(f.script, f.input, f.core->pump_counter, 640, 480);
    if (f.core->pump_counter == 3) golden::expect_surface(f.screen.primary, "editors", "virtual_info_640", golden::kExact);
  };
  EXPECT_EQ(virtual_info_panel(f.gui, *m, 1), 2);
  EXPECT_EQ(std::string(element_field(*f.core, 2, fld::kPanelPos1).view()), "0");
  EXPECT_EQ(std::string(element_field(*f.core, 1, fld::kPanelPos1).view()), "") << "Ball's panel was not opened";
}

// The element chooser: twenty elements to a page with their kinds; PgDn goes a page down (the
// picture), Up and Enter choose; Escape or the close box leave.
TEST(VirtualEditorChooser, PagesAndChooses) {
  test::GuiFixture f;
  auto m = model_create();
  for (int32_t i = 0; i < 25; ++i)
    insert_element(*f.core, *m, "Element " + std::to_string(i) + "|x|y|-|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1|0|1|0|0|" +
                                     std::to_string(i % 14), m->last_index + 1);
  f.script_input("3 key PAGEDOWN\n6 key UP\n8 key RETURN\n");
  f.gui.io.pump = [&] {
    pump(*f.core);
    feed_input_script(f.script, f.input, f.core->pump_counter, 640, 480);
    if (f.core->pump_counter == 5) golden::expect_surface(f.screen.primary, "editors", "element_chooser_640", golden::kExact);
  };
  EXPECT_EQ(choose_element(f.gui, *m, 2), 21);
  // Escape, and the close box, leave without a choice.
  f.script_input("3 key ESC\n");
  EXPECT_EQ(choose_element(f.gui, *m, 2), -1);
  const int64_t t = f.core->pump_counter;  // script times count pumps from the start
  f.script_input(std::to_string(t + 3) + " mouse 581 20 0\n" + std::to_string(t + 4) + " mouse 581 20 1\n" +
                 std::to_string(t + 5) + " mouse 581 20 0\n" + std::to_string(t + 7) + " key RETURN\n");
  EXPECT_EQ(choose_element(f.gui, *m, 2), -1);
}

}  // namespace
}  // namespace korva
