// Golden pictures: a picture made by a test is compared with its reference PNG in
// tests/<folder>/golden/<name>.png. Pictures of the 8-bit panel screen must match exactly; 3D
// pictures from the software rasteriser may differ in the last bits of a colour and along the
// edges of a triangle between Mesa versions, so they get a small per-channel allowance and a
// bound on the share of pixels beyond it. The picture made is always written to
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
  double channel = 2.0;       // a pixel matches when no channel is more than this off
  double differing = 0.001;   // share of pixels allowed not to match
};

// Pictures built from palette colours and bitmap fonts: any difference is a real change.
inline constexpr Tolerance kExact{0.0, 0.0};
// Pictures with a 3D scene rendered through llvmpipe: last-bit rounding, and a few edge
// pixels that a different Mesa may cover differently. A uniform shift of 3 still fails.
inline constexpr Tolerance kRendered3D{2.0, 0.001};

struct Difference {
  int64_t pixels = 0;     // pixels beyond the per-channel allowance
  int32_t worst = 0;      // the largest channel difference seen
  double share = 0.0;     // pixels / all pixels
  bool passes = false;
};

// Compares two RGB pictures of the same size, three bytes per pixel.
inline Difference compare(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, Tolerance t) {
  Difference d;
  if (got.size() != want.size() || got.size() % 3 != 0) return d;
  for (size_t i = 0; i < got.size(); i += 3) {
    int worst = 0;
    for (size_t k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(got[i + k]) - int(want[i + k])));
    d.worst = std::max(d.worst, worst);
    d.pixels += worst > t.channel;
  }
  d.share = got.empty() ? 0.0 : double(d.pixels) / double(got.size() / 3);
  d.passes = d.share <= t.differing;
  return d;
}

inline void expect_rgb(const std::vector<uint8_t>& got, int32_t w, int32_t h, const std::string& folder,
                       const std::string& name, Tolerance t = kRendered3D) {
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
  const Difference d = compare(got, want, t);
  EXPECT_TRUE(d.passes) << name << ": " << d.pixels << " pixels differ by more than " << t.channel
                        << " (at most " << d.worst << "); see " << (out / (name + ".png")).string();
}

inline void expect_surface(const platform::Surface& s, const std::string& folder, const std::string& name,
                           Tolerance t = kRendered3D) {
  std::vector<uint8_t> rgb;
  platform::surface_to_rgb(s, rgb);
  expect_rgb(rgb, s.width, s.height, folder, name, t);
}

}  // namespace korva::golden
