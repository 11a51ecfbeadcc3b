// Element table: slots, names, type names, insertion with reference retargeting, and the brain
// parameter list of field 35.
#include "model_fixture.h"

namespace korva::test {

using ModelTable = ModelTest;

TEST_F(ModelTable, ElementIndexIsHeldInTheSlotAfterIt) {
  add("first");
  add("second");
  EXPECT_EQ(c->element_table[1]->view(), "first");
  EXPECT_EQ(c->element_table[2]->view(), "second");
  EXPECT_EQ(c->element_table[0]->view(), "");
  EXPECT_EQ(element_count(*m), 2);
}

TEST_F(ModelTable, NamesRenamesTypeNamesAndTitles) {
  struct {
    const char* field1;
    const char* name;
    const char* renamed;  // after rename to "Truck"
  } cases[] = {
      {"Car (red one)", "Car", "Truck (red one)"},
      {"  Plain  ", "Plain", "Truck"},
      {"Odd(x)(y)", "Odd", "Truck (x)(y)"},
      {"", "", "Truck"},
  };
  for (const auto& k : cases) {
    m->last_index = -1;
    add(std::string(k.field1) + "|a|b|-");
    EXPECT_EQ(element_name(*c, 0).view(), k.name) << k.field1;
    rename_element(*c, 0, "Truck");
    EXPECT_EQ(field(0, 1), k.renamed) << k.field1;
    EXPECT_EQ(field(0, 2), "a");
  }
  // A delimiter in a new name must not shift the other fields.
  rename_element(*c, 0, "A|B");
  EXPECT_EQ(field(0, 1), "AB");
  EXPECT_EQ(field(0, 4), "-");

  EXPECT_EQ(type_name(*c, 0).view(), "CAMERA-type element");
  EXPECT_EQ(type_name(*c, 5).view(), "SPRITE-type element");
  EXPECT_EQ(type_name(*c, 12).view(), "BOUNDARY-type element");
  for (int32_t t : {4, 13, 14, -1}) EXPECT_EQ(type_name(*c, t).view(), "") << t;

  EXPECT_EQ(file_title(*c, "/k/visuals/jeep_.v3d").view(), "JEEP_");
  EXPECT_EQ(file_title(*c, "a.b.pcx").view(), "A.B");
  EXPECT_EQ(file_title(*c, "noext").view(), "NOEXT");
}

TEST_F(ModelTable, InsertAtZeroRenumbersKindOneReferences) {
  add(make_record({{35, "3/1/0/20/1/1/24/1/2/28"}, {36, "0"}}));
  add(make_record({{35, "1/1/2/1020"}, {36, "1"}}));
  add(make_record({{35, "2/0/2/0/1/0/4"}, {36, "2"}}));  // kind 0 is a plain number
  m->load_first = 1;
  m->load_last = 2;
  std::vector<int32_t> shifted;
  m->shift_element_data = [&](int32_t p) { shifted.push_back(p); };

  ASSERT_TRUE(insert_element(*c, *m, make_record({{1, "New"}, {36, "5"}}), 0));
  EXPECT_EQ(m->last_index, 3);
  EXPECT_EQ(field(0, 1), "New");
  EXPECT_EQ(field(1, 35), "3/1/1/20/1/2/24/1/3/28");
  EXPECT_EQ(field(2, 35), "1/1/3/1020");
  EXPECT_EQ(field(3, 35), "2/0/2/0/1/1/4");
  EXPECT_EQ(field(3, 36), "2");
  EXPECT_EQ(m->load_first, 2);
  EXPECT_EQ(m->load_last, 3);
  EXPECT_EQ(shifted, std::vector<int32_t>{0});

  // Inserting at the end moves nothing and leaves the range alone; a position past the end
  // appends.
  ASSERT_TRUE(insert_element(*c, *m, "tail", 99));
  EXPECT_EQ(field(4, 1), "tail");
  EXPECT_EQ(field(2, 35), "1/1/3/1020");
  EXPECT_EQ(m->load_first, 2);
  EXPECT_EQ(m->load_last, 3);

  retarget_references(*c, *m, 3, 0);
  EXPECT_EQ(field(1, 35), "3/1/1/20/1/2/24/1/0/28");
  EXPECT_EQ(field(2, 35), "1/1/0/1020");

  // Duplicating an element passes its own slot, which the insert moves.
  std::string dup = record(4);
  ASSERT_TRUE(insert_element(*c, *m, element_record(*c, 4), 0));
  EXPECT_EQ(record(0), dup);
  EXPECT_EQ(record(5), dup);
}

TEST_F(ModelTable, FullTableRefusesAnInsert) {
  for (int32_t i = 0; i < kMaxElements; ++i) add("e" + std::to_string(i));
  EXPECT_FALSE(insert_element(*c, *m, "one too many", 0));
  EXPECT_EQ(m->last_index, 255);
  EXPECT_EQ(record(0), "e0");
  EXPECT_EQ(record(255), "e255");
}

TEST_F(ModelTable, ParameterListAccessAndSetters) {
  add(make_record({{35, "1/1/2/1020"}}));
  EXPECT_EQ(param_count(*c, 0), 1);
  EXPECT_EQ(param_kind(*c, 0, 0), 1);
  EXPECT_EQ(param_value(*c, 0, 0).view(), "2");
  EXPECT_EQ(param_target(*c, 0, 0), 1020);

  param_count_set(*c, 0, 2);
  param_kind_set(*c, 0, 1, 3);
  param_value_set(*c, 0, 1, "1.5");
  param_target_set(*c, 0, 1, 20);
  EXPECT_EQ(field(0, 35), "2/1/2/1020/3/1.5/20");
  param_value_set(*c, 0, 0, "a/b|c");  // separators would shift the entries
  EXPECT_EQ(field(0, 35), "2/1/abc/1020/3/1.5/20");
  EXPECT_EQ(field(0, 36), "");

  // Out-of-range entries and absurd counts stay inside the list.
  EXPECT_EQ(param_kind(*c, 0, -1), 0);
  EXPECT_EQ(param_value(*c, 0, 500).view(), "");
  param_count_set(*c, 0, 2000000000);
  EXPECT_EQ(param_count(*c, 0), kMaxParamEntries);
}

TEST_F(ModelTable, StoredParametersLandAtTheirTargets) {
  add("cam");
  add("other");
  add(make_record({{35, "11/0/-7/0/1/2/20/2/42/256/3/1.5/1020/4/90/1016/5/1/1012/6/10/1008/"
                        "7/speed/1004/2/5/1021/2/6/-800/9/1/1000"}}));
  std::string seen;
  store_brain_parameters(*c, 2, [&](std::string_view t) {
    seen = t;
    return 99;
  });
  EXPECT_EQ(seen, "speed");
  std::vector<std::pair<int32_t, int32_t>> expected = {
      {768, -7},          {788, element_handle(2)}, {256, 42},   {1020, 768000},
      {1016, 46080},      {1012, 17067},            {1008, 1024}, {1004, 99},
  };
  EXPECT_EQ(element_handle(2), 0x00100800);
  for (auto [offset, value] : expected) EXPECT_EQ(word(2, offset), value) << offset;
  // Nothing else was written: bad targets (past the record, negative) and kind 9 are skipped.
  int32_t nonzero = 0;
  for (int32_t b = 0; b < kInstanceRecordBytes; ++b) nonzero += instance(2)[b] != 0;
  int32_t expected_nonzero = 0;
  for (auto [offset, value] : expected)
    for (int32_t k = 0; k < 4; ++k) expected_nonzero += ((uint32_t(value) >> (8 * k)) & 0xFF) != 0;
  EXPECT_EQ(nonzero, expected_nonzero);
  EXPECT_EQ(word(1, 0), 0);
  EXPECT_EQ(word(3, 0), 0);
}

}  // namespace korva::test
