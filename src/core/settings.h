// The engine settings of "config.ini": eight 32-bit values, each stored as a checksummed
// 4-byte structure. A change takes effect at the next start of the process.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace korva {

struct Core;

// Display mode bits: width x height x bits per pixel.
enum DisplayModeBit : int32_t {
  kMode640x16 = 1, kMode640x32 = 2, kMode800x16 = 4, kMode800x32 = 8, kMode1024x16 = 16,
  kMode1024x32 = 32,
};
constexpr int32_t kAllDisplayModes = 63;
constexpr int32_t kSixteenBitModes = 0x15;

struct Settings {
  int32_t available_rendering_devices = 3;
  int32_t rendering_device = 1;  // 1-based; 0 = the software device
  int32_t available_display_modes = 63;
  int32_t display_mode = 1;
  int32_t filtering = 3;
  int32_t sound = 1;
  int32_t sound_mixing = 0;
  int32_t legal_display_modes = 63;
};

// The section, key and member of every setting, in the order they are read and written.
struct SettingKey {
  const char* section;
  const char* key;
  int32_t Settings::*value;
};
extern const SettingKey kSettingKeys[8];

struct DisplayModeSize {
  int32_t width, height, bits;
};
// The size of a display mode bit (640 x 480 x 16 for anything that is not one bit of the set).
DisplayModeSize display_mode_size(int32_t mode_bit);

// The path of "config.ini": the base folder (the current folder at start-up) + "config.ini".
std::string settings_path(const Core& c);
// Defaults, then every value found with a good checksum, then validation.
void settings_read(Core& c);
void settings_read_file(Settings& s, std::string_view path);
void settings_validate(Settings& s);
// Writes all eight values, keeping every other line of the file. False when it cannot be written.
bool settings_write(Core& c);
bool settings_write_file(const Settings& s, std::string_view path);

// The device to use after matching the settings with the devices found.
enum class DeviceChoice : int32_t { Hardware, Software, None };
struct DeviceReconcile {
  DeviceChoice choice = DeviceChoice::None;
  int32_t index = -1;  // 0-based hardware device index when choice is Hardware
};
// hardware_found: number of hardware devices; software: whether the software device exists.
// With no hardware device both counts become 0 and the software device is used; None only when
// the software device is missing too.
DeviceReconcile reconcile_devices(Settings& s, int32_t hardware_found, bool software);

}  // namespace korva
