// Writing an installation: what it holds, that a second run changes nothing, that a user's
// file survives unless forced, and that the generated files read back by their formats' rules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "mkdata.h"

namespace korva::mkdata {
namespace {

namespace fs = std::filesystem;

Bytes read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> split(const std::string& s, char d) {
  std::vector<std::string> out(1);
  for (char ch : s) {
    if (ch == d) {
      out.emplace_back();
    } else {
      out.back() += ch;
    }
  }
  return out;
}

uint32_t u32(const Bytes& b, size_t at) {
  return b[at] | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

class Install : public testing::Test {
 protected:
  void SetUp() override {
    if (find_font_file().empty()) GTEST_SKIP() << "no system font to render the fonts from";
    root = fs::temp_directory_path() / ("korva-mkdata-test-" + std::to_string(getpid()));
    fs::remove_all(root);
  }
  void TearDown() override {
    if (!root.empty()) fs::remove_all(root);
  }
  InstallResult run(bool force = false) {
    InstallOptions o;
    o.force = force;
    o.report = [this](const std::string& line) { lines.push_back(line); };
    lines.clear();
    return install(root.string(), o);
  }

  fs::path root;
  std::vector<std::string> lines;
};

TEST_F(Install, WritesTheTreeAndEveryFileTheEngineLoadsAtStart) {
  const InstallResult r = run();
  ASSERT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(r.failed, 0);
  EXPECT_EQ(r.kept, 0);
  for (const char* folder : {"3dshapes", "bckgrnds", "brains", "sprites", "3dsfiles", "elements/myele", "frames",
                             "images", "projects/myprj", "visuals", "sounds", "counters", "grndmaps", "tracks",
                             "cameras", "temp", "data", "multilev", "korvaexe"}) {
    EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
  }
  const struct {
    const char* path;
    uintmax_t size;  // 0: any non-empty size
  } files[] = {{"data/sinus.bin", 115200}, {"data/sinusbig.bin", 14400}, {"data/atan.bin", 2880},
               {"data/random.bin", 2000},  {"data/panels.pcx", 0},        {"data/panels2.pcx", 0},
               {"data/font.fnt", 0},       {"data/font8.fnt", 0},         {"cameras/default_.03d", 0},
               {"sounds/null_.wav", 0},    {"visuals/default_.v3d", 0},   {"3dsfiles/default_.3ds", 0},
               {"brains/null_.brn", 0},    {"data/error.pcx", 0},         {"data/mini02.pcx", 0},
               {"bckgrnds/bkgr000_.bmp", 0}, {"images/wait_.bmp", 0},     {"images/anykey_.bmp", 0},
               {"images/black_.bmp", 0},   {"data/resume_.bmp", 0},       {"data/end_.bmp", 0},
               {"data/bndbox.x", 0},       {"data/radius.x", 0},          {"data/cross.x", 0},
               {"tracks/default_.i3d", 0}, {"grndmaps/default_.m3d", 0},  {"projects/demo/demo.prj", 0},
               {"projects/demo/demo.col", 65536}};
  for (const auto& f : files) {
    ASSERT_TRUE(fs::is_regular_file(root / f.path)) << f.path;
    if (f.size) {
      EXPECT_EQ(fs::file_size(root / f.path), f.size) << f.path;
    }
  }
  for (int32_t n = 0; n <= 4; ++n) {
    for (const char* half : {"a", "b"}) {
      EXPECT_TRUE(fs::is_regular_file(root / "data" / ("hood" + std::to_string(n) + half + ".x")));
    }
  }
  EXPECT_FALSE(fs::exists(root / "runmode.ini"));  // the front end writes it, per run
  // The mini map fits the 12800-byte buffer it is decoded into.
  Image8 mini;
  ASSERT_TRUE(pcx_decode(read_all(root / "data/mini02.pcx"), mini));
  EXPECT_LE(mini.width * mini.height, 12800);
  std::string error;
  EXPECT_EQ(lines.size(), 1 + installation_files("", error).size());  // one line per group
}

TEST_F(Install, SecondRunChangesNothingAndUserFilesSurviveUnlessForced) {
  ASSERT_TRUE(run().error.empty());
  const fs::path brain = root / "brains/default_.brn";
  const fs::path table = root / "data/atan.bin";
  const auto stamp = fs::last_write_time(table);
  { std::ofstream(brain, std::ios::binary) << "; my own brain\r\n"; }
  fs::remove(root / "data/sinus.bin");  // an upgrade or an accident: a file went missing

  InstallResult again = run();
  EXPECT_EQ(again.written, 1);  // only the missing table
  EXPECT_EQ(again.failed, 0);
  EXPECT_EQ(fs::file_size(root / "data/sinus.bin"), 115200u);
  EXPECT_EQ(fs::last_write_time(table), stamp);
  EXPECT_EQ(read_all(brain), Bytes({';', ' ', 'm', 'y', ' ', 'o', 'w', 'n', ' ', 'b', 'r', 'a', 'i', 'n', '\r', '\n'}));

  EXPECT_EQ(run().written, 0);
  InstallResult forced = run(true);
  EXPECT_EQ(forced.written, 1);  // only the file that differs
  EXPECT_NE(read_all(brain).size(), 16u);
}

TEST_F(Install, ReportsAFolderItCannotCreate) {
  { std::ofstream(root, std::ios::binary) << "not a folder"; }
  const InstallResult r = run();
  EXPECT_NE(r.error.find("cannot create"), std::string::npos) << r.error;
  EXPECT_EQ(r.written, 0);
  fs::remove(root);
}

TEST_F(Install, DemoProjectFollowsTheProjectFileLayout) {
  ASSERT_TRUE(run().error.empty());
  const Bytes raw = read_all(root / "projects/demo/demo.prj");
  const std::string text(raw.begin(), raw.end());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  std::vector<std::string> lines = split(text.substr(0, text.size() - 1), '\n');
  for (std::string& l : lines) {
    ASSERT_FALSE(l.empty());
    ASSERT_EQ(l.back(), '\r') << "every line ends in CR LF";
    l.pop_back();
  }
  ASSERT_EQ(lines[0][0], ';');
  const int32_t count = std::stoi(lines[1]);
  ASSERT_GE(count, 3);
  size_t at = 2;
  for (int32_t i = 0; i < count; ++i, ++at) {
    const auto f = split(lines[at], '|');
    ASSERT_GE(f.size(), 40u) << lines[at];
    EXPECT_FALSE(f[35].empty());
    EXPECT_EQ(f[3], "-");  // brains live in the file
    EXPECT_EQ(f[1].rfind("./", 0), 0u) << "paths are written relative: " << f[1];
    EXPECT_TRUE(fs::is_regular_file(root / f[1].substr(2))) << f[1];
    EXPECT_TRUE(fs::is_regular_file(root / f[2].substr(2))) << f[2];
  }
  EXPECT_EQ(split(lines[0 + 2], '|')[35], "0");  // the first element is the camera
  // Settings line: field 36 empty, three fields, an existing background image.
  const auto settings = split(lines[at], '|');
  ASSERT_EQ(settings.size(), 3u);
  EXPECT_TRUE(fs::is_regular_file(root / settings[0].substr(2)));
  ++at;
  ASSERT_EQ(lines[at], "@0");
  for (int32_t i = 1; i < count; ++i) {
    while (at < lines.size() && lines[at] != "@" + std::to_string(i)) ++at;
    ASSERT_LT(at, lines.size()) << "missing brain marker @" << i;
  }
  // Companion: 65536 bytes, clip distance 30 and field of view 100 in their places.
  const Bytes col = read_all(root / "projects/demo/demo.col");
  ASSERT_EQ(col.size(), 65536u);
  EXPECT_EQ(u32(col, 65036), 30u);
  EXPECT_EQ(u32(col, 65056), 100u);
}

TEST_F(Install, ModelsAndSoundsReadBackByTheirFormats) {
  ASSERT_TRUE(run().error.empty());
  // .3ds walked the way the visual loader walks it: enough recognised chunks, whole faces.
  for (const char* path : {"3dsfiles/default_.3ds", "visuals/default_.3ds", "3dsfiles/ball_.3ds"}) {
    const Bytes b = read_all(root / path);
    ASSERT_GE(b.size(), 6u);
    ASSERT_EQ(b[0] | (b[1] << 8), 0x4D4D);
    int32_t recognised = 0, vertices = 0, faces = 0;
    size_t at = 6;
    const size_t end = u32(b, 2);
    ASSERT_EQ(end, b.size());
    while (at + 6 <= end) {
      const uint32_t id = b[at] | (b[at + 1] << 8), len = u32(b, at + 2);
      ASSERT_GE(len, 6u);
      if (id == 0x3D3D || id == 0x4100) {
        ++recognised;
        at += 6;
      } else if (id == 0x4000) {
        ++recognised;
        at += 6;
        while (b[at] != 0) ++at;
        ++at;
      } else {
        if (id == 0x4110) {
          ++recognised;
          vertices = b[at + 6] | (b[at + 7] << 8);
        }
        if (id == 0x4120) {
          ++recognised;
          faces = b[at + 6] | (b[at + 7] << 8);
          for (int32_t i = 0; i < faces * 4; i += 4) {
            for (int32_t k = 0; k < 3; ++k) ASSERT_LT(b[at + 8 + 2 * (i + k)] | (b[at + 9 + 2 * (i + k)] << 8), vertices);
          }
        }
        at += len;
      }
    }
    EXPECT_GE(recognised, 5) << path;
    EXPECT_GT(faces, 0) << path;
  }
  const Bytes wav = read_all(root / "sounds/null_.wav");
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 12), "WAVE");
  EXPECT_EQ(u32(wav, 40) + 44, wav.size());
  const Bytes hood = read_all(root / "data/hood0a.x");
  EXPECT_EQ(std::string(hood.begin(), hood.begin() + 16), "xof 0303txt 0032");
}

TEST(Fonts, BitmapFontsHoldEveryCharacterWithProportionalWidths) {
  Typeface face;
  if (!face.open(find_font_file())) GTEST_SKIP() << "no system font";
  for (int32_t size : {11, 13}) {
    face.set_pixel_size(size);
    FntInfo info;
    ASSERT_TRUE(fnt_parse(make_fnt(face), info));
    EXPECT_EQ(info.first, 32);
    EXPECT_EQ(info.count, 224);
    EXPECT_GE(info.height, size);
    EXPECT_LT(info.ascent, info.height);
    auto width = [&info](char ch) { return info.advance[static_cast<uint8_t>(ch) - 32]; };
    EXPECT_GT(width(' '), 0);
    EXPECT_LT(width('i'), width('W'));
    for (int32_t w : info.advance) EXPECT_GT(w, 0);  // missing characters fall back to "?"
  }
  Bytes broken = make_fnt(face);
  broken.resize(broken.size() - 1);
  FntInfo info;
  EXPECT_FALSE(fnt_parse(broken, info));
}

}  // namespace
}  // namespace korva::mkdata
