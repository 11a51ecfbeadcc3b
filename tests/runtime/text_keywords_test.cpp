// Text keywords: copying, appending, comparing, measuring, numbers in and out of texts, file
// tests, the Runtime Error box for constant targets, and texts that do not fit or do not exist.
#include "brain_literal.h"
#include "runtime/text_keywords.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "brain/brain.h"
#include "brain/brain_run.h"
#include "brain/keyword_binding.h"
#include "brain_expectations.h"
#include "core/core.h"
#include "core/system.h"
#include "model/run_state.h"
#include "runtime/runtime.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class TextKeywords : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Blocks> blocks = std::make_unique<Blocks>();
  std::unique_ptr<BrainState> brain = brain_create();
  RunState run;
  System s;
  std::vector<std::string> boxes;  // texts of the Runtime Error boxes shown

  TextKeywords() {
    s.core = core.get();
    s.blocks = blocks.get();
    s.brain = brain.get();
    s.run = &run;
    run.hooks.runtime_error = [this](std::string_view text) { boxes.emplace_back(text); };
  }

  // Puts text into the literal pool as a compiled brain's literal and returns its address.
  int32_t literal(const std::string& text) { return put_literal(*brain, text); }
  // A text block of str_create(n) (n + 1 bytes) holding text.
  int32_t block(const std::string& text, int32_t n = 40) {
    const int32_t h = str_create(s, n);
    std::memcpy(blocks->entry[h].data.get(), text.data(), std::min<size_t>(text.size(), size_t(n)));
    return h;
  }
  // The block's bytes up to the first zero, never past its end.
  std::string text(int32_t h) {
    const Block& b = blocks->entry[h];
    const char* p = reinterpret_cast<const char*>(b.data.get());
    return std::string(p, strnlen(p, static_cast<size_t>(b.size)));
  }
};

TEST_F(TextKeywords, StrCopyTakesTheCharactersOfTheRangeThatLieInsideTheSource) {
  const int32_t source = literal("hello");
  const struct {
    int32_t start, count;
    const char* want;
  } cases[] = {
      {1, 10, "ello"},  // fewer when the source ends earlier
      {5, 1, ""},       // at the end: empty
      {9, 3, ""},       // beyond it: empty
      {0, -1, "hello"},
      {4, -7, "hello"},  // a negative count copies the whole text
      {1, 3, "ell"},
      {2, 0, ""},
      {-2, 4, "he"},
      {-9, 3, ""},  // only the part inside the text
      {INT_MIN, INT_MAX, ""},
      {INT_MAX, INT_MAX, ""},
      {1, INT_MAX, "ello"},
      {-1, INT_MAX, "hello"},
  };
  for (const auto& c : cases) {
    const int32_t target = block("previous");
    str_copy(s, target, source, c.start, c.count);
    EXPECT_EQ(text(target), c.want) << "start " << c.start << ", count " << c.count;
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TextKeywords, WrittenTextsAreCutToTheTargetBlock) {
  const std::string big(65536, 'q');
  const int32_t small = block("", 4);  // room for four characters
  str_copy(s, small, literal(big), 0, -1);
  EXPECT_EQ(text(small), "qqqq");
  EXPECT_EQ(blocks->entry[small].data[4], 0);

  const int32_t five = block("abc", 5);
  str_add(s, five, literal("defgh"));
  EXPECT_EQ(text(five), "abcde");
  str_add(s, five, literal("more"));
  EXPECT_EQ(text(five), "abcde");

  // A block onto itself, part of it, or appended to itself.
  const int32_t own = block("abcdef");
  str_copy(s, own, own, 2, 3);
  EXPECT_EQ(text(own), "cde");
  str_add(s, own, own);
  EXPECT_EQ(text(own), "cdecde");

  // An integer block with no zero byte in it is still a text of its own length, and writing
  // into it ends the text inside the block.
  const int32_t ints = a_create(s, 1);
  a_set(s, ints, 0, 0x41414141);
  EXPECT_EQ(str_len(s, ints), 4);
  str_add(s, ints, literal("xyz"));
  EXPECT_EQ(text(ints), "AAA");

  // A block of no bytes takes nothing, not even the terminating zero.
  const int32_t empty = a_create(s, 0);
  str_copy(s, empty, literal("abc"), 0, -1);
  str_chr(s, empty, 'x');
  str_num(s, empty, 5, 2);
  EXPECT_EQ(a_size(s, empty), 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TextKeywords, ConstantTargetsAreRefusedWithTheRuntimeErrorBox) {
  const int32_t source = block("src");
  const struct {
    const char* message;
    std::function<void(int32_t target)> call;
  } cases[] = {
      {"First parameter of STR_COPY() instruction must be a string variable, not a constant "
       "string.",
       [&](int32_t t) { str_copy(s, t, source, 0, -1); }},
      {"First parameter of STR_ADD() instruction must be a string variable, not a constant string.",
       [&](int32_t t) { str_add(s, t, source); }},
      {"First parameter of STR_CHR() instruction must be a string variable, not a constant string.",
       [&](int32_t t) { str_chr(s, t, 'A'); }},
      {"First parameter of STR_NUM() instruction must be a string variable, not a constant string.",
       [&](int32_t t) { str_num(s, t, 12, 1); }},
  };
  for (const auto& c : cases) {
    const int32_t constant = literal("constant");
    boxes.clear();
    c.call(constant);
    ASSERT_EQ(boxes.size(), 1u) << c.message;
    EXPECT_EQ(boxes[0], c.message);
    const char* in_pool = reinterpret_cast<const char*>(brain->literal_pool.data()) +
                          (static_cast<uint32_t>(constant) - guest::kLiteralPoolBase);
    EXPECT_STREQ(in_pool, "constant") << "the literal was written: " << c.message;
    // A value that is no text at all is not a string variable either.
    boxes.clear();
    c.call(0x7FFFFFF0);
    c.call(-5);
    EXPECT_EQ(boxes.size(), 2u) << c.message;
  }
  EXPECT_EQ(text(source), "src");
}

TEST_F(TextKeywords, FreeHandlesDoNothingAndStrangeValuesReadAsEmptyTexts) {
  const int32_t target = block("keep");
  const int32_t free_handle = 300;
  str_copy(s, target, free_handle, 0, -1);
  str_add(s, target, free_handle);
  EXPECT_EQ(text(target), "keep");
  str_copy(s, free_handle, target, 0, -1);  // a free target: nothing, and no box
  str_chr(s, free_handle, 'x');
  str_num(s, free_handle, 1, 0);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(a_size(s, free_handle), 0);

  const int32_t abc = literal("abc");
  EXPECT_EQ(str_len(s, free_handle), 0);
  EXPECT_EQ(str_comp(s, abc, free_handle, 1), 0);
  EXPECT_EQ(str_comp(s, free_handle, abc, 0), 0);
  EXPECT_EQ(str_val(s, free_handle), 0);
  EXPECT_EQ(file_exists(s, free_handle), 0);
  // Outside the table and outside the literals: an empty text.
  for (int32_t strange : {-1, INT_MIN, 0x7FFFFFFF, 8192, abc + 4096}) {
    EXPECT_EQ(str_len(s, strange), 0) << strange;
    EXPECT_EQ(str_comp(s, abc, strange, 1), 1) << strange;
    EXPECT_EQ(str_val(s, strange), 0) << strange;
    str_copy(s, target, strange, 0, -1);
    EXPECT_EQ(text(target), "") << strange;
    str_copy(s, target, abc, 0, -1);
  }
}

TEST_F(TextKeywords, StrCompWithAndWithoutRegardToCase) {
  const struct {
    const char *a, *b;
    int32_t case_mode;
    int32_t sign;  // -1, 0 or 1
  } cases[] = {
      {"Hello", "hELLO", 0, 0}, {"Hello", "hELLO", 1, -1}, {"hello", "Hello", 7, 1},
      {"abc", "abd", 1, -1},    {"abd", "abc", 1, 1},      {"ab", "abc", 1, -1},
      {"abc", "ABD", 0, -1},    {"b", "A", 0, 1},          {"", "", 1, 0},
      {"", "x", 0, -1},         {"\xe9", "a", 1, 1},       {"same", "same", 1, 0},
  };
  for (const auto& c : cases) {
    const int32_t r = str_comp(s, literal(c.a), literal(c.b), c.case_mode);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b << " case " << c.case_mode;
    if (c.case_mode != 0) {
      EXPECT_EQ(r, c.sign) << "byte comparison answers -1, 0 or 1";
    }
  }
  // A block and a literal compare by their texts.
  EXPECT_EQ(str_comp(s, block("Text"), literal("TEXT"), 0), 0);
}

TEST_F(TextKeywords, StrLenOfLiteralsAndBlocks) {
  EXPECT_EQ(str_len(s, literal("hello")), 5);
  EXPECT_EQ(str_len(s, literal("")), 0);
  EXPECT_EQ(str_len(s, block("abc", 10)), 3);
  EXPECT_EQ(str_len(s, literal(std::string(65536, 'z'))), 65536);
}

TEST_F(TextKeywords, StrChrAndStrNumWriteTheirTexts) {
  const struct {
    int32_t code;
    const char* want;
  } chars[] = {{65, "A"}, {0, ""}, {256 + 66, "B"}, {-1, "\xff"}, {32, " "}};
  for (const auto& c : chars) {
    const int32_t t = block("old");
    str_chr(s, t, c.code);
    EXPECT_EQ(text(t), c.want) << c.code;
  }

  const struct {
    int32_t v, d;
    const char* want;
  } numbers[] = {
      {12345, 2, "123.45"},
      {5, 3, "0.005"},
      {-5, 2, "-0.05"},
      {-7, 0, "-7"},
      {42, -1, "42.000000"},
      {2147483647, 0, "2147483647"},
      {INT_MIN, 0, "-2147483648"},
      {1, 1, "0.1"},
      {INT_MIN, -5, "-2147483648.000000"},
      {7, 400, "0.000000000000000000000000000000000000"},
      {7, INT_MAX, "0.000000000000000000000000000000000000"},
  };
  for (const auto& c : numbers) {
    const int32_t t = block("old", 38);
    str_num(s, t, c.v, c.d);
    EXPECT_EQ(text(t), c.want) << c.v << " with " << c.d << " decimals";
  }
  const int32_t small = block("", 3);
  str_num(s, small, 12345, 2);
  EXPECT_EQ(text(small), "123");
}

TEST_F(TextKeywords, StrValReadsDecimalHexadecimalAndOctalNumbers) {
  const struct {
    const char* text;
    int32_t want;
  } cases[] = {
      {"42", 42},
      {"0x1F", 31},
      {"0X1f", 31},
      {"017", 15},
      {"abc", 0},
      {"", 0},
      {"  -12xyz", -12},
      {"+7", 7},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
      {"0xFFFFFFFF", INT_MAX},
      {"08", 0},
      {"-0x10", -16},
  };
  for (const auto& c : cases) EXPECT_EQ(str_val(s, literal(c.text)), c.want) << c.text;
  EXPECT_EQ(str_val(s, block("123", 3)), 123);
}

TEST_F(TextKeywords, FileExistsForFilesThatCanBeRead) {
  const fs::path dir = fs::temp_directory_path() / ("korva_text_" + std::to_string(::getpid()));
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "sub" / "here.txt") << "x";
  const std::string here = (dir / "sub" / "here.txt").string();
  std::string windows_style = here;
  windows_style.replace(windows_style.rfind('/'), 1, "\\");
  EXPECT_EQ(file_exists(s, literal(here)), -1);
  EXPECT_EQ(file_exists(s, block(here, 300)), -1);
  EXPECT_EQ(file_exists(s, literal(windows_style)), -1);
  EXPECT_EQ(file_exists(s, literal((dir / "sub" / "missing.txt").string())), 0);
  EXPECT_EQ(file_exists(s, literal((dir / "sub").string())), 0);  // a folder is not a file
  EXPECT_EQ(file_exists(s, literal("")), 0);
  fs::remove_all(dir);
}

// The keywords as a brain calls them: literals from the brain's own text, blocks by handle.
TEST(TextKeywordBrain, ABrainBuildsAndReadsTexts) {
  const fs::path file =
      fs::temp_directory_path() / ("korva_text_brain_" + std::to_string(::getpid()) + ".brn");
  std::ofstream(file) << "var h=0\n"
                         "var n=0\n"
                         "var c=0\n"
                         "var v=0\n"
                         "var z=0\n"
                         "h=str_create(20)\n"
                         "str_copy(h, \"Hello\", 1, 10)\n"
                         "n=str_len(h)\n"
                         "c=str_comp(h, \"ELLO\", 0)\n"
                         "str_num(h, 1234, 2)\n"
                         "str_add(h, \"5\")\n"
                         "v=str_val(h)\n"
                         "z=str_comp(\"ab\", \"AB\", 1)\n";
  std::vector<std::string> shown;
  auto blocks = std::make_unique<Blocks>();
  const BrainRunResult r = run_brain_file(
      file.string(), 1,
      [](KeywordBindings& b) {
        bind_runtime_keywords(b);
        bind_text_keywords(b);
      },
      [&](System& sys) {
        sys.blocks = blocks.get();
        sys.core->ui.message_box = [&](std::string_view t, std::string_view, std::string_view) {
          shown.emplace_back(t);
          return 1;
        };
      });
  fs::remove(file);
  ASSERT_TRUE(r.compiled) << r.compile_error;
  EXPECT_TRUE(shown.empty()) << shown.front();
  // "12.345" reads as 12: the conversion stops at the full stop.
  expect_variables(r, {{"h", "0"}, {"n", "4"}, {"c", "0"}, {"v", "12"}, {"z", "1"}});
}

TEST(TextKeywordBindings, EveryTextKeywordIsBound) {
  KeywordBindings b;
  bind_text_keywords(b);
  for (const char* name : {"str_comp", "str_len", "str_copy", "str_add", "str_chr", "str_num",
                           "str_val", "file_exists"}) {
    const int32_t row = keyword_find(name);
    ASSERT_GE(row, 0) << name;
    EXPECT_NE(b.routine[row], nullptr) << name;
  }
}

}  // namespace
}  // namespace korva
