// The devices folder's public face: the input state and its handlers, scripted input, and the
// input, joystick and mouse keywords of the brains.
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

// The joystick and mouse keywords, over the same Input; without one they read as if no
// joystick were attached (axes centred, hats -1) and the mouse were at 0, 0 with no button.
// Axes X, Y, Z, U, V (the sliders) mapped so that the maximum gives lo and the minimum hi.
int32_t joy1_x(System& s, int32_t lo, int32_t hi);
int32_t joy1_y(System& s, int32_t lo, int32_t hi);
int32_t joy1_z(System& s, int32_t lo, int32_t hi);
int32_t joy1_u(System& s, int32_t lo, int32_t hi);
int32_t joy1_v(System& s, int32_t lo, int32_t hi);
int32_t joy2_x(System& s, int32_t lo, int32_t hi);
int32_t joy2_y(System& s, int32_t lo, int32_t hi);
int32_t joy2_z(System& s, int32_t lo, int32_t hi);
int32_t joy2_u(System& s, int32_t lo, int32_t hi);
int32_t joy2_v(System& s, int32_t lo, int32_t hi);
// Rotation axes as the input layer keeps them (-1000..1000).
int32_t joy1_xr(System& s);
int32_t joy1_yr(System& s);
int32_t joy1_zr(System& s);
int32_t joy2_xr(System& s);
int32_t joy2_yr(System& s);
int32_t joy2_zr(System& s);
// The button mask rotated left by 4 bits, AND mask: button i answers to bit i + 4.
int32_t joy1_b(System& s, int32_t mask);
int32_t joy2_b(System& s, int32_t mask);
// Hat 1..4: -1 when centred, else hundredths of a degree x 512 / 100.
int32_t joy1_dir1(System& s);
int32_t joy1_dir2(System& s);
int32_t joy1_dir3(System& s);
int32_t joy1_dir4(System& s);
int32_t joy2_dir1(System& s);
int32_t joy2_dir2(System& s);
int32_t joy2_dir3(System& s);
int32_t joy2_dir4(System& s);
int32_t mouse_x(System& s);
int32_t mouse_y(System& s);
int32_t mouse_click(System& s);  // bit 0 left, 1 right, 2 middle
void mouse_on(System& s);        // no effect
void mouse_off(System& s);       // no effect
// Sets the run's exit code to code when any input is down.
void any_input_exit(System& s, int32_t code);

void bind_joystick_keywords(KeywordBindings& b);

}  // namespace korva
