// A fresh toolkit per test: core, input, a headless screen, the installation's skin and font
// (made by korva-mkdata's generators), and scripted input.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/core.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "editors/gui.h"
#include "mkdata.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "software_device.h"

namespace korva::test {

// The editor skin as "panels.pcx" bytes and the text font as ".fnt" bytes, made once.
inline const mkdata::Bytes& skin_file() {
  static const mkdata::Bytes bytes = [] {
    mkdata::Typeface bold;
    const bool ok = bold.open(mkdata::find_font_file(true));
    if (ok) bold.set_pixel_size(14);
    return mkdata::pcx_encode(mkdata::make_skin(mkdata::SkinVariant::Editor, ok ? &bold : nullptr),
                              mkdata::gui_palette());
  }();
  return bytes;
}

inline const mkdata::Bytes& font_file() {
  static const mkdata::Bytes bytes = [] {
    mkdata::Typeface face;
    if (!face.open(mkdata::find_font_file(false))) return mkdata::Bytes{};
    face.set_pixel_size(13);
    return mkdata::make_fnt(face);
  }();
  return bytes;
}

struct GuiFixture {
  std::unique_ptr<Core> core = core_create();
  Input input;
  platform::Screen screen;
  InputScript script;
  Gui gui;
  std::filesystem::path dir;

  explicit GuiFixture(int32_t width = 640, int32_t height = 480,
                      platform::PixelFormat format = platform::PixelFormat::Rgb565) {
    platform::ScreenOptions o;
    o.width = width;
    o.height = height;
    o.format = format;
    // KORVA_GUI_WINDOW=1 shows the screens in a real window (under Xvfb, for instance).
    const char* window = std::getenv("KORVA_GUI_WINDOW");
    o.headless = !(window && *window == '1');
    o.windowed = true;
    EXPECT_TRUE(platform::screen_open(screen, o));
    gui_init(gui, *core, &input, &screen);
    dir = std::filesystem::temp_directory_path() /
          ("korva_gui_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    const std::string skin_path = write("panels.pcx", skin_file());
    write("font.fnt", font_file());
    EXPECT_TRUE(gui_load_skin(gui, skin_path));
    EXPECT_TRUE(gui_set_font(gui, font_file().data(), static_cast<int64_t>(font_file().size())));
  }
  ~GuiFixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    platform::screen_close(screen);
  }

  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir / name).string();
    EXPECT_TRUE(file_write_safely(path, bytes.data(), static_cast<int64_t>(bytes.size())));
    return path;
  }

  // Scripted input in the format of docs/scripted-input.md; times are pump counts.
  void script_input(std::string_view text) {
    std::vector<std::string> errors;
    script = parse_input_script(text, errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    gui.script = &script;
  }
  // A key taken from the queue as an editor's frame loop takes it.
  std::string key(int32_t scan, char ch = 0) {
    if (ch)
      input_character(input, ch, scan);
    else
      input_key_down(input, scan, false);
    return std::string(next_key(*core, input).view());
  }
  void mouse(int32_t x, int32_t y, int32_t buttons = 0) {
    input_sample_mouse(input, x, y, buttons, 640, 480);
    gui.mouse_x = x;
    gui.mouse_y = y;
  }
};


}  // namespace korva::test
