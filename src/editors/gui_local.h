// The toolkit's own helpers shared between its files.
#pragma once
#include <string_view>

#include "editors/gui.h"

namespace korva {

// Mouse position in panel coordinates from a display position, by the last placement used.
void gui_mouse_from_display(Gui& g, int32_t x, int32_t y);
// Fills a rectangle clipped on every side (the public gui_fill_box skips a rectangle whose
// top-left corner lies outside the screen).
void gui_fill_clipped(Gui& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t colour);
// Prints in a colour, leaving the current colour as it was.
void gui_print_in(Gui& g, std::string_view text, int32_t x, int32_t y, int32_t colour);
// Text without leading and trailing blanks and line ends.
std::string_view gui_trim(std::string_view text);
// One pass of an editor loop: present, pump, and take one key. Returns its scan code (0: none).
int32_t gui_frame_key(Gui& g);
// Waits (pumping and presenting) until no mouse button is down or no input can come.
void gui_wait_release(Gui& g);
// Empties the key queue and typed text and waits until the mouse buttons are up.
void gui_flush_input(Gui& g);
// How a full-screen chooser or editor leaves: the cursor as it was before it opened, the panel
// and the display cleared, and no button or key left over for whatever comes next.
void gui_leave_screen(Gui& g, bool cursor_hidden);

// The caret keys of a text being edited as left and right of the caret: Backspace, Delete,
// Home, End, Left and Right. Returns false (changing nothing) for any other key.
bool caret_key(std::string& left, std::string& right, int32_t scan);

}  // namespace korva
