// The devices folder's public face: the input state and its handlers, scripted input, and the
// input keywords of the brains.
#pragma once
#include <cstdint>

#include "devices/input.h"
#include "devices/input_script.h"

namespace korva {

struct System;
struct KeywordBindings;

// The input keywords. They read and change the Input that System::input points at; without
// one they do nothing and return 0.
int32_t keyboard(System& s, int32_t key);  // a scan code or a key name: -1 down, 0 up
int32_t scancode(System& s);               // the lowest scan code down, or 0
void mouse_set(System& s, int32_t x, int32_t y);
int32_t mouse_wheel(System& s);  // the kept wheel value, which is then 0

void bind_input_keywords(KeywordBindings& b);

}  // namespace korva
