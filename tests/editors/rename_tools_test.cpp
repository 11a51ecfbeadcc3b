// The animation rename tools on files in a scratch folder, with the questions answered by the
// core's hooks.
#include <filesystem>
#include <fstream>

#include "editors/editors.h"
#include "gui_fixture.h"

namespace korva::test {
namespace {

namespace fs = std::filesystem;

// Answers and records the tools' boxes.
struct Answers {
  std::string name;       // typed into the input box
  int32_t question = 1;   // 1 left (" NO "), 2 right (" YES ")
  std::vector<std::string> shown;

  explicit Answers(Core& c) {
    c.ui.input_box = [this](int32_t, std::string_view, std::string_view prompt) {
      shown.emplace_back(prompt);
      return name;
    };
    c.ui.message_box = [this](std::string_view text, std::string_view left, std::string_view right) {
      shown.emplace_back(text);
      if (left == " NO ") {
        EXPECT_EQ(right, " YES ");
        return question;
      }
      EXPECT_EQ(left, " OK ");
      return 1;
    };
  }
};

void touch(const fs::path& p, const std::string& content = "x") { std::ofstream(p, std::ios::binary) << content; }

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void make_animation(const fs::path& dir, const std::string& name, int32_t frames) {
  for (int32_t n = 1; n <= frames; ++n)
    touch(animation_frame_path((dir / name).string(), n), "frame " + std::to_string(n));
}

TEST(RenameTools, FramePaths) {
  EXPECT_EQ(animation_frame_path("/a/walk", 1), "/a/walk.pcx");
  EXPECT_EQ(animation_frame_path("/a/walk", 2), "/a/walk.002");
  EXPECT_EQ(animation_frame_path("/a/walk", 12), "/a/walk.012");
  EXPECT_EQ(animation_frame_path("/a/walk", 999), "/a/walk.999");
}

TEST(RenameTools, RenamesAnAnimationOfTwelveFrames) {
  GuiFixture f;
  Answers a(*f.core);
  make_animation(f.dir, "walk", 12);
  a.name = "run man.pcx";  // a blank inside the name is kept; the extension is implied
  EXPECT_EQ(rename_animation(*f.core, (f.dir / "walk.pcx").string()), 12);
  ASSERT_EQ(a.shown.size(), 2u);
  EXPECT_EQ(a.shown[0], "Please, type the new name");
  EXPECT_EQ(a.shown[1], "12 files renamed.");
  EXPECT_EQ(read(f.dir / "run man.pcx"), "frame 1");
  EXPECT_EQ(read(f.dir / "run man.012"), "frame 12");
  EXPECT_FALSE(fs::exists(f.dir / "walk.pcx"));
  EXPECT_FALSE(fs::exists(f.dir / "walk.012"));
}

TEST(RenameTools, AnExistingAnimationIsOverwrittenOnlyAfterYes) {
  for (const int32_t answer : {1, 2}) {
    GuiFixture f;
    Answers a(*f.core);
    make_animation(f.dir, "walk", 3);
    for (int32_t n = 1; n <= 5; ++n) touch(animation_frame_path((f.dir / "jump").string(), n), "old");
    a.name = "jump";
    a.question = answer;
    const int32_t count = rename_animation(*f.core, (f.dir / "walk.pcx").string());
    ASSERT_GE(a.shown.size(), 2u);
    EXPECT_EQ(a.shown[1], "WARNING! An animation named 'jump' already exists!|Do you want to overwrite it?");
    if (answer == 1) {
      EXPECT_EQ(count, -1);
      EXPECT_EQ(read(f.dir / "jump.pcx"), "old");
      EXPECT_EQ(read(f.dir / "walk.003"), "frame 3");
    } else {
      EXPECT_EQ(count, 3);
      EXPECT_EQ(read(f.dir / "jump.003"), "frame 3");
      // The old animation's later frames do not trail the new one.
      EXPECT_FALSE(fs::exists(f.dir / "jump.004"));
      EXPECT_FALSE(fs::exists(f.dir / "jump.005"));
    }
  }
}

TEST(RenameTools, RenameRefusalsChangeNothing) {
  const char* names[] = {"", "   ", "walk", "walk.PCX", "../walk2", "sub/walk2"};
  for (const char* name : names) {
    GuiFixture f;
    Answers a(*f.core);
    make_animation(f.dir, "walk", 2);
    a.name = name;
    EXPECT_EQ(rename_animation(*f.core, (f.dir / "walk.pcx").string()), -1) << name;
    EXPECT_EQ(read(f.dir / "walk.002"), "frame 2") << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir), fs::directory_iterator()), 4) << name;  // + skin, font
  }
}

TEST(RenameTools, ListsBecomeAnimations) {
  const struct {
    const char* chosen;
    std::vector<std::string> files;
    int32_t count;
    const char* base;
  } cases[] = {
      {"hero001.pcx", {"hero001.pcx", "hero002.pcx", "hero003.pcx"}, 3, "hero"},
      {"hero02.pcx", {"hero01.pcx", "hero02.pcx", "hero03.pcx", "hero05.pcx"}, 3, "hero"},  // stops at a gap
      {"fly 7.pcx", {"fly 1.pcx", "fly 2.pcx"}, 2, "fly "},
      {"x0001.pcx", {"x0001.pcx", "x0002.pcx"}, 2, "x0"},  // three digits at most
  };
  for (const auto& k : cases) {
    GuiFixture f;
    Answers a(*f.core);
    for (const std::string& name : k.files) touch(f.dir / name, name);
    EXPECT_EQ(list_to_animation(*f.core, (f.dir / k.chosen).string()), k.count) << k.chosen;
    EXPECT_EQ(read(f.dir / (std::string(k.base) + ".pcx")), k.files[0]) << k.chosen;
    EXPECT_EQ(read(animation_frame_path((f.dir / k.base).string(), 2)), k.files[1]) << k.chosen;
    EXPECT_FALSE(fs::exists(f.dir / k.files[0])) << k.chosen;
    ASSERT_FALSE(a.shown.empty());
    EXPECT_EQ(a.shown.back(), std::to_string(k.count) + " files renamed.");
  }
}

TEST(RenameTools, ListRefusals) {
  const std::string form =
      "The .pcx list must be in the form|nameXXX.pcx (or nameXX.pcx or nameX.pcx)|where 'name' is any custom "
      "name and 'XXX' is the frame number.|Also, the list must start with '001' and not '000'";
  const struct {
    const char* chosen;
    std::vector<std::string> files;
    std::string message;
  } cases[] = {
      {"hero000.pcx", {"hero000.pcx", "hero001.pcx"}, form},  // numbered from 000
      {"hero.pcx", {"hero.pcx"}, form},                        // no number
      {"007.pcx", {"007.pcx", "001.pcx"}, form},               // no name
      {"hero002.pcx", {"hero002.pcx", "hero003.pcx"}, form},   // no first image
      {"walk001.pcx", {"walk001.pcx", "walk.pcx", "walk.002"},
       "Error, 'walk.pcx' is the first frame of an animation, |not an image of a list!"},
  };
  for (const auto& k : cases) {
    GuiFixture f;
    Answers a(*f.core);
    for (const std::string& name : k.files) touch(f.dir / name, name);
    EXPECT_EQ(list_to_animation(*f.core, (f.dir / k.chosen).string()), -1) << k.chosen;
    ASSERT_EQ(a.shown.size(), 1u) << k.chosen;
    EXPECT_EQ(a.shown[0], k.message);
    for (const std::string& name : k.files) EXPECT_EQ(read(f.dir / name), name) << k.chosen;
  }
  // An existing first frame is overwritten only after " YES ".
  GuiFixture f;
  Answers a(*f.core);
  touch(f.dir / "hero.pcx", "old");
  touch(f.dir / "hero1.pcx", "new");
  EXPECT_EQ(list_to_animation(*f.core, (f.dir / "hero1.pcx").string()), -1);
  EXPECT_EQ(read(f.dir / "hero.pcx"), "old");
  a.question = 2;
  EXPECT_EQ(list_to_animation(*f.core, (f.dir / "hero1.pcx").string()), 1);
  EXPECT_EQ(read(f.dir / "hero.pcx"), "new");
  EXPECT_EQ(a.shown[0], "WARNING! An animation named 'hero' already exists!|Do you want to overwrite it?");
}

}  // namespace
}  // namespace korva::test
