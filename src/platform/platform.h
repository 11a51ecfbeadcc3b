// The platform layer: the CPU display surfaces that stand in for the primary and back buffers,
// the screen that flips and presents them, images, and (with a window) the message pump, the
// OpenGL rendering devices and the joysticks. Plain structs and functions; nothing here knows the
// rest of the program.
//
// Two libraries share this header. korva_platform needs no window system: surfaces, images, time
// and every screen_* function except screen_open, screen_hide and screen_close; those work on the
// surfaces in memory and reach a window only through the screen's WindowOps. korva_platform_window
// (SDL2, OpenGL, EGL) opens the window and fills in those operations, and holds the devices, the
// joysticks and pc_scancode. A command-line tool that never opens a window links the first alone.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct SDL_Window;
struct SDL_Surface;

namespace korva::platform {

// ---- Display surfaces ----

enum class PixelFormat : int32_t { Rgb565, Rgb555, Xrgb8888 };

constexpr int32_t bytes_per_pixel(PixelFormat f) { return f == PixelFormat::Xrgb8888 ? 4 : 2; }

// A block of pixels in one of the display formats. Rows are `pitch` bytes apart. The pixel
// memory is allocated once when the surface is made and never grows.
struct Surface {
  int32_t width = 0;
  int32_t height = 0;
  int32_t pitch = 0;  // bytes per row
  PixelFormat format = PixelFormat::Rgb565;
  std::vector<uint8_t> pixels;
  bool lost = false;   // the display took the surface away; lock and flip fail until restored
  int32_t locks = 0;   // nesting count of lock/unlock
};

bool surface_create(Surface& s, int32_t width, int32_t height, PixelFormat format);
// The pixel memory, or nullptr while the surface is lost. Every lock is paired with an unlock.
uint8_t* surface_lock(Surface& s);
void surface_unlock(Surface& s);
// Fills the whole surface (or the rectangle x, y, w, h clipped to it) with one packed pixel.
void surface_fill(Surface& s, uint32_t pixel);
void surface_fill_rect(Surface& s, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t pixel);
uint32_t pack_rgb(PixelFormat f, uint8_t r, uint8_t g, uint8_t b);
void unpack_rgb(PixelFormat f, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b);
uint32_t surface_pixel(const Surface& s, int32_t x, int32_t y);  // 0 outside
// Draws an RGB image (3 bytes per pixel, rows of width * 3 bytes) stretched over the whole surface.
void surface_draw_rgb(Surface& s, const uint8_t* rgb, int32_t width, int32_t height);
// The surface as rows of RGB bytes (width * 3 per row), for screenshots and tests.
void surface_to_rgb(const Surface& s, std::vector<uint8_t>& rgb);

// ---- The screen: window (or none), display surfaces and the pump ----

// One input message taken from the queue; the input layer turns these into its key queue.
struct InputEvent {
  enum class Kind : int32_t { KeyDown, KeyUp, Character, Wheel } kind = Kind::KeyDown;
  int32_t scancode = 0;   // SDL scancode (KeyDown, KeyUp)
  int32_t scan = 0;       // PC keyboard scan code (KeyDown, KeyUp; Character: the key's)
  int32_t character = 0;  // Unicode code point (Character)
  int32_t wheel = 0;      // notches, positive away from the user (Wheel)
  bool character_waiting = false;  // KeyDown: a character message for it is already queued
};

// The PC keyboard scan code (set 1, without the extended prefix) of an SDL scancode; 0 when the
// key has none. Arrows and the editing block share the keypad's codes (Up 72, Delete 83). Part
// of korva_platform_window, beside the window that receives the keys.
int32_t pc_scancode(int32_t sdl_scancode);

struct ScreenOptions {
  int32_t width = 640;
  int32_t height = 480;
  PixelFormat format = PixelFormat::Rgb565;
  bool headless = false;    // no window at all; surfaces live only in memory
  bool windowed = false;    // a desktop window of the mode's size instead of full screen
  std::string title = "Korva";
};

struct Screen;

// What a screen does through its window. screen_open points the screen at the window back end's
// table while a window is open; without one, the screen_* functions keep to the surfaces.
struct WindowOps {
  void (*pump)(Screen& s);          // hands every waiting message on (on_input, close requests)
  void (*sample_mouse)(Screen& s);  // sets mouse_x, mouse_y and mouse_buttons from the system
  void (*warp_mouse)(Screen& s);    // puts the system cursor on the pixel mouse_x, mouse_y
  void (*present)(Screen& s);       // shows the primary surface in the window
  bool (*minimized)(const Screen& s);
  int32_t (*refresh_rate)(const Screen& s);  // of the window's display in Hz; 0 when unknown
  void (*message_box)(Screen& s, std::string_view caption, std::string_view text);
  void (*show_cursor)(Screen& s, bool show);
};

struct Screen {
  bool headless = true;
  bool video_started = false;  // SDL's video subsystem is ours to shut down
  SDL_Window* window = nullptr;
  const WindowOps* window_ops = nullptr;  // the window back end's, while the window is open
  SDL_Surface* present_view = nullptr;  // wraps the primary surface's pixels for blitting
  SDL_Surface* smooth_view = nullptr;   // the picture in the window's format, for the linear stretch
  Surface primary;  // what the display shows (after a flip: the picture just presented)
  Surface back;     // where the next picture is drawn
  int32_t active = 1;           // 1 while the window is the active one
  int32_t close_requests = 0;   // close requests received (they never close the window)
  int32_t presents = 0;         // pictures presented so far
  // Mouse as last sampled: position in surface pixels, buttons bit 0 left, 1 right, 2 middle.
  int32_t mouse_x = 0;
  int32_t mouse_y = 0;
  int32_t mouse_buttons = 0;
  int32_t last_scan = 0;  // scan code of the last key down, given to the characters it makes
  std::function<void(const InputEvent&)> on_input;  // receives key, character and wheel input
  std::string title;
};

// True when KORVA_HEADLESS is set (to anything but "0"): no window even with a display.
bool headless_requested();

// Opens the window (unless headless) and makes the primary and back surfaces. When no display
// can be opened the screen falls back to headless. Returns false only when the surfaces cannot
// be made (an impossible size). These three are korva_platform_window's.
bool screen_open(Screen& s, const ScreenOptions& options);
void screen_close(Screen& s);
void screen_hide(Screen& s);
// What the window shows now (the picture as presented, with its borders) as a PNG file; false
// without a window.
bool screen_write_window_png(Screen& s, const std::string& path);

// Processes every waiting message. Returns false while the primary surface is lost.
bool screen_pump(Screen& s);
void screen_sample_mouse(Screen& s);
// Moves the cursor to (x, y) in surface pixels: the position is kept as the sampled mouse
// (clamped like a sample) and, with a window, the system cursor is moved onto that pixel.
void screen_warp_mouse(Screen& s, int32_t x, int32_t y);
// Swaps primary and back and shows the new primary in the window. Fails while lost.
bool screen_flip(Screen& s);
// Shows the primary surface as it is, without swapping.
void screen_present(Screen& s);
// Gives the surfaces back after a loss; false while the display is still unavailable.
bool screen_restore(Screen& s);
void screen_wait_vblank(Screen& s);
// A modal box with an OK button over the window; does nothing without a window.
void screen_message_box(Screen& s, std::string_view caption, std::string_view text);
void screen_cursor_show(Screen& s, bool show);

// ---- Rendering devices ----

enum class DeviceKind : int32_t { None, Hardware, Software };

// The OpenGL contexts that stand in for the 3D device (korva_platform_window). The hardware device
// is a context on a hidden SDL window; the software device is Mesa llvmpipe through EGL without
// any surface.
struct Devices {
  SDL_Window* gl_window = nullptr;
  void* gl_context = nullptr;       // SDL_GLContext of the hardware device
  void* egl_display = nullptr;      // EGLDisplay of the software device
  void* egl_context = nullptr;      // EGLContext of the software device
  bool hardware = false;            // a hardware context exists
  bool software = false;            // a software context exists
  std::string hardware_renderer;    // GL_RENDERER of the hardware device
  std::string software_renderer;    // GL_RENDERER of the software device
  DeviceKind selected = DeviceKind::None;
};

// Tries both devices (the hardware one only when a display is open).
void devices_probe(Devices& d, const Screen& screen);
// Keeps the chosen device current and releases the other one.
bool devices_select(Devices& d, DeviceKind kind);
// Makes the selected device's context current on this thread.
bool devices_make_current(Devices& d);
void devices_release(Devices& d);

// ---- Joysticks ----

// The raw state of one controller: axes in SDL's -32768..32767 (x, y, z, then rotations and
// sliders as the device numbers them), hats in hundredths of a degree (-1 centred), buttons.
struct JoystickState {
  bool present = false;
  int32_t axis[8] = {};
  int32_t hat[4] = {-1, -1, -1, -1};
  uint32_t buttons = 0;
};

struct Joysticks {
  bool started = false;
  void* device[2] = {};  // SDL_Joystick of joystick 1 and 2
};

// Starts the joystick service (korva_platform_window); false when the platform has none (the
// joysticks stay absent).
bool joysticks_open(Joysticks& j);
void joysticks_close(Joysticks& j);
// Reads both joysticks, picking up controllers plugged in since the last poll.
void joysticks_poll(Joysticks& j, JoystickState out[2]);

// ---- Images ----

// Writes rows of RGB bytes as a PNG file. Returns false on failure.
bool png_write(const std::string& path, int32_t width, int32_t height, const uint8_t* rgb);
bool surface_write_png(const Surface& s, const std::string& path);
// Reads an image file (BMP, PNG, ...) as RGB bytes; false when it cannot be read.
bool image_load_rgb(const std::string& path, std::vector<uint8_t>& rgb, int32_t& width,
                    int32_t& height);
bool image_decode_rgb(const uint8_t* data, int64_t size, std::vector<uint8_t>& rgb, int32_t& width,
                      int32_t& height);

// ---- Clipboard (korva_platform_window) ----

// The system clipboard through SDL while SDL's video is running, otherwise a store inside the
// process, so that copy and paste work headless and in tests too. Text is plain bytes.
void clipboard_set_text(std::string_view text);
std::string clipboard_get_text();

// ---- Time ----

void sleep_ms(int32_t ms);

// ---- Interrupts ----

// Catches SIGINT, SIGTERM and SIGHUP: the first is kept, for the program to end what it does as
// Escape would and then shut down; a second ends the process at once with 128 + its number.
void interrupts_catch();
// The first signal caught, 0 while none.
int32_t interrupt_signal();

}  // namespace korva::platform
