// Mesh keywords in a project run: brains reshape an .x model's mesh, copy its vertices into a
// block, blend key rows, test two models' parts against each other and give a shadow copy to
// a receiver; what they read back lands in their variables.
#include <gtest/gtest.h>

#include <string>

#include "run_fixture.h"

namespace korva {
namespace {

// A unit square in the plane z = 0: corners (0,0), (0,1), (1,1), (1,0).
const char kSquare[] =
    "xof 0303txt 0032\n"
    "Frame Body {\n"
    " Mesh sq { 4; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;1.0;0.0;, 1.0;0.0;0.0;;\n"
    "  2; 3;0,1,2;, 3;0,2,3;; }\n"
    "}\n";

struct MeshRun : test::RunSystem {
  MeshRun() : RunSystem("mesh_run") { add_scene_steps(pipeline); }

  // Element 0 a camera, elements 1 and 2 the square with the brains given.
  void project(const std::string& first, const std::string& second) {
    const std::string x = write("sq.x", kSquare);
    auto add = [&](const std::string& type, const std::string& asset, const std::string& text) {
      const int32_t i = ++model->last_index;
      const std::string brain = write("e" + std::to_string(i) + ".brn", text);
      str_set(element_record(*core, i),
              "E" + std::to_string(i) + "|" + asset + "|./sounds/null_.wav|" + brain +
                  "|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
                  "1|0|1|0|0|" + type + "|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
    };
    add("0", "./cameras/none.03d", "");
    add("11", x, first);
    add("11", x, second);
  }
  int32_t var(int32_t element, int32_t k) { return word(element, ir::kFirstVariable - 4 * k); }
};

// The model's mesh hangs in its root frame (Body), which the part selection reaches with an
// empty path. The first brain works on the model's mesh once; the second stands across the first square
// (a quarter turn about y, its left edge 0.5 m into it) and tests the two against each other.
TEST(MeshRun, BrainsReshapeReadAndCollideModelMeshes) {
  MeshRun r;
  r.project(
      "var n\r\nvar y\r\nvar edge\r\nvar u\r\nvar b\r\nvar got\r\nvar w\r\nvar done\r\n"
      "if done = 0\r\n"
      "done = 1\r\n"
      "n = vertices(element)\r\n"
      "vertex_pos_set(element, 1, 0, 1024000, 0)\r\n"
      "vertex_pos_set(element, n, 9, 9, 9)\r\n"
      "edge = vertex_pos(element, n, 0)\r\n"
      "y = vertex_pos(element, 1, 1)\r\n"
      "vertex_uv_set(element, 2, 2500, 0)\r\n"
      "u = vertex_u(element, 2)\r\n"
      "b = a_create(36)\r\n"
      "vertices_get(element, b, 18)\r\n"
      "got = a(b, 22)\r\n"
      "a_interpolate(b, 7, 7, 18, 1)\r\n"
      "w = a(b, 4)\r\n"
      "endif\r\n",
      "var hit\r\nvar cx\r\nvar ny\r\n"
      "position_set(element, 256000, 0, -256000)\r\n"
      "rotation_y_set(element, 46080)\r\n"
      "h_cpart1_set(-1, 0, 0, 0, 0)\r\n"
      "h_cpart2_set(-1, 0, 0, 0, 0)\r\n"
      "hit = h_poly_collision(element#-1, element, 1)\r\n"
      "cx = h_cpoint_x(0)\r\n"
      "ny = h_cnormal_y(0)\r\n");
  r.pipeline.max_frames = 3;
  run_project(r.s);
  EXPECT_TRUE(r.pipeline.unbound.empty());
  EXPECT_TRUE(r.messages.empty()) << r.messages.front();
  EXPECT_EQ(r.var(1, 0), 6);         // vertices: the importer gives each triangle its own
  EXPECT_EQ(r.var(1, 1), 1024000);   // vertex 1 moved up to y = 2
  EXPECT_EQ(r.var(1, 2), 0);         // nothing at the count
  EXPECT_EQ(r.var(1, 3), 2500);      // u of vertex 2
  EXPECT_EQ(r.var(1, 5), 1024000);   // the block took vertex 1's y (integer 18 + 4)
  EXPECT_EQ(r.var(1, 6), 1024000);   // t = k wraps to key row 1, integers 18..35
  EXPECT_EQ(r.var(2, 0), -1);
  EXPECT_EQ(r.var(2, 1), 256000);    // the contact lies on the line x = 0.5
  EXPECT_EQ(r.var(2, 2), 0);         // against a face standing upright
}

// A brain that loads a model again and again, in one step, gets -1 once the scene is at its cap;
// the run goes on.
TEST(MeshRun, XLoadGivesMinusOneAtTheScenesCap) {
  MeshRun r;
  r.scene.frames.bytes_max = 256 * 1024;
  const std::string x = (r.dir / "sq.x").string();
  r.project("var n\r\nvar h\r\nvar done\r\nif done = 0\r\ndone = 1\r\nagain:\r\n"
            "h = x_load(\"" + x + "\", 0)\r\nif h <> -1\r\nn = n + 1\r\ngoto again\r\nendif\r\nendif\r\n",
            "");
  r.pipeline.max_frames = 3;
  run_project(r.s);
  EXPECT_TRUE(r.messages.empty()) << r.messages.front();
  EXPECT_GT(r.var(1, 0), 10);    // squares loaded
  EXPECT_LT(r.var(1, 0), 1000);  // far below the frame table's 65,536 handles
  EXPECT_EQ(r.var(1, 1), -1);
  EXPECT_EQ(r.pipeline.loop_frames, 3);
}

// The first square casts its shadow along +z onto the second, 2 m behind it: the receiver's
// copy in the overlay scene (the same part of it) is cut down to the caster's outline.
TEST(MeshRun, AnAutomaticShadowFallsOnTheReceiverBehindTheCaster) {
  MeshRun r;
  r.project("var made\r\n"
            "if made = 0\r\n"
            "made = 1\r\n"
            "shadow_orientation_set(0, 0, 1)\r\n"
                  "shadow_add(element, element#1)\r\n"
            "endif\r\n",
            "position_set(element, -256000, 0, 1024000)\r\n");
  size_t copies = 0, planes = 0;
  bool shown = false, passes = false;
  run_step_add(r.pipeline, Phase::AfterBrains, "watch", [&](System&) {
    copies = r.scene.overlay_copies.size();
    if (copies == 1 && !r.scene.overlay_copies[0].copy->visuals.empty()) {
      planes = std::get<rm::ClippedPtr>(r.scene.overlay_copies[0].copy->visuals[0])->planes.size();
      shown = r.scene.overlay_copies[0].copy->traversal != 0;
      passes = r.scene.shadows;
    }
  });
  r.pipeline.max_frames = 4;
  run_project(r.s);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(copies, 1u);
  EXPECT_EQ(planes, 4u);  // the four outer edges of the square
  EXPECT_TRUE(shown);
  EXPECT_TRUE(passes);
}

}  // namespace
}  // namespace korva
