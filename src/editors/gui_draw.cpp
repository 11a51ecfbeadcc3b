// Drawing primitives of the panel screen: fill, plot, lines, boxes, scaled images and the
// rubber band. A negative colour -k combines the pixel with k by exclusive or.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "editors/gui.h"

namespace korva {
namespace {

bool on_screen(int32_t x, int32_t y) {
  return x >= 0 && y >= 0 && x < kGuiWidth && y < kGuiHeight;
}

void put(uint8_t& p, int32_t colour) {
  if (colour >= 0)
    p = static_cast<uint8_t>(colour);
  else
    p = static_cast<uint8_t>(p ^ ((-colour) & 0xFF));
}

// Collects the points of a halved line: each piece of at most two pixels contributes its start
// (and its middle when it has one); the caller adds the last end.
void halve(std::vector<int32_t>& points, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int32_t length = std::abs(x2 - x1) + std::abs(y2 - y1);
  if (length <= 2) {
    points.push_back(x1 + y1 * kGuiWidth);
    const int32_t mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    if (length == 2 && (mx != x1 || my != y1) && (mx != x2 || my != y2))
      points.push_back(mx + my * kGuiWidth);
    return;
  }
  const int32_t mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
  halve(points, x1, y1, mx, my);
  halve(points, mx, my, x2, y2);
}

}  // namespace

void gui_clear(Gui& g) { std::memset(g.pixels, 0, kGuiPixels); }

void gui_fill(Gui& g, int32_t colour) {
  if (colour >= 0) {
    std::memset(g.pixels, colour & 0xFF, kGuiPixels);
    return;
  }
  for (int32_t i = 0; i < kGuiPixels; ++i) put(g.pixels[i], colour);
}

void gui_plot(Gui& g, int32_t x, int32_t y, int32_t colour) {
  if (on_screen(x, y)) put(g.pixels[y * kGuiWidth + x], colour);
}

int32_t gui_get_pixel(const Gui& g, int32_t x, int32_t y) {
  return on_screen(x, y) ? g.pixels[y * kGuiWidth + x] : 0;
}

void gui_line(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour) {
  const int32_t dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  const int32_t sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  int32_t x = x1, y = y1;
  if (dx >= dy) {
    int32_t error = dx / 2;
    for (int32_t i = 0; i <= dx; ++i) {
      gui_plot(g, x, y, colour);
      x += sx;
      error -= dy;
      if (error < 0) {
        y += sy;
        error += dx;
      }
    }
  } else {
    int32_t error = dy / 2;
    for (int32_t i = 0; i <= dy; ++i) {
      gui_plot(g, x, y, colour);
      y += sy;
      error -= dx;
      if (error < 0) {
        x += sx;
        error += dy;
      }
    }
  }
}

void gui_xor_line(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!on_screen(x1, y1) || !on_screen(x2, y2)) return;
  std::vector<int32_t> points;
  halve(points, x1, y1, x2, y2);
  points.push_back(x2 + y2 * kGuiWidth);
  // Every pixel is inverted once, even where two pieces meet.
  int32_t previous = -1;
  for (int32_t p : points) {
    if (p == previous) continue;
    g.pixels[p] = static_cast<uint8_t>(~g.pixels[p]);
    previous = p;
  }
}

void gui_box(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour) {
  gui_line(g, x1, y1, x2, y1, colour);
  gui_line(g, x2, y1, x2, y2, colour);
  gui_line(g, x2, y2, x1, y2, colour);
  gui_line(g, x1, y2, x1, y1, colour);
}

void gui_fill_box(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour) {
  if (!on_screen(x1, y1)) return;
  if (x2 >= kGuiWidth) x2 = kGuiWidth - 1;
  if (y2 >= kGuiHeight) y2 = kGuiHeight - 1;
  for (int32_t y = y1; y <= y2; ++y) {
    uint8_t* row = g.pixels + y * kGuiWidth;
    if (colour >= 0) {
      if (x2 >= x1) std::memset(row + x1, colour & 0xFF, static_cast<size_t>(x2 - x1 + 1));
    } else {
      for (int32_t x = x1; x <= x2; ++x) put(row[x], colour);
    }
  }
}

void gui_blit_scaled(Gui& g, const uint8_t* image, int32_t image_width, int32_t image_height,
                     int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!image || image_width <= 0 || image_height <= 0 || x2 < x1 || y2 < y1) return;
  // 16.16 fixed-point steps through the image per screen pixel.
  const int64_t step_x = (int64_t(image_width) << 16) / (x2 - x1 + 1);
  const int64_t step_y = (int64_t(image_height) << 16) / (y2 - y1 + 1);
  int64_t v = 0;
  for (int32_t y = y1; y <= y2; ++y, v += step_y) {
    if (y < 0 || y >= kGuiHeight) continue;
    const int64_t sy = std::min<int64_t>(v >> 16, image_height - 1);
    const uint8_t* src = image + sy * image_width;
    int64_t u = 0;
    for (int32_t x = x1; x <= x2; ++x, u += step_x) {
      if (x < 0 || x >= kGuiWidth) continue;
      g.pixels[y * kGuiWidth + x] = src[std::min<int64_t>(u >> 16, image_width - 1)];
    }
  }
}

void gui_rubber_band(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  gui_fill_box(g, x1, y1, x2, y2, -255);
  g.band = {x1, y1, x2, y2};
  g.band_shown = true;
}

void gui_rubber_band_erase(Gui& g) {
  // Inverting twice would bring the band back: only a band on screen is erased.
  if (!g.band_shown) return;
  gui_fill_box(g, g.band.x1, g.band.y1, g.band.x2, g.band.y2, -255);
  g.band_shown = false;
}

void gui_set_colour(Gui& g, int32_t index) { g.colour = index; }

}  // namespace korva
