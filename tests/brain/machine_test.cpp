// The brain machine running compiled brains: the language's run-time behaviour, the keyword
// call convention, the brain step, and brain faults that stop one brain while the run goes on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "machine_fixture.h"
#include "platform/platform.h"

namespace korva {
namespace {

using test::MachineFixture;

// ---- Keyword routines used by the brains below ----
int32_t child_pos(System&, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  return a + 10 * b + 100 * c + 1000 * d + 10000 * e;
}
int32_t last_on = 0;
void on(System&, int32_t e) { last_on = e; }
int32_t absolute_value(System&, int32_t v) { return v < 0 ? -v : v; }

struct Var {
  int32_t k;  // declaration index
  int32_t value;
};

struct RunCase {
  const char* brain;
  std::vector<Var> before;  // variables of element 0 before the step
  std::vector<Var> after;   // expected after one step
};

class RunCases : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunCases, OneStepLeavesTheVariables) {
  const RunCase& c = GetParam();
  MachineFixture f;
  ASSERT_TRUE(bind_keyword(f.machine->keywords, "absolute_value", keyword_routine<&absolute_value>));
  ASSERT_TRUE(f.add_brain("e", c.brain)) << f.brain->compile_error;
  f.predecode();
  for (const Var& v : c.before) f.set_var(0, v.k, v.value);
  f.step();
  for (const Var& v : c.after) EXPECT_EQ(f.var(0, v.k), v.value) << c.brain << " variable " << v.k;
  EXPECT_TRUE(f.messages.empty()) << f.messages.front();
}

INSTANTIATE_TEST_SUITE_P(
    Language, RunCases,
    ::testing::Values(
        // Division before multiplication, subtraction before addition.
        RunCase{"var x=0\nx=3*5/2", {}, {{0, 6}}},
        RunCase{"var x=0\nx=7+2-1", {}, {{0, 8}}},
        // or before and: (1 or 2) and 2 is 2, where 1 or (2 and 2) would be 3.
        RunCase{"var x=0\nvar a=0\nvar b=0\nvar c=0\nx=a or b and c", {{1, 1}, {2, 2}, {3, 2}}, {{0, 2}}},
        RunCase{"var x=0\nx=7/-2", {}, {{0, -3}}},
        RunCase{"var x=0\nvar a=0\nx=a/2", {{1, -7}}, {{0, -3}}},
        // idiv by zero, and the most negative value by -1, give 2147483647 as divide does.
        RunCase{"var x=0\nvar a=0\nx=7/a", {}, {{0, INT_MAX}}},
        RunCase{"var x=0\nvar a=0\nvar b=0\nx=a/b", {{1, INT_MIN}, {2, -1}}, {{0, INT_MAX}}},
        // The brain goes on after a division by zero.
        RunCase{"var x=0\nvar y=0\nx=1/0\ny=5", {}, {{0, INT_MAX}, {1, 5}}},
        // Signed comparisons at the ends of the range give 1 or 0.
        RunCase{"var x=0\nvar a=0\nvar b=0\nx=a<b", {{1, INT_MIN}, {2, INT_MAX}}, {{0, 1}}},
        RunCase{"var x=0\nvar a=0\nvar b=0\nx=a>b", {{1, INT_MIN}, {2, INT_MAX}}, {{0, 0}}},
        RunCase{"var x=0\nvar a=0\nvar b=0\nx=[a>=b]+[a<=b]*2+[a!b]*4", {{1, 5}, {2, 5}}, {{0, 3}}},
        RunCase{"var x=0\nvar a=0\nvar b=0\nif a=b\nx=1\nendif", {{1, -5}, {2, -5}}, {{0, 1}}},
        // Wrapping arithmetic.
        RunCase{"var x=0\nvar a=0\nx=a+1", {{1, INT_MAX}}, {{0, INT_MIN}}},
        RunCase{"var x=0\nvar a=0\nx=a*65536", {{1, 65536}}, {{0, 0}}},
        // Calls, negated call results and element addresses.
        RunCase{"var x=0\nvar y=0\nx=-absolute_value(y)", {{1, -4}}, {{0, -4}}},
        RunCase{"var x=0\nvar y=0\nx=2+-absolute_value(y)", {{1, 9}}, {{0, -7}}},
        RunCase{"var x=0\nx=element#2", {}, {{0, element_handle(2)}}},
        // gosub comes back to the next statement; a return outside a gosub ends the brain.
        RunCase{"var x=0\nvar y=0\ngosub sub\nx=x+1\nreturn\nsub:\ny=y+10\nreturn", {},
                {{0, 1}, {1, 10}}},
        RunCase{"var x=0\nvar y=0\nx=1\nreturn\ny=2", {}, {{0, 1}, {1, 0}}},
        RunCase{"var n=0\nloop:\nn=n+1\nif n<100\ngoto loop\nendif", {}, {{0, 100}}},
        RunCase{"var x=0\nvar a=0\nif a\nx=1\nelse\nx=2\nendif", {{1, 0}}, {{0, 2}}}));

// if a<-b takes the reversed jump and holds exactly when a < -b.
TEST(Machine, NegatedRightOperandComparesWithTheNegatedValue) {
  const int32_t pairs[][2] = {{-3, 2}, {-2, 2}, {-1, 2}, {0, -1}, {1, -1}, {2, -1}, {5, -7}};
  for (auto [a, b] : pairs) {
    for (const char* op : {"<", ">", "<=", ">="}) {
      MachineFixture f;
      std::string text = std::string("var a=0\nvar b=0\nvar x=0\nif a") + op + "-b\nx=1\nendif";
      ASSERT_TRUE(f.add_brain("e", text)) << f.brain->compile_error;
      f.predecode();
      f.set_var(0, 0, a);
      f.set_var(0, 1, b);
      f.step();
      bool expect = op[0] == '<' ? (op[1] ? a <= -b : a < -b) : (op[1] ? a >= -b : a > -b);
      EXPECT_EQ(f.var(0, 2), expect ? 1 : 0) << a << op << "-" << b;
    }
  }
}

TEST(Machine, KeywordCallsUseTheRegisterConvention) {
  MachineFixture f;
  ASSERT_TRUE(bind_keyword(f.machine->keywords, "child_pos", keyword_routine<&child_pos>));
  ASSERT_TRUE(bind_keyword(f.machine->keywords, "on", keyword_routine<&on>));
  ASSERT_TRUE(f.add_brain("e", "var x=0\nvar y=0\nx=child_pos(1,2,3,4,5)\ny=on(element#1)"))
      << f.brain->compile_error;
  f.predecode();
  f.step();
  // Parameters from eax, ebx, ecx, edx, esi in order; the result in eax.
  EXPECT_EQ(f.var(0, 0), 54321);
  // An instruction leaves eax as it was: the loaded first argument.
  EXPECT_EQ(last_on, element_handle(1));
  EXPECT_EQ(f.var(0, 1), element_handle(1));
}

TEST(Machine, BindingByNameCoversSynonymsAndRejectsUnknownNames) {
  KeywordBindings b;
  EXPECT_TRUE(bind_keyword(b, "abs", keyword_routine<&absolute_value>));
  EXPECT_EQ(b.routine[keyword_find("absolute_value")], keyword_routine<&absolute_value>);
  EXPECT_EQ(b.routine[keyword_find("abs")], keyword_routine<&absolute_value>);
  EXPECT_FALSE(bind_keyword(b, "no_such_keyword", keyword_routine<&absolute_value>));
}

TEST(Machine, UnboundKeywordReturnsZeroWithoutStoppingTheRunAndIsListedAfterCompiling) {
  MachineFixture f;
  ASSERT_TRUE(bind_keyword(f.machine->keywords, "abs", keyword_routine<&absolute_value>));
  ASSERT_TRUE(f.add_brain("e", "var x=0\nx=sum(3,4)\nx=x+sum(1,1)\nx=x+abs(2)"));
  f.predecode();
  // Listed once, whatever the number of calls; bound keywords are not listed.
  EXPECT_EQ(machine_unbound_keywords(*f.machine), std::vector<std::string>{"sum"});
  f.step(3);
  EXPECT_EQ(f.var(0, 0), 2);
  EXPECT_TRUE(f.messages.empty());  // no box in the middle of a run
}

TEST(Machine, SharedBrainKeepsEachElementsOwnVariables) {
  MachineFixture f;
  ASSERT_TRUE(f.add_brain("a", "var n=0\nn=n+1"));
  f.add_sharing("b", 0);
  f.predecode();
  f.set_var(1, 0, 10);
  f.step(3);
  EXPECT_EQ(f.var(0, 0), 3);
  EXPECT_EQ(f.var(1, 0), 13);
}

TEST(Machine, BrainStepRunsActiveBrainsAndCountsTheirCalls) {
  MachineFixture f;
  ASSERT_FALSE(f.add_brain("broken", "x="));  // failed brain: an empty brain
  ASSERT_TRUE(f.add_brain("good", "var n=0\nn=n+1"));
  ASSERT_TRUE(f.add_brain("sleeper", "var n=0\nn=n+1"));
  f.set_word(2, ir::kFlags, 0);  // not active
  f.set_word(1, ir::kFlags, ir::kFlagActive | ir::kFlagExtraRotation);
  f.predecode();
  f.step(2);
  EXPECT_EQ(f.word(0, ir::kCallCounter), 2);
  EXPECT_EQ(f.var(1, 0), 2);
  EXPECT_EQ(f.word(1, ir::kCallCounter), 2);
  EXPECT_EQ(f.word(1, ir::kFlags), ir::kFlagActive);  // extra rotation lasts one frame
  EXPECT_EQ(f.var(2, 0), 0);
  EXPECT_EQ(f.word(2, ir::kCallCounter), 0);
  EXPECT_EQ(f.run.tics, 2u);
  EXPECT_TRUE(f.messages.empty());
}

TEST(Machine, PickingAndNetworkSeamsRunAroundTheElements) {
  MachineFixture f;
  ASSERT_TRUE(f.add_brain("e", "var n=0\nn=n+1"));
  f.predecode();
  std::vector<std::string> order;
  f.brain->picking = 1;
  f.runner.pick = [&](System&) { order.push_back("pick"); return 5; };
  f.runner.before_brains = [&](System& s) {
    order.push_back("before " + std::to_string(ir_get(s.core->pool(Pool::Instances) + 1020, 0)));
  };
  f.runner.after_brains = [&](System& s) {
    order.push_back("after " + std::to_string(ir_get(s.core->pool(Pool::Instances), 1020)));
  };
  f.step();
  EXPECT_EQ(order, (std::vector<std::string>{"pick", "before 0", "after 1"}));
  EXPECT_EQ(f.brain->picking, 5);
}

// ---- Brain faults ----

// Runs two steps of a faulty element 0 beside a counting element 1 and checks that the fault
// stopped element 0 once, with the message, while element 1 ran both steps.
void expect_fault(MachineFixture& f, std::string_view what) {
  ASSERT_TRUE(f.add_brain("counter", "var n=0\nn=n+1"));
  f.predecode();
  f.step(2);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].rfind("'faulty' brain runtime ERROR!|", 0), 0u) << f.messages[0];
  EXPECT_NE(f.messages[0].find(what), std::string::npos) << f.messages[0];
  EXPECT_TRUE(f.word(0, ir::kFlags) & ir::kFlagBrainStopped);
  EXPECT_EQ(f.word(0, ir::kCallCounter), 1);
  EXPECT_EQ(f.var(1, 0), 2);
}

TEST(MachineFault, EndlessGotoLoopRunsOutOfBudget) {
  MachineFixture f;
  ASSERT_TRUE(f.add_brain("faulty", "var n=0\nloop:\nn=n+1\ngoto loop"));
  expect_fault(f, "endless loop");
  EXPECT_EQ(f.var(0, 0), kBrainBranchBudget + 1);
}

// A loop around a slow keyword takes few jumps: the time limit stops it instead, soon after
// the limit (within a few keyword calls).
int32_t slow_keyword(System&, int32_t v) {
  std::this_thread::sleep_for(std::chrono::milliseconds(25));
  return v;
}

TEST(MachineFault, ASlowEndlessLoopRunsOutOfTime) {
  MachineFixture f;
  ASSERT_TRUE(bind_keyword(f.machine->keywords, "abs", keyword_routine<&slow_keyword>));
  ASSERT_TRUE(f.add_brain("faulty", "var n=0\nloop:\nn=n+abs(1)\ngoto loop"));
  const auto start = std::chrono::steady_clock::now();
  expect_fault(f, "did not end within 1 second");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(1000));
  EXPECT_LT(f.var(0, 0), 1000 / 25 + kTimeCheckCalls + 1);  // stopped near the limit, not at the budget
}

// A keyword that waits for a person (as a dialog or pause does) for longer than the limit.
int32_t waits_for_a_person(System& s, int32_t v) {
  const PersonWait wait(*s.core);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  return v;
}

// The time a brain waits for a person is not its own, so a brain that goes on after a long
// dialog is not stopped. Headless there is nobody to wait for: the time counts.
TEST(MachineFault, TimeWaitingForAPersonIsLeftOutOfTheLimitOnlyWithAWindow) {
  for (const bool windowed : {true, false}) {
    SCOPED_TRACE(windowed ? "window" : "headless");
    MachineFixture f;
    platform::Screen screen;
    screen.headless = !windowed;
    f.core->frame.screen = &screen;
    ASSERT_TRUE(bind_keyword(f.machine->keywords, "abs", keyword_routine<&waits_for_a_person>));
    ASSERT_TRUE(f.add_brain("faulty", "var n=0\nn=abs(1)\nagain:\nn=n+1\nif n<20000\ngoto again\nendif"));
    if (windowed) {
      ASSERT_TRUE(f.add_brain("counter", "var n=0\nn=n+1"));
      f.predecode();
      f.step(1);
      EXPECT_TRUE(f.messages.empty()) << f.messages[0];
      EXPECT_EQ(f.var(0, 0), 20000);
    } else {
      expect_fault(f, "did not end within 1 second");
      EXPECT_LT(f.var(0, 0), 20000);
    }
  }
}

TEST(MachineFault, ExecuteOfItselfNestsTooDeeply) {
  MachineFixture f;
  ASSERT_TRUE(f.add_brain("faulty", "var n=0\nn=n+1\nexecute(element)"));
  expect_fault(f, "execute nested");
  EXPECT_EQ(f.var(0, 0), kMaxExecuteDepth + 1);
}

TEST(MachineFault, EndlessGosubRecursionOverflowsTheStack) {
  MachineFixture f;
  ASSERT_TRUE(f.add_brain("faulty", "var n=0\nagain:\nn=n+1\ngosub again"));
  expect_fault(f, "stack overflow");
  EXPECT_EQ(f.var(0, 0), kStackSlots);  // one slot holds the return to the brain step
}

struct CodeCase {
  const char* name;
  std::vector<uint8_t> code;
  const char* what;
};

TEST(MachineFault, BadCodeIsABrainFaultNotACrash) {
  const CodeCase cases[] = {
      {"garbage", {0x0F, 0x0B, 0xFF, 0xFF}, "Unknown instruction at 0x00200000"},
      {"half an instruction", {0xB8, 0x01, 0x00}, "Unknown instruction"},
      {"read below the map", {0x3E, 0x8B, 0x05, 0x10, 0x00, 0x00, 0x00, 0xC3}, "outside the brain memory"},
      {"write to the literals", {0x3E, 0xA3, 0x00, 0x00, 0x18, 0x00, 0xC3}, "outside the brain memory"},
      {"beyond the record", {0x3E, 0x8B, 0x87, 0x00, 0x04, 0x00, 0x00, 0xC3}, "outside the element record"},
      {"jump away", {0xE9, 0x00, 0x00, 0x00, 0x10}, "outside the brain code"},
  };
  for (const CodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    MachineFixture f;
    f.add_code("faulty", c.code);
    expect_fault(f, c.what);
  }
}

TEST(MachineFault, CodeThatRunsPastTheLastBrainFaults) {
  MachineFixture f;
  f.add_code("faulty", {0xB8, 0x01, 0x00, 0x00, 0x00});  // mov eax, 1 and no ret
  f.predecode();
  f.step();
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_NE(f.messages[0].find("ran past its end"), std::string::npos) << f.messages[0];
}

TEST(MachineFault, ExecuteOfAFaultyBrainStopsTheCaller) {
  MachineFixture f;
  f.add_code("junk", {0xFF, 0xFF});
  f.set_word(0, ir::kFlags, 0);  // only reached through execute
  ASSERT_TRUE(f.add_brain("caller", "var n=0\nn=n+1\nexecute(element#-1)\nn=n+100"));
  f.predecode();
  f.step(2);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].rfind("'caller' brain runtime ERROR!|Unknown instruction", 0), 0u)
      << f.messages[0];
  EXPECT_EQ(f.var(1, 0), 1);
}

TEST(Machine, ExecuteRunsAnotherBrainWithItsOwnRecord) {
  MachineFixture f;
  ASSERT_TRUE(f.add_brain("callee", "var n=0\nn=n+1\nx=n*2\nvar x=0"));
  f.set_word(0, ir::kFlags, 0);
  ASSERT_TRUE(f.add_brain("caller", "var r=0\nvar m=0\nr=execute(element#-1)\nm=execute(12345)"));
  f.predecode();
  f.step(2);
  EXPECT_EQ(f.var(0, 0), 2);  // the callee's variables live in its own record
  EXPECT_EQ(f.var(1, 0), 4);  // what the callee left in eax: its last store, x = n * 2
  EXPECT_EQ(f.var(1, 1), 0);  // not an instance record: nothing happens
  EXPECT_TRUE(f.messages.empty());
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

// The whole road from brain files: compile_project_brains shares identical files, a failed
// brain shows its compile message and runs as an empty brain, and the others run.
TEST(Machine, ProjectBrainsRunAfterCompilingTheProject) {
  MachineFixture f;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("korva_machine_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto write = [&](const char* name, std::string_view text) {
    std::string path = (dir / name).string();
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
  };
  const std::string counter = write("counter.brn", "var n=0\r\nn=n+1\r\n");
  const std::string twin = write("twin.brn", "var n=0\r\nn=n+1\r\n");
  const std::string broken = write("broken.brn", "var n=0\r\nn=\r\n");
  const char* names[] = {"first", "second", "broken"};
  const std::string* paths[] = {&counter, &twin, &broken};
  for (int32_t i = 0; i < 3; ++i) {
    str_set(element_record(*f.core, i), std::string(names[i]) + "|||" + *paths[i]);
    f.set_word(i, ir::kFlags, ir::kFlagActive);
  }
  f.model->last_index = 2;
  compile_project_brains(*f.core, *f.model, *f.brain, Pass::Normal);
  ASSERT_EQ(f.messages.size(), 1u);  // the compile error of the broken brain
  EXPECT_EQ(f.messages[0].rfind("'broken' brain ERROR!|", 0), 0u) << f.messages[0];
  EXPECT_EQ(f.word(0, ir::kBrainEntry), f.word(1, ir::kBrainEntry));  // one shared brain

  f.predecode();
  f.set_var(1, 0, 100);
  f.step(3);
  EXPECT_EQ(f.var(0, 0), 3);
  EXPECT_EQ(f.var(1, 0), 103);
  EXPECT_EQ(f.var(2, 0), 0);
  EXPECT_EQ(f.word(2, ir::kCallCounter), 3);  // the empty brain runs every step
  EXPECT_EQ(f.messages.size(), 1u);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

// Random sequences of the instruction subset with random operands (addresses anywhere, jumps
// into the middle of instructions, calls of keyword entries and of code) must end in a normal
// return or a brain fault, never in a crash or a hang.
TEST(MachineFault, RandomCodeNeverCrashes) {
  uint32_t seed = 12345;
  const auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  const uint32_t interesting[] = {0, 4, 1020, 1024, 0xFFFFFFFCu, guest::kTempAreaBase,
                                  guest::kTempAreaBase + guest::kTempAreaBytes - 2,
                                  guest::kInstancesBase, guest::kLiteralPoolBase,
                                  guest::kCodeBufferBase, guest::kStackBase, 0x80000000u};
  int32_t faults = 0;
  for (int32_t round = 0; round < 300; ++round) {
    MachineFixture f;
    x86::CodeWriter w;
    w.buf = f.brain->code.data();
    w.base = guest::kCodeBufferBase;
    w.limit = 4096;
    w.pos = &f.brain->out;
    for (int32_t k = 0; k < 48; ++k) {
      const auto ins = static_cast<x86::Ins>(next() % x86::kInstructionCount);
      uint32_t operand = next() % 3 == 0 ? interesting[next() % std::size(interesting)] : next() % 2048;
      if (x86::info(ins).operand == x86::Operand::Rel8) operand = next() % 16;
      if (x86::info(ins).operand == x86::Operand::Rel32) {
        operand = next() % 4 == 0 ? keyword_entry_address(static_cast<int32_t>(next() % kKeywordRows))
                                  : w.address() + next() % 64 - 24;
      }
      x86::emit(w, ins, operand);
    }
    for (int32_t i = 0; i < 3; ++i) {
      str_set(element_record(*f.core, i), "random|||x.brn");
      f.set_word(i, ir::kBrainEntry, static_cast<int32_t>(guest::kCodeBufferBase + next() % 32));
      f.set_word(i, ir::kFlags, ir::kFlagActive);
    }
    f.model->last_index = 2;
    f.predecode();
    f.step(2);
    for (const std::string& m : f.messages) faults += m.find("brain runtime ERROR!|") != std::string::npos;
  }
  EXPECT_GT(faults, 0);
}

}  // namespace
}  // namespace korva
