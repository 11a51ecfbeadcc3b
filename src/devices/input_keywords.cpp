// The brains' input keywords (keyboard, scancode, mouse_set, mouse_wheel) over the input state
// and the screen's cursor.
#include "brain/keyword_binding.h"
#include "core/core.h"
#include "core/system.h"
#include "devices/devices.h"
#include "platform/platform.h"
#include "runtime/text_argument.h"

namespace korva {

int32_t keyboard(System& s, int32_t key) {
  if (!s.input) return 0;
  // Scan codes stop at 255 and brain literals live far above that, so a value in 0..255 is
  // always a key code: a memory block handle there (arrays take the low handles first) must
  // not turn keyboard(1) into a name lookup.
  if (key >= 0 && key <= 255) return key_down(*s.input, key);
  return key_down(*s.input, text_argument(s, key));
}

int32_t scancode(System& s) { return s.input ? first_key_down(*s.input) : 0; }

void mouse_set(System& s, int32_t x, int32_t y) {
  if (!s.input) return;
  platform::Screen* screen = s.core ? s.core->frame.screen : nullptr;
  // The new position is a mouse sample, clamped to the display as every sample is; the
  // buttons stay as they are.
  int32_t width = 0, height = 0;
  if (screen) {
    width = screen->back.width;
    height = screen->back.height;
  } else {
    const DisplayModeSize mode = display_mode_size(s.core ? s.core->settings.display_mode : 0);
    width = mode.width;
    height = mode.height;
  }
  input_sample_mouse(*s.input, x, y, s.input->mouse_buttons, width, height);
  if (screen) platform::screen_warp_mouse(*screen, s.input->mouse_x, s.input->mouse_y);
}

int32_t mouse_wheel(System& s) { return s.input ? wheel_read(*s.input) : 0; }

void bind_input_keywords(KeywordBindings& b) {
  struct Entry {
    const char* name;
    KeywordRoutine routine;
  };
  static constexpr Entry kEntries[] = {
      {"keyboard", keyword_routine<keyboard>},
      {"scancode", keyword_routine<scancode>},
      {"mouse_set", keyword_routine<mouse_set>},
      {"mouse_wheel", keyword_routine<mouse_wheel>},
  };
  // Every name is a row of the keyword table; the binding tests check it.
  for (const Entry& e : kEntries) (void)bind_keyword(b, e.name, e.routine);
}

}  // namespace korva
