// The choosers: the file list, the resource browser with its previews, the project browser and
// the erase rule they share, driven through scripted clicks and keys.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "editors/editors.h"
#include "golden.h"
#include "gui_fixture.h"
#include "model/model.h"
#include "platform/gl/gl.h"

namespace korva::test {
namespace {

namespace fs = std::filesystem;

// Takes a picture of the display at a given pump count while a chooser waits.
struct Shot {
  GuiFixture& f;
  int64_t at;
  bool taken = false;
  std::string name;
  golden::Tolerance tolerance = golden::kExact;
  Shot(GuiFixture& fixture, int64_t when, std::string picture, golden::Tolerance t = golden::kExact)
      : f(fixture), at(when), name(std::move(picture)), tolerance(t) {
    f.gui.io.pump = [this] {
      pump(*f.core);
      feed_input_script(f.script, f.input, f.core->pump_counter, 640, 480);
      if (!taken && int64_t(f.core->pump_counter) == at) {
        taken = true;
        golden::expect_surface(f.screen.primary, "editors", name, tolerance);
      }
    };
  }
};

void touch(const fs::path& p, std::string_view text = "x") {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

void put(const fs::path& p, const mkdata::Bytes& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The file list's geometry as the chooser computes it, for clicks on rows.
struct ListGeometry {
  int32_t u, h, x, y, row;
  explicit ListGeometry(const Gui& g) {
    u = gui_text_width(g, "Mm0wW") / 5;
    h = std::max(4, gui_font_height(g) / 2);
    row = 2 * h;
    x = std::max((640 - 50 * u) / 2, 12 + std::max(16, std::min(8 * u, 640 - 50 * u - 36)) + 8);
    y = (480 - 40 * h) / 2;
  }
  std::string click_row(int64_t t, int32_t r) const {
    return std::to_string(t) + " click " + std::to_string(x + 30) + " " + std::to_string(y + r * row + h) + "\n";
  }
};

mkdata::Bytes small_pcx(int32_t w, int32_t h, uint8_t colour) {
  mkdata::Image8 img(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) img.at(x, y) = static_cast<uint8_t>((x / 4 + y / 4) % 2 ? colour : 255 - colour);
  return mkdata::pcx_encode(img, mkdata::gui_palette());
}

TEST(EraseResource, TakesCompanionAndNumberedAspects) {
  GuiFixture f;
  const fs::path d = f.dir;
  for (const char* n : {"car.prj", "car.col", "walk_.pcx", "walk_.002", "walk_.003", "walk_.999", "run_.pcx",
                        "run_.002", "run_.005", "run_.006", "ship.3ds", "ship.002", "keep.pcx"})
    touch(d / n);
  erase_resource((d / "car.prj").string());
  erase_resource((d / "walk_.pcx").string());
  erase_resource((d / "run_.005").string());     // a numbered aspect: it and the later ones
  erase_resource((d / "ship.3ds").string());     // "3ds" is not a number
  erase_resource((d / "gone.pcx").string());     // already gone: nothing to report
  const struct {
    const char* name;
    bool exists;
  } cases[] = {{"car.prj", false}, {"car.col", false}, {"walk_.pcx", false}, {"walk_.002", false},
               {"walk_.003", false}, {"walk_.999", false}, {"run_.pcx", true}, {"run_.002", true},
               {"run_.005", false}, {"run_.006", false}, {"ship.3ds", false}, {"ship.002", false},
               {"keep.pcx", true}};
  for (const auto& c : cases) EXPECT_EQ(fs::exists(d / c.name), c.exists) << c.name;
}

TEST(ResourceKits, DescriptionsAndKits) {
  GuiFixture f;
  touch(f.dir / "p.prj", ";  A racing game \r\n; with two cars\r\n;\r\n; not this\r\n3\r\n");
  EXPECT_EQ(project_description((f.dir / "p.prj").string()), "A racing game with two cars");
  touch(f.dir / "projects/b/descrptn.txt", "Cars and tracks\r\nmore");
  fs::create_directories(f.dir / "projects/A");
  touch(f.dir / "projects/not_a_kit.txt");
  EXPECT_EQ(resource_kits(f.dir.string() + "/"), (std::vector<std::string>{"A", "b"}));
  EXPECT_EQ(kit_description((f.dir / "projects/b").string()), "Cars and tracks");
  EXPECT_EQ(kit_description((f.dir / "projects/A").string()), "Resource description not found!");
}

TEST(FileList, ListsFoldersFirstAndSurvivesOddNames) {
  GuiFixture f;
  const fs::path d = f.dir / "odd";
  fs::create_directories(d / "Maps");
  touch(d / "b file.TXT");
  touch(d / "a.txt", "12345");
  touch(d / "pipe|name.txt");
  touch(d / std::string("bad\xff\xfename.txt"));
  touch(d / "c.dat");
  fs::create_directory_symlink(d, d / "loop");              // a link back to itself
  fs::create_symlink(d / "nowhere.txt", d / "broken.txt");  // a dangling link
  std::vector<FileListEntry> e;
  ASSERT_TRUE(list_chooser_folder(d.string(), "*.txt;*.TXT", e));
  std::vector<std::string> names;
  for (const auto& x : e) names.push_back((x.folder ? "/" : "") + x.name);
  EXPECT_EQ(names, (std::vector<std::string>{"/loop", "/Maps", "a.txt", "b file.TXT",
                                             std::string("bad\xff\xfename.txt"), "pipe|name.txt"}));
  EXPECT_EQ(e[2].size, 5);
  EXPECT_FALSE(list_chooser_folder((d / "missing").string(), "*.*", e));
  EXPECT_EQ(parent_folder("/a/b/"), "/a/");
  EXPECT_EQ(parent_folder("/a"), "/");
  EXPECT_EQ(parent_folder("/"), "/");
  EXPECT_TRUE(mask_matches("*.bmp;*.pcx", "SKY.PCX"));
  EXPECT_TRUE(mask_matches("*.*", "README"));
  EXPECT_FALSE(mask_matches("*.bmp", "sky.bmp.txt"));
}

TEST(FileList, ChoosesEntersFoldersAndGoesUpWithBackspace) {
  const struct {
    const char* what;
    std::string (*script)(const ListGeometry&);
    const char* start;  // below the fixture's folder
    const char* chosen; // below the fixture's folder, "" for nothing
  } cases[] = {
      {"a file row", [](const ListGeometry& l) { return l.click_row(3, 1); }, "", "a.txt"},
      {"into a folder, then a file", [](const ListGeometry& l) { return l.click_row(3, 0) + l.click_row(8, 0); }, "",
       "Maps/inner.txt"},
      {"Backspace acts as ..", [](const ListGeometry& l) { return "3 key BACKSPACE\n" + l.click_row(8, 2); }, "Maps",
       "b.txt"},
      {"an empty row chooses nothing", [](const ListGeometry& l) { return l.click_row(3, 9) + "8 key ESC\n"; }, "", ""},
      {"Escape", [](const ListGeometry&) { return std::string("3 key ESC\n"); }, "", ""},
  };
  for (const auto& c : cases) {
    GuiFixture f;
    touch(f.dir / "Maps/inner.txt");
    touch(f.dir / "a.txt");
    touch(f.dir / "b.txt");
    touch(f.dir / "c.dat");
    f.script_input(c.script(ListGeometry(f.gui)));
    const std::string got = choose_file(f.gui, (f.dir / c.start).string(), "*.txt");
    EXPECT_EQ(got, *c.chosen ? (f.dir / c.chosen).string() : "") << c.what;
  }
}

TEST(FileList, TypeAheadAndScrollBar) {
  // 30 "a" files, 10 "m" files, 5 "z" files: longer than the 20 rows shown.
  auto make = [](GuiFixture& f) {
    for (int i = 0; i < 30; ++i) touch(f.dir / ("a" + std::to_string(100 + i) + ".txt"));
    for (int i = 0; i < 10; ++i) touch(f.dir / ("m" + std::to_string(100 + i) + ".txt"));
    for (int i = 0; i < 5; ++i) touch(f.dir / ("z" + std::to_string(100 + i) + ".txt"));
  };
  const struct {
    const char* what;
    std::string (*script)(const ListGeometry&);
    const char* chosen;
  } cases[] = {
      // The list never scrolls past its end: m100 (entry 30 of 45) shows on row 5.
      {"a letter jumps", [](const ListGeometry& l) { return "3 key M m\n" + l.click_row(6, 5); }, "m100.txt"},
      {"a letter with no match leaves the list",
       [](const ListGeometry& l) { return "3 key Q q\n" + l.click_row(6, 0); }, "a100.txt"},
      {"the last letter stops at the last page", [](const ListGeometry& l) { return "3 key Z z\n" + l.click_row(6, 19); },
       "z104.txt"},
      {"a press below the thumb scrolls 19 rows",
       [](const ListGeometry& l) {
         return "3 click " + std::to_string(l.x + 50 * l.u - l.u) + " " + std::to_string(l.y + 40 * l.h - 4) + "\n" +
                l.click_row(6, 0);
       },
       "a119.txt"},
      {"dragging the thumb to the bottom shows the end",
       [](const ListGeometry& l) {
         const std::string x = std::to_string(l.x + 50 * l.u - l.u);
         return "3 mouse " + x + " " + std::to_string(l.y + 4) + " 1\n4 mouse " + x + " " +
                std::to_string(l.y + 40 * l.h + 50) + " 1\n5 mouse " + x + " 0 0\n" + l.click_row(7, 19);
       },
       "z104.txt"},
  };
  for (const auto& c : cases) {
    GuiFixture f;
    make(f);
    f.script_input(c.script(ListGeometry(f.gui)));
    EXPECT_EQ(choose_file(f.gui, f.dir.string(), "*.txt"), (f.dir / c.chosen).string()) << c.what;
  }
}

TEST(FileList, ARootThatCannotBeReadKeepsTheListing) {
  GuiFixture f;
  touch(f.dir / "a.txt");
  const ListGeometry l(f.gui);
  const int32_t bw = std::max(16, std::min(8 * l.u, 640 - 50 * l.u - 36));
  FileListOptions o;
  o.mask = "*.txt";
  o.roots = {{"gone", "/nonexistent-volume/"}};
  bool said = false;
  f.gui.io.pump = [&] {
    pump(*f.core);
    feed_input_script(f.script, f.input, f.core->pump_counter, 640, 480);
    // "Device not ready!" is printed in the middle of the list, over it.
    if (f.core->pump_counter == 7) said = gui_get_pixel(f.gui, l.x + 25 * l.u, l.y + 20 * l.h) != gui_get_pixel(f.gui, l.x + 2, l.y + 39 * l.h);
  };
  f.script_input("3 click " + std::to_string(l.x - 8 - bw / 2) + " " + std::to_string(l.y + l.row + 2 + l.h) + "\n" +
                 l.click_row(9, 0));
  EXPECT_EQ(choose_file(f.gui, f.dir.string(), o), (f.dir / "a.txt").string());
  EXPECT_TRUE(said);
}

TEST(FileList, UnreadableFolderKeepsTheListing) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  GuiFixture f;
  fs::create_directories(f.dir / "locked");
  touch(f.dir / "z.txt");
  ::chmod((f.dir / "locked").c_str(), 0);
  const ListGeometry l(f.gui);
  f.script_input(l.click_row(3, 0) + l.click_row(8, 1));
  EXPECT_EQ(choose_file(f.gui, f.dir.string(), "*.txt"), (f.dir / "z.txt").string());
  ::chmod((f.dir / "locked").c_str(), 0755);
}

TEST(FileList, GoldenPicture) {
  GuiFixture f;
  // A folder whose path is the same in every run, since the list prints it.
  const fs::path d = "/tmp/korva_file_list_golden";
  fs::remove_all(d);
  for (const char* n : {"alpha.bmp", "beta with spaces.bmp", "gamma.bmp"}) touch(d / n, "12345678");
  fs::create_directories(d / "Sub folder");
  touch(d / "skipped.txt");
  f.script_input("12 key ESC\n");
  Shot shot(f, 8, "file_list_640");
  FileListOptions o;
  o.mask = "*.bmp";
  o.roots = {{"/", "/"}, {"~", "/home/user/"}, {"Base", "/base/"}, {"usb", "/media/usb/"}};
  EXPECT_EQ(choose_file(f.gui, d.string(), o), "");
  EXPECT_TRUE(shot.taken);
  // An empty folder says so.
  GuiFixture f2;
  fs::create_directories(d / "empty");
  f2.script_input("12 key ESC\n");
  Shot shot2(f2, 8, "file_list_empty_640");
  EXPECT_EQ(choose_file(f2.gui, (d / "empty").string(), o), "");
  fs::remove_all(d);
}

// ---- Resource browser ----

constexpr int32_t kCellX[3] = {40, 240, 440};
constexpr int32_t kCellY[3] = {80, 210, 340};
std::string click_cell(int64_t t, int32_t cell) {
  return std::to_string(t) + " click " + std::to_string(kCellX[cell % 3] + 80) + " " +
         std::to_string(kCellY[cell / 3] + 60) + "\n";
}

TEST(ResourceBrowser, PagesChoosesAndErases) {
  auto make = [](GuiFixture& f) {
    for (int i = 0; i < 12; ++i) put(f.dir / "img" / ("p" + std::to_string(10 + i) + ".pcx"), small_pcx(8, 6, 40));
    touch(f.dir / "img/p21.002");
    touch(f.dir / "img/p21.003");
    touch(f.dir / "img/other.bmp");
  };
  const struct {
    const char* what;
    std::string script;
    const char* chosen;
  } cases[] = {
      {"first cell", click_cell(20, 0), "p10.pcx"},
      {">> then the first cell", "20 click 160 50\n" + click_cell(40, 0), "p19.pcx"},
      {"Page Down twice stays on the last page", "20 key PAGEDOWN\n40 key PAGEDOWN\n" + click_cell(60, 2), "p21.pcx"},
      {"Page Down, <<, first cell", "20 key PAGEDOWN\n40 click 80 50\n" + click_cell(60, 0), "p10.pcx"},
      {"an empty cell does nothing", "20 key PAGEDOWN\n" + click_cell(40, 5) + "60 key ESC\n", ""},
      {"the close box", "20 click 626 14\n", ""},
      {"a press while drawing is handled at once", click_cell(2, 4), "p14.pcx"},
  };
  for (const auto& c : cases) {
    GuiFixture f;
    make(f);
    str_set(*f.core->data_folder, f.dir.string() + "/");
    f.script_input(c.script);
    const std::string got = browse_resources(f.gui, (f.dir / "img/p10.pcx").string(), 2, "Pick");
    EXPECT_EQ(got, *c.chosen ? (f.dir / "img" / c.chosen).string() : "") << c.what;
    EXPECT_FALSE(fs::exists(f.dir / "crashed.txt")) << "the marker lives only while a preview is drawn";
  }
}

TEST(ResourceBrowser, ChangeDirectoryStartsAgainInTheChosenFolder) {
  GuiFixture f;
  put(f.dir / "img/a.pcx", small_pcx(8, 6, 40));
  put(f.dir / "other/q.pcx", small_pcx(8, 6, 90));
  touch(f.dir / "other/notes.txt");
  const ListGeometry l(f.gui);
  // The file list opens on img/ with every file; Backspace, the folder "other" (second of the
  // parent's folders), any file there; then the first cell of the new page.
  f.script_input("20 click 516 52\n25 key BACKSPACE\n" + l.click_row(30, 1) + l.click_row(35, 0) + click_cell(70, 0));
  EXPECT_EQ(browse_resources(f.gui, (f.dir / "img/a.pcx").string(), 2, "Pick"), (f.dir / "other/q.pcx").string());
}

TEST(ResourceBrowser, EraseAsksFirst) {
  const struct {
    const char* what;
    const char* answer;
    bool erased;
  } cases[] = {{"Delete answers YES", "DELETE", true}, {"Enter answers NO!", "RETURN", false}};
  for (const auto& c : cases) {
    GuiFixture f;
    put(f.dir / "img/walk_.pcx", small_pcx(8, 8, 80));
    touch(f.dir / "img/walk_.002");
    touch(f.dir / "img/x_stay.pcx");
    f.script_input("20 mouse 120 140 2\n21 mouse 120 140 0\n30 key " + std::string(c.answer) + "\n60 key ESC\n");
    EXPECT_EQ(browse_resources(f.gui, (f.dir / "img/x").string(), 5, "Pick"), "");
    EXPECT_EQ(!fs::exists(f.dir / "img/walk_.pcx"), c.erased) << c.what;
    EXPECT_EQ(!fs::exists(f.dir / "img/walk_.002"), c.erased) << c.what;
    EXPECT_TRUE(fs::exists(f.dir / "img/x_stay.pcx"));
  }
}

TEST(ResourceBrowser, AnEmptyFolderIsOnePageOfEmptyCells) {
  GuiFixture f;
  fs::create_directories(f.dir / "empty");
  f.script_input(click_cell(20, 0) + "40 key ESC\n");
  Shot shot(f, 30, "resource_empty_640");
  EXPECT_EQ(browse_resources(f.gui, (f.dir / "empty/").string(), 11, "Nothing here"), "");
  EXPECT_TRUE(shot.taken);
}

TEST(ResourceBrowser, BrokenFilesGetTheDefaultPreview) {
  GuiFixture f;
  const fs::path d = f.dir / "bad";
  std::vector<uint8_t> noise(3000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 131 + 7);
  put(d / "noise.pcx", noise);
  // Files that begin like a picture and then break off draw what they hold, without harm.
  mkdata::Bytes cut = small_pcx(64, 64, 9);
  cut.resize(200);
  put(d / "cut.pcx", cut);
  mkdata::Bytes header = small_pcx(8, 8, 9);
  header.resize(128);
  put(d / "header.pcx", header);
  draw_resource_preview(f.gui, nullptr, (d / "cut.pcx").string(), 2, 40, 80);
  draw_resource_preview(f.gui, nullptr, (d / "header.pcx").string(), 2, 40, 80);
  put(d / "noise.bmp", noise);
  put(d / "noise.3ds", noise);
  put(d / "noise.x", noise);
  touch(d / "empty.pcx", "");
  touch(d / "empty.3ds", "");
  fs::create_directories(d / "folder.3ds");  // a folder named like a model
  const struct {
    const char* file;
    int32_t kind;
  } cases[] = {{"noise.pcx", 2}, {"noise.bmp", -1}, {"noise.3ds", -4}, {"noise.x", 12}, {"empty.pcx", 5},
               {"empty.3ds", -4}, {"folder.3ds", -4}, {"missing.v3d", 11}};
  SoftwareDevice sw;
  PreviewDevice device{&sw.devices, &sw.gl};
  for (const auto& c : cases) {
    draw_resource_preview(f.gui, sw.ok ? &device : nullptr, (d / c.file).string(), c.kind, 40, 80);
    // The default preview's cross runs through the cell's centre.
    EXPECT_EQ(gui_get_pixel(f.gui, 40 + 80, 80 + 60), gui_rgb_index(96, 96, 96)) << c.file;
  }
}

TEST(ResourceBrowser, GoldenPageOfTextPreviews) {
  GuiFixture f;
  touch(f.dir / "brains/spin.brn", "; spins the element\r\nvar speed=3\r\nturn(element, speed)\r\n");
  touch(f.dir / "brains/binary.brn", std::string("\x01\x02 bytes\tand tabs\r\n\xff\xfe", 20));
  touch(f.dir / "brains/long.brn", std::string(300, 'x') + "\r\n" + std::string(40, '\n') + "end");
  f.script_input("40 key ESC\n");
  Shot shot(f, 30, "resource_texts_640");
  EXPECT_EQ(browse_resources(f.gui, (f.dir / "brains/").string(), -5, "Select a brain"), "");
  EXPECT_TRUE(shot.taken);
}

std::string part_line(const std::string& model, int r, int g, int b) {
  std::string line = "1|none|" + model + "|0|3";
  for (int field = 6; field <= 24; ++field) line += "|0";
  return line + "|" + std::to_string(r) + "|" + std::to_string(g) + "|" + std::to_string(b) + "|0|0|\r\n";
}

TEST(ResourceBrowser, GoldenPagesOfImagesAndRenderedVisuals) {
  SoftwareDevice sw;
  if (!sw.ok) GTEST_SKIP() << "no software device";
  PreviewDevice device{&sw.devices, &sw.gl};
  {
    GuiFixture f;
    put(f.dir / "img/check.pcx", small_pcx(32, 24, 30));
    put(f.dir / "img/walk_.pcx", small_pcx(16, 16, 150));
    put(f.dir / "img/walk_.002", small_pcx(16, 16, 150));
    put(f.dir / "img/walk_.003", small_pcx(16, 16, 150));
    touch(f.dir / "img/broken.pcx", "\x0a not really a picture");
    f.script_input("40 key ESC\n");
    Shot shot(f, 30, "resource_images_640");
    EXPECT_EQ(browse_resources(f.gui, (f.dir / "img/").string(), 2, "Select an image", &device), "");
    EXPECT_TRUE(shot.taken);
  }
  {
    GuiFixture f;
    const mkdata::Mesh box = mkdata::make_box(0.5f, 0.3f, 0.8f);
    put(f.dir / "box.3ds", mkdata::tds_encode(box, "box"));
    put(f.dir / "ball.3ds", mkdata::tds_encode(mkdata::make_sphere(0.4f, 10, 20, false), "ball"));
    touch(f.dir / "vis/box.v3d", part_line((f.dir / "box.3ds").string(), 230, 90, 40));
    touch(f.dir / "vis/ball.v3d", part_line((f.dir / "ball.3ds").string(), 60, 140, 230));
    touch(f.dir / "vis/broken.v3d", "nothing to draw here");
    f.script_input("40 key ESC\n");
    // Rendered cells: a different Mesa may shade a few edge pixels into a neighbouring colour.
    Shot shot(f, 30, "resource_visuals_640", golden::kRendered3D);
    EXPECT_EQ(browse_resources(f.gui, (f.dir / "vis/").string(), 11, "Select a visual", &device), "");
    EXPECT_TRUE(shot.taken);
  }
}

// ---- Project browser ----

TEST(ProjectBrowser, KitsPagesAndChoice) {
  auto make = [](GuiFixture& f, int projects_in_c) {
    str_set(*f.core->base_folder, f.dir.string() + "/");
    str_set(*f.core->data_folder, f.dir.string() + "/data/");
    touch(f.dir / "projects/a/one.prj");
    fs::create_directories(f.dir / "projects/b");  // no projects: skipped
    for (int i = 0; i < projects_in_c; ++i) touch(f.dir / "projects/c" / ("p" + std::to_string(100 + i) + ".prj"));
  };
  const struct {
    const char* what;
    int32_t kit, page, projects;
    std::string script;
    const char* chosen;
    int32_t kit_after, page_after;
  } cases[] = {
      {"kit index 5 of three opens kit 2 (c)", 5, 0, 31, "10 click 40 40\n", "c/p100.prj", 2, 0},
      {"31 projects make two pages; the second", 2, 1, 31, "10 click 40 40\n", "c/p130.prj", 2, 1},
      {"30 projects make one page: paging wraps", 2, 0, 30, "10 key RIGHT\n20 click 40 40\n", "c/p100.prj", 2, 0},
      {"next kit skips the empty one forward", 0, 0, 3, "10 key DOWN\n20 click 40 40\n", "c/p100.prj", 2, 0},
      {"previous kit skips it backward", 2, 0, 3, "10 key UP\n20 click 40 40\n", "a/one.prj", 0, 0},
      {"Escape", 0, 0, 3, "10 key ESC\n", "", 0, 0},
  };
  for (const auto& c : cases) {
    GuiFixture f;
    make(f, c.projects);
    auto m = model_create();
    m->state[est::kKitIndex] = c.kit;
    m->state[est::kBrowserPage] = c.page;
    f.script_input(c.script);
    EXPECT_EQ(browse_projects(f.gui, *m), *c.chosen ? (f.dir / "projects" / c.chosen).string() : "") << c.what;
    EXPECT_EQ(m->state[est::kKitIndex], c.kit_after) << c.what;
    EXPECT_EQ(m->state[est::kBrowserPage], c.page_after) << c.what;
  }
}

TEST(ProjectBrowser, ErasesAProjectWithItsCompanionAndShowsThePage) {
  GuiFixture f;
  str_set(*f.core->base_folder, f.dir.string() + "/");
  str_set(*f.core->data_folder, f.dir.string() + "/data/");
  touch(f.dir / "projects/demo/descrptn.txt", "Demo projects\r\n");
  for (const char* n : {"car.prj", "car.col", "boat.prj", "train.prj"}) touch(f.dir / "projects/demo" / n);
  // The installation's panel font.
  mkdata::Typeface face;
  if (face.open(mkdata::find_font_file(false))) {
    face.set_pixel_size(11);
    put(f.dir / "data/font8.fnt", mkdata::make_fnt(face));
  }
  auto m = model_create();
  f.script_input("10 mouse 40 40 2\n11 mouse 40 40 0\n20 key DELETE\n40 key ESC\n");
  Shot shot(f, 5, "project_browser_640");
  EXPECT_EQ(browse_projects(f.gui, *m), "");
  EXPECT_TRUE(shot.taken);
  EXPECT_FALSE(fs::exists(f.dir / "projects/demo/boat.prj"));  // the first row
  EXPECT_TRUE(fs::exists(f.dir / "projects/demo/car.col"));
}

}  // namespace
}  // namespace korva::test
