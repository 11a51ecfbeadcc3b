// The clipboard: SDL's while its video subsystem runs (a window or the offscreen driver), else a
// store inside the process.
#include <SDL2/SDL.h>

#include <string>

#include "platform/platform.h"

namespace korva::platform {
namespace {

// Without a window system nothing outside the process can read a clipboard anyway.
std::string& process_store() {
  static std::string store;
  return store;
}

bool sdl_clipboard() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

}  // namespace

void clipboard_set_text(std::string_view text) {
  process_store().assign(text);
  if (sdl_clipboard()) SDL_SetClipboardText(std::string(text).c_str());
}

std::string clipboard_get_text() {
  if (sdl_clipboard() && SDL_HasClipboardText()) {
    if (char* t = SDL_GetClipboardText()) {
      std::string text(t);
      SDL_free(t);
      return text;
    }
  }
  return process_store();
}

}  // namespace korva::platform
