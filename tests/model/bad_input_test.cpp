// Untrusted project and element files: too many records, records longer than a slot, missing
// count lines, brain markers out of order or missing, truncations and random bytes.
#include <random>

#include "model_fixture.h"

namespace korva::test {

namespace {

std::string lines(std::vector<std::string> ls) {
  std::string out;
  for (auto& l : ls) out += l + "\r\n";
  return out;
}

std::string rec(const std::string& name, const std::string& type = "1") {
  return make_record({{1, name}, {4, "-"}, {36, type}});
}

}  // namespace

class ModelBadInput : public ModelTest {
 protected:
  std::string prj() { return dir + "projects/myprj/bad.prj"; }
  std::string brain_of(int32_t i) { return read(field(i, fld::kBrain)); }

  // Whatever was loaded is a consistent table.
  void expect_consistent_table() {
    ASSERT_GE(m->last_index, -1);
    ASSERT_LE(m->last_index, 255);
    for (int32_t i = 0; i <= m->last_index; ++i) {
      ASSERT_GE(element_record(*c, i).len, 0);
      ASSERT_LE(element_record(*c, i).len, kStrCapacity);
    }
    ASSERT_EQ(str_stack_free(*c), stack_free);  // every temporary was given back
  }
};

TEST_F(ModelBadInput, MoreThan256RecordsStopAt256AndSaySo) {
  std::vector<std::string> ls = {";many", "300"};
  for (int32_t i = 0; i < 300; ++i) ls.push_back(rec("E" + std::to_string(i)));
  for (int32_t i = 0; i < 300; ++i) {
    ls.push_back("@" + std::to_string(i));
    ls.push_back("brain " + std::to_string(i));
  }
  write(prj(), lines(ls));
  EXPECT_EQ(load_project(*c, *m, prj()), 256);
  EXPECT_EQ(element_name(*c, 255).view(), "E255");
  EXPECT_EQ(brain_of(255), "brain 255\r\n");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("256"), std::string::npos);

  // A group into a nearly full table loads what fits.
  messages.clear();
  m->last_index = 253;
  write(dir + "g.ele", lines({"5", rec("A"), rec("B"), rec("C"), rec("D"), "@0", "a", "@1", "b"}));
  EXPECT_EQ(load_element_group(*c, *m, dir + "g.ele", 0), 2);
  EXPECT_EQ(element_name(*c, 0).view(), "A");
  EXPECT_EQ(brain_of(1), "b\r\n");
  EXPECT_EQ(messages.size(), 1u);
  expect_consistent_table();
}

TEST_F(ModelBadInput, OverlongRecordsAreCutAndTheRestStillLoads) {
  std::string longrec = make_record({{1, "Long"}, {4, "-"}, {36, "3"}, {45, std::string(5000, 'y')}});
  std::string late_type = std::string(3000, 'z') + make_record({{4, "-"}, {36, "7"}});
  write(prj(), lines({"3", longrec, late_type, rec("After"), "||", "@0", "zero", "@1", "one",
                      "@2", "two"}));
  EXPECT_EQ(load_project(*c, *m, prj()), 3);
  EXPECT_EQ(element_name(*c, 0).view(), "Long");
  EXPECT_EQ(field(0, 36), "3");
  EXPECT_EQ(element_record(*c, 0).len, kStrCapacity);
  EXPECT_EQ(element_name(*c, 2).view(), "After");
  EXPECT_EQ(brain_of(0), "zero\r\n");
  EXPECT_EQ(brain_of(2), "two\r\n");
  EXPECT_EQ(messages.size(), 1u);

  // Paths that would not fit once the base folder is put in keep their "./" form.
  std::string many_paths = make_record({{1, "P"}, {4, "-"}, {36, "1"}, {41, ""}});
  while (many_paths.size() < 1900) many_paths += "|./x";
  write(prj(), lines({"1", many_paths}));
  load_project(*c, *m, prj());
  EXPECT_EQ(field(0, 42), "./x");
  expect_consistent_table();
}

TEST_F(ModelBadInput, MissingCountLineAndMarkersOutOfOrderOrMissing) {
  write(prj(), lines({";no count", rec("A"), rec("B"), rec("C"), rec("D"), "|1|",
                      "@2", "two", "@x", "not a marker", "@0", "zero", "@0", "second zero",
                      "@9", "nine"}));
  EXPECT_EQ(load_project(*c, *m, prj()), 4);
  EXPECT_EQ(element_name(*c, 0).view(), "A");
  EXPECT_EQ(brain_of(0), "zero\r\n");  // the first "@0" counts
  EXPECT_EQ(brain_of(1), "");          // no "@1"
  EXPECT_EQ(brain_of(2), "two\r\n");   // ends at the next line beginning with "@"
  EXPECT_EQ(brain_of(3), "");
  EXPECT_EQ(m->description.view(), "no count");

  // Files with bare line feeds, an empty file and a file of comments only.
  write(prj(), "1\n" + rec("Unix") + "\n||\n@0\nline\n");
  EXPECT_EQ(load_project(*c, *m, prj()), 1);
  EXPECT_EQ(element_name(*c, 0).view(), "Unix");
  EXPECT_EQ(brain_of(0), "line\n");
  for (const char* text : {"", ";only\r\n;comments", "\r\n\r\n"}) {
    write(prj(), text);
    EXPECT_EQ(load_project(*c, *m, prj()), 0) << text;
    expect_consistent_table();
  }
}

TEST_F(ModelBadInput, TruncatedFilesLoadTheirCompletePart) {
  std::string full = lines({";desc", "3", rec("A"), rec("B"), rec("C"), "./bg_.bmp|2|x", "@0",
                            "alpha", "@1", "beta", "@2", "gamma"});
  for (size_t cut = 0; cut <= full.size(); cut += 11) {
    write(prj(), full.substr(0, cut));
    load_project(*c, *m, prj());
    expect_consistent_table();
    for (int32_t i = 0; i <= m->last_index; ++i) {
      EXPECT_EQ(element_name(*c, i).view().substr(0, 1), std::string(1, char('A' + i)));
      EXPECT_EQ(std::string("alpha\r\nbeta\r\ngamma\r\n").find(brain_of(i)) != std::string::npos,
                true);
    }
  }
}

TEST_F(ModelBadInput, RandomBytesNeverCrash) {
  std::mt19937 rng(5);
  const std::string alphabet = "||||||||/@;.\\\r\n0123456789abc-&x";
  for (int32_t round = 0; round < 150; ++round) {
    std::string bytes(rng() % 6000, '\0');
    bool binary = round % 3 == 0;
    for (char& ch : bytes)
      ch = binary ? char(rng()) : alphabet[rng() % alphabet.size()];
    write(prj(), bytes);
    write(dir + "projects/myprj/bad.col", bytes);
    int32_t n = round % 2 ? load_project(*c, *m, prj())
                          : load_element_group(*c, *m, prj(), int32_t(rng() % 300) - 20);
    EXPECT_GE(n, 0);
    expect_consistent_table();
    if (m->last_index > 200) m->last_index = -1;
    messages.clear();
  }
}

}  // namespace korva::test
