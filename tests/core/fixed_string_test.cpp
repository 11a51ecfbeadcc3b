// The FixedString library: slots, fields, numbers, substrings, ranges, capacity rules.
#include <gtest/gtest.h>

#include <string>

#include "core/core.h"

namespace korva {
namespace {

class Strings : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  Core& c = *core;
  std::string s(const FixedString& f) { return std::string(f.view()); }
};

TEST_F(Strings, StackIsStrictlyLastInFirstOut) {
  int32_t before = str_stack_free(c);
  FixedString& a = str_temp(c);
  FixedString& b = str_temp(c);
  EXPECT_EQ(&b + 1, &a);  // the top moves down
  str_release(c, a);      // not the top: nothing happens
  EXPECT_EQ(str_stack_free(c), before - 2);
  str_release(c, b);
  str_release(c, a);
  EXPECT_EQ(str_stack_free(c), before);

  FixedString* table[4];
  ASSERT_TRUE(str_temp_array(c, table, 3));
  EXPECT_EQ(str_stack_free(c), before - 4);
  for (int i = 3; i >= 0; --i) str_release(c, *table[i]);
  EXPECT_EQ(str_stack_free(c), before);
}

TEST_F(Strings, ExhaustedStackNeverWritesOutsideThePool) {
  while (str_stack_free(c) > 0) str_temp(c);
  FixedString& extra = str_temp(c);
  str_set(extra, "still usable");
  EXPECT_EQ(s(extra), "still usable");
  str_release(c, extra);
  EXPECT_EQ(str_stack_free(c), 0);
  FixedString* table[3];
  EXPECT_FALSE(str_temp_array(c, table, 2));
}

TEST_F(Strings, AppendsPastCapacityLeaveTheTargetUnchanged) {
  FixedString& t = str_temp(c);
  std::string big(2040, 'x');
  str_set(t, big);
  str_cat(t, "12345");  // 2045 > 2044
  EXPECT_EQ(t.len, 2040);
  str_cat(t, "1234");
  EXPECT_EQ(t.len, 2044);
  str_cat_char(t, 'y');
  EXPECT_EQ(t.len, 2044);

  char unterminated[3000];
  std::memset(unterminated, 'a', sizeof unterminated);
  str_from_platform(t, unterminated);
  EXPECT_EQ(t.len, 0);
  str_from_platform(t, "hello");
  EXPECT_EQ(s(t), "hello");
}

TEST_F(Strings, FieldGet) {
  struct Case { const char* s; int n; const char* want; } cases[] = {
      {"a|b|c", 2, "b"}, {"a|b|c", 4, ""}, {"a|b|c", 0, ""}, {"a|b|c", -1, ""},
      {"a||c", 2, ""},   {"a||c", 3, "c"}, {"a|", 2, ""},    {"abc", 1, "abc"},
      {"", 1, ""},       {"|x", 1, ""},    {"|x", 2, "x"},
  };
  for (const auto& k : cases) EXPECT_EQ(s(field_get(c, k.s, k.n, '|')), k.want) << k.s << " " << k.n;
  EXPECT_EQ(s(field_get(c, "a|b", 1, '\0')), "");
}

TEST_F(Strings, FieldSetAndCount) {
  struct Case { const char* s; int n; const char* v; const char* want; } cases[] = {
      {"a", 3, "X", "a||X"}, {"a|b|c", 2, "X", "a|X|c"}, {"", 1, "X", "X"},
      {"", 3, "X", "||X"},   {"a|b", 2, "", "a|"},       {"a|b|c", 1, "Z", "Z|b|c"},
      {"a|b|c", 3, "Z", "a|b|Z"}, {"a|b", 0, "Z", ""},
  };
  for (const auto& k : cases) {
    str_set(c.str.operand, k.v);
    EXPECT_EQ(s(field_set(c, k.s, k.n, '|')), k.want) << k.s << " " << k.n;
  }
  EXPECT_EQ(field_count(c, "", '|'), 0);
  EXPECT_EQ(field_count(c, "abc", '|'), 1);
  EXPECT_EQ(field_count(c, "a|", '|'), 2);
  EXPECT_EQ(c.str.last_result, 2);
}

TEST_F(Strings, FunctionsMayReadTheirOwnResult) {
  str_set(c.str.result, "one|two|three");
  EXPECT_EQ(s(field_get(c, c.str.result, 2, '|')), "two");
  str_set(c.str.operand, "X");
  str_set(c.str.result, "a|b|c");
  EXPECT_EQ(s(field_set(c, c.str.result, 2, '|')), "a|X|c");
  EXPECT_EQ(s(str_upper(c, c.str.result)), "A|X|C");
  EXPECT_EQ(s(str_mid(c, c.str.result, 3, 3)), "X|C");
}

TEST_F(Strings, NumberConversions) {
  struct Int { const char* s; int32_t want; } ints[] = {
      {"  -42xyz", -42}, {"+5", 0}, {"- 5", 0}, {"", 0}, {"   ", 0}, {"\t7", 0},
      {"123", 123}, {"4294967297", 1} /* wraps like a 32-bit register */,
  };
  for (const auto& k : ints) EXPECT_EQ(str_to_int(c, k.s), k.want) << k.s;

  struct Fix { const char* s; int32_t want; } fixes[] = {
      {"12.5", 12500}, {"-1.25", -1250}, {"7", 7000}, {"1.2345", 1234}, {".5", 500}, {"-0.5", -500},
  };
  for (const auto& k : fixes) EXPECT_EQ(str_to_fixed3(c, k.s), k.want) << k.s;

  struct Text { int32_t v; const char* fixed; const char* dec; const char* hex; } texts[] = {
      {12500, "12.500", "12500", "000030D4"},     {5, "0.005", "5", "00000005"},
      {-1500, "-1.500", "-1500", "FFFFFA24"},     {-999, "-0.999", "-999", "FFFFFC19"},
      {INT32_MIN, "-2147483.648", "-2147483648", "80000000"},
  };
  for (const auto& k : texts) {
    EXPECT_EQ(s(str_from_fixed3(c, k.v)), k.fixed);
    EXPECT_EQ(s(int_to_str(c, k.v)), k.dec);
    EXPECT_EQ(s(int_to_hex(c, k.v)), k.hex);
  }
  EXPECT_EQ(s(char_str(c, 65)), "A");
}

TEST_F(Strings, Comparisons) {
  EXPECT_EQ(str_icmp("abc", "ABD"), -1);
  EXPECT_EQ(str_icmp("ab", "abc"), -1);
  EXPECT_EQ(str_icmp("b", ""), 1);
  EXPECT_EQ(str_icmp("", ""), 0);
  EXPECT_EQ(str_icmp("[", "a"), -1);  // only letters fold: '[' (91) < 'a' (97)
  EXPECT_EQ(str_cmp("B", "a"), -1);
  EXPECT_EQ(str_cmp("\xff", "a"), 1);  // unsigned bytes
  EXPECT_EQ(str_equal(c, "ab", "ab"), 0);
  EXPECT_NE(str_equal(c, "ab", "abc"), 0);
  EXPECT_EQ(first_code(c, "\xe9x"), 0xE9);
  EXPECT_EQ(first_code(c, ""), 0);
}

TEST_F(Strings, Substrings) {
  struct Case { const char* name; std::string got; const char* want; };
  const char* t = "abcdef";
  Case cases[] = {
      {"left 3", s(str_left(c, t, 3)), "abc"},        {"left 9", s(str_left(c, t, 9)), "abcdef"},
      {"left 0", s(str_left(c, t, 0)), ""},           {"right 2", s(str_right(c, t, 2)), "ef"},
      {"right 9", s(str_right(c, t, 9)), "abcdef"},   {"mid 0,2", s(str_mid(c, t, 0, 2)), "ab"},
      {"mid 5,9", s(str_mid(c, t, 5, 9)), "ef"},      {"mid 7,1", s(str_mid(c, t, 7, 1)), ""},
      {"drop right 2", s(str_drop_right(c, t, 2)), "abcd"},
      {"drop right 9", s(str_drop_right(c, t, 9)), ""},
      {"drop left 2", s(str_drop_left(c, t, 2)), "cdef"},
      {"drop left 6", s(str_drop_left(c, t, 6)), ""},
      {"upper", s(str_upper(c, "a\tB-z")), "A B-Z"},  {"lower", s(str_lower(c, "A\tb-Z")), "a b-z"},
      {"trim", s(str_trim(c, " \t a  b \t")), "a  b"}, {"trim blank", s(str_trim(c, "  ")), ""},
      {"mask", s(str_mask_quoted(c, "x=\"a b\"+\"c")), "x=\"...\"+\"c"},
      {"repeat 3", s(str_repeat(c, "ab", 3)), "ababab"}, {"repeat 0", s(str_repeat(c, "ab", 0)), "ab"},
      {"replace", s(str_replace_all(c, "aaa", "aa", "b")), "ba"},
      {"replace no rescan", s(str_replace_all(c, "abc", "b", "bb")), "abbc"},
      {"replace empty search", s(str_replace_all(c, "abc", "", "x")), "abc"},
  };
  for (const auto& k : cases) EXPECT_EQ(k.got, k.want) << k.name;
  EXPECT_EQ(str_repeat(c, std::string(1000, 'x'), 5).len, 2000);  // whole copies only
}

TEST_F(Strings, Find) {
  str_set(c.str.operand, "ab");
  struct Case { const char* s; int start; int want; } cases[] = {
      {"xxabab", 1, 3}, {"xxabab", 4, 5}, {"xxabab", 0, 0}, {"xxabab", 6, 0}, {"xxabab", 7, 0}, {"ab", 1, 1},
  };
  for (const auto& k : cases) EXPECT_EQ(str_find(c, k.s, k.start), k.want) << k.s << " " << k.start;
  str_set(c.str.operand, "");
  EXPECT_EQ(str_find(c, "abc", 1), 0);
}

TEST_F(Strings, Ranges) {
  struct Wrap { int32_t v, lo, hi, want; } wraps[] = {
      {-10, 0, 9, 0}, {10, 0, 9, 0}, {-1, 0, 9, 9}, {5, 0, 9, 5}, {25, 0, 9, 5}, {-11, 0, 9, 9},
      {3, 5, 5, 5}, {3, 7, 2, 2}, {INT32_MIN, 0, INT32_MAX, 0},
  };
  for (const auto& k : wraps) EXPECT_EQ(wrap_range(c, k.v, k.lo, k.hi), k.want) << k.v;
  EXPECT_EQ(clamp_range(c, -5, 0, 10), 0);
  EXPECT_EQ(clamp_range(c, 15, 0, 10), 10);
  EXPECT_EQ(clamp_range(c, 5, 0, 10), 5);
}

TEST_F(Strings, RandomRangeReadsTheTableAndThePumpCounter) {
  uint8_t* t = c.pool(Pool::Random);
  for (int i = 0; i < 2000; ++i) t[i] = static_cast<uint8_t>(i * 7 + 3);
  EXPECT_EQ(random_range(c, 5, 5), 5);
  EXPECT_EQ(c.random_cursor, 0);  // an empty range does not advance
  int32_t v = random_range(c, 0, 1000000);
  uint32_t word = t[1] | t[2] << 8 | t[3] << 16 | uint32_t(t[4]) << 24;
  EXPECT_EQ(v, wrap_range(int32_t(word >> 1), 0, 1000000));
  c.pump_counter = 3;
  c.random_cursor = 1996;
  random_range(c, 0, 10);  // the word at 1997 reaches past the table's end
  EXPECT_EQ(c.random_cursor, 1997);
  random_range(c, 0, 10);
  EXPECT_EQ(c.random_cursor, 1);  // restarted before advancing
  for (int i = 0; i < 5000; ++i) {
    int32_t r = random_range(c, -3, 3);
    ASSERT_GE(r, -3);
    ASSERT_LE(r, 3);
  }
}

TEST_F(Strings, SortOrdersListSlotsIgnoringCase) {
  const char* names[] = {"delta", "Alpha", "(dir) zz", "charlie", "Bravo", "alpha2", "echo"};
  int n = 7;
  for (int i = 0; i < n; ++i) str_set(*c.list_table[i + 1], names[i]);
  str_sort(c, 1, n);
  const char* want[] = {"(dir) zz", "Alpha", "alpha2", "Bravo", "charlie", "delta", "echo"};
  for (int i = 0; i < n; ++i) EXPECT_EQ(s(*c.list_table[i + 1]), want[i]);
  str_sort(c, 3, 3);  // single element and empty ranges are fine
  str_sort(c, 5, 2);
}

TEST_F(Strings, PrintGoesToTheScreenWhenNoFileIsSelected) {
  std::string seen;
  c.screen_print = [&](std::string_view t, bool nl) { seen += std::string(t) + (nl ? "\n" : ""); };
  print_text(c, "a");
  print_line(c, "b");
  EXPECT_EQ(seen, "ab\n");
}

}  // namespace
}  // namespace korva
