// What the pickers offer and show: the files of a field by the element's kind, thumbnails of
// images (decoded by the engine's readers) and of visuals (rendered by the engine's software 3D
// device), summaries of brains and sounds, and the list of recent projects.
#include <cstdlib>

#include "editors/editors.h"
#include "frontend_fixture.h"
#include "golden.h"
#include "software_device.h"
#include "model/model.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"

namespace korva::test {
namespace {

namespace fs = std::filesystem;

// The software device with the preview renderer on it.
struct SoftwarePreview : SoftwareDevice {
  PreviewDevice device{&devices, &gl};
};

TEST_F(InstallationTest, PickersOfferTheFilesOfTheKind) {
  const struct {
    const char* field;
    int32_t type;
    const char* has;      // one choice it must offer
    const char* has_not;  // one it must not
    frontend::PickKind kind;
  } cases[] = {
      {"visual", kTypeVisual, "visuals/ball_.v3d", "sprites/default_.pcx", frontend::PickKind::Visual},
      {"visual", kTypeSprite, "sprites/default_.pcx", "visuals/ball_.v3d", frontend::PickKind::Image},
      {"visual", kTypeFlatShape, "images/jeep001_.pcx", "visuals/ball_.v3d", frontend::PickKind::Image},
      {"visual", kTypeCamera, "cameras/default_.03d", "visuals/ball_.v3d", frontend::PickKind::Visual},
      {"sound", kTypeVisual, "sounds/blip_.wav", "brains/spin_.brn", frontend::PickKind::Sound},
      {"brain", kTypeVisual, "brains/arrows_.brn", "sounds/blip_.wav", frontend::PickKind::Brain},
      {"background", 0, "bckgrnds/bkgr000_.bmp", "visuals/ball_.v3d", frontend::PickKind::Image},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> choices = frontend::pick_choices(dir, c.field, c.type);
    EXPECT_NE(std::find(choices.begin(), choices.end(), c.has), choices.end()) << c.field << " " << c.type;
    EXPECT_EQ(std::find(choices.begin(), choices.end(), c.has_not), choices.end()) << c.field << " " << c.type;
    EXPECT_TRUE(std::is_sorted(choices.begin(), choices.end()));
    EXPECT_EQ(frontend::pick_kind(c.field, c.type), c.kind) << c.field;
  }
  EXPECT_NE(frontend::file_summary(dir + "/brains/arrows_.brn").find("arrow keys"), std::string::npos);
  EXPECT_NE(frontend::file_summary(dir + "/sounds/blip_.wav").find(" Hz"), std::string::npos);
  EXPECT_EQ(frontend::file_summary(dir + "/sounds/nothere.wav"), "");
}

TEST_F(InstallationTest, ThumbnailsOfImagesAndVisuals) {
  frontend::Thumbnail t;
  // An image keeps its shape inside the box.
  ASSERT_TRUE(frontend::make_thumbnail(dir, dir + "/images/jeep001_.pcx", nullptr, 96, 72, t));
  EXPECT_LE(t.width, 96);
  EXPECT_LE(t.height, 72);
  EXPECT_EQ(t.rgb.size(), size_t(t.width) * t.height * 3);
  ASSERT_TRUE(frontend::make_thumbnail(dir, dir + "/bckgrnds/bkgr000_.bmp", nullptr, 96, 72, t));
  // Files that give no picture: damaged, missing, not an image, a visual without a device.
  std::ofstream(dir + "/images/broken.pcx") << "\x0a not a picture";
  for (const char* bad : {"/images/broken.pcx", "/images/missing.pcx", "/brains/spin_.brn", "/visuals/ball_.v3d"})
    EXPECT_FALSE(frontend::make_thumbnail(dir, dir + bad, nullptr, 96, 72, t)) << bad;

  SoftwarePreview sw;
  if (!sw.ok) GTEST_SKIP() << "no software 3D device";
  ASSERT_TRUE(frontend::make_thumbnail(dir, dir + "/visuals/ball_.v3d", &sw.device, 96, 72, t));
  ASSERT_EQ(t.width, 96);
  ASSERT_EQ(t.height, 72);
  golden::expect_rgb(t.rgb, t.width, t.height, "frontend", "thumbnail_ball");
  EXPECT_FALSE(frontend::make_thumbnail(dir, dir + "/images/broken.pcx", &sw.device, 96, 72, t));
}

TEST(RecentProjects, NewestFirstWithoutDuplicatesOrVanishedFiles) {
  const fs::path home = fs::temp_directory_path() / ("korva-recent-" + std::to_string(getpid()));
  fs::remove_all(home);
  fs::create_directories(home / "p");
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  EXPECT_EQ(frontend::recent_file(), home.string() + "/korva/recent");
  EXPECT_TRUE(frontend::recent_projects().empty());
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) {
    paths.push_back((home / "p" / ("g" + std::to_string(i) + ".prj")).string());
    std::ofstream(paths.back()) << ";x\r\n";
    ASSERT_TRUE(frontend::remember_project(paths.back()));
  }
  ASSERT_TRUE(frontend::remember_project(paths[5]));  // again: it moves to the front
  fs::remove(paths[10]);                               // gone: left out
  const std::vector<std::string> recent = frontend::recent_projects();
  const std::vector<std::string> expected = {paths[5], paths[11], paths[9], paths[8], paths[7],
                                             paths[6], paths[4], paths[3], paths[2]};
  EXPECT_EQ(recent, expected);
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(home);
}

}  // namespace
}  // namespace korva::test
