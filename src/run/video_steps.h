// Video in a run: the background player's sound fed to the sound device every rendered frame,
// the player closed at run end, and the video and image keywords.
#pragma once

namespace korva {

struct RunPipeline;
struct KeywordBindings;

// Phase::SoundSync moves the background player's decoded sound onto the sound device (System::
// video must be set for videos to play); run end closes the background player.
void add_video_steps(RunPipeline& p);
// play_set, play, play_task, play_task_status, stop_task and bmp_show.
void bind_video_keywords(KeywordBindings& b);

}  // namespace korva
