// Set-up of the toolkit: the panel screen and skin in the core's pools, the default palette,
// the hooks through which the core reaches the user, and the pump of the modal loops.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/core.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "editors/gui.h"
#include "editors/gui_local.h"
#include "platform/platform.h"

namespace korva {
namespace {

int32_t display_width(const Gui& g) { return g.screen ? g.screen->primary.width : kGuiWidth; }
int32_t display_height(const Gui& g) { return g.screen ? g.screen->primary.height : kGuiHeight; }

}  // namespace

void gui_init(Gui& g, Core& c, Input* input, platform::Screen* screen) {
  g.core = &c;
  g.input = input;
  g.screen = screen;
  g.pixels = c.pool(Pool::Offscreen);
  g.skin = c.pool(Pool::Panels);
  g.skin_height = 0;
  g.colour = 0;
  gui_default_palette(g.palette);
  gui_build_colour_table(g, g.palette);
  gui_reset_buttons(g);
  g.close_box = {};
  g.close_box_active = false;
}

bool gui_start(Gui& g, Core& c, Input* input, platform::Screen* screen) {
  gui_init(g, c, input, screen);
  std::string path(c.data_folder->view());
  const bool skin_ok = gui_load_skin(g, path + "panels.pcx");
  const bool font_ok = gui_load_font(g, path + "font.fnt");
  if (!skin_ok) std::fprintf(stderr, "korva: %spanels.pcx could not be loaded\n", path.c_str());
  if (!font_ok) std::fprintf(stderr, "korva: %sfont.fnt could not be loaded\n", path.c_str());
  gui_install_hooks(g);
  return skin_ok && font_ok;
}

bool gui_load_skin(Gui& g, std::string_view path) {
  const int32_t n = load_pcx(g, path, g.skin, pool_bytes(Pool::Panels), PcxMode::WithPalette);
  if (n <= 1 || g.image_width != kSkinWidth || g.image_height < skin::kHeight) {
    std::memset(g.skin, 0, static_cast<size_t>(pool_bytes(Pool::Panels)));
    g.skin_height = 0;
    return false;
  }
  g.skin_height = g.image_height;
  gui_build_colour_table(g, g.skin + kSkinWidth * g.skin_height);
  return true;
}

int32_t gui_skin_colour(const Gui& g, int32_t x, int32_t y) {
  if (x < 0 || x >= kSkinWidth || y < 0 || y >= g.skin_height) return 0;
  return g.skin[y * kSkinWidth + x];
}

void gui_install_hooks(Gui& g) {
  Core& c = *g.core;
  c.ui.message_box = [&g](std::string_view text, std::string_view left, std::string_view right) {
    const PersonWait wait(*g.core);
    return gui_message_box(g, text, left, right);
  };
  c.ui.input_box = [&g](int32_t min_width, std::string_view initial, std::string_view prompt) {
    const PersonWait wait(*g.core);
    return gui_input_box(g, min_width, initial, prompt);
  };
  // The status panel is a notice; an empty text clears it.
  c.ui.status = [&g](std::string_view text) { gui_message_box(g, text, "", ""); };
  c.frame.show_back_buffer = [&g] {
    if (!g.screen) return;
    platform::Surface& back = g.screen->back;
    if (uint8_t* dest = platform::surface_lock(back)) {
      gui_convert(g, dest, back.pitch, back.width, back.height,
                  back.format == platform::PixelFormat::Xrgb8888);
      platform::surface_unlock(back);
    }
  };
}

void gui_pump(Gui& g) {
  if (g.io.pump) {
    g.io.pump();
  } else {
    // The core pumps the screen it knows; a screen of the toolkit's own is pumped here.
    if (g.screen && g.core->frame.screen != g.screen && platform::screen_pump(*g.screen))
      platform::screen_sample_mouse(*g.screen);
    pump(*g.core);
    if (g.input) {
      if (g.script) {
        feed_input_script(*g.script, *g.input, g.core->pump_counter, display_width(g),
                          display_height(g));
      } else if (g.screen && g.screen->window) {
        input_sample_mouse(*g.input, g.screen->mouse_x, g.screen->mouse_y,
                           g.screen->mouse_buttons, display_width(g), display_height(g));
      }
    }
  }
  if (g.input) gui_mouse_from_display(g, g.input->mouse_x, g.input->mouse_y);
}

bool gui_input_exhausted(Gui& g) {
  if (platform::interrupt_signal()) return true;  // SIGINT or SIGTERM: nobody will answer now
  if (g.io.input_exhausted) return g.io.input_exhausted();
  if (!g.input) return true;  // nothing can ever answer
  if (g.screen && g.screen->window) return false;  // a person can still answer
  return !g.script || input_script_done(*g.script);
}

int32_t gui_mouse_buttons(const Gui& g) { return g.input ? g.input->mouse_buttons : 0; }

int32_t gui_frame_key(Gui& g) {
  gui_present(g);
  gui_pump(g);
  if (!g.input) return 0;
  next_key(*g.core, *g.input);
  return g.input->last_key;
}

void gui_wait_release(Gui& g) {
  while (gui_mouse_buttons(g) != 0 && !gui_input_exhausted(g)) {
    gui_present(g);
    gui_pump(g);
  }
}

void gui_flush_input(Gui& g) {
  gui_wait_release(g);
  if (!g.input) return;
  drain_keys(*g.input);
  typed_text_clear(*g.input);
}

void gui_leave_screen(Gui& g, bool cursor_hidden) {
  gui_hide_cursor(g, cursor_hidden);
  gui_clear(g);
  gui_clear_display(g);
  gui_flush_input(g);
}

}  // namespace korva
