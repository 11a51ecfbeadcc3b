// Golden pictures: a picture made by a test is compared with its reference PNG in
// tests/<folder>/golden/<name>.png within a tolerance, because rasterisers and font renderers
// differ in last bits and along edges. The picture made is always written to
// <build>/golden_actual/<name>.png for inspection; KORVA_UPDATE_GOLDEN=1 replaces the reference.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korva::golden {

struct Tolerance {
  double mean = 1.5;            // mean difference per channel
  double far_fraction = 0.005;  // share of pixels with a channel more than 24 off
};

inline void expect_rgb(const std::vector<uint8_t>& got, int32_t w, int32_t h, const std::string& folder,
                       const std::string& name, Tolerance t = {}) {
  const std::filesystem::path out = std::filesystem::path(KORVA_BINARY_DIR) / "golden_actual";
  std::filesystem::create_directories(out);
  ASSERT_TRUE(platform::png_write((out / (name + ".png")).string(), w, h, got.data()));
  const std::string reference = std::string(KORVA_SOURCE_DIR) + "/tests/" + folder + "/golden/" + name + ".png";
  if (const char* u = std::getenv("KORVA_UPDATE_GOLDEN"); u && std::string(u) == "1") {
    std::filesystem::create_directories(std::filesystem::path(reference).parent_path());
    ASSERT_TRUE(platform::png_write(reference, w, h, got.data()));
  }
  std::vector<uint8_t> want;
  int32_t rw = 0, rh = 0;
  ASSERT_TRUE(platform::image_load_rgb(reference, want, rw, rh)) << "missing " << reference;
  ASSERT_EQ(rw, w) << name;
  ASSERT_EQ(rh, h) << name;
  ASSERT_EQ(got.size(), want.size()) << name;
  double total = 0.0;
  int64_t far_off = 0;
  for (size_t i = 0; i < got.size(); i += 3) {
    int worst = 0;
    for (size_t k = 0; k < 3; ++k) {
      const int diff = std::abs(int(got[i + k]) - int(want[i + k]));
      total += diff;
      worst = std::max(worst, diff);
    }
    far_off += worst > 24;
  }
  EXPECT_LT(total / double(got.size()), t.mean) << name;
  EXPECT_LE(double(far_off) / double(got.size() / 3), t.far_fraction) << name << ": " << far_off << " pixels differ";
}

inline void expect_surface(const platform::Surface& s, const std::string& folder, const std::string& name,
                           Tolerance t = {}) {
  std::vector<uint8_t> rgb;
  platform::surface_to_rgb(s, rgb);
  expect_rgb(rgb, s.width, s.height, folder, name, t);
}

}  // namespace korva::golden
