// The retained-mode scene graph: transforms between frames, meshes and wraps, viewports and
// picking, animations, textures.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/constants.hpp>

#include "platform/rm/rm.h"

using namespace korva::rm;

static void expect_near(vec3 a, vec3 b, float eps = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

TEST(RmFrame, TransformsBetweenFrames) {
  FramePtr root = frame_create(nullptr);
  FramePtr parent = frame_create(root.get());
  FramePtr child = frame_create(parent.get());
  frame_set_position(*parent, root.get(), vec3(10, 0, 0));
  // Parent turned a quarter about y: its +z looks along world +x.
  frame_set_orientation(*parent, root.get(), vec3(1, 0, 0), vec3(0, 1, 0));
  frame_set_position(*child, parent.get(), vec3(0, 0, 5));
  expect_near(frame_position(*child, root.get()), vec3(15, 0, 0));
  expect_near(frame_position(*child, nullptr), vec3(15, 0, 0));

  // Setting a position relative to another frame lands there when read back the same way.
  FramePtr other = frame_create(root.get());
  frame_set_position(*other, root.get(), vec3(-3, 2, 1));
  frame_set_position(*child, other.get(), vec3(1, 1, 1));
  expect_near(frame_position(*child, other.get()), vec3(1, 1, 1));
  expect_near(frame_position(*child, root.get()), vec3(-2, 3, 2));

  // Orientation relative to the root, read back relative to the root.
  frame_set_orientation(*child, root.get(), vec3(0, 0, -1), vec3(0, 1, 0));
  vec3 dir, up;
  frame_orientation(*child, root.get(), dir, up);
  expect_near(dir, vec3(0, 0, -1));
  expect_near(up, vec3(0, 1, 0));
  // Degenerate directions leave the orientation alone.
  frame_set_orientation(*child, root.get(), vec3(0, 1, 0), vec3(0, 1, 0));
  frame_orientation(*child, root.get(), dir, up);
  expect_near(dir, vec3(0, 0, -1));
}

TEST(RmFrame, HierarchyRefusesCyclesAndHidesSubtrees) {
  FramePtr root = frame_create(nullptr);
  FramePtr a = frame_create(root.get());
  FramePtr b = frame_create(a.get());
  EXPECT_FALSE(frame_add_child(*b, a));
  EXPECT_FALSE(frame_add_child(*a, a));
  EXPECT_TRUE(frame_add_child(*root, b));  // moves b up
  EXPECT_EQ(b->parent, root.get());
  EXPECT_TRUE(a->children.empty());
  FramePtr c = frame_create(a.get());
  frame_set_traversal(*a, 0);
  EXPECT_FALSE(frame_rendered(*c));
  frame_set_traversal(*a, kTraverseRender);
  EXPECT_TRUE(frame_rendered(*c));
  EXPECT_EQ(frame_scene(*c), root.get());
  // A child outliving its parent no longer points at it.
  FramePtr orphan = frame_create(a.get());
  frame_remove_child(*root, a.get());
  a.reset();
  EXPECT_EQ(orphan->parent, nullptr);
}

TEST(RmFrame, RotationQuaternionRoundTrip) {
  FramePtr root = frame_create(nullptr);
  FramePtr f = frame_create(root.get());
  const quat q = glm::angleAxis(0.7f, glm::normalize(vec3(1, 2, 3)));
  frame_set_rotation(*f, root.get(), q);
  const quat back = frame_rotation(*f, root.get());
  EXPECT_NEAR(std::fabs(glm::dot(q, back)), 1.0f, 1e-5f);
}

TEST(RmMesh, FacesNormalsAndBounds) {
  MeshPtr m = mesh_create();
  const int32_t a = mesh_add_vertex(*m, vec3(0, 0, 0));
  const int32_t b = mesh_add_vertex(*m, vec3(0, 1, 0));
  const int32_t c = mesh_add_vertex(*m, vec3(1, 0, 0));
  EXPECT_EQ(mesh_add_face(*m, a, b, 3), -1);  // corner past the vertex list
  EXPECT_EQ(mesh_add_face(*m, a, -1, c), -1);
  ASSERT_EQ(mesh_add_face(*m, a, b, c), 0);
  // Clockwise as seen from -z: the front faces the viewer at -z.
  expect_near(face_normal(*m, m->faces[0]), vec3(0, 0, -1));
  mesh_generate_normals(*m);
  ASSERT_EQ(m->normals.size(), 3u);
  expect_near(m->normals[1], vec3(0, 0, -1));
  EXPECT_FALSE(mesh_set_vertex(*m, 3, vec3(0)));
  EXPECT_TRUE(mesh_set_uv(*m, 2, vec2(0.5f, 0.25f)));
  vec3 lo, hi;
  ASSERT_TRUE(mesh_bounds(*m, lo, hi));
  expect_near(hi, vec3(1, 1, 0));
  // A degenerate face still has a usable normal.
  const int32_t d = mesh_add_triangle(*m, vec3(1), vec3(1), vec3(1));
  expect_near(face_normal(*m, m->faces[size_t(d)]), vec3(0, 1, 0));
}

TEST(RmMesh, Wraps) {
  MeshPtr m = mesh_create();
  mesh_add_vertex(*m, vec3(0.5f, 0.25f, 0.0f));
  mesh_add_vertex(*m, vec3(1.0f, 0.0f, 0.0f));   // cylinder: a quarter turn from +z
  mesh_add_vertex(*m, vec3(0.0f, 2.0f, 0.0f));   // sphere: the top
  Wrap flat;
  flat.scale = vec2(2.0f, 1.0f);
  flat.offset = vec2(0.1f, 0.0f);
  mesh_apply_wrap(*m, flat);
  EXPECT_NEAR(m->uvs[0].x, 1.1f, 1e-5f);
  EXPECT_NEAR(m->uvs[0].y, -0.25f, 1e-5f);
  Wrap cyl;
  cyl.kind = WrapKind::Cylinder;
  mesh_apply_wrap(*m, cyl);
  EXPECT_NEAR(m->uvs[1].x, 0.25f, 1e-5f);
  Wrap sphere;
  sphere.kind = WrapKind::Sphere;
  mesh_apply_wrap(*m, sphere);
  EXPECT_NEAR(m->uvs[2].y, 0.0f, 1e-5f);
  Wrap chrome;
  chrome.kind = WrapKind::Chrome;
  mesh_apply_wrap(*m, chrome);
  EXPECT_TRUE(m->chrome);
}

TEST(RmTexture, ChannelMasksAndImpossibleSizes) {
  const uint32_t texels[2] = {0x00ff8000, 0x000000ff};
  TexturePtr t = texture_create_32(texels, 2, 1, ChannelMasks{});
  ASSERT_TRUE(t);
  EXPECT_EQ(t->rgba[0], 255);
  EXPECT_EQ(t->rgba[1], 128);
  EXPECT_EQ(t->rgba[3], 255);  // no alpha written in the image: opaque
  EXPECT_EQ(t->rgba[6], 255);
  ChannelMasks m565{0xf800, 0x07e0, 0x001f, 0};
  const uint32_t white = 0xffff;
  t = texture_create_32(&white, 1, 1, m565);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->rgba[0], 255);
  EXPECT_EQ(t->rgba[1], 255);
  const uint8_t rgb[3] = {1, 2, 3};
  EXPECT_FALSE(texture_create_rgb(rgb, 0, 1));
  EXPECT_FALSE(texture_create_rgb(rgb, 1, -5));
  EXPECT_FALSE(texture_create_rgb(rgb, kMaxTextureSide + 1, 1));
  EXPECT_FALSE(texture_create_rgb(nullptr, 1, 1));
}

struct ViewFixture : ::testing::Test {
  FramePtr scene = frame_create(nullptr);
  FramePtr camera = frame_create(scene.get());
  Viewport v;
  void SetUp() override {
    v.camera = camera;
    viewport_set_rect(v, 0, 0, 640, 480);
    ASSERT_TRUE(viewport_set_back(v, 100.0f));
    ASSERT_TRUE(viewport_set_front(v, 1.0f));
    ASSERT_TRUE(viewport_set_field(v, 0.5f));
  }
};

TEST_F(ViewFixture, WorldToScreenAndBack) {
  // A point straight ahead lands in the centre.
  vec4 s = viewport_transform(v, vec3(0, 0, 10));
  EXPECT_NEAR(s.x, 320.0f, 1e-3f);
  EXPECT_NEAR(s.y, 240.0f, 1e-3f);
  EXPECT_NEAR(s.w, 10.0f, 1e-4f);
  // The field is the half height at the front plane: (0, 0.5, 1) is the top edge; x grows right.
  s = viewport_transform(v, vec3(0, 0.5f, 1));
  EXPECT_NEAR(s.y, 0.0f, 1e-2f);
  EXPECT_NEAR(s.z, 0.0f, 1e-4f);
  s = viewport_transform(v, vec3(1, 0, 10));
  EXPECT_GT(s.x, 320.0f);
  // Screen back to world, at any depth, and through a moved camera.
  frame_set_position(*camera, scene.get(), vec3(3, 1, -2));
  frame_set_orientation(*camera, scene.get(), vec3(1, 0, 1), vec3(0, 1, 0));
  const vec3 p(7, 2, 4);
  s = viewport_transform(v, p);
  expect_near(viewport_inverse_transform(v, vec3(s.x, s.y, s.z)), p, 2e-3f);
  // Invalid planes are refused.
  EXPECT_FALSE(viewport_set_front(v, 0.0f));
  EXPECT_FALSE(viewport_set_front(v, 500.0f));
  EXPECT_FALSE(viewport_set_field(v, -1.0f));
  EXPECT_FALSE(viewport_set_back(v, std::nanf("")));
}

TEST_F(ViewFixture, PickFindsNearestPickableFrame) {
  auto wall = [&](float z) {
    FramePtr f = frame_create(scene.get());
    MeshPtr m = mesh_create();
    mesh_add_triangle(*m, vec3(-5, -5, 0), vec3(-5, 5, 0), vec3(5, -5, 0));
    mesh_add_triangle(*m, vec3(5, -5, 0), vec3(-5, 5, 0), vec3(5, 5, 0));
    frame_add_visual(*f, m);
    frame_set_position(*f, scene.get(), vec3(0, 0, z));
    return f;
  };
  FramePtr near_wall = wall(5.0f), far_wall = wall(9.0f);
  auto hits = viewport_pick(v, *scene, 320.0f, 240.0f);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].frame, near_wall.get());
  expect_near(hits[0].position, vec3(0, 0, 5));
  frame_set_traversal(*near_wall, kTraverseRender);  // no longer pickable
  hits = viewport_pick(v, *scene, 320.0f, 240.0f);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].frame, far_wall.get());
  // A ray in a frame's own coordinates: the hit is reported in that frame too.
  hits = frame_ray_pick(*far_wall, far_wall.get(), vec3(1, 1, -3), vec3(0, 0, 1));
  ASSERT_EQ(hits.size(), 1u);
  expect_near(hits[0].position, vec3(1, 1, 0));
  EXPECT_NEAR(hits[0].distance, 3.0f, 1e-4f);
  EXPECT_TRUE(frame_ray_pick(*scene, nullptr, vec3(0), vec3(0)).empty());
  // A clipped copy is hit only on the side of its planes that is drawn.
  FramePtr clipped_frame = frame_create(scene.get());
  ClippedPtr clipped = clipped_create(std::get<MeshPtr>(far_wall->visuals[0]));
  clipped_add_plane(*clipped, vec3(0), vec3(1, 0, 0));
  frame_add_visual(*clipped_frame, clipped);
  EXPECT_EQ(frame_ray_pick(*clipped_frame, nullptr, vec3(2, 0, -1), vec3(0, 0, 1)).size(), 1u);
  EXPECT_TRUE(frame_ray_pick(*clipped_frame, nullptr, vec3(-2, 0, -1), vec3(0, 0, 1)).empty());
}

TEST(RmAnimation, LinearSplineClosedAndScaleRotation) {
  FramePtr f = frame_create(nullptr);
  AnimationPtr a = animation_create();
  animation_set_frame(*a, f);
  animation_set_options(*a, kAnimLinear | kAnimPosition);  // open
  animation_add_position_key(*a, 10.0f, vec3(10, 0, 0));
  animation_add_position_key(*a, 0.0f, vec3(0, 0, 0));    // keys are kept in time order
  animation_add_position_key(*a, 20.0f, vec3(10, 10, 0));
  animation_set_time(*a, 5.0f);
  expect_near(f->position, vec3(5, 0, 0));
  animation_set_time(*a, 30.0f);  // open: stays at the end
  expect_near(f->position, vec3(10, 10, 0));
  animation_set_options(*a, kAnimLinear | kAnimPosition | kAnimClosed);
  animation_set_time(*a, 25.0f);  // closed: wraps to time 5
  expect_near(f->position, vec3(5, 0, 0));
  // A spline passes through its keys.
  animation_set_options(*a, kAnimPosition);
  animation_set_time(*a, 10.0f);
  expect_near(f->position, vec3(10, 0, 0));
  animation_delete_key(*a, 10.0f);
  EXPECT_EQ(a->positions.size(), 2u);

  // Scale and rotation set the basis and keep the position.
  FramePtr g = frame_create(nullptr);
  g->position = vec3(1, 2, 3);
  AnimationPtr s = animation_create();
  animation_set_options(*s, kAnimScaleAndRotation);
  animation_add_scale_key(*s, 0.0f, vec3(2, 3, 4));
  animation_add_rotation_key(*s, 0.0f, glm::angleAxis(glm::half_pi<float>(), vec3(0, 1, 0)));
  animation_set_frame(*s, g);
  animation_set_time(*s, 0.0f);
  expect_near(g->position, vec3(1, 2, 3));
  expect_near(g->basis * vec3(1, 0, 0), vec3(0, 0, -2));
  expect_near(g->basis * vec3(0, 1, 0), vec3(0, 3, 0));
  animation_delete_key(*s, 0.0f);
  EXPECT_TRUE(s->scales.empty() && s->rotations.empty());
  animation_set_time(*s, 0.0f);  // no keys left: the frame stays as it is
  expect_near(g->basis * vec3(0, 1, 0), vec3(0, 3, 0));
}
