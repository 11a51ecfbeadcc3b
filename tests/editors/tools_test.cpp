// The display-area and 3D background tools and the reports around an editor run.
#include <fstream>

#include "editors/editors.h"
#include "gui_fixture.h"

namespace korva::test {
namespace {

TEST(GuiTools, DisplayAreaToolDragsTheNearerCorner) {
  GuiFixture f;
  f.script_input(
      "3 mouse 165 125 1\n5 mouse 100 50 1\n6 mouse 100 50 0\n"   // up-left corner
      "8 mouse 470 350 1\n9 mouse 700 900 1\n10 mouse 700 900 0\n"  // down-right, clamped
      "12 mouse 200 200 1\n13 mouse 650 470 1\n14 mouse 0 0 0\n"   // up-left stops at the other
      "20 key ESC\n");
  EXPECT_EQ(display_area_tool(f.gui, "160/120/479/359/0/20&40/7"), "639/470/639/479/0/20&40/7");
}

TEST(GuiTools, DisplayAreaCornersKeepTheirOrder) {
  GuiFixture f;
  f.script_input("3 mouse 10 10 1\n4 mouse 600 400 1\n5 mouse 600 400 0\n9 key RETURN\n");
  GuiRect area{100, 100, 300, 200};
  display_area_editor(f.gui, area);
  EXPECT_EQ(area.x1, 300);
  EXPECT_EQ(area.y1, 200);
  EXPECT_EQ(area.x2, 300);
  EXPECT_EQ(area.y2, 200);
}

TEST(GuiTools, RepetitionsAreAskedUntilAPowerOfTwo) {
  GuiFixture f;
  f.script_input(
      "3 key BACKSPACE\n4 text 3\n5 key RETURN\n"
      "8 key BACKSPACE\n9 text 0\n10 key RETURN\n"
      "13 key BACKSPACE\n14 text 4\n15 key RETURN\n");
  EXPECT_EQ(ask_background_repetitions(f.gui, 1), 4);
  // Without anyone to answer, a bad proposal falls back instead of asking forever.
  GuiFixture f2;
  EXPECT_EQ(ask_background_repetitions(f2.gui, 6), 1);
  GuiFixture f3;
  EXPECT_EQ(ask_background_repetitions(f3.gui, 8), 8);
}

TEST(GuiTools, BackgroundBandLayoutsAndRows) {
  GuiFixture f;
  f.script_input(
      "3 key F2\n4 key F2\n5 key F1\n6 key F1\n7 key F1\n"  // 0 -> 2 -> 4 (wrapping)
      "10 click 50 90\n13 click 50 296\n"                  // top 90, bottom 296
      "16 click 50 250\n"                                  // nearer the bottom row
      "19 click 50 170\n"                                  // nearer the top: at most 243
      "22 click 50 245\n"                                  // bottom at least 7 below the top
      "30 key ESC\n");
  BackgroundBand band{100, 300, 0};
  background_band_editor(f.gui, band);
  EXPECT_EQ(band.layout, 4);
  EXPECT_EQ(band.top, 170);
  EXPECT_EQ(band.bottom, 245);

  GuiFixture f2;
  f2.script_input("3 click 1 106\n9 key ESC\n");
  BackgroundBand tight{100, 110, 2};
  background_band_editor(f2.gui, tight);
  EXPECT_EQ(tight.top, 100);
  EXPECT_EQ(tight.bottom, 107);
}

TEST(GuiTools, ExitCodeAndRecordedTrackReports) {
  GuiFixture f;
  std::vector<std::string> shown;
  f.core->ui.message_box = [&](std::string_view text, std::string_view left, std::string_view right) {
    EXPECT_EQ(left, " OK ");
    shown.emplace_back(text);
    return 1;
  };
  struct Case {
    int32_t code;
    const char* text;
  } cases[] = {
      {-1, nullptr},
      {INT32_MIN, nullptr},
      {-2, "When compiled, exit to end screen"},
      {-3, "When compiled, exit directly to Windows"},
      {4, "When compiled, exit to sub-project 4"},
      {0, "When compiled, exit to sub-project 0"},
  };
  for (const Case& k : cases) {
    shown.clear();
    report_exit_code(*f.core, k.code);
    if (k.text) {
      ASSERT_EQ(shown.size(), 1u) << k.code;
      EXPECT_EQ(shown[0], k.text);
    } else {
      EXPECT_TRUE(shown.empty()) << k.code;
    }
  }
  shown.clear();
  report_recorded_track(*f.core, 0);
  report_recorded_track(*f.core, 7250);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0],
            "A 10 seconds track was successfully recorded!|Use the 'Save Recorded Track As' tool "
            "to|save it as a new track-type element's aspect");
}

TEST(GuiTools, SaveRecordedTrackAsCopiesTheRecording) {
  GuiFixture f;
  const std::filesystem::path base = f.dir / "base";
  std::filesystem::create_directories(base / "data");
  std::filesystem::create_directories(base / "tracks");
  str_set(*f.core->base_folder, base.string() + "/");
  std::ofstream(base / "data/currtrck.i3d") << "recorded";
  std::ofstream(base / "tracks/lap.i3d") << "old";
  const std::string current = (base / "tracks/lap.i3d").string();

  // The proposed name exists: CONTINUE overwrites it.
  f.script_input("5 key RETURN\n10 key RETURN\n");
  EXPECT_EQ(save_recorded_track_as(f.gui, current), current);
  std::string text;
  std::ifstream(current) >> text;
  EXPECT_EQ(text, "recorded");

  // ABORT keeps the old file; a new name is written.
  GuiFixture f2;
  str_set(*f2.core->base_folder, base.string() + "/");
  std::ofstream(current) << "old";
  f2.script_input("5 key RETURN\n10 key DELETE\n");
  EXPECT_EQ(save_recorded_track_as(f2.gui, current), "");
  std::ifstream(current) >> text;
  EXPECT_EQ(text, "old");
  GuiFixture f3;
  str_set(*f3.core->base_folder, base.string() + "/");
  f3.script_input("3 key HOME\n4 key DELETE\n5 key DELETE\n6 key DELETE\n7 text fast\n9 key RETURN\n");
  EXPECT_EQ(save_recorded_track_as(f3.gui, current), (base / "tracks/fast.i3d").string());
  EXPECT_TRUE(std::filesystem::exists(base / "tracks/fast.i3d"));
}

}  // namespace
}  // namespace korva::test
