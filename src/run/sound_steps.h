// Sound in a run: element sounds made at run start, the listener and the element sound
// positions every rendered frame, the batched commit at the end of the render pass, the
// release at run end, and the sound keywords.
#pragma once

namespace korva {

struct RunPipeline;
struct KeywordBindings;

// Run start opens the sound device when needed (System::sound must be set for sound to be
// heard), gives every element its sound and starts the looping ones; Phase::SoundSync moves the
// listener to the hearer and every element sound to its element; Phase::SoundCommit applies
// them; run end records which element sounds were playing and releases them. While a run
// lasts, RunHooks::swap_primary_volume sets the listener's volume.
void add_sound_steps(RunPipeline& p);
// The element sound, hearer and esound keywords.
void bind_sound_keywords(KeywordBindings& b);

}  // namespace korva
