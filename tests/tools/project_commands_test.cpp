// korva-go's project commands: a project made, edited and listed from the command line, the
// edits saved, and bad commands refused with a usage line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

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
  };
  for (const auto& s : steps) {
    const Ran r = go(d, s.args);
    EXPECT_EQ(r.status, s.status) << s.args[0] << "\n" << r.out << r.err;
    EXPECT_NE((s.status ? r.err : r.out).find(s.says), std::string::npos) << s.args[0] << ": " << r.out << r.err;
  }
  const Ran list = go(d, {"list", "game"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out,
            "#\tname\tkind\tvisual\tsound\tbrain\tactive\n"
            "0\tPlayer\tvisual\tvisuals/default_.v3d\tsounds/null_.wav\tbrains/00000001.bra\tyes\n"
            "1\tCamera\tcamera\tcameras/default_.03d\tsounds/null_.wav\tbrains/00000002.bra\tyes\n"
            "2\tScore\tcounter\tcounters/default_.pcx\tsounds/null_.wav\tbrains/00000003.bra\tyes\n");
  // The camera named the player (2), which moved to 0 and stays named.
  frontend::Project p(d);
  ASSERT_TRUE(p.open(d + "/projects/game/game.prj").ok);
  EXPECT_EQ(p.params(1), std::vector<std::string>{"1/0/1020"});
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva::go
