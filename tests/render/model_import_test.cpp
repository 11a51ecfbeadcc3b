// Our model format's writer and untrusted reader, and models imported through the separate
// korva-import process and its cache: a crashing, hanging or refusing import leaves the caller
// running with the default model.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <limits>

#include "render/mesh_file.h"
#include "render/render.h"

using namespace korva;
using namespace korva::render;
namespace fs = std::filesystem;

namespace {

struct Scratch {
  fs::path path;
  Scratch() {
    path = fs::temp_directory_path() /
           ("korva_import_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Scratch() { fs::remove_all(path); }
  std::string write(const std::string& name, const std::string& text) const {
    const fs::path p = path / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  // Settings with a cache of this test's own, so every test starts with nothing imported.
  ModelImport import() const {
    ModelImport m;
    m.cache_folder = (path / "cache").string();
    return m;
  }
};

// Sets an environment variable for the lifetime of the object (the import process inherits it).
struct ScopedEnv {
  const char* name;
  ScopedEnv(const char* n, const char* value) : name(n) { setenv(n, value, 1); }
  ~ScopedEnv() { unsetenv(name); }
};

ModelData sample_model() {
  ModelData m;
  m.materials.push_back({{0.5f, 0.25f, 1.0f, 1.0f}, "skin.bmp"});
  ModelMesh mesh;
  mesh.name = "tri";
  mesh.material = 0;
  mesh.positions = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
  mesh.normals = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
  mesh.uvs = {{0, 1}, {0, 0}, {1, 1}};
  mesh.faces = {{0, 1, 2}};
  m.meshes.push_back(mesh);
  ModelFrame root;
  root.name = "root";
  ModelFrame body;
  body.name = "Body";
  body.parent = 0;
  body.transform[13] = 2.0f;  // y translation
  body.meshes = {0};
  m.frames = {root, body};
  ModelAnimationSet walk;
  walk.name = "Walk";
  walk.length = 100.0f;
  ModelChannel ch;
  ch.frame = 1;
  ch.positions = {{0.0f, {0, 0, 0}}, {100.0f, {5, 0, 0}}};
  ch.rotations = {{0.0f, {1, 0, 0, 0}}};
  walk.channels.push_back(ch);
  m.animation_sets.push_back(walk);
  return m;
}

const std::string kTriangleX =
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
    " }\n"
    "}\n";

size_t count_faces(const rm::Frame& f) {
  size_t n = 0;
  for (const auto& v : f.visuals)
    if (auto mp = std::get_if<rm::MeshPtr>(&v)) n += (*mp)->faces.size();
  for (const auto& c : f.children) n += count_faces(*c);
  return n;
}

}  // namespace

TEST(ModelFile, RoundTripKeepsEverything) {
  const ModelData m = sample_model();
  const std::vector<uint8_t> bytes = model_write(m);
  ModelData back;
  ASSERT_EQ(model_read(bytes.data(), bytes.size(), back), ModelFileError::None);
  EXPECT_EQ(model_write(back), bytes);
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_EQ(back.frames[1].name, "Body");
  EXPECT_EQ(back.frames[1].parent, 0);
  EXPECT_EQ(back.frames[1].transform[13], 2.0f);
  EXPECT_EQ(back.meshes[0].uvs[2], (std::array<float, 2>{1, 1}));
  EXPECT_EQ(back.materials[0].texture, "skin.bmp");
  EXPECT_EQ(back.animation_sets[0].channels[0].positions[1].value[0], 5.0f);

  // Frames, meshes and animation become the retained-mode tree.
  XModel x;
  TextureCache textures;
  model_to_frames(back, "models/m.x", x, textures);
  ASSERT_EQ(x.frame->children.size(), 1u);
  rm::Frame& body = *x.frame->children[0];
  EXPECT_EQ(body.name, "Body");
  EXPECT_EQ(body.position, rm::vec3(0, 2, 0));
  ASSERT_EQ(body.visuals.size(), 1u);
  const rm::Mesh& mesh = *std::get<rm::MeshPtr>(body.visuals[0]);
  EXPECT_EQ(mesh.faces[0].color, rm::vec4(0.5f, 0.25f, 1.0f, 1.0f));
  ASSERT_EQ(x.animation_sets.size(), 1u);
  rm::animation_set_time(*x.animation_sets[0], 50.0f);
  EXPECT_NEAR(body.position.x, 2.5f, 1e-4f);
}

TEST(ModelFile, EveryShortenedFileIsRefused) {
  const std::vector<uint8_t> bytes = model_write(sample_model());
  for (size_t n = 0; n < bytes.size(); ++n) {
    ModelData out;
    EXPECT_NE(model_read(bytes.data(), n, out), ModelFileError::None) << n;
    EXPECT_TRUE(out.frames.empty());
  }
}

TEST(ModelFile, DamagedStructureIsRefused) {
  struct Case {
    const char* what;
    std::function<void(ModelData&)> damage;
    ModelFileError expect;
  };
  const std::vector<Case> cases = {
      {"face corner past the vertices", [](ModelData& m) { m.meshes[0].faces[0][2] = 3; }, ModelFileError::BadIndex},
      {"mesh of a missing material", [](ModelData& m) { m.meshes[0].material = 1; }, ModelFileError::BadIndex},
      {"frame of a missing mesh", [](ModelData& m) { m.frames[1].meshes = {1}; }, ModelFileError::BadIndex},
      {"parent after its child", [](ModelData& m) { m.frames[1].parent = 1; }, ModelFileError::BadIndex},
      {"second root", [](ModelData& m) { m.frames[1].parent = kNoParent; }, ModelFileError::BadIndex},
      {"root with a parent", [](ModelData& m) { m.frames[0].parent = 0; }, ModelFileError::BadIndex},
      {"no frames", [](ModelData& m) {
         m.frames.clear();
         m.animation_sets.clear();
       }, ModelFileError::BadIndex},
      {"channel of a missing frame", [](ModelData& m) { m.animation_sets[0].channels[0].frame = 2; },
       ModelFileError::BadIndex},
      {"name over the limit", [](ModelData& m) { m.frames[0].name.assign(kMaxModelNameBytes + 1, 'a'); },
       ModelFileError::Limit},
      {"frames deeper than the limit",
       [](ModelData& m) {
         for (int32_t i = 0; i <= kMaxFrameDepth; ++i) {
           ModelFrame f;
           f.parent = int32_t(m.frames.size()) - 1;
           m.frames.push_back(f);
         }
       },
       ModelFileError::Limit},
  };
  for (const Case& c : cases) {
    ModelData m = sample_model();
    c.damage(m);
    const std::vector<uint8_t> bytes = model_write(m);
    ModelData out;
    EXPECT_EQ(model_read(bytes.data(), bytes.size(), out), c.expect) << c.what;
    EXPECT_TRUE(out.frames.empty()) << c.what;
  }
}

TEST(ModelFile, HugeCountsAndForeignBytesAreRefusedWithoutAllocating) {
  const std::vector<uint8_t> good = model_write(sample_model());
  // Offsets in the sample's layout: magic, version, material count, then the first material.
  constexpr size_t kVersion = 4, kMaterialCount = 8;
  const size_t mesh_count = kMaterialCount + 4 + 16 + 4 + 8;
  const size_t vertex_count = mesh_count + 4 + 4 + 3 + 4 + 4;
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
    ModelFileError expect;
  };
  const Case cases[] = {
      {"other magic", 0, 0x4c444d4a, ModelFileError::NotOurs},
      {"other version", kVersion, 2, ModelFileError::Version},
      {"materials over the limit", kMaterialCount, 0xffffffffu, ModelFileError::Limit},
      {"materials beyond the file", kMaterialCount, 1000, ModelFileError::Truncated},
      {"meshes beyond the file", mesh_count, 5000, ModelFileError::Truncated},
      {"vertices over the limit", vertex_count, 0xfffffff0u, ModelFileError::Limit},
      {"vertices beyond the file", vertex_count, 1u << 20, ModelFileError::Truncated},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    for (int i = 0; i < 4; ++i) bytes[c.offset + size_t(i)] = uint8_t(c.value >> (8 * i));
    ModelData out;
    EXPECT_EQ(model_read(bytes.data(), bytes.size(), out), c.expect) << c.what;
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  ModelData out;
  EXPECT_EQ(model_read(longer.data(), longer.size(), out), ModelFileError::Trailing);
}

TEST(ModelFile, NonFiniteNumbersReadAsZero) {
  ModelData m = sample_model();
  m.meshes[0].positions[1] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1};
  const std::vector<uint8_t> bytes = model_write(m);
  ModelData out;
  ASSERT_EQ(model_read(bytes.data(), bytes.size(), out), ModelFileError::None);
  EXPECT_EQ(out.meshes[0].positions[1], (std::array<float, 3>{0, 0, 1}));
}

TEST(ModelImport, ImportsOnceThenReadsTheCache) {
  Scratch s;
  const std::string x = s.write("m.x", kTriangleX);
  ModelImport import = s.import();
  TextureCache textures;
  XModel model;
  ASSERT_TRUE(read_x(x, model, textures, "", import));
  EXPECT_EQ(model.path, x);
  EXPECT_EQ(count_faces(*model.frame), 1u);

  // With the importer gone, the cached form still loads: a second run starts no import.
  import.importer = (s.path / "no-such-importer").string();
  XModel again;
  ASSERT_TRUE(read_x(x, again, textures, "", import));
  EXPECT_EQ(count_faces(*again.frame), 1u);
  // A changed file is a new cache entry, so it needs the importer again.
  s.write("m.x", kTriangleX + "\n");
  ModelData data;
  EXPECT_EQ(import_model(x, import, data), ImportResult::NoImporter);
}

TEST(ModelImport, DamagedCacheEntryIsImportedAgain) {
  Scratch s;
  const std::string x = s.write("m.x", kTriangleX);
  const ModelImport import = s.import();
  ModelData data;
  ASSERT_EQ(import_model(x, import, data), ImportResult::Done);
  for (const auto& entry : fs::directory_iterator(import.cache_folder)) fs::resize_file(entry.path(), 10);
  ASSERT_EQ(import_model(x, import, data), ImportResult::Done);
  EXPECT_EQ(data.meshes.size(), 1u);
}

TEST(ModelImport, FailedImportGivesTheDefaultModelAndOneLine) {
  Scratch s;
  const std::string fallback = s.write("default_.x", kTriangleX);
  const std::string hostile = s.write("hostile.x", kTriangleX + "\n\n");
  struct Case {
    const char* fault;  // what the import process is made to do
    ImportResult expect;
  };
  const Case cases[] = {{"abort", ImportResult::Crashed}, {"hang", ImportResult::TimedOut}};
  for (const Case& c : cases) {
    ModelImport import = s.import();
    import.seconds = 1;
    TextureCache textures;
    XModel preload;
    ASSERT_TRUE(read_x(fallback, preload, textures, "", import));  // the default is cached first
    ScopedEnv fault("KORVA_IMPORT_FAULT", c.fault);
    ModelData data;
    EXPECT_EQ(import_model(hostile, import, data), c.expect) << c.fault;
    EXPECT_TRUE(data.frames.empty());
    testing::internal::CaptureStderr();
    XModel model;
    ASSERT_TRUE(read_x(hostile, model, textures, fallback, import)) << c.fault;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(model.path, fallback);
    EXPECT_EQ(count_faces(*model.frame), 1u);
    EXPECT_NE(err.find(hostile), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
}

// An import whose output cannot be written (here: a file size limit of 0) says nothing about the
// model: it is not remembered as a refusal, and the next import without the limit succeeds.
TEST(ModelImport, AnImportThatCannotWriteIsNotRememberedAsARefusal) {
  Scratch s;
  const std::string x = s.write("m.x", kTriangleX);
  ModelImport import = s.import();
  const char* importer = std::getenv("KORVA_IMPORTER");
  ASSERT_NE(importer, nullptr);
  const std::string limited =
      s.write("limited.sh", "#!/bin/sh\ntrap '' XFSZ\nulimit -f 0\nexec '" + std::string(importer) + "' \"$@\"\n");
  fs::permissions(limited, fs::perms::owner_all);
  import.importer = limited;
  ModelData data;
  EXPECT_EQ(import_model(x, import, data), ImportResult::Unwritten);
  import.importer = ModelImport().importer;
  EXPECT_EQ(import_model(x, import, data), ImportResult::Done);
  EXPECT_EQ(data.meshes.size(), 1u);
}

TEST(ModelImport, RefusalIsRememberedAndMissingFilesAreQuiet) {
  Scratch s;
  const std::string bad = s.write("bad.x", "xof 0303txt 0032\nMesh {{{{ 3;;; garbage");
  ModelImport import = s.import();
  ModelData data;
  EXPECT_EQ(import_model(bad, import, data), ImportResult::Refused);
  import.importer = (s.path / "no-such-importer").string();
  EXPECT_EQ(import_model(bad, import, data), ImportResult::Refused);
  testing::internal::CaptureStderr();
  EXPECT_EQ(import_model((s.path / "none.x").string(), import, data), ImportResult::Missing);
  XModel model;
  TextureCache textures;
  EXPECT_FALSE(read_x((s.path / "none.x").string(), model, textures, "", import));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Models from Assimp's own test suite, written by many exporters (Debian's assimp-testmodels).
TEST(ModelImport, ThirdPartyCorpusLoadsOrIsRefusedCleanly) {
  const fs::path corpus = "/usr/share/assimp/models";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "assimp-testmodels is not installed";
  Scratch s;
  const ModelImport import = s.import();
  int x_loaded = 0, tds_loaded = 0;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string path = entry.path().string();
    const bool invalid = entry.path().parent_path().filename() == "invalid";
    if (ext == ".x") {
      ModelData data;
      const ImportResult r = import_model(path, import, data);
      EXPECT_TRUE(r == ImportResult::Done || r == ImportResult::Refused) << path << " " << int(r);
      if (!invalid) {
        EXPECT_EQ(r, ImportResult::Done) << path;
        XModel model;
        TextureCache textures;
        model_to_frames(data, path, model, textures);
        EXPECT_GT(count_faces(*model.frame), 0u) << path;
      }
      x_loaded += r == ImportResult::Done;
    } else if (ext == ".3ds") {
      TriangleList out;
      const int32_t triangles = read_triangles(path, out, "");
      if (!invalid) {
        EXPECT_GT(triangles, 0) << path;
      }
      tds_loaded += triangles > 0;
    }
  }
  EXPECT_GT(x_loaded, 0);
  EXPECT_GT(tds_loaded, 0);
}
