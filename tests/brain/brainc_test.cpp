// brainc prints the code bytes, a disassembly or the engine's error text of a brain file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

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

}  // namespace
}  // namespace korva::test
