// The application frame around the window: the pump that every wait loop calls, showing the
// back buffer, the vertical-blank wait, the error box, bmp_show and the video rectangle.
// The screen itself (window and surfaces) belongs to whoever builds the system; the Core only
// points at it, and every function here works (doing less) when it points nowhere.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

namespace korva {

namespace platform {
struct Screen;
}

struct Core;

// The video rectangle and repeat count of the next `play`; reset at every run start.
struct VideoState {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 640;
  int32_t height = 480;
  int32_t repeats = 1;
};

struct AppFrame {
  platform::Screen* screen = nullptr;
  // Copies the panel screen to the back surface before pump_and_show flips (set by the GUI).
  std::function<void()> show_back_buffer;
  // Receives the mouse of every pump (0, 0, 0 while the surface is lost), set by the input layer.
  std::function<void(int32_t x, int32_t y, int32_t buttons)> mouse_sampled;
  VideoState video;
};

// Processes every waiting message; while the primary surface is lost the mouse reads as 0,
// otherwise it is sampled. Either way the pump counter grows by one.
void pump(Core& c);
// Shows the back buffer (the GUI's picture when it has one) and pumps.
void pump_and_show(Core& c);
void wait_vblank(Core& c);
// Formats at most 256 characters, writes them to stderr and shows them in a box when a window
// or a GUI exists.
void error_box(Core& c, const char* format, ...) __attribute__((format(printf, 2, 3)));

// bmp_show's drawing path: the bitmap stretched onto the back surface, flipped, drawn again, so
// that both buffers show it; a missing file shows black.
void bmp_show(Core& c, std::string_view path);

// Stores the video rectangle and repeat count of the next `play` (the players are the devices').
void play_set(Core& c, int32_t x, int32_t y, int32_t width, int32_t height, int32_t repeats);

}  // namespace korva
