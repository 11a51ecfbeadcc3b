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
  // Every PersonWait so far, in nanoseconds of coarse_clock_ns: the brain time limit leaves it out.
  int64_t person_waited_ns = 0;
  bool person_waiting = false;  // a PersonWait is open
};

// The monotonic clock at a few milliseconds' resolution, cheap enough to read very often.
int64_t coarse_clock_ns();

// While one lives, the program waits for the person at the keyboard: a dialog, `pause`, a
// program or a video a brain started. A brain that waits so must not run out of its time limit
// for it, so the time is added to AppFrame::person_waited_ns. Only a screen with a window has
// a person to wait for: headless nothing is added, and an endless loop around such a keyword
// still runs out of time.
class PersonWait {
 public:
  explicit PersonWait(Core& c);
  ~PersonWait();
  PersonWait(const PersonWait&) = delete;
  PersonWait& operator=(const PersonWait&) = delete;

 private:
  Core* core_;  // null when nobody can answer, or an outer wait counts the time
  int64_t start_;
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
