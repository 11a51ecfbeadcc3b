// Video playback for the brains: `play` shows a video file in the video rectangle of the back
// surface and blocks until it has played (or any input ends it); `play_task` starts a
// background player, a decoder thread whose sound plays while the game runs (music).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace korva {

struct System;
struct VideoTask;

// The video layer's state: the background player and what playback did.
struct Video {
  Video();
  Video(const Video&) = delete;
  Video& operator=(const Video&) = delete;
  ~Video();  // ends the background player's thread

  std::unique_ptr<VideoTask> task;  // the background player, while there is one

  // Counts for logs and tests.
  int64_t plays = 0;           // times `play` started its file (each repeat counts)
  int64_t pictures_shown = 0;  // pictures `play` drew and presented
  int64_t sound_pieces = 0;    // pieces of sound queued on the sound device (both players)
  bool ended_by_input = false; // the last `play` was cut short by input
};

// What a blocking play needs from the run around it.
struct PlayContext {
  std::function<void()> render_scene;        // renders one frame of the scene (and shows it)
  std::function<void()> wait_mouse_release;  // until no mouse button is down
  std::function<void()> poll_joysticks;      // reads the joysticks into the input state
  bool fast = false;                         // never wait for wall-clock time
  int64_t script_time = 0;                   // scripted input's clock when playback starts
};

// Plays the file in the video rectangle, blocking, the repeat count of times (at least once).
// Any key, mouse button or joystick button ends it at once, scripted input included: during
// playback the script's clock advances one step per picture shown. A file that does not open
// (or is no video) does nothing.
void video_play(System& s, std::string_view path, const PlayContext& context);
// The multi-level player's variant: the video rectangle's size centred on the display, played
// once, over the picture on screen (no scene is rendered first).
void video_play_centred(System& s, std::string_view path, const PlayContext& context);
// Closes any background player and starts one on the file; fast: it never waits for wall-clock
// time. A file that does not open starts nothing.
void video_play_task(System& s, std::string_view path, bool fast);
// -1 while the background player plays (decodes, or has sound not yet heard), else 0.
int32_t video_task_status(System& s);
// Closes the background player.
void video_stop_task(System& s);
// Every rendered frame: moves the background player's decoded sound onto the sound device.
void video_task_feed(System& s);

}  // namespace korva
