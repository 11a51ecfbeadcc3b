// The installation's state files: "data/curpaths.ini" and "korva.ini".
#include <algorithm>

#include "model_fixture.h"

namespace korva::test {

using ModelInstallState = ModelTest;

TEST_F(ModelInstallState, PathsDefaultReadAndWrite) {
  read_paths(*c, *m);
  EXPECT_EQ(m->paths[1].view(), dir + "3dshapes/default_.a3d");
  EXPECT_EQ(m->paths[pth::kProject].view(), dir + "projects/myprj/default.prj");
  EXPECT_EQ(m->paths[14].view(), "");
  EXPECT_EQ(m->paths[pth::kExeTitle].view(), "Korva 5.2");
  EXPECT_EQ(m->paths[23].view(), dir + "images/jeep003_.pcx");
  EXPECT_EQ(m->track_path.view(), dir + "tracks/default_.i3d");

  // A short file with "\" separators: the lines it has replace the defaults.
  write(dir + "data/curpaths.ini", "C:\\k\\a.a3d\r\n\r\nb/c.brn\r\n");
  read_paths(*c, *m);
  EXPECT_EQ(m->paths[1].view(), "C:/k/a.a3d");
  EXPECT_EQ(m->paths[2].view(), "");
  EXPECT_EQ(m->paths[3].view(), "b/c.brn");
  EXPECT_EQ(m->paths[4].view(), dir + "sprites/default_.pcx");

  str_set(m->paths[17], "My Game");
  ASSERT_TRUE(write_paths(*c, *m));
  std::string text = read(dir + "data/curpaths.ini");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kPathLines);
  EXPECT_EQ(text.substr(0, 28), "C:/k/a.a3d\r\n\r\nb/c.brn\r\n" + dir.substr(0, 5));
  auto before = std::string(m->paths[23].view());
  str_set(m->paths[17], "");
  read_paths(*c, *m);
  EXPECT_EQ(m->paths[17].view(), "My Game");
  EXPECT_EQ(m->paths[23].view(), before);
}

TEST_F(ModelInstallState, EditorStateDefaultsRoundTripAndBadValues) {
  m->state[1] = 7;
  m->state[2] = 9;
  m->state[16] = 5;
  read_editor_state(*c, *m);  // no file: lines 1..3 reset, the others keep their values
  EXPECT_EQ(m->state[1], 0);
  EXPECT_EQ(m->state[2], 512);
  EXPECT_EQ(m->state[3], 0);
  EXPECT_EQ(m->state[16], 5);
  EXPECT_EQ(m->paths[1].view(), dir + "3dshapes/default_.a3d");

  Model fresh;
  EXPECT_EQ(fresh.state[12], 2);
  EXPECT_EQ(fresh.state[16], 2);
  EXPECT_EQ(fresh.state[2], 512);

  for (int32_t n = 1; n <= kStateLines; ++n) m->state[n] = n * 10 - 100;
  str_set(m->state_text, "kept text");
  str_set(m->description, "My project");
  ASSERT_TRUE(write_editor_state(*c, *m));
  std::string text = read(dir + "data/korva.ini");
  EXPECT_EQ(text.substr(0, 13), "-90\r\n-80\r\n-70");
  EXPECT_NE(text.find("\r\n70\r\nkept text\r\nMy project\r\n100\r\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir + "data/curpaths.ini"));

  Model other;
  read_editor_state(*c, other);
  for (int32_t n = 1; n <= kStateLines; ++n)
    if (n != 18 && n != 19) {
      EXPECT_EQ(other.state[n], n * 10 - 100) << n;
    }
  EXPECT_EQ(other.state_text.view(), "kept text");
  EXPECT_EQ(other.description.view(), "My project");

  // Values that are not numbers, and lines the file does not have, take the defaults.
  write(dir + "data/korva.ini", "1\r\nabc\r\n 3 \r\n4x\r\n");
  Model bad;
  bad.state[12] = 77;
  read_editor_state(*c, bad);
  EXPECT_EQ(bad.state[1], 1);
  EXPECT_EQ(bad.state[2], 512);
  EXPECT_EQ(bad.state[3], 3);
  EXPECT_EQ(bad.state[4], 0);
  EXPECT_EQ(bad.state[12], 2);
  EXPECT_EQ(bad.description.view(), "");
}

TEST_F(ModelInstallState, FailedStateWriteIsReported) {
  std::filesystem::remove_all(dir + "data");
  EXPECT_FALSE(write_editor_state(*c, *m));
  EXPECT_EQ(messages.size(), 2u);  // "korva.ini" and "data/curpaths.ini"
}

}  // namespace korva::test
