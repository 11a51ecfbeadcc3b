// Engine settings: the exact "config.ini" bytes, validation and the device reconciliation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/core.h"
#include "core/ini.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  fs::path dir;
  std::string path;
  void SetUp() override {
    char tmpl[] = "/tmp/korva-settings-XXXXXX";
    dir = mkdtemp(tmpl);
    path = (dir / "config.ini").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  std::string read() {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
};

constexpr const char* kDefaultFile =
    "[User-Modifiable Engine Settings]\r\n"
    "AvailableRenderingDevices=0300000003\r\n"
    "RenderingDevice=0100000001\r\n"
    "AvailableDisplayModes=3F0000003F\r\n"
    "DisplayMode=0100000001\r\n"
    "Filtering=0300000003\r\n"
    "Sound=0100000001\r\n"
    "SoundMixing=0000000000\r\n"
    "\r\n"
    "[Engine Settings]\r\n"
    "LegalDisplayModes=3F0000003F\r\n";

TEST_F(SettingsFile, WritesTheExactFileAndReadsItBack) {
  Settings s;
  ASSERT_TRUE(settings_write_file(s, path));
  EXPECT_EQ(read(), kDefaultFile);

  s.display_mode = kMode800x32;
  s.sound = 0;
  s.rendering_device = 2;
  s.filtering = 5;  // the highest of the six texture qualities
  ASSERT_TRUE(settings_write_file(s, path));
  Settings back;
  back.sound = 1;
  settings_read_file(back, path);
  EXPECT_EQ(back.display_mode, kMode800x32);
  EXPECT_EQ(back.sound, 0);
  EXPECT_EQ(back.rendering_device, 2);
  EXPECT_EQ(back.filtering, 5);
  EXPECT_NE(read().find("DisplayMode=0800000008\r\n"), std::string::npos);
}

TEST_F(SettingsFile, KeepsOtherLinesOfAnExistingFile) {
  write("[Mine]\r\nkeep=this\r\n[User-Modifiable Engine Settings]\r\nSound=0000000000\r\n");
  ASSERT_TRUE(settings_write_file(Settings{}, path));
  const std::string text = read();
  EXPECT_EQ(text.rfind("[Mine]\r\nkeep=this\r\n[User-Modifiable Engine Settings]\r\nSound=0100000001\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\n[Engine Settings]\r\nLegalDisplayModes=3F0000003F\r\n"), std::string::npos);
}

TEST_F(SettingsFile, BadValuesFallBackToTheirDefaults) {
  // Wrong checksum, wrong length, garbage, a truncated last line and out-of-range values.
  write("[User-Modifiable Engine Settings]\n"
        "AvailableRenderingDevices=0200000003\n"
        "RenderingDevice=FFFFFFFFFC\n"       // -1: no such device
        "AvailableDisplayModes=\x01\x02\xff\n"
        "Filtering=0600000006\n"             // 6: there are six qualities, 0..5
        "Sound=0200000002\n"                 // neither on nor off
        "SoundMixing=07000000\n"
        "DisplayMode=04000");
  Settings s;
  settings_read_file(s, path);
  const Settings d;
  EXPECT_EQ(s.available_rendering_devices, d.available_rendering_devices);
  EXPECT_EQ(s.rendering_device, d.rendering_device);
  EXPECT_EQ(s.available_display_modes, d.available_display_modes);
  EXPECT_EQ(s.display_mode, d.display_mode);
  EXPECT_EQ(s.filtering, d.filtering);
  EXPECT_EQ(s.sound, d.sound);
  EXPECT_EQ(s.sound_mixing, d.sound_mixing);
  EXPECT_EQ(s.legal_display_modes, d.legal_display_modes);

  write(std::string(5000, '\0') + "[[[==]]\n=\n");
  settings_read_file(s, path);
  EXPECT_EQ(s.display_mode, 1);
  EXPECT_EQ(s.legal_display_modes, 63);
}

TEST(Settings, ValidationOfTheDisplayModes) {
  struct Case {
    int32_t legal, available, mode;
    int32_t want_legal, want_available, want_mode;
  } cases[] = {
      {64, 63, 1, 1, 1, 1},     // bits above 63 dropped; an empty legal set becomes 1
      {3, 63, 8, 3, 3, 1},      // an illegal mode becomes 1
      {63, 63, 32, 63, 63, 32},
      {0, 0, 0, 1, 0, 1},
      {-1, -1, 6, 63, 63, 2},   // several mode bits: the lowest legal one
      {12, 5, 4, 12, 4, 4},
      {2, 63, 1, 2, 2, 1},      // 1 stays even when not legal, as the fallback mode
  };
  for (const auto& k : cases) {
    Settings s;
    s.legal_display_modes = k.legal;
    s.available_display_modes = k.available;
    s.display_mode = k.mode;
    settings_validate(s);
    EXPECT_EQ(s.legal_display_modes, k.want_legal) << k.legal << " " << k.mode;
    EXPECT_EQ(s.available_display_modes, k.want_available) << k.legal << " " << k.mode;
    EXPECT_EQ(s.display_mode, k.want_mode) << k.legal << " " << k.mode;
  }
}

TEST(Settings, DeviceReconciliation) {
  struct Case {
    int32_t rendering_device, hardware;
    bool software;
    DeviceChoice choice;
    int32_t index, want_available, want_device;
  } cases[] = {
      {1, 1, true, DeviceChoice::Hardware, 0, 1, 1},
      {3, 1, true, DeviceChoice::Hardware, 0, 1, 1},  // lowered to the number found
      {2, 2, true, DeviceChoice::Hardware, 1, 2, 2},
      {0, 1, true, DeviceChoice::Software, -1, 1, 0}, // 0 asks for the software device
      {0, 1, false, DeviceChoice::Hardware, 0, 1, 0},
      {1, 0, true, DeviceChoice::Software, -1, 0, 0}, // no hardware: both counts 0
      {1, 0, false, DeviceChoice::None, -1, 0, 0},    // nothing at all: the message path
  };
  for (const auto& k : cases) {
    Settings s;
    s.rendering_device = k.rendering_device;
    const DeviceReconcile r = reconcile_devices(s, k.hardware, k.software);
    EXPECT_EQ(r.choice, k.choice) << k.rendering_device << "/" << k.hardware;
    if (r.choice == DeviceChoice::Hardware) {
      EXPECT_EQ(r.index, k.index);
    }
    EXPECT_EQ(s.available_rendering_devices, k.want_available);
    EXPECT_EQ(s.rendering_device, k.want_device);
  }
}

TEST_F(SettingsFile, SettingsOfTheCoreLiveInTheBaseFolder) {
  auto core = core_create();
  compute_base_folder(*core->base_folder, dir.string());
  EXPECT_EQ(settings_path(*core), path);
  write(std::string("[User-Modifiable Engine Settings]\r\nDisplayMode=2000000020\r\n"));
  settings_read(*core);
  EXPECT_EQ(core->settings.display_mode, 32);
  EXPECT_TRUE(settings_write(*core));
  // A settings file that cannot be replaced (here: a folder in its place) reports failure.
  fs::remove(path);
  fs::create_directory(path);
  settings_read(*core);
  EXPECT_EQ(core->settings.display_mode, 1);
  EXPECT_FALSE(settings_write(*core));
}

}  // namespace
}  // namespace korva
