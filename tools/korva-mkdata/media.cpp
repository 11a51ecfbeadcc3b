// Pictures and sounds of the installation: BMP screens of the stand-alone player, the default
// sky panorama and texture, and a few synthesized sounds.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "bytes.h"
#include "core/files.h"
#include "platform/video/video.h"

namespace korva::mkdata {
namespace {

constexpr double kPi = std::numbers::pi;

Rgb mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  auto m = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(std::lround(x + (y - x) * t)); };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

void draw_text(ImageRgb& image, Typeface& face, std::string_view text, int32_t size, int32_t y,
               Rgb colour) {
  face.set_pixel_size(size);
  const int32_t x = (image.width - face.text_width(text)) / 2;
  face.draw(text, x, y, [&](int32_t px, int32_t py, int32_t v) { image.blend(px, py, colour, v); });
}

// Cheap smooth noise that wraps every `period` pixels: a few sines with whole cycles.
double wrapped_waves(double x, double period, const double (&amp)[4], const double (&phase)[4]) {
  double v = 0;
  for (int32_t i = 0; i < 4; ++i) v += amp[i] * std::sin(2 * kPi * (i + 1) * x / period + phase[i]);
  return v;
}

}  // namespace

Bytes bmp_encode(const ImageRgb& image) {
  const int32_t row = (image.width * 3 + 3) & ~3;
  const uint32_t data_size = static_cast<uint32_t>(row * image.height);
  Bytes b;
  put_text(b, "BM");
  put_u32(b, 54 + data_size);
  put_u32(b, 0);
  put_u32(b, 54);
  put_u32(b, 40);  // BITMAPINFOHEADER
  put_i32(b, image.width);
  put_i32(b, image.height);  // positive: rows bottom-up
  put_u16(b, 1);
  put_u16(b, 24);
  put_u32(b, 0);
  put_u32(b, data_size);
  put_u32(b, 2835);  // 72 dpi
  put_u32(b, 2835);
  put_u32(b, 0);
  put_u32(b, 0);
  for (int32_t y = image.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < image.width; ++x) {
      const Rgb& c = image.pixels[size_t(y) * image.width + x];
      put_u8(b, c.b);
      put_u8(b, c.g);
      put_u8(b, c.r);
    }
    for (int32_t p = image.width * 3; p < row; ++p) put_u8(b, 0);
  }
  return b;
}

ImageRgb make_screen(std::string_view title, std::string_view subtitle, Typeface* face, bool dark) {
  ImageRgb image(640, 480);
  const Rgb top = dark ? Rgb{8, 10, 16} : Rgb{24, 40, 72};
  const Rgb bottom = dark ? Rgb{0, 0, 0} : Rgb{4, 8, 18};
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) {
      // A soft vertical gradient with a faint glow behind the text.
      const double dx = (x - 320) / 320.0, dy = (y - 230) / 200.0;
      const double glow = std::max(0.0, 1.0 - std::sqrt(dx * dx + dy * dy)) * (dark ? 0.06 : 0.18);
      Rgb c = mix(top, bottom, y / 479.0);
      c = mix(c, Rgb{60, 120, 200}, glow);
      image.at(x, y) = c;
    }
  }
  if (!face || !face->is_open()) return image;
  if (!title.empty()) {
    draw_text(image, *face, title, 34, 236, Rgb{240, 244, 250});
    // A thin accent line under the title.
    for (int32_t x = 260; x < 380; ++x) {
      image.at(x, 252) = Rgb{0, 102, 204};
      image.at(x, 253) = Rgb{0, 102, 204};
    }
  }
  if (!subtitle.empty()) draw_text(image, *face, subtitle, 16, 284, Rgb{150, 165, 190});
  return image;
}

ImageRgb make_sky() {
  constexpr int32_t w = 512, h = 256, horizon = 168;
  ImageRgb image(w, h);
  const double hill_amp[4] = {9, 5, 3, 1.5}, hill_phase[4] = {0.3, 1.9, 4.1, 2.2};
  const double far_amp[4] = {5, 4, 2, 1}, far_phase[4] = {2.7, 0.4, 5.3, 1.1};
  const double cloud_amp[4] = {1, 0.7, 0.5, 0.3}, cloud_phase[4] = {0.9, 3.3, 1.7, 4.6};
  for (int32_t x = 0; x < w; ++x) {
    const double far = horizon - 18 - wrapped_waves(x, w, far_amp, far_phase);
    const double near = horizon - 6 - wrapped_waves(x, w, hill_amp, hill_phase);
    const double cloud_band = wrapped_waves(x, w, cloud_amp, cloud_phase);
    for (int32_t y = 0; y < h; ++y) {
      Rgb c;
      if (y < far) {
        c = mix(Rgb{38, 92, 170}, Rgb{170, 205, 235}, std::pow(y / double(horizon), 1.6));
        // Clouds: a band of soft white where the waves peak.
        const double band = std::exp(-std::pow((y - 70 - 6 * cloud_band) / 18.0, 2));
        const double amount = std::clamp((cloud_band + 0.3) * 0.45, 0.0, 0.8);
        c = mix(c, Rgb{245, 248, 252}, amount * amount * band);
      } else if (y < near) {
        c = mix(Rgb{110, 140, 160}, Rgb{95, 125, 140}, (y - far) / 20.0);  // distant hills
      } else if (y < horizon + 8) {
        c = mix(Rgb{70, 120, 70}, Rgb{60, 105, 60}, (y - near) / 14.0);    // near hills
      } else {
        c = mix(Rgb{62, 104, 58}, Rgb{40, 70, 40}, (y - horizon) / double(h - horizon));
      }
      image.at(x, y) = c;
    }
  }
  return image;
}

ImageRgb make_texture() {
  constexpr int32_t n = 128, cell = 16;
  ImageRgb image(n, n);
  for (int32_t y = 0; y < n; ++y) {
    for (int32_t x = 0; x < n; ++x) {
      const bool dark = ((x / cell) + (y / cell)) % 2 == 1;
      Rgb c = dark ? Rgb{150, 156, 166} : Rgb{214, 218, 224};
      if (x % cell == 0 || y % cell == 0) c = mix(c, Rgb{90, 96, 110}, 0.35);
      if (x < 2 || y < 2 || x >= n - 2 || y >= n - 2) c = Rgb{0, 102, 204};  // accent rim
      image.at(x, y) = c;
    }
  }
  return image;
}

Bytes wav_encode(const Sound& sound) {
  const uint32_t data_size = static_cast<uint32_t>(sound.samples.size() * 2);
  Bytes b;
  put_text(b, "RIFF");
  put_u32(b, 36 + data_size);
  put_text(b, "WAVE");
  put_text(b, "fmt ");
  put_u32(b, 16);
  put_u16(b, 1);  // PCM
  put_u16(b, 1);  // mono
  put_u32(b, static_cast<uint32_t>(sound.rate));
  put_u32(b, static_cast<uint32_t>(sound.rate * 2));
  put_u16(b, 2);
  put_u16(b, 16);
  put_text(b, "data");
  put_u32(b, data_size);
  for (int16_t s : sound.samples) put_u16(b, static_cast<uint16_t>(s));
  return b;
}

Sound make_sound(SoundKind kind) {
  Sound s;
  const double rate = s.rate;
  auto add = [&](double seconds, const std::function<double(double)>& wave) {
    const auto n = static_cast<int32_t>(seconds * rate);
    for (int32_t i = 0; i < n; ++i) {
      const double v = std::clamp(wave(i / rate), -1.0, 1.0);
      s.samples.push_back(static_cast<int16_t>(std::lround(v * 30000)));
    }
  };
  uint32_t noise = 0x1234567;
  auto white = [&noise]() {
    noise = noise * 1664525u + 1013904223u;
    return static_cast<int32_t>(noise >> 16) / 32768.0 - 1.0;
  };
  switch (kind) {
    case SoundKind::Silence:
      s.samples.assign(2205, 0);
      break;
    case SoundKind::Beep:
      add(0.3, [](double t) { return 0.5 * std::sin(2 * kPi * 440 * t) * std::min(1.0, t * 200) * (1 - t / 0.3); });
      break;
    case SoundKind::Click:
      add(0.03, [&](double t) { return white() * std::exp(-t * 250) * 0.8; });
      break;
    case SoundKind::Blip:
      add(0.15, [](double t) { return 0.45 * std::sin(2 * kPi * (600 + 2400 * t) * t) * (1 - t / 0.15); });
      break;
    case SoundKind::Explosion: {
      double low = 0;
      add(1.2, [&](double t) {
        low += (white() - low) * 0.08;  // one-pole low-pass: a rumble rather than a hiss
        return 3.0 * low * std::exp(-t * 3.5);
      });
      break;
    }
    case SoundKind::Engine:
      // One second of an idling engine; whole cycles of every partial, so it loops cleanly.
      add(1.0, [](double t) {
        return 0.35 * std::sin(2 * kPi * 55 * t) + 0.2 * std::sin(2 * kPi * 110 * t + 0.5) +
               0.1 * std::sin(2 * kPi * 165 * t + 1.3) + 0.05 * std::sin(2 * kPi * 8 * t) * std::sin(2 * kPi * 55 * t);
      });
      break;
    case SoundKind::Pickup:
      for (double f : {660.0, 880.0, 1320.0}) {
        add(0.07, [f](double t) { return 0.4 * std::sin(2 * kPi * f * t) * (1 - t / 0.07); });
      }
      break;
  }
  return s;
}

}  // namespace korva::mkdata

namespace korva::mkdata {

Bytes make_sample_video() {
  // The encoder writes files: make it in the temporary folder and take its bytes.
  const std::string path =
      (std::filesystem::temp_directory_path() / ("korva_sample_" + std::to_string(::getpid()) + ".avi")).string();
  video::SampleOptions o;
  o.width = 160;
  o.height = 120;
  o.frames = 60;
  o.frame_rate = 20;
  o.tone_hz = 440;
  Bytes bytes;
  if (video::write_sample(path, o)) (void)read_whole_file(path, bytes, int64_t(16) << 20);
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return bytes;
}

}  // namespace korva::mkdata
