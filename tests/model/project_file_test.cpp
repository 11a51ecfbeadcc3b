// Project and element group files: reading, saving, the "@n" brain sections, private brain
// files, the new-project default and the ".col" companion.
#include "model_fixture.h"

namespace korva::test {

namespace {

std::string crlf(std::vector<std::string> lines, bool last_newline = true) {
  std::string out;
  for (size_t k = 0; k < lines.size(); ++k)
    out += lines[k] + (k + 1 < lines.size() || last_newline ? "\r\n" : "");
  return out;
}

const std::string kCarRecord = make_record(
    {{1, "Car (red)"}, {2, ".\\visuals\\car_.v3d"}, {3, "./sounds/null_.wav"}, {4, "-"},
     {5, "1.500"}, {7, "-2"}, {33, "1"}, {35, "1/1/0/1020"}, {36, "11"}, {37, "0/0/0/0/1x1"}});
const std::string kPalRecord = make_record(
    {{1, "Pal"}, {2, "./sprites/pal_.pcx"}, {3, "./sounds/null_.wav"}, {4, "-"}, {5, "20"},
     {36, "5"}, {37, "10/10/50/50"}});
const std::string kCameraRecord = std::string("Camera|./") + kDefaultCameraTail;

// A project as a user's installation would hold it: two comment lines, a count, three
// records, the settings line and three brain sections (the second empty, the last without a
// final line end).
std::string sample_project() {
  return crlf({"; An old comment", ";Two cars and a camera", "3", kCameraRecord, kCarRecord,
               kPalRecord, "./bckgrnds/sky_.bmp|4|1,2(3)", "@0", "; camera brain",
               "if 1 then 2", "@1", "@2", "move 1", "last line"},
              false);
}

int32_t le_word(const std::string& bytes, size_t at) {
  uint32_t u = 0;
  for (int k = 0; k < 4; ++k) u |= uint32_t(uint8_t(bytes[at + k])) << (8 * k);
  return int32_t(u);
}

void put_le(std::string& bytes, size_t at, int32_t v) {
  for (int k = 0; k < 4; ++k) bytes[at + k] = char(uint32_t(v) >> (8 * k));
}

}  // namespace

class ModelProjectFile : public ModelTest {
 protected:
  std::string prj() { return dir + "projects/myprj/game.prj"; }
  std::string brain_of(int32_t i) { return read(field(i, fld::kBrain)); }
};

TEST_F(ModelProjectFile, LoadsRecordsDescriptionSettingsAndBrains) {
  write(prj(), sample_project());
  m->project.fog_start = 1;
  m->project.clip_distance = 77;
  EXPECT_EQ(load_project(*c, *m, prj()), 3);

  EXPECT_EQ(m->last_index, 2);
  EXPECT_EQ(m->description.view(), "Two cars and a camera");
  EXPECT_EQ(field(0, 2), dir + "cameras/default_.03d");
  EXPECT_EQ(field(1, 2), dir + "visuals/car_.v3d");  // "\" and "./" both replaced
  EXPECT_EQ(field(1, 1), "Car (red)");
  EXPECT_EQ(field(1, 35), "1/1/0/1020");
  EXPECT_EQ(field(2, 36), "5");
  EXPECT_EQ(m->project.background.view(), dir + "bckgrnds/sky_.bmp");
  EXPECT_EQ(m->project.repetitions, 4);
  EXPECT_EQ(m->project.shared_variables.view(), "1,2(3)");
  EXPECT_EQ(m->project.fog_start, 10240);
  EXPECT_EQ(m->project.fog_end, 15360);
  EXPECT_EQ(m->project.fog_colour, 0xFF000000u);
  EXPECT_EQ(m->project.clip_distance, 30);  // no companion: the defaults

  for (int32_t i = 0; i < 3; ++i)
    EXPECT_EQ(field(i, fld::kBrain), dir + "brains/0000000" + std::to_string(i + 1) + ".bra");
  EXPECT_EQ(brain_of(0), "; camera brain\r\nif 1 then 2\r\n");
  EXPECT_EQ(brain_of(1), "");
  EXPECT_EQ(brain_of(2), "move 1\r\nlast line");
  EXPECT_EQ(statuses, (std::vector<std::string>{"Loading data, please wait...", ""}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(ModelProjectFile, SaveWritesTheFormatAndReloadsUnchanged) {
  write(prj(), sample_project());
  load_project(*c, *m, prj());
  std::vector<std::string> before;
  for (int32_t i = 0; i < 3; ++i) before.push_back(record(i));
  m->project.repetitions = 8;

  std::string copy = dir + "projects/myprj/copy.prj";
  ASSERT_TRUE(save_project(*c, *m, copy));
  std::string relative_car = kCarRecord;
  relative_car.replace(relative_car.find(".\\visuals\\car_.v3d"), 18, "./visuals/car_.v3d");
  EXPECT_EQ(read(copy), crlf({";Two cars and a camera", "3", kCameraRecord, relative_car,
                              kPalRecord, "./bckgrnds/sky_.bmp|8|1,2(3)", "@0",
                              "; camera brain", "if 1 then 2", "@1", "@2", "move 1",
                              "last line"}));

  ASSERT_EQ(load_project(*c, *m, copy), 3);
  auto without_brain = [&](const std::string& rec) {
    str_set(c->str.operand, "");
    return std::string(field_set(*c, rec, 4, '|').view());
  };
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(without_brain(record(i)), without_brain(before[i]));
    std::string old_brain(field_get(*c, before[i], 4, '|').view());
    EXPECT_NE(field(i, 4), old_brain);
  }
  EXPECT_EQ(brain_of(0), "; camera brain\r\nif 1 then 2\r\n");
  EXPECT_EQ(brain_of(2), "move 1\r\nlast line\r\n");
  EXPECT_EQ(m->project.repetitions, 8);
  EXPECT_EQ(m->description.view(), "Two cars and a camera");
}

// Files from every system: CR-only and LF-only line ends read like CR LF.
TEST_F(ModelProjectFile, EveryKindOfLineEndReadsTheSameProject) {
  const std::string crlf_text = sample_project();
  for (const char* end : {"\r", "\n"}) {
    std::string text;
    for (size_t i = 0; i < crlf_text.size(); ++i) {
      if (crlf_text.compare(i, 2, "\r\n") == 0) {
        text += end;
        ++i;
      } else {
        text += crlf_text[i];
      }
    }
    write(prj(), text);
    EXPECT_EQ(load_project(*c, *m, prj()), 3) << int(end[0]);
    EXPECT_EQ(m->description.view(), "Two cars and a camera");
    EXPECT_EQ(field(1, 1), "Car (red)");
    EXPECT_EQ(m->project.repetitions, 4);
    EXPECT_TRUE(m->load_problem.empty()) << m->load_problem;
    EXPECT_EQ(brain_of(2), std::string("move 1") + end + "last line");
  }
}

// A project as large as a save can write loads whole and saves back whole; a larger one is
// marked so that it is not saved over.
TEST_F(ModelProjectFile, LargeProjectsSurviveLoadAndSave) {
  std::vector<std::string> lines = {";big", "1", kCarRecord, "./bckgrnds/sky_.bmp|1|", "@0"};
  std::string filler;
  for (int k = 0; filler.size() < 2900000; ++k) filler += "x = " + std::to_string(k) + "\r\n";
  write(prj(), crlf(lines) + filler);
  ASSERT_EQ(load_project(*c, *m, prj()), 1);
  EXPECT_TRUE(m->load_problem.empty()) << m->load_problem;
  EXPECT_EQ(brain_of(0), filler);
  ASSERT_TRUE(save_project(*c, *m, prj()));
  ASSERT_EQ(load_project(*c, *m, prj()), 1);
  EXPECT_EQ(brain_of(0), filler);

  write(prj(), crlf(lines) + filler + filler);
  load_project(*c, *m, prj());
  EXPECT_NE(m->load_problem.find("larger than a project can be"), std::string::npos);
}

TEST_F(ModelProjectFile, NewProjectGetsTheDefaultCamera) {
  uint8_t* table = c->pool(Pool::ProjectTable);
  std::memset(table, 0x5A, 65536);
  str_set(m->description, "kept");
  EXPECT_EQ(load_project(*c, *m, dir + "projects/none/new.prj"), 1);
  EXPECT_EQ(record(0),
            "Camera|" + dir +
                "cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|0|"
                "0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|1/1/2/1020|0|"
                "160/120/479/359/0/20&40/7|0/1|4096/2/50/0|14815378");
  EXPECT_EQ(m->last_index, 0);
  EXPECT_EQ(m->current, 0);
  EXPECT_EQ(m->description.view(), "kept");
  for (int32_t b = 0; b < 65536; ++b) ASSERT_EQ(table[b], 0) << b;
}

TEST_F(ModelProjectFile, SharedBrnBrainsBecomeDistinctPrivateCopies) {
  write(dir + "brains/x.brn", "var a\r\na = 1\r\n");
  std::string rec = make_record({{1, "A"}, {4, "./brains/x.brn"}, {36, "1"}});
  write(prj(), crlf({";d", "2", rec, rec, "||"}));
  load_project(*c, *m, prj());
  ASSERT_EQ(m->last_index, 1);
  EXPECT_NE(field(0, 4), field(1, 4));
  EXPECT_EQ(brain_of(0), "var a\r\na = 1\r\n");
  EXPECT_EQ(brain_of(1), "var a\r\na = 1\r\n");

  // In the table: every ".brn" (in any case) gets its own copy; other brains stay.
  element_field_set(*c, 0, fld::kBrain, dir + "brains/x.brn");
  element_field_set(*c, 1, fld::kBrain, dir + "brains/X.BRN");
  add(make_record({{4, dir + "brains/mine.bra"}}));
  m->brain_counter = 0xABCDEF0;
  copy_brains_to_private(*c, *m);
  EXPECT_EQ(field(0, 4), dir + "brains/0ABCDEF0.bra");
  EXPECT_EQ(field(1, 4), dir + "brains/0ABCDEF1.bra");
  EXPECT_EQ(field(2, 4), dir + "brains/mine.bra");
  EXPECT_EQ(brain_of(0), "var a\r\na = 1\r\n");
  EXPECT_EQ(read(dir + "brains/x.brn"), "var a\r\na = 1\r\n");

  m->standalone = true;
  EXPECT_EQ(new_brain_file_name(*c, *m).view(), dir + "0ABCDEF2.bra");
}

TEST_F(ModelProjectFile, RecordsUpToTheEndOfFileGetEmptyBrains) {
  write(prj(), crlf({"2", kCarRecord, kPalRecord}, false));
  EXPECT_EQ(load_project(*c, *m, prj()), 2);
  EXPECT_EQ(m->description.view(), "");
  for (int32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(file_exists(*c, field(i, 4)), -1);
    EXPECT_EQ(brain_of(i), "");
  }
  EXPECT_EQ(m->project.background.view(), "");
  EXPECT_EQ(m->project.repetitions, 1);
}

TEST_F(ModelProjectFile, CompanionFileLayoutAndSettings) {
  write(prj(), sample_project());
  std::string col(65536, '\0');
  col[0 * 256 + 1] = 5;
  col[1 * 256 + 200] = 3;  // row of an element: kept
  col[200 * 256 + 2] = 4;  // column of an element: kept
  col[200 * 256 + 200] = 9;  // both beyond the last element: cleared on save
  put_le(col, 65036, 50);
  put_le(col, 65040, 10);
  put_le(col, 65044, 300);
  put_le(col, 65048, 20);
  put_le(col, 65052, 1234);
  put_le(col, 65056, 90);
  write(dir + "projects/myprj/game.col", col);
  load_project(*c, *m, prj());
  EXPECT_EQ(m->project.clip_distance, 50);
  EXPECT_EQ(m->project.screen_p, 10);
  EXPECT_EQ(m->project.screen_q, 300);
  EXPECT_EQ(m->project.screen_r, 20);
  EXPECT_EQ(m->project.field_of_view, 90);

  ASSERT_TRUE(save_project(*c, *m, dir + "projects/myprj/out.prj"));
  std::string saved = read(dir + "projects/myprj/out.col");
  ASSERT_EQ(saved.size(), 65536u);
  EXPECT_EQ(saved[1], 5);
  EXPECT_EQ(saved[256 + 200], 3);
  EXPECT_EQ(saved[200 * 256 + 2], 4);
  EXPECT_EQ(saved[200 * 256 + 200], 0);
  EXPECT_EQ(std::vector<int32_t>({le_word(saved, 65036), le_word(saved, 65040),
                                  le_word(saved, 65044), le_word(saved, 65048),
                                  le_word(saved, 65052), le_word(saved, 65056)}),
            std::vector<int32_t>({50, 10, 300, 20, 0, 90}));

  // Q is kept only when P lies below it.
  put_le(col, 65040, 400);
  write(dir + "projects/myprj/game.col", col);
  load_project(*c, *m, prj());
  EXPECT_EQ(m->project.screen_q, 479);

  // A short file sets only the settings it holds; a long one is read up to 65536 bytes.
  write(dir + "projects/myprj/game.col", col.substr(0, 65040));
  load_project(*c, *m, prj());
  EXPECT_EQ(m->project.clip_distance, 50);
  EXPECT_EQ(m->project.screen_p, 0);
  EXPECT_EQ(m->project.field_of_view, 100);
  write(dir + "projects/myprj/game.col", col + std::string(5000, '\x7f'));
  load_project(*c, *m, prj());
  EXPECT_EQ(m->project.field_of_view, 90);
  EXPECT_EQ(c->pool(Pool::ProjectTable)[65535], 0);

  // Without a companion the matrix keeps its previous state and the settings their defaults.
  std::filesystem::remove(dir + "projects/myprj/game.col");
  c->pool(Pool::ProjectTable)[7] = 0x42;
  load_project(*c, *m, prj());
  EXPECT_EQ(c->pool(Pool::ProjectTable)[7], 0x42);
  EXPECT_EQ(m->project.clip_distance, 30);
  EXPECT_EQ(companion_path(*c, "a/default.prj").view(), "a/default.col");
}

TEST_F(ModelProjectFile, ElementGroupsInsertAtAPositionAndSaveTheLoadRange) {
  add(make_record({{1, "Cam"}, {36, "0"}}));
  add(make_record({{1, "Follower"}, {35, "1/1/1/1020"}, {36, "1"}}));
  str_set(m->description, "project");
  std::string group = dir + "elements/myele/pair.ele";
  write(group, crlf({";A pair", "2", make_record({{1, "G0"}, {4, "-"}, {36, "1"}}),
                     make_record({{1, "G1"}, {4, "-"}, {36, "2"}}), "@0", "brain zero", "@1",
                     "brain one"}));
  EXPECT_EQ(load_element_group(*c, *m, group, 1), 2);
  EXPECT_EQ(m->last_index, 3);
  EXPECT_EQ(element_name(*c, 1).view(), "G0");
  EXPECT_EQ(element_name(*c, 2).view(), "G1");
  EXPECT_EQ(element_name(*c, 3).view(), "Follower");
  EXPECT_EQ(field(3, 35), "1/1/3/1020");  // still names the element now at index 3
  EXPECT_EQ(brain_of(1), "brain zero\r\n");
  EXPECT_EQ(brain_of(2), "brain one\r\n");
  EXPECT_EQ(m->description.view(), "project");

  m->load_first = 1;
  m->load_last = 2;
  std::string out = dir + "elements/myele/saved.ele";
  ASSERT_TRUE(save_element_group(*c, *m, out, "Saved pair"));
  EXPECT_EQ(read(out), crlf({";Saved pair", "2", make_record({{1, "G0"}, {4, "-"}, {36, "1"}}),
                             make_record({{1, "G1"}, {4, "-"}, {36, "2"}}), "@0", "brain zero",
                             "@1", "brain one"}));
  EXPECT_EQ(load_element_group(*c, *m, out, 99), 2);
  EXPECT_EQ(element_name(*c, 4).view(), "G0");
  EXPECT_EQ(brain_of(5), "brain one\r\n");
  EXPECT_EQ(load_element_group(*c, *m, dir + "missing.ele", 0), -1);
}

TEST_F(ModelProjectFile, FailedSavesAreReportedAndKeepTheOldFile) {
  write(prj(), sample_project());
  load_project(*c, *m, prj());
  EXPECT_FALSE(save_project(*c, *m, dir + "no/such/folder/x.prj"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("no/such/folder/x.prj"), std::string::npos);

  // A brain too large for the save buffer: nothing is written, the old project survives.
  std::string old = read(prj());
  write(field(1, 4), std::string(pool_bytes(Pool::FileBuffer), 'x'));
  EXPECT_FALSE(save_project(*c, *m, prj()));
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(read(prj()), old);
  EXPECT_FALSE(std::filesystem::exists(dir + "projects/myprj/game.col"));
}

TEST_F(ModelProjectFile, StandalonePlayerShowsNoStatusPanel) {
  write(prj(), sample_project());
  m->standalone = true;
  load_project(*c, *m, prj());
  EXPECT_TRUE(statuses.empty());
  EXPECT_EQ(field(0, 4), dir + "00000001.bra");
}

}  // namespace korva::test
