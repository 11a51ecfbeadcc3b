// The mesh, vertex and material keywords on a built scene: the part selection, vertex and
// texture-coordinate access with its bounds, block copies, the material override, key-row
// blending, the polygon collision test, and wild handles.
#include "render/mesh_keywords.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/core.h"
#include "engine/math_tables.h"
#include "model/model.h"
#include "render/frame_keywords.h"
#include "render/scene.h"
#include "runtime/memory_blocks.h"

using namespace korva;
using namespace korva::meshes;

namespace {

// A unit square in the plane z = 0: corners (0,0), (0,1), (1,1), (1,0), two triangles.
rm::MeshPtr square() {
  rm::MeshPtr m = rm::mesh_create();
  for (rm::vec3 v : {rm::vec3(0, 0, 0), rm::vec3(0, 1, 0), rm::vec3(1, 1, 0), rm::vec3(1, 0, 0)})
    rm::mesh_add_vertex(*m, v);
  rm::mesh_add_face(*m, 0, 1, 2);
  rm::mesh_add_face(*m, 0, 2, 3);
  return m;
}

struct MeshKeywords : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  std::unique_ptr<Blocks> blocks = std::make_unique<Blocks>();
  render::Scene scene;
  System sys;
  rm::MeshPtr part;  // the mesh in child 0 of element 1's model

  // Element 0 a 3D shape (the square), element 1 a model whose root frame holds a child frame
  // with a square of its own, element 2 another square shape.
  void SetUp() override {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.model = model.get();
    sys.blocks = blocks.get();
    std::vector<render::ElementSetup> setups(3);
    setups[0].kind = render::ElementKind::Shape3d;
    setups[0].shape = square();
    setups[1].kind = render::ElementKind::Model;
    setups[1].model = std::make_shared<render::XModel>();
    setups[1].model->frame = rm::frame_create(nullptr);
    part = square();
    rm::frame_add_visual(*rm::frame_create(setups[1].model->frame.get()), part);
    setups[2].kind = render::ElementKind::Shape3d;
    setups[2].shape = square();
    render::scene_build(scene, render::SceneSettings{}, setups, nullptr);
    model->last_index = 2;
    sys.scene = &scene;
    for (int32_t i = 0; i < 3; ++i)
      for (int32_t o : {ir::kScaleX, ir::kScaleY, ir::kScaleZ}) ir_set(record(i), o, 1000);
  }
  void TearDown() override { render::scene_release(scene); }
  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  rm::Mesh& shape(int32_t i) { return *std::get<rm::MeshPtr>(scene.elements[size_t(i)].frame->visuals[0]); }
};

int32_t h(int32_t i) { return element_handle(i); }

TEST_F(MeshKeywords, VerticesAreReadAndWrittenInPositionUnitsWithinTheCount) {
  EXPECT_EQ(vertices(sys, h(0)), 4);
  EXPECT_EQ(normals(sys), 4);
  EXPECT_EQ(vertex_pos(sys, h(0), 2, 0), 512000);
  EXPECT_EQ(vertex_pos(sys, h(0), 2, 3), 0);
  vertex_pos_set(sys, h(0), 1, 256000, -512000, 1024000);
  EXPECT_EQ(vertex_pos(sys, h(0), 1, 0), 256000);
  EXPECT_EQ(vertex_pos(sys, h(0), 1, 1), -512000);
  vertex_pos_add(sys, h(0), 1, 0, 512000, -24000);
  EXPECT_EQ(vertex_pos(sys, h(0), 1, 1), 0);
  EXPECT_EQ(vertex_pos(sys, h(0), 1, 2), 1000000);
  const uint32_t version = shape(0).version;
  for (int32_t i : {4, -1, INT_MAX, INT_MIN}) {  // at the count and beyond: nothing changes
    vertex_pos_set(sys, h(0), i, 1, 2, 3);
    vertex_pos_add(sys, h(0), i, 1, 2, 3);
    vertex_uv_set(sys, h(0), i, 1, 2);
    EXPECT_EQ(vertex_pos(sys, h(0), i, 0), 0);
  }
  EXPECT_EQ(shape(0).version, version);
  // Texture coordinates in ten-thousandths; uv_add scrolls a run of vertices.
  vertex_uv_set(sys, h(0), 3, 2500, -7500);
  EXPECT_EQ(vertex_u(sys, h(0), 3), 2500);
  EXPECT_EQ(vertex_v(sys, h(0), 3), -7500);
  vertex_uv_add(sys, h(0), 2, 100, 200, 50);
  EXPECT_EQ(vertex_u(sys, h(0), 3), 2600);
  EXPECT_EQ(vertex_v(sys, h(0), 2), 200);
  EXPECT_EQ(vertex_u(sys, h(0), 1), 0);
}

TEST_F(MeshKeywords, ThePartSelectionDescendsIntoChildrenAndPicksAVisual) {
  EXPECT_EQ(vertices(sys, h(1)), 0);  // the model's root frame holds no mesh itself
  h_part_set(sys, 0, -1, 7, 7, 0);    // -1 ends the path
  EXPECT_EQ(vertices(sys, h(1)), 4);
  vertex_pos_set(sys, h(1), 0, 512000, 0, 0);
  EXPECT_FLOAT_EQ(part->vertices[0].x, 1.0f);
  h_part_set(sys, 1, -1, -1, -1, 0);  // no second child
  EXPECT_EQ(vertices(sys, h(1)), 0);
  h_part_set(sys, 0, 0, -1, -1, 0);   // the child has no child
  EXPECT_EQ(vertices(sys, h(1)), 0);
  h_part_set(sys, 0, -1, -1, -1, 1);  // no second visual
  EXPECT_EQ(vertices(sys, h(1)), 0);
  // A frame handle of the part, with the selection back on the first visual of the frame.
  const int32_t f = frames::x_element_get(sys, h(1), 0, -1, -1, -1);
  h_part_set(sys, -1, -1, -1, -1, 0);
  EXPECT_EQ(vertices(sys, f), 4);
  EXPECT_EQ(vertex_pos(sys, f, 0, 0), 512000);
}

TEST_F(MeshKeywords, BlocksTakeWholeVertexSetsAndTooSmallBlocksNothing) {
  const int32_t b = a_create(sys, 14);
  vertices_get(sys, h(0), b, 2);
  EXPECT_EQ(a(sys, b, 2 + 3 * 2 + 0), 512000);  // vertex 2 x
  EXPECT_EQ(a(sys, b, 2 + 3 * 2 + 1), 512000);  // vertex 2 y
  a_set(sys, b, 2 + 3 * 3 + 2, -512000);        // vertex 3 z
  vertices_set(sys, h(0), b, 2);
  EXPECT_FLOAT_EQ(shape(0).vertices[3].z, -1.0f);
  const int32_t small = a_create(sys, 11);
  a_set(sys, small, 0, 77);
  vertices_get(sys, h(0), small, 0);  // 12 integers do not fit
  EXPECT_EQ(a(sys, small, 0), 77);
  vertices_get(sys, h(0), b, 3);      // nor from index 3 of 14
  vertices_set(sys, h(0), small, 0);
  vertices_set(sys, h(0), b, -1);
  vertices_get(sys, h(0), 9999, 0);
  EXPECT_FLOAT_EQ(shape(0).vertices[3].z, -1.0f);
  // Normals: generated when the mesh has none, unit vectors in position units.
  normals_get(sys, h(0), b, 0);
  EXPECT_EQ(a(sys, b, 3 * 1 + 2), -512000);  // vertex 1's face faces -z (clockwise seen from -z)
  a_set(sys, b, 0, 512000);
  a_set(sys, b, 2, 0);
  normals_set(sys, h(0), b, 0);
  EXPECT_FLOAT_EQ(shape(0).normals[0].x, 1.0f);
  normals_optimize(sys, h(0));
  EXPECT_NEAR(shape(0).normals[1].z, -1.0f, 1e-5f);
}

TEST_F(MeshKeywords, TheMaterialOverrideIsFilledInThousandthsAndApplied) {
  material_set(sys, 4, 2500, 0, 0, 0);
  EXPECT_FLOAT_EQ(scene.mesh.material.power, 2.5f);
  material_set(sys, 0, 1000, 0, 0, 500);
  material_set(sys, 2, 0, 250, 0, 1000);
  material_set(sys, 5, 9, 9, 9, 9);  // ignored
  EXPECT_EQ(scene.mesh.material.diffuse, rm::vec4(1.0f, 0.0f, 0.0f, 0.5f));
  EXPECT_EQ(scene.mesh.material.emissive, rm::vec4(0.0f, 0.25f, 0.0f, 1.0f));
  EXPECT_EQ(scene.mesh.material.flags, 63u);
  material_apply(sys, h(0));
  ASSERT_TRUE(scene.elements[0].frame->material);
  EXPECT_FLOAT_EQ(scene.elements[0].frame->material->power, 2.5f);
  EXPECT_FALSE(scene.elements[2].frame->material);
}

TEST_F(MeshKeywords, FrameAndMeshSettings) {
  h_sort_mode_set(sys, h(0), 2);
  EXPECT_EQ(scene.elements[0].frame->sort_mode, rm::SortMode::BackToFront);
  EXPECT_TRUE(scene.elements[0].frame->sorts_below);
  h_sort_mode_set(sys, h(0), 7);  // ignored
  EXPECT_EQ(scene.elements[0].frame->sort_mode, rm::SortMode::BackToFront);
  h_sort_mode_set(sys, h(0), 0);
  EXPECT_FALSE(scene.elements[0].frame->sorts_below);
  zbuffer_mode_set(sys, h(0), 2);
  EXPECT_EQ(scene.elements[0].frame->zbuffer, rm::ZBufferMode::Disable);
  zbuffer_mode_set(sys, h(0), 3);
  EXPECT_EQ(scene.elements[0].frame->zbuffer, rm::ZBufferMode::Disable);
  make_flat(sys, h(0));
  EXPECT_EQ(shape(0).quality, rm::Quality::Flat);
  env_map_update(sys, h(0));
  EXPECT_TRUE(shape(0).chrome);
  // Faces grouped by texture, in the order the textures first appear.
  const std::vector<uint8_t> rgb(3, 255);
  rm::TexturePtr t = rm::texture_create_rgb(rgb.data(), 1, 1);
  rm::mesh_add_face(shape(0), 1, 2, 3);
  shape(0).faces[0].texture = t;
  shape(0).faces[2].texture = t;
  state_change_optimize(sys, h(0));
  EXPECT_EQ(shape(0).faces[1].texture, t);
  EXPECT_EQ(shape(0).faces[1].corners[0], 1);
  EXPECT_FALSE(shape(0).faces[2].texture);
  shape(0).faces[2].corners[1] = 99;  // a face naming a vertex the mesh does not have
  rendering_optimize(sys, h(0));
  EXPECT_EQ(shape(0).faces.size(), 2u);
}

// A block of a working row of n = 2 and m = 3 key rows: (10, 20), (30, 60), (50, 100).
TEST_F(MeshKeywords, KeyRowsBlendIntoTheWorkingRowAndWrapAround) {
  const int32_t b = a_create(sys, 8);
  const int32_t keys[] = {10, 20, 30, 60, 50, 100};
  for (int32_t i = 0; i < 6; ++i) a_set(sys, b, 2 + i, keys[i]);
  struct Case {
    int32_t t, k;
    int32_t w0, w1;
  };
  const Case cases[] = {
      {0, 3, 10, 20},     // row 1
      {1, 6, 20, 40},     // half way from row 1 to row 2
      {2, 3, 50, 100},    // row 3
      {5, 6, 30, 60},     // half way from row 3 back to row 1
      {3, 3, 10, 20},     // t = k wraps to row 1
      {-1, 1, 10, 20},    // t unsigned: 4294967295·3, a whole number of turns
  };
  for (const Case& c : cases) {
    a_interpolate(sys, b, c.t, c.k, 2, 3);
    EXPECT_EQ(a(sys, b, 0), c.w0) << c.t << "/" << c.k;
    EXPECT_EQ(a(sys, b, 1), c.w1) << c.t << "/" << c.k;
  }
  a_set(sys, b, 0, -5);
  EXPECT_EQ(a_interpolate(sys, b, 1, 0, 2, 3), 0);  // k, n or m 0: nothing
  EXPECT_EQ(a_interpolate(sys, b, 1, 2, 0, 3), 0);
  EXPECT_EQ(a_interpolate(sys, b, 1, 2, 2, 0), 0);
  EXPECT_EQ(a_interpolate(sys, b, 1, 2, 2, 4), 0);  // a fourth key row is not in the block
  EXPECT_EQ(a_interpolate(sys, 4000, 1, 2, 2, 3), 0);
  EXPECT_EQ(a(sys, b, 0), -5);
  EXPECT_EQ(a_interpolate(sys, b, 1, -3, 2, 3), 3);  // a negative k counts rows down from the top
}

TEST_F(MeshKeywords, CopiesGoIntegerByIntegerInIncreasingOrder) {
  const int32_t b1 = a_create(sys, 5), b2 = a_create(sys, 5);
  for (int32_t i = 0; i < 5; ++i) a_set(sys, b1, i, i + 1);
  a_copy(sys, b1, b2, 1, 2, 3);
  EXPECT_EQ(a(sys, b2, 2), 2);
  EXPECT_EQ(a(sys, b2, 4), 4);
  a_copy(sys, b1, b1, 0, 1, 4);  // forward within a block: the first integer spreads
  for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(a(sys, b1, i), 1);
  a_copy(sys, b1, b2, 3, 0, 3);  // past the end of b1: nothing
  a_copy(sys, b1, b2, 0, -1, 2);
  EXPECT_EQ(a(sys, b2, 0), 0);
}

// Element 2's square turned a quarter about y and moved so that it cuts through element 0's
// square along the line x = 0.5, y from 0 to 1.
TEST_F(MeshKeywords, PolygonCollisionFindsTheContactPointAndNormal) {
  ir_set(record(2), ir::kRotY, 46080);
  ir_set(record(2), ir::kPosX, 256000);
  ir_set(record(2), ir::kPosZ, -256000);
  EXPECT_EQ(h_poly_collision(sys, h(0), h(2), 1), -1);
  EXPECT_EQ(h_cpoint_x(sys, 0), 256000);
  EXPECT_NEAR(h_cpoint_y(sys, 0), 256000, 2);
  EXPECT_NEAR(h_cpoint_z(sys, 0), 0, 2);
  EXPECT_NEAR(std::abs(h_cnormal_x(sys, 0)), 512000, 2);  // the second square faces along x
  EXPECT_NEAR(h_cnormal_y(sys, 0), 0, 2);
  // In element 2's own coordinates its normal is its own z axis.
  EXPECT_NEAR(std::abs(h_cnormal_z(sys, h(2))), 512000, 2);
  EXPECT_EQ(h_poly_collision(sys, h(0), h(2), 0), -1);
  ir_set(record(2), ir::kPosX, 2048000);  // apart
  EXPECT_EQ(h_poly_collision(sys, h(0), h(2), 1), 0);
  // The collision selections are their own: the model's part is reached through cpart2 only.
  h_cpart2_set(sys, 0, -1, -1, -1, 0);
  ir_set(record(1), ir::kRotY, 46080);
  ir_set(record(1), ir::kPosX, 256000);
  ir_set(record(1), ir::kPosZ, -256000);
  EXPECT_EQ(h_poly_collision(sys, h(0), h(1), 0), -1);
  EXPECT_EQ(vertices(sys, h(1)), 0);
}

TEST_F(MeshKeywords, WildHandlesDoNothingAndAnswerZero) {
  const int32_t b = a_create(sys, 30);
  const int32_t wild[] = {0, -1, 5, INT_MIN, INT_MAX, int32_t(0x80000000u) | 3, h(3), h(255), h(0) + 4};
  for (int32_t w : wild) {
    EXPECT_EQ(vertices(sys, w), 0) << w;
    EXPECT_EQ(vertex_pos(sys, w, 0, 0), 0);
    vertex_pos_set(sys, w, 0, 1, 1, 1);
    vertex_pos_add(sys, w, 0, 1, 1, 1);
    vertex_posw_set(sys, w, 0, 1, 1, 1);
    EXPECT_EQ(vertex_u(sys, w, 0), 0);
    vertex_uv_add(sys, w, 0, 1, 1, 1);
    vertices_get(sys, w, b, 0);
    vertices_set(sys, w, b, 0);
    normals_get(sys, w, b, 0);
    normals_optimize(sys, w);
    rendering_optimize(sys, w);
    state_change_optimize(sys, w);
    env_map_update(sys, w);
    make_flat(sys, w);
    h_sort_mode_set(sys, w, 1);
    zbuffer_mode_set(sys, w, 1);
    material_apply(sys, w);
    EXPECT_EQ(h_poly_collision(sys, w, h(0), 1), 0);
    EXPECT_EQ(h_poly_collision(sys, h(0), w, 1), 0);
    EXPECT_EQ(h_cpoint_x(sys, w == 0 ? 1 : w), 0);
  }
  sys.scene = nullptr;
  EXPECT_EQ(vertices(sys, h(0)), 0);
  EXPECT_EQ(normals(sys), 0);
  h_part_set(sys, 0, 0, 0, 0, 0);
  material_set(sys, 0, 1, 1, 1, 1);
  EXPECT_EQ(h_poly_collision(sys, h(0), h(2), 1), 0);
  EXPECT_EQ(h_cnormal_y(sys, 0), 0);
}

// vertex_posw_set puts a vertex on a point of the scene wherever the element stands.
TEST_F(MeshKeywords, WorldPositionsGoThroughTheElementsPlacement) {
  ir_set(record(0), ir::kPosX, 512000);
  ir_set(record(0), ir::kRotY, 46080);  // a quarter turn about y: local z onto -x
  vertex_posw_set(sys, h(0), 0, 512000 - 1024000, 0, 0);
  EXPECT_NEAR(shape(0).vertices[0].z, 2.0f, 1e-3f);
  EXPECT_NEAR(shape(0).vertices[0].x, 0.0f, 1e-3f);
}

}  // namespace
