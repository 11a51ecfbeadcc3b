// The virtual editor (mode 3) end to end: korva-mkdata writes an installation, korva-go opens
// the editor headless under scripted input, and the saved project holds what was placed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "go_installation.h"

namespace {

namespace fs = std::filesystem;

using korva::go_test::Installation;
using korva::go_test::read;
using korva::go_test::record_field;

using korva::editor_script::drag;

// A click on menu bar icon i (16 pixels each) at frame t.
std::string icon(int t, int i) {
  return std::to_string(t) + " mouse " + std::to_string(16 * i + 8) + " 10 0\n" + std::to_string(t + 1) + " mouse " +
         std::to_string(16 * i + 8) + " 10 1\n" + std::to_string(t + 2) + " mouse " + std::to_string(16 * i + 8) +
         " 10 0\n";
}

TEST(VirtualEditor, PlacesElementsInEachViewResetsAndUndoes) {
  Installation in("virtual");
  if (!in.ready) GTEST_SKIP() << "korva-mkdata, korva-go and korva are needed";
  const fs::path prj = in.dir / "projects/demo/demo.prj";
  std::string log;

  // Top view (F6), centred on the ball (element 3) at 40 pixels a metre: 40 pixels right and
  // 20 up move it one metre along x and half a metre along z; y stays.
  ASSERT_EQ(in.go("2 key F6\n" + drag(4, 320, 240, 360, 220) + "12 key ESC\n", "edit demo 3", log), 0) << log;
  std::string project = read(prj);
  EXPECT_EQ(record_field(project, "Ball", 5), "1.000") << project;
  EXPECT_EQ(record_field(project, "Ball", 6), "0.45");
  EXPECT_EQ(record_field(project, "Ball", 7), "0.000");
  EXPECT_EQ(record_field(project, "Cube", 5), "1.6") << "what was not edited keeps its text";

  // Back view (F7): x across, y up. Then reset X position (icon 7) and undo it with U; the
  // next element (PgDn, the sun) gets its X rotation reset (icon 10).
  ASSERT_EQ(in.go("2 key F7\n" + drag(4, 320, 240, 360, 220) + icon(10, 7) + "14 key U\n16 key PAGEDOWN\n" +
                      icon(18, 10) + "24 key ESC\n",
                  "edit demo 3", log), 0) << log;
  project = read(prj);
  EXPECT_EQ(record_field(project, "Ball", 5), "2.000") << project;
  EXPECT_EQ(record_field(project, "Ball", 6), "0.950");
  EXPECT_EQ(record_field(project, "Ball", 7), "0.000");
  EXPECT_EQ(record_field(project, "Sun", 11), "0.000");
  EXPECT_EQ(record_field(project, "Sun", 12), "30.000") << "only the reset field is rewritten";

  // Right view (F8): z across, y up; a right-button drag up doubles the scale roughly; then
  // "Restore original scaling (S)" and an undo of it: the drag's scale stays.
  ASSERT_EQ(in.go("2 key F8\n" + drag(4, 320, 240, 280, 260) + drag(10, 320, 240, 320, 170, 2) + "16 key S\n18 key U\n20 key ESC\n",
                  "edit demo 3", log), 0) << log;
  project = read(prj);
  EXPECT_EQ(record_field(project, "Ball", 7), "-1.000") << project;
  EXPECT_EQ(record_field(project, "Ball", 6), "0.450");
  EXPECT_EQ(record_field(project, "Ball", 5), "2.000");
  const double scale = std::atof(record_field(project, "Ball", 42).c_str());
  EXPECT_GT(scale, 1.5);
  EXPECT_EQ(record_field(project, "Ball", 42), record_field(project, "Ball", 44));

  // The element chooser (Tab): one down from the ball is the sun, whose Y rotation is reset.
  ASSERT_EQ(in.go("2 key TAB\n4 key DOWN\n6 key RETURN\n" + icon(8, 11) + "12 key ESC\n", "edit demo 3", log), 0) << log;
  project = read(prj);
  EXPECT_EQ(record_field(project, "Sun", 12), "0.000") << project;
  EXPECT_EQ(record_field(project, "Ball", 12), "0") << project;

  // The sun shares its place with the floor: Ctrl keeps the current element under the press.
  // A drag, then a press that moves nothing: the undo step is still the drag's.
  ASSERT_EQ(in.go("2 key F6\n3 down CTRL\n" + drag(4, 320, 240, 360, 240) + drag(10, 360, 240, 360, 240) +
                      "16 up CTRL\n17 key U\n19 key ESC\n",
                  "edit demo 4", log), 0) << log;
  project = read(prj);
  EXPECT_EQ(record_field(project, "Sun", 5), "0") << project;
  EXPECT_EQ(record_field(project, "Floor", 5), "0") << project;

  // Leaving without a change saves the same project.
  ASSERT_EQ(in.go("1 key ESC\n", "edit demo 3", log), 0) << log;
  EXPECT_EQ(read(prj), project);
}

TEST(VirtualEditor, ThroughTheCamera) {
  Installation in("virtual");
  if (!in.ready) GTEST_SKIP() << "korva-mkdata, korva-go and korva are needed";
  const fs::path prj = in.dir / "projects/demo/demo.prj";
  std::string log;
  // The ball stands at (320, 270) on the picture, the floor element under it. A drag from it
  // moves it on the ground (x grows, its height stays), Ctrl and a drag upwards lift it, Shift
  // and a drag to the right turn it 20 degrees about y. PgUp then selects the floor, whose
  // record is left alone.
  ASSERT_EQ(in.go(drag(2, 320, 270, 400, 270) + "9 down 29\n" + drag(10, 400, 270, 400, 230) + "16 up 29\n" +
                      "17 down LSHIFT\n" + drag(18, 400, 230, 440, 230) + "24 up LSHIFT\n26 key ESC\n",
                  "edit demo 0", log), 0) << log;
  const std::string project = read(prj);
  EXPECT_GT(std::atof(record_field(project, "Ball", 5).c_str()), 0.3) << project;
  EXPECT_GT(std::atof(record_field(project, "Ball", 6).c_str()), 0.6);
  EXPECT_EQ(record_field(project, "Ball", 12), "20.000");
  EXPECT_EQ(record_field(project, "Floor", 5), "0");
  EXPECT_EQ(record_field(project, "Camera", 6), "2.5") << "the camera stays where it is";
}

TEST(VirtualEditor, EntryChecksAndTheLoweredCurrentElement) {
  Installation in("virtual");
  if (!in.ready) GTEST_SKIP() << "korva-mkdata, korva-go and korva are needed";
  std::string log;
  const std::string tail = "|./sounds/null_.wav|-|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1|0|";
  auto camera = [&](const std::string& name, int on) {
    return name + "|./cameras/default_.03d" + tail + std::to_string(on) + "|0|0|0|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0\r\n";
  };
  const std::string box = "Box|./visuals/default_.v3d" + tail + "1|0|0|11|0/0/639/479/0x0|0/1|4096/2/50/0|0\r\n";
  const std::string end = "./bckgrnds/bkgr000_.bmp|1|0\r\n@0\r\n;\r\n@1\r\n;\r\n@2\r\n;\r\n";

  // Every camera switched off: the message, and the project is left as it was.
  const std::string off = ";off\r\n2\r\n" + camera("Camera", 0) + camera("Other", 0) + box + end;
  in.write("projects/off.prj", off);
  ASSERT_EQ(in.go("", "edit projects/off.prj", log), 0) << log;
  EXPECT_NE(log.find("To virtual edit the project enable|at least one camera element first!"), std::string::npos) << log;
  EXPECT_EQ(read(in.dir / "projects/off.prj"), off);

  // Element 7 of three opens on element 2 (the box): resetting its X position shows it.
  const std::string three = ";three\r\n2\r\n" + camera("Camera", 1) + camera("Other", 0) +
                            "Box|./visuals/default_.v3d|./sounds/null_.wav|-|3|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1|0|1|0|0|11|0/0/639/479/0x0|0/1|4096/2/50/0|0\r\n" + end;
  in.write("projects/three.prj", three);
  ASSERT_EQ(in.go(icon(2, 7) + "6 key ESC\n", "edit projects/three.prj 7", log), 0) << log;
  const std::string saved = read(in.dir / "projects/three.prj");
  EXPECT_EQ(record_field(saved, "Box", 5), "0.000") << saved << log;
}

// 256 elements, most far outside any view, with zero and huge scales, the camera inside the
// first box: every view draws, drags and leaves without trouble, and the project is saved.
TEST(VirtualEditor, AFullTableOfOddElements) {
  Installation in("virtual");
  if (!in.ready) GTEST_SKIP() << "korva-mkdata, korva-go and korva are needed";
  std::string project = ";odd\r\n2\r\n";
  auto record = [](const std::string& name, const std::string& asset, const std::string& pos, int type,
                   const std::string& scale) {
    return name + "|" + asset + "|./sounds/null_.wav|-|" + pos +
           "|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1|0|1|0|0|" + std::to_string(type) +
           "|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0||" + scale + "\r\n";
  };
  project += record("Camera", "./cameras/default_.03d", "0|0|0", 0, "1|1|1");
  for (int i = 1; i < 256; ++i) {
    const std::string far = std::to_string((i % 7 - 3) * 1000 * i) + "|" + std::to_string(i % 3 == 0 ? 0 : -4000) + "|" +
                            std::to_string(i * 16);
    project += record("Box" + std::to_string(i), "./visuals/default_.v3d", i == 1 ? "0|0|0" : far, 11,
                      i % 2 ? "0|0|0" : "1000|0.001|4000");
  }
  project += "./bckgrnds/bkgr000_.bmp|1|0\r\n";
  for (int i = 0; i < 256; ++i) project += "@" + std::to_string(i) + "\r\n;\r\n";
  in.write("projects/odd.prj", project);
  std::string log;
  ASSERT_EQ(in.go(drag(2, 320, 240, 330, 250) + "8 key F6\n" + drag(10, 320, 240, 600, 20, 2) + "16 key PAGEUP\n" +
                      "17 key F7\n" + drag(18, 320, 240, 0, 479) + "24 key F8\n26 down A\n40 up A\n" +
                      drag(42, 320, 240, 330, 250) + "50 key ESC\n",
                  "edit projects/odd.prj 255", log), 0) << log;
  const std::string saved = read(in.dir / "projects/odd.prj");
  EXPECT_NE(saved.find("\nBox255|"), std::string::npos) << log;
  EXPECT_NE(saved, project) << "the drags were saved";
}

}  // namespace
