// Values at the ends of the 32-bit range, which a brain or a hand-edited project may hold, in a
// real run of the kinds project: the run goes its frames and ends as usual, with no brain fault.
// In the sanitizer build these are the cases where the arithmetic once overflowed.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "installation_run.h"

namespace korva {
namespace {

class EdgeValuesRun : public InstallationRun {
 protected:
  EdgeValuesRun() : InstallationRun("edge-values") {}
};

TEST_F(EdgeValuesRun, KeywordArgumentsAndRecordFieldsAtTheEndsOfTheRangeRunToTheEnd) {
  std::string p = read("projects/kinds/kinds.prj");
  // Element 0's brain: text printed at the far right and far bottom, a pull of INT32_MIN,
  // velocities whose negation or fourfold no longer fits, a follower at INT32_MIN.
  const std::string brain =
      "@0\r\n"
      "print_num(7, 0, 0, 2147483647, 12)\r\n"
      "print_num(7, 0, 0, 12, 2147483647)\r\n"
      "over_ground_g(element#5, 0, -2147483648)\r\n"
      "velocity_x_set(element#5, -2147483648)\r\n"
      "velocity_z_set(element#5, -2147483648)\r\n"
      "ground_color_rebound(element#5, ground_color(element#5))\r\n"
      "velocity_y_set(element#6, 536870912)\r\n"
      "rebound_y(element#6)\r\n"
      "position_x_set(element#7, -2147483648)\r\n"
      "follow(element#7, element#6, 0, 0, 512)\r\n";
  const size_t at = p.find("@0\r\n"), end = p.find("@1\r\n");
  ASSERT_NE(at, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  p.replace(at, end - at, brain);
  // The camera's viewport and the band's rectangle: wider and higher than an int holds.
  const std::pair<std::string, std::string> fields[] = {
      {"|0|40/24/599/367/0/20&40/7|", "|0|-2147483647/-2147483647/2147483647/2147483647/0/20&40/7|"},
      {"|7|40/384/599/455/0x0|", "|7|-2147483647/384/2147483647/455/0x0|"}};
  for (const auto& [was, now] : fields) {
    ASSERT_NE(p.find(was), std::string::npos) << was;
    p.replace(p.find(was), was.size(), now);
  }
  write("projects/kinds/kinds.prj", p);

  EXPECT_EQ(run("projects/kinds/kinds.prj\r\n1\r\n0\r\n0\r\n0\r\n", "", 10), 0) << read("stderr.txt");
  const std::string said = read("stderr.txt");
  EXPECT_EQ(said.find("ERROR"), std::string::npos) << said;
}

}  // namespace
}  // namespace korva
