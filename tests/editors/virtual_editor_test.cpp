// The virtual editor's texts: the status lines through the field formatter, the speed rule of
// the velocity line, the help line chosen by view and kind, the menu bar's icons and tooltips.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/core.h"
#include "editors/editors.h"
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

}  // namespace
}  // namespace korva
