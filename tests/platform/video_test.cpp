// The video decoder on sample videos written by the sample writer: pictures and sound in file
// order, a picture drawn scaled and clipped into a surface of each display format, and damaged
// or foreign files that give no video (or an early end) without crashing or hanging.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/video/video.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

struct Sample {
  fs::path dir = fs::temp_directory_path() / ("korva_video_" + std::to_string(::getpid()));
  std::string path;
  video::SampleOptions options;
  explicit Sample(video::SampleOptions o = {}) : options(o) {
    fs::create_directories(dir);
    path = (dir / "sample.avi").string();
    EXPECT_TRUE(video::write_sample(path, options));
  }
  ~Sample() { fs::remove_all(dir); }
  std::string bytes() const {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  std::string write(const std::string& name, const std::string& data) const {
    std::ofstream((dir / name).string(), std::ios::binary) << data;
    return (dir / name).string();
  }
};

struct Counts {
  int32_t pictures = 0;
  int64_t sound_frames = 0;  // stereo frames
  double last_time = 0;
};

Counts decode_all(video::Decoder& d) {
  Counts c;
  for (int32_t guard = 0; guard < 100000; ++guard) {
    const video::Event e = video::next(d);
    if (e == video::Event::End) break;
    if (e == video::Event::Picture) {
      ++c.pictures;
      c.last_time = video::time(d);
    } else {
      c.sound_frames += static_cast<int64_t>(video::sound(d).size() / 2);
    }
  }
  EXPECT_EQ(video::next(d), video::Event::End);  // and it stays at the end
  return c;
}

TEST(Video, ASampleDecodesToEveryPictureAndItsSound) {
  Sample s;
  video::DecoderPtr d = video::open(s.path);
  ASSERT_TRUE(d);
  const video::Info i = video::info(*d);
  EXPECT_TRUE(i.has_picture);
  EXPECT_TRUE(i.has_sound);
  EXPECT_EQ(i.width, 160);
  EXPECT_EQ(i.height, 120);
  EXPECT_NEAR(i.frame_rate, 20.0, 0.01);
  const Counts c = decode_all(*d);
  EXPECT_EQ(c.pictures, 40);
  EXPECT_NEAR(c.last_time, 39 / 20.0, 1e-6);
  // Two seconds of tone, resampled to the output rate.
  EXPECT_NEAR(static_cast<double>(c.sound_frames), 2.0 * video::kSoundRate, video::kSoundRate * 0.02);
}

TEST(Video, WithoutPicturesOnlyTheSoundComes) {
  Sample s;
  video::DecoderPtr d = video::open(s.path);
  ASSERT_TRUE(d);
  video::drop_pictures(*d);
  const Counts c = decode_all(*d);
  EXPECT_EQ(c.pictures, 0);
  EXPECT_GT(c.sound_frames, video::kSoundRate);
}

TEST(Video, APictureIsDrawnScaledIntoItsRectangleInEveryDisplayFormat) {
  Sample s;
  for (platform::PixelFormat f : {platform::PixelFormat::Rgb565, platform::PixelFormat::Rgb555,
                                  platform::PixelFormat::Xrgb8888}) {
    video::DecoderPtr d = video::open(s.path);
    ASSERT_TRUE(d);
    ASSERT_EQ(video::next(*d), video::Event::Picture);
    platform::Surface surface;
    ASSERT_TRUE(platform::surface_create(surface, 640, 480, f));
    const uint32_t grey = platform::pack_rgb(f, 90, 90, 90);
    platform::surface_fill(surface, grey);
    // Twice the picture's size, at 100, 50: each quadrant is 160 x 120 pixels.
    video::draw(*d, surface, 100, 50, 320, 240);
    struct Probe {
      int32_t x, y;  // in the picture (160 x 120)
    };
    for (const Probe p : {Probe{20, 10}, Probe{150, 10}, Probe{20, 110}, Probe{150, 110}}) {
      uint8_t want[3], got[3];
      video::sample_colour(0, p.x, p.y, 160, 120, want[0], want[1], want[2]);
      platform::unpack_rgb(f, platform::surface_pixel(surface, 100 + 2 * p.x, 50 + 2 * p.y), got[0], got[1], got[2]);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 24) << int(f) << " " << p.x << "," << p.y << " " << k;
    }
    // Outside the rectangle nothing changed.
    EXPECT_EQ(platform::surface_pixel(surface, 99, 50), grey);
    EXPECT_EQ(platform::surface_pixel(surface, 420, 290), grey);
    EXPECT_EQ(platform::surface_pixel(surface, 200, 49), grey);
  }
}

TEST(Video, RectanglesPartlyOffTheSurfaceAreCutAndImpossibleOnesDrawNothing) {
  Sample s;
  video::DecoderPtr d = video::open(s.path);
  ASSERT_TRUE(d);
  ASSERT_EQ(video::next(*d), video::Event::Picture);
  platform::Surface surface;
  ASSERT_TRUE(platform::surface_create(surface, 64, 48, platform::PixelFormat::Xrgb8888));
  struct Case {
    int32_t x, y, w, h;
    bool draws;
  };
  for (const Case c : {Case{-100, -60, 160, 120, true}, Case{40, 30, 160, 120, true}, Case{64, 0, 10, 10, false},
                       Case{0, 0, 0, 10, false}, Case{0, 0, -5, 10, false}, Case{-2000000000, 0, 100, 100, false},
                       Case{0, 0, 100000, 100000, false}, Case{2147483000, 2147483000, 2000, 2000, false}}) {
    platform::surface_fill(surface, 0x00123456);
    video::draw(*d, surface, c.x, c.y, c.w, c.h);
    bool changed = false;
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x) changed |= platform::surface_pixel(surface, x, y) != 0x00123456;
    EXPECT_EQ(changed, c.draws) << c.x << "," << c.y << " " << c.w << "x" << c.h;
  }
}

TEST(Video, BadFilesGiveNoVideoOrAnEarlyEnd) {
  Sample s;
  const std::string good = s.bytes();
  ASSERT_GT(good.size(), 2000u);
  std::string flipped = good;
  for (size_t k = 600; k < flipped.size(); k += 97) flipped[k] = static_cast<char>(flipped[k] ^ 0x5A);
  std::string garbage(20000, '\0');
  uint32_t x = 12345;
  for (char& ch : garbage) ch = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
  struct Case {
    const char* name;
    std::string data;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"text", "this is not a video"},
      {"garbage", garbage},
      {"header only", good.substr(0, 200)},
      {"half", good.substr(0, good.size() / 2)},
      {"riff with garbage", good.substr(0, 12) + garbage},
      {"damaged", flipped},
  };
  for (const Case& c : cases) {
    const std::string path = s.write(std::string(c.name) + ".avi", c.data);
    video::DecoderPtr d = video::open(path);
    if (!d) continue;  // no video
    platform::Surface surface;
    ASSERT_TRUE(platform::surface_create(surface, 320, 240, platform::PixelFormat::Rgb565));
    int32_t pictures = 0;
    for (int32_t guard = 0; guard < 10000 && video::next(*d) != video::Event::End; ++guard) {
      video::draw(*d, surface, 0, 0, 320, 240);
      ++pictures;
    }
    EXPECT_EQ(video::next(*d), video::Event::End) << c.name;
    EXPECT_LE(pictures, 200) << c.name;
  }
  EXPECT_FALSE(video::open((s.dir / "missing.avi").string()));
  EXPECT_FALSE(video::open(s.dir.string()));  // a folder
  EXPECT_FALSE(video::open(""));
}

TEST(Video, APictureOnlySampleHasNoSound) {
  video::SampleOptions o;
  o.tone_hz = 0;
  o.frames = 5;
  Sample s(o);
  video::DecoderPtr d = video::open(s.path);
  ASSERT_TRUE(d);
  EXPECT_FALSE(video::info(*d).has_sound);
  video::drop_pictures(*d);  // the pictures are all there is: they stay
  EXPECT_EQ(decode_all(*d).pictures, 5);
}

}  // namespace
}  // namespace korva
