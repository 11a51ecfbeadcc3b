// Keywords of run control: engine settings (changed only by the stand-alone player), start
// parameters, the exit code, input polling and pausing, and the debug value.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

int32_t display_mode(System& s);
void display_mode_set(System& s, int32_t m);
void sound_set(System& s, int32_t v);
void sound_mixing_set(System& s, int32_t v);
int32_t par_count(System& s);
int32_t par_get(System& s, int32_t i);
void exit(System& s, int32_t code);
int32_t any_input(System& s);
void input_process(System& s);
void pause(System& s);
int32_t debug(System& s, int32_t v);
void save(System& s);
void save_x(System& s, int32_t game);
void resume(System& s);
void resume_x(System& s, int32_t game);

void bind_run_control_keywords(KeywordBindings& b);

}  // namespace korva
