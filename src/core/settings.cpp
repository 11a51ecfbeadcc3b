// Engine settings: read with validation, write, and the device-count reconciliation.
#include "core/settings.h"

#include "core/core.h"
#include "core/ini.h"

namespace korva {

static constexpr const char* kUser = "User-Modifiable Engine Settings";

const SettingKey kSettingKeys[8] = {
    {kUser, "AvailableRenderingDevices", &Settings::available_rendering_devices},
    {kUser, "RenderingDevice", &Settings::rendering_device},
    {kUser, "AvailableDisplayModes", &Settings::available_display_modes},
    {kUser, "DisplayMode", &Settings::display_mode},
    {kUser, "Filtering", &Settings::filtering},
    {kUser, "Sound", &Settings::sound},
    {kUser, "SoundMixing", &Settings::sound_mixing},
    {"Engine Settings", "LegalDisplayModes", &Settings::legal_display_modes},
};

DisplayModeSize display_mode_size(int32_t bit) {
  switch (bit) {
    case kMode640x32: return {640, 480, 32};
    case kMode800x16: return {800, 600, 16};
    case kMode800x32: return {800, 600, 32};
    case kMode1024x16: return {1024, 768, 16};
    case kMode1024x32: return {1024, 768, 32};
    default: return {640, 480, 16};
  }
}

std::string settings_path(const Core& c) {
  return std::string(c.base_folder ? c.base_folder->view() : std::string_view("./")) + "config.ini";
}

static void store_le(int32_t v, uint8_t* b) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
}

static int32_t load_le(const uint8_t* b) {
  return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                              uint32_t(b[3]) << 24);
}

void settings_read_file(Settings& s, std::string_view path) {
  s = Settings{};
  IniDoc doc;
  ini_load(doc, path);
  for (const auto& k : kSettingKeys) {
    uint8_t b[4];
    if (ini_get_struct(doc, k.section, k.key, b, 4)) s.*k.value = load_le(b);
  }
  settings_validate(s);
}

void settings_validate(Settings& s) {
  s.legal_display_modes &= kAllDisplayModes;
  if (s.legal_display_modes == 0) s.legal_display_modes = 1;
  s.available_display_modes &= s.legal_display_modes;
  s.display_mode &= s.legal_display_modes;
  if (s.display_mode == 0) s.display_mode = 1;
  // The display mode is one mode: of several legal bits the lowest (smallest) one is taken.
  s.display_mode &= -s.display_mode;
  // Values that no device, sound switch or mixing option can mean fall back to their defaults.
  const Settings d;
  if (s.rendering_device < 0) s.rendering_device = d.rendering_device;
  if (s.available_rendering_devices < 0) s.available_rendering_devices = d.available_rendering_devices;
  if (s.filtering < 0 || s.filtering > 5) s.filtering = d.filtering;  // six texture qualities
  if (s.sound != 0 && s.sound != 1) s.sound = d.sound;
  if (s.sound_mixing < 0 || s.sound_mixing > 3) s.sound_mixing = d.sound_mixing;
}

void settings_read(Core& c) { settings_read_file(c.settings, settings_path(c)); }

bool settings_write_file(const Settings& s, std::string_view path) {
  IniDoc doc;
  ini_load(doc, path);
  for (const auto& k : kSettingKeys) {
    uint8_t b[4];
    store_le(s.*k.value, b);
    ini_set_struct(doc, k.section, k.key, b, 4);
  }
  return ini_save(doc, path);
}

bool settings_write(Core& c) { return settings_write_file(c.settings, settings_path(c)); }

DeviceReconcile reconcile_devices(Settings& s, int32_t hardware_found, bool software) {
  DeviceReconcile r;
  if (hardware_found <= 0) {
    s.available_rendering_devices = 0;
    s.rendering_device = 0;
    if (software) r.choice = DeviceChoice::Software;
    return r;
  }
  if (s.rendering_device > hardware_found) s.rendering_device = hardware_found;
  s.available_rendering_devices = hardware_found;
  if (s.rendering_device <= 0 && software) {
    r.choice = DeviceChoice::Software;
  } else {
    // Device 0 asks for the software device; without one the first hardware device serves.
    r.choice = DeviceChoice::Hardware;
    r.index = s.rendering_device > 0 ? s.rendering_device - 1 : 0;
  }
  return r;
}

}  // namespace korva
