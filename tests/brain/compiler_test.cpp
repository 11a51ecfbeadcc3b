// The brain compiler beyond single brains: the keyword table, brain sharing and failures in a
// project, string literals, the capacity limits, and untrusted input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "brain/x86.h"
#include "brain_test_util.h"

namespace korva::test {
namespace {

std::string repeat_lines(std::string_view line, int32_t n) {
  std::string s;
  for (int32_t i = 0; i < n; ++i) {
    s += line;
    s += '\n';
  }
  return s;
}

std::string literal_at(const BrainState& b, uint32_t addr) {
  return std::string(reinterpret_cast<const char*>(b.literal_pool.data()) + (addr - guest::kLiteralPoolBase));
}

TEST(KeywordTable, HasTheRowsInOrderWithSharedSynonymRoutines) {
  ASSERT_EQ(keyword_row_text(0), "0|3dbg_color_set|3|1|");
  EXPECT_EQ(keyword_row_text(kKeywordRows - 1), "0|str_poll|2|0|");
  EXPECT_EQ(keyword_find("abs"), 3);
  EXPECT_EQ(keyword_find("ABS"), -1);
  EXPECT_EQ(keyword_find("*end*"), -1);
  // Row k enters at 0x10000 + 16 k; synonyms at their first row's address.
  EXPECT_EQ(keyword_entry_address(keyword_find("absolute_value")), 0x00010020u);
  EXPECT_EQ(keyword_entry_address(keyword_find("abs")), 0x00010020u);
  EXPECT_EQ(keyword_entry_address(keyword_find("aglevel")), 0x00010010u);
  EXPECT_EQ(keyword_entry_address(keyword_find("str_kill")), keyword_entry_address(keyword_find("a_kill")));
  EXPECT_EQ(keyword_entry_address(keyword_find("velocity_set")), keyword_entry_address(keyword_find("speed_set")));
  EXPECT_EQ(keyword_at_address(0x00010020u), keyword_find("absolute_value"));
  EXPECT_EQ(keyword_at_address(0x00010030u), -1);  // abs: entered through absolute_value
  int32_t synonyms = 0;
  for (int32_t k = 0; k < kKeywordRows; ++k) {
    const KeywordRow& r = keyword_row(k);
    EXPECT_LE(std::strlen(r.name), 26u) << r.name;
    EXPECT_LE(r.params, 5);
    EXPECT_EQ(keyword_find(r.name), k) << r.name;  // names are unique
    int32_t first = keyword_routine_row(k);
    if (first != k) {
      ++synonyms;
      EXPECT_LT(first, k);
      EXPECT_EQ(keyword_row(first).returns, r.returns) << r.name;
      EXPECT_EQ(keyword_row(first).params, r.params) << r.name;
    }
  }
  EXPECT_EQ(synonyms, 18);
}

TEST(Declarations, TypesAndNames) {
  struct Case {
    const char* line;
    int32_t type;
    const char* name;
  } cases[] = {
      {"var speed=5", 0, "speed"},   {"var  a b =1", 0, "a b"},  {"userele target=2", 1, "target"},
      {"userint n=1", 2, "n"},       {"usermet h=1.5", 3, "h"},  {"userdeg t=9", 4, "t"},
      {"uservel v=1", 5, "v"},       {"userspi s=1", 6, "s"},    {"usermetx=1", kUnknownUnit, ""},
      {"user_count=1", kUnknownUnit, ""}, {"variable=1", kNotDeclaration, ""}, {"var", kNotDeclaration, ""},
  };
  for (const Case& t : cases) {
    EXPECT_EQ(declaration_type(t.line), t.type) << t.line;
    if (t.type >= 0) {
      EXPECT_EQ(declaration_name(t.line, t.type), t.name) << t.line;
    }
  }
}

TEST(Compiler, StringLiteralsKeepTheirTextEscapesAndOrder) {
  BrainSystem s;
  str_set(*s.c->base_folder, "/games/korva/");
  ASSERT_TRUE(s.compile("msg_box(\"Hello\",1,2,3)\n"
                        "msg_box(\"Say \\\",\"Line\\nTwo\\0x\",\".\\maps\\a.m3d\",\"\")\n"))
      << s.b->compile_error;
  // Literals are bound in order; "\n" and "\0" are escapes; ".\" is the base folder.
  const BrainState& b = *s.b;
  EXPECT_EQ(b.literal_start, guest::kLiteralPoolBase);
  uint32_t a = guest::kLiteralPoolBase;
  EXPECT_EQ(literal_at(b, a), "Hello");
  a += 6;
  EXPECT_EQ(literal_at(b, a), "Say \\");
  a += 6;
  EXPECT_EQ(std::memcmp(b.literal_pool.data() + (a - guest::kLiteralPoolBase), "Line\nTwo\0x\0", 11), 0);
  a += 11;
  EXPECT_EQ(literal_at(b, a), "/games/korva/maps\\a.m3d");
  a += 24;
  EXPECT_EQ(literal_at(b, a), "");
  EXPECT_EQ(b.literal_end, a + 1);
}

TEST(Compiler, FailsOnTheFirstErrorBeforeLabelsAreResolved) {
  BrainSystem s;
  EXPECT_FALSE(s.compile("x=1\ngoto nowhere\n"));
  EXPECT_EQ(s.b->compile_error, "x=1 (1)|Unknown symbol 'x'!");
}

TEST(Project, IdenticalBrainsShareCodeAndFailedBrainsRunEmpty) {
  BrainSystem s;
  std::string good = s.write("good.brn", "var x=0\nx=1\n");
  std::string same = s.write("same.brn", "var x=0\nx=1\n");
  std::string bad = s.write("bad.brn", "var x=0\nx=1\nx=q\n");
  // Same checksum (two words swapped), different text.
  std::string swapped = s.write("swapped.brn", "x=1\nvar x=0\n");
  std::string picks = s.write("picks.brn", "var x=0\nx=visual_picked(element)\n");
  s.element(0, "Car", good);
  s.element(1, "Truck (red)", bad);
  s.element(2, "Bus", same);
  s.element(3, "Van", s.dir.string() + "/missing.brn");
  s.element(4, "Odd", swapped);
  s.element(5, "Picker", picks);
  ASSERT_EQ(brain_checksum("var x=0\nx=1\n"), brain_checksum("x=1\nvar x=0\n"));

  s.b->literal_pos = 10;  // the pool keeps what earlier projects put there
  compile_project_brains(*s.c, *s.m, *s.b, Pass::Normal);
  const BrainState& b = *s.b;
  EXPECT_EQ(b.brain_error, 1);
  EXPECT_EQ(b.picking, 1);
  EXPECT_EQ(b.literal_start, guest::kLiteralPoolBase + 10);
  ASSERT_EQ(s.messages.size(), 2u);
  EXPECT_EQ(s.messages[0], "'Truck' brain ERROR!|x=q (3)|Unknown symbol 'q'!");
  EXPECT_EQ(s.messages[1], "'Van' brain ERROR!|Brain not found (missing.brn)!");

  uint32_t e0 = s.entry(0), e1 = s.entry(1), e3 = s.entry(3), e4 = s.entry(4);
  EXPECT_EQ(e0, code_address(0));
  EXPECT_EQ(s.entry(2), e0);  // shared
  EXPECT_EQ(e1, code_address(13));  // right after the first brain: 12 bytes and its ret
  EXPECT_EQ(b.code[e1 - guest::kCodeBufferBase], 0xC3);  // the failed brain is a single ret
  EXPECT_EQ(e3, e1 + 1);
  EXPECT_EQ(b.code[e3 - guest::kCodeBufferBase], 0xC3);
  EXPECT_EQ(e4, e3 + 1);  // equal checksums but other bytes: compiled on its own
  EXPECT_GT(s.entry(5), e4);
  for (int32_t i = 0; i < 256; ++i) EXPECT_EQ(b.owner[i], i);
}

TEST(Project, EditorPassCompilesOnlyMarkedCalls) {
  BrainSystem s;
  ASSERT_TRUE(s.compile("var x=0\nx=\nif(\nscale_set(element,1,2,3) editor\n", Pass::Editor))
      << s.b->compile_error;
  EXPECT_EQ(s.b->out, 29u);  // the call (28 bytes) and the final ret
}

TEST(Capacity, LongLinesLabelsNestingAndTemporariesAreCompileErrors) {
  struct Case {
    std::string text;
    const char* error;
  };
  std::string labels;
  for (int32_t i = 0; i < kMaxLabels + 1; ++i) labels += "l" + std::to_string(i) + ":\n";
  Case cases[] = {
      {std::string(3000, 'x') + "\n", "Line 1 is longer than 2044 characters!"},
      {labels, "l204: (205)|Too many labels (more than 204 in one brain)!"},
      {"var x=0\n" + repeat_lines("if x", 1024), "if x (1025)|If blocks nested too deeply (more than 1023 open)!"},
      {"var x=0\nx=@4096\n", "x=@4096 (2)|Unknown symbol '@4096'!"},
  };
  for (const Case& t : cases) {
    BrainSystem s;
    EXPECT_FALSE(s.compile(t.text));
    EXPECT_EQ(s.b->compile_error, t.error);
  }
  BrainSystem s;
  EXPECT_TRUE(s.compile("var x=0\nx=@4095\n" + repeat_lines("if x", 1023) + repeat_lines("endif", 1023)));
}

TEST(Capacity, FullCodeBufferFailsTheBrainAndLeavesRoomForItsRet) {
  BrainSystem s;
  // 25 bytes per line: 20971 lines fit below the last byte, which stays free.
  std::string big = "var x=0\n" + repeat_lines("x=abs(x)", 21000);
  s.element(0, "Big", s.write("big.brn", big));
  s.element(1, "Big2", s.write("big2.brn", big + "\n"));
  s.element(2, "Small", s.write("small.brn", "var x=0\nx=1\n"));
  compile_project_brains(*s.c, *s.m, *s.b, Pass::Normal);
  ASSERT_EQ(s.messages.size(), 2u);
  EXPECT_EQ(s.messages[0], "'Big' brain ERROR!|x=abs(x) (20973)|Code buffer full: the project's brains are too long!");
  EXPECT_EQ(s.entry(0), code_address(0));
  EXPECT_EQ(s.entry(1), code_address(1));
  EXPECT_EQ(s.entry(2), code_address(2));
  EXPECT_EQ(s.b->out, 2u + 13u);
}

// Going on after errors (brainc --all-errors), a brain whose lines fill the code buffer up to
// its last byte, so that only its closing ret finds no room, is listed with that error.
TEST(Capacity, AllErrorsListTheCodeBufferFullAtTheClosingRet) {
  BrainSystem s;
  const std::string text = "var x=0\nx=abs(x)\n";
  s.b->out = 0;
  ASSERT_TRUE(compile_brain_text(*s.c, *s.b, text, Pass::Normal));
  const uint32_t lines = s.b->out - 1;  // the code without its ret
  s.b->out = uint32_t(s.b->code.size() - 1) - lines;
  s.b->keep_going = true;
  EXPECT_FALSE(compile_brain_text(*s.c, *s.b, text, Pass::Normal));
  ASSERT_EQ(s.b->errors.size(), 1u);
  EXPECT_EQ(s.b->errors[0].text, "Code buffer full: the project's brains are too long!");
}

TEST(Capacity, FullLiteralPoolFailsTheBrain) {
  BrainSystem s;
  std::string line = "msg_box(1,2,3,\"" + std::string(2000, 'a') + "\")";
  EXPECT_FALSE(s.compile(repeat_lines(line, 140)));
  EXPECT_EQ(s.b->compile_error, line + " (132)|String literals too long: the literal pool is full!");
  EXPECT_LE(s.b->literal_pos, guest::kLiteralPoolBytes);
}

TEST(Capacity, BrainFileTooLarge) {
  BrainSystem s;
  EXPECT_FALSE(s.compile(std::string(kMaxBrainFileBytes + 1, '\n')));
  EXPECT_EQ(s.b->compile_error, "Brain file too large (brain.brn)!");
}

TEST(Untrusted, ArbitraryBytesNeverCrash) {
  BrainSystem s;
  std::string texts[] = {
      "\"", "x=\"", "(((((", "]]]", "x=[[[[[[[[[]]]]]]]]]", "@", "x=--------1", "if", "if ",
      "element#", "element\\", "x=element#-", "\xD1\xD1\xD1", "a=b=c=d", "f(,,,,,)", "msg_box(,,,)",
      "abs(abs(abs(abs(abs(abs(1))))))", "goto ", "gosub", ":", "x=0x", "x=1mt2mt",
      std::string("x=\0\0\0", 5), "x=99999999999999999999", "endif\nelse", "\r\r\n\n",
  };
  for (const std::string& t : texts) {
    s.compile(t);
    s.compile(t, Pass::Editor);
  }
  SUCCEED();
}

TEST(Disassembler, ShowsEveryInstructionOfTheTable) {
  BrainSystem s;
  uint32_t pos = 0;
  x86::CodeWriter w{s.b->code.data(), guest::kCodeBufferBase, 4096, &pos, false};
  for (int32_t i = 0; i < x86::kInstructionCount; ++i) x86::emit(w, static_cast<x86::Ins>(i), 0x00010020u);
  std::string text = disassemble(*s.b, 0, pos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), x86::kInstructionCount);
  EXPECT_EQ(text.find("db "), std::string::npos);
  EXPECT_NE(text.find("call 0x00010020  ; absolute_value"), std::string::npos);
  EXPECT_NE(text.find("mov ds:[edi+65568], eax"), std::string::npos);
}

}  // namespace
}  // namespace korva::test

namespace korva::test {
namespace {

TEST(Compiler, WarnsOnceAnExpressionFindsTheStringStackLow) {
  BrainSystem s;
  while (str_stack_free(*s.c) * kStrSlotBytes >= 80000) str_temp(*s.c);
  ASSERT_TRUE(s.compile("var x=0\nx=1\n"));
  ASSERT_EQ(s.messages.size(), 1u);
  EXPECT_EQ(s.messages[0].find("Value: "), 0u);
  EXPECT_NE(s.messages[0].find("\nWarning! Expression parser memory low."), std::string::npos);
}

TEST(Compiler, ResolvesDefaultValueTexts) {
  BrainSystem s;
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {{"1.5mt", true, 768000}, {" -90DG ", true, -46080}, {"0x1f", true, 31},
               {"7", true, 7},          {"abc", false, 0},          {"\"s\"", false, 0},
               {"1.5", false, 0},       {"", false, 0}};
  for (const Case& t : cases) {
    int32_t v = -1;
    EXPECT_EQ(resolve_value_text(*s.c, *s.b, t.text, v), t.ok) << t.text;
    EXPECT_EQ(v, t.value) << t.text;
  }
  EXPECT_EQ(s.b->literal_pos, 0u);
}

}  // namespace
}  // namespace korva::test
