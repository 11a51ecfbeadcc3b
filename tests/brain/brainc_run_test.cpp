// brainc --run N: the declared variables after N brain steps, one name=value per line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "brain_test_util.h"

namespace korva::test {
namespace {

std::string run_brainc(const std::string& args, int& status) {
  std::string cmd = std::string(KORVA_BINARY_DIR) + "/brainc " + args + " 2>&1";
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = pclose(p);
  status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return out;
}

TEST(BraincRun, PrintsTheVariablesAfterTheSteps) {
  BrainSystem s;
  std::string counter = s.write("counter.brn", "var n=5\r\nvar twice=0\r\nusermet m=1.5\r\nn=n+1\r\ntwice=n*2\r\n");
  std::string bad = s.write("bad.brn", "var x=0\nx=(1)\n");
  std::string loop = s.write("loop.brn", "var n=0\nagain:\nn=n+1\ngoto again\n");
  int status = -1;
  EXPECT_EQ(run_brainc("--run 3 " + counter, status), "n=8\ntwice=16\nm=768000\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(run_brainc("--run 0 " + counter, status), "n=5\ntwice=0\nm=768000\n");
  // A compile error prints the error text, as brainc does without --run.
  EXPECT_EQ(run_brainc("--run 1 " + bad, status),
            bad + ":2: x=(1) (2)|Square brackets '[' exected but round brackets '(' found instead!\n");
  EXPECT_EQ(status, 1);
  // A brain fault is reported and the run goes on: the stopped brain keeps its values.
  std::string out = run_brainc("--run 2 " + loop, status);
  EXPECT_NE(out.find("'brainc' brain runtime ERROR!|"), std::string::npos) << out;
  EXPECT_NE(out.find("|" + loop + ", line 4: goto again\n"), std::string::npos) << out;  // where
  EXPECT_NE(out.find("n=4194305\n"), std::string::npos) << out;
  EXPECT_EQ(status, 0);
  // --interpreter runs the same brains without host code, to the same end.
  EXPECT_EQ(run_brainc("--run 3 --interpreter " + counter, status), "n=8\ntwice=16\nm=768000\n");
  EXPECT_EQ(run_brainc("--run 2 --interpreter " + loop, status), out);
}

}  // namespace
}  // namespace korva::test
