// Video in real runs: brains play sample videos (blocking, with repeats), scripted input ends a
// video, bad files play nothing, and the background player's status follows its sound on a
// loopback device until it ends or is stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "devices/input_script.h"
#include "platform/platform.h"
#include "devices/sound.h"
#include "devices/video.h"
#include "platform/video/video.h"
#include "run/sound_steps.h"
#include "run/video_steps.h"
#include "run_fixture.h"

namespace korva {
namespace {

struct VideoRun : test::RunSystem {
  Sound sound;
  Video video;
  std::string sample;  // 40 pictures at 20 a second, with a tone

  VideoRun() : RunSystem("video_run") {
    sound.how = audio::Open::Loopback;
    s.sound = &sound;
    s.video = &video;
    add_sound_steps(pipeline);
    add_video_steps(pipeline);
    sample = (dir / "sample.avi").string();
    EXPECT_TRUE(video::write_sample(sample, {}));
  }
  ~VideoRun() {
    video_stop_task(s);
    sound_shutdown(s);
  }

  // An active element whose brain runs `first` in its first pass and `every` in each pass;
  // its variables n (passes, at 1020) and st (at 1016).
  void add(const std::string& first, const std::string& every = "") {
    const int32_t i = ++model->last_index;
    const std::string brain =
        write("e" + std::to_string(i) + ".brn", "var n=0\r\nvar st=0\r\nn=n+1\r\nif n=1\r\n" + first + "endif\r\n" + every);
    str_set(element_record(*core, i),
            "E" + std::to_string(i) + "|./cameras/none.03d|./sounds/null_.wav|" + brain +
                "|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
                "1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
  }
  std::string quoted(const std::string& path) { return "\"" + path + "\""; }
};

TEST(VideoRuns, PlayShowsEveryPictureTheRepeatCountOfTimes) {
  struct Case {
    int32_t repeats;
    int64_t plays;
  };
  for (const Case c : {Case{3, 3}, Case{1, 1}, Case{0, 1}, Case{-4, 1}}) {
    VideoRun r;
    r.add("play_set(0, 0, 160, 120, " + std::to_string(c.repeats) + ")\r\nplay(" + r.quoted(r.sample) + ")\r\n");
    r.pipeline.max_frames = 2;
    run_project(r.s);
    EXPECT_EQ(r.video.plays, c.plays) << c.repeats;
    EXPECT_EQ(r.video.pictures_shown, 40 * c.plays) << c.repeats;
    EXPECT_GT(r.video.sound_pieces, 0) << c.repeats;  // the tone went to the sound device
    EXPECT_FALSE(r.video.ended_by_input);
    EXPECT_TRUE(r.pipeline.unbound.empty());
  }
}

// A headless display for the run: what play and bmp_show draw lands in its surfaces.
struct ScreenRun : VideoRun {
  platform::Screen screen;
  ScreenRun() {
    EXPECT_TRUE(platform::surface_create(screen.primary, 640, 480, platform::PixelFormat::Xrgb8888));
    EXPECT_TRUE(platform::surface_create(screen.back, 640, 480, platform::PixelFormat::Xrgb8888));
    core->frame.screen = &screen;
  }
  ~ScreenRun() { core->frame.screen = nullptr; }
  void expect_colour(const platform::Surface& s, int32_t x, int32_t y, const uint8_t want[3]) {
    uint8_t got[3];
    platform::unpack_rgb(s.format, platform::surface_pixel(s, x, y), got[0], got[1], got[2]);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 24) << x << "," << y << " channel " << k;
  }
};

TEST(VideoRuns, PlayDrawsThePicturesScaledIntoTheVideoRectangle) {
  ScreenRun r;
  r.add("play_set(100, 50, 320, 240, 1)\r\nplay(" + r.quoted(r.sample) + ")\r\n");
  r.pipeline.max_frames = 0;
  run_project(r.s);
  ASSERT_EQ(r.video.pictures_shown, 40);
  // Both buffers hold the last picture, twice the sample's 160 x 120, at 100, 50.
  for (const platform::Surface* s : {&r.screen.primary, &r.screen.back})
    for (const auto& [x, y] : {std::pair{20, 10}, std::pair{140, 10}, std::pair{20, 110}, std::pair{140, 110}}) {
      uint8_t want[3];
      video::sample_colour(39, x, y, 160, 120, want[0], want[1], want[2]);
      r.expect_colour(*s, 100 + 2 * x, 50 + 2 * y, want);
    }
  const uint8_t black[3] = {0, 0, 0};
  for (const auto& [x, y] : {std::pair{99, 50}, std::pair{420, 50}, std::pair{100, 49}, std::pair{100, 290}})
    r.expect_colour(r.screen.primary, x, y, black);
}

TEST(VideoRuns, BmpShowDrawsThePictureIntoBothBuffersAndAMissingOneShowsBlack) {
  // A 2 x 1 24-bit BMP, bottom-up rows padded to 4 bytes: red, then blue.
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const std::string pixels = std::string("\x00\x00\xFF\xFF\x00\x00", 6) + std::string(2, '\0');
  const std::string info = u32(40) + u32(2) + u32(1) + std::string("\x01\x00\x18\x00", 4) + u32(0) +
                           u32(uint32_t(pixels.size())) + u32(2835) + u32(2835) + u32(0) + u32(0);
  const std::string bmp = "BM" + u32(uint32_t(14 + info.size() + pixels.size())) + u32(0) + u32(54) + info + pixels;
  struct Case {
    bool exists;
  };
  for (const Case c : {Case{true}, Case{false}}) {
    ScreenRun r;
    const std::string path = c.exists ? r.write("pic.bmp", bmp) : (r.dir / "none.bmp").string();
    r.add("bmp_show(" + r.quoted(path) + ")\r\n");
    r.pipeline.max_frames = 0;
    platform::surface_fill(r.screen.primary, 0x00808080);
    run_project(r.s);
    const uint8_t red[3] = {255, 0, 0}, blue[3] = {0, 0, 255}, black[3] = {0, 0, 0};
    if (!c.exists) {
      r.expect_colour(r.screen.primary, 10, 10, black);
      continue;
    }
    for (const platform::Surface* s : {&r.screen.primary, &r.screen.back}) {
      r.expect_colour(*s, 10, 240, red);  // stretched over the whole surface
      r.expect_colour(*s, 630, 240, blue);
    }
  }
}

TEST(VideoRuns, TheCentredVariantPlaysOnceAndKeepsTheRectangle) {
  VideoRun r;
  play_set(*r.core, 10, 20, 320, 240, 3);
  PlayContext context;
  context.fast = true;
  video_play_centred(r.s, r.sample, context);
  EXPECT_EQ(r.video.plays, 1);
  EXPECT_EQ(r.video.pictures_shown, 40);
  EXPECT_EQ(r.core->frame.video.x, 10);
  EXPECT_EQ(r.core->frame.video.repeats, 3);
}

TEST(VideoRuns, BadOrMissingFilesPlayNothing) {
  VideoRun r;
  const std::string junk = r.write("junk.avi", std::string(5000, 'x'));
  const std::string cut = r.write("cut.avi", std::string(300, 'R'));
  r.add("play(" + r.quoted(junk) + ")\r\nplay(" + r.quoted(cut) + ")\r\nplay(" + r.quoted((r.dir / "none.avi").string()) +
        ")\r\nplay(\"\")\r\nplay_task(" + r.quoted(junk) + ")\r\n",
        "st=st+play_task_status()\r\n");
  r.pipeline.max_frames = 2;
  run_project(r.s);
  EXPECT_EQ(r.video.plays, 0);
  EXPECT_FALSE(r.video.task);
  EXPECT_EQ(r.word(0, ir::kFirstVariable - 4), 0);  // no background player: status 0 every pass
}

TEST(VideoRuns, AnyScriptedInputEndsPlaybackAtOnce) {
  struct Case {
    const char* script;
    int64_t pictures;  // shown before the input came
  };
  // The video starts in the first warm-up pass (loop frame 0); the script's clock then goes on
  // one step per picture, and a press that is over by the next picture still counts.
  for (const Case c : {Case{"5 key SPACE\n", 5}, Case{"0 key SPACE\n", 0}, Case{"3 click 10 10\n", 3},
                       Case{"7 joy 1 button 2 down\n", 7}}) {
    VideoRun r;
    std::vector<std::string> errors;
    InputScript script = parse_input_script(c.script, errors);
    ASSERT_TRUE(errors.empty()) << c.script;
    r.s.script = &script;
    r.add("play_set(0, 0, 160, 120, 3)\r\nplay(" + r.quoted(r.sample) + ")\r\n");
    r.pipeline.max_frames = 2;
    run_project(r.s);
    EXPECT_TRUE(r.video.ended_by_input) << c.script;
    EXPECT_EQ(r.video.plays, 1) << c.script;
    EXPECT_EQ(r.video.pictures_shown, c.pictures) << c.script;
  }
}

TEST(VideoRuns, TheBackgroundPlayerPlaysUntilItsSoundIsHeardOrItIsStopped) {
  struct Case {
    int32_t stop_at;  // brain pass that calls stop_task, 0: never
  };
  for (const Case c : {Case{0}, Case{10}}) {
    VideoRun r;
    std::string every = "st=play_task_status()\r\n";
    if (c.stop_at) every = "if n=" + std::to_string(c.stop_at) + "\r\nstop_task()\r\nendif\r\nst=play_task_status()\r\n";
    r.add("st=play_task_status()\r\nplay_task(" + r.quoted(r.sample) + ")\r\n", every);
    std::vector<int32_t> status;
    double heard = 0;  // the tone's level a little way in, on the loopback device
    run_step_add(r.pipeline, Phase::AfterBrains, "watch", [&](System&) {
      status.push_back(r.word(0, ir::kFirstVariable - 4));
      if (r.run.tics != 4 + 6) return;
      std::vector<int16_t> mix;
      audio::render(*r.sound.device, 2048, &mix);
      for (int16_t v : mix) heard += std::abs(v);
      heard /= static_cast<double>(std::max<size_t>(mix.size(), 1));
    });
    r.pipeline.max_frames = 120;  // four seconds at 30 frames a second; the sample lasts two
    run_project(r.s);
    ASSERT_EQ(status.size(), 124u);
    EXPECT_EQ(status[0], -1);  // playing from the start
    if (c.stop_at) {
      EXPECT_EQ(status[c.stop_at - 2], -1);
      EXPECT_EQ(status[c.stop_at - 1], 0);
      EXPECT_EQ(status.back(), 0);
      continue;
    }
    EXPECT_GT(r.video.sound_pieces, 30);  // about two seconds of sound went to the device
    EXPECT_GT(heard, 2000);                // the tone (amplitude 9000) is heard
    EXPECT_EQ(status[40], -1);
    EXPECT_EQ(status.back(), 0);
    EXPECT_EQ(r.video.pictures_shown, 0);  // a hidden player shows nothing
    EXPECT_FALSE(r.video.task);            // closed at run end
  }
}

}  // namespace
}  // namespace korva
