// Tracks, splines and races in a run: the TRACK loader, the run-start set-up, the race advance
// of every loop frame, the recording handed over at run end, and their keywords.
#pragma once

namespace korva {

struct RunPipeline;
struct KeywordBindings;

// p.loader[kTypeTrack] reads the .i3d; run start empties the recording buffer and the race and
// checkpoint tables; Phase::Races advances the racers; run end sets p.track_recorded_bytes for
// the recording left in Pool::TrackBuffer (the editor run writes it to "data/currtrck.i3d").
void add_track_steps(RunPipeline& p);
// The track, aiming, race and spline keywords.
void bind_track_keywords(KeywordBindings& b);

}  // namespace korva
