// Process entry and exit: the start-up order, the window and device, and shutdown.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "core/params.h"
#include "core/paths.h"

namespace korva {

// The window's title field: 32 characters, the build's title padded with blanks. The builder
// overwrites these bytes in a stand-alone game's copy of the player with the game's window
// name, so they must stay in the program as they are: kept, and read through a pointer the
// compiler cannot see through.
extern const char kWindowTitle[33];
__attribute__((used)) const char kWindowTitle[33] = "Korva                           ";

static bool env_set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v && std::strcmp(v, "0") != 0;
}

std::string command_line_text(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

static void write_settings(App& app) {
  if (settings_write(*app.core) || app.settings_write_failed) return;
  app.settings_write_failed = true;
  const std::string path = settings_path(*app.core);
  std::fprintf(stderr, "korva: the settings could not be written to %s\n", path.c_str());
}

static std::string window_title() {
  const char* volatile field = kWindowTitle;
  std::string t(field, 32);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

// Single instance, window and surfaces in the display mode, the device choice.
static bool create_window_and_device(App& app) {
  Core& c = *app.core;
  if (!instance_lock_acquire(app.lock, *c.base_folder)) {
    std::fprintf(stderr, "korva: another korva is still running in this folder\n");
    return false;
  }
  // This process alone saves here now: what an interrupted save left behind can go.
  if (const int32_t n = remove_interrupted_saves(c.base_folder->view()))
    std::fprintf(stderr, "korva: removed %d file(s) left by interrupted saves\n", n);
  const DisplayModeSize mode = display_mode_size(c.settings.display_mode);
  platform::ScreenOptions o;
  o.width = mode.width;
  o.height = mode.height;
  o.format = mode.bits == 32 ? platform::PixelFormat::Xrgb8888 : platform::PixelFormat::Rgb565;
  o.headless = platform::headless_requested();
  o.windowed = env_set("KORVA_WINDOWED");
  o.title = window_title();
  if (!platform::screen_open(app.screen, o)) {
    error_box(c, "The display surfaces could not be created");
    return false;
  }
  c.frame.screen = &app.screen;

  platform::devices_probe(app.devices, app.screen);
  const DeviceReconcile r =
      reconcile_devices(c.settings, app.devices.hardware ? 1 : 0, app.devices.software);
  write_settings(app);
  if (r.choice == DeviceChoice::None) {
    error_box(c, "Couldn't find a hardware rendering device.\nWhen run again, a software "
                 "emulation device will be used instead");
    return false;
  }
  const auto kind = r.choice == DeviceChoice::Hardware ? platform::DeviceKind::Hardware
                                                       : platform::DeviceKind::Software;
  if (!platform::devices_select(app.devices, kind)) {
    error_box(c, "The rendering device could not be created");
    return false;
  }
  return true;
}

static void write_screenshot(App& app) {
  const char* file = std::getenv("KORVA_SCREENSHOT");
  if (!file || !*file || app.screen.primary.pixels.empty()) return;
  if (!platform::surface_write_png(app.screen.primary, file))
    std::fprintf(stderr, "korva: the screenshot could not be written to %s\n", file);
}

// KORVA_WINDOW_SHOT: the window as the user sees it, borders and scaling included.
static void write_window_shot(App& app) {
  const char* file = std::getenv("KORVA_WINDOW_SHOT");
  if (!file || !*file) return;
  if (!platform::screen_write_window_png(app.screen, file))
    std::fprintf(stderr, "korva: there is no window to take a picture of for %s\n", file);
}

// Device objects in their release order, then the pools.
static void shutdown(App& app) {
  write_screenshot(app);
  write_window_shot(app);
  platform::joysticks_close(app.joysticks);
  platform::devices_release(app.devices);
  platform::screen_hide(app.screen);
  platform::screen_close(app.screen);
  app.screen.back.pixels = {};
  app.screen.primary.pixels = {};
  if (app.core) app.core->frame.screen = nullptr;
  instance_lock_release(app.lock);
  app.system = System{};
  app.core.reset();
}

int32_t korva_run(App& app, std::string_view command_line) {
  platform::interrupts_catch();
  // Pools, string arrays, folder strings and the tick divisor of the 1/4500 s clock.
  app.core = core_create();
  Core& c = *app.core;
  app.system.core = &c;
  parse_params(c, command_line);
  path_init(c, current_folder());
  app.net = network_start(app);
  if (app.net != NetStart::Failed) {
    settings_read(c);
    if (create_window_and_device(app)) {
      write_settings(app);
      panels_setup(app);
      if (app.net == NetStart::Dialog) app.net = network_dialog_start(app);
      if (app.net != NetStart::Failed) dispatch(app);
    } else {
      app.exit_status = kStatusNoStart;
    }
  }
  network_close(app);
  shutdown(app);
  // A signal ended the mode as Escape would; the status says which, as shells expect.
  if (const int32_t signo = platform::interrupt_signal()) {
    std::fprintf(stderr, "korva: ended by signal %d (%s)\n", signo, strsignal(signo));
    app.exit_status = 128 + signo;
  }
  return app.exit_status;
}

}  // namespace korva
