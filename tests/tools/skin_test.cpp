// The panel skins decode with the GUI's PCX rules to a 128-pixel-wide image whose regions are
// where the GUI reads them, in a palette that the colour-cube rule leaves unchanged.
#include <gtest/gtest.h>

#include "mkdata.h"

namespace korva::mkdata {
namespace {

int32_t luma(const Rgb& c) { return (299 * c.r + 587 * c.g + 114 * c.b) / 1000; }

TEST(Palette, EveryEntryMapsToItsOwnIndex) {
  const Palette& p = gui_palette();
  for (int32_t i = 0; i < 256; ++i) EXPECT_EQ(gui_rgb_index(p[i].r, p[i].g, p[i].b), i) << "entry " << i;
}

TEST(Palette, CubeRuleEdges) {
  const struct {
    int32_t r, g, b, index;
  } cases[] = {{0, 0, 0, 0},       {10, 10, 10, 1},    {8, 8, 7, 0},     {15, 16, 16, 1},
               {16, 0, 0, 2},      {255, 0, 0, 218},   {0, 0, 255, 7},   {255, 255, 200, 252},
               {241, 240, 240, 254}, {255, 255, 255, 255}, {240, 255, 255, 253}};
  for (const auto& c : cases) EXPECT_EQ(gui_rgb_index(c.r, c.g, c.b), c.index) << c.r << "," << c.g << "," << c.b;
}

TEST(Pcx, RoundTripsOddWidthsLongRunsAndHighIndices) {
  Image8 img(5, 3);
  const uint8_t values[15] = {1, 200, 200, 7, 255, 0, 0, 0, 0, 0, 192, 193, 3, 3, 3};
  std::copy(std::begin(values), std::end(values), img.pixels.begin());
  Image8 wide(130, 2, 9);  // runs longer than 63 are split
  wide.at(129, 1) = 250;
  for (const Image8* source : {&img, &wide}) {
    Image8 back;
    Palette pal;
    ASSERT_TRUE(pcx_decode(pcx_encode(*source, gui_palette()), back, &pal));
    EXPECT_EQ(back.width, source->width);
    EXPECT_EQ(back.height, source->height);
    EXPECT_EQ(back.pixels, source->pixels);
    EXPECT_EQ(pal[200].r, gui_palette()[200].r);
  }
}

TEST(Pcx, RejectsWhatTheGuiWouldNotLoad) {
  Bytes good = pcx_encode(Image8(4, 4, 5), gui_palette());
  Image8 out;
  Bytes bad = good;
  bad[0] = 11;
  EXPECT_FALSE(pcx_decode(bad, out));
  EXPECT_FALSE(pcx_decode(Bytes(good.begin(), good.begin() + 200), out));  // cut short
  EXPECT_TRUE(pcx_decode(good, out));
}

class Skin : public testing::TestWithParam<SkinVariant> {
 protected:
  void SetUp() override {
    const std::string path = find_font_file(true);
    if (!path.empty()) face.open(path);
    const Bytes file = pcx_encode(make_skin(GetParam(), face.is_open() ? &face : nullptr), gui_palette());
    ASSERT_TRUE(pcx_decode(file, skin, &palette));
  }
  Rgb colour(int32_t x, int32_t y) const { return palette[skin.at(x, y)]; }

  Typeface face;
  Image8 skin;
  Palette palette;
};

TEST_P(Skin, DecodesToTheSizeThePanelPoolHolds) {
  EXPECT_EQ(skin.width, 128);
  EXPECT_GE(skin.height, 56);
  EXPECT_LE(skin.width * skin.height, 16384);
  for (int32_t i = 0; i < 256; ++i) EXPECT_EQ(gui_rgb_index(palette[i].r, palette[i].g, palette[i].b), i);
}

TEST_P(Skin, ColourPixelsOfRowZeroContrastWhereTextMeetsFill) {
  // (text colour x, fill colour x): every text the GUI prints must stand out from its ground.
  const struct {
    int32_t text, fill;
  } pairs[] = {{49, 0}, {37, 52}, {85, 86}, {37, 86}, {49, 88}};
  for (const auto& p : pairs) {
    EXPECT_GE(std::abs(luma(colour(p.text, 0)) - luma(colour(p.fill, 0))), 90) << p.text << " on " << p.fill;
  }
  // The title band fill differs from the window fill, so the band shows.
  EXPECT_NE(skin.at(28, 3), skin.at(0, 0));
}

TEST_P(Skin, FrameTilesAreOpaqueAndBandMatchesTheBorder) {
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 108; ++x) EXPECT_NE(skin.at(x, y), 0) << x << "," << y;
  }
  // The band continues the window's top tiles, so there is no seam under the title strip.
  EXPECT_EQ(skin.at(4, 3), skin.at(28, 3));
}

TEST_P(Skin, TitleStripBoxesAndCursorAreWhereTheGuiCopiesThem) {
  int32_t transparent = 0, drawn = 0;
  for (int32_t y = 4; y < 26; ++y) {
    for (int32_t x = 0; x < 128; ++x) (skin.at(x, y) == 0 ? transparent : drawn)++;
  }
  EXPECT_GT(transparent, drawn);  // mostly see-through, over the band
  EXPECT_GT(drawn, 20);
  // Both 34 x 14 box images are opaque and differ (active and inactive).
  bool differ = false;
  for (int32_t y = 26; y < 40; ++y) {
    for (int32_t x = 0; x < 34; ++x) {
      EXPECT_NE(skin.at(x, y), 0);
      EXPECT_NE(skin.at(34 + x, y), 0);
      differ |= skin.at(x, y) != skin.at(34 + x, y);
    }
  }
  EXPECT_TRUE(differ);
  // Cursor: its tip at the top-left, transparent around the arrow; save-under area empty.
  EXPECT_NE(skin.at(0, 40), 0);
  EXPECT_EQ(skin.at(15, 40), 0);
  int32_t cursor = 0;
  for (int32_t y = 40; y < 56; ++y) {
    for (int32_t x = 0; x < 16; ++x) cursor += skin.at(x, y) != 0;
    for (int32_t x = 16; x < 32; ++x) EXPECT_EQ(skin.at(x, y), 0);
  }
  EXPECT_GT(cursor, 40);
}

INSTANTIATE_TEST_SUITE_P(Variants, Skin, testing::Values(SkinVariant::Editor, SkinVariant::Player));

}  // namespace
}  // namespace korva::mkdata
