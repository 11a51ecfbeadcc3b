// Video playback over the video decoder: the blocking player that draws into the back surface
// and the background player thread, both with their sound on the sound device.
#include "devices/video.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/core.h"
#include "core/system.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "devices/sound.h"
#include "platform/platform.h"
#include "platform/video/video.h"

namespace korva {

namespace {

using Clock = std::chrono::steady_clock;

// Pieces of sound kept queued on the device ahead of what is heard: about half a second, enough
// to bridge a slow frame of the game.
constexpr int32_t kQueuedPieces = 12;
// Decoded pieces the background thread keeps ready for the game's next frames.
constexpr size_t kReadyPieces = 24;
// How far ahead of its time a piece of sound may be queued (seconds).
constexpr double kSoundLead = 0.25;

audio::Device* sound_device(System& s) { return sound_available(s) ? s.sound->device.get() : nullptr; }

std::string file_name(std::string_view path) {
  std::string p(path);
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

video::DecoderPtr open_video(std::string_view path) {
  if (path.empty()) return nullptr;
  std::string problem;
  video::DecoderPtr d = video::open(file_name(path), &problem);
  if (!d) std::fprintf(stderr, "%.*s: no video (%s)\n", static_cast<int>(path.size()), path.data(), problem.c_str());
  return d;
}

}  // namespace

// The background player: the decoder runs on its own thread and leaves its sound in `ready`;
// the game's frames move it onto the sound device (every sound call stays on the game's thread).
struct VideoTask {
  std::thread thread;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::vector<int16_t>> ready;
  std::atomic<bool> stop{false};
  std::atomic<bool> decoding{true};
  bool to_device = false;            // a sound device takes the sound
  bool fast = false;                 // nothing waits for wall-clock time; the game waits for the decoder
  audio::Device* device = nullptr;   // the device the stream was made on
  audio::Source stream = 0;

  void run(video::DecoderPtr d, bool fast) {
    const bool sound = video::info(*d).has_sound && to_device;
    if (video::info(*d).has_sound) video::drop_pictures(*d);
    const Clock::time_point start = Clock::now();
    while (!stop) {
      const video::Event e = video::next(*d);
      if (e == video::Event::End) break;
      if (e == video::Event::Sound && sound) {
        {
          std::unique_lock<std::mutex> l(lock);
          changed.wait(l, [&] { return stop || ready.size() < kReadyPieces; });
          ready.push_back(video::sound(*d));
        }
        changed.notify_all();
        continue;
      }
      // Nothing takes the sound: the player keeps the file's own time (unless nothing waits).
      if (fast) continue;
      const Clock::time_point due = start + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(video::time(*d)));
      std::unique_lock<std::mutex> l(lock);
      changed.wait_until(l, due, [&] { return stop.load(); });
    }
    {
      std::lock_guard<std::mutex> l(lock);
      decoding = false;
    }
    changed.notify_all();
  }

  // Under KORVA_FAST the game waits for the decoder wherever the answer would depend on which
  // thread is quicker, so that every run hears and reports the same. Called with the lock held.
  void settle(std::unique_lock<std::mutex>& l) {
    if (fast) changed.wait(l, [&] { return !ready.empty() || !decoding; });
  }

  void end() {
    {
      // Under the lock, so that the thread cannot miss it between its test and its wait.
      std::lock_guard<std::mutex> l(lock);
      stop = true;
    }
    changed.notify_all();
    if (thread.joinable()) thread.join();
  }
};

Video::Video() = default;
Video::~Video() {
  if (task) task->end();
}

namespace {

// ---- The blocking player ----

struct Playback {
  System& s;
  const PlayContext& context;
  Video& video;
  audio::Device* device = nullptr;
  audio::Source stream = 0;
  int64_t mixed = 0;  // loopback devices: frames mixed since playback began
  double media_time = 0;  // seconds of the file played so far, over every repeat
  Clock::time_point start = Clock::now();

  int64_t script_fed = context.script_time - 1;  // the script's events are fed up to here

  // Any key, mouse button or joystick button, from the window, the joysticks or the script.
  bool input_down() {
    pump(*s.core);
    if (platform::interrupt_signal() != 0) return true;
    if (!s.input) return false;
    if (context.poll_joysticks) context.poll_joysticks();
    if (any_input_down(*s.input)) return true;
    // The script one step at a time, so that a key that goes down and up again between two
    // pictures is still seen.
    const int64_t now = context.script_time + video.pictures_shown;
    const platform::Screen* screen = s.core->frame.screen;
    while (s.script && script_fed < now) {
      feed_input_script(*s.script, *s.input, ++script_fed, screen ? screen->back.width : 640,
                        screen ? screen->back.height : 480);
      if (any_input_down(*s.input)) return true;
    }
    return false;
  }

  // Waits until the file's time t is due on the wall clock, watching for input. False when
  // input came.
  bool wait_until(double t) {
    if (context.fast) return true;
    const Clock::time_point due =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(t));
    while (Clock::now() < due) {
      if (input_down()) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
      platform::sleep_ms(static_cast<int32_t>(std::clamp<int64_t>(left, 1, 5)));
    }
    return true;
  }

  // A loopback device hears only what is mixed: mix up to the file's time.
  void mix() {
    if (!device || !audio::is_loopback(*device)) return;
    const int64_t target = static_cast<int64_t>(media_time * audio::kLoopbackRate);
    if (target > mixed) audio::render(*device, static_cast<int32_t>(std::min<int64_t>(target - mixed, 1 << 20)), nullptr);
    mixed = std::max(mixed, target);
  }

  // One run through the file; false when input ended it.
  bool play_once(video::Decoder& d) {
    const VideoState& r = s.core->frame.video;
    platform::Screen* screen = s.core->frame.screen;
    const double offset = media_time;
    ++video.plays;
    const double rate = video::info(d).frame_rate;
    const double picture_length = rate > 0 ? 1.0 / rate : 0.04;
    while (true) {
      if (input_down()) return false;
      const video::Event e = video::next(d);
      if (e == video::Event::End) {
        media_time += picture_length;  // a repeat starts after the last picture's time
        return true;
      }
      const double t = offset + video::time(d);
      if (e == video::Event::Sound) {
        if (!wait_until(t - kSoundLead)) return false;
        if (device && stream && audio::stream_queue(*device, stream, video::sound(d), video::kSoundRate))
          ++video.sound_pieces;
      } else {
        if (!wait_until(t)) return false;
        if (screen) {
          video::draw(d, screen->back, r.x, r.y, r.width, r.height);
          platform::screen_flip(*screen);
        }
        ++video.pictures_shown;
      }
      media_time = std::max(media_time, t);
      mix();
    }
  }
};

void copy_primary_to_back(System& s) {
  platform::Screen* screen = s.core->frame.screen;
  if (!screen) return;
  uint8_t* to = platform::surface_lock(screen->back);
  const uint8_t* from = platform::surface_lock(screen->primary);
  if (to && from && screen->back.pixels.size() == screen->primary.pixels.size())
    std::copy(screen->primary.pixels.begin(), screen->primary.pixels.end(), screen->back.pixels.begin());
  if (from) platform::surface_unlock(screen->primary);
  if (to) platform::surface_unlock(screen->back);
}

}  // namespace

void video_play(System& s, std::string_view path, const PlayContext& context) {
  if (!s.video) return;
  video::DecoderPtr d = open_video(path);
  if (!d) return;
  Video& v = *s.video;
  video_stop_task(s);
  if (context.wait_mouse_release) context.wait_mouse_release();
  sound_stop_all(s);
  v.ended_by_input = false;

  // The scene as it stands, in both buffers, so that the picture around the rectangle stays.
  if (context.render_scene) context.render_scene();
  copy_primary_to_back(s);

  Playback p{s, context, v};
  const PersonWait wait(*s.core);  // the person watches, or ends it with a key
  p.device = sound_device(s);
  if (p.device) p.stream = audio::stream_create(*p.device);
  const int32_t repeats = std::max(s.core->frame.video.repeats, 1);
  for (int32_t k = 0; k < repeats; ++k) {
    if (k > 0 && !(d = open_video(path))) break;
    if (!p.play_once(*d)) {
      v.ended_by_input = true;
      break;
    }
  }
  if (p.device) audio::stream_release(*p.device, p.stream);
  // Both buffers keep the last picture where the game does not draw over it, as bmp_show's
  // picture stays, rather than two pictures that would alternate.
  copy_primary_to_back(s);
}

void video_play_centred(System& s, std::string_view path, const PlayContext& context) {
  VideoState& r = s.core->frame.video;
  const VideoState kept = r;
  const platform::Screen* screen = s.core->frame.screen;
  const int32_t w = screen ? screen->back.width : 640, h = screen ? screen->back.height : 480;
  r.x = (w - r.width) / 2;
  r.y = (h - r.height) / 2;
  r.repeats = 1;
  PlayContext centred = context;
  centred.render_scene = nullptr;
  video_play(s, path, centred);
  r = kept;
}

void video_play_task(System& s, std::string_view path, bool fast) {
  if (!s.video) return;
  video::DecoderPtr d = open_video(path);
  if (!d) return;
  video_stop_task(s);
  auto task = std::make_unique<VideoTask>();
  task->to_device = sound_device(s) != nullptr;
  task->fast = fast;
  VideoTask* t = task.get();
  task->thread = std::thread([t, fast, decoder = std::move(d)]() mutable { t->run(std::move(decoder), fast); });
  s.video->task = std::move(task);
}

void video_task_feed(System& s) {
  if (!s.video || !s.video->task) return;
  VideoTask& t = *s.video->task;
  audio::Device* device = sound_device(s);
  if (device != t.device) t.stream = 0;  // the sound system was made anew: its sources went with it
  t.device = device;
  if (!device) return;
  if (!t.stream) t.stream = audio::stream_create(*device);
  if (!t.stream) return;
  std::unique_lock<std::mutex> l(t.lock);
  while (audio::stream_pending(*device, t.stream) < kQueuedPieces) {
    t.settle(l);
    if (t.ready.empty()) break;
    if (audio::stream_queue(*device, t.stream, t.ready.front(), video::kSoundRate)) ++s.video->sound_pieces;
    t.ready.pop_front();
    t.changed.notify_all();  // room for the decoder
  }
}

int32_t video_task_status(System& s) {
  if (!s.video || !s.video->task) return 0;
  VideoTask& t = *s.video->task;
  {
    std::unique_lock<std::mutex> l(t.lock);
    t.settle(l);
    if (t.decoding || !t.ready.empty()) return -1;
  }
  audio::Device* device = sound_device(s);
  if (device && device == t.device && t.stream && audio::stream_pending(*device, t.stream) > 0) return -1;
  return 0;
}

void video_stop_task(System& s) {
  if (!s.video || !s.video->task) return;
  VideoTask& t = *s.video->task;
  t.end();
  audio::Device* device = sound_device(s);
  if (device && device == t.device) audio::stream_release(*device, t.stream);
  s.video->task.reset();
}

}  // namespace korva
