// Shared by the brain fixture runners: the "; expect: name=value" check after a run, and the
// test name a fixture file gets.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "brain/brain_run.h"

namespace korva {

// Every expected variable exists and holds its value (compared as decimal text).
inline void expect_variables(const BrainRunResult& r,
                             const std::vector<std::pair<std::string, std::string>>& expected) {
  for (const auto& entry : expected) {
    const std::string& name = entry.first;  // a named copy: lambdas capture no structured bindings in clang 14
    const std::string& value = entry.second;
    auto it = std::find_if(r.variables.begin(), r.variables.end(),
                           [&](const auto& v) { return v.first == name; });
    ASSERT_NE(it, r.variables.end()) << "no variable " << name;
    EXPECT_EQ(std::to_string(it->second), value) << name;
  }
}

// "family/case.brn" gives "family_case".
inline std::string fixture_test_name(const ::testing::TestParamInfo<std::string>& p) {
  std::string name = p.param.substr(0, p.param.size() - 4);
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

}  // namespace korva
