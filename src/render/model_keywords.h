// The model animation keywords: brains read and change the speed, tick and playing range of
// an element whose visual is an .x model. The fields live in the model's asset record; each
// rendered frame's scene synchronisation plays the animation set at the tick and advances it.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

// Every routine does nothing and returns 0 for a handle that names no element whose current
// visual is an .x model, and when the run has no scene.
int32_t h_animation_speed(System& s, int32_t e);
void h_animation_speed_set(System& s, int32_t e, int32_t v);
int32_t h_animation_tick(System& s, int32_t e);
void h_animation_tick_set(System& s, int32_t e, int32_t v);
void h_animation_range_set(System& s, int32_t e, int32_t start, int32_t end);
int32_t h_animation_range_start(System& s, int32_t e);
int32_t h_animation_range_end(System& s, int32_t e);

void bind_model_keywords(KeywordBindings& b);

}  // namespace korva
