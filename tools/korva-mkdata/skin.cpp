// The panel skin ("panels.pcx" for the editors, "panels2.pcx" for the stand-alone player): frame
// tiles, title strip, title-bar boxes and the mouse cursor, drawn at the places where the GUI
// toolkit reads them. The look is flat and light: grey windows under an accent title band.
#include <array>

#include "mkdata.h"

namespace korva::mkdata {
namespace {

using Tile = std::array<std::array<uint8_t, 4>, 4>;  // [row][column]

struct Colours {
  uint8_t accent, accent_light, close_fill;
  uint8_t window = cube(5, 5, 5);      // grey 216: window fill
  uint8_t text = cube(1, 1, 1);        // grey 58: window text
  uint8_t label = cube(1, 0, 0);       // grey 39: button labels and the caret
  uint8_t face = cube(6, 5, 5);        // grey 237: raised button face
  uint8_t shade = cube(4, 4, 4);       // grey 176: raised button shadow
  uint8_t white = 255;
  uint8_t inset_edge = cube(3, 3, 3);  // grey 137: sunken frame outline
  uint8_t input_text = cube(1, 0, 0);  // grey 39
  uint8_t field = 255;                 // input field and inset button fill
};

void put_tile(Image8& skin, int32_t left, const Tile& t) {
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 4; ++x) skin.at(left + x, y) = t[y][x];
  }
}

// Eight edge tiles and the centre of one frame style, laid out from `left` in the order
// top-left, top, top-right, left, centre, right, bottom-left, bottom, bottom-right.
void put_frame(Image8& skin, int32_t left, const std::array<Tile, 9>& tiles) {
  for (int32_t i = 0; i < 9; ++i) put_tile(skin, left + 4 * i, tiles[i]);
}

std::array<Tile, 9> window_tiles(const Colours& c) {
  const uint8_t A = c.accent, W = c.window;
  // A three-pixel accent border that runs seamlessly into the title band, which starts three
  // pixels in. The top-left pixel carries the window fill colour (the GUI reads it there); the
  // title strip covers it.
  return {{
      {{{W, A, A, A}, {A, A, A, A}, {A, A, A, A}, {A, A, A, A}}},  // top-left
      {{{A, A, A, A}, {A, A, A, A}, {A, A, A, A}, {A, A, A, A}}},  // top
      {{{A, A, A, A}, {A, A, A, A}, {A, A, A, A}, {A, A, A, A}}},  // top-right
      {{{A, A, A, W}, {A, A, A, W}, {A, A, A, W}, {A, A, A, W}}},  // left
      {{{W, W, W, W}, {W, W, W, W}, {W, W, W, W}, {W, W, W, W}}},  // centre
      {{{W, A, A, A}, {W, A, A, A}, {W, A, A, A}, {W, A, A, A}}},  // right
      {{{A, A, A, W}, {A, A, A, A}, {A, A, A, A}, {A, A, A, A}}},  // bottom-left
      {{{W, W, W, W}, {A, A, A, A}, {A, A, A, A}, {A, A, A, A}}},  // bottom: row 3 = band fill
      {{{W, A, A, A}, {A, A, A, A}, {A, A, A, A}, {A, A, A, A}}},  // bottom-right
  }};
}

std::array<Tile, 9> raised_tiles(const Colours& c) {
  const uint8_t W = c.window, L = c.label, T = c.text, F = c.face, H = c.white, S = c.shade;
  // Outline in the label colour with a light top and a soft shadow at the right and bottom.
  // Row 0 column 1 of the corner is the label colour, column 1 of the left edge the window
  // text colour and the centre the face: the GUI reads those three pixels as colours.
  return {{
      {{{W, L, L, L}, {L, H, H, H}, {L, T, F, F}, {L, T, F, F}}},  // top-left
      {{{L, L, L, L}, {H, H, H, H}, {F, F, F, F}, {F, F, F, F}}},  // top
      {{{L, L, L, W}, {H, H, S, L}, {F, F, S, L}, {F, F, S, L}}},  // top-right
      {{{L, T, F, F}, {L, T, F, F}, {L, T, F, F}, {L, T, F, F}}},  // left
      {{{F, F, F, F}, {F, F, F, F}, {F, F, F, F}, {F, F, F, F}}},  // centre
      {{{F, F, S, L}, {F, F, S, L}, {F, F, S, L}, {F, F, S, L}}},  // right
      {{{L, T, F, F}, {L, T, F, F}, {L, S, S, S}, {W, L, L, L}}},  // bottom-left
      {{{F, F, F, F}, {F, F, F, F}, {S, S, S, S}, {L, L, L, L}}},  // bottom
      {{{F, F, S, L}, {F, F, S, L}, {S, S, S, L}, {L, L, L, W}}},  // bottom-right
  }};
}

std::array<Tile, 9> inset_tiles(const Colours& c) {
  const uint8_t W = c.window, O = c.inset_edge, I = c.input_text, F = c.field, E = c.face;
  // A sunken white field: dark inner line at the top and left, light edge at the right and
  // bottom. Column 1 of the left edge is the input text colour, column 2 the field fill and
  // the centre the inset button fill.
  return {{
      {{{W, O, O, O}, {O, I, I, I}, {O, I, F, F}, {O, I, F, F}}},  // top-left
      {{{O, O, O, O}, {I, I, I, I}, {F, F, F, F}, {F, F, F, F}}},  // top
      {{{O, O, O, W}, {I, I, F, E}, {F, F, F, E}, {F, F, F, E}}},  // top-right
      {{{O, I, F, F}, {O, I, F, F}, {O, I, F, F}, {O, I, F, F}}},  // left
      {{{F, F, F, F}, {F, F, F, F}, {F, F, F, F}, {F, F, F, F}}},  // centre
      {{{F, F, F, E}, {F, F, F, E}, {F, F, F, E}, {F, F, F, E}}},  // right
      {{{O, I, F, F}, {O, I, F, F}, {O, I, F, F}, {W, E, E, E}}},  // bottom-left
      {{{F, F, F, F}, {F, F, F, F}, {F, F, F, F}, {E, E, E, E}}},  // bottom
      {{{F, F, F, E}, {F, F, F, E}, {F, F, F, E}, {E, E, E, W}}},  // bottom-right
  }};
}

// The name on the title band, white with light-accent edges (the strip's index 0 is
// transparent, so the band shows through everywhere else).
void draw_title_strip(Image8& skin, const Colours& c, const Typeface* face, std::string_view name) {
  constexpr int32_t top = 4;
  // The top-left pixel of the window (under the strip's first pixel) belongs to the border.
  skin.at(0, top) = c.accent;
  // A small mark: a rounded white square with an accent centre.
  for (int32_t y = 6; y <= 15; ++y) {
    for (int32_t x = 8; x <= 17; ++x) {
      const bool corner = (x == 8 || x == 17) && (y == 6 || y == 15);
      if (!corner) skin.at(x, top + y) = c.white;
    }
  }
  skin.fill(11, top + 9, 14, top + 12, c.accent);
  if (!face || name.empty()) return;
  face->draw(name, 24, top + 16, [&](int32_t x, int32_t y, int32_t v) {
    if (x < 0 || x >= kSkinWidth || y < top || y >= top + 22) return;
    if (v >= 150) {
      skin.at(x, y) = c.white;
    } else if (v >= 60 && skin.at(x, y) == 0) {
      skin.at(x, y) = c.accent_light;
    }
  });
}

void draw_box_glyphs(Image8& skin, int32_t left, const Colours& c, bool active) {
  constexpr int32_t top = 26;
  skin.fill(left, top, left + 33, top + 13, c.accent);
  const uint8_t ink = active ? c.white : c.accent_light;
  // Minimise: a short bar near the bottom of the left box.
  skin.fill(left + 4, top + 9, left + 11, top + 10, ink);
  // Close: a cross in the right box, on a rounded red plate while active.
  const int32_t cx = left + 18;
  if (active) {
    for (int32_t y = 0; y < 14; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        const bool corner = (x == 0 || x == 15) && (y == 0 || y == 13);
        if (!corner) skin.at(cx + x, top + y) = c.close_fill;
      }
    }
  }
  for (int32_t i = 0; i < 8; ++i) {
    skin.at(cx + 4 + i, top + 3 + i) = ink;
    skin.at(cx + 11 - i, top + 3 + i) = ink;
    if (i < 7) {
      skin.at(cx + 5 + i, top + 3 + i) = ink;
      skin.at(cx + 10 - i, top + 3 + i) = ink;
    }
  }
}

void draw_cursor(Image8& skin, const Colours& c) {
  static const char* const arrow[16] = {
      "X               ", "XX              ", "X.X             ", "X..X            ",
      "X...X           ", "X....X          ", "X.....X         ", "X......X        ",
      "X.......X       ", "X........X      ", "X.....XXXXX     ", "X..X..X         ",
      "X.XX..X         ", "XX  X..X        ", "X   X..X        ", "     XX         ",
  };
  const uint8_t outline = cube(0, 0, 0);  // near-black; index 0 is the cursor's transparency
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      const char p = arrow[y][x];
      if (p == 'X') skin.at(x, 40 + y) = outline;
      if (p == '.') skin.at(x, 40 + y) = c.white;
    }
  }
}

}  // namespace

// The virtual editor's menu bar icons, 16 x 16, eight to a row from row 64 on, in the order of
// its commands: a raised face with a letter or sign in the command group's colour.
void draw_icons(Image8& skin, const Colours& c, const Typeface* face) {
  constexpr int32_t kTop = 64;
  const uint8_t view = cube(0, 2, 4), position = cube(0, 3, 1), rotation = cube(5, 1, 1), plain = c.text;
  const struct {
    const char* glyph;
    uint8_t ink;
  } icons[] = {
      {"C", cube(5, 3, 0)}, {"<", plain}, {">", plain}, {"V", view}, {"T", view}, {"B", view}, {"R", view},
      {"X", position}, {"Y", position}, {"Z", position}, {"x", rotation}, {"y", rotation}, {"z", rotation},
      {"S", plain}, {"U", plain}, {"M", plain}, {"-", plain}, {"E", rotation},
  };
  int32_t i = 0;
  for (const auto& icon : icons) {
    const int32_t x0 = 16 * (i % 8), y0 = kTop + 16 * (i / 8);
    ++i;
    skin.fill(x0, y0, x0 + 15, y0 + 15, c.face);
    skin.fill(x0, y0, x0 + 15, y0, c.white);
    skin.fill(x0, y0, x0, y0 + 15, c.white);
    skin.fill(x0, y0 + 15, x0 + 15, y0 + 15, c.shade);
    skin.fill(x0 + 15, y0, x0 + 15, y0 + 15, c.shade);
    if (!face) continue;
    const int32_t x = x0 + (16 - face->text_width(icon.glyph)) / 2;
    face->draw(icon.glyph, x, y0 + 13, [&](int32_t px, int32_t py, int32_t v) {
      if (px > x0 && px < x0 + 15 && py > y0 && py < y0 + 15 && v >= 100) skin.at(px, py) = icon.ink;
    });
  }
}

Image8 make_skin(SkinVariant variant, const Typeface* face) {
  Colours c{};
  if (variant == SkinVariant::Editor) {
    c.accent = cube(0, 2, 4);        // (0, 102, 204) blue
    c.accent_light = cube(2, 3, 5);  // (85, 153, 255)
  } else {
    c.accent = cube(1, 1, 1);        // grey 58: a neutral band that suits any game
    c.accent_light = cube(3, 3, 3);  // grey 137
  }
  c.close_fill = cube(5, 1, 1);  // (213, 51, 51) red
  Image8 skin(kSkinWidth, kSkinHeight, 0);
  put_frame(skin, 0, window_tiles(c));
  put_frame(skin, 36, raised_tiles(c));
  put_frame(skin, 72, inset_tiles(c));
  draw_title_strip(skin, c, face, variant == SkinVariant::Editor ? "Korva" : "");
  draw_box_glyphs(skin, 0, c, true);
  draw_box_glyphs(skin, 34, c, false);
  draw_cursor(skin, c);
  draw_icons(skin, c, face);
  return skin;
}

}  // namespace korva::mkdata
