// The readers of model, visual, shape, camera and background files, and the meshes built from
// visual parts. Every reader is fed damaged input too: it must fall back, never crash.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <random>

#include "render/render.h"

using namespace korva;
using namespace korva::render;
namespace fs = std::filesystem;

namespace {

// Writes .3ds chunks.
struct Tds {
  std::vector<uint8_t> b;
  void u16(uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  }
  void u32(uint32_t v) {
    u16(v & 0xffff);
    u16(v >> 16);
  }
  void f32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    u32(v);
  }
  size_t open(uint16_t id) {
    u16(id);
    u32(0);
    return b.size() - 6;
  }
  void close(size_t at) {
    const auto len = uint32_t(b.size() - at);
    std::memcpy(&b[at + 2], &len, 4);
  }
};

// A model with the given vertices and faces, in the usual nesting.
std::vector<uint8_t> make_3ds(const std::vector<std::array<float, 3>>& verts,
                              const std::vector<std::array<uint16_t, 3>>& faces) {
  Tds t;
  const size_t main = t.open(kChunkMain);
  const size_t editor = t.open(kChunkEditor);
  const size_t object = t.open(kChunkObject);
  for (char c : std::string("box")) t.b.push_back(uint8_t(c));
  t.b.push_back(0);
  const size_t mesh = t.open(kChunkMesh);
  const size_t vl = t.open(kChunkVertices);
  t.u16(uint32_t(verts.size()));
  for (const auto& v : verts)
    for (float f : v) t.f32(f);
  t.close(vl);
  const size_t fl = t.open(kChunkFaces);
  t.u16(uint32_t(faces.size()));
  for (const auto& f : faces) {
    for (uint16_t i : f) t.u16(i);
    t.u16(0);
  }
  const size_t material = t.open(0x4130);  // a sub-chunk of the face list, skipped
  t.b.insert(t.b.end(), {'m', 0, 1, 0, 0, 0});
  t.close(material);
  t.close(fl);
  t.close(mesh);
  t.close(object);
  t.close(editor);
  t.close(main);
  return t.b;
}

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() /
           ("korva_render_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const fs::path p = path / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return p.string();
  }
  std::string write(const std::string& name, const std::string& text) const {
    return write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
};

const std::vector<std::array<float, 3>> kQuadVerts = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 0}};
const std::vector<std::array<uint16_t, 3>> kQuadFaces = {{0, 1, 2}, {0, 2, 3}};

}  // namespace

TEST(Tds, SwapsAxesAndEmitsOneTrianglePerFace) {
  TriangleList out;
  const auto bytes = make_3ds(kQuadVerts, kQuadFaces);
  EXPECT_EQ(tds_parse(bytes.data(), bytes.size(), out), 6);
  ASSERT_EQ(out.size(), 2u);
  // File (1, 2, 3) is scene (1, 3, 2).
  EXPECT_EQ(out[0][0], 1.0f);
  EXPECT_EQ(out[0][1], 3.0f);
  EXPECT_EQ(out[0][2], 2.0f);
  EXPECT_EQ(out[1][6], 0.0f);
  EXPECT_EQ(out[0][4], 6.0f);
}

TEST(Tds, DamagedModelsFallBackOrDropWhatIsBad) {
  TempDir dir;
  const std::string fallback = dir.write("default_.3ds", make_3ds({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, 1, 2}}));
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t triangles;  // the fall-back model has 1; damaged faces are dropped one by one
  };
  auto bytes = make_3ds(kQuadVerts, kQuadFaces);
  auto wrong_main = bytes;
  wrong_main[0] = 0x4E;
  // Only main, editor, object and mesh: four chunks, too few.
  Tds few;
  const size_t m = few.open(kChunkMain);
  const size_t e = few.open(kChunkEditor);
  const size_t o = few.open(kChunkObject);
  few.b.push_back(0);
  const size_t me = few.open(kChunkMesh);
  few.close(me);
  few.close(o);
  few.close(e);
  few.close(m);
  auto bad_index = make_3ds(kQuadVerts, {{0, 1, 2}, {0, 2, 99}});
  auto nan = make_3ds({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {std::nanf(""), 0, 0}}, kQuadFaces);
  auto long_main = bytes;
  const uint32_t huge = 0x7fffffff;
  std::memcpy(&long_main[2], &huge, 4);
  auto zero_length = bytes;
  std::memset(&zero_length[8], 0, 4);  // the editor chunk claims length 0
  auto count_past_end = bytes;
  // Vertex count field sits after main, editor, object (with "box\0"), mesh and vertex headers.
  const size_t vcount = 6 + 6 + 6 + 4 + 6 + 6;
  count_past_end[vcount] = 0xff;
  count_past_end[vcount + 1] = 0xff;
  const std::vector<Case> cases = {
      {"good", bytes, 2},
      {"wrong main chunk", wrong_main, 1},
      {"four chunks", few.b, 1},
      {"empty", {}, 1},
      {"index past the vertex list", bad_index, 1},  // the good face stays
      {"NaN corner", nan, 1},                        // the face using it is dropped
      {"main length past the end", long_main, 2},
      {"zero-length chunk", zero_length, 1},
      {"vertex count past the chunk", count_past_end, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TriangleList out;
    const std::string path = dir.write("m.3ds", c.bytes);
    const int32_t n = read_triangles(path, out, fallback);
    if (std::string(c.name) == "vertex count past the chunk") {
      EXPECT_LE(n, 2);  // what survives depends on the bytes read as vertices; never a crash
      continue;
    }
    EXPECT_EQ(n, c.triangles);
    EXPECT_EQ(out.size(), size_t(n));
  }
  TriangleList out;
  EXPECT_EQ(read_triangles(dir.path.string() + "/missing.3ds", out, fallback), 1);
  EXPECT_EQ(read_triangles(dir.path.string() + "/missing.3ds", out, dir.path.string() + "/none.3ds"), 0);
}

TEST(Tds, TruncationsBitFlipsAndGarbageNeverCrash) {
  const auto bytes = make_3ds(kQuadVerts, kQuadFaces);
  for (size_t n = 0; n <= bytes.size(); ++n) {
    TriangleList out;
    tds_parse(bytes.data(), n, out);
    EXPECT_LE(out.size(), 2u);
  }
  std::mt19937 rng(1234);
  for (int round = 0; round < 2000; ++round) {
    auto b = bytes;
    for (int k = 0; k < 4; ++k) b[rng() % b.size()] ^= uint8_t(1u << (rng() % 8));
    TriangleList out;
    tds_parse(b.data(), b.size(), out);
    for (const auto& t : out)
      for (float f : t) ASSERT_TRUE(std::isfinite(f));
  }
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> b(rng() % 300);
    for (auto& x : b) x = uint8_t(rng());
    if (b.size() >= 2 && round % 2) b[0] = 0x4D, b[1] = 0x4D;
    TriangleList out;
    tds_parse(b.data(), b.size(), out);
  }
}

TEST(Tds, MirrorKeepsCornersClockwise) {
  TriangleList t = {{0, 0, 0, 0, 1, 0, 1, 0, 0}};
  mirror_triangles(t);
  EXPECT_EQ(t[0][6], 0.0f);  // corners b and c swapped
  EXPECT_EQ(t[0][7], 1.0f);
  EXPECT_EQ(t[0][3], -1.0f);  // x negated
}

// The line the visual editor writes for a new part, after its visual number.
const std::string kNewPart =
    "|./images/default_.bmp|./visuals/default_.3ds|1|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|255|255|255|0|1|./visuals/default_.3ds|0";

TEST(Visual, PartLineFields) {
  VisualPart p;
  ASSERT_TRUE(parse_part("7" + kNewPart, p));
  EXPECT_EQ(p.visual, 7);
  EXPECT_EQ(p.image, "./images/default_.bmp");
  EXPECT_EQ(p.model, "./visuals/default_.3ds");
  EXPECT_EQ(p.texture_mode, 1);
  EXPECT_EQ(p.quality, 3);
  EXPECT_EQ(p.wrap[1], 25000);
  EXPECT_EQ(p.color, (std::array<int32_t, 4>{255, 255, 255, 0}));
  EXPECT_EQ(p.uv_option, 1);
  EXPECT_EQ(p.model2, "./visuals/default_.3ds");
  EXPECT_FALSE(parse_part("no bars here", p));
  ASSERT_TRUE(parse_part("3|short", p));  // missing fields read as empty
  EXPECT_EQ(p.texture_mode, 0);
  EXPECT_TRUE(p.model2.empty());
}

// Field 31 moves every corner that share of the way to the second model; a second model of
// another triangle count, or no share, leaves the first as it is.
TEST(Visual, PartMorphsTowardsItsSecondModel) {
  VisualPartData d;
  d.triangles = {{0, 0, 0, 0, 1, 0, 1, 0, 0}};
  d.triangles2 = {{2, 0, 0, 2, 3, 0, 3, 0, 4}};
  TextureCache textures;
  const struct {
    const char* field31;
    size_t second_count;
    rm::vec3 third_corner;
  } cases[] = {{"50", 1, {2, 0, 2}}, {"100", 1, {3, 0, 4}}, {"250", 1, {3, 0, 4}}, {"0", 1, {1, 0, 0}},
               {"-20", 1, {1, 0, 0}}, {"50", 2, {1, 0, 0}}};
  for (const auto& c : cases) {
    ASSERT_TRUE(parse_part(std::string("1|none.bmp|m.3ds|0|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|255|255|255|0|0|n.3ds|") +
                               c.field31, d.part));
    d.triangles2.resize(c.second_count, d.triangles2[0]);
    rm::MeshPtr m = build_part_mesh(d, textures);
    ASSERT_EQ(m->vertices.size(), 3u);
    EXPECT_EQ(m->vertices[2], c.third_corner) << c.field31;
  }
}

TEST(Visual, FilesAreSharedAndPartsSelectedByNumber) {
  TempDir dir;
  const std::string model = dir.write("m.3ds", make_3ds(kQuadVerts, kQuadFaces));
  auto line = [&](int visual, int r) {
    return std::to_string(visual) + "|x.bmp|" + model + "|0|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|" +
           std::to_string(r) + "|255|255|0|0||0\r\n";
  };
  const std::string path = dir.write("v.v3d", line(1, 10) + line(2, 20) + line(1, 30) + "garbage\r\n");
  VisualCache cache;
  auto a = visual_cache_get(cache, path);
  auto b = visual_cache_get(cache, path);
  EXPECT_EQ(a, b);  // two records, one loaded copy
  ASSERT_EQ(a->parts.size(), 3u);
  ASSERT_TRUE(visual_part(*a, 1, 1));
  EXPECT_EQ(visual_part(*a, 1, 1)->part.color[0], 30);
  EXPECT_EQ(visual_part(*a, 2, 0)->part.color[0], 20);
  EXPECT_EQ(visual_part(*a, 2, 1), nullptr);
  EXPECT_EQ(visual_part(*a, 5, 0), nullptr);  // a visual with no parts yields no mesh
  EXPECT_EQ(visual_part(*a, 1, 0)->triangles.size(), 2u);

  // A missing file reads the default visual.
  const std::string fallback = dir.write("default_.v3d", line(1, 99));
  auto d = read_visual_file(dir.path.string() + "/nothing.v3d", fallback);
  EXPECT_EQ(d->path, fallback);
  ASSERT_EQ(d->parts.size(), 1u);
  EXPECT_EQ(d->parts[0].part.color[0], 99);
}

TEST(Visual, PartMeshColourTextureAndWrap) {
  TempDir dir;
  VisualPartData d;
  d.triangles = {{0, 0, 0, 0, 1, 0, 1, 0, 0}, {0, 0, 0, 1, 1, 0, 1, 0, 0}};
  ASSERT_TRUE(parse_part("1|none.bmp|m.3ds|0|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|255|255|255|0|0", d.part));
  TextureCache textures;
  rm::MeshPtr m = build_part_mesh(d, textures);
  ASSERT_EQ(m->faces.size(), 2u);
  EXPECT_EQ(m->vertices.size(), 6u);  // every face has its own corners
  EXPECT_FLOAT_EQ(m->faces[0].color.r, 255.0f / 256.0f);  // white is 255/256
  EXPECT_FALSE(m->faces[0].texture);
  EXPECT_EQ(m->quality, rm::Quality::Flat);

  // Textured with per-face coordinates; an image that cannot be read leaves the plain colour.
  std::vector<uint8_t> bmp;
  {
    // A 2 x 2 24-bit BMP.
    const uint8_t header[54] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                                1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bmp.assign(header, header + 54);
    for (int i = 0; i < 16; ++i) bmp.push_back(uint8_t(i * 16));
  }
  d.part.image = dir.write("t.bmp", bmp);
  d.part.texture_mode = 1;
  d.part.uv_option = 1;
  m = build_part_mesh(d, textures);
  ASSERT_TRUE(m->faces[0].texture);
  EXPECT_EQ(m->faces[0].texture->shades, 32);
  EXPECT_EQ(m->faces[0].color, rm::vec4(1.0f));
  EXPECT_EQ(m->uvs[1], rm::vec2(0, 0));
  EXPECT_EQ(m->uvs[5], rm::vec2(1, 1));
  EXPECT_EQ(texture_load(textures, d.part.image), m->faces[0].texture);  // loaded once
  d.part.image = dir.path.string() + "/missing.bmp";
  m = build_part_mesh(d, textures);
  EXPECT_FALSE(m->faces[0].texture);

  // Wrap fields: a cylinder scaled by 2 in u.
  d.part.image = dir.path.string() + "/t.bmp";
  d.part.uv_option = 0;
  d.part.wrap = {1, 2000, 0, 0, 0, 0, 0, 0, 0, 0};
  const rm::Wrap w = wrap_from_part(d.part);
  EXPECT_EQ(w.kind, rm::WrapKind::Cylinder);
  EXPECT_EQ(w.scale, rm::vec2(2.0f, 2.0f));
}

// A 2 x 2 24-bit BMP of one colour.
std::vector<uint8_t> bmp_2x2(uint8_t r, uint8_t g, uint8_t b) {
  const uint8_t header[54] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                              1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bmp(header, header + 54);
  for (int row = 0; row < 2; ++row) bmp.insert(bmp.end(), {b, g, r, b, g, r, 0, 0});
  return bmp;
}

// The box (0, 0, 0)..(2, 1, 4) as twelve triangles, each wound to face outwards.
TriangleList box_triangles() {
  const rm::vec3 lo(0.0f), hi(2.0f, 1.0f, 4.0f), centre = (lo + hi) * 0.5f;
  TriangleList out;
  for (int axis = 0; axis < 3; ++axis)
    for (float side : {lo[axis], hi[axis]}) {
      const int u = (axis + 1) % 3, v = (axis + 2) % 3;
      rm::vec3 q[4];
      for (int k = 0; k < 4; ++k) {
        q[k][axis] = side;
        q[k][u] = (k == 1 || k == 2) ? hi[u] : lo[u];
        q[k][v] = k >= 2 ? hi[v] : lo[v];
      }
      for (const auto& t : {std::array<rm::vec3, 3>{q[0], q[1], q[2]}, std::array<rm::vec3, 3>{q[0], q[2], q[3]}}) {
        rm::vec3 a = t[0], b = t[1], c = t[2];
        if (glm::dot(glm::cross(b - a, c - a), (a + b + c) / 3.0f - centre) < 0.0f) std::swap(b, c);
        out.push_back({a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z});
      }
    }
  return out;
}

// Six views: each side of the box shows its view's image (the left view has none of its own and
// shows field 2), upright as that view sees it; flat projection shows field 2 everywhere.
TEST(Visual, SixViewsGiveEachSideOfTheBoxItsImage) {
  TempDir dir;
  const std::string back = dir.write("back.bmp", bmp_2x2(200, 0, 0)), right = dir.write("right.bmp", bmp_2x2(0, 200, 0)),
                    front = dir.write("front.bmp", bmp_2x2(0, 0, 200)), top = dir.write("top.bmp", bmp_2x2(200, 200, 0)),
                    bottom = dir.write("bottom.bmp", bmp_2x2(0, 200, 200));
  VisualPartData d;
  d.triangles = box_triangles();
  ASSERT_TRUE(parse_part("1|" + back + "|m.3ds|1|2|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|255|255|255|0|1|m.3ds|0|" + right +
                             "|" + front + "||" + top + "|" + bottom,
                         d.part));
  EXPECT_EQ(view_image(d.part, View::Left), back);
  TextureCache textures;
  rm::MeshPtr m = build_part_mesh(d, textures);
  ASSERT_EQ(m->faces.size(), 12u);
  const struct {
    std::string image;
    rm::vec3 top_left, bottom_right;  // the corners at the image's (0, 0) and (1, 1)
  } views[] = {
      {front, {0, 1, 0}, {2, 0, 0}}, {back, {2, 1, 4}, {0, 0, 4}}, {right, {2, 1, 0}, {2, 0, 4}},
      {back, {0, 1, 4}, {0, 0, 0}},  {top, {0, 1, 4}, {2, 1, 0}},  {bottom, {0, 0, 0}, {2, 0, 4}},
  };
  const rm::vec3 normals[] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  for (size_t v = 0; v < 6; ++v) {
    int32_t faces = 0, corners = 0;
    for (const rm::Face& f : m->faces) {
      if (glm::dot(rm::face_normal(*m, f), normals[v]) < 0.99f) continue;
      ++faces;
      EXPECT_EQ(f.texture, texture_load(textures, views[v].image)) << v;
      for (int32_t c : f.corners) {
        const rm::vec3 p = m->vertices[size_t(c)];
        if (p == views[v].top_left) {
          EXPECT_EQ(m->uvs[size_t(c)], rm::vec2(0, 0)) << v;
          ++corners;
        }
        if (p == views[v].bottom_right) {
          EXPECT_EQ(m->uvs[size_t(c)], rm::vec2(1, 1)) << v;
          ++corners;
        }
      }
    }
    EXPECT_EQ(faces, 2) << v;
    EXPECT_GE(corners, 2) << v;
  }
  // A view whose image cannot be read leaves its side in the plain colour.
  d.part.views[0] = dir.path.string() + "/missing.bmp";
  m = build_part_mesh(d, textures);
  for (const rm::Face& f : m->faces)
    EXPECT_EQ(bool(f.texture), glm::dot(rm::face_normal(*m, f), rm::vec3(1, 0, 0)) < 0.99f);
  // Flat projection: one image, the views are not used.
  d.part.texture_mode = 2;
  m = build_part_mesh(d, textures);
  for (const rm::Face& f : m->faces) EXPECT_EQ(f.texture, texture_load(textures, back));
}

// Transparency (field 9) keys out black on a copy of the texture of its own; translucency
// (field 21) halves the opacity of every face, textured or plain.
TEST(Visual, TransparencyAndTranslucency) {
  TempDir dir;
  const std::string image = dir.write("t.bmp", bmp_2x2(0, 0, 0));
  VisualPartData d;
  d.triangles = box_triangles();
  auto line = [&](const char* mode, const char* transparency, const char* translucency) {
    return std::string("1|") + image + "|m.3ds|" + mode + "|2|0|0|0|" + transparency + "|0|0|0|0|0|0|0|0|0|0|0|" +
           translucency + "|0|0|0|10|20|30|0|1|m.3ds|0";
  };
  TextureCache textures;
  ASSERT_TRUE(parse_part(line("3", "1", "0"), d.part));
  EXPECT_EQ(d.part.transparency, 1);
  rm::MeshPtr m = build_part_mesh(d, textures);
  ASSERT_TRUE(m->faces[0].texture);
  EXPECT_TRUE(m->faces[0].texture->transparent);
  EXPECT_EQ(m->faces[0].texture->transparent_color, 0u);
  EXPECT_EQ(m->faces[0].color.a, 1.0f);
  const rm::TexturePtr plain = texture_load(textures, image);
  EXPECT_NE(plain, m->faces[0].texture);
  EXPECT_FALSE(plain->transparent);  // parts without transparency keep the image whole
  EXPECT_EQ(texture_load(textures, image, Keying::Black), m->faces[0].texture);  // keyed once

  const struct {
    const char* mode;
    const char* transparency;
    bool textured, keyed;
  } cases[] = {{"1", "0", true, false}, {"3", "1", true, true}, {"0", "1", false, false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(parse_part(line(c.mode, c.transparency, "1"), d.part));
    EXPECT_EQ(d.part.translucency, 1);
    m = build_part_mesh(d, textures);
    for (const rm::Face& f : m->faces) {
      EXPECT_EQ(f.color.a, kTranslucentAlpha) << c.mode;
      EXPECT_EQ(bool(f.texture), c.textured) << c.mode;
      EXPECT_EQ(f.texture && f.texture->transparent, c.keyed) << c.mode;
    }
  }
  EXPECT_FLOAT_EQ(m->faces[0].color.r, 10.0f / 256.0f);  // plain colour keeps its channels
}

TEST(Shape, VerticesFacesAndDamage) {
  rm::Mesh m;
  ASSERT_TRUE(parse_shape("; Korva 3D shape\r\nvertices=3\r\n0|0|0\r\n0|1000|0\r\n1500|0|-250\r\nfaces=2\r\n0|1|2\r\n0|1|7\r\n", m));
  ASSERT_EQ(m.vertices.size(), 3u);
  EXPECT_EQ(m.vertices[2], rm::vec3(1.5f, 0.0f, -0.25f));
  EXPECT_EQ(m.faces.size(), 1u);  // the face naming vertex 7 is skipped
  // Ends early: keeps what was read; absurd counts are bounded; nothing usable is refused.
  ASSERT_TRUE(parse_shape("vertices=999999999\n0|0|0\n0|1|0\n1|0|0\nfaces=5\n0|1|2\n", m));
  EXPECT_EQ(m.faces.size(), 1u);
  EXPECT_FALSE(parse_shape("vertices=-4\nfaces=1\n0|1|2\n", m));
  EXPECT_FALSE(parse_shape("", m));
  TempDir dir;
  const std::string fallback = dir.write("d.a3d", "vertices=3\n0|0|0\n0|1|0\n1|0|0\nfaces=1\n0|1|2\n");
  EXPECT_EQ(read_shape(dir.path.string() + "/missing.a3d", fallback)->faces.size(), 1u);
  EXPECT_TRUE(read_shape(dir.path.string() + "/missing.a3d", "")->faces.empty());
}

TEST(CameraAndBackground, KeysDefaultsAndBadValues) {
  EXPECT_EQ(parse_camera("; Korva camera\r\nfov=240\r\n").fov, 240);
  EXPECT_EQ(parse_camera("fov=0\r\n").fov, 100);       // would divide by zero
  EXPECT_EQ(parse_camera("fov=abc\nzoom=3\n").fov, 100);
  EXPECT_EQ(read_camera("/nonexistent/cam.03d").fov, 100);
  EXPECT_EQ(parse_background("color=200").color, 200);
  EXPECT_EQ(parse_background("color=256\r\n").color, 10);
  EXPECT_EQ(parse_background("colour=3").color, 10);
}

TEST(XModel, FramesMeshesAnimationAndFallBack) {
  TempDir dir;
  const std::string x =
      "xof 0303txt 0032\n"
      "Frame Body {\n"
      " FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,2.0,0.0,1.0;; }\n"
      " Mesh tri {\n"
      "  3;\n"
      "  0.0;0.0;0.5;,\n"
      "  0.0;1.0;0.5;,\n"
      "  1.0;0.0;0.5;;\n"
      "  1;\n"
      "  3;0,1,2;;\n"
      "  MeshTextureCoords { 3; 0.0;1.0;, 0.0;0.0;, 1.0;1.0;; }\n"
      " }\n"
      "}\n"
      "AnimationSet Walk {\n"
      " Animation {\n"
      "  {Body}\n"
      "  AnimationKey { 2; 2; 0;3;0.0,0.0,0.0;;, 100;3;5.0,0.0,0.0;;; }\n"
      " }\n"
      "}\n";
  const std::string path = dir.write("m.x", x);
  TextureCache textures;
  XModel model;
  ASSERT_TRUE(read_x(path, model, textures, ""));
  // Find the mesh anywhere below the root.
  const rm::Mesh* mesh = nullptr;
  rm::Frame* body = nullptr;
  std::function<void(rm::Frame&)> walk = [&](rm::Frame& f) {
    if (f.name == "Body") body = &f;
    for (auto& v : f.visuals)
      if (auto mp = std::get_if<rm::MeshPtr>(&v)) mesh = mp->get();
    for (auto& c : f.children) walk(*c);
  };
  walk(*model.frame);
  ASSERT_TRUE(mesh);
  ASSERT_TRUE(body);
  ASSERT_EQ(mesh->faces.size(), 1u);
  // Coordinates, corner order and texture coordinates come back as the file has them.
  const auto& f = mesh->faces[0];
  EXPECT_EQ(mesh->vertices[size_t(f.corners[0])], rm::vec3(0, 0, 0.5f));
  EXPECT_EQ(mesh->vertices[size_t(f.corners[1])], rm::vec3(0, 1, 0.5f));
  EXPECT_EQ(mesh->vertices[size_t(f.corners[2])], rm::vec3(1, 0, 0.5f));
  EXPECT_EQ(mesh->uvs[size_t(f.corners[0])], rm::vec2(0, 1));
  ASSERT_EQ(model.animation_sets.size(), 1u);
  rm::animation_set_time(*model.animation_sets[0], 50.0f);
  EXPECT_NEAR(body->position.x, 2.5f, 1e-4f);
  // A damaged file falls back to the default model.
  const std::string bad = dir.write("bad.x", std::string("xof 0303txt 0032\nMesh {{{{ 3;;; garbage"));
  XModel fallback;
  ASSERT_TRUE(read_x(bad, fallback, textures, path));
  EXPECT_EQ(fallback.path, path);
  EXPECT_FALSE(read_x(bad, fallback, textures, dir.path.string() + "/none.x"));
}
