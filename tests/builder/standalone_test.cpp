// A stand-alone game end to end: korva-mkdata's two-level example built by korva (through
// korva-go build, headless), its folder checked, then played by the folder's own korvaexe
// from another place: the score handed from level 1 to level 2, a save and a resume, the end
// screen. Also the list's edge cases: a switched-off row between two levels, a project that
// does not compile, "noencrypt.txt", and a folder that cannot be written.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "core/core.h"
#include "core/scramble.h"
#include "platform/platform.h"
#include "platform/video/video.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Standalone : public ::testing::Test {
 protected:
  fs::path dir;  // the editing installation
  std::unique_ptr<Core> core = core_create();

  void SetUp() override {
    char tmpl[] = "/tmp/korva-standalone-XXXXXX";
    dir = mkdtemp(tmpl);
    ASSERT_EQ(sh("'" KORVA_BINARY_DIR "/korva-mkdata' '" + dir.string() + "' > /dev/null"), 0);
  }
  void TearDown() override { fs::remove_all(dir); }

  int sh(const std::string& cmd) {
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // korva-go build LIST in the installation, headless; stderr goes to build.txt.
  int build(const std::string& list) {
    return sh("env -u DISPLAY -u WAYLAND_DISPLAY '" KORVA_BINARY_DIR "/korva-go' --dir '" + dir.string() +
              "' --headless build " + list + " > /dev/null 2> '" + (dir / "build.txt").string() + "'");
  }
  // The folder's korvaexe in the folder, headless and fast; stderr goes to play.txt there.
  int play(const fs::path& folder, const std::string& env = "", const std::string& args = "") {
    // The folder's own model importer, and a model cache of its own.
    return sh("cd '" + folder.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u KORVA_IMPORTER KORVA_HEADLESS=1 "
              "KORVA_FAST=1 KORVA_MODEL_CACHE='" + (dir / "cache").string() + "' " + env + " ./korvaexe " + args +
              " 2> play.txt");
  }
  std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
  std::string unscrambled(const fs::path& p) {
    std::vector<uint8_t> b;
    EXPECT_TRUE(read_whole_file_raw(p.string(), b, 1 << 26)) << p;
    unscramble_bytes(b.data(), int64_t(b.size()));
    return std::string(b.begin(), b.end());
  }
  std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    LineCursor c{text.data(), int64_t(text.size())};
    while (!c.at_end()) out.emplace_back(c.next());
    return out;
  }
  // A level list of the example's rows: "on" rows name the project, the rest are fresh.
  void write_list(const std::string& name, const std::vector<std::string>& rows) {
    std::string text;
    for (size_t i = 0; i < 500; ++i)
      text += (i < rows.size() ? rows[i] : "./images/wait_.bmp|./images/anykey_.bmp|./projects/myprj/default_.prj|0") + "\r\n";
    write(dir / "multilev" / (name + ".mlv"), text);
  }
  // Mean difference per channel between two pictures of the same size (255 when they differ in size).
  double difference(const std::string& a, const std::string& b) {
    std::vector<uint8_t> pa, pb;
    int32_t wa = 0, ha = 0, wb = 0, hb = 0;
    if (!platform::image_load_rgb(a, pa, wa, ha) || !platform::image_load_rgb(b, pb, wb, hb) || wa != wb || ha != hb)
      return 255;
    double sum = 0;
    for (size_t i = 0; i < pa.size(); ++i) sum += std::abs(int(pa[i]) - int(pb[i]));
    return sum / double(pa.size());
  }
};

TEST_F(Standalone, TheExampleBuildsAndPlaysThroughBothLevelsASaveAndAResumeFromAnotherFolder) {
  const fs::path out = dir / "korvaexe";
  write(out / "stale.txt", "left from before");
  ASSERT_EQ(build("levels"), 0) << read(dir / "build.txt");
  EXPECT_FALSE(fs::exists(out / "stale.txt"));  // the folder's files are cleared first

  // The levels are scrambled projects; the list has one line per row.
  EXPECT_EQ(unscrambled(out / "level001.prj").substr(0, 8), ";Level 1");
  EXPECT_EQ(unscrambled(out / "level002.prj").substr(0, 8), ";Level 2");
  EXPECT_NE(read(out / "level001.prj").substr(0, 8), ";Level 1");
  EXPECT_TRUE(fs::exists(out / "level001.col"));
  const std::vector<std::string> list = lines(read(out / "multilev.ini"));
  ASSERT_EQ(list.size(), 500u);
  EXPECT_EQ(list[0], "wait_.bmp|anykey_.bmp|0");
  EXPECT_EQ(list[2], "||");
  EXPECT_EQ(list[499], "||");
  EXPECT_FALSE(fs::exists(out / "netmode.ini"));
  for (const char* f : {"korvaexe", "panels.pcx", "end_.bmp", "resume_.bmp", "sinus.bin", "hood4b.x", "font.fnt",
                        "null_.wav", "wait_.bmp", "anykey_.bmp", "config.ini"})
    EXPECT_TRUE(fs::exists(out / f)) << f;
  EXPECT_FALSE(fs::exists(out / "noencrypt.txt"));
  // Elements that share an asset share its one hashed copy: both levels' cameras use
  // cameras/default_.03d, and the level files name it the same way.
  std::string camera_path = dir.string() + "/cameras/default_.03d";
  for (char& ch : camera_path) ch = char(std::tolower(static_cast<unsigned char>(ch)));  // hashed in lower case
  const std::string camera = asset_hash_name(camera_path) + ".dat";
  EXPECT_TRUE(fs::exists(out / camera)) << camera;
  EXPECT_NE(unscrambled(out / "level001.prj").find("|./" + camera + "|"), std::string::npos);
  EXPECT_NE(unscrambled(out / "level002.prj").find("|./" + camera + "|"), std::string::npos);
  // The cut-scene images are scrambled, the runtime's own pictures are not.
  EXPECT_NE(read(out / "wait_.bmp").substr(0, 2), "BM");
  EXPECT_EQ(read(out / "end_.bmp").substr(0, 2), "BM");
  // The player carries the window name (none set: blanks) instead of its placeholder.
  const std::string exe = read(out / "korvaexe");
  EXPECT_EQ(exe.find("Korva                           "), std::string::npos);

  // Every library bundled in lib/ is the one the player (or its model importer) loads, FFmpeg's
  // included, which the player loads when a video first plays (through its run path, which
  // LD_LIBRARY_PATH stands for here).
  std::string on_demand;
  std::set<std::string> loaded_by_name;
  for (const video::LibraryFile& f : video::library_files()) {
    on_demand += " '" + (out / "lib" / f.name).string() + "'";
    loaded_by_name.insert(f.name);
  }
  ASSERT_EQ(loaded_by_name.size(), 5u);
  ASSERT_EQ(sh("ldd '" + (out / "korvaexe").string() + "' '" + (out / "korva-import").string() + "' > '" +
               (dir / "ldd.txt").string() + "' && LD_LIBRARY_PATH='" + (out / "lib").string() + "' ldd" + on_demand +
               " >> '" + (dir / "ldd.txt").string() + "'"), 0);
  const std::string ldd = read(dir / "ldd.txt");
  EXPECT_EQ(ldd.find("not found"), std::string::npos) << ldd;
  int32_t bundled = 0;
  for (const auto& e : fs::directory_iterator(out / "lib")) {
    ++bundled;
    const std::string name = e.path().filename().string();
    if (loaded_by_name.count(name)) continue;
    EXPECT_NE(ldd.find(name + " => " + (out / "lib" / name).string()), std::string::npos) << name << "\n" << ldd;
  }
  EXPECT_GT(bundled, 0);

  // Played from a copy elsewhere: level 1's score reaches level 2, which saves, spoils its
  // global, resumes and finds it back, then ends to the end screen.
  const fs::path copy = dir / "elsewhere" / "mygame";
  fs::create_directories(copy.parent_path());
  fs::copy(out, copy, fs::copy_options::recursive);
  ASSERT_EQ(play(copy, "KORVA_SCREENSHOT=end.png"), 0) << read(copy / "play.txt");
  EXPECT_EQ(read(copy / "levels.txt"), "1230\r\n777\r\n1\r\n") << read(copy / "play.txt");
  EXPECT_EQ(read(copy / "play.txt").find("not loaded"), std::string::npos) << read(copy / "play.txt");  // the .x model
  EXPECT_EQ(fs::file_size(copy / "curr0.dat"), uint64_t(8 + 262144 + 8192));
  EXPECT_EQ(fs::file_size(copy / "globvars.dat"), 8192u);
  EXPECT_LT(difference((copy / "end.png").string(), (copy / "end_.bmp").string()), 4.0);
  EXPECT_FALSE(fs::exists(copy / "temp.tmp"));
  for (const auto& e : fs::directory_iterator(copy)) EXPECT_NE(e.path().extension(), ".bra") << e.path();

  // Ended with -3 (the example takes it as a start parameter) there is no end screen: the
  // last picture is level 2's scene, the same as the editor's run of the project shows.
  fs::remove(copy / "globvars.dat");
  ASSERT_EQ(play(copy, "KORVA_SCREENSHOT=level2.png", "/-3"), 0) << read(copy / "play.txt");
  EXPECT_GT(difference((copy / "level2.png").string(), (copy / "end_.bmp").string()), 10.0);
  EXPECT_EQ(read(copy / "levels.txt"), "1230\r\n777\r\n1\r\n");
}

TEST_F(Standalone, ASwitchedOffRowGivesNoLevelAndJumpingToItEndsTheChain) {
  // Level 1 ends with exit code 2; row 2 is off, row 3 on.
  write_list("gap", {"./images/wait_.bmp|./images/anykey_.bmp|./projects/levels/level1.prj|1|0",
                     "./images/wait_.bmp|./images/anykey_.bmp|./projects/levels/level2.prj|0|0",
                     "./images/wait_.bmp|./images/black_.bmp|./projects/levels/level2.prj|1|0"});
  ASSERT_EQ(build("gap"), 0) << read(dir / "build.txt");
  const fs::path out = dir / "korvaexe";
  EXPECT_TRUE(fs::exists(out / "level001.prj"));
  EXPECT_FALSE(fs::exists(out / "level002.prj"));
  EXPECT_TRUE(fs::exists(out / "level003.prj"));
  const std::vector<std::string> list = lines(read(out / "multilev.ini"));
  EXPECT_EQ(list[1], "||");
  EXPECT_EQ(list[2], "wait_.bmp|black_.bmp|0");
  ASSERT_EQ(play(out), 0);
  EXPECT_NE(read(out / "play.txt").find("Sub-project 002 not found, error!"), std::string::npos) << read(out / "play.txt");
  EXPECT_FALSE(fs::exists(out / "levels.txt"));
}

TEST_F(Standalone, AProjectThatDoesNotCompileOrIsMissingIsLeftOut) {
  fs::create_directories(dir / "projects" / "bad");
  std::string level = read(dir / "projects/levels/level1.prj");
  const size_t brain = level.find("@0\r\n");
  ASSERT_NE(brain, std::string::npos);
  level.insert(brain + 4, "goto nowhere\r\n");
  write(dir / "projects/bad/bad.prj", level);
  write_list("bad", {"./images/wait_.bmp|./images/anykey_.bmp|./projects/bad/bad.prj|1|0",
                     "./images/wait_.bmp|./images/anykey_.bmp|./projects/none/none.prj|1|0",
                     "./images/wait_.bmp|./images/anykey_.bmp|./projects/levels/level2.prj|1|0"});
  const std::string before = read(dir / "projects/bad/bad.prj");
  ASSERT_EQ(build("bad"), 0) << read(dir / "build.txt");
  const fs::path out = dir / "korvaexe";
  EXPECT_FALSE(fs::exists(out / "level001.prj"));
  EXPECT_FALSE(fs::exists(out / "level002.prj"));
  EXPECT_TRUE(fs::exists(out / "level003.prj"));
  EXPECT_NE(read(dir / "build.txt").find("left out"), std::string::npos) << read(dir / "build.txt");
  EXPECT_EQ(read(dir / "projects/bad/bad.prj"), before);  // a build changes no project of the user's
  // Level 1 is missing: the game says so and ends.
  ASSERT_EQ(play(out), 0);
  EXPECT_NE(read(out / "play.txt").find("Sub-project 001 not found, error!"), std::string::npos);
}

TEST_F(Standalone, NoEncryptCopiesAssetsPlainButScramblesTheLevelsAndStillPlays) {
  write(dir / "noencrypt.txt", "\r\n");
  // Level 2's cube with an image of its own for the right of its six views (field 32).
  std::string cube = read(dir / "visuals/default_.v3d");
  while (!cube.empty() && (cube.back() == '\n' || cube.back() == '\r')) cube.pop_back();
  write(dir / "visuals/default_.v3d", cube + "|./images/side_.bmp\r\n");
  write(dir / "images/side_.bmp", read(dir / "images/default_.bmp"));
  ASSERT_EQ(build("levels"), 0) << read(dir / "build.txt");
  const fs::path out = dir / "korvaexe";
  EXPECT_TRUE(fs::exists(out / "noencrypt.txt"));
  EXPECT_EQ(read(out / "wait_.bmp").substr(0, 2), "BM");
  auto hashed = [&](const std::string& relative) {
    std::string path = dir.string() + "/" + relative;
    for (char& ch : path) ch = char(std::tolower(static_cast<unsigned char>(ch)));  // hashed in lower case
    return asset_hash_name(path) + ".dat";
  };
  const std::string side = hashed("images/side_.bmp");
  EXPECT_EQ(read(out / side), read(dir / "images/side_.bmp"));
  const std::string copied = read(out / hashed("visuals/default_.v3d"));
  EXPECT_NE(copied.find("|./" + side + "\r\n"), std::string::npos) << copied;
  EXPECT_EQ(unscrambled(out / "level001.prj").substr(0, 8), ";Level 1");
  ASSERT_EQ(play(out), 0) << read(out / "play.txt");
  EXPECT_EQ(read(out / "levels.txt"), "1230\r\n777\r\n1\r\n");
}

TEST_F(Standalone, AFolderThatCannotBeWrittenFailsTheBuildAndSaysWhy) {
  write(dir / "korvaexe.tmp", "");
  fs::remove_all(dir / "korvaexe");
  write(dir / "korvaexe", "a file where the folder should be");
  EXPECT_EQ(build("levels"), 6) << read(dir / "build.txt");
  EXPECT_NE(read(dir / "build.txt").find("cannot be made"), std::string::npos) << read(dir / "build.txt");
  EXPECT_EQ(read(dir / "korvaexe"), "a file where the folder should be");
}

TEST_F(Standalone, DamagedLevelListsAndSavedGamesNeverCrashThePlayer) {
  ASSERT_EQ(build("levels"), 0) << read(dir / "build.txt");
  const fs::path out = dir / "korvaexe";
  // A short list of garbage lines: no cut-scenes, the levels still play.
  write(out / "multilev.ini", "\xff\xfe|||||\r\n\x01");
  ASSERT_EQ(play(out), 0) << read(out / "play.txt");
  EXPECT_EQ(read(out / "levels.txt"), "1230\r\n777\r\n1\r\n");
  // A damaged level file: the game says it cannot find it and ends.
  write(out / "level002.prj", std::string(1000, '\x37'));
  fs::remove(out / "levels.txt");
  ASSERT_EQ(play(out), 0) << read(out / "play.txt");
  EXPECT_NE(read(out / "play.txt").find("Sub-project 002 not found, error!"), std::string::npos) << read(out / "play.txt");
  // A level file cut short.
  write(out / "level002.prj", read(out / "level001.prj").substr(0, 100));
  ASSERT_EQ(play(out), 0) << read(out / "play.txt");
}

TEST_F(Standalone, AGameThatCannotBeSavedOrResumedSaysSoAndPlaysOn) {
  ASSERT_EQ(build("levels"), 0) << read(dir / "build.txt");
  const fs::path out = dir / "korvaexe";
  fs::create_directory(out / "curr0.dat");  // neither a file to write nor a saved game to read
  ASSERT_EQ(play(out, "KORVA_MAX_FRAMES=60"), 0) << read(out / "play.txt");
  const std::string said = read(out / "play.txt");
  EXPECT_NE(said.find("Could not save the file|" + (out / "curr0.dat").string()), std::string::npos) << said;
  EXPECT_NE(said.find("cannot be resumed"), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(out / "levels.txt"));  // never resumed: the level ran on to its frame limit
}

TEST_F(Standalone, GarbageOrTruncatedAssetsNeverCrashThePlayer) {
  ASSERT_EQ(build("levels"), 0) << read(dir / "build.txt");
  const fs::path out = dir / "korvaexe";
  int32_t n = 0;
  for (const auto& e : fs::directory_iterator(out)) {
    const std::string name = e.path().filename().string();
    if (!is_scrambled_asset_name(name)) continue;
    const std::string bytes = read(e.path());
    // In turn: cut short, cut to a few bytes, and garbage of the same length.
    write(e.path(), n % 3 == 0 ? bytes.substr(0, bytes.size() / 2)
                    : n % 3 == 1 ? bytes.substr(0, 3)
                                 : std::string(bytes.size(), char(0x5A + n)));
    ++n;
  }
  EXPECT_GT(n, 10);
  ASSERT_EQ(play(out, "KORVA_MAX_FRAMES=40"), 0) << read(out / "play.txt");
}

}  // namespace
}  // namespace korva
