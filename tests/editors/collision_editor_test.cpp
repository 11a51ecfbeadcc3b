// The collision channel editor: the pair codes in the project's matrix, the map's hit test,
// the status texts, and clicks that step the codes.
#include "editors/editors.h"
#include "gui_fixture.h"
#include "model/model.h"

namespace korva::test {

// A project of a camera and three shapes, record fields 2..35 empty and field 36 the type.
inline std::unique_ptr<Model> collision_project(Core& c) {
  std::unique_ptr<Model> m = model_create();
  const std::pair<const char*, int32_t> elements[] = {
      {"Camera", kTypeCamera}, {"Jeep (red one)", kType3dShape}, {"Wall", kTypeFlatShape}, {"Score", kTypeCounter}};
  for (const auto& [name, type] : elements)
    insert_element(c, *m, std::string(name) + std::string(35, '|') + std::to_string(type), m->last_index + 1);
  return m;
}

// The screen point inside the cell of row i, column j of an unscrolled map.
inline std::string cell_point(int32_t i, int32_t j) {
  return std::to_string(kCollisionMapLeft + j * kCollisionCell + 5) + " " +
         std::to_string(kCollisionMapTop + i * kCollisionCell + 5);
}

namespace {

TEST(CollisionEditor, PairCodesLiveInTheUpperTriangle) {
  GuiFixture f;
  Core& c = *f.core;
  collision_code_set(c, 5, 2, 7);
  EXPECT_EQ(c.pool(Pool::ProjectTable)[2 * 256 + 5], 7);
  EXPECT_EQ(c.pool(Pool::ProjectTable)[5 * 256 + 2], 0);
  EXPECT_EQ(collision_code(c, 2, 5), 7);
  EXPECT_EQ(collision_code(c, 5, 2), 7);
  collision_code_set(c, 3, 3, 4);   // an element with itself
  collision_code_set(c, 0, 300, 4);  // outside the matrix
  collision_code_set(c, 0, 1, 40);   // clamped
  EXPECT_EQ(c.pool(Pool::ProjectTable)[3 * 256 + 3], 0);
  EXPECT_EQ(collision_code(c, 0, 1), 11);
  EXPECT_EQ(collision_code(c, -1, 1), 0);
}

TEST(CollisionEditor, StatusTextsAndHitTest) {
  GuiFixture f;
  Core& c = *f.core;
  collision_code_set(c, 1, 2, 3);
  EXPECT_EQ(collision_pair_status(c, 1, 1), "Collision not supported");
  EXPECT_EQ(collision_pair_status(c, 1, 3), "Collision will be ignored");
  EXPECT_EQ(collision_pair_status(c, 2, 1), "Collision code: 3");

  const struct {
    int32_t x, y, row, column, icon;
  } cases[] = {
      {kCollisionMapLeft + 2, kCollisionMapTop + 2, 0, 0, -1},
      {kCollisionMapLeft + 3 * 16 + 15, kCollisionMapTop + 16, 1, 3, -1},
      {kCollisionMapLeft + 4 * 16 + 1, kCollisionMapTop + 1, -1, -1, -1},  // beyond the 4 elements
      {kCollisionMapLeft - 10, kCollisionMapTop + 2 * 16 + 3, -1, -1, 2},   // row icon
      {kCollisionMapLeft + 16 + 3, kCollisionMapTop - 10, -1, -1, 1},       // column icon
      {2, 2, -1, -1, -1},
  };
  for (const auto& k : cases) {
    const CollisionMapCell cell = collision_map_cell(CollisionMapView{}, 4, k.x, k.y);
    EXPECT_EQ(cell.row, k.row) << k.x << "," << k.y;
    EXPECT_EQ(cell.column, k.column) << k.x << "," << k.y;
    EXPECT_EQ(cell.icon, k.icon) << k.x << "," << k.y;
  }
  // A scrolled view shows later elements in the same cells.
  const CollisionMapCell scrolled = collision_map_cell(CollisionMapView{100, 40}, 256, kCollisionMapLeft + 1,
                                                       kCollisionMapTop + 1);
  EXPECT_EQ(scrolled.row, 100);
  EXPECT_EQ(scrolled.column, 40);
}

TEST(CollisionEditor, ClicksStepTheCodesOfAPair) {
  GuiFixture f;
  auto m = collision_project(*f.core);
  collision_code_set(*f.core, 0, 3, 0);
  f.script_input("3 click " + cell_point(0, 2) +  // (0, 2): 1
                 "\n6 click " + cell_point(2, 0) + "\n9 click " + cell_point(2, 0) +  // the same pair: 3
                 "\n12 mouse " + cell_point(1, 3) + " 2\n13 mouse " + cell_point(1, 3) + " 0" +  // right: 11
                 "\n15 click " + cell_point(3, 3) +  // itself: nothing
                 "\n17 click " + std::to_string(kCollisionMapLeft - 10) + " " + std::to_string(kCollisionMapTop + 5) +
                 "\n20 key ESC\n");
  EXPECT_TRUE(collision_channel_editor(f.gui, *m));
  EXPECT_EQ(collision_code(*f.core, 0, 2), 3);
  EXPECT_EQ(collision_code(*f.core, 1, 3), 11);
  EXPECT_EQ(collision_code(*f.core, 0, 1), 0);
  EXPECT_EQ(f.core->pool(Pool::ProjectTable)[3 * 256 + 3], 0);
}

}  // namespace
}  // namespace korva::test
