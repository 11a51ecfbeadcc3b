// Game controllers through SDL's joystick API: the first two attached are joystick 1 and 2;
// a controller plugged in later is picked up at the next poll, one pulled out is dropped.
#include <SDL2/SDL.h>

#include "platform/platform.h"

namespace korva::platform {

bool joysticks_open(Joysticks& j) {
  if (!j.started) {
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the program catches its own signals
    j.started = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  }
  return j.started;
}

void joysticks_close(Joysticks& j) {
  for (auto& d : j.device) {
    if (d) SDL_JoystickClose(static_cast<SDL_Joystick*>(d));
    d = nullptr;
  }
  if (j.started) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  j.started = false;
}

void joysticks_poll(Joysticks& j, JoystickState out[2]) {
  if (!j.started) return;
  SDL_JoystickUpdate();
  // Drop controllers that went away, then fill the free places from the attached ones.
  for (auto& d : j.device)
    if (d && !SDL_JoystickGetAttached(static_cast<SDL_Joystick*>(d))) {
      SDL_JoystickClose(static_cast<SDL_Joystick*>(d));
      d = nullptr;
    }
  const int count = SDL_NumJoysticks();
  for (int i = 0; i < count; ++i) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    bool taken = false;
    for (auto* d : j.device)
      if (d && SDL_JoystickInstanceID(static_cast<SDL_Joystick*>(d)) == id) taken = true;
    if (taken) continue;
    for (auto& d : j.device) {
      if (!d) {
        d = SDL_JoystickOpen(i);
        break;
      }
    }
  }
  for (int k = 0; k < 2; ++k) {
    JoystickState& s = out[k];
    auto* d = static_cast<SDL_Joystick*>(j.device[k]);
    s = JoystickState{};
    if (!d) continue;
    s.present = true;
    const int axes = SDL_JoystickNumAxes(d);
    for (int a = 0; a < axes && a < 8; ++a) s.axis[a] = SDL_JoystickGetAxis(d, a);
    const int hats = SDL_JoystickNumHats(d);
    for (int h = 0; h < hats && h < 4; ++h) {
      // Hats in hundredths of a degree clockwise from up; centred is -1.
      static const int kAngles[16] = {-1, 0, 9000, 4500, 18000, -1, 13500, -1,
                                      27000, 31500, -1, -1, 22500, -1, -1, -1};
      s.hat[h] = kAngles[SDL_JoystickGetHat(d, h) & 15];
    }
    const int buttons = SDL_JoystickNumButtons(d);
    for (int b = 0; b < buttons && b < 32; ++b)
      if (SDL_JoystickGetButton(d, b)) s.buttons |= 1u << b;
  }
}

}  // namespace korva::platform
