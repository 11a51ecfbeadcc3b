// The explosion generator: the script, the fragments read from a .3ds model, their motion and
// the frame files and visual it writes.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "editors/editors.h"
#include "engine/math_tables.h"
#include "engine/triangles.h"
#include "gui_fixture.h"

namespace korva::test {
namespace {

namespace fs = std::filesystem;

using Face = std::array<float, 9>;

TEST(Explosion, ScriptLines) {
  const struct {
    const char* text;
    int32_t key, min, max;
  } cases[] = {
      {"VELOCITY=100/900", kExpVelocity, 100, 900},
      {"velocity 100/900", kExpVelocity, 0, 0},  // no "=": nothing set
      {"Spin = -40 / 40\r\n", kExpSpin, -40, 40},
      {"air density=100/200", kExpAirDensity, 49900, 49800},
      {"gravity=100/900", kExpAirDensity, 50000, 50000},  // a missing key gives 0
      {"z angle=7", kExpZAngle, 7, 0},
      {"frames=1/1000000", kExpFrames, 1, 1000000},
      {"x angle=99999999999/-99999999999", kExpXAngle, 100000000, -100000000},
      {"dummy=1/2\nframes=3/4\rgravity=-5/-6", kExpGravity, -5, -6},
      {"velocity=1/2\nvelocity=3/4", kExpVelocity, 3, 4},
      {"colour=1/2\n=5/6", kExpVelocity, 0, 0},
  };
  for (const auto& k : cases) {
    const ExplosionScript s = explosion_script_parse(k.text);
    EXPECT_EQ(s.pairs[k.key].min, k.min) << k.text;
    EXPECT_EQ(s.pairs[k.key].max, k.max) << k.text;
  }
}

// A core with the fine sine table, so that fragments turn.
struct ExplosionFixture : GuiFixture {
  ExplosionFixture() {
    make_fine_sine_table(reinterpret_cast<int32_t*>(core->pool(Pool::SinusBig)));
    str_set(*core->base_folder, dir.string() + "/");
  }
};

std::vector<ExplosionFragment> fragments_of(const std::vector<Face>& faces) {
  std::vector<ExplosionFragment> out;
  for (const Face& f : faces) {
    ExplosionFragment e;
    for (int k = 0; k < 3; ++k)
      for (int a = 0; a < 3; ++a) e.vertex[k][a] = int32_t(std::lround(f[size_t(3 * k + a)] * 1000));
    out.push_back(e);
  }
  return out;
}

const std::vector<Face> kTwoFaces = {Face{0, 0, 0, 1, 0, 0, 0, 1, 0}, Face{1, 0, 0, 1, 1, 0.5f, 0, 1, 2}};

TEST(Explosion, ImagesHoldEveryFragmentFromBothSides) {
  const std::vector<uint8_t> image = explosion_image(fragments_of(kTwoFaces));
  ASSERT_EQ(image.size(), 40u + 2 * 36 + 8 + 2 * 16);
  std::vector<Face> faces;
  ASSERT_TRUE(explosion_faces_from_3ds(image.data(), image.size(), faces));
  ASSERT_EQ(faces.size(), 4u);
  EXPECT_EQ(faces[0], kTwoFaces[0]);
  EXPECT_EQ(faces[2], kTwoFaces[1]);
  const Face& back = faces[1];  // the first fragment with the opposite winding
  EXPECT_EQ(back, (Face{0, 0, 0, 0, 1, 0, 1, 0, 0}));
  // The engine's own model reader takes the image whole.
  TriangleList tris;
  EXPECT_GE(tds_parse(image.data(), image.size(), tris), 5);
  EXPECT_EQ(tris.size(), 4u);
}

TEST(Explosion, DamagedModelsGiveTheFacesReadWhole) {
  const std::vector<uint8_t> image = explosion_image(fragments_of(kTwoFaces));
  std::vector<Face> faces;
  for (size_t cut = 0; cut < image.size(); ++cut) {
    const bool main_chunk = explosion_faces_from_3ds(image.data(), cut, faces);
    EXPECT_EQ(main_chunk, cut >= 6) << cut;
    EXPECT_LE(faces.size(), 4u) << cut;
  }
  std::vector<uint8_t> wrong = image;
  wrong[0] = 0x4C;
  EXPECT_FALSE(explosion_faces_from_3ds(wrong.data(), wrong.size(), faces));
  EXPECT_TRUE(faces.empty());
  // Face indices beyond the vertex list and chunk lengths beyond the file.
  std::vector<uint8_t> bad = image;
  bad[40 + 72 + 8] = 0xFF;
  bad[40 + 72 + 9] = 0xFF;
  ASSERT_TRUE(explosion_faces_from_3ds(bad.data(), bad.size(), faces));
  EXPECT_EQ(faces.size(), 3u);
  bad = image;
  bad[2] = bad[3] = bad[4] = bad[5] = 0xFF;
  bad[8] = bad[9] = bad[10] = bad[11] = 0xFF;
  ASSERT_TRUE(explosion_faces_from_3ds(bad.data(), bad.size(), faces));
  EXPECT_EQ(faces.size(), 4u);
}

TEST(Explosion, MotionAnglesDragAndGravity) {
  ExplosionFixture f;
  Core& c = *f.core;
  const std::vector<Face> one = {Face{0, 0, 0, 3, 0, 0, 0, 3, 0}};
  const auto script = [](const std::string& extra) {
    return explosion_script_parse("velocity=1000/1000\nair density=-100000000/-100000000\n" + extra);
  };
  const struct {
    const char* what;
    std::string extra;
    int32_t dx, dy, dz;  // movement of the first vertex over two steps
  } cases[] = {
      {"straight up along z", "", 0, 0, 2000},
      {"gravity slows the second step", "gravity=-100/-100", 0, 0, 1900},
      {"z angle 90 turns it towards -x", "z angle=90/90", -2000, 0, 0},
      {"x angle 90 turns it towards y", "x angle=90/90", 0, 2000, 0},
      {"the densest air stops it after one step", "air density=50000/50000", 0, 0, 1000},
  };
  for (const auto& k : cases) {
    std::vector<ExplosionFragment> frags = explosion_fragments(c, one, script(k.extra));
    explosion_step(c, frags);
    explosion_step(c, frags);
    EXPECT_NEAR(frags[0].vertex[0][0], k.dx, 2) << k.what;
    EXPECT_NEAR(frags[0].vertex[0][1], k.dy, 2) << k.what;
    EXPECT_NEAR(frags[0].vertex[0][2], k.dz, 2) << k.what;
  }
  // Drag: each component loses v x v / D, never more than it has.
  std::vector<ExplosionFragment> frags = fragments_of(one);
  frags[0].velocity[0] = 1000;
  frags[0].velocity[1] = -1000;
  frags[0].velocity[2] = 100000;
  frags[0].drag = 10000;
  explosion_step(c, frags);
  EXPECT_EQ(frags[0].velocity[0], 900);
  EXPECT_EQ(frags[0].velocity[1], -900);
  EXPECT_EQ(frags[0].velocity[2], 0);
  // Spin turns the vertices about the fragment's centre (1, 1, 0): 90 degrees about z.
  frags = fragments_of(one);
  frags[0].spin[2] = 90 * 512;
  explosion_step(c, frags);
  EXPECT_NEAR(frags[0].vertex[0][0], 2000, 2);
  EXPECT_NEAR(frags[0].vertex[0][1], 0, 2);
  // Huge values saturate instead of overflowing.
  frags = fragments_of(one);
  frags[0].velocity[2] = INT32_MAX;
  frags[0].gravity = INT32_MAX;
  frags[0].drag = 1;
  for (int k = 0; k < 3; ++k) explosion_step(c, frags);
  EXPECT_EQ(frags[0].vertex[0][2], INT32_MAX);
}

// A .3ds model of the faces, each once, with the chunks of a modelling program: a material
// chunk to skip, the object's name, the vertex and face lists.
std::vector<uint8_t> plain_model(const std::vector<Face>& faces) {
  std::vector<uint8_t> b;
  const auto u16 = [&](uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
  const auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  const auto patch = [&](size_t at) {
    const uint32_t length = uint32_t(b.size() - at);
    for (int k = 0; k < 4; ++k) b[at + 2 + size_t(k)] = uint8_t(length >> (8 * k));
  };
  u16(0x4D4D); u32(0);
  u16(0x3D3D); u32(0);
  u16(0xAFFF); u32(10); u32(0xDEADBEEF);  // a material, skipped
  u16(0x4000); u32(0);
  for (char ch : std::string("rock")) b.push_back(uint8_t(ch));
  b.push_back(0);
  u16(0x4100); u32(0);
  u16(0x4110); u32(uint32_t(8 + 36 * faces.size()));
  u16(uint32_t(3 * faces.size()));
  for (const Face& f : faces)
    for (float v : f) {
      uint32_t bits;
      std::memcpy(&bits, &v, 4);
      u32(bits);
    }
  u16(0x4120); u32(uint32_t(8 + 8 * faces.size()));
  u16(uint32_t(faces.size()));
  for (uint32_t k = 0; k < faces.size(); ++k) { u16(3 * k); u16(3 * k + 1); u16(3 * k + 2); u16(7); }
  patch(0); patch(6); patch(22); patch(22 + 11);
  return b;
}

// A visual of one part over a model of two faces in a scratch installation.
struct Installation : ExplosionFixture {
  std::string visual, model;
  Installation() {
    fs::create_directories(dir / "my models");
    model = (dir / "my models/rock.3ds").string();
    const std::vector<uint8_t> image = plain_model(kTwoFaces);
    std::ofstream(model, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    visual = (dir / "rock.v3d").string();
    std::ofstream(visual, std::ios::binary)
        << "1|./images/stone.bmp|./my models/rock.3ds|1|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|200|100|50|0|1|"
           "./my models/rock.3ds|0\r\n";
  }
  std::vector<Face> frame_faces(int32_t frame) {
    std::ifstream in(explosion_frame_path(model, frame), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<Face> faces;
    EXPECT_TRUE(explosion_faces_from_3ds(bytes.data(), bytes.size(), faces));
    return faces;
  }
};

std::string read(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(Explosion, AVisualBecomesTheAnimationOfItsExplodingModel) {
  Installation f;
  f.core->random_cursor = 0;
  const ExplosionScript s = explosion_script_parse(
      "velocity=100/900\r\nspin=0/0\r\nair density=-100000000/-100000000\r\nframes=1/3\r\n");
  const ExplosionResult r = explode_visual(*f.core, f.visual, s);
  ASSERT_TRUE(r.done) << r.error;
  ASSERT_EQ(r.files.size(), 3u);
  EXPECT_EQ(r.files[0], (f.dir / "my models/rock001.3ds").string());
  // The first frame is the model split but unmoved.
  const std::vector<Face> first = f.frame_faces(1);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first[0], kTwoFaces[0]);
  EXPECT_EQ(first[2], kTwoFaces[1]);
  // Later frames move every vertex straight up by a speed from the velocity range.
  for (int32_t frame = 2; frame <= 3; ++frame) {
    const std::vector<Face> later = f.frame_faces(frame);
    ASSERT_EQ(later.size(), 4u);
    for (size_t k = 0; k < 2; ++k) {
      const float moved = later[2 * k][2] - first[2 * k][2];
      EXPECT_GE(moved, 0.1f * float(frame - 1) - 0.001f) << frame;
      EXPECT_LE(moved, 0.9f * float(frame - 1) + 0.001f) << frame;
      EXPECT_FLOAT_EQ(later[2 * k][0], first[2 * k][0]);
    }
  }
  EXPECT_EQ(read(f.visual),
            "1|./images/stone.bmp|./my models/rock001.3ds|1|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|200|100|50|0|1|"
            "./my models/rock001.3ds|0\r\n"
            "2|./images/stone.bmp|./my models/rock002.3ds|1|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|200|100|50|0|1|"
            "./my models/rock002.3ds|0\r\n"
            "3|./images/stone.bmp|./my models/rock003.3ds|1|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|200|100|50|0|1|"
            "./my models/rock003.3ds|0\r\n");
}

TEST(Explosion, FrameRangesAreKeptToThreeDigits) {
  Installation f;
  const ExplosionResult r = explode_visual(*f.core, f.visual, explosion_script_parse("frames=1000000/998"));
  ASSERT_TRUE(r.done) << r.error;
  ASSERT_EQ(r.files.size(), 2u);
  EXPECT_EQ(r.files[1], (f.dir / "my models/rock999.3ds").string());
}

TEST(Explosion, TheFirstPartLineGivesTheModelAndTheFieldsOfEveryFrame) {
  Installation f;
  std::ofstream(f.visual, std::ios::binary) << "; a rock\r\n1|none|./my models/rock.3ds|0|3|5\r\n2|x|./gone.3ds\r\n";
  const ExplosionResult r = explode_visual(*f.core, f.visual, explosion_script_parse("frames=4/5"));
  ASSERT_TRUE(r.done) << r.error;
  // Missing fields come from the new part line; the second model is another one and stays.
  const std::string tail = "|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|255|255|255|0|1|./visuals/default_.3ds|0\r\n";
  EXPECT_EQ(read(f.visual), "1|none|./my models/rock004.3ds|0|3|5" + tail + "2|none|./my models/rock005.3ds|0|3|5" + tail);
}

TEST(Explosion, ModelsWithoutFacesChangeNothing) {
  const std::vector<std::vector<uint8_t>> models = {
      {}, {0x4D, 0x4D, 6, 0, 0, 0}, {0x4D, 0x4D, 0xFF, 0xFF, 0xFF, 0xFF, 0x3D, 0x3D, 0xFF, 0xFF, 0xFF, 0xFF},
      {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'e', 'l'}};
  for (const auto& bytes : models) {
    Installation f;
    std::ofstream(f.model, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const std::string before = read(f.visual);
    const ExplosionResult r = explode_visual(*f.core, f.visual, explosion_script_parse("frames=1/3"));
    EXPECT_FALSE(r.done);
    EXPECT_NE(r.error.find("has no faces to explode"), std::string::npos) << r.error;
    EXPECT_EQ(read(f.visual), before);
    EXPECT_FALSE(fs::exists(explosion_frame_path(f.model, 1)));
  }
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

// F2 saves a copy under "brains/" (an existing name only after " CONTINUE "), F1 loads a
// chosen script over the working one after its warning, Escape ends.
TEST(Explosion, ScriptSavedAsAndLoaded) {
  ExplosionFixture f;
  fs::create_directories(f.dir / "brains");
  const std::string current = (f.dir / "current.exp").string();
  std::ofstream(current, std::ios::binary) << "velocity=1/2\r\n";
  std::ofstream(f.dir / "brains/a_fast.exp", std::ios::binary) << "velocity=500/600\r\n";
  std::ofstream(f.dir / "brains/old.exp", std::ios::binary) << "old\r\n";
  std::vector<std::string> asked;
  f.script_input(
      "3 key F2\n6 text boom.exp\n9 key RETURN\n"              // saved as brains/boom.exp
      "14 key F2\n17 text old\n20 key RETURN\n23 key DELETE\n"  // " ABORT ": old.exp stays
      "28 key F1\n31 key RETURN\n36 click 120 88\n"             // loads a_fast.exp
      "44 key ESC\n");
  edit_explosion_script(f.gui, current);
  EXPECT_EQ(read((f.dir / "brains/boom.exp").string()), "velocity=1/2\r\n");
  EXPECT_EQ(read((f.dir / "brains/old.exp").string()), "old\r\n");
  EXPECT_EQ(read(current), "velocity=500/600\r\n");
}

}  // namespace
}  // namespace korva::test
