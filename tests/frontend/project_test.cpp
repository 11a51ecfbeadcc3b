// Project operations without a window: new projects from templates, one element of each kind
// with its default files, fields set through the formatter, moves and deletions with the
// references and the collision matrix following, bad input refused, and the result run by korva.
#include <sys/stat.h>

#include "frontend_fixture.h"

namespace korva::test {
namespace {

namespace fs = std::filesystem;
using frontend::Project;

TEST_F(InstallationTest, EveryKindIsAddedSavedAndRunsInModeOne) {
  const std::string path = dir + "/projects/game/game.prj";
  ASSERT_TRUE(frontend::new_project(dir, path, "empty").ok);
  Project p(dir);
  ASSERT_TRUE(p.open(path).ok);
  ASSERT_EQ(p.count(), 1);
  EXPECT_EQ(p.row(0).kind, "camera");
  for (const frontend::ElementKind& k : frontend::element_kinds()) {
    int32_t index = -1;
    ASSERT_TRUE(p.add(k.name, std::string("My ") + k.name, -1, &index).ok) << k.name;
    EXPECT_EQ(index, p.count() - 1);
    const frontend::ElementRow r = p.row(index);
    EXPECT_EQ(r.kind, k.name);
    EXPECT_EQ(r.visual, k.asset);
    EXPECT_TRUE(fs::exists(dir + "/" + r.visual)) << r.visual;
    EXPECT_TRUE(fs::exists(dir + "/" + r.sound)) << r.sound;
    EXPECT_TRUE(fs::exists(dir + "/" + r.brain)) << r.brain;
    EXPECT_TRUE(r.active);
  }
  EXPECT_TRUE(p.modified());
  ASSERT_TRUE(p.save().ok);
  EXPECT_FALSE(p.modified());

  Project again(dir);
  ASSERT_TRUE(again.open(path).ok);
  ASSERT_EQ(again.count(), 1 + int32_t(frontend::element_kinds().size()));
  EXPECT_EQ(again.row(2).name, "My shape");
  EXPECT_EQ(again.description(), "New project");
  EXPECT_EQ(run_headless(path), "");
}

TEST_F(InstallationTest, FieldsAreWrittenInTheFileFormat) {
  Project p(dir);
  p.start_new();
  int32_t cube = 0, score = 0;
  ASSERT_TRUE(p.add("visual", "Cube", -1, &cube).ok);
  ASSERT_TRUE(p.add("counter", "Score", -1, &score).ok);
  const struct {
    int32_t element;
    const char* field;
    const char* value;
    const char* shown;  // "" when the value is refused
  } cases[] = {
      {cube, "x", "1.5", "1.500"},
      {cube, "y", "-0.25", "-0.250"},
      {cube, "yaw", "90", "90.000"},
      {cube, "spiny", "+45.125", "45.125"},
      {cube, "vz", "2", "2.000"},
      {cube, "credits", "12", "12"},
      {cube, "active", "no", "no"},
      {cube, "active", "yes", "yes"},
      {cube, "name", "Red/blue cube", "Red/blue cube"},
      {cube, "sound", "sounds/blip_.wav", "sounds/blip_.wav"},
      {cube, "brain", "brains/spin_.brn", "*"},  // "*": the element's own copy of the file
      {cube, "params", "1/1/2/1020", "1/1/2/1020"},
      {score, "x", "20", "20"},  // counters count in whole pixels
      {score, "x", "20.5", ""},
      {cube, "x", "1.2345", ""},
      {cube, "x", "abc", ""},
      {cube, "x", "", ""},
      {cube, "x", "99999999", ""},
      {cube, "credits", "1.5", ""},
      {cube, "active", "maybe", ""},
      {cube, "name", "A|B", ""},
      {cube, "name", "", ""},
      {cube, "name", "two\nlines", ""},
      {cube, "sound", "sounds/none.wav", ""},
      {cube, "params", "2/1/0/1020", ""},
      {cube, "params", "1/9/0/1020", ""},
      {cube, "colour", "red", ""},
      {7, "x", "1", ""},
      {-1, "x", "1", ""},
  };
  for (const auto& c : cases) {
    const std::string before = c.element >= 0 && c.element < p.count() ? p.field(c.element, c.field) : "";
    const frontend::Status s = p.set_field(c.element, c.field, c.value);
    const bool refused = *c.shown == 0;
    EXPECT_EQ(s.ok, !refused) << c.field << "=" << c.value << ": " << s.error;
    EXPECT_EQ(s.error.empty(), !refused) << c.field << "=" << c.value;
    if (std::string(c.shown) == "*") {
      EXPECT_TRUE(p.field(c.element, c.field).ends_with(".bra")) << p.field(c.element, c.field);
      EXPECT_EQ(read(dir + "/" + p.field(c.element, c.field)), read(dir + "/" + c.value));
    } else if (!refused) {
      EXPECT_EQ(p.field(c.element, c.field), c.shown) << c.field;
    } else if (c.element >= 0 && c.element < p.count()) {
      EXPECT_EQ(p.field(c.element, c.field), before) << c.field;
    }
  }
  EXPECT_EQ(p.row(cube).name, "Red/blue cube");
  EXPECT_EQ(p.params(cube), std::vector<std::string>{"1/2/1020"});
}

// Elements A B C D; A names D and D names B by kind-1 parameters. Moving D to the front, then
// deleting B, keeps every reference on the element it meant.
TEST_F(InstallationTest, MoveAndRemoveKeepReferencesOnTheirElements) {
  Project p(dir);
  p.start_new();
  ASSERT_TRUE(p.remove(0).ok);
  for (const char* name : {"A", "B", "C", "D"}) ASSERT_TRUE(p.add("visual", name, -1, nullptr).ok);
  ASSERT_TRUE(p.set_field(0, "params", "1/1/3/1020").ok);
  ASSERT_TRUE(p.set_field(3, "params", "2/1/1/1020/0/5/1024").ok);
  ASSERT_TRUE(p.move(3, 0).ok);
  auto names = [&] {
    std::string s;
    for (const auto& r : p.list()) s += r.name;
    return s;
  };
  EXPECT_EQ(names(), "DABC");
  EXPECT_EQ(p.params(1), std::vector<std::string>({"1/0/1020"}));             // A still names D
  EXPECT_EQ(p.params(0), std::vector<std::string>({"1/2/1020", "0/5/1024"}));  // D still names B

  ASSERT_TRUE(p.move(0, 3).ok);  // and back to the end
  EXPECT_EQ(names(), "ABCD");
  EXPECT_EQ(p.params(0), std::vector<std::string>({"1/3/1020"}));
  EXPECT_EQ(p.params(3), std::vector<std::string>({"1/1/1020", "0/5/1024"}));

  ASSERT_TRUE(p.remove(1).ok);  // B: D's reference is cleared, A's follows D down
  EXPECT_EQ(names(), "ACD");
  EXPECT_EQ(p.params(0), std::vector<std::string>({"1/2/1020"}));
  EXPECT_EQ(p.params(2), std::vector<std::string>({"1/-1/1020", "0/5/1024"}));

  EXPECT_FALSE(p.move(0, 3).ok);
  EXPECT_FALSE(p.move(5, 0).ok);
  EXPECT_FALSE(p.remove(3).ok);
  EXPECT_TRUE(p.move(1, 1).ok);
  EXPECT_EQ(names(), "ACD");
}

// The demo's cube (2) and ball (3) collide with code 1; the pair keeps its code wherever the
// ball moves, and the moved project still runs.
TEST_F(InstallationTest, CollisionMatrixFollowsAMove) {
  const std::string path = dir + "/projects/mydemo/mydemo.prj";
  ASSERT_TRUE(frontend::new_project(dir, path, "demo").ok);
  const std::string col = dir + "/projects/mydemo/mydemo.col";
  ASSERT_EQ(uint8_t(read(col).at(2 * 256 + 3)), 1);
  Project p(dir);
  ASSERT_TRUE(p.open(path).ok);
  EXPECT_NE(p.description().find("Korva demo"), std::string::npos) << p.description();
  ASSERT_EQ(p.row(3).name, "Ball");
  ASSERT_TRUE(p.move(3, 0).ok);
  ASSERT_TRUE(p.save().ok);
  const std::string bytes = read(col);
  EXPECT_EQ(uint8_t(bytes.at(3 * 256 + 0)), 1);  // cube now 3, ball 0
  EXPECT_EQ(uint8_t(bytes.at(2 * 256 + 3)), 0);
  EXPECT_EQ(run_headless(path), "");
}

TEST_F(InstallationTest, TemplatesMakeProjectsThatRun) {
  for (const frontend::Template& t : frontend::templates()) {
    const std::string path = dir + "/projects/t_" + t.name + "/t_" + t.name + ".prj";
    ASSERT_TRUE(frontend::new_project(dir, path, t.name).ok) << t.name;
    EXPECT_FALSE(frontend::new_project(dir, path, t.name).ok) << "overwrote " << t.name;
    EXPECT_EQ(run_headless(path, 4), "") << t.name;
  }
  bool listed = false;
  for (const frontend::ProjectEntry& e : frontend::list_projects(dir))
    listed |= e.kit == "t_demo" && e.path.ends_with("t_demo.prj") && !e.description.empty();
  EXPECT_TRUE(listed);
  const struct {
    const char* path;
    const char* template_name;
  } bad[] = {{"/projects/x/x.prj", "nonesuch"}, {"/projects/x/x.txt", "empty"}, {"/projects/x|y/x.prj", "empty"}};
  for (const auto& b : bad) EXPECT_FALSE(frontend::new_project(dir, dir + b.path, b.template_name).ok) << b.path;
  EXPECT_FALSE(frontend::new_project(dir + "/nowhere", dir + "/nowhere/a.prj", "empty").ok);
}

TEST_F(InstallationTest, ASnapshotBringsTheTableBack) {
  const std::string path = dir + "/projects/u/u.prj";
  ASSERT_TRUE(frontend::new_project(dir, path, "demo").ok);
  Project p(dir);
  ASSERT_TRUE(p.open(path).ok);
  const Project::Snapshot before = p.snapshot();
  const std::vector<frontend::ElementRow> rows = p.list();
  ASSERT_TRUE(p.move(3, 0).ok);
  ASSERT_TRUE(p.remove(5).ok);
  ASSERT_TRUE(p.set_field(1, "x", "4").ok);
  const Project::Snapshot after = p.snapshot();
  p.restore(before);
  EXPECT_TRUE(p.modified());
  ASSERT_EQ(p.count(), int32_t(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(p.row(int32_t(i)).name, rows[i].name);
  ASSERT_TRUE(p.save().ok);
  EXPECT_EQ(uint8_t(read(dir + "/projects/u/u.col").at(2 * 256 + 3)), 1);
  p.restore(after);  // and redone
  EXPECT_TRUE(p.modified());
  EXPECT_EQ(p.count(), int32_t(rows.size()) - 1);
  EXPECT_EQ(p.row(0).name, "Ball");
  EXPECT_EQ(p.field(1, "x"), "4.000");
}

TEST_F(InstallationTest, BadProjectsAndFullTablesAreRefused) {
  Project p(dir);
  EXPECT_FALSE(p.open(dir + "/projects/none/none.prj").ok);
  const std::string damaged = dir + "/projects/bad.prj";
  std::ofstream(damaged) << ";Not a project\r\n5\r\nnothing here\r\n";
  const frontend::Status s = p.open(damaged);
  EXPECT_FALSE(s.ok);
  EXPECT_NE(s.error.find("element records"), std::string::npos) << s.error;
  EXPECT_TRUE(p.path().empty());
  EXPECT_FALSE(p.save().ok);  // nothing is saved over the damaged file
  EXPECT_EQ(read(damaged), ";Not a project\r\n5\r\nnothing here\r\n");

  p.start_new();
  EXPECT_FALSE(p.add("dragon", "", -1, nullptr).ok);
  EXPECT_FALSE(p.add("visual", "a|b", -1, nullptr).ok);
  while (p.count() < 256) ASSERT_TRUE(p.add("visual", "", -1, nullptr).ok);
  EXPECT_EQ(p.list().size(), 256u);
  EXPECT_FALSE(p.add("visual", "", -1, nullptr).ok);
  ASSERT_TRUE(p.move(255, 0).ok);
  ASSERT_TRUE(p.save_as(dir + "/projects/big.prj").ok);
  Project big(dir);
  ASSERT_TRUE(big.open(dir + "/projects/big.prj").ok);
  EXPECT_EQ(big.count(), 256);
}

TEST_F(InstallationTest, ASaveThatFailsLeavesTheOldFile) {
  const std::string path = dir + "/projects/ro/ro.prj";
  ASSERT_TRUE(frontend::new_project(dir, path, "empty").ok);
  const std::string before = read(path);
  Project p(dir);
  ASSERT_TRUE(p.open(path).ok);
  ASSERT_TRUE(p.add("visual", "Cube", -1, nullptr).ok);
  std::ofstream(dir + "/projects/afile") << "x";
  const frontend::Status elsewhere = p.save_as(dir + "/projects/afile/x.prj");  // its folder is a file
  EXPECT_FALSE(elsewhere.ok);
  EXPECT_NE(elsewhere.error.find("Could not save"), std::string::npos) << elsewhere.error;
  EXPECT_EQ(p.path(), path);
  EXPECT_TRUE(p.modified());
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  chmod((dir + "/projects/ro").c_str(), 0555);
  const frontend::Status s = p.save();
  chmod((dir + "/projects/ro").c_str(), 0755);
  EXPECT_FALSE(s.ok);
  EXPECT_FALSE(s.error.empty());
  EXPECT_TRUE(p.modified());
  EXPECT_EQ(read(path), before);
}

TEST_F(InstallationTest, DuplicateGivesTheCopyItsOwnBrainAndCollisions) {
  const std::string path = dir + "/projects/dup/dup.prj";
  ASSERT_TRUE(frontend::new_project(dir, path, "demo").ok);
  Project p(dir);
  ASSERT_TRUE(p.open(path).ok);
  const int32_t n = p.count();
  ASSERT_EQ(p.row(2).name, "Cube");
  ASSERT_EQ(p.collision(2, 3), 1);
  ASSERT_TRUE(p.set_field(0, "params", "1/1/3/1020").ok);  // the camera names the ball
  int32_t copy = -1;
  ASSERT_TRUE(p.duplicate(2, &copy).ok);
  EXPECT_EQ(copy, 3);
  EXPECT_EQ(p.count(), n + 1);
  EXPECT_EQ(p.row(3).name, "Cube copy");
  EXPECT_EQ(p.row(3).visual, p.row(2).visual);
  EXPECT_NE(p.brain_path(3), p.brain_path(2));
  EXPECT_EQ(read(p.brain_path(3)), read(p.brain_path(2)));
  EXPECT_EQ(p.collision(3, 4), 1);  // the copy collides with the ball (now 4) as the cube does
  EXPECT_EQ(p.collision(2, 4), 1);
  EXPECT_EQ(p.collision(2, 3), 0);
  EXPECT_EQ(p.params(0), std::vector<std::string>{"1/4/1020"});  // the ball moved up: still named
  // Editing the copy's brain leaves the cube's alone.
  std::ofstream(p.brain_path(3), std::ios::binary) << "; The copy's own brain\r\nuserint lives=3\r\n";
  ASSERT_TRUE(p.brain_changed(3).ok);
  EXPECT_EQ(p.brain_description(3), "The copy's own brain");
  EXPECT_EQ(p.params(3).size(), 1u);
  EXPECT_NE(p.brain_description(2), "The copy's own brain");
  EXPECT_FALSE(p.duplicate(n + 1, &copy).ok);
  ASSERT_TRUE(p.save().ok);
  EXPECT_EQ(run_headless(path), "");
}

TEST_F(InstallationTest, CollisionCodesAndSettingsAreSavedWithTheProject) {
  const std::string path = dir + "/projects/set/set.prj";
  ASSERT_TRUE(frontend::new_project(dir, path, "empty").ok);
  Project p(dir);
  ASSERT_TRUE(p.open(path).ok);
  EXPECT_TRUE(p.params(0).empty());  // the new camera names no element
  ASSERT_TRUE(p.add("visual", "A", -1, nullptr).ok);
  ASSERT_TRUE(p.add("visual", "B", -1, nullptr).ok);
  ASSERT_TRUE(p.set_collision(2, 1, 11).ok);  // either order: one pair
  EXPECT_EQ(p.collision(1, 2), 11);
  const struct {
    int32_t a, b, code;
  } refused[] = {{1, 1, 3}, {1, 2, 12}, {1, 2, -1}, {0, 3, 1}, {-1, 0, 1}};
  for (const auto& r : refused) EXPECT_FALSE(p.set_collision(r.a, r.b, r.code).ok) << r.a << " " << r.b << " " << r.code;
  EXPECT_EQ(p.collision(1, 2), 11);

  const struct {
    const char* name;
    const char* value;
    bool ok;
  } settings[] = {
      {"repetitions", "4", true},   {"repetitions", "3", false}, {"repetitions", "512", false},
      {"shared", "1,5(3), 9", true}, {"shared", "x", false},      {"shared", "1(", false},
      {"shared", "a|b", false},      {"clip", "55", true},        {"clip", "0", false},
      {"fov", "80", true},           {"fov", "1.5", false},       {"background", "images/jeep001_.pcx", true},
      {"background", "images/none.pcx", false},                   {"fog", "1", false},
  };
  for (const auto& s : settings) EXPECT_EQ(p.set_setting(s.name, s.value).ok, s.ok) << s.name << " " << s.value;
  const Project::Snapshot before = p.snapshot();
  ASSERT_TRUE(p.set_setting("clip", "99").ok);
  ASSERT_TRUE(p.set_collision(1, 2, 0).ok);
  p.restore(before);  // undo brings settings and codes back
  EXPECT_EQ(p.setting("clip"), "55");
  EXPECT_EQ(p.collision(1, 2), 11);
  ASSERT_TRUE(p.save().ok);

  Project again(dir);
  ASSERT_TRUE(again.open(path).ok);
  EXPECT_EQ(again.collision(1, 2), 11);
  EXPECT_EQ(again.setting("repetitions"), "4");
  EXPECT_EQ(again.setting("shared"), "1,5(3), 9");
  EXPECT_EQ(again.setting("clip"), "55");
  EXPECT_EQ(again.setting("fov"), "80");
  EXPECT_EQ(again.setting("background"), "images/jeep001_.pcx");
  EXPECT_EQ(uint8_t(read(dir + "/projects/set/set.col").at(1 * 256 + 2)), 11);
  EXPECT_EQ(run_headless(path), "");
}

// Private brain files carry numbers of the project's own, far from those korva's processes
// take, so that a korva run on the project writes none of them; they go with the project.
TEST_F(InstallationTest, PrivateBrainFilesDoNotClashAndAreCleanedUp) {
  const std::string path = dir + "/projects/demo/demo.prj";
  std::vector<std::string> brains;
  {
    Project a(dir), b(dir);
    ASSERT_TRUE(a.open(path).ok);
    ASSERT_TRUE(b.open(path).ok);
    for (int32_t i = 0; i < a.count(); ++i) {
      brains.push_back(a.brain_path(i));
      EXPECT_NE(a.brain_path(i), b.brain_path(i));
      EXPECT_GE(fs::path(a.brain_path(i)).filename().string(), "10000000.bra");
    }
    // Choosing an example brain gives the element a copy: the example stays as it was.
    const std::string example = read(dir + "/brains/spin_.brn");
    ASSERT_TRUE(a.set_field(1, "brain", "brains/spin_.brn").ok);
    EXPECT_NE(a.brain_path(1), dir + "/brains/spin_.brn");
    std::ofstream(a.brain_path(1)) << "; changed\r\n";
    EXPECT_EQ(read(dir + "/brains/spin_.brn"), example);
    // korva runs the project meanwhile, numbering its own brain files from 1.
    EXPECT_EQ(run_headless(path), "");
    for (const std::string& brain : brains) EXPECT_TRUE(fs::exists(brain)) << brain;
    EXPECT_NE(a.brain_description(2), "");
  }
  for (const std::string& brain : brains) EXPECT_FALSE(fs::exists(brain)) << brain;
}

TEST_F(InstallationTest, ALevelListOfOneProjectBuildsAStandAloneGame) {
  std::string list;
  const std::string project = dir + "/projects/demo/demo.prj";
  ASSERT_TRUE(frontend::write_level_list(dir, "solo", {project}, &list).ok);
  EXPECT_EQ(list, dir + "/multilev/solo.mlv");
  const std::string text = read(list);
  EXPECT_TRUE(text.starts_with("./images/wait_.bmp|./images/anykey_.bmp|./projects/demo/demo.prj|1\r\n")) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 500);
  for (const char* bad : {"", "a b", "../x", "x.mlv"}) EXPECT_FALSE(frontend::write_level_list(dir, bad, {project}).ok) << bad;
  EXPECT_FALSE(frontend::write_level_list(dir, "none", {}).ok);
  EXPECT_FALSE(frontend::write_level_list(dir, "gone", {dir + "/projects/gone.prj"}).ok);

  const std::string korva = std::string(KORVA_BINARY_DIR) + "/korva";
  if (!fs::exists(korva)) GTEST_SKIP() << "korva is not built";
  ASSERT_TRUE(frontend::write_runmode(dir, list, 6, 0).ok);
  const frontend::RunResult r = frontend::start_and_wait(korva, dir, {{"KORVA_HEADLESS", "1"}, {"KORVA_FAST", "1"}});
  EXPECT_EQ(frontend::judge_run(r, frontend::Marker::NotUsed, dir).reason, "");
  EXPECT_TRUE(fs::exists(dir + "/korvaexe/level001.prj"));
}

TEST_F(InstallationTest, BrainParametersAreSetByNameInTheirUnits) {
  Project p(dir);
  p.start_new();
  ASSERT_TRUE(p.add("visual", "Ball", -1, nullptr).ok);
  std::ofstream(dir + "/brains/chase_.brn") << "; Chases an element.\n"
                                               "userele target=0\n"
                                               "; The element it chases.\n"
                                               "\n"
                                               "var step=0\n"
                                               "USERVEL  speed = 2\n"
                                               "userint tries=3\n";
  ASSERT_TRUE(p.set_field(1, "brain", "brains/chase_.brn").ok);
  const std::vector<Project::BrainParam> params = p.brain_params(1);
  ASSERT_EQ(params.size(), 3u);  // the plain variable is not the user's
  EXPECT_EQ(params[0].name, "target");
  EXPECT_EQ(params[0].type, 1);
  EXPECT_EQ(params[0].help, "The element it chases.");
  EXPECT_EQ(params[1].name, "speed");
  EXPECT_EQ(params[1].entry, 2);
  EXPECT_EQ(params[1].type, 5);
  EXPECT_EQ(params[2].name, "tries");
  const struct {
    int32_t entry;
    const char* value;
    bool ok;
  } cases[] = {{0, "1", true}, {0, "2", false}, {0, "-1", true}, {0, "x", false}, {2, "2.5", true},
               {2, "2.5555", false}, {3, "7", true}, {3, "7.5", false}, {3, "1/2", false}, {9, "1", false}};
  for (const auto& c : cases) EXPECT_EQ(p.set_param(1, c.entry, c.value).ok, c.ok) << c.entry << " " << c.value;
  EXPECT_EQ(p.brain_params(1)[0].value, "-1");
  EXPECT_EQ(p.brain_params(1)[1].value, "2.5");
  EXPECT_EQ(p.brain_params(1)[2].value, "7");
  // The reference follows its element when it moves.
  ASSERT_TRUE(p.set_param(1, 0, "0").ok);
  ASSERT_TRUE(p.move(0, 1).ok);
  EXPECT_EQ(p.brain_params(0)[0].value, "1");
}

}  // namespace
}  // namespace korva::test
