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
      {cube, "brain", "brains/spin_.brn", "brains/spin_.brn"},
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
    if (!refused) {
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

}  // namespace
}  // namespace korva::test
