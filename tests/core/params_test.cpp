// Command-line "/" numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/core.h"
#include "core/params.h"

namespace korva {
namespace {

std::vector<int32_t> parsed(Core& c, std::string_view line) {
  parse_params(c, line);
  return std::vector<int32_t>(c.par, c.par + c.par_count);
}

TEST(Params, ParsesSlashNumbersAndStopsWhereTheRuleSays) {
  auto core = core_create();
  struct Case {
    const char* line;
    std::vector<int32_t> want;
  } cases[] = {
      {"/5   /-3   /12", {5, -3, 12}},
      {"/5\t\t/-3 \t /12", {5, -3, 12}},
      {"/5 word /6", {5}},           // a word without "/" ends the list
      {"5 /6", {}},                  // must begin with "/"
      {"", {}},
      {" /5", {}},
      {"/+7 /x /8", {7, 0, 8}},      // no digits converts to 0
      {"/ 9 /10", {9}},              // the blank after "/" is skipped by the conversion only
      {"/12abc/13 /14", {12, 14}},   // the rest of a token is skipped
      {"/2147483648", {INT32_MIN}},  // wraps like a 32-bit register
      {"/", {0}},
  };
  for (const auto& k : cases) EXPECT_EQ(parsed(*core, k.line), k.want) << k.line;
}

TEST(Params, KeepsTheFirst256AndReadsZeroOutsideTheList) {
  auto core = core_create();
  std::string line;
  for (int i = 1; i <= 300; ++i) line += "/" + std::to_string(i) + " ";
  parse_params(*core, line);
  EXPECT_EQ(core->par_count, 256);
  EXPECT_EQ(par_get(*core, 0), 1);
  EXPECT_EQ(par_get(*core, 255), 256);
  EXPECT_EQ(par_get(*core, 256), 0);
  EXPECT_EQ(par_get(*core, -1), 0);

  // A new parse clears the old list; arbitrary bytes never read outside the text.
  std::string junk(1 << 20, '/');
  for (size_t i = 0; i < junk.size(); i += 7) junk[i] = static_cast<char>(i * 31);
  parse_params(*core, junk);
  EXPECT_LE(core->par_count, 256);
  parse_params(*core, "none");
  EXPECT_EQ(core->par_count, 0);
}

}  // namespace
}  // namespace korva
