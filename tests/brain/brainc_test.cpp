// brainc prints the code bytes, a disassembly or the engine's error text of a brain file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "brain/keyword_reference.h"
#include "brain_test_util.h"

namespace korva::test {
namespace {

struct ToolRun {
  std::string out;
  int status = -1;
};

ToolRun brainc(const std::string& args) {
  ToolRun r;
  std::string cmd = std::string(KORVA_BINARY_DIR) + "/brainc " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(Brainc, PrintsHexAsmOrTheErrorText) {
  BrainSystem s;
  std::string good = s.write("good.brn", "var x=0\nx=abs(-7) editor\n");
  std::string bad = s.write("bad.brn", "var x=0\nx=(1)\n");

  ToolRun hex = brainc("--hex " + good);
  EXPECT_EQ(hex.status, 0);
  EXPECT_EQ(hex.out, "B8 F9 FF FF FF E8 16 00 E1 FF 3E A3 00 00 14 00 3E 89 87 FC 03 00 00 C3\n");

  ToolRun quiet = brainc(good);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");

  ToolRun assembly = brainc("--asm " + good);
  EXPECT_EQ(assembly.status, 0);
  EXPECT_NE(assembly.out.find("00200005  E8 16 00 E1 FF"), std::string::npos) << assembly.out;
  EXPECT_NE(assembly.out.find("call 0x00010020  ; absolute_value"), std::string::npos);

  // The editor pass compiles only the marked call; "-7" is no number there, so nothing.
  ToolRun editor = brainc("--editor --hex " + good);
  EXPECT_EQ(editor.out, "C3\n");

  ToolRun error = brainc("--hex " + good + " " + bad);
  EXPECT_EQ(error.status, 1);
  EXPECT_EQ(error.out, hex.out + bad +
                           ":2: x=(1) (2)|Square brackets '[' exected but round brackets '(' found instead!\n");

  ToolRun missing = brainc(s.dir.string() + "/none.brn");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, s.dir.string() + "/none.brn: Brain not found (none.brn)!\n");

  // An unclosed if is found at the end of the brain; the error names the if's line.
  std::string open_if = s.write("open.brn", "var x=0\nif x = 0\nx = 1\nif x = 1\nx = 2\nendif\n");
  ToolRun nesting = brainc(open_if);
  EXPECT_EQ(nesting.status, 1);
  EXPECT_EQ(nesting.out, open_if + ":2: If...endif nesting error!\n");
}

// --all-errors goes on after each error with the next line and prints every error in line
// order; an if whose condition failed still opens its block, so its else and endif are not
// reported again. The brain fails all the same.
TEST(Brainc, AllErrorsGoesOnLineByLine) {
  BrainSystem s;
  std::string bad = s.write("bad.brn",
                            "var x=0\r\n"
                            "x=(1)\r\n"             // 2
                            "if q=1\r\n"            // 3: a failed condition still opens its block
                            "  x=2\r\n"
                            "else\r\n"
                            "  x=zz\r\n"            // 6
                            "endif\r\n"
                            "goto nowhere\r\n"      // 8: found after the last line
                            "foo(1)\r\n"            // 9
                            "endif\r\n"             // 10: no open if
                            "abs(1,2)\r\n"          // 11
                            "if x\r\n");            // 12: never closed
  ToolRun all = brainc("--all-errors " + bad);
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(all.out, bad + ":2: x=(1) (2)|Square brackets '[' exected but round brackets '(' found instead!\n" +
                         bad + ":3: if q=1 (3)|Unknown symbol 'q'!\n" +
                         bad + ":6: x=zz (6)|Unknown symbol 'zz'!\n" +
                         bad + ":8: goto nowhere (8)|Undefined label 'nowhere'!\n" +
                         bad + ":9: foo(1) (9)|Unknown function/instruction 'foo'!\n" +
                         bad + ":10: If...endif nesting error!\n" +
                         bad + ":11: abs(1,2) (11)|'abs' requires 1 parameter(s)!\n" +
                         bad + ":12: If...endif nesting error!\n");
  // Without the option, the first error alone, as the engine shows it.
  ToolRun first = brainc(bad);
  EXPECT_EQ(first.status, 1);
  EXPECT_EQ(first.out, bad + ":2: x=(1) (2)|Square brackets '[' exected but round brackets '(' found instead!\n");

  // A good brain prints nothing; one that fails before its first line prints that error once.
  std::string good = s.write("good.brn", "var x=0\nx=abs(-7)\n");
  ToolRun quiet = brainc("--all-errors " + good);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
  std::string many;
  for (int i = 0; i < 128; ++i) many += "var v" + std::to_string(i) + "=0\n";
  std::string crowded = s.write("crowded.brn", many + "x=(1)\n");
  EXPECT_EQ(brainc("--all-errors " + crowded).out, crowded + ": Too many variables defined!\n");
  EXPECT_EQ(brainc("--all-errors " + s.dir.string() + "/none.brn").out,
            s.dir.string() + "/none.brn: Brain not found (none.brn)!\n");

  // The undefined label is reported at its goto's line, also as the first error.
  std::string label = s.write("label.brn", "var x=0\ngoto away\nx=1\n");
  EXPECT_EQ(brainc(label).out, label + ":2: goto away (2)|Undefined label 'away'!\n");
}

// The keyword reference, without the availability column (brainc links only the keywords a
// brain needs without a window or a scene).
TEST(Brainc, KeywordsPrintsTheReference) {
  ToolRun r = brainc("--keywords");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == keyword_reference_markdown()) << r.out.substr(0, 400);
  EXPECT_EQ(r.out.find("not yet"), std::string::npos);
  EXPECT_NE(r.out.find("\n| `velocity_update` | e | — | Moves e by its velocity"), std::string::npos);
  EXPECT_NE(r.out.find("\n| `abs` | v | value | Same as `absolute_value`. |\n"), std::string::npos);
  EXPECT_EQ(brainc("--keywords extra.brn").status, 2);
}

}  // namespace
}  // namespace korva::test
