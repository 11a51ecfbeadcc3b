// korva-go's project commands: a project made, edited and listed from the command line, the
// edits saved, and bad commands refused with a usage line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "front_end.h"
#include "mkdata.h"

namespace korva::go {
namespace {

namespace fs = std::filesystem;

struct Ran {
  int32_t status;
  std::string out, err;
};

Ran go(const std::string& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"--dir", dir});
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  Ran r{front_end_main(args, "", out, err), "", ""};
  for (auto [f, s] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
    std::rewind(f);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s->append(buf, n);
    std::fclose(f);
  }
  return r;
}

TEST(ProjectCommands, MakeEditListMoveAndRemove) {
  const fs::path dir = fs::temp_directory_path() / ("korva-go-edit-" + std::to_string(getpid()));
  fs::remove_all(dir);
  mkdata::InstallOptions options;
  options.report = [](const std::string&) {};
  ASSERT_TRUE(mkdata::install(dir.string(), options).error.empty());
  const std::string d = dir.string();

  const struct {
    std::vector<std::string> args;
    int32_t status;
    const char* says;  // on stdout when it worked, on stderr when not
  } steps[] = {
      {{"new", "game"}, 0, "made " },
      {{"new", "game"}, 1, "exists already"},
      {{"add", "game", "visual", "Floor"}, 0, "added element 1"},
      {{"add", "game", "visual", "Player"}, 0, "added element 2"},
      {{"add", "game", "counter", "Score"}, 0, "added element 3"},
      {{"set", "game", "Player", "y", "0.5"}, 0, "element 2: y is 0.500"},
      {{"set", "game", "Player", "brain", "brains/spin_.brn"}, 0, "brain is brains/spin_.brn"},
      {{"set", "game", "0", "params", "1/1/2/1020"}, 0, "params is 1/1/2/1020"},
      {{"move", "game", "Player", "0"}, 0, "moved element 2 to 0"},
      {{"remove", "game", "Floor"}, 0, "removed element 2"},
      {{"set", "game", "Score", "x", "abc"}, 1, "is not a number"},
      {{"set", "game", "Nobody", "x", "1"}, 1, "no element named 'Nobody'"},
      {{"add", "game", "dragon"}, 1, "unknown kind 'dragon'"},
      {{"move", "game", "0", "9"}, 1, "the position must be 0 to 2"},
      {{"set", "game", "0", "x"}, 2, "usage: korva-go set PROJECT ELEMENT FIELD VALUE"},
      {{"list", "nothere"}, 1, "does not exist"},
      {{"duplicate", "game", "Score"}, 0, "element 3 is a copy of element 2"},
      {{"collide", "game", "Player", "Score copy", "4"}, 0, "elements 0 and 3 collide with code 4"},
      {{"collide", "game", "Player", "Player", "4"}, 1, "does not collide with itself"},
      {{"collide", "game", "0", "1", "12"}, 1, "0 (never) to 11"},
      {{"setting", "game", "shared", "5,20(3)"}, 0, "setting shared is 5,20(3)"},
      {{"setting", "game", "shared"}, 0, "5,20(3)"},
      {{"setting", "game", "shared", "five"}, 1, "numbers separated by commas"},
      {{"setting", "game", "fog"}, 1, "unknown setting 'fog'"},
      {{"setting", "game", "background", "images/jeep001_.pcx"}, 0, "background is images/jeep001_.pcx"},
      {{"remove", "game", "Score copy"}, 0, "removed element 3"},
      {{"levels", "mylist", "game"}, 0, "multilev/mylist.mlv with 1 level"},
      {{"levels", "my list", "game"}, 1, "a level list name is letters"},
      {{"levels", "mylist", "nothere"}, 1, "does not exist"},
      {{"levels", "mylist"}, 2, "usage: korva-go levels LIST PROJECT"},
  };
  for (const auto& s : steps) {
    const Ran r = go(d, s.args);
    EXPECT_EQ(r.status, s.status) << s.args[0] << "\n" << r.out << r.err;
    EXPECT_NE((s.status ? r.err : r.out).find(s.says), std::string::npos) << s.args[0] << ": " << r.out << r.err;
  }
  const Ran list = go(d, {"list", "game"});
  ASSERT_EQ(list.status, 0) << list.err;
  // Each element runs its own copy of its brain, under a name of the command's own.
  const std::string listed = std::regex_replace(list.out, std::regex("brains/[0-9A-F]{8}\\.bra"), "brains/OWN.bra");
  EXPECT_EQ(listed,
            "#\tname\tkind\tvisual\tsound\tbrain\tactive\n"
            "0\tPlayer\tvisual\tvisuals/default_.v3d\tsounds/null_.wav\tbrains/OWN.bra\tyes\n"
            "1\tCamera\tcamera\tcameras/default_.03d\tsounds/null_.wav\tbrains/OWN.bra\tyes\n"
            "2\tScore\tcounter\tcounters/default_.pcx\tsounds/null_.wav\tbrains/OWN.bra\tyes\n");
  // The command's private brain files went when it ended; the shared examples stay.
  for (const auto& e : fs::directory_iterator(dir / "brains"))
    EXPECT_EQ(e.path().extension(), ".brn") << e.path();
  EXPECT_EQ(frontend::file_summary(d + "/brains/spin_.brn").empty(), false);
  // The camera named the player (2), which moved to 0 and stays named.
  frontend::Project p(d);
  ASSERT_TRUE(p.open(d + "/projects/game/game.prj").ok);
  EXPECT_EQ(p.params(1), std::vector<std::string>{"1/0/1020"});
  EXPECT_EQ(p.collision(0, 2), 0);  // the copy's pair went with it
  EXPECT_EQ(p.setting("shared"), "5,20(3)");
  EXPECT_EQ(p.setting("background"), "images/jeep001_.pcx");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva::go
